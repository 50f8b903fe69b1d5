// Stand-in until the JPEG codec lands; removed by it.
#include "imaging/codecs/jpeg_decoder.h"
#include "imaging/codecs/jpeg_encoder.h"
#include "imaging/graphics_exception.h"
int WriteJpeg(const DibImage&, const std::string& path, const JpegWriteOptions&) { throw GraphicsException(path + ": JPEG output is not available"); }
int ReadJpeg(const std::string& path, DibImage&) { throw GraphicsException(path + ": JPEG input is not available"); }
