// The special effects on text masks of 800 x 200 and 1600 x 400 (and a solid box for the distance
// map), with the plain forms of the distance map, the star stamping and Fog beside the ones used.
// items_per_second counts work-area pixels.
#include <benchmark/benchmark.h>

#include <memory>

#include "effects/effect_bodies.h"
#include "effects/star_filter.h"
#include "effects/three_d_model.h"
#include "raster/convolution_kernel.h"
#include "raster/engine_context.h"
#include "platform/font_layer.h"
#include "platform/program_folder.h"

namespace {

enum Shape { kText = 0, kBox = 1 };

std::unique_ptr<EngineContext> MakeContext(int W, int H, Shape shape) {
  auto ctx = std::make_unique<EngineContext>(12345);
  ctx->programFolder = platform::FindProgramFolder();
  LoadLightPatterns(*ctx);
  ctx->work.Allocate(W, H);
  if (shape == kText) {
    LogFont font;
    font.faceName = "DejaVu Sans";
    font.weight = 700;
    font.height = H * 3 / 4;
    ctx->fonts.DrawText(font, "Quorbel!", W / 20, H / 8, W, H, ctx->work.glyphRows.data(), W, H, 3);
  } else {
    for (int y = H / 10; y < H - H / 10; ++y)
      for (int x = W / 20; x < W - W / 20; ++x) ctx->work.glyphRows[size_t(y)][x * 3] = 255;
  }
  ctx->work.FinishRasterizing();
  return ctx;
}

int Width(const benchmark::State& state) { return int(state.range(0)); }
int Height(const benchmark::State& state) { return int(state.range(0)) / 4; }
void CountPixels(benchmark::State& state) {
  state.SetItemsProcessed(int64_t(state.iterations()) * Width(state) * Height(state));
}

void BM_DistanceMap(benchmark::State& state) {
  auto ctx = MakeContext(Width(state), Height(state), Shape(state.range(1)));
  RingTable rings;
  EnsureRingTable(rings);
  for (auto _ : state)
    benchmark::DoNotOptimize(ComputeDistanceMap(ctx->work.glyphRows.data(), ctx->work.workWidth, ctx->work.workHeight, rings));
  CountPixels(state);
}
void BM_DistanceMapDirect(benchmark::State& state) {
  auto ctx = MakeContext(Width(state), Height(state), Shape(state.range(1)));
  for (auto _ : state)
    benchmark::DoNotOptimize(ComputeDistanceMapDirect(ctx->work.glyphRows.data(), ctx->work.workWidth, ctx->work.workHeight));
  CountPixels(state);
}

EffectRecord Record(int type, std::initializer_list<int32_t> p) {
  EffectRecord r;
  r.type = type;
  int i = 0;
  for (int32_t v : p) r.p[size_t(i++)] = v;
  return r;
}

void BM_Shade3D(benchmark::State& state) {
  auto ctx = MakeContext(Width(state), Height(state), kText);
  const EffectRecord r = Record(ThreeDSingleColor, {0x3080C0, 0, 0, 0, 0, 200, 25, 1000, 100, 0});
  BuildDistanceMap(*ctx);  // cached, as for every render after the first
  for (auto _ : state) Shade3D(EffectTarget::For(*ctx, false), r);
  CountPixels(state);
}

// Fog including the rebuild of the distance map, by the map's fast or plain form.
void FogWithMap(benchmark::State& state, bool direct) {
  auto ctx = MakeContext(Width(state), Height(state), kText);
  const EffectRecord r = Record(Fog, {0xFFFFFF, 0, 0, 0, 0, 200, 25, 1000, 100, 0, 100, 100});
  for (auto _ : state) {
    if (direct) {
      ctx->threeD.distanceMap = ComputeDistanceMapDirect(ctx->work.glyphRows.data(), ctx->work.workWidth, ctx->work.workHeight);
      ctx->threeD.mapWidth = ctx->work.workWidth;
      ctx->threeD.mapHeight = ctx->work.workHeight;
      ctx->work.glyphChanged = false;
    } else {
      ctx->work.glyphChanged = true;
    }
    FogEffect(EffectTarget::For(*ctx, false), r);
  }
  CountPixels(state);
}
void BM_Fog(benchmark::State& state) { FogWithMap(state, false); }
void BM_FogDirect(benchmark::State& state) { FogWithMap(state, true); }

void BM_Space(benchmark::State& state) {
  auto ctx = MakeContext(Width(state), Height(state), kText);
  const EffectRecord r = Record(Space, {0, 0, 0, 0, 200, 200});
  for (auto _ : state) SpaceEffect(EffectTarget::For(*ctx, false), r);
  CountPixels(state);
}

void BM_Distort(benchmark::State& state) {
  auto ctx = MakeContext(Width(state), Height(state), kText);
  const int templ = int(state.range(1));
  const int amplitude = templ == 7 ? 500 : (templ == 8 ? 30 : 60);
  for (auto _ : state) {
    ctx->work.RestoreGlyph();
    Distort(*ctx, templ, 200, amplitude);
  }
  CountPixels(state);
}

void StarStamping(benchmark::State& state, bool direct) {
  auto ctx = MakeContext(Width(state), Height(state), kText);
  const int type = int(state.range(1));
  if (ctx->lightPatterns[size_t(type)].Empty()) {
    state.SkipWithError("light patterns not found");
    return;
  }
  const StarKernel k = PrepareStarKernel(ctx->lightPatterns[size_t(type)], 0xFFFFFF, 10000.0f);
  int64_t edges = 0;
  for (uint8_t e : ctx->work.edgePlane) edges += e != 0;
  for (auto _ : state) {
    ctx->work.ClearColor(false);
    auto t = EffectTarget::For(*ctx, false);
    if (direct)
      StampStarsDirect(k, ctx->work.edgeRows.data(), t.colorRows, t.coverage16, t.W, t.H, 0, 0);
    else
      StampStars(k, ctx->work.edgeRows.data(), t.colorRows, t.coverage16, t.W, t.H, 0, 0);
  }
  state.counters["kernel"] = k.width;
  state.counters["edges"] = double(edges);
  CountPixels(state);
}
void BM_StarFilter(benchmark::State& state) { StarStamping(state, false); }
void BM_StarFilterDirect(benchmark::State& state) { StarStamping(state, true); }

void BM_RoundBox(benchmark::State& state) {
  auto ctx = MakeContext(Width(state), Height(state), kText);
  const EffectRecord r = Record(RoundBox, {0, 0, 0, 0, 900, 800, 200, 300});
  for (auto _ : state) RoundBoxEffect(*ctx, r);
  CountPixels(state);
}

}  // namespace

BENCHMARK(BM_DistanceMap)->ArgsProduct({{800, 1600}, {kText, kBox}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DistanceMapDirect)->ArgsProduct({{800, 1600}, {kText}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DistanceMapDirect)->Args({800, kBox})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Shade3D)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fog)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FogDirect)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Space)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Distort)->ArgsProduct({{800, 1600}, {1, 2, 3, 4, 5, 6, 7, 8}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StarFilter)->ArgsProduct({{800, 1600}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StarFilterDirect)->ArgsProduct({{800, 1600}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RoundBox)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
