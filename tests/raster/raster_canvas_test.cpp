#include "raster/raster_canvas.h"

#include <gtest/gtest.h>

#include <array>

#include "imaging/dib_image.h"

namespace {

void Set(RasterCanvas& c, int x, int y, uint8_t value, uint8_t cover) {
  uint8_t* p = c.colorRows[size_t(y)] + x * 3;
  p[0] = p[1] = p[2] = value;
  c.coverageRows[size_t(y)][x] = cover;
}
uint8_t Blue(const RasterCanvas& c, int x, int y) { return c.colorRows[size_t(y)][x * 3]; }
uint8_t Cover(const RasterCanvas& c, int x, int y) { return c.coverageRows[size_t(y)][x]; }

TEST(RasterCanvas, CreateRoundsUpToMultiplesOfFourAndStartsEmpty) {
  RasterCanvas c;
  EXPECT_TRUE(c.Empty());
  c.Release();  // an empty canvas stays as it is
  EXPECT_TRUE(c.Empty());
  ASSERT_EQ(c.Create(5, 7), 0);
  EXPECT_EQ(c.width, 8);
  EXPECT_EQ(c.height, 8);
  EXPECT_EQ(c.bits, std::vector<uint8_t>(8 * 8 * 3, 0));
  EXPECT_EQ(c.coverage, std::vector<uint8_t>(8 * 8, 0));
  EXPECT_EQ(c.coverageRows[7], c.coverage.data() + 7 * 8);

  // Create on a used canvas starts over.
  Set(c, 1, 1, 200, 200);
  ASSERT_EQ(c.Create(4, 4), 0);
  EXPECT_EQ(Blue(c, 1, 1), 0);
  EXPECT_EQ(Cover(c, 1, 1), 0);
  EXPECT_EQ(c.Create(-1, 4), -1);
  EXPECT_TRUE(c.Empty());
  EXPECT_EQ(c.Create(0, 0), 0);
  EXPECT_EQ(c.width, 0);
}

TEST(RasterCanvas, CompositeFollowsTheIntegerOverFormula) {
  RasterCanvas page, item;
  page.Create(4, 4);
  item.Create(4, 4);
  // (dest colour, dest coverage) under (source colour, source coverage):
  // colour min(255, ((d * (255 - a)) >> 8) + s), coverage min(255, d + a).
  Set(page, 0, 0, 200, 100), Set(item, 0, 0, 50, 128);   // (200*127)>>8 = 99; 149, 228
  Set(page, 1, 0, 200, 200), Set(item, 1, 0, 90, 255);   // under full cover nothing is kept
  Set(page, 2, 0, 200, 10), Set(item, 2, 0, 90, 254);    // (200*1)>>8 = 0 as well
  Set(page, 3, 0, 200, 10), Set(item, 3, 0, 0, 0);       // a transparent source leaves it: 200
  Set(page, 0, 1, 255, 250), Set(item, 0, 1, 250, 10);   // 244 + 250 saturates
  Set(page, 1, 1, 0, 0), Set(item, 1, 1, 77, 77);
  page.CompositeOver(item, 0, 0);
  const int want[6][4] = {{0, 0, 149, 228}, {1, 0, 90, 255}, {2, 0, 90, 255}, {3, 0, 200, 10}, {0, 1, 255, 255}, {1, 1, 77, 77}};
  for (const auto& w : want) {
    EXPECT_EQ(Blue(page, w[0], w[1]), w[2]) << w[0] << "," << w[1];
    EXPECT_EQ(Cover(page, w[0], w[1]), w[3]) << w[0] << "," << w[1];
  }
  // Each byte separately: a blue-only source leaves green and red to the dimming.
  RasterCanvas a, b;
  a.Create(4, 4);
  b.Create(4, 4);
  a.colorRows[0][0] = 10, a.colorRows[0][1] = 100, a.colorRows[0][2] = 240;
  b.colorRows[0][0] = 60, b.coverageRows[0][0] = 64;
  a.CompositeOver(b, 0, 0);
  EXPECT_EQ(a.colorRows[0][0], ((10 * 191) >> 8) + 60);
  EXPECT_EQ(a.colorRows[0][1], (100 * 191) >> 8);
  EXPECT_EQ(a.colorRows[0][2], (240 * 191) >> 8);
}

TEST(RasterCanvas, CompositeTouchesOnlyTheOverlap) {
  RasterCanvas page, item;
  page.Create(8, 8);
  item.Create(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) Set(item, x, y, uint8_t(10 * x + y), 255);
  page.CompositeOver(item, -3, -3);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inside = x <= 4 && y <= 4;
      EXPECT_EQ(Blue(page, x, y), inside ? 10 * (x + 3) + (y + 3) : 0) << x << "," << y;
      EXPECT_EQ(Cover(page, x, y), inside ? 255 : 0) << x << "," << y;
    }

  const RasterCanvas before = page;
  for (auto [x, y] : {std::pair{8, 0}, {-8, 0}, {0, 8}, {0, -8}, {100, -100}, {-9, 3}})
    page.CompositeOver(item, x, y);
  EXPECT_EQ(page.bits, before.bits);
  EXPECT_EQ(page.coverage, before.coverage);
  RasterCanvas empty;
  page.CompositeOver(empty, 0, 0);
  empty.CompositeOver(item, 0, 0);
  EXPECT_EQ(page.bits, before.bits);
}

