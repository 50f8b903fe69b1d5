// bmp2gif IN.bmp OUT.gif [-tN] [-bN]: the GIF converter the export starts for GIF saves.
//
// Reads a paletted BMP (1, 4 or 8 bits) and writes it as a GIF89a with its palette. -bN writes N
// bits per pixel (a 2^N-entry table; the export asks for 4 or 8 by the type chosen); without it a
// picture whose pixels (and transparent index) all lie below 16 gets a 16-entry table, any other
// 256 entries. -tN marks palette index N transparent.
// Exit status: 0 when the GIF was written, 1 when it was not (the reason on stderr), 2 for a
// usage error.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "imaging/codecs/gif_writer.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"

namespace {

const char kUsage[] =
    "usage: bmp2gif IN.bmp OUT.gif [-tN] [-bN]\n"
    "Converts a paletted BMP (1, 4 or 8 bits per pixel) into a GIF89a file.\n"
    "  -tN     make palette index N (0..255) transparent\n"
    "  -bN     write N (1..8) bits per pixel; by default 4 when every index is below 16, else 8\n"
    "  --help  show this text\n";

int UsageError(const std::string& reason) {
  std::fprintf(stderr, "bmp2gif: %s\n%s", reason.c_str(), kUsage);
  return 2;
}

int Failure(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "bmp2gif: %s: %s\n", file.c_str(), reason.c_str());
  return 1;
}

// Parses the N of -tN or -bN: decimal low..high and nothing else.
bool ParseIndex(const char* text, int* value, int low = 0, int high = 255) {
  if (!*text) return false;
  int v = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + (*p - '0');
    if (v > high) return false;
  }
  if (v < low) return false;
  *value = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  int transparent = -1;
  int depth = 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strncmp(arg, "-t", 2) == 0) {
      if (transparent >= 0) return UsageError("-t given twice");
      if (!ParseIndex(arg + 2, &transparent))
        return UsageError(std::string("bad transparent index in ") + arg + " (expected -t0 to -t255)");
      continue;
    }
    if (std::strncmp(arg, "-b", 2) == 0) {
      if (depth) return UsageError("-b given twice");
      if (!ParseIndex(arg + 2, &depth, 1, 8))
        return UsageError(std::string("bad depth in ") + arg + " (expected -b1 to -b8)");
      continue;
    }
    if (arg[0] == '-' && arg[1] != '\0') return UsageError(std::string("unknown option ") + arg);
    files.push_back(arg);
  }
  if (files.size() != 2) return UsageError(files.size() < 2 ? "missing file names" : "too many file names");
  const std::string& input = files[0];
  const std::string& output = files[1];

  try {
    DibImage image;
    std::string error;
    int read = 0;
    try {
      read = ReadBmp(input, image, &error);
    } catch (const std::exception& e) {
      error = e.what();
    }
    if (!read) {
      if (error.empty()) error = "cannot read the picture";
      // The reader's texts may already start with the file name.
      if (error.compare(0, input.size() + 2, input + ": ") == 0) error.erase(0, input.size() + 2);
      return Failure(input, error);
    }
    const int bitCount = image.BitCount();
    if (bitCount != 1 && bitCount != 4 && bitCount != 8)
      return Failure(input, "a " + std::to_string(bitCount) +
                                "-bit picture has no palette; reduce it to 256 colours first");
    if (!image.HasPalette()) return Failure(input, "the picture has no colour table");
    const int bits = depth ? depth : GifBitsPerPixelFor(image, transparent);
    if (!SaveGif(image, output, 0, transparent, bits)) return Failure(input, "the picture cannot be written as GIF");
  } catch (const GraphicsException& e) {
    // The writer's texts already name the file.
    std::fprintf(stderr, "bmp2gif: %s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    return Failure(output, e.what());
  }
  return 0;
}
