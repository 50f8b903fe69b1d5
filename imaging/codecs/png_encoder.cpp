#include "imaging/codecs/png_encoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/atomic_file.h"
#include "imaging/codecs/color_quantizer.h"
#include "imaging/codecs/png_output_stream.h"
#include "imaging/transparency.h"
#include "imaging/dib_image.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr const char* kTextKeywords[PngEncoder::kTextCount] = {
    "Title", "Author", "Description", "Copyright", "Software", "Disclaimer", "Warning", "Source", "Comment"};

// True when map entry i is the grey that a PNG decoder gives sample value i at this depth,
// so that writing the indexes as grey samples shows the same picture.
bool IsGreyRamp(const BitmapImage& image) {
  const unsigned depth = image.BitCount();
  const unsigned top = (1u << depth) - 1;
  for (unsigned i = 0; i < image.ColorCount(); ++i) {
    const auto& c = image.ColorMap(i);
    const unsigned grey = i * 255 / top;
    if (c.red != grey || c.green != grey || c.blue != grey) return false;
  }
  return true;
}

inline uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return uint8_t(a);
  return pb <= pc ? uint8_t(b) : uint8_t(c);
}

// Filter type k of a row; returns the sum of the output bytes taken as signed values.
uint64_t ApplyFilter(int type, const uint8_t* row, const uint8_t* prior, size_t length, size_t bpp, uint8_t* out) {
  uint64_t sum = 0;
  for (size_t i = 0; i < length; ++i) {
    const int a = i >= bpp ? row[i - bpp] : 0;
    const int b = prior[i];
    const int c = i >= bpp ? prior[i - bpp] : 0;
    int predicted = 0;
    switch (type) {
      case 1: predicted = a; break;
      case 2: predicted = b; break;
      case 3: predicted = (a + b) >> 1; break;
      case 4: predicted = Paeth(a, b, c); break;
      default: break;
    }
    const uint8_t v = uint8_t(row[i] - predicted);
    out[i] = v;
    sum += v < 128 ? v : 256 - v;
  }
  return sum;
}

// The colour table of a picture with 8 or fewer bits per pixel, as blue-green-red entries.
std::vector<BitmapImage::ColorEntry> DibColorTable(const DibImage& image) {
  std::vector<BitmapImage::ColorEntry> table(size_t(std::max(0, image.ColorCount())));
  const int entrySize = image.HeaderSize() == 12 ? 3 : 4;
  const uint8_t* p = image.Packed().data() + image.HeaderSize();
  const uint8_t* end = image.Packed().data() + image.Packed().size();
  for (size_t i = 0; i < table.size() && p + 3 <= end; ++i, p += entrySize) table[i] = {p[0], p[1], p[2]};
  return table;
}

unsigned DibIndex(const uint8_t* row, int x, int bits) {
  if (bits == 8) return row[x];
  const int perByte = 8 / bits;
  const int shift = 8 - bits * (x % perByte + 1);
  return (row[x / perByte] >> shift) & ((1u << bits) - 1);
}

void RequirePicture(const DibImage& image, const std::string& path) {
  if (image.Empty() || image.Width() <= 0 || image.Height() <= 0)
    throw PngEncoder::PngError(path + ": there is no picture to write");
}

// A 24-bit copy of any picture we hold: 24 and 32-bit rows as they are, 1, 4 and 8-bit rows
// through the colour table (so an 8-bit picture is never read as three bytes per pixel).
BitmapImage TrueColorCopy(const DibImage& image, const std::string& path) {
  RequirePicture(image, path);
  const int w = image.Width(), h = image.Height(), bits = image.BitCount();
  DibRowTable rows(image);
  if (rows.Height() != h) throw PngEncoder::PngError(path + ": the picture's pixel data is incomplete");
  BitmapImage out;
  out.SetSize(0, 24, unsigned(w), unsigned(h));
  const auto table = bits <= 8 ? DibColorTable(image) : std::vector<BitmapImage::ColorEntry>{};
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = rows[y];
    uint8_t* dst = out.TopDownRow(unsigned(y));
    if (bits == 24) {
      std::memcpy(dst, src, size_t(w) * 3);
    } else if (bits == 32) {
      for (int x = 0; x < w; ++x) std::memcpy(dst + 3 * x, src + 4 * x, 3);
    } else if (bits == 1 || bits == 2 || bits == 4 || bits == 8) {
      for (int x = 0; x < w; ++x) {
        const unsigned idx = DibIndex(src, x, bits);
        const BitmapImage::ColorEntry c = idx < table.size() ? table[idx] : BitmapImage::ColorEntry{};
        dst[3 * x] = c.blue;
        dst[3 * x + 1] = c.green;
        dst[3 * x + 2] = c.red;
      }
    } else {
      throw PngEncoder::PngError(path + ": pictures of " + std::to_string(bits) + " bits per pixel cannot be written");
    }
  }
  return out;
}

