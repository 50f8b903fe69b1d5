#include "imaging/codecs/gif_decoder.h"

#include <array>
#include <cstring>
#include <fstream>
#include <new>

#include "imaging/bitmap_image.h"
#include "imaging/codecs/lzw_decoder.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"

namespace {

const char kEof[] = "Unexpected EOF in GIF.\nGiving up";

// Bounds-checked cursor over the file's bytes.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Take(size_t n, const uint8_t** out) {
    if (size_ - pos_ < n) return false;
    *out = data_ + pos_;
    pos_ += n;
    return true;
  }
  int Byte() { return pos_ < size_ ? data_[pos_++] : -1; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

int Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }

enum class Blocks { Ok, Truncated };

// Reads sub-blocks up to the empty one; `keep` (may be null) receives their payload.
Blocks ReadSubBlocks(Cursor& in, std::vector<uint8_t>* keep, std::vector<uint8_t>* firstBlock = nullptr) {
  bool first = true;
  for (;;) {
    const int length = in.Byte();
    if (length < 0) return Blocks::Truncated;
    if (length == 0) return Blocks::Ok;
    const uint8_t* bytes = nullptr;
    if (!in.Take(static_cast<size_t>(length), &bytes)) return Blocks::Truncated;
    if (keep) keep->insert(keep->end(), bytes, bytes + length);
    if (first && firstBlock) firstBlock->assign(bytes, bytes + length);
    first = false;
  }
}

}  // namespace

bool GifDecoder::Fail(const std::string& text) {
  error_ = text;
  width_ = height_ = 0;
  rgb_.clear();
  return false;
}

bool GifDecoder::DecodeFile(const std::string& path) {
  if (path.empty()) return Fail("No Name Given");
  std::ifstream file(path, std::ios::binary);
  if (!file) return Fail("Cant open GIF :\n");
  file.seekg(0, std::ios::end);
  const std::streamoff length = file.tellg();
  file.seekg(0, std::ios::beg);
  if (length < 0) return Fail("Cant open GIF :\n");
  if (static_cast<uint64_t>(length) > limits_.maxBytes)
    return Fail(limits_.MemoryRefusal(uint64_t(length), "file of " + std::to_string(length) + " bytes"));
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    return Fail("Out of Memory in GIFRead");
  }
  if (!bytes.empty() && !file.read(reinterpret_cast<char*>(bytes.data()), length)) return Fail(kEof);
  return Decode(bytes.data(), bytes.size(), path);
}

