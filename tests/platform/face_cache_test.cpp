// The face cache: a hit answers as fontconfig did, and anything fontconfig's answer depends on
// (its configuration, the font folders, its environment) makes the cache stale.
#include "platform/face_cache.h"
#include "platform/font_layer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace fs = std::filesystem;
using testsupport::ReadFileText;
using testsupport::TempDir;
using testsupport::WriteFileText;

namespace {

const std::string kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const std::string kSerif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";
const std::string kHan = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A fontconfig of our own: one font folder holding links to DejaVu Sans and a Han face.
class FaceCacheTest : public ::testing::Test {
 public:
  void SetUp() override {
    for (const auto& f : {kSans, kSerif, kHan})
      if (!fs::exists(f)) GTEST_SKIP() << f << " is not installed";
    fs::create_directories(fonts());
    fs::create_directories(dir.file("conf"));
    fs::create_symlink(kSans, fonts() + "/DejaVuSans.ttf");
    fs::create_symlink(kHan, fonts() + "/wqy-microhei.ttc");
    WriteFileText(config(), "<?xml version=\"1.0\"?>\n<fontconfig>\n  <dir>" + fonts() + "</dir>\n  <cachedir>" +
                                dir.file("fc-cache") + "</cachedir>\n</fontconfig>\n");
    env.emplace("FONTCONFIG_FILE", config());
  }
  std::string fonts() const { return dir.file("fonts"); }
  std::string config() const { return dir.file("conf/fonts.conf"); }
  std::string cache() const { return dir.file("cache/quorbel/faces"); }

  static LogFont Font() {
    LogFont f;
    f.height = 24;
    f.weight = 400;
    f.faceName = "DejaVu Sans";
    return f;
  }
  // The ink of text drawn by a fresh layer with the cache at path.
  static std::vector<uint8_t> Draw(const std::string& path, const std::string& text, std::string* missing = nullptr) {
    platform::FontLayer layer(path);
    constexpr int W = 120, H = 32;
    std::vector<uint8_t> pixels(size_t(W) * H, 0);
    std::vector<uint8_t*> rows;
    for (int y = 0; y < H; ++y) rows.push_back(pixels.data() + size_t(y) * W);
    layer.DrawText(Font(), text, 0, 0, W, H, rows.data(), W, H, 1);
    if (missing) *missing = layer.TakeMissingCharacters();
    return pixels;
  }
  static std::string Resolved(const std::string& path) { return platform::FontLayer(path).ResolvedFile(Font()); }
  // Points the cached answer for DejaVu Sans at another file: a layer that reports that file
  // took its answer from the cache, without fontconfig.
  void Doctor() {
    std::string text = ReadFileText(cache());
    const size_t at = text.find(fonts() + "/DejaVuSans.ttf");
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at, fonts().size() + 15, kSerif);
    WriteFileText(cache(), text);
  }

  TempDir dir;
  std::optional<ScopedEnv> env;
  std::optional<ScopedEnv> lang;
};

TEST_F(FaceCacheTest, AHitAnswersAsFontconfigDid) {
  const std::string text = "Ag\xE6\xBC\xA2";  // "Ag" and a Han character DejaVu Sans lacks
  std::string missing;
  const std::vector<uint8_t> uncached = Draw("", text, &missing);
  EXPECT_EQ(missing, "");
  EXPECT_FALSE(fs::exists(cache()));
  EXPECT_EQ(Draw(cache(), text), uncached);  // the miss that writes the cache
  const std::string written = ReadFileText(cache());
  EXPECT_NE(written.find("wqy-microhei.ttc"), std::string::npos) << written;  // the fallback is kept too
  EXPECT_EQ(Draw(cache(), text), uncached);  // the hit
  EXPECT_EQ(ReadFileText(cache()), written);  // a hit writes nothing

  // A hit is taken as it stands: the doctored face is used, and a fallback recorded as "none"
  // leaves the character missing.
  Doctor();
  EXPECT_EQ(Resolved(cache()), kSerif);
  std::string text2 = ReadFileText(cache());
  const size_t han = text2.find(fonts() + "/wqy-microhei.ttc");
  ASSERT_NE(han, std::string::npos);
  text2.erase(han, fonts().size() + 17);
  WriteFileText(cache(), text2);
  Draw(cache(), text, &missing);
  EXPECT_EQ(missing, "\xE6\xBC\xA2");
}

