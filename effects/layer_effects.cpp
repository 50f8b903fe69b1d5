// Outer Glow, Inner Glow, Inner Shadow and Satin.
#include "effects/layer_effects.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "effects/effect_catalogue.h"
#include "effects/glyph_distance.h"
#include "effects/shadow_common.h"
#include "raster/engine_context.h"

namespace {

// Sizes and distances past this (only possible from a hand-edited style) are clamped; the dialogs
// stop at 100.
constexpr int kMaxLength = 1000;
int ClampLength(int32_t v) { return std::clamp<int32_t>(v, 0, kMaxLength); }
double ClampShare(double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; }

// Strength at edge distance e of something held full for spread x size and then faded out over
// the rest of size with a smoothstep; nothing when size is 0.
float Fade(float e, int size, double spread) {
  if (size <= 0) return 0.0f;
  const float solid = float(spread * size);
  if (e <= solid) return 1.0f;
  const float fade = float(size) - solid;
  if (fade <= 0.0f) return 0.0f;
  const float t = (e - solid) / fade;
  if (t >= 1.0f) return 0.0f;
  return 1.0f - t * t * (3.0f - 2.0f * t);
}

bool Lit(const EffectTarget& t, int x, int y) { return t.glyphRows[y][size_t(x) * 3] != 0; }

// Mixes colour s over the pixel with weight v and adds the weight to the coverage.
void Paint(uint8_t* c, uint16_t& cov, float v, const float s[3]) {
  if (!(v > 0.0f)) return;
  for (int k = 0; k < 3; ++k) c[k] = shadow::Byte(float(c[k]) * (1.0f - v) + v * s[k]);
  cov = shadow::Store(std::min(255.0f, v * 255.0f + float(shadow::Signed(cov))));
}

// colour at share 0 to colour2 at share 1.
void Between(const float a[3], const float b[3], float share, float out[3]) {
  for (int k = 0; k < 3; ++k) out[k] = a[k] + (b[k] - a[k]) * share;
}

// The glow's colour at edge distance e (the gradient runs over size).
void GlowColour(const GlowParams& p, const float a[3], const float b[3], float share, float out[3]) {
  if (p.gradient) {
    Between(a, b, std::clamp(share, 0.0f, 1.0f), out);
  } else {
    for (int k = 0; k < 3; ++k) out[k] = a[k];
  }
}

// The whole-pixel shift of distance pixels along angle degrees (anticlockwise from the right,
// rows growing downward).
void Shift(int angle, int distance, int& dx, int& dy) {
  const double r = double(angle) * 3.14159265358979323846 / 180.0;
  dx = int(std::lround(std::cos(r) * distance));
  dy = int(std::lround(-std::sin(r) * distance));
}

// The parameters both glows share.
void ReadGlow(const ParamReader& in, GlowParams& p) {
  p.colour = in.Stored("color");
  p.colour2 = in.Stored("color2");
  p.gradient = in.Stored("fill") == 1;
  p.size = in.Stored("size");
  p.spread = in.Scaled("spread");
  p.opacity = in.Scaled("opacity");
}

}  // namespace

OuterGlowParams OuterGlowParams::From(const EffectRecord& record) {
  OuterGlowParams p;
  ReadGlow(ParamReader(record), p);
  return p;
}

InnerGlowParams InnerGlowParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  InnerGlowParams p;
  ReadGlow(in, p);
  p.fromCentre = in.Stored("source") == 1;
  return p;
}

InnerShadowParams InnerShadowParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  return {in.Stored("color"), in.Stored("angle"),   in.Stored("distance"),
          in.Stored("size"),  in.Scaled("choke"),   in.Scaled("opacity")};
}

SatinParams SatinParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  return {in.Stored("color"), in.Stored("angle"),     in.Stored("distance"),
          in.Stored("size"),  in.Scaled("opacity"),   in.Stored("invert") != 0};
}

namespace {

// Both glows: painted where the glyphs are (inside) or are not, faded by the distance to the
// other side; a centre glow is strongest far from the edge instead.
void PaintGlow(const EffectTarget& t, const GlowParams& p, bool inside, bool fromCentre) {
  const int W = t.W, H = t.H, size = ClampLength(p.size);
  const double opacity = ClampShare(p.opacity), spread = ClampShare(p.spread);
  if (W <= 0 || H <= 0 || opacity == 0) return;
  // Edge source needs a size; a centre glow of size 0 covers the whole inside.
  if (size == 0 && !fromCentre) return;
  const std::vector<float> distance = DistanceToGlyph(t.glyphRows, W, H, !inside);
  float a[3], b[3], s[3];
  shadow::Components(p.colour, a);
  shadow::Components(p.colour2, b);
  for (int y = 0; y < H; ++y) {
    uint8_t* c = t.colorRows[y];
    uint16_t* cov = t.coverage16 + size_t(y) * W;
    for (int x = 0; x < W; ++x) {
      if (Lit(t, x, y) != inside) continue;
      const float e = distance[size_t(y) * W + x] - 0.5f;
      const float fade = Fade(e, size, spread);
      const float v = float(opacity) * (fromCentre ? 1.0f - fade : fade);
      if (v <= 0.0f) continue;
      const float share = size > 0 ? e / float(size) : 1.0f;
      GlowColour(p, a, b, fromCentre ? 1.0f - share : share, s);
      Paint(c + size_t(x) * 3, cov[x], v, s);
    }
  }
}

}  // namespace

