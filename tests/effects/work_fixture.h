#pragma once
// A context whose work set is filled by hand, for testing effect bodies on tiny areas.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// A bottom-up 24-bit BMP written byte by byte; pixels given top-down as blue, green, red.
inline std::vector<uint8_t> Bmp24(int w, int h, const std::vector<uint8_t>& topDownBgr) {
  const int stride = (w * 3 + 3) / 4 * 4;
  const uint32_t dataSize = uint32_t(stride * h), fileSize = 54 + dataSize;
  std::vector<uint8_t> out;
  auto u16 = [&](uint32_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  out.push_back('B'); out.push_back('M');
  u32(fileSize); u32(0); u32(54);
  u32(40); u32(uint32_t(w)); u32(uint32_t(h)); u16(1); u16(24); u32(0); u32(dataSize);
  u32(2835); u32(2835); u32(0); u32(0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < 3; ++k) out.push_back(topDownBgr[size_t((y * w + x) * 3 + k)]);
    for (int pad = w * 3; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

// An 8-bit BMP with the given palette (blue, green, red triplets); indexes top-down.
inline std::vector<uint8_t> Bmp8(int w, int h, const std::vector<uint8_t>& paletteBgr,
                                 const std::vector<uint8_t>& topDownIndexes) {
  const int stride = (w + 3) / 4 * 4;
  const uint32_t colours = uint32_t(paletteBgr.size() / 3);
  const uint32_t offset = 54 + colours * 4, dataSize = uint32_t(stride * h);
  std::vector<uint8_t> out;
  auto u16 = [&](uint32_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  out.push_back('B'); out.push_back('M');
  u32(offset + dataSize); u32(0); u32(offset);
  u32(40); u32(uint32_t(w)); u32(uint32_t(h)); u16(1); u16(8); u32(0); u32(dataSize);
  u32(2835); u32(2835); u32(colours); u32(colours);
  for (uint32_t i = 0; i < colours; ++i) {
    for (int k = 0; k < 3; ++k) out.push_back(paletteBgr[i * 3 + k]);
    out.push_back(0);
  }
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) out.push_back(topDownIndexes[size_t(y * w + x)]);
    for (int pad = w; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

}  // namespace enginetest
