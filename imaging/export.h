#pragma once
// Export by file name: DibImage::SaveAs (declared with DibImage) picks the writer from the file
// name's last extension, in any case: .bmp, .gif, .jpg / .jpeg, .png (true colour for 24-bit
// pictures, 256 colours otherwise), .webp. Folder names never choose. GIFs are written by our own GIF
// writer (transparent index 0 for a transparent backdrop) at ExportOptions::gifBitsPerPixel, or the depth GifBitsPerPixelFor picks
// when that is 0.
#include <string>

// The lower-case last extension of the path's file name, without the dot; empty when none.
std::string FileNameExtension(const std::string& path);
