#pragma once
// Gradient Overlay: a two-colour gradient of one of five shapes over the glyphs.
#include <cstdint>

#include "effects/effect_record.h"

struct EffectTarget;

// Gradient Overlay: the glyphs filled with a gradient from colour to colour2 of one of the
// layer::GradientShape shapes over the glyphs' box.
struct GradientOverlayParams {
  int32_t colour = 0, colour2 = 0;
  int shape = 0;
  int angle = 90;      // degrees, counter-clockwise from the right
  double scale = 1.0;  // 1: the ramp spans the box
  bool reverse = false;  // colour2 to colour
  static GradientOverlayParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const GradientOverlayParams& p);
