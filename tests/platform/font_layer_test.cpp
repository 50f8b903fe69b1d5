#include "platform/font_layer.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <string>
#include <vector>

#include "support/ink_plane.h"
#include "support/test_support.h"

namespace {

using Plane = testsupport::InkPlane;

LogFont Font(const std::string& face, int height, int weight = 400, bool italic = false) {
  LogFont f;
  f.faceName = face;
  f.height = height;
  f.weight = weight;
  f.italic = italic ? 1 : 0;
  return f;
}

// FreeType used directly, as the independent reference for glyph shapes and metrics.
struct Reference {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  Reference(const std::string& file, int index) {
    EXPECT_EQ(FT_Init_FreeType(&lib), 0);
    EXPECT_EQ(FT_New_Face(lib, file.c_str(), index, &face), 0);
  }
  ~Reference() {
    if (face) FT_Done_Face(face);
    if (lib) FT_Done_FreeType(lib);
  }
  const TT_OS2& os2() const { return *static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)); }
  double upem() const { return face->units_per_EM; }
  void setEm(double em) { ASSERT_EQ(FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(em * 64)), 72, 72), 0); }
  // Draws one code point with its origin at (pen, baseline); returns the advance, unhinted and
  // rounded to whole pixels.
  int draw(Plane& p, char32_t cp, int pen, int baseline, int clipLeft = 0, int clipTop = 0) {
    EXPECT_EQ(FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME), 0);
    const FT_Bitmap& bm = face->glyph->bitmap;
    EXPECT_EQ(bm.pixel_mode, FT_PIXEL_MODE_MONO);
    for (unsigned r = 0; r < bm.rows; ++r)
      for (unsigned c = 0; c < bm.width; ++c) {
        if (!((bm.buffer[r * bm.pitch + (c >> 3)] >> (7 - (c & 7))) & 1)) continue;
        const int x = pen + face->glyph->bitmap_left + int(c), y = baseline - face->glyph->bitmap_top + int(r);
        if (x >= clipLeft && x < p.w && y >= clipTop && y < p.h) p.rows[y][x] = 255;
      }
    return int(std::lround(face->glyph->linearHoriAdvance / 65536.0));
  }
};

TEST(FontLayer, FaceNamesResolveThroughFontconfigAliasesAndStyles) {
  platform::FontLayer fonts;
  auto file = [&](const LogFont& f) { return std::filesystem::path(fonts.ResolvedFile(f)).filename().string(); };
  const std::pair<LogFont, const char*> cases[] = {
      {Font("Arial", 20), "LiberationSans-Regular.ttf"},       {Font("Times New Roman", 20), "LiberationSerif-Regular.ttf"},
      {Font("Courier New", 20), "LiberationMono-Regular.ttf"}, {Font("Arial", 20, 700), "LiberationSans-Bold.ttf"},
      {Font("Arial", 20, 400, true), "LiberationSans-Italic.ttf"},
      {Font("Liberation Sans", 20, 700, true), "LiberationSans-BoldItalic.ttf"},
      {Font("DejaVu Sans", 20, 400, true), "DejaVuSans-Oblique.ttf"}};
  for (const auto& [font, name] : cases) EXPECT_EQ(file(font), name) << font.faceName;
  EXPECT_FALSE(fonts.Metrics(Font("DejaVu Sans", 20, 700, true)).syntheticBold);

  // A face that is not installed still gives a usable font.
  const LogFont missing = Font("Quorbel No Such Face", 24);
  EXPECT_TRUE(std::filesystem::exists(fonts.ResolvedFile(missing)));
  EXPECT_GT(fonts.MeasureText(missing, "Ab").width, 0);
  Plane p(80, 40);
  fonts.DrawText(missing, "Ab", 0, 0, 80, 40, p.rows.data(), p.w, p.h, 1);
  EXPECT_GT(p.count(), 20);
  // An empty face name is the default face, not a failure.
  EXPECT_FALSE(fonts.ResolvedFile(Font("", 0)).empty());
}

TEST(FontLayer, AFontconfigWithoutFontsFallsBackToAnInstalledFontFile) {
  const std::string conf = (std::filesystem::temp_directory_path() / "quorbel-empty-fonts.conf").string();
  {
    std::ofstream out(conf);
    out << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig></fontconfig>\n";
  }
  std::string file;
  int ink = 0;
  {
    const testsupport::ScopedEnv env("FONTCONFIG_FILE", conf.c_str());
    platform::FontLayer fonts;  // reads its configuration on first use
    const LogFont f = Font("Arial", -30);
    file = fonts.ResolvedFile(f);
    Plane p(100, 200);
    fonts.DrawText(f, "Ab", 0, 0, 100, 200, p.rows.data(), p.w, p.h, 1);
    ink = p.count();
  }
  std::filesystem::remove(conf);
  EXPECT_TRUE(std::filesystem::exists(file)) << file;
  EXPECT_GT(ink, 20);
  EXPECT_EQ(std::filesystem::path(file).filename().string().find("Bold"), std::string::npos);
}

