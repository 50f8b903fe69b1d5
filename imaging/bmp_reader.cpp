// The BMP reader and the DIB decoder behind it. Everything a header claims is checked against
// the bytes actually present before anything is allocated or read.
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/bitmap_image.h"
#include "imaging/dib_decoder.h"
#include "imaging/dib_image.h"

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpeg = 4, kPng = 5;
// No picture we accept needs more than four bytes a pixel plus headers; larger files are refused
// before they are read.

uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// One channel of a bit-field pixel.
struct Channel {
  uint32_t mask = 0;
  int shift = 0, bits = 0;
  uint8_t Scale(uint32_t pixel) const {
    if (bits == 0) return 0;
    const uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return uint8_t(v >> (bits - 8));
    const uint32_t max = (1u << bits) - 1;
    return uint8_t((v * 255 + max / 2) / max);
  }
};

bool MakeChannel(uint32_t mask, int depth, Channel& c) {
  c = Channel{};
  if (mask == 0) return true;  // channel absent: reads as 0
  if (depth == 16 && mask > 0xFFFF) return false;
  c.mask = mask;
  c.shift = std::countr_zero(mask);
  c.bits = std::popcount(mask);
  const uint64_t run = (uint64_t(1) << c.bits) - 1;
  return (uint64_t(mask) >> c.shift) == run;  // contiguous
}

std::string Dims(int64_t w, int64_t h) { return std::to_string(w) + " x " + std::to_string(h); }

bool Fail(std::string& reason, std::string text) {
  reason = std::move(text);
  return false;
}

// Decodes RLE8 / RLE4 data into 8-bit rows (stored bottom-up, like the stream).
bool DecodeRle(const uint8_t* p, const uint8_t* end, bool four, int64_t w, int64_t h, uint8_t* rows,
               size_t stride, std::string& reason) {
  int64_t x = 0, y = 0;
  auto put = [&](uint8_t v) {
    if (x < w && y < h) rows[size_t(y) * stride + size_t(x)] = v;
    ++x;
  };
  while (y < h) {
    if (end - p < 2) return Fail(reason, "RLE data ends before its end marker");
    const uint8_t count = p[0], value = p[1];
    p += 2;
    if (count > 0) {
      if (x >= w) continue;  // run past the right edge: clipped
      for (int i = 0; i < count; ++i) put(four ? uint8_t(i % 2 == 0 ? value >> 4 : value & 15) : value);
      continue;
    }
    if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      if (end - p < 2) return Fail(reason, "RLE data ends inside a delta");
      x += p[0];
      y += p[1];
      p += 2;
    } else {
      const int n = value;
      const int64_t bytes = four ? (n + 1) / 2 : n;
      if (end - p < bytes) return Fail(reason, "RLE data ends inside an absolute run");
      for (int i = 0; i < n; ++i) put(four ? uint8_t(i % 2 == 0 ? p[i / 2] >> 4 : p[i / 2] & 15) : p[i]);
      p += std::min<int64_t>((bytes + 1) & ~int64_t(1), end - p);
    }
  }
  return true;
}

// Builds the 40-byte header of the store's form.
void WriteHeader(uint8_t* h, int64_t w, int64_t height, int bits, size_t imageSize) {
  std::memset(h, 0, 40);
  Put32(h, 40);
  Put32(h + 4, uint32_t(w));
  Put32(h + 8, uint32_t(height));
  h[12] = 1;
  h[14] = uint8_t(bits);
  Put32(h + 20, uint32_t(imageSize));
  Put32(h + 32, bits == 8 ? 256 : 0);
}

int FromFileBytes(const uint8_t* fileHeader, std::vector<uint8_t> rest, DibImage& image, std::string& reason,
                  const ImageLimits& limits) {
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return Fail(reason, "not a BMP file (it does not start with \"BM\")"), 0;
  const uint32_t offBits = U32(fileHeader + 10);
  // 0 is written by some tools for "right after the colour table".
  const int64_t pixelOffset = offBits == 0 ? -1 : std::max<int64_t>(0, int64_t(offBits) - 14);
  std::vector<uint8_t> canonical;
  if (!DecodeDib(std::move(rest), pixelOffset, canonical, reason, limits)) return 0;
  image.Free();
  image.Packed() = std::move(canonical);
  image.Refresh(image.BitCount() == 8);
  return 1;
}

}  // namespace

