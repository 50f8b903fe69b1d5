#pragma once
// A logical font as documents store it: the fields of a Windows LOGFONT that this program uses.
#include <cstdint>
#include <string>

struct LogFont {
  int32_t height = 0;  // > 0: cell height (ascent + descent); < 0: em height; 0: a default size
  int32_t width = 0;   // average character width; 0: the face's natural width
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 0;  // 0 = default, 400 normal, 700 bold
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strikeOut = 0;
  uint8_t charSet = 0;
  uint8_t outPrecision = 0;
  uint8_t clipPrecision = 0;
  uint8_t quality = 0;
  uint8_t pitchAndFamily = 0;
  std::string faceName;  // at most 31 characters

  static constexpr size_t kMaxFaceName = 31;
  bool operator==(const LogFont&) const = default;
};
