#include "imaging/codecs/checksums.h"

#include <array>

namespace {

// Slicing-by-4 tables, built at compile time so that no state is kept at run time.
using CrcTables = std::array<std::array<uint32_t, 256>, 4>;

constexpr CrcTables MakeCrcTables() {
  CrcTables t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n) {
    for (int s = 1; s < 4; ++s) t[s][n] = (t[s - 1][n] >> 8) ^ t[0][t[s - 1][n] & 0xFF];
  }
  return t;
}

constexpr CrcTables kCrc = MakeCrcTables();

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
  uint32_t c = ~crc;
  while (size >= 4) {
    c ^= uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    c = kCrc[3][c & 0xFF] ^ kCrc[2][(c >> 8) & 0xFF] ^ kCrc[1][(c >> 16) & 0xFF] ^ kCrc[0][c >> 24];
    data += 4;
    size -= 4;
  }
  while (size--) c = kCrc[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
  return ~c;
}

uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size) {
  constexpr uint32_t kBase = 65521;
  // 5552 is the largest run for which the sums cannot overflow 32 bits before the modulo.
  constexpr size_t kRun = 5552;
  uint32_t a = adler & 0xFFFF, b = adler >> 16;
  while (size > 0) {
    size_t n = size < kRun ? size : kRun;
    size -= n;
    while (n >= 4) {
      a += data[0]; b += a;
      a += data[1]; b += a;
      a += data[2]; b += a;
      a += data[3]; b += a;
      data += 4;
      n -= 4;
    }
    while (n--) { a += *data++; b += a; }
    a %= kBase;
    b %= kBase;
  }
  return b << 16 | a;
}
