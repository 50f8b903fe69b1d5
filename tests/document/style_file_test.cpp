#include "document/style_file.h"
#include "document/style_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <tuple>

#include "support/test_support.h"

namespace {

using styletext::Format;
using styletext::Parse;

}  // namespace

TEST(StyleFile, EveryFieldOfEveryTypeRoundTrips) {
  PlaquetStyle style;
  style.backdropKind = kBackdropColour;
  style.backdropColour = -123456;
  style.backdropBitmap = "back ground.bmp";
  for (int t = 0; t < kEffectTypeCount; ++t) {
    EffectRecord r;
    r.type = t;
    for (int i = 0; i < 12; ++i) r.p[i] = (t + 1) * 1000 + i * (i % 2 ? -1 : 1);
    r.fileName = t % 2 ? "tex" + std::to_string(t) + ".bmp" : "";
    style.effects.push_back(r);
  }
  style.effects[0].p[0] = 16777215;
  style.effects[1].p[1] = INT32_MIN;
  style.effects[2].p[11] = INT32_MAX;
  style.effects[3].fileName = std::string(51, 'n');
  const PlaquetStyle back = Parse(Format(style));
  EXPECT_EQ(std::tie(back.effects, back.backdropKind, back.backdropColour, back.backdropBitmap),
            std::tie(style.effects, style.backdropKind, style.backdropColour, style.backdropBitmap));
}

TEST(StyleFile, WrittenLayout) {
  PlaquetStyle style;  // transparent, white, no bitmap
  EXPECT_EQ(Format(style), ";Number of Effect : 0\r\nBackground 1 16777215 \r\nend\r\n");

  style.effects = {{DropShadow, {0, 0, 3, 3, 50, 2}, ""}, {SingleColor, {255, 0, 0, 0, 2}, "wood.bmp"}};
  EXPECT_EQ(Format(style),
            ";Number of Effect : 2\r\n"
            "Background 1 16777215 \r\n"
            "DropShadow 3 3 50 2 0 0 0 0 0 0 0 0\r\n"
            "\r\n"
            "SingleColor 0 0 2 0 255 0 0 0 0 0 0 0\r\n"
            "wood.bmp \r\n"
            "end\r\n");
}

TEST(StyleFile, ReadingFollowsTheLineRules) {
  // LF-only line ends, comments, unknown keys, a name with trailing blanks, an "end" prefix.
  const PlaquetStyle s = Parse(
      ";Number of Effect : 9\n"
      "Background 2 -5\n"
      "; a comment\n"
      "Sparkle 1 2 3\n"
      "OutLine 1 1 2 0 255 0 0 0 0 0 0 0\r\n"
      "stone.bmp   \r\n"
      "CutOut 4 5\n"
      "\n"
      "endless\n"
      "Fog 1 1 1 1 1 1 1 1 1 1 1 1\n");
  ASSERT_EQ(s.effectCount(), 2);
  EXPECT_EQ(s.effects[0], (EffectRecord{OutLine, {255, 0, 1, 1, 2}, "stone.bmp"}));
  EXPECT_EQ(s.effects[1], (EffectRecord{CutOut, {0, 0, 4, 5}, ""}));  // numbers the line lacks are 0
  // The Background line lacked the bitmap: the old (empty) name stays; colour read as written.
  EXPECT_EQ(std::tie(s.backdropKind, s.backdropColour, s.backdropBitmap), std::make_tuple(2, -5, ""));

  PlaquetStyle kept;
  kept.backdropBitmap = "old.bmp";
  std::istringstream in("Background 7\nBackground x 3 new.bmp\n");
  TextLineReader reader(in);
  ParseStyleSection(reader, kept);
  EXPECT_EQ(std::tie(kept.backdropKind, kept.backdropColour, kept.backdropBitmap), std::make_tuple(7, 0xFFFFFF, "old.bmp"));
}

TEST(StyleFile, BadInputIsBounded) {
  // More than 40 effects: the rest are dropped with their name lines (which here look like keys).
  std::string text = ";Number of Effect : 45\r\nBackground 1 0 \r\n";
  for (int i = 0; i < 45; ++i) text += "SingleColor 0 0 2 0 " + std::to_string(i) + "\r\nTile.bmp \r\n";
  PlaquetStyle many = Parse(text);
  ASSERT_EQ(many.effectCount(), kMaxEffects);
  EXPECT_EQ(many.effects[39].p[0], 39);
  for (const EffectRecord& r : many.effects) EXPECT_EQ(r.type, SingleColor);

  // Over-long names are cut; a 1000-character comment line is skipped piece by piece; numbers
  // beyond 32 bits saturate; a missing "end" reads to the end of the input.
  const PlaquetStyle odd = Parse(std::string(1000, ';') + "\nTile 99999999999 -99999999999 12x 5\n" +
                                 std::string(400, 'a') + "\n");
  ASSERT_EQ(odd.effectCount(), 1);  // reading the numbers stopped at "x"
  EXPECT_EQ(odd.effects[0], (EffectRecord{Tile, {0, 0, INT32_MAX, INT32_MIN, 12}, std::string(51, 'a')}));

  // The cut comes before the trim, so a name never ends in a blank and survives a rewrite.
  const PlaquetStyle blank = Parse("Tile\n" + std::string(50, 'c') + " xyz\n");
  EXPECT_EQ(blank.effects.at(0).fileName, std::string(50, 'c'));
  EXPECT_EQ(Parse(Format(blank)).effects, blank.effects);

  // An effect line at the very end has an empty name.
  EXPECT_EQ(Parse("Fog 1").effects.at(0).fileName, "");
}

