#include "imaging/codecs/png_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>

#include "imaging/codecs/color_quantizer.h"
#include "imaging/dib_image.h"
#include "imaging/png_peer_support.h"
#include "support/test_support.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::TempDir;

// Text-like shapes on a gradient with a soft shadow, like a rendered heading; `noise` adds
// speckles so that the data does not compress to nothing.
void Paint(DibImage& img, int w, int h, bool noise) {
  ASSERT_EQ(img.Create(w, h, 24), 1);
  DibRowTable rows(img);
  std::mt19937 rng(uint32_t(w * 31 + h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = rows[y] + 3 * x;
      const bool glyph = ((x / 7) % 3 != 0) && ((y / 5) % 4 != 0) && (x % 50 < 35);
      const bool shadow = ((x - 3) / 7) % 3 != 0 && ((y - 3) / 5) % 4 != 0;
      p[0] = uint8_t(glyph ? 40 + y : shadow ? 90 : 230);
      p[1] = uint8_t(glyph ? 30 + x % 200 : shadow ? 90 : 220 - y / 4);
      p[2] = uint8_t(glyph ? 200 : shadow ? 100 : 250);
      if (noise && rng() % 3 == 0) p[rng() % 3] = uint8_t(rng());
    }
  }
}

void ExpectSamePixels(const DibImage& img, const pngpeer::Decoded& d) {
  ASSERT_TRUE(d.ok) << d.error;
  ASSERT_EQ(int(d.width), img.Width());
  ASSERT_EQ(int(d.height), img.Height());
  DibRowTable rows(img);
  long mismatches = 0;
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x) {
      const uint8_t* p = rows[y] + 3 * x;
      const uint8_t* q = &d.rgba[(size_t(y) * d.width + size_t(x)) * 4];
      mismatches += p[2] != q[0] || p[1] != q[1] || p[0] != q[2];
    }
  EXPECT_EQ(mismatches, 0);
}

// What libpng does not check for us (it does check chunk order, CRCs and IEND): our own choices.
void ExpectWellFormed(const std::vector<uint8_t>& file, int colorType) {
  const auto chunks = pngpeer::ParseChunks(file);
  ASSERT_GE(chunks.size(), 4u);
  EXPECT_EQ(chunks.front().data[9], colorType);
  EXPECT_EQ(chunks.front().data[12], 0);  // never interlaced
  EXPECT_EQ(std::string(chunks[1].data.begin(), chunks[1].data.end()), std::string("Software\0Quorbel", 16));
  const auto firstIdat = size_t(std::find_if(chunks.begin(), chunks.end(), [](auto& c) { return c.type == "IDAT"; }) -
                                chunks.begin());
  const auto idats = size_t(std::count_if(chunks.begin(), chunks.end(), [](auto& c) { return c.type == "IDAT"; }));
  ASSERT_LT(firstIdat, chunks.size());
  EXPECT_EQ(chunks[firstIdat].data[0], 0x78);
  EXPECT_EQ(chunks[firstIdat].data[1], 0xDA);
  for (size_t i = firstIdat; i + 1 < firstIdat + idats; ++i) EXPECT_EQ(chunks[i].data.size(), 65536u);
  EXPECT_EQ(std::count_if(chunks.begin(), chunks.end(), [](auto& c) { return c.type == "PLTE"; }),
            colorType == 3 ? 1 : 0);
}

// The filter byte of every row, from the IDAT data inflated by zlib.
std::vector<uint8_t> FilterBytes(const std::vector<uint8_t>& file, size_t rowBytes, size_t rows) {
  std::vector<uint8_t> z, raw, out;
  for (auto& c : pngpeer::ParseChunks(file))
    if (c.type == "IDAT") z.insert(z.end(), c.data.begin(), c.data.end());
  EXPECT_TRUE(pngpeer::ZlibUncompress(z, raw, rows * (rowBytes + 1)));
  EXPECT_EQ(raw.size(), rows * (rowBytes + 1));
  for (size_t y = 0; y < rows && y * (rowBytes + 1) < raw.size(); ++y) out.push_back(raw[y * (rowBytes + 1)]);
  return out;
}

