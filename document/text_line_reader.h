#pragma once
// Line-by-line reading of the program's text files (.plq, .sty, .blt). Lines come in pieces of at
// most kMaxLinePiece characters, a line end counting as one character, as a 300-byte line buffer
// would take them; a longer line arrives as several pieces. A line end is a line feed together
// with any carriage returns directly before it, so files with CR LF and with LF alone both read.
#include <cstddef>
#include <istream>
#include <string>

constexpr size_t kMaxLinePiece = 299;

class TextLineReader {
 public:
  explicit TextLineReader(std::istream& in) : in_(in) {}

  // The next piece without its line end; false at the end of the input. endedLine tells whether
  // the piece was closed by a line end (false for a cut piece or the unterminated last line);
  // startsLine whether it begins a line of the file.
  bool Next(std::string& piece);
  bool endedLine() const { return endedLine_; }
  bool startsLine() const { return startsLine_; }

 private:
  std::istream& in_;
  size_t pendingCRs_ = 0;  // carriage returns read ahead that turned out not to end a line
  bool endedLine_ = true;
  bool startsLine_ = true;
};
