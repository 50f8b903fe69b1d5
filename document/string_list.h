#pragma once
// The strings of a batch run as users hand them over: a batch list (.blt, see batch_list.h) or a
// plain text file with one string per line. The kind is told by content, not by the name: text
// holding a line that starts with "<<br>>" or "<<end>>" is a batch list. Plain lists skip blank
// lines and take each line's text as it stands (line ends CR LF or LF).
//
// Text that is not valid UTF-8 is taken as Windows-1252 and converted, so a list saved by an old
// editor still gives the letters its author saw.
#include <string>
#include <string_view>
#include <vector>

struct StringList {
  std::vector<std::string> strings;  // UTF-8; a string's own line breaks as the batch list reader gives them
  bool batchFormat = false;          // read as a .blt
  bool cut = false;                  // some string was longer than kMaxBatchString and was cut
  bool fromWindows1252 = false;      // the text was not UTF-8 and was converted
};

// Every byte as its Windows-1252 character (the bytes the code page leaves undefined keep their
// value as a code point).
std::string Windows1252ToUtf8(std::string_view text);
bool LooksLikeBatchList(std::string_view text);
StringList ParseStringList(std::string_view text);
