// Stroke, Bevel & Emboss and Gradient Overlay on small hand-drawn masks.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "effects/glyph_distance.h"
#include "effects/bevel_emboss.h"
#include "effects/gradient_overlay.h"
#include "effects/stroke.h"
#include "effects/layer_paint.h"
#include "effects/work_fixture.h"
#include "support/test_support.h"

namespace {

using enginetest::MakeContext;

const uint8_t* Pixel(const EngineContext& ctx, int x, int y) { return ctx.work.effectColorRows[size_t(y)] + x * 3; }
uint16_t Cov(const EngineContext& ctx, int x, int y) {
  return ctx.work.effectCoverage[size_t(y) * size_t(ctx.work.workWidth) + size_t(x)];
}
EffectTarget Target(EngineContext& ctx) { return EffectTarget::For(ctx, false); }

// A block of columns x0..x1-1, rows y0..y1-1.
auto Block(int x0, int y0, int x1, int y1) {
  return [=](int x, int y) { return uint8_t(x >= x0 && x < x1 && y >= y0 && y < y1 ? 255 : 0); };
}

std::unique_ptr<EngineContext> RandomBlobs(unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::array<int, 3>> disks(4);
  for (auto& d : disks) d = {int(rng() % 40), int(rng() % 30), 2 + int(rng() % 6)};
  return MakeContext(40, 32, [&](int x, int y) {
    for (const auto& d : disks)
      if ((x - d[0]) * (x - d[0]) + (y - d[1]) * (y - d[1]) <= d[2] * d[2]) return uint8_t(255);
    return uint8_t(0);
  });
}

TEST(StrokeBevelOverlay, SignedEdgeDistanceMatchesABruteForceSearch) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    auto ctx = RandomBlobs(seed);
    const int W = ctx->work.workWidth, H = ctx->work.workHeight;
    const std::vector<float> sd = SignedEdgeDistance(ctx->work.glyphRows.data(), W, H);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const bool lit = enginetest::Glyph(*ctx, x, y) != 0;
        // The outside of the area counts as unlit: a ring of unlit pixels just beyond it.
        double best = lit ? std::min({x + 1, y + 1, W - x, H - y}) : 1e6;
        for (int v = 0; v < H; ++v)
          for (int u = 0; u < W; ++u)
            if ((enginetest::Glyph(*ctx, u, v) != 0) != lit) best = std::min(best, std::hypot(u - x, v - y));
        ASSERT_NEAR(sd[size_t(y) * W + x], lit ? best - 0.5 : 0.5 - best, 1e-4) << x << "," << y;
      }
  }
}

TEST(StrokeBevelOverlay, GradientRampsAtHandComputedPoints) {
  // A 10 x 10 box: centre (4.5, 4.5), pixel edges 5 from it, corners 5 sqrt 2.
  struct Case {
    int shape, angle;
    double scale, x, y, t;
  } cases[] = {
      {layer::kLinear, 0, 1, -0.5, 3, 0},   {layer::kLinear, 0, 1, 9.5, 3, 1},
      {layer::kLinear, 0, 1, 2, 0, 0.25},   {layer::kLinear, 90, 1, 3, -0.5, 1},  // 90 points up
      {layer::kLinear, 0, 0.5, 7, 1, 1},    {layer::kLinear, 45, 1, 4.5, 4.5, 0.5},
      {layer::kReflected, 0, 1, 2, 9, 0.5}, {layer::kReflected, 0, 1, 7, 0, 0.5},
      {layer::kRadial, 0, 1, 7.5, 8.5, 1 / std::sqrt(2.0)},
      {layer::kDiamond, 0, 1, 7.5, 2.5, 0.5},  // |3| + |-2| over 10
      {layer::kAngle, 0, 1, 6, 4.5, 0},     {layer::kAngle, 0, 1, 4.5, 2, 0.25},
      {layer::kAngle, 0, 1, 2, 4.5, 0.5},   {layer::kAngle, 90, 1, 2, 4.5, 0.25},
  };
  for (const Case& c : cases) {
    const layer::GradientRamp ramp(c.shape, c.angle, c.scale, 0, 0, 9, 9);
    EXPECT_NEAR(ramp.At(c.x, c.y), c.t, 1e-9) << c.shape << " " << c.angle << " " << c.x << "," << c.y;
  }
}

