#pragma once
// A render that cannot be carried out (for example a work area past the size limit).
#include <stdexcept>
#include <string>

class RenderError : public std::runtime_error {
 public:
  explicit RenderError(const std::string& message) : std::runtime_error(message) {}
};
