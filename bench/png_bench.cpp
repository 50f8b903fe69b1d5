// PNG and deflate speed and size against zlib and libpng, on rendered-like pictures.
// Counters: "bytes" is the output size; "vs_zlib6" / "vs_libpng" the size ratio to the peer's.
#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <csetjmp>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "imaging/bitmap_image.h"
#include "imaging/codecs/color_quantizer.h"
#include "imaging/codecs/deflate_encoder.h"
#include "imaging/codecs/inflate_decoder.h"
#include "imaging/codecs/png_decoder.h"
#include "imaging/codecs/png_encoder.h"

namespace {

// Glyph-like strokes with anti-aliased edges and a gradient fill over a soft drop shadow and a
// gradient backdrop. Blue-green-red rows, top row first.
std::vector<uint8_t> RenderedPicture(int w, int h, int variant) {
  std::vector<float> cover(size_t(w) * size_t(h), 0.f);
  const int letters = std::max(1, w / (h / 2 + 10));
  const float cell = float(w) / float(letters);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
          const float fx = float(x) + (float(sx) + 0.5f) / 4, fy = float(y) + (float(sy) + 0.5f) / 4;
          const int li = int(fx / cell);
          const float lx = (fx - float(li) * cell) / cell, ly = fy / float(h);
          bool in = false;
          switch ((li + variant) % 4) {
            case 0: in = (lx > .2f && lx < .35f && ly > .2f && ly < .8f) || (ly > .2f && ly < .32f && lx > .2f && lx < .8f); break;
            case 1: {
              const float dx = lx - .5f, dy = ly - .5f, r = std::sqrt(dx * dx + dy * dy);
              in = r > .2f && r < .3f;
            } break;
            case 2: in = std::fabs(lx - .2f - (ly - .2f) * .6f) < .08f && ly > .2f && ly < .8f; break;
            default: in = (ly > .68f && ly < .8f && lx > .2f && lx < .8f) || (lx > .65f && lx < .8f && ly > .2f && ly < .8f); break;
          }
          hits += in;
        }
      cover[size_t(y) * size_t(w) + size_t(x)] = float(hits) / 16.f;
    }
  const int off = h / 25 + 2, rad = h / 30 + 1;
  std::vector<float> tmp(cover.size()), shadow(cover.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      float s = 0;
      for (int k = -rad; k <= rad; ++k) {
        const int xx = x - off + k;
        if (xx >= 0 && xx < w) s += cover[size_t(y) * size_t(w) + size_t(xx)];
      }
      tmp[size_t(y) * size_t(w) + size_t(x)] = s / float(2 * rad + 1);
    }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      float s = 0;
      for (int k = -rad; k <= rad; ++k) {
        const int yy = y - off + k;
        if (yy >= 0 && yy < h) s += tmp[size_t(yy) * size_t(w) + size_t(x)];
      }
      shadow[size_t(y) * size_t(w) + size_t(x)] = s / float(2 * rad + 1);
    }
  std::vector<uint8_t> out(size_t(w) * size_t(h) * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float t = float(y) / float(h), u = float(x) / float(w);
      const float bg[3] = {230 - 60 * t, 240 - 30 * t, 250 - 10 * t};
      const float fill[3] = {40 + 150 * u, 60 + 100 * t, 200 - 120 * u};
      const size_t i = size_t(y) * size_t(w) + size_t(x);
      const float sh = 0.6f * shadow[i], c = cover[i];
      for (int k = 0; k < 3; ++k) {
        float v = bg[k] * (1 - sh) + 30 * sh;
        v = v * (1 - c) + fill[k] * c;
        out[i * 3 + size_t(k)] = uint8_t(v + 0.5f);
      }
    }
  return out;
}

struct Fixture {
  int w = 0, h = 0;
  BitmapImage image;           // 24-bit
  BitmapImage quantized;       // 8-bit
  std::vector<uint8_t> rgb;    // top row first
  std::vector<uint8_t> rows;   // filter byte 0 + RGB row, as the default writer feeds deflate
  std::vector<uint8_t> libpngFile;
};

