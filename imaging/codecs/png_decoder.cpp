#include "imaging/codecs/png_decoder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "imaging/codecs/checksums.h"
#include "imaging/codecs/inflate_decoder.h"
#include "imaging/dib_image.h"

namespace {

using PngError = PngDecoder::PngError;
using BadPngStream = PngDecoder::BadPngStream;

constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
// A file this large is not a picture we could hold anyway.

struct Pass {
  int x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint16_t BigEndian16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

bool IsType(const uint8_t* t, const char* name) { return std::memcmp(t, name, 4) == 0; }

int Channels(int colorType) {
  switch (colorType) {
    case 0: return 1;
    case 2: return 3;
    case 3: return 1;
    case 4: return 2;
    case 6: return 4;
    default: return 0;
  }
}

uint64_t RowBytes(uint64_t width, int channels, int depth) { return (width * uint64_t(channels) * uint64_t(depth) + 7) / 8; }

inline uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return uint8_t(a);
  return pb <= pc ? uint8_t(b) : uint8_t(c);
}

// Undoes the filters of `rows` rows stored as filter byte + rowBytes, in place.
void Unfilter(uint8_t* data, size_t rows, size_t rowBytes, size_t bpp) {
  const uint8_t* prior = nullptr;
  for (size_t y = 0; y < rows; ++y) {
    uint8_t* line = data + y * (rowBytes + 1);
    const uint8_t type = line[0];
    uint8_t* row = line + 1;
    switch (type) {
      case 0: break;
      case 1:
        for (size_t i = bpp; i < rowBytes; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
        break;
      case 2:
        if (prior) for (size_t i = 0; i < rowBytes; ++i) row[i] = uint8_t(row[i] + prior[i]);
        break;
      case 3:
        if (prior) {
          for (size_t i = 0; i < bpp && i < rowBytes; ++i) row[i] = uint8_t(row[i] + (prior[i] >> 1));
          for (size_t i = bpp; i < rowBytes; ++i) row[i] = uint8_t(row[i] + ((row[i - bpp] + prior[i]) >> 1));
        } else {
          for (size_t i = bpp; i < rowBytes; ++i) row[i] = uint8_t(row[i] + (row[i - bpp] >> 1));
        }
        break;
      case 4:
        if (prior) {
          for (size_t i = 0; i < bpp && i < rowBytes; ++i) row[i] = uint8_t(row[i] + prior[i]);
          for (size_t i = bpp; i < rowBytes; ++i)
            row[i] = uint8_t(row[i] + Paeth(row[i - bpp], prior[i], prior[i - bpp]));
        } else {
          // With a zero row above, Paeth predicts the left neighbour.
          for (size_t i = bpp; i < rowBytes; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
        }
        break;
      default:
        throw BadPngStream("Invalid Filter Type");
    }
    prior = row;
  }
}

unsigned GetBits(const uint8_t* row, uint64_t index, int depth) {
  const uint64_t bit = index * uint64_t(depth);
  const int shift = 8 - depth - int(bit & 7);
  return (row[bit >> 3] >> shift) & ((1u << depth) - 1);
}

void PutBits(uint8_t* row, uint64_t index, int depth, unsigned value) {
  const uint64_t bit = index * uint64_t(depth);
  const int shift = 8 - depth - int(bit & 7);
  row[bit >> 3] = uint8_t(row[bit >> 3] | (value << shift));
}

uint8_t Blend(unsigned colour, unsigned alpha, unsigned background) {
  return uint8_t((colour * alpha + background * (255 - alpha) + 127) / 255);
}

}  // namespace

void PngDecoder::ReadImage(const std::string& path, BitmapImage& image) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PngError("Can't open input file");
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  if (length < 0) throw PngError("Can't open input file");
  if (uint64_t(length) > limits_.maxBytes)
    throw PngError(limits_.MemoryRefusal(uint64_t(length), "file of " + std::to_string(length) + " bytes"));
  in.seekg(0, std::ios::beg);
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  if (!bytes.empty() && !in.read(reinterpret_cast<char*>(bytes.data()), length)) throw PngError("Premature End of File");
  Decode(bytes.data(), bytes.size(), image);
}

void PngDecoder::Decode(const uint8_t* data, size_t size, BitmapImage& image) {
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) throw PngError("Not a PNG file");
  header_ = Header{};
  bool haveHeader = false, sawIdat = false, idatEnded = false, sawEnd = false;
  std::vector<Rgb> palette;
  std::vector<uint8_t> paletteAlpha;  // tRNS of a palette picture
  bool havePalette = false, haveKeyColour = false;
  std::array<uint16_t, 3> keyColour{};  // tRNS of a grey (first entry) or RGB picture
  Rgb background = background_;
  std::vector<uint8_t> compressed;

