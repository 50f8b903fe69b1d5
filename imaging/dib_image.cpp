#include "imaging/dib_image.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <new>

#include "imaging/bitmap_image.h"
#include "imaging/codecs/gif_decoder.h"
#include "imaging/codecs/jpeg_decoder.h"
#include "imaging/codecs/png_decoder.h"
#include "imaging/codecs/webp_codec.h"
#include "imaging/dib_decoder.h"
#include "imaging/export.h"
#include "imaging/graphics_exception.h"

namespace {

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t Get16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

void Put32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

}  // namespace

int DibImage::Create(int32_t width, int32_t height, int bitCount, const uint8_t* paletteBgr) {
  Free();
  if (width < 0 || height < 0 || (bitCount != 8 && bitCount != 24)) return 0;
  // A picture without pixels is an empty image, not a header without rows.
  if (width == 0 || height == 0) return 1;
  if (uint64_t(width) * uint64_t(height) > BitmapImage::kMaxPixels) return 0;
  const uint64_t stride = ((uint64_t(bitCount) * uint64_t(width) + 31) / 32) * 4;
  const uint64_t table = bitCount == 8 ? 1024 : 0;
  const uint64_t total = 40 + table + stride * uint64_t(height);
  try {
    dib_.assign(size_t(total), 0);
  } catch (const std::bad_alloc&) {
    dib_.clear();
    return 0;
  }
  uint8_t* h = dib_.data();
  Put32(h + 0, 40);
  Put32(h + 4, uint32_t(width));
  Put32(h + 8, uint32_t(height));
  Put16(h + 12, 1);
  Put16(h + 14, uint16_t(bitCount));
  Put32(h + 16, 0);
  Put32(h + 20, uint32_t(stride * uint64_t(height)));
  Put32(h + 32, bitCount == 8 ? 256 : 0);
  if (bitCount == 8) {
    uint8_t* q = h + 40;
    for (int i = 0; i < 256; ++i, q += 4) {
      if (paletteBgr) {
        q[0] = paletteBgr[i * 3];
        q[1] = paletteBgr[i * 3 + 1];
        q[2] = paletteBgr[i * 3 + 2];
      } else {
        q[0] = q[1] = q[2] = uint8_t(i);
      }
      q[3] = 0;
    }
  }
  Refresh(bitCount == 8);
  return 1;
}

void DibImage::Free() {
  dib_.clear();
  dib_.shrink_to_fit();
  palette_.clear();
  width_ = height_ = 0;
}

int DibImage::HeaderSize() const {
  if (dib_.size() < 4) return 0;
  return Get32(dib_, 0) == 12 ? 12 : 40;
}

int DibImage::BitCount() const {
  const int hs = HeaderSize();
  if (hs == 0) return -1;
  if (hs == 12) return dib_.size() >= 12 ? Get16(dib_, 10) : -1;
  return dib_.size() >= 16 ? Get16(dib_, 14) : -1;
}

