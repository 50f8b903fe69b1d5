#include <gtest/gtest.h>

#include <cmath>

#include "effects/work_fixture.h"
#include "effects/effect_bodies.h"
#include "effects/three_d_model.h"

namespace {

using namespace enginetest;

EffectRecord ThreeD(int32_t colour, std::array<int32_t, 6> f) {
  return {ThreeDSingleColor, {colour, 0, 0, 0, f[0], f[1], f[2], f[3], f[4], f[5]}, ""};
}

TEST(Profile, StartValuesWavePlateauAndCeiling) {
  ProfileSettings p;
  LoadProfile(p, ThreeD(0, {0, 200, 25, 1000, 100, 0}));
  // 2 sin(0.25 x 6.28 t): 0 at the outline, just under 2 at the thickest part, never capped.
  EXPECT_DOUBLE_EQ(Profile(p, 0.0), 0.0);
  EXPECT_DOUBLE_EQ(Profile(p, 1.0), 2.0 * std::sin(1.57));
  EXPECT_LT(Profile(p, 1.0), 2.0);
  EXPECT_DOUBLE_EQ(Profile(p, 0.5), 2.0 * std::sin(0.785));
  // frequency x t >= waveEnd: plateau x height.
  LoadProfile(p, ThreeD(0, {0, 200, 100, 1000, 50, 300}));
  EXPECT_DOUBLE_EQ(Profile(p, 0.6), 0.3 * 2.0);
  EXPECT_DOUBLE_EQ(Profile(p, 0.4), 2.0 * std::sin(0.4 * 6.28));
  // The ceiling caps r / height above it; equal passes.
  LoadProfile(p, ThreeD(0, {1, 100, 100, 500, 100, 0}));
  EXPECT_DOUBLE_EQ(Profile(p, 0.4), 0.4);
  EXPECT_DOUBLE_EQ(Profile(p, 0.5), 0.5);
  EXPECT_DOUBLE_EQ(Profile(p, 0.9), 0.5);
  // shape 2: sin^5 of the scaled t.
  LoadProfile(p, ThreeD(0, {2, 300, 100, 1000, 100, 0}));
  EXPECT_DOUBLE_EQ(Profile(p, 1.0), std::pow(std::sin(0.12211111111111111), 5) * 3.0);
}

TEST(Profile, StoringWhatWasLoadedGivesTheRecordBack) {
  // 0.29 x 100 is 28.999999999999996 in doubles: a plain truncation would store 28.
  for (int32_t v : {-1000, -29, -1, 0, 1, 7, 29, 57, 113, 200, 999, 1000}) {
    const EffectRecord in = ThreeD(0, {1, v, v, v, v, v});
    ProfileSettings p;
    LoadProfile(p, in);
    EffectRecord out;
    StoreProfile(p, out);
    for (int i = 4; i <= 9; ++i) EXPECT_EQ(out.p[size_t(i)], in.p[size_t(i)]) << "slot " << i << " value " << v;
  }
  ProfileSettings p;
  p.height = 0.257;  // a genuine fraction is truncated
  EffectRecord out;
  StoreProfile(p, out);
  EXPECT_EQ(out.p[5], 25);
}

TEST(Shade3D, FlatSurfaceIsLitByTheLightDirectionAlone) {
  // A profile that is 0 everywhere (plateau 0 from the start) makes the surface flat: n = (0,1,0)
  // and d is the y component of the unit vector to the light.
  const int W = 20, H = 12;
  auto ctx = MakeContext(W, H, [](int x, int y) { return uint8_t(x >= 4 && x < 16 && y >= 3 && y < 9 ? 255 : 0); });
  const int32_t colour = 0x00C08040;  // R 0x40, G 0x80, B 0xC0
  const EffectRecord r = ThreeD(colour, {0, 100, 100, 1000, 0, 0});  // waveEnd 0: all plateau 0
  ApplyEffect(EffectTarget::For(*ctx, false), Shade3DParams::From(r));
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const uint8_t* px = ctx->work.effectColorRows[size_t(y)] + x * 3;
      const uint16_t cov = ctx->work.effectCoverage[size_t(y) * W + x];
      if (Glyph(*ctx, x, y) == 0) {
        EXPECT_EQ(px[0] | px[1] | px[2], 0);
        EXPECT_EQ(cov, 0);
        continue;
      }
      const double lx = 4000 - (x - W / 2), ly = 10000, lz = -4000 - (y - H / 2);
      const double d = ly / std::sqrt(lx * lx + ly * ly + lz * lz);
      const int channel[3] = {0xC0, 0x80, 0x40};
      for (int k = 0; k < 3; ++k) {
        const int out = std::min(255, int(d * 0.99609375 * channel[k] + channel[k] / 3));
        EXPECT_EQ(px[k], (255 * out) >> 8) << x << "," << y << " byte " << k;
      }
      EXPECT_EQ(cov, 255);
    }
  }
}

