#include <gtest/gtest.h>

#include "effects/mask_fixture.h"
#include "effects/effect_bodies.h"
#include "effects/three_d_model.h"
#include "effects/effect_dispatcher.h"

namespace {

using effects_test::MakeContext;

EffectRecord Record(int type, std::initializer_list<int32_t> p) {
  EffectRecord r;
  r.type = type;
  int i = 0;
  for (int32_t v : p) r.p[size_t(i++)] = v;
  return r;
}

uint8_t Letters(int x, int y) {
  // Two thick strokes and a ring, something like glyphs.
  const bool bar = (x >= 6 && x < 14 && y >= 4 && y < 36) || (y >= 16 && y < 22 && x >= 6 && x < 40);
  const int dx = x - 60, dy = y - 20, d2 = dx * dx + dy * dy;
  return uint8_t(bar || (d2 <= 196 && d2 >= 36) ? 255 : 0);
}

std::vector<EffectRecord> EveryEffect() {
  return {
      Record(DisturbTemplet, {0, 0, 100, 0, 6, 150, 40}),      // Fractal(x, y)
      Record(DisturbTemplet, {0, 0, 100, 0, 7, 100, 800}),     // Random Dot
      Record(ThreeDSingleColor, {0x3080C0, 0, 1, 1, 0, 200, 25, 1000, 100, 0}),
      Record(Fog, {0xFFFFFF, 0, 0, 0, 0, 200, 25, 1000, 100, 0, 100, 100}),
      Record(Space, {0, 0, 2, -1, 200, 300}),
      Record(StarFilter, {0xFFFFFF, 0, 0, 0, 0, 10}),
  };
}

TEST(EffectRender, SameSeedSameImageOtherSeedOtherImage) {
  auto render = [](uint32_t seed) {
    auto ctx = MakeContext(80, 40, Letters, seed);
    ctx->in.effects = EveryEffect();
    RunStyle(*ctx, false);
    RunStylePressed(*ctx);
    return std::pair{ctx->work.effectColor, ctx->work.pressedColor};
  };
  const auto a = render(17), b = render(17), c = render(18);
  EXPECT_EQ(a, b);
  EXPECT_NE(a.first, c.first);
}

TEST(EffectRender, ShadingAfterADistortionFollowsTheDistortedGlyphs) {
  // Fill the cache with the undistorted map first, as an earlier 3D effect of the style would.
  auto ctx = MakeContext(80, 40, Letters);
  ctx->in.effects = {Record(ThreeDSingleColor, {0x808080, 0, 0, 0, 0, 200, 25, 1000, 100, 0}),
                     Record(DisturbTemplet, {0, 0, 100, 0, 1, 200, 60}),
                     Record(ThreeDSingleColor, {0x808080, 0, 0, 0, 0, 200, 25, 1000, 100, 0})};
  RunStyle(*ctx, false);
  RingTable rings;
  const std::vector<float> fresh =
      ComputeDistanceMap(ctx->work.glyphRows.data(), ctx->work.workWidth, ctx->work.workHeight, rings);
  EXPECT_EQ(ctx->threeD.distanceMap, fresh);
}

}  // namespace
