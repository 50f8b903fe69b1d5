#include "engine/render_pipeline.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "document/plaquet_document.h"
#include "raster/engine_context.h"
#include "raster/render_error.h"
#include "imaging/dib_image.h"

namespace {

EffectRecord Rec(int type, int32_t colour, int dx = 0, int dy = 0, int p4 = 0, int p5 = 0) {
  return {type, {colour, 0, dx, dy, p4, p5}, ""};
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
    EXPECT_EQ((std::array{ctx.originX, ctx.originY, ctx.imageWidth, ctx.imageHeight, m.x, m.y}),
              (std::array{-100, -30, 300, 100, want, 0})) << align;
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
  ctx.settings.antiAliasing = false;
  doc.previewDirty = true;
  RenderPreview(doc, ctx);
  EXPECT_FALSE(doc.previewDirty);
  const PlaquetItem& m = doc.message();
  EXPECT_GT(m.width, 0);
  EXPECT_EQ(m.width % 4, 0);
  EXPECT_EQ(m.x, 0);
  ASSERT_FALSE(ctx.image.Empty());
  EXPECT_EQ(ctx.image.BitCount(), 24);
  EXPECT_EQ(ctx.image.Width(), m.width);
  EXPECT_EQ(ctx.image.Height(), m.height);
  // Only the page colour and the drawn colour appear: (255 * 255) >> 8 red, and the white page,
  // untouched where the item's coverage is zero.
  std::set<std::tuple<int, int, int>> colours;
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x) colours.insert(Pixel(ctx.image, x, y));
  EXPECT_EQ(colours, (std::set<std::tuple<int, int, int>>{{255, 255, 255}, {0, 0, 254}}));

  // Composing again gives the same picture.
  const std::vector<uint8_t> first = ctx.image.Packed();
  Recompose(doc, ctx);
  EXPECT_EQ(ctx.image.Packed(), first);
}

TEST(RenderPipeline, ContextLimitsRefuseTheWorkAreaBeforeAllocating) {
  PlaquetDocument doc = MessageOnly("Quorbel");
  EngineContext ctx;
  RenderPreview(doc, ctx);
  const int W = ctx.work.workWidth, H = ctx.work.workHeight;
  ASSERT_GT(W * H, 0);

  // The work area at exactly the limits renders the same picture; one pixel less is refused.
  EngineContext exact;
  exact.limits.maxWidth = uint32_t(W);
  exact.limits.maxHeight = uint32_t(H);
  exact.limits.maxPixels = uint64_t(W) * uint64_t(H);
  RenderPreview(doc, exact);
  EXPECT_EQ(exact.image.Packed(), ctx.image.Packed());
  for (int which = 0; which < 4; ++which) {
    EngineContext small;
    small.limits = exact.limits;
    if (which == 0) small.limits.maxWidth -= 1;
    if (which == 1) small.limits.maxHeight -= 1;
    if (which == 2) small.limits.maxPixels -= 1;
    if (which == 3) small.limits.maxBytes = uint64_t(W) * uint64_t(H) * 20;  // a render needs 21
    try {
      RenderPreview(doc, small);
      ADD_FAILURE() << "no error for limit " << which;
    } catch (const RenderError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("work area: picture of " + std::to_string(W) + " x " + std::to_string(H), 0), 0u)
          << e.what();
    }
    EXPECT_TRUE(small.work.glyphMask.empty());
  }
}

TEST(RenderPipeline, PressedPictureHasTheSameSizeAndHalvedOffsets) {
  PlaquetDocument doc = MessageOnly("Hi");
  doc.message().effects = {Rec(SingleColor, 0x0000FF)};
  doc.pressedButton = true;
  EngineContext ctx;
  RenderPreview(doc, ctx);
  // Without offsets the pressed picture is the same picture.
  EXPECT_EQ(ctx.pressedImage.Packed(), ctx.image.Packed());

  doc.message().effects = {Rec(DropShadow, 0x000000, 6, 6, 150, 2), Rec(SingleColor, 0x0000FF)};
  RenderPreview(doc, ctx);
  ASSERT_FALSE(ctx.pressedImage.Empty());
  EXPECT_EQ(ctx.pressedImage.Width(), ctx.image.Width());
  EXPECT_EQ(ctx.pressedImage.Height(), ctx.image.Height());
  EXPECT_NE(ctx.pressedImage.Packed(), ctx.image.Packed());
}

