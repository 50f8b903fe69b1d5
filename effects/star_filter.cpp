// Star Filtering: a light pattern added around every outline pixel.
#include "effects/star_filter.h"

#include <algorithm>
#include <cmath>

#include "effects/effect_bodies.h"
#include "raster/convolution_kernel.h"
#include "raster/engine_context.h"
#include "effects/effect_catalogue.h"

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
  out.spanFirst.assign(size_t(out.height), out.width);
  out.spanLast.assign(size_t(out.height), -1);
  float* cell = out.cells.data();
  for (int r = 0; r < out.height; ++r) {
    for (int c = 0; c < out.width; ++c, cell += kStride) {
      for (int k = 0; k < 3; ++k) cell[k] = scaled(r + t, c + t, k);
      cell[3] = std::max({cell[0], cell[1], cell[2]});
      if (cell[3] >= 1.0f) {
        out.spanFirst[size_t(r)] = std::min(out.spanFirst[size_t(r)], c);
        out.spanLast[size_t(r)] = c;
      }
    }
  }
  return out;
}

namespace {
// A cell below 1 changes no colour byte, but it still caps a coverage above 255 at 255. The
// pixels some stamp reaches (the edge pixels shifted by (dx, dy) and widened by the kernel's box)
// get that cap up front, so that the stamps may skip those cells. Once capped, a coverage stays
// capped, so doing it first gives the same result as doing it in stamp order.
void CapCoverageUnderStamps(const uint8_t* const* edgeRows, uint16_t* coverage16, int W, int H, int dx, int dy,
                            int rx, int ry) {
  std::vector<int> prefix(size_t(W) + 1);
  std::vector<int32_t> hits(size_t(W) * size_t(H), 0);  // per target column: rows whose stamps reach it
  for (int y = 0; y < H; ++y) {
    prefix[0] = 0;
    for (int x = 0; x < W; ++x) prefix[size_t(x) + 1] = prefix[size_t(x)] + (edgeRows[y][x] != 0);
    if (prefix[size_t(W)] == 0) continue;
    const int64_t ty = int64_t(y) + dy;
    if (ty + ry < 0 || ty - ry >= H) continue;
    // Row y's stamps reach target column tx when an edge lies in [tx - dx - rx, tx - dx + rx].
    for (int tx = 0; tx < W; ++tx) {
      const int64_t lo = std::max<int64_t>(0, int64_t(tx) - dx - rx);
      const int64_t hi = std::min<int64_t>(W - 1, int64_t(tx) - dx + rx);
      if (lo > hi || prefix[size_t(hi) + 1] == prefix[size_t(lo)]) continue;
      const int y0 = int(std::max<int64_t>(0, ty - ry)), y1 = int(std::min<int64_t>(H - 1, ty + ry));
      // Mark the vertical run [y0, y1] as a difference: +1 at y0, -1 after y1.
      ++hits[size_t(y0) * W + tx];
      if (y1 + 1 < H) --hits[size_t(y1 + 1) * W + tx];
    }
  }
  for (int tx = 0; tx < W; ++tx) {
    int32_t running = 0;
    for (int ty = 0; ty < H; ++ty) {
      running += hits[size_t(ty) * W + tx];
      uint16_t& c = coverage16[size_t(ty) * W + tx];
      if (running > 0 && c > 255) c = 255;
    }
  }
}
}  // namespace

