#include "document/text_line_reader.h"

bool TextLineReader::Next(std::string& piece) {
  piece.clear();
  startsLine_ = endedLine_;
  endedLine_ = false;
  bool any = false;
  while (piece.size() < kMaxLinePiece) {
    if (pendingCRs_ > 0) {
      piece += '\r';
      --pendingCRs_;
      any = true;
      continue;
    }
    const int c = in_.get();
    if (c == std::char_traits<char>::eof()) break;
    any = true;
    if (c == '\n') {
      endedLine_ = true;
      return true;
    }
    if (c == '\r') {
      // A run of CRs ends the line only when a LF follows it; otherwise the CRs are text.
      size_t run = 1;
      while (in_.peek() == '\r') {
        in_.get();
        ++run;
      }
      if (in_.peek() == '\n') {
        in_.get();
        endedLine_ = true;
        return true;
      }
      pendingCRs_ = run;
      continue;
    }
    piece += static_cast<char>(c);
  }
  return any;
}