std::vector<uint8_t> LibpngEncode(int w, int h, int colorType, const std::vector<uint8_t>& samples,
                                  const BitmapImage* palette) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep d, png_size_t n) {
        auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), d, d + n);
      },
      nullptr);
  png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, colorType, 0, 0, 0);
  std::vector<png_color> pal;
  if (palette) {
    for (unsigned i = 0; i < palette->ColorCount(); ++i)
      pal.push_back({palette->ColorMap(i).red, palette->ColorMap(i).green, palette->ColorMap(i).blue});
    png_set_PLTE(png, info, pal.data(), int(pal.size()));
  }
  png_write_info(png, info);
  const size_t stride = colorType == 2 ? size_t(w) * 3 : size_t(w);
  for (int y = 0; y < h; ++y) png_write_row(png, samples.data() + size_t(y) * stride);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

void LibpngDecode(const std::vector<uint8_t>& file, std::vector<uint8_t>& pixels) {
  struct Reader {
    const std::vector<uint8_t>* f;
    size_t at;
  } reader{&file, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return;
  }
  png_set_read_fn(png, &reader, [](png_structp p, png_bytep d, png_size_t n) {
    auto* r = static_cast<Reader*>(png_get_io_ptr(p));
    std::memcpy(d, r->f->data() + r->at, n);
    r->at += n;
  });
  png_read_info(png, info);
  png_set_expand(png);
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  const png_uint_32 h = png_get_image_height(png, info);
  pixels.resize(rowBytes * h);
  std::vector<png_bytep> rows(h);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = pixels.data() + y * rowBytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
}

Fixture MakeFixture(int which) {
  Fixture f;
  f.w = which == 0 ? 800 : 1600;
  f.h = which == 0 ? 200 : 400;
  const auto bgr = RenderedPicture(f.w, f.h, which);
  f.image.SetSize(0, 24, unsigned(f.w), unsigned(f.h));
  for (int y = 0; y < f.h; ++y) {
    std::memcpy(f.image.TopDownRow(unsigned(y)), &bgr[size_t(y) * size_t(f.w) * 3], size_t(f.w) * 3);
    f.rows.push_back(0);
    for (int x = 0; x < f.w; ++x) {
      const uint8_t* p = &bgr[(size_t(y) * size_t(f.w) + size_t(x)) * 3];
      f.rgb.insert(f.rgb.end(), {p[2], p[1], p[0]});
      f.rows.insert(f.rows.end(), {p[2], p[1], p[0]});
    }
  }
  ColorQuantizer().Quantize(f.image, f.quantized);
  f.libpngFile = LibpngEncode(f.w, f.h, 2, f.rgb, nullptr);
  return f;
}

const Fixture& Get(int which) {
  // Built once per run: the pictures take a moment to paint.
  static std::map<int, Fixture> fixtures;
  auto it = fixtures.find(which);
  if (it == fixtures.end()) it = fixtures.emplace(which, MakeFixture(which)).first;
  return it->second;
}

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& in, int level) {
  uLongf n = compressBound(uLong(in.size()));
  std::vector<uint8_t> out(n);
  compress2(out.data(), &n, in.data(), uLong(in.size()), level);
  out.resize(n);
  return out;
}

const char* Name(int which) { return which == 0 ? "heading800x200" : "banner1600x400"; }

void BM_OurDeflate(benchmark::State& state) {
  const Fixture& f = Get(int(state.range(0)));
  const int level = int(state.range(1));
  size_t size = 0;
  for (auto _ : state) {
    auto z = DeflateEncoder::Compress(f.rows.data(), f.rows.size(), level);
    size = z.size();
    benchmark::DoNotOptimize(z.data());
  }
  state.SetLabel(Name(int(state.range(0))));
  state.counters["bytes"] = double(size);
  state.counters["vs_zlib6"] = double(size) / double(Zlib(f.rows, 6).size());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.rows.size()));
}
BENCHMARK(BM_OurDeflate)->ArgsProduct({{0, 1}, {0, 1, 2, 3}})->Unit(benchmark::kMillisecond);