void ApplyEffect(const EffectTarget& t, const OuterGlowParams& p) { PaintGlow(t, p, false, false); }

void ApplyEffect(const EffectTarget& t, const InnerGlowParams& p) { PaintGlow(t, p, true, p.fromCentre); }

void ApplyEffect(const EffectTarget& t, const InnerShadowParams& p) {
  const int W = t.W, H = t.H, size = ClampLength(p.size);
  const double opacity = ClampShare(p.opacity), choke = ClampShare(p.choke);
  if (W <= 0 || H <= 0 || opacity == 0) return;
  // The shadow falls away from the light.
  int dx = 0, dy = 0;
  Shift(p.angle, ClampLength(p.distance), dx, dy);
  dx = -dx;
  dy = -dy;
  const std::vector<float> toDark = DistanceToGlyph(t.glyphRows, W, H, false);
  const std::vector<float> toLit = DistanceToGlyph(t.glyphRows, W, H, true);
  // The outside, grown by the choke share of size and blurred over the rest of it on both sides
  // of its edge, as a softened shadow is.
  const float grown = float(choke * size), blur = float(size) - grown;
  float s[3];
  shadow::Components(p.colour, s);
  for (int y = 0; y < H; ++y) {
    uint8_t* c = t.colorRows[y];
    uint16_t* cov = t.coverage16 + size_t(y) * W;
    for (int x = 0; x < W; ++x) {
      if (!Lit(t, x, y)) continue;
      // The pixel the moved outside brings here; beyond the work area all is outside.
      const int qx = x - dx, qy = y - dy;
      float strength = 1.0f;
      if (qx >= 0 && qy >= 0 && qx < W && qy < H) {
        const size_t i = size_t(qy) * W + qx;
        // Its distance into the glyphs from the edge (negative outside).
        const float e = Lit(t, qx, qy) ? toDark[i] - 0.5f : 0.5f - toLit[i];
        if (blur <= 0.0f) {
          strength = e <= grown ? 1.0f : 0.0f;
        } else {
          const float u = std::clamp((e - grown + blur) / (2.0f * blur), 0.0f, 1.0f);
          strength = 1.0f - u * u * (3.0f - 2.0f * u);
        }
      }
      Paint(c + size_t(x) * 3, cov[x], float(opacity) * strength, s);
    }
  }
}

void ApplyEffect(const EffectTarget& t, const SatinParams& p) {
  const int W = t.W, H = t.H, size = ClampLength(p.size);
  const double opacity = ClampShare(p.opacity);
  if (W <= 0 || H <= 0 || opacity == 0) return;
  int dx = 0, dy = 0;
  Shift(p.angle, ClampLength(p.distance), dx, dy);
  const std::vector<float> toDark = DistanceToGlyph(t.glyphRows, W, H, false);
  const std::vector<float> toLit = DistanceToGlyph(t.glyphRows, W, H, true);
  // The glyph shape softened across the edge: 1 inside, 0 outside, a ramp of size pixels
  // centred on the edge between (a hard step for size 0). Beyond the work area it is 0.
  const auto soft = [&](int x, int y) -> float {
    if (x < 0 || y < 0 || x >= W || y >= H) return 0.0f;
    const size_t i = size_t(y) * W + x;
    const bool lit = Lit(t, x, y);
    if (size == 0) return lit ? 1.0f : 0.0f;
    const float edge = lit ? toDark[i] - 0.5f : 0.5f - toLit[i];
    return std::clamp(0.5f + edge / float(size), 0.0f, 1.0f);
  };
  float s[3];
  shadow::Components(p.colour, s);
  for (int y = 0; y < H; ++y) {
    uint8_t* c = t.colorRows[y];
    uint16_t* cov = t.coverage16 + size_t(y) * W;
    for (int x = 0; x < W; ++x) {
      if (!Lit(t, x, y)) continue;
      const float differ = std::fabs(soft(x + dx, y + dy) - soft(x - dx, y - dy));
      Paint(c + size_t(x) * 3, cov[x], float(opacity) * (p.invert ? 1.0f - differ : differ), s);
    }
  }
}
