// Star Filtering: a light pattern added around every outline pixel.
#include "effects/star_filter.h"

#include <algorithm>
#include <cmath>

#include "effects/special_effects.h"
#include "engine/convolution_kernel.h"
#include "engine/engine_context.h"

namespace {
constexpr int kStride = 4;  // blue, green, red, largest of the three

float Sanitize(float w) { return w > 0 ? w : 0.0f; }  // NaN and negatives become 0

// One cell added to one pixel.
inline void AddCell(const float* cell, uint8_t* px, uint16_t& coverage) {
  for (int k = 0; k < 3; ++k) px[k] = uint8_t(std::min(255.0f, float(px[k]) + cell[k]));
  coverage = uint16_t(std::min(255.0f, float(coverage) + cell[3]));
}
}  // namespace

StarKernel PrepareStarKernel(const ConvolutionKernel& pattern, int32_t colour, float strength) {
  StarKernel out;
  const size_t cellCount = size_t(pattern.Width()) * size_t(pattern.Height());
  if (pattern.Empty() || pattern.radiusX < 0 || pattern.radiusY < 0 || pattern.cells.size() < cellCount * 3)
    return out;
  const float scale[3] = {float((colour >> 16) & 0xFF) * strength, float((colour >> 8) & 0xFF) * strength,
                          float(colour & 0xFF) * strength};
  const int pw = pattern.Width();
  auto scaled = [&](int row, int column, int k) {
    return Sanitize(pattern.cells[(size_t(row) * pw + size_t(column)) * 3 + size_t(k)] * scale[k]);
  };
  // Rows from the top whose weights all stay below 1 add (almost) nothing and are cut from all
  // four sides; the row where the peak first reaches 1 is cut too.
  int t = 0;
  float peak = 0.0f;
  while (t < pattern.radiusY && peak < 1.0f) {
    for (int c = 0; c < pw; ++c)
      for (int k = 0; k < 3; ++k) peak = std::max(peak, scaled(t, c, k));
    ++t;
  }
  if (t > pattern.radiusX) return out;  // a pattern narrower than it is high
  out.width = pw - 2 * t;
  out.height = pattern.Height() - 2 * t;
  out.cells.resize(size_t(out.width) * size_t(out.height) * kStride);
  float* cell = out.cells.data();
  for (int r = 0; r < out.height; ++r) {
    for (int c = 0; c < out.width; ++c, cell += kStride) {
      for (int k = 0; k < 3; ++k) cell[k] = scaled(r + t, c + t, k);
      cell[3] = std::max({cell[0], cell[1], cell[2]});
    }
  }
  return out;
}

void StampStars(const StarKernel& kernel, const uint8_t* const* edgeRows, uint8_t* const* colorRows,
                uint16_t* coverage16, int W, int H, int dx, int dy) {
  if (kernel.width <= 0 || kernel.height <= 0) return;
  const int rx = kernel.RadiusX(), ry = kernel.RadiusY();
  for (int y = 0; y < H; ++y) {
    const uint8_t* edge = edgeRows[y];
    const int64_t cy = int64_t(y) + dy;
    if (cy + ry < 0 || cy - ry >= H) continue;
    const int ty0 = int(std::max<int64_t>(0, cy - ry)), ty1 = int(std::min<int64_t>(H - 1, cy + ry));
    for (int x = 0; x < W; ++x) {
      if (!edge[x]) continue;
      const int64_t cx = int64_t(x) + dx;
      if (cx + rx < 0 || cx - rx >= W) continue;
      const int tx0 = int(std::max<int64_t>(0, cx - rx)), tx1 = int(std::min<int64_t>(W - 1, cx + rx));
      const int count = tx1 - tx0 + 1;
      for (int ty = ty0; ty <= ty1; ++ty) {
        const float* cell =
            kernel.cells.data() + (size_t(ty - cy + ry) * kernel.width + size_t(tx0 - cx + rx)) * kStride;
        uint8_t* px = colorRows[ty] + size_t(tx0) * 3;
        uint16_t* cov = coverage16 + size_t(ty) * W + tx0;
        for (int i = 0; i < count; ++i, cell += kStride, px += 3) AddCell(cell, px, cov[i]);
      }
    }
  }
}

void StampStarsDirect(const StarKernel& kernel, const uint8_t* const* edgeRows, uint8_t* const* colorRows,
                      uint16_t* coverage16, int W, int H, int dx, int dy) {
  if (kernel.width <= 0 || kernel.height <= 0) return;
  const int rx = kernel.RadiusX(), ry = kernel.RadiusY();
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      if (!edgeRows[y][x]) continue;
      for (int j = -ry; j <= ry; ++j) {
        for (int i = -rx; i <= rx; ++i) {
          const int64_t tx = int64_t(x) + dx + i, ty = int64_t(y) + dy + j;
          if (tx < 0 || ty < 0 || tx >= W || ty >= H) continue;
          const float* cell = kernel.cells.data() + (size_t(j + ry) * kernel.width + size_t(i + rx)) * kStride;
          AddCell(cell, colorRows[ty] + tx * 3, coverage16[size_t(ty) * W + size_t(tx)]);
        }
      }
    }
  }
}

void StarFilterEffect(const EffectTarget& t, int starType, int32_t colour, float strength, int dx, int dy) {
  // A type from an edited style file that names no pattern paints nothing.
  if (starType < 0 || starType >= int(t.ctx.lightPatterns.size())) return;
  const StarKernel kernel = PrepareStarKernel(t.ctx.lightPatterns[size_t(starType)], colour, strength);
  StampStars(kernel, t.work.edgeRows.data(), t.colorRows, t.coverage16, t.W, t.H, dx, dy);
}
