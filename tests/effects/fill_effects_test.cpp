#include "effects/fill_effects.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "effects/effect_dispatcher.h"
#include "effects/work_fixture.h"
#include "imaging/dib_image.h"
#include "raster/render_error.h"
#include "support/test_support.h"

using namespace enginetest;

namespace {

EffectRecord Draw(int32_t colour, int dx = 0, int dy = 0, int fillKind = 2, std::string file = "") {
  return {SingleColor, {colour, 0, dx, dy, fillKind}, std::move(file)};
}

// A BMP texture through our own writer (checked against hand-built bytes elsewhere); pixels
// top-down as blue, green, red, or as indexes into `palette` when one is given.
void WriteTexture(const std::string& path, int w, int h, const std::vector<uint8_t>& bytes,
                  const std::vector<uint8_t>& palette = {}) {
  BgrPalette pal{};
  std::copy(palette.begin(), palette.end(), pal.begin());
  DibImage img;
  ASSERT_EQ(img.Create(w, h, palette.empty() ? 24 : 8, pal.data()), 1);
  DibRowTable rows(img);
  const int rowBytes = palette.empty() ? 3 * w : w;
  for (int y = 0; y < h; ++y) std::copy_n(bytes.begin() + y * rowBytes, rowBytes, rows[y]);
  ASSERT_EQ(WriteBmp(img, path), 1);
}

TEST(SolidFill, BlendsByShiftAndSumsCoverage) {
  auto ctx = MakeWork(8, 4);
  Light(*ctx, 1, 1);
  Light(*ctx, 2, 1, 128);
  DispatchEffect(*ctx, Draw(0x0000FF), false);
  // (255 * 255) >> 8 = 254: the shift divides by 256, not 255.
  EXPECT_EQ(Colour(*ctx, 1, 1)[2], 254);
  EXPECT_EQ(Colour(*ctx, 1, 1)[0], 0);
  EXPECT_EQ(Colour(*ctx, 2, 1)[2], (128 * 255) >> 8);
  EXPECT_EQ(Cov(*ctx, 1, 1), 255);
  EXPECT_EQ(Cov(*ctx, 0, 0), 0);
  // A second Draw in blue over the same pixel: red keeps 1/256th less, coverage adds up unclamped.
  DispatchEffect(*ctx, Draw(0xFF0000), false);
  EXPECT_EQ(Colour(*ctx, 1, 1)[0], 254);
  EXPECT_EQ(Colour(*ctx, 1, 1)[2], 0);
  EXPECT_EQ(Cov(*ctx, 1, 1), 510);
  EXPECT_EQ(Cov(*ctx, 2, 1), 256);
  // Any fill kind other than 4 and 5 is the single colour.
  auto other = MakeWork(4, 4);
  Light(*other, 0, 0);
  DispatchEffect(*other, Draw(0x00FF00, 0, 0, 0), false);
  DispatchEffect(*other, Draw(0x00FF00, 0, 0, 7), false);
  EXPECT_EQ(Colour(*other, 0, 0)[1], 254);
  EXPECT_EQ(Cov(*other, 0, 0), 510);
}

TEST(SolidFill, OffsetsShiftAndClip) {
  auto ctx = MakeWork(8, 4);
  LightRect(*ctx, 0, 0, 8, 4);
  DispatchEffect(*ctx, Draw(0xFFFFFF, 3, -1), false);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool painted = x >= 3 && y <= 2;  // columns 0..2 and the last row stay black
      EXPECT_EQ(Cov(*ctx, x, y), painted ? 255 : 0) << x << "," << y;
    }
  // Offsets far beyond the area paint nothing and touch nothing outside it.
  auto far = MakeWork(8, 4);
  LightRect(*far, 0, 0, 8, 4);
  for (int d : {10000, -10000, 8, -8, INT32_MAX, INT32_MIN}) {
    DispatchEffect(*far, Draw(0xFFFFFF, d, 0), false);
    DispatchEffect(*far, Draw(0xFFFFFF, 0, d), false);
  }
  for (uint16_t c : far->work.effectCoverage) EXPECT_EQ(c, 0);
}

EffectRecord Gradient(int angle, int size, int32_t c1, int32_t c2) { return {LinearGradient, {c1, c2, 0, 0, angle, size}, ""}; }

TEST(GradientFill, VerticalBandIsUnsignedDistanceFromStart) {
  auto ctx = MakeWork(4, 100);
  LightRect(*ctx, 0, 0, 4, 100);
  // Red 0 -> 200 over rows 30..70; a lit 255 glyph keeps (v * 255) >> 8.
  DispatchEffect(*ctx, Gradient(90, 20, 0x000000, 0x0000C8), false);
  auto red = [&](int y) { return int(Colour(*ctx, 2, y)[2]); };
  EXPECT_EQ(red(30), 0);
  EXPECT_EQ(red(50), (100 * 255) >> 8);
  EXPECT_EQ(red(70), (200 * 255) >> 8);
  EXPECT_EQ(red(99), (200 * 255) >> 8);
  EXPECT_EQ(red(10), (100 * 255) >> 8);  // same distance on the other side
  EXPECT_EQ(red(0), (150 * 255) >> 8);
  EXPECT_EQ(Cov(*ctx, 0, 0), 255);

  auto up = MakeWork(4, 100);
  LightRect(*up, 0, 0, 4, 100);
  DispatchEffect(*up, Gradient(270, 20, 0x000000, 0x0000C8), false);
  EXPECT_EQ(Colour(*up, 0, 70)[2], 0);  // start at 50 + 20
  EXPECT_EQ(Colour(*up, 0, 30)[2], (200 * 255) >> 8);
}

