// Bevel & Emboss: the glyphs lit as a raised or sunken surface built on the distance map.
#include "effects/bevel_emboss.h"

#include "raster/engine_context.h"

// Not drawn yet: the record is kept and saved, and renders nothing.
void ApplyEffect(const EffectTarget&, const BevelEmbossParams&) {}
