#pragma once
// The target pixels of an effect drawn shifted by (dx, dy): every target whose source
// (x - dx, y - dy) lies inside the W x H area. Offsets may be anything a style file holds.
#include <algorithm>
#include <cstdint>

struct ShiftWindow {
  int x0 = 0, x1 = 0, y0 = 0, y1 = 0;  // targets x0 <= x < x1, y0 <= y < y1
  int dx = 0, dy = 0;

  ShiftWindow(int W, int H, int32_t offsetX, int32_t offsetY) {
    // Shifts of a whole side or more leave nothing; clamping first keeps the sums in range.
    const int64_t ox = std::clamp<int64_t>(offsetX, -int64_t(W), W);
    const int64_t oy = std::clamp<int64_t>(offsetY, -int64_t(H), H);
    dx = int(ox);
    dy = int(oy);
    x0 = int(std::max<int64_t>(0, ox));
    x1 = int(std::min<int64_t>(W, W + ox));
    y0 = int(std::max<int64_t>(0, oy));
    y1 = int(std::min<int64_t>(H, H + oy));
  }
};
