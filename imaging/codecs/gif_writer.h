#pragma once
// GIF89a writer.
//
// Input: width x height palette indexes, one byte each, top row first, rows packed (no padding);
// a colour table of 2^bitsPerPixel entries given as three arrays (red, green, blue). Every index
// must lie inside that table. bitsPerPixel 1..8 (the program uses 4 and 8); width and height
// 1..65535 (the format's 16-bit fields).
//
// Output: "GIF89a", a logical screen with a global colour table, an always-present graphic
// control extension (transparency flag and index), one non-interlaced image compressed with
// variable-length LZW (codes up to 12 bits, a clear code first and whenever the table fills),
// sub-blocks of up to 254 bytes, trailer.
//
// Failure: the file is written through a temporary file and renamed into place only when
// complete, so a failed write leaves nothing at the path (and an older file there untouched).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/atomic_file.h"

#include "imaging/graphics_exception.h"

class DibImage;

class GifEncoder {
 public:
  class GifError : public GraphicsException {
   public:
    using GraphicsException::GraphicsException;
  };

  // 1 on success. 0 on failure with the reason in Message(): "Can't open GIF for writing" when
  // the file cannot be created; other texts for a write error or arguments that cannot be
  // encoded (sizes, bit depth, an index past the colour table).
  int Encode(const uint8_t* pixels, const std::string& path, int width, int height, int backgroundIndex,
             int transparentIndex, int bitsPerPixel, const uint8_t* red, const uint8_t* green,
             const uint8_t* blue, const OutputPolicy& output = {});

  // The same bytes handed to `sink` in pieces; throws GifError for arguments it cannot encode.
  // transparentIndex < 0 means none.
  static void EncodeTo(const std::function<void(const uint8_t*, size_t)>& sink, const uint8_t* pixels,
                       int width, int height, int backgroundIndex, int transparentIndex, int bitsPerPixel,
                       const uint8_t* red, const uint8_t* green, const uint8_t* blue);
  static std::vector<uint8_t> EncodeToMemory(const uint8_t* pixels, int width, int height, int backgroundIndex,
                                             int transparentIndex, int bitsPerPixel, const uint8_t* red,
                                             const uint8_t* green, const uint8_t* blue);

  const std::string& Message() const { return message_; }
  // The system's reason behind "Can't open GIF for writing" (for example "Permission denied").
  const std::string& Detail() const { return detail_; }

 private:
  std::string message_;
  std::string detail_;
};

// GIF89a from an 8-bit (or 1- or 4-bit) picture with its palette. bitsPerPixel 4 or 8 (1..8
// accepted); transparentIndex 0..255, or -1 for none. 1 when written, 0 when the picture cannot be
// handled (empty, 24-bit, no palette); throws GraphicsException naming the file when it cannot be
// written or the picture holds an index the chosen depth cannot express.
int SaveGif(const DibImage& image, const std::string& path, int backgroundIndex, int transparentIndex,
            int bitsPerPixel, const OutputPolicy& output = {});

// The depth our converter writes a palette picture at: 4 bits when every used index and the
// transparent index lie below 16 (as the 16-colour render gives), else 8.
int GifBitsPerPixelFor(const DibImage& image, int transparentIndex);
