#include "document/text_encoding.h"

#include <gtest/gtest.h>

#include <sstream>

#include "document/batch_list.h"
#include "document/document_file.h"
#include "document/line_fields.h"

namespace {

std::string Utf8(char32_t cp) {
  std::string s;
  AppendUtf8(cp, s);
  return s;
}

PlaquetDocument ReadText(const std::string& text) {
  PlaquetDocument doc = MakeStartUpDocument();
  std::istringstream in(text);
  TextLineReader reader(in);
  EXPECT_TRUE(ReadDocumentFrom(doc, reader));
  return doc;
}

// A document whose message (the third item) holds text in a font of the given character set.
std::string DocumentWithMessage(const std::string& text, int charset) {
  std::string item = "type 0\r\nmessage\r\n" + text + "\r\n<br>\r\nfont -20 0 400 0 " + std::to_string(charset) +
                     " 0 0 0\r\nArial\r\nend\r\nend\r\n";
  return ";save draw plaquet list\r\n" + item + item + item;
}

}  // namespace

TEST(TextEncoding, CodePagesOfTheCharsets) {
  // One letter of each code page, from the code page charts.
  struct Case {
    uint8_t charset;
    std::string bytes;
    char32_t cp;
  } cases[] = {
      {0, "\xE9", 0xE9},       {0, "\x80", 0x20AC},       {238, "\xE0", 0x155},   {204, "\xE0", 0x430},
      {161, "\xE1", 0x3B1},    {162, "\xF0", 0x11F},      {177, "\xE0", 0x5D0},   {178, "\xC7", 0x627},
      {186, "\xE0", 0x105},    {163, "\xD0", 0x110},      {222, "\xA1", 0xE01},   {128, "\x82\xA0", 0x3042},
      {134, "\xC4\xE3", 0x4F60}, {129, "\xB0\xA1", 0xAC00}, {136, "\xA4\x40", 0x4E00}, {99, "\xFC", 0xFC},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.charset));
    EXPECT_EQ(TextToUtf8(c.bytes, c.charset), Utf8(c.cp));
  }
  // Valid UTF-8 is kept whatever the charset; a byte the code page leaves undefined keeps its value.
  EXPECT_EQ(TextToUtf8("Caf\xC3\xA9", 204), "Caf\xC3\xA9");
  EXPECT_EQ(TextToUtf8("a\x81z", 0), "a" + Utf8(0x81) + "z");
}

TEST(TextEncoding, Utf8ValidityAndCuts) {
  // Overlong forms, a surrogate, past U+10FFFF, cut short, a lone continuation byte.
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3", "\xE2\x82", "a\x80"})
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x91\x8D ok \xD7\xA9 \xE2\x82\xAC"));
  EXPECT_EQ(Utf8ToCodePoints("a\xC3\xA9\xF0\x9F\x91\x8D"), (std::u32string{U'a', 0xE9, 0x1F44D}));
  // "é" is two bytes: an odd limit cuts before it, never inside.
  const std::string e = "\xC3\xA9";
  EXPECT_EQ(CutTo(e + e + e, 5), e + e);
  EXPECT_EQ(CutTo("\xF0\x9F\x91\x8D", 3), "");
  // Bytes that are not UTF-8 are cut where asked.
  EXPECT_EQ(CutTo("\xE9\xE9\xE9", 2), "\xE9\xE9");
}

TEST(TextEncoding, OldDocumentsKeepTheirLetters) {
  // Windows-1252 "Café Müller", Windows-1251 "Привет" and a UTF-8 text in a Cyrillic font.
  EXPECT_EQ(ReadText(DocumentWithMessage("Caf\xE9 M\xFCller", 0)).message().text, "Caf\xC3\xA9 M\xC3\xBCller");
  EXPECT_EQ(ReadText(DocumentWithMessage("\xCF\xF0\xE8\xE2\xE5\xF2", 204)).message().text,
            "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
  EXPECT_EQ(ReadText(DocumentWithMessage("\xC3\xA9", 204)).message().text, "\xC3\xA9");
}

TEST(TextEncoding, Utf8DocumentsRoundTripByteForByte) {
  PlaquetDocument doc = MakeStartUpDocument();
  doc.message().text = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D\r\n\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x91\x8D";
  doc.message().font.faceName = "\xE6\x96\x87\xE6\xB3\x89";
  std::string first, second;
  WriteDocumentTo(doc, first);
  EXPECT_NE(first.find(doc.message().text), std::string::npos);  // stored as UTF-8
  const PlaquetDocument back = ReadText(first);
  EXPECT_EQ(back.message().text, doc.message().text);
  EXPECT_EQ(back.message().font.faceName, doc.message().font.faceName);
  // A file written from what was read is the file read.
  PlaquetDocument again = back;
  WriteDocumentTo(again, second);
  std::string third;
  PlaquetDocument reread = ReadText(second);
  WriteDocumentTo(reread, third);
  EXPECT_EQ(third, second);
}

TEST(TextEncoding, LimitsCutAtCharacters) {
  // 200 two-byte letters: the message keeps 149 of them (298 bytes), whole.
  std::string text;
  for (int i = 0; i < 200; ++i) text += "\xC3\xA9";
  const std::string got = ReadText(DocumentWithMessage(text, 0)).message().text;
  EXPECT_EQ(got.size(), 298u);
  EXPECT_TRUE(IsValidUtf8(got));
  // The same in a batch list, and a list in the Cyrillic code page.
  std::istringstream in(text + "\r\n<<br>>\r\n\xE0\xE1\r\n<<br>>\r\n");
  bool cut = false;
  const auto strings = ParseBatchList(in, &cut, 204);
  ASSERT_EQ(strings.size(), 2u);
  EXPECT_EQ(strings[0].size(), 298u);
  EXPECT_TRUE(cut);
  EXPECT_EQ(strings[1], "\xD0\xB0\xD0\xB1");
}
