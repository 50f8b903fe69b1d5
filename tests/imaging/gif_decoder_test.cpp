#include "imaging/codecs/gif_decoder.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "imaging/codecs/gif_writer.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;
using Bytes = std::vector<uint8_t>;

struct PeerImage {
  int width, height, bits;
  bool interlaced = false, localTable = false, globalTable = true;
  int transparent = -1;
  int left = 0, top = 0;  // placed on a screen just big enough
  bool gif87 = false;
};

// Writes a picture with giflib; returns the red, green, blue bytes it must decode to.
Bytes WriteWithGiflib(const std::string& path, const PeerImage& p, std::mt19937& rng) {
  const int count = 1 << p.bits;
  std::vector<GifColorType> global(static_cast<size_t>(count)), local(static_cast<size_t>(count));
  for (auto* t : {&global, &local})
    for (auto& c : *t) c = GifColorType{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
  Bytes px(size_t(p.width) * p.height);
  for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(((i / p.width) % 5 == 0 ? rng() : i / 4) % count);

  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  EGifSetGifVersion(gif, !p.gif87);
  ColorMapObject* globalMap = p.globalTable ? GifMakeMapObject(count, global.data()) : nullptr;
  ColorMapObject* localMap = p.localTable ? GifMakeMapObject(count, local.data()) : nullptr;
  EXPECT_EQ(EGifPutScreenDesc(gif, p.left + p.width, p.top + p.height, p.bits, 0, globalMap), GIF_OK);
  if (p.transparent >= 0) {
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = p.transparent;
    GifByteType ext[4];
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(EGifGCBToExtension(&gcb, ext)), ext);
  }
  EXPECT_EQ(EGifPutImageDesc(gif, p.left, p.top, p.width, p.height, p.interlaced, localMap), GIF_OK);
  // giflib leaves the interlaced row order to its caller.
  const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < (p.interlaced ? 4 : 1); ++pass)
    for (int y = p.interlaced ? start[pass] : 0; y < p.height; y += p.interlaced ? step[pass] : 1)
      EXPECT_EQ(EGifPutLine(gif, px.data() + size_t(y) * p.width, p.width), GIF_OK);
  EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
  if (globalMap) GifFreeMapObject(globalMap);
  if (localMap) GifFreeMapObject(localMap);
  Bytes rgb;
  for (uint8_t i : px) {
    const GifColorType& c = (p.localTable ? local : global)[i];
    rgb.insert(rgb.end(), {c.Red, c.Green, c.Blue});
  }
  return rgb;
}

TEST(GifDecoder, ReadsWhatGiflibWrites) {
  std::vector<PeerImage> cases(9);
  cases[0] = {1, 1, 8};
  cases[1] = {37, 23, 8, true};  // interlaced, rows not a multiple of 8
  cases[2] = {1, 2, 4, true};    // fewer rows than passes
  cases[3] = {120, 45, 4, false, true};
  cases[4] = {64, 17, 2, true, true, false};  // local table only
  cases[5] = {50, 30, 8, false, false, true, 9};  // the transparent index keeps its colour
  cases[6] = {33, 9, 3, false, false, true, -1, 0, 0, true};  // GIF87a
  cases[7] = {20, 10, 8, false, false, true, -1, 5, 7};         // inside a larger screen
  cases[8] = {900, 300, 8, true};                               // several table resets
  TempDir dir;
  std::mt19937 rng(11);
  for (const PeerImage& p : cases) {
    SCOPED_TRACE(testing::Message() << p.width << "x" << p.height << " bits " << p.bits << " interlaced "
                                    << p.interlaced << " local " << p.localTable);
    Bytes expected = WriteWithGiflib(dir.file("peer.gif"), p, rng);
    GifDecoder decoder;
    ASSERT_TRUE(decoder.DecodeFile(dir.file("peer.gif"))) << decoder.Error();
    EXPECT_EQ(decoder.Error(), "No Error");
    EXPECT_EQ(decoder.Width(), p.width);
    EXPECT_EQ(decoder.Interlaced(), p.interlaced);
    EXPECT_EQ(decoder.TransparentIndex(), p.transparent);
    EXPECT_TRUE(decoder.Rgb() == expected) << "pixels differ";
  }
}

