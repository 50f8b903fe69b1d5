#include "effects/effect_catalogue.h"

#include <cstring>

namespace {

constexpr const char* kKeys[kEffectTypeCount] = {
    "SingleColor", "OutLine",       "DropShadow", "LinearGradient", "DepthField",
    "DisturbTemplet", "StarFilter", "Tile",       "3dSingleColor",  "RoundBox",
    "Fog",         "Space",         "CutOut"};

EffectParam Colour(int slot, const char* name, const char* label, int start,
                   const char* group = "") {
  return EffectParam{slot, name, label, ParamKind::Colour, 0, 0xFFFFFF, start, 1.0, {}, 1, group};
}

EffectParam Int(int slot, const char* name, const char* label, int minValue, int maxValue,
                int start, double scale, int page, const char* group = "") {
  return EffectParam{slot,  name, label, ParamKind::Integer, minValue, maxValue, start,
                     scale, {},   page,  group};
}

EffectParam OffsetX(const char* label = "Holizontal", const char* group = "") {
  return Int(2, "offsetX", label, -20, 20, 0, 1.0, 1, group);
}
EffectParam OffsetY(const char* group = "") {
  return Int(3, "offsetY", "Vertical", -20, 20, 0, 1.0, 1, group);
}

// The 3D profile shared by 3D Single Color and Fog, edited in the "3D Shape" dialog. The upper
// bound of waveEnd is the current wavelength; 600 is the widest it can be.
std::vector<EffectParam> Profile() {
  const char* g = "3D Shape";
  return {
      Int(4, "shape3d", "", 0, 2, 0, 1.0, 1, g),
      Int(5, "bevelHeight", "Height", 1, 1000, 200, 0.01, 5, g),
      Int(6, "wavelength", "Wavelength", 1, 600, 25, 0.01, 10, g),
      Int(7, "ceiling", "", -1000, 1000, 1000, 0.001, 5, g),
      Int(8, "waveEnd", "", 1, 600, 100, 0.01, 10, g),
      Int(9, "plateau", "", -1000, 1000, 0, 0.001, 10, g),
  };
}

std::vector<EffectParam> Join(std::vector<EffectParam> a, const std::vector<EffectParam>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

EffectInfo MakeInfo(EffectType type, const char* displayName, const char* dialogTitle,
                    bool usesFileName, std::vector<EffectParam> params) {
  return EffectInfo{type, kKeys[type], displayName, dialogTitle, usesFileName, std::move(params)};
}

// Parameters are listed in slot order.
const std::array<EffectInfo, kEffectTypeCount> kCatalogue = {
    MakeInfo(SingleColor, "Draw", "Effect : Draw", true,
             {Colour(0, "color", "Color", 0), OffsetX("Holizontal", "Offset"), OffsetY("Offset"),
              EffectParam{4, "fillKind", "Select Texture", ParamKind::Choice, 2, 5, 0, 1.0,
                          {{2, "SingleColor"}, {4, "Bitmap(tile)"}, {5, "Bitmap(streach)"}},
                          1, "Select Texture"}}),
    MakeInfo(OutLine, "Outline", "Effect : Outline", false,
             {Colour(0, "color", "Change", 0, "Color"), OffsetX(), OffsetY(),
              Int(4, "thickness", "Thickness", 0, 10, 0, 1.0, 1)}),
    MakeInfo(DropShadow, "Drop Shadow", "Effect : Drop Shadow", false,
             {Colour(0, "color", "Change", 0, "Color"), OffsetX("Horizontal"), OffsetY(),
              Int(4, "opacity", "&Opacity", 0, 200, 50, 0.02, 10),
              Int(5, "blur", "Blur", 0, 10, 2, 1.0, 1)}),
    // The angle is free (edit box and direction picker); the picker yields -90..270.
    MakeInfo(LinearGradient, "Linear Gradient", "Gradient", false,
             {Colour(0, "color", "Color1", 0x0000FF), Colour(1, "color2", "Color2", 0xFFFF00),
              OffsetX(), OffsetY(),
              EffectParam{4, "angle", "Angle", ParamKind::Angle, -360, 360, 20, 1.0, {}, 1, ""},
              Int(5, "size", "Size", 1, 200, 20, 1.0, 4)}),
    MakeInfo(DepthField, "Depth of Field", "Depth of field", false,
             {Int(4, "opacity", "&Opacity", 1, 200, 0, 0.02, 10),
              Int(5, "blur", "Blur", 1, 10, 0, 1.0, 1)}),
    // p[2] starts at 100 but is not read by the effect, so it is not listed.
    MakeInfo(DisturbTemplet, "Disturbing Font", "Distort Templet : Sine & Cosine",
             false,
             {EffectParam{4, "template", "Type", ParamKind::Choice, 0, 8, 1, 1.0,
                          {{0, "Original Font"},
                           {1, "sin(x)"},
                           {2, "sin(y)"},
                           {3, "sin(x,y)"},
                           {4, "Fractal(x)"},
                           {5, "Fractal(y)"},
                           {6, "Fractal(x,y)"},
                           {7, "Random Dot"},
                           {8, "Enlarge"}},
                          1, ""},
              Int(5, "wavelength", "Wavelength", 1, 600, 100, 0.01, 10),
              // 1..100 once "Enlarge" is chosen.
              Int(6, "amplitude", "Amplitude", 1, 1000, 0, 0.1, 10)}),
    MakeInfo(StarFilter, "Star Filtering", "Effect : Star Filtering", false,
             {Colour(0, "color", "Color", 0xFFFFFF, "Star Filter Option"),
              EffectParam{1, "starType", "Type", ParamKind::Choice, 0, 2, 0, 1.0,
                          {{0, "only blur effect"},
                           {1, "blur with steak line"},
                           {2, "blur with diagonal steak lne"}},
                          1, "Star Filter Option"},
              OffsetX("Holizontal", "Offset"), OffsetY("Offset"),
              Int(5, "intensity", "Intensity", 1, 20, 10, 1000.0, 2, "Star Filter Option")}),
    MakeInfo(Tile, "Tile", "Effect : Tile", true, {}),
    MakeInfo(ThreeDSingleColor, "3D Single Color", "Effect : 3D Single Color",
             false,
             Join({Colour(0, "color", "Color", 0, "3D Option"), OffsetX("Holizontal", "Location"),
                   OffsetY("Location")},
                  Profile())),
    // The dialog shows these four divided by 10 (tenths of a percent).
    MakeInfo(RoundBox, "Round Box", "Effect : Rectangle", false,
             {Int(4, "sizeX", "Size X(dot)", 0, 2000, 1, 0.001, 100),
              Int(5, "sizeY", "Size Y(dot)", 0, 2000, 1, 0.001, 100),
              Int(6, "roundX", "Round X(%)", 0, 1000, 100, 0.001, 2),
              Int(7, "roundY", "Round Y(%)", 0, 1000, 100, 0.001, 2)}),
    MakeInfo(Fog, "Fog", "Effect : Fog", false,
             Join(Join({Colour(0, "color", "Color", 0), OffsetX("Holizontal", "Location"),
                        OffsetY("Location")},
                       Profile()),
                  {Int(10, "size", "Size", 1, 300, 100, 0.001, 10),
                   Int(11, "intensity", "Intensity", 0, 200, 100, 0.01, 10)})),
    MakeInfo(Space, "Space", "Effect : Space", false,
             {OffsetX("Holizontal", "Location"), OffsetY("Location"),
              Int(4, "size", "Size", 1, 400, 200, 0.001, 10, "Star Option"),
              Int(5, "intensity", "Intensity", 0, 1000, 200, 1.0, 10, "Star Option")}),
    MakeInfo(CutOut, "Cut Out", "Effect : Cut Out", false,
             {Colour(0, "color", "Change", 0, "Option"), OffsetX("Horizontal", "Offset"),
              OffsetY("Offset"), Int(4, "opacity", "&Opacity", 0, 300, 0, 0.02, 10, "Option"),
              Int(5, "blur", "Blur", 0, 10, 0, 1.0, 1, "Option"),
              Int(6, "locationX", "Horizontal", -20, 20, 0, 1.0, 1, "Location"),
              Int(7, "locationY", "Vertical", -20, 20, 0, 1.0, 1, "Location")}),
};

// Start values of every slot, by type. Kept as constant data (not derived from kCatalogue) so
// that a document built during static initialisation never reads an unconstructed table.
constexpr int32_t kStartValues[kEffectTypeCount][12] = {
    /* SingleColor    */ {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    /* OutLine        */ {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    /* DropShadow     */ {0, 0, 0, 0, 50, 2, 0, 0, 0, 0, 0, 0},
    /* LinearGradient */ {0x0000FF, 0xFFFF00, 0, 0, 20, 20, 0, 0, 0, 0, 0, 0},
    /* DepthField     */ {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    /* DisturbTemplet */ {0, 0, 100, 0, 1, 100, 0, 0, 0, 0, 0, 0},
    /* StarFilter     */ {0xFFFFFF, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0},
    /* Tile           */ {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    /* 3dSingleColor  */ {0, 0, 0, 0, 0, 200, 25, 1000, 100, 0, 0, 0},
    /* RoundBox       */ {0, 0, 0, 0, 1, 1, 100, 100, 0, 0, 0, 0},
    /* Fog            */ {0, 0, 0, 0, 0, 200, 25, 1000, 100, 0, 100, 100},
    /* Space          */ {0, 0, 0, 0, 200, 200, 0, 0, 0, 0, 0, 0},
    /* CutOut         */ {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

// The order in which the start records are held.
constexpr EffectType kTemplateOrder[kEffectTypeCount] = {
    CutOut,         Space,      Fog,          RoundBox,    ThreeDSingleColor, Tile,    StarFilter,
    DisturbTemplet, DepthField, LinearGradient, DropShadow, SingleColor,      OutLine};

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
  for (int i = 0; i < 12; ++i) r.p[i] = kStartValues[type][i];
  return r;
}

const EffectParam* FindEffectParam(int type, int slot) {
  const EffectInfo* info = FindEffectInfo(type);
  if (!info) return nullptr;
  for (const EffectParam& p : info->params)
    if (p.slot == slot) return &p;
  return nullptr;
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
