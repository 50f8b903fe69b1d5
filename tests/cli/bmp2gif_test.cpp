// The GIF converter, run as the export runs it: a built executable with file names.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "support/test_support.h"

namespace {

using testsupport::TempDir;

struct RunResult {
  int status = -1;
  std::string err, out;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The built converter: from QUORBEL_BIN, else beside this test executable (both land in bin/).
std::string Bmp2gifPath() {
  std::string folder = testsupport::BinFolder();
  if (folder.empty()) folder = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
  return folder + "/bmp2gif";
}

RunResult RunBmp2gif(const TempDir& dir, const std::vector<std::string>& args) {
  std::string cmd = Quote(Bmp2gifPath());
  for (const auto& a : args) cmd += " " + Quote(a);
  const std::string errFile = dir.file("stderr.txt"), outFile = dir.file("stdout.txt");
  cmd += " 2>" + Quote(errFile) + " >" + Quote(outFile);
  const int raw = std::system(cmd.c_str());
  RunResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.err = testsupport::ReadFileText(errFile);
  r.out = testsupport::ReadFileText(outFile);
  return r;
}

void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x) { std::memcpy(&v[at], &x, 2); }
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) { std::memcpy(&v[at], &x, 4); }

// A BMP file written by hand: 8-bit with a 256-entry table (palette entry i = (i, 255 - i, 3i)
// as red, green, blue), or 24-bit. `pixel(x, y)` gives the index, y = 0 the top row.
template <typename F>
std::vector<uint8_t> MakeBmp(int width, int height, int bits, F pixel) {
  const int stride = ((width * bits + 31) / 32) * 4;
  const int table = bits == 8 ? 1024 : 0;
  std::vector<uint8_t> f(size_t(14 + 40 + table + stride * height), 0);
  f[0] = 'B';
  f[1] = 'M';
  Put32(f, 2, uint32_t(f.size()));
  Put32(f, 10, uint32_t(14 + 40 + table));
  Put32(f, 14, 40);
  Put32(f, 18, uint32_t(width));
  Put32(f, 22, uint32_t(height));
  Put16(f, 26, 1);
  Put16(f, 28, uint16_t(bits));
  Put32(f, 34, uint32_t(stride * height));
  if (bits == 8) {
    Put32(f, 46, 256);
    for (int i = 0; i < 256; ++i) {
      f[54 + 4 * i] = uint8_t(3 * i);      // blue
      f[54 + 4 * i + 1] = uint8_t(255 - i);  // green
      f[54 + 4 * i + 2] = uint8_t(i);      // red
    }
  }
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &f[size_t(14 + 40 + table + (height - 1 - y) * stride)];
    for (int x = 0; x < width; ++x) {
      if (bits == 8) {
        row[x] = uint8_t(pixel(x, y));
      } else {
        row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = uint8_t(pixel(x, y));
      }
    }
  }
  return f;
}

struct Peer {
  int colours = 0, transparent = -2;
  std::vector<uint8_t> indexes;
  std::vector<GifColorType> table;
};

Peer Decode(const std::string& path) {
  Peer p;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) {
    ADD_FAILURE() << "giflib cannot open " << path << ": " << GifErrorString(error);
    return p;
  }
  EXPECT_EQ(DGifSlurp(gif), GIF_OK);
  if (gif->ImageCount > 0 && gif->SColorMap) {
    p.colours = gif->SColorMap->ColorCount;
    p.table.assign(gif->SColorMap->Colors, gif->SColorMap->Colors + p.colours);
    const SavedImage& im = gif->SavedImages[0];
    p.indexes.assign(im.RasterBits, im.RasterBits + size_t(im.ImageDesc.Width) * im.ImageDesc.Height);
    GraphicsControlBlock gcb;
    if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK) p.transparent = gcb.TransparentColor;
  }
  DGifCloseFile(gif, &error);
  return p;
}