// An 8-bit copy of a picture with a colour table, keeping its own palette.
BitmapImage IndexedCopy(const DibImage& image, const std::string& path) {
  const int w = image.Width(), h = image.Height(), bits = image.BitCount();
  DibRowTable rows(image);
  if (rows.Height() != h) throw PngEncoder::PngError(path + ": the picture's pixel data is incomplete");
  auto table = DibColorTable(image);
  unsigned maxIndex = 0;
  std::vector<uint8_t> indexes(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const unsigned idx = DibIndex(rows[y], x, bits);
      indexes[size_t(y) * size_t(w) + size_t(x)] = uint8_t(idx);
      maxIndex = std::max(maxIndex, idx);
    }
  }
  // Indexes past a short table would make an invalid PLTE reference; they show black, as
  // the picture store draws them.
  if (table.size() <= maxIndex) table.resize(maxIndex + 1);
  BitmapImage out;
  out.SetSize(unsigned(table.size()), 8, unsigned(w), unsigned(h));
  for (unsigned i = 0; i < table.size(); ++i) out.ColorMap(i) = table[i];
  for (int y = 0; y < h; ++y) std::memcpy(out.TopDownRow(unsigned(y)), &indexes[size_t(y) * size_t(w)], size_t(w));
  return out;
}

void WriteWith(const BitmapImage& image, const std::string& path, const PngWriteOptions& options,
               std::vector<uint8_t> alpha = {}, std::vector<uint8_t> paletteAlpha = {}) {
  PngEncoder encoder;
  encoder.SetAlpha(std::move(alpha));
  encoder.SetPaletteAlpha(std::move(paletteAlpha));
  encoder.SetCompressionLevel(3);
  if (options.smallest) {
    encoder.SetFilterMask(PngEncoder::kAllFilters);
    encoder.SetSmallestOutput(true);
  }
  encoder.WriteImage(path, image);
}

}  // namespace

PngEncoder::PngEncoder() { texts_[Software] = "Quorbel"; }

void PngEncoder::WriteImage(const std::string& path, const BitmapImage& image) {
  std::unique_ptr<AtomicFileWriter> file;
  try {
    file = std::make_unique<AtomicFileWriter>(path);
  } catch (const GraphicsException& e) {
    throw PngError(e.what());
  }
  FileSink sink(*file);
  Encode(image, sink);
  file->Commit();
}

void PngEncoder::Encode(const BitmapImage& image, ByteSink& out) {
  try {
    EncodeChunks(image, out);
  } catch (...) {
    deflate_.Abandon();
    throw;
  }
}

