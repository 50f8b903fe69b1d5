// PNG reader: any input must decode or throw PngError, never crash or hang. A picture that
// decodes is written again by our encoder and must read back to the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/codecs/png_decoder.h"
#include "imaging/codecs/png_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BitmapImage image;
  try {
    PngDecoder().Decode(data, size, image);
  } catch (const GraphicsException&) {
    return 0;
  }
  if (uint64_t(image.Width()) * image.Height() > 1 << 16) return 0;
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
  return 0;
}
