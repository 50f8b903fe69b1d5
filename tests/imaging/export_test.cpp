// Export by file name: the file name's last extension chooses the writer, and GIFs are written in
// process, checked by giflib.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "imaging/dib_image.h"
#include "imaging/export.h"
#include "imaging/gif_peer.h"
#include "imaging/graphics_exception.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

DibImage Picture(int bits) {
  DibImage img;
  std::vector<uint8_t> palette(256 * 3);  // blue, green, red
  for (size_t i = 0; i < 256; ++i) {
    palette[i * 3] = uint8_t(i / 2);
    palette[i * 3 + 1] = uint8_t(255 - i);
    palette[i * 3 + 2] = uint8_t(i);
  }
  EXPECT_EQ(img.Create(6, 4, bits, bits == 8 ? palette.data() : nullptr), 1);
  DibRowTable rows(img);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6 * bits / 8; ++x) rows[y][x] = uint8_t(40 * y + x);
  return img;
}

std::string Magic(const std::string& path) {
  auto b = testsupport::ReadFileBytes(path);
  b.resize(std::min<size_t>(3, b.size()));
  return std::string(b.begin(), b.end());
}

}  // namespace

TEST(Export, TheFileNamesLastExtensionChoosesFoldersNever) {
  testsupport::TempDir dir;
  fs::create_directories(dir.path() / "t.jpg.d" / "a.bmp.gif");
  DibImage img = Picture(24);
  const std::vector<uint8_t> before = img.Packed();
  const struct {
    const char* name;
    const char* magic;
  } cases[] = {{"photo.bmp.png", "\x89PN"}, {"PICTURE.Png", "\x89PN"},   {"p.jpg", "\xFF\xD8\xFF"},
               {"p.JPEG", "\xFF\xD8\xFF"},  {"t.jpg.d/out.png", "\x89PN"}, {"t.jpg.d/a.bmp.gif/o.bmp", "BM"}};
  for (const auto& c : cases) {
    ASSERT_EQ(img.SaveAs(dir.file(c.name), -1, 24), 1) << c.name;
    EXPECT_EQ(Magic(dir.file(c.name)).substr(0, std::strlen(c.magic)), c.magic) << c.name;
  }
  EXPECT_EQ(img.Packed(), before);  // saving leaves the picture as it was
  for (const char* name : {"picture.tif", "png", "t.png.d/x", "x.png.gz"})
    EXPECT_EQ(img.SaveAs(dir.file(name), -1, 24), 0) << name;
  EXPECT_FALSE(fs::exists(dir.file("picture.tif")));
}

TEST(Export, GifIsWrittenInProcessAloneAndRoundTrips) {
  testsupport::TempDir dir;
  DibImage img = Picture(8);
  ASSERT_EQ(img.SaveAs(dir.file("a.gif"), -1, 8), 1);
  ExportOptions transparent;
  transparent.backdropKind = 1;
  ASSERT_EQ(img.SaveAs(dir.file("B.GIF"), -1, 8, transparent), 1);
  // Only the GIFs: no side-car BMP.
  EXPECT_EQ(testsupport::FolderNames(dir.path()), (std::vector<std::string>{"B.GIF", "a.gif"}));

  const gifpeer::PeerGif a = gifpeer::Read(dir.file("a.gif"));
  const gifpeer::PeerGif b = gifpeer::Read(dir.file("B.GIF"));
  ASSERT_EQ(a.width, 6);
  ASSERT_EQ(a.table.size(), 256u);  // indexes up to 123: the 256-entry table
  DibRowTable rows(img);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      const uint8_t index = rows[y][x];
      ASSERT_EQ(a.indexes[size_t(y * 6 + x)], index);
      EXPECT_EQ(a.table[index].Red, img.Palette()[index].red);
    }
  EXPECT_NE(a.transparent, 0);
  EXPECT_EQ(b.transparent, 0);
  EXPECT_EQ(b.indexes, a.indexes);

  // A true-colour picture has no palette for a GIF: refused, nothing written.
  EXPECT_THROW(Picture(24).SaveAs(dir.file("c.gif"), -1, 24), GraphicsException);
  EXPECT_FALSE(fs::exists(dir.file("c.gif")));
  EXPECT_EQ(DibImage().SaveAs(dir.file("e.gif"), -1, 8), 0);
}

TEST(Export, ReadingAFolderOrFifoSaysSoAndNeverBlocks) {
  testsupport::TempDir dir;
  fs::create_directories(dir.path() / "pics.png");
  ASSERT_EQ(mkfifo(dir.file("pipe.bmp").c_str(), 0600), 0);
  DibImage img;
  std::string error;
  EXPECT_EQ(img.Load(dir.file("pics.png"), &error), 0);
  EXPECT_EQ(error, dir.file("pics.png") + ": a folder, not a picture");
  EXPECT_EQ(img.Load(dir.file("pipe.bmp"), &error), 0);
  EXPECT_EQ(error, dir.file("pipe.bmp") + ": not a regular file");
}
