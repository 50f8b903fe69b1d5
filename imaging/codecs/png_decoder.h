#pragma once
// PNG input.
//
// PngDecoder reads every standard PNG: grey, grey + alpha, RGB, RGBA and palette pictures at
// all their bit depths (1, 2, 4, 8, 16), interlaced (Adam7) or not, with the image data spread
// over any number of consecutive IDAT chunks. The result is a BitmapImage, rows stored bottom
// row first:
//  - palette and grey pictures of 1 to 8 bits keep their depth and get a colour map (the PLTE
//    entries, padded with black to 2^depth entries so that any index has a colour; grey
//    pictures the grey ramp of their depth);
//  - everything else becomes 24-bit blue, green, red; 16-bit samples keep their high byte.
// Transparency (an alpha channel, or a tRNS chunk) is composited over the background: the
// file's bKGD colour when it has one, otherwise SetBackground's colour (white by default), so
// that the picture looks as it would on a page. Chunk CRCs, the chunk order rules and the
// zlib stream's Adler-32 are checked; pictures past the ImageLimits given are refused before
// anything is allocated, and the decompressed data may never exceed what the header implies.
// Failures throw PngError (file and chunk rules) or BadPngStream (the image data).
#include <cstdint>
#include <string>

#include "imaging/bitmap_image.h"
#include "imaging/graphics_exception.h"
#include "imaging/limits.h"

class DibImage;

class PngDecoder {
 public:
  class PngError : public GraphicsException {
   public:
    explicit PngError(const std::string& message) : GraphicsException(message) {}
  };
  class BadPngStream : public PngError {
   public:
    explicit BadPngStream(const std::string& message) : PngError(message) {}
  };

  struct Header {
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
  };

  PngDecoder() = default;
  explicit PngDecoder(const ImageLimits& limits) : limits_(limits) {}

  // Background for transparent pixels when the file names none; a COLORREF-free triple.
  void SetBackground(uint8_t red, uint8_t green, uint8_t blue) { background_ = {red, green, blue}; }

  // "Can't open input file" when the file cannot be read.
  void ReadImage(const std::string& path, BitmapImage& image);
  void Decode(const uint8_t* data, size_t size, BitmapImage& image);
  // The header of the last decoded file.
  const Header& LastHeader() const { return header_; }

 private:
  struct Rgb {
    uint8_t red = 255, green = 255, blue = 255;
  };
  Rgb background_;
  Header header_;
  ImageLimits limits_;
};

// Reads any PNG into a 24-bit picture. 1 on success; throws GraphicsException with the reason
// (the picture is left as it was then).
int ReadPng(const std::string& path, DibImage& image, const ImageLimits& limits = ImageLimits());
