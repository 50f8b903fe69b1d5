#pragma once
// The star filter's working kernel and its two stamping forms, for the effect body, the effect
// dialog's preview, tests and benchmarks.
#include <cstdint>
#include <vector>

#include "raster/convolution_kernel.h"

struct StarKernel {
  int width = 0, height = 0;  // cells; both odd, or 0 when nothing is painted
  std::vector<float> cells;   // three scaled weights per cell (blue, green, red), then the largest
  // Per row, the columns [first, last] outside which every weight is below 1; first > last when
  // the whole row is. Such cells change no colour byte (the sums are truncated).
  std::vector<int> spanFirst, spanLast;
  int RadiusX() const { return (width - 1) / 2; }
  int RadiusY() const { return (height - 1) / 2; }
};

// Scales the pattern by the colour (COLORREF) and strength and trims the rows (and as many
// columns) at its border whose weights stay below 1. Weights that are negative or not numbers
// (a damaged light-pattern file) count as 0.
StarKernel PrepareStarKernel(const ConvolutionKernel& pattern, int32_t colour, float strength);

// The pattern drawn s times larger (bilinear), its weights divided by s.
ConvolutionKernel ScaledLightPattern(const ConvolutionKernel& pattern, double s);

// Adds the kernel centred on (x + dx, y + dy) for every marked pixel of the edge rows.
// The stamp is clipped once; the inner loop runs over the contiguous cells of each row's span.
void StampStars(const StarKernel& kernel, const uint8_t* const* edgeRows, uint8_t* const* colorRows,
                uint16_t* coverage16, int W, int H, int dx, int dy);
// The same, testing every cell against the area: the plain form, for comparisons.
void StampStarsDirect(const StarKernel& kernel, const uint8_t* const* edgeRows, uint8_t* const* colorRows,
                      uint16_t* coverage16, int W, int H, int dx, int dy);
