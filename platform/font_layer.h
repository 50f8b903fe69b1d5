#pragma once
// Stands in for the platform font rasterizer: a LogFont (face, height, width, weight, italic,
// charset) chosen through fontconfig and drawn bi-level with FreeType, laid out as DrawText does
// with format 0: lines split at line breaks, no wrapping, left and top aligned, "&" a mnemonic
// prefix ("&&" draws one "&"). Each line is ordered with FriBidi (right-to-left scripts, with
// numbers and left-to-right runs inside them) and shaped with HarfBuzz (kerning, ligatures,
// joining, marks). Characters the face lacks are drawn with the face fontconfig prefers for them,
// sized by the same rules; colour glyphs count as ink where they are at least half opaque. Glyph
// shapes are hinted for monochrome; advances are the face's own (unhinted, plus kerning) rounded
// to whole pixels, as other Linux text stacks place them.
// Control characters other than line breaks are not drawn.
//
// Sizes follow the platform's rules so that documents keep their proportions: a positive height
// is the cell (the face's Windows ascent + descent), a negative one the em, 0 a 16-pixel cell; a
// non-zero width scales glyphs so that the face's average character width equals it. A weight of
// 600 or more picks the bold face, italic the italic one; a face without them is emboldened or
// slanted. Text is UTF-8; text that is not valid UTF-8 is read in the code page of the font's
// character set (Windows-1252 for ANSI). A face that is not installed falls back to fontconfig's best match, and to any font file
// when fontconfig has none; only a system without any usable font throws quorbel::Error.
// Faces are opened lazily and kept per size in this object; nothing is shared between objects but
// the face cache file (see face_cache.h), which spares a render fontconfig's start-up.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "document/log_font.h"

namespace platform {

// How a LogFont was resolved and sized (for tests and diagnostics).
struct FontMetrics {
  std::string file;         // font file fontconfig picked
  int faceIndex = 0;        // face inside that file
  int32_t ascent = 0;       // pixels from the top of a line to its baseline
  int32_t descent = 0;      // pixels below the baseline
  int32_t lineHeight = 0;   // cell height: the distance between lines
  double emPixelsX = 0;     // requested em size, horizontally (differs when width is set)
  double emPixelsY = 0;     // requested em size, vertically
  bool syntheticBold = false;    // bold asked for, the face has none: outlines emboldened
  bool syntheticItalic = false;  // italic asked for, the face has none: outlines slanted
};

struct TextExtent {
  int32_t width = 0;   // right of DT_CALCRECT on (0, 0, 0, 0)
  int32_t height = 0;  // bottom
};

class FontLayer {
 public:
  // The face cache at its default place ($XDG_CACHE_HOME/quorbel/faces).
  FontLayer();
  // The face cache in that file; an empty path: fontconfig is asked on every run.
  explicit FontLayer(std::string faceCachePath);
  ~FontLayer();
  FontLayer(const FontLayer&) = delete;
  FontLayer& operator=(const FontLayer&) = delete;

  // DrawText with DT_CALCRECT: the extent of the whole text.
  TextExtent MeasureText(const LogFont& font, std::string_view text);
  // DrawText format 0 into the rectangle (left, top, right, bottom), clipped to it and to the
  // target. Ink pixels get 255 in every byte of the pixel; others are left as they are.
  // rows: entry 0 = top row; bytesPerPixel 1 or 3.
  void DrawText(const LogFont& font, std::string_view text, int left, int top, int right, int bottom,
                uint8_t* const* rows, int targetWidth, int targetHeight, int bytesPerPixel = 3);
  // The font file fontconfig picked for this LogFont (for tests and diagnostics).
  std::string ResolvedFile(const LogFont& font);
  // The face and sizes used for this LogFont.
  FontMetrics Metrics(const LogFont& font);
  // The characters (UTF-8, each once) that no installed face could draw since the last call; they
  // were drawn as the face's missing-glyph box.
  std::string TakeMissingCharacters();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
