#pragma once
// The buffers of one item render. Every width and height is a multiple of 4; every row table has
// entry 0 = the TOP row. Colour pixels are blue, green, red; coverage is 0..255 (16-bit sums).
#include <cstdint>
#include <vector>

#include "raster/render_limits.h"

class WorkSet {
 public:
  int workWidth = 0;
  int workHeight = 0;

  std::vector<uint8_t> glyphMask;      // W*H*3, white glyphs on black; effects read byte 0
  std::vector<uint8_t> glyphMaskCopy;  // taken right after rasterizing
  std::vector<uint8_t> edgePlane;      // W*H
  std::vector<uint8_t> effectColor;    // W*H*3
  std::vector<uint8_t> pressedColor;   // W*H*3
  std::vector<uint16_t> effectCoverage;   // W*H, index row*W + column, arithmetic mod 65536
  std::vector<uint16_t> pressedCoverage;  // W*H

  // Scratch of a blended effect: the colour (top row first) and coverage that lay below it. Kept
  // so that blended effects do not each allocate anew; sized on first use, read by no other.
  std::vector<uint8_t> belowColor;      // W*H*3
  std::vector<uint16_t> belowCoverage;  // W*H

  std::vector<uint8_t*> glyphRows;
  std::vector<uint8_t*> edgeRows;
  std::vector<uint8_t*> effectColorRows;
  std::vector<uint8_t*> pressedColorRows;

  // Set whenever the glyph mask changes; the 3D effects rebuild their distance map then.
  bool glyphChanged = true;

  // Frees the previous buffers and builds zeroed ones of width x height (rounded up to
  // multiples of 4 by the caller). Throws RenderError past `limits`, before allocating.
  void Allocate(int width, int height, const ImageLimits& limits = kRenderLimits);
  // Bytes per work-area pixel for the limit check: these buffers, the largest scratch plane an
  // effect adds while it runs (a float a pixel) and the copy of colour and coverage a blended
  // effect keeps of what lay below it.
  static constexpr uint64_t kBytesPerPixel = 3 + 3 + 1 + 3 + 3 + 2 + 2 + 4 + 3 + 2;
  // After the glyph is drawn: zero both coverages, take the glyph copy, build the edge plane.
  void FinishRasterizing();
  // Copy the glyph copy back, zero both coverages, rebuild the edge plane, set glyphChanged.
  void RestoreGlyph();
  // 255 where a lit glyph pixel has a dark 4-neighbour; the outermost rows and columns stay 0.
  void BuildEdgePlane();
  // Zero the colour of the normal (false) or pressed (true) image.
  void ClearColor(bool pressed);
  // Zero EffectCoverage and set every EffectColor pixel to the COLORREF colour.
  void FillBackground(int32_t colour);

  uint8_t* const* ColorRows(bool pressed) const {
    return pressed ? pressedColorRows.data() : effectColorRows.data();
  }
  uint16_t* Coverage(bool pressed) {
    return pressed ? pressedCoverage.data() : effectCoverage.data();
  }
  int64_t PixelCount() const { return int64_t(workWidth) * workHeight; }
};
