// Drop Shadow: a dome splatted under the glyphs.
#include <algorithm>
#include <vector>

#include "raster/engine_context.h"
#include "effects/shadow_common.h"
#include "effects/shadow_effects.h"
#include "effects/effect_bodies.h"
#include "effects/effect_catalogue.h"

void DropShadowEffect(const EffectTarget& t, int dx, int dy, const ConvolutionKernel& dome, int32_t colour) {
  const int W = t.W, H = t.H;
  if (W <= 0 || H <= 0 || dome.Empty()) return;
  const int rx = dome.radiusX, ry = dome.radiusY;
  std::vector<float> acc(size_t(W) * size_t(H), 0.0f);
  // The first weight of every cell, rows packed: the scatter below then reads and adds along
  // contiguous rows.
  const int kw = 2 * rx + 1;
  std::vector<float> weights(size_t(kw) * size_t(2 * ry + 1));
  for (int j = -ry; j <= ry; ++j)
    for (int i = -rx; i <= rx; ++i) weights[size_t(j + ry) * kw + size_t(i + rx)] = dome.Cell(i, j)[0];

  // Scatter: every lit glyph pixel adds the kernel's first weight around its shifted position.
  for (int y = 0; y < H; ++y) {
    const uint8_t* glyph = t.glyphRows[y];
    const int64_t cy = int64_t(y) + dy;
    if (cy + ry < 0 || cy - ry >= H) continue;
    const int ty0 = int(std::max<int64_t>(0, cy - ry)), ty1 = int(std::min<int64_t>(H - 1, cy + ry));
    for (int x = 0; x < W; ++x) {
      if (glyph[size_t(x) * 3] == 0) continue;
      const int64_t cx = int64_t(x) + dx;
      if (cx + rx < 0 || cx - rx >= W) continue;
      const int tx0 = int(std::max<int64_t>(0, cx - rx)), tx1 = int(std::min<int64_t>(W - 1, cx + rx));
      for (int ty = ty0; ty <= ty1; ++ty) {
        float* __restrict a = acc.data() + size_t(ty) * W + tx0;
        const float* __restrict k = weights.data() + size_t(ty - cy + ry) * kw + size_t(tx0 - cx + rx);
        const int n = tx1 - tx0 + 1;
        int i = 0;
        for (; i + 8 <= n; i += 8)  // whole groups: the compiler adds them as one vector
          for (int l = 0; l < 8; ++l) a[i + l] += k[i + l];
        for (; i < n; ++i) a[i] += k[i];
      }
    }
  }

  float s[3];
  shadow::Components(colour, s);
  for (int y = 0; y < H; ++y) {
    uint8_t* c = t.colorRows[y];
    uint16_t* cov = t.coverage16 + size_t(y) * W;
    const float* a = acc.data() + size_t(y) * W;
    for (int x = 0; x < W; ++x, c += 3) {
      const float v = std::min(a[x], 1.0f);
      for (int k = 0; k < 3; ++k) c[k] = shadow::Byte(float(c[k]) * (1.0f - v) + v * s[k]);
      cov[x] = shadow::Store(std::min(255.0f, v * 255.0f + float(shadow::Signed(cov[x]))));
    }
  }
}

DropShadowParams DropShadowParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  return {in.Stored("color"), in.Stored("offsetX"), in.Stored("offsetY"), in.Scaled("opacity"), in.Stored("blur")};
}

void ApplyEffect(const EffectTarget& t, const DropShadowParams& p) {
  DropShadowEffect(t, p.dx, p.dy, DomeKernel(p.blur, p.opacity), p.colour);
}
