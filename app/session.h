#pragma once
// The document and engine context a command works on, built from its common options.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/plaquet_document.h"
#include "raster/engine_context.h"
#include "app/save_rules.h"

// Largest --size: one letter's cell (up to about 1.4 em each way with its side bearings and line
// gap) must fit the engine's largest work area, WorkSet::kMaxPixels = 32 Mi pixels.
constexpr int kMaxMessageEmPixels = 4096;

struct SessionOptions {
  std::string document;               // .plq path or example name; empty = the start values
  std::string style;                  // .sty path or style name for the message; empty = keep
  std::optional<std::string> text;    // message text
  bool pressed = false;
  std::optional<uint32_t> seed;       // default: the time
  bool transparent = false;           // transparent backdrop, whatever the document says
  std::optional<int32_t> pageColour;  // opaque page of this COLORREF colour
  // The message's font and look, over what the document says.
  std::optional<std::string> font;    // face name
  std::optional<int> emPixels;        // em height in pixels, stored as a negative font height
  bool bold = false;
  bool italic = false;
  std::optional<int32_t> colour;      // the message's main colour (COLORREF)
  std::optional<std::pair<int, int>> margin;  // extension X, Y
  bool verbose = false;               // add notes (the face fontconfig chose) to the warnings
  double scale = 1;                   // render at this many times the document's size
  std::vector<double> scales;         // write the picture at each of these scales
  std::optional<int> supersample;     // over the preference: 1 off, 2..4
};

struct Session {
  PlaquetDocument doc;
  ProgramSettings settings;
  uint32_t seed = 0;
  std::unique_ptr<EngineContext> ctx;
  // Things the user should hear of that do not stop the command, without the "quorbel: " prefix.
  std::vector<std::string> warnings;
};

// Throws CliError naming the file when the document or style cannot be read or a name is not
// found (with the near names).
Session OpenSession(const SessionOptions& options);
// Gives a fresh context the session's settings, program folder and light patterns (deferred: read
// by the first Star Filter; the desktop's dialogs want them at once).
void PrepareContext(EngineContext& ctx, const PlaquetDocument& doc, const ProgramSettings& settings,
                    bool deferLightPatterns = false);
// Output settings of a type, with the other settings at their start values.
SaveSettings MakeSaveSettings(ImageFileType type);
// A message text as typed on a command line, to UTF-8 (an argument that is not valid UTF-8 is read
// as Windows-1252 and *recoded set): line feeds become CR LF; cut at a character within the
// message limit. Sets *cut when the text was longer than the limit.
std::string MessageTextFromArgument(const std::string& text, bool* cut = nullptr, bool* recoded = nullptr);
