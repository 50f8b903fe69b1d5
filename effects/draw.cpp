// Draw: the glyphs filled with a colour or a texture.
#include <algorithm>

#include "effects/effect_bodies.h"
#include "effects/effect_catalogue.h"
#include "effects/fill_effects.h"
#include "effects/glyph_walk.h"
#include "raster/engine_context.h"

void SolidFill(const EffectTarget& t, int dx, int dy, int32_t colour) {
  const int src[3] = {(colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF};
  WalkGlyph(t, dx, dy, [&](int, int, const uint8_t* g, uint8_t* c, uint16_t& cov) {
    for (int k = 0; k < 3; ++k) c[k] = uint8_t(((255 - g[k]) * c[k] + g[k] * src[k]) >> 8);
    cov = uint16_t(cov + g[0]);
  });
}

DrawParams DrawParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  return {in.Stored("color"), in.Stored("offsetX"), in.Stored("offsetY"), in.Stored("fillKind"), record.fileName};
}

void ApplyEffect(const EffectTarget& t, const DrawParams& p) {
  if (p.fillKind == 4)
    TextureFillTile(t, p.dx, p.dy, p.texture);
  else if (p.fillKind == 5)
    TextureFillStretch(t, p.dx, p.dy, p.texture);
  else
    SolidFill(t, p.dx, p.dy, p.colour);
}
