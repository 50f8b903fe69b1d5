#include "imaging/codecs/inflate_decoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

namespace {

std::vector<uint8_t> Mixed(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    size_t block = i / 4096;
    v[i] = block % 3 == 0 ? uint8_t(rng()) : block % 3 == 1 ? uint8_t(i / 50) : uint8_t("quorbel"[i % 7]);
  }
  return v;
}

// zlib with a chosen strategy and window; windowBits < 0 gives raw deflate.
std::vector<uint8_t> ZlibDeflate(const std::vector<uint8_t>& in, int level, int windowBits, int strategy) {
  z_stream s{};
  deflateInit2(&s, level, Z_DEFLATED, windowBits, 8, strategy);
  std::vector<uint8_t> out(deflateBound(&s, uLong(in.size())) + 64);
  s.next_in = const_cast<Bytef*>(in.data());
  s.avail_in = uInt(in.size());
  s.next_out = out.data();
  s.avail_out = uInt(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

std::string ErrorOf(const std::vector<uint8_t>& z, size_t maxOutput, bool raw = false) {
  try {
    if (raw) InflateDecoder::DecompressRaw(z.data(), z.size(), maxOutput);
    else InflateDecoder::DecompressZlib(z.data(), z.size(), maxOutput);
  } catch (const InflateDecoder::InflateError& e) {
    return e.what();
  }
  return "";
}

// Writes bits least significant first, for hand-made streams.
struct Bits {
  std::vector<uint8_t> bytes;
  int used = 0;
  void Put(uint32_t value, int n) {
    for (int i = 0; i < n; ++i) {
      if (used == 0) bytes.push_back(0);
      bytes.back() = uint8_t(bytes.back() | (((value >> i) & 1) << used));
      used = (used + 1) & 7;
    }
  }
  // Huffman codes go most significant bit first.
  void Code(uint32_t code, int n) {
    for (int i = n - 1; i >= 0; --i) Put((code >> i) & 1, 1);
  }
};

TEST(Inflate, ReadsWhatZlibWritesAtEveryLevelAndStrategy) {
  const std::vector<std::vector<uint8_t>> inputs = {{}, {7}, Mixed(70000, 1), Mixed(400000, 2),
                                                    std::vector<uint8_t>(100000, 0xAB)};
  for (const auto& in : inputs) {
    for (int level = 0; level <= 9; ++level) {
      SCOPED_TRACE("size " + std::to_string(in.size()) + " level " + std::to_string(level));
      auto z = ZlibDeflate(in, level, 15, Z_DEFAULT_STRATEGY);
      auto r = InflateDecoder::DecompressZlib(z.data(), z.size(), in.size());
      EXPECT_TRUE(r.data == in);
      EXPECT_EQ(r.consumed, z.size());
    }
    for (int strategy : {Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE, Z_FILTERED}) {
      auto z = ZlibDeflate(in, 6, 15, strategy);
      EXPECT_TRUE(InflateDecoder::DecompressZlib(z.data(), z.size(), in.size()).data == in) << strategy;
    }
    // Raw deflate, stored blocks included (level 0), and a small window.
    for (int level : {0, 1, 9}) {
      auto raw = ZlibDeflate(in, level, -15, Z_DEFAULT_STRATEGY);
      auto r = InflateDecoder::DecompressRaw(raw.data(), raw.size(), in.size());
      EXPECT_TRUE(r.data == in);
      EXPECT_EQ(r.consumed, raw.size());
    }
    auto small = ZlibDeflate(in, 9, 9, Z_DEFAULT_STRATEGY);
    EXPECT_TRUE(InflateDecoder::DecompressZlib(small.data(), small.size(), in.size()).data == in);
  }
}

TEST(Inflate, OutputIsCappedSoBombsFail) {
  const std::vector<uint8_t> zeros(4 << 20, 0);
  const auto z = ZlibDeflate(zeros, 9, 15, Z_DEFAULT_STRATEGY);
  ASSERT_LT(z.size(), 10000u);
  EXPECT_EQ(ErrorOf(z, 1 << 20), "Decompressed Data Too Large");
  EXPECT_EQ(ErrorOf(z, zeros.size() - 1), "Decompressed Data Too Large");
  EXPECT_EQ(ErrorOf(z, zeros.size()), "");
  // Stored data counts too.
  const auto stored = ZlibDeflate(std::vector<uint8_t>(1000, 1), 0, 15, Z_DEFAULT_STRATEGY);
  EXPECT_EQ(ErrorOf(stored, 999), "Decompressed Data Too Large");
}

TEST(Inflate, DamagedHeadersAndTrailersAreNamed) {
  const auto in = Mixed(5000, 4);
  const auto good = ZlibDeflate(in, 6, 15, Z_DEFAULT_STRATEGY);
  auto bad = good;
  bad[1] ^= 1;  // check bits no longer divide
  EXPECT_EQ(ErrorOf(bad, in.size()), "Corrupt Compression Header flags");
  bad = good;
  bad[0] = 0x79;  // method 9
  bad[1] = uint8_t(31 - (0x7900 % 31));
  EXPECT_EQ(ErrorOf(bad, in.size()), "Corrupt Compression Header flags");
  bad = good;
  bad[0] = 0x88;  // window of 64 KiB
  bad[1] = uint8_t(31 - (0x8800 % 31));
  EXPECT_EQ(ErrorOf(bad, in.size()), "Corrupt Compression Header flags");
  bad = {0x78, uint8_t(0x20 + (31 - ((0x7820) % 31)) % 31), 0, 0, 0, 0};  // preset dictionary
  ASSERT_EQ((bad[0] * 256 + bad[1]) % 31, 0);
  EXPECT_EQ(ErrorOf(bad, 100), "Corrupt Compression Header flags");
  bad = good;
  bad.back() ^= 0x40;
  EXPECT_EQ(ErrorOf(bad, in.size()), "Adler-32 Checksum Mismatch");
  EXPECT_EQ(ErrorOf(std::vector<uint8_t>(good.begin(), good.end() - 2), in.size()), "Premature end of file");
}

// The header of a final block with the fixed codes.
Bits Fixed() {
  Bits b;
  b.Put(1, 1);
  b.Put(1, 2);
  return b;
}

TEST(Inflate, DamagedBlocksAreNamed) {
  {
    Bits b;  // block type 3
    b.Put(1, 1);
    b.Put(3, 2);
    EXPECT_EQ(ErrorOf(b.bytes, 100, true), "Invalid Block Type");
  }
  {
    Bits b;  // stored block whose length and complement disagree
    b.Put(1, 1);
    b.Put(0, 2);
    b.bytes.insert(b.bytes.end(), {5, 0, 0xFA, 0xFE, 1, 2, 3, 4, 5});
    EXPECT_EQ(ErrorOf(b.bytes, 100, true), "Stored Block Length Mismatch");
  }
  {
    Bits b = Fixed();  // a match before any output
    b.Code(0x01, 7);  // 257: length 3
    b.Code(0, 5);     // distance 1
    b.Code(0, 7);     // end of block
    EXPECT_EQ(ErrorOf(b.bytes, 100, true), "Length Command Out of Range");
  }
  {
    Bits b = Fixed();  // literal/length 286 does not exist
    b.Code(0xC0 + 6, 8);
    b.Code(0, 7);
    EXPECT_EQ(ErrorOf(b.bytes, 100, true), "Bad Length Code");
  }
  {
    Bits b = Fixed();  // literal 'A', then distance code 30
    b.Code(0x30 + 'A', 8);
    b.Code(0x01, 7);
    b.Code(30, 5);
    b.Code(0, 7);
    EXPECT_EQ(ErrorOf(b.bytes, 100, true), "Bad Distance Code");
  }
  {
    Bits b = Fixed();  // correct: "AAAA" as a literal and an overlapping match
    b.Code(0x30 + 'A', 8);
    b.Code(0x01, 7);
    b.Code(0, 5);
    b.Code(0, 7);
    auto r = InflateDecoder::DecompressRaw(b.bytes.data(), b.bytes.size(), 100);
    EXPECT_EQ(std::string(r.data.begin(), r.data.end()), "AAAA");
  }
  {
    Bits b;  // dynamic block whose code-length code is over-subscribed (three 1-bit codes)
    b.Put(1, 1);
    b.Put(2, 2);
    b.Put(0, 5);
    b.Put(0, 5);
    b.Put(0, 4);
    for (int i = 0; i < 3; ++i) b.Put(1, 3);
    b.Put(0, 3);
    EXPECT_EQ(ErrorOf(b.bytes, 100, true), "Invalid Huffman Code");
  }
}

}  // namespace
