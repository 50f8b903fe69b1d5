#pragma once
// A render that cannot be carried out (for example a work area past the size limit).
#include <string>

#include "imaging/error.h"

class RenderError : public quorbel::Error {
 public:
  explicit RenderError(const std::string& message) : quorbel::Error(message) {}
};