TEST(StrokeBevelOverlay, GradientOverlayFillsTheGlyphsAlongTheRamp) {
  // Lit columns 2..13 of row 1: black to white from left to right, weighted by the glyph byte.
  auto ctx = MakeContext(16, 4, [](int x, int y) { return uint8_t(y == 1 && x >= 2 && x < 14 ? (x == 13 ? 102 : 255) : 0); });
  ctx->work.FillBackground(0x000000);
  GradientOverlayParams p;
  p.colour = 0x000000;
  p.colour2 = 0xFFFFFF;
  p.angle = 0;
  ApplyEffect(Target(*ctx), p);
  for (int x = 2; x < 13; ++x) {
    const int expected = int(std::lround(255.0 * (x - 2 + 0.5) / 12));
    EXPECT_EQ(Pixel(*ctx, x, 1)[0], expected) << x;
    EXPECT_EQ(Cov(*ctx, x, 1), 255);
  }
  EXPECT_EQ(Pixel(*ctx, 13, 1)[2], std::lround(std::lround(255 * 11.5 / 12) * 0.4));  // 102 / 255
  EXPECT_EQ(Cov(*ctx, 13, 1), 102);
  EXPECT_EQ(Pixel(*ctx, 1, 1)[0], 0);
  EXPECT_EQ(Cov(*ctx, 5, 0), 0);
}

TEST(StrokeBevelOverlay, StrokeWidthsAtHandComputedPixels) {
  // A 10 x 10 block at 10..19, white strokes on black; row 15 crosses the left edge.
  struct Case {
    int position, size, x, y, expected;
  } cases[] = {
      {StrokeParams::Outside, 2, 9, 15, 255},  {StrokeParams::Outside, 2, 8, 15, 255},
      {StrokeParams::Outside, 2, 7, 15, 0},    {StrokeParams::Outside, 2, 10, 15, 0},
      {StrokeParams::Outside, 2, 8, 8, 44},    // 2 sqrt 2 from (10, 10): 3 - 2.83 of the pixel
      {StrokeParams::Inside, 2, 10, 15, 255},  {StrokeParams::Inside, 2, 11, 15, 255},
      {StrokeParams::Inside, 2, 12, 15, 0},    {StrokeParams::Inside, 2, 9, 15, 0},
      {StrokeParams::Centre, 3, 9, 15, 255},   {StrokeParams::Centre, 3, 8, 15, 0},
      {StrokeParams::Centre, 3, 11, 15, 255},  {StrokeParams::Centre, 3, 12, 15, 0},
  };
  for (const Case& c : cases) {
    auto ctx = MakeContext(32, 32, Block(10, 10, 20, 20));
    ctx->work.FillBackground(0x000000);
    StrokeParams p;
    p.colour = 0xFFFFFF;
    p.position = c.position;
    p.size = c.size;
    ApplyEffect(Target(*ctx), p);
    EXPECT_EQ(Pixel(*ctx, c.x, c.y)[1], c.expected) << c.position << " " << c.size << " " << c.x << "," << c.y;
  }
}

TEST(StrokeBevelOverlay, OutsideStrokesLeaveTheGlyphsAndInsideStrokesTheirSurroundings) {
  for (unsigned seed = 1; seed <= 3; ++seed)
    for (int position : {StrokeParams::Outside, StrokeParams::Inside})
      for (int fill : {StrokeParams::FillColour, StrokeParams::FillGradient}) {
        auto ctx = RandomBlobs(seed);
        ctx->work.FillBackground(0x808080);
        StrokeParams p{0x0000FF, 0x00FF00, position, 4, fill, 0, layer::kRadial, {}};
        ApplyEffect(Target(*ctx), p);
        int painted = 0;
        for (int y = 0; y < 32; ++y)
          for (int x = 0; x < 40; ++x) {
            const bool changed = Cov(*ctx, x, y) != 0 || Pixel(*ctx, x, y)[0] != 0x80;
            painted += changed;
            const bool lit = enginetest::Glyph(*ctx, x, y) != 0;
            ASSERT_FALSE(changed && lit == (position == StrokeParams::Outside)) << seed << " " << x << "," << y;
          }
        EXPECT_GT(painted, 20);
      }
}

