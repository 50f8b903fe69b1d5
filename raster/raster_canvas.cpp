#include "raster/raster_canvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "raster/work_set.h"
#include "imaging/dib_image.h"

RasterCanvas& RasterCanvas::operator=(const RasterCanvas& other) {
  if (this == &other) return *this;
  bits = other.bits;
  coverage = other.coverage;
  width = other.width;
  height = other.height;
  BuildRows();
  return *this;
}

RasterCanvas& RasterCanvas::operator=(RasterCanvas&& other) noexcept {
  if (this == &other) return *this;
  bits = std::move(other.bits);
  coverage = std::move(other.coverage);
  colorRows = std::move(other.colorRows);
  coverageRows = std::move(other.coverageRows);
  width = other.width;
  height = other.height;
  other.Release();
  return *this;
}

void RasterCanvas::BuildRows() {
  colorRows.resize(size_t(height));
  coverageRows.resize(size_t(height));
  for (int32_t y = 0; y < height; ++y) {
    colorRows[size_t(y)] = bits.data() + size_t(y) * size_t(width) * 3;
    coverageRows[size_t(y)] = coverage.data() + size_t(y) * size_t(width);
  }
}

int RasterCanvas::Create(int32_t w, int32_t h, const ImageLimits& limits) {
  Release();
  if (w < 0 || h < 0) return -1;
  const int64_t rw = (int64_t(w) + 3) / 4 * 4, rh = (int64_t(h) + 3) / 4 * 4;
  if (rw > 0 && rh > 0 && !limits.Refusal(uint64_t(rw), uint64_t(rh), 4).empty()) return -1;
  width = int32_t(rw);
  height = int32_t(rh);
  bits.assign(size_t(rw * rh * 3), 0);
  coverage.assign(size_t(rw * rh), 0);
  BuildRows();
  return 0;
}

void RasterCanvas::Release() {
  // The memory is kept for the next Create: canvases are rebuilt at every render, and fresh
  // pages cost more than clearing used ones.
  bits.clear();
  coverage.clear();
  colorRows.clear();
  coverageRows.clear();
  width = height = 0;
}

void RasterCanvas::LoadFromWorkSet(const uint8_t* const* colorRowsTopDown, int32_t w, int32_t h,
                                   const uint16_t* coverage16) {
  if (Create(w, h) != 0) return;
  // Callers pass sizes that are already multiples of 4, so the canvas is exactly w x h.
  const int32_t cw = std::min(w, width), ch = std::min(h, height);
  // A zero-width item has no rows to copy from (its row pointers are null).
  if (cw <= 0) return;
  for (int32_t y = 0; y < ch; ++y) {
    std::memcpy(colorRows[size_t(y)], colorRowsTopDown[y], size_t(cw) * 3);
    const uint16_t* src = coverage16 + size_t(y) * size_t(w);
    uint8_t* dst = coverageRows[size_t(y)];
    for (int32_t x = 0; x < cw; ++x) dst[x] = src[x] > 255 ? 255 : uint8_t(src[x]);
  }
}

void RasterCanvas::CompositeOver(const RasterCanvas& source, int32_t x, int32_t y) {
  const int32_t x0 = std::max(0, x), x1 = std::min(width, x + source.width);
  const int32_t y0 = std::max(0, y), y1 = std::min(height, y + source.height);
  if (x0 >= x1 || y0 >= y1) return;
  for (int32_t row = y0; row < y1; ++row) {
    uint8_t* d = colorRows[size_t(row)];
    uint8_t* dc = coverageRows[size_t(row)];
    const uint8_t* s = source.colorRows[size_t(row - y)];
    const uint8_t* sc = source.coverageRows[size_t(row - y)];
    for (int32_t col = x0; col < x1; ++col) {
      const int a = sc[col - x];
      // A fully transparent source leaves the page as it is: the shift by 8 would otherwise dim
      // every page pixel under the item's box by one level (255 -> 254), which shows as a box in
      // transparent GIFs reduced by popularity.
      const int keep = a == 0 ? 256 : 255 - a;
      for (int k = 0; k < 3; ++k) {
        const int v = ((d[col * 3 + k] * keep) >> 8) + s[(col - x) * 3 + k];
        d[col * 3 + k] = uint8_t(std::min(255, v));
      }
      dc[col] = uint8_t(std::min(255, dc[col] + a));
    }
  }
}

