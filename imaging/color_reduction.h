#pragma once
// Reduces a 24-bit picture to 16 or 256 colours, palette entry 0 reserved for the fill colour.
//
// Popularity: the palette takes the fill colour and then the colours in the order of a tally
// that moves a colour at most one place forward per pixel. Optimized median cut: the colour cube
// (5 bits a channel) is cut into at most 8 x 8 x 8 boxes holding about equal pixel counts per
// channel, and each box's mean colour becomes a palette entry, in box order.
// High quality (see quality_quantizer.h): Wu's cuts refined by k-means, nearest slot by squared
// RGB distance. The two classic methods map every pixel to the palette entry nearest by sum of absolute channel
// differences (ties go to the earlier entry). With dithering, any method's palette is applied by
// Floyd-Steinberg error diffusion instead. Each call is self-contained.
//
// The tally holds at most 49,999 colours; further new colours of a very colourful picture are
// not counted (they still map to their nearest entry). Palette entries below `colours` that no
// collected colour fills repeat entry 0; entries from `colours` on are black.
#include <cstdint>

#include "imaging/dib_image.h"

enum ReduceColorMethod : int { Popularity = 0, OptimizedMedianCut = 1, HighQuality = 2 };

// inRows: `height` rows of `width` blue-green-red pixels, top row first. outRows: `height` rows
// of `width` palette indexes. fillColour is a COLORREF. method: 0 popularity, 2 high quality,
// anything else optimized median cut. colours: 16 or 256 (clamped to 1..256).
void ReduceColors(uint8_t* const* outRows, const uint8_t* const* inRows, BgrPalette& palette, int colours,
                  int width, int height, int32_t fillColour, int method, bool dither = false);

// Turns a 24-bit picture into an 8-bit one of `colours` entries in place. 1 on success (also when
// there is nothing to do: empty or not 24-bit), 0 when the 8-bit picture cannot be had.
int ReduceImage(DibImage& image, int colours, int32_t fillColour, int method, bool dither = false);
// The same with a palette chosen beforehand (slots 0..colours-1), e.g. one shared by several pictures.
int ReduceImageToPalette(DibImage& image, const BgrPalette& palette, int colours, bool dither);
// Turns an 8-bit (palette) picture into a 24-bit one in place. 1 on success or when it already is
// 24-bit, 0 when the picture cannot be had.
int ExpandToTrueColour(DibImage& image);
