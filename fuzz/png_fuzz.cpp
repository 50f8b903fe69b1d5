// PNG reader: any input must decode or throw PngError, never crash or hang. A picture that
// decodes is written again by our encoder and must read back to the same pixels. Each input is
// also tried with its chunk CRCs repaired, so that mutations reach past the CRC check.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <vector>

#include "imaging/codecs/checksums.h"
#include "imaging/codecs/png_decoder.h"
#include "imaging/codecs/png_encoder.h"

// The libraries are built without coverage instrumentation; compiling the codec sources into
// this target lets libFuzzer see their branches. The archive's copies are then never linked.
#include "imaging/codecs/inflate_decoder.cpp"
#include "imaging/codecs/png_decoder.cpp"

namespace {

std::vector<uint8_t> WithRepairedCrcs(const uint8_t* data, size_t size) {
  std::vector<uint8_t> v(data, data + size);
  size_t at = 8;
  while (at + 12 <= v.size()) {
    const uint32_t len = uint32_t(v[at]) << 24 | uint32_t(v[at + 1]) << 16 | uint32_t(v[at + 2]) << 8 | v[at + 3];
    if (v.size() - at - 12 < len) break;
    const uint32_t crc = Crc32(0, &v[at + 4], size_t(len) + 4);
    for (int i = 0; i < 4; ++i) v[at + 8 + len + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    at += 12 + size_t(len);
  }
  return v;
}

void Check(const uint8_t* data, size_t size) {
  BitmapImage image;
  try {
    PngDecoder().Decode(data, size, image);
  } catch (const GraphicsException&) {
    return;
  }
  if (uint64_t(image.Width()) * image.Height() > 1 << 16) return;
  VectorSink sink;
  PngEncoder encoder;
  encoder.SetCompressionLevel(size % 4);
  if (size & 4) {
    encoder.SetFilterMask(PngEncoder::kAllFilters);
    encoder.SetSmallestOutput(true);
  }
  encoder.Encode(image, sink);
  BitmapImage again;
  PngDecoder().Decode(sink.bytes.data(), sink.bytes.size(), again);
  if (again.Width() != image.Width() || again.Height() != image.Height()) std::abort();
  for (unsigned y = 0; y < image.Height(); ++y)
    for (unsigned x = 0; x < image.Width(); ++x) {
      auto colour = [x, y](const BitmapImage& img) {
        const uint8_t* row = img.TopDownRow(y);
        if (img.BitCount() == 24) return uint32_t(row[3 * x]) | uint32_t(row[3 * x + 1]) << 8 | uint32_t(row[3 * x + 2]) << 16;
        const unsigned d = img.BitCount(), bit = x * d;
        const auto& c = img.ColorMap((row[bit / 8] >> (8 - d - bit % 8)) & ((1u << d) - 1));
        return uint32_t(c.blue) | uint32_t(c.green) << 8 | uint32_t(c.red) << 16;
      };
      if (colour(image) != colour(again)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Check(data, size);
  const auto repaired = WithRepairedCrcs(data, size);
  Check(repaired.data(), repaired.size());
  return 0;
}
