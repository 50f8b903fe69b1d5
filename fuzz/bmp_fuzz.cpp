// Fuzzes the BMP reader (the bytes as a whole file) and the packed-DIB adoption (the bytes as a
// block). Whatever is accepted must be in the store's own form and survive a write and re-read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/dib_image.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckPicture(const DibImage& img) {
  const int bits = img.BitCount();
  Check(bits == 8 || bits == 24);
  Check(img.HeaderSize() == 40 && img.Width() > 0 && img.Height() > 0);
  const size_t table = bits == 8 ? 1024 : 0;
  Check(img.Packed().size() == 40 + table + size_t(img.Stride()) * size_t(img.Height()));
  Check((bits == 8) == (img.Palette().size() == 256));
  DibRowTable rows(img);
  Check(rows.Height() == img.Height());
  volatile uint8_t sink = rows[0][0] ^ rows[rows.Height() - 1][size_t(img.Stride()) - 1];
  (void)sink;
  const std::vector<uint8_t> file = EncodeBmp(img);
  DibImage again;
  Check(ReadBmpMemory(file.data(), file.size(), again) == 1);
  Check(again.Packed() == img.Packed());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DibImage img;
  if (ReadBmpMemory(data, size, img)) CheckPicture(img);
  DibImage block;
  if (block.Adopt(std::vector<uint8_t>(data, data + size))) CheckPicture(block);
  return 0;
}
