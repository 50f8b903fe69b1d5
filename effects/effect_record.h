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
};

constexpr int kEffectTypeCount = 13;
constexpr int kMaxEffects = 40;          // effects in one style
constexpr size_t kMaxEffectFileName = 51;  // characters of EffectRecord::fileName

struct EffectRecord {
  int32_t type = 0;
  std::array<int32_t, 12> p{};
  std::string fileName;  // at most kMaxEffectFileName characters

  bool operator==(const EffectRecord&) const = default;
};
