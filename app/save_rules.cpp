#include "app/save_rules.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "document/plaquet_document.h"
#include "raster/engine_context.h"
#include "engine/render_pipeline.h"
#include "engine/render_scale.h"
#include "raster/render_error.h"
#include "imaging/codecs/gif_writer.h"
#include "imaging/codecs/jpeg_encoder.h"
#include "imaging/codecs/png_encoder.h"
#include "imaging/codecs/webp_codec.h"
#include "imaging/color_reduction.h"
#include "imaging/transparency.h"
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
      if (ctx.image.BitCount() != 24) Recompose(doc, ctx);
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
  const PngWriteOptions png{settings.pngSmall, options.output};
  switch (settings.type) {
    case PngTrueColor: WritePngRgba(rgba, name, png); return;
    case Png256: WritePng256Rgba(rgba, name, png); return;
    case Webp: WriteWebpRgba(rgba, name, settings.webpQuality, options.output); return;
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
  options.jpegCompression = settings.jpegQuality;
  options.jpegProgressive = settings.jpegProgressive;
  options.pngSmall = settings.pngSmall;
  options.webpQuality = settings.webpQuality;
  options.gifBitsPerPixel = GifBitsPerPixel(settings.type);
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
  const std::string ext = FileNameExtension(path);
  if (ext == "bmp") return Bmp;
  if (ext == "gif") {
    if (colours == 16) return Gif16;
    if (colours == 256) return Gif256;
    return GifThroughConverter;
  }
  if (ext == "jpg" || ext == "jpeg") return Jpeg;
  if (ext == "png") return colours ? Png256 : PngTrueColor;
  if (ext == "webp") return Webp;
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

namespace {

std::vector<std::string> NamesAtOneScale(const PlaquetDocument& doc, const std::string& outputPath,
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

void WriteRendered(PlaquetDocument& doc, EngineContext& ctx, const std::vector<std::string>& names,
                   const SaveSettings& settings, double scale, std::vector<std::string>& written,
                   std::vector<WrittenFile>* files) {
  const int bitCount = PrepareForWriting(doc, ctx, settings);
  const ExportOptions options = ExportOptionsFor(settings, doc.currentStyle.backdropKind);
  const int transparent = TransparentIndex(doc);
  for (size_t i = 0; i < names.size(); ++i) {
    DibImage& picture = i == 0 ? ctx.image : ctx.pressedImage;
    const RgbaPicture& rgba = i == 0 ? ctx.rgba : ctx.pressedRgba;
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
    if (files) files->push_back({names[i], scale, i > 0, picture.Width(), picture.Height()});
  }
}

}  // namespace

std::string ScaledName(const std::string& name, double scale) {
  if (scale == 1) return name;
  const size_t slash = name.find_last_of('/');
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == 0 ||
      (slash != std::string::npos && dot == slash + 1))
    dot = name.size();
  return name.substr(0, dot) + "@" + ScaleText(scale) + "x" + name.substr(dot);
}

std::vector<std::string> OutputFileNames(const PlaquetDocument& doc, const std::string& outputPath,
                                         const SaveSettings& settings) {
  const std::vector<std::string> names = NamesAtOneScale(doc, outputPath, settings);
  if (settings.scales.empty()) return names;
  std::vector<std::string> all;
  for (double s : settings.scales)
    for (const std::string& n : names) all.push_back(ScaledName(n, s));
  return all;
}

std::vector<std::string> WriteOutputFiles(PlaquetDocument& doc, EngineContext& ctx, const std::string& outputPath,
                                          const SaveSettings& settings, std::vector<WrittenFile>* files) {
  const std::vector<std::string> names = NamesAtOneScale(doc, outputPath, settings);
  std::vector<std::string> written;
  if (settings.scales.empty()) {
    WriteRendered(doc, ctx, names, settings, ctx.renderScale, written, files);
    return written;
  }
  const double own = ctx.renderScale;
  try {
    for (double s : settings.scales) {
      ctx.renderScale = s;
      RenderPreview(doc, ctx);
      std::vector<std::string> scaled;
      for (const std::string& n : names) scaled.push_back(ScaledName(n, s));
      try {
        WriteRendered(doc, ctx, scaled, settings, s, written, files);
      } catch (const RenderError& e) {
        throw GraphicsException(scaled.front() + ": " + e.what());
      }
    }
  } catch (const RenderError& e) {
    const std::string name = ScaledName(names.front(), ctx.renderScale);
    ctx.renderScale = own;
    doc.previewDirty = true;
    throw GraphicsException(name + ": " + e.what());
  } catch (...) {
    ctx.renderScale = own;
    doc.previewDirty = true;
    throw;
  }
  ctx.renderScale = own;
  // The context holds the picture at the document's own scale again, as before the call.
  if (settings.scales.back() != own) RenderPreview(doc, ctx);
  return written;
}

int64_t CalculateFileSize(PlaquetDocument& doc, EngineContext& ctx, const SaveSettings& settings) {
  const std::string path = "size";  // named in messages only: nothing reaches the disk
  uint64_t size = 0;
  OutputPolicy counting;
  counting.countOnly = &size;
  const DibImage& picture = ctx.image;
  const int transparent = TransparentIndex(doc);
  bool measured = false;
  if (transparent == 0) {
    // Measured from the true-colour picture and its alpha, as WriteOutputFiles writes it; a
    // reduced picture the type's render left for the preview is kept as it was.
    DibImage reduced, reducedPressed;
    const bool recompose = ctx.rgba.Empty() || picture.BitCount() != 24;
    if (recompose) {
      reduced = ctx.image;
      reducedPressed = ctx.pressedImage;
      Recompose(doc, ctx);
    }
    const RgbaPicture& rgba = ctx.rgba;
    measured = !rgba.Empty();
    if (!measured) {
    } else if (IsGif(settings.type)) {
      const DibImage gif = TransparentGif(ctx.image, rgba, doc, ctx, settings, path);
      SaveGif(gif, path, 0, 0, GifBitsPerPixel(settings.type), counting);
    } else if (settings.type == Bmp || settings.type == Jpeg) {
      DibImage shown = Shown(ctx.image, rgba, settings);
      if (settings.type == Bmp && (settings.colours == 16 || settings.colours == 256))
        ReduceImage(shown, settings.colours, settings.matte.value_or(doc.currentStyle.backdropColour),
                    ctx.settings.reduceColorMethod);
      if (settings.type == Bmp) {
        WriteBmp(shown, path, counting);
      } else {
        JpegWriteOptions jpeg;
        jpeg.compression = settings.jpegQuality;
        jpeg.progressive = settings.jpegProgressive;
        jpeg.output = counting;
        WriteJpeg(shown, path, jpeg);
      }
    } else {
      ExportOptions options = ExportOptionsFor(settings, 1);
      options.output = counting;
      WriteTransparent(ctx.image, rgba, doc, ctx, path, settings, options);
    }
    if (recompose) {
      ctx.image = std::move(reduced);
      ctx.pressedImage = std::move(reducedPressed);
    }
  }
  switch (measured ? ImageFileType(0) : settings.type) {
    case Gif16:
    case Gif256:
    case GifThroughConverter: SaveGif(picture, path, 0, transparent, GifBitsPerPixel(settings.type), counting); break;
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
    case Webp: WriteWebp(picture, path, settings.webpQuality, counting); break;
    default: break;
  }
  return int64_t(size);
}
