#include "document/style_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "document/line_fields.h"
#include "document/text_encoding.h"
#include "document/text_file_io.h"
#include "effects/blend_modes.h"

namespace {

// File order of the twelve parameters on an effect line.
constexpr int kFileOrder[12] = {2, 3, 4, 5, 0, 1, 6, 7, 8, 9, 10, 11};

bool StartsWith(std::string_view s, std::string_view key) { return s.substr(0, key.size()) == key; }

std::string_view TrimLeadingBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

// The twelve numbers of an effect line in file order; reading stops at the first missing one.
void ReadNumbers(LineFields& f, EffectRecord& r) {
  for (int slot : kFileOrder)
    if (!f.Int(&r.p[slot])) break;
}

// The type of a ";<key>" line of a layer-style kind (the key followed by a blank or the line's
// end), or -1 for any other ';' line: a comment to every reader.
int OneLineType(std::string_view line) {
  for (int t = kFirstOneLineType; t < kEffectTypeCount; ++t) {
    const std::string_view key = EffectKey(t);
    if (line.size() < key.size() + 1 || line.substr(1, key.size()) != key) continue;
    if (line.size() == key.size() + 1 || line[key.size() + 1] == ' ' || line[key.size() + 1] == '\t') return t;
  }
  return -1;
}

// A field written on a line of its own must not carry a line feed into the file (a CR alone is
// text to the readers).
std::string OneLine(const std::string& s) { return s.substr(0, s.find('\n')); }

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (prefix.size() > s.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(s[i]) != Lower(prefix[i])) return false;
  return true;
}

// '*' matches any run, '?' any one character; case is ignored.
bool WildcardMatch(std::string_view name, std::string_view pattern) {
  size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool ListOrder(const std::string& a, const std::string& b) {
  const bool less = std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return Lower(x) < Lower(y); });
  const bool more = std::lexicographical_compare(
      b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) { return Lower(x) < Lower(y); });
  if (less != more) return less;
  return a < b;
}

// ";Blend <word> <opacity>": the blend of the record just before it. A line naming no known mode
// is skipped; a missing opacity is full.
constexpr std::string_view kBlendPrefix = ";Blend ";

bool ParseBlendLine(std::string_view line, EffectRecord& r) {
  LineFields f(line);
  std::string word;
  if (!f.Word() || !f.Word(&word)) return false;
  std::transform(word.begin(), word.end(), word.begin(), Lower);
  const int mode = BlendModeFromWord(word);
  if (mode < 0) return false;
  int32_t opacity = 100;
  f.Int(&opacity);
  r.blendMode = mode;
  r.opacity = std::clamp<int32_t>(opacity, 0, 100);
  return true;
}

void FormatBlendLine(const EffectRecord& r, std::string& out) {
  if (!r.Blended()) return;
  out += std::string(kBlendPrefix) + BlendModeNameOf(r.blendMode).word + " " +
         std::to_string(std::clamp<int32_t>(r.opacity, 0, 100)) + "\r\n";
}

}  // namespace

void ParseBackgroundLine(std::string_view line, int32_t& kind, int32_t& colour,
                         std::string& bitmap, uint8_t charset) {
  LineFields f(line);
  f.Word();
  if (!f.Int(&kind) || !f.Int(&colour)) return;
  const std::string_view name = f.Rest();
  if (!name.empty()) bitmap = CutTo(TextToUtf8(name, charset), kMaxText);
}

void FormatBackgroundLine(int32_t kind, int32_t colour, const std::string& bitmap,
                          std::string& out) {
  // The name is written even when empty, so the line then ends in one blank. It is cut so the
  // line fits one read: the rest of a longer line would be read as a line of its own.
  const std::string head = "Background " + std::to_string(kind) + " " + std::to_string(colour) + " ";
  out += head + CutTo(OneLine(bitmap), kMaxLinePiece - 1 - head.size()) + "\r\n";
}

void ParseStyleSection(TextLineReader& in, PlaquetStyle& style, uint8_t charset) {
  std::string line;
  // The record a ";Blend" line applies to: the last one read and kept, until a Background line.
  EffectRecord* last = nullptr;
  while (in.Next(line)) {
    if (StartsWith(line, "Background")) {
      ParseBackgroundLine(line, style.backdropKind, style.backdropColour, style.backdropBitmap, charset);
      last = nullptr;
      continue;
    }
    if (StartsWith(line, kBlendPrefix)) {
      if (last) ParseBlendLine(line, *last);
      continue;
    }
    if (!line.empty() && line[0] == ';') {
      const int type = OneLineType(line);
      if (type < 0) continue;
      EffectRecord r;
      r.type = type;
      LineFields f(std::string_view(line).substr(1));
      f.Word();
      ReadNumbers(f, r);
      // Trimmed after the cut as the line's end is trimmed, so that the name reads back the same.
      const std::string name = CutTo(TextToUtf8(f.Rest(), charset), kMaxEffectFileName);
      r.fileName = std::string(LineFields(name).Rest());
      last = nullptr;
      if (style.effects.size() < static_cast<size_t>(kMaxEffects)) last = &style.effects.emplace_back(std::move(r));
      continue;
    }
    if (StartsWith(line, "end")) break;
    const int type = EffectTypeFromLineStart(line);
    // The layer-style kinds live on ';' lines only; a bare line with their key is skipped, as the
    // older readers skip it, so that it never swallows the line after it as a file name.
    if (type < 0 || type >= kFirstOneLineType) continue;
    EffectRecord r;  // parameters the line lacks stay 0
    r.type = type;
    LineFields f(line);
    f.Word();
    ReadNumbers(f, r);
    std::string name;
    // Blanks are trimmed after the cut, so a name never ends in the blank the writer adds.
    if (in.Next(name))
      r.fileName = std::string(TrimTrailingBlanks(CutTo(TextToUtf8(name, charset), kMaxEffectFileName)));
    last = nullptr;
    if (style.effects.size() < static_cast<size_t>(kMaxEffects)) last = &style.effects.emplace_back(std::move(r));
  }
}

