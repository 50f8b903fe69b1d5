#include "document/batch_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "support/test_support.h"

namespace {
using Strings = std::vector<std::string>;

std::vector<std::string> Parse(const std::string& text, bool* cut = nullptr) {
  std::istringstream in(text);
  return ParseBatchList(in, cut);
}

// A reader written straight from the rules of a Windows text-mode stream: CR LF becomes LF, then
// fgets into a 300-byte buffer; "<<br>>" closes a string (dropping its last character), "<<end>>"
// stops.
Strings TextModeReader(const std::string& disk) {
  std::string text;
  for (size_t i = 0; i < disk.size(); ++i)
    if (!(disk[i] == '\r' && i + 1 < disk.size() && disk[i + 1] == '\n')) text += disk[i];
  Strings list;
  std::string current;
  size_t pos = 0;
  while (pos < text.size()) {
    char buffer[300];
    size_t n = 0;
    while (n < 299 && pos < text.size()) {
      buffer[n++] = text[pos++];
      if (buffer[n - 1] == '\n') break;
    }
    buffer[n] = '\0';
    if (std::strncmp(buffer, "<<br>>", 6) == 0) {
      if (!current.empty()) current.pop_back();
      list.push_back(current);
      current.clear();
    } else if (std::strncmp(buffer, "<<end>>", 7) == 0) {
      break;
    } else {
      current.append(buffer, n);
    }
  }
  return list;
}
}  // namespace

TEST(BatchList, WrittenAsATextModeWriterWouldAndReadBackExactly) {
  // Six lines: the two-line string's CR LF goes through text mode as CR CR LF.
  const Strings list = {"Hello", "first\r\nsecond"};
  const std::string disk = FormatBatchList(list);
  EXPECT_EQ(disk, "Hello\r\n<<br>>\r\nfirst\r\r\nsecond\r\n<<br>>\r\n<<end>>\r\n");
  EXPECT_EQ(TextModeReader(disk), list);
  EXPECT_EQ(FormatBatchList({}), "<<end>>\r\n");

  testsupport::TempDir dir;
  const Strings odd = {"",         "a\r\n\r\nb", "lf\nalone", "trailing\r\n", "cr\r", std::string(kMaxBatchString, 'z'),
                       "tab\tand  blanks ", ""};
  ASSERT_TRUE(WriteBatchList(dir.file("l.blt"), odd));
  EXPECT_EQ(TextModeReader(testsupport::ReadFileText(dir.file("l.blt"))), odd);
  Strings back = {"old"};
  bool cut = true;
  ASSERT_TRUE(ReadBatchList(dir.file("l.blt"), back, nullptr, &cut));
  EXPECT_EQ(back, odd);
  EXPECT_FALSE(cut);
}

TEST(BatchList, ReadingRules) {
  // Each case read by our parser and by the reference reader alike.
  const std::string cases[] = {
      // LF-only lines; two separators give an empty string; a separator with more after it
      // counts; text after the last separator without "<<end>>" is not a string.
      "one\n<<br>>\n<<br>>\ntwo\nlines\n<<br>>tail\nloose\n",
      // "<<end>>" stops the list; no newline after the last separator is fine.
      "a\r\n<<br>>\r\n<<end>>\r\nb\r\n<<br>>\r\n", "a\r\n<<br>>", "", "<<end>>",
      // A separator at the start of the second 299-character read of a long line; the dropped
      // last character is then the line's own.
      std::string(299, 'q') + "<<br>>\r\n" + std::string(300, 'p') + "<<end>>\r\n",
      // Written from strings holding CR LF.
      "a\r\r\nb\r\n<<br>>\r\n"};
  for (const std::string& text : cases) EXPECT_EQ(Parse(text), TextModeReader(text)) << text;
  EXPECT_EQ(Parse(cases[0]), (Strings{"one", "", "two\nlines"}));
  EXPECT_EQ(Parse(cases[5]), Strings{std::string(298, 'q')});
  EXPECT_EQ(Parse(cases[6]), Strings{"a\r\nb"});
}

TEST(BatchList, OverlongStringsAreCut) {
  bool cut = false;
  const std::string line(500, 'q');
  const Strings got = Parse(line + "<<br>>\r\n<<br>>\r\nshort\r\n<<br>>\r\n", &cut);
  EXPECT_EQ(got, (Strings{std::string(kMaxBatchString, 'q'), "short"}));
  EXPECT_TRUE(cut);
  // Cut between the CR and the LF of a held line break: no lone CR is left at the end.
  EXPECT_EQ(Parse(std::string(298, 'h') + "\r\r\nx\r\n<<br>>\r\n", &cut), Strings{std::string(298, 'h')});
  EXPECT_TRUE(cut);
  // A cut inside a run of CRs that are text drops the whole run, so the string rewrites as is.
  const Strings run = Parse(std::string(296, 'r') + std::string(9, '\r') + "?\r\n<<br>>\r\n", &cut);
  EXPECT_EQ(run, Strings{std::string(296, 'r')});
  EXPECT_EQ(Parse(FormatBatchList(run)), run);
  Parse(std::string(299, 'k') + "\r\n<<br>>\r\n", &cut);
  EXPECT_FALSE(cut);
}

TEST(BatchList, MissingFileLeavesTheList) {
  testsupport::TempDir dir;
  Strings list = {"keep"};
  std::string error;
  EXPECT_FALSE(ReadBatchList(dir.file("none.blt"), list, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(list, Strings{"keep"});
  EXPECT_FALSE(WriteBatchList(dir.file("no/dir/x.blt"), list, &error));
  EXPECT_FALSE(error.empty());
}
