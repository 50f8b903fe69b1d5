#include "raster/work_set.h"

#include <gtest/gtest.h>

#include "raster/render_error.h"
#include "raster/raster_canvas.h"

namespace {

void Lit(WorkSet& w, int x, int y, uint8_t v = 255) {
  uint8_t* p = w.glyphRows[size_t(y)] + x * 3;
  p[0] = p[1] = p[2] = v;
}

TEST(WorkSet, AllocateBuildsZeroedBuffersWithTopDownRowsAndRefusesHugeAreas) {
  WorkSet w;
  w.Allocate(12, 8);
  EXPECT_EQ(w.workWidth, 12);
  EXPECT_EQ(w.workHeight, 8);
  EXPECT_EQ(w.pressedCoverage.size(), 12u * 8);
  ASSERT_EQ(w.glyphRows.size(), 8u);
  EXPECT_EQ(w.glyphRows[7], w.glyphMask.data() + 7 * 36);  // entry 0 is the top row
  EXPECT_EQ(w.pressedColorRows[2], w.pressedColor.data() + 72);
  EXPECT_TRUE(w.glyphChanged);

  // A second allocation of another size leaves nothing of the first behind.
  Lit(w, 3, 3);
  w.effectCoverage[5] = 77;
  w.effectColor[4] = 9;
  w.Allocate(4, 16);
  EXPECT_EQ(w.glyphRows.size(), 16u);
  for (uint8_t b : w.glyphMask) ASSERT_EQ(b, 0);
  for (uint8_t b : w.effectColor) ASSERT_EQ(b, 0);
  for (uint16_t c : w.effectCoverage) ASSERT_EQ(c, 0);

  w.Allocate(0, 0);  // an empty item
  EXPECT_EQ(w.PixelCount(), 0);
  w.BuildEdgePlane();

  EXPECT_THROW(w.Allocate(int(kRenderLimits.maxWidth) + 4, 4), RenderError);
  EXPECT_THROW(w.Allocate(8192, 8192), RenderError);  // past the pixel limit
  EXPECT_THROW(w.Allocate(-4, 8), RenderError);
  // Over 1,000 rows is fine: the tables are sized from the work area.
  EXPECT_NO_THROW(w.Allocate(8, 1200));
  EXPECT_EQ(w.glyphRows.size(), 1200u);
}

TEST(WorkSet, EdgePlaneMarksLitPixelsWithADarkNeighbourAwayFromTheBorder) {
  WorkSet w;
  w.Allocate(8, 8);
  // A 3 x 3 block: its ring is edge, its centre not.
  for (int y = 2; y <= 4; ++y)
    for (int x = 2; x <= 4; ++x) Lit(w, x, y);
  // Lit pixels on the outermost column and row are never edge; one next to the border is.
  Lit(w, 7, 3);
  Lit(w, 6, 6);
  Lit(w, 0, 0);
  Lit(w, 3, 7);
  Lit(w, 6, 1, 1);  // any non-zero glyph value counts as lit
  w.BuildEdgePlane();
  const char* expected[8] = {
      "........",
      "......#.",
      "..###...",
      "..#.#...",
      "..###...",
      "........",
      "......#.",
      "........",
  };
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(w.edgeRows[size_t(y)][x], expected[y][x] == '#' ? 255 : 0) << x << "," << y;

  // A fully lit mask has no edge at all: interior pixels have lit neighbours, the border is 0.
  for (auto& b : w.glyphMask) b = 255;
  w.BuildEdgePlane();
  for (uint8_t e : w.edgePlane) ASSERT_EQ(e, 0);
}

TEST(WorkSet, RestoreGlyphUndoesAGeometryChange) {
  WorkSet w;
  w.Allocate(8, 8);
  for (int y = 2; y <= 5; ++y)
    for (int x = 2; x <= 5; ++x) Lit(w, x, y);
  w.glyphChanged = false;
  w.FinishRasterizing();
  EXPECT_TRUE(w.glyphChanged);
  EXPECT_EQ(w.glyphMaskCopy, w.glyphMask);
  const std::vector<uint8_t> edges = w.edgePlane;
  EXPECT_EQ(edges[size_t(2 * 8 + 3)], 255);

  // An effect distorts the glyphs and paints coverage...
  for (auto& b : w.glyphMask) b = 0;
  Lit(w, 6, 6);
  w.BuildEdgePlane();
  w.effectCoverage[10] = 300;
  w.pressedCoverage[11] = 12;
  w.glyphChanged = false;
  // ...and restoring brings the rasterized shape back with clean coverage.
  w.RestoreGlyph();
  EXPECT_EQ(w.glyphMask, w.glyphMaskCopy);
  EXPECT_EQ(w.edgePlane, edges);
  EXPECT_EQ(w.effectCoverage[10], 0);
  EXPECT_EQ(w.pressedCoverage[11], 0);
  EXPECT_TRUE(w.glyphChanged);
  // The row table still reaches the live mask.
  EXPECT_EQ(w.glyphRows[0], w.glyphMask.data());
  EXPECT_EQ(w.glyphRows[3][3 * 3], 255);
}

TEST(WorkSet, BackgroundFillAndClearUseBlueGreenRedOrder) {
  WorkSet w;
  w.Allocate(4, 4);
  w.effectCoverage[3] = 99;
  w.pressedColor[0] = 5;
  w.FillBackground(0x00332211);  // COLORREF: red 0x11, green 0x22, blue 0x33
  for (size_t i = 0; i < w.effectColor.size(); i += 3)
    ASSERT_EQ(std::vector(w.effectColor.begin() + long(i), w.effectColor.begin() + long(i) + 3), (std::vector<uint8_t>{0x33, 0x22, 0x11}));
  EXPECT_EQ(w.effectCoverage[3], 0);
  EXPECT_EQ(w.pressedColor[0], 5);  // the pressed image is not the background's

  w.ClearColor(true);
  EXPECT_EQ(w.pressedColor[0], 0);
  EXPECT_EQ(w.effectColor[0], 0x33);
  w.ClearColor(false);
  for (uint8_t b : w.effectColor) ASSERT_EQ(b, 0);
}

TEST(WorkSet, CoverageSumsWrapAndLoadClampedIntoTheCanvas) {
  WorkSet w;
  w.Allocate(4, 4);
  uint16_t* cov = w.Coverage(false);
  cov[0] = 300;
  cov[1] = 256;
  cov[2] = 255;
  cov[3] = 65535;
  cov[3] += 1;  // 65,536 accumulated is 0
  cov[4] = 65535;
  cov[5] = 1;
  w.effectColor[0] = 17;
  w.effectColorRows[3][9] = 42;
  RasterCanvas c;
  c.LoadFromWorkSet(w.effectColorRows.data(), 4, 4, cov);
  EXPECT_EQ(c.width, 4);
  EXPECT_EQ(std::vector(c.coverage.begin(), c.coverage.begin() + 6), (std::vector<uint8_t>{255, 255, 255, 0, 255, 1}));
  EXPECT_EQ(c.colorRows[0][0], 17);
  EXPECT_EQ(c.colorRows[3][9], 42);

  // The pressed pair is separate.
  EXPECT_EQ(w.Coverage(true)[0], 0);
  EXPECT_NE(w.ColorRows(true), w.ColorRows(false));
}

}  // namespace