TEST(PngEncoder, TrueColourFilesDecodeWithLibpngToOurPixels) {
  TempDir dir;
  const std::pair<int, int> sizes[] = {{1, 1}, {5, 3}, {1000, 1}, {1, 700}, {300, 240}};
  for (auto [w, h] : sizes) {
    for (bool small : {false, true}) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + (small ? " small" : ""));
      DibImage img;
      Paint(img, w, h, true);
      const std::string path = dir.file("t.png");
      PngWriteOptions opt;
      opt.smallest = small;
      ASSERT_EQ(WritePngTrueColor(img, path, opt), 1);
      const auto file = ReadFileBytes(path);
      ExpectWellFormed(file, 2);
      ExpectSamePixels(img, pngpeer::Decode(file));
      const auto filters = FilterBytes(file, size_t(w) * 3, size_t(h));
      // The noisy 300 x 240 picture needs several IDAT chunks.
      const auto chunks = pngpeer::ParseChunks(file);
      const auto idats = std::count_if(chunks.begin(), chunks.end(), [](auto& c) { return c.type == "IDAT"; });
      if (w == 300 && !small) {
        EXPECT_GE(idats, 2);
      }
      if (!small) {
        EXPECT_EQ(std::set<uint8_t>(filters.begin(), filters.end()), std::set<uint8_t>{0});
      } else {
        for (uint8_t f : filters) EXPECT_LE(f, 4);
      }
    }
  }
}

TEST(PngEncoder, SmallestBeatsLibpngDefaultsOnRenderedPictures) {
  TempDir dir;
  for (bool noise : {false, true}) {
    DibImage img;
    Paint(img, 400, 120, noise);
    PngWriteOptions small;
    small.smallest = true;
    ASSERT_EQ(WritePngTrueColor(img, dir.file("s.png"), small), 1);
    ASSERT_EQ(WritePngTrueColor(img, dir.file("d.png")), 1);
    std::vector<uint8_t> rgb;
    DibRowTable rows(img);
    for (int y = 0; y < img.Height(); ++y)
      for (int x = 0; x < img.Width(); ++x) rgb.insert(rgb.end(), {rows[y][3 * x + 2], rows[y][3 * x + 1], rows[y][3 * x]});
    const auto peer = pngpeer::EncodeRgbDefault(400, 120, rgb);
    const auto ours = std::filesystem::file_size(dir.file("s.png"));
    EXPECT_LE(ours, peer.size()) << "noise " << noise;
    EXPECT_LE(ours, std::filesystem::file_size(dir.file("d.png")));
  }
}

TEST(PngEncoder, EightBitPicturesKeepTheirOwnPalette) {
  TempDir dir;
  BgrPalette pal{};
  for (int i = 0; i < 256; ++i) {
    pal[size_t(3 * i)] = uint8_t(i * 7);        // blue
    pal[size_t(3 * i + 1)] = uint8_t(255 - i);  // green
    pal[size_t(3 * i + 2)] = uint8_t(i);        // red
  }
  DibImage img;
  ASSERT_EQ(img.Create(37, 11, 8, pal.data()), 1);
  {
    DibRowTable rows(img);
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 37; ++x) rows[y][x] = uint8_t((x * 7 + y * 13) % 256);
  }
  ASSERT_EQ(WritePng256(img, dir.file("p.png")), 1);
  const auto file = ReadFileBytes(dir.file("p.png"));
  ExpectWellFormed(file, 3);
  const auto d = pngpeer::Decode(file);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.bitDepth, 8);
  ASSERT_EQ(d.palette.size(), 256u);
  DibRowTable rows(img);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 37; ++x) {
      const int i = rows[y][x];
      const uint8_t* q = &d.rgba[(size_t(y) * 37 + size_t(x)) * 4];
      ASSERT_EQ(q[0], pal[size_t(3 * i + 2)]);
      ASSERT_EQ(q[1], pal[size_t(3 * i + 1)]);
      ASSERT_EQ(q[2], pal[size_t(3 * i)]);
    }
  // The same picture written as true colour shows the same colours.
  ASSERT_EQ(WritePngTrueColor(img, dir.file("t.png")), 1);
  const auto t = pngpeer::Decode(ReadFileBytes(dir.file("t.png")));
  ASSERT_TRUE(t.ok);
  EXPECT_EQ(t.rgba, d.rgba);
}

