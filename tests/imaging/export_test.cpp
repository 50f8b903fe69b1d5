// Export by file name, and the GIF converter branch driven through a fake process runner.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

#include <cstdio>
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

bool StartsWith(const std::vector<uint8_t>& b, const std::vector<uint8_t>& prefix) {
  return b.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), b.begin());
}

// Runs the save; a writer still missing from this build counts as "dispatched there" when its
// message names the format.
int SaveOrMissing(DibImage& img, const std::string& path, int bits, const char* format) {
  try {
    return img.SaveAs(path, -1, bits);
  } catch (const GraphicsException& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find(format), std::string::npos) << what;
    EXPECT_NE(what.find("not available"), std::string::npos) << what;
    return -1;
  }
}

TEST(Export, FormatFollowsTheUpperCasedName) {
  testsupport::TempDir dir;
  DibImage img = Picture(24);
  // ".BMP" is tested first, anywhere in the name.
  ASSERT_EQ(img.SaveAs(dir.file("picture.bmp.png"), -1, 24), 1);
  const auto bmp = testsupport::ReadFileBytes(dir.file("picture.bmp.png"));
  EXPECT_TRUE(StartsWith(bmp, {'B', 'M'}));
  EXPECT_EQ(bmp, EncodeBmp(img));

  // Unknown extension: 0 and no file.
  EXPECT_EQ(img.SaveAs(dir.file("picture.tif"), -1, 24), 0);
  EXPECT_FALSE(fs::exists(dir.file("picture.tif")));

  // PNG by a mixed-case name, decoded by libpng to the same pixels.
  const std::string png = dir.file("PICTURE.Png");
  if (SaveOrMissing(img, png, 24, "PNG") == 1) {
    png_image peer{};
    peer.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&peer, png.c_str())) << peer.message;
    peer.format = PNG_FORMAT_BGR;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(peer));
    ASSERT_TRUE(png_image_finish_read(&peer, nullptr, pixels.data(), 0, nullptr));
    ASSERT_EQ(peer.width, 6u);
    DibRowTable rows(img);
    for (int y = 0; y < 4; ++y)
      EXPECT_TRUE(std::equal(rows[y], rows[y] + 18, pixels.begin() + y * 18)) << y;
  }

  // JPEG by ".jpg" and ".JPEG": libjpeg reads the size back; the stored picture is unchanged.
  const std::vector<uint8_t> before = img.Packed();
  for (const char* name : {"p.jpg", "p.JPEG"}) {
    const std::string path = dir.file(name);
    if (SaveOrMissing(img, path, 24, "JPEG") != 1) continue;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, f);
    ASSERT_EQ(jpeg_read_header(&d, TRUE), JPEG_HEADER_OK);
    EXPECT_EQ(d.image_width, 6u);
    EXPECT_EQ(d.image_height, 4u);
    jpeg_destroy_decompress(&d);
    std::fclose(f);
  }
  EXPECT_EQ(img.Packed(), before);
}

struct FakeConverter {
  std::vector<std::vector<std::string>> calls;
  bool succeed = true;
  bool writeGif = true;
  ExportOptions Options(int backdropKind) {
    ExportOptions o;
    o.backdropKind = backdropKind;
    o.converterFolder = "/opt/conv/";
    o.runProcess = [this](const std::vector<std::string>& argv, std::string* error) {
      calls.push_back(argv);
      if (!succeed) {
        *error = "exit status 3";
        return false;
      }
      if (writeGif) testsupport::WriteFileText(argv[2], "GIF89a fake");
      return true;
    };
    return o;
  }
};

TEST(ExportGif, ConverterGetsTheBmpBesideTheGif) {
  testsupport::TempDir dir;
  DibImage img = Picture(8);
  const std::string gif = dir.file("a.gif"), bmp = dir.file("a.bmp");
  FakeConverter fake;
  ASSERT_EQ(img.SaveAs(gif, 0, 8, fake.Options(1)), 1);
  ASSERT_EQ(fake.calls.size(), 1u);
  EXPECT_EQ(fake.calls[0], (std::vector<std::string>{"/opt/conv/bmp2gif", bmp, gif, "-t0"}));
  EXPECT_EQ(testsupport::ReadFileBytes(bmp), EncodeBmp(img));  // left in place

  // Opaque backdrop: no transparency option. Upper-case extensions keep their name.
  const std::string upper = dir.file("B.GIF");
  ASSERT_EQ(img.SaveAs(upper, -1, 8, fake.Options(0)), 1);
  EXPECT_EQ(fake.calls[1], (std::vector<std::string>{"/opt/conv/bmp2gif", dir.file("B.bmp"), upper}));
}

TEST(ExportGif, ConverterFailuresAreNeverSuccess) {
  testsupport::TempDir dir;
  DibImage img = Picture(8);
  const std::string gif = dir.file("a.gif");

  FakeConverter failing;
  failing.succeed = false;
  try {
    img.SaveAs(gif, -1, 8, failing.Options(0));
    FAIL() << "no exception";
  } catch (const GraphicsException& e) {
    EXPECT_NE(std::string(e.what()).find("exit status 3"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find(gif), std::string::npos) << e.what();
  }

  // Status 0 but no GIF, or the old GIF untouched.
  FakeConverter silent;
  silent.writeGif = false;
  EXPECT_THROW(img.SaveAs(gif, -1, 8, silent.Options(0)), GraphicsException);
  testsupport::WriteFileText(gif, "old gif");
  EXPECT_THROW(img.SaveAs(gif, -1, 8, silent.Options(0)), GraphicsException);

  // No converter hook: refused before anything is written.
  ExportOptions none;
  EXPECT_THROW(img.SaveAs(dir.file("n.gif"), -1, 8, none), GraphicsException);
  EXPECT_FALSE(fs::exists(dir.file("n.bmp")));

  // The BMP name needs a three-letter extension.
  FakeConverter fake;
  EXPECT_THROW(img.SaveAs(dir.file("x.gif4"), -1, 8, fake.Options(0)), GraphicsException);
  EXPECT_THROW(img.SaveAs(dir.file("x.gif.gz"), -1, 8, fake.Options(0)), GraphicsException);
  EXPECT_TRUE(fake.calls.empty());

  // An empty picture: nothing written, nothing started.
  DibImage empty;
  EXPECT_EQ(empty.SaveAs(dir.file("e.gif"), -1, 8, fake.Options(0)), 0);
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
  EXPECT_FALSE(GifConverterPresent(folder + "missing/"));
}

}  // namespace
