#include "imaging/bitmap_image.h"

#include <stdexcept>
#include <string>

namespace {

bool SupportedBits(unsigned bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 24; }

}  // namespace

void BitmapImage::SetSize(unsigned colorCount, unsigned bitCount, unsigned width, unsigned height) {
  if (!SupportedBits(bitCount)) throw GraphicsException("Unsupported Bit Count");
  if (uint64_t(width) * uint64_t(height) > kMaxPixels)
    throw GraphicsException("Image too large: " + std::to_string(width) + " x " + std::to_string(height) +
                            " pixels (limit " + std::to_string(kMaxPixels) + ")");
  const uint64_t row = bitCount == 24 ? (uint64_t(width) * 3 + 3) & ~uint64_t(3)
                                      : ((uint64_t(width) * bitCount + 7) / 8 + 3) & ~uint64_t(3);
  // Build the new storage first so that a failed allocation leaves the image as it was.
  std::vector<uint8_t> data(size_t(row * height), 0);
  std::vector<ColorEntry> map(bitCount == 24 ? 0 : colorCount);
  imageData_ = std::move(data);
  colorMap_ = std::move(map);
  width_ = width;
  height_ = height;
  bitCount_ = bitCount;
  rowWidth_ = unsigned(row);
}

BitmapImage::ColorEntry& BitmapImage::ColorMap(unsigned index) {
  if (index >= colorMap_.size()) throw std::range_error("Subscript Out of Range");
  return colorMap_[index];
}

const BitmapImage::ColorEntry& BitmapImage::ColorMap(unsigned index) const {
  if (index >= colorMap_.size()) throw std::range_error("Subscript Out of Range");
  return colorMap_[index];
}

BitmapImage::BitmapImage(const BitmapImage& other) { *this = other; }

BitmapImage& BitmapImage::operator=(const BitmapImage& other) {
  if (this == &other) return *this;
  if (other.width_ == 0 || other.height_ == 0 || (other.bitCount_ <= 8 && other.colorMap_.empty())) {
    // Nothing worth copying: the copy is an empty image.
    imageData_.clear();
    colorMap_.clear();
    width_ = height_ = bitCount_ = rowWidth_ = 0;
    return *this;
  }
  if (!SupportedBits(other.bitCount_)) throw GraphicsException("Unsupported Bit Count");
  std::vector<uint8_t> data = other.imageData_;
  std::vector<ColorEntry> map = other.colorMap_;
  imageData_ = std::move(data);
  colorMap_ = std::move(map);
  width_ = other.width_;
  height_ = other.height_;
  bitCount_ = other.bitCount_;
  rowWidth_ = other.rowWidth_;
  return *this;
}