TEST(Shade3D, RampFacesTheLightAndWhiteSaturates) {
  // A linear profile (shape 1) over a horizontal ramp in the distance map: the surface tilts,
  // n = (dz, 1, 0)/|.|; check one pixel against the formula and the white clamp.
  const int W = 16, H = 8;
  auto ctx = MakeContext(W, H, [](int, int) { return uint8_t(255); });
  ctx->work.glyphChanged = false;  // keep the hand-made map below
  ctx->threeD.mapWidth = W;
  ctx->threeD.mapHeight = H;
  ctx->threeD.distanceMap.assign(size_t(W) * H, 0);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) ctx->threeD.distanceMap[size_t(y) * W + x] = float(x) / W;
  ApplyEffect(EffectTarget::For(*ctx, false), Shade3DParams::From(ThreeD(0xFFFFFF, {1, 100, 100, 1000, 100, 0})));
  // At (6, 4): heights (smoothed ramp = the ramp) 6/16 and 7/16 -> n = (1/16, 1, 0) normalised.
  const double h = 6.0 / 16, nx = 1.0 / 16, len = std::sqrt(nx * nx + 1);
  const double lx = 4000 - (6 - 8), ly = 10000 - h, lz = -4000 - 0;
  const double d = (nx * lx + ly) / len / std::sqrt(lx * lx + ly * ly + lz * lz);
  const int out = std::min(255, int(d * 0.99609375 * 255 + 85));
  EXPECT_EQ(out, 255);  // white goes past 255 before the clamp
  EXPECT_EQ(ctx->work.effectColorRows[4][6 * 3], (255 * out) >> 8);
}

TEST(Shade3D, BorderRowsAreFlatAndOffsetsClip) {
  const int W = 12, H = 8;
  auto ctx = MakeContext(W, H, [](int, int) { return uint8_t(255); });
  BuildDistanceMap(*ctx);
  for (int x : {0, 1, W - 1}) EXPECT_EQ(SurfaceHeight(ctx->threeD, x, 4), 0.0);
  for (int y : {0, 1, H - 1}) EXPECT_EQ(SurfaceHeight(ctx->threeD, 4, y), 0.0);
  EXPECT_EQ(SurfaceHeight(ctx->threeD, -5, 100000), 0.0);
  // Offsets: only targets whose source is inside are painted; huge offsets paint nothing.
  EffectRecord r = ThreeD(0x808080, {0, 200, 25, 1000, 100, 0});
  r.p[2] = 5;
  r.p[3] = -3;
  ApplyEffect(EffectTarget::For(*ctx, false), Shade3DParams::From(r));
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      EXPECT_EQ(ctx->work.effectCoverage[size_t(y) * W + x], (x >= 5 && y < H - 3) ? 255 : 0) << x << "," << y;
  r.p[2] = INT32_MIN;
  r.p[3] = INT32_MAX;
  ctx->work.ClearColor(false);
  ApplyEffect(EffectTarget::For(*ctx, true), Shade3DParams::From(r));
  for (uint16_t c : ctx->work.pressedCoverage) ASSERT_EQ(c, 0);
}

}  // namespace
