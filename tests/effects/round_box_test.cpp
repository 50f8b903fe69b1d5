#include <gtest/gtest.h>

#include "effects/work_fixture.h"
#include "effects/effect_bodies.h"
#include "effects/effect_dispatcher.h"

namespace {

using namespace enginetest;

EffectRecord Box(int sizeX, int sizeY, int roundX, int roundY) { return {RoundBox, {0, 0, 0, 0, sizeX, sizeY, roundX, roundY}, ""}; }

// Lit columns of a row, as [first, last + 1); {0, 0} when none.
std::pair<int, int> Span(const EngineContext& ctx, int y) {
  int first = -1, last = -1;
  for (int x = 0; x < ctx.work.workWidth; ++x)
    if (Glyph(ctx, x, y)) {
      if (first < 0) first = x;
      last = x;
    }
  return first < 0 ? std::pair{0, 0} : std::pair{first, last + 1};
}

TEST(RoundBox, SquareCornersFromTheSizes) {
  // 400 wide, sizeX 950: hw = 190, left 10, right 390 (exclusive); 40 high, sizeY 500: 10..30.
  auto ctx = MakeContext(400, 40, [](int x, int y) { return uint8_t(x < 50 && y < 10 ? 255 : 0); });
  ctx->work.glyphChanged = false;
  ApplyEffect(EffectTarget::For(*ctx, false), RoundBoxParams::From(Box(950, 500, 0, 0)));
  for (int y = 0; y < 40; ++y) EXPECT_EQ(Span(*ctx, y), (y >= 10 && y < 30 ? std::pair{10, 390} : std::pair{0, 0})) << y;
}

TEST(RoundBox, OutlineAfterTheBoxTracesTheLetters) {
  // A 4 x 4 "letter" at (2..5, 2..5) in a 12 x 8 area; its edge pixels are the ring around it.
  const char* const kRing[8] = {"............", "............", "..####......", "..#..#......",
                                "..#..#......", "..####......", "............", "............"};
  auto ctx = MakeContext(12, 8, [](int x, int y) { return uint8_t(x >= 2 && x <= 5 && y >= 2 && y <= 5 ? 255 : 0); });
  ctx->work.glyphChanged = false;  // as after a 3D effect has built its map
  DispatchEffect(*ctx, Box(1000, 1000, 0, 0), false);
  DispatchEffect(*ctx, {OutLine, {0x0000FF}, ""}, false);  // red; thickness 0 colours each edge pixel itself
  const WorkSet& w = ctx->work;
  EXPECT_FALSE(w.glyphChanged);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      EXPECT_EQ(Glyph(*ctx, x, y), 255) << x << "," << y;  // the box covers the whole area
      const bool ring = kRing[y][x] == '#';
      const uint8_t* c = w.effectColorRows[size_t(y)] + x * 3;
      EXPECT_EQ(w.effectCoverage[size_t(y) * 12 + x], ring ? 255 : 0) << x << "," << y;
      EXPECT_EQ(c[2], ring ? 255 : 0) << x << "," << y;
      EXPECT_EQ(c[0] + c[1], 0) << x << "," << y;
    }
}

TEST(RoundBox, WholeAreaDoubleSizeAndEmpty) {
  auto ctx = MakeContext(40, 20, [](int, int) { return uint8_t(0); });
  ApplyEffect(EffectTarget::For(*ctx, false), RoundBoxParams::From(Box(1000, 1000, 0, 0)));
  for (uint8_t v : ctx->work.glyphMask) ASSERT_EQ(v, 255);
  ApplyEffect(EffectTarget::For(*ctx, false), RoundBoxParams::From(Box(2000, 2000, 0, 0)));  // twice the area, clipped to it
  for (uint8_t v : ctx->work.glyphMask) ASSERT_EQ(v, 255);
  ApplyEffect(EffectTarget::For(*ctx, false), RoundBoxParams::From(Box(0, 1000, 0, 0)));
  for (uint8_t v : ctx->work.glyphMask) ASSERT_EQ(v, 0);
  // The start values: a thousandth of 40 x 20 gives the box (19, 9) - (20, 10): one pixel at most.
  ApplyEffect(EffectTarget::For(*ctx, false), RoundBoxParams::From(Box(1, 1, 100, 100)));
  int lit = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x)
      if (Glyph(*ctx, x, y)) {
        ++lit;
        EXPECT_EQ(x, 19);
        EXPECT_EQ(y, 9);
      }
  EXPECT_LE(lit, 1);
  // Values from a file: no crash.
  ApplyEffect(EffectTarget::For(*ctx, false), RoundBoxParams::From(Box(INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN)));
  ApplyEffect(EffectTarget::For(*ctx, false), RoundBoxParams::From(Box(-500, -500, -300, -300)));
}

TEST(RoundBox, CornerEllipseFromTheRoundParameters) {
  // 100 x 60, full size, corner ellipse 40% x 50% = 40 x 30: the corners are cut, the middles not.
  auto ctx = MakeContext(100, 60, [](int, int) { return uint8_t(0); });
  ApplyEffect(EffectTarget::For(*ctx, false), RoundBoxParams::From(Box(1000, 1000, 400, 500)));
  EXPECT_EQ(Glyph(*ctx, 0, 0), 0);
  EXPECT_EQ(Glyph(*ctx, 99, 59), 0);
  EXPECT_EQ(Glyph(*ctx, 50, 0), 255);
  EXPECT_EQ(Glyph(*ctx, 0, 30), 255);
  EXPECT_GT(Span(*ctx, 9).first, 0);  // well inside the ellipse's 15-pixel half height
}

}  // namespace