int DibImage::ColorCount() const {
  const int hs = HeaderSize();
  if (hs == 40 && dib_.size() >= 36) {
    const uint32_t used = Get32(dib_, 32);
    if (used != 0) return int(std::min<uint32_t>(used, 1u << 16));
  }
  switch (BitCount()) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

int32_t DibImage::Stride() const {
  const int bits = BitCount();
  if (bits <= 0) return 0;
  return int32_t(((int64_t(bits) * width_ + 31) / 32) * 4);
}

uint8_t* DibImage::Bits() {
  return const_cast<uint8_t*>(static_cast<const DibImage*>(this)->Bits());
}

const uint8_t* DibImage::Bits() const {
  const int hs = HeaderSize();
  if (hs == 0) return nullptr;
  const size_t at = size_t(hs) + size_t(ColorCount()) * (hs == 12 ? 3 : 4);
  if (at > dib_.size()) return nullptr;
  return dib_.data() + at;
}

int DibImage::Refresh(bool rebuildPalette) {
  const int hs = HeaderSize();
  if (hs == 12 && dib_.size() >= 12) {
    width_ = Get16(dib_, 4);
    height_ = Get16(dib_, 6);
  } else if (hs == 40 && dib_.size() >= 12) {
    width_ = int32_t(Get32(dib_, 4));
    height_ = int32_t(Get32(dib_, 8));
  } else {
    width_ = height_ = 0;
  }
  if (!rebuildPalette) return 1;
  palette_.clear();
  const int count = ColorCount();
  if (count == 0) return 0;
  const size_t entry = hs == 12 ? 3 : 4;
  if (size_t(hs) + size_t(count) * entry > dib_.size()) return 0;
  std::vector<PaletteEntry> made(static_cast<size_t>(count));
  const uint8_t* q = dib_.data() + hs;
  for (int k = 0; k < count; ++k, q += entry) made[size_t(k)] = PaletteEntry{q[2], q[1], q[0]};
  palette_ = std::move(made);
  return 1;
}

int DibImage::Adopt(std::vector<uint8_t> packed, std::string* error) {
  std::vector<uint8_t> canonical;
  std::string reason;
  if (!DecodeDib(std::move(packed), -1, canonical, reason)) {
    Free();
    if (error) *error = reason;
    return 0;
  }
  Free();
  dib_ = std::move(canonical);
  Refresh(BitCount() == 8);
  return 1;
}

int DibImage::Load(const std::string& path, std::string* error, const ImageLimits& limits) {
  return LoadAs(path, FileNameExtension(path), error, limits);
}

int DibImage::LoadAs(const std::string& path, const std::string& extension, std::string* error,
                     const ImageLimits& limits) {
  // The file name's own extension chooses; folder names never do.
  enum class Reader { None, Bmp, Gif, Jpeg, Png, Webp } reader = Reader::None;
  if (extension == "bmp") reader = Reader::Bmp;
  else if (extension == "gif" || extension == "git") reader = Reader::Gif;
  else if (extension == "jpg" || extension == "jpeg") reader = Reader::Jpeg;
  else if (extension == "png") reader = Reader::Png;
  else if (extension == "webp") reader = Reader::Webp;

  std::string reason;
  int ok = 0;
  struct stat st {};
  // A folder or a FIFO is no picture: say so rather than what a reader makes of its size, and
  // never open a FIFO, which would wait for a writer.
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    if (error) *error = path + (S_ISDIR(st.st_mode) ? ": a folder, not a picture" : ": not a regular file");
    Free();
    return 0;
  }
  try {
    switch (reader) {
      case Reader::None: reason = path + ": unknown picture type"; break;
      case Reader::Bmp: ok = ReadBmp(path, *this, &reason, limits); break;
      case Reader::Gif: ok = ReadGif(path, *this, limits); break;
      case Reader::Jpeg: ok = ReadJpeg(path, *this, limits); break;
      case Reader::Png: ok = ReadPng(path, *this, limits); break;
      case Reader::Webp: ok = ReadWebp(path, *this, limits); break;
    }
    if (!ok && reason.empty()) reason = path + ": cannot read the picture";
  } catch (const std::exception& e) {
    ok = 0;
    reason = e.what();
    if (reason.find(path) == std::string::npos) reason = path + ": " + reason;
  }
  if (!ok) {
    Free();
    if (error) *error = reason;
    return 0;
  }
  return 1;
}

DibRowTable::DibRowTable(DibImage& image) : DibRowTable(static_cast<const DibImage&>(image)) {}

DibRowTable::DibRowTable(const DibImage& image) {
  const uint8_t* bits = image.Bits();
  const int32_t w = image.Width(), h = image.Height();
  const int b = image.BitCount();
  if (!bits || w <= 0 || h <= 0 || b <= 0) return;
  stride_ = int(((int64_t(b) * w + 31) / 32) * 4);
  const uint8_t* end = image.Packed().data() + image.Packed().size();
  // A block edited by hand may be shorter than its header claims; give no rows rather than
  // pointers past its end.
  if (uint64_t(end - bits) < uint64_t(stride_) * uint64_t(h)) {
    stride_ = 0;
    return;
  }
  rows_.resize(size_t(h));
  uint8_t* base = const_cast<uint8_t*>(bits);
  for (int32_t r = 0; r < h; ++r) rows_[size_t(r)] = base + size_t(h - 1 - r) * size_t(stride_);
}
