#include "app/save_rules.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "document/plaquet_document.h"
#include "raster/engine_context.h"
#include "engine/render_pipeline.h"
#include "imaging/codecs/gif_writer.h"
#include "imaging/codecs/jpeg_encoder.h"
#include "imaging/codecs/png_encoder.h"
#include "imaging/export.h"
#include "imaging/graphics_exception.h"

namespace {

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return s;
}

// A '.' fourth from the end, inside the file name (folder names never count) and not the
// name's first character.
bool HasFourCharExtension(const std::string& path) {
  if (path.size() < 5 || path[path.size() - 4] != '.') return false;
  const char before = path[path.size() - 5];
  return before != '/' && path.find('/', path.size() - 4) == std::string::npos;
}

int TransparentIndex(const PlaquetDocument& doc) {
  return doc.currentStyle.backdropKind == kBackdropTransparent ? 0 : -1;
}

// The colour depth a type is written at, after the render it needs.
int PrepareForWriting(PlaquetDocument& doc, EngineContext& ctx, const SaveSettings& settings) {
  switch (settings.type) {
    case Gif16:
      RenderReduced(doc, ctx, 16);
      return 8;
    case Gif256:
    case GifThroughConverter:
      RenderReduced(doc, ctx, 256);
      return 8;
    case Png256:
      // The 256-colour writer quantizes a true-colour picture itself, or writes an 8-bit one
      // with its own palette; both are sound.
      return 8;
    case Bmp:
      if (settings.colours == 16 || settings.colours == 256) {
        RenderReduced(doc, ctx, settings.colours);
        return 8;
      }
      [[fallthrough]];
    case Jpeg:
    case PngTrueColor:
      // A reduced picture left by an earlier type choice must not be written as true colour.
      if (ctx.g_image.BitCount() != 24) Recompose(doc, ctx);
      return 24;
  }
  return 24;
}

}  // namespace

ExportOptions ExportOptionsFor(const SaveSettings& settings, int32_t backdropKind) {
  ExportOptions options;
  options.backdropKind = backdropKind;
  options.jpegCompression = settings.jpegQuality;
  options.jpegProgressive = settings.jpegProgressive;
  options.pngSmall = settings.pngSmall;
  options.output = settings.output;
  return options;
}

std::optional<ImageFileType> ImageFileTypeFromName(std::string_view name) {
  if (name == "png256") return Png256;
  if (name == "png") return PngTrueColor;
  if (name == "jpeg" || name == "jpg") return Jpeg;
  if (name == "bmp") return Bmp;
  if (name == "gif16") return Gif16;
  if (name == "gif256") return Gif256;
  if (name == "gif") return GifThroughConverter;
  return std::nullopt;
}

const char* ImageFileTypeName(ImageFileType type) {
  switch (type) {
    case Gif16: return "gif16";
    case Gif256: return "gif256";
    case Jpeg: return "jpeg";
    case Bmp: return "bmp";
    case Png256: return "png256";
    case PngTrueColor: return "png";
    case GifThroughConverter: return "gif";
  }
  return "";
}

std::optional<ImageFileType> ImageFileTypeForPath(const std::string& path, int colours) {
  const std::string ext = FileNameExtension(path);
  if (ext == "bmp") return Bmp;
  if (ext == "gif") {
    if (colours == 16) return Gif16;
    if (colours == 256) return Gif256;
    return GifThroughConverter;
  }
  if (ext == "jpg" || ext == "jpeg") return Jpeg;
  if (ext == "png") return colours ? Png256 : PngTrueColor;
  return std::nullopt;
}

const char* ExtensionFor(ImageFileType type) {
  switch (type) {
    case Gif16:
    case Gif256:
    case GifThroughConverter: return ".gif";
    case Jpeg: return ".jpg";
    case Bmp: return ".bmp";
    case Png256:
    case PngTrueColor: return ".png";
  }
  return "";
}

std::string WithExtension(const std::string& path, const std::string& extension) {
  if (HasFourCharExtension(path)) return path.substr(0, path.size() - 4) + extension;
  return path + extension;
}

std::string ChangeExtensionIfNamed(const std::string& path, const std::string& extension) {
  if (path.empty()) return path;
  return WithExtension(path, extension);
}