TEST(StrokeBevelOverlay, TextureStrokesTileTheTextureFromTheAreaCorner) {
  auto ctx = MakeContext(48, 40, Block(6, 6, 42, 34));
  ctx->programFolder = testsupport::DataFolder() + "/";
  const auto texture = ctx->textures.Get(ctx->programFolder + "texture/", "tile_dots.png");
  ASSERT_TRUE(texture && texture->width < 48);
  StrokeParams p;
  p.position = StrokeParams::Inside;
  p.size = 3;
  p.fill = StrokeParams::FillTexture;
  p.texture = "tile_dots.png";
  ApplyEffect(Target(*ctx), p);
  for (const auto& [x, y] : {std::pair{6, 20}, std::pair{8, 20}, std::pair{40, 33}, std::pair{20, 6}}) {
    const uint8_t* texel = texture->Pixel(x % texture->width, y % texture->height);
    EXPECT_EQ(std::vector<uint8_t>(Pixel(*ctx, x, y), Pixel(*ctx, x, y) + 3), std::vector<uint8_t>(texel, texel + 3));
  }
  p.texture = "no such texture.png";  // like Draw: nothing painted
  auto blank = MakeContext(48, 40, Block(6, 6, 42, 34));
  blank->programFolder = ctx->programFolder;
  ApplyEffect(Target(*blank), p);
  EXPECT_EQ(Cov(*blank, 6, 20), 0);
}

TEST(StrokeBevelOverlay, BevelSlopesLitByHand) {
  // A 40 x 40 block at 10..49 on grey; size 5 and depth 1: column 12 lies on the left slope,
  // rising one pixel a pixel to the right, so its normal is (-1, 0, 1) / sqrt 2. With the light
  // at 45 degrees a flat surface receives sin 45; the slope receives the full light from the left,
  // none from the right, and half from above.
  struct Case {
    int style, technique, angle;
    bool down;
    double highlightOpacity;
    int x, expected;
  } cases[] = {
      {BevelEmbossParams::InnerBevel, BevelEmbossParams::Chisel, 180, false, 1, 12, 255},
      {BevelEmbossParams::InnerBevel, BevelEmbossParams::Chisel, 180, false, 0.4, 12, 222},
      {BevelEmbossParams::InnerBevel, BevelEmbossParams::Chisel, 0, false, 1, 12, 0},
      {BevelEmbossParams::InnerBevel, BevelEmbossParams::Chisel, 90, false, 1, 12, 141},  // 1 - 0.5 / sin 45
      {BevelEmbossParams::InnerBevel, BevelEmbossParams::Chisel, 180, true, 1, 12, 0},
      {BevelEmbossParams::InnerBevel, BevelEmbossParams::Chisel, 180, false, 1, 8, 200},   // outside
      {BevelEmbossParams::InnerBevel, BevelEmbossParams::Smooth, 180, false, 1, 30, 200},  // plateau
      {BevelEmbossParams::OuterBevel, BevelEmbossParams::Chisel, 180, false, 1, 7, 255},
      {BevelEmbossParams::OuterBevel, BevelEmbossParams::Chisel, 180, false, 1, 12, 200},  // inside
      {BevelEmbossParams::Emboss, BevelEmbossParams::Chisel, 180, false, 1, 7, 255},
      {BevelEmbossParams::Emboss, BevelEmbossParams::Chisel, 180, false, 1, 12, 255},
      {BevelEmbossParams::PillowEmboss, BevelEmbossParams::Chisel, 180, false, 1, 7, 0},
      {BevelEmbossParams::PillowEmboss, BevelEmbossParams::Chisel, 180, false, 1, 12, 255},
  };
  for (const Case& c : cases) {
    auto ctx = MakeContext(60, 60, Block(10, 10, 50, 50));
    ctx->work.FillBackground(0xC8C8C8);
    BevelEmbossParams p;
    p.style = c.style;
    p.technique = c.technique;
    p.down = c.down;
    p.size = 5;
    p.angle = c.angle;
    p.altitude = 45;
    p.highlightOpacity = c.highlightOpacity;
    p.shadowOpacity = 1;
    ApplyEffect(Target(*ctx), p);
    EXPECT_EQ(Pixel(*ctx, c.x, 30)[0], c.expected)
        << c.style << " " << c.technique << " " << c.angle << " " << c.down << " x " << c.x;
  }
}

TEST(StrokeBevelOverlay, SmoothBevelsLightTheFacingSideAndShadeTheOther) {
  auto ctx = MakeContext(60, 60, Block(10, 10, 50, 50));
  ctx->work.FillBackground(0xC8C8C8);
  BevelEmbossParams p;
  p.size = 6;
  p.soften = 2;
  p.angle = 180;
  ApplyEffect(Target(*ctx), p);
  EXPECT_GT(Pixel(*ctx, 12, 30)[0], 0xC8);
  EXPECT_LT(Pixel(*ctx, 47, 30)[0], 0xC8);
  // The light is level with the rows: top and bottom rims are lit alike.
  EXPECT_NEAR(Pixel(*ctx, 30, 12)[0], Pixel(*ctx, 30, 47)[0], 1);
  EXPECT_LT(Pixel(*ctx, 30, 12)[0], 0xC8);
}

}  // namespace
