#pragma once
// Stroke: a band of colour, gradient or texture along the glyph edge, outside, centred or inside.
#include "effects/effect_record.h"

struct EffectTarget;

struct StrokeParams {
  EffectRecord record;
  static StrokeParams From(const EffectRecord& r) { return {r}; }
};
void ApplyEffect(const EffectTarget& t, const StrokeParams& p);
