// Transparent outputs against their peers, on the shipped examples rendered with a transparent
// backdrop: our RGBA PNG against libpng's RGBA at level 6, our lossless WebP (libwebp's simple
// lossless encoder). Counters: "bytes" the output size, "vs_libpng6" the size ratio to libpng's.
// The pictures are also left as PNG files in $TMPDIR/quorbel-alpha-bench/ so that
// `cwebp -lossless` can be timed on exactly the same pixels.
#include <benchmark/benchmark.h>
#include <png.h>

#include <csetjmp>
#include <filesystem>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "document/plaquet_document.h"
#include "effects/effect_bodies.h"
#include "raster/engine_context.h"
#include "engine/render_pipeline.h"
#include "imaging/codecs/png_encoder.h"
#include "imaging/codecs/webp_codec.h"
#include "imaging/transparency.h"

namespace {

namespace fs = std::filesystem;

const char* const kExamples[] = {"neon", "fire", "chrome", "starry", "gifbutton"};

RgbaPicture Rendered(const std::string& name) {
  PlaquetDocument doc = MakeStartUpDocument();
  doc.programFolder = std::string(QUORBEL_BENCH_DATA) + "/";
  std::string error;
  ReadDocumentFileChecked(doc, doc.programFolder + name + ".plq", &error);
  doc.backdropKind = doc.currentStyle.backdropKind = kBackdropTransparent;
  EngineContext ctx(3);
  ctx.programFolder = doc.programFolder;
  LoadLightPatterns(ctx);
  RenderPreview(doc, ctx);
  return ctx.g_rgba;
}

const RgbaPicture& Picture(int index) {
  static std::vector<RgbaPicture> pictures;  // benchmark fixture, built once
  if (pictures.empty()) {
    const fs::path folder = fs::temp_directory_path() / "quorbel-alpha-bench";
    fs::create_directories(folder);
    for (const char* name : kExamples) {
      pictures.push_back(Rendered(name));
      WritePngRgba(pictures.back(), (folder / (std::string(name) + ".png")).string());
    }
  }
  return pictures[size_t(index)];
}

std::vector<uint8_t> LibpngRgba(const RgbaPicture& p, int level) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp s, png_bytep d, png_size_t n) {
        auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(s));
        v->insert(v->end(), d, d + n);
      },
      nullptr);
  png_set_compression_level(png, level);
  png_set_IHDR(png, info, png_uint_32(p.width), png_uint_32(p.height), 8, PNG_COLOR_TYPE_RGBA, 0, 0, 0);
  png_write_info(png, info);
  for (int y = 0; y < p.height; ++y)
    png_write_row(png, const_cast<png_bytep>(p.pixels.data() + size_t(y) * size_t(p.width) * 4));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

void Label(benchmark::State& state, int index, size_t bytes) {
  const RgbaPicture& p = Picture(index);
  state.SetLabel(std::string(kExamples[index]) + " " + std::to_string(p.width) + "x" + std::to_string(p.height));
  state.counters["bytes"] = double(bytes);
  state.counters["vs_libpng6"] = double(bytes) / double(LibpngRgba(p, 6).size());
}

void BM_OurRgbaPng(benchmark::State& state) {
  const int index = int(state.range(0));
  size_t bytes = 0;
  for (auto _ : state) bytes = EncodePngRgba(Picture(index)).size();
  Label(state, index, bytes);
}

void BM_OurRgbaPngSmall(benchmark::State& state) {
  const int index = int(state.range(0));
  size_t bytes = 0;
  for (auto _ : state) bytes = EncodePngRgba(Picture(index), PngWriteOptions{true}).size();
  Label(state, index, bytes);
}

void BM_LibpngRgbaLevel6(benchmark::State& state) {
  const int index = int(state.range(0));
  size_t bytes = 0;
  for (auto _ : state) bytes = LibpngRgba(Picture(index), 6).size();
  Label(state, index, bytes);
}

void BM_OurWebpLossless(benchmark::State& state) {
  const int index = int(state.range(0));
  size_t bytes = 0;
  for (auto _ : state) bytes = EncodeWebp(Picture(index), -1).size();
  Label(state, index, bytes);
}

BENCHMARK(BM_OurRgbaPng)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OurRgbaPngSmall)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibpngRgbaLevel6)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OurWebpLossless)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
