// 3D Single Color: the glyphs lit as a raised surface by one point light.
#include <algorithm>
#include <cmath>

#include "effects/shift_window.h"
#include "effects/effect_bodies.h"
#include "effects/effect_catalogue.h"
#include "effects/three_d_model.h"
#include "raster/engine_context.h"

namespace {
constexpr double kLightX = 4000, kLightY = 10000, kLightZ = -4000;
constexpr double kDiffuse = 0.99609375;  // 255 / 256
}  // namespace

Shade3DParams Shade3DParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  Shade3DParams p{in.Stored("color"), in.Stored("offsetX"), in.Stored("offsetY"), {}};
  LoadProfile(p.profile, record);
  return p;
}

void ApplyEffect(const EffectTarget& t, const Shade3DParams& p) {
  EngineContext& ctx = t.ctx;
  ctx.threeD.profile = p.profile;
  BuildDistanceMap(ctx);
  const ThreeDState& state = ctx.threeD;
  const int32_t colour = p.colour;
  // Byte order of the pixels: blue, green, red.
  const int surface[3] = {(colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF};
  const ShiftWindow win(t.W, t.H, p.dx, p.dy);
  const int halfW = t.W / 2, halfH = t.H / 2;
  SurfaceRows heights(state);
  for (int y = win.y0; y < win.y1; ++y) {
    const int sy = y - win.dy;
    const uint8_t* glyph = t.glyphRows[sy];
    uint8_t* dest = t.colorRows[y];
    uint16_t* coverage = t.coverage16 + size_t(y) * t.W;
    for (int x = win.x0; x < win.x1; ++x) {
      const int sx = x - win.dx;
      const uint8_t* m = glyph + sx * 3;
      if (m[0] == 0) continue;
      const SurfacePoint n = heights.Normal(sx, sy);
      double lx = kLightX - (sx - halfW), ly = kLightY - n.height, lz = kLightZ - (sy - halfH);
      const double len = std::sqrt(lx * lx + ly * ly + lz * lz);
      lx /= len, ly /= len, lz /= len;
      const double d = n.nx * lx + n.ny * ly + n.nz * lz;
      uint8_t* px = dest + x * 3;
      for (int k = 0; k < 3; ++k) {
        double v = d * kDiffuse * surface[k];
        if (v < 0) v = 0;
        v += surface[k] / 3;
        const int out = std::min(255, int(v));
        px[k] = uint8_t(((255 - m[k]) * px[k] + m[k] * out) >> 8);
      }
      coverage[x] = uint16_t(coverage[x] + m[0]);
    }
  }
}