TEST(FontLayer, GlyphsMatchFreeTypesOwnMonochromeRendering) {
  struct Case {
    std::string face;
    int height;
    uint8_t charset;
    std::string text;
    char32_t cp;
  };
  const Case cases[] = {
      {"Liberation Sans", -40, 0, "A", U'A'},         {"Liberation Sans", -40, 0, "g", U'g'},
      {"Liberation Sans", -40, 0, "\x80", 0x20AC},    {"Liberation Sans", -40, 0, "\xE9", 0xE9},
      {"Liberation Sans", -40, 0, "\x93", 0x201C},    {"DejaVu Sans", 30, 0, "Q", U'Q'},
      {"DejaVu Sans", 30, 0, "j", U'j'},              {"Liberation Serif", -33, 204, "\xC0", 0x410},
      {"Liberation Serif", -33, 161, "\xE1", 0x3B1},
  };
  platform::FontLayer fonts;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.face + " " + std::to_string(c.height) + " U+" + std::to_string(uint32_t(c.cp)));
    LogFont f = Font(c.face, c.height);
    f.charSet = c.charset;
    const platform::FontMetrics m = fonts.Metrics(f);
    Reference ref(m.file, m.faceIndex);
    const TT_OS2& os2 = ref.os2();
    const double cell = os2.usWinAscent + os2.usWinDescent;
    const double em = c.height < 0 ? -c.height : c.height * ref.upem() / cell;
    EXPECT_NEAR(m.emPixelsY, em, 1e-9);
    ref.setEm(em);
    const int ascent = int((FT_MulFix(os2.usWinAscent, ref.face->size->metrics.y_scale) + 32) >> 6);
    EXPECT_NEAR(ascent, os2.usWinAscent * em / ref.upem(), 0.75);

    Plane ours(90, 90), theirs(90, 90);
    fonts.DrawText(f, c.text, 6, 5, 90, 90, ours.rows.data(), ours.w, ours.h, 1);
    ref.draw(theirs, c.cp, 6, 5 + ascent, 6, 5);  // clipped to the same rectangle
    EXPECT_GT(theirs.count(), 10);
    EXPECT_EQ(ours.pixels(), theirs.pixels());
  }

  // Where the face has no kerning pair, glyphs follow each other by their unhinted advances rounded
  // to whole pixels, as other Linux text stacks place them (shapes are hinted).
  const LogFont f = Font("Liberation Sans", -40);
  const platform::FontMetrics m = fonts.Metrics(f);
  Reference ref(m.file, m.faceIndex);
  ref.setEm(40);
  Plane ours(200, 60), theirs(200, 60);
  fonts.DrawText(f, "Hlmn", 0, 0, 200, 60, ours.rows.data(), ours.w, ours.h, 1);
  int pen = 0;
  for (char32_t cp : std::u32string(U"Hlmn")) pen += ref.draw(theirs, cp, pen, m.ascent);
  EXPECT_EQ(ours.pixels(), theirs.pixels());
  EXPECT_EQ(fonts.MeasureText(f, "Hlmn").width, pen);
}

TEST(FontLayer, HeightsSizeTheCellOrTheEm) {
  platform::FontLayer fonts;
  const LogFont cell50 = Font("Liberation Sans", 50);
  const platform::FontMetrics m = fonts.Metrics(cell50);
  Reference ref(m.file, m.faceIndex);
  const TT_OS2& os2 = ref.os2();
  const double upem = ref.upem();

  // Positive: the cell (Windows ascent + descent) is the height asked for.
  EXPECT_EQ(m.lineHeight, 50);
  EXPECT_NEAR(m.emPixelsY, 50 * upem / (os2.usWinAscent + os2.usWinDescent), 1e-9);
  EXPECT_EQ(fonts.MeasureText(cell50, "Hxg").height, 50);
  // Capital H ink is the face's cap height at that em.
  Plane p(120, 120);
  fonts.DrawText(cell50, "H", 0, 0, 120, 120, p.rows.data(), p.w, p.h, 1);
  const auto box = p.inkBox();
  ASSERT_GE(box[0], 0);
  EXPECT_NEAR(box[3] - box[1] + 1, os2.sCapHeight * m.emPixelsY / upem, 1.01);
  // The baseline is at the ascent: H sits on it.
  EXPECT_EQ(box[3], m.ascent - 1);

  // Negative: the em is the height asked for; the line is the scaled Windows cell.
  const LogFont em40 = Font("Liberation Sans", -40);
  const int expected = int(std::lround(os2.usWinAscent * 40 / upem) + std::lround(os2.usWinDescent * 40 / upem));
  EXPECT_NEAR(fonts.MeasureText(em40, "H").height, expected, 1);
  EXPECT_EQ(fonts.Metrics(em40).emPixelsY, 40);

  // Zero is a default size, and the same as asking for that cell.
  const platform::TextExtent zero = fonts.MeasureText(Font("Liberation Sans", 0), "Hello");
  EXPECT_GT(zero.height, 8);
  EXPECT_EQ(zero.height, fonts.MeasureText(Font("Liberation Sans", zero.height), "Hello").height);
  EXPECT_EQ(zero.width, fonts.MeasureText(Font("Liberation Sans", zero.height), "Hello").width);
}

