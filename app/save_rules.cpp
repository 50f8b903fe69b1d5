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
#include "imaging/codecs/webp_codec.h"
#include "imaging/color_reduction.h"
#include "imaging/transparency.h"
#include "imaging/graphics_exception.h"

namespace {

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return s;
}

bool HasFourCharExtension(const std::string& path) {
  return path.size() >= 4 && path[path.size() - 4] == '.';
}

int TransparentIndex(const PlaquetDocument& doc) {
  return doc.currentStyle.backdropKind == kBackdropTransparent ? 0 : -1;
}

bool IsGif(ImageFileType type) { return type == Gif16 || type == Gif256 || type == GifThroughConverter; }

// The colour depth a type is written at, after the render it needs.
int PrepareForWriting(PlaquetDocument& doc, EngineContext& ctx, const SaveSettings& settings) {
  if (doc.currentStyle.backdropKind == kBackdropTransparent) {
    // Every type starts from the true-colour picture and its alpha.
    Recompose(doc, ctx);
    return 24;
  }
  switch (settings.type) {
    case Gif16:
      RenderReduced(doc, ctx, 16);
      return 8;
    case Gif256:
    case GifThroughConverter:
      RenderReduced(doc, ctx, 256);
      return 8;
    case Png256:
      // Reduced here as for the GIF types, so that a render and a batch give the same file and
      // the colour-reduction preference applies to both.
      RenderReduced(doc, ctx, 256);
      return 8;
    case Bmp:
      if (settings.colours == 16 || settings.colours == 256) {
        RenderReduced(doc, ctx, settings.colours);
        return 8;
      }
      [[fallthrough]];
    case Jpeg:
    case PngTrueColor:
    case Webp:
      // A reduced picture left by an earlier type choice must not be written as true colour.
      if (ctx.g_image.BitCount() != 24) Recompose(doc, ctx);
      return 24;
  }
  return 24;
}

// The picture a type without alpha shows: on the matte when one is given, else on the page.
DibImage Shown(const DibImage& onPage, const RgbaPicture& rgba, const SaveSettings& settings) {
  return settings.matte ? ComposeOnto(rgba, *settings.matte) : onPage;
}

DibImage TransparentGif(const DibImage& onPage, const RgbaPicture& rgba, const PlaquetDocument& doc,
                        const EngineContext& ctx, const SaveSettings& settings, const std::string& name) {
  const int32_t fill = settings.matte.value_or(doc.currentStyle.backdropColour);
  DibImage reduced = ReduceWithTransparentIndex(rgba, Shown(onPage, rgba, settings),
                                                settings.type == Gif16 ? 16 : 256, fill,
                                                ctx.settings.reduceColorMethod);
  if (reduced.Empty()) throw GraphicsException(name + ": not enough memory for the picture");
  return reduced;
}

// Writes one transparent picture as the settings' type.
void WriteTransparent(const DibImage& onPage, const RgbaPicture& rgba, const PlaquetDocument& doc,
                      const EngineContext& ctx, const std::string& name, const SaveSettings& settings,
                      const ExportOptions& options) {
  const PngWriteOptions png{settings.pngSmall};
  switch (settings.type) {
    case PngTrueColor: WritePngRgba(rgba, name, png); return;
    case Png256: WritePng256Rgba(rgba, name, png); return;
    case Webp: WriteWebpRgba(rgba, name, settings.webpQuality); return;
    case Gif16:
    case Gif256:
    case GifThroughConverter:
      if (!TransparentGif(onPage, rgba, doc, ctx, settings, name).SaveAs(name, 0, 8, options))
        throw GraphicsException(name + ": unknown file type");
      return;
    case Bmp:
    case Jpeg: {
      DibImage shown = Shown(onPage, rgba, settings);
      if (settings.type == Bmp && (settings.colours == 16 || settings.colours == 256) &&
          !ReduceImage(shown, settings.colours, settings.matte.value_or(doc.currentStyle.backdropColour),
                       ctx.settings.reduceColorMethod))
        throw GraphicsException(name + ": not enough memory for the picture");
      if (!shown.SaveAs(name, -1, shown.BitCount(), options)) throw GraphicsException(name + ": unknown file type");
      return;
    }
  }
}

}  // namespace

int GifBitsPerPixel(ImageFileType type) {
  switch (type) {
    case Gif16: return 4;
    case Gif256:
    case GifThroughConverter: return 8;
    default: return 0;
  }
}

