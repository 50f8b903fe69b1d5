#pragma once
// The star filter's working kernel and its two stamping forms, for the effect body, the effect
// dialog's preview, tests and benchmarks.
#include <cstdint>
#include <vector>

class ConvolutionKernel;

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

// The kernel's stamps for a picture s times larger: drawn s times larger at 1/s of the weight of
// its truncated 1x cells, summed in floating point and truncated once, so that the sums along an
// edge match what the 1x stamps add.
void StampStarsScaled(const StarKernel& kernel, double s, const uint8_t* const* edgeRows, uint8_t* const* colorRows,
                      uint16_t* coverage16, int W, int H, int dx, int dy);

// Adds the kernel centred on (x + dx, y + dy) for every marked pixel of the edge rows.
// The stamp is clipped once; the inner loop runs over the contiguous cells of each row's span.
void StampStars(const StarKernel& kernel, const uint8_t* const* edgeRows, uint8_t* const* colorRows,
                uint16_t* coverage16, int W, int H, int dx, int dy);
// The same, testing every cell against the area: the plain form, for comparisons.
void StampStarsDirect(const StarKernel& kernel, const uint8_t* const* edgeRows, uint8_t* const* colorRows,
                      uint16_t* coverage16, int W, int H, int dx, int dy);