  size_t at = 8;
  while (!sawEnd) {
    if (size - at < 12) throw PngError("Premature End of File");
    const uint32_t length = BigEndian32(data + at);
    const uint8_t* type = data + at + 4;
    if (length > 0x7FFFFFFFu) throw PngError("Invalid Chunk Length");
    if (size - at - 12 < length) throw PngError("Premature End of File");
    for (int i = 0; i < 4; ++i) {
      const uint8_t c = uint8_t(type[i] | 0x20);
      if (c < 'a' || c > 'z') throw PngError("Invalid Chunk Type");
    }
    const uint8_t* body = type + 4;
    if (Crc32(0, type, size_t(length) + 4) != BigEndian32(body + length)) throw PngError("Invalid Chunk CRC");
    at += size_t(length) + 12;

    const bool isIdat = IsType(type, "IDAT");
    if (!haveHeader && !IsType(type, "IHDR")) throw PngError("Missing IHDR Chunk");
    if (sawIdat && !isIdat) idatEnded = true;

    if (IsType(type, "IHDR")) {
      if (haveHeader) throw PngError("Duplicate IHDR Block");
      if (length != 13) throw PngError("Invalid Header Length");
      Header h;
      h.width = BigEndian32(body);
      h.height = BigEndian32(body + 4);
      h.bitDepth = body[8];
      h.colorType = body[9];
      h.interlace = body[12];
      if (h.width == 0 || h.height == 0 || h.width > 0x7FFFFFFFu || h.height > 0x7FFFFFFFu)
        throw PngError("Invalid Image Dimensions");
      if (Channels(h.colorType) == 0) throw PngError("Invalid Color Type");
      const int d = h.bitDepth;
      if (d != 1 && d != 2 && d != 4 && d != 8 && d != 16) throw PngError("Invalid Bit Depth");
      const bool depthOk = h.colorType == 0 ? true : h.colorType == 3 ? d <= 8 : d >= 8;
      if (!depthOk) throw PngError("Invalid Image Depth");
      if (body[10] != 0) throw PngError("Invalid Compression Method");
      if (body[11] != 0) throw PngError("Invalid Filter Method");
      if (h.interlace > 1) throw PngError("Invalid Interlace Method");
      {
        // The inflated rows (up to 8 bytes a pixel), their de-interlaced copy and the result.
        const uint64_t sampleBytes = uint64_t(Channels(h.colorType)) * (d == 16 ? 2 : 1);
        const std::string refusal =
            limits_.Refusal(h.width, h.height, sampleBytes * (h.interlace ? 2 : 1) + 3);
        if (!refusal.empty()) throw PngError(refusal);
      }
      header_ = h;
      haveHeader = true;
    } else if (IsType(type, "PLTE")) {
      if (sawIdat) throw PngError("PLTE block must occur before IDAT");
      if (havePalette) throw PngError("Duplicate PLTE Chunk");
      // Grey pictures may not carry one; like other readers we let it pass unused.
      if (header_.colorType == 0 || header_.colorType == 4) continue;
      if (length == 0 || length % 3 != 0 || length / 3 > 256) throw PngError("Invalid PLTE Chunk Length");
      if (header_.colorType == 3 && length / 3 > (1u << header_.bitDepth)) throw PngError("Invalid PLTE Chunk Length");
      for (uint32_t i = 0; i < length; i += 3) palette.push_back({body[i], body[i + 1], body[i + 2]});
      havePalette = true;
    } else if (isIdat) {
      if (idatEnded) throw PngError("Image Contains Multiple Data Segments");
      if (header_.colorType == 3 && !havePalette) throw PngError("Missing PLTE Chunk");
      sawIdat = true;
      compressed.insert(compressed.end(), body, body + length);
    } else if (IsType(type, "IEND")) {
      sawEnd = true;
    } else if (IsType(type, "tRNS")) {
      if (sawIdat) continue;
      if (header_.colorType == 3) {
        if (!havePalette) throw PngError("tRNS chunk before PLTE");
        if (length > palette.size()) throw PngError("tRNS chunk length invalid");
        paletteAlpha.assign(body, body + length);
      } else if (header_.colorType == 0) {
        if (length != 2) throw PngError("tRNS chunk length invalid");
        keyColour = {BigEndian16(body), 0, 0};
        haveKeyColour = true;
      } else if (header_.colorType == 2) {
        if (length != 6) throw PngError("tRNS chunk length invalid");
        keyColour = {BigEndian16(body), BigEndian16(body + 2), BigEndian16(body + 4)};
        haveKeyColour = true;
      }
      // Pictures with an alpha channel may not have tRNS; it is ignored.
    } else if (IsType(type, "bKGD")) {
      if (sawIdat) continue;
      const int d = header_.bitDepth;
      auto scale = [d](uint16_t v) -> uint8_t {
        if (d == 16) return uint8_t(v >> 8);
        const unsigned top = (1u << d) - 1;
        return uint8_t((v & top) * 255 / top);
      };
      if (header_.colorType == 3) {
        if (length < 1) throw PngError("bKGD Chunk too small");
        if (body[0] < palette.size()) {
          background = palette[body[0]];
        }
      } else if (header_.colorType == 0 || header_.colorType == 4) {
        if (length < 2) throw PngError("bKGD Chunk too small");
        const uint8_t g = scale(BigEndian16(body));
        background = {g, g, g};
      } else {
        if (length < 6) throw PngError("bKGD Chunk too small");
        background = {scale(BigEndian16(body)), scale(BigEndian16(body + 2)), scale(BigEndian16(body + 4))};
      }
    } else if (IsType(type, "gAMA")) {
      if (length < 4) throw PngError("gAMA chunk too small");
    } else if (IsType(type, "pHYs")) {
      if (length != 9) throw PngError("pHYs chunk size invalid");
    } else if (IsType(type, "tIME")) {
      if (length != 7) throw PngError("tIME chunk size invalid");
    } else if (IsType(type, "cHRM")) {
      if (length != 32) throw PngError("cHRM chunk size invalid");
    } else if (!(type[0] & 0x20)) {
      throw PngError("Unknown critical chunk");
    }
    // Other ancillary chunks (text, profiles, ...) are skipped.
  }
  if (!sawIdat) throw PngError("Missing IDAT Chunk");
  if (compressed.empty()) throw BadPngStream("Image Contains no Pixel Data");

