#pragma once
// The codecs' picture: rows stored bottom row first (as in a DIB), each padded to a multiple of
// 4 bytes; 24-bit pixels are blue, green, red; bit counts 1, 2, 4, 8 index a colour map of
// blue, green, red triplets.
#include <cstdint>
#include <functional>
#include <vector>

#include "imaging/graphics_exception.h"

class BitmapImage {
 public:
  struct ColorEntry {
    uint8_t blue = 0, green = 0, red = 0;
    bool operator==(const ColorEntry&) const = default;
  };

  BitmapImage() = default;
  virtual ~BitmapImage() = default;
  BitmapImage(const BitmapImage& other);
  BitmapImage& operator=(const BitmapImage& other);
  BitmapImage(BitmapImage&&) noexcept = default;
  BitmapImage& operator=(BitmapImage&&) noexcept = default;

  // Allocates zero-filled storage. Throws GraphicsException("Unsupported Bit Count") for a bit
  // count other than 1, 2, 4, 8, 24, and GraphicsException for sizes past the pixel limit.
  void SetSize(unsigned colorCount, unsigned bitCount, unsigned width, unsigned height);

  unsigned Width() const { return width_; }
  unsigned Height() const { return height_; }
  unsigned BitCount() const { return bitCount_; }
  unsigned RowWidth() const { return rowWidth_; }
  unsigned ColorCount() const { return static_cast<unsigned>(colorMap_.size()); }

  // Throws std::range_error("Subscript Out of Range") for index >= ColorCount().
  ColorEntry& ColorMap(unsigned index);
  const ColorEntry& ColorMap(unsigned index) const;

  // Row 0 is the BOTTOM row of the picture, as stored.
  uint8_t* StoredRow(unsigned index) { return imageData_.data() + size_t(index) * rowWidth_; }
  const uint8_t* StoredRow(unsigned index) const { return imageData_.data() + size_t(index) * rowWidth_; }
  // Row 0 is the TOP row of the picture.
  uint8_t* TopDownRow(unsigned y) { return StoredRow(height_ - 1 - y); }
  const uint8_t* TopDownRow(unsigned y) const { return StoredRow(height_ - 1 - y); }

  uint8_t* ImageData() { return imageData_.data(); }
  const uint8_t* ImageData() const { return imageData_.data(); }

  // Largest picture any codec accepts, so that a corrupt header cannot make us allocate gigabytes.
  static constexpr uint64_t kMaxPixels = 64ull * 1024 * 1024;

  // Progress callback (percent done, user word); the program installs none.
  std::function<void(unsigned percent, void* user)> progress;
  void* progressUser = nullptr;

 private:
  unsigned width_ = 0, height_ = 0, bitCount_ = 0, rowWidth_ = 0;
  std::vector<ColorEntry> colorMap_;
  std::vector<uint8_t> imageData_;
};
