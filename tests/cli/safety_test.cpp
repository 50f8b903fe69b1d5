// Files are never lost or damaged: a full disk, a kill, two runs racing on one name, dots in
// folder names, hostile texture names and the size command all leave only complete files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "imaging/png_peer_support.h"
#include "platform/process.h"
#include "cli/quorbel_runner.h"
#include "support/test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testsupport::FolderNames;
using testsupport::ReadFileBytes;
using testsupport::ReadFileText;
using testsupport::TempDir;
using testsupport::WriteFileText;

using testsupport::Quorbel;
using testsupport::RunResult;

// A quorbel started in the background, its output going to a file, so the test can signal it.
struct Child {
  pid_t pid = -1;
  std::string log;
  Child(std::vector<std::string> args, std::string logPath) : log(std::move(logPath)) {
    args.insert(args.begin(), testsupport::BinFolder() + "/quorbel");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  RunResult Wait() {
    int status = 0;
    waitpid(pid, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return {code, ReadFileText(log)};
  }
};

std::string Style(const std::string& name) { return testsupport::DataFolder() + "/" + name; }

std::string List(const TempDir& dir, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "String " + std::to_string(i) + "\r\n<<br>>\r\n";
  const std::string path = dir.file("list.blt");
  WriteFileText(path, text + "<<end>>\r\n");
  return path;
}

// Every file in the folder is a complete PNG (libpng reads it whole), none is hidden.
int CompletePngs(const fs::path& folder) {
  int count = 0;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (!name.ends_with(".png")) continue;
    EXPECT_NE(name[0], '.') << name;
    const pngpeer::Decoded d = pngpeer::Decode(ReadFileBytes(e.path().string()));
    EXPECT_TRUE(d.ok) << name << ": " << d.error;
    ++count;
  }
  return count;
}

int FilesWritten(const std::string& output) {
  std::smatch m;
  return std::regex_search(output, m, std::regex("(\\d+) files written")) ? std::stoi(m[1]) : 0;
}

// A small tmpfs that fills up, mounted for the test's lifetime; needs root.
struct SmallDisk {
  std::string path;
  bool mounted = false;
  SmallDisk(const TempDir& dir, const char* size) : path(dir.file("disk")) {
    fs::create_directories(path);
    mounted = geteuid() == 0 && mount("tmpfs", path.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted) umount2(path.c_str(), MNT_DETACH);
  }
};

}  // namespace

