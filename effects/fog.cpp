// Fog: noise-modulated colour over the glyphs, denser where the 3D profile is higher.
#include <algorithm>
#include <cmath>

#include "raster/fractal_noise.h"
#include "effects/shift_window.h"
#include "effects/effect_bodies.h"
#include "effects/three_d_model.h"
#include "raster/engine_context.h"

void FogEffect(const EffectTarget& t, const EffectRecord& record) {
  EngineContext& ctx = t.ctx;
  BuildDistanceMap(ctx);
  LoadProfile(ctx.threeD.profile, record);
  const ThreeDState& state = ctx.threeD;
  const FractalNoise& noise = ContextNoise(ctx);
  const int32_t colour = record.p[0];
  const double fog[3] = {double((colour >> 16) & 0xFF), double((colour >> 8) & 0xFF), double(colour & 0xFF)};
  const double scale = double(record.p[10]) * 0.001;
  const double intensity = record.p[11];
  const ShiftWindow win(t.W, t.H, record.p[2], record.p[3]);
  if (state.distanceMap.size() < size_t(t.W) * size_t(t.H)) return;
  for (int y = win.y0; y < win.y1; ++y) {
    const int sy = y - win.dy;
    const uint8_t* glyph = t.glyphRows[sy];
    const float* distance = state.distanceMap.data() + size_t(sy) * t.W;
    uint8_t* dest = t.colorRows[y];
    uint16_t* coverage = t.coverage16 + size_t(y) * t.W;
    for (int x = win.x0; x < win.x1; ++x) {
      const int sx = x - win.dx;
      if (glyph[sx * 3] == 0) continue;
      const double n = std::max(0.0, (noise(sx * scale, sy * scale, 0.0) + 1.0) * 0.5);
      double a = Profile(state.profile, distance[sx]) * intensity * n * 0.01;
      if (a > 1) a = 1;
      // A profile below zero thins the fog: channels and coverage are kept from going negative.
      if (!std::isfinite(a)) a = 0;
      uint8_t* px = dest + x * 3;
      for (int k = 0; k < 3; ++k) {
        const double v = std::clamp(px[k] * (1 - a) + fog[k] * a, 0.0, 255.0);
        px[k] = uint8_t(v);
      }
      const double c = std::trunc(coverage[x] + a * 255);
      coverage[x] = c < 0 ? 0 : uint16_t(int64_t(c));
    }
  }
}