TEST(GradientFill, GeneralAngleFollowsProjectionOntoDirection) {
  const int W = 40, H = 40, size = 10;
  for (int angle : {20, 45, 135, 300, -90, 360}) {
    auto ctx = MakeWork(W, H);
    LightRect(*ctx, 0, 0, W, H);
    DispatchEffect(*ctx, Gradient(angle, size, 0x000000, 0xFFFFFF), false);
    const double rho = angle * 3.14 / 180.0;
    const double x0 = W / 2 - std::cos(rho) * size, y0 = H / 2 - std::sin(rho) * size;
    int worst = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        double t = std::fabs((x - x0) * std::cos(rho) + (y - y0) * std::sin(rho)) / (2.0 * size);
        t = std::min(1.0, t);
        const int want = (int(255 * t) * 255) >> 8;
        worst = std::max(worst, std::abs(int(Colour(*ctx, x, y)[1]) - want));
      }
    EXPECT_LE(worst, 2) << "angle " << angle;
  }
  // Size 0 must not divide by zero; it behaves as size 1.
  auto zero = MakeWork(8, 8), one = MakeWork(8, 8);
  LightRect(*zero, 0, 0, 8, 8);
  LightRect(*one, 0, 0, 8, 8);
  DispatchEffect(*zero, Gradient(90, 0, 0x000000, 0xFFFFFF), false);
  DispatchEffect(*one, Gradient(90, 1, 0x000000, 0xFFFFFF), false);
  EXPECT_EQ(zero->work.effectColor, one->work.effectColor);
}

class TextureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir.path() / "texture");
    // 2 x 2: blue, green / red, white (top-down).
    const std::vector<uint8_t> quad{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    WriteTexture(dir.file("texture/quad.bmp"), 2, 2, quad);
    WriteTexture(dir.file("texture/quad8.bmp"), 2, 2, {0, 1, 2, 3}, quad);  // as palette indexes
    testsupport::WriteFileBytes(dir.file("texture/empty.bmp"), {});
    testsupport::WriteFileText(dir.file("texture/junk.bmp"), "this is not a picture at all");
  }
  std::unique_ptr<EngineContext> Lit(int W, int H) {
    auto ctx = MakeWork(W, H);
    ctx->programFolder = dir.path().string() + "/";
    LightRect(*ctx, 0, 0, W, H);
    return ctx;
  }
  testsupport::TempDir dir;
};

TEST_F(TextureTest, TileRepeatsFromTheShiftedGlyphOrigin) {
  for (const char* name : {"quad.bmp", "quad8.bmp"}) {
    auto ctx = Lit(4, 4);
    DispatchEffect(*ctx, Draw(0, 1, 0, 4, name), false);
    // Column x reads texel (x - 1) mod 2.
    EXPECT_EQ(Colour(*ctx, 1, 0)[0], 254) << name;  // blue texel
    EXPECT_EQ(Colour(*ctx, 2, 0)[1], 254) << name;  // green
    EXPECT_EQ(Colour(*ctx, 1, 1)[2], 254) << name;  // red
    EXPECT_EQ(Colour(*ctx, 2, 1)[0], 254) << name;  // white
    EXPECT_EQ(Colour(*ctx, 2, 1)[2], 254) << name;
    EXPECT_EQ(Colour(*ctx, 3, 3)[2], 254) << name;  // red again, two texels on
    EXPECT_EQ(Colour(*ctx, 3, 3)[0], 0) << name;
    EXPECT_EQ(Cov(*ctx, 0, 0), 0) << name;           // left of the shifted glyph
    EXPECT_EQ(Cov(*ctx, 1, 0), 255) << name;
  }
}

TEST_F(TextureTest, StretchSpansTheWorkArea) {
  auto ctx = Lit(4, 4);
  DispatchEffect(*ctx, Draw(0, 0, 0, 5, "quad.bmp"), false);
  // Each texel covers a 2 x 2 block.
  EXPECT_EQ(Colour(*ctx, 1, 1)[0], 254);
  EXPECT_EQ(Colour(*ctx, 2, 1)[1], 254);
  EXPECT_EQ(Colour(*ctx, 0, 2)[2], 254);
  EXPECT_EQ(Colour(*ctx, 3, 3)[1], 254);
  EXPECT_EQ(Cov(*ctx, 3, 3), 255);
}