TEST(Safety, AFullDiskFailsWithAMessageAndLeavesNothingPartial) {
  TempDir dir;
  SmallDisk disk(dir, "12k");
  if (!disk.mounted) GTEST_SKIP() << "needs root to mount a small tmpfs";
  const std::string big = dir.file("big.bmp");
  const std::string text = "A picture far too large for a small disk";
  ASSERT_EQ(Quorbel({"render", "-o", big, "--text", text, "--style", Style("golden.sty")}).status, 0);
  ASSERT_GT(fs::file_size(big), 12u * 1024);

  const std::string out = disk.path + "/x.bmp";
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"render", "-o", out, "--text", text, "--style", Style("golden.sty")}, {"convert", big, out}}) {
    const RunResult r = Quorbel(args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_EQ(r.output, "quorbel: " + out + ": cannot write: No space left on device\n") << args[0];
    EXPECT_TRUE(FolderNames(disk.path).empty()) << args[0];
  }
  // A batch writes what fits, each file whole, and fails for the rest.
  const RunResult r = Quorbel({"batch", List(dir, 12), "-o", disk.path + "/card", "--type", "png", "--jobs", "2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("No space left on device"), std::string::npos) << r.output;
  EXPECT_EQ(CompletePngs(disk.path), FilesWritten(r.output));
  EXPECT_EQ(FolderNames(disk.path).size(), size_t(FilesWritten(r.output)));
}

TEST(Safety, AnInterruptedBatchLeavesCompleteFilesAndResumes) {
  TempDir dir;
  const std::string list = List(dir, 400);
  std::string base;
  for (const int signal : {SIGKILL, SIGINT}) {
    const fs::path out = dir.path() / ("out" + std::to_string(signal));
    fs::create_directories(out);
    base = (out / "card").string();
    Child child({"batch", list, "-o", base, "--type", "png", "--jobs", "2"}, dir.file("log"));
    // Wait for the first files, then stop it in the middle of its work.
    for (int i = 0; i < 600 && FolderNames(out).size() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(child.pid, signal);
    const RunResult r = child.Wait();
    const int files = CompletePngs(out);
    EXPECT_EQ(FolderNames(out).size(), size_t(files));  // no temporaries
    ASSERT_LT(files, 400) << "the batch ended before the signal";
    if (signal == SIGINT) {
      EXPECT_EQ(r.status, 130);
      EXPECT_NE(r.output.find("quorbel: interrupted: " + std::to_string(files) + " files written, 0 failed, "),
                std::string::npos) << r.output;
      EXPECT_NE(r.output.find("not started"), std::string::npos) << r.output;
    }
  }
  const auto before = fs::last_write_time(base + "0.png");
  const RunResult r = Quorbel({"batch", list, "-o", base, "--type", "png", "--resume"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("strings already complete"), std::string::npos) << r.output;
  EXPECT_EQ(CompletePngs(fs::path(base).parent_path()), 400);
  EXPECT_EQ(fs::last_write_time(base + "0.png"), before);  // kept, not written again
}

TEST(Safety, TwoRacingBatchesClaimEachNameOnce) {
  TempDir dir;
  const std::string list = List(dir, 30);
  const std::string base = dir.file("card");
  Child a({"batch", list, "-o", base, "--type", "png", "--jobs", "1"}, dir.file("a.log"));
  Child b({"batch", list, "-o", base, "--type", "png", "--jobs", "1"}, dir.file("b.log"));
  const RunResult ra = a.Wait(), rb = b.Wait();
  EXPECT_EQ(FilesWritten(ra.output) + FilesWritten(rb.output), 30) << ra.output << rb.output;
  EXPECT_EQ(CompletePngs(dir.path()), 30);
  // Whoever lost a name was told so and failed.
  EXPECT_TRUE(ra.status == 1 || rb.status == 1) << ra.output << rb.output;
}

TEST(Safety, DotsInFolderNamesNeverChooseTheTypeOrTheName) {
  TempDir dir;
  for (const char* folder : {"t.jpg.d", "run.d"}) fs::create_directories(dir.path() / folder);
  const std::string golden = Style("golden.sty");
  ASSERT_EQ(Quorbel({"render", "-o", dir.file("t.jpg.d/out.png"), "--style", golden}).status, 0);
  ASSERT_EQ(Quorbel({"convert", dir.file("t.jpg.d/out.png"), dir.file("photo.bmp.png")}).status, 0);
  ASSERT_EQ(Quorbel({"batch", List(dir, 2), "-o", dir.file("run.d/s")}).status, 0);
  EXPECT_EQ(CompletePngs(dir.path() / "t.jpg.d"), 1);
  EXPECT_EQ(FolderNames(dir.path() / "run.d"), (std::vector<std::string>{"s0.png", "s1.png"}));
  EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"list.blt", "photo.bmp.png", "run.d", "t.jpg.d"}));
  EXPECT_EQ(CompletePngs(dir.path()), 1);
  // A folder given as the picture to convert is named as such.
  const RunResult r = Quorbel({"convert", dir.file("run.d"), dir.file("x.png")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "quorbel: " + dir.file("run.d") + ": a folder, not a picture\n");
}

TEST(Safety, TextureNamesStayInsideTheTextureFolder) {
  TempDir dir;
  const std::string data = dir.file("data/");
  fs::create_directories(data + "texture/folder.png");
  ASSERT_EQ(mkfifo((data + "texture/fifo.png").c_str(), 0600), 0);
  fs::copy_file(Style("texture/marble.png"), dir.file("outside.png"));
  const std::string document = ReadFileText(Style("marble.plq"));
  ASSERT_NE(document.find("marble.png"), std::string::npos);
  const struct {
    std::string name, reason;
  } cases[] = {{"../../outside.png", "paths are refused"},
               {dir.file("outside.png"), "paths are refused"},
               {"fifo.png", "not a regular file"},
               {"folder.png", "not a regular file"}};
  const testsupport::ScopedEnv dataFolder("QUORBEL_DATA", data.c_str());
  for (const auto& c : cases) {
    std::string text = document;
    text.replace(text.find("marble.png"), 10, c.name);
    const std::string plq = dir.file("doc.plq");
    WriteFileText(plq, text);
    const auto start = std::chrono::steady_clock::now();
    const RunResult r = Quorbel({"render", plq, "-o", dir.file("x.png")});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << c.name;
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(r.output.rfind("quorbel: " + plq + ": texture \"" + c.name + "\": ", 0), 0u) << r.output;
    EXPECT_NE(r.output.find(c.reason), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(dir.file("x.png")));
  }
}

TEST(Safety, SizeWritesNothing) {
  TempDir dir;
  {
    const testsupport::ScopedEnv cache("XDG_CACHE_HOME", dir.path().c_str());
    for (const char* type : {"png", "gif", "jpeg", "bmp"}) {
      const RunResult r = Quorbel({"size", "--type", type, "--style", Style("golden.sty")});
      EXPECT_EQ(r.status, 0) << r.output;
      EXPECT_GT(std::stoll(r.output), 100) << type;
    }
  }
  // Only the font layer's face cache stays: no size-calculation file is left behind.
  for (const auto& e : fs::recursive_directory_iterator(dir.path()))
    EXPECT_TRUE(e.is_directory() || e.path() == dir.path() / "quorbel" / "faces") << e.path();
}
