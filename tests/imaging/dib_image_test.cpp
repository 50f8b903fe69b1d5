// The picture store: packed layout, row tables, palettes, the codecs' image and load dispatch.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "imaging/bitmap_image.h"
#include "imaging/codecs/gif_writer.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "support/test_support.h"

namespace {

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(DibImage, PackedLayoutOfNewPictures) {
  DibImage empty;
  EXPECT_EQ(empty.BitCount(), -1);
  EXPECT_EQ(empty.Stride(), 0);
  EXPECT_EQ(DibRowTable(empty).Height(), 0);

  DibImage img;
  ASSERT_EQ(img.Create(5, 3, 24), 1);
  const auto& p = img.Packed();
  ASSERT_EQ(p.size(), 40u + 16 * 3);
  EXPECT_EQ(Get32(p, 0), 40u);
  EXPECT_EQ(Get32(p, 4), 5u);
  EXPECT_EQ(Get32(p, 8), 3u);
  EXPECT_EQ(p[12] | p[13] << 8, 1);
  EXPECT_EQ(img.BitCount(), 24);
  EXPECT_EQ(Get32(p, 16), 0u);
  EXPECT_EQ(Get32(p, 20), 48u);
  EXPECT_EQ(Get32(p, 32), 0u);
  EXPECT_EQ(img.Stride(), 16);
  EXPECT_EQ(img.Bits(), p.data() + 40);
  EXPECT_FALSE(img.HasPalette());

  // Row 0 is the top row: the last one in memory.
  DibRowTable rows(img);
  ASSERT_EQ(rows.Height(), 3);
  EXPECT_EQ(rows.Stride(), 16);
  EXPECT_EQ(rows[0], img.Bits() + 32);
  EXPECT_EQ(rows[2], img.Bits());

  // Grey ramp without a palette; a BgrPalette's first triplet (255, 0, 0) is blue.
  DibImage grey;
  ASSERT_EQ(grey.Create(2, 2, 8), 1);
  EXPECT_EQ(grey.Packed().size(), 1064u + 8);
  EXPECT_EQ(Get32(grey.Packed(), 32), 256u);
  EXPECT_EQ(Get32(grey.Packed(), 40 + 4 * 77), 0x004D4D4Du);
  ASSERT_EQ(grey.Palette().size(), 256u);
  EXPECT_EQ(grey.Palette()[77].green, 77);
  BgrPalette pal{};
  pal[0] = 255;
  DibImage blue;
  ASSERT_EQ(blue.Create(1, 1, 8, pal.data()), 1);
  EXPECT_EQ(Get32(blue.Packed(), 40), 0x000000FFu);
  EXPECT_EQ(blue.Palette()[0].blue, 255);
  EXPECT_EQ(blue.Palette()[0].red, 0);

  // Sizes that cannot be held: refused without allocating; a zero size is an empty picture.
  EXPECT_EQ(img.Create(-1, 3, 24), 0);
  EXPECT_TRUE(img.Empty());
  EXPECT_EQ(img.Create(3, 3, 16), 0);
  EXPECT_EQ(img.Create(100000, 100000, 24), 0);
  EXPECT_EQ(img.Create(0, 7, 24), 1);
  EXPECT_TRUE(img.Empty());
  EXPECT_EQ(img.BitCount(), -1);
}

TEST(DibImage, AccessorsUnderstandTheCoreHeader) {
  // 2 x 1, 4-bit, 12-byte header: 16 RGB triplets, then one 4-byte row.
  DibImage img;
  std::vector<uint8_t>& b = img.Packed();
  b = {12, 0, 0, 0, 2, 0, 1, 0, 1, 0, 4, 0};
  for (int i = 0; i < 16; ++i) b.insert(b.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i)});
  b.insert(b.end(), {0x5A, 0, 0, 0});
  EXPECT_EQ(img.Refresh(true), 1);
  EXPECT_EQ(img.Width(), 2);
  EXPECT_EQ(img.Height(), 1);
  EXPECT_EQ(img.HeaderSize(), 12);
  EXPECT_EQ(img.ColorCount(), 16);
  EXPECT_EQ(img.Bits(), b.data() + 12 + 48);
  ASSERT_EQ(img.Palette().size(), 16u);
  EXPECT_EQ(img.Palette()[5].red, 15);
  EXPECT_EQ(img.Palette()[5].blue, 5);
  // A 24-bit picture has no table: rebuilding its palette reports 0.
  DibImage rgb;
  ASSERT_EQ(rgb.Create(1, 1, 24), 1);
  EXPECT_EQ(rgb.Refresh(true), 0);
  EXPECT_FALSE(rgb.HasPalette());
}

TEST(DibImage, AdoptKeepsOurOwnFormAndRefusesGarbage) {
  DibImage src;
  ASSERT_EQ(src.Create(3, 2, 8), 1);
  DibRowTable{src}[1][2] = 9;
  DibImage copy;
  ASSERT_EQ(copy.Adopt(src.Packed()), 1);
  EXPECT_EQ(copy.Packed(), src.Packed());
  EXPECT_EQ(copy.Palette().size(), 256u);

  std::string error;
  EXPECT_EQ(copy.Adopt({1, 2, 3}, &error), 0);
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(copy.Empty());
  std::vector<uint8_t> cut = src.Packed();
  cut.resize(1064);
  EXPECT_EQ(copy.Adopt(cut, &error), 0);
  EXPECT_NE(error.find("truncated"), std::string::npos) << error;
}

