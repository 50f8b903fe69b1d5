#include "platform/font_layer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H
#include <fontconfig/fontconfig.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "imaging/error.h"

namespace platform {
namespace {

// Height 0 asks for the platform's default font size.
constexpr int32_t kDefaultCellHeight = 16;
// Larger sizes are clamped: no work area can hold them anyway, and FreeType's limit is 65535 ppem.
constexpr double kMaxEmPixels = 16384.0;
// Sized faces kept; a stretched background asks for a new width on every message change.
constexpr size_t kMaxSizedFaces = 32;
// FreeType's own slant for synthetic italics (about 12 degrees).
constexpr FT_Fixed kObliqueShear = 0x0366A;

constexpr uint8_t kSymbolCharset = 2;

// Windows-1252 for 0x80..0x9F; the rest of the code page is Latin-1.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

struct CharsetInfo {
  uint8_t charset;
  const char* codePage;  // iconv name of the code page 8-bit text is written in
  const char* lang;      // fontconfig language hint for face selection
};

constexpr CharsetInfo kCharsets[] = {
    {77, "MACINTOSH", nullptr}, {128, "CP932", "ja"},     {129, "CP949", "ko"},
    {130, "JOHAB", "ko"},       {134, "CP936", "zh-cn"},  {136, "CP950", "zh-tw"},
    {161, "CP1253", "el"},      {162, "CP1254", "tr"},    {163, "CP1258", "vi"},
    {177, "CP1255", "he"},      {178, "CP1256", "ar"},    {186, "CP1257", "lt"},
    {204, "CP1251", "ru"},      {222, "CP874", "th"},     {238, "CP1250", "pl"},
    {255, "CP437", nullptr},
};

const CharsetInfo* FindCharset(uint8_t charset) {
  for (const auto& c : kCharsets)
    if (c.charset == charset) return &c;
  return nullptr;  // ANSI, DEFAULT and anything unknown: Windows-1252
}

char32_t FromCp1252(uint8_t b) { return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b; }

// 8-bit text in the code page of the font's character set, to Unicode. Bytes the code page
// cannot convert are taken as Windows-1252.
std::u32string Decode(const std::string& bytes, uint8_t charset) {
  std::u32string out;
  const CharsetInfo* info = FindCharset(charset);
  iconv_t cd = info ? iconv_open("UTF-32LE", info->codePage) : iconv_t(-1);
  if (cd == iconv_t(-1)) {
    out.reserve(bytes.size());
    for (unsigned char b : bytes) out.push_back(FromCp1252(b));
    return out;
  }
  std::vector<char> in(bytes.begin(), bytes.end());
  char* inPtr = in.data();
  size_t inLeft = in.size();
  while (inLeft > 0) {
    char buf[256];
    char* outPtr = buf;
    size_t outLeft = sizeof buf;
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    const size_t produced = (sizeof buf - outLeft) / 4;
    for (size_t i = 0; i < produced; ++i) {
      const auto* p = reinterpret_cast<const unsigned char*>(buf + i * 4);
      out.push_back(char32_t(p[0]) | char32_t(p[1]) << 8 | char32_t(p[2]) << 16 |
                    char32_t(p[3]) << 24);
    }
    if (r == size_t(-1) && errno != E2BIG) {
      // An invalid or truncated sequence: keep the byte as Windows-1252 and go on.
      out.push_back(FromCp1252(static_cast<unsigned char>(*inPtr)));
      ++inPtr;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

// DrawText format 0: lines end at CR LF, LF or CR (a break at the very end opens no new line);
// "&" is a mnemonic prefix and not drawn, "&&" draws "&", an "&" ending the text is drawn.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string current;
  bool open = false;  // current holds a line that has started
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back(current);
      current.clear();
      open = false;
      continue;
    }
    open = true;
    if (c == '&' && i + 1 < text.size()) {
      if (text[i + 1] == '&') {
        current.push_back('&');
        ++i;
      }
      continue;  // the prefix itself is not drawn; the next character is handled normally
    }
    current.push_back(c);
  }
  if (open) lines.push_back(current);
  return lines;
}

std::string ResolveKey(const LogFont& f, int weight, bool italic) {
  return f.faceName + '\x1f' + std::to_string(weight) + '\x1f' + (italic ? "i" : "r") + '\x1f' +
         std::to_string(f.charSet);
}

// Among arbitrary font files, plain upright sans faces make the least surprising stand-in.
int FallbackRank(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  int rank = 0;
  for (const char* odd : {"Bold", "Italic", "Oblique", "Light", "Condensed", "Mono", "Math", "Symbol"})
    if (name.find(odd) != std::string::npos) rank += 2;
  if (name.find("Sans") == std::string::npos) rank += 1;
  return rank;
}

bool LoadableFontFile(const std::filesystem::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".ttf" || ext == ".otf" || ext == ".ttc" || ext == ".pfb" || ext == ".pfa";
}

}  // namespace

struct ResolvedFace {
  std::string file;
  int index = 0;
  bool faceBold = false;    // the face itself is bold
  bool faceItalic = false;  // the face itself is italic or oblique
};

// A rendered glyph: one byte (0 or 1) per pixel, placed relative to the pen and the baseline.
struct GlyphImage {
  int64_t advance = 0;
  int64_t left = 0, top = 0;  // bitmap_left, bitmap_top
  int64_t width = 0, rows = 0;
  std::vector<uint8_t> ink;
};

// Glyphs larger than this are drawn without being kept; each face keeps at most kMaxImageBytes.
constexpr int64_t kMaxCachedGlyphPixels = 256 * 256;
constexpr size_t kMaxImageBytes = 8u << 20;

struct SizedFace {
  FT_Face face = nullptr;
  FontMetrics metrics;
  FT_Pos emboldenStrength = 0;  // 26.6
  bool symbol = false;          // glyphs reached through the symbol character map
  FT_Pos underlinePos = 0, underlineThick = 0;  // pixels: offset below the baseline, thickness
  FT_Pos strikePos = 0, strikeThick = 0;        // pixels above the baseline
  std::unordered_map<char32_t, int32_t> advances;
  std::unordered_map<char32_t, GlyphImage> images;  // rendered glyphs, reused between draws
  size_t imageBytes = 0;
};

struct FontLayer::Impl {
  FT_Library library = nullptr;
  FcConfig* config = nullptr;
  bool initialised = false;
  std::map<std::string, ResolvedFace> resolved;
  std::map<std::string, SizedFace> sized;

