// Several scales in one run: the file set of --scales (with the pressed button, in a batch and its
// manifest), sizes read back from the PNG headers, and the usage errors of the scale options.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/process.h"
#include "cli/quorbel_runner.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Quorbel;
using testsupport::RunResult;
using testsupport::TempDir;

// Width and height from a PNG's IHDR chunk (big-endian, bytes 16..23).
std::pair<int, int> PngSize(const std::string& path) {
  const std::vector<uint8_t> b = testsupport::ReadFileBytes(path);
  if (b.size() < 24) return {0, 0};
  auto be = [&](size_t i) { return int(b[i]) << 24 | int(b[i + 1]) << 16 | int(b[i + 2]) << 8 | int(b[i + 3]); };
  return {be(16), be(20)};
}

std::set<std::string> FilesIn(const TempDir& dir) {
  std::set<std::string> out;
  for (const auto& e : fs::directory_iterator(dir.path())) out.insert(e.path().filename().string());
  return out;
}

TEST(Scales, RenderWritesEveryScaleWithItsPressedPictureAndJson) {
  TempDir dir;
  const RunResult r = Quorbel({"render", "neon", "-o", dir.file("button.png"), "--scales", "1,2,3", "--pressed",
                               "--seed", "3", "--json"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"button.png", "button_.png", "button@2x.png", "button_@2x.png",
                                                 "button@3x.png", "button_@3x.png"}));
  const auto [w, h] = PngSize(dir.file("button.png"));
  ASSERT_GT(w, 0);
  for (int s : {2, 3}) {
    const auto [ws, hs] = PngSize(dir.file("button@" + std::to_string(s) + "x.png"));
    EXPECT_NEAR(ws, s * w, 4 * s + 4);
    EXPECT_NEAR(hs, s * h, 4 * s + 4);
    EXPECT_EQ(PngSize(dir.file("button_@" + std::to_string(s) + "x.png")), std::make_pair(ws, hs));
    EXPECT_NE(r.output.find("\"width\": " + std::to_string(ws) + ", \"height\": " + std::to_string(hs)),
              std::string::npos)
        << r.output;
  }
  EXPECT_NE(r.output.find("\"pressed\": true, \"scale\": 3"), std::string::npos) << r.output;
  // --scale alone writes one picture at that size, under the name given.
  const RunResult one = Quorbel({"render", "neon", "-o", dir.file("single.png"), "--scale", "2", "--seed", "3"});
  ASSERT_EQ(one.status, 0) << one.output;
  EXPECT_EQ(PngSize(dir.file("single.png")), PngSize(dir.file("button@2x.png")));
}

TEST(Scales, BatchWritesEveryScaleOfEveryStringAndListsThemInTheManifest) {
  TempDir dir;
  testsupport::WriteFileText(dir.file("list.txt"), "Go\nStop\n");
  const RunResult r = Quorbel({"batch", dir.file("list.txt"), "-o", dir.file("b.png"), "--scales", "1,2",
                               "--manifest", dir.file("m.json"), "--jobs", "2", "--quiet"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"list.txt", "m.json", "b0.png", "b0@2x.png", "b1.png", "b1@2x.png"}));
  const std::string manifest = testsupport::ReadFileText(dir.file("m.json"));
  for (const char* name : {"b0.png", "b0@2x.png", "b1.png", "b1@2x.png"})
    EXPECT_NE(manifest.find(std::string(name) + "\""), std::string::npos) << name << "\n" << manifest;
  EXPECT_EQ(std::count(manifest.begin(), manifest.end(), '{'), 4) << manifest;
  EXPECT_NE(manifest.find("\"scale\": 2"), std::string::npos) << manifest;
}

TEST(Scales, BadScaleOptionsAreUsageErrors) {
  TempDir dir;
  const std::vector<std::vector<std::string>> cases = {
      {"--scale", "0"},         {"--scale", "5"},         {"--scale", "two"},    {"--scales", "1,,2"},
      {"--scales", "1,2,2"},    {"--scales", "1,9"},      {"--scale", "2", "--scales", "1,2"},
      {"--supersample", "5"},   {"--supersample", "0"},
  };
  for (const auto& extra : cases) {
    std::vector<std::string> args{"render", "-o", dir.file("x.png")};
    args.insert(args.end(), extra.begin(), extra.end());
    const RunResult r = Quorbel(args);
    EXPECT_EQ(r.status, 2) << extra[0] << " " << extra[1] << "\n" << r.output;
    EXPECT_NE(r.output.find(extra[0] == "--supersample" ? "supersample" : "scale"), std::string::npos) << r.output;
  }
  EXPECT_TRUE(FilesIn(dir).empty());
}

}  // namespace
