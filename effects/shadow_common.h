#pragma once
// Small conversions shared by the shadow-family bodies.
#include <cstdint>

namespace shadow {

// Colour byte from a blend result: truncation toward zero, kept inside 0..255.
inline uint8_t Byte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return uint8_t(v);
}

// Stored coverage sums are read back as signed 16-bit numbers and written modulo 65,536.
inline int Signed(uint16_t v) { return int(int16_t(v)); }
inline uint16_t Store(float v) {
  // Truncation toward zero; values far outside the int range cannot arise from 0..255 weights
  // but are kept defined anyway.
  if (!(v > -2.0e9f && v < 2.0e9f)) return 0;
  return uint16_t(int64_t(v));
}

inline void Components(int32_t colour, float s[3]) {
  s[0] = float((colour >> 16) & 0xFF);
  s[1] = float((colour >> 8) & 0xFF);
  s[2] = float(colour & 0xFF);
}

}  // namespace shadow
