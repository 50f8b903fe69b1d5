#pragma once
// GIF87a / GIF89a reader: the first image of the file, through its local colour table or the
// global one, interlaced or not.
//
// Output: width x height pixels of red, green, blue bytes, top row first, rows packed; the
// picture is the first image's own rectangle (its offset on the logical screen is not applied).
// A transparent pixel keeps the colour of its palette entry, so a picture written with a
// transparent fill colour comes back with that colour. Indexes past a short colour table read as
// black.
//
// Limits and failures: images past the ImageLimits given (SetLimits), images reaching past
// the logical screen, zero sizes, truncated data and LZW codes past the string table are refused
// before or while decoding, never with a read or write outside a buffer; the decoder keeps an
// error text instead of throwing, and ReadGif turns it into a GraphicsException.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/limits.h"

class DibImage;

class GifDecoder {
 public:

  void SetLimits(const ImageLimits& limits) { limits_ = limits; }
  // true on success; false with Error() set.
  bool DecodeFile(const std::string& path);
  // `name` only appears in the "not a valid .GIF file" text.
  bool Decode(const uint8_t* data, size_t size, const std::string& name = "");

  int Width() const { return width_; }
  int Height() const { return height_; }
  const std::vector<uint8_t>& Rgb() const { return rgb_; }
  // The index the graphic control extension before the image marks transparent, or -1.
  int TransparentIndex() const { return transparentIndex_; }
  bool Interlaced() const { return interlaced_; }

  // "No Error" after a successful decode; otherwise the reason (texts may hold line breaks).
  const std::string& Error() const { return error_; }
  // A remark that did not stop the decode (non-square pixels), or empty.
  const std::string& Notice() const { return notice_; }

 private:
  bool Fail(const std::string& text);

  int width_ = 0, height_ = 0;
  int transparentIndex_ = -1;
  bool interlaced_ = false;
  std::vector<uint8_t> rgb_;
  std::string error_ = "No Error";
  std::string notice_;
  ImageLimits limits_;
};

// Reads the first image of a GIF87a/89a file into a 24-bit picture; 1 on success. Throws
// GraphicsException ("<path>: <reason>") on failure, leaving the image empty.
int ReadGif(const std::string& path, DibImage& image, const ImageLimits& limits = ImageLimits());
