#pragma once
#include <string>

class DibImage;

struct JpegWriteOptions {
  int compression = -1;      // -1: the unscaled tables; otherwise the File Option value
  bool progressive = false;
};

// JPEG from a 24-bit picture; 1 on success, throws GraphicsException on failure.
int WriteJpeg(const DibImage& image, const std::string& path, const JpegWriteOptions& options = {});