TEST(StyleFile, FilesAndTheCurrentStyle) {
  testsupport::TempDir dir;
  PlaquetDocument doc = MakeStartUpDocument();
  EffectRecord r = EffectStartRecord(LinearGradient);
  doc.currentStyle.effects = {r};
  doc.currentStyleModified = true;
  const std::string path = dir.file("grad.sty");
  EXPECT_EQ(WriteStyleFile(doc, path), 1);
  EXPECT_FALSE(doc.currentStyleModified);
  EXPECT_EQ(doc.currentStyleFile, path);

  // An unwritable path fails, leaves no file and keeps the style unsaved.
  doc.currentStyleModified = true;
  std::string error;
  EXPECT_EQ(WriteStyleFile(doc, dir.file("no/such/folder.sty"), &error), 0);
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(doc.currentStyleModified);
  EXPECT_EQ(doc.currentStyleFile, path);

  // Reading resets the style first and clears the items' changed flags.
  doc.currentStyle.effects.push_back(EffectStartRecord(Fog));
  doc.styleChanged = {true, true, true};
  ASSERT_TRUE(ReadStyleFile(doc, path));
  EXPECT_EQ(doc.currentStyle.effects, std::vector<EffectRecord>{r});
  EXPECT_EQ(doc.styleChanged, (std::array<bool, 3>{}));

  // A missing file changes nothing and says why.
  EXPECT_FALSE(ReadStyleFile(doc, dir.file("missing.sty"), &error));
  EXPECT_NE(error.find("No such file"), std::string::npos);
  EXPECT_EQ(doc.currentStyleFile, path);
  EXPECT_FALSE(ReadStyleFile(doc, dir.path().string(), &error));
  EXPECT_FALSE(ReadStyleFile(doc, "/dev/zero", &error));  // would never end

  const std::string longName = dir.file(std::string(60, 'L') + ".sty");
  ASSERT_EQ(WriteStyleFile(doc, longName), 1);
  LoadStyleIntoItem(doc, kBulletItem, longName);
  EXPECT_EQ(doc.bullet().styleName, longName.substr(0, kMaxStyleName));
  EXPECT_EQ(doc.bullet().effects, std::vector<EffectRecord>{r});
  // Unchecked: the item takes whatever the current style holds; checked: nothing changes.
  doc.currentStyle.effects.clear();
  LoadStyleIntoItem(doc, kBulletItem, dir.file("gone.sty"));
  EXPECT_EQ(doc.bullet().effectCount(), 0);
  doc.message().effects = {r};
  EXPECT_FALSE(LoadStyleIntoItemChecked(doc, kMessageItem, dir.file("gone.sty"), &error));
  EXPECT_EQ(doc.message().effectCount(), 1);
  EXPECT_FALSE(LoadStyleIntoItemChecked(doc, 9, path, &error));
}

TEST(StyleFile, FileSizeListsAndNames) {
  testsupport::TempDir dir;
  testsupport::WriteFileText(dir.file("empty.sty"), "");
  testsupport::WriteFileText(dir.file("five.sty"), "12345");
  for (auto [path, size] : {std::pair{std::string(), 0u}, {dir.file("none.sty"), 0u}, {dir.file("empty.sty"), 0u},
                            {dir.file("five.sty"), 5u}, {dir.path().string(), 0u}})
    EXPECT_EQ(FileExists(path), size) << path;

  for (const char* name : {"b.sty", "A.sty", "c.STY", "d.plq", "x.styx"})
    testsupport::WriteFileText(dir.file(name), "x");
  std::filesystem::create_directory(dir.path() / "folder.sty");
  const std::vector<std::string> names = ListFilesMatching(dir.path().string() + "/*.sty");
  EXPECT_EQ(names, (std::vector<std::string>{"A.sty", "b.sty", "c.STY", "empty.sty", "five.sty"}));
  EXPECT_EQ(ListFilesMatching(dir.path().string() + "/*.plq"), std::vector<std::string>{"d.plq"});
  EXPECT_TRUE(ListFilesMatching(dir.file("nowhere") + "/*.sty").empty());

  // Re-selection starts at the second entry and wraps round; case is ignored.
  EXPECT_EQ(ReselectIndex(names, ""), 1);
  EXPECT_EQ(ReselectIndex({"only.sty"}, ""), 0);
  EXPECT_EQ(ReselectIndex(names, "a"), 0);
  EXPECT_EQ(ReselectIndex(names, "C.s"), 2);
  EXPECT_EQ(ReselectIndex(names, "zz"), -1);
  EXPECT_EQ(ReselectIndex({}, ""), -1);

  EXPECT_EQ(StyleSaveAsPath("mine"), "mine.sty");
  EXPECT_EQ(StyleSaveAsPath("a.style"), "a.style.sty");
  EXPECT_EQ(StyleSaveAsPath("notes.txt"), "notes.txt");
  EXPECT_EQ(SaveChangesQuestion(""), "Save change to Untitled.sty");
  EXPECT_EQ(SaveChangesQuestion("/data/gold.sty"), "Save change to /data/gold.sty");
}
