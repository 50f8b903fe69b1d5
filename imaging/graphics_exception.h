#pragma once
// The codecs report failures by throwing these; each carries the text shown to the user.
#include <string>

#include "imaging/error.h"

class GraphicsException : public quorbel::Error {
 public:
  explicit GraphicsException(const std::string& message) : quorbel::Error(message) {}
};
