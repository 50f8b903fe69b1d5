#pragma once
// Renders one design once per string of a batch list into numbered files base0.ext, base1.ext...
// Each worker renders with an engine context of its own, and string i always renders with the
// random sequence seeded from (seed, i), so that any number of jobs gives the same files.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/output_record.h"
#include "app/save_rules.h"

struct EngineContext;
struct PlaquetDocument;

struct BatchOptions {
  std::string base;        // output name without the number (a 4-character extension is removed)
  // Output name of each string without the extension, when the names are not base0, base1, ...
  std::vector<std::string> names;
  SaveSettings save;
  uint32_t seed = 1;
  int jobs = 1;
  // Reduce every picture (and pressed variant) of the batch to one palette, chosen from all of
  // them by the high-quality method; only for types written with 16 or 256 colours.
  bool sharedPalette = false;
  // Called once per new context, to give it the settings, program folder and light patterns.
  std::function<void(EngineContext&)> prepareContext;
  // Called after every string with (strings done, total); from the worker threads, serialised.
  std::function<void(int, int)> progress;
  // When it turns non-zero, workers finish the strings in flight and start no more.
  const std::atomic<int>* stop = nullptr;
  // Strings whose files all exist are skipped (outputs are written whole, so an existing one is
  // complete).
  bool resume = false;
};

struct BatchFailure {
  std::string file;
  std::string reason;
};

struct BatchResult {
  std::vector<std::string> written;   // in string order
  std::vector<BatchFailure> failures;  // every file that could not be made
  std::string missingCharacters;       // characters no installed face has (drawn as boxes), UTF-8
  size_t skipped = 0;                  // strings whose files were already there (resume)
  size_t notStarted = 0;               // strings left when the batch was stopped
  std::vector<OutputRecord> records;   // one per written file, in string order
};

// The random seed string i of a batch renders with.
uint32_t BatchStringSeed(uint32_t seed, size_t index);
// Output name of string i without the extension.
std::string BatchBaseName(const BatchOptions& options, size_t index);
// Names the batch would write for string i (with the pressed-button variant when it is on).
std::vector<std::string> BatchFileNames(const PlaquetDocument& doc, const BatchOptions& options, size_t index);
// The colour count a type is reduced to before writing (16 or 256); 0 for true-colour types.
int ReducedColours(const SaveSettings& save);
// Renders and writes every string; the document itself is not changed.
BatchResult RunBatch(const PlaquetDocument& doc, const std::vector<std::string>& strings,
                     const BatchOptions& options);
