#include "document/batch_list.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/test_support.h"

namespace {
std::vector<std::string> Parse(const std::string& text, bool* cut = nullptr) {
  std::istringstream in(text);
  TextLineReader reader(in);
  return ParseBatchList(reader, cut);
}
using Strings = std::vector<std::string>;
}  // namespace

TEST(BatchList, WrittenLayoutAndRoundTrip) {
  const Strings list = {"Hello", "first\r\nsecond"};
  EXPECT_EQ(FormatBatchList(list), "Hello\r\n<<br>>\r\nfirst\r\nsecond\r\n<<br>>\r\n<<end>>\r\n");
  EXPECT_EQ(FormatBatchList({}), "<<end>>\r\n");

  testsupport::TempDir dir;
  const Strings odd = {"", "a\r\n\r\nb", "trailing\r\n", std::string(kMaxBatchString, 'z'),
                       "tab\tand  blanks ", ""};
  ASSERT_TRUE(WriteBatchList(dir.file("l.blt"), odd));
  Strings back = {"old"};
  bool cut = true;
  ASSERT_TRUE(ReadBatchList(dir.file("l.blt"), back, nullptr, &cut));
  EXPECT_EQ(back, odd);
  EXPECT_FALSE(cut);
  // A LF alone in a string is stored as a line break and comes back as CR LF.
  EXPECT_EQ(Parse(FormatBatchList({"x\ny"})), Strings{"x\r\ny"});
}

TEST(BatchList, ReadingRules) {
  // LF-only lines; two separators in a row give an empty string; a separator with more after
  // it still counts; text after the last separator without "<<end>>" is not a string.
  EXPECT_EQ(Parse("one\n<<br>>\n<<br>>\ntwo\nlines\n<<br>>tail\nloose\n"),
            (Strings{"one", "", "two\r\nlines"}));
  // "<<end>>" stops the list; no newline after the last separator is fine.
  EXPECT_EQ(Parse("a\r\n<<br>>\r\n<<end>>\r\nb\r\n<<br>>\r\n"), Strings{"a"});
  EXPECT_EQ(Parse("a\r\n<<br>>"), Strings{"a"});
  EXPECT_EQ(Parse(""), Strings{});
  EXPECT_EQ(Parse("<<end>>"), Strings{});
  // Lines written by a text-mode writer from strings holding CR LF (CR CR LF on disk).
  EXPECT_EQ(Parse("a\r\r\nb\r\n<<br>>\r\n"), Strings{"a\r\nb"});
}

TEST(BatchList, OverlongStringsAreCut) {
  bool cut = false;
  const std::string line(500, 'q');
  // The "<<br>>" inside the long line is not at a line start, so it is text.
  const Strings got = Parse(line + "<<br>>\r\n<<br>>\r\nshort\r\n<<br>>\r\n", &cut);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], std::string(kMaxBatchString, 'q'));
  EXPECT_EQ(got[1], "short");
  EXPECT_TRUE(cut);
  // Cut in the middle of a line break: no lone CR is left at the end.
  const Strings half = Parse(std::string(298, 'h') + "\r\nx\r\n<<br>>\r\n", &cut);
  EXPECT_EQ(half, Strings{std::string(298, 'h')});
  EXPECT_TRUE(cut);
  // A cut inside a run of CRs that are text drops the whole run, so the string rewrites as is.
  const Strings run = Parse(std::string(296, 'r') + std::string(9, '\r') + "?\r\n<<br>>\r\n", &cut);
  EXPECT_EQ(run, Strings{std::string(296, 'r')});
  EXPECT_EQ(Parse(FormatBatchList(run)), run);
  Parse(std::string(299, 'k') + "\r\n<<br>>\r\n", &cut);
  EXPECT_FALSE(cut);
}

TEST(BatchList, MissingFileOrTooManyStringsLeavesTheList) {
  testsupport::TempDir dir;
  Strings list = {"keep"};
  std::string error;
  EXPECT_FALSE(ReadBatchList(dir.file("none.blt"), list, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(list, Strings{"keep"});
  // One string past the limit is refused with the count, before the list grows further.
  std::string many;
  for (size_t i = 0; i <= kMaxBatchStrings; ++i) many += "<<br>>\n";
  testsupport::WriteFileText(dir.file("many.blt"), many);
  EXPECT_FALSE(ReadBatchList(dir.file("many.blt"), list, &error));
  EXPECT_EQ(error, "the list holds more than 1000000 strings");
  EXPECT_EQ(list, Strings{"keep"});
  std::istringstream two("a\n<<br>>\nb\n<<br>>\n");
  TextLineReader reader(two);
  EXPECT_EQ(ParseBatchList(reader, nullptr, 2), (Strings{"a", "b"}));
  EXPECT_FALSE(WriteBatchList(dir.file("no/dir/x.blt"), list, &error));
  EXPECT_FALSE(error.empty());
}
