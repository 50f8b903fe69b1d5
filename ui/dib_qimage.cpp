#include "ui/dib_qimage.h"

#include <cstring>

#include "imaging/dib_image.h"
#include "imaging/transparency.h"

QImage DibToQImage(const DibImage& image) {
  if (image.Empty() || image.Width() <= 0 || image.Height() <= 0) return QImage();
  const int w = image.Width(), h = image.Height();
  const int bits = image.BitCount();
  const DibRowTable rows(image);
  if (bits == 24) {
    QImage out(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
      const uint8_t* src = rows[y];
      uint8_t* dst = out.scanLine(y);
      for (int x = 0; x < w; ++x) {  // stored blue, green, red
        dst[3 * x] = src[3 * x + 2];
        dst[3 * x + 1] = src[3 * x + 1];
        dst[3 * x + 2] = src[3 * x];
      }
    }
    return out;
  }
  if (bits == 8) {
    QImage out(w, h, QImage::Format_Indexed8);
    QList<QRgb> table(256, qRgb(0, 0, 0));
    // The colour table follows the header as blue, green, red, reserved.
    const std::vector<uint8_t>& packed = image.Packed();
    const size_t header = size_t(image.HeaderSize());
    const int entries = image.ColorCount();
    const size_t quad = header == 12 ? 3 : 4;
    for (int i = 0; i < entries && i < 256; ++i) {
      const size_t at = header + size_t(i) * quad;
      if (at + 2 >= packed.size()) break;
      table[i] = qRgb(packed[at + 2], packed[at + 1], packed[at]);
    }
    out.setColorTable(table);
    for (int y = 0; y < h; ++y) std::memcpy(out.scanLine(y), rows[y], size_t(w));
    return out;
  }
  return QImage();
}

QImage RgbaToQImage(const RgbaPicture& picture) {
  if (picture.Empty()) return {};
  const QImage view(picture.pixels.data(), picture.width, picture.height, picture.width * 4,
                    QImage::Format_RGBA8888);
  return view.copy();
}
