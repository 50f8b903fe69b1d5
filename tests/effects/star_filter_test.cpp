#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "effects/work_fixture.h"
#include "effects/effect_bodies.h"
#include "effects/star_filter.h"
#include "raster/convolution_kernel.h"
#include "support/test_support.h"

namespace {

using namespace enginetest;

// A 101 x 101 pattern: weight w(d) = base x 0.5^d (d = Chebyshev distance), channels scaled by
// (1, 2, 3) so that each channel's own weight shows.
ConvolutionKernel Pattern(float base) {
  ConvolutionKernel k(101, 101);
  for (int dy = -50; dy <= 50; ++dy)
    for (int dx = -50; dx <= 50; ++dx) {
      const float w = base * std::pow(0.5f, float(std::max(std::abs(dx), std::abs(dy))));
      float* c = k.Cell(dx, dy);
      c[0] = w, c[1] = 2 * w, c[2] = 3 * w;
    }
  return k;
}

auto Dot(int px, int py) {
  return [=](int x, int y) { return uint8_t(x == px && y == py ? 255 : 0); };
}

TEST(StarFilter, TrimKeepsTheRowsWhereTheLightReachesOne) {
  // Scaled weights: blue channel weight x B x s. With base 1 and s = 64, white: the peak of
  // row t (distance 50 - t) in red is 3 x 255 x 64 x 0.5^(50-t) — it first reaches 1 at
  // 0.5^(50-t) >= 1 / 48960, i.e. 50 - t <= 15 (t = 35), so 36 rows are cut: 29 x 29 cells.
  const StarKernel k = PrepareStarKernel(Pattern(1.0f), 0xFFFFFF, 64.0f);
  EXPECT_EQ(k.width, 29);
  EXPECT_EQ(k.height, 29);
  // A black light: nothing reaches 1, t runs to 50, the centre cell alone remains (zero).
  const StarKernel black = PrepareStarKernel(Pattern(1.0f), 0, 10000.0f);
  EXPECT_EQ(black.width, 1);
  for (float w : black.cells) EXPECT_EQ(w, 0.0f);
  // An empty pattern (missing file) paints nothing.
  EXPECT_EQ(PrepareStarKernel(ConvolutionKernel(), 0xFFFFFF, 1e4f).width, 0);
}

TEST(StarFilter, OneByOneKernelAddsTheCentreWeight) {
  // Weights too small to reach 1 anywhere: only the centre is kept; with base 0.5, colour
  // (R 10, G 20, B 40) and strength 0.09 the scaled centre is (1.8, 1.8, 1.35) -> adds 1.
  auto ctx = MakeContext(8, 8, Dot(4, 4));
  ASSERT_EQ(ctx->work.edgeRows[4][4], 255);  // a lone pixel is its own outline
  ctx->lightPatterns[0] = Pattern(0.5f);
  ctx->work.effectColorRows[4][4 * 3 + 2] = 254;
  StarFilterEffect(EffectTarget::For(*ctx, false), 0, 0x0028140A, 0.09f, 0, 0);
  const uint8_t* p = ctx->work.effectColorRows[4] + 4 * 3;
  EXPECT_EQ(p[0], 1);    // blue 0.5 x 40 x 0.09 = 1.8
  EXPECT_EQ(p[1], 1);    // green 1.0 x 20 x 0.09 = 1.8
  EXPECT_EQ(p[2], 255);  // red 254 + 1.35, capped
  EXPECT_EQ(ctx->work.effectCoverage[4 * 8 + 4], 1);
  for (int i = 0; i < 64; ++i)
    if (i != 4 * 8 + 4) {
      EXPECT_EQ(ctx->work.effectCoverage[size_t(i)], 0);
    }
}

TEST(StarFilter, ClippedAndShiftedStampsEqualTheDirectForm) {
  std::mt19937 rng(3);
  const ConvolutionKernel pattern = Pattern(2e-3f);
  for (int trial = 0; trial < 12; ++trial) {
    const int W = 4 * (2 + int(rng() % 10)), H = 4 * (2 + int(rng() % 6));
    auto ctx = MakeContext(W, H, [&](int, int) { return uint8_t(0); });
    for (int i = 0; i < 12; ++i) ctx->work.edgeRows[rng() % H][rng() % W] = 255;
    ctx->work.edgeRows[0][0] = 255;  // a corner: the stamp is clipped on two sides
    const int dx = int(rng() % 41) - 20, dy = int(rng() % 41) - 20;
    const StarKernel k = PrepareStarKernel(pattern, int32_t(rng() & 0xFFFFFF) | 0x404040, 1000.0f);
    ASSERT_GT(k.width, 1);
    std::vector<uint8_t> colour(size_t(W) * H * 3), colour2;
    for (auto& c : colour) c = uint8_t(rng() % 200);
    colour2 = colour;
    // Coverage from earlier effects, some of it past 255 (capped by any cell a stamp reaches).
    std::vector<uint16_t> cov(size_t(W) * H), cov2;
    for (auto& c : cov) c = uint16_t(rng() % 600);
    cov2 = cov;
    auto rowsOf = [W, H](std::vector<uint8_t>& buf) {
      std::vector<uint8_t*> rows(static_cast<size_t>(H));
      for (int y = 0; y < H; ++y) rows[size_t(y)] = buf.data() + size_t(y) * W * 3;
      return rows;
    };
    auto rows = rowsOf(colour), rows2 = rowsOf(colour2);
    StampStars(k, ctx->work.edgeRows.data(), rows.data(), cov.data(), W, H, dx, dy);
    StampStarsDirect(k, ctx->work.edgeRows.data(), rows2.data(), cov2.data(), W, H, dx, dy);
    ASSERT_EQ(colour, colour2) << trial;
    ASSERT_EQ(cov, cov2) << trial;
  }
  // A shift past the area loses the whole glow.
  auto ctx = MakeContext(16, 16, Dot(8, 8));
  ctx->lightPatterns[1] = pattern;
  StarFilterEffect(EffectTarget::For(*ctx, false), 1, 0xFFFFFF, 1e4f, 40, 0);
  StarFilterEffect(EffectTarget::For(*ctx, false), 1, 0xFFFFFF, 1e4f, INT32_MIN, INT32_MAX);
  for (uint8_t v : ctx->work.effectColor) ASSERT_EQ(v, 0);
}

TEST(StarFilter, UnknownTypesAndMissingFilesPaintNothing) {
  testsupport::TempDir dir;
  // star0 complete, star1 short, star2 missing.
  std::vector<uint8_t> full(101 * 101 * 12, 0), shortFile(1000, 0x3F);
  const float one = 1.0f;
  for (size_t i = 0; i < full.size(); i += 4) std::memcpy(&full[i], &one, 4);
  testsupport::WriteFileBytes(dir.file("star0.lit"), full);
  testsupport::WriteFileBytes(dir.file("star1.lit"), shortFile);
  auto ctx = MakeContext(16, 16, Dot(8, 8));
  ctx->programFolder = dir.path().string() + "/";
  LoadLightPatterns(*ctx);
  ASSERT_FALSE(ctx->lightPatterns[0].Empty());
  EXPECT_TRUE(ctx->lightPatterns[1].Empty());
  EXPECT_TRUE(ctx->lightPatterns[2].Empty());
  for (int type : {1, 2, 3, -1, INT32_MAX}) StarFilterEffect(EffectTarget::For(*ctx, false), type, 0xFFFFFF, 1e4f, 0, 0);
  for (uint8_t v : ctx->work.effectColor) ASSERT_EQ(v, 0);
  for (uint16_t v : ctx->work.effectCoverage) ASSERT_EQ(v, 0);
  // The complete pattern (all weights 1, 255 when scaled) loses only its first row on each side
  // and saturates the whole area around the dot.
  EXPECT_EQ(PrepareStarKernel(ctx->lightPatterns[0], 0xFFFFFF, 1.0f).width, 99);
  StarFilterEffect(EffectTarget::For(*ctx, false), 0, 0xFFFFFF, 1.0f, 0, 0);
  for (uint8_t v : ctx->work.effectColor) ASSERT_EQ(v, 255);
  for (uint16_t v : ctx->work.effectCoverage) ASSERT_EQ(v, 255);
}

}  // namespace