TEST(FontLayer, WidthScalesGlyphsToTheAverageCharacterWidth) {
  platform::FontLayer fonts;
  const std::string text = "abcdefghijklmnopqrstuvwxyz";
  LogFont f = Font("Liberation Sans", -40);
  const platform::FontMetrics m = fonts.Metrics(f);
  Reference ref(m.file, m.faceIndex);
  double units = 0;
  for (char c : text) {
    ASSERT_EQ(FT_Load_Char(ref.face, FT_ULong(c), FT_LOAD_NO_SCALE), 0);
    units += ref.face->glyph->advance.x;
  }
  const double tolerance = double(text.size());  // rounding of each glyph's hinted advance
  EXPECT_NEAR(fonts.MeasureText(f, text).width, units * 40 / ref.upem(), tolerance);

  for (int width : {10, 35}) {
    f.width = width;
    const platform::TextExtent e = fonts.MeasureText(f, text);
    EXPECT_NEAR(e.width, units * width / ref.os2().xAvgCharWidth, tolerance) << width;
    EXPECT_EQ(e.height, fonts.MeasureText(Font("Liberation Sans", -40), text).height);
    EXPECT_NEAR(fonts.Metrics(f).emPixelsX, width * ref.upem() / ref.os2().xAvgCharWidth, 1e-9);
  }
  // A narrowed font draws narrower ink of the same height.
  Plane wide(200, 60), narrow(200, 60);
  fonts.DrawText(Font("Liberation Sans", -40), "OOO", 0, 0, 200, 60, wide.rows.data(), 200, 60, 1);
  f.width = 8;
  fonts.DrawText(f, "OOO", 0, 0, 200, 60, narrow.rows.data(), 200, 60, 1);
  const auto bw = wide.inkBox(), bn = narrow.inkBox();
  EXPECT_LT(bn[2] - bn[0], (bw[2] - bw[0]) * 3 / 4);
  EXPECT_NEAR(bn[3] - bn[1], bw[3] - bw[1], 1);
}

TEST(FontLayer, MissingBoldAndItalicFacesAreSynthesised) {
  platform::FontLayer fonts;
  const std::string face = "DejaVu Math TeX Gyre";
  const LogFont regular = Font(face, -48), bold = Font(face, -48, 700), italic = Font(face, -48, 400, true);
  ASSERT_EQ(fonts.ResolvedFile(bold), fonts.ResolvedFile(regular));
  ASSERT_TRUE(fonts.Metrics(bold).syntheticBold);
  ASSERT_TRUE(fonts.Metrics(italic).syntheticItalic);
  EXPECT_FALSE(fonts.Metrics(regular).syntheticBold);

  // This face's Windows ascent is tall (math glyphs): the baseline lies far down the line.
  const int top = 40 - fonts.Metrics(regular).ascent;
  Plane r(80, 80), b(80, 80), i(80, 80);
  fonts.DrawText(regular, "l", 20, top, 80, 80, r.rows.data(), 80, 80, 1);
  fonts.DrawText(bold, "l", 20, top, 80, 80, b.rows.data(), 80, 80, 1);
  fonts.DrawText(italic, "l", 20, top, 80, 80, i.rows.data(), 80, 80, 1);
  ASSERT_GT(r.count(), 50);
  EXPECT_GT(b.count(), r.count() * 5 / 4);
  EXPECT_GT(fonts.MeasureText(bold, "llll").width, fonts.MeasureText(regular, "llll").width);
  // The slanted stem starts further right at its top than at its bottom.
  const auto box = i.inkBox();
  int topLeft = 80, bottomLeft = 80;
  for (int x = 79; x >= 0; --x) {
    if (i.lit(x, box[1])) topLeft = x;
    if (i.lit(x, box[3])) bottomLeft = x;
  }
  EXPECT_GT(topLeft - bottomLeft, 4);
  EXPECT_NEAR(i.count(), r.count(), r.count() / 10);
}

