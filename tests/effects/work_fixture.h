#pragma once
// A context whose work set is filled by hand, for testing effect bodies on tiny areas.
#include <cstdint>
#include <functional>
#include <memory>

#include "raster/engine_context.h"

namespace enginetest {

inline std::unique_ptr<EngineContext> MakeWork(int W, int H) {
  auto ctx = std::make_unique<EngineContext>(7);
  ctx->work.Allocate(W, H);
  return ctx;
}

// Lights glyph pixel (x, y) with value v in all three bytes.
inline void Light(EngineContext& ctx, int x, int y, uint8_t v = 255) {
  uint8_t* p = ctx.work.glyphRows[size_t(y)] + size_t(x) * 3;
  p[0] = p[1] = p[2] = v;
}

inline void LightRect(EngineContext& ctx, int x0, int y0, int x1, int y1, uint8_t v = 255) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) Light(ctx, x, y, v);
}

// Takes the glyph copy and the edge plane, as the rasterizer does after drawing.
inline void Finish(EngineContext& ctx) { ctx.work.FinishRasterizing(); }

// A finished work set whose glyph byte at (x, y) is value(x, y).
inline std::unique_ptr<EngineContext> MakeContext(int W, int H, const std::function<uint8_t(int, int)>& value,
                                                  uint32_t seed = 1) {
  auto ctx = std::make_unique<EngineContext>(seed);
  ctx->work.Allocate(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) Light(*ctx, x, y, value(x, y));
  Finish(*ctx);
  return ctx;
}

inline uint8_t Glyph(const EngineContext& ctx, int x, int y) { return ctx.work.glyphRows[size_t(y)][x * 3]; }

inline const uint8_t* Colour(const EngineContext& ctx, int x, int y, bool pressed = false) {
  return (pressed ? ctx.work.pressedColorRows : ctx.work.effectColorRows)[size_t(y)] + size_t(x) * 3;
}

inline uint16_t Cov(const EngineContext& ctx, int x, int y, bool pressed = false) {
  return (pressed ? ctx.work.pressedCoverage : ctx.work.effectCoverage)[size_t(y) * ctx.work.workWidth + x];
}

inline void Paint(EngineContext& ctx, int x, int y, uint8_t b, uint8_t g, uint8_t r) {
  uint8_t* p = ctx.work.effectColorRows[size_t(y)] + size_t(x) * 3;
  p[0] = b;
  p[1] = g;
  p[2] = r;
}

}  // namespace enginetest
