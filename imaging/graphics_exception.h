#pragma once
// The codecs report failures by throwing these; each carries the text shown to the user.
#include <stdexcept>
#include <string>

class GraphicsException : public std::runtime_error {
 public:
  explicit GraphicsException(const std::string& message) : std::runtime_error(message) {}
};