void BM_ZlibDeflate(benchmark::State& state) {
  const Fixture& f = Get(int(state.range(0)));
  size_t size = 0;
  for (auto _ : state) {
    auto z = Zlib(f.rows, int(state.range(1)));
    size = z.size();
    benchmark::DoNotOptimize(z.data());
  }
  state.SetLabel(Name(int(state.range(0))));
  state.counters["bytes"] = double(size);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.rows.size()));
}
BENCHMARK(BM_ZlibDeflate)->ArgsProduct({{0, 1}, {1, 6, 9}})->Unit(benchmark::kMillisecond);

// range(1): 0 true colour default, 1 true colour smallest, 2 256 colours default, 3 256 smallest.
void BM_OurPngWrite(benchmark::State& state) {
  const Fixture& f = Get(int(state.range(0)));
  const int mode = int(state.range(1));
  const BitmapImage& img = mode < 2 ? f.image : f.quantized;
  size_t size = 0;
  for (auto _ : state) {
    PngEncoder enc;
    enc.SetCompressionLevel(3);
    if (mode % 2) {
      enc.SetFilterMask(PngEncoder::kAllFilters);
      enc.SetSmallestOutput(true);
    }
    VectorSink sink;
    enc.Encode(img, sink);
    size = sink.bytes.size();
  }
  std::vector<uint8_t> indexes;
  if (mode >= 2)
    for (int y = 0; y < f.h; ++y) indexes.insert(indexes.end(), f.quantized.TopDownRow(unsigned(y)), f.quantized.TopDownRow(unsigned(y)) + f.w);
  const auto peer = mode < 2 ? f.libpngFile : LibpngEncode(f.w, f.h, 3, indexes, &f.quantized);
  state.SetLabel(std::string(Name(int(state.range(0)))) + (mode < 2 ? " rgb" : " 256") + (mode % 2 ? " smallest" : ""));
  state.counters["bytes"] = double(size);
  state.counters["vs_libpng"] = double(size) / double(peer.size());
}
BENCHMARK(BM_OurPngWrite)->ArgsProduct({{0, 1}, {0, 1, 2, 3}})->Unit(benchmark::kMillisecond);

void BM_LibpngWrite(benchmark::State& state) {
  const Fixture& f = Get(int(state.range(0)));
  size_t size = 0;
  for (auto _ : state) size = LibpngEncode(f.w, f.h, 2, f.rgb, nullptr).size();
  state.SetLabel(Name(int(state.range(0))));
  state.counters["bytes"] = double(size);
}
BENCHMARK(BM_LibpngWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Reading libpng's default file (adaptive filters, zlib 6).
void BM_OurPngRead(benchmark::State& state) {
  const Fixture& f = Get(int(state.range(0)));
  for (auto _ : state) {
    BitmapImage out;
    PngDecoder().Decode(f.libpngFile.data(), f.libpngFile.size(), out);
    benchmark::DoNotOptimize(out.ImageData());
  }
  state.SetLabel(Name(int(state.range(0))));
}
BENCHMARK(BM_OurPngRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LibpngRead(benchmark::State& state) {
  const Fixture& f = Get(int(state.range(0)));
  std::vector<uint8_t> pixels;
  for (auto _ : state) {
    LibpngDecode(f.libpngFile, pixels);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetLabel(Name(int(state.range(0))));
}
BENCHMARK(BM_LibpngRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_OurInflate(benchmark::State& state) {
  const Fixture& f = Get(int(state.range(0)));
  const auto z = Zlib(f.rows, 6);
  for (auto _ : state) benchmark::DoNotOptimize(InflateDecoder::DecompressZlib(z.data(), z.size(), f.rows.size()).data.data());
  state.SetLabel(Name(int(state.range(0))));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.rows.size()));
}
BENCHMARK(BM_OurInflate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ZlibInflate(benchmark::State& state) {
  const Fixture& f = Get(int(state.range(0)));
  const auto z = Zlib(f.rows, 6);
  std::vector<uint8_t> out(f.rows.size());
  for (auto _ : state) {
    uLongf n = uLongf(out.size());
    uncompress(out.data(), &n, z.data(), uLong(z.size()));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel(Name(int(state.range(0))));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.rows.size()));
}
BENCHMARK(BM_ZlibInflate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
