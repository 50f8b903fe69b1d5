#include <gtest/gtest.h>

#include <cmath>

#include "raster/fractal_noise.h"
#include "effects/work_fixture.h"
#include "effects/effect_bodies.h"
#include "effects/three_d_model.h"

namespace {

using namespace enginetest;

EffectRecord FogRecord(int32_t colour, int size, int intensity, std::array<int32_t, 6> f = {0, 200, 25, 1000, 100, 0}) {
  return {Fog, {colour, 0, 0, 0, f[0], f[1], f[2], f[3], f[4], f[5], size, intensity}, ""};
}

auto Disc(int cx, int cy, int radius) {
  return [=](int x, int y) { return uint8_t((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius ? 255 : 0); };
}

TEST(Fog, BlendFollowsProfileNoiseAndIntensity) {
  const int W = 32, H = 24;
  auto ctx = MakeContext(W, H, Disc(16, 12, 9));
  ctx->work.FillBackground(0x00402010);
  const EffectRecord r = FogRecord(0x00F0E0D0, 100, 150);
  ApplyEffect(EffectTarget::For(*ctx, false), FogParams::From(r));
  // An independent evaluation with the context's own noise and distance map.
  const FractalNoise& noise = ContextNoise(*ctx);
  ProfileSettings profile;
  LoadProfile(profile, r);
  const double fog[3] = {0xF0, 0xE0, 0xD0}, back[3] = {0x40, 0x20, 0x10};
  int partial = 0;
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const uint8_t* px = ctx->work.effectColorRows[size_t(y)] + x * 3;
      const uint16_t cov = ctx->work.effectCoverage[size_t(y) * W + x];
      if (Glyph(*ctx, x, y) == 0) {
        EXPECT_EQ(px[0], 0x40);
        EXPECT_EQ(cov, 0);
        continue;
      }
      const double n = std::max(0.0, (noise(x * 0.1, y * 0.1, 0) + 1) * 0.5);
      const double a = std::min(1.0, Profile(profile, ctx->threeD.distanceMap[size_t(y) * W + x]) * 150 * n * 0.01);
      for (int k = 0; k < 3; ++k) EXPECT_EQ(px[k], int(std::min(255.0, back[k] * (1 - a) + fog[k] * a)));
      EXPECT_EQ(cov, int(a * 255));
      partial += a > 0 && a < 1;
    }
  }
  EXPECT_GT(partial, 10);
}

TEST(Fog, NegativeDensityKeepsChannelsAndCoverageInRange) {
  // plateau -1000 with waveEnd 0: the profile is -height everywhere; the fog thins, never wraps.
  auto ctx = MakeContext(16, 16, Disc(8, 8, 6));
  ctx->work.FillBackground(0x00808080);
  ApplyEffect(EffectTarget::For(*ctx, false), FogParams::From(FogRecord(0x00FFFFFF, 100, 200, {0, 200, 100, 1000, 0, -1000})));
  for (size_t i = 0; i < 256; ++i) {
    EXPECT_EQ(ctx->work.effectCoverage[i], 0);
    EXPECT_LE(ctx->work.effectColor[i * 3], 0x80);
  }
}

TEST(Space, LowIntensityPutsAStarOnEveryLitPixelAndSeedsRepeat) {
  EffectRecord r{Space, {0, 0, 0, 0, 200, 100}, ""};
  auto run = [&](uint32_t seed) {
    auto ctx = MakeContext(24, 16, Disc(12, 8, 6), seed);
    ApplyEffect(EffectTarget::For(*ctx, false), SpaceParams::From(r));
    return ctx;
  };
  auto a = run(3), b = run(3), c = run(4);
  EXPECT_EQ(a->work.effectColor, b->work.effectColor);
  EXPECT_NE(a->work.effectColor, c->work.effectColor);
  int lit = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 24; ++x) {
      const bool glyph = Glyph(*a, x, y) != 0;
      lit += glyph;
      EXPECT_EQ(a->work.effectCoverage[size_t(y) * 24 + x], glyph ? 255 : 0);
    }
  EXPECT_GT(lit, 50);
  // Hostile parameters from a file: no crash.
  r.p[4] = INT32_MIN;
  r.p[5] = INT32_MIN;
  run(1);
  r.p[5] = -7;
  run(1);
}

}  // namespace