bool GifDecoder::Decode(const uint8_t* data, size_t size, const std::string& name) {
  width_ = height_ = 0;
  transparentIndex_ = -1;
  interlaced_ = false;
  rgb_.clear();
  notice_.clear();
  error_ = "No Error";
  if (!data) size = 0;
  Cursor in(data, size);

  const uint8_t* magic = nullptr;
  if (!in.Take(6, &magic)) return Fail("Error reading GIF Magic #\n");
  if (std::memcmp(magic, "GIF", 3) != 0) return Fail("Error, " + name + " is not a valid .GIF file");
  if (std::memcmp(magic + 3, "87a", 3) != 0 && std::memcmp(magic + 3, "89a", 3) != 0)
    return Fail("Error, Bad GIF Version number");

  const uint8_t* screen = nullptr;
  if (!in.Take(7, &screen)) return Fail("Error, failed to GIF read screen descriptor.\nGiving up");
  const int screenWidth = Le16(screen);
  const int screenHeight = Le16(screen + 2);
  const int screenFlags = screen[4];
  if (screen[6] != 0) notice_ = "Non-square pixels in GIF image.\nIgnoring that fact...";

  // Colour tables are padded to 256 entries so that any index reads inside them.
  std::array<uint8_t, 768> globalTable{};
  bool haveGlobal = false;
  if (screenFlags & 0x80) {
    const size_t entries = size_t{2} << (screenFlags & 7);
    const uint8_t* table = nullptr;
    if (!in.Take(entries * 3, &table)) return Fail("Error reading GIF file\nGIFScreen Colormap\nGiving up");
    std::memcpy(globalTable.data(), table, entries * 3);
    haveGlobal = true;
  }

  // Bounded by the input: every pass consumes at least one byte.
  for (;;) {
    const int block = in.Byte();
    if (block < 0) return Fail(kEof);
    if (block == 0x3B) return Fail("No image in GIF file.\nGiving up");
    if (block == 0x21) {
      const int label = in.Byte();
      if (label < 0) return Fail("Error on extension read.\nGiving up");
      std::vector<uint8_t> firstBlock;
      if (ReadSubBlocks(in, nullptr, &firstBlock) != Blocks::Ok) return Fail("Error on extension read.\nGiving up");
      // Graphic control extension: the last one before the image applies to it.
      if (label == 0xF9 && firstBlock.size() >= 4)
        transparentIndex_ = (firstBlock[0] & 1) ? firstBlock[3] : -1;
      continue;
    }
    if (block != 0x2C) continue;  // stray bytes between blocks are skipped, as readers commonly do

    const uint8_t* descriptor = nullptr;
    if (!in.Take(9, &descriptor)) return Fail("Error on dimension read\nGiving up");
    const int left = Le16(descriptor);
    const int top = Le16(descriptor + 2);
    const int width = Le16(descriptor + 4);
    const int height = Le16(descriptor + 6);
    const int flags = descriptor[8];
    if (width <= 0 || height <= 0) return Fail("Negative image dimensions!\nGiving up");
    if (left + width > screenWidth || top + height > screenHeight)
      return Fail("Image lies outside the GIF screen.\nGiving up");
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    // Indexes and red, green, blue bytes, then the 24-bit picture made from them.
    if (const std::string refusal = limits_.Refusal(uint64_t(width), uint64_t(height), 7); !refusal.empty())
      return Fail(refusal);

    std::array<uint8_t, 768> localTable{};
    const uint8_t* colours = nullptr;
    if (flags & 0x80) {
      const size_t entries = size_t{2} << (flags & 7);
      const uint8_t* table = nullptr;
      if (!in.Take(entries * 3, &table)) return Fail("Error reading GIF file\nLocalColorMap\nGiving up");
      std::memcpy(localTable.data(), table, entries * 3);
      colours = localTable.data();
    } else if (haveGlobal) {
      colours = globalTable.data();
    } else {
      return Fail("Error reading GIF colormap\nGiving up");
    }
    interlaced_ = (flags & 0x40) != 0;

    const int minCodeSize = in.Byte();
    if (minCodeSize < 0) return Fail(kEof);
    if (minCodeSize < 2 || minCodeSize > 8) return Fail("Bad LZW code size in GIF.\nGiving up");

    // A missing end of the sub-blocks is tolerated when the pixels are all there.
    std::vector<uint8_t> indexes, compressed;
    ReadSubBlocks(in, &compressed);
    // K codes make at most 1 + 2 + ... + K pixels (each new string is one longer than the
    // longest before it), so short data cannot fill a large picture: refuse before allocating.
    const uint64_t codes = compressed.size() * 8ull / static_cast<uint64_t>(minCodeSize + 1);
    if (codes * (codes + 1) / 2 < pixels) return Fail(kEof);
    try {
      indexes.resize(static_cast<size_t>(pixels));
      rgb_.resize(static_cast<size_t>(pixels) * 3);
    } catch (const std::bad_alloc&) {
      return Fail("Out of Memory in GIFRead");
    }

    size_t produced = 0;
    LzwDecoder lzw(minCodeSize);
    const LzwDecoder::Result result =
        lzw.Decode(compressed.data(), compressed.size(), indexes.data(), indexes.size(), &produced);
    if (result == LzwDecoder::Result::BadCode) return Fail("Corrupt LZW data in GIF.\nGiving up");
    if (result != LzwDecoder::Result::Complete) return Fail(kEof);

    // Interlaced rows arrive as every 8th row from 0, every 8th from 4, every 4th from 2, every
    // 2nd from 1.
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    auto putRow = [&](int source, int target) {
      const uint8_t* src = indexes.data() + static_cast<size_t>(source) * static_cast<size_t>(width);
      uint8_t* dst = rgb_.data() + static_cast<size_t>(target) * rowBytes;
      for (int x = 0; x < width; ++x) std::memcpy(dst + 3 * x, colours + 3 * src[x], 3);
    };
    if (interlaced_) {
      int source = 0;
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < height; y += kStep[pass]) putRow(source++, y);
    } else {
      for (int y = 0; y < height; ++y) putRow(y, y);
    }
    width_ = width;
    height_ = height;
    return true;
  }
}

int ReadGif(const std::string& path, DibImage& image, const ImageLimits& limits) {
  GifDecoder decoder;
  decoder.SetLimits(limits);
  auto failure = [&](const std::string& text) {
    image.Free();
    std::string reason = text;
    for (char& c : reason)
      if (c == '\n') c = ' ';
    while (!reason.empty() && reason.back() == ' ') reason.pop_back();
    return GraphicsException(path + ": " + reason);
  };
  if (!decoder.DecodeFile(path)) throw failure(decoder.Error());
  image.Free();
  if (!image.Create(decoder.Width(), decoder.Height(), 24)) throw failure("Out of Memory in GIFRead");
  DibRowTable rows(image);
  const auto& rgb = decoder.Rgb();
  const size_t rowBytes = static_cast<size_t>(decoder.Width()) * 3;
  for (int y = 0; y < decoder.Height(); ++y) {
    const uint8_t* src = rgb.data() + static_cast<size_t>(y) * rowBytes;
    uint8_t* dst = rows[y];
    for (size_t x = 0; x < rowBytes; x += 3) {
      dst[x] = src[x + 2];
      dst[x + 1] = src[x + 1];
      dst[x + 2] = src[x];
    }
  }
  return 1;
}
