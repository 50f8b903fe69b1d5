// BMP files: bytes checked against hand-built headers, every header form and depth decoded to
// known pixels, malformed files refused cleanly.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <random>

#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Rgb = std::array<int, 3>;

void Put(Bytes& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
uint32_t Get32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }

struct BmpFields {
  uint32_t header = 40;
  int32_t width = 1, height = 1;
  uint16_t bits = 24;
  uint32_t compression = 0, clrUsed = 0;
  Bytes extra, table, pixels;  // extra: masks or the rest of a larger header
  int64_t offBits = -1;        // -1: right after the table
};

Bytes Build(const BmpFields& s) {
  Bytes dib;
  Put(dib, s.header, 4);
  const int n = s.header == 12 ? 2 : 4;
  Put(dib, uint32_t(s.width), n);
  Put(dib, uint32_t(s.height), n);
  Put(dib, 1, 2);
  Put(dib, s.bits, 2);
  if (s.header != 12) {
    for (uint32_t v : {s.compression, 0u, 0u, 0u, s.clrUsed, 0u}) Put(dib, v, 4);
  }
  for (const Bytes* part : {&s.extra, &s.table}) dib.insert(dib.end(), part->begin(), part->end());
  Bytes file{'B', 'M'};
  Put(file, uint32_t(14 + dib.size() + s.pixels.size()), 4);
  Put(file, 0, 4);
  Put(file, s.offBits >= 0 ? uint32_t(s.offBits) : uint32_t(14 + dib.size()), 4);
  file.insert(file.end(), dib.begin(), dib.end());
  file.insert(file.end(), s.pixels.begin(), s.pixels.end());
  return file;
}

// All pixels, top row first, as red-green-blue (indexed pictures through their table).
std::vector<Rgb> Pixels(const DibImage& img) {
  std::vector<Rgb> out;
  DibRowTable rows(img);
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x) {
      const uint8_t* p = rows[y];
      if (img.BitCount() == 24) {
        out.push_back({p[x * 3 + 2], p[x * 3 + 1], p[x * 3]});
      } else {
        const auto& e = img.Palette().at(p[x]);
        out.push_back({e.red, e.green, e.blue});
      }
    }
  return out;
}

TEST(BmpWriter, HeadersMatchHandBuiltBytes) {
  testsupport::TempDir dir;
  DibImage img;
  ASSERT_EQ(img.Create(3, 2, 24), 1);
  DibRowTable rows(img);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 9; ++x) rows[y][x] = uint8_t(10 * y + x + 1);
  ASSERT_EQ(WriteBmp(img, dir.file("a.bmp")), 1);
  // 14 + 40 + 2 rows of 12 bytes (9 pixel bytes + 3 padding), bottom row first.
  Bytes expect = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,
                  0, 0, 0, 0, 24, 0, 0, 0};
  expect.resize(54, 0);
  for (int y : {1, 0}) {
    for (int x = 0; x < 9; ++x) expect.push_back(uint8_t(10 * y + x + 1));
    expect.insert(expect.end(), 3, 0);
  }
  EXPECT_EQ(testsupport::ReadFileBytes(dir.file("a.bmp")), expect);

  // 8-bit: the 1,024-byte table comes first; width 5 gives rows of 8 bytes (16 at 24 bits).
  DibImage grey, wide;
  ASSERT_EQ(grey.Create(5, 3, 8), 1);
  ASSERT_EQ(wide.Create(5, 2, 24), 1);
  const Bytes g = EncodeBmp(grey);
  ASSERT_EQ(g.size(), 1078u + 8 * 3);
  EXPECT_EQ(Get32(g, 10), 1078u);
  EXPECT_EQ(Get32(g, 14 + 20), 24u);
  EXPECT_EQ(EncodeBmp(wide).size(), 54u + 32);

  // An empty picture writes nothing; an unwritable path throws, naming the file.
  DibImage empty;
  EXPECT_EQ(WriteBmp(empty, dir.file("e.bmp")), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("e.bmp")));
  const std::string bad = dir.file("no/such/x.bmp");
  try {
    WriteBmp(img, bad);
    ADD_FAILURE() << "no exception";
  } catch (const GraphicsException& e) {
    EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
  }
}

