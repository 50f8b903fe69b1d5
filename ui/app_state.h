#pragma once
// What the desktop application keeps for its whole run: the document, the render context and the
// program-wide values the pages share (output type, JPEG options, batch list, converter check).
#include <cstdint>
#include <memory>
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
  bool gifConverterPresent = false;
  std::string converterFolder;  // ends with '/'
  std::string batchListPath = "untitled.blt";
  std::vector<std::string> batchList;

  // Save settings for a type with the JPEG options and the converter applied.
  SaveSettings SaveSettingsFor(ImageFileType type) const;
  // The current picture as the Save page would write it.
  SaveSettings CurrentSaveSettings() const { return SaveSettingsFor(outputFileType); }
};

// Start-up: seed, start values, light patterns, preferences, program folder, converter check and
// the first render. seed 0 takes the time.
std::unique_ptr<AppState> MakeStartUpState(uint32_t seed = 0);
