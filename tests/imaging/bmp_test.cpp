// BMP files: bytes checked against hand-built headers, files of every header form and depth
// decoded to known pixels, and malformed files refused cleanly.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <random>

#include <unistd.h>

#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
uint32_t Get32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// A BMP file built by hand. offBits 0 = right after the table (the usual value).
struct BmpSpec {
  uint32_t headerSize = 40;
  int32_t width = 1, height = 1;
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t clrUsed = 0;
  uint32_t sizeImage = 0;
  Bytes extra;  // masks after a 40-byte header, or the rest of a larger header
  Bytes table;
  Bytes pixels;
  int64_t offBits = -1;
};

Bytes Build(const BmpSpec& s) {
  Bytes dib;
  Put32(dib, s.headerSize);
  if (s.headerSize == 12) {
    Put16(dib, uint16_t(s.width));
    Put16(dib, uint16_t(s.height));
    Put16(dib, 1);
    Put16(dib, s.bits);
  } else {
    Put32(dib, uint32_t(s.width));
    Put32(dib, uint32_t(s.height));
    Put16(dib, 1);
    Put16(dib, s.bits);
    Put32(dib, s.compression);
    Put32(dib, s.sizeImage);
    Put32(dib, 0);
    Put32(dib, 0);
    Put32(dib, s.clrUsed);
    Put32(dib, 0);
  }
  dib.insert(dib.end(), s.extra.begin(), s.extra.end());
  dib.insert(dib.end(), s.table.begin(), s.table.end());
  const uint32_t off = s.offBits >= 0 ? uint32_t(s.offBits) : uint32_t(14 + dib.size());
  Bytes file{'B', 'M'};
  Put32(file, uint32_t(14 + dib.size() + s.pixels.size()));
  Put32(file, 0);
  Put32(file, off);
  file.insert(file.end(), dib.begin(), dib.end());
  file.insert(file.end(), s.pixels.begin(), s.pixels.end());
  return file;
}

// Reads from memory; fails the test with the reason when refused.
DibImage Decode(const Bytes& file) {
  DibImage img;
  std::string error;
  EXPECT_EQ(ReadBmpMemory(file.data(), file.size(), img, &error), 1) << error;
  return img;
}

// Pixel (x, y), y = 0 the top row, as red-green-blue; 8-bit pictures go through their table.
std::array<int, 3> Rgb(const DibImage& img, int x, int y) {
  DibRowTable rows(img);
  const uint8_t* p = rows[y];
  if (img.BitCount() == 24) return {p[x * 3 + 2], p[x * 3 + 1], p[x * 3]};
  const auto& e = img.Palette().at(p[x]);
  return {e.red, e.green, e.blue};
}

TEST(BmpWriter, HeadersMatchHandBuiltBytes) {
  testsupport::TempDir dir;
  DibImage img;
  ASSERT_EQ(img.Create(3, 2, 24), 1);
  DibRowTable rows(img);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 9; ++x) rows[y][x] = uint8_t(10 * y + x + 1);
  const std::string path = dir.file("a.bmp");
  ASSERT_EQ(WriteBmp(img, path), 1);
  const Bytes file = testsupport::ReadFileBytes(path);
  // 14 + 40 + 2 rows of 12 bytes (9 pixel bytes + 3 padding).
  Bytes expect = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,
                  0, 0, 0, 0, 24, 0, 0, 0};
  expect.resize(54, 0);
  // Bottom row first.
  for (int x = 0; x < 9; ++x) expect.push_back(uint8_t(10 + x + 1));
  expect.insert(expect.end(), 3, 0);
  for (int x = 0; x < 9; ++x) expect.push_back(uint8_t(x + 1));
  expect.insert(expect.end(), 3, 0);
  EXPECT_EQ(file, expect);

  // 8-bit: 1,024 bytes of table before the rows; width 5 gives rows of 8 bytes.
  DibImage grey;
  ASSERT_EQ(grey.Create(5, 3, 8), 1);
  ASSERT_EQ(WriteBmp(grey, dir.file("g.bmp")), 1);
  const Bytes g = testsupport::ReadFileBytes(dir.file("g.bmp"));
  ASSERT_EQ(g.size(), 1078u + 8 * 3);
  EXPECT_EQ(Get32(g, 2), g.size());
  EXPECT_EQ(Get32(g, 10), 1078u);
  EXPECT_EQ(Get32(g, 14 + 20), 24u);   // image size
  EXPECT_EQ(Get32(g, 14 + 32), 256u);  // colours used
  EXPECT_EQ(Get32(g, 54 + 4 * 200), 0x00C8C8C8u);

  // Width 5 at 24 bits: stride 16.
  DibImage five;
  ASSERT_EQ(five.Create(5, 2, 24), 1);
  ASSERT_EQ(WriteBmp(five, dir.file("f.bmp")), 1);
  EXPECT_EQ(testsupport::ReadFileBytes(dir.file("f.bmp")).size(), 54u + 32);
}

