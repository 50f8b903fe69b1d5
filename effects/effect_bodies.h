#pragma once
// Every effect kind as the dispatcher runs it: its parameters, decoded from a record through the
// catalogue (by name, with the catalogue's scales applied), and its body, ApplyEffect overloaded
// on the parameter type. Each kind lives in a
// file of its own. Offsets shift the effect right and down; colours are COLORREF 0x00BBGGRR.
// Values are taken as stored, without clamping to the dialog ranges: a hand-edited style keeps
// rendering as it always did, and the bodies guard their own arithmetic.
#include <cstdint>
#include <string>

#include "effects/effect_record.h"
#include "raster/three_d_state.h"

struct EffectTarget;
struct EngineContext;

// Draw: a solid colour or a texture (tiled or stretched over the work area) through the glyphs.
struct DrawParams {
  int32_t colour = 0;
  int dx = 0, dy = 0;
  int fillKind = 2;     // 4 tiled texture, 5 stretched texture, anything else the colour
  std::string texture;  // file name under the program folder's texture/
  static DrawParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const DrawParams& p);

// Outline: a disk of the thickness stamped at every edge pixel.
struct OutlineParams {
  int32_t colour = 0;
  int dx = 0, dy = 0;
  int thickness = 0;
  static OutlineParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const OutlineParams& p);

// Drop Shadow: a dome of the blur radius splatted under the glyphs.
struct DropShadowParams {
  int32_t colour = 0;
  int dx = 0, dy = 0;
  double opacity = 0;  // 0..4, the dome's total weight
  int blur = 0;
  static DropShadowParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const DropShadowParams& p);

// Linear Gradient: colour to colour2 along the angle, over a ramp of twice size pixels.
struct GradientParams {
  int32_t colour = 0, colour2 = 0;
  int dx = 0, dy = 0;
  int angle = 0;  // degrees
  int size = 0;
  static GradientParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const GradientParams& p);

// Depth of Field: the painted colour blurred with a dome.
struct DepthOfFieldParams {
  double opacity = 0;
  int blur = 0;
  static DepthOfFieldParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const DepthOfFieldParams& p);

// Disturbing Font: deforms the glyph mask by template 0..8; always rebuilds the edge plane and
// marks the glyphs changed whenever the mask changed.
struct DistortParams {
  int templ = 0;
  double wavelength = 0;  // periods across the work width
  double amplitude = 0;
  static DistortParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const DistortParams& p);

// Star Filtering with light pattern starType (nothing outside 0..2 or when the pattern is empty).
struct StarFilterParams {
  int32_t colour = 0;
  int starType = 0;
  int dx = 0, dy = 0;
  double intensity = 0;
  static StarFilterParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const StarFilterParams& p);
// The stamping itself, with the strength as the pattern is scaled by.
void StarFilterEffect(const EffectTarget& t, int starType, int32_t colour, float strength, int dx, int dy);

// Tile: a mosaic of the colour painted so far, in cells of the texture's size.
struct TileParams {
  std::string texture;
  static TileParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const TileParams& p);

// 3D Single Color: loads the profile, rebuilds the distance map if the glyphs changed, shades the
// glyphs as a raised surface.
struct Shade3DParams {
  int32_t colour = 0;
  int dx = 0, dy = 0;
  ProfileSettings profile;
  static Shade3DParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const Shade3DParams& p);

// Round Box: replaces the glyph mask with a rounded rectangle; the edge plane, the coverages and
// glyphChanged stay as the letters left them. Sizes and radii stay in thousandths of the work
// area: the box is computed from their products with the area's size.
struct RoundBoxParams {
  int32_t sizeX = 0, sizeY = 0, roundX = 0, roundY = 0;
  static RoundBoxParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const RoundBoxParams& p);

// Fog: noise-modulated colour over the glyphs, denser where the 3D profile is higher.
struct FogParams {
  int32_t colour = 0;
  int dx = 0, dy = 0;
  ProfileSettings profile;
  double noiseScale = 0;  // lattice cells per pixel
  int32_t intensity = 0;  // percent, applied last so that the product rounds as it always did
  static FogParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const FogParams& p);

// Space: the glyphs filled with star points whose colours follow black-body radiation.
struct SpaceParams {
  int dx = 0, dy = 0;
  double noiseScale = 0;  // lattice cells per pixel
  int32_t intensity = 0;  // a star in about one pixel of intensity / 100
  static SpaceParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const SpaceParams& p);

// Cut Out: darkens the glyph's inside from its unlit surroundings.
struct CutOutParams {
  int32_t colour = 0;
  int dx = 0, dy = 0;
  double opacity = 0;
  int blur = 0;
  int locationX = 0, locationY = 0;
  static CutOutParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const CutOutParams& p);

// Loads star0.lit .. star2.lit from the program folder into ctx.lightPatterns.
void LoadLightPatterns(EngineContext& ctx);
