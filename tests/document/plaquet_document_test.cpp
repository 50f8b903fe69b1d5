#include "document/plaquet_document.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {
EffectRecord Rec(int type, int32_t colour, int32_t fillKind = 0) {
  EffectRecord r = EffectStartRecord(type);
  r.p[0] = colour;
  r.p[4] = fillKind;
  return r;
}
}  // namespace

TEST(PlaquetDocument, StartUpState) {
  const PlaquetDocument doc = MakeStartUpDocument();
  ASSERT_EQ(doc.itemCount(), 3);
  struct Want {
    int32_t kind;
    const char* text;
    const char* styleName;
    int32_t x;
  };
  const Want want[3] = {{kKindNone, "a", "test1.sty", 0},
                        {kKindNone, "a", "test1.sty", -20},
                        {0, "Quorbel!", "ttt.sty", 0}};
  for (int i = 0; i < 3; ++i) {
    const PlaquetItem& item = doc.items[i];
    EXPECT_EQ(std::tie(item.kind, item.text, item.styleName, item.x), std::tie(want[i].kind, want[i].text, want[i].styleName, want[i].x));
    EXPECT_EQ(item.font, StartFont());
    EXPECT_EQ(item.effectCount(), 0);
  }
  EXPECT_EQ(StartFont().faceName, "Arial");
  EXPECT_EQ(doc.backdropKind, 0);
  EXPECT_EQ(doc.currentStyle.backdropKind, kBackdropTransparent);
  EXPECT_EQ(doc.currentStyle.backdropColour, 0xFFFFFF);
}

TEST(PlaquetDocument, AppendingPastSixItemsIsRefused) {
  PlaquetDocument doc = MakeStartUpDocument();
  PlaquetItem extra;
  extra.text = "x";
  for (int i = 0; i < 3; ++i) EXPECT_EQ(doc.AppendItem(extra), 0);
  EXPECT_EQ(doc.itemCount(), 6);
  extra.text = "seventh";
  EXPECT_EQ(doc.AppendItem(extra), -1);
  EXPECT_EQ(doc.itemCount(), 6);
  EXPECT_EQ(doc.items.back().text, "x");
}

TEST(PlaquetDocument, MainColourSearchesBackwardsForThePaintRecord) {
  PlaquetDocument doc = MakeStartUpDocument();
  PlaquetItem& msg = doc.message();
  EXPECT_EQ(doc.MainColour(kMessageItem), -2);
  msg.effects = {Rec(SingleColor, 0x112233, 2), Rec(ThreeDSingleColor, 0x445566),
                 Rec(DropShadow, 0x777777)};
  EXPECT_EQ(doc.MainColour(kMessageItem), 0x445566);
  // A tiled-bitmap Draw after the 3D record is the one found, and it is not a colour.
  msg.effects.push_back(Rec(SingleColor, 0x000099, 4));
  EXPECT_EQ(doc.MainColour(kMessageItem), -1);
  msg.effects.back().p[4] = 0;  // start value: a single colour
  EXPECT_EQ(doc.MainColour(kMessageItem), 0x000099);

  doc.SetMainColour(kMessageItem, 0x00ABCD);
  EXPECT_EQ(msg.effects[3].p[0], 0x00ABCD);
  EXPECT_EQ(msg.effects[1].p[0], 0x445566);
  msg.effects.pop_back();
  doc.SetMainColour(kMessageItem, 0x010101);
  EXPECT_EQ(msg.effects[1].p[0], 0x010101);

  // The texture goes to the last Draw record only, never a 3D one, and is cut at 51.
  doc.SetMainTexture(kMessageItem, std::string(60, 't'));
  EXPECT_EQ(msg.effects[0].fileName, std::string(51, 't'));
  EXPECT_TRUE(msg.effects[1].fileName.empty());
  doc.SetMainColour(kBulletItem, 5);  // no records: nothing happens
  doc.SetMainTexture(kBulletItem, "x.bmp");
  EXPECT_EQ(doc.bullet().effectCount(), 0);
  EXPECT_EQ(doc.MainColour(17), -2);
}

TEST(PlaquetDocument, NewKeepsFontsAndTemplatesButEmptiesStyles) {
  PlaquetDocument doc = MakeStartUpDocument();
  doc.background().font.faceName = "Courier New";
  doc.bullet().font.height = 44;
  doc.message().font.weight = 700;
  doc.message().font.faceName = "Times";
  doc.message().font.height = 31;
  for (PlaquetItem& item : doc.items) item.effects = {Rec(SingleColor, 1)};
  doc.background().kind = kKindRoundBox;
  doc.message().text = "Hello";
  doc.effectTemplates[0].p[4] = 123;
  doc.extensionX = 7;
  doc.documentPath = "/tmp/x.plq";
  doc.documentModified = true;
  doc.styleFile[2] = "a.sty";
  doc.backdropColour = 0;
  doc.currentStyle.backdropColour = 0;
  doc.currentStyle.backdropKind = kBackdropColour;

  doc.NewDocumentDefaults();
  EXPECT_EQ(doc.background().font.faceName, "Courier New");
  EXPECT_EQ(doc.bullet().font.height, 44);
  EXPECT_EQ(doc.message().font.weight, 700);
  EXPECT_EQ(doc.message().font.faceName, "Arial");
  EXPECT_EQ(doc.message().font.height, 20);
  EXPECT_EQ(doc.background().kind, kKindNone);
  EXPECT_EQ(doc.message().text, "Quorbel!");
  for (const PlaquetItem& item : doc.items) {
    EXPECT_EQ(item.effectCount(), 0);
    EXPECT_TRUE(item.styleName.empty());
  }
  EXPECT_EQ(doc.effectTemplates[0].p[4], 123);
  EXPECT_EQ(doc.extensionX, 7);
  EXPECT_TRUE(doc.documentPath.empty());
  EXPECT_FALSE(doc.documentModified);
  EXPECT_TRUE(doc.styleFile[2].empty());
  EXPECT_EQ(doc.backdropColour, 0xFFFFFF);
  EXPECT_EQ(doc.currentStyle.backdropColour, 0xFFFFFF);
  EXPECT_EQ(doc.currentStyle.backdropKind, kBackdropColour);
}
