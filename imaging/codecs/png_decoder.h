#pragma once
#include <string>

class DibImage;

// Reads any PNG into a 24-bit picture. 1 on success; throws GraphicsException with the reason.
int ReadPng(const std::string& path, DibImage& image);