void RasterCanvas::SmoothEdges(RasterCanvas& target, int32_t x, int32_t y, int32_t antiAliasing) const {
  if (!antiAliasing) return;
  const int32_t r0 = std::max(0, y) + 1, r1 = std::min(target.height, y + height) - 2;
  const int32_t c0 = std::max(0, x) + 1, c1 = std::min(target.width, x + width) - 2;
  if (r0 > r1 || c0 > c1) return;
  const std::vector<uint8_t> copy = target.bits;
  const size_t stride = size_t(target.width) * 3;
  for (int32_t row = r0; row <= r1; ++row) {
    const uint8_t* cov = coverageRows[size_t(row - y)];
    const uint8_t* covUp = coverageRows[size_t(row - y - 1)];
    const uint8_t* covDown = coverageRows[size_t(row - y + 1)];
    for (int32_t col = c0; col <= c1; ++col) {
      const int cx = col - x;
      const int m = cov[cx];
      const int g = std::abs(m - covUp[cx]) + std::abs(m - covDown[cx]) + std::abs(m - cov[cx - 1]) +
                    std::abs(m - cov[cx + 1]);
      if (g <= 127) continue;
      const uint8_t* c = copy.data() + size_t(row) * stride + size_t(col) * 3;
      uint8_t* d = target.colorRows[size_t(row)] + size_t(col) * 3;
      for (int k = 0; k < 3; ++k) {
        const int sum = c[k] + (c[k - int(stride)] >> 2) + (c[k + stride] >> 2) + (c[k - 3] >> 2) +
                        (c[k + 3] >> 2);
        d[k] = uint8_t(sum >> 1);
      }
    }
  }
}

void RasterCanvas::BlendOntoImage(DibImage& image, int32_t x, int32_t y) const {
  if (image.BitCount() != 24) return;
  DibRowTable rows(image);
  const int32_t x0 = std::max(0, x), x1 = std::min(image.Width(), x + width);
  const int32_t y0 = std::max(0, y), y1 = std::min(image.Height(), y + height);
  for (int32_t row = y0; row < y1; ++row) {
    uint8_t* d = rows[row];
    const uint8_t* s = colorRows[size_t(row - y)];
    const uint8_t* sc = coverageRows[size_t(row - y)];
    for (int32_t col = x0; col < x1; ++col) {
      const int a = sc[col - x];
      uint8_t* dp = d + size_t(col) * 3;
      const uint8_t* sp = s + size_t(col - x) * 3;
      if (a == 255) {
        dp[0] = sp[0];
        dp[1] = sp[1];
        dp[2] = sp[2];
        continue;
      }
      for (int k = 0; k < 3; ++k)
        dp[k] = uint8_t(std::min(255, ((dp[k] * (256 - a)) >> 8) + ((sp[k] * a) >> 8)));
    }
  }
}

void RasterCanvas::FlipVertical() {
  for (int32_t i = 0; i < height / 2; ++i) {
    std::swap_ranges(colorRows[size_t(i)], colorRows[size_t(i)] + size_t(width) * 3,
                     colorRows[size_t(height - 1 - i)]);
    std::swap_ranges(coverageRows[size_t(i)], coverageRows[size_t(i)] + size_t(width),
                     coverageRows[size_t(height - 1 - i)]);
  }
}

void RasterCanvas::FillColour(int32_t colour) {
  const uint8_t b = uint8_t((colour >> 16) & 0xFF), g = uint8_t((colour >> 8) & 0xFF),
                r = uint8_t(colour & 0xFF);
  for (size_t i = 0; i + 2 < bits.size(); i += 3) {
    bits[i] = b;
    bits[i + 1] = g;
    bits[i + 2] = r;
  }
}
