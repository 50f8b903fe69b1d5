// Gradient Overlay: a two-colour gradient of one of five shapes over the glyphs.
#include "effects/gradient_overlay.h"

#include "raster/engine_context.h"

// Not drawn yet: the record is kept and saved, and renders nothing.
void ApplyEffect(const EffectTarget&, const GradientOverlayParams&) {}
