#pragma once
// The document and engine context a command works on, built from its common options.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "document/plaquet_document.h"
#include "engine/engine_context.h"
#include "app/save_rules.h"

struct SessionOptions {
  std::string document;               // .plq; empty = the start values
  std::string style;                  // .sty for the message; empty = keep
  std::optional<std::string> text;    // message text
  bool pressed = false;
  std::optional<uint32_t> seed;       // default: the time
  bool transparent = false;           // transparent backdrop, whatever the document says
  std::optional<int32_t> pageColour;  // opaque page of this COLORREF colour
};

struct Session {
  PlaquetDocument doc;
  ProgramSettings settings;
  uint32_t seed = 0;
  std::unique_ptr<EngineContext> ctx;
};

// Throws CliError naming the file when the document or style cannot be read.
Session OpenSession(const SessionOptions& options);
// Gives a fresh context the session's settings, program folder and light patterns.
void PrepareContext(EngineContext& ctx, const PlaquetDocument& doc, const ProgramSettings& settings);
// Output settings with the converter beside our executable and started through the platform.
SaveSettings MakeSaveSettings(ImageFileType type);
// A message text as typed on a command line: line feeds become CR LF; cut at the message limit.
// Sets *cut when the text was longer than the limit.
std::string MessageTextFromArgument(const std::string& text, bool* cut = nullptr);
