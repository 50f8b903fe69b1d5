#include "imaging/export.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "imaging/codecs/jpeg_encoder.h"
#include "imaging/codecs/png_encoder.h"
#include "imaging/codecs/webp_codec.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"

namespace fs = std::filesystem;

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool Contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

// The converter's BMP goes beside the GIF: the name's three-letter extension becomes "bmp".
std::string ConverterBmpPath(const std::string& gifPath) {
  const std::string name = fs::path(gifPath).filename().string();
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.size() - dot - 1 != 3)
    throw GraphicsException(gifPath + ": a GIF file name needs a three-letter extension");
  return gifPath.substr(0, gifPath.size() - 3) + "bmp";
}

struct FileStamp {
  bool exists = false;
  uintmax_t size = 0;
  fs::file_time_type time{};
  bool operator==(const FileStamp&) const = default;
};

FileStamp Stamp(const std::string& path) {
  std::error_code ec;
  FileStamp s;
  if (!fs::is_regular_file(path, ec)) return s;
  s.exists = true;
  s.size = fs::file_size(path, ec);
  s.time = fs::last_write_time(path, ec);
  return s;
}

int SaveGifThroughConverter(const DibImage& image, const std::string& path, const ExportOptions& options) {
  const std::string bmp = ConverterBmpPath(path);
  if (!options.runProcess) throw GraphicsException(path + ": no GIF converter is available");
  if (!WriteBmp(image, bmp)) return 0;  // empty picture: nothing to convert
  std::vector<std::string> argv{options.converterFolder + "bmp2gif", bmp, path};
  if (options.backdropKind == 1) argv.push_back("-t0");
  if (options.gifBitsPerPixel) argv.push_back("-b" + std::to_string(options.gifBitsPerPixel));
  const FileStamp before = Stamp(path);
  std::string error;
  if (!options.runProcess(argv, &error))
    throw GraphicsException(path + ": the GIF converter failed" + (error.empty() ? "" : ": " + error));
  // Exit status 0 is not enough: the GIF must be there, and not be the file that was there before.
  const FileStamp after = Stamp(path);
  if (!after.exists || after.size == 0 || (before.exists && after == before))
    throw GraphicsException(path + ": the GIF converter wrote no GIF file");
  return 1;
}

}  // namespace

bool GifConverterPresent(const std::string& folder) {
  std::error_code ec;
  const fs::path p = folder + "bmp2gif";
  return fs::is_regular_file(p, ec) && fs::file_size(p, ec) > 0 && !ec;
}

int DibImage::SaveAs(const std::string& path, int transparentIndex, int bitCount, const ExportOptions& options) {
  (void)transparentIndex;  // the GIF branch decides transparency from options.backdropKind
  const std::string name = Upper(path);
  if (Contains(name, ".BMP")) return WriteBmp(*this, path);
  if (Contains(name, ".GIF")) return SaveGifThroughConverter(*this, path, options);
  if (Contains(name, ".JPG") || Contains(name, ".JPEG")) {
    JpegWriteOptions jpeg;
    jpeg.compression = options.jpegCompression;
    jpeg.progressive = options.jpegProgressive;
    if (WriteJpeg(*this, path, jpeg) != 1) throw GraphicsException(path + ": the JPEG writer failed");
    return 1;
  }
  if (Contains(name, ".WEBP")) return WriteWebp(*this, path, options.webpQuality);
  if (Contains(name, ".PNG")) {
    PngWriteOptions png;
    png.smallest = options.pngSmall;
    const int ok = bitCount == 24 ? WritePngTrueColor(*this, path, png) : WritePng256(*this, path, png);
    if (ok != 1) throw GraphicsException(path + ": the PNG writer failed");
    return 1;
  }
  return 0;
}
