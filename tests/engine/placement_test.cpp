#include <gtest/gtest.h>

#include <array>

#include "document/plaquet_document.h"
#include "raster/engine_context.h"
#include "engine/render_pipeline.h"

namespace {

// A start-up document whose message has been sized by hand.
PlaquetDocument SizedDocument(int mw, int mh, int marginX, int marginY) {
  PlaquetDocument doc = MakeStartUpDocument();
  doc.background().kind = kKindNone;
  doc.bullet().kind = kKindNone;
  PlaquetItem& m = doc.message();
  m.width = mw;
  m.height = mh;
  m.layoutExtra = {marginX, marginY, 2 * marginX, 2 * marginY, 0, 0};
  m.x = 17;  // placement starts the message at 0 whatever it was
  return doc;
}

// An item's box: size and corner radii.
std::array<int32_t, 4> Box(const PlaquetItem& item) {
  return {item.boxParams[0], item.boxParams[1], item.boxParams[2], item.boxParams[3]};
}

TEST(Placement, RoundBoxBackgroundIsSizedFromTheMessageInterior) {
  EngineContext ctx;
  PlaquetDocument doc = SizedDocument(200, 60, 10, 10);
  PlaquetItem& bg = doc.background();
  bg.kind = kKindRoundBox;
  bg.layoutExtra = {2, 2, 4, 4, 0, 0};
  PlaceBackgroundAndBullet(doc, ctx);
  EXPECT_EQ(doc.message().x, 0);
  // trunc(180 * 950 * 0.001) = 171, trunc(40 * 950 * 0.001) = 38; corners 17.1 and 3.8.
  EXPECT_EQ(Box(bg), (std::array{171, 38, 17, 3}));
  EXPECT_EQ(doc.boxParams[0], 171);  // remembered as the fixed size
  EXPECT_EQ(doc.boxParams[1], 38);
  EXPECT_EQ((std::array{bg.width, bg.height, bg.x, bg.y}), (std::array{175, 42, 100 - 87, 30 - 21}));

  // A fixed box now starts from that size.
  bg.kind = kKindFixedRoundBox;
  PlaceBackgroundAndBullet(doc, ctx);
  EXPECT_EQ(Box(bg)[0], 171);
  EXPECT_EQ(Box(bg)[1], 38);
}

TEST(Placement, FixedRoundBoxIsCentredEvenWhenLarger) {
  EngineContext ctx;
  PlaquetDocument doc = SizedDocument(60, 20, 0, 0);
  PlaquetItem& bg = doc.background();
  bg.kind = kKindFixedRoundBox;
  PlaceBackgroundAndBullet(doc, ctx);
  EXPECT_EQ(Box(bg), (std::array{100, 100, 10, 10}));
  EXPECT_EQ((std::array{bg.width, bg.x, bg.y}), (std::array{100, -20, -40}));
  EXPECT_EQ(doc.boxParams[0], 100);
}

TEST(Placement, BulletRoundBoxEndsATenthOfTheHeightLeftOfTheMessage) {
  for (int margin : {0, 2, 7}) {
    EngineContext ctx;
    PlaquetDocument doc = SizedDocument(100, 60, 5, 5);
    PlaquetItem& b = doc.bullet();
    b.kind = kKindRoundBox;
    b.layoutExtra = {margin, margin, 2 * margin, 2 * margin, 0, 0};
    PlaceBackgroundAndBullet(doc, ctx);
    EXPECT_EQ(Box(b), (std::array{30, 30, 15, 15}));
    EXPECT_EQ(b.width, 30 + 2 * margin);
    EXPECT_EQ(b.height, 30 + 2 * margin);
    // The box is drawn at the item's margin: it spans x + margin .. x + margin + 30.
    EXPECT_EQ(b.x + margin + 30, -6) << margin;
    EXPECT_EQ(b.y + margin, 30 - 15) << margin;
  }
}

TEST(Placement, FontBulletTouchesTheMessageAndNoneMovesNothing) {
  EngineContext ctx;
  PlaquetDocument doc = SizedDocument(100, 41, 0, 0);
  PlaquetItem& b = doc.bullet();
  b.kind = kKindFont;
  b.width = 24;
  b.height = 16;
  PlaceBackgroundAndBullet(doc, ctx);
  EXPECT_EQ(b.x, -24);
  EXPECT_EQ(b.y, 20 - 8);

  PlaquetDocument none = SizedDocument(100, 40, 0, 0);
  none.background().x = 5;
  none.bullet().x = 6;
  const auto bgParams = none.background().boxParams;
  PlaceBackgroundAndBullet(none, ctx);
  EXPECT_EQ(none.message().x, 0);
  EXPECT_EQ(none.background().x, 5);
  EXPECT_EQ(none.bullet().x, 6);
  EXPECT_EQ(none.background().boxParams, bgParams);
}

TEST(Placement, StretchedFontTakesTheMessageWidthPerCharacter) {
  EngineContext ctx;
  PlaquetDocument doc = SizedDocument(200, 40, 0, 0);
  PlaquetItem& bg = doc.background();
  bg.text = "abc";
  bg.font.faceName = "Liberation Sans";
  bg.font.width = 9;
  bg.kind = kKindFont;
  PlaceBackgroundAndBullet(doc, ctx);
  EXPECT_EQ(bg.moreInfo[1], 66);  // trunc(200 / 3)
  EXPECT_EQ(bg.font.width, 9);    // "with Font" keeps its own width
  const int plainWidth = bg.width;
  EXPECT_GT(plainWidth, 0);
  EXPECT_EQ(bg.x, 100 - bg.width / 2);

  bg.kind = kKindStretchedFont;
  PlaceBackgroundAndBullet(doc, ctx);
  EXPECT_EQ(bg.font.width, 66);
  EXPECT_GT(bg.width, plainWidth);  // measured with the wider characters

  // No text: nothing to divide by, the font keeps its width.
  bg.text.clear();
  bg.font.width = 12;
  PlaceBackgroundAndBullet(doc, ctx);
  EXPECT_EQ(bg.font.width, 12);
}

}  // namespace
