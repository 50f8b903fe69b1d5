// Outer Glow, Inner Glow, Inner Shadow and Satin on small work areas. Expected bytes are worked
// out by hand from the falloff: full strength up to spread x size beyond the edge, then
// 1 - smoothstep over the rest of size, the edge lying half a pixel beyond the last lit centre.
#include "effects/layer_effects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>

#include "effects/effect_catalogue.h"
#include "effects/effect_dispatcher.h"
#include "effects/glyph_distance.h"
#include "effects/work_fixture.h"

using namespace enginetest;

namespace {

EffectRecord Rec(int type, std::initializer_list<std::pair<const char*, int32_t>> values) {
  EffectRecord r = EffectStartRecord(type);
  for (const auto& [name, v] : values) r.p[size_t(EffectParamNamed(type, name).slot)] = v;
  return r;
}

// A W x 4 work area with a full-height bar lit over columns [x0, x1): distances run along rows.
std::unique_ptr<EngineContext> Bar(int W, int x0, int x1, int32_t backdrop) {
  auto ctx = MakeWork(W, 4);
  LightRect(*ctx, x0, 0, x1, 4);
  Finish(*ctx);
  ctx->work.FillBackground(backdrop);
  return ctx;
}

// Channel k (0 blue, 1 green, 2 red) of row 1, columns 0 .. W-1.
std::vector<int> Row(const EngineContext& ctx, int k) {
  std::vector<int> out;
  for (int x = 0; x < ctx.work.workWidth; ++x) out.push_back(Colour(ctx, x, 1)[k]);
  return out;
}

constexpr int32_t kRed = 0x0000FF, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

}  // namespace

TEST(LayerEffects, DistanceToGlyphIsEuclidean) {
  auto ctx = MakeWork(8, 8);
  Light(*ctx, 2, 3);
  Finish(*ctx);
  const std::vector<float> d = DistanceToGlyph(ctx->work.glyphRows.data(), 8, 8, true);
  EXPECT_FLOAT_EQ(d[3 * 8 + 2], 0.0f);
  EXPECT_FLOAT_EQ(d[0 * 8 + 6], 5.0f);  // 4 across, 3 up
  EXPECT_FLOAT_EQ(d[7 * 8 + 5], 5.0f);  // 3 across, 4 down
  EXPECT_FLOAT_EQ(d[7 * 8 + 6], std::sqrt(32.0f));
  auto empty = MakeWork(4, 4);
  EXPECT_EQ(DistanceToGlyph(empty->work.glyphRows.data(), 4, 4, true)[5], kNoSite);
}

