// The high-quality colour reduction on every shipped example, held against ImageMagick's
// `-colors N` (the peer runs in the test; without it the test is skipped).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/color_reduction.h"
#include "imaging/gif_peer.h"
#include "imaging/dib_image.h"
#include "platform/process.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

DibImage LoadOrFail(const std::string& path) {
  DibImage image;
  std::string error;
  EXPECT_TRUE(image.Load(path, &error)) << path << ": " << error;
  return image;
}

// Peak signal-to-noise ratio of `b` against the 24-bit `a`, both read back as 24-bit.
double Psnr(const DibImage& a, DibImage b) {
  EXPECT_TRUE(ExpandToTrueColour(b));
  EXPECT_EQ(a.Width(), b.Width());
  EXPECT_EQ(a.Height(), b.Height());
  const DibRowTable ra(a), rb(b);
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width() * 3; ++x) {
      const double d = double(ra[y][x]) - double(rb[y][x]);
      sum += d * d;
    }
  const double mse = sum / (double(a.Width()) * a.Height() * 3);
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// ImageMagick's convert from the PATH; "" when there is none.
std::string FindConvert() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin";
  for (size_t start = 0; start <= dirs.size();) {
    const size_t colon = std::min(dirs.find(':', start), dirs.size());
    const fs::path candidate = fs::path(dirs.substr(start, colon - start)) / "convert";
    start = colon + 1;
    if (access(candidate.c_str(), X_OK) != 0) continue;
    const auto r = platform::RunProcess({candidate.string(), "-version"});
    if (r.exitStatus == 0 && r.output.find("ImageMagick") != std::string::npos) return candidate.string();
  }
  return "";
}

TEST(QualityReduction, NoWorseThanImageMagickOnEveryExample) {
  testsupport::TempDir dir;
  const std::string convert = FindConvert();
  if (convert.empty()) GTEST_SKIP() << "ImageMagick is not installed";
  int examples = 0;
  for (const auto& entry : fs::directory_iterator(testsupport::DataFolder())) {
    if (entry.path().extension() != ".plq") continue;
    const std::string name = entry.path().stem().string();
    const std::string original = dir.file(name + ".bmp");
    const auto render = platform::RunProcess(
        {testsupport::BinFolder() + "/quorbel", "render", entry.path().string(), "-o", original, "--seed", "3"});
    ASSERT_EQ(render.exitStatus, 0) << render.output;
    const DibImage truth = LoadOrFail(original);
    ASSERT_EQ(truth.BitCount(), 24) << name;
    ++examples;
    for (int colours : {16, 256}) {
      const std::string peer = dir.file(name + "_im.bmp");
      const auto im = platform::RunProcess({convert, original, "+dither", "-colors", std::to_string(colours),
                                            "-type", "truecolor", "BMP3:" + peer});
      ASSERT_EQ(im.exitStatus, 0) << im.output;
      DibImage ours = LoadOrFail(original);
      ASSERT_TRUE(ReduceImage(ours, colours, 0xFFFFFF, HighQuality));
      ASSERT_EQ(ours.BitCount(), 8);
      const double oursDb = Psnr(truth, ours), peerDb = Psnr(truth, LoadOrFail(peer));
      EXPECT_GE(oursDb, peerDb) << name << " at " << colours << " colours";
      RecordProperty(name + "_" + std::to_string(colours), std::to_string(oursDb) + " vs " + std::to_string(peerDb));
    }
  }
  EXPECT_GE(examples, 13);
}

std::vector<uint8_t> Table(const gifpeer::PeerGif& gif) {
  std::vector<uint8_t> rgb;
  for (const GifColorType& c : gif.table) rgb.insert(rgb.end(), {c.Red, c.Green, c.Blue});
  return rgb;
}

TEST(QualityReduction, SharedPaletteIsTheSameInEveryFileOfABatch) {
  testsupport::TempDir dir;
  const std::string list = dir.file("family.blt");
  testsupport::WriteFileText(list, "Home\r\n<<br>>\r\nProducts and prices\r\n<<br>>\r\nContact\r\n<<br>>\r\n<<end>>\r\n");
  const std::string doc = testsupport::DataFolder() + "/sunset.plq";
  for (bool shared : {false, true}) {
    const std::string base = dir.file(shared ? "shared" : "own");
    std::vector<std::string> args{testsupport::BinFolder() + "/quorbel", "batch", list, doc, "-o", base,
                                  "--type", "gif256", "--pressed", "--seed", "5", "--jobs", "2"};
    if (shared) args.push_back("--shared-palette");
    const auto r = platform::RunProcess(args);
    ASSERT_EQ(r.exitStatus, 0) << r.output;
    std::vector<std::vector<uint8_t>> tables;
    for (int i = 0; i < 3; ++i)
      for (const char* suffix : {".gif", "_.gif"}) tables.push_back(Table(gifpeer::Read(base + std::to_string(i) + suffix)));
    const bool allSame = std::all_of(tables.begin(), tables.end(), [&](const auto& t) { return t == tables[0]; });
    // Each picture's own palette differs from the others'; the shared one is identical everywhere.
    EXPECT_EQ(allSame, shared);
  }
}

}  // namespace
