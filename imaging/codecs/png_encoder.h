#pragma once
// PNG output. (The encoder classes are declared here too once written.)
#include <string>

class DibImage;

struct PngWriteOptions {
  bool smallest = false;  // adaptive per-row filters and lazy matching
};

// True-colour PNG from a 24-bit picture; 1 on success, throws GraphicsException on failure.
int WritePngTrueColor(const DibImage& image, const std::string& path, const PngWriteOptions& options = {});
// 256-colour PNG: an 8-bit picture is written with its own palette, a 24-bit one is quantized.
int WritePng256(const DibImage& image, const std::string& path, const PngWriteOptions& options = {});
