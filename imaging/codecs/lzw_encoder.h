#pragma once
// Variable-length-code LZW as GIF uses it: codes start at minCodeSize + 1 bits and grow to 12;
// a clear code opens the stream and is sent again whenever the string table fills; the end code
// closes it. Codes are packed least significant bit first and the bytes come out in GIF data
// sub-blocks (a count byte of at most 254, then the bytes), without the final empty sub-block.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class LzwEncoder {
 public:
  using Sink = std::function<void(const uint8_t*, size_t)>;

  // minCodeSize 2..8; every symbol passed to Encode must be below 2^minCodeSize.
  LzwEncoder(int minCodeSize, Sink sink);

  // Compresses `count` symbols and finishes the stream (end code, last sub-block). Throws
  // GraphicsException for a symbol outside the alphabet; no bytes past that point are sent.
  void Encode(const uint8_t* symbols, size_t count);

 private:
  static constexpr int kMaxBits = 12;
  static constexpr int kMaxCodes = 1 << kMaxBits;
  // Prime table size; with it the first probe is (symbol << 4) ^ prefix.
  static constexpr int kHashSize = 5003;
  static constexpr int kHashShift = 4;

  void ResetTable();
  void PutCode(int code);
  void PutByte(uint8_t byte);
  void FlushBlock();

  int minCodeSize_;
  int clearCode_, endCode_;
  int codeBits_ = 0;
  int maxCode_ = 0;      // largest code expressible in codeBits_
  int nextCode_ = 0;     // next free string code
  bool resetWidth_ = false;
  std::vector<int32_t> hashKey_;   // (symbol << 12) + prefix, -1 when empty
  std::vector<uint16_t> hashCode_;
  uint32_t bitBuffer_ = 0;
  int bitCount_ = 0;
  std::array<uint8_t, 256> block_{};
  int blockLength_ = 0;
  Sink sink_;
};