// A picture depends only on the document, the text, the preferences and the seed: what the random
// effects (Random Dot, the fractal templates, Fog, Space) drew in earlier renders of the same
// context must not show, whatever order the strings come in.
TEST(RenderPipeline, RandomEffectsDependOnlyOnTheSeedNotOnEarlierRenders) {
  PlaquetDocument doc = MessageOnly();
  PlaquetItem& m = doc.message();
  // Random Dot keeping 70 %, a gradient, Fog, Fractal(x,y), Space and a shadow.
  m.effects = {{DisturbTemplet, {0, 0, 100, 0, 7, 100, 700}, ""}, Rec(LinearGradient, 0x0000FF, 0, 0, 30, 20),
               Rec(Fog, 0x808080, 1, 1, 0, 200), {DisturbTemplet, {0, 0, 100, 0, 6, 100, 30}, ""},
               Rec(Space, 0, 0, 0, 200, 200), Rec(DropShadow, 0x404040, 3, 3, 100, 3)};
  PlaquetItem& bg = doc.background();
  bg.kind = kKindStretchedFont;
  bg.text = "=====";
  bg.font.faceName = "Liberation Sans";
  bg.effects = {Rec(SingleColor, 0x00C0C0), Rec(Fog, 0x808080, 0, 0, 0, 200)};
  PlaquetItem& b = doc.bullet();
  b.kind = kKindRoundBox;
  b.effects = {Rec(SingleColor, 0x00FF00), Rec(Space, 0, 0, 0, 200, 200)};
  doc.pressedButton = true;

  const std::vector<std::string> texts = {"Fog", "Space 22", "Dots", "Fog"};
  using Pictures = std::pair<std::vector<uint8_t>, std::vector<uint8_t>>;
  auto render = [&](EngineContext& ctx, size_t i) {
    PlaquetDocument d = doc;
    d.message().text = texts[i];
    ctx.seed = uint32_t(100 + i);
    RenderPreview(d, ctx);
    return Pictures{ctx.image.Packed(), ctx.pressedImage.Packed()};
  };
  std::vector<Pictures> fresh;
  for (size_t i = 0; i < texts.size(); ++i) {
    EngineContext ctx(12345);  // the seed set for the render counts, not the one at construction
    fresh.push_back(render(ctx, i));
    ASSERT_FALSE(fresh.back().first.empty());
  }
  EXPECT_FALSE(fresh[0] == fresh[3]) << "the same text with another seed";
  for (const std::vector<size_t>& order : {std::vector<size_t>{0, 1, 2, 3}, {3, 2, 1, 0}, {2, 0, 3, 1, 2, 2}}) {
    EngineContext reused;
    for (size_t i : order) EXPECT_TRUE(render(reused, i) == fresh[i]) << "string " << i;
  }
}

TEST(RenderPipeline, AllNoneGivesEmptyPictures) {
  PlaquetDocument doc = MessageOnly();
  doc.message().kind = kKindNone;
  doc.pressedButton = true;
  EngineContext ctx;
  RenderPreview(doc, ctx);
  EXPECT_EQ(ctx.imageWidth + ctx.imageHeight, 0);
  EXPECT_TRUE(ctx.image.Empty());
  EXPECT_TRUE(ctx.pressedImage.Empty());
  RenderReduced(doc, ctx, 16);
  EXPECT_TRUE(ctx.image.Empty());

  PlaquetDocument empty;
  EngineContext other;
  RenderPreview(empty, other);
  Recompose(empty, other);
}

TEST(RenderPipeline, ReducedPictureKeepsItsColoursWithFillFirst) {
  PlaquetDocument doc = MessageOnly();
  doc.currentStyle.backdropColour = 0x00FF00;  // green gets palette entry 0
  doc.pressedButton = true;
  EngineContext ctx;
  ctx.settings.antiAliasing = false;
  for (int method : {0, 1}) {
    ctx.settings.reduceColorMethod = method;
    RenderPreview(doc, ctx);
    const DibImage truecolour = ctx.image;
    RenderReduced(doc, ctx, 16);
    ASSERT_EQ(ctx.image.BitCount(), 8);
    ASSERT_EQ(ctx.pressedImage.BitCount(), 8);
    ASSERT_EQ(ctx.image.Width(), truecolour.Width());
    const std::vector<uint8_t>& packed = ctx.image.Packed();
    const uint8_t* table = packed.data() + ctx.image.HeaderSize();
    EXPECT_EQ(std::vector(table, table + 3), (std::vector<uint8_t>{0, 255, 0}));  // entry 0, blue first
    // Two colours only: popularity maps every index back to the original pixel; the median cut
    // to the average of the pixel's 5-bit cell.
    const int tolerance = method == 0 ? 0 : 8;
    DibRowTable in(truecolour), out(ctx.image);
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
