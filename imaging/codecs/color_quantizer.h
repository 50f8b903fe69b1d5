#pragma once
// Median-cut reduction of a 24-bit BitmapImage to 8 bits with a 256-entry colour map.
//
// The colour cube is cut into at most 256 boxes: first recursively (seven levels below a cut of
// the whole cube on red, each part cut on its widest channel at the pixel median), then one box
// at a time, always the box with the largest score, until 256 boxes exist or nothing more can be
// cut. Each box's colour is the pixel-weighted mean of its colours; each pixel takes the first
// box that holds its colour. Entries of unused boxes stay black. Pictures of other bit counts
// are copied unchanged.
#include "imaging/bitmap_image.h"

class ColorQuantizer {
 public:
  // out may not be in. Throws GraphicsException ("INTERNAL ERROR - ...") when the boxes come
  // out inconsistent, which would be a fault of this code, not of the picture.
  void Quantize(const BitmapImage& in, BitmapImage& out);
};