TEST(BmpWriter, EmptyPictureAndUnwritablePathLeaveNothing) {
  testsupport::TempDir dir;
  DibImage empty;
  EXPECT_EQ(WriteBmp(empty, dir.file("e.bmp")), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("e.bmp")));

  DibImage img;
  ASSERT_EQ(img.Create(2, 2, 24), 1);
  const std::string bad = dir.file("no/such/folder/x.bmp");
  try {
    WriteBmp(img, bad);
    FAIL() << "no exception";
  } catch (const GraphicsException& e) {
    EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
  }
  // A good file is not harmed by a failed overwrite (its folder becomes read-only).
  const std::string good = dir.file("keep.bmp");
  ASSERT_EQ(WriteBmp(img, good), 1);
  const Bytes before = testsupport::ReadFileBytes(good);
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  DibImage other;
  ASSERT_EQ(other.Create(7, 7, 24), 1);
  if (::access(dir.path().c_str(), W_OK) != 0) {
    EXPECT_THROW(WriteBmp(other, good), GraphicsException);
  }
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  EXPECT_EQ(testsupport::ReadFileBytes(good), before);
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

TEST(BmpRoundTrip, WrittenFilesReadBackByteForByte) {
  testsupport::TempDir dir;
  std::mt19937 rng(7);
  for (int bits : {8, 24}) {
    for (int w : {1, 2, 3, 4, 5, 17}) {
      const int h = 1 + int(rng() % 5);
      BgrPalette pal;
      for (auto& v : pal) v = uint8_t(rng());
      DibImage img;
      ASSERT_EQ(img.Create(w, h, bits, pal.data()), 1);
      DibRowTable rows(img);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * bits / 8; ++x) rows[y][x] = uint8_t(rng());
      const std::string path = dir.file("r.bmp");
      ASSERT_EQ(WriteBmp(img, path), 1);
      DibImage back;
      std::string error;
      ASSERT_EQ(back.Load(path, &error), 1) << error;
      EXPECT_EQ(back.Packed(), img.Packed()) << bits << " bits, width " << w;
      EXPECT_EQ(back.Width(), w);
      EXPECT_EQ(back.Height(), h);
      if (bits == 8) {
        EXPECT_EQ(back.Palette()[1].red, pal[5]);
      }
    }
  }
}

