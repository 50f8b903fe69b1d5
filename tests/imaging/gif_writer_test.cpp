#include "imaging/codecs/gif_writer.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "imaging/dib_image.h"
#include "support/test_support.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::TempDir;

// What giflib makes of a file.
struct PeerGif {
  int width = 0, height = 0;
  int colorCount = 0;
  std::vector<GifColorType> colors;
  std::vector<uint8_t> indexes;
  int transparent = -2;  // -2: no control extension at all
};

PeerGif DecodeWithGiflib(const std::string& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  EXPECT_NE(gif, nullptr) << GifErrorString(error);
  PeerGif out;
  if (!gif) return out;
  EXPECT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
  EXPECT_EQ(gif->ImageCount, 1);
  if (gif->ImageCount >= 1) {
    out.width = gif->SWidth;
    out.height = gif->SHeight;
    EXPECT_NE(gif->SColorMap, nullptr);
    if (gif->SColorMap) {
      out.colorCount = gif->SColorMap->ColorCount;
      out.colors.assign(gif->SColorMap->Colors, gif->SColorMap->Colors + out.colorCount);
    }
    const SavedImage& image = gif->SavedImages[0];
    EXPECT_EQ(image.ImageDesc.Width, gif->SWidth);
    EXPECT_EQ(image.ImageDesc.Height, gif->SHeight);
    EXPECT_FALSE(image.ImageDesc.Interlace);
    out.indexes.assign(image.RasterBits, image.RasterBits + size_t(image.ImageDesc.Width) * image.ImageDesc.Height);
    GraphicsControlBlock gcb;
    if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK) out.transparent = gcb.TransparentColor;
  }
  DGifCloseFile(gif, &error);
  return out;
}

struct Palette {
  std::array<uint8_t, 256> red{}, green{}, blue{};
};

Palette RandomPalette(std::mt19937& rng) {
  Palette p;
  for (int i = 0; i < 256; ++i) {
    p.red[i] = uint8_t(rng());
    p.green[i] = uint8_t(rng());
    p.blue[i] = uint8_t(rng());
  }
  return p;
}

// Random noise defeats the string table (many clear codes); bands and gradients let it grow
// long strings. Both kinds go through every case.
std::vector<uint8_t> Picture(int width, int height, int colours, bool noisy, std::mt19937& rng) {
  std::vector<uint8_t> px(size_t(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      px[size_t(y) * width + x] = noisy ? uint8_t(rng() % colours) : uint8_t(((x / 7) ^ (y / 3)) % colours);
  return px;
}

TEST(GifEncoder, OnePixelFileHasTheExactLayout) {
  TempDir dir;
  std::mt19937 rng(1);
  Palette pal = RandomPalette(rng);
  const uint8_t pixel = 5;
  GifEncoder encoder;
  ASSERT_EQ(encoder.Encode(&pixel, dir.file("one.gif"), 1, 1, 0, -1, 8, pal.red.data(), pal.green.data(),
                           pal.blue.data()),
            1);
  std::vector<uint8_t> f = ReadFileBytes(dir.file("one.gif"));
  // 6 + 7 + 768 + 8 + 10, code size, one 4-byte sub-block, 00, 3B.
  ASSERT_EQ(f.size(), 807u);
  EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF89a");
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 6, f.begin() + 13), (std::vector<uint8_t>{1, 0, 1, 0, 0xF7, 0, 0}));
  EXPECT_EQ(f[13 + 3 * 200], pal.red[200]);
  EXPECT_EQ(f[13 + 3 * 200 + 2], pal.blue[200]);
  // No transparency: flag 0, index FF.
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 781, f.begin() + 789),
            (std::vector<uint8_t>{0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0xFF, 0x00}));
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 789, f.begin() + 799),
            (std::vector<uint8_t>{0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0}));
  // Codes clear (256), 5, end (257) at 9 bits each, LSB first: 0x04040B00.
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 799, f.end()),
            (std::vector<uint8_t>{8, 4, 0x00, 0x0B, 0x04, 0x04, 0x00, 0x3B}));
}

