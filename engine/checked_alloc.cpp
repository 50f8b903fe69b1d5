#include "engine/checked_alloc.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {
std::atomic<void (*)(const char*)> g_reporter{nullptr};
}

void SetOutOfMemoryReporter(void (*reporter)(const char*)) { g_reporter = reporter; }

[[noreturn]] void FatalOutOfMemory() {
  if (auto reporter = g_reporter.load()) {
    reporter(kOutOfMemoryText);
  } else {
    std::fputs("quorbel: System Error: ", stderr);
    std::fputs(kOutOfMemoryText, stderr);
    std::fputc('\n', stderr);
  }
  // A failure status: ending with 0 would tell scripts the run succeeded.
  std::_Exit(1);
}

void* CheckedAlloc(size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) FatalOutOfMemory();
  return p;
}

void InstallOutOfMemoryHandler() {
  std::set_new_handler([] { FatalOutOfMemory(); });
}
