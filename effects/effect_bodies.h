#pragma once
// The bodies of the special effects, as the dispatcher calls them.
#include <cstdint>
#include <string>

#include "effects/effect_record.h"

struct EffectTarget;
struct EngineContext;

// 3D Single Color: loads the record's profile, rebuilds the distance map if the glyphs changed,
// shades the glyphs.
void Shade3D(const EffectTarget& t, const EffectRecord& record);
void FogEffect(const EffectTarget& t, const EffectRecord& record);
void SpaceEffect(const EffectTarget& t, const EffectRecord& record);
// Disturbing Font: deforms the glyph mask by template 0..8; always rebuilds the edge plane and
// marks the glyphs changed whenever the mask changed.
void Distort(EngineContext& ctx, int templ, int wavelength, int amplitude);
// Star Filtering with light pattern starType (nothing outside 0..2 or when the pattern is empty).
void StarFilterEffect(const EffectTarget& t, int starType, int32_t colour, float strength, int dx, int dy);
// Round Box: replaces the glyph mask with a rounded rectangle; the edge plane, the coverages and
// glyphChanged stay as the letters left them.
void RoundBoxEffect(EngineContext& ctx, const EffectRecord& record);
// Loads star0.lit .. star2.lit from the program folder into ctx.lightPatterns.
void LoadLightPatterns(EngineContext& ctx);
