// Export by file name, and the GIF converter branch driven through a fake process runner.
#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/dib_image.h"
#include "imaging/export.h"
#include "imaging/graphics_exception.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

DibImage Picture(int bits) {
  DibImage img;
  EXPECT_EQ(img.Create(6, 4, bits), 1);
  DibRowTable rows(img);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6 * bits / 8; ++x) rows[y][x] = uint8_t(40 * y + x);
  return img;
}

std::vector<uint8_t> Head(const std::string& path, size_t n) {
  auto b = testsupport::ReadFileBytes(path);
  b.resize(std::min(n, b.size()));
  return b;
}

TEST(Export, FormatFollowsTheUpperCasedName) {
  testsupport::TempDir dir;
  DibImage img = Picture(24);
  const std::vector<uint8_t> before = img.Packed();
  ASSERT_EQ(img.SaveAs(dir.file("picture.bmp.png"), -1, 24), 1);  // ".BMP" is tested first
  EXPECT_EQ(testsupport::ReadFileBytes(dir.file("picture.bmp.png")), EncodeBmp(img));
  ASSERT_EQ(img.SaveAs(dir.file("PICTURE.Png"), -1, 24), 1);
  EXPECT_EQ(Head(dir.file("PICTURE.Png"), 4), (std::vector<uint8_t>{0x89, 'P', 'N', 'G'}));
  for (const char* name : {"p.jpg", "p.JPEG"}) {
    ASSERT_EQ(img.SaveAs(dir.file(name), -1, 24), 1);
    EXPECT_EQ(Head(dir.file(name), 2), (std::vector<uint8_t>{0xFF, 0xD8})) << name;
  }
  EXPECT_EQ(img.Packed(), before);  // the JPEG save leaves the picture as it was
  EXPECT_EQ(img.SaveAs(dir.file("picture.tif"), -1, 24), 0);
  EXPECT_FALSE(fs::exists(dir.file("picture.tif")));
}

struct FakeConverter {
  std::vector<std::vector<std::string>> calls;
  bool succeed = true, writeGif = true;
  ExportOptions Options(int backdropKind) {
    ExportOptions o;
    o.backdropKind = backdropKind;
    o.converterFolder = "/opt/conv/";
    o.runProcess = [this](const std::vector<std::string>& argv, std::string* error) {
      calls.push_back(argv);
      if (!succeed) *error = "exit status 3";
      if (succeed && writeGif) testsupport::WriteFileText(argv[2], "GIF89a fake");
      return succeed;
    };
    return o;
  }
};

TEST(ExportGif, ConverterGetsTheBmpBesideTheGif) {
  testsupport::TempDir dir;
  DibImage img = Picture(8);
  const std::string gif = dir.file("a.gif"), bmp = dir.file("a.bmp"), upper = dir.file("B.GIF");
  FakeConverter fake;
  ASSERT_EQ(img.SaveAs(gif, 0, 8, fake.Options(1)), 1);
  ASSERT_EQ(img.SaveAs(upper, -1, 8, fake.Options(0)), 1);
  ASSERT_EQ(fake.calls.size(), 2u);
  EXPECT_EQ(fake.calls[0], (std::vector<std::string>{"/opt/conv/bmp2gif", bmp, gif, "-t0"}));
  EXPECT_EQ(fake.calls[1], (std::vector<std::string>{"/opt/conv/bmp2gif", dir.file("B.bmp"), upper}));
  EXPECT_EQ(testsupport::ReadFileBytes(bmp), EncodeBmp(img));  // left in place
}

TEST(ExportGif, ConverterFailuresAreNeverSuccess) {
  testsupport::TempDir dir;
  DibImage img = Picture(8);
  const std::string gif = dir.file("a.gif");
  FakeConverter failing, silent, fake;
  failing.succeed = false;
  silent.writeGif = false;
  try {
    img.SaveAs(gif, -1, 8, failing.Options(0));
    ADD_FAILURE() << "no exception";
  } catch (const GraphicsException& e) {
    EXPECT_NE(std::string(e.what()).find(gif + ": the GIF converter failed: exit status 3"), std::string::npos)
        << e.what();
  }
  // Status 0 but no GIF, or the old GIF left untouched.
  EXPECT_THROW(img.SaveAs(gif, -1, 8, silent.Options(0)), GraphicsException);
  testsupport::WriteFileText(gif, "old gif");
  EXPECT_THROW(img.SaveAs(gif, -1, 8, silent.Options(0)), GraphicsException);
  // No converter: refused before anything is written.
  EXPECT_THROW(img.SaveAs(dir.file("n.gif"), -1, 8, ExportOptions{}), GraphicsException);
  EXPECT_FALSE(fs::exists(dir.file("n.bmp")));
  // The BMP's name needs a three-letter extension; an empty picture starts nothing.
  EXPECT_THROW(img.SaveAs(dir.file("x.gif4"), -1, 8, fake.Options(0)), GraphicsException);
  EXPECT_THROW(img.SaveAs(dir.file("x.gif.gz"), -1, 8, fake.Options(0)), GraphicsException);
  EXPECT_EQ(DibImage().SaveAs(dir.file("e.gif"), -1, 8, fake.Options(0)), 0);
  EXPECT_TRUE(fake.calls.empty());
  EXPECT_FALSE(fs::exists(dir.file("e.bmp")));
}

TEST(ExportGif, ConverterPresence) {
  testsupport::TempDir dir;
  const std::string folder = dir.path().string() + "/";
  EXPECT_FALSE(GifConverterPresent(folder));
  testsupport::WriteFileText(folder + "bmp2gif", "");
  EXPECT_FALSE(GifConverterPresent(folder));
  testsupport::WriteFileText(folder + "bmp2gif", "#!/bin/sh\n");
  EXPECT_TRUE(GifConverterPresent(folder));
}

}  // namespace