TEST(BmpRoundTrip, WrittenFilesReadBackByteForByte) {
  testsupport::TempDir dir;
  std::mt19937 rng(7);
  for (int bits : {8, 24}) {
    for (int w : {1, 2, 3, 5, 17}) {
      const int h = 1 + int(rng() % 5);
      BgrPalette pal;
      for (auto& v : pal) v = uint8_t(rng());
      DibImage img, back;
      ASSERT_EQ(img.Create(w, h, bits, pal.data()), 1);
      DibRowTable rows(img);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < rows.Stride(); ++x) rows[y][x] = uint8_t(rng());
      ASSERT_EQ(WriteBmp(img, dir.file("r.bmp")), 1);
      std::string error;
      ASSERT_EQ(back.Load(dir.file("r.bmp"), &error), 1) << error;
      EXPECT_EQ(Pixels(back), Pixels(img)) << bits << " bits, width " << w;
      EXPECT_EQ(EncodeBmp(back), EncodeBmp(img));
    }
  }
}

TEST(BmpReader, EveryHeaderFormAndDepthDecodesToKnownPixels) {
  Bytes grey;
  for (int i = 0; i < 256; ++i) grey.insert(grey.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  Bytes masks565, masksV4;
  for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) Put(masks565, m, 4);
  for (uint32_t m : {0xFFu, 0xFF00u, 0xFF0000u, 0xFF000000u}) Put(masksV4, m, 4);  // red in the low byte
  masksV4.resize(108 - 40, 0);
  Bytes core8;
  for (int i = 0; i < 256; ++i) core8.insert(core8.end(), {uint8_t(i), uint8_t(255 - i), 7});
  const Rgb W{255, 255, 255}, K{0, 0, 0};
  auto g = [](int v) { return Rgb{v, v, v}; };
  const uint16_t p555 = 31 << 10 | 16 << 5 | 1;

  struct Case {
    const char* what;
    BmpFields fields;
    std::vector<Rgb> pixels;  // top row first
  };
  const std::vector<Case> cases = {
      {"1-bit 10 x 2", {40, 10, 2, 1, 0, 0, {}, {0, 0, 0, 0, 255, 255, 255, 0}, {0xAA, 0x80, 0, 0, 0xC0, 0, 0, 0}},
       {W, W, K, K, K, K, K, K, K, K, W, K, W, K, W, K, W, K, W, K}},
      {"4-bit, 3 colours used", {40, 3, 1, 4, 0, 3, {}, {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}, {0x20, 0x10, 0, 0}},
       {{9, 8, 7}, {3, 2, 1}, {6, 5, 4}}},
      {"core header 8-bit", {12, 2, 1, 8, 0, 0, {}, core8, {3, 200, 0, 0}}, {{7, 252, 3}, {7, 55, 200}}},
      {"core header 24-bit", {12, 1, 2, 24, 0, 0, {}, {}, {1, 2, 3, 0, 4, 5, 6, 0}}, {{6, 5, 4}, {3, 2, 1}}},
      {"16-bit 5-5-5", {40, 1, 1, 16, 0, 0, {}, {}, {uint8_t(p555), uint8_t(p555 >> 8), 0, 0}}, {{255, 132, 8}}},
      {"16-bit fields 5-6-5", {40, 2, 1, 16, 3, 0, masks565, {}, {0xFF, 0x07, 0x00, 0xF8}}, {{0, 255, 255}, {255, 0, 0}}},
      {"32-bit", {40, 1, 1, 32, 0, 0, {}, {}, {10, 20, 30, 99}}, {{30, 20, 10}}},
      {"32-bit fields in a 108-byte header", {108, 1, 1, 32, 3, 0, masksV4, {}, {10, 20, 30, 99}}, {{10, 20, 30}}},
      {"top-down, gap before the pixels", {40, 1, -2, 24, 0, 0, {}, {0xEE, 0xEE, 0xEE, 0xEE}, {1, 2, 3, 0, 4, 5, 6, 0}, 58},
       {{3, 2, 1}, {6, 5, 4}}},
      // Run, absolute run past the right edge, end of line, delta (2 right, 1 up), run, end.
      {"RLE8", {40, 5, 3, 8, 1, 0, {}, grey, {3, 7, 0, 3, 9, 8, 6, 0, 0, 0, 0, 2, 2, 1, 2, 5, 0, 1}},
       {g(0), g(0), g(5), g(5), g(0), g(0), g(0), g(0), g(0), g(0), g(7), g(7), g(7), g(9), g(8)}},
      {"RLE4", {40, 4, 1, 4, 2, 0, {}, Bytes(grey.begin(), grey.begin() + 64), {3, 0x12, 0, 3, 0x45, 0x60, 0, 1}},
       {g(1), g(2), g(1), g(4)}},
  };
  for (const Case& c : cases) {
    const Bytes file = Build(c.fields);
    DibImage img;
    std::string error;
    ASSERT_EQ(ReadBmpMemory(file.data(), file.size(), img, &error), 1) << c.what << ": " << error;
    // Whatever came in, the store holds a 40-byte header at 8 or 24 bits, rows bottom-up.
    EXPECT_EQ(img.HeaderSize(), 40) << c.what;
    EXPECT_EQ(img.BitCount(), c.fields.bits <= 8 ? 8 : 24) << c.what;
    EXPECT_GT(img.Height(), 0) << c.what;
    EXPECT_EQ(Pixels(img), c.pixels) << c.what;
  }
}

