#include <algorithm>

#include "raster/engine_context.h"
#include "effects/fill_effects.h"
#include "effects/glyph_walk.h"

void SolidFill(const EffectTarget& t, int dx, int dy, int32_t colour) {
  const int src[3] = {(colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF};
  WalkGlyph(t, dx, dy, [&](int, int, const uint8_t* g, uint8_t* c, uint16_t& cov) {
    for (int k = 0; k < 3; ++k) c[k] = uint8_t(((255 - g[k]) * c[k] + g[k] * src[k]) >> 8);
    cov = uint16_t(cov + g[0]);
  });
}
