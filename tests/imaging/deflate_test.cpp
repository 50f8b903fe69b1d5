#include "imaging/codecs/deflate_encoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>

#include "imaging/codecs/checksums.h"

namespace {

std::vector<uint8_t> Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = uint8_t(rng());
  return v;
}

// Rows of a rendered-like picture: flat runs, gradients and a few noisy spots.
std::vector<uint8_t> PictureLike(size_t n) {
  std::vector<uint8_t> v(n);
  std::mt19937 rng(7);
  for (size_t i = 0; i < n; ++i) {
    size_t x = (i / 3) % 640, y = i / 1920;
    uint8_t base = (x / 40 + y / 25) % 3 == 0 ? uint8_t(x / 3 + y) : uint8_t(200 + i % 3 * 20);
    v[i] = (x * y) % 97 == 0 ? uint8_t(rng()) : base;
  }
  return v;
}

std::vector<uint8_t> Words(size_t n) {
  const char* words[] = {"plaquet ", "banner ", "button ", "heading ", "shadow ", "gradient\n"};
  std::mt19937 rng(3);
  std::vector<uint8_t> v;
  while (v.size() < n) for (const char* c = words[rng() % 6]; *c; ++c) v.push_back(uint8_t(*c));
  v.resize(n);
  return v;
}

std::vector<uint8_t> ZlibInflate(const std::vector<uint8_t>& z, size_t expected, int* rc) {
  std::vector<uint8_t> out(expected + 16);
  uLongf n = uLongf(out.size());
  *rc = uncompress(out.data(), &n, z.data(), uLong(z.size()));
  out.resize(n);
  return out;
}

struct Sample {
  const char* name;
  std::vector<uint8_t> data;
};

std::vector<Sample> Samples() {
  std::vector<Sample> s;
  s.push_back({"empty", {}});
  s.push_back({"one byte", {0x5A}});
  s.push_back({"two bytes", {1, 2}});
  s.push_back({"random", Random(200000, 1)});
  s.push_back({"zeros", std::vector<uint8_t>(300000, 0)});
  s.push_back({"picture", PictureLike(1920 * 300)});
  s.push_back({"words", Words(150000)});
  // Runs of a few byte values, short and long, some longer than the window: the searches that
  // settle a whole run of candidates at once.
  std::vector<uint8_t> runs;
  std::mt19937 rng(11);
  while (runs.size() < 400000) runs.insert(runs.end(), rng() % 8 ? rng() % 300 : rng() % 40000, uint8_t(rng() % 3 * 0x7F));
  s.push_back({"runs", runs});
  // A block repeated just inside and just past the window's reach.
  auto far = Random(32768 + 300, 9);
  auto copy = far;
  far.insert(far.end(), copy.begin(), copy.end());
  s.push_back({"far repeats", far});
  return s;
}

TEST(Deflate, EveryLevelInflatesWithZlibToTheInput) {
  for (const Sample& s : Samples()) {
    for (int level = 0; level <= 3; ++level) {
      for (bool smallest : {false, true}) {
        SCOPED_TRACE(std::string(s.name) + " level " + std::to_string(level) + (smallest ? " smallest" : ""));
        auto z = DeflateEncoder::Compress(s.data.data(), s.data.size(), level, smallest);
        // zlib checks the header and the Adler-32 trailer; FLEVEL is ours to state.
        EXPECT_EQ(z.at(1) >> 6, level);
        int rc = 0;
        auto back = ZlibInflate(z, s.data.size(), &rc);
        ASSERT_EQ(rc, Z_OK);
        EXPECT_TRUE(back == s.data);
      }
    }
  }
  // Level 3 (the writers' level) gives the known header bytes.
  auto z = DeflateEncoder::Compress(nullptr, 0, 3);
  EXPECT_EQ(z[0], 0x78);
  EXPECT_EQ(z[1], 0xDA);
}

TEST(Deflate, RunsAndMinimumMatches) {
  const auto words = Words(200000);
  const auto zeros = std::vector<uint8_t>(100000, 0);
  // A run is a chain of overlapping matches; kept apart from their source they cost more.
  const auto runs = DeflateEncoder::Compress(zeros.data(), zeros.size(), 2);
  EXPECT_LT(runs.size(), 300u);
  DeflateEncoder apart;
  apart.SetOverlappingMatches(false);
  VectorSink sink;
  apart.StartCompression(sink);
  apart.CompressData(sink, zeros.data(), zeros.size());
  apart.FinishCompression(sink);
  int rc = 0;
  EXPECT_TRUE(ZlibInflate(sink.bytes, zeros.size(), &rc) == zeros);
  EXPECT_GT(sink.bytes.size(), runs.size());
  EXPECT_LT(sink.bytes.size(), 1200u);
  // A minimum match length trades matches for literals but stays valid.
  DeflateEncoder longOnly;
  longOnly.SetMinimumMatch(6);
  EXPECT_THROW(longOnly.SetMinimumMatch(2), DeflateEncoder::DeflateError);
  VectorSink w;
  longOnly.StartCompression(w);
  longOnly.CompressData(w, words.data(), words.size());
  longOnly.FinishCompression(w);
  EXPECT_TRUE(ZlibInflate(w.bytes, words.size(), &rc) == words);
  // Incompressible data grows only by the Huffman overhead.
  const auto noise = Random(100000, 5);
  EXPECT_LT(DeflateEncoder::Compress(noise.data(), noise.size(), 2).size(), noise.size() + noise.size() / 100);
}

