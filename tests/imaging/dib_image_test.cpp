// The picture store: packed layout, row tables, palettes, the codecs' image and load dispatch.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "imaging/bitmap_image.h"
#include "imaging/codecs/gif_writer.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "support/test_support.h"

namespace {

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(DibImage, PackedLayoutRowsAndPalettes) {
  DibImage img;
  EXPECT_EQ(img.BitCount(), -1);
  ASSERT_EQ(img.Create(5, 3, 24), 1);
  const auto& p = img.Packed();
  ASSERT_EQ(p.size(), 40u + 16 * 3);
  for (auto [at, value] : std::vector<std::pair<size_t, uint32_t>>{{0, 40}, {4, 5}, {8, 3}, {12, 0x180001}, {16, 0}, {20, 48}, {32, 0}})
    EXPECT_EQ(Get32(p, at), value) << "header byte " << at;
  // Row 0 is the top row: the last one in memory.
  DibRowTable rows(img);
  EXPECT_EQ(rows[0], p.data() + 40 + 32);
  EXPECT_EQ(rows[2], p.data() + 40);

  // Grey ramp without a palette; a BgrPalette whose first triplet is (255, 0, 0) gives blue.
  DibImage grey, blue;
  ASSERT_EQ(grey.Create(2, 2, 8), 1);
  EXPECT_EQ(Get32(grey.Packed(), 32), 256u);
  EXPECT_EQ(Get32(grey.Packed(), 40 + 4 * 77), 0x004D4D4Du);
  BgrPalette pal{};
  pal[0] = 255;
  ASSERT_EQ(blue.Create(1, 1, 8, pal.data()), 1);
  EXPECT_EQ(Get32(blue.Packed(), 40), 0x000000FFu);
  EXPECT_EQ(blue.Palette()[0].blue, 255);
  EXPECT_EQ(blue.Palette()[0].red, 0);

  // Sizes that cannot be held are refused without allocating; a zero size is an empty picture.
  EXPECT_EQ(img.Create(-1, 3, 24), 0);
  EXPECT_EQ(img.Create(3, 3, 16), 0);
  EXPECT_EQ(img.Create(100000, 100000, 24), 0);
  EXPECT_TRUE(img.Empty());
  EXPECT_EQ(img.Create(0, 7, 24), 1);
  EXPECT_EQ(img.BitCount(), -1);
  EXPECT_EQ(DibRowTable(img).Height(), 0);

  // The accessors read the 12-byte header too: 2 x 1 at 4 bits, 16 RGB triplets.
  DibImage core;
  std::vector<uint8_t>& b = core.Packed();
  b = {12, 0, 0, 0, 2, 0, 1, 0, 1, 0, 4, 0};
  for (int i = 0; i < 16; ++i) b.insert(b.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i)});
  b.insert(b.end(), {0x5A, 0, 0, 0});
  EXPECT_EQ(core.Refresh(true), 1);
  EXPECT_EQ(core.ColorCount(), 16);
  EXPECT_EQ(core.Bits(), b.data() + 12 + 48);
  EXPECT_EQ(core.Palette()[5].red, 15);

  // Adopt keeps a block in our own form as it is and refuses garbage, leaving the image empty.
  DibImage copy;
  ASSERT_EQ(copy.Adopt(grey.Packed()), 1);
  EXPECT_EQ(copy.Packed(), grey.Packed());
  std::string error;
  EXPECT_EQ(copy.Adopt({1, 2, 3}, &error), 0);
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(copy.Empty());
}

TEST(BitmapImage, SizesMapsAndCopies) {
  BitmapImage img;
  for (unsigned bits : {16u, 32u, 3u}) {
    try {
      img.SetSize(0, bits, 4, 4);
      ADD_FAILURE() << bits;
    } catch (const GraphicsException& e) {
      EXPECT_STREQ(e.what(), "Unsupported Bit Count");
    }
  }
  img.SetSize(2, 1, 33, 3);
  EXPECT_EQ(img.RowWidth(), 8u);
  EXPECT_THROW(img.SetSize(0, 24, 1u << 16, 1u << 16), GraphicsException);  // past the pixel limit
  EXPECT_EQ(img.Width(), 33u);

  img.SetSize(4, 8, 3, 2);
  img.ColorMap(3) = {1, 2, 3};
  try {
    img.ColorMap(4);
    ADD_FAILURE();
  } catch (const std::range_error& e) {
    EXPECT_STREQ(e.what(), "Subscript Out of Range");
  }
  BitmapImage copy(img);
  EXPECT_EQ(copy.ColorMap(3), img.ColorMap(3));

  // An indexed picture without colours copies as empty.
  BitmapImage noMap;
  noMap.SetSize(0, 8, 3, 3);
  copy = noMap;
  EXPECT_EQ(copy.Width(), 0u);
}

TEST(DibImageLoad, DispatchByTheFileNamesLastExtension) {
  testsupport::TempDir dir;
  // A ".git" file is read as a GIF.
  DibImage indexed, img;
  BgrPalette pal{};
  pal[3] = 10, pal[4] = 20, pal[5] = 30;
  ASSERT_EQ(indexed.Create(2, 1, 8, pal.data()), 1);
  DibRowTable{indexed}[0][1] = 1;
  ASSERT_EQ(SaveGif(indexed, dir.file("logo.gif"), 0, -1, 8), 1);
  std::filesystem::rename(dir.file("logo.gif"), dir.file("logo.git"));
  std::string error;
  ASSERT_EQ(img.Load(dir.file("logo.git"), &error), 1) << error;
  const uint8_t* top = DibRowTable(img)[0];
  EXPECT_EQ(std::vector<uint8_t>(top + 3, top + 6), (std::vector<uint8_t>{10, 20, 30}));

  // ".JPEG" goes where ".JPG" goes: the same bad bytes give the same complaint.
  testsupport::WriteFileText(dir.file("p.jpg"), "not a picture");
  testsupport::WriteFileText(dir.file("p.JPEG"), "not a picture");
  std::string ea, eb;
  EXPECT_EQ(img.Load(dir.file("p.jpg"), &ea), 0);
  EXPECT_EQ(img.Load(dir.file("p.JPEG"), &eb), 0);
  EXPECT_EQ(ea.substr(dir.file("p.jpg").size()), eb.substr(dir.file("p.JPEG").size()));

  // "x.bmp.png" is a PNG, and a folder's dots never count; an unknown or missing name gives 0
  // and a reason naming it.
  DibImage rgb;
  ASSERT_EQ(rgb.Create(2, 2, 24), 1);
  ASSERT_EQ(WriteBmp(rgb, dir.file("x.png.bmp")), 1);
  EXPECT_EQ(img.Load(dir.file("x.png.bmp"), &error), 1) << error;
  std::filesystem::create_directories(dir.path() / "a.bmp");
  std::filesystem::rename(dir.file("x.png.bmp"), dir.file("a.bmp/x.png"));
  EXPECT_EQ(img.Load(dir.file("a.bmp/x.png"), &error), 0);  // BMP bytes in a ".png" file
  EXPECT_EQ(img.Load(dir.file("x.tif"), &error), 0);
  EXPECT_TRUE(img.Empty());
  EXPECT_NE(error.find("x.tif"), std::string::npos);
  EXPECT_EQ(img.Load(dir.file("gone.png"), &error), 0);
  EXPECT_NE(error.find("gone.png"), std::string::npos) << error;
}

}  // namespace
