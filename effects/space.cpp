// Space: the glyphs filled with star points whose colours follow black-body radiation.
#include <algorithm>
#include <cmath>

#include "raster/fractal_noise.h"
#include "effects/shift_window.h"
#include "effects/effect_bodies.h"
#include "effects/effect_catalogue.h"
#include "effects/random_trace.h"
#include "effects/three_d_model.h"
#include "raster/engine_context.h"

namespace {
// Planck's law with the constants the star colours were tuned with; lambda in metres.
double BlackBody(double lambda, double temperature) {
  const double b = 3.7469147814359997e-16 /
                   (std::pow(lambda, 5) * (std::exp(0.014404347826086955 / (lambda * temperature)) - 1));
  return std::isfinite(b) && b > 0 ? b : 0.0;
}

void AddStar(double out[3], double k, double temperature) {
  out[0] += k * 1e-10 * BlackBody(7e-7, temperature);
  out[1] += k * 1e-10 * BlackBody(6e-7, temperature);
  out[2] += k * 1e-10 * BlackBody(5e-7, temperature);
}
}  // namespace

SpaceParams SpaceParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  return {in.Stored("offsetX"), in.Stored("offsetY"), in.Scaled("size"), in.Stored("intensity")};
}

void ApplyEffect(const EffectTarget& t, const SpaceParams& p) {
  EngineContext& ctx = t.ctx;
  const FractalNoise& noise = ContextNoise(ctx);
  RandomGenerator& random = ctx.random;
  auto rand = [&random](int n) { return n == 0 ? 0 : random.Next() % n; };
  const double scale = p.noiseScale;
  const int intensity = p.intensity;
  const int second = int(std::clamp(intensity * 0.6, -2147483648.0, 2147483647.0));
  const ShiftWindow win(t.W, t.H, p.dx, p.dy);
  // A scaled render paints the stars the 1x render drew, each over its cell; the 1x render
  // records them (cells: 0x01000000 | red << 16 | green << 8 | blue).
  const RandomTrace::Entry* replayed = ctx.randomTrace.NextReplay();
  RandomTrace::Entry* record = replayed ? nullptr : StartTraceRecord(ctx, t.W, t.H);
  for (int y = win.y0; y < win.y1; ++y) {
    const int sy = y - win.dy;
    const uint8_t* glyph = t.glyphRows[sy];
    uint8_t* dest = t.colorRows[y];
    uint16_t* coverage = t.coverage16 + size_t(y) * t.W;
    for (int x = win.x0; x < win.x1; ++x) {
      const int sx = x - win.dx;
      if (glyph[sx * 3] == 0) continue;
      uint32_t star = 0;
      if (replayed) {
        star = TraceReplay(*replayed, ctx).At(sx, sy);
      } else {
        const double px = sx * scale, py = sy * scale;
        double out[3] = {0, 0, 0};  // red, green, blue
        if (rand(intensity) < 100) {
          const double n = (noise(px * 0.1, py * 0.1, 20.0) + 1) * 0.8;
          const double temperature = rand(1000) + n * 5000;
          const double k = rand(1000) * 0.0001 + 0.021;
          AddStar(out, k, temperature);
        }
        if (rand(second) < 100) {
          const double n = (noise(px * 0.3, py * 0.3 + 120, 120) + 1) * 0.8;
          const double temperature = rand(3000) + n * 3000;
          const double k = rand(800) * 5e-5 + 0.01;
          AddStar(out, k, temperature);
        }
        for (double& c : out) c = std::min(c, 255.0);
        if (out[0] + out[1] + out[2] != 0)
          star = 0x01000000u | uint32_t(uint8_t(out[0])) << 16 | uint32_t(uint8_t(out[1])) << 8 | uint8_t(out[2]);
        if (record) record->cells[size_t(sy) * size_t(t.W) + size_t(sx)] = star;
      }
      if (star != 0) {
        uint8_t* p = dest + x * 3;
        p[2] = uint8_t(star >> 16);
        p[1] = uint8_t(star >> 8);
        p[0] = uint8_t(star);
        coverage[x] = uint16_t(coverage[x] + 255);
      }
    }
  }
}
