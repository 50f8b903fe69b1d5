#pragma once
// JPEG output (ITU-T T.81, Huffman coding, 8-bit samples).
//
// Input: a 24-bit picture, pixels blue, green, red; width and height 1..65535 and at most
// BitmapImage::kMaxPixels pixels. Rows are given either as one block with the top row first and
// each row padded to a multiple of 4 bytes ((width * 3 + 3) & ~3), or as a table of row pointers
// (entry 0 = the top row). The picture is only read.
//
// Output: SOI, two DQT segments (luminance table 0, chrominance table 1), YCbCr with every
// component sampled 1x1, no restart intervals and no application segment, EOI.
//   - baseline (SOF0): one DHT segment with the four Annex K.3 tables and one interleaved scan;
//   - progressive (SOF2): the ten-scan progression libjpeg uses by default (DC first with
//     successive approximation, luminance AC in two bands, chrominance AC, then refinement
//     scans), each scan preceded by a DHT segment with tables optimised for it.
// Partial blocks at the right and bottom edges are filled by repeating the last column and row.
//
// Failure: throws JpegEncoder::JpegError (a GraphicsException) naming the file and the reason.
// Files are written to a temporary file and renamed into place only when complete, so a failed
// write leaves nothing at the path (and an older file there untouched).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/atomic_file.h"

#include "imaging/graphics_exception.h"

class DibImage;

struct JpegWriteOptions {
  int compression = -1;      // -1: the unscaled tables; otherwise the File Option value
  bool progressive = false;
  OutputPolicy output{};
};

class JpegEncoder {
 public:
  class JpegError : public GraphicsException {
   public:
    using GraphicsException::GraphicsException;
  };

  explicit JpegEncoder(const JpegWriteOptions& options = {}) : options_(options) {}
  virtual ~JpegEncoder() = default;

  // Writes the file; `rows` points to the first byte of the top row. Returns 1.
  int Write(const std::string& path, int width, int height, const uint8_t* rows);
  // The same from a row table (entry 0 = top row). Returns 1.
  int WriteRows(const std::string& path, int width, int height, const uint8_t* const* rows);

  // The file's bytes handed to `sink` in pieces; throws JpegError for a picture it cannot encode.
  void EncodeTo(const std::function<void(const uint8_t*, size_t)>& sink, int width, int height,
                const uint8_t* const* rows) const;
  std::vector<uint8_t> EncodeToMemory(int width, int height, const uint8_t* const* rows) const;

 private:
  JpegWriteOptions options_;
};

// JPEG from a 24-bit picture; 1 on success, throws GraphicsException on failure (another bit
// count, an empty picture, a file that cannot be written). The picture is left unchanged.
int WriteJpeg(const DibImage& image, const std::string& path, const JpegWriteOptions& options = {});
