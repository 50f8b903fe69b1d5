#pragma once
// Stroke: a band of colour, gradient or texture along the glyph edge, outside, centred or inside.
#include <cstdint>
#include <string>

#include "effects/effect_record.h"

struct EffectTarget;

// Stroke: a band of `size` pixels along the glyph outline, outside it, centred on it or inside
// it, filled with a colour, a gradient from colour to colour2 over the band's box, or a tiled
// texture. Its outer edge is antialiased; an Outside band never covers a lit glyph pixel and an
// Inside band never paints beyond the glyph.
struct StrokeParams {
  enum Position { Outside = 0, Centre = 1, Inside = 2 };
  enum Fill { FillColour = 0, FillGradient = 1, FillTexture = 2 };
  int32_t colour = 0, colour2 = 0;
  int position = Outside;
  int size = 0;  // pixels
  int fill = FillColour;
  int angle = 0;          // degrees, counter-clockwise from the right
  int gradientShape = 0;  // layer::GradientShape
  std::string texture;    // file name under the program folder's texture/
  static StrokeParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const StrokeParams& p);
// How far the band reaches beyond the glyphs, in pixels: the room the work area needs for it.
int OutsideReach(const StrokeParams& p);
