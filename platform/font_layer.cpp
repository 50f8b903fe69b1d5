#include "platform/font_layer.h"

#include "document/text_encoding.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H
#include <fontconfig/fontconfig.h>
#include <fribidi.h>
#include <hb-ft.h>
#include <hb.h>
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
#include "platform/face_cache.h"

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

struct CharsetInfo {
  uint8_t charset;
  const char* lang;  // fontconfig language hint for face selection
};

constexpr CharsetInfo kCharsets[] = {
    {128, "ja"}, {129, "ko"}, {130, "ko"}, {134, "zh-cn"}, {136, "zh-tw"}, {161, "el"}, {162, "tr"},
    {163, "vi"}, {177, "he"}, {178, "ar"}, {186, "lt"},    {204, "ru"},    {222, "th"}, {238, "pl"},
};

const CharsetInfo* FindCharset(uint8_t charset) {
  for (const auto& c : kCharsets)
    if (c.charset == charset) return &c;
  return nullptr;  // ANSI, DEFAULT and anything unknown: Windows-1252
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
  bool colorBitmap = false; // colour bitmap strikes only (emoji); usable as a fallback face
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
  hb_font_t* hb = nullptr;      // HarfBuzz's view of face, at the same size
  double scale = 1.0;           // colour bitmap strikes: wanted em / the strike's em
  bool colorBitmap = false;
  FontMetrics metrics;
  FT_Pos emboldenStrength = 0;  // 26.6
  bool symbol = false;          // glyphs reached through the symbol character map
  FT_Pos underlinePos = 0, underlineThick = 0;  // pixels: offset below the baseline, thickness
  FT_Pos strikePos = 0, strikeThick = 0;        // pixels above the baseline
  std::unordered_map<uint32_t, GlyphImage> images;  // rendered glyphs by index, reused between draws
  size_t imageBytes = 0;
};

// One glyph of a laid-out line: which face, which glyph, where (pixels from the line's left end
// and its baseline, y down).
struct PlacedGlyph {
  SizedFace* face = nullptr;
  uint32_t glyph = 0;
  int64_t x = 0, y = 0;
};

struct ShapedLine {
  std::vector<PlacedGlyph> glyphs;
  int64_t width = 0;  // sum of the advances
};

namespace {

bool IsControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp < 0xA0); }

// Joiners and variation selectors: invisible, they select how the character before is drawn.
bool IsJoiner(char32_t cp) {
  return cp == 0x200C || cp == 0x200D || (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0xE0100 && cp <= 0xE01EF);
}

// Characters that belong to the cluster before them and are drawn with its face when it can.
bool JoinsPrevious(char32_t cp) {
  if (IsJoiner(cp) || (cp >= 0x1F3FB && cp <= 0x1F3FF)) return true;
  const auto gc = hb_unicode_general_category(hb_unicode_funcs_get_default(), cp);
  return gc == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK ||
         gc == HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK || gc == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK;
}

bool NeutralScript(hb_script_t s) {
  return s == HB_SCRIPT_COMMON || s == HB_SCRIPT_INHERITED || s == HB_SCRIPT_UNKNOWN;
}

// A stretch of a line shaped in one go: one face, one direction, one script.
struct Run {
  size_t start = 0, length = 0;
  SizedFace* face = nullptr;
  FriBidiLevel level = 0;
  hb_script_t script = HB_SCRIPT_COMMON;
};

// Code points as the symbol character map wants them: Windows-1252 bytes.
std::string SymbolBytes(const std::u32string& cps) {
  std::string out;
  iconv_t cd = iconv_open("CP1252", "UTF-32LE");
  for (char32_t cp : cps) {
    if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100) || cd == iconv_t(-1)) {
      out += char(cp & 0xFF);
      continue;
    }
    unsigned char in[4] = {uint8_t(cp), uint8_t(cp >> 8), uint8_t(cp >> 16), uint8_t(cp >> 24)};
    char byte = 0;
    char* inPtr = reinterpret_cast<char*>(in);
    char* outPtr = &byte;
    size_t inLeft = 4, outLeft = 1;
    const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1) && outLeft == 0;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out += ok ? byte : char(cp & 0xFF);
  }
  if (cd != iconv_t(-1)) iconv_close(cd);
  return out;
}

}  // namespace

