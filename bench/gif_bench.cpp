// Our GIF writer and reader against giflib's, on pictures shaped like rendered Plaquets.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/codecs/gif_decoder.h"
#include "imaging/codecs/gif_writer.h"

namespace {

struct Picture {
  int width, height;
  std::vector<uint8_t> indexes;
  std::array<uint8_t, 256> red{}, green{}, blue{};
};

// A 256-colour render: a vertical gradient backdrop, letter-like strokes with a shaded edge and
// some dithering noise, as colour reduction of a textured heading leaves it.
Picture MakePicture(int width, int height) {
  Picture p{width, height, std::vector<uint8_t>(size_t(width) * height), {}, {}, {}};
  for (int i = 0; i < 256; ++i) {
    p.red[i] = uint8_t(i);
    p.green[i] = uint8_t((i * 3) & 255);
    p.blue[i] = uint8_t(255 - i);
  }
  std::mt19937 rng(7);
  const int letter = height * 3 / 4;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int v = 16 + (y * 80) / height;  // backdrop band 16..95
      const int lx = x % letter, cell = x / letter;
      const bool stroke = (lx > letter / 6 && lx < letter / 3) || (std::abs(y - height / 2) < height / 12) ||
                          ((cell & 1) && std::abs(lx - y * letter / height) < letter / 8);
      if (stroke && y > height / 8 && y < height * 7 / 8) v = 128 + ((x + y) * 127) / (width + height);
      if (rng() % 8 == 0) v = (v + int(rng() % 5)) & 255;
      p.indexes[size_t(y) * width + x] = uint8_t(v);
    }
  return p;
}

const Picture& Plaquet() {
  static const Picture p = MakePicture(800, 200);
  return p;
}
const Picture& Banner() {
  static const Picture p = MakePicture(1600, 400);
  return p;
}

std::vector<uint8_t> EncodeOurs(const Picture& p) {
  return GifEncoder::EncodeToMemory(p.indexes.data(), p.width, p.height, 0, 0, 8, p.red.data(), p.green.data(),
                                    p.blue.data());
}

int AppendBytes(GifFileType* gif, const GifByteType* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + size);
  return size;
}

std::vector<uint8_t> EncodeGiflib(const Picture& p) {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendBytes, &error);
  std::vector<GifColorType> colours(256);
  for (int i = 0; i < 256; ++i) colours[size_t(i)] = GifColorType{p.red[i], p.green[i], p.blue[i]};
  ColorMapObject* map = GifMakeMapObject(256, colours.data());
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, p.width, p.height, 8, 0, map);
  GraphicsControlBlock gcb{};
  gcb.TransparentColor = 0;
  GifByteType ext[4];
  EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(EGifGCBToExtension(&gcb, ext)), ext);
  EGifPutImageDesc(gif, 0, 0, p.width, p.height, false, nullptr);
  std::vector<GifPixelType> line(static_cast<size_t>(p.width));
  for (int y = 0; y < p.height; ++y) {
    std::memcpy(line.data(), p.indexes.data() + size_t(y) * p.width, size_t(p.width));
    EGifPutLine(gif, line.data(), p.width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

struct MemoryInput {
  const std::vector<uint8_t>* bytes;
  size_t pos;
};

int ReadBytes(GifFileType* gif, GifByteType* data, int size) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  const size_t n = std::min(size_t(size), in->bytes->size() - in->pos);
  std::memcpy(data, in->bytes->data() + in->pos, n);
  in->pos += n;
  return int(n);
}

void WriteOurs(benchmark::State& state, const Picture& p) {
  size_t size = 0;
  for (auto _ : state) {
    std::vector<uint8_t> gif = EncodeOurs(p);
    size = gif.size();
    benchmark::DoNotOptimize(gif.data());
  }
  state.counters["bytes"] = double(size);
  state.SetItemsProcessed(int64_t(state.iterations()) * p.width * p.height);
}

void WriteGiflib(benchmark::State& state, const Picture& p) {
  size_t size = 0;
  for (auto _ : state) {
    std::vector<uint8_t> gif = EncodeGiflib(p);
    size = gif.size();
    benchmark::DoNotOptimize(gif.data());
  }
  state.counters["bytes"] = double(size);
  state.SetItemsProcessed(int64_t(state.iterations()) * p.width * p.height);
}

// Both readers get the same file (giflib's own output, so ours is not reading itself) and give
// RGB pixels.
void ReadOurs(benchmark::State& state, const Picture& p) {
  const std::vector<uint8_t> file = EncodeGiflib(p);
  for (auto _ : state) {
    GifDecoder decoder;
    if (!decoder.Decode(file.data(), file.size())) state.SkipWithError(decoder.Error().c_str());
    benchmark::DoNotOptimize(decoder.Rgb().data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * p.width * p.height);
}

void ReadGiflib(benchmark::State& state, const Picture& p) {
  const std::vector<uint8_t> file = EncodeGiflib(p);
  std::vector<uint8_t> rgb(size_t(p.width) * p.height * 3);
  for (auto _ : state) {
    MemoryInput in{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&in, ReadBytes, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
      state.SkipWithError("giflib failed");
      break;
    }
    const SavedImage& im = gif->SavedImages[0];
    const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
    const size_t n = size_t(im.ImageDesc.Width) * im.ImageDesc.Height;
    for (size_t i = 0; i < n; ++i) {
      const GifColorType& c = map->Colors[im.RasterBits[i]];
      rgb[3 * i] = c.Red;
      rgb[3 * i + 1] = c.Green;
      rgb[3 * i + 2] = c.Blue;
    }
    benchmark::DoNotOptimize(rgb.data());
    DGifCloseFile(gif, &error);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * p.width * p.height);
}

BENCHMARK_CAPTURE(WriteOurs, plaquet_800x200, Plaquet());
BENCHMARK_CAPTURE(WriteGiflib, plaquet_800x200, Plaquet());
BENCHMARK_CAPTURE(WriteOurs, banner_1600x400, Banner());
BENCHMARK_CAPTURE(WriteGiflib, banner_1600x400, Banner());
BENCHMARK_CAPTURE(ReadOurs, plaquet_800x200, Plaquet());
BENCHMARK_CAPTURE(ReadGiflib, plaquet_800x200, Plaquet());
BENCHMARK_CAPTURE(ReadOurs, banner_1600x400, Banner());
BENCHMARK_CAPTURE(ReadGiflib, banner_1600x400, Banner());

}  // namespace
