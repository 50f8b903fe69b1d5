#pragma once
// A command's failure: reported as "quorbel: <file>: <reason>" with exit status 1.
#include <stdexcept>
#include <string>

struct CliError : std::runtime_error {
  CliError(std::string file, const std::string& reason)
      : std::runtime_error(reason), file(std::move(file)) {}
  std::string file;
};

// Prints the error the usual way.
void ReportError(const std::string& file, const std::string& reason);