TEST(Bmp2gif, ConvertsPalettedPicturesWithTheirColoursAndTransparency) {
  TempDir dir;
  const int w = 31, h = 9;
  auto sixteen = [](int x, int y) { return (x + 2 * y) % 16; };
  auto wide = [](int x, int y) { return (x * 37 + y * 11) % 256; };
  testsupport::WriteFileBytes(dir.file("16.bmp"), MakeBmp(w, h, 8, sixteen));
  testsupport::WriteFileBytes(dir.file("256.bmp"), MakeBmp(w, h, 8, wide));

  RunResult r = RunBmp2gif(dir, {dir.file("16.bmp"), dir.file("16.gif"), "-t0"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  Peer p = Decode(dir.file("16.gif"));
  EXPECT_EQ(p.colours, 16);  // only indexes below 16 in use: a 4-bit GIF
  EXPECT_EQ(p.transparent, 0);
  ASSERT_EQ(p.indexes.size(), size_t(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(p.indexes[size_t(y * w + x)], sixteen(x, y)) << x << "," << y;
  EXPECT_EQ(p.table[7].Red, 7);
  EXPECT_EQ(p.table[7].Green, 248);
  EXPECT_EQ(p.table[7].Blue, 21);

  r = RunBmp2gif(dir, {dir.file("256.bmp"), dir.file("256.gif")});
  ASSERT_EQ(r.status, 0) << r.err;
  p = Decode(dir.file("256.gif"));
  EXPECT_EQ(p.colours, 256);
  EXPECT_EQ(p.transparent, NO_TRANSPARENT_COLOR);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(p.indexes[size_t(y * w + x)], wide(x, y));
  EXPECT_EQ(p.table[200].Green, 55);

  // A transparent index above 15 needs the 256-entry table.
  r = RunBmp2gif(dir, {"-t20", dir.file("16.bmp"), dir.file("t20.gif")});
  ASSERT_EQ(r.status, 0) << r.err;
  p = Decode(dir.file("t20.gif"));
  EXPECT_EQ(p.colours, 256);
  EXPECT_EQ(p.transparent, 20);
}

TEST(Bmp2gif, FailuresAndUsageErrorsWriteNothing) {
  TempDir dir;
  const std::string out = dir.file("out.gif");

  RunResult r = RunBmp2gif(dir, {dir.file("missing.bmp"), out});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("bmp2gif: " + dir.file("missing.bmp") + ": ", 0), 0u) << r.err;
  EXPECT_FALSE(std::filesystem::exists(out));

  testsupport::WriteFileText(dir.file("junk.bmp"), "this is not a picture");
  r = RunBmp2gif(dir, {dir.file("junk.bmp"), out});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(std::filesystem::exists(out));

  // True colour has no palette to write; an older GIF at the target stays as it was.
  testsupport::WriteFileBytes(dir.file("rgb.bmp"), MakeBmp(4, 4, 24, [](int x, int) { return x * 60; }));
  testsupport::WriteFileText(out, "older");
  r = RunBmp2gif(dir, {dir.file("rgb.bmp"), out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("24-bit"), std::string::npos) << r.err;
  EXPECT_EQ(testsupport::ReadFileText(out), "older");

  testsupport::WriteFileBytes(dir.file("ok.bmp"), MakeBmp(4, 4, 8, [](int x, int) { return x; }));
  const std::string unwritable = dir.file("no-such-folder/out.gif");
  r = RunBmp2gif(dir, {dir.file("ok.bmp"), unwritable});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(unwritable), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Can't open GIF for writing"), std::string::npos) << r.err;

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {dir.file("ok.bmp")}, {dir.file("ok.bmp"), out, "extra.gif"},
        {dir.file("ok.bmp"), out, "-t"}, {dir.file("ok.bmp"), out, "-t256"}, {dir.file("ok.bmp"), out, "-tx"},
        {dir.file("ok.bmp"), out, "-q"}}) {
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
