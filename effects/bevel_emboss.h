#pragma once
// Bevel & Emboss: the glyphs lit as a raised or sunken relief over the distance to their edge.
#include <cstdint>

#include "effects/effect_record.h"

struct EffectTarget;

// Bevel & Emboss: the glyphs lit as a relief over the signed distance to their outline, the lit
// slopes screened with the highlight colour and the slopes turned away multiplied with the
// shadow colour. Inner Bevel rises inside the outline, Outer Bevel falls away outside it, Emboss
// does both, Pillow Emboss sinks the outline into the surface. Chisel keeps the slopes straight,
// Smooth rounds them; soften blurs the relief further.
struct BevelEmbossParams {
  enum Style { InnerBevel = 0, OuterBevel = 1, Emboss = 2, PillowEmboss = 3 };
  enum Technique { Smooth = 0, Chisel = 1 };
  int32_t highlight = 0xFFFFFF, shadow = 0;
  int style = InnerBevel;
  int technique = Smooth;
  double depth = 1.0;  // slope of the bevel: 1 rises one pixel a pixel
  bool down = false;   // the relief pressed in instead of raised
  int size = 0;        // pixels
  int soften = 0;      // pixels
  int angle = 120;     // degrees the light comes from, counter-clockwise from the right
  int altitude = 30;   // degrees of the light above the surface
  double highlightOpacity = 0.75, shadowOpacity = 0.75;
  static BevelEmbossParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const BevelEmbossParams& p);
// How far the relief's shading reaches beyond the glyphs, in pixels.
int OutsideReach(const BevelEmbossParams& p);
