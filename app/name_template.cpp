#include "app/name_template.h"

#include <set>

namespace {

constexpr size_t kMaxSlug = 60;

struct Piece {
  enum Kind { Literal, Index, Text } kind = Literal;
  std::string literal;
  int width = 0;  // zero-padded digits of {index:0N}
};

std::vector<Piece> Parse(const std::string& pattern) {
  std::vector<Piece> pieces;
  std::string literal;
  auto flush = [&] {
    if (!literal.empty()) pieces.push_back({Piece::Literal, literal, 0});
    literal.clear();
  };
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if ((c == '{' || c == '}') && i + 1 < pattern.size() && pattern[i + 1] == c) {
      literal += c;
      ++i;
      continue;
    }
    if (c == '}') throw NameTemplateError("a '}' without its '{' (write }} for a brace)");
    if (c != '{') {
      literal += c;
      continue;
    }
    const size_t close = pattern.find('}', i);
    if (close == std::string::npos) throw NameTemplateError("a '{' without its '}' (write {{ for a brace)");
    const std::string field = pattern.substr(i + 1, close - i - 1);
    flush();
    if (field == "text") {
      pieces.push_back({Piece::Text, "", 0});
    } else if (field == "index") {
      pieces.push_back({Piece::Index, "", 0});
    } else if (field.rfind("index:", 0) == 0 && field.size() > 6 && field.size() <= 8 &&
               field.find_first_not_of("0123456789", 6) == std::string::npos) {
      pieces.push_back({Piece::Index, "", std::stoi(field.substr(6))});
    } else {
      throw NameTemplateError("unknown placeholder {" + field + "}; use {index}, {index:03} or {text}");
    }
    i = close;
  }
  flush();
  return pieces;
}

}  // namespace

std::string Slug(const std::string& text) {
  std::string out;
  bool dash = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c >= 0x80) {
      if (dash && !out.empty()) out += '-';
      dash = false;
      // A multi-byte character goes in whole or not at all.
      size_t len = 1;
      if (c >= 0xF0) len = 4;
      else if (c >= 0xE0) len = 3;
      else if (c >= 0xC0) len = 2;
      if (out.size() + len > kMaxSlug) break;
      out.append(text, i, len);
      i += len - 1;
    } else if (c >= 'A' && c <= 'Z') {
      if (dash && !out.empty()) out += '-';
      dash = false;
      if (out.size() + 1 > kMaxSlug) break;
      out += char(c - 'A' + 'a');
    } else {
      dash = true;
    }
  }
  return out.empty() ? "string" : out;
}

std::vector<std::string> ExpandNameTemplate(const std::string& pattern, const std::vector<std::string>& strings) {
  const std::vector<Piece> pieces = Parse(pattern);
  std::vector<std::string> out;
  std::set<std::string> slugs;
  bool usesText = false;
  for (const Piece& p : pieces) usesText |= p.kind == Piece::Text;
  for (size_t i = 0; i < strings.size(); ++i) {
    std::string slug;
    if (usesText) {
      const std::string base = Slug(strings[i]);
      slug = base;
      for (int n = 2; slugs.count(slug); ++n) slug = base + "-" + std::to_string(n);
      slugs.insert(slug);
    }
    std::string name;
    for (const Piece& p : pieces) {
      if (p.kind == Piece::Literal) {
        name += p.literal;
      } else if (p.kind == Piece::Index) {
        std::string digits = std::to_string(i);
        if (int(digits.size()) < p.width) digits.insert(0, size_t(p.width) - digits.size(), '0');
        name += digits;
      } else {
        name += slug;
      }
    }
    if (name.empty()) throw NameTemplateError("the template gives an empty name");
    if (name.find('/') != std::string::npos)
      throw NameTemplateError("the template names files, not folders; give the folder with -o");
    out.push_back(std::move(name));
  }
  return out;
}
