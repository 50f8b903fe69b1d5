// Stroke: a band of colour, gradient or texture along the glyph edge, outside, centred or inside.
#include "effects/stroke.h"

#include "raster/engine_context.h"

// Not drawn yet: the record is kept and saved, and renders nothing.
void ApplyEffect(const EffectTarget&, const StrokeParams&) {}
