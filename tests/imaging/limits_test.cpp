// Every reader takes the same limits and refuses a picture one pixel, one column or one byte past
// them, with a reason, while the same file at exactly its own size still reads. The files are
// real-world seeds written by other programs.
#include "imaging/limits.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "imaging/bitmap_image.h"
#include "imaging/codecs/gif_decoder.h"
#include "imaging/codecs/inflate_decoder.h"
#include "imaging/codecs/jpeg_decoder.h"
#include "imaging/codecs/png_decoder.h"
#include "imaging/dib_image.h"
#include "support/test_support.h"

namespace {

using testsupport::ReadFileBytes;

std::vector<uint8_t> Seed(const std::string& name) {
  return ReadFileBytes(testsupport::TestSourceFolder() + "/../fuzz/corpus/" + name);
}

// Decodes with the limits; empty when it worked, else the reason.
using Reader = std::function<std::string(const std::vector<uint8_t>&, const ImageLimits&)>;

std::string ReadBmpWith(const std::vector<uint8_t>& f, const ImageLimits& limits) {
  DibImage image;
  std::string error;
  return ReadBmpMemory(f.data(), f.size(), image, &error, limits) ? "" : error;
}
std::string ReadPngWith(const std::vector<uint8_t>& f, const ImageLimits& limits) {
  BitmapImage image;
  try {
    PngDecoder(limits).Decode(f.data(), f.size(), image);
  } catch (const GraphicsException& e) {
    return e.what();
  }
  return "";
}
std::string ReadGifWith(const std::vector<uint8_t>& f, const ImageLimits& limits) {
  GifDecoder decoder;
  decoder.SetLimits(limits);
  return decoder.Decode(f.data(), f.size()) ? "" : decoder.Error();
}
std::string ReadJpegWith(const std::vector<uint8_t>& f, const ImageLimits& limits) {
  JpegDecoder::Limits jpeg;
  static_cast<ImageLimits&>(jpeg) = limits;
  JpegDecoder decoder(jpeg);
  try {
    decoder.Decode(f.data(), f.size());
  } catch (const GraphicsException& e) {
    return e.what();
  }
  return "";
}

TEST(ImageLimits, EveryReaderRefusesJustPastItsLimits) {
  struct Case {
    const char* seed;
    Reader read;
    uint32_t width, height;
  };
  const Case cases[] = {
      {"bmp/rle.bmp", ReadBmpWith, 13, 7},          {"bmp/argb32.bmp", ReadBmpWith, 11, 5},
      {"png/pal_trns.png", ReadPngWith, 20, 12},    {"png/rgb_interlaced.png", ReadPngWith, 32, 20},
      {"gif/animated_local.gif", ReadGifWith, 16, 12}, {"jpeg/progressive_420.jpg", ReadJpegWith, 40, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seed);
    const std::vector<uint8_t> file = Seed(c.seed);
    ImageLimits exact;
    exact.maxWidth = c.width;
    exact.maxHeight = c.height;
    exact.maxPixels = uint64_t(c.width) * c.height;
    EXPECT_EQ(c.read(file, exact), "");

    ImageLimits narrow = exact, low = exact, fewer = exact, tight = exact;
    narrow.maxWidth -= 1;
    low.maxHeight -= 1;
    fewer.maxPixels -= 1;
    for (const ImageLimits& past : {narrow, low, fewer}) {
      const std::string reason = c.read(file, past);
      EXPECT_NE(reason.find(std::to_string(c.width) + " x " + std::to_string(c.height) + " pixels is larger than the limit"),
                std::string::npos)
          << reason;
    }
    tight.maxBytes = exact.maxPixels * 2;  // less than any reader's 3 bytes a pixel
    EXPECT_NE(c.read(file, tight).find("more memory than the limit"), std::string::npos) << c.read(file, tight);

    // Loading by name passes the limits on and names the file once.
    testsupport::TempDir dir;
    const std::string path = dir.file(std::filesystem::path(c.seed).filename().string());
    testsupport::WriteFileBytes(path, file);
    DibImage image;
    std::string error;
    EXPECT_EQ(image.Load(path, &error, exact), 1) << error;
    EXPECT_EQ(image.Load(path, &error, fewer), 0);
    EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
    EXPECT_EQ(error.find(path, 1), std::string::npos) << error;
    EXPECT_NE(error.find("larger than the limit"), std::string::npos) << error;
  }
}

TEST(ImageLimits, RefusalIsExactAndCannotOverflow) {
  const ImageLimits huge{UINT32_MAX, UINT32_MAX, UINT64_MAX, UINT64_MAX};
  // 2^32-1 squared fits 64 bits; times the bytes a pixel it would not: refused, not wrapped.
  EXPECT_EQ(huge.Refusal(UINT32_MAX, UINT32_MAX, 1), "");
  EXPECT_NE(huge.Refusal(UINT32_MAX, UINT32_MAX, 17), "");
  EXPECT_NE(huge.Refusal(uint64_t(1) << 40, 1, 1), "");  // a side past 32 bits
  EXPECT_NE(ImageLimits{}.Refusal(0, 5, 3).find("no pixels"), std::string::npos);

  const ImageLimits mb{100000, 100000, UINT64_MAX, 1u << 20};
  EXPECT_EQ(mb.Refusal(1024, 256, 4), "");  // exactly 1 MB
  EXPECT_EQ(mb.Refusal(1024, 257, 4), "picture of 1024 x 257 pixels needs more memory than the limit of 1 MB");
  EXPECT_EQ(mb.MemoryRefusal(1u << 20, "x"), "");
  EXPECT_EQ(mb.MemoryRefusal((1u << 20) + 1, "file of 1048577 bytes"),
            "file of 1048577 bytes needs more memory than the limit of 1 MB");

  // Inflate output is bounded by the same memory limit.
  const std::vector<uint8_t> z = Seed("inflate/dynamic_text.z");
  const size_t full = InflateDecoder::DecompressZlib(z.data(), z.size(), ImageLimits{}).data.size();
  ImageLimits small;
  small.maxBytes = full - 1;
  EXPECT_THROW(InflateDecoder::DecompressZlib(z.data(), z.size(), small), InflateDecoder::InflateError);
}

}  // namespace
