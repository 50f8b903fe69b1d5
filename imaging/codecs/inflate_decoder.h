#pragma once
// Decompression of zlib streams (RFC 1950) and raw deflate data (RFC 1951) held in memory.
//
// The output is bounded by maxOutput: a stream that would produce more throws instead of
// growing without end, so a small file cannot make us allocate far beyond what its header
// promised. Memory grows with the data actually produced, never with maxOutput up front.
// Every failure throws InflateError with a short reason; the output is then discarded.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/graphics_exception.h"
#include "imaging/limits.h"

class InflateDecoder {
 public:
  class InflateError : public GraphicsException {
   public:
    explicit InflateError(const std::string& message) : GraphicsException(message) {}
  };

  struct Result {
    std::vector<uint8_t> data;
    size_t consumed = 0;  // input bytes up to the end of the stream (trailer included)
  };

  // A zlib stream: header checked ("Corrupt Compression Header flags"), Adler-32 checked.
  static Result DecompressZlib(const uint8_t* input, size_t size, size_t maxOutput);
  // Raw deflate blocks, no header or trailer.
  static Result DecompressRaw(const uint8_t* input, size_t size, size_t maxOutput);
  // The same with the output bounded by the memory limit every reader takes.
  static Result DecompressZlib(const uint8_t* input, size_t size, const ImageLimits& limits) {
    return DecompressZlib(input, size, size_t(std::min<uint64_t>(limits.maxBytes, SIZE_MAX)));
  }
};
