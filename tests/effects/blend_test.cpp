// Blend mode and opacity of an effect: the mode formulas on a table of colour pairs worked out by
// hand, and what a blended record does to the work buffers.
#include "effects/blend.h"

#include <gtest/gtest.h>

#include "effects/effect_catalogue.h"
#include "effects/effect_dispatcher.h"
#include "effects/work_fixture.h"

using namespace enginetest;

namespace {

TEST(Blend, ModesMatchTheirFormulasOnColourPairs) {
  struct Case {
    int mode;
    float below, source, expected;
  };
  const Case cases[] = {
      {BlendNormal, 0.2f, 0.6f, 0.6f},
      {BlendMultiply, 0.5f, 0.5f, 0.25f},      {BlendMultiply, 0.2f, 0.6f, 0.12f},
      {BlendScreen, 0.5f, 0.5f, 0.75f},        {BlendScreen, 0.2f, 0.6f, 0.68f},
      // Overlay is hard light with the two swapped: below 0.2 multiplies 0.6 by 2 x 0.2,
      // below 0.8 screens 0.6 with 2 x 0.8 - 1.
      {BlendOverlay, 0.2f, 0.6f, 0.24f},       {BlendOverlay, 0.8f, 0.6f, 0.84f},
      {BlendHardLight, 0.2f, 0.6f, 0.36f},     {BlendHardLight, 0.8f, 0.3f, 0.48f},
      // Soft light darkens for a dark source; for a light one it lifts toward the cubic below
      // 0.25 and toward the square root above it.
      {BlendSoftLight, 0.2f, 0.3f, 0.136f},    {BlendSoftLight, 0.16f, 0.75f, 0.279168f},
      {BlendSoftLight, 0.64f, 0.75f, 0.72f},
      {BlendDarken, 0.2f, 0.6f, 0.2f},         {BlendLighten, 0.2f, 0.6f, 0.6f},
      {BlendColorDodge, 0.3f, 0.4f, 0.5f},     {BlendColorDodge, 0.6f, 0.5f, 1.0f},
      {BlendColorDodge, 0.0f, 0.9f, 0.0f},     {BlendColorDodge, 0.5f, 1.0f, 1.0f},
      {BlendColorBurn, 0.6f, 0.8f, 0.5f},      {BlendColorBurn, 0.2f, 0.5f, 0.0f},
      {BlendColorBurn, 1.0f, 0.0f, 1.0f},      {BlendColorBurn, 0.5f, 0.0f, 0.0f},
      {BlendDifference, 0.2f, 0.6f, 0.4f},     {BlendDifference, 0.9f, 0.3f, 0.6f},
      {99, 0.2f, 0.6f, 0.6f},  // an unknown mode is normal
  };
  for (const Case& c : cases)
    EXPECT_NEAR(BlendChannel(c.mode, c.below, c.source), c.expected, 1e-5f)
        << "mode " << c.mode << " below " << c.below << " source " << c.source;
}

EffectRecord Draw(int32_t colour, int mode = BlendNormal, int opacity = 100) {
  EffectRecord r = EffectStartRecord(SingleColor);
  r.p[0] = colour;
  r.p[2] = r.p[3] = 0;
  r.blendMode = mode;
  r.opacity = opacity;
  return r;
}

// A 4 x 4 area, all glyph, painted (blue 100, green 150, red 200) at full coverage.
std::unique_ptr<EngineContext> PaintedArea() {
  auto ctx = MakeWork(4, 4);
  LightRect(*ctx, 0, 0, 4, 4);
  Finish(*ctx);
  DispatchEffect(*ctx, Draw(0xFFFFFF), false);  // coverage 255
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) Paint(*ctx, x, y, 100, 150, 200);
  return ctx;
}

