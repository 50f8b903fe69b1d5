#include <algorithm>

#include "raster/engine_context.h"
#include "effects/shadow_common.h"
#include "effects/shadow_effects.h"

void CutOutEffect(const EffectTarget& t, int dx, int dy, const ConvolutionKernel& dome, int32_t colour,
                  int locationX, int locationY) {
  const int W = t.W, H = t.H;
  if (W <= 0 || H <= 0 || dome.Empty()) return;
  const float q = 1.0f / 255.0f;
  const int rx = dome.radiusX, ry = dome.radiusY;
  float c[3];
  shadow::Components(colour, c);
  // Only the rows and columns whose target lands inside the area are visited.
  const int64_t yFrom = std::max<int64_t>(0, -int64_t(locationY));
  const int64_t yTo = std::min<int64_t>(H, int64_t(H) - locationY);
  const int64_t xFrom = std::max<int64_t>(0, -int64_t(locationX));
  const int64_t xTo = std::min<int64_t>(W, int64_t(W) - locationX);
  for (int64_t y = yFrom; y < yTo; ++y) {
    const uint8_t* glyph = t.glyphRows[y];
    const int ty = int(y + locationY);
    uint8_t* out = t.colorRows[ty];
    uint16_t* cov = t.coverage16 + size_t(ty) * W;
    for (int64_t x = xFrom; x < xTo; ++x) {
      // An unlit pixel gets s = 0, which leaves its target exactly as it is.
      if (glyph[x * 3] == 0) continue;
      float s[3] = {0, 0, 0};
      for (int j = -ry; j <= ry; ++j) {
        const int64_t sy = y + j - dy;
        const bool rowInside = sy >= 0 && sy < H;
        const uint8_t* srow = rowInside ? t.glyphRows[sy] : nullptr;
        for (int i = -rx; i <= rx; ++i) {
          const int64_t sx = x + i - dx;
          const float* w = dome.Cell(i, j);
          if (rowInside && sx >= 0 && sx < W) {
            const uint8_t* g = srow + sx * 3;
            for (int k = 0; k < 3; ++k) s[k] += float(255 - g[k]) * w[k] * q;
          } else {
            for (int k = 0; k < 3; ++k) s[k] += q * w[k] * 255.0f;
          }
        }
      }
      for (int k = 0; k < 3; ++k) s[k] = std::min(s[k], 1.0f);
      const int tx = int(x + locationX);
      uint8_t* p = out + size_t(tx) * 3;
      for (int k = 0; k < 3; ++k) p[k] = shadow::Byte((1.0f - s[k]) * float(p[k]) + s[k] * c[k]);
      cov[tx] = shadow::Store(s[0] * 255.0f + float(shadow::Signed(cov[tx])));
    }
  }
}
