#pragma once
// Variable-length-code LZW decoding as GIF uses it (the counterpart of LzwEncoder): codes of
// minCodeSize + 1 bits growing to 12, clear and end codes, least significant bit first. Works on
// the image data with the sub-block counts already removed. Every loop is bounded by the input
// or the output size, and no code can make it read or write outside the buffers it was given.
#include <cstddef>
#include <cstdint>
#include <vector>

class LzwDecoder {
 public:
  enum class Result {
    Complete,   // `count` symbols produced (further data, if any, is ignored)
    Truncated,  // the data or an end code came before `count` symbols
    BadCode,    // a code past the string table, or a first code that is not a literal
  };

  // minCodeSize 2..8.
  explicit LzwDecoder(int minCodeSize);

  // Fills out[0..count); *produced tells how many symbols were written.
  Result Decode(const uint8_t* data, size_t size, uint8_t* out, size_t count, size_t* produced);

 private:
  static constexpr int kMaxCodes = 4096;
  int minCodeSize_;
  std::vector<uint16_t> prefix_, length_;
  std::vector<uint8_t> suffix_, first_;
};
