#include "app/batch_run.h"

#include <new>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

#include "document/line_fields.h"
#include "document/plaquet_document.h"
#include "document/text_encoding.h"
#include "raster/engine_context.h"
#include "engine/render_pipeline.h"
#include "imaging/error.h"

namespace {

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

uint32_t BatchStringSeed(uint32_t seed, size_t index) {
  // A fixed mix (splitmix-style), so neighbouring strings get unrelated sequences.
  uint64_t z = (uint64_t(seed) << 32) + index + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return uint32_t(z ^ (z >> 31));
}

std::string BatchBaseName(const BatchOptions& options, size_t index) {
  if (index < options.names.size()) return options.names[index];
  return BaseName(options.base) + std::to_string(index);
}

std::vector<std::string> BatchFileNames(const PlaquetDocument& doc, const BatchOptions& options, size_t index) {
  return OutputFileNames(doc, BatchBaseName(options, index), options.save);
}

BatchResult RunBatch(const PlaquetDocument& doc, const std::vector<std::string>& strings,
                     const BatchOptions& options) {
  const size_t count = strings.size();
  std::vector<std::vector<std::string>> written(count);
  std::vector<std::vector<BatchFailure>> failed(count);
  std::vector<std::vector<OutputRecord>> records(count);
  std::atomic<size_t> next{0};
  std::atomic<size_t> started{0};
  std::atomic<size_t> skipped{0};
  std::mutex progressMutex;
  int done = 0;
  std::u32string missing;  // guarded by progressMutex
  const auto stopped = [&options] { return options.stop && options.stop->load() != 0; };

  auto worker = [&] {
    PlaquetDocument local = doc;
    EngineContext ctx;
    if (options.prepareContext) options.prepareContext(ctx);
    for (;;) {
      if (stopped()) break;
      const size_t i = next++;
      if (i >= count) break;
      ++started;
      const std::string base = BatchBaseName(options, i);
      bool complete = options.resume;
      if (complete)
        for (const auto& name : OutputFileNames(local, base, options.save)) complete = complete && FileExists(name);
      if (complete) {
        ++skipped;
      } else {
        try {
          local.message().text = CutTo(strings[i], kMaxText);
          local.previewDirty = true;
          ctx.seed = BatchStringSeed(options.seed, i);
          RenderPreview(local, ctx);
          written[i] = WriteOutputFiles(local, ctx, base, options.save);
          records[i] = RecordsForWrittenFiles(written[i], ctx, options.save, i, strings[i]);
        } catch (const std::bad_alloc&) {
          // One string's picture that could not be built does not end the others.
          failed[i].push_back({OutputFileNames(local, base, options.save).front(), quorbel::kOutOfMemoryReason});
        } catch (const std::exception& e) {
          failed[i].push_back({OutputFileNames(local, base, options.save).front(), e.what()});
        }
      }
      const std::string lacking = ctx.fonts.TakeMissingCharacters();
      std::lock_guard<std::mutex> lock(progressMutex);
      for (char32_t cp : Utf8ToCodePoints(lacking))
        if (missing.find(cp) == std::u32string::npos) missing.push_back(cp);
      ++done;
      if (options.progress) options.progress(done, int(count));
    }
  };

  const int jobs = std::max(1, std::min<int>(options.jobs, int(std::max<size_t>(count, 1))));
  if (jobs == 1) {
    worker();
  } else {
    std::vector<std::thread> threads;
    for (int j = 0; j < jobs; ++j) threads.emplace_back(worker);
    for (auto& t : threads) t.join();
  }

  BatchResult result;
  for (char32_t cp : missing) AppendUtf8(cp, result.missingCharacters);
  result.skipped = skipped;
  result.notStarted = count - std::min(count, started.load());
  for (size_t i = 0; i < count; ++i) {
    result.written.insert(result.written.end(), written[i].begin(), written[i].end());
    result.failures.insert(result.failures.end(), failed[i].begin(), failed[i].end());
    result.records.insert(result.records.end(), records[i].begin(), records[i].end());
  }
  return result;
}
