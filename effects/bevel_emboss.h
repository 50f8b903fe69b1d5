#pragma once
// Bevel & Emboss: the glyphs lit as a raised or sunken surface built on the distance map.
#include "effects/effect_record.h"

struct EffectTarget;

struct BevelEmbossParams {
  EffectRecord record;
  static BevelEmbossParams From(const EffectRecord& r) { return {r}; }
};
void ApplyEffect(const EffectTarget& t, const BevelEmbossParams& p);
