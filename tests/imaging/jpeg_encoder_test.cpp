// JPEG output: every file must decode with libjpeg-turbo, and lose no more than libjpeg-turbo's
// own encoder does with the same quantisation tables.
#include "imaging/codecs/jpeg_encoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "imaging/codecs/jpeg_tables.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "imaging/jpeg_peer_support.h"
#include "support/test_support.h"

namespace {

using jpegpeer::Picture;

std::vector<uint8_t> EncodeOurs(const Picture& p, const JpegWriteOptions& options) {
  auto rows = p.RowTable();
  return JpegEncoder(options).EncodeToMemory(p.width, p.height, rows.data());
}

Picture Solid(int width, int height, uint8_t b, uint8_t g, uint8_t r) {
  Picture p;
  p.width = width;
  p.height = height;
  for (int i = 0; i < width * height; ++i) p.bgr.insert(p.bgr.end(), {b, g, r});
  return p;
}

// Marker segments of a file in order: (marker, offset of the marker).
std::vector<std::pair<int, size_t>> Segments(const std::vector<uint8_t>& f) {
  std::vector<std::pair<int, size_t>> out;
  size_t pos = 2;
  out.push_back({0xD8, 0});
  while (pos + 4 <= f.size()) {
    EXPECT_EQ(f[pos], 0xFF) << "at " << pos;
    int marker = f[pos + 1];
    out.push_back({marker, pos});
    if (marker == 0xD9) break;
    size_t length = static_cast<size_t>(f[pos + 2] << 8 | f[pos + 3]);
    pos += 2 + length;
    if (marker == 0xDA) {  // skip entropy-coded data up to the next marker
      while (pos + 1 < f.size() && !(f[pos] == 0xFF && f[pos + 1] != 0 && (f[pos + 1] < 0xD0 || f[pos + 1] > 0xD7))) ++pos;
    }
  }
  if (pos + 2 == f.size() && f[pos] == 0xFF && f[pos + 1] == 0xD9) out.push_back({0xD9, pos});
  return out;
}

TEST(JpegEncoder, FileLayoutIsFixed) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{7, 5}, std::pair{800, 200}}) {
    std::vector<uint8_t> f = EncodeOurs(jpegpeer::RenderedLike(w, h), {});
    ASSERT_GT(f.size(), 10u);
    EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + 7), (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00}));
    EXPECT_EQ(f[f.size() - 2], 0xFF);
    EXPECT_EQ(f[f.size() - 1], 0xD9);
    std::vector<int> markers;
    for (auto [m, at] : Segments(f)) markers.push_back(m);
    EXPECT_EQ(markers, (std::vector<int>{0xD8, 0xDB, 0xDB, 0xC4, 0xC0, 0xDA, 0xD9}));
    auto seg = Segments(f);
    size_t dqt1 = seg[2].second, dht = seg[3].second, sof = seg[4].second, sos = seg[5].second;
    // The second table: id 1, Annex K.2 in zigzag order.
    EXPECT_EQ(f[dqt1 + 4], 1);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + dqt1 + 5, f.begin() + dqt1 + 13),
              (std::vector<uint8_t>{17, 18, 18, 24, 21, 24, 47, 26}));
    EXPECT_EQ(f[dqt1 + 5 + 63], 99);
    EXPECT_EQ(f[dht + 2] << 8 | f[dht + 3], 418);
    // SOF0: length 17, precision 8, the true size, three components sampled 1x1.
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + sof + 2, f.begin() + sof + 19),
              (std::vector<uint8_t>{0, 17, 8, uint8_t(h >> 8), uint8_t(h), uint8_t(w >> 8), uint8_t(w), 3, 1, 0x11, 0,
                                    2, 0x11, 1, 3, 0x11, 1}));
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + sos + 2, f.begin() + sos + 14),
              (std::vector<uint8_t>{0, 12, 3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));
  }
}

