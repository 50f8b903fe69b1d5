#pragma once
// One effect of a style: its type, twelve integer parameters and an optional file name.
#include <array>
#include <cstdint>
#include <string>

enum EffectType : int32_t {
  SingleColor = 0,
  OutLine = 1,
  DropShadow = 2,
  LinearGradient = 3,
  DepthField = 4,
  DisturbTemplet = 5,
  StarFilter = 6,
  Tile = 7,
  ThreeDSingleColor = 8,  // key "3dSingleColor"
  RoundBox = 9,
  Fog = 10,
  Space = 11,
  CutOut = 12,
  // The layer-style kinds. Style files keep each on one ';' line that older readers skip.
  OuterGlow = 13,
  InnerGlow = 14,
  InnerShadow = 15,
  Stroke = 16,
  BevelEmboss = 17,
  Satin = 18,
  GradientOverlay = 19,
};

constexpr int kEffectTypeCount = 20;
// Types from here on are stored as one line starting with ';' (see style_file.h).
constexpr int kFirstOneLineType = OuterGlow;
constexpr int kMaxEffects = 40;          // effects in one style
constexpr size_t kMaxEffectFileName = 51;  // characters of EffectRecord::fileName

// How an effect's paint combines with what the records before it painted.
enum BlendMode : int32_t {
  BlendNormal = 0,
  BlendMultiply = 1,
  BlendScreen = 2,
  BlendOverlay = 3,
  BlendSoftLight = 4,
  BlendHardLight = 5,
  BlendDarken = 6,
  BlendLighten = 7,
  BlendColorDodge = 8,
  BlendColorBurn = 9,
  BlendDifference = 10,
};
constexpr int kBlendModeCount = 11;

struct EffectRecord {
  int32_t type = 0;
  std::array<int32_t, 12> p{};
  std::string fileName;  // at most kMaxEffectFileName characters
  int32_t blendMode = BlendNormal;  // a BlendMode; values outside it count as normal
  int32_t opacity = 100;            // percent, clamped to 0..100 where used

  // Normal at full opacity is the plain arithmetic of the effect, with no blending pass at all.
  bool Blended() const {
    return (blendMode > BlendNormal && blendMode < kBlendModeCount) || opacity < 100;
  }

  bool operator==(const EffectRecord&) const = default;
};
