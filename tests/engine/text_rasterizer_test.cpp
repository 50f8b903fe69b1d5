#include "engine/text_rasterizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "raster/engine_context.h"
#include "raster/render_error.h"

namespace {

EffectRecord Rec(int32_t type, int32_t dx, int32_t dy, int32_t p4 = 0, int32_t p5 = 0) {
  return {type, {0, 0, dx, dy, p4, p5}, ""};
}

LogFont Font(const std::string& face, int height) {
  LogFont f;
  f.faceName = face;
  f.height = height;
  f.weight = 400;
  return f;
}

// Text offset, extras and work size, in that order.
using Area = std::array<int, 6>;
Area AreaOf(const LayoutOutputs& l) {
  return {l.textOffsetX, l.textOffsetY, l.extraWidth, l.extraHeight, l.workWidth, l.workHeight};
}

void BoxItem(EngineContext& ctx, int w, int h, int ew = 0, int eh = 0, int kind = kKindRoundBox) {
  ctx.in.kind = kind;
  ctx.in.renderText = "box";
  ctx.in.renderBoxParams = {w, h, ew, eh, 0, 0};
}

void TextItem(EngineContext& ctx, const std::string& text, const LogFont& font) {
  ctx.in.kind = kKindFont;
  ctx.in.renderText = text;
  ctx.in.renderFont = font;
}

bool GlyphLit(const EngineContext& ctx, int x, int y) { return ctx.work.glyphRows[size_t(y)][x * 3] != 0; }

// Ink bounding box of the glyph mask: left, top, right, bottom (inclusive); left -1 when blank.
std::array<int, 4> InkBox(const EngineContext& ctx) {
  std::array<int, 4> b{-1, -1, -1, -1};
  for (int y = 0; y < ctx.work.workHeight; ++y)
    for (int x = 0; x < ctx.work.workWidth; ++x)
      if (GlyphLit(ctx, x, y)) {
        if (b[0] < 0 || x < b[0]) b[0] = x;
        if (b[1] < 0) b[1] = y;
        b[2] = std::max(b[2], x);
        b[3] = y;
      }
  return b;
}

// The text drawn by the font layer alone at (0, 0), as a plane.
struct Drawn {
  int w, h;
  std::vector<uint8_t> plane;
  Drawn(EngineContext& ctx, int w_, int h_) : w(w_), h(h_), plane(size_t(w_) * h_) {
    std::vector<uint8_t*> rows;
    for (int y = 0; y < h; ++y) rows.push_back(plane.data() + size_t(y) * w);
    ctx.fonts.DrawText(ctx.in.renderFont, ctx.in.renderText, 0, 0, w, h, rows.data(), w, h, 1);
  }
  bool lit(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && plane[size_t(y) * w + x]; }
};

TEST(TextRasterizer, EffectRoomAndExtensionGiveOffsetsAndExtras) {
  EngineContext ctx;
  BoxItem(ctx, 100, 50);
  const LayoutOutputs& l = ctx.layout;

  // The minimum offset 0 stays 0; extras 5 + 3 - 1; 110 x 60 rounded down.
  ctx.in.effects = {Rec(DropShadow, 5, 5, 0, 3)};
  ComputeWorkArea(ctx);
  EXPECT_EQ(AreaOf(l), (Area{0, 0, 7, 7, 108, 60}));
  EXPECT_EQ(l.unroundedWidth, 110);
  EXPECT_EQ(l.unroundedHeight, 60);
  ctx.in.effects = {Rec(OutLine, 0, 0, 4)};
  ComputeWorkArea(ctx);
  EXPECT_EQ(AreaOf(l), (Area{4, 4, 8, 8, 108, 60}));  // 111 x 61 rounded down

  // Radii from a file are drawn clamped to 50 (0 when negative); the room takes the same values.
  struct RadiusCase {
    EffectRecord record;
    int offset, extra;
  };
  for (const RadiusCase& c : {RadiusCase{Rec(OutLine, 0, 0, 5000), 50, 100},
                              RadiusCase{Rec(OutLine, 0, 0, -7), 0, 0},
                              RadiusCase{Rec(DropShadow, 0, 0, 0, 400), 49, 98}}) {
    ctx.in.effects = {c.record};
    ComputeWorkArea(ctx);
    EXPECT_EQ(l.textOffsetX, c.offset) << c.record.type;
    EXPECT_EQ(l.extraWidth, c.extra) << c.record.type;
    EXPECT_EQ(l.extraHeight, c.extra) << c.record.type;
  }

  for (int dy : {-10, 10}) {
    ctx.in.effects = {Rec(StarFilter, 0, dy)};
    ComputeWorkArea(ctx);
    EXPECT_EQ(AreaOf(l), (Area{3, 0, 6, 13, 108, 64})) << dy;  // |dy| + 3
  }

  // Several effects and the extension sliders: Draw at (-6, 3), a shadow box -1..5 x -4..2,
  // and a Tile whose offsets take no room.
  ctx.in.effects = {Rec(SingleColor, -6, 3), Rec(DropShadow, 2, -1, 0, 4), Rec(Tile, 50, 50),
                    Rec(CutOut, -40, -40)};
  ctx.in.extensionX = 10;
  ctx.in.extensionY = -2;
  ComputeWorkArea(ctx);
  EXPECT_EQ(AreaOf(l), (Area{16, 2, 31, 3, 132, 56}));

  // An empty text keeps the extras of the previous call: (31 + 4) and (3 + 4) rounded down.
  ctx.in.renderText.clear();
  ComputeWorkArea(ctx);
  EXPECT_EQ(AreaOf(l), (Area{0, 0, 31, 3, 32, 4}));

  // "None" has no area; a picture shrunk past nothing is empty rather than negative.
  BoxItem(ctx, 100, 50, 0, 0, kKindNone);
  ComputeWorkArea(ctx);
  EXPECT_EQ(l.workWidth + l.workHeight, 0);
  BoxItem(ctx, 20, 20);
  ctx.in.effects.clear();
  ctx.in.extensionX = ctx.in.extensionY = -100;
  ComputeWorkArea(ctx);
  EXPECT_EQ(l.workWidth + l.workHeight, 0);
  EXPECT_NO_THROW(RasterizeItem(ctx));
}

TEST(TextRasterizer, RoundBoxesAreDrawnAtTheTextOffset) {
  EngineContext ctx;
  BoxItem(ctx, 30, 20);
  ctx.in.effects = {Rec(OutLine, 0, 0, 4)};
  ctx.work.glyphChanged = false;
  RasterizeItem(ctx);
  EXPECT_TRUE(ctx.work.glyphChanged);
  ASSERT_EQ(ctx.work.workWidth, 40);  // 8 + 30 + 3 rounded down
  ASSERT_EQ(ctx.work.workHeight, 28);
  const auto box = InkBox(ctx);
  EXPECT_EQ(box, (std::array<int, 4>{4, 4, 33, 23}));
  for (int y = 4; y <= 23; ++y)
    for (int x = 4; x <= 33; ++x) ASSERT_TRUE(GlyphLit(ctx, x, y));
  EXPECT_EQ(ctx.work.glyphMaskCopy, ctx.work.glyphMask);
  EXPECT_EQ(ctx.work.edgeRows[4][10], 255);
  EXPECT_EQ(ctx.work.edgeRows[10][10], 0);
  EXPECT_EQ(ctx.work.edgeRows[10][33], 255);
  for (uint16_t c : ctx.work.effectCoverage) ASSERT_EQ(c, 0);
  for (uint8_t c : ctx.work.effectColor) ASSERT_EQ(c, 0);

  // A fixed round box with round corners: the box's corner pixels stay dark.
  BoxItem(ctx, 30, 20, 12, 12, kKindFixedRoundBox);
  RasterizeItem(ctx);
  EXPECT_EQ(InkBox(ctx), (std::array<int, 4>{4, 4, 33, 23}));
  EXPECT_FALSE(GlyphLit(ctx, 4, 4));
  EXPECT_FALSE(GlyphLit(ctx, 33, 23));
  EXPECT_TRUE(GlyphLit(ctx, 18, 4));

  // A box of negative size draws nothing.
  BoxItem(ctx, -30, 20);
  ctx.in.effects.clear();
  ctx.in.extensionX = 50;
  RasterizeItem(ctx);
  EXPECT_EQ(ctx.work.workWidth, 100 - 30 + 3 - 1);
  EXPECT_EQ(InkBox(ctx)[0], -1);
}

TEST(TextRasterizer, ClipBlankCropsToTheInkWithOneBlankRowAbove) {
  EngineContext ctx;
  ctx.settings.clipBlank = true;
  for (const std::string text : {"Hi!", "A\r\nq", "  _j  "}) {
    SCOPED_TRACE(text);
    TextItem(ctx, text, Font("Liberation Sans", -40));
    ctx.in.effects = {Rec(OutLine, 0, 0, 4)};
    ctx.in.extensionX = ctx.in.extensionY = 3;
    RasterizeItem(ctx);
    const LayoutOutputs& l = ctx.layout;
    EXPECT_EQ(l.textOffsetX, 7);
    EXPECT_EQ(l.textOffsetY, 7);
    const int boxW = l.unroundedWidth - l.extraWidth - 3, boxH = l.unroundedHeight - l.extraHeight - 3;
    const auto ink = InkBox(ctx);
    EXPECT_EQ(ink[0], l.textOffsetX);      // leftmost ink column
    EXPECT_EQ(ink[1], l.textOffsetY + 1);  // topmost ink row
    EXPECT_EQ(ink[2], l.textOffsetX + boxW - 1);
    EXPECT_EQ(ink[3], l.textOffsetY + boxH - 1);  // none kept below
    EXPECT_LE(ink[2], ctx.work.workWidth - 1 - 4);  // the outline's room is still to the right

    // The same shape the font layer draws, moved by the crop.
    const platform::TextExtent e = ctx.fonts.MeasureText(ctx.in.renderFont, text);
    const Drawn d(ctx, (e.width + 3) / 4 * 4, (e.height + 3) / 4 * 4);
    for (int y = 0; y < ctx.work.workHeight; ++y)
      for (int x = 0; x < ctx.work.workWidth; ++x)
        ASSERT_EQ(GlyphLit(ctx, x, y), d.lit(x - l.textOffsetX + l.clipShiftX, y - l.textOffsetY + l.clipShiftY))
            << x << "," << y;
  }
}

TEST(TextRasterizer, WithoutClipBlankTheBoxIsTheRoundedExtentPlusOneRow) {
  EngineContext ctx;
  ctx.settings.clipBlank = false;
  for (const std::string text : {"Hi!", "two\r\nlines", "W"}) {
    SCOPED_TRACE(text);
    TextItem(ctx, text, Font("DejaVu Sans", 27));
    ctx.in.effects = {Rec(DropShadow, 6, 2, 0, 3)};
    RasterizeItem(ctx);
    const LayoutOutputs& l = ctx.layout;
    const platform::TextExtent e = ctx.fonts.MeasureText(ctx.in.renderFont, text);
    EXPECT_EQ(l.clipShiftX, 0);
    EXPECT_EQ(l.clipShiftY, 0);
    EXPECT_EQ(l.unroundedWidth - l.extraWidth - 3, (e.width + 3) / 4 * 4);
    EXPECT_EQ(l.unroundedHeight - l.extraHeight - 3, (e.height + 3) / 4 * 4 + 1);
    EXPECT_EQ(ctx.work.workWidth % 4, 0);
    EXPECT_EQ(ctx.work.workHeight % 4, 0);
    const Drawn d(ctx, ctx.work.workWidth, ctx.work.workHeight);
    int ink = 0;
    for (int y = 0; y < ctx.work.workHeight; ++y)
      for (int x = 0; x < ctx.work.workWidth; ++x) {
        ink += GlyphLit(ctx, x, y);
        ASSERT_EQ(GlyphLit(ctx, x, y), d.lit(x - l.textOffsetX, y - l.textOffsetY)) << x << "," << y;
      }
    EXPECT_GT(ink, 30);
  }
  // Two lines are two line heights; a long line is never wrapped.
  TextItem(ctx, "ab\r\ncd", Font("DejaVu Sans", 27));
  MeasureText(ctx);
  EXPECT_EQ(ctx.layout.workHeight, (2 * 27 + 3) / 4 * 4);
  TextItem(ctx, std::string(120, 'm'), Font("DejaVu Sans", 27));
  MeasureText(ctx);
  EXPECT_EQ(ctx.layout.workHeight, 28);
  EXPECT_GT(ctx.layout.workWidth, 120 * 10);
}

TEST(TextRasterizer, BlankTextAndOversizedFonts) {
  EngineContext ctx;
  ctx.settings.clipBlank = true;
  TextItem(ctx, "   ", Font("Liberation Sans", -30));
  ctx.in.effects = {Rec(OutLine, 0, 0, 5)};
  RasterizeItem(ctx);
  EXPECT_EQ(ctx.layout.workWidth, 12);  // the size an empty text gets: (10 + 4) rounded down
  EXPECT_EQ(ctx.layout.workHeight, 12);
  EXPECT_EQ(InkBox(ctx)[0], -1);
  ctx.settings.clipBlank = false;
  RasterizeItem(ctx);
  EXPECT_GT(ctx.layout.workWidth, 12);  // uncropped, blanks have width
  EXPECT_EQ(InkBox(ctx)[0], -1);

  // A font from a damaged file that no work area could hold fails the render clearly.
  for (int clip : {0, 1}) {
    ctx.settings.clipBlank = clip;
    TextItem(ctx, "WWWWWWWW", Font("Liberation Sans", 30000));
    try {
      RasterizeItem(ctx);
      ADD_FAILURE() << "no error for clipBlank " << clip;
    } catch (const RenderError& e) {
      EXPECT_NE(std::string(e.what()).find("larger than the limit"), std::string::npos) << e.what();
    }
  }
}

TEST(TextRasterizer, MeasureTextGivesTheBareRoundedSize) {
  EngineContext ctx;
  ctx.in.extensionX = 6;
  ctx.in.extensionY = 9;
  ctx.in.effects = {Rec(OutLine, 0, 0, 10)};  // effects take no part in measuring
  TextItem(ctx, "Quorbel", Font("Liberation Serif", 37));
  MeasureText(ctx);
  const platform::TextExtent e = ctx.fonts.MeasureText(ctx.in.renderFont, "Quorbel");
  EXPECT_EQ(ctx.layout.textOffsetX, 6);
  EXPECT_EQ(ctx.layout.textOffsetY, 9);
  EXPECT_EQ(ctx.layout.workWidth, (e.width + 3) / 4 * 4);
  EXPECT_EQ(ctx.layout.workHeight, 40);
  for (auto [kind, w, h] : {std::array<int, 3>{kKindRoundBox, 104, 52}, {kKindFixedRoundBox, 104, 52}, {kKindNone, 0, 0}}) {
    BoxItem(ctx, 101, 50, 0, 0, kind);
    MeasureText(ctx);
    EXPECT_EQ(ctx.layout.workWidth, w) << kind;
    EXPECT_EQ(ctx.layout.workHeight, h) << kind;
  }

  // A text of just "&" is sized from the extras, like an empty one.
  ctx.layout.extraWidth = 9;
  ctx.layout.extraHeight = 2;
  for (const char* t : {"&", ""}) {
    TextItem(ctx, t, Font("Liberation Serif", 37));
    MeasureText(ctx);
    EXPECT_EQ(ctx.layout.workWidth, 12) << t;
    EXPECT_EQ(ctx.layout.workHeight, 4) << t;
  }
}

}  // namespace