  const Header& h = header_;
  const int channels = Channels(h.colorType);
  const int depth = h.bitDepth;
  const size_t bpp = std::max<size_t>(1, size_t(channels * depth / 8));
  const uint64_t fullRow = RowBytes(h.width, channels, depth);

  // What the header promises, pass by pass; the stream may not hold more.
  uint64_t expected = 0;
  for (int p = 0; p < (h.interlace ? 7 : 1); ++p) {
    const Pass pass = h.interlace ? kAdam7[p] : Pass{0, 0, 1, 1};
    const uint64_t pw = (uint64_t(h.width) - pass.x0 + pass.dx - 1) / pass.dx;
    const uint64_t ph = (uint64_t(h.height) - pass.y0 + pass.dy - 1) / pass.dy;
    if (h.width <= uint32_t(pass.x0) || h.height <= uint32_t(pass.y0)) continue;
    expected += ph * (RowBytes(pw, channels, depth) + 1);
  }
  std::vector<uint8_t> raw;
  try {
    raw = InflateDecoder::DecompressZlib(compressed.data(), compressed.size(), size_t(expected)).data;
  } catch (const InflateDecoder::InflateError& e) {
    const std::string what = e.what();
    throw BadPngStream(what == "Decompressed Data Too Large" ? "Too much image data" : what);
  }
  std::vector<uint8_t>().swap(compressed);
  if (raw.size() != expected) throw BadPngStream("Not enough image data");

  // Native rows (no filter bytes), top row first.
  std::vector<uint8_t> native;
  size_t nativeStride = 0;
  const uint8_t* nativeBase = nullptr;
  if (!h.interlace) {
    Unfilter(raw.data(), h.height, size_t(fullRow), bpp);
    nativeBase = raw.data() + 1;
    nativeStride = size_t(fullRow) + 1;
  } else {
    native.assign(size_t(fullRow) * h.height, 0);
    size_t offset = 0;
    const int bitsPerPixel = channels * depth;
    for (const Pass& pass : kAdam7) {
      if (h.width <= uint32_t(pass.x0) || h.height <= uint32_t(pass.y0)) continue;
      const uint64_t pw = (uint64_t(h.width) - pass.x0 + pass.dx - 1) / pass.dx;
      const uint64_t ph = (uint64_t(h.height) - pass.y0 + pass.dy - 1) / pass.dy;
      const size_t passRow = size_t(RowBytes(pw, channels, depth));
      uint8_t* passData = raw.data() + offset;
      Unfilter(passData, size_t(ph), passRow, bpp);
      for (uint64_t py = 0; py < ph; ++py) {
        const uint8_t* src = passData + py * (passRow + 1) + 1;
        uint8_t* dst = native.data() + size_t(pass.y0 + py * pass.dy) * size_t(fullRow);
        for (uint64_t px = 0; px < pw; ++px) {
          const uint64_t x = pass.x0 + px * pass.dx;
          if (bitsPerPixel < 8) PutBits(dst, x, depth, GetBits(src, px, depth));
          else std::memcpy(dst + x * bpp, src + px * bpp, bpp);
        }
      }
      offset += size_t(ph) * (passRow + 1);
    }
    std::vector<uint8_t>().swap(raw);
    nativeBase = native.data();
    nativeStride = size_t(fullRow);
  }
  auto nativeRow = [&](uint32_t y) { return nativeBase + size_t(y) * nativeStride; };

