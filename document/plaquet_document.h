#pragma once
// The document being edited: three items (background, bullet, message), their styles, the
// document-level values and the working copy of one style. Plain data; the files that store it
// are in document_file.h, style_file.h and batch_list.h.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "document/log_font.h"
#include "effects/effect_catalogue.h"
#include "effects/effect_record.h"

constexpr size_t kMaxText = 299;       // characters of a text or path field
constexpr size_t kMaxStyleName = 51;   // characters of PlaquetItem::styleName
constexpr int kMaxItems = 6;

enum ItemIndex : int { kBackgroundItem = 0, kBulletItem = 1, kMessageItem = 2 };

// Item kinds. Background: 0 with Font, 1 Round Box, 2 None, 3 Stretched Font, 4 Fixed Round Box.
// Bullet: 0 Font, 1 Round Box, 2 None. Message: always 0.
enum ItemKind : int32_t {
  kKindFont = 0,
  kKindRoundBox = 1,
  kKindNone = 2,
  kKindStretchedFont = 3,
  kKindFixedRoundBox = 4,
};

struct PlaquetItem {
  int32_t kind = 0;
  std::string text;       // at most kMaxText characters; line breaks are CR LF
  std::string styleName;  // at most kMaxStyleName characters
  std::array<int32_t, 6> boxParams{};
  LogFont font;
  std::array<int32_t, 2> moreInfo{};
  int32_t x = 0, y = 0;
  int32_t width = 0, height = 0;
  // marginX, marginY, extra0, extra1, unrounded width sum, unrounded height sum
  std::array<int32_t, 6> layoutExtra{};
  std::array<int32_t, 2> extension{};
  std::vector<EffectRecord> effects;  // at most kMaxEffects, applied in order

  int32_t effectCount() const { return static_cast<int32_t>(effects.size()); }
  bool operator==(const PlaquetItem&) const = default;
};

// Backdrop kinds of a style and of the document.
constexpr int32_t kBackdropTransparent = 1;
constexpr int32_t kBackdropColour = 2;

struct PlaquetStyle {
  std::vector<EffectRecord> effects;  // at most kMaxEffects
  int32_t backdropKind = kBackdropTransparent;
  int32_t backdropColour = 0xFFFFFF;  // COLORREF 0x00BBGGRR
  std::string backdropBitmap;

  int32_t effectCount() const { return static_cast<int32_t>(effects.size()); }
  bool operator==(const PlaquetStyle&) const = default;
};

// The user's preferences (stored in the profile, not in documents).
struct ProgramSettings {
  bool antiAliasing = true;  // profile keys "antialiasing" and "clipblank", stored as 1 or 0
  bool clipBlank = true;
  int32_t reduceColorMethod = 2;  // 0 popularity, 1 optimized median cut, 2 high quality
  bool dithering = false;         // Floyd-Steinberg error diffusion when colours are reduced
  int32_t supersample = 1;        // render this many times larger and reduce (1 = off, up to 4)
};

struct PlaquetDocument {
  std::vector<PlaquetItem> items;  // itemCount = items.size(), at most kMaxItems

  std::string documentPath;  // empty = untitled
  bool documentModified = false;
  int32_t backdropKind = 0;
  int32_t backdropColour = 0xFFFFFF;
  std::string backdropBitmap;
  int32_t extensionX = 0, extensionY = 0;
  std::array<int32_t, 6> boxParams{100, 100, 950, 950, 100, 100};
  std::array<int32_t, 4> bulletBoxParams{500, 500, 500, 500};
  int32_t messageAlign = 50;
  bool pressedButton = false;
  std::string programFolder;  // ends with '/'
  std::array<std::string, 3> styleFile;
  std::array<bool, 3> styleChanged{};
  bool previewDirty = true;

  PlaquetStyle currentStyle;
  std::string currentStyleFile;
  bool currentStyleModified = false;

  EffectTemplates effectTemplates = StartEffectTemplates();

  bool operator==(const PlaquetDocument&) const = default;
  int32_t itemCount() const { return static_cast<int32_t>(items.size()); }
  PlaquetItem& background() { return items.at(kBackgroundItem); }
  PlaquetItem& bullet() { return items.at(kBulletItem); }
  PlaquetItem& message() { return items.at(kMessageItem); }
  const PlaquetItem& background() const { return items.at(kBackgroundItem); }
  const PlaquetItem& bullet() const { return items.at(kBulletItem); }
  const PlaquetItem& message() const { return items.at(kMessageItem); }

  // Copies the item into the next slot: 0, or -1 when six items are already present.
  int AppendItem(const PlaquetItem& item);
  // Backward search for the last SingleColor / 3dSingleColor record: its colour, -1 for a bitmap
  // fill, -2 when there is none.
  int32_t MainColour(int index) const;
  void SetMainColour(int index, int32_t colour);
  void SetMainTexture(int index, const std::string& name);
  void ResetCurrentStyle();
  // File / New: empties the three items' styles and texts, keeps fonts and templates.
  void NewDocumentDefaults();
};

// The start font of every item: height 20, width 10, face "Arial".
LogFont StartFont();
// The document as the program has it right after start-up: start values, three items appended,
// current style reset. programFolder is left empty for the caller to fill.
PlaquetDocument MakeStartUpDocument();