std::string PressedButtonName(const std::string& name) {
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name + "_";
  return name.substr(0, dot) + "_" + name.substr(dot);
}

std::string BaseName(const std::string& path) {
  return HasFourCharExtension(path) ? path.substr(0, path.size() - 4) : path;
}

void RenderForType(PlaquetDocument& doc, EngineContext& ctx, const SaveSettings& settings) {
  switch (settings.type) {
    case Gif16: RenderReduced(doc, ctx, 16); break;
    case Gif256: RenderReduced(doc, ctx, 256); break;
    case Png256:
      Recompose(doc, ctx);
      RenderReduced(doc, ctx, 256);
      break;
    case Bmp:
      if (settings.colours == 16 || settings.colours == 256) {
        RenderReduced(doc, ctx, settings.colours);
        break;
      }
      Recompose(doc, ctx);
      break;
    case Jpeg:
    case PngTrueColor: Recompose(doc, ctx); break;
    case GifThroughConverter: break;
  }
}

std::vector<std::string> OutputFileNames(const PlaquetDocument& doc, const std::string& outputPath,
                                         const SaveSettings& settings) {
  // A name that already carries the type's extension (in any case, or ".jpeg") is kept as typed.
  const std::string ext = ExtensionFor(settings.type);
  const std::string upPath = Upper(outputPath);
  const bool keep = (upPath.size() > ext.size() && upPath.ends_with(Upper(ext))) ||
                    (settings.type == Jpeg && upPath.size() > 5 && upPath.ends_with(".JPEG"));
  std::vector<std::string> names{keep ? outputPath : WithExtension(outputPath, ext)};
  if (doc.pressedButton) names.push_back(PressedButtonName(names.front()));
  return names;
}

std::vector<std::string> WriteOutputFiles(PlaquetDocument& doc, EngineContext& ctx, const std::string& outputPath,
                                          const SaveSettings& settings) {
  const int bitCount = PrepareForWriting(doc, ctx, settings);
  const std::vector<std::string> names = OutputFileNames(doc, outputPath, settings);
  const ExportOptions options = ExportOptionsFor(settings, doc.currentStyle.backdropKind);
  const int transparent = TransparentIndex(doc);
  std::vector<std::string> written;
  for (size_t i = 0; i < names.size(); ++i) {
    DibImage& picture = i == 0 ? ctx.g_image : ctx.g_pressedImage;
    if (picture.Empty() || picture.Width() <= 0 || picture.Height() <= 0)
      throw GraphicsException(names[i] + ": the picture is empty (nothing to draw)");
    if (!picture.SaveAs(names[i], transparent, bitCount, options))
      throw GraphicsException(names[i] + ": unknown file type");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(names[i], ec) || std::filesystem::file_size(names[i], ec) == 0)
      throw GraphicsException(names[i] + ": the file was not written");
    written.push_back(names[i]);
  }
  return written;
}

int64_t CalculateFileSize(PlaquetDocument& doc, EngineContext& ctx, const SaveSettings& settings) {
  const std::string path = "size";  // named in messages only: nothing reaches the disk
  uint64_t size = 0;
  OutputPolicy counting;
  counting.countOnly = &size;
  const DibImage& picture = ctx.g_image;
  const int transparent = TransparentIndex(doc);
  switch (settings.type) {
    case Gif16: SaveGif(picture, path, 0, transparent, 4, counting); break;
    case Gif256:
    case GifThroughConverter:
      SaveGif(picture, path, 0, transparent, GifBitsPerPixelFor(picture, transparent), counting);
      break;
    case Jpeg: {
      JpegWriteOptions jpeg;
      jpeg.compression = settings.jpegQuality;
      jpeg.progressive = settings.jpegProgressive;
      jpeg.output = counting;
      WriteJpeg(picture, path, jpeg);
      break;
    }
    case Bmp: WriteBmp(picture, path, counting); break;
    case Png256: WritePng256(picture, path, PngWriteOptions{settings.pngSmall, counting}); break;
    case PngTrueColor: WritePngTrueColor(picture, path, PngWriteOptions{settings.pngSmall, counting}); break;
  }
  return int64_t(size);
}
