#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "effects/effect_dispatcher.h"
#include "effects/three_d_model.h"
#include "effects/work_fixture.h"

namespace {

using namespace enginetest;

std::vector<float> Fast(const EngineContext& ctx) {
  RingTable rings;
  return ComputeDistanceMap(ctx.work.glyphRows.data(), ctx.work.workWidth, ctx.work.workHeight, rings);
}
std::vector<float> Direct(const EngineContext& ctx) {
  return ComputeDistanceMapDirect(ctx.work.glyphRows.data(), ctx.work.workWidth, ctx.work.workHeight);
}

TEST(DistanceMap, RingsHoldEachOffsetAtMostOnceAtItsRoundedUpLength) {
  RingTable rings;
  EnsureRingTable(rings);
  size_t total = 0;
  for (int r = 0; r <= RingTable::kMaxRadius; ++r) {
    for (const auto& o : rings.rings[size_t(r)]) {
      const double len = std::hypot(double(o.dx), double(o.dy));
      ASSERT_EQ(int(std::ceil(len - 1e-12)), r) << o.dx << "," << o.dy;
      ASSERT_EQ(rings.RingOf(o.dx, o.dy), r);
    }
    total += rings.rings[size_t(r)].size();
  }
  // Every offset RingOf places is listed (and listed once): the counts agree.
  constexpr int R = RingTable::kMaxRadius;
  size_t marked = 0;
  for (int dy = -R - 1; dy <= R + 1; ++dy)
    for (int dx = -R - 1; dx <= R + 1; ++dx) marked += RingTable::RingOf(dx, dy) >= 0;
  EXPECT_EQ(total, marked);
  // Ring 1 is the four neighbours only; (3, 3) lies on no ring.
  EXPECT_EQ(rings.rings[1].size(), 4u);
  EXPECT_EQ(rings.RingOf(3, 3), -1);
  EXPECT_EQ(rings.RingOf(1, 1), 2);
}

TEST(DistanceMap, HandComputedValuesOfASolidBlock) {
  // A 6 x 6 block (columns and rows 5..10) in a 16 x 16 area: the rim pixels have a dark
  // 4-neighbour (1); one pixel further in, ring 2 reaches the dark pixels at distance 2; the
  // four centre pixels stop on ring 3 at distance 3, the largest value.
  auto ctx = MakeContext(16, 16, [](int x, int y) { return uint8_t(x >= 5 && x < 11 && y >= 5 && y < 11 ? 255 : 0); });
  const std::vector<float> direct = Direct(*ctx);
  const std::vector<float> fast = Fast(*ctx);
  ASSERT_EQ(direct, fast);
  EXPECT_FLOAT_EQ(fast[7 * 16 + 7], 1.0f);
  EXPECT_FLOAT_EQ(fast[5 * 16 + 7], 1.0f / 3);      // top rim
  EXPECT_FLOAT_EQ(fast[6 * 16 + 6], 2.0f / 3);  // its diagonal (5, 5) is still lit
  EXPECT_FLOAT_EQ(fast[0], 0.0f);
}

TEST(DistanceMap, PartlyLitPixelsAndPartlyLitNeighbours) {
  // A partly lit pixel stops on ring 0 with no dark pixel there: 3, the largest raw value.
  auto ctx = MakeContext(8, 4, [](int x, int y) {
    if (y != 1) return uint8_t(0);
    return uint8_t(x == 2 ? 128 : (x == 3 ? 255 : 0));
  });
  // Pixel (3, 1): ring 1 holds the partly lit (2, 1) and the dark (4, 1): distance 1.
  const std::vector<float> map = Fast(*ctx);
  EXPECT_EQ(map, Direct(*ctx));
  EXPECT_FLOAT_EQ(map[1 * 8 + 2], 1.0f);
  EXPECT_FLOAT_EQ(map[1 * 8 + 3], 1.0f / 3);
}

TEST(DistanceMap, FastFormEqualsTheRingScanOnRandomShapes) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 30; ++trial) {
    const int W = 4 * (1 + int(rng() % 12)), H = 4 * (1 + int(rng() % 10));
    const int kind = trial % 3;
    // Blobs of discs (thick strokes), sparse holes (dark pixels between the rings), and
    // anti-aliased values, each touching the borders now and then.
    std::vector<std::array<int, 3>> discs;
    for (int i = 0; i < 4; ++i) discs.push_back({int(rng() % W), int(rng() % H), 2 + int(rng() % 14)});
    std::vector<uint8_t> noise(size_t(W) * H);
    for (auto& v : noise) v = uint8_t(rng() % 100);
    auto ctx = MakeContext(W, H, [&](int x, int y) {
      bool in = false;
      for (const auto& d : discs) in |= (x - d[0]) * (x - d[0]) + (y - d[1]) * (y - d[1]) <= d[2] * d[2];
      const uint8_t n = noise[size_t(y) * W + x];
      if (kind == 1) return uint8_t(n < 3 ? 0 : 255);
      if (!in) return uint8_t(0);
      if (kind == 2 && n < 10) return uint8_t(n * 20 + 1);
      return uint8_t(255);
    });
    ASSERT_EQ(Fast(*ctx), Direct(*ctx)) << "trial " << trial << " " << W << "x" << H;
  }
}

