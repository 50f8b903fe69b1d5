#pragma once
// Pictures with straight (non-premultiplied) alpha, and the ways a transparent picture becomes an
// output that cannot hold alpha: composed onto one colour, or reduced with one transparent index.
//
// Layout: width * height pixels of red, green, blue, alpha, top row first, no row padding.
#include <cstdint>
#include <vector>

#include "imaging/dib_image.h"

struct RgbaPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;

  bool Empty() const { return pixels.empty(); }
  void Clear() {
    width = height = 0;
    pixels.clear();
  }
};

// Solves for alpha from the same picture composed on a black and on a white page (blue, green,
// red rows, top row first): what the page shows through is what the white page added. Exact for
// any page colour wherever composition is affine in the page colour, which ours is.
RgbaPicture SolveAlpha(const uint8_t* const* onBlack, const uint8_t* const* onWhite, int32_t width, int32_t height);

// `picture` over the COLORREF colour, as a 24-bit picture.
DibImage ComposeOnto(const RgbaPicture& picture, int32_t colour);

// An 8-bit picture of `colours` entries (16 or 256) whose entry 0 is used only by pixels of
// alpha 0 (entry 0 takes `shown`'s colour there); every other pixel takes its colour from
// `shown` (a 24-bit picture of the same size: the picture on its page or matte) and is reduced
// into entries 1 and up. Returns an empty picture when memory cannot be had.
DibImage ReduceWithTransparentIndex(const RgbaPicture& picture, const DibImage& shown, int colours,
                                    int32_t fillColour, int method);

// Reduces to at most 256 RGBA palette entries, in the manner of pngquant: median cut on colour
// premultiplied by alpha, entry 0 fully transparent when any pixel is. `palette` receives
// red, green, blue, alpha quadruplets; `indexes` width * height entries.
void QuantizeRgba(const RgbaPicture& picture, std::vector<uint8_t>& palette, std::vector<uint8_t>& indexes);