TEST(GifEncoder, FourBitHeaderAndTransparentControlBlock) {
  std::mt19937 rng(2);
  Palette pal = RandomPalette(rng);
  std::vector<uint8_t> px = Picture(9, 4, 16, true, rng);
  std::vector<uint8_t> f =
      GifEncoder::EncodeToMemory(px.data(), 9, 4, 0, 0, 4, pal.red.data(), pal.green.data(), pal.blue.data());
  EXPECT_EQ(f[10], 0xB3);
  // 48-byte table, then the control extension with the transparency flag and index 0.
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 61, f.begin() + 69),
            (std::vector<uint8_t>{0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(f[79], 4);  // LZW minimum code size
}

TEST(GifEncoder, GiflibDecodesExactlyWhatWeWrote) {
  struct Case {
    int width, height, bits, transparent;
    bool noisy;
  };
  const Case cases[] = {
      {1, 1, 8, -1, true},     {1, 1, 4, 0, true},      {3, 7, 4, -1, true},     {253, 3, 8, 7, false},
      {800, 200, 8, -1, true}, {800, 200, 8, 0, false}, {1600, 400, 4, 0, true}, {1600, 400, 8, -1, false},
      {5, 5, 1, -1, true},     {64, 64, 2, 3, true},
  };
  TempDir dir;
  std::mt19937 rng(3);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " " << c.bits << " bits, transparent "
                                    << c.transparent << (c.noisy ? " noise" : " bands"));
    Palette pal = RandomPalette(rng);
    std::vector<uint8_t> px = Picture(c.width, c.height, 1 << c.bits, c.noisy, rng);
    GifEncoder encoder;
    const std::string path = dir.file("case.gif");
    ASSERT_EQ(encoder.Encode(px.data(), path, c.width, c.height, 0, c.transparent, c.bits, pal.red.data(),
                             pal.green.data(), pal.blue.data()),
              1)
        << encoder.Message();
    PeerGif peer = DecodeWithGiflib(path);
    EXPECT_EQ(peer.width, c.width);
    EXPECT_EQ(peer.height, c.height);
    ASSERT_EQ(peer.colorCount, 1 << c.bits);
    for (int i = 0; i < peer.colorCount; ++i) {
      EXPECT_EQ(peer.colors[i].Red, pal.red[i]);
      EXPECT_EQ(peer.colors[i].Green, pal.green[i]);
      EXPECT_EQ(peer.colors[i].Blue, pal.blue[i]);
    }
    EXPECT_EQ(peer.transparent, c.transparent < 0 ? NO_TRANSPARENT_COLOR : c.transparent);
    EXPECT_TRUE(peer.indexes == px) << "pixel indexes differ";
  }
}

TEST(GifEncoder, FailuresLeaveNothingBehindAndReportWhy) {
  TempDir dir;
  std::mt19937 rng(4);
  Palette pal = RandomPalette(rng);
  std::vector<uint8_t> px = Picture(20, 10, 256, true, rng);
  GifEncoder encoder;

  const std::string missing = dir.file("no/such/folder/x.gif");
  EXPECT_EQ(encoder.Encode(px.data(), missing, 20, 10, 0, -1, 8, pal.red.data(), pal.green.data(), pal.blue.data()),
            0);
  EXPECT_EQ(encoder.Message(), "Can't open GIF for writing");
  EXPECT_FALSE(std::filesystem::exists(missing));

  // An index a 4-bit table cannot hold: refused, and the good file already there stays.
  const std::string kept = dir.file("kept.gif");
  testsupport::WriteFileBytes(kept, {1, 2, 3});
  EXPECT_EQ(encoder.Encode(px.data(), kept, 20, 10, 0, -1, 4, pal.red.data(), pal.green.data(), pal.blue.data()),
            0);
  EXPECT_NE(encoder.Message().find("outside the 16-entry colour table"), std::string::npos) << encoder.Message();
  EXPECT_EQ(ReadFileBytes(kept), (std::vector<uint8_t>{1, 2, 3}));

  // The format's 16-bit sizes, and depths past 8 bits.
  EXPECT_EQ(encoder.Encode(px.data(), kept, 70000, 1, 0, -1, 8, pal.red.data(), pal.green.data(), pal.blue.data()),
            0);
  EXPECT_EQ(encoder.Encode(px.data(), kept, 0, 10, 0, -1, 8, pal.red.data(), pal.green.data(), pal.blue.data()),
            0);
  EXPECT_EQ(encoder.Encode(px.data(), kept, 20, 10, 0, -1, 9, pal.red.data(), pal.green.data(), pal.blue.data()),
            0);
  EXPECT_EQ(ReadFileBytes(kept), (std::vector<uint8_t>{1, 2, 3}));
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename(), "kept.gif") << "stray file " << e.path();
}

