// JPEG writer and reader against libjpeg-turbo: time, file size and PSNR on rendered-like
// pictures (800x200 and a 1600x400 banner), with the same quantisation tables and 1x1 sampling.
#include <benchmark/benchmark.h>

#include "imaging/codecs/jpeg_decoder.h"
#include "imaging/codecs/jpeg_encoder.h"
#include "imaging/codecs/jpeg_tables.h"
#include "tests/imaging/jpeg_peer_support.h"

namespace {

jpegpeer::Picture Source(int64_t width) {
  return jpegpeer::RenderedLike(static_cast<int>(width), static_cast<int>(width / 4));
}

std::vector<uint8_t> Ours(const jpegpeer::Picture& p, bool progressive) {
  auto rows = p.RowTable();
  return JpegEncoder({-1, progressive}).EncodeToMemory(p.width, p.height, rows.data());
}

std::vector<uint8_t> Peer(const jpegpeer::Picture& p, bool progressive) {
  jpegpeer::EncodeSettings s;
  s.luminance = jpeg::kLuminanceQuant.data();
  s.chrominance = jpeg::kChrominanceQuant.data();
  s.progressive = progressive;
  return jpegpeer::Encode(p, s);
}

void Report(benchmark::State& state, const jpegpeer::Picture& p, const std::vector<uint8_t>& file) {
  state.counters["bytes"] = static_cast<double>(file.size());
  state.counters["psnr"] = jpegpeer::Psnr(p, jpegpeer::Decode(file).picture);
  state.SetItemsProcessed(state.iterations() * p.width * p.height);
}

template <bool kOurs, bool kProgressive>
void Encode(benchmark::State& state) {
  jpegpeer::Picture p = Source(state.range(0));
  std::vector<uint8_t> file;
  for (auto _ : state) {
    file = kOurs ? Ours(p, kProgressive) : Peer(p, kProgressive);
    benchmark::DoNotOptimize(file.data());
  }
  Report(state, p, file);
}

template <bool kOurs, bool kProgressive>
void Decode(benchmark::State& state) {
  jpegpeer::Picture p = Source(state.range(0));
  // The same file for both readers: libjpeg-turbo's, 4:2:0 as most files in the wild are.
  jpegpeer::EncodeSettings s;
  s.hLuma = s.vLuma = 2;
  s.progressive = kProgressive;
  std::vector<uint8_t> file = jpegpeer::Encode(p, s);
  for (auto _ : state) {
    if (kOurs) {
      JpegDecoder decoder;
      decoder.Decode(file.data(), file.size());
      std::vector<uint8_t> pixels = decoder.Pixels();
      benchmark::DoNotOptimize(pixels.data());
    } else {
      jpegpeer::Picture d = jpegpeer::Decode(file).picture;
      benchmark::DoNotOptimize(d.bgr.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * p.width * p.height);
}

}  // namespace

BENCHMARK(Encode<true, false>)->Name("EncodeBaseline/ours")->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(Encode<false, false>)->Name("EncodeBaseline/libjpeg")->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(Encode<true, true>)->Name("EncodeProgressive/ours")->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(Encode<false, true>)->Name("EncodeProgressive/libjpeg")->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode<true, false>)->Name("DecodeBaseline/ours")->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode<false, false>)->Name("DecodeBaseline/libjpeg")->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode<true, true>)->Name("DecodeProgressive/ours")->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode<false, true>)->Name("DecodeProgressive/libjpeg")->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
