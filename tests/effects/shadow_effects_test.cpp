#include "effects/shadow_effects.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "effects/effect_dispatcher.h"
#include "effects/work_fixture.h"

using namespace enginetest;

namespace {

// Sum of one channel of the radius-2 dome: 1 + 4 * sqrt(3)/2 + 4 * sqrt(2)/2.
const double kDome2 = 1.0 + 2.0 * std::sqrt(3.0) + 2.0 * std::sqrt(2.0);

EffectRecord Rec(int type, int32_t colour, int dx, int dy, int p4, int p5 = 0, int p6 = 0, int p7 = 0) {
  return {type, {colour, 0, dx, dy, p4, p5, p6, p7}, ""};
}

TEST(Outline, StampsDiskWithRimAroundEdgePixels) {
  auto ctx = MakeWork(9, 9);
  Light(*ctx, 4, 4);
  Finish(*ctx);  // a lone lit pixel is an edge pixel
  DispatchEffect(*ctx, Rec(OutLine, 0x0000FF, 0, 0, 1), false);
  // Radius 1: centre and the four neighbours weigh 1, diagonals 2 - sqrt(2).
  EXPECT_EQ(Colour(*ctx, 4, 4)[2], 255);
  EXPECT_EQ(Colour(*ctx, 5, 4)[2], 255);
  EXPECT_EQ(Colour(*ctx, 4, 3)[0], 0);
  const int diag = int((2.0 - std::sqrt(2.0)) * 255);  // 149
  EXPECT_EQ(Colour(*ctx, 3, 3)[2], diag);
  EXPECT_EQ(Cov(*ctx, 5, 5), diag);
  EXPECT_EQ(Cov(*ctx, 4, 6), 0);
  EXPECT_EQ(Cov(*ctx, 4, 5), 255);

  // Thickness 0: the edge pixel itself, shifted by the offset, takes the colour.
  auto thin = MakeWork(9, 9);
  Light(*thin, 4, 4);
  Finish(*thin);
  DispatchEffect(*thin, Rec(OutLine, 0x00FF00, 2, -1, 0), false);
  EXPECT_EQ(Colour(*thin, 6, 3)[1], 255);
  EXPECT_EQ(Cov(*thin, 6, 3), 255);
  int lit = 0;
  for (uint16_t c : thin->work.effectCoverage) lit += c != 0;
  EXPECT_EQ(lit, 1);
}

TEST(Outline, InteriorPixelsAreNotStampedAndBordersClip) {
  auto ctx = MakeWork(12, 12);
  LightRect(*ctx, 0, 0, 12, 12);  // the outermost rows and columns never count as edges
  Finish(*ctx);
  DispatchEffect(*ctx, Rec(OutLine, 0xFFFFFF, 0, 0, 3), false);
  for (uint16_t c : ctx->work.effectCoverage) EXPECT_EQ(c, 0);

  auto corner = MakeWork(8, 8);
  LightRect(*corner, 1, 1, 3, 3);
  Finish(*corner);
  DispatchEffect(*corner, Rec(OutLine, 0xFFFFFF, -3, -3, 2), false);
  EXPECT_GT(Cov(*corner, 0, 0), 0);
}

TEST(DropShadow, SplatsNormalisedDomeUnderTheGlyph) {
  auto ctx = MakeWork(12, 12);
  Light(*ctx, 4, 4);
  DispatchEffect(*ctx, Rec(DropShadow, 0x0000FF, 2, 1, 150, 2), false);
  // Opacity 150 makes each channel of the kernel sum to 1.
  EXPECT_EQ(Colour(*ctx, 6, 5)[2], int(255 / kDome2));                       // 34
  EXPECT_EQ(Cov(*ctx, 6, 5), int(255 / kDome2));
  EXPECT_EQ(Colour(*ctx, 7, 5)[2], int(255 * std::sqrt(3.0) / 2 / kDome2));   // 30
  EXPECT_EQ(Colour(*ctx, 8, 5)[2], 0);  // distance 2 weighs 0
  EXPECT_EQ(Colour(*ctx, 6, 5)[0], 0);

  // Under a large solid glyph the sum reaches 1 and the shadow colour is exact.
  auto big = MakeWork(20, 20);
  LightRect(*big, 2, 2, 18, 18);
  DispatchEffect(*big, Rec(DropShadow, 0x102030, 3, 3, 150, 2), false);
  const uint8_t* c = Colour(*big, 10, 10);
  EXPECT_EQ(c[0], 0x10);
  EXPECT_EQ(c[1], 0x20);
  EXPECT_EQ(c[2], 0x30);
  EXPECT_EQ(Cov(*big, 10, 10), 255);
  EXPECT_EQ(Cov(*big, 1, 1), 0);

  // Opacity 0 normalises to nothing.
  auto none = MakeWork(12, 12);
  LightRect(*none, 2, 2, 10, 10);
  DispatchEffect(*none, Rec(DropShadow, 0xFFFFFF, 1, 1, 0, 2), false);
  for (uint16_t v : none->work.effectCoverage) EXPECT_EQ(v, 0);
  for (uint8_t v : none->work.effectColor) EXPECT_EQ(v, 0);
}

TEST(DropShadow, CoverageAddsToSignedStoredSum) {
  auto ctx = MakeWork(12, 12);
  LightRect(*ctx, 0, 0, 12, 12);
  ctx->work.effectCoverage[5 * 12 + 5] = 100;
  ctx->work.effectCoverage[6 * 12 + 6] = 65535;  // reads as -1
  DispatchEffect(*ctx, Rec(DropShadow, 0, 0, 0, 150, 2), false);
  EXPECT_EQ(Cov(*ctx, 5, 5), 255);  // min(255, 255 + 100)
  EXPECT_EQ(Cov(*ctx, 6, 6), 254);  // 255 - 1
}

TEST(DepthBlur, GathersWithClampedBorders) {
  auto ctx = MakeWork(9, 9);
  Paint(*ctx, 4, 4, 255, 255, 255);
  Paint(*ctx, 0, 0, 0, 0, 255);
  ctx->work.effectCoverage[4 * 9 + 4] = 77;
  DispatchEffect(*ctx, Rec(DepthField, 0, 0, 0, 150, 2), false);
  EXPECT_EQ(Colour(*ctx, 4, 4)[0], int(255 / kDome2));
  EXPECT_EQ(Colour(*ctx, 4, 5)[1], int(255 * std::sqrt(3.0) / 2 / kDome2));
  EXPECT_EQ(Colour(*ctx, 5, 5)[2], int(255 * std::sqrt(2.0) / 2 / kDome2));
  // The corner pixel is sampled for every cell that falls off the top-left.
  const double corner = (1.0 + std::sqrt(3.0) + std::sqrt(2.0) / 2) / kDome2;
  EXPECT_EQ(Colour(*ctx, 0, 0)[2], int(255 * corner));  // 120
  EXPECT_EQ(Cov(*ctx, 4, 4), 77);                       // coverage untouched
  EXPECT_EQ(Cov(*ctx, 4, 5), 0);

  // Strength 300 doubles the weights; sums past 255 stop there.
  auto flat = MakeWork(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) Paint(*flat, x, y, 200, 10, 0);
  DispatchEffect(*flat, Rec(DepthField, 0, 0, 0, 300, 2), false);
  EXPECT_EQ(Colour(*flat, 3, 3)[0], 255);
  EXPECT_NEAR(Colour(*flat, 3, 3)[1], 20, 1);
}

TEST(CutOut, ShadesGlyphInsideFromUnlitNeighbours) {
  auto ctx = MakeWork(16, 12);
  LightRect(*ctx, 0, 2, 12, 10);  // touches the left border
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) Paint(*ctx, x, y, 255, 255, 255);
  DispatchEffect(*ctx, Rec(CutOut, 0x000000, 0, 0, 150, 2), false);
  // Left-edge pixel of the glyph at column 11: the three cells at i = +1 are unlit.
  const double s = (std::sqrt(3.0) / 2 + std::sqrt(2.0)) / kDome2;
  EXPECT_EQ(Colour(*ctx, 11, 6)[0], int((1 - s) * 255));  // 175
  EXPECT_EQ(Cov(*ctx, 11, 6), int(s * 255));              // 79
  // Outside the work area counts as unlit: column 0 is shaded the same way.
  EXPECT_EQ(Colour(*ctx, 0, 6)[1], int((1 - s) * 255));
  // Interior and unlit pixels stay as they were.
  EXPECT_EQ(Colour(*ctx, 5, 6)[2], 255);
  EXPECT_EQ(Cov(*ctx, 5, 6), 0);
  EXPECT_EQ(Colour(*ctx, 14, 6)[2], 255);
  EXPECT_EQ(Cov(*ctx, 14, 6), 0);

