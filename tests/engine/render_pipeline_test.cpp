#include "engine/render_pipeline.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <tuple>

#include "document/plaquet_document.h"
#include "raster/engine_context.h"
#include "imaging/dib_image.h"

namespace {

EffectRecord Rec(int type, int32_t colour, int dx = 0, int dy = 0, int p4 = 0, int p5 = 0) {
  EffectRecord r;
  r.type = type;
  r.p[0] = colour;
  r.p[2] = dx;
  r.p[3] = dy;
  r.p[4] = p4;
  r.p[5] = p5;
  return r;
}

PlaquetDocument MessageOnly(const std::string& text = "Quorbel") {
  PlaquetDocument doc = MakeStartUpDocument();
  doc.background().kind = kKindNone;
  doc.bullet().kind = kKindNone;
  PlaquetItem& m = doc.message();
  m.text = text;
  m.font.faceName = "Liberation Sans";
  m.font.height = 24;
  m.font.width = 0;
  m.effects = {Rec(SingleColor, 0x0000FF)};
  return doc;
}

std::tuple<int, int, int> Pixel(const DibImage& image, int x, int y) {
  DibRowTable rows(image);
  const uint8_t* p = rows[y] + x * 3;
  return {p[0], p[1], p[2]};
}

TEST(ComputePage, AlignsTheMessageAndItsBulletAsAGroup) {
  PlaquetDocument doc = MakeStartUpDocument();
  EngineContext ctx;
  PlaquetItem& m = doc.message();
  PlaquetItem& bg = doc.background();
  m.x = 0, m.y = 0, m.width = 100, m.height = 40;
  bg.kind = kKindFixedRoundBox, bg.x = -100, bg.y = -30, bg.width = 300, bg.height = 100;
  doc.bullet().kind = kKindNone;
  for (auto [align, want] : {std::pair{0, -100}, {50, 0}, {100, 100}}) {
    doc.messageAlign = align;
    m.x = 0;
    ComputePage(doc, ctx);
    EXPECT_EQ(ctx.originX, -100);
    EXPECT_EQ(ctx.originY, -30);
    EXPECT_EQ(ctx.imageWidth, 300);
    EXPECT_EQ(ctx.imageHeight, 100);
    EXPECT_EQ(m.x, want) << align;
    EXPECT_EQ(m.y, 0);
  }

  // A round-box bullet 30 wide ending 6 pixels left of the message, no background.
  PlaquetItem& b = doc.bullet();
  bg.kind = kKindNone;
  b.kind = kKindRoundBox;
  for (int align : {0, 50, 100}) {
    doc.messageAlign = align;
    m.x = 0, b.x = -36, b.y = 5, b.width = 30, b.height = 30;
    ComputePage(doc, ctx);
    EXPECT_EQ(ctx.imageWidth, 136);
    EXPECT_EQ(b.x - ctx.originX, 0) << align;   // the bullet starts at the left edge
    EXPECT_EQ(m.x - ctx.originX, 36) << align;  // and the message follows it
  }
  // With a wider background the group moves between the edges.
  bg.kind = kKindFixedRoundBox;
  for (auto [align, left] : {std::pair{0, 0}, {50, 82}, {100, 164}}) {
    doc.messageAlign = align;
    m.x = 0, b.x = -36;
    ComputePage(doc, ctx);
    EXPECT_EQ(b.x - ctx.originX, left) << align;
    EXPECT_LE(m.x + m.width - ctx.originX, ctx.imageWidth);
  }
}

TEST(RenderPipeline, MessageAloneMakesThePicture) {
  PlaquetDocument doc = MessageOnly();
  EngineContext ctx;
  ctx.settings.antiAliasing = 0;
  doc.previewDirty = 1;
  EXPECT_EQ(RenderPreview(doc, ctx), 0);
  EXPECT_EQ(doc.previewDirty, 0);
  const PlaquetItem& m = doc.message();
  EXPECT_GT(m.width, 0);
  EXPECT_EQ(m.width % 4, 0);
  EXPECT_EQ(m.x, 0);
  ASSERT_FALSE(ctx.g_image.Empty());
  EXPECT_EQ(ctx.g_image.BitCount(), 24);
  EXPECT_EQ(ctx.g_image.Width(), m.width);
  EXPECT_EQ(ctx.g_image.Height(), m.height);
  // Only the page colour and the drawn colour appear: (255 * 255) >> 8 red, and the white page,
  // untouched where the item's coverage is zero.
  std::set<std::tuple<int, int, int>> colours;
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x) colours.insert(Pixel(ctx.g_image, x, y));
  EXPECT_EQ(colours, (std::set<std::tuple<int, int, int>>{{255, 255, 255}, {0, 0, 254}}));

  // Composing again gives the same picture.
  const std::vector<uint8_t> first = ctx.g_image.Packed();
  Recompose(doc, ctx);
  EXPECT_EQ(ctx.g_image.Packed(), first);
}

