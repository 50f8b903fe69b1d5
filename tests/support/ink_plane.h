#pragma once
// A drawing target of 1 or 3 bytes a pixel with a guard margin all round: a write outside the
// target lands in the margin, where guardInk() finds it.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace testsupport {

struct InkPlane {
  static constexpr int kGuard = 16;
  int w, h, bpp;
  std::vector<uint8_t> mem;
  std::vector<uint8_t*> rows;

  InkPlane(int w_, int h_, int bpp_ = 1) : w(w_), h(h_), bpp(bpp_) {
    const size_t stride = size_t(w + 2 * kGuard) * bpp;
    mem.assign(stride * size_t(h + 2 * kGuard), 0);
    for (int y = 0; y < h; ++y) rows.push_back(mem.data() + size_t(y + kGuard) * stride + size_t(kGuard * bpp));
  }
  // The rows point into mem: moving keeps them valid, copying would not.
  InkPlane(InkPlane&&) = default;
  InkPlane& operator=(InkPlane&&) = default;
  InkPlane(const InkPlane&) = delete;
  InkPlane& operator=(const InkPlane&) = delete;

  bool lit(int x, int y) const { return rows[size_t(y)][x * bpp] != 0; }
  int count() const {
    int n = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) n += lit(x, y);
    return n;
  }
  int guardInk() const {
    int n = 0;
    for (uint8_t b : mem) n += b != 0;
    for (int y = 0; y < h; ++y)
      for (int i = 0; i < w * bpp; ++i) n -= rows[size_t(y)][i] != 0;
    return n;
  }
  // The first byte of every pixel in columns x0..x1 - 1, row by row.
  std::vector<uint8_t> columns(int x0, int x1) const {
    std::vector<uint8_t> out;
    for (int y = 0; y < h; ++y)
      for (int x = x0; x < x1; ++x) out.push_back(rows[size_t(y)][x * bpp]);
    return out;
  }
  std::vector<uint8_t> pixels() const { return columns(0, w); }
  // Ink bounding box: x0, y0, x1, y1 (inclusive); x0 = -1 when blank.
  std::array<int, 4> inkBox() const {
    std::array<int, 4> b{-1, -1, -1, -1};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (lit(x, y)) {
          if (b[0] < 0 || x < b[0]) b[0] = x;
          if (b[1] < 0) b[1] = y;
          b[2] = std::max(b[2], x);
          b[3] = y;
        }
    return b;
  }
  // The ink inside its box, row by row (for comparing shapes drawn at different places).
  std::vector<uint8_t> cropped() const {
    const auto b = inkBox();
    std::vector<uint8_t> out;
    for (int y = b[1]; b[0] >= 0 && y <= b[3]; ++y)
      for (int x = b[0]; x <= b[2]; ++x) out.push_back(rows[size_t(y)][x * bpp]);
    return out;
  }
};

}  // namespace testsupport
