// The GIF converter, run as the export runs it: the built executable with file names.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

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

// A BMP written by hand, 8-bit (palette entry i = red i, green 255 - i, blue 3i) or 24-bit grey.
// pixel(x, y) with y = 0 the top row.
template <typename F>
std::vector<uint8_t> MakeBmp(int width, int height, int bits, F pixel) {
  const int stride = ((width * bits + 31) / 32) * 4, table = bits == 8 ? 1024 : 0;
  std::vector<uint8_t> f(size_t(54 + table + stride * height), 0);
  const uint32_t fields[] = {uint32_t(f.size()), 0, uint32_t(54 + table), 40, uint32_t(width), uint32_t(height),
                             1u | (uint32_t(bits) << 16), 0, uint32_t(stride * height), 0, 0, bits == 8 ? 256u : 0u, 0};
  f[0] = 'B', f[1] = 'M';
  std::memcpy(&f[2], fields, sizeof fields);
  for (int i = 0; i < table / 4; ++i) f[54 + 4 * i] = uint8_t(3 * i), f[55 + 4 * i] = uint8_t(255 - i), f[56 + 4 * i] = uint8_t(i);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* row = &f[size_t(54 + table + (height - 1 - y) * stride)];
      if (bits == 8) row[x] = uint8_t(pixel(x, y));
      else row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = uint8_t(pixel(x, y));
    }
  return f;
}

TEST(Bmp2gif, ConvertsPalettedPicturesWithTheirColoursAndTransparency) {
  TempDir dir;
  const int w = 31, h = 9;
  auto sixteen = [](int x, int y) { return (x + 2 * y) % 16; };
  auto wide = [](int x, int y) { return (x * 37 + y * 11) % 256; };
  testsupport::WriteFileBytes(dir.file("16.bmp"), MakeBmp(w, h, 8, sixteen));
  testsupport::WriteFileBytes(dir.file("256.bmp"), MakeBmp(w, h, 8, wide));
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
  testsupport::WriteFileBytes(dir.file("rgb.bmp"), MakeBmp(4, 4, 24, [](int x, int) { return x * 60; }));
  testsupport::WriteFileText(out, "older");
  r = RunBmp2gif(dir, {dir.file("rgb.bmp"), out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("24-bit"), std::string::npos) << r.err;

  testsupport::WriteFileBytes(dir.file("ok.bmp"), MakeBmp(4, 4, 8, [](int x, int) { return x; }));
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