TEST(RenderPipeline, PressedPictureHasTheSameSizeAndHalvedOffsets) {
  PlaquetDocument doc = MessageOnly("Hi");
  doc.message().effects = {Rec(SingleColor, 0x0000FF)};
  doc.pressedButton = 1;
  EngineContext ctx;
  RenderPreview(doc, ctx);
  // Without offsets the pressed picture is the same picture.
  EXPECT_EQ(ctx.g_pressedImage.Packed(), ctx.g_image.Packed());

  doc.message().effects = {Rec(DropShadow, 0x000000, 6, 6, 150, 2), Rec(SingleColor, 0x0000FF)};
  RenderPreview(doc, ctx);
  ASSERT_FALSE(ctx.g_pressedImage.Empty());
  EXPECT_EQ(ctx.g_pressedImage.Width(), ctx.g_image.Width());
  EXPECT_EQ(ctx.g_pressedImage.Height(), ctx.g_image.Height());
  EXPECT_NE(ctx.g_pressedImage.Packed(), ctx.g_image.Packed());
}

TEST(RenderPipeline, FullDocumentRendersReproducibly) {
  auto make = [] {
    PlaquetDocument doc = MessageOnly("Quorbel!");
    PlaquetItem& m = doc.message();
    m.effects = {Rec(LinearGradient, 0x0000FF, 0, 0, 30, 20), Rec(OutLine, 0x000000, 0, 0, 2),
                 Rec(DropShadow, 0x404040, 3, 3, 100, 3)};
    m.effects[0].p[1] = 0xFF8000;
    PlaquetItem& bg = doc.background();
    bg.kind = kKindStretchedFont;
    bg.text = "=====";
    bg.font.faceName = "Liberation Sans";
    bg.effects = {Rec(SingleColor, 0x00C0C0), Rec(Fog, 0x808080, 0, 0, 0, 200)};
    PlaquetItem& b = doc.bullet();
    b.kind = kKindRoundBox;
    b.effects = {Rec(SingleColor, 0x00FF00), Rec(Space, 0, 0, 0, 200, 200)};
    doc.pressedButton = 1;
    return doc;
  };
  PlaquetDocument a = make(), b = make();
  EngineContext ca(5), cb(5);
  RenderPreview(a, ca);
  RenderPreview(b, cb);
  ASSERT_FALSE(ca.g_image.Empty());
  EXPECT_EQ(ca.g_image.Packed(), cb.g_image.Packed());
  EXPECT_EQ(ca.g_pressedImage.Packed(), cb.g_pressedImage.Packed());
  // The bullet sits left of the message inside the picture.
  EXPECT_GE(a.bullet().x - ca.originX, 0);
  EXPECT_LT(a.bullet().x, a.message().x);
}

TEST(RenderPipeline, AllNoneGivesEmptyPictures) {
  PlaquetDocument doc = MessageOnly();
  doc.message().kind = kKindNone;
  doc.pressedButton = 1;
  EngineContext ctx;
  RenderPreview(doc, ctx);
  EXPECT_EQ(ctx.imageWidth, 0);
  EXPECT_EQ(ctx.imageHeight, 0);
  EXPECT_TRUE(ctx.g_image.Empty());
  EXPECT_TRUE(ctx.g_pressedImage.Empty());
  RenderReduced(doc, ctx, 16);
  EXPECT_TRUE(ctx.g_image.Empty());

  PlaquetDocument empty;
  EngineContext other;
  EXPECT_EQ(RenderPreview(empty, other), 0);
  Recompose(empty, other);
}

TEST(RenderPipeline, ReducedPictureKeepsItsColoursWithFillFirst) {
  PlaquetDocument doc = MessageOnly();
  doc.currentStyle.backdropColour = 0x00FF00;  // green gets palette entry 0
  doc.pressedButton = 1;
  EngineContext ctx;
  ctx.settings.antiAliasing = 0;
  for (int method : {0, 1}) {
    ctx.settings.reduceColorMethod = method;
    RenderPreview(doc, ctx);
    const DibImage truecolour = ctx.g_image;
    RenderReduced(doc, ctx, 16);
    ASSERT_EQ(ctx.g_image.BitCount(), 8);
    ASSERT_EQ(ctx.g_pressedImage.BitCount(), 8);
    ASSERT_EQ(ctx.g_image.Width(), truecolour.Width());
    const std::vector<uint8_t>& packed = ctx.g_image.Packed();
    const uint8_t* table = packed.data() + ctx.g_image.HeaderSize();
    EXPECT_EQ(table[0], 0);    // entry 0: blue
    EXPECT_EQ(table[1], 255);  // green
    EXPECT_EQ(table[2], 0);
    // Two colours only: popularity maps every index back to the original pixel; the median cut
    // to the average of the pixel's 5-bit cell.
    const int tolerance = method == 0 ? 0 : 8;
    DibRowTable in(truecolour), out(ctx.g_image);
    for (int y = 0; y < truecolour.Height(); ++y)
      for (int x = 0; x < truecolour.Width(); ++x) {
        const uint8_t* e = table + out[y][x] * 4;
        const uint8_t* p = in[y] + x * 3;
        for (int k = 0; k < 3; ++k)
          ASSERT_LE(std::abs(int(e[k]) - int(p[k])), tolerance) << "method " << method << " at " << x << "," << y;
      }
  }
}

}  // namespace
