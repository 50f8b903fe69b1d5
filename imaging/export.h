#pragma once
// Export by file name: DibImage::SaveAs (declared with DibImage) picks the writer from the
// upper-cased name: ".BMP", then ".GIF" (through the bmp2gif converter), ".JPG" / ".JPEG",
// ".PNG" (true colour for 24-bit pictures, 256 colours otherwise), tested anywhere in the name
// in that order. The GIF branch writes the BMP beside the GIF (the extension's three letters
// replaced by "bmp"), leaves it there, and runs ExportOptions::runProcess with
// {converterFolder + "bmp2gif", bmp, gif} (plus "-t0" for a transparent backdrop and "-bN" for
// ExportOptions::gifBitsPerPixel); a failed or
// missing converter, or a GIF that did not appear, is a GraphicsException.
#include <string>

// True when folder + "bmp2gif" exists and is not empty.
bool GifConverterPresent(const std::string& folder);
