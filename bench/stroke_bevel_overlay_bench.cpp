// Stroke, Bevel & Emboss and Gradient Overlay on a text mask of 800 x 200 and 1600 x 400.
// items_per_second counts work-area pixels: equal rates at both sizes mean a cost linear in area.
#include <benchmark/benchmark.h>

#include <memory>

#include "effects/bevel_emboss.h"
#include "effects/gradient_overlay.h"
#include "effects/stroke.h"
#include "effects/layer_paint.h"
#include "platform/font_layer.h"
#include "platform/program_folder.h"
#include "raster/engine_context.h"
#include "text_work_area.h"

namespace {

template <typename Params>
void Run(benchmark::State& state, const Params& p) {
  const int W = int(state.range(0)), H = W / 4;
  auto ctx = TextWorkArea(W, H);
  for (auto _ : state) ApplyEffect(EffectTarget::For(*ctx, false), p);
  state.SetItemsProcessed(int64_t(state.iterations()) * W * H);
}

void BM_Stroke(benchmark::State& state) {
  StrokeParams p;
  p.colour = 0x202020;
  p.position = int(state.range(1));
  p.size = 6;
  Run(state, p);
}
void BM_StrokeGradient(benchmark::State& state) {
  StrokeParams p;
  p.colour2 = 0xFFFFFF;
  p.size = 6;
  p.fill = StrokeParams::FillGradient;
  p.gradientShape = layer::kRadial;
  Run(state, p);
}
void BM_BevelEmboss(benchmark::State& state) {
  BevelEmbossParams p;
  p.style = int(state.range(1));
  p.technique = int(state.range(2));
  p.size = 8;
  p.soften = 2;
  Run(state, p);
}
void BM_GradientOverlay(benchmark::State& state) {
  GradientOverlayParams p;
  p.colour2 = 0xFFFFFF;
  p.shape = int(state.range(1));
  Run(state, p);
}

}  // namespace

BENCHMARK(BM_Stroke)->ArgsProduct({{800, 1600}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StrokeGradient)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BevelEmboss)->ArgsProduct({{800, 1600}, {0, 1, 2, 3}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GradientOverlay)->ArgsProduct({{800, 1600}, {0, 1, 2, 3, 4}})->Unit(benchmark::kMillisecond);
