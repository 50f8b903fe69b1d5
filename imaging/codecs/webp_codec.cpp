#include "imaging/codecs/webp_codec.h"

#include <webp/decode.h>
#include <webp/encode.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "imaging/atomic_file.h"
#include "imaging/bitmap_image.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "imaging/transparency.h"

namespace {

struct WebpBuffer {
  uint8_t* data = nullptr;
  ~WebpBuffer() { WebPFree(data); }
};

bool AnyTranslucent(const RgbaPicture& picture) {
  for (size_t i = 3; i < picture.pixels.size(); i += 4)
    if (picture.pixels[i] != 255) return true;
  return false;
}

RgbaPicture FromDib(const DibImage& image) {
  RgbaPicture out;
  if (image.Empty() || image.Width() <= 0 || image.Height() <= 0) return out;
  if (image.BitCount() != 24 && image.BitCount() != 8) throw GraphicsException("unsupported colour depth");
  out.width = image.Width();
  out.height = image.Height();
  out.pixels.assign(size_t(out.width) * size_t(out.height) * 4, 255);
  const DibRowTable rows(image);
  if (rows.Height() != out.height) throw GraphicsException("the picture's pixel data is incomplete");
  const int bits = image.BitCount();
  const auto& palette = image.Palette();
  for (int y = 0; y < out.height; ++y) {
    uint8_t* d = out.pixels.data() + size_t(y) * size_t(out.width) * 4;
    for (int x = 0; x < out.width; ++x, d += 4) {
      if (bits == 24) {
        const uint8_t* s = rows[y] + size_t(x) * 3;
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
      } else if (bits == 8) {
        const uint8_t i = rows[y][x];
        if (i < palette.size()) {
          d[0] = palette[i].red;
          d[1] = palette[i].green;
          d[2] = palette[i].blue;
        } else {
          d[0] = d[1] = d[2] = 0;
        }
      }
    }
  }
  return out;
}

void WriteBytes(const std::vector<uint8_t>& bytes, const std::string& path, const OutputPolicy& output) {
  AtomicFileWriter file(path, output);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

}  // namespace

std::vector<uint8_t> EncodeWebp(const RgbaPicture& picture, int quality) {
  if (picture.Empty() || picture.width <= 0 || picture.height <= 0)
    throw GraphicsException("there is no picture to write");
  if (picture.width > WEBP_MAX_DIMENSION || picture.height > WEBP_MAX_DIMENSION)
    throw GraphicsException("the picture is too large for WebP (at most 16383 pixels a side)");
  const bool alpha = AnyTranslucent(picture);
  WebpBuffer out;
  size_t size = 0;
  const int stride = picture.width * 4;
  if (alpha) {
    size = quality < 0 ? WebPEncodeLosslessRGBA(picture.pixels.data(), picture.width, picture.height, stride, &out.data)
                       : WebPEncodeRGBA(picture.pixels.data(), picture.width, picture.height, stride,
                                        float(quality), &out.data);
  } else {
    std::vector<uint8_t> rgb(size_t(picture.width) * size_t(picture.height) * 3);
    for (size_t i = 0, j = 0; i < picture.pixels.size(); i += 4, j += 3) {
      rgb[j] = picture.pixels[i];
      rgb[j + 1] = picture.pixels[i + 1];
      rgb[j + 2] = picture.pixels[i + 2];
    }
    const int rgbStride = picture.width * 3;
    size = quality < 0 ? WebPEncodeLosslessRGB(rgb.data(), picture.width, picture.height, rgbStride, &out.data)
                       : WebPEncodeRGB(rgb.data(), picture.width, picture.height, rgbStride, float(quality), &out.data);
  }
  if (size == 0 || !out.data) throw GraphicsException("the WebP encoder failed");
  return std::vector<uint8_t>(out.data, out.data + size);
}

int WriteWebp(const DibImage& image, const std::string& path, int quality, const OutputPolicy& output) {
  if (image.Empty() || image.Width() <= 0 || image.Height() <= 0)
    throw GraphicsException(path + ": there is no picture to write");
  return WriteWebpRgba(FromDib(image), path, quality, output);
}

int WriteWebpRgba(const RgbaPicture& picture, const std::string& path, int quality, const OutputPolicy& output) {
  try {
    WriteBytes(EncodeWebp(picture, quality), path, output);
  } catch (const GraphicsException& e) {
    const std::string what = e.what();
    throw GraphicsException(what.find(path) == std::string::npos ? path + ": " + what : what);
  }
  return 1;
}

RgbaPicture DecodeWebp(const uint8_t* data, size_t size, const ImageLimits& limits) {
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK)
    throw GraphicsException("not a WebP picture libwebp can decode");
  if (features.width <= 0 || features.height <= 0)
    throw GraphicsException("the WebP picture has no pixels");
  if (const std::string refusal = limits.Refusal(uint64_t(features.width), uint64_t(features.height), 7);
      !refusal.empty())
    throw GraphicsException(refusal);
  if (features.has_animation) throw GraphicsException("animated WebP pictures are not supported");
  RgbaPicture out;
  out.width = features.width;
  out.height = features.height;
  out.pixels.resize(size_t(out.width) * size_t(out.height) * 4);
  if (!WebPDecodeRGBAInto(data, size, out.pixels.data(), out.pixels.size(), out.width * 4))
    throw GraphicsException("the WebP data is damaged (libwebp cannot decode it)");
  return out;
}

int ReadWebp(const std::string& path, DibImage& image, const ImageLimits& limits) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  // Far past what the largest picture we accept compresses to; refused before reading it all.
  if (!ec && size > limits.maxBytes) throw GraphicsException(path + ": the file is too large for a WebP picture");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw GraphicsException(path + ": cannot open the file");
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  RgbaPicture picture;
  try {
    picture = DecodeWebp(bytes.data(), bytes.size(), limits);
  } catch (const GraphicsException& e) {
    throw GraphicsException(path + ": " + e.what());
  }
  DibImage composed = ComposeOnto(picture, 0xFFFFFF);
  if (composed.Empty()) throw GraphicsException(path + ": not enough memory for the picture");
  image = std::move(composed);
  return 1;
}
