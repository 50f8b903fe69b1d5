// The WebP reader on arbitrary bytes: it must either decode to a picture of the size it reports
// or throw GraphicsException with a reason, never crash or read outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/codecs/webp_codec.h"
#include "imaging/graphics_exception.h"
#include "imaging/transparency.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Small limits keep each run quick: a dozen bytes can claim a picture of a gigabyte.
  ImageLimits limits;
  limits.maxWidth = limits.maxHeight = 4096;
  limits.maxPixels = 4u << 20;
  limits.maxBytes = 64u << 20;
  try {
    const RgbaPicture picture = DecodeWebp(data, size, limits);
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height) * 4)
      std::abort();
  } catch (const GraphicsException& e) {
    if (!*e.what()) std::abort();
  }
  return 0;
}
