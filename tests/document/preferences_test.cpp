#include "document/preferences.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

using testsupport::ScopedEnv;

bool Same(const ProgramSettings& a, const ProgramSettings& b) {
  return a.antiAliasing == b.antiAliasing && a.clipBlank == b.clipBlank &&
         a.reduceColorMethod == b.reduceColorMethod && a.dithering == b.dithering && a.supersample == b.supersample;
}

}  // namespace

TEST(Preferences, PathFollowsTheEnvironment) {
  ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg/here");
  EXPECT_EQ(PreferencesPath(), "/cfg/here/quorbel/quorbel.ini");
  ScopedEnv home("HOME", "/home/someone");
  {
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_EQ(PreferencesPath(), "/home/someone/.config/quorbel/quorbel.ini");
  }
  ScopedEnv unset("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(PreferencesPath(), "/home/someone/.config/quorbel/quorbel.ini");
  ScopedEnv noHome("HOME", nullptr);
  EXPECT_EQ(PreferencesPath(), "");
}

TEST(Preferences, FirstRunDefaultsAndRoundTrip) {
  testsupport::TempDir dir;
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().c_str());
  const std::string path = PreferencesPath();
  EXPECT_TRUE(Same(LoadPreferences(path), ProgramSettings{1, 1, 2, 0}));

  ASSERT_TRUE(StorePreferences(ProgramSettings{0, 1, 0, 1}, path));  // creates quorbel/
  EXPECT_TRUE(Same(LoadPreferences(path), ProgramSettings{0, 1, 0, 1}));
  const std::string text = testsupport::ReadFileText(path);
  EXPECT_NE(text.find("[quorbel]"), std::string::npos);
  EXPECT_NE(text.find("antialiasing=0"), std::string::npos);
  EXPECT_NE(text.find("reducecolormethod=0"), std::string::npos);
  EXPECT_NE(text.find("dithering=1"), std::string::npos);
  ProgramSettings smooth;
  smooth.supersample = 3;
  ASSERT_TRUE(StorePreferences(smooth, path));
  EXPECT_TRUE(Same(LoadPreferences(path), smooth));
  // A hand-edited factor past the range takes the nearest one.
  testsupport::WriteFileText(path, "[quorbel]\nsupersampling=9\n");
  EXPECT_EQ(LoadPreferences(path).supersample, 4);
  // A profile stored before the third method existed keeps its method.
  testsupport::WriteFileText(path, "[quorbel]\nreducecolormethod=1\n");
  EXPECT_TRUE(Same(LoadPreferences(path), ProgramSettings{1, 1, 1, 0}));

  // Other keys and sections survive a store.
  testsupport::WriteFileText(path, "[quorbel]\nclipblank=0\nlast=x.plq\n[window]\nwidth=640\n");
  ASSERT_TRUE(StorePreferences(ProgramSettings{1, 0, 1, 0}, path));
  EXPECT_TRUE(Same(LoadPreferences(path), ProgramSettings{1, 0, 1, 0}));
  const std::string kept = testsupport::ReadFileText(path);
  EXPECT_NE(kept.find("last=x.plq"), std::string::npos);
  EXPECT_NE(kept.find("[window]\nwidth=640"), std::string::npos);
  EXPECT_EQ(kept.find("clipblank=0", kept.find("clipblank=0") + 1), std::string::npos);
}

TEST(Preferences, BadFilesGiveTheDefaults) {
  testsupport::TempDir dir;
  const std::string path = dir.file("quorbel.ini");
  // A key that is not an integer, or in another section, keeps its start value.
  testsupport::WriteFileText(path, "[Quorbel]\nAntiAliasing = 0\nclipblank=yes\n[other]\nreducecolormethod=0\n");
  EXPECT_TRUE(Same(LoadPreferences(path), ProgramSettings{0, 1, 2, 0}));
  // A broken line spoils only itself: the keys before and after it still read.
  testsupport::WriteFileText(path, "[quorbel]\nantialiasing=0\nthis line is broken\nreducecolormethod=0\n");
  EXPECT_TRUE(Same(LoadPreferences(path), ProgramSettings{0, 1, 0, 0}));
  EXPECT_TRUE(Same(LoadPreferences(dir.path().string()), ProgramSettings{1, 1, 2, 0}));
  EXPECT_TRUE(Same(LoadPreferences(""), ProgramSettings{1, 1, 2, 0}));
  std::string error;
  EXPECT_FALSE(StorePreferences(ProgramSettings{}, "", &error));
  EXPECT_FALSE(error.empty());
  // A plain file where the folder should be.
  testsupport::WriteFileText(dir.file("blocker"), "x");
  EXPECT_FALSE(StorePreferences(ProgramSettings{}, dir.file("blocker") + "/q.ini", &error));
}
