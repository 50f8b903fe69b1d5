#include <algorithm>
#include <vector>

#include "raster/engine_context.h"
#include "effects/shadow_effects.h"

void DepthBlur(const EffectTarget& t, const ConvolutionKernel& dome) {
  const int W = t.W, H = t.H;
  if (W <= 0 || H <= 0 || dome.Empty()) return;
  const int rx = dome.radiusX, ry = dome.radiusY;
  const size_t rowBytes = size_t(W) * 3;
  std::vector<uint8_t> copy(rowBytes * size_t(H));
  for (int y = 0; y < H; ++y) std::copy(t.colorRows[y], t.colorRows[y] + rowBytes, copy.data() + size_t(y) * rowBytes);

  for (int y = 0; y < H; ++y) {
    uint8_t* out = t.colorRows[y];
    for (int x = 0; x < W; ++x) {
      double sum[3] = {0, 0, 0};
      for (int j = -ry; j <= ry; ++j) {
        const int sy = std::clamp(y + j, 0, H - 1);
        const uint8_t* row = copy.data() + size_t(sy) * rowBytes;
        for (int i = -rx; i <= rx; ++i) {
          const int sx = std::clamp(x + i, 0, W - 1);
          const uint8_t* p = row + size_t(sx) * 3;
          const float* w = dome.Cell(i, j);
          sum[0] += double(p[0]) * w[0];
          sum[1] += double(p[1]) * w[1];
          sum[2] += double(p[2]) * w[2];
        }
      }
      for (int k = 0; k < 3; ++k) {
        const double v = sum[k];
        out[size_t(x) * 3 + k] = v > 255.0 ? 255 : (v > 0.0 ? uint8_t(v) : 0);
      }
    }
  }
}