TEST(BmpReader, MalformedFilesAreRefusedCleanly) {
  const BmpFields ok{40, 2, 2, 24, 0, 0, {}, {}, Bytes(16, 0x11)};
  const Bytes good = Build(ok);
  std::vector<std::pair<std::string, Bytes>> cases = {{"13 bytes", Bytes(good.begin(), good.begin() + 13)},
                                                      {"header cut", Bytes(good.begin(), good.begin() + 30)}};
  Bytes letters = good;
  letters[0] = 'M', letters[1] = 'B';
  cases.push_back({"wrong letters", letters});
  auto add = [&](const std::string& what, auto change) {
    BmpFields s = ok;
    change(s);
    cases.push_back({what, Build(s)});
  };
  const Bytes table(1024, 0);
  add("header size 20", [](BmpFields& s) { s.header = 20; });
  add("zero width", [](BmpFields& s) { s.width = 0; });
  add("zero height", [](BmpFields& s) { s.height = 0; });
  add("INT_MIN height", [](BmpFields& s) { s.height = INT_MIN; });
  add("huge", [](BmpFields& s) { s.width = 100000, s.height = 100000; });
  add("3 bits", [](BmpFields& s) { s.bits = 3; });
  add("unknown compression", [](BmpFields& s) { s.compression = 7; });
  add("RLE8 at 24 bits", [](BmpFields& s) { s.compression = 1; });
  add("pixel offset past the end", [](BmpFields& s) { s.offBits = 5000; });
  add("pixel offset into the header", [](BmpFields& s) { s.offBits = 20; });
  add("pixels cut short", [](BmpFields& s) { s.pixels.resize(10); });
  add("300 colours at 8 bits", [](BmpFields& s) { s.bits = 8, s.clrUsed = 300, s.table = Bytes(1200, 0); });
  add("17 colours at 4 bits", [](BmpFields& s) { s.bits = 4, s.clrUsed = 17, s.table = Bytes(68, 0); });
  add("non-contiguous masks", [](BmpFields& s) {
    s.bits = 16, s.compression = 3;
    for (uint32_t m : {0xF00Fu, 0x0F00u, 0x00F0u}) Put(s.extra, m, 4);
  });
  add("masks missing", [](BmpFields& s) { s.bits = 32, s.compression = 3, s.pixels.clear(); });
  add("RLE without end", [&](BmpFields& s) { s.bits = 8, s.compression = 1, s.table = table, s.pixels = {2, 1}; });
  add("top-down RLE", [&](BmpFields& s) { s.height = -2, s.bits = 8, s.compression = 1, s.table = table, s.pixels = {0, 1}; });
  add("RLE claiming a huge picture", [&](BmpFields& s) {
    s.width = 8000, s.height = 8000, s.bits = 8, s.compression = 1, s.table = table, s.pixels = {0, 1};
  });

  testsupport::TempDir dir;
  const std::string path = dir.file("bad.bmp");
  for (const auto& [what, bytes] : cases) {
    DibImage img;
    ASSERT_EQ(img.Create(4, 4, 24), 1);
    std::string error;
    EXPECT_EQ(ReadBmpMemory(bytes.data(), bytes.size(), img, &error), 0) << what;
    EXPECT_FALSE(error.empty()) << what;
    EXPECT_TRUE(img.Empty()) << what;
    // Through a file the reason names the file.
    testsupport::WriteFileBytes(path, bytes);
    EXPECT_EQ(img.Load(path, &error), 0) << what;
    EXPECT_NE(error.find(path), std::string::npos) << what << ": " << error;
  }
}

}  // namespace