TEST(PngEncoder, GreyShortcutOnlyForTheExactRamp) {
  TempDir dir;
  // The grey ramp: indexes are the grey levels, so the file is grey without a palette.
  DibImage ramp;
  ASSERT_EQ(ramp.Create(16, 16, 8), 1);
  {
    DibRowTable rows(ramp);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) rows[y][x] = uint8_t(y * 16 + x);
  }
  ASSERT_EQ(WritePng256(ramp, dir.file("g.png")), 1);
  auto file = ReadFileBytes(dir.file("g.png"));
  ExpectWellFormed(file, 0);
  auto d = pngpeer::Decode(file);
  ASSERT_TRUE(d.ok);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(d.rgba[size_t(i) * 4], i);

  // All-grey entries in another order: indexes are not grey levels, so a palette is needed.
  BgrPalette inverted{};
  for (int i = 0; i < 256; ++i) inverted[size_t(3 * i)] = inverted[size_t(3 * i + 1)] = inverted[size_t(3 * i + 2)] = uint8_t(255 - i);
  DibImage inv;
  ASSERT_EQ(inv.Create(16, 16, 8, inverted.data()), 1);
  {
    DibRowTable rows(inv);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) rows[y][x] = uint8_t(y * 16 + x);
  }
  ASSERT_EQ(WritePng256(inv, dir.file("i.png")), 1);
  file = ReadFileBytes(dir.file("i.png"));
  ExpectWellFormed(file, 3);
  d = pngpeer::Decode(file);
  ASSERT_TRUE(d.ok);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(d.rgba[size_t(i) * 4], 255 - i);
}

TEST(PngEncoder, TrueColourPicturesAreQuantizedForTheSmallFlavour) {
  TempDir dir;
  // 200 distinct colours: each gets its own box, so the result is exact.
  DibImage few;
  ASSERT_EQ(few.Create(50, 40, 24), 1);
  {
    DibRowTable rows(few);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 50; ++x) {
        const int c = (x + y * 50) % 200;
        rows[y][3 * x] = uint8_t(c * 3 % 256);
        rows[y][3 * x + 1] = uint8_t(c % 17 * 15);
        rows[y][3 * x + 2] = uint8_t(c / 2);
      }
  }
  ASSERT_EQ(WritePng256(few, dir.file("few.png")), 1);
  auto file = ReadFileBytes(dir.file("few.png"));
  ExpectWellFormed(file, 3);
  auto d = pngpeer::Decode(file);
  EXPECT_EQ(d.palette.size(), 256u);
  ExpectSamePixels(few, d);

  // Many colours: close to the original, and every palette entry used is a mean of real colours.
  DibImage many;
  Paint(many, 256, 64, true);
  ASSERT_EQ(WritePng256(many, dir.file("many.png")), 1);
  d = pngpeer::Decode(ReadFileBytes(dir.file("many.png")));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.colorType, 3);
  DibRowTable rows(many);
  double error = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 256; ++x)
      for (int c = 0; c < 3; ++c) error += std::abs(int(rows[y][3 * x + 2 - c]) - int(d.rgba[(size_t(y) * 256 + x) * 4 + c]));
  EXPECT_LT(error / (256.0 * 64 * 3), 6.0);
}

