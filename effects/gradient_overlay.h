#pragma once
// Gradient Overlay: a two-colour gradient of one of five shapes over the glyphs.
#include "effects/effect_record.h"

struct EffectTarget;

struct GradientOverlayParams {
  EffectRecord record;
  static GradientOverlayParams From(const EffectRecord& r) { return {r}; }
};
void ApplyEffect(const EffectTarget& t, const GradientOverlayParams& p);
