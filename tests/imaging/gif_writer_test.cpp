#include "imaging/codecs/gif_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <random>

#include "imaging/dib_image.h"
#include "imaging/gif_peer.h"
#include "support/test_support.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::TempDir;
using Bytes = std::vector<uint8_t>;

struct Palette {
  std::array<uint8_t, 256> r{}, g{}, b{};
};

Palette RandomPalette(std::mt19937& rng) {
  Palette p;
  for (int i = 0; i < 256; ++i) p.r[i] = uint8_t(rng()), p.g[i] = uint8_t(rng()), p.b[i] = uint8_t(rng());
  return p;
}

TEST(GifEncoder, ByteLayoutOfSmallFiles) {
  TempDir dir;
  std::mt19937 rng(1);
  Palette pal = RandomPalette(rng);
  const uint8_t pixel = 5;
  GifEncoder encoder;
  ASSERT_EQ(encoder.Encode(&pixel, dir.file("one.gif"), 1, 1, 0, -1, 8, pal.r.data(), pal.g.data(), pal.b.data()), 1);
  Bytes f = ReadFileBytes(dir.file("one.gif"));
  // 6 + 7 + 768 + 8 + 10, code size, one 4-byte sub-block, 00, 3B.
  ASSERT_EQ(f.size(), 807u);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 13), (Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0xF7, 0, 0}));
  EXPECT_EQ(f[13 + 3 * 200 + 2], pal.b[200]);
  // The control extension without transparency (flag 0, index FF), then the image descriptor.
  EXPECT_EQ(Bytes(f.begin() + 781, f.begin() + 799),
            (Bytes{0x21, 0xF9, 4, 0, 0, 0, 0xFF, 0, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0}));
  // Codes clear (256), 5, end (257) at 9 bits each, least significant bit first: 0x04040B00.
  EXPECT_EQ(Bytes(f.begin() + 799, f.end()), (Bytes{8, 4, 0x00, 0x0B, 0x04, 0x04, 0x00, 0x3B}));

  // 4 bits: packed byte B3 and code size 4 (giflib checks the table and transparency below).
  const uint8_t px[6] = {0, 15, 3, 3, 3, 9};
  Bytes g = GifEncoder::EncodeToMemory(px, 3, 2, 0, 0, 4, pal.r.data(), pal.g.data(), pal.b.data());
  EXPECT_EQ(g[10], 0xB3);
  EXPECT_EQ(g[79], 4);
}

TEST(GifEncoder, GiflibDecodesExactlyWhatWeWrote) {
  struct Case {
    int width, height, bits, transparent;
    bool noisy;  // noise keeps the string table filling up (many clear codes); bands grow long strings
  };
  const Case cases[] = {{1, 1, 4, 0, true},      {3, 7, 4, -1, true},      {253, 3, 8, 7, false},
                        {800, 200, 8, -1, true}, {800, 200, 8, 0, false},  {1600, 400, 4, 0, true},
                        {1600, 400, 8, -1, false}, {5, 5, 1, -1, true},    {64, 64, 2, 3, true}};
  TempDir dir;
  std::mt19937 rng(3);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " bits " << c.bits << " t " << c.transparent);
    Palette pal = RandomPalette(rng);
    Bytes px(size_t(c.width) * c.height);
    for (size_t i = 0; i < px.size(); ++i)
      px[i] = uint8_t((c.noisy ? rng() : (i % c.width) / 7 ^ (i / c.width) / 3) % (1u << c.bits));
    GifEncoder encoder;
    ASSERT_EQ(encoder.Encode(px.data(), dir.file("c.gif"), c.width, c.height, 0, c.transparent, c.bits,
                             pal.r.data(), pal.g.data(), pal.b.data()),
              1)
        << encoder.Message();
    gifpeer::PeerGif peer = gifpeer::Read(dir.file("c.gif"));
    EXPECT_EQ(peer.width, c.width);
    ASSERT_EQ(peer.table.size(), size_t(1) << c.bits);
    for (size_t i = 0; i < peer.table.size(); ++i)
      ASSERT_TRUE(peer.table[i].Red == pal.r[i] && peer.table[i].Green == pal.g[i] && peer.table[i].Blue == pal.b[i]);
    EXPECT_EQ(peer.transparent, c.transparent < 0 ? NO_TRANSPARENT_COLOR : c.transparent);
    EXPECT_TRUE(peer.indexes == px) << "pixel indexes differ";
  }
}

