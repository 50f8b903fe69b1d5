// JPEG input: files libjpeg-turbo writes must decode to within 2 levels of libjpeg-turbo's own
// decode; damaged files must fail with a clear error and never crash.
#include "imaging/codecs/jpeg_decoder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/codecs/jpeg_encoder.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "imaging/jpeg_peer_support.h"
#include "support/test_support.h"

namespace {

using jpegpeer::Picture;

Picture DecodeOurs(const std::vector<uint8_t>& file) {
  JpegDecoder decoder;
  decoder.Decode(file.data(), file.size());
  Picture p;
  p.width = decoder.Width();
  p.height = decoder.Height();
  p.bgr = decoder.Pixels();
  return p;
}

std::string DecodeError(const std::vector<uint8_t>& file) {
  try {
    DecodeOurs(file);
  } catch (const JpegDecoder::JpegError& e) {
    return e.what();
  }
  return "";
}

std::vector<uint8_t> OurFile(const Picture& p, bool progressive) {
  auto rows = p.RowTable();
  return JpegEncoder({-1, progressive}).EncodeToMemory(p.width, p.height, rows.data());
}

// Offset of the first segment with this marker, or npos.
size_t FindMarker(const std::vector<uint8_t>& f, int marker) {
  for (size_t i = 2; i + 1 < f.size(); ++i)
    if (f[i] == 0xFF && f[i + 1] == marker) return i;
  return std::string::npos;
}

std::vector<uint8_t> WithoutSegment(std::vector<uint8_t> f, int marker) {
  size_t at = FindMarker(f, marker);
  size_t length = static_cast<size_t>(f[at + 2] << 8 | f[at + 3]);
  f.erase(f.begin() + static_cast<long>(at), f.begin() + static_cast<long>(at + 2 + length));
  return f;
}

TEST(JpegDecoder, MatchesLibjpegOnItsOwnFiles) {
  Picture source = jpegpeer::RenderedLike(203, 77);
  struct Case {
    const char* name;
    int h, v;
  };
  for (Case sampling : {Case{"4:4:4", 1, 1}, Case{"4:2:2", 2, 1}, Case{"4:2:0", 2, 2}, Case{"4:4:0", 1, 2},
                        Case{"4:1:1", 4, 1}}) {
    for (bool progressive : {false, true}) {
      for (int restart : {0, 3}) {
        SCOPED_TRACE(std::string(sampling.name) + (progressive ? " progressive" : " baseline") + " restart " +
                     std::to_string(restart));
        jpegpeer::EncodeSettings s;
        s.hLuma = sampling.h;
        s.vLuma = sampling.v;
        s.progressive = progressive;
        s.restartInterval = restart;
        s.extraMarkers = restart != 0;
        std::vector<uint8_t> file = jpegpeer::Encode(source, s);
        if (restart) {
          ASSERT_NE(FindMarker(file, 0xD0), std::string::npos);
        }
        // Triangle filter for the half-resolution chroma libjpeg filters; replication otherwise.
        Picture peer = jpegpeer::Decode(file).picture;
        Picture ours = DecodeOurs(file);
        ASSERT_EQ(ours.width, 203);
        ASSERT_EQ(ours.height, 77);
        EXPECT_LE(jpegpeer::MaxDifference(ours, peer), 2);
        EXPECT_GT(jpegpeer::Psnr(ours, source), 20.0);  // the picture, not just some agreement
      }
    }
  }
}

TEST(JpegDecoder, GreyscaleRgbAndOurOwnFiles) {
  Picture source = jpegpeer::RenderedLike(61, 45);
  for (bool progressive : {false, true}) {
    jpegpeer::EncodeSettings s;
    s.greyscale = true;
    s.progressive = progressive;
    std::vector<uint8_t> grey = jpegpeer::Encode(source, s);
    Picture ours = DecodeOurs(grey);
    EXPECT_LE(jpegpeer::MaxDifference(ours, jpegpeer::Decode(grey).picture), 2);
    for (size_t i = 0; i < ours.bgr.size(); i += 3) {
      EXPECT_EQ(ours.bgr[i], ours.bgr[i + 1]);
      EXPECT_EQ(ours.bgr[i], ours.bgr[i + 2]);
    }
    // R, G, B stored unconverted behind an Adobe segment.
    jpegpeer::EncodeSettings rgbSettings;
    rgbSettings.rgb = true;
    rgbSettings.progressive = progressive;
    std::vector<uint8_t> rgb = jpegpeer::Encode(source, rgbSettings);
    EXPECT_LE(jpegpeer::MaxDifference(DecodeOurs(rgb), jpegpeer::Decode(rgb).picture), 2);
    // Whatever our writer produces, including the 1x1 and odd sizes, reads back.
    for (auto [w, h] : {std::pair{1, 1}, std::pair{7, 5}, std::pair{61, 45}}) {
      std::vector<uint8_t> mine = OurFile(jpegpeer::RenderedLike(w, h), progressive);
      Picture back = DecodeOurs(mine);
      ASSERT_EQ(back.width, w);
      EXPECT_LE(jpegpeer::MaxDifference(back, jpegpeer::Decode(mine).picture), 2);
    }
  }
}

TEST(JpegDecoder, DamagedFilesGiveTheReason) {
  std::vector<uint8_t> good = OurFile(jpegpeer::RenderedLike(32, 16), false);
  auto expectError = [](const std::vector<uint8_t>& f, const std::string& part) {
    std::string error = DecodeError(f);
    EXPECT_NE(error.find(part), std::string::npos) << "got \"" << error << "\", wanted \"" << part << "\"";
  };
  expectError({'G', 'I', 'F', '8'}, "Not a JPEG file");
  expectError(WithoutSegment(good, 0xC4), "missing Huffman table");
  expectError(WithoutSegment(good, 0xDB), "missing quantization table");
  expectError(WithoutSegment(good, 0xC0), "scan before the frame header");

  size_t sof = FindMarker(good, 0xC0);
  std::vector<uint8_t> f = good;
  f[sof + 11] = 0x51;  // sampling factor 5
  expectError(f, "sampling factors");
  f = good;
  f[sof + 7] = f[sof + 8] = 0;  // width 0
  expectError(f, "width 0");
  f = good;
  f[sof + 4] = 12;
  expectError(f, "precision");
  f = good;
  f[sof + 1] = 0xC9;  // arithmetic coding
  expectError(f, "Unsupported JPEG process");

  // A Huffman code that no table holds: sixteen one bits, well inside the scan.
  f = good;
  size_t data = FindMarker(good, 0xDA) + 14;
  f[data] = 0xFF;
  f.insert(f.begin() + static_cast<long>(data) + 1, {0x00, 0xFF, 0x00});
  expectError(f, "bad Huffman code");
  // An over-subscribed table: three codes of length 1.
  f = good;
  f[FindMarker(good, 0xC4) + 5] = 3;
  expectError(f, "bad Huffman table");
  // The scan's bits end early: a restart marker right in the middle of the data.
  f = good;
  f[data + 10] = 0xFF;
  f[data + 11] = 0xD0;
  expectError(f, "premature end of data segment");
}

TEST(JpegDecoder, ReadJpegFillsAnUprightPictureOrNamesTheFile) {
  testsupport::TempDir dir;
  Picture source = jpegpeer::RenderedLike(37, 23);
  jpegpeer::EncodeSettings s;
  s.hLuma = s.vLuma = 2;
  std::vector<uint8_t> file = jpegpeer::Encode(source, s);
  testsupport::WriteFileBytes(dir.file("p.jpg"), file);
  DibImage image;
  ASSERT_EQ(ReadJpeg(dir.file("p.jpg"), image), 1);
  ASSERT_EQ(image.BitCount(), 24);
  ASSERT_EQ(image.Width(), 37);
  ASSERT_EQ(image.Height(), 23);
  Picture peer = jpegpeer::Decode(file).picture;
  DibRowTable rows(image);
  int worst = 0;
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37 * 3; ++x) worst = std::max(worst, std::abs(rows[y][x] - peer.Row(y)[x]));
  EXPECT_LE(worst, 2);

  // Failures name the file and leave the picture as it was.
  std::vector<uint8_t> before = image.Packed();
  for (const std::string& bad : {dir.file("missing.jpg"), dir.file("cut.jpg")}) {
    testsupport::WriteFileBytes(dir.file("cut.jpg"), std::vector<uint8_t>(file.begin(), file.begin() + 300));
    try {
      ReadJpeg(bad, image);
      FAIL() << bad;
    } catch (const GraphicsException& e) {
      EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
    }
    EXPECT_EQ(image.Packed(), before);
  }
}

}  // namespace
