#include "platform/round_rect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "support/ink_plane.h"

namespace {

struct Target : testsupport::InkPlane {
  using InkPlane::InkPlane;
  void fill(int l, int t, int r, int b, int ew, int eh) {
    platform::FillRoundRect(rows.data(), w, h, bpp, l, t, r, b, ew, eh);
  }
};

TEST(RoundRect, PlainRectangleExcludesRightAndBottomEdges) {
  Target t(20, 16, 3);
  t.fill(3, 2, 11, 7, 0, 0);
  for (int y = 0; y < t.h; ++y)
    for (int x = 0; x < t.w; ++x) {
      const bool inside = x >= 3 && x <= 10 && y >= 2 && y <= 6;
      ASSERT_EQ(t.lit(x, y), inside) << x << "," << y;
      // All three bytes of a lit pixel are white.
      if (inside) {
        ASSERT_EQ(t.rows[y][x * 3] + t.rows[y][x * 3 + 1] + t.rows[y][x * 3 + 2], 765);
      }
    }
  EXPECT_EQ(t.guardInk(), 0);
}

TEST(RoundRect, ClipsToTheTargetAndEmptyOrOutsideBoxesDrawNothing) {
  Target t(12, 10, 3);
  // Twice the target's size around its centre, with large corners.
  t.fill(-6, -5, 18, 15, 8, 8);
  EXPECT_EQ(t.count(), 12 * 10);  // the corners that are cut lie outside the target
  EXPECT_EQ(t.guardInk(), 0);

  // Zero width, zero height, right left of left, bottom above top, entirely left, entirely below.
  const int boxes[][5] = {{5, 5, 5, 10, 0},    {5, 5, 10, 5, 4},     {10, 5, 5, 10, 0},
                          {5, 10, 10, 5, 2},   {-40, -40, -2, 30, 0}, {4, 12, 8, 40, 0}};
  Target u(12, 10);
  for (const auto& b : boxes) u.fill(b[0], b[1], b[2], b[3], b[4], b[4]);
  EXPECT_EQ(u.count() + u.guardInk(), 0);
}

TEST(RoundRect, CornersAreRoundedAndTheShapeSymmetric) {
  Target t(40, 30);
  t.fill(2, 3, 32, 23, 10, 8);  // 30 x 20 box
  // Square corners are cut, edge midpoints are lit, the middle rows are full.
  for (auto [x, y] : {std::pair{2, 3}, {31, 3}, {2, 22}, {31, 22}}) EXPECT_FALSE(t.lit(x, y)) << x << "," << y;
  for (auto [x, y] : {std::pair{17, 3}, {17, 22}, {2, 13}, {31, 13}}) EXPECT_TRUE(t.lit(x, y)) << x << "," << y;
  for (int x = 2; x < 32; ++x) EXPECT_TRUE(t.lit(x, 12)) << x;
  // Every row is one run; mirror images left/right and top/bottom.
  for (int y = 3; y < 23; ++y) {
    int runs = 0;
    for (int x = 0; x < t.w; ++x) runs += t.lit(x, y) && (x == 0 || !t.lit(x - 1, y));
    EXPECT_EQ(runs, 1) << y;
    for (int x = 2; x < 32; ++x) {
      EXPECT_EQ(t.lit(x, y), t.lit(33 - x, y)) << x << "," << y;
      EXPECT_EQ(t.lit(x, y), t.lit(x, 25 - y)) << x << "," << y;
    }
  }
  // Four quarter ellipses of 5 x 4 cut off 4 x (1 - pi/4) x 5 x 4 = 17.2 pixels from the box.
  EXPECT_NEAR(30 * 20 - t.count(), 4 * (1 - M_PI / 4) * 5 * 4, 4.0);
  EXPECT_EQ(t.guardInk(), 0);
}

TEST(RoundRect, FullEllipseHasTheAreaOfAnEllipseAndOversizedCornersAreClamped) {
  Target t(64, 48), u(64, 48);
  t.fill(4, 4, 60, 44, 56, 40);
  u.fill(4, 4, 60, 44, 5000, 9000);
  EXPECT_EQ(t.mem, u.mem);
  EXPECT_NEAR(t.count(), M_PI * 28 * 20, M_PI * 28 * 20 * 0.02);
  // The extreme pixels of the ellipse are on the box's edges.
  EXPECT_TRUE(t.lit(4, 23) || t.lit(4, 24));
  EXPECT_TRUE(t.lit(59, 23) || t.lit(59, 24));
  EXPECT_TRUE(t.lit(31, 4) || t.lit(32, 4));
  EXPECT_TRUE(t.lit(31, 43) || t.lit(32, 43));
  EXPECT_FALSE(t.lit(5, 5));
}

}  // namespace