TEST(JpegEncoder, DecodesWithLibjpegAndLosesNoMoreThanIt) {
  double worstGap = -100;
  for (auto [w, h] : {std::pair{1, 1}, std::pair{7, 5}, std::pair{800, 200}}) {
    Picture source = jpegpeer::RenderedLike(w, h);
    for (int compression : {-1, 0, 20, 50, 100}) {
      auto luma = jpeg::QuantTable(compression, false);
      auto chroma = jpeg::QuantTable(compression, true);
      jpegpeer::EncodeSettings peer;
      peer.luminance = luma.data();
      peer.chrominance = chroma.data();
      double peerPsnr = jpegpeer::Psnr(source, jpegpeer::Decode(jpegpeer::Encode(source, peer)).picture);
      for (bool progressive : {false, true}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " compression " + std::to_string(compression) +
                     (progressive ? " progressive" : " baseline"));
        std::vector<uint8_t> file = EncodeOurs(source, {compression, progressive});
        jpegpeer::Decoded d = jpegpeer::Decode(file);
        EXPECT_EQ(d.warnings, 0);
        EXPECT_EQ(d.progressive, progressive);
        ASSERT_EQ(d.picture.width, w);
        ASSERT_EQ(d.picture.height, h);
        double psnr = jpegpeer::Psnr(source, d.picture);
        EXPECT_GE(psnr, peerPsnr - 3.0) << "peer " << peerPsnr;
        worstGap = std::max(worstGap, peerPsnr - psnr);
      }
    }
  }
  std::printf("largest PSNR shortfall against libjpeg-turbo: %.2f dB\n", worstGap);
}

TEST(JpegEncoder, ProgressiveAndBaselineCarryTheSameCoefficients) {
  // Successive approximation is lossless on the quantised coefficients: both files decode to
  // identical pixels.
  Picture source = jpegpeer::RenderedLike(133, 61);
  for (int compression : {-1, 0, 70}) {
    Picture baseline = jpegpeer::Decode(EncodeOurs(source, {compression, false})).picture;
    Picture progressive = jpegpeer::Decode(EncodeOurs(source, {compression, true})).picture;
    EXPECT_EQ(jpegpeer::MaxDifference(baseline, progressive), 0) << compression;
  }
}

TEST(JpegEncoder, HandComputedFlatBlocks) {
  // Black: Y 0 -> -128 after the shift; DC = 1/4 * 0.7071^2 * 64 * -128 = -1023.86, rounded to
  // -1024 and quantised by 16 to -64, which decodes to -64 * 16 / 8 + 128 = 0 (truncating both
  // steps would give -63 and a grey of 2). Chroma is exactly 128.
  Picture black = jpegpeer::Decode(EncodeOurs(Solid(8, 8, 0, 0, 0), {})).picture;
  for (uint8_t v : black.bgr) EXPECT_EQ(v, 0);
  // Mid grey 128 is the level-shift origin: every coefficient is 0 and decodes exactly.
  Picture grey = jpegpeer::Decode(EncodeOurs(Solid(16, 8, 128, 128, 128), {100, false})).picture;
  for (uint8_t v : grey.bgr) EXPECT_EQ(v, 128);
  // Edge replication: a white 9x3 strip stays white in its partial right-hand block (black
  // padding would pull the last column down visibly).
  Picture white = jpegpeer::Decode(EncodeOurs(Solid(9, 3, 255, 255, 255), {})).picture;
  for (uint8_t v : white.bgr) EXPECT_GE(v, 250);
}