TEST(GifDecoder, ReadGifFillsAnUprightBlueGreenRedPictureOrNamesTheFile) {
  TempDir dir;
  std::mt19937 rng(12);
  Bytes rgb = WriteWithGiflib(dir.file("pic.gif"), {7, 3, 8, true}, rng);
  DibImage image;
  ASSERT_EQ(ReadGif(dir.file("pic.gif"), image), 1);
  ASSERT_EQ(image.BitCount(), 24);
  ASSERT_EQ(image.Height(), 3);
  DibRowTable rows(image);
  for (int i = 0; i < 21; ++i)
    for (int c = 0; c < 3; ++c) ASSERT_EQ(rows[i / 7][3 * (i % 7) + c], rgb[3 * i + 2 - c]);

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

TEST(GifDecoder, DamagedFilesGiveTheirReasons) {
  // Our writer's 2 x 2 at 2 bits: screen 6..12, table 13..24, control extension 25..32, image
  // descriptor 33..42, code size 43, data sub-blocks from 44.
  const uint8_t px[4] = {0, 1, 2, 3}, r[4] = {10, 20, 30, 40}, g[4] = {50, 60, 70, 80}, b[4] = {90, 100, 110, 120};
  const Bytes good = GifEncoder::EncodeToMemory(px, 2, 2, 0, -1, 2, r, g, b);
  GifDecoder d;
  ASSERT_TRUE(d.Decode(good.data(), good.size()));
  EXPECT_EQ(d.Rgb(), (Bytes{10, 50, 90, 20, 60, 100, 30, 70, 110, 40, 80, 120}));
  EXPECT_EQ(d.Notice(), "");

  auto with = [&](size_t at, Bytes bytes) {
    Bytes f = good;
    std::copy(bytes.begin(), bytes.end(), f.begin() + at);
    return f;
  };
  auto cut = [&](size_t length) { return Bytes(good.begin(), good.begin() + length); };
  auto error = [](const Bytes& f) {
    GifDecoder d;
    EXPECT_FALSE(d.Decode(f.data(), f.size(), "bad.gif"));
    EXPECT_TRUE(d.Rgb().empty());
    return d.Error();
  };
  Bytes large = with(6, {0xFF, 0xFF, 0xFF, 0xFF});
  std::copy_n(Bytes{0, 0x10, 0, 0x10}.begin(), 4, large.begin() + 38);  // 4096 x 4096, a few data bytes

  EXPECT_EQ(error(cut(4)), "Error reading GIF Magic #\n");
  EXPECT_EQ(error(with(0, {'P', 'N', 'G'})), "Error, bad.gif is not a valid .GIF file");
  EXPECT_EQ(error(with(3, {'9', '0', 'a'})), "Error, Bad GIF Version number");
  EXPECT_EQ(error(cut(10)), "Error, failed to GIF read screen descriptor.\nGiving up");
  EXPECT_EQ(error(cut(20)), "Error reading GIF file\nGIFScreen Colormap\nGiving up");
  EXPECT_EQ(error(cut(28)), "Error on extension read.\nGiving up");
  EXPECT_EQ(error(cut(38)), "Error on dimension read\nGiving up");
  EXPECT_EQ(error(with(42, {0x81})), "Error reading GIF file\nLocalColorMap\nGiving up");
  EXPECT_EQ(error(with(10, {0x00})), "Error reading GIF colormap\nGiving up");  // no table at all
  EXPECT_EQ(error(with(38, {0, 0})), "Negative image dimensions!\nGiving up");
  EXPECT_EQ(error(with(34, {1})), "Image lies outside the GIF screen.\nGiving up");
  EXPECT_EQ(error(with(6, {1, 0})), "Image lies outside the GIF screen.\nGiving up");
  EXPECT_EQ(error(large), "Unexpected EOF in GIF.\nGiving up");  // refused before allocating
  EXPECT_EQ(error(with(43, {12})), "Bad LZW code size in GIF.\nGiving up");
  EXPECT_EQ(error(with(25, {0x3B})), "No image in GIF file.\nGiving up");
  // 3-bit codes: clear, 0, then 7 while the next free code is 6; a string code right after a
  // clear; clear, 0 and the end code, three pixels short.
  EXPECT_EQ(error(with(44, {2, 0xC4, 0x01, 0})), "Corrupt LZW data in GIF.\nGiving up");
  EXPECT_EQ(error(with(44, {2, 4 | (6 << 3), 0, 0})), "Corrupt LZW data in GIF.\nGiving up");
  EXPECT_EQ(error(with(44, {2, 0x44, 0x01, 0})), "Unexpected EOF in GIF.\nGiving up");

  Bytes square = with(12, {49});
  ASSERT_TRUE(d.Decode(square.data(), square.size()));
  EXPECT_EQ(d.Notice(), "Non-square pixels in GIF image.\nIgnoring that fact...");
}

TEST(GifDecoder, EveryTruncationFailsCleanlyOrKeepsThePixels) {
  TempDir dir;
  std::mt19937 rng(13);
  Bytes rgb = WriteWithGiflib(dir.file("t.gif"), {40, 21, 8, true, true}, rng);
  const Bytes file = testsupport::ReadFileBytes(dir.file("t.gif"));
  size_t accepted = 0;
  for (size_t length = 0; length < file.size(); ++length) {
    GifDecoder d;
    if (d.Decode(file.data(), length)) {
      ++accepted;
      EXPECT_TRUE(d.Rgb() == rgb) << "length " << length;
    }
  }
  EXPECT_LE(accepted, 2u);  // only the empty sub-block and the trailer may go missing
}

}  // namespace
