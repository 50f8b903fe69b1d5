#include "imaging/codecs/gif_decoder.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <random>
#include <vector>

#include "imaging/codecs/gif_writer.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;

struct PeerImage {
  int width = 0, height = 0;
  int bits = 8;
  bool gif87 = false;
  bool interlaced = false;
  bool localMap = false;     // the image carries its own table (and the global one differs)
  bool globalMap = true;
  int transparent = -1;
  int left = 0, top = 0;     // offset on a screen just big enough
};

std::vector<GifColorType> RandomColours(int count, std::mt19937& rng) {
  std::vector<GifColorType> c(static_cast<size_t>(count));
  for (auto& e : c) e = GifColorType{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
  return c;
}

// Writes `indexes` (top row first) with giflib; returns the colours the pixels must come out as.
std::vector<uint8_t> WriteWithGiflib(const std::string& path, const PeerImage& p, const std::vector<uint8_t>& indexes,
                                     std::mt19937& rng) {
  const int count = 1 << p.bits;
  std::vector<GifColorType> global = RandomColours(count, rng), local = RandomColours(count, rng);
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  EXPECT_NE(gif, nullptr);
  if (!gif) return {};
  EGifSetGifVersion(gif, !p.gif87);
  ColorMapObject* globalMap = p.globalMap ? GifMakeMapObject(count, global.data()) : nullptr;
  ColorMapObject* localMap = p.localMap ? GifMakeMapObject(count, local.data()) : nullptr;
  EXPECT_EQ(EGifPutScreenDesc(gif, p.left + p.width, p.top + p.height, p.bits, 0, globalMap), GIF_OK);
  if (p.transparent >= 0) {
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = p.transparent;
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    GifByteType ext[4];
    size_t len = EGifGCBToExtension(&gcb, ext);
    EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext), GIF_OK);
  }
  EXPECT_EQ(EGifPutImageDesc(gif, p.left, p.top, p.width, p.height, p.interlaced, localMap), GIF_OK);
  std::vector<int> order;
  if (p.interlaced) {
    const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = start[pass]; y < p.height; y += step[pass]) order.push_back(y);
  } else {
    for (int y = 0; y < p.height; ++y) order.push_back(y);
  }
  for (int y : order) {
    std::vector<GifPixelType> line(indexes.begin() + size_t(y) * p.width, indexes.begin() + size_t(y + 1) * p.width);
    EXPECT_EQ(EGifPutLine(gif, line.data(), p.width), GIF_OK);
  }
  EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
  if (globalMap) GifFreeMapObject(globalMap);
  if (localMap) GifFreeMapObject(localMap);
  const std::vector<GifColorType>& used = p.localMap ? local : global;
  std::vector<uint8_t> rgb;
  for (uint8_t i : indexes) {
    rgb.push_back(used[i].Red);
    rgb.push_back(used[i].Green);
    rgb.push_back(used[i].Blue);
  }
  return rgb;
}

