#include "effects/effect_catalogue.h"

#include <stdexcept>
#include <string>

namespace {

constexpr const char* kKeys[kEffectTypeCount] = {
    "SingleColor", "OutLine",       "DropShadow", "LinearGradient", "DepthField",
    "DisturbTemplet", "StarFilter", "Tile",       "3dSingleColor",  "RoundBox",
    "Fog",         "Space",         "CutOut",     "OuterGlow",      "InnerGlow",
    "InnerShadow", "Stroke",        "BevelEmboss", "Satin",         "GradientOverlay"};

using U = ParamUnit;

constexpr EffectParam Colour(int slot, const char* name, const char* label, int start,
                             const char* group = "") {
  return EffectParam{slot, name, label, ParamKind::Colour, U::Colour, 0, 0xFFFFFF, start, 1.0, {}, 1, group};
}

constexpr EffectParam Int(int slot, const char* name, const char* label, U unit, int minValue,
                          int maxValue, int start, double scale, int page, const char* group = "") {
  return EffectParam{slot, name, label, ParamKind::Integer, unit, minValue, maxValue, start, scale, {}, page, group};
}

constexpr EffectParam OffsetX(const char* label = "Holizontal", const char* group = "") {
  return Int(2, "offsetX", label, U::PixelLength, -20, 20, 0, 1.0, 1, group);
}
constexpr EffectParam OffsetY(const char* group = "") {
  return Int(3, "offsetY", "Vertical", U::PixelLength, -20, 20, 0, 1.0, 1, group);
}

template <size_t N, size_t M>
constexpr std::array<EffectParam, N + M> Join(const std::array<EffectParam, N>& a,
                                              const std::array<EffectParam, M>& b) {
  std::array<EffectParam, N + M> out{};
  for (size_t i = 0; i < N; ++i) out[i] = a[i];
  for (size_t i = 0; i < M; ++i) out[N + i] = b[i];
  return out;
}

constexpr ParamChoice kFillKinds[] = {{2, "SingleColor"}, {4, "Bitmap(tile)"}, {5, "Bitmap(streach)"}};
constexpr ParamChoice kTemplates[] = {{0, "Original Font"}, {1, "sin(x)"},     {2, "sin(y)"},
                                      {3, "sin(x,y)"},      {4, "Fractal(x)"}, {5, "Fractal(y)"},
                                      {6, "Fractal(x,y)"},  {7, "Random Dot"}, {8, "Enlarge"}};
constexpr ParamChoice kStarTypes[] = {
    {0, "only blur effect"}, {1, "blur with steak line"}, {2, "blur with diagonal steak lne"}};

// The 3D profile shared by 3D Single Color and Fog, edited in the "3D Shape" dialog. It lies over
// the distance map normalised to 0..1, so none of it is a pixel length. The upper bound of
// waveEnd is the current wavelength; 600 is the widest it can be.
constexpr const char* k3DShape = "3D Shape";
constexpr std::array<EffectParam, 6> kProfile = {
    Int(4, "shape3d", "", U::Choice, 0, 2, 0, 1.0, 1, k3DShape),
    Int(5, "bevelHeight", "Height", U::Factor, 1, 1000, 200, 0.01, 5, k3DShape),
    Int(6, "wavelength", "Wavelength", U::Factor, 1, 600, 25, 0.01, 10, k3DShape),
    Int(7, "ceiling", "", U::Percent, -1000, 1000, 1000, 0.001, 5, k3DShape),
    Int(8, "waveEnd", "", U::Factor, 1, 600, 100, 0.01, 10, k3DShape),
    Int(9, "plateau", "", U::Percent, -1000, 1000, 0, 0.001, 10, k3DShape),
};

constexpr std::array<EffectParam, 4> kDraw = {
    Colour(0, "color", "Color", 0), OffsetX("Holizontal", "Offset"), OffsetY("Offset"),
    EffectParam{4, "fillKind", "Select Texture", ParamKind::Choice, U::Choice, 2, 5, 0, 1.0, kFillKinds, 1,
                "Select Texture"}};
constexpr std::array<EffectParam, 4> kOutline = {
    Colour(0, "color", "Change", 0, "Color"), OffsetX(), OffsetY(),
    Int(4, "thickness", "Thickness", U::PixelLength, 0, 10, 0, 1.0, 1)};
constexpr std::array<EffectParam, 5> kDropShadow = {
    Colour(0, "color", "Change", 0, "Color"), OffsetX("Horizontal"), OffsetY(),
    Int(4, "opacity", "&Opacity", U::Factor, 0, 200, 50, 0.02, 10),
    Int(5, "blur", "Blur", U::PixelLength, 0, 10, 2, 1.0, 1)};
// The angle is free (edit box and direction picker); the picker yields -90..270. Size is half the
// length of the colour ramp.
constexpr std::array<EffectParam, 6> kGradient = {
    Colour(0, "color", "Color1", 0x0000FF), Colour(1, "color2", "Color2", 0xFFFF00), OffsetX(), OffsetY(),
    EffectParam{4, "angle", "Angle", ParamKind::Angle, U::Angle, -360, 360, 20, 1.0, {}, 1, ""},
    Int(5, "size", "Size", U::PixelLength, 1, 200, 20, 1.0, 4)};
constexpr std::array<EffectParam, 2> kDepthField = {
    Int(4, "opacity", "&Opacity", U::Factor, 1, 200, 0, 0.02, 10),
    Int(5, "blur", "Blur", U::PixelLength, 1, 10, 0, 1.0, 1)};
// The wavelength counts periods across the work width (the phase step is wavelength x 360 / width
// degrees per pixel), so it follows the picture's size by itself. The amplitude displaces by
// pixels (sine and fractal templates), keeps tenths of a percent of the lit pixels (Random Dot)
// or widens the glyphs (Enlarge, 1..100).
constexpr std::array<EffectParam, 3> kDistort = {
    EffectParam{4, "template", "Type", ParamKind::Choice, U::Choice, 0, 8, 1, 1.0, kTemplates, 1, ""},
    Int(5, "wavelength", "Wavelength", U::Count, 1, 600, 100, 0.01, 10),
    Int(6, "amplitude", "Amplitude", U::PixelLength, 1, 1000, 0, 0.1, 10)};
// p[2] starts at 100 but is not read by the effect.
constexpr StoredOnlySlot kDistortStored[] = {{2, 100}};
constexpr const char* kStarOption = "Star Filter Option";
constexpr std::array<EffectParam, 5> kStarFilter = {
    Colour(0, "color", "Color", 0xFFFFFF, kStarOption),
    EffectParam{1, "starType", "Type", ParamKind::Choice, U::Choice, 0, 2, 0, 1.0, kStarTypes, 1, kStarOption},
    OffsetX("Holizontal", "Offset"), OffsetY("Offset"),
    Int(5, "intensity", "Intensity", U::Factor, 1, 20, 10, 1000.0, 2, kStarOption)};
constexpr std::array<EffectParam, 9> kShade3D =
    Join(std::array<EffectParam, 3>{Colour(0, "color", "Color", 0, "3D Option"), OffsetX("Holizontal", "Location"),
                                    OffsetY("Location")},
         kProfile);
// Sizes and corner radii are thousandths of the work area's width and height; the dialog shows
// them divided by 10 (tenths of a percent).
constexpr std::array<EffectParam, 4> kRoundBox = {
    Int(4, "sizeX", "Size X(dot)", U::Percent, 0, 2000, 1, 0.001, 100),
    Int(5, "sizeY", "Size Y(dot)", U::Percent, 0, 2000, 1, 0.001, 100),
    Int(6, "roundX", "Round X(%)", U::Percent, 0, 1000, 100, 0.001, 2),
    Int(7, "roundY", "Round Y(%)", U::Percent, 0, 1000, 100, 0.001, 2)};
constexpr std::array<EffectParam, 11> kFog = Join(
    Join(std::array<EffectParam, 3>{Colour(0, "color", "Color", 0), OffsetX("Holizontal", "Location"),
                                    OffsetY("Location")},
         kProfile),
    std::array<EffectParam, 2>{Int(10, "size", "Size", U::PerPixel, 1, 300, 100, 0.001, 10),
                               Int(11, "intensity", "Intensity", U::Percent, 0, 200, 100, 0.01, 10)});
// Intensity: a star in about one pixel of intensity / 100.
constexpr const char* kStarGroup = "Star Option";
constexpr std::array<EffectParam, 4> kSpace = {
    OffsetX("Holizontal", "Location"), OffsetY("Location"),
    Int(4, "size", "Size", U::PerPixel, 1, 400, 200, 0.001, 10, kStarGroup),
    Int(5, "intensity", "Intensity", U::Count, 0, 1000, 200, 1.0, 10, kStarGroup)};
constexpr std::array<EffectParam, 7> kCutOut = {
    Colour(0, "color", "Change", 0, "Option"), OffsetX("Horizontal", "Offset"), OffsetY("Offset"),
    Int(4, "opacity", "&Opacity", U::Factor, 0, 300, 0, 0.02, 10, "Option"),
    Int(5, "blur", "Blur", U::PixelLength, 0, 10, 0, 1.0, 1, "Option"),
    Int(6, "locationX", "Horizontal", U::PixelLength, -20, 20, 0, 1.0, 1, "Location"),
    Int(7, "locationY", "Vertical", U::PixelLength, -20, 20, 0, 1.0, 1, "Location")};

// The layer-style kinds. Opacities are percent of full strength; sizes, spreads and distances
// follow the picture's size.
constexpr EffectParam Percent(int slot, const char* name, const char* label, int start, const char* group = "") {
  return Int(slot, name, label, U::Percent, 0, 100, start, 0.01, 10, group);
}
constexpr EffectParam AngleParam(int slot, const char* name, const char* label, int minValue, int maxValue, int start,
                                 const char* group = "") {
  return EffectParam{slot, name, label, ParamKind::Angle, U::Angle, minValue, maxValue, start, 1.0, {}, 15, group};
}
constexpr ParamChoice kGlowFills[] = {{0, "Color"}, {1, "Gradient"}};
constexpr ParamChoice kGlowSources[] = {{0, "Edge"}, {1, "Center"}};
constexpr ParamChoice kOnOff[] = {{0, "Off"}, {1, "On"}};
constexpr const char* kStructure = "Structure";
constexpr const char* kElements = "Elements";
constexpr std::array<EffectParam, 6> kOuterGlow = {
    Colour(0, "color", "Color", 0xBEFFFF, kStructure), Colour(1, "color2", "Color2", 0x00A5FF, kStructure),
    EffectParam{4, "fill", "Fill", ParamKind::Choice, U::Choice, 0, 1, 0, 1.0, kGlowFills, 1, kStructure},
    Int(5, "size", "Size", U::PixelLength, 0, 100, 10, 1.0, 5, kElements),
    Percent(6, "spread", "Spread(%)", 0, kElements), Percent(7, "opacity", "Opacity(%)", 75, kStructure)};
constexpr std::array<EffectParam, 7> kInnerGlow = {
    Colour(0, "color", "Color", 0xBEFFFF, kStructure), Colour(1, "color2", "Color2", 0x00A5FF, kStructure),
    EffectParam{4, "fill", "Fill", ParamKind::Choice, U::Choice, 0, 1, 0, 1.0, kGlowFills, 1, kStructure},
    Int(5, "size", "Size", U::PixelLength, 0, 100, 10, 1.0, 5, kElements),
    Percent(6, "spread", "Choke(%)", 0, kElements), Percent(7, "opacity", "Opacity(%)", 75, kStructure),
    EffectParam{8, "source", "Source", ParamKind::Choice, U::Choice, 0, 1, 0, 1.0, kGlowSources, 1, kElements}};
constexpr std::array<EffectParam, 6> kInnerShadow = {
    Colour(0, "color", "Color", 0x000000, kStructure), AngleParam(4, "angle", "Angle", -360, 360, 120, kStructure),
    Int(5, "distance", "Distance", U::PixelLength, 0, 100, 5, 1.0, 5, kStructure),
    Int(6, "size", "Size", U::PixelLength, 0, 100, 5, 1.0, 5, kStructure),
    Percent(7, "choke", "Choke(%)", 0, kStructure), Percent(8, "opacity", "Opacity(%)", 75, kStructure)};
constexpr std::array<EffectParam, 6> kSatin = {
    Colour(0, "color", "Color", 0x000000, kStructure), AngleParam(4, "angle", "Angle", -360, 360, 19, kStructure),
    Int(5, "distance", "Distance", U::PixelLength, 0, 100, 11, 1.0, 5, kStructure),
    Int(6, "size", "Size", U::PixelLength, 0, 100, 14, 1.0, 5, kStructure),
    Percent(7, "opacity", "Opacity(%)", 50, kStructure),
    EffectParam{8, "invert", "Invert", ParamKind::Choice, U::Choice, 0, 1, 1, 1.0, kOnOff, 1, kStructure}};

// Stroke, Bevel & Emboss and Gradient Overlay. Their angles, like those above, run
// counter-clockwise from the right (90 points up); a light angle names where the light comes
// from. Bevel & Emboss fills all twelve slots and has no offsets: the relief lies on the glyphs.
constexpr const char* kFill = "Fill";
constexpr const char* kShading = "Shading";
constexpr ParamChoice kGradientShapes[] = {
    {0, "Linear"}, {1, "Radial"}, {2, "Angle"}, {3, "Reflected"}, {4, "Diamond"}};
constexpr ParamChoice kStrokePositions[] = {{0, "Outside"}, {1, "Center"}, {2, "Inside"}};
constexpr ParamChoice kStrokeFills[] = {{0, "Color"}, {1, "Gradient"}, {2, "Texture"}};
// The gradient (colour to colour2, shape and angle) spans the band's box; the texture is the
// record's file name, tiled from the work area's corner.
constexpr std::array<EffectParam, 7> kStroke = {
    Colour(0, "color", "Color", 0x000000, kFill), Colour(1, "color2", "Color2", 0xFFFFFF, kFill),
    EffectParam{4, "position", "Position", ParamKind::Choice, U::Choice, 0, 2, 0, 1.0, kStrokePositions, 1, kStructure},
    Int(5, "size", "Size", U::PixelLength, 1, 50, 3, 1.0, 2, kStructure),
    EffectParam{6, "fill", "Fill Type", ParamKind::Choice, U::Choice, 0, 2, 0, 1.0, kStrokeFills, 1, kFill},
    AngleParam(7, "angle", "Angle", -360, 360, 90, kFill),
    EffectParam{8, "gradientShape", "Style", ParamKind::Choice, U::Choice, 0, 4, 0, 1.0, kGradientShapes, 1, kFill}};
constexpr ParamChoice kBevelStyles[] = {{0, "Inner Bevel"}, {1, "Outer Bevel"}, {2, "Emboss"}, {3, "Pillow Emboss"}};
constexpr ParamChoice kBevelTechniques[] = {{0, "Smooth"}, {1, "Chisel"}};
constexpr ParamChoice kBevelDirections[] = {{0, "Up"}, {1, "Down"}};
// Depth is the slope of the bevel in percent (100: one pixel up per pixel across), so a scaled
// picture keeps its look. The highlight is screened over the lit slopes, the shadow multiplied
// over the others.
constexpr std::array<EffectParam, 12> kBevelEmboss = {
    Colour(0, "highlight", "Highlight", 0xFFFFFF, kShading), Colour(1, "shadow", "Shadow", 0x000000, kShading),
    EffectParam{2, "style", "Style", ParamKind::Choice, U::Choice, 0, 3, 0, 1.0, kBevelStyles, 1, kStructure},
    EffectParam{3, "technique", "Technique", ParamKind::Choice, U::Choice, 0, 1, 0, 1.0, kBevelTechniques, 1,
                kStructure},
    Int(4, "depth", "Depth(%)", U::Percent, 1, 1000, 100, 0.01, 10, kStructure),
    EffectParam{5, "direction", "Direction", ParamKind::Choice, U::Choice, 0, 1, 0, 1.0, kBevelDirections, 1,
                kStructure},
    Int(6, "size", "Size", U::PixelLength, 1, 50, 5, 1.0, 2, kStructure),
    Int(7, "soften", "Soften", U::PixelLength, 0, 16, 0, 1.0, 1, kStructure),
    AngleParam(8, "angle", "Angle", -360, 360, 120, kShading), AngleParam(9, "altitude", "Altitude", 0, 90, 30, kShading),
    Percent(10, "highlightOpacity", "Highlight(%)", 75, kShading), Percent(11, "shadowOpacity", "Shadow(%)", 75, kShading)};
// The ramp spans the glyphs' box: Linear from its back edge to its front edge along the angle,
// Reflected from the centre line to both edges, Radial and Diamond from the centre to the farthest
// corner, Angle once round the centre from the angle's direction. Scale shortens or lengthens it.
constexpr std::array<EffectParam, 6> kGradientOverlay = {
    Colour(0, "color", "Color1", 0x0000FF, kFill), Colour(1, "color2", "Color2", 0xFFFF00, kFill),
    EffectParam{4, "shape", "Style", ParamKind::Choice, U::Choice, 0, 4, 0, 1.0, kGradientShapes, 1, kFill},
    AngleParam(5, "angle", "Angle", -360, 360, 90, kFill),
    Int(6, "scale", "Scale(%)", U::Percent, 10, 150, 100, 0.01, 10, kFill),
    EffectParam{7, "reverse", "Reverse", ParamKind::Choice, U::Choice, 0, 1, 0, 1.0, kOnOff, 1, kFill}};

// Constant data throughout, so that a document built during static initialisation reads a
// finished table.
constexpr std::array<EffectInfo, kEffectTypeCount> kCatalogue = {{
    {SingleColor, kKeys[SingleColor], "Draw", "Effect : Draw", true, kDraw, {}},
    {OutLine, kKeys[OutLine], "Outline", "Effect : Outline", false, kOutline, {}},
    {DropShadow, kKeys[DropShadow], "Drop Shadow", "Effect : Drop Shadow", false, kDropShadow, {}},
    {LinearGradient, kKeys[LinearGradient], "Linear Gradient", "Gradient", false, kGradient, {}},
    {DepthField, kKeys[DepthField], "Depth of Field", "Depth of field", false, kDepthField, {}},
    {DisturbTemplet, kKeys[DisturbTemplet], "Disturbing Font", "Distort Templet : Sine & Cosine", false, kDistort,
     kDistortStored},
    {StarFilter, kKeys[StarFilter], "Star Filtering", "Effect : Star Filtering", false, kStarFilter, {}},
    {Tile, kKeys[Tile], "Tile", "Effect : Tile", true, {}, {}},
    {ThreeDSingleColor, kKeys[ThreeDSingleColor], "3D Single Color", "Effect : 3D Single Color", false, kShade3D, {}},
    {RoundBox, kKeys[RoundBox], "Round Box", "Effect : Rectangle", false, kRoundBox, {}},
    {Fog, kKeys[Fog], "Fog", "Effect : Fog", false, kFog, {}},
    {Space, kKeys[Space], "Space", "Effect : Space", false, kSpace, {}},
    {CutOut, kKeys[CutOut], "Cut Out", "Effect : Cut Out", false, kCutOut, {}},
    {OuterGlow, kKeys[OuterGlow], "Outer Glow", "Effect : Outer Glow", false, kOuterGlow, {}},
    {InnerGlow, kKeys[InnerGlow], "Inner Glow", "Effect : Inner Glow", false, kInnerGlow, {}},
    {InnerShadow, kKeys[InnerShadow], "Inner Shadow", "Effect : Inner Shadow", false, kInnerShadow, {}},
    {Stroke, kKeys[Stroke], "Stroke", "Effect : Stroke", true, kStroke, {}},
    {BevelEmboss, kKeys[BevelEmboss], "Bevel & Emboss", "Effect : Bevel & Emboss", false, kBevelEmboss, {}},
    {Satin, kKeys[Satin], "Satin", "Effect : Satin", false, kSatin, {}},
    {GradientOverlay, kKeys[GradientOverlay], "Gradient Overlay", "Effect : Gradient Overlay", false,
     kGradientOverlay, {}},
}};

// The order in which the start records are held.
constexpr EffectType kTemplateOrder[kEffectTypeCount] = {
    CutOut,         Space,      Fog,          RoundBox,    ThreeDSingleColor, Tile,    StarFilter,
    DisturbTemplet, DepthField, LinearGradient, DropShadow, SingleColor,      OutLine,
    OuterGlow,      InnerGlow,  InnerShadow,  Stroke,      BevelEmboss,       Satin,   GradientOverlay};

bool ValidType(int type) { return type >= 0 && type < kEffectTypeCount; }

}  // namespace

