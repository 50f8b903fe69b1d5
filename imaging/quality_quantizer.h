#pragma once
// The "high quality" colour reduction: variance-minimising cuts (Wu's criterion: split where the
// halves leave the least squared error) give a first palette, which k-means (Lloyd) iterations
// over the picture's distinct colours then refine. The cuts run over the exact colours, or over
// Wu's 6-bit moment grid for a picture of more than 32,768 colours. Both steps lower the sum of
// squared RGB errors, which is what PSNR measures, so no perceptual space is used. Slot 0 is fixed
// to the fill colour and takes part in the mapping like any slot.
//
// Pixels are blue-green-red triples, rows top first. A histogram may collect several pictures,
// so a family of pictures can share one palette (Build once, map each picture).
#include <cstdint>
#include <utility>
#include <vector>

#include "imaging/dib_image.h"

class ColourHistogram {
 public:
  void Add(const uint8_t* const* bgrRows, int width, int height);
  void Add(const ColourHistogram& other);
  // Distinct colours (0xRRGGBB) with their pixel counts, ascending by colour.
  std::vector<std::pair<uint32_t, uint32_t>> Counts() const;

 private:
  std::vector<uint32_t> pixels_;
};

// Fills palette slots 0..colours-1 (BGR triples): slot 0 the fill colour (a COLORREF), the rest
// chosen for the histogram; slots nothing needs repeat slot 0. Slots from `colours` on are black.
void BuildQualityPalette(const ColourHistogram& histogram, BgrPalette& palette, int colours, int32_t fillColour);

// Maps every pixel to the palette slot nearest by squared RGB distance (ties: the earlier slot).
// With `dither`, Floyd-Steinberg error diffusion spreads each pixel's error to its neighbours.
void MapToPalette(uint8_t* const* outRows, const uint8_t* const* bgrRows, const BgrPalette& palette, int colours,
                  int width, int height, bool dither);