TEST(GifEncoder, FailuresLeaveNothingBehind) {
  TempDir dir;
  std::mt19937 rng(4);
  Palette pal = RandomPalette(rng);
  Bytes px(200, 200);  // index 200: more than a 4-bit table holds
  GifEncoder encoder;
  const std::string missing = dir.file("no/such/folder/x.gif");
  EXPECT_EQ(encoder.Encode(px.data(), missing, 20, 10, 0, -1, 8, pal.r.data(), pal.g.data(), pal.b.data()), 0);
  EXPECT_EQ(encoder.Message(), "Can't open GIF for writing");

  const std::string kept = dir.file("kept.gif");
  testsupport::WriteFileBytes(kept, {1, 2, 3});
  EXPECT_EQ(encoder.Encode(px.data(), kept, 20, 10, 0, -1, 4, pal.r.data(), pal.g.data(), pal.b.data()), 0);
  EXPECT_NE(encoder.Message().find("outside the 16-entry colour table"), std::string::npos) << encoder.Message();
  // The format's sizes are 16-bit.
  EXPECT_EQ(encoder.Encode(px.data(), kept, 70000, 1, 0, -1, 8, pal.r.data(), pal.g.data(), pal.b.data()), 0);
  EXPECT_EQ(ReadFileBytes(kept), (Bytes{1, 2, 3}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "a temporary file stayed";
}

TEST(SaveGif, WritesPalettedPicturesTopRowFirst) {
  TempDir dir;
  BgrPalette bgr{};
  for (int i = 0; i < 256; ++i) bgr[3 * i] = uint8_t(i), bgr[3 * i + 1] = uint8_t(255 - i), bgr[3 * i + 2] = uint8_t(7 * i);
  DibImage image;
  ASSERT_EQ(image.Create(13, 5, 8, bgr.data()), 1);
  {
    DibRowTable rows(image);
    for (int i = 0; i < 13 * 5; ++i) rows[i / 13][i % 13] = uint8_t(i % 16);
  }
  for (int bits : {4, 8}) {
    ASSERT_EQ(SaveGif(image, dir.file("p.gif"), 0, 0, bits), 1);
    gifpeer::PeerGif peer = gifpeer::Read(dir.file("p.gif"));
    ASSERT_EQ(peer.table.size(), size_t(1) << bits);
    EXPECT_EQ(peer.transparent, 0);
    for (int i = 0; i < 13 * 5; ++i) ASSERT_EQ(peer.indexes[i], i % 16);
    EXPECT_TRUE(peer.table[3].Red == 21 && peer.table[3].Green == 252 && peer.table[3].Blue == 3);
  }
  {
    DibRowTable rows(image);
    rows[2][4] = 200;
  }
  EXPECT_THROW(SaveGif(image, dir.file("bad.gif"), 0, -1, 4), GraphicsException);
  EXPECT_FALSE(std::filesystem::exists(dir.file("bad.gif")));

  DibImage colour;
  ASSERT_EQ(colour.Create(4, 4, 24), 1);
  EXPECT_EQ(SaveGif(colour, dir.file("c.gif"), 0, -1, 8), 0);
  EXPECT_EQ(SaveGif(DibImage(), dir.file("c.gif"), 0, -1, 8), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("c.gif")));
}

TEST(SaveGif, OneBitPictureUsesItsTwoPaletteEntries) {
  // A packed 1-bit DIB as a BMP holds it: 40-byte header, two colours, rows bottom first.
  Bytes dib(40 + 8 + 4 * 2, 0);
  const uint32_t header[] = {40, 10, 2, 1 | (1 << 16), 0, 8, 0, 0, 2, 0};
  std::memcpy(dib.data(), header, 40);
  const uint8_t table[8] = {0, 0, 128, 0, 200, 255, 200, 0};  // dark red, pale green
  std::memcpy(&dib[40], table, 8);
  dib[48] = 0b11110000;                      // bottom row: first four set
  dib[52] = 0b10000000, dib[53] = 0b01000000;  // top row: pixels 0 and 9 set
  DibImage image;
  std::string why;
  ASSERT_EQ(image.Adopt(dib, &why), 1) << why;
  TempDir dir;
  ASSERT_EQ(SaveGif(image, dir.file("mono.gif"), 0, -1, 8), 1);
  gifpeer::PeerGif peer = gifpeer::Read(dir.file("mono.gif"));
  EXPECT_EQ(peer.indexes, (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(peer.table[0].Red == 128 && peer.table[1].Green == 255 && peer.table[1].Blue == 200);
}

}  // namespace
