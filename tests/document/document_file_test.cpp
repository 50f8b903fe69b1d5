#include "document/document_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <tuple>

#include "support/test_support.h"

namespace {

// A document in which every stored field differs from the start values.
PlaquetDocument Decorated() {
  PlaquetDocument doc = MakeStartUpDocument();
  doc.background().kind = kKindStretchedFont;
  doc.background().text = "";
  doc.bullet().kind = kKindRoundBox;
  doc.bullet().text = std::string(kMaxText, 'b');
  doc.message().text = "Hello\r\nWorld";
  int n = 0;
  for (PlaquetItem& item : doc.items) {
    ++n;
    item.font = LogFont{};
    item.font.height = -30 - n;
    item.font.width = 11 + n;
    item.font.weight = 700;
    item.font.italic = 1;
    item.font.charSet = 128;
    item.font.outPrecision = 3;
    item.font.quality = 2;
    item.font.pitchAndFamily = 34;
    item.font.faceName = "Face " + std::to_string(n);
    item.moreInfo = {100 * n, -n};
    EffectRecord r = EffectStartRecord(n == 1 ? Fog : n == 2 ? SingleColor : StarFilter);
    r.p[0] = 0x123456 * n;
    r.fileName = n == 2 ? "wood.bmp" : "";
    item.effects = {r, EffectStartRecord(DropShadow)};
  }
  doc.extensionX = 12;
  doc.extensionY = -4;
  doc.boxParams = {1, 2, 3, 4, 5, 6};
  doc.backdropKind = kBackdropColour;
  doc.backdropColour = 0x00FF00;
  doc.backdropBitmap = "paper.bmp";
  doc.documentModified = true;
  return doc;
}

PlaquetDocument ReadText(const std::string& text, PlaquetDocument doc = MakeStartUpDocument()) {
  std::istringstream in(text);
  TextLineReader reader(in);
  EXPECT_TRUE(ReadDocumentFrom(doc, reader));
  return doc;
}

const char* kItemHead = ";save draw plaquet list\r\ntype 0\r\n";

}  // namespace

TEST(DocumentFile, EveryStoredFieldRoundTrips) {
  testsupport::TempDir dir;
  PlaquetDocument doc = Decorated();
  ASSERT_EQ(WriteDocument(doc, dir.file("card")), 0);
  EXPECT_EQ(doc.documentPath, dir.file("card.plq"));
  EXPECT_FALSE(doc.documentModified);
  EXPECT_EQ(doc.background().extension, (std::array<int32_t, 2>{12, -4}));

  PlaquetDocument back = MakeStartUpDocument();
  back.documentModified = true;
  back.styleChanged = {true, true, true};
  ASSERT_EQ(ReadDocument(back, dir.file("card.plq")), 0);
  const PlaquetDocument want = Decorated();
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.items[i].kind, want.items[i].kind);
    EXPECT_EQ(back.items[i].text, want.items[i].text);
    EXPECT_EQ(back.items[i].font, want.items[i].font);
    EXPECT_EQ(back.items[i].moreInfo, want.items[i].moreInfo);
    EXPECT_EQ(back.items[i].effects, want.items[i].effects);
    EXPECT_TRUE(back.items[i].styleName.empty());
  }
  EXPECT_EQ(std::tie(back.extensionX, back.extensionY, back.boxParams, back.backdropKind, back.backdropColour,
                     back.backdropBitmap),
            std::tie(want.extensionX, want.extensionY, want.boxParams, want.backdropKind, want.backdropColour,
                     want.backdropBitmap));
  EXPECT_EQ(back.currentStyle.backdropKind, kBackdropColour);
  EXPECT_EQ(back.currentStyle.backdropBitmap, "paper.bmp");
  EXPECT_EQ(back.documentPath, dir.file("card.plq"));
  EXPECT_FALSE(back.documentModified);
  EXPECT_FALSE(back.previewDirty);
  EXPECT_EQ(back.styleChanged, (std::array<bool, 3>{}));
}

TEST(DocumentFile, WrittenItemSection) {
  PlaquetDocument doc = MakeStartUpDocument();
  doc.message().text = "two\r\nlines";
  doc.message().font.weight = 400;
  std::string out;
  WriteDocumentTo(doc, out);
  const std::string message =
      std::string(kItemHead) +
      "message\r\ntwo\r\nlines\r\n<br>\r\n"
      "param 950 950 100 100 100 100\r\n"
      "font 20 10 400 0 0 0 0 0\r\nArial\r\n"
      "fmoreinfo 0 0\r\nextention 0 0\r\n"
      "Background 0 16777215 \r\nend\r\n"
      ";Number of Effect : 0\r\nBackground 1 16777215 \r\nend\r\n";
  ASSERT_GE(out.size(), message.size());
  EXPECT_EQ(out.substr(out.size() - message.size()), message);
  // The background item (None, text "a") comes first.
  const std::string head = ";save draw plaquet list\r\ntype 2\r\nmessage\r\na\r\n<br>\r\nparam";
  EXPECT_EQ(out.substr(0, head.size()), head);

  doc.message().text = "";
  out.clear();
  WriteDocumentTo(doc, out);
  EXPECT_NE(out.find("type 0\r\nmessage\r\n\r\n<br>\r\n"), std::string::npos);
  EXPECT_EQ(ReadText(out).message().text, "");
}

