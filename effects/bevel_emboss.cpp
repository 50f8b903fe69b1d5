// Bevel & Emboss: a relief over the signed distance to the glyph outline, lit by one distant
// light; the lit slopes are screened with the highlight colour, the slopes turned away
// multiplied with the shadow colour.
#include <algorithm>
#include <cmath>
#include <vector>

#include "effects/glyph_distance.h"
#include "effects/bevel_emboss.h"
#include "effects/effect_catalogue.h"
#include "effects/layer_paint.h"
#include "raster/engine_context.h"

namespace {

// One box-blur pass of radius r along rows (step 1) or columns (step W), the edges repeated.
void BoxPass(std::vector<float>& plane, int W, int H, int r, bool rows) {
  const int lines = rows ? H : W, length = rows ? W : H;
  const size_t step = rows ? 1 : size_t(W), lineStep = rows ? size_t(W) : 1;
  std::vector<float> line(static_cast<size_t>(length));
  const double inv = 1.0 / (2 * r + 1);
  for (int l = 0; l < lines; ++l) {
    float* v = plane.data() + size_t(l) * lineStep;
    for (int i = 0; i < length; ++i) line[size_t(i)] = v[size_t(i) * step];
    const auto at = [&](int i) { return double(line[size_t(std::clamp(i, 0, length - 1))]); };
    double sum = 0;
    for (int i = -r; i <= r; ++i) sum += at(i);
    for (int i = 0; i < length; ++i) {
      v[size_t(i) * step] = float(sum * inv);
      sum += at(i + r + 1) - at(i - r);
    }
  }
}

// Two box passes each way: close to a Gaussian of about 0.8 r, in time independent of r.
void Blur(std::vector<float>& plane, int W, int H, int r) {
  if (r <= 0) return;
  for (int pass = 0; pass < 2; ++pass) {
    BoxPass(plane, W, H, r, true);
    BoxPass(plane, W, H, r, false);
  }
}

// Height in pixels of the relief at signed distance sd (positive inside) before the depth.
double Relief(int style, double sd, double size) {
  switch (style) {
    case BevelEmbossParams::OuterBevel: return std::clamp(sd + size, 0.0, size);
    case BevelEmbossParams::Emboss: return std::clamp(sd + size, 0.0, 2 * size);
    case BevelEmbossParams::PillowEmboss: return std::min(std::fabs(sd), size);
    default: return std::clamp(sd, 0.0, size);
  }
}

// The blur radius that rounds a Smooth relief.
int SmoothRadius(int size) { return std::max(1, size / 3); }

}  // namespace

BevelEmbossParams BevelEmbossParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  BevelEmbossParams p;
  p.highlight = in.Stored("highlight");
  p.shadow = in.Stored("shadow");
  p.style = in.Stored("style");
  p.technique = in.Stored("technique");
  p.depth = in.Scaled("depth");
  p.down = in.Stored("direction") != 0;
  p.size = in.Stored("size");
  p.soften = in.Stored("soften");
  p.angle = in.Stored("angle");
  p.altitude = in.Stored("altitude");
  p.highlightOpacity = in.Scaled("highlightOpacity");
  p.shadowOpacity = in.Scaled("shadowOpacity");
  return p;
}

int OutsideReach(const BevelEmbossParams& p) {
  const int size = ClampLayerSize(p.size);
  if (p.style == BevelEmbossParams::InnerBevel || size == 0) return 0;
  // Each blur spreads the relief by two radii (two box passes).
  const int smooth = p.technique == BevelEmbossParams::Chisel ? 0 : SmoothRadius(size);
  return size + 2 * smooth + 2 * ClampLayerSize(p.soften, kMaxLayerSoften);
}

void ApplyEffect(const EffectTarget& t, const BevelEmbossParams& p) {
  const int W = t.W, H = t.H;
  const int size = ClampLayerSize(p.size);
  if (W <= 0 || H <= 0 || size == 0) return;
  const std::vector<float> sd = SignedEdgeDistance(t.glyphRows, W, H);

  // The relief, in pixels of height.
  const double depth = std::clamp(p.depth, 0.0, 100.0) * (p.down ? -1 : 1);
  std::vector<float> z(sd.size());
  for (size_t i = 0; i < sd.size(); ++i) z[i] = float(Relief(p.style, sd[i], size) * depth);
  if (p.technique != BevelEmbossParams::Chisel) Blur(z, W, H, SmoothRadius(size));
  Blur(z, W, H, ClampLayerSize(p.soften, kMaxLayerSoften));

  constexpr double kRadians = 3.14159265358979323846 / 180;
  const double alt = std::clamp(p.altitude, 0, 90) * kRadians, az = p.angle * kRadians;
  // Towards the light: x right, y down the rows, z out of the picture.
  const double lx = std::cos(alt) * std::cos(az), ly = -std::cos(alt) * std::sin(az), lz = std::sin(alt);
  // A flat surface receives lz: brighter than that is highlight, darker is shadow.
  const double flat = lz;
  const double hiOpacity = std::clamp(p.highlightOpacity, 0.0, 1.0);
  const double shOpacity = std::clamp(p.shadowOpacity, 0.0, 1.0);
  const layer::Bgr hi = layer::Bgr::Of(p.highlight), sh = layer::Bgr::Of(p.shadow);

  for (int y = 0; y < H; ++y) {
    const uint8_t* glyph = t.glyphRows[y];
    const float* up = z.data() + size_t(std::max(y - 1, 0)) * W;
    const float* row = z.data() + size_t(y) * W;
    const float* down = z.data() + size_t(std::min(y + 1, H - 1)) * W;
    uint8_t* out = t.colorRows[y];
    uint16_t* cov = t.coverage16 + size_t(y) * W;
    for (int x = 0; x < W; ++x) {
      const double g = glyph[x * 3] / 255.0;
      // Inner Bevel shades the glyphs only, Outer Bevel their surroundings only.
      const double region = p.style == BevelEmbossParams::InnerBevel   ? g
                            : p.style == BevelEmbossParams::OuterBevel ? 1 - g
                                                                       : 1.0;
      if (region <= 0) continue;
      const double gx = (double(row[std::min(x + 1, W - 1)]) - row[std::max(x - 1, 0)]) / 2;
      const double gy = (double(down[x]) - up[x]) / 2;
      const double light = (-gx * lx - gy * ly + lz) / std::sqrt(gx * gx + gy * gy + 1);
      uint8_t* c = out + size_t(x) * 3;
      if (light > flat + 1e-9) {
        const double w = (light - flat) / (1 - flat) * hiOpacity * region;
        int s[3];
        for (int k = 0; k < 3; ++k) s[k] = 255 - (255 - c[k]) * (255 - hi.c[k]) / 255;  // screen
        layer::Paint(c, cov[x], s, w);
      } else if (light < flat - 1e-9) {
        const double w = std::min(1.0, (flat - light) / std::max(flat, 1e-6)) * shOpacity * region;
        int s[3];
        for (int k = 0; k < 3; ++k) s[k] = c[k] * sh.c[k] / 255;  // multiply
        layer::Paint(c, cov[x], s, w);
      }
    }
  }
}