void FormatStyleSection(const PlaquetStyle& style, std::string& out) {
  std::vector<const EffectRecord*> records;
  for (const EffectRecord& r : style.effects) {
    // A record of no known type could not be read back; it would also make its name line be
    // taken for a line of its own.
    if (r.type < 0 || r.type >= kEffectTypeCount) continue;
    if (records.size() == static_cast<size_t>(kMaxEffects)) break;
    records.push_back(&r);
  }
  out += ";Number of Effect : " + std::to_string(records.size()) + "\r\n";
  FormatBackgroundLine(style.backdropKind, style.backdropColour, style.backdropBitmap, out);
  for (const EffectRecord* r : records) {
    const bool oneLine = r->type >= kFirstOneLineType;
    if (oneLine) out += ';';
    out += EffectKey(r->type);
    for (int slot : kFileOrder) out += " " + std::to_string(r->p[slot]);
    const std::string name = CutTo(OneLine(r->fileName), kMaxEffectFileName);
    if (oneLine) {
      // Leading blanks would be lost to the reader's trimming, as trailing ones are on two lines.
      const std::string_view kept = TrimLeadingBlanks(name);
      if (!kept.empty()) out += " " + std::string(kept);
      out += "\r\n";
    } else {
      out += "\r\n";
      if (!name.empty()) out += name + " ";
      out += "\r\n";
    }
    FormatBlendLine(*r, out);
  }
  out += "end\r\n";
}

void ReadStyle(PlaquetDocument& doc, TextLineReader& in, uint8_t charset) {
  doc.ResetCurrentStyle();
  ParseStyleSection(in, doc.currentStyle, charset);
  doc.currentStyleModified = false;
}

void WriteStyle(PlaquetDocument& doc, std::string& out) {
  doc.currentStyleModified = false;
  FormatStyleSection(doc.currentStyle, out);
}

std::string RefusedTextureName(const std::vector<EffectRecord>& effects) {
  for (const EffectRecord& r : effects) {
    const std::string& n = r.fileName;
    if (n.find('/') != std::string::npos || n.find('\\') != std::string::npos || n.find("..") != std::string::npos)
      return "texture \"" + n + "\": a texture is named by its file name inside the texture folder; paths are refused";
  }
  return "";
}

bool ReadStyleFile(PlaquetDocument& doc, const std::string& path, std::string* error) {
  std::ifstream file;
  if (!OpenTextFile(path, file, error)) return false;
  TextLineReader in(file);
  ReadStyle(doc, in);
  doc.currentStyleFile = path;
  return true;
}

int WriteStyleFile(PlaquetDocument& doc, const std::string& path, std::string* error) {
  if (IsInsideFolder(path, doc.programFolder)) {
    if (error) *error = kShippedFileReason;
    return 0;
  }
  std::string text;
  FormatStyleSection(doc.currentStyle, text);
  // The style counts as saved only once the file is really there.
  if (!WriteTextFile(path, text, error)) return 0;
  doc.currentStyleModified = false;
  doc.currentStyleFile = path;
  return 1;
}

void LoadStyleIntoItem(PlaquetDocument& doc, int itemIndex, const std::string& path) {
  ReadStyleFile(doc, path);
  if (itemIndex < 0 || itemIndex >= doc.itemCount()) return;
  PlaquetItem& item = doc.items[itemIndex];
  item.styleName = CutTo(path, kMaxStyleName);
  item.effects = doc.currentStyle.effects;
}

bool LoadStyleIntoItemChecked(PlaquetDocument& doc, int itemIndex, const std::string& path,
                              std::string* error) {
  if (itemIndex < 0 || itemIndex >= doc.itemCount()) {
    if (error) *error = "no item " + std::to_string(itemIndex) + " in the document";
    return false;
  }
  if (!ReadStyleFile(doc, path, error)) return false;
  if (const std::string refused = RefusedTextureName(doc.currentStyle.effects); !refused.empty()) {
    if (error) *error = refused;
    return false;
  }
  PlaquetItem& item = doc.items[itemIndex];
  item.styleName = CutTo(path, kMaxStyleName);
  item.effects = doc.currentStyle.effects;
  return true;
}

uint64_t FileExists(const std::string& path) {
  if (path.empty()) return 0;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return 0;
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return 0;
  const uint64_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

std::vector<std::string> ListFilesMatching(const std::string& pattern) {
  const size_t slash = pattern.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
  const std::string namePattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string name = it->path().filename().string();
    if (WildcardMatch(name, namePattern)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), ListOrder);
  return names;
}

int ReselectIndex(const std::vector<std::string>& names, const std::string& remembered) {
  const size_t n = names.size();
  for (size_t k = 1; k <= n; ++k) {
    const size_t i = k % n;
    if (StartsWithNoCase(names[i], remembered)) return static_cast<int>(i);
  }
  return -1;
}

std::string StyleSaveAsPath(const std::string& chosen) {
  if (chosen.size() >= 4 && chosen[chosen.size() - 4] == '.') return chosen;
  return chosen + ".sty";
}

std::string SaveChangesQuestion(const std::string& fileName, const std::string& untitled) {
  return "Save change to " + (fileName.empty() ? untitled : fileName);
}
