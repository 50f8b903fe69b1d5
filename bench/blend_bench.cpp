// The cost of blending an effect: the same record run plain (normal at 100 %) and blended
// (multiply at 60 %, soft light at 60 %), over text of 800 x 200 and 1600 x 400 already painted
// by a fill. A cheap body (the fill) shows the pass's cost most; the drop shadow is a typical one.
// items_per_second counts work-area pixels.
#include <benchmark/benchmark.h>

#include <memory>

#include "effects/effect_catalogue.h"
#include "effects/effect_dispatcher.h"
#include "raster/engine_context.h"
#include "text_work_area.h"

namespace {

std::unique_ptr<EngineContext> PaintedText(int W, int H) {
  auto ctx = TextWorkArea(W, H);
  EffectRecord fill = EffectStartRecord(SingleColor);
  fill.p[0] = 0x3080C0;
  DispatchEffect(*ctx, fill, false);
  return ctx;
}

void Run(benchmark::State& state, int type, int mode, int opacity) {
  const int W = int(state.range(0)), H = W / 4;
  auto ctx = PaintedText(W, H);
  EffectRecord r = EffectStartRecord(type);
  r.p[0] = 0x808080;
  r.blendMode = mode;
  r.opacity = opacity;
  for (auto _ : state) DispatchEffect(*ctx, r, false);
  state.SetItemsProcessed(int64_t(state.iterations()) * W * H);
}

void BM_FillNormal(benchmark::State& s) { Run(s, SingleColor, BlendNormal, 100); }
void BM_FillMultiply60(benchmark::State& s) { Run(s, SingleColor, BlendMultiply, 60); }
void BM_FillSoftLight60(benchmark::State& s) { Run(s, SingleColor, BlendSoftLight, 60); }
void BM_ShadowNormal(benchmark::State& s) { Run(s, DropShadow, BlendNormal, 100); }
void BM_ShadowMultiply60(benchmark::State& s) { Run(s, DropShadow, BlendMultiply, 60); }
void BM_ShadowSoftLight60(benchmark::State& s) { Run(s, DropShadow, BlendSoftLight, 60); }

}  // namespace

BENCHMARK(BM_FillNormal)->Arg(800)->Arg(1600);
BENCHMARK(BM_FillMultiply60)->Arg(800)->Arg(1600);
BENCHMARK(BM_FillSoftLight60)->Arg(800)->Arg(1600);
BENCHMARK(BM_ShadowNormal)->Arg(800)->Arg(1600);
BENCHMARK(BM_ShadowMultiply60)->Arg(800)->Arg(1600);
BENCHMARK(BM_ShadowSoftLight60)->Arg(800)->Arg(1600);