  // Palette pictures and grey ones up to 8 bits keep their indexes.
  if (h.colorType == 3 || (h.colorType == 0 && depth <= 8)) {
    const unsigned entries = 1u << depth;
    image.SetSize(entries, unsigned(depth), h.width, h.height);
    for (unsigned i = 0; i < entries; ++i) {
      Rgb c{0, 0, 0};
      unsigned alpha = 255;
      if (h.colorType == 3) {
        if (i < palette.size()) c = palette[i];
        if (i < paletteAlpha.size()) alpha = paletteAlpha[i];
      } else {
        const uint8_t g = uint8_t(i * 255 / (entries - 1));
        c = {g, g, g};
        if (haveKeyColour && keyColour[0] == i) alpha = 0;
      }
      auto& e = image.ColorMap(i);
      e.red = Blend(c.red, alpha, background.red);
      e.green = Blend(c.green, alpha, background.green);
      e.blue = Blend(c.blue, alpha, background.blue);
    }
    for (uint32_t y = 0; y < h.height; ++y) std::memcpy(image.TopDownRow(y), nativeRow(y), size_t(fullRow));
    return;
  }

  image.SetSize(0, 24, h.width, h.height);
  const size_t sampleBytes = depth == 16 ? 2 : 1;
  for (uint32_t y = 0; y < h.height; ++y) {
    const uint8_t* src = nativeRow(y);
    uint8_t* dst = image.TopDownRow(y);
    for (uint32_t x = 0; x < h.width; ++x) {
      const uint8_t* px = src + size_t(x) * size_t(channels) * sampleBytes;
      auto sample = [&](int c) -> unsigned { return px[size_t(c) * sampleBytes]; };  // the high byte
      auto full = [&](int c) -> unsigned {
        return sampleBytes == 2 ? BigEndian16(px + size_t(c) * 2) : px[size_t(c)];
      };
      unsigned r, g, b, a = 255;
      switch (h.colorType) {
        case 0:
          r = g = b = sample(0);
          if (haveKeyColour && full(0) == keyColour[0]) a = 0;
          break;
        case 4:
          r = g = b = sample(0);
          a = sample(1);
          break;
        case 2:
          r = sample(0), g = sample(1), b = sample(2);
          if (haveKeyColour && full(0) == keyColour[0] && full(1) == keyColour[1] && full(2) == keyColour[2]) a = 0;
          break;
        default:  // 6
          r = sample(0), g = sample(1), b = sample(2);
          a = sample(3);
          break;
      }
      if (a == 255) {
        dst[3 * x] = uint8_t(b);
        dst[3 * x + 1] = uint8_t(g);
        dst[3 * x + 2] = uint8_t(r);
      } else {
        dst[3 * x] = Blend(b, a, background.blue);
        dst[3 * x + 1] = Blend(g, a, background.green);
        dst[3 * x + 2] = Blend(r, a, background.red);
      }
    }
  }
}

int ReadPng(const std::string& path, DibImage& image, const ImageLimits& limits) {
  BitmapImage decoded;
  try {
    PngDecoder(limits).ReadImage(path, decoded);
  } catch (const GraphicsException& e) {
    throw PngDecoder::PngError(path + ": " + e.what());
  }
  const unsigned w = decoded.Width(), h = decoded.Height();
  DibImage picture;
  if (!picture.Create(int32_t(w), int32_t(h), 24)) throw PngDecoder::PngError(path + ": out of memory");
  DibRowTable rows(picture);
  const unsigned bits = decoded.BitCount();
  for (unsigned y = 0; y < h; ++y) {
    const uint8_t* src = decoded.TopDownRow(y);
    uint8_t* dst = rows[int(y)];
    if (bits == 24) {
      std::memcpy(dst, src, size_t(w) * 3);
      continue;
    }
    for (unsigned x = 0; x < w; ++x) {
      const auto& c = decoded.ColorMap(GetBits(src, x, int(bits)));
      dst[3 * x] = c.blue;
      dst[3 * x + 1] = c.green;
      dst[3 * x + 2] = c.red;
    }
  }
  image.Free();
  image = std::move(picture);
  return 1;
}
