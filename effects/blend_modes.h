#pragma once
// The names of the blend modes: the word a style file stores and the name a dialog shows.
#include <array>
#include <string_view>

#include "effects/effect_record.h"

struct BlendModeName {
  BlendMode mode;
  const char* word;         // in style files, e.g. "softlight"
  const char* displayName;  // e.g. "Soft Light"
};

// Indexed by mode.
inline constexpr std::array<BlendModeName, kBlendModeCount> kBlendModeNames{{
    {BlendNormal, "normal", "Normal"},
    {BlendMultiply, "multiply", "Multiply"},
    {BlendScreen, "screen", "Screen"},
    {BlendOverlay, "overlay", "Overlay"},
    {BlendSoftLight, "softlight", "Soft Light"},
    {BlendHardLight, "hardlight", "Hard Light"},
    {BlendDarken, "darken", "Darken"},
    {BlendLighten, "lighten", "Lighten"},
    {BlendColorDodge, "colordodge", "Color Dodge"},
    {BlendColorBurn, "colorburn", "Color Burn"},
    {BlendDifference, "difference", "Difference"},
}};
static_assert([] {
  for (int i = 0; i < kBlendModeCount; ++i)
    if (kBlendModeNames[size_t(i)].mode != i) return false;
  return true;
}());

// The mode a style file's word names; -1 for a word that names none.
constexpr int BlendModeFromWord(std::string_view word) {
  for (const BlendModeName& n : kBlendModeNames)
    if (word == n.word) return n.mode;
  return -1;
}

// Out-of-range modes are shown and stored as normal.
constexpr const BlendModeName& BlendModeNameOf(int mode) {
  return kBlendModeNames[size_t(mode > 0 && mode < kBlendModeCount ? mode : 0)];
}
