// Stroke: a band along the glyph outline, outside it, centred on it or inside it.
#include <algorithm>

#include "effects/glyph_distance.h"
#include "effects/stroke.h"
#include "effects/effect_catalogue.h"
#include "effects/fill_effects.h"
#include "effects/layer_paint.h"
#include "raster/engine_context.h"

StrokeParams StrokeParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  return {in.Stored("color"), in.Stored("color2"), in.Stored("position"),     in.Stored("size"),
          in.Stored("fill"),  in.Stored("angle"),  in.Stored("gradientShape"), record.fileName};
}

int OutsideReach(const StrokeParams& p) {
  // A centred band puts the odd pixel inside.
  const int size = ClampLayerSize(p.size);
  return p.position == StrokeParams::Inside ? 0 : p.position == StrokeParams::Centre ? size / 2 : size;
}

void ApplyEffect(const EffectTarget& t, const StrokeParams& p) {
  const int W = t.W, H = t.H;
  const int size = ClampLayerSize(p.size);
  if (W <= 0 || H <= 0 || size == 0) return;
  // The band's widths outside and inside the outline.
  const int outer = OutsideReach(p);
  const int inner = size - outer;

  std::shared_ptr<const FillTexture> texture;
  if (p.fill == StrokeParams::FillTexture) {
    texture = FillTextureFor(t, p.texture);
    if (!texture) return;  // like Draw: no texture, nothing painted
  }
  const std::vector<float> sd = SignedEdgeDistance(t.glyphRows, W, H);
  const layer::PixelBox glyphBox = layer::LitBox(t.glyphRows, W, H);
  if (glyphBox.Empty()) return;
  // The gradient spans the band's box: the glyphs' box grown by the outer width.
  const layer::GradientRamp ramp(p.gradientShape, p.angle, 1.0, glyphBox.x0 - outer, glyphBox.y0 - outer,
                                 glyphBox.x1 + outer, glyphBox.y1 + outer);
  const layer::Bgr a = layer::Bgr::Of(p.colour), b = layer::Bgr::Of(p.colour2);

  for (int y = 0; y < H; ++y) {
    const uint8_t* glyph = t.glyphRows[y];
    const float* dist = sd.data() + size_t(y) * W;
    uint8_t* row = t.colorRows[y];
    uint16_t* cov = t.coverage16 + size_t(y) * W;
    for (int x = 0; x < W; ++x) {
      const double d = dist[x];
      const double g = glyph[x * 3] / 255.0;
      // Full within the width, fading over the pixel beyond it; the outside part weighs the
      // unlit share of a pixel and the inside part the lit share.
      double w = 0;
      if (d < 0 && outer > 0) w = std::clamp(outer + 0.5 + d, 0.0, 1.0) * (1 - g);
      if (d > 0 && inner > 0) w = std::clamp(inner + 0.5 - d, 0.0, 1.0) * g;
      if (w <= 0) continue;
      layer::Bgr s = a;
      if (p.fill == StrokeParams::FillGradient) {
        s = layer::Mix(a, b, ramp.At(x, y));
      } else if (texture) {
        const uint8_t* texel = texture->Pixel(x % texture->width, y % texture->height);
        s = {{texel[0], texel[1], texel[2]}};
      }
      layer::Paint(row + size_t(x) * 3, cov[x], s.c, w);
    }
  }
}