void PngEncoder::EncodeChunks(const BitmapImage& image, ByteSink& out) {
  const unsigned bits = image.BitCount();
  const unsigned w = image.Width(), h = image.Height();
  if (w == 0 || h == 0) throw PngError("Image has no pixels");
  if (w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) throw PngError("Image too large");
  if (bits != 24 && bits != 8 && bits != 4 && bits != 2 && bits != 1) throw PngError("Unsupported Bit Count");
  const bool trueColor = bits == 24;
  const bool withAlpha = trueColor && !alpha_.empty();
  if (withAlpha && alpha_.size() != size_t(w) * h) throw PngError("Alpha plane does not match the picture");
  const bool grey = !trueColor && paletteAlpha_.empty() && IsGreyRamp(image);
  if (!trueColor && !grey && image.ColorCount() > (1u << bits)) throw PngError("Too many colours for the bit depth");

  PngOutputStream png(out);
  png.WriteRaw(kSignature, sizeof kSignature);

  png.StartChunk("IHDR");
  png.WriteBigEndian32(w);
  png.WriteBigEndian32(h);
  png.WriteByte(uint8_t(trueColor ? 8 : bits));
  png.WriteByte(withAlpha ? 6 : trueColor ? 2 : grey ? 0 : 3);
  png.WriteByte(0);  // deflate
  png.WriteByte(0);  // adaptive filtering
  png.WriteByte(0);  // not interlaced
  png.EndChunk();

  for (int k = 0; k < kTextCount; ++k) {
    const std::string& text = texts_[size_t(k)];
    if (text.empty()) continue;
    const std::string keyword = kTextKeywords[k];
    if (keyword.size() > 79) throw PngError("tEXt Keyword Too Long");
    if (keyword.size() + 1 + text.size() > PngOutputStream::kChunkBuffer) throw PngError("tEXt Value Too Long");
    png.StartChunk("tEXt");
    png.Write(reinterpret_cast<const uint8_t*>(keyword.data()), keyword.size());
    png.WriteByte(0);
    png.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    png.EndChunk();
  }

  if (!trueColor && !grey) {
    png.StartChunk("PLTE");
    for (unsigned i = 0; i < image.ColorCount(); ++i) {
      const auto& c = image.ColorMap(i);
      const uint8_t rgb[3] = {c.red, c.green, c.blue};
      png.Write(rgb, 3);
    }
    png.EndChunk();
    size_t alphas = std::min<size_t>(paletteAlpha_.size(), image.ColorCount());
    while (alphas > 0 && paletteAlpha_[alphas - 1] == 255) --alphas;
    if (alphas > 0) {
      png.StartChunk("tRNS");
      png.Write(paletteAlpha_.data(), alphas);
      png.EndChunk();
    }
  }

  png.StartChunk("IDAT");
  if (!smallest_) {
    CompressRows(image, trueColor ? filterMask_ : kFilterNone, false, 3, png);
  } else {
    // The filter heuristic and lazy matching usually win, but not on every picture: try the
    // plain encoding too and keep whichever is smaller. Only this opt-in mode holds the
    // compressed data in memory.
    struct Trial {
      unsigned mask;
      bool lazy;
      int minMatch;
    };
    std::vector<Trial> trials = {{kFilterNone, false, 3}, {kFilterNone, true, 3}};
    // Filtered rows are noise-like at the byte level; short matches there rarely pay.
    if (trueColor && filterMask_ != kFilterNone) trials.push_back({filterMask_, true, 5});
    std::vector<uint8_t> best;
    for (const Trial& t : trials) {
      VectorSink candidate;
      CompressRows(image, t.mask, t.lazy, t.minMatch, candidate);
      if (best.empty() || candidate.bytes.size() < best.size()) best = std::move(candidate.bytes);
    }
    png.Write(best.data(), best.size());
  }
  png.EndChunk();

  png.StartChunk("IEND");
  png.EndChunk();
}

void PngEncoder::CompressRows(const BitmapImage& image, unsigned mask, bool lazy, int minMatch, ByteSink& out) {
  const unsigned bits = image.BitCount(), w = image.Width(), h = image.Height();
  const bool trueColor = bits == 24;
  deflate_.SetSmallestOutput(lazy);
  deflate_.SetMinimumMatch(minMatch);
  deflate_.StartCompression(out);
  const bool withAlpha = trueColor && !alpha_.empty();
  const size_t bpp = withAlpha ? 4 : trueColor ? 3 : 1;
  const size_t rowLength = trueColor ? size_t(w) * bpp : (size_t(bits) * w + 7) / 8;
  std::vector<uint8_t> raw(rowLength), prior(rowLength, 0), best(rowLength + 1), trial(rowLength + 1);
  unsigned filters = 0;
  for (int k = 0; k < 5; ++k) filters += (mask >> k) & 1;
  for (unsigned y = 0; y < h; ++y) {
    const uint8_t* stored = image.TopDownRow(y);
    if (!trueColor) {
      // Colour-mapped rows go out unfiltered.
      const uint8_t none = 0;
      deflate_.CompressData(out, &none, 1);
      deflate_.CompressData(out, stored, rowLength);
    } else {
      const uint8_t* alpha = withAlpha ? alpha_.data() + size_t(y) * w : nullptr;
      for (unsigned x = 0; x < w; ++x) {
        uint8_t* r = raw.data() + bpp * x;
        r[0] = stored[3 * x + 2];
        r[1] = stored[3 * x + 1];
        r[2] = stored[3 * x];
        if (alpha) r[3] = alpha[x];
      }
      uint64_t bestSum = UINT64_MAX;
      for (int type = 0; type < 5; ++type) {
        if (!((mask >> type) & 1)) continue;
        uint8_t* target = filters == 1 || bestSum == UINT64_MAX ? best.data() : trial.data();
        const uint64_t sum = ApplyFilter(type, raw.data(), prior.data(), rowLength, bpp, target + 1);
        target[0] = uint8_t(type);
        if (target == trial.data()) {
          if (sum < bestSum) {
            std::swap(best, trial);
            bestSum = sum;
          }
        } else {
          bestSum = sum;
        }
      }
      deflate_.CompressData(out, best.data(), rowLength + 1);
      std::swap(raw, prior);
    }
    if (image.progress) image.progress(unsigned(uint64_t(y + 1) * 100 / h), image.progressUser);
  }
  deflate_.FinishCompression(out);
}