void StampStars(const StarKernel& kernel, const uint8_t* const* edgeRows, uint8_t* const* colorRows,
                uint16_t* coverage16, int W, int H, int dx, int dy) {
  if (kernel.width <= 0 || kernel.height <= 0) return;
  const int rx = kernel.RadiusX(), ry = kernel.RadiusY();
  CapCoverageUnderStamps(edgeRows, coverage16, W, H, dx, dy, rx, ry);
  for (int y = 0; y < H; ++y) {
    const uint8_t* edge = edgeRows[y];
    const int64_t cy = int64_t(y) + dy;
    if (cy + ry < 0 || cy - ry >= H) continue;
    const int ty0 = int(std::max<int64_t>(0, cy - ry)), ty1 = int(std::min<int64_t>(H - 1, cy + ry));
    for (int x = 0; x < W; ++x) {
      if (!edge[x]) continue;
      const int64_t cx = int64_t(x) + dx;
      if (cx + rx < 0 || cx - rx >= W) continue;
      for (int ty = ty0; ty <= ty1; ++ty) {
        const int row = int(ty - cy + ry);
        // The row's span, clipped to the area, in kernel columns.
        const int c0 = std::max<int>(kernel.spanFirst[size_t(row)], int(std::max<int64_t>(0, rx - cx)));
        const int c1 = std::min<int>(kernel.spanLast[size_t(row)], int(std::min<int64_t>(kernel.width - 1, W - 1 - cx + rx)));
        if (c0 > c1) continue;
        const float* cell = kernel.cells.data() + (size_t(row) * kernel.width + size_t(c0)) * kStride;
        const int64_t tx0 = cx - rx + c0;
        uint8_t* px = colorRows[ty] + size_t(tx0) * 3;
        uint16_t* cov = coverage16 + size_t(ty) * W + size_t(tx0);
        for (int i = 0, n = c1 - c0 + 1; i < n; ++i, cell += kStride, px += 3) AddCell(cell, px, cov[i]);
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

void StampStarsScaled(const StarKernel& kernel, double s, const uint8_t* const* edgeRows, uint8_t* const* colorRows,
                      uint16_t* coverage16, int W, int H, int dx, int dy) {
  if (kernel.width <= 0 || kernel.height <= 0 || W <= 0 || H <= 0) return;
  // At 1x every add truncates, so a stamp adds the whole part of each weight. The larger
  // picture lays s times as many stamps along an edge, each the 1x stamp's whole parts drawn
  // s times larger (bilinear) at 1/s of the weight, summed exactly and truncated once.
  const int krx = kernel.RadiusX(), kry = kernel.RadiusY();
  auto whole = [&](int x, int y, int k) {
    if (x < -krx || x > krx || y < -kry || y > kry) return 0.0f;
    return std::floor(kernel.cells[(size_t(y + kry) * kernel.width + size_t(x + krx)) * kStride + size_t(k)]);
  };
  const int rx = int(std::lround(krx * s)), ry = int(std::lround(kry * s));
  const int kw = 2 * rx + 1, kh = 2 * ry + 1;
  std::vector<float> cells(size_t(kw) * size_t(kh) * kStride);
  for (int y = -ry; y <= ry; ++y)
    for (int x = -rx; x <= rx; ++x) {
      const double fx = x / s, fy = y / s;
      const int x0 = int(std::floor(fx)), y0 = int(std::floor(fy));
      const float ax = float(fx - x0), ay = float(fy - y0);
      float* cell = cells.data() + (size_t(y + ry) * kw + size_t(x + rx)) * kStride;
      for (int k = 0; k < kStride; ++k) {
        const float top = whole(x0, y0, k) * (1 - ax) + whole(x0 + 1, y0, k) * ax;
        const float bottom = whole(x0, y0 + 1, k) * (1 - ax) + whole(x0 + 1, y0 + 1, k) * ax;
        cell[k] = float((top * (1 - ay) + bottom * ay) / s);
      }
    }
  CapCoverageUnderStamps(edgeRows, coverage16, W, H, dx, dy, rx, ry);
  std::vector<float> sums(size_t(W) * size_t(H) * kStride, 0.0f);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      if (!edgeRows[y][x]) continue;
      const int64_t cx = int64_t(x) + dx, cy = int64_t(y) + dy;
      const int ty0 = int(std::max<int64_t>(0, cy - ry)), ty1 = int(std::min<int64_t>(H - 1, cy + ry));
      const int tx0 = int(std::max<int64_t>(0, cx - rx)), tx1 = int(std::min<int64_t>(W - 1, cx + rx));
      for (int ty = ty0; ty <= ty1; ++ty) {
        const float* cell = cells.data() + (size_t(ty - cy + ry) * kw + size_t(tx0 - cx + rx)) * kStride;
        float* sum = sums.data() + (size_t(ty) * W + size_t(tx0)) * kStride;
        for (int tx = tx0; tx <= tx1; ++tx, cell += kStride, sum += kStride)
          for (int k = 0; k < kStride; ++k) sum[k] += cell[k];
      }
    }
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const float* sum = sums.data() + (size_t(y) * W + size_t(x)) * kStride;
      if (sum[3] <= 0 && sum[0] <= 0 && sum[1] <= 0 && sum[2] <= 0) continue;
      const float whole[4] = {std::floor(sum[0]), std::floor(sum[1]), std::floor(sum[2]), std::floor(sum[3])};
      AddCell(whole, colorRows[y] + size_t(x) * 3, coverage16[size_t(y) * W + size_t(x)]);
    }
}

void StarFilterEffect(const EffectTarget& t, int starType, int32_t colour, float strength, int dx, int dy) {
  // A type from an edited style file that names no pattern paints nothing.
  if (starType < 0 || starType >= int(t.ctx.lightPatterns.size())) return;
  if (t.ctx.lightPatternsPending) LoadLightPatterns(t.ctx);
  const StarKernel kernel = PrepareStarKernel(t.ctx.lightPatterns[size_t(starType)], colour, strength);
  if (t.ctx.passScale != 1)
    StampStarsScaled(kernel, t.ctx.passScale, t.work.edgeRows.data(), t.colorRows, t.coverage16, t.W, t.H, dx, dy);
  else
    StampStars(kernel, t.work.edgeRows.data(), t.colorRows, t.coverage16, t.W, t.H, dx, dy);
}

StarFilterParams StarFilterParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  return {in.Stored("color"), in.Stored("starType"), in.Stored("offsetX"), in.Stored("offsetY"),
          in.Scaled("intensity")};
}

void ApplyEffect(const EffectTarget& t, const StarFilterParams& p) {
  StarFilterEffect(t, p.starType, p.colour, float(p.intensity), p.dx, p.dy);
}
