// The BMP writer: a 14-byte file header in front of the packed DIB.
#include <cstring>

#include "imaging/atomic_file.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"

namespace {

uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> EncodeBmp(const DibImage& image) {
  // A picture without pixels makes no readable BMP; nothing is written for it.
  if (image.Empty() || image.Width() <= 0 || image.Height() <= 0) return {};
  const std::vector<uint8_t>& dib = image.Packed();
  const uint32_t headerSize = uint32_t(image.HeaderSize());
  const bool core = headerSize == 12;
  const uint64_t table = uint64_t(image.ColorCount()) * (core ? 3 : 4);
  const uint32_t compression = core ? 0 : U32(dib.data() + 16);
  const uint64_t bits = uint64_t(image.BitCount());
  uint64_t imageSize = 0;
  if (compression == 1 || compression == 2) {
    imageSize = U32(dib.data() + 20);
  } else {
    imageSize = ((bits * uint64_t(image.Width()) + 31) / 32) * uint64_t(image.Height()) * 4;
  }
  const uint64_t dibBytes = headerSize + table + imageSize;
  if (dibBytes > dib.size() || dibBytes + 14 > UINT32_MAX)
    throw GraphicsException("BMP writer: the picture's block is shorter than its header says");

  std::vector<uint8_t> out(size_t(dibBytes) + 14);
  out[0] = 'B';
  out[1] = 'M';
  Put32(&out[2], uint32_t(dibBytes + 14));
  Put32(&out[10], uint32_t(14 + headerSize + table));
  std::memcpy(&out[14], dib.data(), size_t(dibBytes));
  if (!core) Put32(&out[14 + 20], uint32_t(imageSize));
  return out;
}

int WriteBmp(const DibImage& image, const std::string& path, const OutputPolicy& output) {
  std::vector<uint8_t> bytes;
  try {
    bytes = EncodeBmp(image);
  } catch (const GraphicsException& e) {
    throw GraphicsException(path + ": " + e.what());
  }
  if (bytes.empty()) return 0;
  AtomicFileWriter file(path, output);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
  return 1;
}
