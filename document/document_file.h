#pragma once
// Document files (.plq): the background, bullet and message items, each as
//
//   ;save draw plaquet list
//   type <kind>
//   message
//   <text, one file line per line of text>
//   <br>
//   param <boxParams [2] [3] [4] [5] [0] [1]>
//   font <height> <width> <weight> <italic> <charset> <outPrecision> <quality> <pitchAndFamily>
//   <face name>
//   fmoreinfo <moreInfo[0]> <moreInfo[1]>
//   extention <extension[0]> <extension[1]>
//   Background <backdropKind> <backdropColour> <backdropBitmap>
//   end
//   <the item's style section, as in a style file>
//
// with CR LF line ends. Reading and writing go through the document's current style. A number a
// line lacks leaves its field as it was.
#include <string>

#include "document/plaquet_document.h"
#include "document/text_line_reader.h"

// The first line of every item section; a file whose first line doesn't start with ";save" is
// not a document.
constexpr const char* kDocumentMarker = ";save draw plaquet list";

// The path a document is saved under: a three-letter extension (a '.' fourth from the end) is
// replaced by ".plq", anything else gets ".plq" appended.
std::string DocumentFilePath(const std::string& path);

// Appends the three item sections to out, as a save does (the background item takes the
// document's extension, the current style ends with the message item's effects).
void WriteDocumentTo(PlaquetDocument& doc, std::string& out);
// Saves the document under DocumentFilePath(path), whole or not at all: 0, or -1 with nothing
// changed and the reason in *error. On success documentPath names the file written and the
// document counts as saved.
int WriteDocument(PlaquetDocument& doc, const std::string& path, std::string* error = nullptr);

// Reads the three items from the input; false, with nothing changed, when the first line does
// not carry the marker. Sections missing from a truncated input leave their items' fields, but
// their styles become the (empty) current style.
bool ReadDocumentFrom(PlaquetDocument& doc, TextLineReader& in);
// Reads the document file as the program does: -1 when it can't be opened; 0 otherwise, also
// when it is not a document, which changes nothing. documentPath takes the path.
int ReadDocument(PlaquetDocument& doc, const std::string& path, std::string* error = nullptr);
// For callers that must tell the user: false with the reason when the file can't be opened or
// is not a document (in both cases nothing changes).
bool ReadDocumentFileChecked(PlaquetDocument& doc, const std::string& path,
                             std::string* error = nullptr);