const EffectInfo* FindEffectInfo(int type) {
  return ValidType(type) ? &kCatalogue[type] : nullptr;
}

const char* EffectKey(int type) { return ValidType(type) ? kKeys[type] : ""; }

const char* EffectDisplayName(int type) {
  return ValidType(type) ? kCatalogue[type].displayName : "";
}

int EffectTypeFromLineStart(std::string_view line) {
  for (int t = 0; t < kEffectTypeCount; ++t) {
    std::string_view key = kKeys[t];
    if (line.substr(0, key.size()) == key) return t;
  }
  return -1;
}

EffectRecord EffectStartRecord(int type) {
  EffectRecord r;
  if (!ValidType(type)) return r;
  r.type = type;
  for (const EffectParam& p : kCatalogue[type].params) r.p[size_t(p.slot)] = p.startValue;
  for (const StoredOnlySlot& s : kCatalogue[type].storedOnly) r.p[size_t(s.slot)] = s.startValue;
  return r;
}

const EffectParam* FindEffectParam(int type, int slot) {
  const EffectInfo* info = FindEffectInfo(type);
  if (!info) return nullptr;
  for (const EffectParam& p : info->params)
    if (p.slot == slot) return &p;
  return nullptr;
}

const EffectParam& EffectParamNamed(int type, std::string_view name) {
  if (const EffectInfo* info = FindEffectInfo(type))
    for (const EffectParam& p : info->params)
      if (name == p.name) return p;
  throw std::logic_error("effect " + std::to_string(type) + " has no parameter " + std::string(name));
}

EffectTemplates StartEffectTemplates() {
  EffectTemplates t;
  for (int i = 0; i < kEffectTypeCount; ++i) t[i] = EffectStartRecord(kTemplateOrder[i]);
  return t;
}

int EffectTemplateIndex(int type) {
  for (int i = 0; i < kEffectTypeCount; ++i)
    if (kTemplateOrder[i] == type) return i;
  return -1;
}
