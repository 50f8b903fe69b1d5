// Alpha in our outputs: solving alpha from two pages, RGBA and tRNS PNG read back by libpng, WebP
// read back by libwebp, palette reduction with alpha; and CMYK/YCCK JPEG written by libjpeg.
#include <gtest/gtest.h>
#include <webp/decode.h>

#include <random>

#include "imaging/codecs/jpeg_decoder.h"
#include "imaging/codecs/png_encoder.h"
#include "imaging/codecs/webp_codec.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "imaging/jpeg_peer_support.h"
#include "imaging/png_peer_support.h"
#include "imaging/transparency.h"
#include "support/test_support.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::TempDir;

// A picture whose alpha runs 0..255 across and whose colour changes down and across.
RgbaPicture Ramp(int w = 64, int h = 24) {
  RgbaPicture p{w, h, std::vector<uint8_t>(size_t(w) * size_t(h) * 4)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* q = &p.pixels[(size_t(y) * size_t(w) + size_t(x)) * 4];
      q[0] = uint8_t(x * 4);
      q[1] = uint8_t(255 - y * 10);
      q[2] = uint8_t((x * y) & 0xFF);
      q[3] = uint8_t(x * 255 / (w - 1));
    }
  return p;
}

int Over(int colour, int alpha, int page) { return (colour * alpha + page * (255 - alpha) + 127) / 255; }

TEST(SolveAlpha, RecoversAlphaAndComposesLikeTheOriginalOverAnyPage) {
  std::mt19937 random(5);
  const int W = 200;
  std::vector<uint8_t> black(W * 3), white(W * 3);
  std::vector<std::array<int, 4>> truth(W);
  for (int x = 0; x < W; ++x) {
    std::array<int, 4>& t = truth[size_t(x)];
    for (int& v : t) v = int(random() % 256);
    if (x < 3) t[3] = x == 0 ? 0 : 255;  // the two ends of the range
    for (int k = 0; k < 3; ++k) {
      black[size_t(x) * 3 + size_t(k)] = uint8_t(Over(t[size_t(2 - k)], t[3], 0));
      white[size_t(x) * 3 + size_t(k)] = uint8_t(Over(t[size_t(2 - k)], t[3], 255));
    }
  }
  const uint8_t* b = black.data();
  const uint8_t* w = white.data();
  const RgbaPicture solved = SolveAlpha(&b, &w, W, 1);
  for (int x = 0; x < W; ++x) {
    const uint8_t* s = &solved.pixels[size_t(x) * 4];
    EXPECT_NEAR(s[3], truth[size_t(x)][3], 1) << x;
    for (int page : {0, 60, 128, 255})
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(Over(s[k], s[3], page), Over(truth[size_t(x)][size_t(k)], truth[size_t(x)][3], page), 1)
            << "pixel " << x << " page " << page;
  }
}

TEST(PngAlpha, LibpngReadsOurRgbaExactlyAndOurPaletteAlphaThroughTrns) {
  TempDir dir;
  const RgbaPicture ramp = Ramp();
  for (bool small : {false, true}) {
    const std::string path = dir.file(small ? "small.png" : "plain.png");
    WritePngRgba(ramp, path, PngWriteOptions{small});
    const pngpeer::Decoded d = pngpeer::Decode(ReadFileBytes(path));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.colorType, 6);
    EXPECT_EQ(d.rgba, ramp.pixels);
  }
  // Few colours: the palette holds them exactly, fully transparent pixels all in one entry.
  RgbaPicture few{8, 2, {}};
  const uint8_t colours[4][4] = {{255, 0, 0, 255}, {0, 0, 255, 128}, {9, 9, 9, 0}, {1, 2, 3, 0}};
  for (int i = 0; i < 16; ++i) few.pixels.insert(few.pixels.end(), colours[i % 4], colours[i % 4] + 4);
  WritePng256Rgba(few, dir.file("few.png"));
  const pngpeer::Decoded d = pngpeer::Decode(ReadFileBytes(dir.file("few.png")));
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.colorType, 3);
  EXPECT_EQ(d.palette.size(), 3u);
  for (size_t i = 0; i < 16; ++i) {
    const bool clear = colours[i % 4][3] == 0;
    for (size_t k = clear ? 3 : 0; k < 4; ++k) EXPECT_EQ(d.rgba[i * 4 + k], few.pixels[i * 4 + k]) << i;
  }
}

TEST(PngAlpha, ManyColoursReduceToAPaletteThatStillComposesClose) {
  TempDir dir;
  const RgbaPicture ramp = Ramp(160, 60);
  WritePng256Rgba(ramp, dir.file("ramp.png"));
  const pngpeer::Decoded d = pngpeer::Decode(ReadFileBytes(dir.file("ramp.png")));
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_LE(d.palette.size(), 256u);
  double squares = 0;
  for (size_t i = 0; i < ramp.pixels.size(); i += 4) {
    if (ramp.pixels[i + 3] == 0) {
      EXPECT_EQ(d.rgba[i + 3], 0) << "a clear pixel must stay clear";
    }
    for (int page : {0, 255})
      for (size_t k = 0; k < 3; ++k) {
        const double diff = Over(d.rgba[i + k], d.rgba[i + 3], page) - Over(ramp.pixels[i + k], ramp.pixels[i + 3], page);
        squares += diff * diff;
      }
  }
  const double mse = squares / double(ramp.pixels.size() / 4 * 6);
  // A wildly colourful picture: far from lossless, far from broken.
  EXPECT_GT(10 * std::log10(255.0 * 255.0 / mse), 26.0);
}

