#include "document/batch_list.h"

#include <algorithm>
#include <fstream>
#include <string_view>

#include "document/text_file_io.h"

namespace {

constexpr size_t kPiece = 299;  // characters per read, the newline included

bool StartsWith(std::string_view s, std::string_view key) { return s.substr(0, key.size()) == key; }

// One read of a text-mode stream: up to kPiece characters, ending after a newline; CR LF on disk
// is one newline. False at the end of the input.
bool ReadPiece(std::istream& in, std::string& piece) {
  piece.clear();
  while (piece.size() < kPiece) {
    int c = in.get();
    if (c == std::char_traits<char>::eof()) break;
    if (c == '\r' && in.peek() == '\n') c = in.get();
    piece += static_cast<char>(c);
    if (c == '\n') break;
  }
  return !piece.empty();
}

}  // namespace

std::vector<std::string> ParseBatchList(std::istream& in, bool* cut) {
  std::vector<std::string> strings;
  std::string current, piece;
  bool overlong = false;  // the current string has been cut
  if (cut) *cut = false;
  while (ReadPiece(in, piece)) {
    if (StartsWith(piece, "<<br>>")) {
      // Drop the last character: the newline that ended the string's last line.
      if (!current.empty()) current.pop_back();
      if (overlong) {
        // Don't leave half a line break at the cut.
        while (!current.empty() && current.back() == '\r') current.pop_back();
        if (cut) *cut = true;
      }
      strings.push_back(std::move(current));
      current.clear();
      overlong = false;
      continue;
    }
    if (StartsWith(piece, "<<end>>")) break;
    // Keep at most the bound plus the final newline; the rest of the string is dropped.
    const size_t room = kMaxBatchString + 1 - std::min(current.size(), kMaxBatchString + 1);
    if (piece.size() > room) overlong = true;
    current.append(piece, 0, std::min(room, piece.size()));
  }
  return strings;
}

std::string FormatBatchList(const std::vector<std::string>& strings) {
  std::string out;
  const auto text = [&out](std::string_view s) {
    for (char c : s) {
      if (c == '\n') out += '\r';
      out += c;
    }
  };
  for (const std::string& s : strings) {
    text(s);
    text("\n<<br>>\n");
  }
  text("<<end>>\n");
  return out;
}

bool ReadBatchList(const std::string& path, std::vector<std::string>& list, std::string* error,
                   bool* cut) {
  std::ifstream file;
  if (!OpenTextFile(path, file, error)) return false;
  list = ParseBatchList(file, cut);
  return true;
}

bool WriteBatchList(const std::string& path, const std::vector<std::string>& list,
                    std::string* error) {
  return WriteTextFile(path, FormatBatchList(list), error);
}
