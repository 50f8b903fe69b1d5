#include "imaging/limits.h"

namespace {
std::string Size(uint64_t w, uint64_t h) { return std::to_string(w) + " x " + std::to_string(h); }
std::string Megabytes(uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB"; }
}  // namespace

std::string ImageLimits::Refusal(uint64_t width, uint64_t height, uint64_t bytesPerPixel) const {
  const std::string picture = "picture of " + Size(width, height) + " pixels";
  if (width == 0 || height == 0) return picture + " has no pixels";
  if (width > maxWidth || height > maxHeight)
    return picture + " is larger than the limit of " + Size(maxWidth, maxHeight);
  // Both sides are at most 2^32 here, so the product cannot wrap.
  const uint64_t pixels = width * height;
  if (pixels > maxPixels)
    return picture + " is larger than the limit of " + std::to_string(maxPixels) + " pixels";
  if (bytesPerPixel != 0 && pixels > maxBytes / bytesPerPixel)
    return picture + " needs more memory than the limit of " + Megabytes(maxBytes);
  return {};
}

std::string ImageLimits::MemoryRefusal(uint64_t bytes, const std::string& what) const {
  if (bytes <= maxBytes) return {};
  return what + " needs more memory than the limit of " + Megabytes(maxBytes);
}
