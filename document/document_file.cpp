#include "document/document_file.h"

#include <fstream>

#include "document/line_fields.h"
#include "document/style_file.h"
#include "document/text_file_io.h"
#include "document/text_encoding.h"

namespace {

bool StartsWith(std::string_view s, std::string_view key) { return s.substr(0, key.size()) == key; }

std::string Numbers(std::initializer_list<int32_t> values) {
  std::string s;
  for (int32_t v : values) s += " " + std::to_string(v);
  return s;
}

// The text's line breaks (a LF with any CRs before it) become file line ends.
void AppendTextLines(const std::string& text, std::string& out) {
  size_t start = 0;
  for (;;) {
    const size_t lf = text.find('\n', start);
    if (lf == std::string::npos) {
      out += text.substr(start) + "\r\n";
      return;
    }
    size_t end = lf;
    while (end > start && text[end - 1] == '\r') --end;
    out += text.substr(start, end - start) + "\r\n";
    start = lf + 1;
  }
}

void WriteItem(PlaquetDocument& doc, const PlaquetItem& item, std::string& out) {
  doc.currentStyleModified = false;
  out += std::string(kDocumentMarker) + "\r\n";
  out += "type " + std::to_string(item.kind) + "\r\n";
  out += "message\r\n";
  AppendTextLines(CutTo(item.text, kMaxText), out);
  out += "<br>\r\n";
  const auto& b = doc.boxParams;
  out += "param" + Numbers({b[2], b[3], b[4], b[5], b[0], b[1]}) + "\r\n";
  const LogFont& f = item.font;
  out += "font" +
         Numbers({f.height, f.width, f.weight, f.italic, f.charSet, f.outPrecision, f.quality,
                  f.pitchAndFamily}) +
         "\r\n";
  const std::string face = CutTo(f.faceName, LogFont::kMaxFaceName);
  out += face.substr(0, face.find('\n')) + "\r\n";
  out += "fmoreinfo" + Numbers({item.moreInfo[0], item.moreInfo[1]}) + "\r\n";
  out += "extention" + Numbers({item.extension[0], item.extension[1]}) + "\r\n";
  FormatBackgroundLine(doc.backdropKind, doc.backdropColour, doc.backdropBitmap, out);
  out += "end\r\n";
  doc.currentStyle.effects = item.effects;
  WriteStyle(doc, out);
}

// The text block after a "message" line, up to a line starting with "<br>". The raw bytes are
// kept (up to a bound) so that the text can be decoded once the item's character set is known.
std::string ReadTextBlock(TextLineReader& in) {
  // Room for the bound's worth of characters in any encoding.
  constexpr size_t kRawBound = kMaxText * 4;
  std::string text, piece;
  bool first = true, lineEnded = true;
  while (in.Next(piece)) {
    if (StartsWith(piece, "<br>")) break;
    // Lines past the bound are still read, so the block ends where it should.
    const bool ended = in.endedLine();
    if (text.size() <= kRawBound) {
      // A piece continuing a long line joins it: a multibyte character may straddle the cut.
      if (!first && lineEnded) text += "\r\n";
      text += piece;
      first = false;
    }
    lineEnded = ended;
  }
  return text;
}

// The text as UTF-8 within the bound, cut at a character and never inside a line break.
std::string DecodedText(const std::string& raw, uint8_t charset) {
  std::string text = TextToUtf8(raw, charset);
  if (text.size() > kMaxText) {
    text.resize(Utf8CutPoint(text, kMaxText));
    while (!text.empty() && text.back() == '\r') text.pop_back();
  }
  return text;
}

void ReadItem(PlaquetDocument& doc, PlaquetItem& item, TextLineReader& in) {
  doc.currentStyleModified = false;
  item.extension = {0, 0};
  std::string line, rawText;
  bool hasText = false;
  std::string rawFace;
  bool hasFace = false;
  while (in.Next(line)) {
    LineFields f(line);
    f.Word();
    if (StartsWith(line, "Background")) {
      ParseBackgroundLine(line, doc.backdropKind, doc.backdropColour, doc.backdropBitmap, item.font.charSet);
    } else if (StartsWith(line, "type")) {
      f.Int(&item.kind);
    } else if (StartsWith(line, "param")) {
      for (int32_t& v : item.boxParams)
        if (!f.Int(&v)) break;
    } else if (StartsWith(line, "font")) {
      LogFont font;
      int32_t v[8] = {};
      int got = 0;
      while (got < 8 && f.Int(&v[got])) ++got;
      font.height = v[0];
      font.width = v[1];
      font.weight = v[2];
      // These are one byte each in the font.
      font.italic = static_cast<uint8_t>(v[3]);
      font.charSet = static_cast<uint8_t>(v[4]);
      font.outPrecision = static_cast<uint8_t>(v[5]);
      font.quality = static_cast<uint8_t>(v[6]);
      font.pitchAndFamily = static_cast<uint8_t>(v[7]);
      hasFace = in.Next(rawFace);
      item.font = font;
    } else if (StartsWith(line, "fmoreinfo")) {
      if (f.Int(&item.moreInfo[0])) f.Int(&item.moreInfo[1]);
    } else if (StartsWith(line, "extention")) {
      if (f.Int(&item.extension[0])) f.Int(&item.extension[1]);
    } else if (StartsWith(line, "message")) {
      rawText = ReadTextBlock(in);
      hasText = true;
    } else if (!line.empty() && line[0] == ';') {
      continue;
    } else if (StartsWith(line, "end")) {
      break;
    }
  }
  if (hasFace) item.font.faceName = CutTo(TextToUtf8(rawFace, item.font.charSet), LogFont::kMaxFaceName);
  if (hasText) item.text = DecodedText(rawText, item.font.charSet);
  ReadStyle(doc, in, item.font.charSet);
  item.styleName.clear();
  item.effects = doc.currentStyle.effects;
}

bool HasMarker(TextLineReader& in) {
  std::string first;
  return in.Next(first) && StartsWith(first, ";save");
}

}  // namespace

