// The WebP reader on arbitrary bytes: it must either decode to a picture of the size it reports
// or throw GraphicsException with a reason, never crash or read outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/codecs/webp_codec.h"
#include "imaging/graphics_exception.h"
#include "imaging/transparency.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const RgbaPicture picture = DecodeWebp(data, size);
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height) * 4)
      std::abort();
  } catch (const GraphicsException& e) {
    if (!*e.what()) std::abort();
  }
  return 0;
}
