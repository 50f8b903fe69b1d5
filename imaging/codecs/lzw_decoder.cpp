#include "imaging/codecs/lzw_decoder.h"

#include "imaging/graphics_exception.h"

LzwDecoder::LzwDecoder(int minCodeSize)
    : minCodeSize_(minCodeSize), prefix_(kMaxCodes), length_(kMaxCodes), suffix_(kMaxCodes), first_(kMaxCodes) {
  if (minCodeSize < 2 || minCodeSize > 8) throw GraphicsException("Invalid LZW code size");
  const int clear = 1 << minCodeSize;
  for (int c = 0; c < clear; ++c) {
    prefix_[static_cast<size_t>(c)] = 0;
    length_[static_cast<size_t>(c)] = 1;
    suffix_[static_cast<size_t>(c)] = static_cast<uint8_t>(c);
    first_[static_cast<size_t>(c)] = static_cast<uint8_t>(c);
  }
}

LzwDecoder::Result LzwDecoder::Decode(const uint8_t* data, size_t size, uint8_t* out, size_t count,
                                      size_t* produced) {
  const int clear = 1 << minCodeSize_;
  const int end = clear + 1;
  int bits = minCodeSize_ + 1;
  int next = clear + 2;
  int previous = -1;
  size_t pos = 0;
  size_t byte = 0;
  uint32_t buffer = 0;
  int buffered = 0;
  Result result = Result::Truncated;

  while (pos < count) {
    while (buffered < bits && byte < size) {
      buffer |= static_cast<uint32_t>(data[byte++]) << buffered;
      buffered += 8;
    }
    if (buffered < bits) break;
    const int code = static_cast<int>(buffer & ((1u << bits) - 1));
    buffer >>= bits;
    buffered -= bits;

    if (code == clear) {
      bits = minCodeSize_ + 1;
      next = clear + 2;
      previous = -1;
      continue;
    }
    if (code == end) break;
    if (previous < 0) {
      if (code > clear) {
        result = Result::BadCode;
        break;
      }
      out[pos++] = static_cast<uint8_t>(code);
      previous = code;
      continue;
    }
    if (code > next || (code == next && next >= kMaxCodes)) {
      result = Result::BadCode;
      break;
    }
    // Add previous + first symbol of this code's string; for the one code not yet in the table
    // (code == next) that string starts with previous's first symbol, so adding first makes it
    // decodable like any other.
    if (next < kMaxCodes) {
      const size_t n = static_cast<size_t>(next);
      const size_t p = static_cast<size_t>(previous);
      prefix_[n] = static_cast<uint16_t>(previous);
      suffix_[n] = code == next ? first_[p] : first_[static_cast<size_t>(code)];
      first_[n] = first_[p];
      length_[n] = static_cast<uint16_t>(length_[p] + 1);
      ++next;
      if (next >= (1 << bits) && bits < 12) ++bits;
    }
    // Write the string back to front; the part past `count` is dropped.
    const size_t length = length_[static_cast<size_t>(code)];
    int c = code;
    for (size_t i = length; i-- > 0;) {
      if (pos + i < count) out[pos + i] = suffix_[static_cast<size_t>(c)];
      c = prefix_[static_cast<size_t>(c)];
    }
    pos = pos + length < count ? pos + length : count;
    previous = code;
  }
  if (pos == count) result = Result::Complete;
  *produced = pos;
  return result;
}
