#include "imaging/export.h"

#include <cctype>
#include <filesystem>

#include "imaging/codecs/gif_writer.h"
#include "imaging/codecs/jpeg_encoder.h"
#include "imaging/codecs/png_encoder.h"
#include "imaging/codecs/webp_codec.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"

namespace fs = std::filesystem;

std::string FileNameExtension(const std::string& path) {
  const std::string name = fs::path(path).filename().string();
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return "";
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

int DibImage::SaveAs(const std::string& path, int transparentIndex, int bitCount, const ExportOptions& options) {
  (void)transparentIndex;  // the GIF branch decides transparency from options.backdropKind
  const std::string ext = FileNameExtension(path);
  if (ext == "bmp") return WriteBmp(*this, path, options.output);
  if (ext == "gif") {
    if (Empty()) return 0;
    if (!HasPalette() || BitCount() > 8)
      throw GraphicsException(path + ": a GIF needs a picture of 256 colours or fewer");
    const int transparent = options.backdropKind == 1 ? 0 : -1;
    const int bits = options.gifBitsPerPixel ? options.gifBitsPerPixel : GifBitsPerPixelFor(*this, transparent);
    return SaveGif(*this, path, 0, transparent, bits, options.output);
  }
  if (ext == "jpg" || ext == "jpeg") {
    JpegWriteOptions jpeg;
    jpeg.compression = options.jpegCompression;
    jpeg.progressive = options.jpegProgressive;
    jpeg.output = options.output;
    if (WriteJpeg(*this, path, jpeg) != 1) throw GraphicsException(path + ": the JPEG writer failed");
    return 1;
  }
  if (ext == "webp") return WriteWebp(*this, path, options.webpQuality, options.output);
  if (ext == "png") {
    PngWriteOptions png;
    png.smallest = options.pngSmall;
    png.output = options.output;
    const int ok = bitCount == 24 ? WritePngTrueColor(*this, path, png) : WritePng256(*this, path, png);
    if (ok != 1) throw GraphicsException(path + ": the PNG writer failed");
    return 1;
  }
  return 0;
}
