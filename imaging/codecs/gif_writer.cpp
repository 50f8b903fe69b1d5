#include "imaging/codecs/gif_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "imaging/atomic_file.h"
#include "imaging/codecs/lzw_encoder.h"
#include "imaging/dib_image.h"

namespace {

constexpr int kMaxSide = 0xFFFF;

// Collects small writes so that the sink sees a few large pieces.
class ByteCollector {
 public:
  explicit ByteCollector(const std::function<void(const uint8_t*, size_t)>& sink) : sink_(sink) {
    buffer_.reserve(kChunk);
  }
  void Put(uint8_t b) {
    buffer_.push_back(b);
    if (buffer_.size() >= kChunk) Flush();
  }
  void Put16(int v) {
    Put(static_cast<uint8_t>(v & 0xFF));
    Put(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  void Put(const uint8_t* data, size_t size) {
    buffer_.insert(buffer_.end(), data, data + size);
    if (buffer_.size() >= kChunk) Flush();
  }
  void Flush() {
    if (!buffer_.empty()) sink_(buffer_.data(), buffer_.size());
    buffer_.clear();
  }

 private:
  static constexpr size_t kChunk = 64 * 1024;
  const std::function<void(const uint8_t*, size_t)>& sink_;
  std::vector<uint8_t> buffer_;
};

void CheckArguments(const uint8_t* pixels, int width, int height, int backgroundIndex, int transparentIndex,
                    int bitsPerPixel, const uint8_t* red, const uint8_t* green, const uint8_t* blue) {
  if (bitsPerPixel < 1 || bitsPerPixel > 8)
    throw GifEncoder::GifError("GIF bits per pixel must be 1 to 8, not " + std::to_string(bitsPerPixel));
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
    throw GifEncoder::GifError("GIF picture size " + std::to_string(width) + " x " + std::to_string(height) +
                               " is outside 1..65535");
  if (!pixels || !red || !green || !blue) throw GifEncoder::GifError("GIF writer given no pixels or colours");
  if (backgroundIndex < 0 || backgroundIndex > 255)
    throw GifEncoder::GifError("GIF background index " + std::to_string(backgroundIndex) + " is outside 0..255");
  if (transparentIndex > 255)
    throw GifEncoder::GifError("GIF transparent index " + std::to_string(transparentIndex) +
                               " is outside 0..255");
}

}  // namespace

void GifEncoder::EncodeTo(const std::function<void(const uint8_t*, size_t)>& sink, const uint8_t* pixels,
                          int width, int height, int backgroundIndex, int transparentIndex, int bitsPerPixel,
                          const uint8_t* red, const uint8_t* green, const uint8_t* blue) {
  CheckArguments(pixels, width, height, backgroundIndex, transparentIndex, bitsPerPixel, red, green, blue);
  ByteCollector out(sink);
  const int colours = 1 << bitsPerPixel;

  static const uint8_t kSignature[] = {'G', 'I', 'F', '8', '9', 'a'};
  out.Put(kSignature, sizeof kSignature);

  // Logical screen: global table present, colour resolution and table size from the depth.
  out.Put16(width);
  out.Put16(height);
  out.Put(static_cast<uint8_t>(0x80 | ((bitsPerPixel - 1) << 4) | (bitsPerPixel - 1)));
  out.Put(static_cast<uint8_t>(backgroundIndex));
  out.Put(0);

  for (int i = 0; i < colours; ++i) {
    out.Put(red[i]);
    out.Put(green[i]);
    out.Put(blue[i]);
  }

  // Graphic control extension, written even without transparency.
  const bool transparent = transparentIndex >= 0;
  static const uint8_t kControlIntro[] = {0x21, 0xF9, 0x04};
  out.Put(kControlIntro, sizeof kControlIntro);
  out.Put(transparent ? 1 : 0);
  out.Put16(0);
  out.Put(static_cast<uint8_t>(transparent ? transparentIndex : 0xFF));
  out.Put(0);

  // Image descriptor: whole screen, no local table, not interlaced.
  out.Put(0x2C);
  out.Put16(0);
  out.Put16(0);
  out.Put16(width);
  out.Put16(height);
  out.Put(0);

  const int minCodeSize = std::max(2, bitsPerPixel);
  out.Put(static_cast<uint8_t>(minCodeSize));
  LzwEncoder lzw(minCodeSize, [&out](const uint8_t* data, size_t size) { out.Put(data, size); });
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  // Indexes past a 2^bitsPerPixel table would be read as control codes by a decoder.
  if (bitsPerPixel < minCodeSize) {
    for (size_t i = 0; i < count; ++i)
      if (pixels[i] >= colours)
        throw GifError("Pixel index " + std::to_string(pixels[i]) + " lies outside the " +
                       std::to_string(colours) + "-entry colour table");
  }
  try {
    lzw.Encode(pixels, count);
  } catch (const GifError&) {
    throw;
  } catch (const GraphicsException& e) {
    throw GifError(e.what());
  }
  out.Put(0);
  out.Put(0x3B);
  out.Flush();
}

std::vector<uint8_t> GifEncoder::EncodeToMemory(const uint8_t* pixels, int width, int height, int backgroundIndex,
                                                int transparentIndex, int bitsPerPixel, const uint8_t* red,
                                                const uint8_t* green, const uint8_t* blue) {
  std::vector<uint8_t> bytes;
  EncodeTo([&bytes](const uint8_t* data, size_t size) { bytes.insert(bytes.end(), data, data + size); }, pixels,
           width, height, backgroundIndex, transparentIndex, bitsPerPixel, red, green, blue);
  return bytes;
}

int GifEncoder::Encode(const uint8_t* pixels, const std::string& path, int width, int height, int backgroundIndex,
                       int transparentIndex, int bitsPerPixel, const uint8_t* red, const uint8_t* green,
                       const uint8_t* blue, const OutputPolicy& output) {
  // The file layer's texts start with the file's name; the caller names the file itself.
  const auto withoutPath = [&path](std::string text) {
    if (text.starts_with(path + ": ")) text.erase(0, path.size() + 2);
    return text;
  };
  message_.clear();
  detail_.clear();
  try {
    CheckArguments(pixels, width, height, backgroundIndex, transparentIndex, bitsPerPixel, red, green, blue);
  } catch (const GifError& e) {
    message_ = e.what();
    return 0;
  }
  std::unique_ptr<AtomicFileWriter> file;
  try {
    file = std::make_unique<AtomicFileWriter>(path, output);
  } catch (const GraphicsException& e) {
    message_ = "Can't open GIF for writing";
    detail_ = withoutPath(e.what());
    return 0;
  }
  try {
    EncodeTo([&file](const uint8_t* data, size_t size) { file->Write(data, size); }, pixels, width, height,
             backgroundIndex, transparentIndex, bitsPerPixel, red, green, blue);
    file->Commit();
  } catch (const FileExistsError&) {
    throw;  // a lost race on the name is the caller's to report as such
  } catch (const GraphicsException& e) {
    // The uncommitted writer removes its temporary file: nothing half-written stays behind.
    message_ = withoutPath(e.what());
    return 0;
  }
  return 1;
}

int SaveGif(const DibImage& image, const std::string& path, int backgroundIndex, int transparentIndex,
            int bitsPerPixel, const OutputPolicy& output) {
  if (image.Empty() || !image.HasPalette()) return 0;
  const int bitCount = image.BitCount();
  if (bitCount != 1 && bitCount != 4 && bitCount != 8) return 0;
  const int width = image.Width();
  const int height = image.Height();
  if (width <= 0 || height <= 0) return 0;

  // Packed indexes, top row first.
  std::vector<uint8_t> indexes(static_cast<size_t>(width) * static_cast<size_t>(height));
  DibRowTable rows(image);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = rows[y];
    uint8_t* dst = indexes.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    if (bitCount == 8) {
      std::memcpy(dst, src, static_cast<size_t>(width));
    } else if (bitCount == 4) {
      for (int x = 0; x < width; ++x) dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
    } else {
      // A 1-bit picture's palette has two entries, so its bits become indexes 0 and 1.
      for (int x = 0; x < width; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
    }
  }

  // The table has 2^bitsPerPixel entries; entries the picture's palette lacks are black.
  std::array<uint8_t, 256> red{}, green{}, blue{};
  const auto& palette = image.Palette();
  const int colours = (bitsPerPixel >= 1 && bitsPerPixel <= 8) ? 1 << bitsPerPixel : 0;
  for (int i = 0; i < colours && i < static_cast<int>(palette.size()); ++i) {
    red[static_cast<size_t>(i)] = palette[static_cast<size_t>(i)].red;
    green[static_cast<size_t>(i)] = palette[static_cast<size_t>(i)].green;
    blue[static_cast<size_t>(i)] = palette[static_cast<size_t>(i)].blue;
  }

  GifEncoder encoder;
  if (!encoder.Encode(indexes.data(), path, width, height, backgroundIndex, transparentIndex, bitsPerPixel,
                      red.data(), green.data(), blue.data(), output)) {
    std::string reason = encoder.Message();
    if (!encoder.Detail().empty()) reason += " (" + encoder.Detail() + ")";
    throw GraphicsException(path + ": " + reason);
  }
  return 1;
}

int GifBitsPerPixelFor(const DibImage& image, int transparentIndex) {
  int largest = transparentIndex;
  if (image.BitCount() == 1) {
    largest = std::max(largest, 1);
  } else if (image.BitCount() == 4) {
    largest = std::max(largest, 15);
  } else {
    DibRowTable rows(image);
    for (int y = 0; y < image.Height() && largest < 16; ++y)
      for (int x = 0; x < image.Width(); ++x) largest = std::max<int>(largest, rows[y][x]);
  }
  return largest < 16 ? 4 : 8;
}