TEST(JpegEncoder, CompressionScalesTheTables) {
  EXPECT_EQ(jpeg::QuantTable(20, false), jpeg::kLuminanceQuant);
  EXPECT_EQ(jpeg::QuantTable(20, true), jpeg::kChrominanceQuant);
  for (uint8_t q : jpeg::QuantTable(0, false)) EXPECT_EQ(q, 1);
  EXPECT_EQ(jpeg::QuantTable(100, true)[63], 255);
  Picture source = jpegpeer::RenderedLike(160, 80);
  EXPECT_EQ(EncodeOurs(source, {20, false}), EncodeOurs(source, {-1, false}));
  // Higher compression: never a larger file nor a better picture.
  size_t lastSize = SIZE_MAX;
  double lastPsnr = 1e9;
  for (int c = 0; c <= 100; c += 10) {
    std::vector<uint8_t> f = EncodeOurs(source, {c, false});
    double psnr = jpegpeer::Psnr(source, jpegpeer::Decode(f).picture);
    EXPECT_LE(f.size(), lastSize) << c;
    EXPECT_LE(psnr, lastPsnr + 0.05) << c;
    lastSize = f.size();
    lastPsnr = psnr;
  }
}

TEST(JpegEncoder, WritesThroughFileAndReportsFailures) {
  testsupport::TempDir dir;
  Picture source = jpegpeer::RenderedLike(21, 13);
  // Write() takes one block of rows padded to four bytes, top row first.
  const size_t stride = (21 * 3 + 3) & ~size_t(3);
  std::vector<uint8_t> block(stride * 13, 0xEE);
  for (int y = 0; y < 13; ++y) std::copy(source.Row(y), source.Row(y) + 63, block.begin() + static_cast<long>(stride * y));
  JpegEncoder encoder;
  ASSERT_EQ(encoder.Write(dir.file("a.jpg"), 21, 13, block.data()), 1);
  EXPECT_EQ(testsupport::ReadFileBytes(dir.file("a.jpg")), EncodeOurs(source, {}));

  std::string missing = dir.file("no-such-folder/b.jpg");
  try {
    encoder.Write(missing, 21, 13, block.data());
    FAIL() << "no error";
  } catch (const GraphicsException& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
  // Impossible sizes are refused before anything is created; an older file stays as it was.
  testsupport::WriteFileBytes(dir.file("c.jpg"), {1, 2, 3});
  EXPECT_THROW(encoder.Write(dir.file("c.jpg"), 0, 13, block.data()), GraphicsException);
  EXPECT_THROW(encoder.Write(dir.file("c.jpg"), 70000, 1, block.data()), GraphicsException);
  EXPECT_EQ(testsupport::ReadFileBytes(dir.file("c.jpg")), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no temp files left
}

TEST(JpegEncoder, GlueLeavesThePictureUnchangedAndUpright) {
  testsupport::TempDir dir;
  DibImage image;
  ASSERT_EQ(image.Create(17, 11, 24), 1);
  {
    DibRowTable rows(image);
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 17; ++x) {
        uint8_t* p = rows[y] + 3 * x;
        p[0] = y < 5 ? 0 : 255;    // top rows red, bottom rows blue
        p[1] = 0;
        p[2] = y < 5 ? 255 : 0;
      }
  }
  std::vector<uint8_t> before = image.Packed();
  ASSERT_EQ(WriteJpeg(image, dir.file("g.jpg"), {-1, true}), 1);
  EXPECT_EQ(image.Packed(), before);
  Picture d = jpegpeer::Decode(testsupport::ReadFileBytes(dir.file("g.jpg"))).picture;
  EXPECT_GT(d.Row(0)[2], 200);
  EXPECT_LT(d.Row(0)[0], 60);
  EXPECT_GT(d.Row(10)[0], 200);
  EXPECT_LT(d.Row(10)[2], 60);

  DibImage grey;
  ASSERT_EQ(grey.Create(4, 4, 8), 1);
  EXPECT_THROW(WriteJpeg(grey, dir.file("h.jpg")), GraphicsException);
  EXPECT_THROW(WriteJpeg(DibImage(), dir.file("h.jpg")), GraphicsException);
  EXPECT_FALSE(std::filesystem::exists(dir.file("h.jpg")));
}

}  // namespace
