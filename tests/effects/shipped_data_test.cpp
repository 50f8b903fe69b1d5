#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "effects/effect_bodies.h"
#include "raster/engine_context.h"
#include "support/test_support.h"

namespace {

TEST(ShippedData, LightPatternsHaveTheFileFormatAndTheirShapes) {
  EngineContext ctx;
  ctx.programFolder = testsupport::DataFolder();
  if (!ctx.programFolder.empty() && ctx.programFolder.back() != '/') ctx.programFolder += '/';
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(std::filesystem::file_size(ctx.programFolder + "star" + std::to_string(i) + ".lit"), 122412u);
  LoadLightPatterns(ctx);
  for (const auto& p : ctx.lightPatterns) {
    ASSERT_FALSE(p.Empty());
    ASSERT_EQ(p.radiusX, 50);
    ASSERT_EQ(p.radiusY, 50);
    // Symmetric under both mirrors and the transpose; brightest in the centre; positive.
    for (int dy = -50; dy <= 50; dy += 7)
      for (int dx = -50; dx <= 50; dx += 3)
        for (int k = 0; k < 3; ++k) {
          const float v = p.Cell(dx, dy)[k];
          ASSERT_GE(v, 0.0f);
          ASSERT_LE(v, p.Cell(0, 0)[k]);
          ASSERT_FLOAT_EQ(v, p.Cell(-dx, dy)[k]);
          ASSERT_FLOAT_EQ(v, p.Cell(dx, -dy)[k]);
          ASSERT_FLOAT_EQ(v, p.Cell(dy, dx)[k]);
        }
    // At the start strength (10 x 1000) and white, the glow reaches past 10 pixels and has
    // faded before the border, so the pattern is not cut off.
    const float start = 255.0f * 10000.0f;
    EXPECT_GE(p.Cell(10, 0)[2] * start, 1.0f);
    EXPECT_LT(p.Cell(50, 0)[2] * start, 1.0f);
    EXPECT_LT(p.Cell(50, 50)[2] * start, 1.0f);
  }
  // At 30 pixels: the glow is the same in every direction; star1 streaks along the axes,
  // star2 along the diagonals (21, 21 is about 30 out).
  const auto& glow = ctx.lightPatterns[0];
  const auto& cross = ctx.lightPatterns[1];
  const auto& diagonal = ctx.lightPatterns[2];
  EXPECT_GT(cross.Cell(30, 0)[0], 5 * glow.Cell(30, 0)[0]);
  EXPECT_GT(cross.Cell(30, 0)[0], 5 * cross.Cell(21, 21)[0]);
  EXPECT_GT(diagonal.Cell(21, 21)[0], 5 * diagonal.Cell(30, 0)[0]);
  EXPECT_NEAR(glow.Cell(30, 0)[0], glow.Cell(21, 21)[0], glow.Cell(30, 0)[0] * 0.2);
}

TEST(ShippedData, TexturesDecodeAndTile) {
  const std::string folder = testsupport::DataFolder() + "/texture/";
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".png") continue;
    ++count;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, entry.path().c_str())) << entry.path();
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) << entry.path();
    if (entry.path().filename().string().starts_with("tile_")) {
      // Mosaic cells: small, and with black grout, which the Tile effect leaves bare.
      EXPECT_GE(image.width, 8u);
      EXPECT_LE(image.width, 32u);
      EXPECT_GE(image.height, 8u);
      EXPECT_LE(image.height, 32u);
      bool grout = false;
      for (size_t i = 0; i + 2 < rgb.size(); i += 3) grout = grout || (rgb[i] == 0 && rgb[i + 1] == 0 && rgb[i + 2] == 0);
      EXPECT_TRUE(grout) << entry.path();
      continue;
    }
    ASSERT_EQ(image.width, 256u);
    ASSERT_EQ(image.height, 256u);
    // Not flat, and seamless: the step across the wrap is no larger than the largest step
    // between neighbouring columns (rows) inside the picture.
    const auto step = [&](int a, int b, bool columns) {
      int sum = 0;
      for (int i = 0; i < 256 * 3; ++i) {
        const size_t pa = columns ? (size_t(i / 3) * 256 + size_t(a)) : (size_t(a) * 256 + size_t(i / 3));
        const size_t pb = columns ? (size_t(i / 3) * 256 + size_t(b)) : (size_t(b) * 256 + size_t(i / 3));
        sum += std::abs(int(rgb[pa * 3 + size_t(i % 3)]) - int(rgb[pb * 3 + size_t(i % 3)]));
      }
      return sum;
    };
    int maxColumns = 0, maxRows = 0;
    for (int i = 0; i < 255; ++i) maxColumns = std::max(maxColumns, step(i, i + 1, true)), maxRows = std::max(maxRows, step(i, i + 1, false));
    EXPECT_GT(*std::max_element(rgb.begin(), rgb.end()) - *std::min_element(rgb.begin(), rgb.end()), 40) << entry.path();
    EXPECT_LE(step(255, 0, true), maxColumns * 5 / 4 + 256) << entry.path();
    EXPECT_LE(step(255, 0, false), maxRows * 5 / 4 + 256) << entry.path();
  }
  EXPECT_GE(count, 8);
}

}  // namespace
