// Stand-in until the GIF codec lands; removed by it.
#include "imaging/codecs/gif_decoder.h"
#include "imaging/codecs/gif_writer.h"
#include "imaging/graphics_exception.h"
int SaveGif(const DibImage&, const std::string& path, int, int, int) { throw GraphicsException(path + ": GIF output is not available"); }
int ReadGif(const std::string& path, DibImage&) { throw GraphicsException(path + ": GIF input is not available"); }
