#pragma once
// The rules behind saving a picture, shared by the Save and Batch Creation pages and the command
// line: which render each output type needs, how output names are formed, writing the picture
// (and its pressed-button variant), and the size a file would have.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/dib_image.h"

struct EngineContext;
struct PlaquetDocument;

enum ImageFileType : int {
  Gif16 = 2,
  Gif256 = 3,
  Jpeg = 4,
  Bmp = 5,
  Png256 = 6,
  PngTrueColor = 7,
  GifThroughConverter = 8,
  Webp = 9,
};

// The command line's names: png256, png, jpeg, bmp, gif16, gif256, gif, webp.
std::optional<ImageFileType> ImageFileTypeFromName(std::string_view name);
const char* ImageFileTypeName(ImageFileType type);
// The type a file name asks for when no type is given: the file name's last extension (.bmp,
// .gif, .jpg/.jpeg, .png, .webp, any case), as the export decides it. colours 16 or 256 turn .png into
// Png256 and .gif into Gif16/Gif256; 0 = not given.
std::optional<ImageFileType> ImageFileTypeForPath(const std::string& path, int colours = 0);
// ".gif", ".jpg", ".bmp", ".png" or ".webp".
const char* ExtensionFor(ImageFileType type);

// The extension rule of output names: a 4-character extension of the file name (a '.' fourth
// from the end) is replaced, otherwise the extension is appended.
std::string WithExtension(const std::string& path, const std::string& extension);
// The same rule, but an empty path stays empty and is not given an extension.
std::string ChangeExtensionIfNamed(const std::string& path, const std::string& extension);
// photo.gif -> photo_.gif
std::string PressedButtonName(const std::string& name);
// card -> card, card.bmp -> card (a 4-character extension removed)
std::string BaseName(const std::string& path);

struct SaveSettings {
  ImageFileType type = Jpeg;
  int jpegQuality = -1;         // -1: the unscaled tables; else the File Option "Compression" value
  bool jpegProgressive = false;
  bool pngSmall = false;
  int colours = 0;              // 16 or 256 to reduce a BMP; 0 = the type's own depth
  int webpQuality = -1;         // -1: lossless; 0..100 lossy
  // With a transparent backdrop: the colour partly covered pixels are blended onto where the
  // output cannot hold alpha (GIF edges, BMP, JPEG); none = the page colour.
  std::optional<int32_t> matte;
  OutputPolicy output{};        // replace existing files (the default) or refuse to
  // Write the picture at each of these scales (1..4), name@2x.ext for 2 and name.ext for 1; empty:
  // only the picture as last rendered.
  std::vector<double> scales;
};

// photo.png at 2 -> photo@2x.png, at 1.5 -> photo@1.5x.png; at 1 the name stays.
std::string ScaledName(const std::string& name, double scale);

// One file WriteOutputFiles wrote.
struct WrittenFile {
  std::string name;
  double scale = 1;
  bool pressed = false;
  int width = 0, height = 0;
};

// The depth a GIF type is written at: 4 bits for Gif16; 8 for the 256-colour types, whatever
// indexes the picture uses, so the file always has a 256-entry table. 0 for the other types.
int GifBitsPerPixel(ImageFileType type);

// What the export needs to know of the settings; backdropKind is the current style's.
ExportOptions ExportOptionsFor(const SaveSettings& settings, int32_t backdropKind);

// The render a type selection does first (Gif16: RenderReduced(16); Gif256: RenderReduced(256);
// Png256: Recompose then RenderReduced(256); the others Recompose). Needs a full render before.
void RenderForType(PlaquetDocument& doc, EngineContext& ctx, const SaveSettings& settings);

// Writes ctx.image (and ctx.pressedImage under the pressed-button name when the document's
// pressed button is on) under outputPath with the type's extension, after the type's render.
// With a transparent backdrop the alpha pictures decide: RGBA PNG and WebP, tRNS 256-colour PNG,
// GIF with index 0 for the pixels no item painted, BMP and JPEG on the page colour or matte.
// Returns the names written; throws GraphicsException naming the file on any failure. Files are
// written whole or not at all. With settings.scales the document is rendered again at each scale
// (the context's own scale is put back afterwards); `files` receives what was written.
std::vector<std::string> WriteOutputFiles(PlaquetDocument& doc, EngineContext& ctx, const std::string& outputPath,
                                          const SaveSettings& settings, std::vector<WrittenFile>* files = nullptr);

// Names WriteOutputFiles would write for outputPath, scale by scale.
std::vector<std::string> OutputFileNames(const PlaquetDocument& doc, const std::string& outputPath,
                                         const SaveSettings& settings);

// The byte size the picture as it stands would have as a file of the settings' type, counted in
// memory (nothing is written). Type 8 is measured as Gif256. Throws GraphicsException.
int64_t CalculateFileSize(PlaquetDocument& doc, EngineContext& ctx, const SaveSettings& settings);
