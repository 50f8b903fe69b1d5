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

// Stroke: a band of `size` pixels along the glyph outline, outside it, centred on it or inside
// it, filled with a colour, a gradient from colour to colour2 over the band's box, or a tiled
// texture. Its outer edge is antialiased; an Outside band never covers a lit glyph pixel and an
// Inside band never paints beyond the glyph.
struct StrokeParams {
  enum Position { Outside = 0, Centre = 1, Inside = 2 };
  enum Fill { FillColour = 0, FillGradient = 1, FillTexture = 2 };
  int32_t colour = 0, colour2 = 0;
  int dx = 0, dy = 0;
  int position = Outside;
  int size = 0;  // pixels
  int fill = FillColour;
  int gradientShape = 0;  // layer::GradientShape
  int angle = 0;          // degrees, counter-clockwise from the right
  std::string texture;    // file name under the program folder's texture/
  static StrokeParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const StrokeParams& p);

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

// Gradient Overlay: the glyphs filled with a gradient from colour to colour2 of one of the
// layer::GradientShape shapes over the glyphs' box.
struct GradientOverlayParams {
  int32_t colour = 0, colour2 = 0;
  int dx = 0, dy = 0;
  int shape = 0;
  int angle = 90;      // degrees, counter-clockwise from the right
  double scale = 1.0;  // 1: the ramp spans the box
  static GradientOverlayParams From(const EffectRecord& record);
};
void ApplyEffect(const EffectTarget& t, const GradientOverlayParams& p);