std::vector<uint8_t> Indexes(int width, int height, int colours, std::mt19937& rng) {
  std::vector<uint8_t> px(size_t(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      px[size_t(y) * width + x] = (y % 5 == 0) ? uint8_t(rng() % colours) : uint8_t((x / 4 + y) % colours);
  return px;
}

TEST(GifDecoder, ReadsWhatGiflibWrites) {
  std::vector<PeerImage> cases;
  auto add = [&](PeerImage p) { cases.push_back(p); };
  add({1, 1, 8});
  add({37, 23, 8, false, true});                   // interlaced, rows not a multiple of 8
  add({1, 2, 4, false, true});                     // interlaced, fewer rows than the passes
  add({120, 45, 4, false, false, true});           // local table overrides the global one
  add({64, 17, 2, false, true, true, false});      // local table only, interlaced
  add({50, 30, 8, false, false, false, true, 9});  // transparency: index 9 keeps its colour
  add({33, 9, 3, true});                           // GIF87a
  add({20, 10, 8, false, false, false, true, -1, 5, 7});  // image placed inside a larger screen
  add({900, 300, 8, false, true});                 // large enough for several table resets
  TempDir dir;
  std::mt19937 rng(11);
  for (const PeerImage& p : cases) {
    SCOPED_TRACE(testing::Message() << p.width << "x" << p.height << " bits " << p.bits << " interlaced "
                                    << p.interlaced << " local " << p.localMap << " transparent " << p.transparent);
    std::vector<uint8_t> px = Indexes(p.width, p.height, 1 << p.bits, rng);
    const std::string path = dir.file("peer.gif");
    std::vector<uint8_t> expected = WriteWithGiflib(path, p, px, rng);
    GifDecoder decoder;
    ASSERT_TRUE(decoder.DecodeFile(path)) << decoder.Error();
    EXPECT_EQ(decoder.Error(), "No Error");
    EXPECT_EQ(decoder.Width(), p.width);
    EXPECT_EQ(decoder.Height(), p.height);
    EXPECT_EQ(decoder.Interlaced(), p.interlaced);
    EXPECT_EQ(decoder.TransparentIndex(), p.transparent);
    EXPECT_TRUE(decoder.Rgb() == expected) << "pixels differ";
  }
}

TEST(GifDecoder, ReadGifFillsAnUprightBlueGreenRedPicture) {
  TempDir dir;
  std::mt19937 rng(12);
  PeerImage p{7, 3, 8, false, true};
  std::vector<uint8_t> px = Indexes(7, 3, 256, rng);
  const std::string path = dir.file("pic.gif");
  std::vector<uint8_t> rgb = WriteWithGiflib(path, p, px, rng);
  DibImage image;
  ASSERT_EQ(ReadGif(path, image), 1);
  ASSERT_EQ(image.BitCount(), 24);
  ASSERT_EQ(image.Width(), 7);
  ASSERT_EQ(image.Height(), 3);
  DibRowTable rows(image);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) {
      const size_t at = (size_t(y) * 7 + x) * 3;
      EXPECT_EQ(rows[y][3 * x], rgb[at + 2]);
      EXPECT_EQ(rows[y][3 * x + 1], rgb[at + 1]);
      EXPECT_EQ(rows[y][3 * x + 2], rgb[at]);
    }

  // Failure: an exception naming the file, and no picture left.
  const std::string missing = dir.file("missing.gif");
  try {
    ReadGif(missing, image);
    ADD_FAILURE() << "no exception";
  } catch (const GraphicsException& e) {
    EXPECT_EQ(std::string(e.what()), missing + ": Cant open GIF :");
  }
  EXPECT_TRUE(image.Empty());
  GifDecoder decoder;
  EXPECT_FALSE(decoder.DecodeFile(""));
  EXPECT_EQ(decoder.Error(), "No Name Given");
}

// A small valid GIF of our own writer (2 x 2 at 2 bits) as the base for damaged variants.
std::vector<uint8_t> SmallGif() {
  const uint8_t px[4] = {0, 1, 2, 3};
  const uint8_t r[4] = {10, 20, 30, 40}, g[4] = {50, 60, 70, 80}, b[4] = {90, 100, 110, 120};
  return GifEncoder::EncodeToMemory(px, 2, 2, 0, -1, 2, r, g, b);
}

std::string ErrorOf(const std::vector<uint8_t>& bytes) {
  GifDecoder d;
  EXPECT_FALSE(d.Decode(bytes.data(), bytes.size(), "bad.gif"));
  EXPECT_TRUE(d.Rgb().empty());
  return d.Error();
}

TEST(GifDecoder, DamagedFilesGiveTheirReasons) {
  const std::vector<uint8_t> good = SmallGif();
  // Offsets in SmallGif: screen 6..12, table 13..24, control extension 25..32, image 33..42,
  // code size 43, data from 44.
  ASSERT_EQ(good[33], 0x2C);
  {
    GifDecoder d;
    ASSERT_TRUE(d.Decode(good.data(), good.size()));
    EXPECT_EQ(d.Rgb(), (std::vector<uint8_t>{10, 50, 90, 20, 60, 100, 30, 70, 110, 40, 80, 120}));
    EXPECT_EQ(d.Notice(), "");
  }
  auto with = [&](size_t at, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> f = good;
    for (size_t i = 0; i < bytes.size(); ++i) f[at + i] = bytes[i];
    return f;
  };
  auto cut = [&](size_t length) { return std::vector<uint8_t>(good.begin(), good.begin() + length); };

  EXPECT_EQ(ErrorOf(cut(4)), "Error reading GIF Magic #\n");
  EXPECT_EQ(ErrorOf(with(0, {'P', 'N', 'G'})), "Error, bad.gif is not a valid .GIF file");
  EXPECT_EQ(ErrorOf(with(3, {'9', '0', 'a'})), "Error, Bad GIF Version number");
  EXPECT_EQ(ErrorOf(cut(10)), "Error, failed to GIF read screen descriptor.\nGiving up");
  EXPECT_EQ(ErrorOf(cut(20)), "Error reading GIF file\nGIFScreen Colormap\nGiving up");
  EXPECT_EQ(ErrorOf(cut(28)), "Error on extension read.\nGiving up");
  EXPECT_EQ(ErrorOf(cut(38)), "Error on dimension read\nGiving up");
  EXPECT_EQ(ErrorOf(with(33 + 9, {0x81})), "Error reading GIF file\nLocalColorMap\nGiving up");
  EXPECT_EQ(ErrorOf(with(10, {0x00})), "Error reading GIF colormap\nGiving up");  // no table at all
  EXPECT_EQ(ErrorOf(with(33 + 5, {0, 0})), "Negative image dimensions!\nGiving up");
  EXPECT_EQ(ErrorOf(with(33 + 1, {1})), "Image lies outside the GIF screen.\nGiving up");
  EXPECT_EQ(ErrorOf(with(6, {1, 0})), "Image lies outside the GIF screen.\nGiving up");
  EXPECT_EQ(ErrorOf(with(43, {12})), "Bad LZW code size in GIF.\nGiving up");
  EXPECT_EQ(ErrorOf(with(25, {0x3B})), "No image in GIF file.\nGiving up");
  // Huge sizes are refused before anything is allocated.
  {
    std::vector<uint8_t> f = with(6, {0xFF, 0xFF, 0xFF, 0xFF});
    f[33 + 5] = f[33 + 6] = f[33 + 7] = f[33 + 8] = 0xFF;
    f[33 + 9] = 0;
    EXPECT_EQ(ErrorOf(f), "GIF image too large.\nGiving up");
    // Large but allowed, with a few bytes of data: refused as short before allocating.
    f[33 + 5] = 0x00;
    f[33 + 6] = 0x10;
    f[33 + 7] = 0x00;
    f[33 + 8] = 0x10;
    EXPECT_EQ(ErrorOf(f), "Unexpected EOF in GIF.\nGiving up");
  }

  // LZW codes at 3 bits: clear (4), 0, then 7 while the table's next free code is 6 (past the
  // table); and a first code after the clear that is a string code rather than a literal.
  EXPECT_EQ(ErrorOf(with(44, {2, 0xC4, 0x01, 0})), "Corrupt LZW data in GIF.\nGiving up");
  EXPECT_EQ(ErrorOf(with(44, {2, 4 | (6 << 3), 0, 0})), "Corrupt LZW data in GIF.\nGiving up");
  // Clear, 0, then the end code: three pixels short.
  EXPECT_EQ(ErrorOf(with(44, {2, 0x44, 0x01, 0})), "Unexpected EOF in GIF.\nGiving up");
}

TEST(GifDecoder, EveryTruncationFailsCleanlyOrKeepsThePixels) {
  TempDir dir;
  std::mt19937 rng(13);
  PeerImage p{40, 21, 8, false, true, true};
  std::vector<uint8_t> px = Indexes(40, 21, 256, rng);
  std::vector<uint8_t> rgb = WriteWithGiflib(dir.file("t.gif"), p, px, rng);
  const std::vector<uint8_t> file = testsupport::ReadFileBytes(dir.file("t.gif"));
  size_t accepted = 0;
  for (size_t length = 0; length < file.size(); ++length) {
    GifDecoder d;
    if (d.Decode(file.data(), length)) {
      ++accepted;
      EXPECT_TRUE(d.Rgb() == rgb) << "length " << length;
    } else {
      EXPECT_FALSE(d.Error().empty());
    }
  }
  // Only the last few bytes (the empty sub-block and the trailer) may go missing.
  EXPECT_LE(accepted, 2u);
}

TEST(GifDecoder, NonSquarePixelsAreOnlyANotice) {
  std::vector<uint8_t> f = SmallGif();
  f[12] = 49;
  GifDecoder d;
  EXPECT_TRUE(d.Decode(f.data(), f.size()));
  EXPECT_EQ(d.Notice(), "Non-square pixels in GIF image.\nIgnoring that fact...");
}

// A stream that never clears after its table fills (allowed: the table then stays as it is and
// codes stay 12 bits wide). Our writer always clears, so the stream is built here and giflib
// decodes it too.
TEST(GifDecoder, StreamsWithoutClearCodesDecodeAsGiflibDecodesThem) {
  const int width = 100, height = 60;
  std::mt19937 rng(14);
  std::vector<uint8_t> data;
  uint32_t buffer = 0;
  int buffered = 0;
  auto put = [&](int code, int bits) {
    buffer |= uint32_t(code) << buffered;
    buffered += bits;
    while (buffered >= 8) {
      data.push_back(uint8_t(buffer));
      buffer >>= 8;
      buffered -= 8;
    }
  };
  int bits = 3, next = 6;
  put(4, bits);
  for (int k = 0; k < width * height; ++k) {
    put(int(rng() % 4), bits);  // literals only
    if (k >= 1 && next < 4096) {
      ++next;
      if (next >= (1 << bits) && bits < 12) ++bits;
    }
  }
  ASSERT_EQ(next, 4096);
  put(5, bits);
  if (buffered) data.push_back(uint8_t(buffer));

  std::vector<uint8_t> file = {'G', 'I', 'F', '8', '7', 'a', width, 0, height, 0, 0x81, 0, 0};
  for (int i = 0; i < 4; ++i) file.insert(file.end(), {uint8_t(60 * i), uint8_t(255 - 9 * i), uint8_t(i)});
  file.insert(file.end(), {0x2C, 0, 0, 0, 0, width, 0, height, 0, 0, 2});
  for (size_t at = 0; at < data.size(); at += 255) {
    const size_t n = std::min<size_t>(255, data.size() - at);
    file.push_back(uint8_t(n));
    file.insert(file.end(), data.begin() + at, data.begin() + at + n);
  }
  file.insert(file.end(), {0, 0x3B});
  TempDir dir;
  testsupport::WriteFileBytes(dir.file("noclear.gif"), file);

  int error = 0;
  GifFileType* gif = DGifOpenFileName(dir.file("noclear.gif").c_str(), &error);
  ASSERT_NE(gif, nullptr);
  ASSERT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
  std::vector<uint8_t> expected;
  for (int i = 0; i < width * height; ++i) {
    const GifColorType& c = gif->SColorMap->Colors[gif->SavedImages[0].RasterBits[i]];
    expected.insert(expected.end(), {c.Red, c.Green, c.Blue});
  }
  DGifCloseFile(gif, &error);

  GifDecoder decoder;
  ASSERT_TRUE(decoder.Decode(file.data(), file.size())) << decoder.Error();
  EXPECT_TRUE(decoder.Rgb() == expected);
}

}  // namespace
