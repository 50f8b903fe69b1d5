#pragma once
// Style files (.sty): one style section, also embedded after each item of a document.
//
//   ;Number of Effect : <count>
//   Background <kind> <colour> <bitmap>
//   <key> p2 p3 p4 p5 p0 p1 p6 p7 p8 p9 p10 p11      } once per effect
//   <fileName followed by one blank, or nothing>      }
//   ;<key> p2 p3 p4 p5 p0 p1 p6 p7 p8 p9 p10 p11[ <fileName>]   a layer-style kind, one line
//   ;Blend <mode word> <opacity>                      } only when not normal at 100 %
//   end
//
// The layer-style kinds (types from kFirstOneLineType on) take one line starting with ';', which
// readers that do not know them skip as a comment; they are read in place, in list order with
// the others, and the count line counts them too.
// Lines end in CR LF when written; readers also take LF alone. Reading goes into the document's
// current style. A number that an effect line lacks is 0 in the new record; a number missing
// from a Background line leaves that field as it was. Values are kept as they stand, in range or
// not. Effects past the fortieth are read and dropped. The ";Blend" line is a comment to older
// readers, so a style keeps its effects there and loses only their blending; it applies to the
// effect read just before it, and a mode word this reader does not know leaves that one normal.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/plaquet_document.h"
#include "document/text_line_reader.h"

// The "Background <kind> <colour> <bitmap>" line shared by styles and documents. Parsing stops
// at the first missing number; the bitmap name is the rest of the line less surrounding blanks,
// and an empty one leaves the old name. Names (here and in sections) that are not UTF-8 are read
// in the code page of charset, a LOGFONT character set.
void ParseBackgroundLine(std::string_view line, int32_t& kind, int32_t& colour,
                         std::string& bitmap, uint8_t charset = 0);
void FormatBackgroundLine(int32_t kind, int32_t colour, const std::string& bitmap,
                          std::string& out);

// Parses one section from the reader's position (up to and including "end", or to the end of
// the input) into style. Only the effects and the backdrop fields of style change.
void ParseStyleSection(TextLineReader& in, PlaquetStyle& style, uint8_t charset = 0);
// Appends the section of style to out, CR LF line ends.
void FormatStyleSection(const PlaquetStyle& style, std::string& out);

// Resets the current style, reads a section into it and clears currentStyleModified.
void ReadStyle(PlaquetDocument& doc, TextLineReader& in, uint8_t charset = 0);
// Clears currentStyleModified and appends the current style's section to out.
void WriteStyle(PlaquetDocument& doc, std::string& out);

// Reads a style file into the current style and makes it the current style file. When the file
// can't be opened nothing changes and the result is false, with the reason in *error.
bool ReadStyleFile(PlaquetDocument& doc, const std::string& path, std::string* error = nullptr);
// Textures are named by their file name inside the texture folder: the reason the first effect
// naming anything else (a path separator or "..") is refused, or empty when all are plain names.
std::string RefusedTextureName(const std::vector<EffectRecord>& effects);
// Writes the current style to path (whole or not at all) and makes it the current style file:
// 1, or 0 with the reason in *error.
int WriteStyleFile(PlaquetDocument& doc, const std::string& path, std::string* error = nullptr);

// Reads the style file into the current style, names it in the item's styleName and gives the
// item the current style's effects. When the file can't be opened the item still takes whatever
// the current style holds.
void LoadStyleIntoItem(PlaquetDocument& doc, int itemIndex, const std::string& path);
// The same, but when the file can't be opened (or the index is not an item) nothing changes and
// the result is false with the reason in *error.
bool LoadStyleIntoItemChecked(PlaquetDocument& doc, int itemIndex, const std::string& path,
                              std::string* error = nullptr);

// Size of the file in bytes; 0 for an empty path, a file that can't be opened or an empty file.
uint64_t FileExists(const std::string& path);

// Names (without folder) of the regular files matching pattern, a path whose last part may hold
// the wildcards '*' and '?' (matched without regard to case, as the list boxes did), sorted as a
// sorted list box shows them. Empty when the folder can't be read.
std::vector<std::string> ListFilesMatching(const std::string& pattern);
// The index a list re-selects for a remembered name: the first entry starting with it (case
// ignored), searching from the second entry and wrapping round to the first; -1 when none does.
int ReselectIndex(const std::vector<std::string>& names, const std::string& remembered);

// The path a "Save style as" writes to: kept when its fourth-last character is '.', otherwise
// with ".sty" appended.
std::string StyleSaveAsPath(const std::string& chosen);
// The question asked before an edited style is dropped.
std::string SaveChangesQuestion(const std::string& fileName,
                                const std::string& untitled = "Untitled.sty");
