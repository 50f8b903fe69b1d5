#include <gtest/gtest.h>

#include "effects/mask_fixture.h"
#include "effects/effect_bodies.h"

namespace {

using effects_test::Glyph;
using effects_test::MakeContext;

EffectRecord Box(int sizeX, int sizeY, int roundX, int roundY) {
  EffectRecord r;
  r.type = RoundBox;
  r.p[4] = sizeX, r.p[5] = sizeY, r.p[6] = roundX, r.p[7] = roundY;
  return r;
}

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
  EXPECT_TRUE(ctx->work.glyphChanged);
  // The edge plane follows the box: its top-left corner is an edge, the old glyph's is not.
  EXPECT_EQ(ctx->work.edgeRows[10][10], 255);
  EXPECT_EQ(ctx->work.edgeRows[9][5], 0);
  EXPECT_EQ(ctx->work.edgeRows[20][200], 0);
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
