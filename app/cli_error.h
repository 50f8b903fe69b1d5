#pragma once
// A command's failure: reported as "quorbel: <file>: <reason>" with exit status 1.
#include <string>

#include "imaging/error.h"

struct CliError : quorbel::Error {
  CliError(std::string file, const std::string& reason)
      : quorbel::Error(reason), file(std::move(file)) {}
  std::string file;
};

// Prints the error the usual way.
void ReportError(const std::string& file, const std::string& reason);