TEST_F(FaceCacheTest, ChangesFontconfigDependsOnMakeItStale) {
  const std::string real = fonts() + "/DejaVuSans.ttf";
  const struct {
    const char* what;
    std::function<void(FaceCacheTest&)> change;
  } cases[] = {
      {"config file touched",
       [](FaceCacheTest& t) {
         fs::last_write_time(t.config(), fs::last_write_time(t.config()) + std::chrono::seconds(2));
       }},
      {"font installed", [](FaceCacheTest& t) { fs::create_symlink(kSerif, t.fonts() + "/DejaVuSerif.ttf"); }},
      {"font folder made in a watched folder",
       [](FaceCacheTest& t) { fs::create_directories(t.fonts() + "/more"); }},
      {"language changed", [](FaceCacheTest& t) { t.lang.emplace("FC_LANG", "de"); }},
  };
  for (const auto& c : cases) {
    fs::remove(cache());
    lang.reset();
    EXPECT_EQ(Resolved(cache()), real) << c.what;
    Doctor();
    ASSERT_EQ(Resolved(cache()), kSerif) << c.what;  // still fresh
    // File times may advance by a clock tick only (a few milliseconds).
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    c.change(*this);
    EXPECT_EQ(Resolved(cache()), real) << c.what;
    EXPECT_EQ(Resolved(cache()), real) << c.what << ": the rebuilt cache";
    EXPECT_EQ(ReadFileText(cache()).find(kSerif), std::string::npos) << c.what;
  }
}

TEST_F(FaceCacheTest, CorruptOrUnwritableCacheFallsBackToFontconfig) {
  const std::string real = fonts() + "/DejaVuSans.ttf";
  EXPECT_EQ(Resolved(cache()), real);
  const std::string good = ReadFileText(cache());
  const std::string corrupt[] = {"", "garbage\n", good.substr(0, good.size() / 2), good + "face\tx\n",
                                 good + "face\tk\t-1\t-\t/x\n", std::string("\0\xff\n", 3)};
  for (const auto& bytes : corrupt) {
    WriteFileText(cache(), bytes);
    EXPECT_EQ(Resolved(cache()), real) << bytes;
    EXPECT_EQ(ReadFileText(cache()), good) << "rebuilt";
  }
  // A cache folder that cannot be made: the render still works, and writes nothing.
  WriteFileText(dir.file("blocker"), "");
  EXPECT_EQ(Resolved(dir.file("blocker/quorbel/faces")), real);
  EXPECT_EQ(Draw(dir.file("blocker/quorbel/faces"), "Ag"), Draw("", "Ag"));
}

TEST(FaceCacheFile, KeepsAnyNameAndStaysBounded) {
  TempDir dir;
  const std::string path = dir.file("faces");
  const std::string odd = std::string("tab\there, line\nbreak, back\\slash \\t, \x1f and \0 byte", 49);
  const platform::CachedFace face{"/fonts/a \t\nb.ttf", 65537, true, false, true};
  fs::create_directories(dir.file("fonts"));  // not the cache's own folder, which the writes change
  const std::vector<std::string> watched = {dir.file("fonts"), dir.file("absent")};
  {
    platform::FaceCache cache(path);
    cache.SetWatched(watched);
    cache.Store(odd, face);
    cache.Flush();
  }
  platform::FaceCache again(path);
  ASSERT_TRUE(again.Find(odd).has_value());
  EXPECT_EQ(*again.Find(odd), face);
  EXPECT_FALSE(again.Find("tab").has_value());
  // A document asking for ever new face names cannot grow the file without end.
  again.SetWatched(watched);
  for (int i = 0; i < 5000; ++i) again.Store("face " + std::to_string(i), face);
  again.Flush();
  EXPECT_LT(fs::file_size(path), 200000u);
  EXPECT_TRUE(again.Find("face 4999").has_value());
}

TEST(FaceCachePath, FollowsTheCacheHome) {
  {
    ScopedEnv xdg("XDG_CACHE_HOME", "/somewhere/cache");
    EXPECT_EQ(platform::FaceCache::DefaultPath(), "/somewhere/cache/quorbel/faces");
  }
  ScopedEnv relative("XDG_CACHE_HOME", "relative");  // not absolute: ignored, as the XDG rules say
  ScopedEnv home("HOME", "/home/u");
  EXPECT_EQ(platform::FaceCache::DefaultPath(), "/home/u/.cache/quorbel/faces");
}

}  // namespace
