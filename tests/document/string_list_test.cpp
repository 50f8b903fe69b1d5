// Lists of strings as users hand them over: told apart by content, plain lines or batch lists,
// UTF-8 checked and Windows-1252 converted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/batch_list.h"
#include "document/string_list.h"
#include "document/text_encoding.h"

namespace {

using Strings = std::vector<std::string>;

TEST(StringList, FormatIsToldByContentAndBothFormatsParse) {
  struct Case {
    const char* text;
    bool batch;
    Strings strings;
  };
  const Case cases[] = {
      {"Home\nAbout us\r\n\r\n  \t\nContact", false, {"Home", "About us", "Contact"}},
      {"  padded  \n", false, {"  padded  "}},
      {"a <<br>> b\n", false, {"a <<br>> b"}},  // a separator only at the start of a line
      {"\xEF\xBB\xBFHome\n", false, {"Home"}},
      {"", false, {}},
      {"One\r\n<<br>>\r\nTwo\r\nlines\r\n<<br>>\r\n<<end>>\r\nafter\r\n", true, {"One", "Two\nlines"}},
      {"<<end>>\r\n", true, {}},
  };
  for (const Case& c : cases) {
    const StringList list = ParseStringList(c.text);
    EXPECT_EQ(list.batchFormat, c.batch) << c.text;
    EXPECT_EQ(list.strings, c.strings) << c.text;
    EXPECT_FALSE(list.fromWindows1252);
  }
}

TEST(StringList, BothFormatsRoundTripTheSameStrings) {
  const Strings strings{"Home", "Caf\xC3\xA9", "100 %", "<b>"};
  std::string plain;
  for (const auto& s : strings) plain += s + "\n";
  EXPECT_EQ(ParseStringList(plain).strings, strings);
  const StringList blt = ParseStringList(FormatBatchList(strings));
  EXPECT_TRUE(blt.batchFormat);
  EXPECT_EQ(blt.strings, strings);
}

TEST(StringList, Windows1252IsConverted) {
  // é is 0xE9, € 0x80, Ž 0x8E in Windows-1252; 0x81 is undefined.
  EXPECT_EQ(Windows1252ToUtf8("Caf\xE9 \x80\x8E\x81"), "Caf\xC3\xA9 \xE2\x82\xAC\xC5\xBD\xC2\x81");
  const StringList list = ParseStringList("Caf\xE9\n");
  EXPECT_TRUE(list.fromWindows1252);
  EXPECT_EQ(list.strings, Strings{"Caf\xC3\xA9"});
}

TEST(StringList, LongStringsAreCutBetweenCharacters) {
  std::string line;
  for (int i = 0; i < 200; ++i) line += "\xC3\xA9";  // 400 bytes
  const StringList list = ParseStringList(line + "\nshort\n");
  EXPECT_TRUE(list.cut);
  ASSERT_EQ(list.strings.size(), 2u);
  EXPECT_EQ(list.strings[0].size(), 298u);  // 299 would split the 150th é
  EXPECT_TRUE(IsValidUtf8(list.strings[0]));
  EXPECT_EQ(list.strings[1], "short");
}

}  // namespace