TEST(Deflate, OutputDoesNotDependOnHowTheInputIsFed) {
  const auto data = PictureLike(1920 * 120);
  for (int level : {0, 3}) {
    for (bool smallest : {false, true}) {
      const auto whole = DeflateEncoder::Compress(data.data(), data.size(), level, smallest);
      DeflateEncoder enc;
      enc.SetCompressionLevel(level);
      enc.SetSmallestOutput(smallest);
      VectorSink sink;
      enc.StartCompression(sink);
      std::mt19937 rng(11);
      for (size_t at = 0; at < data.size();) {
        size_t n = std::min<size_t>(data.size() - at, rng() % 3000);
        enc.CompressData(sink, data.data() + at, n);
        at += n;
      }
      enc.FinishCompression(sink);
      EXPECT_TRUE(sink.bytes == whole) << "level " << level;
    }
  }
}

TEST(Deflate, SkewedFrequenciesStillGiveValidLengthLimitedCodes) {
  // Fibonacci frequencies make an unrestricted Huffman code deeper than 15 bits.
  std::vector<uint8_t> data;
  uint64_t a = 1, b = 1;
  for (int sym = 0; sym < 26; ++sym) {
    data.insert(data.end(), size_t(a), uint8_t(sym * 9));
    uint64_t c = a + b;
    a = b;
    b = c;
  }
  std::shuffle(data.begin(), data.end(), std::mt19937(2));
  for (int level : {0, 3}) {
    auto z = DeflateEncoder::Compress(data.data(), data.size(), level);
    int rc = 0;
    EXPECT_TRUE(ZlibInflate(z, data.size(), &rc) == data);
    EXPECT_EQ(rc, Z_OK);
  }
}

TEST(Deflate, MisuseIsRefusedWithItsText) {
  DeflateEncoder enc;
  EXPECT_EQ(enc.CompressionLevel(), 2);
  auto expectText = [](auto fn, const char* text) {
    try {
      fn();
      ADD_FAILURE() << text;
    } catch (const DeflateEncoder::DeflateError& e) {
      EXPECT_STREQ(e.what(), text);
    }
  };
  for (int bad : {-1, 4, 9}) expectText([&] { enc.SetCompressionLevel(bad); }, "Invalid Compression Level");
  VectorSink sink;
  const uint8_t byte = 1;
  expectText([&] { enc.CompressData(sink, &byte, 1); }, "Compression Not Underway");
  expectText([&] { enc.FinishCompression(sink); }, "Compression Not Underway");
  enc.StartCompression(sink);
  expectText([&] { enc.StartCompression(sink); }, "Compression Already Underway");
  enc.CompressData(sink, &byte, 1);
  enc.FinishCompression(sink);
  expectText([&] { enc.FinishCompression(sink); }, "Compression Not Underway");
  // The encoder can be used again after a finished stream.
  VectorSink again;
  enc.StartCompression(again);
  enc.FinishCompression(again);
  int rc = 0;
  EXPECT_TRUE(ZlibInflate(again.bytes, 0, &rc).empty());
  EXPECT_EQ(rc, Z_OK);
}

TEST(Checksums, AgreeWithZlibPiecewise) {
  const auto data = Random(100003, 4);
  EXPECT_EQ(Crc32(0, data.data(), data.size()), crc32(0, data.data(), uInt(data.size())));
  EXPECT_EQ(Adler32(1, data.data(), data.size()), adler32(1, data.data(), uInt(data.size())));
  uint32_t crc = 0, adl = 1;
  for (size_t at = 0; at < data.size(); at += 777) {
    size_t n = std::min<size_t>(777, data.size() - at);
    crc = Crc32(crc, data.data() + at, n);
    adl = Adler32(adl, data.data() + at, n);
  }
  EXPECT_EQ(crc, crc32(0, data.data(), uInt(data.size())));
  EXPECT_EQ(adl, adler32(1, data.data(), uInt(data.size())));
  // Adler-32 of all 0xFF bytes stresses the modulo.
  std::vector<uint8_t> ff(1 << 20, 0xFF);
  EXPECT_EQ(Adler32(1, ff.data(), ff.size()), adler32(1, ff.data(), uInt(ff.size())));
}

}  // namespace
