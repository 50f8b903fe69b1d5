#pragma once
// PNG output.
//
// PngEncoder writes a BitmapImage (24-bit, or 1/2/4/8-bit with a colour map) as a
// non-interlaced PNG: signature, IHDR, tEXt for each non-empty text, PLTE for palette pictures,
// the zlib data in IDAT chunks of at most 65,536 bytes, IEND. 24-bit pictures become colour type
// 2 (depth 8). A colour-mapped picture becomes colour type 0 (grey, no PLTE) when its map is
// exactly the grey ramp of its depth (or it has no map), and colour type 3 otherwise.
// Rows are taken top row first (the last stored row of the BitmapImage). By default every row
// is written with filter None; SetFilterMask enables the other filters, chosen per row by the
// smallest sum of absolute values (used with SetSmallestOutput). Files are written through AtomicFileWriter: a failure leaves
// nothing at the path. Failures throw PngError (or DeflateError for a bad level).
#include <array>
#include <string>
#include <vector>

#include "imaging/bitmap_image.h"
#include "imaging/codecs/deflate_encoder.h"
#include "imaging/graphics_exception.h"

class DibImage;

struct PngWriteOptions {
  bool smallest = false;  // adaptive per-row filters and lazy matching
};

// True-colour PNG from a picture (an 8-bit picture is expanded through its colour table);
// 1 on success, throws GraphicsException on failure.
int WritePngTrueColor(const DibImage& image, const std::string& path, const PngWriteOptions& options = {});
// 256-colour PNG: an 8-bit picture is written with its own palette, a 24-bit one is quantized.
int WritePng256(const DibImage& image, const std::string& path, const PngWriteOptions& options = {});
struct RgbaPicture;
// Colour type 6 (straight alpha, depth 8); 1 on success, throws GraphicsException on failure.
int WritePngRgba(const RgbaPicture& picture, const std::string& path, const PngWriteOptions& options = {});
// The same file's bytes, in memory.
std::vector<uint8_t> EncodePngRgba(const RgbaPicture& picture, const PngWriteOptions& options = {});
// Colour type 3 with the palette's alpha in a tRNS chunk (QuantizeRgba's palette).
int WritePng256Rgba(const RgbaPicture& picture, const std::string& path, const PngWriteOptions& options = {});

// The codecs' common encoder interface.
class BitmapImageEncoder {
 public:
  virtual ~BitmapImageEncoder() = default;
  virtual void WriteImage(const std::string& path, const BitmapImage& image) = 0;
};

class PngEncoder : public BitmapImageEncoder {
 public:
  class PngError : public GraphicsException {
   public:
    explicit PngError(const std::string& message) : GraphicsException(message) {}
  };

  enum TextKind { Title, Author, Description, Copyright, Software, Disclaimer, Warning, Source, Comment };
  static constexpr int kTextCount = 9;
  static constexpr unsigned kFilterNone = 1, kAllFilters = 0x1F;

  PngEncoder();

  // 0 to 3 (default 2 in the deflate encoder; the program's writers use 3).
  void SetCompressionLevel(int level) { deflate_.SetCompressionLevel(level); }
  // Bit k enables PNG filter type k (0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth); 0 means None.
  // Filters apply to true-colour rows; colour-mapped rows are always written unfiltered.
  void SetFilterMask(unsigned mask) { filterMask_ = (mask & kAllFilters) ? (mask & kAllFilters) : kFilterNone; }
  // Tries the enabled filters with lazy matching (no matches under 5 bytes in filtered rows)
  // against plain unfiltered encodings and keeps the smallest; the compressed data is then held
  // in memory. Off by default: rows are streamed straight to the file.
  void SetSmallestOutput(bool on) { smallest_ = on; }
  void SetText(TextKind kind, const std::string& value) { texts_[size_t(kind)] = value; }
  // A true-colour picture with this alpha plane (width * height bytes, top row first) is written
  // as colour type 6; empty: no alpha.
  void SetAlpha(std::vector<uint8_t> alpha) { alpha_ = std::move(alpha); }
  // Alpha of the first palette entries, written as a tRNS chunk (trailing 255s dropped).
  void SetPaletteAlpha(std::vector<uint8_t> alpha) { paletteAlpha_ = std::move(alpha); }
  const std::string& Text(TextKind kind) const { return texts_[size_t(kind)]; }

  // "Can't open output file" when the file cannot be created.
  void WriteImage(const std::string& path, const BitmapImage& image) override;
  // The whole PNG file into a sink.
  void Encode(const BitmapImage& image, ByteSink& out);

 private:
  void EncodeChunks(const BitmapImage& image, ByteSink& out);
  void CompressRows(const BitmapImage& image, unsigned mask, bool lazy, int minMatch, ByteSink& out);

  std::array<std::string, kTextCount> texts_;
  unsigned filterMask_ = kFilterNone;
  bool smallest_ = false;
  std::vector<uint8_t> alpha_;
  std::vector<uint8_t> paletteAlpha_;
  DeflateEncoder deflate_;
};
