#include "document/colour_text.h"

#include <gtest/gtest.h>

TEST(ColourText, ReadsHexFunctionalAndNamedColoursAsColorRefs) {
  const struct {
    const char* text;
    std::optional<int32_t> colour;
  } cases[] = {
      {"#ff8000", 0x0080FF},          {"#FF8000", 0x0080FF},      {" #f80 ", 0x0088FF},
      {"rgb(255,128,0)", 0x0080FF},   {"RGB( 1, 2 ,3 )", 0x030201}, {"white", 0xFFFFFF},
      {"Black", 0x000000},            {"cornflowerblue", 0xED9564}, {"aliceblue", 0xFFF8F0},
      {"yellowgreen", 0x32CD9A},      {"rebeccapurple", 0x993366},
      {"", std::nullopt},             {"#ff80", std::nullopt},    {"#gg0000", std::nullopt},
      {"rgb(256,0,0)", std::nullopt}, {"rgb(1,2)", std::nullopt}, {"rgb(1,2,3)x", std::nullopt},
      {"blurple", std::nullopt},      {"whitee", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseColourText(c.text), c.colour) << c.text;
}