bool DecodeDib(std::vector<uint8_t> block, int64_t pixelOffset, std::vector<uint8_t>& out, std::string& reason,
               const ImageLimits& limits) {
  const size_t size = block.size();
  const uint8_t* b = block.data();
  if (size < 4) return Fail(reason, "DIB header truncated");
  const uint32_t hdr = U32(b);
  const bool core = hdr == 12;
  if (!core && hdr != 40 && hdr != 52 && hdr != 56 && hdr != 108 && hdr != 124)
    return Fail(reason, "unsupported DIB header size " + std::to_string(hdr));
  if (size < hdr) return Fail(reason, "DIB header truncated (" + std::to_string(size) + " of " + std::to_string(hdr) + " bytes)");

  int64_t width, height;
  int bits;
  uint32_t compression = kRgb, clrUsed = 0, sizeImage = 0;
  if (core) {
    width = U16(b + 4);
    height = U16(b + 6);
    bits = U16(b + 10);
  } else {
    width = int32_t(U32(b + 4));
    height = int32_t(U32(b + 8));
    bits = U16(b + 14);
    compression = U32(b + 16);
    sizeImage = U32(b + 20);
    clrUsed = U32(b + 32);
  }
  if (width <= 0) return Fail(reason, "picture width " + std::to_string(width) + " is not positive");
  if (height == 0) return Fail(reason, "picture height is 0");
  if (height == INT32_MIN) return Fail(reason, "picture height is out of range");
  const bool topDown = height < 0;
  const int64_t h = topDown ? -height : height, w = width;
  // The block is held while the 24-bit (or 8-bit) result is built.
  if (std::string refusal = limits.Refusal(uint64_t(w), uint64_t(h), 3); !refusal.empty())
    return Fail(reason, std::move(refusal));

  const bool okBits = core ? (bits == 1 || bits == 4 || bits == 8 || bits == 24)
                           : (bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
  if (!okBits) return Fail(reason, "unsupported bit count " + std::to_string(bits));
  if (compression == kJpeg || compression == kPng) return Fail(reason, "embedded JPEG or PNG data is not supported");
  if (compression > kBitFields) return Fail(reason, "unknown compression " + std::to_string(compression));
  if ((compression == kRle8 && bits != 8) || (compression == kRle4 && bits != 4) ||
      (compression == kBitFields && bits != 16 && bits != 32))
    return Fail(reason, "compression " + std::to_string(compression) + " does not fit " + std::to_string(bits) + " bits per pixel");
  const bool rle = compression == kRle8 || compression == kRle4;
  if (rle && topDown) return Fail(reason, "a top-down picture cannot be RLE compressed");

  // Channel masks: after a 40-byte header, inside the larger ones.
  size_t tableAt = hdr;
  Channel red, green, blue;
  if (bits == 16 || bits == 32) {
    uint32_t rm = bits == 16 ? 0x7C00 : 0xFF0000, gm = bits == 16 ? 0x03E0 : 0xFF00, bm = bits == 16 ? 0x001F : 0xFF;
    if (compression == kBitFields) {
      const uint8_t* m = b + 40;
      if (hdr == 40) {
        if (size < 52) return Fail(reason, "bit field masks truncated");
        tableAt = 52;
      }
      rm = U32(m);
      gm = U32(m + 4);
      bm = U32(m + 8);
    }
    if (!MakeChannel(rm, bits, red) || !MakeChannel(gm, bits, green) || !MakeChannel(bm, bits, blue))
      return Fail(reason, "invalid bit field masks");
  }

  const bool indexed = bits <= 8;
  const size_t entry = core ? 3 : 4;
  uint64_t colours = 0;
  if (indexed) {
    colours = clrUsed != 0 ? clrUsed : (1u << bits);
    if (colours > (1u << bits))
      return Fail(reason, "colour table of " + std::to_string(clrUsed) + " entries is larger than " +
                              std::to_string(bits) + " bits per pixel allow");
  } else {
    // True-colour pictures may carry an optional table; it is only skipped.
    if (clrUsed > 256) return Fail(reason, "colour table of " + std::to_string(clrUsed) + " entries is too large");
    colours = clrUsed;
  }
  uint64_t tableEnd = tableAt + colours * entry;
  uint64_t pixStart = tableEnd;
  if (pixelOffset >= 0) {
    pixStart = uint64_t(pixelOffset);
    if (pixStart < tableAt)
      return Fail(reason, "pixel data offset " + std::to_string(pixStart + 14) + " points into the header");
    // Some writers store fewer table entries than the depth implies and say so only through
    // the offset: use the entries that are there.
    if (pixStart < tableEnd) {
      colours = (pixStart - tableAt) / entry;
      tableEnd = tableAt + colours * entry;
    }
  }
  if (tableEnd > size) return Fail(reason, "colour table truncated");
  if (pixStart > size)
    return Fail(reason, "pixel data offset " + std::to_string(pixStart + 14) + " is past the end of the file");
  const uint64_t avail = size - pixStart;

  const uint64_t srcStride = ((uint64_t(bits) * uint64_t(w) + 31) / 32) * 4;
  const uint64_t lastRow = (uint64_t(bits) * uint64_t(w) + 7) / 8;
  uint64_t rleBytes = 0;
  if (rle) {
    rleBytes = (sizeImage != 0 && sizeImage <= avail) ? sizeImage : avail;
    // Runs and end-of-line codes can describe a large picture in few bytes, but not without limit.
    if (uint64_t(w) * uint64_t(h) > (uint64_t(1) << 20) + 1024 * rleBytes)
      return Fail(reason, "RLE picture of " + Dims(w, h) + " pixels is too large for " + std::to_string(rleBytes) +
                              " bytes of data");
  } else {
    // The last row's padding may be missing; the pixels themselves may not.
    const uint64_t need = srcStride * uint64_t(h - 1) + lastRow;
    if (need > avail)
      return Fail(reason, "pixel data truncated (" + std::to_string(need) + " bytes needed, " + std::to_string(avail) +
                              " present)");
  }

  const int outBits = indexed ? 8 : 24;
  const size_t outStride = size_t(((uint64_t(outBits) * uint64_t(w) + 31) / 32) * 4);
  const size_t outTable = indexed ? 1024 : 0;
  const size_t outSize = 40 + outTable + outStride * size_t(h);

  // Already in our own form: keep the block, tidy the header.
  if (hdr == 40 && !topDown && compression == kRgb && (bits == 24 ? colours == 0 : bits == 8 && colours == 256) &&
      pixStart == 40 + outTable) {
    try {
      block.resize(outSize, 0);
    } catch (const std::bad_alloc&) {
      return Fail(reason, "out of memory for a picture of " + Dims(w, h));
    }
    WriteHeader(block.data(), w, h, outBits, outStride * size_t(h));
    for (size_t k = 0; k < outTable; k += 4) block[40 + k + 3] = 0;
    out = std::move(block);
    return true;
  }

  std::vector<uint8_t> result;
  try {
    result.assign(outSize, 0);
  } catch (const std::bad_alloc&) {
    return Fail(reason, "out of memory for a picture of " + Dims(w, h));
  }
  WriteHeader(result.data(), w, h, outBits, outStride * size_t(h));
  uint8_t* rows = result.data() + 40 + outTable;
  if (indexed) {
    for (uint64_t k = 0; k < colours; ++k) {
      const uint8_t* e = b + tableAt + k * entry;
      uint8_t* q = result.data() + 40 + k * 4;
      q[0] = e[0];
      q[1] = e[1];
      q[2] = e[2];
    }
  }
  const uint8_t* src = b + pixStart;
  if (rle) {
    if (!DecodeRle(src, src + rleBytes, compression == kRle4, w, h, rows, outStride, reason)) return false;
  } else {
    for (int64_t r = 0; r < h; ++r) {
      const uint8_t* s = src + size_t(topDown ? h - 1 - r : r) * srcStride;
      uint8_t* d = rows + size_t(r) * outStride;
      switch (bits) {
        case 8: std::memcpy(d, s, size_t(w)); break;
        case 24: std::memcpy(d, s, size_t(w) * 3); break;
        case 1:
        case 2:
        case 4: {
          const unsigned mask = (1u << bits) - 1;
          for (int64_t x = 0; x < w; ++x) {
            const uint64_t bit = uint64_t(x) * bits;
            d[x] = uint8_t((s[bit / 8] >> (8 - bits - bit % 8)) & mask);
          }
          break;
        }
        default: {  // 16 or 32
          for (int64_t x = 0; x < w; ++x) {
            const uint32_t px = bits == 16 ? U16(s + x * 2) : U32(s + x * 4);
            d[x * 3] = blue.Scale(px);
            d[x * 3 + 1] = green.Scale(px);
            d[x * 3 + 2] = red.Scale(px);
          }
        }
      }
    }
  }
  out = std::move(result);
  return true;
}

int ReadBmp(const std::string& path, DibImage& image, std::string* error, const ImageLimits& limits) {
  std::string reason;
  auto fail = [&](const std::string& why) {
    if (error) *error = path + ": " + why;
    return 0;
  };
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) return fail(std::strerror(errno));
  if (std::fseek(f.get(), 0, SEEK_END) != 0) return fail("cannot find the file's length");
  const long length = std::ftell(f.get());
  if (length < 0 || std::fseek(f.get(), 0, SEEK_SET) != 0) return fail("cannot find the file's length");
  if (length < 14) return fail("not a BMP file (shorter than 14 bytes)");
  if (std::string refusal = limits.MemoryRefusal(uint64_t(length), "file of " + std::to_string(length) + " bytes");
      !refusal.empty())
    return fail(refusal);
  uint8_t fileHeader[14];
  if (std::fread(fileHeader, 1, 14, f.get()) != 14) return fail("read error");
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return fail("not a BMP file (it does not start with \"BM\")");
  std::vector<uint8_t> rest;
  try {
    rest.resize(size_t(length) - 14);
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  }
  if (std::fread(rest.data(), 1, rest.size(), f.get()) != rest.size()) return fail("read error (file shorter than its length)");
  f.reset();
  if (!FromFileBytes(fileHeader, std::move(rest), image, reason, limits)) {
    image.Free();
    return fail(reason);
  }
  return 1;
}

int ReadBmpMemory(const uint8_t* data, size_t size, DibImage& image, std::string* error, const ImageLimits& limits) {
  std::string reason;
  if (size < 14) reason = "not a BMP file (shorter than 14 bytes)";
  else if (size > limits.maxBytes) reason = limits.MemoryRefusal(size, "file of " + std::to_string(size) + " bytes");
  else if (FromFileBytes(data, std::vector<uint8_t>(data + 14, data + size), image, reason, limits)) return 1;
  image.Free();
  if (error) *error = reason;
  return 0;
}
