#include "app/batch_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <thread>

#include "document/line_fields.h"
#include "document/plaquet_document.h"
#include "document/text_encoding.h"
#include "raster/engine_context.h"
#include "engine/render_pipeline.h"
#include "imaging/error.h"
#include "imaging/quality_quantizer.h"

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

int ReducedColours(const SaveSettings& save) {
  switch (save.type) {
    case Gif16: return 16;
    case Gif256:
    case GifThroughConverter:
    case Png256: return 256;
    case Bmp: return save.colours == 16 || save.colours == 256 ? save.colours : 0;
    default: return 0;
  }
}

namespace {

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// Runs `each(document, context, i)` for every string on `jobs` threads, each with a document copy
// and a context of its own, string i always with the random effects seeded from (seed, i). Stops
// handing out strings once options.stop is set; returns how many were handed out.
template <typename Each>
size_t ForEachString(const PlaquetDocument& doc, const std::vector<std::string>& strings, const BatchOptions& options,
                     const std::function<void(EngineContext&)>& setUp, Each&& each) {
  const size_t count = strings.size();
  std::atomic<size_t> next{0};
  std::atomic<size_t> started{0};
  const auto stopped = [&options] { return options.stop && options.stop->load() != 0; };
  auto worker = [&] {
    PlaquetDocument local = doc;
    EngineContext ctx;
    if (options.prepareContext) options.prepareContext(ctx);
    if (setUp) setUp(ctx);
    for (;;) {
      if (stopped()) break;
      const size_t i = next++;
      if (i >= count) break;
      ++started;
      local.message().text = CutTo(strings[i], kMaxText);
      local.previewDirty = true;
      ctx.seed = BatchStringSeed(options.seed, i);
      each(local, ctx, i);
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
  return std::min(count, started.load());
}

void AddPicture(ColourHistogram& histogram, const DibImage& picture) {
  if (picture.Empty() || picture.BitCount() != 24) return;
  const DibRowTable rows(picture);
  histogram.Add(rows.Rows(), picture.Width(), picture.Height());
}

}  // namespace

BatchResult RunBatch(const PlaquetDocument& doc, const std::vector<std::string>& strings,
                     const BatchOptions& options) {
  const size_t count = strings.size();
  std::vector<std::vector<std::string>> written(count);
  std::vector<std::vector<BatchFailure>> failed(count);
  std::vector<std::vector<OutputRecord>> records(count);
  std::atomic<size_t> skipped{0};
  std::mutex mutex;
  int done = 0;
  std::u32string missing;  // guarded by mutex

  // A shared palette needs every picture first: render them all once and pool their colours.
  const int colours = options.sharedPalette ? ReducedColours(options.save) : 0;
  BgrPalette shared{};
  if (colours) {
    ColourHistogram pooled;
    ForEachString(doc, strings, options, nullptr, [&](PlaquetDocument& local, EngineContext& ctx, size_t) {
      try {
        RenderPreview(local, ctx);
        Recompose(local, ctx);
        ColourHistogram own;
        AddPicture(own, ctx.image);
        if (ctx.pressedButton) AddPicture(own, ctx.pressedImage);
        std::lock_guard<std::mutex> lock(mutex);
        pooled.Add(own);
      } catch (const std::exception&) {
        // Reported by the writing pass, which renders the string again.
      }
    });
    BuildQualityPalette(pooled, shared, colours, doc.currentStyle.backdropColour);
  }
  auto useShared = [&](EngineContext& ctx) {
    ctx.sharedPalette = shared;
    ctx.sharedColours = colours;
  };

  const size_t started =
      ForEachString(doc, strings, options, useShared, [&](PlaquetDocument& local, EngineContext& ctx, size_t i) {
        const std::string base = BatchBaseName(options, i);
        bool complete = options.resume;
        if (complete)
          for (const auto& name : OutputFileNames(local, base, options.save)) complete = complete && FileExists(name);
        if (complete) {
          ++skipped;
        } else {
          try {
            // With several scales the writing renders each one itself.
            if (options.save.scales.empty()) RenderPreview(local, ctx);
            std::vector<WrittenFile> files;
            written[i] = WriteOutputFiles(local, ctx, base, options.save, &files);
            records[i] = RecordsForWrittenFiles(files, options.save, i, strings[i]);
          } catch (const std::bad_alloc&) {
            // One string's picture that could not be built does not end the others.
            failed[i].push_back({OutputFileNames(local, base, options.save).front(), quorbel::kOutOfMemoryReason});
          } catch (const std::exception& e) {
            failed[i].push_back({OutputFileNames(local, base, options.save).front(), e.what()});
          }
        }
        const std::string lacking = ctx.fonts.TakeMissingCharacters();
        std::lock_guard<std::mutex> lock(mutex);
        for (char32_t cp : Utf8ToCodePoints(lacking))
          if (missing.find(cp) == std::u32string::npos) missing.push_back(cp);
        ++done;
        if (options.progress) options.progress(done, int(count));
      });

  BatchResult result;
  for (char32_t cp : missing) AppendUtf8(cp, result.missingCharacters);
  result.skipped = skipped;
  result.notStarted = count - started;
  for (size_t i = 0; i < count; ++i) {
    result.written.insert(result.written.end(), written[i].begin(), written[i].end());
    result.failures.insert(result.failures.end(), failed[i].begin(), failed[i].end());
    result.records.insert(result.records.end(), records[i].begin(), records[i].end());
  }
  return result;
}
