// The GIF converter, run as the export runs it: the built executable with file names.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <algorithm>
#include <filesystem>

#include "imaging/dib_image.h"
#include "imaging/gif_peer.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;

struct RunResult {
  int status = -1;
  std::string err, out;
};

RunResult RunBmp2gif(const TempDir& dir, const std::vector<std::string>& args) {
  // From QUORBEL_BIN, else beside this test executable (both are built into bin/).
  std::string bin = testsupport::BinFolder();
  if (bin.empty()) bin = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
  std::string cmd = "'" + bin + "/bmp2gif'";
  for (const auto& a : args) cmd += " '" + a + "'";
  cmd += " 2>'" + dir.file("err") + "' >'" + dir.file("out") + "'";
  const int raw = std::system(cmd.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testsupport::ReadFileText(dir.file("err")),
          testsupport::ReadFileText(dir.file("out"))};
}

// A BMP through our own writer, 8-bit (palette entry i = red i, green 255 - i, blue 3i) or 24-bit
// grey; pixel(x, y) with y = 0 the top row.
template <typename F>
void WriteBmpFile(const std::string& path, int width, int height, int bits, F pixel) {
  BgrPalette pal{};
  for (size_t i = 0; i < 256; ++i) pal[3 * i] = uint8_t(3 * i), pal[3 * i + 1] = uint8_t(255 - i), pal[3 * i + 2] = uint8_t(i);
  DibImage img;
  ASSERT_EQ(img.Create(width, height, bits, pal.data()), 1);
  DibRowTable rows(img);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      std::fill_n(rows[y] + x * bits / 8, bits / 8, uint8_t(pixel(x, y)));
  ASSERT_EQ(WriteBmp(img, path), 1);
}

TEST(Bmp2gif, ConvertsPalettedPicturesWithTheirColoursAndTransparency) {
  TempDir dir;
  const int w = 31, h = 9;
  auto sixteen = [](int x, int y) { return (x + 2 * y) % 16; };
  auto wide = [](int x, int y) { return (x * 37 + y * 11) % 256; };
  WriteBmpFile(dir.file("16.bmp"), w, h, 8, sixteen);
  WriteBmpFile(dir.file("256.bmp"), w, h, 8, wide);
  struct Case {
    std::vector<std::string> args;
    size_t colours;
    int transparent;
    int (*pixel)(int, int);
  } cases[] = {
      {{dir.file("16.bmp"), dir.file("a.gif"), "-t0"}, 16, 0, +sixteen},  // only indexes below 16: 4 bits
      {{dir.file("256.bmp"), dir.file("a.gif")}, 256, NO_TRANSPARENT_COLOR, +wide},
      {{"-t20", dir.file("16.bmp"), dir.file("a.gif")}, 256, 20, +sixteen},  // index 20 needs 8 bits
      {{dir.file("16.bmp"), dir.file("a.gif"), "-b8"}, 256, NO_TRANSPARENT_COLOR, +sixteen},  // depth asked for
  };
  for (const Case& c : cases) {
    RunResult r = RunBmp2gif(dir, c.args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    gifpeer::PeerGif p = gifpeer::Read(dir.file("a.gif"));
    EXPECT_EQ(p.table.size(), c.colours);
    EXPECT_EQ(p.transparent, c.transparent);
    ASSERT_EQ(p.indexes.size(), size_t(w * h));
    for (int i = 0; i < w * h; ++i) ASSERT_EQ(p.indexes[size_t(i)], c.pixel(i % w, i / w)) << i;
    EXPECT_TRUE(p.table[7].Red == 7 && p.table[7].Green == 248 && p.table[7].Blue == 21);
  }
}

TEST(Bmp2gif, FailuresAndUsageErrorsWriteNothing) {
  TempDir dir;
  const std::string out = dir.file("out.gif");
  RunResult r = RunBmp2gif(dir, {dir.file("missing.bmp"), out});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("bmp2gif: " + dir.file("missing.bmp") + ": ", 0), 0u) << r.err;
  EXPECT_FALSE(std::filesystem::exists(out));

  // True colour has no palette to write; an older GIF at the target stays as it was.
  WriteBmpFile(dir.file("rgb.bmp"), 4, 4, 24, [](int x, int) { return x * 60; });
  testsupport::WriteFileText(out, "older");
  r = RunBmp2gif(dir, {dir.file("rgb.bmp"), out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("24-bit"), std::string::npos) << r.err;

  WriteBmpFile(dir.file("ok.bmp"), 4, 4, 8, [](int x, int) { return x; });
  const std::string unwritable = dir.file("no-such-folder/out.gif");
  r = RunBmp2gif(dir, {dir.file("ok.bmp"), unwritable});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(unwritable + ": Can't open GIF for writing"), std::string::npos) << r.err;

  const std::string ok = dir.file("ok.bmp");
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {ok, out, "x.gif"}, {ok, out, "-t256"},
                                               {ok, out, "-tx"}, {ok, out, "-q"}, {ok, out, "-b9"}}) {
    r = RunBmp2gif(dir, args);
    EXPECT_EQ(r.status, 2) << testing::PrintToString(args);
    EXPECT_NE(r.err.find("usage: bmp2gif"), std::string::npos);
  }
  EXPECT_EQ(testsupport::ReadFileText(out), "older");
  r = RunBmp2gif(dir, {"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: bmp2gif IN.bmp OUT.gif [-tN]"), std::string::npos);
}

}  // namespace