  ~Impl() {
    ClearSized();
    if (config) FcConfigDestroy(config);
    if (library) FT_Done_FreeType(library);
  }

  void ClearSized() {
    for (auto& [key, s] : sized)
      if (s.face) FT_Done_Face(s.face);
    sized.clear();
  }

  void Init() {
    if (initialised) return;
    if (FT_Init_FreeType(&library) != 0) {
      library = nullptr;
      throw quorbel::Error("cannot start the FreeType font rasterizer");
    }
    config = FcInitLoadConfigAndFonts();  // may be null: then only the file scan below is left
    initialised = true;
  }

  // Opens the face to check that FreeType can draw it, and reads its own weight and slant:
  // fontconfig reports the requested style for faces it would synthesise.
  bool CanOpen(ResolvedFace& rf) {
    FT_Face f = nullptr;
    if (FT_New_Face(library, rf.file.c_str(), rf.index, &f) != 0) return false;
    const bool ok = FT_IS_SCALABLE(f);
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
    rf.faceBold = (os2 && os2->version != 0xFFFF) ? os2->usWeightClass >= 600
                                                  : (f->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    rf.faceItalic = (f->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    FT_Done_Face(f);
    return ok;
  }

  // Some installed font, for when fontconfig cannot answer at all.
  ResolvedFace AnyInstalledFont() {
    if (config) {
      FcPattern* pat = FcPatternCreate();
      FcObjectSet* os = FcObjectSetBuild(FC_FILE, FC_INDEX, nullptr);
      FcFontSet* set = FcFontList(config, pat, os);
      std::vector<std::pair<std::string, int>> files;
      if (set) {
        for (int i = 0; i < set->nfont; ++i) {
          FcChar8* file = nullptr;
          int index = 0;
          if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
          FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
          files.emplace_back(reinterpret_cast<const char*>(file), index);
        }
        FcFontSetDestroy(set);
      }
      FcObjectSetDestroy(os);
      FcPatternDestroy(pat);
      std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return std::make_tuple(FallbackRank(a.first), a.first, a.second) <
               std::make_tuple(FallbackRank(b.first), b.first, b.second);
      });
      for (const auto& [file, index] : files) {
        ResolvedFace rf{file, index, false, false};
        if (CanOpen(rf)) return rf;
      }
    }
    std::vector<std::string> files;
    std::vector<std::filesystem::path> roots = {"/usr/share/fonts", "/usr/local/share/fonts"};
    if (const char* home = std::getenv("HOME")) {
      roots.push_back(std::filesystem::path(home) / ".fonts");
      roots.push_back(std::filesystem::path(home) / ".local/share/fonts");
    }
    for (const auto& root : roots) {
      std::error_code ec;
      for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
           !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && LoadableFontFile(it->path())) files.push_back(it->path().string());
      }
    }
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
      return std::make_pair(FallbackRank(a), a) < std::make_pair(FallbackRank(b), b);
    });
    for (const auto& file : files) {
      ResolvedFace rf{file, 0, false, false};
      if (CanOpen(rf)) return rf;
    }
    throw quorbel::Error(
        "no usable font is installed: fontconfig found none and /usr/share/fonts holds no font file");
  }

  const ResolvedFace& Resolve(const LogFont& font) {
    Init();
    const int weight = font.weight <= 0 ? 400 : std::min(font.weight, 1000);
    const bool italic = font.italic != 0;
    const std::string key = ResolveKey(font, weight, italic);
    if (auto it = resolved.find(key); it != resolved.end()) return it->second;

    ResolvedFace face;
    bool found = false;
    if (config) {
      FcPattern* pat = FcPatternCreate();
      if (!font.faceName.empty())
        FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(font.faceName.c_str()));
      FcPatternAddInteger(pat, FC_WEIGHT, int(FcWeightFromOpenTypeDouble(weight)));
      FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
      FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
      if (const CharsetInfo* info = FindCharset(font.charSet); info && info->lang)
        FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>(info->lang));
      FcConfigSubstitute(config, pat, FcMatchPattern);
      FcDefaultSubstitute(pat);
      FcResult result = FcResultNoMatch;
      FcPattern* match = FcFontMatch(config, pat, &result);
      if (match) {
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
          FcPatternGetInteger(match, FC_INDEX, 0, &index);
          face.file = reinterpret_cast<const char*>(file);
          face.index = index;
          found = CanOpen(face);
        }
        FcPatternDestroy(match);
      }
      FcPatternDestroy(pat);
    }
    if (!found) face = AnyInstalledFont();
    return resolved.emplace(key, face).first->second;
  }

  SizedFace& Sized(const LogFont& font) {
    const ResolvedFace& rf = Resolve(font);
    const bool wantBold = font.weight >= 600;
    const bool synthBold = wantBold && !rf.faceBold;
    const bool synthItalic = font.italic != 0 && !rf.faceItalic;
    const std::string key = rf.file + '\x1f' + std::to_string(rf.index) + '\x1f' +
                            std::to_string(font.height) + '\x1f' + std::to_string(font.width) +
                            '\x1f' + (synthBold ? "b" : "") + (synthItalic ? "i" : "") + '\x1f' +
                            std::to_string(font.charSet);
    if (auto it = sized.find(key); it != sized.end()) return it->second;
    if (sized.size() >= kMaxSizedFaces) ClearSized();

    FT_Face face = nullptr;
    if (FT_New_Face(library, rf.file.c_str(), rf.index, &face) != 0)
      throw quorbel::Error(rf.file + ": cannot open the font file");
    SizedFace s;
    s.face = face;
    try {
      Configure(s, font, rf, synthBold, synthItalic);
    } catch (...) {
      FT_Done_Face(face);
      throw;
    }
    return sized.emplace(key, std::move(s)).first->second;
  }

  static void Configure(SizedFace& s, const LogFont& font, const ResolvedFace& rf, bool synthBold,
                        bool synthItalic) {
    FT_Face face = s.face;
    // Character map: Unicode, or the symbol map for symbol fonts (and faces that have no other).
    bool symbol = false;
    if (font.charSet == kSymbolCharset && FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0)
      symbol = true;
    else if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0)
      symbol = FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0;
    s.symbol = symbol;

    const double upem = face->units_per_EM > 0 ? face->units_per_EM : 1000.0;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    // The Windows cell: usWinAscent + usWinDescent, else the horizontal header.
    double asc = 0, desc = 0;
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
      asc = os2->usWinAscent;
      desc = os2->usWinDescent;
    } else if (hhea && hhea->Ascender - hhea->Descender > 0) {
      asc = hhea->Ascender;
      desc = -hhea->Descender;
    } else if (face->ascender - face->descender > 0) {
      asc = face->ascender;
      desc = -face->descender;
    } else {
      asc = upem * 0.8;
      desc = upem * 0.2;
    }
    const double cell = asc + desc;

    int64_t h = font.height == 0 ? kDefaultCellHeight : font.height;
    double emY = h > 0 ? double(h) * upem / cell : double(-h);
    emY = std::clamp(emY, 1.0, kMaxEmPixels);
    double emX = emY;
    if (font.width != 0) {
      double avg = (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0) ? os2->xAvgCharWidth : 0;
      if (avg <= 0) {
        FT_Fixed adv = 0;
        const FT_UInt gi = FT_Get_Char_Index(face, 'x');
        if (gi && FT_Get_Advance(face, gi, FT_LOAD_NO_SCALE, &adv) == 0) avg = double(adv);
        if (avg <= 0) avg = upem / 2;
      }
      emX = std::clamp(std::abs(double(font.width)) * upem / avg, 1.0, kMaxEmPixels);
    }
    if (FT_Set_Char_Size(face, FT_F26Dot6(std::lround(emX * 64)), FT_F26Dot6(std::lround(emY * 64)), 72,
                         72) != 0)
      throw quorbel::Error(rf.file + ": the font cannot be set to the requested size");
    if (synthItalic) {
      FT_Matrix m{0x10000, kObliqueShear, 0, 0x10000};
      FT_Set_Transform(face, &m, nullptr);
    }

    const FT_Fixed yScale = face->size->metrics.y_scale;
    auto toPixels = [&](double units) { return int32_t((FT_MulFix(FT_Long(std::lround(units)), yScale) + 32) >> 6); };
    FontMetrics& m = s.metrics;
    m.file = rf.file;
    m.faceIndex = rf.index;
    m.ascent = toPixels(asc);
    m.descent = toPixels(desc);
    m.lineHeight = h > 0 ? int32_t(h) : m.ascent + m.descent;
    if (h > 0 && m.ascent > m.lineHeight) m.ascent = m.lineHeight;
    m.descent = h > 0 ? m.lineHeight - m.ascent : m.descent;
    m.emPixelsX = emX;
    m.emPixelsY = emY;
    m.syntheticBold = synthBold;
    m.syntheticItalic = synthItalic;
    // FreeType's strength for synthetic bold: a 24th of the em.
    s.emboldenStrength = synthBold ? std::max<FT_Pos>(64, FT_Pos(std::lround(emY * 64 / 24))) : 0;

    const double pxPerUnit = emY / upem;
    const double ulThick = face->underline_thickness > 0 ? face->underline_thickness : upem / 14;
    s.underlineThick = std::max<FT_Pos>(1, FT_Pos(std::lround(ulThick * pxPerUnit)));
    s.underlinePos = std::max<FT_Pos>(1, FT_Pos(std::lround(-double(face->underline_position) * pxPerUnit)));
    if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
      s.strikeThick = std::max<FT_Pos>(1, FT_Pos(std::lround(os2->yStrikeoutSize * pxPerUnit)));
      s.strikePos = FT_Pos(std::lround(os2->yStrikeoutPosition * pxPerUnit));
    } else {
      s.strikeThick = s.underlineThick;
      s.strikePos = FT_Pos(std::lround(asc * pxPerUnit / 3));
    }
  }

  static FT_UInt GlyphIndex(const SizedFace& s, char32_t cp, unsigned char raw) {
    if (s.symbol) {
      // Symbol fonts put their glyphs at U+F000 + code (or at the code itself).
      if (FT_UInt gi = FT_Get_Char_Index(s.face, 0xF000 + raw)) return gi;
      return FT_Get_Char_Index(s.face, raw);
    }
    return FT_Get_Char_Index(s.face, cp);
  }

  // Loads (hinted, for monochrome) and emboldens a glyph; false when FreeType refuses it.
  static bool LoadGlyph(SizedFace& s, FT_UInt gi) {
    if (FT_Load_Glyph(s.face, gi, FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0) return false;
    FT_GlyphSlot slot = s.face->glyph;
    if (s.emboldenStrength > 0 && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      // Widen horizontally only, as the platform's synthetic bold does; keep the left edge.
      FT_Outline_EmboldenXY(&slot->outline, s.emboldenStrength, 0);
      FT_Outline_Translate(&slot->outline, s.emboldenStrength / 2, 0);
      slot->advance.x += s.emboldenStrength;
    }
    return true;
  }

  int32_t Advance(SizedFace& s, char32_t cp, unsigned char raw) {
    if (auto it = s.advances.find(cp); it != s.advances.end()) return it->second;
    int32_t adv = 0;
    if (LoadGlyph(s, GlyphIndex(s, cp, raw))) adv = int32_t((s.face->glyph->advance.x + 32) >> 6);
    s.advances.emplace(cp, adv);
    return adv;
  }

  struct Line {
    std::string bytes;
    std::u32string cps;
  };

  std::vector<Line> Layout(const SizedFace& s, const LogFont& font, std::string_view text) {
    std::vector<Line> lines;
    for (auto& bytes : SplitLines(text)) {
      Line l;
      l.cps = s.symbol ? std::u32string(bytes.begin(), bytes.end()) : Decode(bytes, font.charSet);
      if (s.symbol) {
        for (auto& c : l.cps) c &= 0xFF;
      }
      l.bytes = std::move(bytes);
      lines.push_back(std::move(l));
    }
    return lines;
  }

  static unsigned char RawByte(const Line& l, size_t i) {
    // Only symbol fonts use the raw byte; their lines decode one code point per byte.
    return i < l.bytes.size() ? static_cast<unsigned char>(l.bytes[i]) : 0;
  }
};