TEST(SaveGif, WritesPalettedPicturesAndRefusesTrueColour) {
  TempDir dir;
  BgrPalette bgr{};
  for (int i = 0; i < 256; ++i) {
    bgr[3 * i] = uint8_t(i);            // blue
    bgr[3 * i + 1] = uint8_t(255 - i);  // green
    bgr[3 * i + 2] = uint8_t(i * 7);    // red
  }
  DibImage image;
  ASSERT_EQ(image.Create(13, 5, 8, bgr.data()), 1);
  {
    DibRowTable rows(image);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 13; ++x) rows[y][x] = uint8_t((y * 13 + x) % 16);
  }
  const std::string path = dir.file("p.gif");
  for (int bits : {4, 8}) {
    ASSERT_EQ(SaveGif(image, path, 0, 0, bits), 1);
    PeerGif peer = DecodeWithGiflib(path);
    ASSERT_EQ(peer.width, 13);
    ASSERT_EQ(peer.colorCount, 1 << bits);
    EXPECT_EQ(peer.transparent, 0);
    // Top row first: row 0 of the file is the picture's top row.
    for (int i = 0; i < 13 * 5; ++i) EXPECT_EQ(peer.indexes[i], i % 16);
    EXPECT_EQ(peer.colors[3].Red, 21);
    EXPECT_EQ(peer.colors[3].Green, 252);
    EXPECT_EQ(peer.colors[3].Blue, 3);
  }

  // An index above 15 cannot go into a 16-colour GIF: an error naming the file, no file.
  {
    DibRowTable rows(image);
    rows[2][4] = 200;
  }
  const std::string bad = dir.file("bad.gif");
  try {
    SaveGif(image, bad, 0, -1, 4);
    ADD_FAILURE() << "no exception";
  } catch (const GraphicsException& e) {
    EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
  }
  EXPECT_FALSE(std::filesystem::exists(bad));

  DibImage colour;
  ASSERT_EQ(colour.Create(4, 4, 24), 1);
  EXPECT_EQ(SaveGif(colour, dir.file("c.gif"), 0, -1, 8), 0);
  EXPECT_EQ(SaveGif(DibImage(), dir.file("e.gif"), 0, -1, 8), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("c.gif")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("e.gif")));
}

TEST(SaveGif, OneBitPictureUsesItsTwoPaletteEntries) {
  // A packed 1-bit DIB as a BMP file holds it: 40-byte header, two colours, rows bottom first.
  const int width = 10, height = 2, stride = 4;
  std::vector<uint8_t> dib(40 + 8 + stride * height, 0);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&dib[at], &v, 4); };
  put32(0, 40);
  put32(4, width);
  put32(8, height);
  dib[12] = 1;
  dib[14] = 1;
  put32(20, stride * height);
  put32(32, 2);
  // Entry 0 (blue, green, red, 0) dark red, entry 1 pale green.
  const uint8_t table[8] = {0, 0, 128, 0, 200, 255, 200, 0};
  std::memcpy(&dib[40], table, 8);
  dib[48] = 0b11110000;  // bottom row: first four set
  dib[48 + 4] = 0b10000000;
  dib[48 + 5] = 0b01000000;  // top row: pixels 0 and 9 set
  DibImage image;
  std::string why;
  ASSERT_EQ(image.Adopt(dib, &why), 1) << why;
  ASSERT_TRUE(image.HasPalette());
  TempDir dir;
  ASSERT_EQ(SaveGif(image, dir.file("mono.gif"), 0, -1, 8), 1);
  PeerGif peer = DecodeWithGiflib(dir.file("mono.gif"));
  ASSERT_EQ(peer.indexes.size(), 20u);
  const std::vector<uint8_t> expected = {1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(peer.indexes, expected);
  EXPECT_EQ(peer.colors[0].Red, 128);
  EXPECT_EQ(peer.colors[1].Green, 255);
  EXPECT_EQ(peer.colors[1].Blue, 200);
}

}  // namespace
