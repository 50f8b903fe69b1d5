// Stand-in until the PNG codec lands; removed by it.
#include "imaging/codecs/png_decoder.h"
#include "imaging/codecs/png_encoder.h"
#include "imaging/graphics_exception.h"
int WritePngTrueColor(const DibImage&, const std::string& path, const PngWriteOptions&) { throw GraphicsException(path + ": PNG output is not available"); }
int WritePng256(const DibImage&, const std::string& path, const PngWriteOptions&) { throw GraphicsException(path + ": PNG output is not available"); }
int ReadPng(const std::string& path, DibImage&) { throw GraphicsException(path + ": PNG input is not available"); }
