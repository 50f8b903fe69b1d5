#pragma once
#include <string>

class DibImage;

// Reads a baseline or progressive JPEG into a 24-bit picture; throws GraphicsException.
int ReadJpeg(const std::string& path, DibImage& image);
