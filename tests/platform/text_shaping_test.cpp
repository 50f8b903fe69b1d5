// Shaped text: compared with pango-view (HarfBuzz + fontconfig + cairo, an independent layout of the
// same fonts), and properties of shaping, bidi ordering and fallback faces.
#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/font_layer.h"
#include "support/ink_plane.h"
#include "support/test_support.h"

namespace {

using Ink = testsupport::InkPlane;

LogFont Font(const std::string& face, int height) {
  LogFont f;
  f.faceName = face;
  f.height = height;
  f.weight = 400;
  return f;
}

Ink Draw(platform::FontLayer& fonts, const LogFont& f, const std::string& text, int w = 900, int h = 160) {
  Ink ink(w, h);
  fonts.DrawText(f, text, 20, 20, w, h, ink.rows.data(), w, h, 1);
  EXPECT_EQ(ink.guardInk(), 0);
  return ink;
}

// pango-view's rendering of text (no antialiasing, full hinting, whole-pixel advances) on a
// transparent page: ink = at least half opaque, so colour glyphs count by their alpha too.
bool PangoInk(const std::string& face, int px, const std::string& text, Ink* out) {
  testsupport::TempDir dir;
  const std::string file = dir.file("p.png"), textFile = dir.file("t.txt");
  testsupport::WriteFileText(textFile, text);
  const std::string cmd = "pango-view -q --antialias=none --hinting=full --hint-metrics=on --background=transparent "
                          "--margin=20 --font=\"" + face + " " +
                          std::to_string(px) + "px\" --output=" + file + " " + textFile + " 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) return false;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, file.c_str())) return false;
  image.format = PNG_FORMAT_GA;
  std::vector<uint8_t> ga(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, ga.data(), 0, nullptr)) return false;
  *out = Ink(int(image.width), int(image.height));
  for (int y = 0; y < out->h; ++y)
    for (int x = 0; x < out->w; ++x) out->rows[size_t(y)][x] = ga[(size_t(y) * out->w + x) * 2 + 1] >= 128;
  return true;
}

}  // namespace

TEST(TextShaping, InkBoxesMatchPangoView) {
  if (std::system("command -v pango-view >/dev/null 2>&1") != 0) GTEST_SKIP() << "pango-view is not installed";
  struct Case {
    const char* face;
    const char* text;
  } cases[] = {
      {"DejaVu Sans", "Caf\u00e9 M\u00fcller"},
      {"DejaVu Sans", "\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440"},
      {"DejaVu Sans", "\u039a\u03b1\u03bb\u03b7\u03bc\u03ad\u03c1\u03b1"},
      {"DejaVu Sans", "\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8"},
      {"DejaVu Sans", "\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645"},
      {"DejaVu Sans", "\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd"},
      {"DejaVu Sans", "\u0928\u092e\u0938\u094d\u0924\u0947 \u0926\u0941\u0928\u093f\u092f\u093e"},
      {"Liberation Serif", "AVATAR fi"},
      {"Liberation Sans", "\U0001F44D OK"},
  };
  platform::FontLayer fonts;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.face) + ": " + c.text);
    Ink theirs(1, 1);
    ASSERT_TRUE(PangoInk(c.face, 40, c.text, &theirs));
    const auto ours = Draw(fonts, Font(c.face, -40), c.text).inkBox();
    const auto ref = theirs.inkBox();
    ASSERT_GE(ours[0], 0);
    ASSERT_GE(ref[0], 0);
    EXPECT_NEAR(ours[2] - ours[0], ref[2] - ref[0], 2);
    EXPECT_NEAR(ours[3] - ours[1], ref[3] - ref[1], 2);
  }
  EXPECT_EQ(fonts.TakeMissingCharacters(), "");
}

