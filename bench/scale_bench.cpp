// Render cost against the scale: a few shipped examples rendered at 1x, 2x and 3x (the cost per
// pixel should stay about flat, so the exponent over area stays near 1), and supersampled 3 x 3
// against the plain 1x render, in the same run.
//
//   build/bench/bench_scale --benchmark_counters_tabular=true
// time_per_kpixel is the time per thousand output pixels; compare the rows, not absolute times.
#include <benchmark/benchmark.h>

#include <string>

#include "document/document_file.h"
#include "document/plaquet_document.h"
#include "effects/effect_bodies.h"
#include "engine/render_pipeline.h"
#include "raster/engine_context.h"

namespace {

const char* const kExamples[] = {"neon", "button3d", "fog", "starry", "wood"};

void RenderExample(benchmark::State& state, const std::string& name, double scale, int supersample) {
  PlaquetDocument doc = MakeStartUpDocument();
  doc.programFolder = std::string(QUORBEL_BENCH_DATA) + "/";
  std::string error;
  if (!ReadDocumentFileChecked(doc, doc.programFolder + name + ".plq", &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  EngineContext ctx(1);
  ctx.programFolder = doc.programFolder;
  LoadLightPatterns(ctx);
  ctx.renderScale = scale;
  ctx.settings.supersample = supersample;
  double pixels = 0;
  for (auto _ : state) {
    RenderPreview(doc, ctx);
    // The pixels drawn: the reduced picture of a supersampled render was drawn n x n times.
    pixels = double(ctx.image.Width()) * ctx.image.Height() * supersample * supersample;
    benchmark::DoNotOptimize(ctx.image.Bits());
  }
  state.counters["pixels"] = pixels;
  state.counters["time_per_kpixel"] =
      benchmark::Counter(pixels / 1000, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Register() {
  for (const char* name : kExamples) {
    for (double scale : {1.0, 2.0, 3.0})
      benchmark::RegisterBenchmark((std::string("scale/") + name + "/x" + std::to_string(int(scale))).c_str(),
                                   [name, scale](benchmark::State& s) { RenderExample(s, name, scale, 1); })
          ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("supersample3/") + name).c_str(),
                                 [name](benchmark::State& s) { RenderExample(s, name, 1, 3); })
        ->Unit(benchmark::kMillisecond);
  }
}

const int kRegistered = (Register(), 0);

}  // namespace
