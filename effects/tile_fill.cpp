#include <algorithm>

#include "raster/engine_context.h"
#include "effects/fill_effects.h"

// Cells that run past the right or bottom border average only their pixels inside the work area
// (still divided by the full cell size), and a cell centre outside the area is read at the
// nearest pixel inside it.
void TileFill(const EffectTarget& t, const std::string& fileName) {
  const int W = t.W, H = t.H;
  if (W <= 0 || H <= 0) return;
  FillTexture tex;
  if (!LoadFillTexture(FillTexturePath(t, fileName), tex)) return;
  const int tw = tex.width, th = tex.height;
  const int64_t cellArea = int64_t(tw) * th;
  const float kScale = 0.005f;

  for (int cy = 0; cy < H; cy += th) {
    const int rows = std::min(th, H - cy);
    for (int cx = 0; cx < W; cx += tw) {
      const int cols = std::min(tw, W - cx);
      int64_t sum[3] = {0, 0, 0};
      for (int y = 0; y < rows; ++y) {
        const uint8_t* c = t.colorRows[cy + y] + size_t(cx) * 3;
        for (int x = 0; x < cols; ++x, c += 3) {
          sum[0] += c[0];
          sum[1] += c[1];
          sum[2] += c[2];
        }
      }
      const int64_t avgB = sum[0] / cellArea, avgG = sum[1] / cellArea, avgR = sum[2] / cellArea;
      const int centreX = std::min(cx + tw / 2, W - 1);
      const int centreY = std::min(cy + th / 2, H - 1);
      const bool on = t.coverage16[size_t(centreY) * W + centreX] > 0;

      for (int y = 0; y < rows; ++y) {
        uint8_t* c = t.colorRows[cy + y] + size_t(cx) * 3;
        uint16_t* cov = t.coverage16 + size_t(cy + y) * W + cx;
        for (int x = 0; x < cols; ++x, c += 3) {
          const uint8_t* texel = tex.Pixel(x, y);
          if (!on || (texel[0] == 0 && texel[1] == 0 && texel[2] == 0)) {
            c[0] = c[1] = c[2] = 0;
            cov[x] = 0;
            continue;
          }
          cov[x] = 255;
          c[2] = uint8_t(std::min<int64_t>(255, int64_t(float(texel[2] * avgR) * kScale)));
          c[1] = uint8_t(std::min<int64_t>(255, int64_t(float(texel[1] * avgG) * kScale)));
          c[0] = uint8_t(std::min<int64_t>(255, int64_t(float(texel[0] * avgB) * kScale)));
        }
      }
    }
  }
}
