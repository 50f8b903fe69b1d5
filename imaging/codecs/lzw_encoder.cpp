#include "imaging/codecs/lzw_encoder.h"

#include <algorithm>
#include <string>
#include <utility>

#include "imaging/graphics_exception.h"

LzwEncoder::LzwEncoder(int minCodeSize, Sink sink)
    : minCodeSize_(minCodeSize),
      clearCode_(1 << minCodeSize),
      endCode_((1 << minCodeSize) + 1),
      hashKey_(kHashSize, -1),
      hashCode_(kHashSize, 0),
      sink_(std::move(sink)) {
  if (minCodeSize < 2 || minCodeSize > 8) throw GraphicsException("Invalid LZW code size");
  codeBits_ = minCodeSize_ + 1;
  maxCode_ = (1 << codeBits_) - 1;
  nextCode_ = clearCode_ + 2;
}

void LzwEncoder::ResetTable() {
  std::fill(hashKey_.begin(), hashKey_.end(), -1);
  nextCode_ = clearCode_ + 2;
}

void LzwEncoder::PutByte(uint8_t byte) {
  block_[static_cast<size_t>(1 + blockLength_++)] = byte;
  if (blockLength_ >= 254) FlushBlock();
}

void LzwEncoder::FlushBlock() {
  if (blockLength_ == 0) return;
  block_[0] = static_cast<uint8_t>(blockLength_);
  sink_(block_.data(), static_cast<size_t>(blockLength_) + 1);
  blockLength_ = 0;
}

void LzwEncoder::PutCode(int code) {
  bitBuffer_ |= static_cast<uint32_t>(code) << bitCount_;
  bitCount_ += codeBits_;
  while (bitCount_ >= 8) {
    PutByte(static_cast<uint8_t>(bitBuffer_ & 0xFF));
    bitBuffer_ >>= 8;
    bitCount_ -= 8;
  }
  // The decoder widens its codes once its table reaches the current limit; it adds a string
  // for every code after the first, one step behind us, which is why the test is "beyond".
  if (resetWidth_) {
    codeBits_ = minCodeSize_ + 1;
    maxCode_ = (1 << codeBits_) - 1;
    resetWidth_ = false;
  } else if (nextCode_ > maxCode_ && codeBits_ < kMaxBits) {
    ++codeBits_;
    maxCode_ = codeBits_ == kMaxBits ? kMaxCodes : (1 << codeBits_) - 1;
  }
}

void LzwEncoder::Encode(const uint8_t* symbols, size_t count) {
  const int alphabet = clearCode_;
  auto check = [alphabet](uint8_t s) {
    if (s >= alphabet)
      throw GraphicsException("Pixel index " + std::to_string(s) + " lies outside the " +
                              std::to_string(alphabet) + "-entry colour table");
  };
  PutCode(clearCode_);
  if (count > 0) {
    check(symbols[0]);
    int prefix = symbols[0];
    for (size_t n = 1; n < count; ++n) {
      const uint8_t symbol = symbols[n];
      check(symbol);
      const int32_t key = (static_cast<int32_t>(symbol) << kMaxBits) + prefix;
      int slot = (symbol << kHashShift) ^ prefix;
      const int step = slot == 0 ? 1 : kHashSize - slot;
      bool found = false;
      // Bounded: the table never holds more than 4,096 of its 5,003 slots, so an empty slot
      // turns up before the probe sequence comes round again.
      for (int probes = 0; probes < kHashSize; ++probes) {
        if (hashKey_[static_cast<size_t>(slot)] == key) {
          found = true;
          break;
        }
        if (hashKey_[static_cast<size_t>(slot)] < 0) break;
        slot -= step;
        if (slot < 0) slot += kHashSize;
      }
      if (found) {
        prefix = hashCode_[static_cast<size_t>(slot)];
        continue;
      }
      PutCode(prefix);
      prefix = symbol;
      if (nextCode_ < kMaxCodes) {
        hashCode_[static_cast<size_t>(slot)] = static_cast<uint16_t>(nextCode_++);
        hashKey_[static_cast<size_t>(slot)] = key;
      } else {
        ResetTable();
        resetWidth_ = true;
        PutCode(clearCode_);
      }
    }
    PutCode(prefix);
  }
  PutCode(endCode_);
  if (bitCount_ > 0) {
    PutByte(static_cast<uint8_t>(bitBuffer_ & 0xFF));
    bitBuffer_ = 0;
    bitCount_ = 0;
  }
  FlushBlock();
}
