#include "effects/effect_dispatcher.h"

#include <gtest/gtest.h>

#include <cstring>

#include "effects/effect_bodies.h"
#include "effects/effect_catalogue.h"
#include "effects/work_fixture.h"
#include "imaging/dib_image.h"

using namespace enginetest;

namespace {

EffectRecord Draw(int32_t colour, int dx, int dy) { return {SingleColor, {colour, 0, dx, dy}, ""}; }

TEST(Dispatcher, EmptyStyleAndUnknownTypesLeaveBlackOrTheBackdrop) {
  auto ctx = MakeWork(8, 8);
  LightRect(*ctx, 0, 0, 8, 8);
  Finish(*ctx);
  for (int type : {13, 99, -1, INT32_MIN}) {
    EffectRecord r = Draw(0xFFFFFF, 0, 0);
    r.type = type;
    DispatchEffect(*ctx, r, false);
  }
  ctx->in.styleBackdropColour = 0x112233;
  RunStyle(*ctx, false);
  for (uint8_t c : ctx->work.effectColor) EXPECT_EQ(c, 0);
  RunStyle(*ctx, true);
  EXPECT_EQ(Colour(*ctx, 3, 3)[0], 0x11);
  EXPECT_EQ(Colour(*ctx, 3, 3)[2], 0x33);
  for (uint16_t c : ctx->work.effectCoverage) EXPECT_EQ(c, 0);
}

TEST(Dispatcher, EveryTypeIsSafeOnAnEmptyWorkSet) {
  EngineContext ctx;  // nothing rasterized yet
  ctx.pressedButton = true;
  ctx.in.effects.clear();
  for (int type = 0; type < kEffectTypeCount; ++type) ctx.in.effects.push_back(EffectStartRecord(type));
  QuickPreview(ctx);
  ReplayDistortions(ctx, 40);
  PreviewOneEffect(ctx, EffectStartRecord(CutOut));
  EXPECT_TRUE(ctx.image.Empty());
  EXPECT_EQ(ctx.imageWidth, 0);
}

TEST(Dispatcher, PressedImageHalvesOffsetsTowardZero) {
  auto ctx = MakeWork(12, 12);
  Light(*ctx, 6, 6);
  Finish(*ctx);
  ctx->in.effects = {Draw(0x0000FF, 3, -3), Draw(0x00FF00, -5, 5)};
  RunStyle(*ctx, false);
  RunStylePressed(*ctx);
  // Normal image at full offsets, pressed at 1, -1 and -2, 2.
  EXPECT_EQ(Cov(*ctx, 9, 3), 255);
  EXPECT_EQ(Cov(*ctx, 1, 11), 255);
  EXPECT_EQ(Cov(*ctx, 7, 5, true), 255);
  EXPECT_EQ(Colour(*ctx, 7, 5, true)[2], 254);
  EXPECT_EQ(Cov(*ctx, 4, 8, true), 255);
  EXPECT_EQ(Colour(*ctx, 4, 8, true)[1], 254);
  int lit = 0;
  for (uint16_t c : ctx->work.pressedCoverage) lit += c != 0;
  EXPECT_EQ(lit, 2);
  // The style itself is not changed by the pressed run.
  EXPECT_EQ(ctx->in.effects[0].p[2], 3);
}

TEST(Dispatcher, PressedRunStartsFromTheUndeformedGlyph) {
  const EffectRecord keep{DisturbTemplet, {0, 0, 0, 0, 1, 100}, ""};  // sine, no amplitude: the shape stays
  EffectRecord box = EffectStartRecord(RoundBox);  // a whole-area box after the Draw
  box.p[4] = box.p[5] = 1000;
  box.p[6] = box.p[7] = 0;
  const std::vector<std::vector<EffectRecord>> styles = {{keep, Draw(0xFFFFFF, 0, 0)},
                                                         {Draw(0xFFFFFF, 0, 0), box}};
  for (const auto& style : styles) {
    auto ctx = MakeWork(8, 8);
    Light(*ctx, 2, 2);
    Finish(*ctx);
    ctx->in.effects = style;
    RunStyle(*ctx, false);
    // Leave the glyph as a deformation in the normal run might have left it.
    Light(*ctx, 5, 5);
    RunStylePressed(*ctx);
    EXPECT_EQ(Cov(*ctx, 2, 2, true), 255);
    EXPECT_EQ(Cov(*ctx, 5, 5, true), 0);
    EXPECT_EQ(Cov(*ctx, 2, 2), 255);  // the normal image's paint is left alone
    int lit = 0;
    for (uint16_t c : ctx->work.pressedCoverage) lit += c != 0;
    EXPECT_EQ(lit, 1);
  }
}

TEST(Dispatcher, CopyWorkToImageCarriesBothPictures) {
  auto ctx = MakeWork(8, 4);
  Light(*ctx, 1, 0);
  Light(*ctx, 6, 3);
  Finish(*ctx);
  ctx->pressedButton = true;
  ctx->in.styleBackdropColour = 0x000000;
  ctx->in.effects = {Draw(0x00FF00, 2, 0)};
  QuickPreview(*ctx);
  ASSERT_FALSE(ctx->image.Empty());
  EXPECT_EQ(ctx->image.Width(), 8);
  EXPECT_EQ(ctx->image.Height(), 4);
  EXPECT_EQ(ctx->imageWidth, 8);
  DibRowTable rows(ctx->image), pressed(ctx->pressedImage);
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(std::memcmp(rows[y], ctx->work.effectColorRows[size_t(y)], 24), 0) << y;
    EXPECT_EQ(std::memcmp(pressed[y], ctx->work.pressedColorRows[size_t(y)], 24), 0) << y;
  }
  EXPECT_EQ(rows[0][3 * 3 + 1], 254);     // row 0 is the top row, shifted by 2
  EXPECT_EQ(pressed[0][2 * 3 + 1], 254);  // shifted by 1

  // A single effect previewed by itself on the backdrop.
  ctx->in.styleBackdropColour = 0xFFFFFF;
  PreviewOneEffect(*ctx, Draw(0x000000, 0, 0));
  DibRowTable again(ctx->image);
  EXPECT_EQ(again[0][1 * 3], 0);  // the lit pixel turns black
  EXPECT_EQ(again[0][0], 255);    // the rest keeps the backdrop
}

}  // namespace