TEST(FontLayer, LinesAndMnemonicPrefixes) {
  platform::FontLayer fonts;
  const LogFont f = Font("Liberation Sans", 30);
  auto measure = [&](const std::string& t) { return fonts.MeasureText(f, t); };
  auto draw = [&](const std::string& t) {
    Plane p(160, 130);
    fonts.DrawText(f, t, 2, 2, 160, 130, p.rows.data(), p.w, p.h, 1);
    return p.pixels();
  };
  const int lh = fonts.Metrics(f).lineHeight;
  const int ab = measure("AB").width;

  // Every kind of line break splits; none wraps.
  for (const char* t : {"AB\r\nC", "AB\nC", "AB\rC"}) {
    EXPECT_EQ(measure(t).width, ab) << t;
    EXPECT_EQ(measure(t).height, 2 * lh) << t;
    EXPECT_EQ(draw(t), draw("AB\nC")) << t;
  }
  EXPECT_EQ(measure("AB\r\n").height, lh);  // a closing break opens no line
  EXPECT_EQ(measure("AB\r\n\r\nC").height, 3 * lh);
  EXPECT_EQ(measure("").height, 0);
  EXPECT_EQ(measure("").width, 0);
  EXPECT_EQ(measure(std::string(60, 'W')).width, 60 * measure("W").width);

  // The second line is the first drawn one line height lower.
  Plane two(160, 130), one(160, 130);
  fonts.DrawText(f, "A\nV", 2, 2, 160, 130, two.rows.data(), two.w, two.h, 1);
  fonts.DrawText(f, "A", 2, 2, 160, 130, one.rows.data(), one.w, one.h, 1);
  fonts.DrawText(f, "V", 2, 2 + lh, 160, 130, one.rows.data(), one.w, one.h, 1);
  EXPECT_EQ(two.pixels(), one.pixels());

  // "&" prefixes the next character and is not drawn; "&&" draws one; a final "&" is drawn.
  EXPECT_EQ(draw("&AB"), draw("AB"));
  EXPECT_EQ(draw("A&B"), draw("AB"));
  EXPECT_EQ(measure("A&&B").width, measure("A").width + measure("&&").width + measure("B").width);
  EXPECT_EQ(measure("&").width, measure("&&").width);
  EXPECT_EQ(draw("A&\nB"), draw("A\nB"));
  Plane amp(160, 130);
  fonts.DrawText(f, "&&", 2, 2, 160, 130, amp.rows.data(), amp.w, amp.h, 1);
  EXPECT_GT(amp.count(), 20);
}

TEST(FontLayer, DrawingIsClippedToTheRectangleAndTheTarget) {
  platform::FontLayer fonts;
  const LogFont f = Font("Liberation Serif", -60);
  Plane full(300, 120);
  fonts.DrawText(f, "Quorbel", 10, 10, 300, 120, full.rows.data(), full.w, full.h, 1);

  Plane clipped(300, 120);
  fonts.DrawText(f, "Quorbel", 10, 10, 90, 50, clipped.rows.data(), clipped.w, clipped.h, 1);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 300; ++x) {
      const bool inRect = x >= 10 && x < 90 && y >= 10 && y < 50;
      ASSERT_EQ(clipped.lit(x, y), inRect && full.lit(x, y)) << x << "," << y;
    }
  EXPECT_GT(clipped.count(), 50);

  // A rectangle reaching past the target, starting left of and above it.
  Plane small(40, 30, 3);
  fonts.DrawText(f, "Quorbel", -20, -15, 5000, 5000, small.rows.data(), small.w, small.h, 3);
  EXPECT_EQ(small.guardInk(), 0);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      ASSERT_EQ(small.lit(x, y), full.lit(x + 30, y + 25)) << x << "," << y;
      if (small.lit(x, y)) {
        ASSERT_EQ(small.rows[y][x * 3 + 1] & small.rows[y][x * 3 + 2], 255);
      }
    }
  // An empty rectangle draws nothing.
  Plane none(50, 50);
  fonts.DrawText(f, "Q", 30, 30, 30, 60, none.rows.data(), 50, 50, 1);
  fonts.DrawText(f, "Q", 60, 0, 90, 50, none.rows.data(), 50, 50, 1);
  EXPECT_EQ(none.count() + none.guardInk(), 0);
}

}  // namespace