ExportOptions ExportOptionsFor(const SaveSettings& settings, int32_t backdropKind) {
  ExportOptions options;
  options.backdropKind = backdropKind;
  options.converterFolder = settings.converterFolder;
  options.jpegCompression = settings.jpegQuality;
  options.jpegProgressive = settings.jpegProgressive;
  options.pngSmall = settings.pngSmall;
  options.webpQuality = settings.webpQuality;
  options.runProcess = settings.runProcess;
  options.gifBitsPerPixel = GifBitsPerPixel(settings.type);
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
  if (name == "webp") return Webp;
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
    case Webp: return "webp";
  }
  return "";
}

std::optional<ImageFileType> ImageFileTypeForPath(const std::string& path, int colours) {
  const std::string up = Upper(path);
  if (up.find(".BMP") != std::string::npos) return Bmp;
  if (up.find(".GIF") != std::string::npos) {
    if (colours == 16) return Gif16;
    if (colours == 256) return Gif256;
    return GifThroughConverter;
  }
  if (up.find(".JPG") != std::string::npos || up.find(".JPEG") != std::string::npos) return Jpeg;
  if (up.find(".PNG") != std::string::npos) return colours ? Png256 : PngTrueColor;
  if (up.find(".WEBP") != std::string::npos) return Webp;
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
    case Webp: return ".webp";
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
    case PngTrueColor:
    case Webp: Recompose(doc, ctx); break;
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
    const RgbaPicture& rgba = i == 0 ? ctx.g_rgba : ctx.g_pressedRgba;
    if (picture.Empty() || picture.Width() <= 0 || picture.Height() <= 0)
      throw GraphicsException(names[i] + ": the picture is empty (nothing to draw)");
    if (transparent == 0 && !rgba.Empty())
      WriteTransparent(picture, rgba, doc, ctx, names[i], settings, options);
    else if (!picture.SaveAs(names[i], transparent, bitCount, options))
      throw GraphicsException(names[i] + ": unknown file type");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(names[i], ec) || std::filesystem::file_size(names[i], ec) == 0)
      throw GraphicsException(names[i] + ": the file was not written");
    written.push_back(names[i]);
  }
  return written;
}

int64_t CalculateFileSize(PlaquetDocument& doc, EngineContext& ctx, const SaveSettings& settings,
                          const std::string& cacheFolder) {
  const std::string path = cacheFolder + "fs.zzz";
  std::error_code ec;
  std::filesystem::remove(path, ec);
  const DibImage& picture = ctx.g_image;
  const int transparent = TransparentIndex(doc);
  bool measured = false;
  if (transparent == 0) {
    // Measured from the true-colour picture and its alpha, as WriteOutputFiles writes it.
    if (ctx.g_rgba.Empty() || picture.BitCount() != 24) Recompose(doc, ctx);
    const RgbaPicture& rgba = ctx.g_rgba;
    measured = !rgba.Empty();
    if (!measured) {
    } else if (IsGif(settings.type)) {
      const DibImage gif = TransparentGif(ctx.g_image, rgba, doc, ctx, settings, path);
      SaveGif(gif, path, 0, 0, GifBitsPerPixel(settings.type));
    } else if (settings.type == Bmp || settings.type == Jpeg) {
      DibImage shown = Shown(ctx.g_image, rgba, settings);
      if (settings.type == Bmp && (settings.colours == 16 || settings.colours == 256))
        ReduceImage(shown, settings.colours, settings.matte.value_or(doc.currentStyle.backdropColour),
                    ctx.settings.reduceColorMethod);
      if (settings.type == Bmp) {
        WriteBmp(shown, path);
      } else {
        JpegWriteOptions jpeg;
        jpeg.compression = settings.jpegQuality;
        jpeg.progressive = settings.jpegProgressive;
        WriteJpeg(shown, path, jpeg);
      }
    } else {
      WriteTransparent(ctx.g_image, rgba, doc, ctx, path, settings, ExportOptionsFor(settings, 1));
    }
  }
  switch (measured ? ImageFileType(0) : settings.type) {
    case Gif16:
    case Gif256:
    case GifThroughConverter: SaveGif(picture, path, 0, transparent, GifBitsPerPixel(settings.type)); break;
    case Jpeg: {
      JpegWriteOptions jpeg;
      jpeg.compression = settings.jpegQuality;
      jpeg.progressive = settings.jpegProgressive;
      WriteJpeg(picture, path, jpeg);
      break;
    }
    case Bmp: WriteBmp(picture, path); break;
    case Png256: WritePng256(picture, path, PngWriteOptions{settings.pngSmall}); break;
    case PngTrueColor: WritePngTrueColor(picture, path, PngWriteOptions{settings.pngSmall}); break;
    case Webp: WriteWebp(picture, path, settings.webpQuality); break;
    default: break;
  }
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : int64_t(size);
}
