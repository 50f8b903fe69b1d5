// Fuzz target for the JPEG reader: any input must decode or fail with JpegError, within bounded
// time and memory.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/codecs/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  JpegDecoder::Limits limits;
  limits.maxPixels = 1u << 20;  // keeps each run fast; the limit check itself is what matters
  limits.maxScans = 100;
  JpegDecoder decoder(limits);
  try {
    decoder.Decode(data, size);
    std::vector<uint8_t> pixels = decoder.Pixels();
    if (pixels.size() != static_cast<size_t>(decoder.Width()) * static_cast<size_t>(decoder.Height()) * 3)
      __builtin_trap();
  } catch (const JpegDecoder::JpegError&) {
  }
  return 0;
}
