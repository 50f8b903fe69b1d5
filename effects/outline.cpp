#include <algorithm>

#include "raster/engine_context.h"
#include "effects/shadow_common.h"
#include "effects/shadow_effects.h"

void OutlineStamp(const EffectTarget& t, const ConvolutionKernel& disk, int32_t colour, int dx, int dy) {
  const int W = t.W, H = t.H;
  if (W <= 0 || H <= 0 || disk.Empty()) return;
  float s[3];
  shadow::Components(colour, s);
  const int rx = disk.radiusX, ry = disk.radiusY;
  const int64_t ox = dx, oy = dy;
  for (int y = 0; y < H; ++y) {
    const uint8_t* edge = t.work.edgeRows[size_t(y)];
    for (int x = 0; x < W; ++x) {
      if (edge[x] == 0) continue;
      const int64_t cx = x + ox, cy = y + oy;
      if (cx - rx >= W || cy - ry >= H || cx + rx < 0 || cy + ry < 0) continue;
      const int j0 = int(std::max<int64_t>(-ry, -cy)), j1 = int(std::min<int64_t>(ry, H - 1 - cy));
      const int i0 = int(std::max<int64_t>(-rx, -cx)), i1 = int(std::min<int64_t>(rx, W - 1 - cx));
      for (int j = j0; j <= j1; ++j) {
        const int ty = int(cy + j);
        uint8_t* row = t.colorRows[ty];
        uint16_t* cov = t.coverage16 + size_t(ty) * W;
        for (int i = i0; i <= i1; ++i) {
          const int tx = int(cx + i);
          const float* w = disk.Cell(i, j);
          uint8_t* c = row + size_t(tx) * 3;
          for (int k = 0; k < 3; ++k) c[k] = shadow::Byte((1.0f - w[k]) * float(c[k]) + s[k] * w[k]);
          cov[tx] = shadow::Store(w[0] * 255.0f + float(shadow::Signed(cov[tx])));
        }
      }
    }
  }
}
