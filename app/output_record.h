#pragma once
// What a command wrote, one record per file: the batch manifest and render/size --json print it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/save_rules.h"

struct EngineContext;

struct OutputRecord {
  size_t index = 0;        // the string's place in the batch list (0 for a single render)
  std::string text;        // the message text, UTF-8
  std::optional<std::string> path;  // none for a size measurement
  int width = 0, height = 0;
  int64_t bytes = 0;
  std::string type;        // png256, png, jpeg, ...
  bool pressed = false;    // the pressed-button variant
  double scale = 1;        // the size over the document's own
};

// The records of the files WriteOutputFiles just wrote (names in its order: picture, then the
// pressed-button picture); sizes from the context's pictures, bytes from the files.
std::vector<OutputRecord> RecordsForWrittenFiles(const std::vector<std::string>& names, const EngineContext& ctx,
                                                 const SaveSettings& settings, size_t index, const std::string& text);
// The same from what WriteOutputFiles reported (several scales).
std::vector<OutputRecord> RecordsForWrittenFiles(const std::vector<WrittenFile>& files, const SaveSettings& settings,
                                                 size_t index, const std::string& text);
// A JSON array of the records, one per line, ending with a line feed.
std::string RecordsToJson(const std::vector<OutputRecord>& records);
// JSON string literal of UTF-8 text (control characters escaped).
std::string JsonString(const std::string& text);
