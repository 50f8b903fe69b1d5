#pragma once
// JPEG input (ITU-T T.81, Huffman coding, 8-bit samples).
//
// Accepts baseline (SOF0), extended sequential (SOF1) and progressive (SOF2) frames with one
// (greyscale) or three (YCbCr, or RGB when an Adobe segment or the component ids say so)
// components, sampling factors 1..4 in integral ratios, restart intervals, and any number of
// APPn/COM segments (skipped; EXIF data is ignored). Chroma sampled at half width and/or height
// is upsampled with the triangle filter libjpeg uses by default; other ratios by replication.
// Colour conversion follows libjpeg's fixed-point YCbCr -> RGB.
//
// Output: width x height pixels, blue, green, red, top row first.
//
// Limits and failures: within Limits' width, height, pixels and memory (checked before anything
// is allocated) and Limits::maxScans scans. Damaged input (not a JPEG, a marker out of place, missing or bad
// tables, a bad Huffman code, a truncated scan or file, impossible dimensions or sampling
// factors, an unsupported process such as arithmetic coding, 12-bit or lossless) throws
// JpegDecoder::JpegError (a GraphicsException) with the reason; nothing partial is returned.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/bitmap_image.h"
#include "imaging/graphics_exception.h"
#include "imaging/limits.h"

class DibImage;

class JpegDecoder {
 public:
  class JpegError : public GraphicsException {
   public:
    using GraphicsException::GraphicsException;
  };

  // The picture limits every reader takes, and the number of scans (real progressive files
  // use about ten).
  struct Limits : ImageLimits {
    int maxScans = 100;
  };

  JpegDecoder();
  explicit JpegDecoder(const Limits& limits);
  virtual ~JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  // Decodes a whole file held in memory; throws JpegError.
  void Decode(const uint8_t* data, size_t size);

  int Width() const;
  int Height() const;
  int Components() const;
  bool Progressive() const;

  // After Decode: writes the picture as blue, green, red into rows[0..Height()-1] (entry 0 = the
  // top row), Width() * 3 bytes each.
  void WritePixels(uint8_t* const* rows) const;
  // The same, packed: Width() * 3 bytes per row, top row first.
  std::vector<uint8_t> Pixels() const;

  struct State;  // the decoding state; defined with the decoder

 private:
  Limits limits_;
  std::unique_ptr<State> state_;
};

// Reads a baseline or progressive JPEG into a 24-bit picture; 1 on success. Throws
// JpegDecoder::JpegError naming the file and the reason; `image` is left as it was then.
int ReadJpeg(const std::string& path, DibImage& image, const ImageLimits& limits = ImageLimits());