FontLayer::FontLayer() : impl_(std::make_unique<Impl>()) {}
FontLayer::~FontLayer() = default;

std::string FontLayer::ResolvedFile(const LogFont& font) { return impl_->Resolve(font).file; }

FontMetrics FontLayer::Metrics(const LogFont& font) { return impl_->Sized(font).metrics; }

TextExtent FontLayer::MeasureText(const LogFont& font, std::string_view text) {
  SizedFace& s = impl_->Sized(font);
  const auto lines = impl_->Layout(s, font, text);
  int64_t widest = 0;
  for (const auto& line : lines) {
    int64_t w = 0;
    for (size_t i = 0; i < line.cps.size(); ++i) w += impl_->Advance(s, line.cps[i], Impl::RawByte(line, i));
    widest = std::max(widest, w);
  }
  TextExtent e;
  e.width = int32_t(std::min<int64_t>(widest, INT32_MAX));
  e.height = int32_t(std::min<int64_t>(int64_t(lines.size()) * s.metrics.lineHeight, INT32_MAX));
  return e;
}

void FontLayer::DrawText(const LogFont& font, std::string_view text, int left, int top, int right,
                         int bottom, uint8_t* const* rows, int targetWidth, int targetHeight,
                         int bytesPerPixel) {
  if (!rows || bytesPerPixel <= 0) return;
  const int64_t cx0 = std::max(left, 0), cy0 = std::max(top, 0);
  const int64_t cx1 = std::min(right, targetWidth), cy1 = std::min(bottom, targetHeight);
  if (cx0 >= cx1 || cy0 >= cy1) return;
  SizedFace& s = impl_->Sized(font);
  const auto lines = impl_->Layout(s, font, text);

  auto fillRun = [&](int64_t y, int64_t xa, int64_t xb) {  // xb exclusive
    if (y < cy0 || y >= cy1) return;
    xa = std::max(xa, cx0);
    xb = std::min(xb, cx1);
    if (xa >= xb) return;
    std::fill(rows[y] + xa * bytesPerPixel, rows[y] + xb * bytesPerPixel, uint8_t(255));
  };

  int64_t lineTop = top;
  for (const auto& line : lines) {
    if (lineTop >= cy1) break;
    const int64_t baseline = lineTop + s.metrics.ascent;
    int64_t pen = left;
    for (size_t i = 0; i < line.cps.size(); ++i) {
      const char32_t cp = line.cps[i];
      GlyphImage fresh;
      const GlyphImage* g = nullptr;
      if (auto it = s.images.find(cp); it != s.images.end()) {
        g = &it->second;
      } else {
        if (!Impl::LoadGlyph(s, Impl::GlyphIndex(s, cp, Impl::RawByte(line, i)))) continue;
        FT_GlyphSlot slot = s.face->glyph;
        fresh.advance = (slot->advance.x + 32) >> 6;
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
          // Glyphs wholly outside the clip are not rendered: at huge sizes that is most of them.
          FT_BBox box;
          FT_Outline_Get_CBox(&slot->outline, &box);
          const int64_t gx0 = pen + (box.xMin >> 6) - 1, gx1 = pen + ((box.xMax + 63) >> 6) + 1;
          const int64_t gy0 = baseline - ((box.yMax + 63) >> 6) - 1, gy1 = baseline - (box.yMin >> 6) + 1;
          if (!(gx1 > cx0 && gx0 < cx1 && gy1 > cy0 && gy0 < cy1)) {
            pen += fresh.advance;
            continue;
          }
        }
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) == 0) {
          const FT_Bitmap& bm = slot->bitmap;
          fresh.left = slot->bitmap_left;
          fresh.top = slot->bitmap_top;
          fresh.width = bm.width;
          fresh.rows = bm.rows;
          fresh.ink.assign(size_t(fresh.width * fresh.rows), 0);
          const unsigned char* src = bm.pitch < 0 ? bm.buffer - int64_t(bm.pitch) * (bm.rows - 1) : bm.buffer;
          for (unsigned r = 0; r < bm.rows; ++r, src += bm.pitch)
            for (unsigned c = 0; c < bm.width; ++c) {
              bool ink = false;
              if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                ink = (src[c >> 3] >> (7 - (c & 7))) & 1;
              else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
                ink = src[c] >= 128;
              fresh.ink[size_t(r) * bm.width + c] = ink;
            }
        }
        const size_t bytes = fresh.ink.size();
        if (int64_t(bytes) <= kMaxCachedGlyphPixels && s.imageBytes + bytes <= kMaxImageBytes) {
          s.imageBytes += bytes;
          g = &s.images.emplace(cp, std::move(fresh)).first->second;
        } else {
          g = &fresh;
        }
      }
      const int64_t ox = pen + g->left, oy = baseline - g->top;
      const int64_t r0 = std::max<int64_t>(0, cy0 - oy), r1 = std::min<int64_t>(g->rows, cy1 - oy);
      const int64_t c0 = std::max<int64_t>(0, cx0 - ox), c1 = std::min<int64_t>(g->width, cx1 - ox);
      for (int64_t r = r0; r < r1; ++r) {
        const uint8_t* src = g->ink.data() + r * g->width;
        uint8_t* dst = rows[oy + r];
        for (int64_t c = c0; c < c1; ++c)
          if (src[c]) std::fill(dst + (ox + c) * bytesPerPixel, dst + (ox + c + 1) * bytesPerPixel, uint8_t(255));
      }
      pen += g->advance;
    }
    // Underline and strike-out run under the whole line, as the platform draws them.
    if (font.underline)
      for (FT_Pos t = 0; t < s.underlineThick; ++t) fillRun(baseline + s.underlinePos + t, left, pen);
    if (font.strikeOut)
      for (FT_Pos t = 0; t < s.strikeThick; ++t) fillRun(baseline - s.strikePos - t, left, pen);
    lineTop += s.metrics.lineHeight;
  }
}

}  // namespace platform