  // The location moves the result; pixels whose target falls outside are dropped.
  auto moved = MakeWork(16, 12);
  LightRect(*moved, 0, 2, 12, 10);
  DispatchEffect(*moved, Rec(CutOut, 0x0000FF, 0, 0, 150, 2, 3, -1), false);
  EXPECT_EQ(Colour(*moved, 14, 5)[2], int(s * 255));
  EXPECT_EQ(Cov(*moved, 11, 6), 0);
}

TEST(ShadowFamily, HostileParametersStayInsideAndFinish) {
  const auto start = std::chrono::steady_clock::now();
  auto ctx = MakeWork(32, 16);
  LightRect(*ctx, 4, 4, 28, 12);
  Finish(*ctx);
  for (int off : {10000, -10000, INT32_MAX, INT32_MIN, 31, -31}) {
    const int neg = off == INT32_MIN ? INT32_MAX : -off;
    DispatchEffect(*ctx, Rec(OutLine, 0xFFFFFF, off, neg, 3), false);
    DispatchEffect(*ctx, Rec(DropShadow, 0xFFFFFF, off, off, 150, 3), false);
    DispatchEffect(*ctx, Rec(CutOut, 0xFFFFFF, off, off, 150, 3, off, neg), false);
  }
  for (int radius : {1000, 100000, INT32_MAX, -5, INT32_MIN}) {
    DispatchEffect(*ctx, Rec(OutLine, 0xFFFFFF, 0, 0, radius), false);
    DispatchEffect(*ctx, Rec(DropShadow, 0xFFFFFF, 0, 0, 150, radius), false);
    DispatchEffect(*ctx, Rec(DepthField, 0, 0, 0, 150, radius), false);
    DispatchEffect(*ctx, Rec(CutOut, 0, 0, 0, INT32_MAX, radius), false);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
