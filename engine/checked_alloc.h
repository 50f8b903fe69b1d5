#pragma once
// Exhausted memory ends the program with a fixed message and a failure status.
#include <cstddef>

inline constexpr const char* kOutOfMemoryText = "Out of memory! \nSystem will be terminated.";

// Allocates with the C heap; on exhaustion reports kOutOfMemoryText and exits with status 1.
void* CheckedAlloc(size_t size);
// Reports kOutOfMemoryText through the installed reporter (stderr by default) and exits(1).
[[noreturn]] void FatalOutOfMemory();
// The desktop application shows a message box instead of writing to stderr.
void SetOutOfMemoryReporter(void (*reporter)(const char* text));
// Makes operator new's exhaustion take the same road (std::set_new_handler).
void InstallOutOfMemoryHandler();