TEST(BitmapImage, SizesMapsAndCopies) {
  BitmapImage img;
  for (unsigned bits : {16u, 32u, 3u, 0u}) {
    try {
      img.SetSize(0, bits, 4, 4);
      FAIL() << bits;
    } catch (const GraphicsException& e) {
      EXPECT_STREQ(e.what(), "Unsupported Bit Count");
    }
  }
  struct Row { unsigned bits, width, row; };
  for (Row r : {Row{1, 9, 4}, Row{1, 33, 8}, Row{2, 16, 4}, Row{4, 9, 8}, Row{8, 5, 8}, Row{24, 5, 16}, Row{24, 4, 12}}) {
    img.SetSize(2, r.bits, r.width, 3);
    EXPECT_EQ(img.RowWidth(), r.row) << r.bits << " bits, width " << r.width;
  }
  EXPECT_THROW(img.SetSize(0, 24, 1u << 16, 1u << 16), GraphicsException);
  EXPECT_EQ(img.Width(), 4u);  // left as it was

  img.SetSize(4, 8, 3, 2);
  img.ColorMap(3) = {1, 2, 3};
  try {
    img.ColorMap(4);
    FAIL();
  } catch (const std::range_error& e) {
    EXPECT_STREQ(e.what(), "Subscript Out of Range");
  }
  img.TopDownRow(0)[0] = 3;
  EXPECT_EQ(img.StoredRow(1)[0], 3);

  BitmapImage copy(img);
  EXPECT_EQ(copy.ColorMap(3), img.ColorMap(3));
  copy.StoredRow(1)[0] = 1;
  EXPECT_EQ(img.StoredRow(1)[0], 3);

  // No colours for an indexed picture, or no pixels: the copy is empty.
  BitmapImage noMap;
  noMap.SetSize(0, 8, 3, 3);
  copy = noMap;
  EXPECT_EQ(copy.Width(), 0u);
  EXPECT_EQ(copy.BitCount(), 0u);
  BitmapImage flat;
  flat.SetSize(0, 24, 0, 3);
  copy = img;
  copy = flat;
  EXPECT_EQ(copy.Height(), 0u);
}

void WriteJpegWithPeer(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = 8, c.image_height = 8, c.input_components = 3, c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(24, 128);
  for (int y = 0; y < 8; ++y) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
}

TEST(DibImageLoad, DispatchByNameAnywhereInIt) {
  testsupport::TempDir dir;
  // A ".git" file is read as a GIF.
  DibImage indexed;
  BgrPalette pal{};
  pal[3] = 10, pal[4] = 20, pal[5] = 30;  // entry 1
  ASSERT_EQ(indexed.Create(2, 1, 8, pal.data()), 1);
  DibRowTable{indexed}[0][1] = 1;
  const std::string gif = dir.file("logo.gif");
  ASSERT_EQ(SaveGif(indexed, gif, 0, -1, 8), 1);
  std::filesystem::rename(gif, dir.file("logo.git"));
  DibImage img;
  std::string error;
  ASSERT_EQ(img.Load(dir.file("logo.git"), &error), 1) << error;
  ASSERT_EQ(img.BitCount(), 24);
  const uint8_t* top = DibRowTable(img)[0];
  EXPECT_EQ(std::vector<uint8_t>(top + 3, top + 6), (std::vector<uint8_t>{10, 20, 30}));

  // ".JPEG" goes where ".JPG" goes.
  WriteJpegWithPeer(dir.file("p.jpg"));
  std::filesystem::copy_file(dir.file("p.jpg"), dir.file("p.JPEG"));
  DibImage a, b;
  std::string ea, eb;
  const int ra = a.Load(dir.file("p.jpg"), &ea), rb = b.Load(dir.file("p.JPEG"), &eb);
  EXPECT_EQ(ra, rb);
  EXPECT_EQ(a.Packed(), b.Packed());
  if (ra == 0) {
    EXPECT_EQ(ea.substr(dir.file("p.jpg").size()), eb.substr(dir.file("p.JPEG").size()));
  }

  // A BMP named "x.bmp.png" is a BMP; an unknown name or a missing file gives 0 and a reason.
  DibImage rgb;
  ASSERT_EQ(rgb.Create(2, 2, 24), 1);
  ASSERT_EQ(WriteBmp(rgb, dir.file("x.bmp.png")), 1);
  EXPECT_EQ(img.Load(dir.file("x.bmp.png"), &error), 1) << error;
  EXPECT_EQ(img.Load(dir.file("x.tif"), &error), 0);
  EXPECT_TRUE(img.Empty());
  EXPECT_NE(error.find("x.tif"), std::string::npos);
  EXPECT_EQ(img.Load(dir.file("gone.png"), &error), 0);
  EXPECT_NE(error.find("gone.png"), std::string::npos) << error;
}

}  // namespace
