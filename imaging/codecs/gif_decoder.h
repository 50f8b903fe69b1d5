#pragma once
#include <string>

class DibImage;

// Reads the first image of a GIF87a/89a file into a 24-bit picture; throws GraphicsException.
int ReadGif(const std::string& path, DibImage& image);
