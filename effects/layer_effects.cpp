// Outer Glow, Inner Glow, Inner Shadow and Satin.
#include "effects/layer_effects.h"

#include "effects/effect_catalogue.h"
#include "raster/engine_context.h"

OuterGlowParams OuterGlowParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  OuterGlowParams p;
  p.colour = in.Stored("color");
  p.colour2 = in.Stored("color2");
  p.gradient = in.Stored("fill") == 1;
  p.size = in.Stored("size");
  p.spread = in.Scaled("spread");
  p.opacity = in.Scaled("opacity");
  return p;
}

InnerGlowParams InnerGlowParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  InnerGlowParams p;
  p.colour = in.Stored("color");
  p.colour2 = in.Stored("color2");
  p.gradient = in.Stored("fill") == 1;
  p.size = in.Stored("size");
  p.spread = in.Scaled("spread");
  p.opacity = in.Scaled("opacity");
  p.fromCentre = in.Stored("source") == 1;
  return p;
}

InnerShadowParams InnerShadowParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  return {in.Stored("color"), in.Stored("angle"),   in.Stored("distance"),
          in.Stored("size"),  in.Scaled("choke"),   in.Scaled("opacity")};
}

SatinParams SatinParams::From(const EffectRecord& record) {
  const ParamReader in(record);
  return {in.Stored("color"), in.Stored("angle"),     in.Stored("distance"),
          in.Stored("size"),  in.Scaled("opacity"),   in.Stored("invert") != 0};
}

void ApplyEffect(const EffectTarget&, const OuterGlowParams&) {}
void ApplyEffect(const EffectTarget&, const InnerGlowParams&) {}
void ApplyEffect(const EffectTarget&, const InnerShadowParams&) {}
void ApplyEffect(const EffectTarget&, const SatinParams&) {}