TEST(DocumentFile, ExtensionRule) {
  for (auto [in, out] : {std::pair{"card", "card.plq"}, {"card.txt", "card.plq"}, {"card.plq", "card.plq"},
                         {"card.jpeg", "card.jpeg.plq"}, {"a.b", "a.b.plq"}, {".abc", ".plq"}})
    EXPECT_EQ(DocumentFilePath(in), out) << in;
}

TEST(DocumentFile, ParamFontAndBackdropLines) {
  const std::string text = std::string(kItemHead) +
                           "param -5 10 20 30 40 50\n"
                           "font 20 10 700 1 0 3 2 34\nArial\n"
                           "Background 2 255 sky.bmp\n"
                           "end\n"
                           ";Number of Effect : 0\nBackground 1 0 other.bmp\nend\n";
  PlaquetDocument start = MakeStartUpDocument();
  start.background().font.underline = 1;
  start.background().font.escapement = 900;
  const PlaquetDocument doc = ReadText(text, start);
  EXPECT_EQ(doc.boxParams, (std::array<int32_t, 6>{40, 50, 0, 10, 20, 30}));
  // Fields the line does not hold (underline, escapement) are cleared.
  EXPECT_EQ(doc.background().font, (LogFont{.height = 20, .width = 10, .weight = 700, .italic = 1, .outPrecision = 3,
                                            .quality = 2, .pitchAndFamily = 34, .faceName = "Arial"}));
  // The item lines' backdrop wins over the style section's own Background line.
  EXPECT_EQ(std::tie(doc.currentStyle.backdropKind, doc.currentStyle.backdropColour, doc.currentStyle.backdropBitmap),
            std::make_tuple(2, 255, "sky.bmp"));
}

TEST(DocumentFile, TruncatedFilesReadWhatIsThere) {
  PlaquetDocument start = MakeStartUpDocument();
  start.bullet().text = "kept";
  start.bullet().font.faceName = "Kept Face";
  start.message().effects = {EffectStartRecord(Fog)};
  // Only the background section, and its style section has no "end".
  const PlaquetDocument doc = ReadText(std::string(kItemHead) +
                                           "message\nbg\n<br>\nend\n;Number of Effect : 1\n"
                                           "Background 1 0 \nTile 0 0 0 0 0 0 0 0 0 0 0 0\nx.bmp\n",
                                       start);
  EXPECT_EQ(doc.background().text, "bg");
  ASSERT_EQ(doc.background().effectCount(), 1);
  EXPECT_EQ(doc.background().effects[0].fileName, "x.bmp");
  EXPECT_EQ(doc.bullet().text, "kept");
  EXPECT_EQ(doc.bullet().font.faceName, "Kept Face");
  EXPECT_EQ(doc.bullet().effectCount(), 0);
  EXPECT_EQ(doc.message().effectCount(), 0);

  // Cut inside the message block: the text runs to the end of the file.
  EXPECT_EQ(ReadText(std::string(kItemHead) + "message\none\ntwo").background().text,
            "one\r\ntwo");
  // A message longer than the bound is cut, without half a line break at the cut.
  const std::string longText = std::string(kItemHead) + "message\n" + std::string(298, 'm') +
                               "\nnext\n<br>\nfont 9\n";
  const PlaquetDocument cut = ReadText(longText);
  EXPECT_EQ(cut.background().text, std::string(298, 'm'));
  EXPECT_EQ(cut.background().font.height, 9);
  EXPECT_EQ(cut.background().font.faceName, "");  // the font line had no face line after it
}

TEST(DocumentFile, FailuresChangeNothing) {
  testsupport::TempDir dir;
  PlaquetDocument doc = Decorated();
  const PlaquetDocument before = doc;
  std::string error;
  EXPECT_EQ(WriteDocument(doc, dir.file("no/folder/x"), &error), -1);
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(doc.documentModified);
  EXPECT_TRUE(doc.documentPath.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

  EXPECT_EQ(ReadDocument(doc, dir.file("missing.plq"), &error), -1);
  EXPECT_FALSE(ReadDocumentFileChecked(doc, dir.file("missing.plq"), &error));

  // Without the marker the program's read "succeeds" but changes nothing; the checked read says so.
  testsupport::WriteFileText(dir.file("style.plq"), ";Number of Effect : 0\r\nend\r\n");
  testsupport::WriteFileText(dir.file("empty.plq"), "");
  for (const char* name : {"style.plq", "empty.plq"}) {
    error.clear();
    EXPECT_EQ(ReadDocument(doc, dir.file(name)), 0);
    EXPECT_FALSE(ReadDocumentFileChecked(doc, dir.file(name), &error));
    EXPECT_NE(error.find("not a Quorbel document"), std::string::npos);
  }
  EXPECT_EQ(doc.message().text, before.message().text);
  EXPECT_EQ(doc.message().effects, before.message().effects);
  EXPECT_TRUE(doc.documentPath.empty());

  ASSERT_EQ(WriteDocument(doc, dir.file("ok.plq")), 0);
  PlaquetDocument other = MakeStartUpDocument();
  EXPECT_TRUE(ReadDocumentFileChecked(other, dir.file("ok.plq"), &error));
  EXPECT_EQ(other.message().text, "Hello\r\nWorld");
}
