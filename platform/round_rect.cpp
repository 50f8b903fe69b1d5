#include "platform/round_rect.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace platform {

// The shape is the continuous rounded rectangle [left, right) x [top, bottom) whose corners are
// quarters of an ellipse ellipseW x ellipseH; a pixel is lit when its centre lies inside. Each
// row's inset is computed from the distance to the nearer edge, so the result is symmetric
// left/right and top/bottom by construction.
void FillRoundRect(uint8_t* const* rows, int targetWidth, int targetHeight, int bytesPerPixel,
                   int left, int top, int right, int bottom, int ellipseW, int ellipseH) {
  if (rows == nullptr || targetWidth <= 0 || targetHeight <= 0 || bytesPerPixel <= 0) return;
  if (right <= left || bottom <= top) return;
  const int64_t boxW = int64_t(right) - left, boxH = int64_t(bottom) - top;
  // A corner ellipse larger than the box is clamped to it, as the platform primitive does.
  const int64_t ew = std::min<int64_t>(std::llabs(int64_t(ellipseW)), boxW);
  const int64_t eh = std::min<int64_t>(std::llabs(int64_t(ellipseH)), boxH);
  const bool rounded = ew > 0 && eh > 0;
  const double a = double(ew) / 2.0, b = double(eh) / 2.0;

  const int y0 = std::max(top, 0), y1 = std::min(bottom, targetHeight);
  for (int y = y0; y < y1; ++y) {
    int64_t inset = 0;
    if (rounded) {
      // Distance of the pixel centre from the nearer horizontal edge.
      const double fromEdge = double(std::min<int64_t>(y - top, bottom - 1 - y)) + 0.5;
      if (fromEdge < b) {
        const double dy = (b - fromEdge) / b;
        const double half = a * std::sqrt(std::max(0.0, 1.0 - dy * dy));
        // The first lit centre x + 0.5 must satisfy x + 0.5 >= left + a - half.
        inset = int64_t(std::ceil(a - half - 0.5 - 1e-9));
        if (inset < 0) inset = 0;
      }
    }
    const int64_t xs = std::max<int64_t>(int64_t(left) + inset, 0);
    const int64_t xe = std::min<int64_t>(int64_t(right) - inset, targetWidth);  // exclusive
    if (xs >= xe) continue;
    uint8_t* row = rows[y];
    std::fill(row + xs * bytesPerPixel, row + xe * bytesPerPixel, uint8_t(255));
  }
}

}  // namespace platform