// A page whose colour is 16 * x + 2 * y in every byte, and an item whose coverage has a hard
// vertical edge between its columns 3 and 4.
struct SmoothingScene {
  RasterCanvas page, item;
  SmoothingScene(int pw, int ph) {
    page.Create(pw, ph);
    for (int y = 0; y < ph; ++y)
      for (int x = 0; x < pw; ++x) Set(page, x, y, uint8_t(16 * x + 2 * y), 0);
    item.Create(8, 8);
    for (int y = 0; y < 8; ++y)
      for (int x = 4; x < 8; ++x) item.coverageRows[size_t(y)][x] = 255;
  }
  int v(int x, int y) const { return 16 * x + 2 * y; }
};

TEST(RasterCanvas, SmoothingAveragesHardEdgesAwayFromTheOverlapBorder) {
  {
    SmoothingScene s(8, 8);
    const std::vector<uint8_t> before = s.page.bits;
    s.item.SmoothEdges(s.page, 0, 0, 0);
    EXPECT_EQ(s.page.bits, before);  // anti-aliasing off
  }
  SmoothingScene s(8, 8);
  s.item.SmoothEdges(s.page, 0, 0, 1);
  // (3, 3): centre 54, up 52, down 56, left 38, right 70 -> (54 + 13 + 14 + 9 + 17) >> 1 = 53.
  EXPECT_EQ(Blue(s.page, 3, 3), 53);
  // (4, 3): centre 70, neighbours 68, 72, 54, 86 -> (70 + 17 + 18 + 13 + 21) >> 1 = 69,
  // reading the left neighbour as it was before smoothing.
  EXPECT_EQ(Blue(s.page, 4, 3), 69);
  EXPECT_EQ(s.page.colorRows[3][4 * 3 + 2], 69);  // every byte
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool smoothed = (x == 3 || x == 4) && y >= 1 && y <= 6;
      if (!smoothed) {
        EXPECT_EQ(Blue(s.page, x, y), s.v(x, y)) << x << "," << y;
      }
      EXPECT_EQ(Cover(s.page, x, y), 0);  // coverage is left alone
    }

  // At an offset, the edge moves with the item and the overlap's outermost rows stay.
  SmoothingScene o(12, 10);
  o.item.SmoothEdges(o.page, 2, 1, 1);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool smoothed = (x == 5 || x == 6) && y >= 2 && y <= 7;
      EXPECT_EQ(Blue(o.page, x, y) != o.v(x, y), smoothed) << x << "," << y;
    }
  // Placed half outside: the overlap starts at column 0, which is its outermost column.
  SmoothingScene h(8, 8);
  h.item.SmoothEdges(h.page, -4, 0, 1);  // item column 4 (the lit side) lands on page column 0
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Blue(h.page, x, y), h.v(x, y)) << x << "," << y;
}

TEST(RasterCanvas, SmoothingThresholdIsAboveOneHundredTwentySeven) {
  for (int right : {127, 128}) {
    RasterCanvas page, item;
    page.Create(4, 4);
    item.Create(4, 4);
    Set(page, 1, 1, 100, 0);  // dark neighbours: the average is (100 + 0) >> 1 = 50
    item.coverageRows[1][2] = uint8_t(right);  // the only difference around (1, 1): g = right
    item.SmoothEdges(page, 0, 0, 1);
    EXPECT_EQ(Blue(page, 1, 1), right > 127 ? 50 : 100) << right;
  }
}

TEST(RasterCanvas, BlendOntoImageIsClippedToThePicture) {
  DibImage image;
  ASSERT_EQ(image.Create(8, 4, 24), 1);
  DibRowTable rows(image);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8 * 3; ++x) rows[y][x] = 200;
  RasterCanvas c;
  c.Create(4, 4);
  Set(c, 0, 0, 100, 255);  // full cover copies
  Set(c, 1, 0, 100, 128);  // (200 * 128) >> 8 + (100 * 128) >> 8 = 150
  Set(c, 2, 0, 100, 0);    // nothing of the canvas
  Set(c, 3, 2, 10, 255);
  c.BlendOntoImage(image, 6, 0);  // clipped: only columns 0 and 1 of the canvas land
  EXPECT_EQ((std::array{rows[0][6 * 3], rows[0][7 * 3 + 2], rows[0][5 * 3]}), (std::array<uint8_t, 3>{100, 150, 200}));
  c.BlendOntoImage(image, -2, 1);
  // Canvas column 2 has no cover; canvas (3, 2) lands at (1, 3).
  EXPECT_EQ((std::array{rows[1][0], rows[1][3], rows[3][1 * 3], rows[3][2 * 3]}), (std::array<uint8_t, 4>{200, 200, 10, 200}));
}

TEST(RasterCanvas, FlipVerticalAndCopies) {
  RasterCanvas c;
  c.Create(4, 8);
  for (int y = 0; y < 8; ++y) Set(c, 1, y, uint8_t(y * 10), uint8_t(y));
  RasterCanvas copy = c;
  c.FlipVertical();
  for (int y = 0; y < 8; ++y) {
    EXPECT_EQ(Blue(c, 1, y), (7 - y) * 10);
    EXPECT_EQ(Cover(c, 1, y), 7 - y);
    EXPECT_EQ(Blue(copy, 1, y), y * 10);  // the copy owns its own memory and rows
  }
  EXPECT_EQ(copy.colorRows[0], copy.bits.data());
  RasterCanvas moved = std::move(copy);
  EXPECT_TRUE(copy.Empty());
  EXPECT_EQ(moved.colorRows[2], moved.bits.data() + 2 * 12);
  EXPECT_EQ(Blue(moved, 1, 2), 20);
}

}  // namespace