TEST(BmpReader, IndexedDepthsAndCoreHeaderDecodeToKnownPixels) {
  // 1-bit, 10 x 2: bottom row 1010101010, top row 1100000000 -> white/black via the table.
  {
    BmpSpec s;
    s.width = 10, s.height = 2, s.bits = 1;
    s.table = {0, 0, 0, 0, 255, 255, 255, 0};
    s.pixels = {0xAA, 0x80, 0, 0, 0xC0, 0x00, 0, 0};
    DibImage img = Decode(Build(s));
    ASSERT_EQ(img.BitCount(), 8);
    EXPECT_EQ(img.Palette().size(), 256u);
    EXPECT_EQ(Rgb(img, 0, 1), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(Rgb(img, 1, 1), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(Rgb(img, 8, 1), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(Rgb(img, 1, 0), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(Rgb(img, 2, 0), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(DibRowTable(img)[0][1], 1);
  }
  // 4-bit with a 3-entry table (colours used 3), 3 x 1: indexes 2, 0, 1.
  {
    BmpSpec s;
    s.width = 3, s.bits = 4, s.clrUsed = 3;
    s.table = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0};
    s.pixels = {0x20, 0x10, 0, 0};
    DibImage img = Decode(Build(s));
    EXPECT_EQ(Rgb(img, 0, 0), (std::array<int, 3>{9, 8, 7}));
    EXPECT_EQ(Rgb(img, 1, 0), (std::array<int, 3>{3, 2, 1}));
    EXPECT_EQ(Rgb(img, 2, 0), (std::array<int, 3>{6, 5, 4}));
  }
  // 2-bit, 5 x 1: indexes 3 2 1 0 3.
  {
    BmpSpec s;
    s.width = 5, s.bits = 2;
    s.table = {0, 0, 0, 0, 0, 0, 85, 0, 0, 0, 170, 0, 0, 0, 255, 0};
    s.pixels = {0xE4, 0xC0, 0, 0};
    DibImage img = Decode(Build(s));
    EXPECT_EQ(Rgb(img, 0, 0)[0], 255);
    EXPECT_EQ(Rgb(img, 1, 0)[0], 170);
    EXPECT_EQ(Rgb(img, 3, 0)[0], 0);
    EXPECT_EQ(Rgb(img, 4, 0)[0], 255);
  }
  // 12-byte header, 8-bit with RGB triplets; and 24-bit.
  {
    BmpSpec s;
    s.headerSize = 12, s.width = 2, s.height = 1, s.bits = 8;
    for (int i = 0; i < 256; ++i) s.table.insert(s.table.end(), {uint8_t(i), uint8_t(255 - i), 7});
    s.pixels = {3, 200, 0, 0};
    DibImage img = Decode(Build(s));
    EXPECT_EQ(img.HeaderSize(), 40);
    EXPECT_EQ(Rgb(img, 0, 0), (std::array<int, 3>{7, 252, 3}));
    EXPECT_EQ(Rgb(img, 1, 0), (std::array<int, 3>{7, 55, 200}));
  }
  {
    BmpSpec s;
    s.headerSize = 12, s.width = 1, s.height = 2, s.bits = 24;
    s.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
    DibImage img = Decode(Build(s));
    EXPECT_EQ(img.BitCount(), 24);
    EXPECT_EQ(Rgb(img, 0, 0), (std::array<int, 3>{6, 5, 4}));  // top row is stored last
    EXPECT_EQ(Rgb(img, 0, 1), (std::array<int, 3>{3, 2, 1}));
  }
}

TEST(BmpReader, TrueColourFormsDecodeToKnownPixels) {
  // 16-bit 5-5-5: red 31 -> 255, green 16 -> 132, blue 1 -> 8.
  {
    BmpSpec s;
    s.width = 1, s.bits = 16;
    const uint16_t px = uint16_t(31 << 10 | 16 << 5 | 1);
    s.pixels = {uint8_t(px), uint8_t(px >> 8), 0, 0};
    DibImage img = Decode(Build(s));
    EXPECT_EQ(img.BitCount(), 24);
    EXPECT_EQ(Rgb(img, 0, 0), (std::array<int, 3>{255, 132, 8}));
  }
  // 16-bit bit fields 5-6-5 after a 40-byte header: green 63 -> 255, red 0, blue 31 -> 255.
  {
    BmpSpec s;
    s.width = 2, s.bits = 16, s.compression = 3;
    Put32(s.extra, 0xF800);
    Put32(s.extra, 0x07E0);
    Put32(s.extra, 0x001F);
    const uint16_t a = 0x07E0 | 0x1F, b = 0xF800;
    s.pixels = {uint8_t(a), uint8_t(a >> 8), uint8_t(b), uint8_t(b >> 8)};
    DibImage img = Decode(Build(s));
    EXPECT_EQ(Rgb(img, 0, 0), (std::array<int, 3>{0, 255, 255}));
    EXPECT_EQ(Rgb(img, 1, 0), (std::array<int, 3>{255, 0, 0}));
  }
  // 32-bit, plain (alpha byte dropped) and with masks inside a 108-byte header.
  {
    BmpSpec s;
    s.width = 1, s.bits = 32;
    s.pixels = {10, 20, 30, 99};
    EXPECT_EQ(Rgb(Decode(Build(s)), 0, 0), (std::array<int, 3>{30, 20, 10}));
    BmpSpec v4;
    v4.headerSize = 108, v4.width = 1, v4.bits = 32, v4.compression = 3;
    Put32(v4.extra, 0x000000FF);  // red in the low byte
    Put32(v4.extra, 0x0000FF00);
    Put32(v4.extra, 0x00FF0000);
    Put32(v4.extra, 0xFF000000);
    v4.extra.resize(108 - 40, 0);
    v4.pixels = {10, 20, 30, 99};
    EXPECT_EQ(Rgb(Decode(Build(v4)), 0, 0), (std::array<int, 3>{10, 20, 30}));
  }
  // Top-down 24-bit (negative height) reads upright; a gap before the pixels is honoured.
  {
    BmpSpec s;
    s.width = 1, s.height = -2, s.bits = 24;
    s.table = {0xEE, 0xEE, 0xEE, 0xEE};  // filler, skipped through the offset
    s.offBits = 14 + 40 + 4;
    s.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
    DibImage img = Decode(Build(s));
    EXPECT_GT(img.Height(), 0);
    EXPECT_EQ(Rgb(img, 0, 0), (std::array<int, 3>{3, 2, 1}));
    EXPECT_EQ(Rgb(img, 0, 1), (std::array<int, 3>{6, 5, 4}));
  }
}

TEST(BmpReader, RunLengthCodedFilesDecode) {
  Bytes grey;
  for (int i = 0; i < 256; ++i) grey.insert(grey.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  // RLE8, 5 x 3: a run, an absolute run past the right edge, end of line, a delta, end of picture.
  {
    BmpSpec s;
    s.width = 5, s.height = 3, s.bits = 8, s.compression = 1;
    s.table = grey;
    s.pixels = {3, 7, 0, 3, 9, 8, 6, 0,  // row 0: 7 7 7 9 8 (the 6 is clipped), absolute run padded
                0, 0,                    // end of line
                0, 2, 2, 1,              // delta: right 2, up 1 -> row 2, x 2
                2, 5,                    // row 2: x 2, 3 = 5
                0, 1};                   // end of picture
    DibImage img = Decode(Build(s));
    DibRowTable rows(img);
    const uint8_t* bottom = rows[2];
    EXPECT_EQ(Bytes(bottom, bottom + 5), (Bytes{7, 7, 7, 9, 8}));
    EXPECT_EQ(Bytes(rows[1], rows[1] + 5), (Bytes{0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(rows[0], rows[0] + 5), (Bytes{0, 0, 5, 5, 0}));
  }
  // RLE4, 4 x 1: run of 3 alternating 1,2 then absolute 3 nibbles "4 5 6" (clipped at 4).
  {
    BmpSpec s;
    s.width = 4, s.height = 1, s.bits = 4, s.compression = 2;
    s.table = Bytes(grey.begin(), grey.begin() + 64);
    s.pixels = {3, 0x12, 0, 3, 0x45, 0x60, 0, 1};
    DibImage img = Decode(Build(s));
    EXPECT_EQ(Bytes(DibRowTable(img)[0], DibRowTable(img)[0] + 4), (Bytes{1, 2, 1, 4}));
  }
}

TEST(BmpReader, MalformedFilesAreRefusedCleanly) {
  BmpSpec ok;
  ok.width = 2, ok.height = 2, ok.bits = 24;
  ok.pixels = Bytes(16, 0x11);
  ASSERT_EQ(Decode(Build(ok)).Width(), 2);

  std::vector<std::pair<std::string, Bytes>> cases;
  auto add = [&](const std::string& what, auto change) {
    BmpSpec s = ok;
    change(s);
    cases.push_back({what, Build(s)});
  };
  const Bytes good = Build(ok);
  cases.push_back({"13 bytes", Bytes(good.begin(), good.begin() + 13)});
  {
    Bytes f = Build(ok);
    f[0] = 'M', f[1] = 'B';
    cases.push_back({"wrong letters", f});
  }
  cases.push_back({"header cut", Bytes(good.begin(), good.begin() + 30)});
  add("header size 20", [](BmpSpec& s) { s.headerSize = 20; });
  add("zero width", [](BmpSpec& s) { s.width = 0; });
  add("negative width", [](BmpSpec& s) { s.width = -2; });
  add("zero height", [](BmpSpec& s) { s.height = 0; });
  add("INT_MIN height", [](BmpSpec& s) { s.height = INT_MIN; });
  add("huge", [](BmpSpec& s) { s.width = 100000, s.height = 100000; });
  add("huge but under the pixel limit", [](BmpSpec& s) { s.width = 8000, s.height = 8000; });
  add("3 bits", [](BmpSpec& s) { s.bits = 3; });
  add("0 bits", [](BmpSpec& s) { s.bits = 0; });
  add("compression 7", [](BmpSpec& s) { s.compression = 7; });
  add("embedded JPEG", [](BmpSpec& s) { s.compression = 4; });
  add("RLE8 at 24 bits", [](BmpSpec& s) { s.compression = 1; });
  add("bit fields at 24 bits", [](BmpSpec& s) { s.compression = 3; });
  add("pixel offset past the end", [](BmpSpec& s) { s.offBits = 5000; });
  add("pixel offset into the header", [](BmpSpec& s) { s.offBits = 20; });
  add("pixels cut short", [](BmpSpec& s) { s.pixels.resize(10); });
  add("table of 300 for 8 bits", [](BmpSpec& s) {
    s.bits = 8, s.clrUsed = 300, s.table = Bytes(1200, 0), s.pixels = Bytes(8, 0);
  });
  add("table of 17 for 4 bits", [](BmpSpec& s) {
    s.bits = 4, s.clrUsed = 17, s.table = Bytes(68, 0), s.pixels = Bytes(8, 0);
  });
  add("table cut short", [](BmpSpec& s) { s.bits = 8, s.table = Bytes(100, 0), s.pixels.clear(); });
  add("non-contiguous masks", [](BmpSpec& s) {
    s.bits = 16, s.compression = 3, s.extra.clear();
    Put32(s.extra, 0xF00F), Put32(s.extra, 0x0F00), Put32(s.extra, 0x00F0);
  });
  add("masks missing", [](BmpSpec& s) { s.bits = 32, s.compression = 3, s.pixels.clear(); });
  add("RLE without end", [](BmpSpec& s) { s.bits = 8, s.compression = 1, s.table = Bytes(1024, 0), s.pixels = {2, 1}; });
  add("RLE absolute run cut", [](BmpSpec& s) {
    s.bits = 8, s.compression = 1, s.table = Bytes(1024, 0), s.pixels = {0, 9, 1, 2};
  });
  add("top-down RLE", [](BmpSpec& s) {
    s.height = -2, s.bits = 8, s.compression = 1, s.table = Bytes(1024, 0), s.pixels = {0, 1};
  });
  add("RLE claiming a huge picture", [](BmpSpec& s) {
    s.width = 8000, s.height = 8000, s.bits = 8, s.compression = 1, s.table = Bytes(1024, 0), s.pixels = {0, 1};
  });

  testsupport::TempDir dir;
  for (const auto& [what, bytes] : cases) {
    DibImage img;
    ASSERT_EQ(img.Create(4, 4, 24), 1);
    std::string error;
    EXPECT_EQ(ReadBmpMemory(bytes.data(), bytes.size(), img, &error), 0) << what;
    EXPECT_FALSE(error.empty()) << what;
    EXPECT_TRUE(img.Empty()) << what;
    // Through a file the reason names the file.
    const std::string path = dir.file("bad.bmp");
    testsupport::WriteFileBytes(path, bytes);
    error.clear();
    EXPECT_EQ(img.Load(path, &error), 0) << what;
    EXPECT_NE(error.find(path), std::string::npos) << what << ": " << error;
  }
  std::string error;
  DibImage img;
  EXPECT_EQ(ReadBmp(dir.file("missing.bmp"), img, &error), 0);
  EXPECT_NE(error.find("missing.bmp"), std::string::npos);
}

}  // namespace