TEST(ReduceWithTransparentIndex, EntryZeroIsForClearPixelsOnly) {
  RgbaPicture p = Ramp();
  const DibImage shown = ComposeOnto(p, 0xFFFFFF);
  for (int colours : {16, 256}) {
    const DibImage reduced = ReduceWithTransparentIndex(p, shown, colours, 0xFFFFFF, 1);
    ASSERT_EQ(reduced.BitCount(), 8);
    const DibRowTable rows(reduced);
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) {
        const bool clear = p.pixels[(size_t(y) * size_t(p.width) + size_t(x)) * 4 + 3] == 0;
        EXPECT_EQ(rows[y][x] == 0, clear) << x << "," << y;
        EXPECT_LT(rows[y][x], colours);
      }
  }
}

TEST(Webp, LibwebpDecodesOurLosslessExactlyAndOurLossyClosely) {
  RgbaPicture ramp = Ramp();
  for (size_t i = 0; i < ramp.pixels.size(); i += 4) ramp.pixels[i + 2] = uint8_t(i / 64);  // smooth for lossy
  for (int quality : {-1, 90}) {
    const std::vector<uint8_t> bytes = EncodeWebp(ramp, quality);
    int w = 0, h = 0;
    uint8_t* decoded = WebPDecodeRGBA(bytes.data(), bytes.size(), &w, &h);
    ASSERT_NE(decoded, nullptr);
    ASSERT_EQ(w, ramp.width);
    ASSERT_EQ(h, ramp.height);
    const std::vector<uint8_t> got(decoded, decoded + size_t(w) * size_t(h) * 4);
    WebPFree(decoded);
    if (quality < 0) {
      // Lossless keeps every visible pixel; libwebp may change the colour under alpha 0.
      for (size_t i = 0; i < got.size(); i += 4) {
        ASSERT_EQ(got[i + 3], ramp.pixels[i + 3]) << i / 4;
        if (got[i + 3]) {
          ASSERT_TRUE(std::equal(&got[i], &got[i + 3], &ramp.pixels[i])) << i / 4;
        }
      }
    } else {
      double squares = 0;
      for (size_t i = 0; i < got.size(); i += 4)
        for (size_t k = 0; k < 3; ++k) {
          const int d = Over(got[i + k], got[i + 3], 128) - Over(ramp.pixels[i + k], ramp.pixels[i + 3], 128);
          squares += d * d;
        }
      EXPECT_GT(10 * std::log10(255.0 * 255.0 * double(got.size() / 4 * 3) / squares), 30.0);
    }
  }
}

TEST(Webp, OpaquePicturesRoundTripThroughOurReaderAndDamagedFilesAreRefused) {
  TempDir dir;
  DibImage picture;
  ASSERT_TRUE(picture.Create(21, 13, 24));
  const DibRowTable rows(picture);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 21 * 3; ++x) rows[y][x] = uint8_t(x * 7 + y * 13);
  ASSERT_EQ(picture.SaveAs(dir.file("p.webp"), -1, 24), 1);
  DibImage back;
  std::string error;
  ASSERT_TRUE(back.Load(dir.file("p.webp"), &error)) << error;
  ASSERT_EQ(back.Width(), 21);
  const DibRowTable backRows(back);
  for (int y = 0; y < 13; ++y) EXPECT_TRUE(std::equal(rows[y], rows[y] + 63, backRows[y])) << y;

  std::vector<uint8_t> bytes = ReadFileBytes(dir.file("p.webp"));
  // Damage beyond a cut is the fuzz target's business; here: the reason names the file.
  testsupport::WriteFileBytes(dir.file("bad.webp"), std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(bytes.size() / 2)));
  DibImage bad;
  EXPECT_FALSE(bad.Load(dir.file("bad.webp"), &error));
  EXPECT_NE(error.find("bad.webp"), std::string::npos) << error;
  EXPECT_TRUE(bad.Empty());
}

// libjpeg writes four-component files with an Adobe segment (transform 0 for CMYK, 2 for YCCK),
// storing the inks inverted as Adobe does: each colour is the stored value scaled by black.
TEST(JpegFourComponents, CmykAndYcckDecodeToTheInkColours) {
  const uint8_t patches[4][4] = {{255, 0, 128, 255}, {200, 100, 50, 128}, {255, 255, 255, 0}, {30, 220, 90, 200}};
  for (bool ycck : {false, true}) {
    const int W = 64, H = 16;
    std::vector<uint8_t> cmyk(size_t(W) * H * 4);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) std::memcpy(&cmyk[(size_t(y) * W + size_t(x)) * 4], patches[x / 16], 4);
    jpeg_compress_struct cinfo;
    jpegpeer::ErrorState errors;
    jpegpeer::InstallErrors(errors);
    cinfo.err = &errors.mgr;
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = W;
    cinfo.image_height = H;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    if (ycck) jpeg_set_colorspace(&cinfo, JCS_YCCK);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW row = &cmyk[size_t(cinfo.next_scanline) * W * 4];
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const std::vector<uint8_t> file(buffer, buffer + size);
    std::free(buffer);

    JpegDecoder decoder;
    decoder.Decode(file.data(), file.size());
    EXPECT_EQ(decoder.Components(), 4);
    const std::vector<uint8_t> bgr = decoder.Pixels();
    for (int p = 0; p < 4; ++p) {
      const uint8_t* ink = patches[p];
      const uint8_t* got = &bgr[(size_t(8) * W + size_t(p * 16 + 8)) * 3];
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(got[2 - k], ink[k] * ink[3] / 255.0, 3) << (ycck ? "YCCK" : "CMYK") << " patch " << p;
    }
  }
}

}  // namespace
