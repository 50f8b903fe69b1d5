#pragma once
#include <string>

class DibImage;

// GIF89a from an 8-bit (or 1-bit) picture with its palette. bitsPerPixel 4 or 8;
// transparentIndex 0 or -1. 1 when written, 0 when the picture cannot be handled (24-bit, no
// palette); throws GraphicsException when the file cannot be written.
int SaveGif(const DibImage& image, const std::string& path, int backgroundIndex, int transparentIndex,
            int bitsPerPixel);
