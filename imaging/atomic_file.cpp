#include "imaging/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "imaging/graphics_exception.h"

namespace {
std::string Reason() { return std::strerror(errno); }
}  // namespace

AtomicFileWriter::AtomicFileWriter(const std::string& path) : path_(path) {
  std::filesystem::path target(path);
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string base = (folder / ("." + target.filename().string() + ".tmp")).string();
  std::random_device rd;
  for (int attempt = 0; attempt < 50 && !file_; ++attempt) {
    tempPath_ = base + std::to_string(rd() % 1000000u);
    // "x": never reuse a file someone else made.
    file_ = std::fopen(tempPath_.c_str(), "wbx");
    if (!file_ && errno != EEXIST) break;
  }
  if (!file_) throw GraphicsException("Can't open output file: " + path + ": " + Reason());
}

AtomicFileWriter::~AtomicFileWriter() {
  if (file_) std::fclose(file_);
  if (!committed_ && !tempPath_.empty()) std::remove(tempPath_.c_str());
}

void AtomicFileWriter::Write(const void* data, size_t size) {
  if (size == 0) return;
  if (!file_ || std::fwrite(data, 1, size, file_) != size)
    throw GraphicsException("Can't write output file: " + path_ + ": " + Reason());
  written_ += size;
}

void AtomicFileWriter::Commit() {
  if (!file_) throw GraphicsException("Can't write output file: " + path_);
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  if (!ok) throw GraphicsException("Can't write output file: " + path_ + ": " + Reason());
  if (std::rename(tempPath_.c_str(), path_.c_str()) != 0)
    throw GraphicsException("Can't write output file: " + path_ + ": " + Reason());
  committed_ = true;
}
