#pragma once
// What the desktop application keeps for its whole run: the document, the render context and the
// program-wide values the pages share (output type, JPEG options, batch list, converter check).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "document/plaquet_document.h"
#include "raster/engine_context.h"
#include "app/save_rules.h"

struct AppState {
  PlaquetDocument doc;
  std::unique_ptr<EngineContext> ctx;
  std::string preferencesPath;
  ImageFileType outputFileType = Jpeg;
  int jpegQuality = 20;      // the File Option "Compression" value, 0..100
  int jpegProgressive = 1;   // 0 standard, 1 progressive
  std::string batchListPath = "untitled.blt";
  std::vector<std::string> batchList;
  // The Save page's matte: partly covered edges of a transparent backdrop are blended onto it
  // where the output cannot hold alpha. Kept for the session only, never in a profile or document.
  std::optional<int32_t> matte;
  // The characters (sorted) last reported as drawn as boxes, so the same set is not reported again.
  std::u32string reportedMissingCharacters;

  // Save settings for a type with the JPEG options and the converter applied.
  SaveSettings SaveSettingsFor(ImageFileType type) const;
  // The current picture as the Save page would write it.
  SaveSettings CurrentSaveSettings() const { return SaveSettingsFor(outputFileType); }
};

// Start-up: seed, start values, light patterns, preferences, program folder, converter check and
// the first render. seed 0 takes the time.
std::unique_ptr<AppState> MakeStartUpState(uint32_t seed = 0);
