#pragma once
// Reduces a 24-bit picture to 16 or 256 colours, palette entry 0 reserved for the fill colour.
#include <cstdint>

#include "imaging/dib_image.h"

enum ReduceColorMethod : int { Popularity = 0, OptimizedMedianCut = 1 };

// inRows: `height` rows of `width` blue-green-red pixels, top row first. outRows: `height` rows
// of `width` palette indexes. fillColour is a COLORREF. method: 0 popularity, anything else
// optimized median cut.
void ReduceColors(uint8_t* const* outRows, const uint8_t* const* inRows, BgrPalette& palette, int colours,
                  int width, int height, int32_t fillColour, int method);
