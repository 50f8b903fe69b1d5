#pragma once
// libpng and zlib as independent peers for the PNG tests: decode what we write, write what we
// read, and take PNG files apart into chunks.
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace pngpeer {

struct Chunk {
  std::string type;
  std::vector<uint8_t> data;
  bool crcOk = true;
};

inline uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
inline void PutBe32(std::vector<uint8_t>& v, uint32_t x) {
  for (int s = 24; s >= 0; s -= 8) v.push_back(uint8_t(x >> s));
}

// Splits a file after its signature; stops at the first chunk that does not fit.
inline std::vector<Chunk> ParseChunks(const std::vector<uint8_t>& file) {
  std::vector<Chunk> out;
  size_t at = 8;
  while (at + 12 <= file.size()) {
    uint32_t len = Be32(&file[at]);
    if (file.size() - at - 12 < len) break;
    Chunk c;
    c.type.assign(reinterpret_cast<const char*>(&file[at + 4]), 4);
    c.data.assign(file.begin() + long(at + 8), file.begin() + long(at + 8 + len));
    uLong crc = crc32(0, &file[at + 4], uInt(len + 4));
    c.crcOk = crc == Be32(&file[at + 8 + len]);
    out.push_back(std::move(c));
    at += 12 + len;
  }
  return out;
}

// A file from chunks, CRCs computed by zlib.
inline std::vector<uint8_t> BuildPng(const std::vector<Chunk>& chunks) {
  std::vector<uint8_t> f = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  for (const Chunk& c : chunks) {
    PutBe32(f, uint32_t(c.data.size()));
    size_t start = f.size();
    f.insert(f.end(), c.type.begin(), c.type.end());
    f.insert(f.end(), c.data.begin(), c.data.end());
    PutBe32(f, uint32_t(crc32(0, &f[start], uInt(c.data.size() + 4))));
  }
  return f;
}

inline std::vector<uint8_t> Ihdr(uint32_t w, uint32_t h, int depth, int colorType, int interlace = 0) {
  std::vector<uint8_t> d;
  PutBe32(d, w);
  PutBe32(d, h);
  d.push_back(uint8_t(depth));
  d.push_back(uint8_t(colorType));
  d.push_back(0);
  d.push_back(0);
  d.push_back(uint8_t(interlace));
  return d;
}

inline std::vector<uint8_t> ZlibCompress(const std::vector<uint8_t>& in, int level = 6) {
  uLongf n = compressBound(uLong(in.size()));
  std::vector<uint8_t> out(n);
  compress2(out.data(), &n, in.data(), uLong(in.size()), level);
  out.resize(n);
  return out;
}

inline bool ZlibUncompress(const std::vector<uint8_t>& in, std::vector<uint8_t>& out, size_t expected) {
  out.assign(expected + 1, 0);
  uLongf n = uLongf(out.size());
  if (uncompress(out.data(), &n, in.data(), uLong(in.size())) != Z_OK) return false;
  out.resize(n);
  return true;
}

struct Decoded {
  bool ok = false;
  std::string error;
  uint32_t width = 0, height = 0;
  int colorType = -1, bitDepth = 0, interlace = 0;
  std::vector<png_color> palette;
  std::vector<uint8_t> rgba;  // 8-bit RGBA, top row first: palette expanded, tRNS as alpha, high bytes of 16-bit
};

struct MemoryReader {
  const std::vector<uint8_t>* file;
  size_t at;
};

inline void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (r->at + n > r->file->size()) png_error(png, "read past end");
  std::memcpy(out, r->file->data() + r->at, n);
  r->at += n;
}

inline void OnError(png_structp png, png_const_charp msg) {
  auto* d = static_cast<Decoded*>(png_get_error_ptr(png));
  d->error = msg;
  png_longjmp(png, 1);
}
inline void OnWarning(png_structp, png_const_charp) {}

inline Decoded Decode(const std::vector<uint8_t>& file) {
  Decoded d;
  MemoryReader reader{&file, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d, OnError, OnWarning);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    d.ok = false;
    return d;
  }
  png_set_read_fn(png, &reader, ReadFromMemory);
  png_read_info(png, info);
  d.width = png_get_image_width(png, info);
  d.height = png_get_image_height(png, info);
  d.colorType = png_get_color_type(png, info);
  d.bitDepth = png_get_bit_depth(png, info);
  d.interlace = png_get_interlace_type(png, info);
  png_colorp pal = nullptr;
  int count = 0;
  if (png_get_PLTE(png, info, &pal, &count)) d.palette.assign(pal, pal + count);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  d.rgba.assign(size_t(d.width) * d.height * 4, 0);
  for (uint32_t y = 0; y < d.height; ++y) rows.push_back(d.rgba.data() + size_t(y) * d.width * 4);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  d.ok = true;
  return d;
}

struct Picture {
  uint32_t width = 0, height = 0;
  int colorType = 2, bitDepth = 8, interlace = 0;
  std::vector<std::vector<uint8_t>> rows;  // packed samples as the format stores them (16-bit big-endian)
  std::vector<png_color> palette;
  std::vector<uint8_t> paletteAlpha;
  bool hasKey = false;
  png_color_16 key{};
  bool hasBackground = false;
  png_color_16 background{};
  int compression = 6;
};

inline void WriteToMemory(png_structp png, png_bytep data, png_size_t n) {
  auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  v->insert(v->end(), data, data + n);
}
inline void FlushNothing(png_structp) {}

inline std::vector<uint8_t> Encode(Picture& p) {
  std::vector<uint8_t> out;
  Decoded err;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &err, OnError, OnWarning);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, WriteToMemory, FlushNothing);
  png_set_compression_level(png, p.compression);
  png_set_IHDR(png, info, p.width, p.height, p.bitDepth, p.colorType, p.interlace, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!p.palette.empty()) png_set_PLTE(png, info, p.palette.data(), int(p.palette.size()));
  if (!p.paletteAlpha.empty()) png_set_tRNS(png, info, p.paletteAlpha.data(), int(p.paletteAlpha.size()), nullptr);
  if (p.hasKey) png_set_tRNS(png, info, nullptr, 0, &p.key);
  if (p.hasBackground) png_set_bKGD(png, info, &p.background);
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (auto& r : p.rows) rows.push_back(r.data());
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// libpng's default settings (compression 6, its own filter choice) for 8-bit RGB rows.
inline std::vector<uint8_t> EncodeRgbDefault(uint32_t w, uint32_t h, const std::vector<uint8_t>& rgb) {
  Picture p;
  p.width = w;
  p.height = h;
  for (uint32_t y = 0; y < h; ++y) p.rows.emplace_back(rgb.begin() + long(y) * w * 3, rgb.begin() + long(y + 1) * w * 3);
  return Encode(p);
}

}  // namespace pngpeer
