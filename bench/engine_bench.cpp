// Engine timings: one item rasterized and styled, and a reference document rendered at three
// sizes. Each case reports the picture size and the time per megapixel, so that the growth with
// area can be read directly.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "document/plaquet_document.h"
#include "effects/effect_catalogue.h"
#include "effects/effect_dispatcher.h"
#include "raster/engine_context.h"
#include "engine/render_pipeline.h"
#include "engine/text_rasterizer.h"

namespace {

EffectRecord Rec(int type, int32_t colour, int dx, int dy, int p4, int p5) {
  EffectRecord r = EffectStartRecord(type);
  r.p[0] = colour;
  r.p[2] = dx;
  r.p[3] = dy;
  r.p[4] = p4;
  r.p[5] = p5;
  return r;
}

LogFont Font(int height) {
  LogFont f = StartFont();
  f.faceName = "Liberation Sans";
  f.height = height;
  f.width = 0;
  return f;
}

// "Quorbel!" with Draw, Linear Gradient, Outline and Drop Shadow, a stretched-font background
// and a round-box bullet. With scaled, radii and offsets grow with the font so the look stays
// the same; otherwise they keep their 48-pixel values and only the area grows.
PlaquetDocument ReferenceDocument(int fontHeight, bool scaled = false) {
  const int s = scaled ? std::max(1, fontHeight / 48) : 1;
  PlaquetDocument doc = MakeStartUpDocument();
  PlaquetItem& m = doc.message();
  m.text = "Quorbel!";
  m.font = Font(fontHeight);
  EffectRecord gradient = Rec(LinearGradient, 0x0000FF, 0, 0, 20, 20 * s);
  gradient.p[1] = 0xFFFF00;
  m.effects = {Rec(DropShadow, 0x404040, 3 * s, 3 * s, 100, 3 * s), Rec(OutLine, 0x000000, 0, 0, 2 * s, 0),
               Rec(SingleColor, 0xFFFFFF, 0, 0, 2, 0), gradient};
  PlaquetItem& bg = doc.background();
  bg.kind = kKindStretchedFont;
  bg.text = "~~~~~~";
  bg.font = Font(fontHeight);
  bg.effects = {Rec(SingleColor, 0xC0E0E0, 0, 0, 2, 0)};
  PlaquetItem& b = doc.bullet();
  b.kind = kKindRoundBox;
  b.effects = {Rec(SingleColor, 0x00A000, 0, 0, 2, 0), Rec(OutLine, 0x000000, 0, 0, s, 0)};
  return doc;
}

PlaquetDocument PlainMessage(int fontHeight, bool) {
  PlaquetDocument doc = MakeStartUpDocument();
  doc.message().font = Font(fontHeight);
  doc.message().effects = {EffectStartRecord(SingleColor)};
  return doc;
}

// The smallest font height whose picture is at least the wanted width (layout only).
template <typename Make>
int FontHeightForWidth(int wantWidth, Make make) {
  int lo = 8, hi = 1200;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    PlaquetDocument doc = make(mid, false);
    EngineContext ctx;
    SizeItems(doc, ctx);
    PlaceBackgroundAndBullet(doc, ctx);
    ComputePage(doc, ctx);
    if (ctx.imageWidth < wantWidth) lo = mid + 1; else hi = mid;
  }
  return lo;
}

void ReportPixels(benchmark::State& state, int64_t w, int64_t h) {
  state.counters["width"] = double(w);
  state.counters["height"] = double(h);
  // Seconds per megapixel (the inverse of a per-second rate).
  state.counters["s_per_MP"] = benchmark::Counter(double(w * h) / 1e6,
                                                  benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

void StyleItem(benchmark::State& state, PlaquetDocument doc) {
  EngineContext ctx(1);
  LoadRenderInputs(doc, doc.message(), ctx);
  for (auto _ : state) {
    RasterizeItem(ctx);
    RunStyle(ctx, false);
    benchmark::DoNotOptimize(ctx.work.effectColor.data());
  }
  ReportPixels(state, ctx.work.workWidth, ctx.work.workHeight);
}

void BM_DefaultMessage(benchmark::State& state) {
  PlaquetDocument doc = MakeStartUpDocument();
  doc.message().effects = {EffectStartRecord(SingleColor)};
  StyleItem(state, doc);
}

void BM_LargeMessage(benchmark::State& state) {
  StyleItem(state, PlainMessage(FontHeightForWidth(800, PlainMessage), false));
}

void BM_ReferenceDocument(benchmark::State& state) {
  const bool scaled = state.range(1) != 0;
  const int height = FontHeightForWidth(int(state.range(0)), ReferenceDocument);
  PlaquetDocument doc = ReferenceDocument(height, scaled);
  EngineContext ctx(1);
  ctx.settings.antiAliasing = 1;
  for (auto _ : state) {
    RenderPreview(doc, ctx);
    benchmark::DoNotOptimize(ctx.g_image.Packed().data());
  }
  state.counters["font_height"] = height;
  ReportPixels(state, ctx.imageWidth, ctx.imageHeight);
}

}  // namespace

BENCHMARK(BM_DefaultMessage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LargeMessage)->Unit(benchmark::kMillisecond);
// Arguments: picture width, effects scaled with the font (1) or fixed (0).
BENCHMARK(BM_ReferenceDocument)
    ->ArgsProduct({{200, 800, 1600}, {0, 1}})
    ->ArgNames({"width", "scaled"})
    ->Unit(benchmark::kMillisecond);
