#pragma once
// The sizes a render may build, in the limits struct the picture readers take too.
#include <cstdint>

#include "imaging/limits.h"

// What one render may build unless its context says otherwise: a work area of at most
// 16384 x 16384 and 32 M pixels, within 1 GB.
inline constexpr ImageLimits kRenderLimits{16384, 16384, 32ull * 1024 * 1024, 1ull << 30};

// A page holds items side by side: it may be twice as wide, high and large as one work area.
constexpr ImageLimits PageLimits(const ImageLimits& work) {
  ImageLimits page = work;
  page.maxWidth = work.maxWidth > UINT32_MAX / 2 ? UINT32_MAX : work.maxWidth * 2;
  page.maxHeight = work.maxHeight > UINT32_MAX / 2 ? UINT32_MAX : work.maxHeight * 2;
  page.maxPixels = work.maxPixels > UINT64_MAX / 2 ? UINT64_MAX : work.maxPixels * 2;
  return page;
}