struct FontLayer::Impl {
  // A face fontconfig lists for a LogFont, in its order of preference, with the characters it has.
  struct Candidate {
    ResolvedFace face;
    FcCharSet* chars = nullptr;
    int usable = -1;  // unknown until first needed
  };

  explicit Impl(std::string cachePath) : cache(std::move(cachePath)) {}

  FT_Library library = nullptr;
  FcConfig* config = nullptr;
  bool fontconfigStarted = false;
  FaceCache cache;
  std::map<std::string, ResolvedFace> resolved;
  std::map<std::string, SizedFace> sized;
  std::map<std::string, std::vector<Candidate>> fallbackLists;          // by ResolveKey
  // The fallback face per character; an empty file: none has it.
  std::map<std::pair<std::string, char32_t>, ResolvedFace> fallbackChoice;
  std::u32string missing;  // characters no installed face has, since the last TakeMissing

  ~Impl() {
    ClearSized();
    for (auto& [key, list] : fallbackLists)
      for (auto& c : list)
        if (c.chars) FcCharSetDestroy(c.chars);
    if (config) FcConfigDestroy(config);
    if (library) FT_Done_FreeType(library);
  }

  static void Release(SizedFace& s) {
    if (s.hb) hb_font_destroy(s.hb);
    if (s.face) FT_Done_Face(s.face);
    s.hb = nullptr;
    s.face = nullptr;
  }

  void ClearSized() {
    for (auto& [key, s] : sized) Release(s);
    sized.clear();
  }

  // Called only between layouts: glyph references into the faces must stay valid during one.
  void TrimSized() {
    if (sized.size() >= kMaxSizedFaces) ClearSized();
  }

  void Init() {
    if (library) return;
    if (FT_Init_FreeType(&library) != 0) {
      library = nullptr;
      throw quorbel::Error("cannot start the FreeType font rasterizer");
    }
  }

  // Started only when the face cache has no answer: reading the configuration is the costly part.
  void StartFontconfig() {
    if (fontconfigStarted) return;
    fontconfigStarted = true;
    config = FcInitLoadConfigAndFonts();  // may be null: then only the file scan below is left
    if (config) cache.SetWatched(WatchedPaths());
  }

  // What fontconfig's answers depend on: its configuration files and their folders, the user's
  // configuration places even when absent, and every font folder (a new font changes its folder).
  std::vector<std::string> WatchedPaths() {
    std::vector<std::string> paths;
    auto take = [&paths](FcStrList* list, bool withParent) {
      if (!list) return;
      while (FcChar8* s = FcStrListNext(list)) {
        const std::string path = reinterpret_cast<const char*>(s);
        paths.push_back(path);
        if (withParent) paths.push_back(std::filesystem::path(path).parent_path().string());
      }
      FcStrListDone(list);
    };
    take(FcConfigGetConfigFiles(config), true);
    take(FcConfigGetConfigDirs(config), false);
    take(FcConfigGetFontDirs(config), false);
    std::string xdg;
    if (const char* v = std::getenv("XDG_CONFIG_HOME"); v && *v) xdg = v;
    const char* home = std::getenv("HOME");
    if (xdg.empty() && home && *home) xdg = std::string(home) + "/.config";
    if (!xdg.empty())
      for (const char* leaf : {"/fontconfig", "/fontconfig/fonts.conf", "/fontconfig/conf.d"}) paths.push_back(xdg + leaf);
    if (home && *home)
      for (const char* leaf : {"/.fonts.conf", "/.fonts.conf.d"}) paths.push_back(std::string(home) + leaf);
    return paths;
  }

  static CachedFace ToCached(const ResolvedFace& f) {
    return {f.file, f.index, f.faceBold, f.faceItalic, f.colorBitmap};
  }
  static ResolvedFace FromCached(const CachedFace& c) { return {c.file, c.index, c.bold, c.italic, c.colorBitmap}; }

