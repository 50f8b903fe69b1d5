#include "imaging/codecs/png_decoder.h"

#include <gtest/gtest.h>

#include <random>

#include "imaging/codecs/png_encoder.h"
#include "imaging/dib_image.h"
#include "imaging/png_peer_support.h"
#include "support/test_support.h"

namespace {

using pngpeer::Chunk;
using testsupport::TempDir;

struct Rgb {
  uint8_t r, g, b;
};

// Pixel (x, y) of a decoded BitmapImage, whatever its bit count.
Rgb PixelOf(const BitmapImage& img, unsigned x, unsigned y) {
  const uint8_t* row = img.TopDownRow(y);
  if (img.BitCount() == 24) return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
  const unsigned d = img.BitCount(), bit = x * d;
  const unsigned idx = (row[bit / 8] >> (8 - d - bit % 8)) & ((1u << d) - 1);
  const auto& c = img.ColorMap(idx);
  return {c.red, c.green, c.blue};
}

uint8_t Over(unsigned c, unsigned a, unsigned bg) { return uint8_t((c * a + bg * (255 - a) + 127) / 255); }

std::string DecodeError(const std::vector<uint8_t>& file) {
  BitmapImage img;
  try {
    PngDecoder().Decode(file.data(), file.size(), img);
  } catch (const PngDecoder::PngError& e) {
    return e.what();
  }
  return "";
}

pngpeer::Picture RandomPicture(uint32_t w, uint32_t h, int colorType, int depth, int interlace, uint32_t seed) {
  std::mt19937 rng(seed);
  pngpeer::Picture p;
  p.width = w;
  p.height = h;
  p.colorType = colorType;
  p.bitDepth = depth;
  p.interlace = interlace;
  const int channels = colorType == 0 || colorType == 3 ? 1 : colorType == 4 ? 2 : colorType == 2 ? 3 : 4;
  const size_t rowBytes = (size_t(w) * channels * depth + 7) / 8;
  unsigned paletteSize = 0;
  if (colorType == 3) {
    paletteSize = std::max(1u, (1u << depth) - 1);  // a short palette
    for (unsigned i = 0; i < paletteSize; ++i) p.palette.push_back({uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
  }
  for (uint32_t y = 0; y < h; ++y) {
    std::vector<uint8_t> row(rowBytes);
    if (colorType == 3) {
      for (uint32_t x = 0; x < w; ++x) {
        const unsigned idx = rng() % paletteSize, bit = x * unsigned(depth);
        row[bit / 8] = uint8_t(row[bit / 8] | (idx << (8 - depth - bit % 8)));
      }
    } else {
      // Smooth enough to exercise the filters, noisy enough to be interesting.
      for (size_t i = 0; i < rowBytes; ++i) row[i] = uint8_t(rng() % 4 ? (i * 5 + y * 3) : rng());
    }
    p.rows.push_back(row);
  }
  return p;
}

void ExpectMatchesLibpng(const std::vector<uint8_t>& file, Rgb background, const std::string& what) {
  SCOPED_TRACE(what);
  const auto peer = pngpeer::Decode(file);
  ASSERT_TRUE(peer.ok) << peer.error;
  BitmapImage img;
  PngDecoder().Decode(file.data(), file.size(), img);
  ASSERT_EQ(img.Width(), peer.width);
  ASSERT_EQ(img.Height(), peer.height);
  long bad = 0;
  for (uint32_t y = 0; y < peer.height; ++y)
    for (uint32_t x = 0; x < peer.width; ++x) {
      const uint8_t* q = &peer.rgba[(size_t(y) * peer.width + x) * 4];
      const Rgb want{Over(q[0], q[3], background.r), Over(q[1], q[3], background.g), Over(q[2], q[3], background.b)};
      const Rgb got = PixelOf(img, x, y);
      bad += got.r != want.r || got.g != want.g || got.b != want.b;
    }
  EXPECT_EQ(bad, 0);
}

TEST(PngDecoder, EveryColourTypeAndDepthMatchesLibpng) {
  const std::pair<int, std::vector<int>> kinds[] = {
      {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
  const std::pair<uint32_t, uint32_t> sizes[] = {{1, 1}, {13, 7}, {3, 9}, {33, 17}};
  uint32_t seed = 1;
  for (const auto& [type, depths] : kinds)
    for (int depth : depths)
      for (int interlace : {0, 1})
        for (auto [w, h] : sizes) {
          auto pic = RandomPicture(w, h, type, depth, interlace, seed++);
          const auto file = pngpeer::Encode(pic);
          ASSERT_FALSE(file.empty());
          ExpectMatchesLibpng(file, {255, 255, 255},
                              "type " + std::to_string(type) + " depth " + std::to_string(depth) + " interlace " +
                                  std::to_string(interlace) + " " + std::to_string(w) + "x" + std::to_string(h));
        }
}

TEST(PngDecoder, TransparencyIsCompositedOnTheBackground) {
  // Palette alpha, grey and RGB colour keys, over white and over the file's bKGD.
  for (bool withBackground : {false, true}) {
    auto pal = RandomPicture(20, 6, 3, 4, 0, 90);
    for (size_t i = 0; i < pal.palette.size(); ++i) pal.paletteAlpha.push_back(uint8_t(i * 17));
    auto grey = RandomPicture(20, 6, 0, 2, 1, 91);
    grey.hasKey = true;
    grey.key.gray = 2;
    auto grey16 = RandomPicture(20, 6, 0, 16, 0, 92);
    grey16.hasKey = true;
    grey16.key.gray = uint16_t(grey16.rows[0][0] << 8 | grey16.rows[0][1]);
    auto rgb = RandomPicture(20, 6, 2, 8, 0, 93);
    rgb.hasKey = true;
    rgb.key.red = rgb.rows[1][0];
    rgb.key.green = rgb.rows[1][1];
    rgb.key.blue = rgb.rows[1][2];
    auto rgba = RandomPicture(20, 6, 6, 16, 1, 94);
    Rgb bg{255, 255, 255};
    if (withBackground) {
      bg = {0, 128, 64};
      for (auto* p : {&rgb, &rgba}) {
        p->hasBackground = true;
        p->background.red = p->bitDepth == 16 ? 0x0000 : 0;
        p->background.green = p->bitDepth == 16 ? 0x80FF : 128;
        p->background.blue = p->bitDepth == 16 ? 0x4000 : 64;
      }
    }
    ExpectMatchesLibpng(pngpeer::Encode(pal), {255, 255, 255}, "palette");
    ExpectMatchesLibpng(pngpeer::Encode(grey), {255, 255, 255}, "grey 2");
    ExpectMatchesLibpng(pngpeer::Encode(grey16), {255, 255, 255}, "grey 16");
    ExpectMatchesLibpng(pngpeer::Encode(rgb), bg, "rgb");
    ExpectMatchesLibpng(pngpeer::Encode(rgba), bg, "rgba");
  }
  // A caller's background is used when the file has none.
  auto rgba = RandomPicture(5, 5, 6, 8, 0, 95);
  const auto file = pngpeer::Encode(rgba);
  const auto peer = pngpeer::Decode(file);
  PngDecoder dec;
  dec.SetBackground(10, 20, 30);
  BitmapImage img;
  dec.Decode(file.data(), file.size(), img);
  const uint8_t* q = &peer.rgba[0];
  EXPECT_EQ(PixelOf(img, 0, 0).b, Over(q[2], q[3], 30));
}

// Our own palette file read through the picture store: 24 bits with the palette's colours.
TEST(PngDecoder, PalettePicturesArriveAsTrueColourInTheStore) {
  TempDir dir;
  BgrPalette pal{};
  for (int i = 0; i < 256; ++i) pal[size_t(3 * i)] = uint8_t(i), pal[size_t(3 * i + 1)] = 7, pal[size_t(3 * i + 2)] = uint8_t(255 - i);
  DibImage eight;
  ASSERT_EQ(eight.Create(9, 4, 8, pal.data()), 1);
  {
    DibRowTable rows(eight);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 9; ++x) rows[y][x] = uint8_t(x * 20 + y);
  }
  ASSERT_EQ(WritePng256(eight, dir.file("p.png")), 1);
  DibImage back;
  ASSERT_EQ(back.Load(dir.file("p.png")), 1);
  ASSERT_EQ(back.BitCount(), 24);
  DibRowTable rows(back);
  EXPECT_EQ(rows[2][3 * 4], 82);        // blue of entry 82
  EXPECT_EQ(rows[2][3 * 4 + 1], 7);
  EXPECT_EQ(rows[2][3 * 4 + 2], 255 - 82);
}

std::vector<Chunk> GoodChunks() {
  // 4 x 2 RGB, filter None.
  std::vector<uint8_t> raw;
  for (int y = 0; y < 2; ++y) {
    raw.push_back(0);
    for (int i = 0; i < 12; ++i) raw.push_back(uint8_t(i * 20 + y));
  }
  return {{"IHDR", pngpeer::Ihdr(4, 2, 8, 2)}, {"IDAT", pngpeer::ZlibCompress(raw)}, {"IEND", {}}};
}

TEST(PngDecoder, BrokenChunkStructureIsNamed) {
  ASSERT_EQ(DecodeError(pngpeer::BuildPng(GoodChunks())), "");
  auto c = GoodChunks();
  auto file = pngpeer::BuildPng(c);
  file[0] = 'X';
  EXPECT_EQ(DecodeError(file), "Not a PNG file");
  file = pngpeer::BuildPng(c);
  file[20] ^= 1;  // inside IHDR's data
  EXPECT_EQ(DecodeError(file), "Invalid Chunk CRC");

  auto with = [&](auto edit) {
    auto chunks = GoodChunks();
    edit(chunks);
    return DecodeError(pngpeer::BuildPng(chunks));
  };
  EXPECT_EQ(with([](auto& v) { v.erase(v.begin()); }), "Missing IHDR Chunk");
  EXPECT_EQ(with([](auto& v) { v.insert(v.begin() + 1, v[0]); }), "Duplicate IHDR Block");
  EXPECT_EQ(with([](auto& v) { v[0].data.pop_back(); }), "Invalid Header Length");
  EXPECT_EQ(with([](auto& v) { v[0].data[9] = 5; }), "Invalid Color Type");
  EXPECT_EQ(with([](auto& v) { v[0].data[8] = 3; }), "Invalid Bit Depth");
  EXPECT_EQ(with([](auto& v) { v[0].data[8] = 4; }), "Invalid Image Depth");
  EXPECT_EQ(with([](auto& v) { v[0].data[10] = 1; }), "Invalid Compression Method");
  EXPECT_EQ(with([](auto& v) { v[0].data[11] = 1; }), "Invalid Filter Method");
  EXPECT_EQ(with([](auto& v) { v[0].data[12] = 2; }), "Invalid Interlace Method");
  EXPECT_EQ(with([](auto& v) { v[0].data = pngpeer::Ihdr(0, 2, 8, 2); }), "Invalid Image Dimensions");
  EXPECT_EQ(with([](auto& v) { v[0].data = pngpeer::Ihdr(0x80000000u, 2, 8, 2); }), "Invalid Image Dimensions");
  EXPECT_EQ(with([](auto& v) { v.insert(v.begin() + 2, Chunk{"PLTE", {1, 2, 3}}); }), "PLTE block must occur before IDAT");
  EXPECT_EQ(with([](auto& v) { v[0].data[9] = 3; }), "Missing PLTE Chunk");
  EXPECT_EQ(with([](auto& v) {
              v.insert(v.begin() + 1, Chunk{"PLTE", {1, 2, 3, 4}});
            }),
            "Invalid PLTE Chunk Length");
  EXPECT_EQ(with([](auto& v) {
              auto idat = v[1].data;
              v[1].data.resize(idat.size() / 2);
              v.insert(v.begin() + 2, Chunk{"tEXt", {'a', 0, 'b'}});
              v.insert(v.begin() + 3, Chunk{"IDAT", std::vector<uint8_t>(idat.begin() + long(idat.size() / 2), idat.end())});
            }),
            "Image Contains Multiple Data Segments");
  EXPECT_EQ(with([](auto& v) { v.erase(v.begin() + 1); }), "Missing IDAT Chunk");
  EXPECT_EQ(with([](auto& v) { v[1].data.clear(); }), "Image Contains no Pixel Data");
  EXPECT_EQ(with([](auto& v) { v.insert(v.begin() + 1, Chunk{"ABCD", {}}); }), "Unknown critical chunk");
  EXPECT_EQ(with([](auto& v) { v.insert(v.begin() + 1, Chunk{"abCd", {1, 2}}); }), "");
  EXPECT_EQ(with([](auto& v) { v.insert(v.begin() + 1, Chunk{"gAMA", {1, 2}}); }), "gAMA chunk too small");
  EXPECT_EQ(with([](auto& v) { v.insert(v.begin() + 1, Chunk{"pHYs", {1, 2}}); }), "pHYs chunk size invalid");
  EXPECT_EQ(with([](auto& v) { v.insert(v.begin() + 1, Chunk{"tIME", {1}}); }), "tIME chunk size invalid");
  EXPECT_EQ(with([](auto& v) { v.insert(v.begin() + 1, Chunk{"tRNS", {1}}); }), "tRNS chunk length invalid");
  EXPECT_EQ(with([](auto& v) { v.insert(v.begin() + 1, Chunk{"bKGD", {1}}); }), "bKGD Chunk too small");
  EXPECT_EQ(with([](auto& v) { v.pop_back(); }), "Premature End of File");
}

TEST(PngDecoder, BrokenImageDataIsNamed) {
  auto with = [&](std::vector<uint8_t> raw) {
    auto chunks = GoodChunks();
    chunks[1].data = pngpeer::ZlibCompress(raw);
    return DecodeError(pngpeer::BuildPng(chunks));
  };
  std::vector<uint8_t> raw(26, 0);
  EXPECT_EQ(with(raw), "");
  raw[13] = 5;
  EXPECT_EQ(with(raw), "Invalid Filter Type");
  EXPECT_EQ(with(std::vector<uint8_t>(25, 0)), "Not enough image data");
  // A bomb: a few hundred bytes that would inflate to 20 MB for a 4 x 2 picture.
  EXPECT_EQ(with(std::vector<uint8_t>(20 << 20, 0)), "Too much image data");
  auto chunks = GoodChunks();
  chunks[1].data.back() ^= 1;
  EXPECT_EQ(DecodeError(pngpeer::BuildPng(chunks)), "Adler-32 Checksum Mismatch");
  chunks = GoodChunks();
  chunks[1].data[0] = 0x77;
  EXPECT_EQ(DecodeError(pngpeer::BuildPng(chunks)), "Corrupt Compression Header flags");
}

// A failed read leaves the picture as it was.
TEST(PngDecoder, FailedReadsLeaveThePictureAlone) {
  auto pic = RandomPicture(40, 30, 6, 16, 1, 77);
  const auto file = pngpeer::Encode(pic);
  TempDir dir;
  testsupport::WriteFileBytes(dir.file("bad.png"), std::vector<uint8_t>(file.begin(), file.begin() + 100));
  DibImage keep;
  ASSERT_EQ(keep.Create(3, 3, 24), 1);
  EXPECT_THROW(ReadPng(dir.file("bad.png"), keep), GraphicsException);
  EXPECT_EQ(keep.Width(), 3);
  try {
    ReadPng(dir.file("none.png"), keep);
    ADD_FAILURE();
  } catch (const GraphicsException& e) {
    EXPECT_NE(std::string(e.what()).find("Can't open input file"), std::string::npos);
  }
}

}  // namespace
