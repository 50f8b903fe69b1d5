// The layer-style kinds on the text mask at 800 x 200 and 1600 x 400 (start values, sizes of a
// heading), each call measuring its own distances. items_per_second counts work-area pixels, so
// a cost linear in the area shows the same rate at both sizes.
#include <benchmark/benchmark.h>

#include <memory>
#include <string_view>

#include "effects/effect_catalogue.h"
#include "effects/effect_dispatcher.h"
#include "raster/engine_context.h"
#include "text_work_area.h"
#include "platform/font_layer.h"

namespace {

// Sizes grow with the picture, as --scale grows them.
void Run(benchmark::State& state, int type) {
  const int W = int(state.range(0)), H = W / 4, scale = W / 800;
  auto ctx = TextWorkArea(W, H);
  EffectRecord r = EffectStartRecord(type);
  for (const char* length : {"size", "distance"})
    if (const EffectInfo* info = FindEffectInfo(type))
      for (const EffectParam& p : info->params)
        if (std::string_view(p.name) == length) r.p[size_t(p.slot)] *= scale;
  for (auto _ : state) DispatchEffect(*ctx, r, false);
  state.SetItemsProcessed(int64_t(state.iterations()) * W * H);
}

void BM_OuterGlow(benchmark::State& s) { Run(s, OuterGlow); }
void BM_InnerGlow(benchmark::State& s) { Run(s, InnerGlow); }
void BM_InnerShadow(benchmark::State& s) { Run(s, InnerShadow); }
void BM_Satin(benchmark::State& s) { Run(s, Satin); }

}  // namespace

BENCHMARK(BM_OuterGlow)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InnerGlow)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InnerShadow)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Satin)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
