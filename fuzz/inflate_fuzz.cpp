// Inflate: any input must decompress or throw InflateError within the output cap. Whatever
// decompresses is compressed again by our encoder and must inflate back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/codecs/deflate_encoder.h"
#include "imaging/codecs/inflate_decoder.h"

// The libraries are built without coverage instrumentation; compiling the codec sources into
// this target lets libFuzzer see their branches. The archive's copies are then never linked.
#include "imaging/codecs/checksums.cpp"
#include "imaging/codecs/inflate_decoder.cpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kCap = 1 << 20;
  for (int raw = 0; raw < 2; ++raw) {
    InflateDecoder::Result r;
    try {
      r = raw ? InflateDecoder::DecompressRaw(data, size, kCap) : InflateDecoder::DecompressZlib(data, size, kCap);
    } catch (const InflateDecoder::InflateError&) {
      continue;
    }
    if (r.data.size() > kCap || r.consumed > size) std::abort();
    const int level = int(size % 4);
    const auto z = DeflateEncoder::Compress(r.data.data(), r.data.size(), level, (size & 4) != 0);
    if (InflateDecoder::DecompressZlib(z.data(), z.size(), r.data.size()).data != r.data) std::abort();
  }
  return 0;
}
