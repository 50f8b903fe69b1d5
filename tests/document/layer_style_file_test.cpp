// The layer-style kinds in style sections: one ';' line each, which readers that do not know them
// skip as a comment.
#include <gtest/gtest.h>

#include <sstream>

#include "document/style_file.h"
#include "document/style_text.h"

namespace {

using styletext::Format;
using styletext::Parse;

// What a reader of the older rules keeps: the same text with every ';' line taken out.
std::string WithoutCommentLines(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line))
    if (line.empty() || line[0] != ';') out += line + "\n";
  return out;
}

EffectRecord Record(int type, std::array<int32_t, 12> p, std::string fileName = "") {
  EffectRecord r;
  r.type = type;
  r.p = p;
  r.fileName = std::move(fileName);
  return r;
}

}  // namespace

TEST(LayerStyleFile, NewKindsTakeOneCommentLineInListOrder) {
  PlaquetStyle style;
  style.effects = {Record(OuterGlow, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
                   Record(DropShadow, {0, 0, 3, 3, 50, 2, 0, 0, 0, 0, 0, 0}),
                   Record(Stroke, {0xFF, 0, 0, 0, 1, 3, 2, 0, 0, 0, 0, -7}, "wood grain.bmp")};
  const std::string text = Format(style);
  EXPECT_EQ(text,
            ";Number of Effect : 3\r\n"
            "Background 1 16777215 \r\n"
            ";OuterGlow 3 4 5 6 1 2 7 8 9 10 11 12\r\n"
            "DropShadow 3 3 50 2 0 0 0 0 0 0 0 0\r\n"
            "\r\n"
            ";Stroke 0 0 1 3 255 0 2 0 0 0 0 -7 wood grain.bmp\r\n"
            "end\r\n");
  EXPECT_EQ(Parse(text).effects, style.effects);

  // The older rules see the old record alone, with its name line, and nothing else.
  const PlaquetStyle old = Parse(WithoutCommentLines(text));
  ASSERT_EQ(old.effectCount(), 1);
  EXPECT_EQ(old.effects[0], style.effects[1]);
}

TEST(LayerStyleFile, ReadingKeepsOtherCommentsAndBareKeysOut) {
  const PlaquetStyle s = Parse(
      ";Number of Effect : 3\n"
      ";Satin 1 2\n"                  // missing numbers are 0
      ";SatinX 1 2 3\n"               // another word: a comment
      ";Blend multiply 50\n"          // the blend of the record before it
      "InnerGlow 1 2 3\n"             // bare key of a new kind: skipped like an unknown key
      "SingleColor 0 0 2 0 255\n"     // ... and does not swallow the next line
      "\n"
      ";InnerShadow\t4 5 6 7 8 9 10 11 12 13 14 15   pic.bmp  \n"
      ";GradientOverlay 1 2 3 4 5 6 7 8 9 10 11 12 13\n"  // a thirteenth number is a name
      "end\n"
      ";OuterGlow 1\n");
  ASSERT_EQ(s.effectCount(), 4);
  EffectRecord satin = Record(Satin, {0, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0});
  satin.blendMode = BlendMultiply;
  satin.opacity = 50;
  EXPECT_EQ(s.effects[0], satin);
  EXPECT_EQ(s.effects[1], Record(SingleColor, {255, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(s.effects[2], Record(InnerShadow, {8, 9, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15}, "pic.bmp"));
  EXPECT_EQ(s.effects[3], Record(GradientOverlay, {5, 6, 1, 2, 3, 4, 7, 8, 9, 10, 11, 12}, "13"));
}

TEST(LayerStyleFile, NamesAreCutAndTrimmedAsOnTwoLines) {
  PlaquetStyle style;
  style.effects = {Record(Stroke, {}, "  " + std::string(60, 'x')), Record(Stroke, {}, "a\nb")};
  const PlaquetStyle back = Parse(Format(style));
  ASSERT_EQ(back.effectCount(), 2);
  EXPECT_EQ(back.effects[0].fileName, std::string(49, 'x'));  // 51 characters with the blanks
  EXPECT_EQ(back.effects[1].fileName, "a");
  EXPECT_EQ(Parse(Format(back)).effects, back.effects);
  // A cut that leaves any blank at the end: the blank goes, as the reader would drop it.
  const PlaquetStyle cut = Parse(";Stroke 0 0 0 0 0 0 0 0 0 0 0 0 " + std::string(50, 'x') + "\vyy\n");
  EXPECT_EQ(cut.effects.at(0).fileName, std::string(50, 'x'));
  EXPECT_EQ(Parse(Format(cut)).effects, cut.effects);
}