TEST(LayerEffects, OuterGlowFadesOutsideOnly) {
  struct Case {
    const char* what;
    EffectRecord record;
    int channel;
    std::vector<int> row;
  };
  // Bar over columns 4..7 of 12 on black. Edge distances left of it: 3.5 2.5 1.5 0.5.
  const Case cases[] = {
      // t = e/4: 0.875 0.625 0.375 0.125 -> 1 - smoothstep: .043 .316 .684 .957.
      {"size 4", Rec(OuterGlow, {{"color", kRed}, {"size", 4}, {"spread", 0}, {"opacity", 100}}), 2,
       {10, 80, 174, 244, 0, 0, 0, 0, 244, 174, 80, 10}},
      // Half of 4 held full, the fade over the other 2: t = 0.75 0.25.
      {"spread", Rec(OuterGlow, {{"color", kRed}, {"size", 4}, {"spread", 50}, {"opacity", 100}}), 2,
       {39, 215, 255, 255, 0, 0, 0, 0, 255, 255, 215, 39}},
      {"opacity", Rec(OuterGlow, {{"color", kRed}, {"size", 4}, {"spread", 100}, {"opacity", 40}}), 2,
       {102, 102, 102, 102, 0, 0, 0, 0, 102, 102, 102, 102}},
      // Red to blue over the size: red share 1 - e/4, times the strength.
      {"gradient red", Rec(OuterGlow, {{"color", kRed}, {"color2", kBlue}, {"fill", 1}, {"size", 4}, {"opacity", 100}}),
       2, {1, 30, 108, 213, 0, 0, 0, 0, 213, 108, 30, 1}},
      {"gradient blue", Rec(OuterGlow, {{"color", kRed}, {"color2", kBlue}, {"fill", 1}, {"size", 4}, {"opacity", 100}}),
       0, {9, 50, 65, 30, 0, 0, 0, 0, 30, 65, 50, 9}},
      {"size 0", Rec(OuterGlow, {{"color", kRed}, {"size", 0}, {"opacity", 100}}), 2, std::vector<int>(12, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto ctx = Bar(12, 4, 8, 0);
    DispatchEffect(*ctx, c.record, false);
    EXPECT_EQ(Row(*ctx, c.channel), c.row);
  }
  // The coverage takes the strength.
  auto ctx = Bar(12, 4, 8, 0);
  DispatchEffect(*ctx, Rec(OuterGlow, {{"color", kRed}, {"size", 4}, {"opacity", 100}}), false);
  EXPECT_EQ(Cov(*ctx, 3, 1), 244);
  EXPECT_EQ(Cov(*ctx, 5, 1), 0);
}

TEST(LayerEffects, InnerGlowFromEdgeOrCentre) {
  // Bar over columns 2..9 of 12 on white; edge distances inside: 0.5 1.5 2.5 3.5 from each side.
  // Size 3: t = 1/6, 1/2, 5/6, past -> strengths .926 .5 .074 0 (edge); 1 minus those (centre).
  const EffectRecord edge = Rec(InnerGlow, {{"color", 0}, {"size", 3}, {"opacity", 100}, {"source", 0}});
  const EffectRecord centre = Rec(InnerGlow, {{"color", 0}, {"size", 3}, {"opacity", 100}, {"source", 1}});
  const EffectRecord choke = Rec(InnerGlow, {{"color", 0}, {"size", 3}, {"spread", 100}, {"opacity", 100}});
  const std::pair<EffectRecord, std::vector<int>> cases[] = {
      {edge, {255, 255, 18, 127, 236, 255, 255, 236, 127, 18, 255, 255}},
      {centre, {255, 255, 236, 127, 18, 0, 0, 18, 127, 236, 255, 255}},
      {choke, {255, 255, 0, 0, 0, 255, 255, 0, 0, 0, 255, 255}},
  };
  for (const auto& [record, row] : cases) {
    auto ctx = Bar(12, 2, 10, kWhite);
    DispatchEffect(*ctx, record, false);
    EXPECT_EQ(Row(*ctx, 1), row) << record.p[8];
  }
}

TEST(LayerEffects, InnerShadowFallsAwayFromTheLight) {
  // Bar over columns 4..11 of 16 on white, black shadow.
  struct Case {
    int angle, distance, size, choke;
    std::vector<int> row;
  };
  const Case cases[] = {
      // Light from the right: the outside moves 2 left and covers the last two columns.
      {0, 2, 0, 0, {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 255, 255, 255, 255}},
      {180, 2, 0, 0, {255, 255, 255, 255, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}},
      // Softened over 2 each side of the moved edge: the columns it came from lie 1.5 and 0.5
      // outside, 0.5 and 1.5 inside -> strengths .957 .684 .316 .043.
      {0, 2, 2, 0, {255, 255, 255, 255, 255, 255, 255, 255, 244, 174, 80, 10, 255, 255, 255, 255}},
      // Choked fully: the outside grown by 2, hard.
      {0, 2, 2, 100, {255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 0, 255, 255, 255, 255}},
      // No distance: the softened edge from both sides.
      {0, 0, 2, 0, {255, 255, 255, 255, 174, 244, 255, 255, 255, 255, 244, 174, 255, 255, 255, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.angle) + " " + std::to_string(c.distance) + " " + std::to_string(c.size));
    auto ctx = Bar(16, 4, 12, kWhite);
    DispatchEffect(*ctx,
                   Rec(InnerShadow, {{"color", 0}, {"angle", c.angle}, {"distance", c.distance}, {"size", c.size},
                                     {"choke", c.choke}, {"opacity", 100}}),
                   false);
    EXPECT_EQ(Row(*ctx, 0), c.row);
  }
  // Light from above on a 6 x 6 block: the top two rows of the block; the pressed image (on
  // black) moves half as far.
  auto ctx = MakeWork(12, 12);
  LightRect(*ctx, 3, 3, 9, 9);
  Finish(*ctx);
  ctx->in.effects = {
      Rec(InnerShadow, {{"color", 0x808080}, {"angle", 90}, {"distance", 2}, {"size", 0}, {"opacity", 100}})};
  ctx->pressedButton = true;
  QuickPreview(*ctx);
  for (int y = 0; y < 12; ++y) {
    EXPECT_EQ(Colour(*ctx, 5, y)[0], y == 3 || y == 4 ? 128 : 255) << y;
    EXPECT_EQ(Colour(*ctx, 5, y, true)[0], y == 3 ? 128 : 0) << y;
  }
}

TEST(LayerEffects, SatinShowsWhereShiftedCopiesDiffer) {
  // Bar over columns 4..11 of 16 on white, black satin along the row.
  const auto satin = [](int distance, int size, int invert) {
    return Rec(Satin, {{"color", 0}, {"angle", 0}, {"distance", distance}, {"size", size}, {"opacity", 100},
                       {"invert", invert}});
  };
  const std::pair<EffectRecord, std::vector<int>> cases[] = {
      // Hard copies one pixel each way differ only on the outermost lit columns.
      {satin(1, 0, 0), {255, 255, 255, 255, 0, 255, 255, 255, 255, 255, 255, 0, 255, 255, 255, 255}},
      {satin(1, 0, 1), {255, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255}},
      // Softened over 4: the shape ramps .125 .375 | .625 .875 1 across the edge; copies 2 each
      // way differ by .875 .625 .375 .125 .125 ...
      {satin(2, 4, 0), {255, 255, 255, 255, 31, 95, 159, 223, 223, 159, 95, 31, 255, 255, 255, 255}},
  };
  for (const auto& [record, row] : cases) {
    auto ctx = Bar(16, 4, 12, kWhite);
    DispatchEffect(*ctx, record, false);
    EXPECT_EQ(Row(*ctx, 2), row);
  }
}

// Outer Glow paints only outside the glyphs; the inner kinds only on them. Random shapes, every
// kind at its start values and at large sizes.
TEST(LayerEffects, EachKindStaysOnItsSideOfTheEdge) {
  std::mt19937 rng(5);
  for (int round = 0; round < 6; ++round) {
    auto ctx = MakeWork(40, 24);
    for (int n = 0; n < 6; ++n) {
      const int x = int(rng() % 34), y = int(rng() % 18);
      LightRect(*ctx, x, y, x + 1 + int(rng() % 6), y + 1 + int(rng() % 6));
    }
    Finish(*ctx);
    for (int type : {OuterGlow, InnerGlow, InnerShadow, Satin}) {
      for (int size : {-1, 30}) {
        EffectRecord r = EffectStartRecord(type);
        if (size >= 0) r.p[size_t(EffectParamNamed(type, "size").slot)] = size;
        ctx->work.FillBackground(0x808080);
        DispatchEffect(*ctx, r, false);
        for (int y = 0; y < 24; ++y)
          for (int x = 0; x < 40; ++x) {
            const bool lit = ctx->work.glyphRows[size_t(y)][size_t(x) * 3] != 0;
            const bool painted = Colour(*ctx, x, y)[0] != 0x80 || Colour(*ctx, x, y)[2] != 0x80;
            if (painted) {
              ASSERT_EQ(lit, type != OuterGlow) << EffectKey(type) << " at " << x << "," << y;
            }
          }
      }
    }
  }
}