TEST(PngEncoder, QuantizerSplitsAtThePixelMedian) {
  // Three colours differing only in red; 1, 1 and 2 pixels. Every colour gets its own box and
  // the map holds the exact colours; unused entries stay black.
  BitmapImage in;
  in.SetSize(0, 24, 4, 1);
  const uint8_t reds[4] = {10, 200, 90, 200};
  for (int x = 0; x < 4; ++x) {
    in.StoredRow(0)[3 * x] = 5;
    in.StoredRow(0)[3 * x + 1] = 6;
    in.StoredRow(0)[3 * x + 2] = reds[x];
  }
  BitmapImage out;
  ColorQuantizer().Quantize(in, out);
  ASSERT_EQ(out.BitCount(), 8u);
  ASSERT_EQ(out.ColorCount(), 256u);
  std::set<int> used;
  for (int x = 0; x < 4; ++x) {
    const auto& c = out.ColorMap(out.StoredRow(0)[x]);
    EXPECT_EQ(c.red, reds[x]);
    EXPECT_EQ(c.green, 6);
    EXPECT_EQ(c.blue, 5);
    used.insert(out.StoredRow(0)[x]);
  }
  EXPECT_EQ(used.size(), 3u);
  // The first cut on red puts 10 and 90 (half of the pixels) in box 0's lower part.
  EXPECT_LT(out.StoredRow(0)[0], out.StoredRow(0)[1]);
  for (unsigned i = 0; i < 256; ++i)
    if (!used.count(int(i))) {
      EXPECT_EQ(out.ColorMap(i), BitmapImage::ColorEntry{});
    }
  // Other bit counts pass through unchanged.
  BitmapImage grey;
  grey.SetSize(2, 1, 9, 2);
  grey.ColorMap(1) = {255, 255, 255};
  grey.StoredRow(1)[0] = 0xA5;
  ColorQuantizer().Quantize(grey, out);
  EXPECT_EQ(out.BitCount(), 1u);
  EXPECT_EQ(out.StoredRow(1)[0], 0xA5);
}

TEST(PngEncoder, FailuresLeaveNoFileBehind) {
  TempDir dir;
  DibImage img;
  Paint(img, 8, 8, false);
  try {
    WritePngTrueColor(img, dir.file("missing/x.png"));
    ADD_FAILURE();
  } catch (const PngEncoder::PngError& e) {
    EXPECT_EQ(std::string(e.what()), dir.file("missing/x.png") + ": cannot create the file: No such file or directory");
  }
  DibImage empty;
  EXPECT_THROW(WritePngTrueColor(empty, dir.file("e.png")), GraphicsException);
  EXPECT_THROW(WritePng256(empty, dir.file("e.png")), GraphicsException);
  PngEncoder enc;
  EXPECT_THROW(enc.SetCompressionLevel(4), DeflateEncoder::DeflateError);
  BitmapImage bmp;
  bmp.SetSize(0, 24, 4, 4);
  enc.SetText(PngEncoder::Comment, std::string(70000, 'x'));
  try {
    enc.WriteImage(dir.file("long.png"), bmp);
    ADD_FAILURE();
  } catch (const PngEncoder::PngError& e) {
    EXPECT_STREQ(e.what(), "tEXt Value Too Long");
  }
  // An existing file survives a failed save, and the encoder still works afterwards.
  testsupport::WriteFileText(dir.file("keep.png"), "old");
  EXPECT_THROW(enc.WriteImage(dir.file("keep.png"), bmp), PngEncoder::PngError);
  EXPECT_EQ(testsupport::ReadFileText(dir.file("keep.png")), "old");
  enc.SetText(PngEncoder::Comment, "short");
  enc.WriteImage(dir.file("keep.png"), bmp);
  const auto chunks = pngpeer::ParseChunks(ReadFileBytes(dir.file("keep.png")));
  ASSERT_GE(chunks.size(), 3u);
  EXPECT_EQ(std::string(chunks[1].data.begin(), chunks[1].data.begin() + 8), "Software");
  EXPECT_EQ(std::string(chunks[2].data.begin(), chunks[2].data.begin() + 7), "Comment");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator{}), 1);
}

}  // namespace
