// Gradient Overlay: the glyphs filled with a linear, radial, angle, reflected or diamond gradient.
#include "effects/gradient_overlay.h"

#include <utility>

#include "effects/effect_catalogue.h"
#include "effects/glyph_walk.h"
#include "effects/layer_paint.h"
#include "raster/engine_context.h"

GradientOverlayParams GradientOverlayParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  return {in.Stored("color"), in.Stored("color2"),  in.Stored("shape"),
          in.Stored("angle"), in.Scaled("scale"), in.Stored("reverse") != 0};
}

void ApplyEffect(const EffectTarget& t, const GradientOverlayParams& p) {
  // The ramp spans the glyphs themselves, whatever room the other effects leave around them.
  const layer::PixelBox box = layer::LitBox(t.glyphRows, t.W, t.H);
  if (box.Empty()) return;
  const layer::GradientRamp ramp(p.shape, p.angle, p.scale, box.x0, box.y0, box.x1, box.y1);
  layer::Bgr a = layer::Bgr::Of(p.colour), b = layer::Bgr::Of(p.colour2);
  if (p.reverse) std::swap(a, b);
  WalkGlyph(t, 0, 0, [&](int x, int y, const uint8_t* g, uint8_t* c, uint16_t& cov) {
    const layer::Bgr s = layer::Mix(a, b, ramp.At(x, y));
    layer::Paint(c, cov, s.c, g[0] / 255.0);
  });
}