TEST(DistanceMap, FullyLitAreaUsesTheLastRing) {
  // Nothing dark within 254: r = 255 and no dark pixel on ring 255 either -> 258 everywhere;
  // normalised, every value is 1. An empty mask is all 0.
  auto full = MakeContext(8, 8, [](int, int) { return uint8_t(255); });
  for (float v : Fast(*full)) ASSERT_FLOAT_EQ(v, 1.0f);
  auto empty = MakeContext(8, 8, [](int, int) { return uint8_t(0); });
  for (float v : Fast(*empty)) ASSERT_EQ(v, 0.0f);
}

TEST(DistanceMap, CachedUntilTheGlyphsChange) {
  auto ctx = MakeContext(12, 12, [](int x, int y) { return uint8_t(x > 2 && x < 9 && y > 2 && y < 9 ? 255 : 0); });
  ASSERT_TRUE(ctx->work.glyphChanged);
  BuildDistanceMap(*ctx);
  EXPECT_FALSE(ctx->work.glyphChanged);
  const std::vector<float> first = ctx->threeD.distanceMap;
  // A change without the flag keeps the old map; with it, the map follows.
  ctx->work.glyphRows[5][5 * 3] = 0;
  BuildDistanceMap(*ctx);
  EXPECT_EQ(ctx->threeD.distanceMap, first);
  ctx->work.glyphChanged = true;
  BuildDistanceMap(*ctx);
  EXPECT_NE(ctx->threeD.distanceMap, first);
  EXPECT_EQ(ctx->threeD.distanceMap[5 * 12 + 5], 0.0f);
}

uint8_t Letters(int x, int y) {
  // Two thick strokes and a ring, something like glyphs.
  const bool bar = (x >= 6 && x < 14 && y >= 4 && y < 36) || (y >= 16 && y < 22 && x >= 6 && x < 40);
  const int dx = x - 60, dy = y - 20, d2 = dx * dx + dy * dy;
  return uint8_t(bar || (d2 <= 196 && d2 >= 36) ? 255 : 0);
}

TEST(DistanceMap, ShadingAfterADistortionFollowsTheDistortedGlyphs) {
  // Fill the cache with the undistorted map first, as an earlier 3D effect of the style would.
  auto ctx = MakeContext(80, 40, Letters);
  ctx->in.effects = {EffectRecord{ThreeDSingleColor, {0x808080, 0, 0, 0, 0, 200, 25, 1000, 100, 0}, ""},
                     EffectRecord{DisturbTemplet, {0, 0, 100, 0, 1, 200, 60}, ""},
                     EffectRecord{ThreeDSingleColor, {0x808080, 0, 0, 0, 0, 200, 25, 1000, 100, 0}, ""}};
  RunStyle(*ctx, false);
  EXPECT_EQ(ctx->threeD.distanceMap, Fast(*ctx));
}

}  // namespace
