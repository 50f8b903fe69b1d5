// The GIF reader on arbitrary bytes: it must either decode or give a reason, never crash,
// read outside the input or hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/codecs/gif_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GifDecoder decoder;
  if (decoder.Decode(data, size, "fuzz.gif")) {
    const size_t expected = static_cast<size_t>(decoder.Width()) * static_cast<size_t>(decoder.Height()) * 3;
    if (decoder.Width() <= 0 || decoder.Height() <= 0 || decoder.Rgb().size() != expected) std::abort();
  } else if (decoder.Error().empty() || decoder.Error() == "No Error") {
    std::abort();
  }
  return 0;
}