std::string DocumentFilePath(const std::string& path) {
  if (path.size() >= 4 && path[path.size() - 4] == '.')
    return path.substr(0, path.size() - 4) + ".plq";
  return path + ".plq";
}

void WriteDocumentTo(PlaquetDocument& doc, std::string& out) {
  while (doc.itemCount() < 3) doc.items.emplace_back();
  doc.background().extension = {doc.extensionX, doc.extensionY};
  for (int i : {kBackgroundItem, kBulletItem, kMessageItem}) WriteItem(doc, doc.items[i], out);
}

int WriteDocument(PlaquetDocument& doc, const std::string& path, std::string* error) {
  const std::string target = DocumentFilePath(path);
  if (IsInsideFolder(target, doc.programFolder)) {
    if (error) *error = kShippedFileReason;
    return -1;
  }
  // Work on a copy so that a failed save changes nothing and isn't taken for a saved document.
  PlaquetDocument saved = doc;
  std::string text;
  WriteDocumentTo(saved, text);
  if (!WriteTextFile(target, text, error)) return -1;
  saved.documentPath = target;
  saved.documentModified = false;
  saved.previewDirty = false;
  doc = std::move(saved);
  return 0;
}

bool ReadDocumentFrom(PlaquetDocument& doc, TextLineReader& in) {
  if (!HasMarker(in)) return false;
  while (doc.itemCount() < 3) doc.items.emplace_back();
  for (int i : {kBackgroundItem, kBulletItem, kMessageItem}) ReadItem(doc, doc.items[i], in);
  const PlaquetItem& bg = doc.background();
  doc.extensionX = bg.extension[0];
  doc.extensionY = bg.extension[1];
  // The param line holds [2] [3] [4] [5] [0] [1]; geometry can't be negative.
  constexpr int kFromFile[6] = {2, 3, 4, 5, 0, 1};
  for (int i = 0; i < 6; ++i) doc.boxParams[kFromFile[i]] = bg.boxParams[i] < 0 ? 0 : bg.boxParams[i];
  doc.currentStyle.backdropKind = doc.backdropKind;
  doc.currentStyle.backdropColour = doc.backdropColour;
  doc.currentStyle.backdropBitmap = doc.backdropBitmap;
  doc.documentModified = false;
  doc.previewDirty = false;
  doc.styleChanged = {};
  return true;
}

int ReadDocument(PlaquetDocument& doc, const std::string& path, std::string* error) {
  std::ifstream file;
  if (!OpenTextFile(path, file, error)) return -1;
  TextLineReader in(file);
  if (!ReadDocumentFrom(doc, in)) {
    if (error) *error = "not a Quorbel document (the first line is not \";save draw plaquet list\")";
    return 0;
  }
  doc.documentPath = path;
  return 0;
}

bool ReadDocumentFileChecked(PlaquetDocument& doc, const std::string& path, std::string* error) {
  std::string reason;
  const bool opened = ReadDocument(doc, path, &reason) == 0;
  if (opened && reason.empty()) {
    for (const PlaquetItem& item : doc.items)
      if (reason.empty()) reason = RefusedTextureName(item.effects);
    if (reason.empty()) reason = RefusedTextureName(doc.currentStyle.effects);
    if (reason.empty()) return true;
  }
  if (error) *error = reason;
  return false;
}