TEST(TextShaping, MarksJoiningAndLigatures) {
  platform::FontLayer fonts;
  const LogFont dejavu = Font("DejaVu Sans", -40);
  // e + combining acute is one accented letter, the same as the precomposed one.
  EXPECT_EQ(Draw(fonts, dejavu, "e\u0301").pixels(), Draw(fonts, dejavu, "\u00e9").pixels());
  EXPECT_EQ(fonts.MeasureText(dejavu, "e\u0301").width, fonts.MeasureText(dejavu, "e").width);
  // Arabic letters join: the word is narrower than its letters set apart.
  const std::string word = "\u0645\u0631\u062d\u0628\u0627";
  int apart = 0;
  for (const char* letter : {"\u0645", "\u0631", "\u062d", "\u0628", "\u0627"}) apart += fonts.MeasureText(dejavu, letter).width;
  EXPECT_LT(fonts.MeasureText(dejavu, word).width, apart);
  // Kerning pulls "AV" together; the measure is what is drawn.
  const LogFont serif = Font("Liberation Serif", -40);
  EXPECT_LT(fonts.MeasureText(serif, "AV").width, fonts.MeasureText(serif, "A").width + fonts.MeasureText(serif, "V").width);
}

TEST(TextShaping, RightToLeftOrder) {
  platform::FontLayer fonts;
  const LogFont f = Font("DejaVu Sans", -40);
  // A Hebrew line with Latin and a number: the paragraph runs right to left, so "abc 123" (left to
  // right inside) comes first from the left and the Hebrew word ends the line on the right.
  const std::string hebrew = "\u05e9\u05dc\u05d5\u05dd", latin = "abc 123", mixed = hebrew + " " + latin;
  const int wAbc = fonts.MeasureText(f, latin).width, wHeb = fonts.MeasureText(f, hebrew).width;
  const int wMixed = fonts.MeasureText(f, mixed).width;
  const Ink line = Draw(fonts, f, mixed), abc = Draw(fonts, f, latin), heb = Draw(fonts, f, hebrew);
  EXPECT_EQ(line.columns(0, 20 + wAbc), abc.columns(0, 20 + wAbc));
  EXPECT_EQ(line.columns(20 + wMixed - wHeb, 20 + wMixed), heb.columns(20, 20 + wHeb));
  // Inside the Hebrew word the first letter is the rightmost.
  const Ink first = Draw(fonts, f, "\u05e9");
  const int wFirst = fonts.MeasureText(f, "\u05e9").width;
  EXPECT_EQ(heb.columns(20 + wHeb - wFirst + 2, 20 + wHeb), first.columns(22, 20 + wFirst));
}

TEST(TextShaping, FallbackFacesAndMissingCharacters) {
  platform::FontLayer fonts;
  // "Liberation Sans" has no CJK: the glyphs come from the face fontconfig names for them, at the
  // same em, so they are the ones that face draws itself.
  const std::string cjk = "\u65e5\u672c\u8a9e";
  const Ink viaFallback = Draw(fonts, Font("Liberation Sans", -40), cjk);
  const Ink direct = Draw(fonts, Font("WenQuanYi Micro Hei", -40), cjk);
  EXPECT_FALSE(viaFallback.cropped().empty());
  EXPECT_EQ(viaFallback.cropped(), direct.cropped());
  EXPECT_EQ(fonts.TakeMissingCharacters(), "");
  // A colour emoji becomes ink where it is opaque: about an em high (its bitmap is a little taller).
  const auto thumb = Draw(fonts, Font("Liberation Sans", -40), "\U0001F44D").inkBox();
  ASSERT_GE(thumb[0], 0);
  EXPECT_NEAR(thumb[3] - thumb[1], 44, 4);
  // A character no face has is drawn as a box and reported once.
  const std::string none = "\U0010FFFD";
  EXPECT_GE(Draw(fonts, Font("Liberation Sans", -40), "a" + none + none).inkBox()[0], 0);
  EXPECT_EQ(fonts.TakeMissingCharacters(), none);
  EXPECT_EQ(fonts.TakeMissingCharacters(), "");
  // Control characters other than line breaks are not drawn; "&" stays a mnemonic prefix.
  const LogFont f = Font("DejaVu Sans", -40);
  EXPECT_EQ(Draw(fonts, f, "a\tb\x01").pixels(), Draw(fonts, f, "ab").pixels());
  EXPECT_EQ(fonts.MeasureText(f, "&\u00e9&&").width, fonts.MeasureText(f, "\u00e9&").width);
}
