#pragma once
// The one exception family of the program: every failure carries a message a person can read.
// The codecs throw GraphicsException and its nested classes, the renderer RenderError, the
// commands CliError; all of them are quorbel::Error, so a boundary (a command, a UI action)
// catches this one type and adds the file name once. Memory exhaustion stays std::bad_alloc and
// is reported at the same boundaries as "out of memory".
#include <stdexcept>
#include <string>

namespace quorbel {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

inline constexpr const char* kOutOfMemoryReason = "out of memory";

}  // namespace quorbel
