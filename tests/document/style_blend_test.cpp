// The ";Blend" line of style sections: round trip, and both directions of compatibility with
// readers that take ';' lines for comments.
#include <gtest/gtest.h>

#include <sstream>

#include "document/style_file.h"
#include "document/style_text.h"
#include "effects/effect_catalogue.h"

namespace {

using styletext::Format;
using styletext::Parse;

EffectRecord Record(int type, int mode, int opacity) {
  EffectRecord r = EffectStartRecord(type);
  r.blendMode = mode;
  r.opacity = opacity;
  return r;
}

TEST(StyleBlend, RoundTripAndReadersThatSkipComments) {
  PlaquetStyle style;
  for (int mode = 0; mode < kBlendModeCount; ++mode)
    style.effects.push_back(Record(mode % kEffectTypeCount, mode, 100 - 9 * mode));
  style.effects[size_t(Tile)].fileName = "check.bmp";  // the line follows the name line
  for (int type = kFirstOneLineType; type < kEffectTypeCount; ++type)  // and the one-line kinds' line
    style.effects.push_back(Record(type, type % kBlendModeCount, 30 + type));
  const std::string text = Format(style);
  EXPECT_EQ(Parse(text).effects, style.effects);
  EXPECT_NE(text.find("check.bmp \r\n;Blend lighten 37\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find(";Blend normal"), std::string::npos);  // normal at 100 % writes no line
  // Read by the old rules (every ';' line a comment) the style keeps its effects, unblended...
  std::istringstream in(text);
  std::string oldRules, line;
  while (std::getline(in, line))
    if (line.rfind(";Blend", 0) != 0) oldRules += line + "\n";
  std::vector<EffectRecord> plain = style.effects;
  for (EffectRecord& r : plain) r.blendMode = BlendNormal, r.opacity = 100;
  EXPECT_EQ(Parse(oldRules).effects, plain);
  // ...and such an unblended style writes no blend line at all.
  style.effects = plain;
  EXPECT_EQ(Format(style).find(";Blend"), std::string::npos);
}

TEST(StyleBlend, OddLinesApplyToTheRecordBeforeThemOrToNothing) {
  struct Case {
    std::string text;
    std::vector<std::pair<int, int>> expected;  // mode and opacity of each record read
  };
  const std::string d = "SingleColor 0 0 0 0 0 0 0 0 0 0 0 0\r\n\r\n";
  const Case cases[] = {
      {";Blend multiply 50\r\n", {}},                                       // before any record
      {d + ";Blend Multiply 50\r\n", {{BlendMultiply, 50}}},      // word case ignored
      {d + ";Blend darken\r\n", {{BlendDarken, 100}}},            // no opacity: full
      {d + ";Blend screen 150\r\n", {{BlendScreen, 100}}},        // clamped
      {d + ";Blend sparkle 50\r\n", {{BlendNormal, 100}}},        // unknown word: skipped
      {d + "Background 0 0 x\r\n;Blend screen 10\r\n", {{BlendNormal, 100}}},
      {d + d + ";Blend lighten 20\r\n", {{BlendNormal, 100}, {BlendLighten, 20}}},
      {d + ";Blend lighten 20\r\n;Blend darken 30\r\n", {{BlendDarken, 30}}},  // last wins
      {";OuterGlow 0 0 0 0 0 0 0 0 0 0 0 0\r\n;Blend screen 40\r\n", {{BlendScreen, 40}}},
  };
  for (const Case& c : cases) {
    const PlaquetStyle s = Parse(c.text + "end\r\n");
    ASSERT_EQ(s.effects.size(), c.expected.size()) << c.text;
    for (size_t i = 0; i < s.effects.size(); ++i) {
      EXPECT_EQ(s.effects[i].blendMode, c.expected[i].first) << c.text;
      EXPECT_EQ(s.effects[i].opacity, c.expected[i].second) << c.text;
    }
  }
  // A record past the fortieth is dropped, and its blend with it.
  std::string many;
  for (int i = 0; i < kMaxEffects; ++i) many += d;
  const PlaquetStyle full = Parse(many + d + ";Blend multiply 10\r\nend\r\n");
  ASSERT_EQ(full.effects.size(), size_t(kMaxEffects));
  EXPECT_EQ(full.effects.back().blendMode, BlendNormal);
}

}  // namespace