  // Opens the face to check that FreeType can draw it, and reads its own weight and slant:
  // fontconfig reports the requested style for faces it would synthesise.
  bool CanOpen(ResolvedFace& rf, bool allowColorBitmap = false) {
    FT_Face f = nullptr;
    if (FT_New_Face(library, rf.file.c_str(), rf.index, &f) != 0) return false;
    rf.colorBitmap = !FT_IS_SCALABLE(f) && FT_HAS_COLOR(f) && FT_HAS_FIXED_SIZES(f) && f->num_fixed_sizes > 0;
    const bool ok = FT_IS_SCALABLE(f) || (allowColorBitmap && rf.colorBitmap);
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
    if (auto hit = cache.Find("m\x1f" + key); hit && !hit->file.empty())
      return resolved.emplace(key, FromCached(*hit)).first->second;

    StartFontconfig();
    ResolvedFace face;
    bool found = false;
    if (config) {
      FcPattern* pat = Pattern(font, weight, italic, true);
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
    // Only fontconfig's own match is kept: the stand-in below may come from a scan of folders
    // the cache does not watch.
    if (found) cache.Store("m\x1f" + key, ToCached(face));
    else face = AnyInstalledFont();
    return resolved.emplace(key, face).first->second;
  }

  // The pattern fontconfig matches for a LogFont: face, weight, slant and the charset's language.
  FcPattern* Pattern(const LogFont& font, int weight, bool italic, bool scalableOnly) {
    FcPattern* pat = FcPatternCreate();
    if (!font.faceName.empty())
      FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(font.faceName.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, int(FcWeightFromOpenTypeDouble(weight)));
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    if (scalableOnly) FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    if (const CharsetInfo* info = FindCharset(font.charSet); info && info->lang)
      FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>(info->lang));
    FcConfigSubstitute(config, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    return pat;
  }

  SizedFace& Sized(const LogFont& font) { return Sized(font, Resolve(font)); }

  // The face rf at the size font asks for, by the same rules whichever face it is.
  SizedFace& Sized(const LogFont& font, const ResolvedFace& rf) {
    const bool wantBold = font.weight >= 600;
    const bool synthBold = wantBold && !rf.faceBold && !rf.colorBitmap;
    const bool synthItalic = font.italic != 0 && !rf.faceItalic && !rf.colorBitmap;
    const std::string key = rf.file + '\x1f' + std::to_string(rf.index) + '\x1f' +
                            std::to_string(font.height) + '\x1f' + std::to_string(font.width) +
                            '\x1f' + (synthBold ? "b" : "") + (synthItalic ? "i" : "") + '\x1f' +
                            std::to_string(font.charSet);
    if (auto it = sized.find(key); it != sized.end()) return it->second;

    FT_Face face = nullptr;
    if (FT_New_Face(library, rf.file.c_str(), rf.index, &face) != 0)
      throw quorbel::Error(rf.file + ": cannot open the font file");
    SizedFace s;
    s.face = face;
    try {
      Configure(s, font, rf, synthBold, synthItalic);
      s.hb = hb_ft_font_create_referenced(face);
      hb_ft_font_set_load_flags(s.hb, rf.colorBitmap ? FT_LOAD_COLOR : FT_LOAD_NO_HINTING);
    } catch (...) {
      Release(s);
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
    s.colorBitmap = rf.colorBitmap;

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
    if (rf.colorBitmap) {
      // Bitmap strikes: the one nearest the em (the largest below it only when none is larger),
      // scaled to it when drawn.
      int best = 0;
      for (int i = 1; i < face->num_fixed_sizes; ++i) {
        const double have = face->available_sizes[i].y_ppem / 64.0, kept = face->available_sizes[best].y_ppem / 64.0;
        if ((kept < emY && have > kept) || (have >= emY && have < kept)) best = i;
      }
      if (FT_Select_Size(face, best) != 0) throw quorbel::Error(rf.file + ": no usable bitmap size");
      const double strike = face->available_sizes[best].y_ppem / 64.0;
      s.scale = strike > 0 ? emY / strike : 1.0;
    } else if (FT_Set_Char_Size(face, FT_F26Dot6(std::lround(emX * 64)), FT_F26Dot6(std::lround(emY * 64)), 72,
                                72) != 0) {
      throw quorbel::Error(rf.file + ": the font cannot be set to the requested size");
    }
    if (synthItalic) {
      FT_Matrix m{0x10000, kObliqueShear, 0, 0x10000};
      FT_Set_Transform(face, &m, nullptr);
    }

    const double pxPerUnit = emY / upem;
    auto toPixels = [&](double units) { return int32_t(std::lround(units * pxPerUnit)); };
    FontMetrics& m = s.metrics;
    m.file = rf.file;
    m.faceIndex = rf.index;
    if (rf.colorBitmap) {
      m.ascent = toPixels(asc);
      m.descent = toPixels(desc);
    } else {
      const FT_Fixed yScale = face->size->metrics.y_scale;
      auto hinted = [&](double units) { return int32_t((FT_MulFix(FT_Long(std::lround(units)), yScale) + 32) >> 6); };
      m.ascent = hinted(asc);
      m.descent = hinted(desc);
    }
    m.lineHeight = h > 0 ? int32_t(h) : m.ascent + m.descent;
    if (h > 0 && m.ascent > m.lineHeight) m.ascent = m.lineHeight;
    m.descent = h > 0 ? m.lineHeight - m.ascent : m.descent;
    m.emPixelsX = emX;
    m.emPixelsY = emY;
    m.syntheticBold = synthBold;
    m.syntheticItalic = synthItalic;
    // FreeType's strength for synthetic bold: a 24th of the em.
    s.emboldenStrength = synthBold ? std::max<FT_Pos>(64, FT_Pos(std::lround(emY * 64 / 24))) : 0;

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

  // The face fontconfig prefers, after the chosen one, for a character that face lacks; null when
  // no installed face has it.
  const ResolvedFace* FallbackFace(const LogFont& font, char32_t cp) {
    const int weight = font.weight <= 0 ? 400 : std::min(font.weight, 1000);
    const bool italic = font.italic != 0;
    const std::string key = ResolveKey(font, weight, italic);
    auto [choice, fresh] = fallbackChoice.try_emplace({key, cp});
    if (fresh) {
      const std::string cacheKey = "f\x1f" + key + '\x1f' + std::to_string(uint32_t(cp));
      if (auto hit = cache.Find(cacheKey)) {
        choice->second = FromCached(*hit);
      } else {
        StartFontconfig();
        if (!config) return nullptr;
        if (const ResolvedFace* rf = SortedFallback(key, font, weight, italic, cp)) choice->second = *rf;
        cache.Store(cacheKey, ToCached(choice->second));
      }
    }
    return choice->second.file.empty() ? nullptr : &choice->second;
  }

  // The first face in fontconfig's order of preference that has cp and FreeType can open.
  const ResolvedFace* SortedFallback(const std::string& key, const LogFont& font, int weight, bool italic,
                                     char32_t cp) {
    auto listIt = fallbackLists.find(key);
    if (listIt == fallbackLists.end()) {
      std::vector<Candidate> list;
      FcPattern* pat = Pattern(font, weight, italic, false);
      FcResult result = FcResultNoMatch;
      if (FcFontSet* set = FcFontSort(config, pat, FcTrue, nullptr, &result)) {
        for (int i = 0; i < set->nfont; ++i) {
          FcChar8* file = nullptr;
          FcCharSet* chars = nullptr;
          int index = 0;
          if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch ||
              FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch)
            continue;
          FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
          Candidate c;
          c.face.file = reinterpret_cast<const char*>(file);
          c.face.index = index;
          c.chars = FcCharSetCopy(chars);
          list.push_back(std::move(c));
        }
        FcFontSetDestroy(set);
      }
      FcPatternDestroy(pat);
      listIt = fallbackLists.emplace(key, std::move(list)).first;
    }
    for (Candidate& c : listIt->second) {
      if (!FcCharSetHasChar(c.chars, FcChar32(cp))) continue;
      if (c.usable < 0) c.usable = CanOpen(c.face, true) ? 1 : 0;
      if (c.usable == 1) return &c.face;
    }
    return nullptr;
  }

  static bool Has(const SizedFace& s, char32_t cp) { return FT_Get_Char_Index(s.face, cp) != 0; }

  // The face for each character: the chosen one when it has the character, else the fallback.
  std::vector<SizedFace*> FacesFor(SizedFace& primary, const LogFont& font, const std::u32string& cps) {
    std::vector<SizedFace*> faces(cps.size(), &primary);
    for (size_t i = 0; i < cps.size(); ++i) {
      const char32_t cp = cps[i];
      if (i > 0 && JoinsPrevious(cp) && (IsJoiner(cp) || Has(*faces[i - 1], cp))) {
        faces[i] = faces[i - 1];
        continue;
      }
      if (Has(primary, cp) || cp == 0x20 || cp == 0xA0) continue;
      if (const ResolvedFace* rf = FallbackFace(font, cp)) {
        faces[i] = &Sized(font, *rf);
      } else if (missing.find(cp) == std::u32string::npos) {
        missing.push_back(cp);
      }
    }
    return faces;
  }

  // Pixels from a HarfBuzz position of face s.
  static int64_t ToPixels(const SizedFace& s, hb_position_t v) {
    return int64_t(std::llround(double(v) * s.scale / 64.0));
  }

  // Symbol fonts draw byte by byte through their own character map, unshaped.
  static ShapedLine SymbolLine(SizedFace& s, const std::u32string& cps) {
    ShapedLine line;
    const std::string bytes = SymbolBytes(cps);
    for (unsigned char raw : bytes) {
      FT_UInt gi = FT_Get_Char_Index(s.face, 0xF000 + raw);
      if (!gi) gi = FT_Get_Char_Index(s.face, raw);
      if (!LoadGlyph(s, gi)) continue;
      line.glyphs.push_back({&s, gi, line.width, 0});
      line.width += (s.face->glyph->advance.x + 32) >> 6;
    }
    return line;
  }

  ShapedLine Shape(SizedFace& primary, const LogFont& font, const std::u32string& cps, hb_buffer_t* buf) {
    if (primary.symbol) return SymbolLine(primary, cps);
    ShapedLine line;
    const size_t n = cps.size();
    if (n == 0) return line;
    const std::vector<SizedFace*> faces = FacesFor(primary, font, cps);

    // Bidirectional levels; text without right-to-left characters stays at level 0.
    std::vector<FriBidiLevel> levels(n, 0);
    if (std::any_of(cps.begin(), cps.end(), [](char32_t c) { return c >= 0x590; })) {
      std::vector<FriBidiCharType> types(n);
      std::vector<FriBidiBracketType> brackets(n);
      const auto* chars = reinterpret_cast<const FriBidiChar*>(cps.data());
      fribidi_get_bidi_types(chars, FriBidiStrIndex(n), types.data());
      fribidi_get_bracket_types(chars, FriBidiStrIndex(n), types.data(), brackets.data());
      FriBidiParType dir = FRIBIDI_PAR_ON;
      if (!fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), FriBidiStrIndex(n), &dir,
                                               levels.data()))
        std::fill(levels.begin(), levels.end(), FriBidiLevel(0));
    }

    // Runs of one face, level and script, in logical order.
    hb_unicode_funcs_t* ufuncs = hb_unicode_funcs_get_default();
    std::vector<Run> runs;
    for (size_t i = 0; i < n; ++i) {
      const hb_script_t script = hb_unicode_script(ufuncs, cps[i]);
      Run* cur = runs.empty() ? nullptr : &runs.back();
      const bool scriptClash = cur && !NeutralScript(script) && !NeutralScript(cur->script) && script != cur->script;
      if (!cur || cur->face != faces[i] || cur->level != levels[i] || scriptClash) {
        runs.push_back({i, 1, faces[i], levels[i], script});
        continue;
      }
      ++cur->length;
      if (NeutralScript(cur->script)) cur->script = script;
    }

    // Visual order: from the highest level down to the lowest odd one, reverse each stretch of
    // runs at that level or above.
    int maxLevel = 0, minOdd = INT32_MAX;
    for (const Run& r : runs) {
      maxLevel = std::max(maxLevel, int(r.level));
      if (r.level & 1) minOdd = std::min(minOdd, int(r.level));
    }
    for (int level = maxLevel; level >= minOdd; --level) {
      for (size_t i = 0; i < runs.size();) {
        if (runs[i].level < level) {
          ++i;
          continue;
        }
        size_t j = i;
        while (j < runs.size() && runs[j].level >= level) ++j;
        std::reverse(runs.begin() + i, runs.begin() + j);
        i = j;
      }
    }

    for (const Run& r : runs) {
      SizedFace& s = *r.face;
      hb_buffer_clear_contents(buf);
      // The whole line is context, so that joining continues across runs.
      hb_buffer_add_utf32(buf, reinterpret_cast<const uint32_t*>(cps.data()), int(n), unsigned(r.start),
                          int(r.length));
      hb_buffer_set_direction(buf, (r.level & 1) ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
      hb_buffer_set_script(buf, NeutralScript(r.script) ? HB_SCRIPT_LATIN : r.script);
      hb_buffer_set_language(buf, hb_language_get_default());
      hb_shape(s.hb, buf, nullptr, 0);
      unsigned count = 0;
      const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &count);
      const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buf, &count);
      for (unsigned g = 0; g < count; ++g) {
        line.glyphs.push_back({&s, info[g].codepoint, line.width + ToPixels(s, pos[g].x_offset),
                               -ToPixels(s, pos[g].y_offset)});
        if (pos[g].x_advance != 0)
          line.width += int64_t(std::llround((double(pos[g].x_advance) * s.scale + double(s.emboldenStrength)) / 64.0));
      }
    }
    return line;
  }

  // The lines of text, shaped: UTF-8, or 8-bit text in the code page of the font's character set.
  std::vector<ShapedLine> Layout(SizedFace& primary, const LogFont& font, std::string_view text) {
    std::vector<ShapedLine> lines;
    const bool utf8 = IsValidUtf8(text);
    hb_buffer_t* buf = hb_buffer_create();
    try {
      for (const auto& bytes : SplitLines(text)) {
        std::u32string cps = Utf8ToCodePoints(utf8 ? bytes : TextToUtf8(bytes, font.charSet));
        std::erase_if(cps, IsControl);
        lines.push_back(Shape(primary, font, cps, buf));
      }
    } catch (...) {
      hb_buffer_destroy(buf);
      throw;
    }
    hb_buffer_destroy(buf);
    return lines;
  }

  // Loads (hinted, for monochrome) and emboldens a glyph; false when FreeType refuses it.
  static bool LoadGlyph(SizedFace& s, FT_UInt gi) {
    if (s.colorBitmap) return FT_Load_Glyph(s.face, gi, FT_LOAD_COLOR) == 0;
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

  // The bi-level image of the glyph just loaded: coverage of at least half, or for colour glyphs
  // alpha of at least half; bitmap strikes scaled to the wanted size.
  static GlyphImage Render(SizedFace& s) {
    GlyphImage img;
    FT_GlyphSlot slot = s.face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return img;
    const FT_Bitmap& bm = slot->bitmap;
    std::vector<uint8_t> ink(size_t(bm.width) * bm.rows, 0);
    const unsigned char* src = bm.pitch < 0 ? bm.buffer - int64_t(bm.pitch) * (bm.rows - 1) : bm.buffer;
    for (unsigned r = 0; r < bm.rows && src; ++r, src += bm.pitch)
      for (unsigned c = 0; c < bm.width; ++c) {
        bool on = false;
        if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
          on = (src[c >> 3] >> (7 - (c & 7))) & 1;
        else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
          on = src[c] >= 128;
        else if (bm.pixel_mode == FT_PIXEL_MODE_BGRA)
          on = src[c * 4 + 3] >= 128;
        ink[size_t(r) * bm.width + c] = on;
      }
    if (s.scale == 1.0) {
      img.left = slot->bitmap_left;
      img.top = slot->bitmap_top;
      img.width = bm.width;
      img.rows = bm.rows;
      img.ink = std::move(ink);
      return img;
    }
    // Nearest neighbour: the mask is bi-level anyway.
    img.left = std::llround(slot->bitmap_left * s.scale);
    img.top = std::llround(slot->bitmap_top * s.scale);
    img.width = std::max<int64_t>(1, std::llround(bm.width * s.scale));
    img.rows = std::max<int64_t>(1, std::llround(bm.rows * s.scale));
    if (bm.width == 0 || bm.rows == 0) {
      img.width = img.rows = 0;
      return img;
    }
    img.ink.assign(size_t(img.width * img.rows), 0);
    for (int64_t r = 0; r < img.rows; ++r) {
      const int64_t sr = std::min<int64_t>(bm.rows - 1, int64_t((r + 0.5) / s.scale));
      for (int64_t c = 0; c < img.width; ++c) {
        const int64_t sc = std::min<int64_t>(bm.width - 1, int64_t((c + 0.5) / s.scale));
        img.ink[size_t(r * img.width + c)] = ink[size_t(sr) * bm.width + size_t(sc)];
      }
    }
    return img;
  }
};