TEST_F(TextureTest, MissingEmptyOrBrokenTexturePaintsNothing) {
  for (const char* name : {"none.bmp", "empty.bmp", "junk.bmp", ""}) {
    for (int kind : {4, 5}) {
      auto ctx = Lit(4, 4);
      DispatchEffect(*ctx, Draw(0xFFFFFF, 0, 0, kind, name), false);
      DispatchEffect(*ctx, {Tile, {}, name}, false);
      for (uint8_t c : ctx->work.effectColor) EXPECT_EQ(c, 0) << name;
      for (uint16_t c : ctx->work.effectCoverage) EXPECT_EQ(c, 0) << name;
    }
  }
}

TEST_F(TextureTest, NamesOutsideTheFolderAndFilesThatAreNotRegularAreRefused) {
  std::filesystem::create_directories(dir.path() / "texture/folder.bmp");
  ASSERT_EQ(mkfifo(dir.file("texture/fifo.bmp").c_str(), 0600), 0);
  std::filesystem::resize_file(dir.file("texture/quad.bmp"), kMaxTextureFileBytes + 1);  // sparse
  testsupport::WriteFileBytes(dir.file("quad.bmp"), testsupport::ReadFileBytes(dir.file("texture/quad8.bmp")));
  for (const std::string& name : std::vector<std::string>{"../quad.bmp", "..", dir.file("quad.bmp"), "sub/quad.bmp", "a\\b.bmp",
                                 "fifo.bmp", "folder.bmp", "quad.bmp"}) {
    auto ctx = Lit(4, 4);
    EXPECT_THROW(DispatchEffect(*ctx, Draw(0, 1, 0, 4, name), false), RenderError) << name;
  }
}

TEST_F(TextureTest, ATextureIsDecodedOncePerContextUntilItsFileChanges) {
  auto ctx = Lit(4, 4);
  const auto first = ctx->textures.Get(dir.file("texture/"), "quad.bmp");
  for (int kind : {4, 5, 4, 5, 4}) DispatchEffect(*ctx, Draw(0, 1, 0, kind, "quad.bmp"), false);
  EXPECT_EQ(ctx->textures.Get(dir.file("texture/"), "quad.bmp"), first);
  EXPECT_EQ(ctx->textures.Decodes(), 1u);
  // A texture replaced on disk is read again: later renders never paint the old pixels.
  WriteTexture(dir.file("texture/quad.bmp"), 1, 1, {9, 8, 7});
  const auto second = ctx->textures.Get(dir.file("texture/"), "quad.bmp");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->width, 1);
  EXPECT_EQ(second->Pixel(0, 0)[0], 9);
  EXPECT_EQ(first->width, 2);  // effects still holding the old one keep it intact
}

TEST_F(TextureTest, TileFillModulatesCellAverages) {
  // 6 x 6 texture: value 200 everywhere, except a black texel at (1, 1) and 255 at (2, 2).
  std::vector<uint8_t> tex(6 * 6 * 3, 200);
  for (int k = 0; k < 3; ++k) {
    tex[(1 * 6 + 1) * 3 + size_t(k)] = 0;
    tex[(2 * 6 + 2) * 3 + size_t(k)] = 255;
  }
  WriteTexture(dir.file("texture/cells.bmp"), 6, 6, tex);
  auto ctx = Lit(8, 8);
  // Left cell: one half 100, one half 50 (average 75, with coverage at the centre (3, 3)).
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const uint8_t v = x < 3 ? 100 : (x < 6 ? 50 : 90);
      Paint(*ctx, x, y, v, v, v);
      ctx->work.effectCoverage[size_t(y) * 8 + x] = 1;
    }
  ctx->work.effectCoverage[7 * 8 + 3] = 0;  // centre of the lower-left cell (3, 9) clamps to (3, 7)
  DispatchEffect(*ctx, {Tile, {}, "cells.bmp"}, false);

  EXPECT_EQ(Colour(*ctx, 0, 0)[0], 75);               // trunc(200 * 75 * 0.005)
  EXPECT_EQ(Colour(*ctx, 2, 2)[2], 95);               // trunc(255 * 75 * 0.005) = 95
  EXPECT_EQ(Colour(*ctx, 1, 1)[1], 0);                // black texel cuts a hole
  EXPECT_EQ(Cov(*ctx, 1, 1), 0);
  EXPECT_EQ(Cov(*ctx, 0, 0), 255);
  // Right cell, columns 6..7 only: 12 pixels of 90 over the full 36 = 30; centre (9, 3) -> (7, 3).
  EXPECT_EQ(Colour(*ctx, 7, 0)[0], 30);
  EXPECT_EQ(Cov(*ctx, 6, 5), 255);
  // Lower-left cell: its clamped centre has no coverage, so it is cleared.
  EXPECT_EQ(Colour(*ctx, 0, 6)[0], 0);
  EXPECT_EQ(Cov(*ctx, 0, 6), 0);
  EXPECT_EQ(Cov(*ctx, 5, 7), 0);
}

}  // namespace
