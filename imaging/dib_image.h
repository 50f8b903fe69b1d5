#pragma once
// A finished picture as a packed device-independent bitmap: a 40-byte (or, when loaded from an
// old BMP, 12-byte) header, for 8-bit pictures a 256-entry colour table, then the pixel rows,
// bottom row first, each padded to a multiple of 4 bytes. This block is byte for byte what a BMP
// file holds after its 14-byte file header.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// 256 colours as blue, green, red triplets (768 bytes).
using BgrPalette = std::array<uint8_t, 768>;

// How the export writes files other than BMP; filled by the save rules from the document.
struct ExportOptions {
  int32_t backdropKind = 0;        // the current style's: 1 = transparent (GIF converter gets -t0)
  std::string converterFolder;     // folder holding bmp2gif; empty = the program folder's
  int jpegCompression = -1;        // -1: the unscaled tables; otherwise the File Option value
  bool jpegProgressive = false;
  bool pngSmall = false;           // adaptive filters and lazy matching
  int webpQuality = -1;            // -1: lossless WebP; 0..100 lossy
  int gifBitsPerPixel = 0;         // 4 or 8, given to the converter as -bN; 0 lets it choose
  // Starts the GIF converter (argv[0] is the program's path) and waits for it: true when it ran
  // and exited with status 0, else false with the reason in *error. Supplied by the caller, since
  // starting processes belongs to the platform layer.
  std::function<bool(const std::vector<std::string>& argv, std::string* error)> runProcess;
};

class DibImage {
 public:
  DibImage() = default;

  // 1 on success, 0 when memory cannot be had. bitCount 24 or 8; for 8-bit the colour table is
  // taken from paletteBgr (grey ramp when null). The caller frees previous content first.
  int Create(int32_t width, int32_t height, int bitCount, const uint8_t* paletteBgr = nullptr);
  void Free();
  bool Empty() const { return dib_.empty(); }
  // Header bit count, or -1 when empty.
  int BitCount() const;
  // Re-reads width and height from the header; with rebuildPalette re-reads the colour table.
  int Refresh(bool rebuildPalette);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Bytes per stored row: ((bitCount * width + 31) / 32) * 4.
  int32_t Stride() const;
  int HeaderSize() const;        // 40 or 12; 0 when empty
  int ColorCount() const;        // entries of the colour table (0 for 24-bit)
  bool HasPalette() const { return !palette_.empty(); }
  // The logical palette (red, green, blue order as in a LOGPALETTE entry) built by Refresh.
  struct PaletteEntry { uint8_t red, green, blue; };
  const std::vector<PaletteEntry>& Palette() const { return palette_; }

  // The whole packed DIB (header, colour table, bits).
  const std::vector<uint8_t>& Packed() const { return dib_; }
  std::vector<uint8_t>& Packed() { return dib_; }
  uint8_t* Bits();               // first byte of the pixel rows (the bottom row)
  const uint8_t* Bits() const;
  // Takes a packed DIB (for example the bytes of a BMP file after its file header); validates it.
  // Returns 0 and leaves the image empty when the block is not a picture we can hold.
  int Adopt(std::vector<uint8_t> packed, std::string* error = nullptr);

  // Fills the image from a file chosen by the name's extension (.BMP, .GIF, .JPG, .GIT, .PNG, .WEBP).
  // 1 on success, 0 on failure with the reason in *error.
  int Load(const std::string& path, std::string* error = nullptr);
  // Writes the picture by the name's extension. 1 on success, 0 for an unknown extension;
  // a writer failure throws GraphicsException. Files are written whole or not at all.
  int SaveAs(const std::string& path, int transparentIndex, int bitCount,
             const ExportOptions& options = {});

 private:
  std::vector<uint8_t> dib_;
  int32_t width_ = 0, height_ = 0;
  std::vector<PaletteEntry> palette_;
};

// Row access with entry 0 the TOP row of the picture.
class DibRowTable {
 public:
  explicit DibRowTable(DibImage& image);
  explicit DibRowTable(const DibImage& image);
  uint8_t* operator[](int row) const { return rows_[static_cast<size_t>(row)]; }
  int Height() const { return static_cast<int>(rows_.size()); }
  int Stride() const { return stride_; }
  uint8_t* const* Rows() const { return rows_.data(); }

 private:
  std::vector<uint8_t*> rows_;
  int stride_ = 0;
};

// The BMP writer: 1 on success, 0 when the image is empty. Throws GraphicsException when the
// file cannot be written; nothing is left at path then.
int WriteBmp(const DibImage& image, const std::string& path);
// The BMP reader: 1 on success, 0 with the reason in *error.
int ReadBmp(const std::string& path, DibImage& image, std::string* error = nullptr);

// The BMP reader on a file already in memory (the whole file, file header included).
int ReadBmpMemory(const uint8_t* data, size_t size, DibImage& image, std::string* error = nullptr);
// The bytes WriteBmp writes; empty for an empty picture.
std::vector<uint8_t> EncodeBmp(const DibImage& image);