FontLayer::FontLayer() : FontLayer(FaceCache::DefaultPath()) {}
FontLayer::FontLayer(std::string faceCachePath) : impl_(std::make_unique<Impl>(std::move(faceCachePath))) {}
FontLayer::~FontLayer() = default;

std::string FontLayer::ResolvedFile(const LogFont& font) {
  std::string file = impl_->Resolve(font).file;
  impl_->cache.Flush();
  return file;
}

FontMetrics FontLayer::Metrics(const LogFont& font) {
  impl_->TrimSized();
  FontMetrics m = impl_->Sized(font).metrics;
  impl_->cache.Flush();
  return m;
}

std::string FontLayer::TakeMissingCharacters() {
  std::string out;
  for (char32_t cp : impl_->missing) AppendUtf8(cp, out);
  impl_->missing.clear();
  return out;
}

TextExtent FontLayer::MeasureText(const LogFont& font, std::string_view text) {
  impl_->TrimSized();
  SizedFace& s = impl_->Sized(font);
  const auto lines = impl_->Layout(s, font, text);
  impl_->cache.Flush();
  int64_t widest = 0;
  for (const auto& line : lines) widest = std::max(widest, line.width);
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
  impl_->TrimSized();
  SizedFace& primary = impl_->Sized(font);
  const auto lines = impl_->Layout(primary, font, text);
  impl_->cache.Flush();

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
    const int64_t baseline = lineTop + primary.metrics.ascent;
    for (const PlacedGlyph& pg : line.glyphs) {
      SizedFace& s = *pg.face;
      const int64_t penX = left + pg.x, penY = baseline + pg.y;
      GlyphImage fresh;
      const GlyphImage* g = nullptr;
      if (auto it = s.images.find(pg.glyph); it != s.images.end()) {
        g = &it->second;
      } else {
        if (!Impl::LoadGlyph(s, pg.glyph)) continue;
        FT_GlyphSlot slot = s.face->glyph;
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
          // Glyphs wholly outside the clip are not rendered: at huge sizes that is most of them.
          FT_BBox box;
          FT_Outline_Get_CBox(&slot->outline, &box);
          const int64_t gx0 = penX + (box.xMin >> 6) - 1, gx1 = penX + ((box.xMax + 63) >> 6) + 1;
          const int64_t gy0 = penY - ((box.yMax + 63) >> 6) - 1, gy1 = penY - (box.yMin >> 6) + 1;
          if (!(gx1 > cx0 && gx0 < cx1 && gy1 > cy0 && gy0 < cy1)) continue;
        }
        fresh = Impl::Render(s);
        const size_t bytes = fresh.ink.size();
        if (int64_t(bytes) <= kMaxCachedGlyphPixels && s.imageBytes + bytes <= kMaxImageBytes) {
          s.imageBytes += bytes;
          g = &s.images.emplace(pg.glyph, std::move(fresh)).first->second;
        } else {
          g = &fresh;
        }
      }
      const int64_t ox = penX + g->left, oy = penY - g->top;
      const int64_t r0 = std::max<int64_t>(0, cy0 - oy), r1 = std::min<int64_t>(g->rows, cy1 - oy);
      const int64_t c0 = std::max<int64_t>(0, cx0 - ox), c1 = std::min<int64_t>(g->width, cx1 - ox);
      for (int64_t r = r0; r < r1; ++r) {
        const uint8_t* src = g->ink.data() + r * g->width;
        uint8_t* dst = rows[oy + r];
        for (int64_t c = c0; c < c1; ++c)
          if (src[c]) std::fill(dst + (ox + c) * bytesPerPixel, dst + (ox + c + 1) * bytesPerPixel, uint8_t(255));
      }
    }
    const int64_t end = left + line.width;
    // Underline and strike-out run under the whole line, as the platform draws them.
    if (font.underline)
      for (FT_Pos t = 0; t < primary.underlineThick; ++t) fillRun(baseline + primary.underlinePos + t, left, end);
    if (font.strikeOut)
      for (FT_Pos t = 0; t < primary.strikeThick; ++t) fillRun(baseline - primary.strikePos - t, left, end);
    lineTop += primary.metrics.lineHeight;
  }
}

}  // namespace platform