TEST(Blend, BlendedFillOverAPaintedPixel) {
  // A grey 128 fill paints (0 x below + 255 x 128) >> 8 = 127 at full glyph. Multiplied by the
  // below colour: 100 x 127 / 255 = 49.8, 150 x 127 / 255 = 74.7, 200 x 127 / 255 = 99.6; at half
  // opacity halfway back to below: 74.9, 112.35, 149.8. Coverage: 255 + 255 at full opacity,
  // 255 + 128 at half.
  struct Case {
    int mode, opacity;
    uint8_t b, g, r;
    uint16_t cov;
  };
  const Case cases[] = {
      {BlendMultiply, 100, 50, 75, 100, 510}, {BlendMultiply, 50, 75, 112, 150, 383},
      // Screen: b + s - b s = 100 + 127 - 49.8 = 177.2, 150 + 127 - 74.7 = 202.3, 227.4.
      {BlendScreen, 100, 177, 202, 227, 510},
      // Difference: |100 - 127|, |150 - 127|, |200 - 127|.
      {BlendDifference, 100, 27, 23, 73, 510},
      // Normal at a quarter: 100 + (127 - 100) / 4 = 106.75, 144.25, 181.75.
      {BlendNormal, 25, 107, 144, 182, 255 + 64},
      {BlendLighten, 100, 127, 150, 200, 510},
  };
  for (const Case& c : cases) {
    auto ctx = PaintedArea();
    DispatchEffect(*ctx, Draw(0x808080, c.mode, c.opacity), false);
    const uint8_t* p = Colour(*ctx, 2, 1);
    EXPECT_EQ(p[0], c.b) << "mode " << c.mode << " opacity " << c.opacity;
    EXPECT_EQ(p[1], c.g) << "mode " << c.mode << " opacity " << c.opacity;
    EXPECT_EQ(p[2], c.r) << "mode " << c.mode << " opacity " << c.opacity;
    EXPECT_EQ(Cov(*ctx, 2, 1), c.cov) << "mode " << c.mode << " opacity " << c.opacity;
  }
}

// The work buffers after a little style, so every effect has something below it.
std::unique_ptr<EngineContext> StyledText() {
  auto ctx = MakeWork(32, 16);
  LightRect(*ctx, 6, 4, 26, 12);
  Light(*ctx, 5, 8, 128);
  Finish(*ctx);
  EffectRecord shadow = EffectStartRecord(DropShadow);
  DispatchEffect(*ctx, shadow, false);
  DispatchEffect(*ctx, Draw(0x3366CC), false);
  DispatchEffect(*ctx, shadow, true);
  DispatchEffect(*ctx, Draw(0x3366CC), true);
  return ctx;
}

TEST(Blend, ZeroOpacityLeavesBelowUnchangedForEveryKindAndMode) {
  for (int type = 0; type < kEffectTypeCount; ++type) {
    for (int mode = 0; mode < kBlendModeCount; mode += 3) {
      auto ctx = StyledText();
      const std::vector<uint8_t> colour = ctx->work.effectColor;
      const std::vector<uint16_t> coverage = ctx->work.effectCoverage;
      EffectRecord r = EffectStartRecord(type);
      r.blendMode = mode;
      r.opacity = 0;
      DispatchEffect(*ctx, r, false);
      EXPECT_EQ(ctx->work.effectColor, colour) << EffectKey(type) << " mode " << mode;
      EXPECT_EQ(ctx->work.effectCoverage, coverage) << EffectKey(type) << " mode " << mode;
    }
  }
}

TEST(Blend, OverNothingEveryModePaintsAsNormal) {
  // Below a pixel of zero coverage there is nothing to blend with: the effect shows as it is.
  std::unique_ptr<EngineContext> area[kBlendModeCount];
  for (int mode = 0; mode < kBlendModeCount; ++mode) {
    area[mode] = MakeWork(8, 8);
    LightRect(*area[mode], 2, 2, 6, 6);
    Light(*area[mode], 1, 3, 100);
    Finish(*area[mode]);
    DispatchEffect(*area[mode], Draw(0x2080F0, mode), false);
    EXPECT_EQ(area[mode]->work.effectColor, area[0]->work.effectColor) << "mode " << mode;
    EXPECT_EQ(area[mode]->work.effectCoverage, area[0]->work.effectCoverage) << "mode " << mode;
  }
}

TEST(Blend, PressedPictureBlendsLikeTheNormalOne) {
  // Without offsets the pressed run paints what the normal one does, blends included.
  auto ctx = MakeWork(16, 8);
  LightRect(*ctx, 2, 2, 14, 6);
  Finish(*ctx);
  ctx->pressedButton = true;
  ctx->in.effects = {Draw(0x2080F0), Draw(0x808080, BlendMultiply, 70), Draw(0xFFFFFF, BlendOverlay, 30)};
  RunStyle(*ctx, false);
  RunStylePressed(*ctx);
  EXPECT_EQ(ctx->work.pressedColor, ctx->work.effectColor);
  EXPECT_EQ(ctx->work.pressedCoverage, ctx->work.effectCoverage);
  // And the blends did something: the multiply by grey darkens the red of the first fill.
  EXPECT_LT(Colour(*ctx, 8, 4)[2], 0xF0 - 10);
}

}  // namespace
