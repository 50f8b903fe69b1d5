#pragma once
// The layer-style kinds that fall off with the distance from the glyph edge: Outer Glow paints
// only outside the glyphs, Inner Glow, Inner Shadow and Satin only inside them. Each mixes its
// colour over what is painted with a weight of opacity x a falloff, and adds that weight to the
// coverage (kept within 255). Distances are measured from the glyph edge: half a pixel beyond the
// centre of the nearest pixel across it.
#include <cstdint>

#include "effects/effect_record.h"

struct EffectTarget;

struct GlowParams {
  int32_t colour = 0, colour2 = 0;
  bool gradient = false;  // colour at the edge to colour2 at the far end, instead of colour alone
  int size = 0;           // pixels over which the glow fades out
  double spread = 0;      // 0..1: share of size held at full strength before the fade
  double opacity = 0;     // 0..1
};

struct OuterGlowParams : GlowParams {
  static OuterGlowParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const OuterGlowParams& p);

struct InnerGlowParams : GlowParams {
  bool fromCentre = false;  // strongest deep inside instead of at the edge
  static InnerGlowParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const InnerGlowParams& p);

// Inner Shadow: the outside of the glyphs, moved distance pixels away from angle (degrees
// anticlockwise from the right, where the light comes from), grown by choke x size and softened
// over the rest of size on both sides of its edge, seen through the glyphs.
struct InnerShadowParams {
  int32_t colour = 0;
  int angle = 0;
  int distance = 0;
  int size = 0;
  double choke = 0;    // 0..1
  double opacity = 0;  // 0..1
  static InnerShadowParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const InnerShadowParams& p);

// Satin: the glyph shape softened over size pixels, moved distance pixels both ways along angle;
// where the two copies differ the colour shows (inverted: where they agree), inside the glyphs.
struct SatinParams {
  int32_t colour = 0;
  int angle = 0;
  int distance = 0;
  int size = 0;
  double opacity = 0;  // 0..1
  bool invert = false;
  static SatinParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const SatinParams& p);