int WritePngTrueColor(const DibImage& image, const std::string& path, const PngWriteOptions& options) {
  WriteWith(TrueColorCopy(image, path), path, options);
  return 1;
}

int WritePng256(const DibImage& image, const std::string& path, const PngWriteOptions& options) {
  RequirePicture(image, path);
  if (image.BitCount() <= 8) {
    WriteWith(IndexedCopy(image, path), path, options);
  } else {
    BitmapImage quantized;
    ColorQuantizer().Quantize(TrueColorCopy(image, path), quantized);
    WriteWith(quantized, path, options);
  }
  return 1;
}

namespace {

void SplitRgba(const RgbaPicture& picture, const std::string& path, BitmapImage& colour, std::vector<uint8_t>& alpha) {
  if (picture.Empty() || picture.width <= 0 || picture.height <= 0)
    throw PngEncoder::PngError(path + ": there is no picture to write");
  const unsigned w = unsigned(picture.width), h = unsigned(picture.height);
  colour.SetSize(0, 24, w, h);
  alpha.resize(size_t(w) * h);
  for (unsigned y = 0; y < h; ++y) {
    const uint8_t* s = picture.pixels.data() + size_t(y) * w * 4;
    uint8_t* d = colour.TopDownRow(y);
    for (unsigned x = 0; x < w; ++x, s += 4, d += 3) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      alpha[size_t(y) * w + x] = s[3];
    }
  }
}

}  // namespace

int WritePngRgba(const RgbaPicture& picture, const std::string& path, const PngWriteOptions& options) {
  BitmapImage colour;
  std::vector<uint8_t> alpha;
  SplitRgba(picture, path, colour, alpha);
  WriteWith(colour, path, options, std::move(alpha));
  return 1;
}

std::vector<uint8_t> EncodePngRgba(const RgbaPicture& picture, const PngWriteOptions& options) {
  BitmapImage colour;
  std::vector<uint8_t> alpha;
  SplitRgba(picture, "", colour, alpha);
  PngEncoder encoder;
  encoder.SetCompressionLevel(3);
  if (options.smallest) {
    encoder.SetFilterMask(PngEncoder::kAllFilters);
    encoder.SetSmallestOutput(true);
  }
  encoder.SetAlpha(std::move(alpha));
  VectorSink sink;
  encoder.Encode(colour, sink);
  return std::move(sink.bytes);
}

int WritePng256Rgba(const RgbaPicture& picture, const std::string& path, const PngWriteOptions& options) {
  if (picture.Empty() || picture.width <= 0 || picture.height <= 0)
    throw PngEncoder::PngError(path + ": there is no picture to write");
  std::vector<uint8_t> palette, indexes;
  QuantizeRgba(picture, palette, indexes);
  const unsigned w = unsigned(picture.width), h = unsigned(picture.height);
  const unsigned entries = unsigned(std::max<size_t>(1, palette.size() / 4));
  BitmapImage indexed;
  indexed.SetSize(entries, 8, w, h);
  std::vector<uint8_t> alpha(entries, 255);
  for (unsigned i = 0; i < palette.size() / 4; ++i) {
    indexed.ColorMap(i) = {palette[i * 4 + 2], palette[i * 4 + 1], palette[i * 4]};
    alpha[i] = palette[i * 4 + 3];
  }
  for (unsigned y = 0; y < h; ++y) std::memcpy(indexed.TopDownRow(y), indexes.data() + size_t(y) * w, w);
  WriteWith(indexed, path, options, {}, std::move(alpha));
  return 1;
}
