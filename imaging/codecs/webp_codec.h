#pragma once
// WebP through libwebp.
//
// Writing: lossless unless a quality 0..100 is given (then lossy at that quality); a picture with
// alpha keeps it (straight alpha), one without is written without an alpha channel. Files go
// through AtomicFileWriter: a failure leaves nothing at the path and throws GraphicsException.
// Reading: the whole file is decoded; pictures with alpha are composed onto white, since a
// DibImage has no alpha. Sizes past BitmapImage::kMaxPixels are refused before decoding.
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/atomic_file.h"
#include "imaging/limits.h"

class DibImage;
struct RgbaPicture;

// quality -1: lossless.
std::vector<uint8_t> EncodeWebp(const RgbaPicture& picture, int quality);
int WriteWebp(const DibImage& image, const std::string& path, int quality, const OutputPolicy& output = {});
int WriteWebpRgba(const RgbaPicture& picture, const std::string& path, int quality,
                  const OutputPolicy& output = {});

// Decodes a WebP file held in memory into straight RGBA; throws GraphicsException with the reason.
// A picture past `limits` (4 bytes a pixel for the RGBA picture, 3 more for the composed one) is
// refused before anything is allocated: a few bytes of lossless WebP can claim 16383 x 16383.
RgbaPicture DecodeWebp(const uint8_t* data, size_t size, const ImageLimits& limits = ImageLimits());
// 1 on success; throws GraphicsException naming the file when it cannot be read or decoded.
int ReadWebp(const std::string& path, DibImage& image, const ImageLimits& limits = ImageLimits());
