// Outputs appear whole or not at all, claim their name exclusively when asked, and leave no
// temporary behind.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "imaging/atomic_file.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using testsupport::FolderNames;

void WriteWhole(const std::string& path, const std::string& text, const OutputPolicy& policy = {}) {
  AtomicFileWriter file(path, policy);
  file.Write(text.data(), text.size());
  file.Commit();
}

}  // namespace

TEST(AtomicFile, NothingIsVisibleBeforeCommitAndNothingStaysWithout) {
  testsupport::TempDir dir;
  const std::string path = dir.file("out.bin");
  {
    AtomicFileWriter file(path);
    file.Write("abc", 3);
    EXPECT_TRUE(FolderNames(dir.path()).empty());  // not even a temporary name
  }
  EXPECT_TRUE(FolderNames(dir.path()).empty());
  WriteWhole(path, "first");
  WriteWhole(path, "second");  // the default replaces
  EXPECT_EQ(testsupport::ReadFileText(path), "second");
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"out.bin"});
}

TEST(AtomicFile, ExclusiveClaimsRefuseATakenName) {
  testsupport::TempDir dir;
  const std::string path = dir.file("taken.bin");
  testsupport::WriteFileText(path, "precious");
  EXPECT_THROW(WriteWhole(path, "new", OutputPolicy{false, nullptr}), FileExistsError);
  EXPECT_EQ(testsupport::ReadFileText(path), "precious");
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"taken.bin"});

  // Eight writers racing on one name: exactly one wins, the others are told, nothing is mixed.
  const std::string raced = dir.file("raced.bin");
  std::atomic<int> wins{0}, losses{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      try {
        WriteWhole(raced, std::string(1000, char('a' + t)), OutputPolicy{false, nullptr});
        ++wins;
      } catch (const FileExistsError&) {
        ++losses;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(wins.load(), 1);
  EXPECT_EQ(losses.load(), 7);
  const std::string text = testsupport::ReadFileText(raced);
  EXPECT_EQ(text, std::string(1000, text[0]));
}

TEST(AtomicFile, CountingTouchesNoDiskAndErrorsNameTheFileOnce) {
  testsupport::TempDir dir;
  uint64_t counted = 0;
  WriteWhole(dir.file("never.bin"), "12345", OutputPolicy{true, &counted});
  EXPECT_EQ(counted, 5u);
  EXPECT_TRUE(FolderNames(dir.path()).empty());

  const std::string missing = dir.file("no_folder/x.bin");
  try {
    WriteWhole(missing, "x");
    ADD_FAILURE();
  } catch (const GraphicsException& e) {
    EXPECT_EQ(std::string(e.what()), missing + ": cannot create the file: No such file or directory");
  }
}

TEST(AtomicFile, StaleTemporariesOfEndedProcessesAreRemoved) {
  testsupport::TempDir dir;
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  waitpid(child, nullptr, 0);  // its pid now names no process
  const std::string dead = ".card.png.part-" + std::to_string(child) + "-7";
  const std::string alive = ".card.png.part-" + std::to_string(getpid()) + "-7";
  const std::string other = ".other.png.part-" + std::to_string(child) + "-7";
  for (const auto& n : {dead, alive, other}) testsupport::WriteFileText(dir.file(n), "partial");
  EXPECT_EQ(RemoveStaleTemporaries(dir.file("card.png")), 1);
  EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{alive, other}));
}
