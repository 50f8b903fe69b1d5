#pragma once
// The walk shared by the glyph fills: every lit glyph pixel, shifted by (dx, dy), that lands
// inside the work area. The visitor gets the target column and row, the glyph pixel, the colour
// pixel and the coverage of the target.
#include <algorithm>
#include <cstdint>

#include "raster/engine_context.h"

template <typename Visit>
void WalkGlyph(const EffectTarget& t, int dx, int dy, Visit&& visit) {
  const int W = t.W, H = t.H;
  if (W <= 0 || H <= 0) return;
  // 64-bit bounds: offsets straight from a file may be anywhere in the int32 range.
  const int64_t y0 = std::max<int64_t>(dy, 0), y1 = std::min<int64_t>(int64_t(H) + dy, H);
  const int64_t x0 = std::max<int64_t>(dx, 0), x1 = std::min<int64_t>(int64_t(W) + dx, W);
  for (int64_t y = y0; y < y1; ++y) {
    const uint8_t* glyph = t.glyphRows[y - dy];
    uint8_t* color = t.colorRows[y];
    uint16_t* cov = t.coverage16 + y * W;
    for (int64_t x = x0; x < x1; ++x) {
      const uint8_t* g = glyph + (x - dx) * 3;
      if (g[0] == 0) continue;
      visit(int(x), int(y), g, color + x * 3, cov[x]);
    }
  }
}
