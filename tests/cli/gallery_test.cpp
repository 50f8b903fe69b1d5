// The shipped gallery: button examples stay readable from short to long texts, and the small
// tile cells make a mosaic of the letters.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/color_reduction.h"
#include "imaging/dib_image.h"
#include "platform/process.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;  // 0xRRGGBB, top row first
  uint32_t At(int x, int y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }
};

Picture Render(const std::vector<std::string>& args, const std::string& out) {
  std::vector<std::string> argv{testsupport::BinFolder() + "/quorbel", "render", "-o", out, "--seed", "1"};
  argv.insert(argv.end(), args.begin(), args.end());
  const auto r = platform::RunProcess(argv);
  EXPECT_EQ(r.exitStatus, 0) << r.output;
  DibImage image;
  std::string error;
  Picture p;
  if (!image.Load(out, &error) || !ExpandToTrueColour(image)) {
    ADD_FAILURE() << out << ": " << error;
    return p;
  }
  const DibRowTable rows(image);
  p.width = image.Width();
  p.height = image.Height();
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      p.rgb.push_back(uint32_t(rows[y][x * 3 + 2]) << 16 | uint32_t(rows[y][x * 3 + 1]) << 8 | rows[y][x * 3]);
  return p;
}

// Plain magenta (the fill may come out a shade darker).
bool IsMarker(uint32_t c) { return (c >> 16) >= 0xF0 && ((c >> 8) & 0xFF) <= 0x10 && (c & 0xFF) >= 0xF0; }

// The document's text with the button (the first section) painted in plain magenta, which no
// example uses, so the button's extent shows in the picture whatever is drawn on it.
std::string WithMarkedButton(const std::string& doc) {
  const size_t count = doc.find(";Number of Effect");
  const size_t backgroundEnd = doc.find('\n', doc.find("Background", count)) + 1;
  const size_t end = doc.find("end", backgroundEnd);
  return doc.substr(0, count) + ";Number of Effect : 1\r\n" + doc.substr(doc.find("Background", count), backgroundEnd - doc.find("Background", count)) +
         "SingleColor 0 0 2 0 16711935 0 0 0 0 0 0 0\r\n\r\n" + doc.substr(end);
}

bool IsButton(const std::string& doc) { return doc.find("type 1") < doc.find(";Number of Effect"); }

TEST(Gallery, ButtonTextStaysInsideItsButtonFromTwoToThirtyCharacters) {
  testsupport::TempDir dir;
  int buttons = 0;
  for (const auto& entry : fs::directory_iterator(testsupport::DataFolder())) {
    if (entry.path().extension() != ".plq") continue;
    const std::string text = testsupport::ReadFileText(entry.path().string());
    if (!IsButton(text)) continue;
    ++buttons;
    const std::string marked = dir.file("marked.plq");
    testsupport::WriteFileText(marked, WithMarkedButton(text));
    for (const std::string words : {"Go", "Add to your cart and pay later"}) {
      const std::string name = entry.path().stem().string() + " with " + std::to_string(words.size()) + " characters";
      const Picture p = Render({marked, "--text", words}, dir.file("marked.png"));
      const uint32_t page = p.At(0, 0);
      // The button's extent, row by row (round boxes are convex), widened by two pixels for the
      // anti-aliased rim.
      std::vector<int> left(size_t(p.height), p.width), right(size_t(p.height), -1);
      for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
          if (IsMarker(p.At(x, y))) {
            for (int r = std::max(0, y - 2); r <= std::min(p.height - 1, y + 2); ++r) {
              left[size_t(r)] = std::min(left[size_t(r)], x - 2);
              right[size_t(r)] = std::max(right[size_t(r)], x + 2);
            }
          }
      int textPixels = 0, outside = 0;
      for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
          const uint32_t c = p.At(x, y);
          if (c == page || IsMarker(c)) continue;
          ++textPixels;
          outside += x < left[size_t(y)] || x > right[size_t(y)];
        }
      EXPECT_GT(textPixels, 10 * int(words.size())) << name;
      EXPECT_EQ(outside, 0) << name;
    }
  }
  EXPECT_GE(buttons, 8);
}

TEST(Gallery, EverySmallTileCellPaintsTheLetters) {
  testsupport::TempDir dir;
  const std::string doc = testsupport::DataFolder() + "/mosaic.plq";
  auto style = [&](const std::string& texture) {
    const std::string path = dir.file("s.sty");
    std::string s = ";Number of Effect : 2\r\nBackground 2 16777215 \r\nLinearGradient 0 0 90 20 16760576 8388863 0 0 0 0 0 0\r\n\r\n";
    if (!texture.empty()) s += "Tile 0 0 0 0 0 0 0 0 0 0 0 0\r\n" + texture + " \r\n";
    testsupport::WriteFileText(path, s + "end\r\n");
    return path;
  };
  auto inked = [](const Picture& p) {
    int n = 0;
    for (uint32_t c : p.rgb) n += c != p.rgb[0];
    return n;
  };
  const Picture plainPicture = Render({doc, "--style", style(""), "--text", "Tiles"}, dir.file("plain.png"));
  const int plain = inked(plainPicture);
  int cells = 0;
  for (const auto& entry : fs::directory_iterator(testsupport::DataFolder() + "/texture")) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with("tile_")) continue;
    ++cells;
    const Picture tiledPicture = Render({doc, "--style", style(name), "--text", "Tiles"}, dir.file("tiled.png"));
    ASSERT_EQ(tiledPicture.rgb.size(), plainPicture.rgb.size()) << name;
    // Most of the letters are painted, with grout between the pieces: some inked pixels of the
    // plain letters are bare page in the mosaic.
    EXPECT_GT(inked(tiledPicture), plain / 3) << name;
    int grout = 0;
    for (size_t i = 0; i < plainPicture.rgb.size(); ++i)
      grout += plainPicture.rgb[i] != plainPicture.rgb[0] && tiledPicture.rgb[i] == tiledPicture.rgb[0];
    EXPECT_GT(grout, plain / 50) << name;
  }
  EXPECT_EQ(cells, 5);
}

}  // namespace
