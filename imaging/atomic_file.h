#pragma once
// Writes a file whole or not at all: the bytes go to a temporary file in the target's folder,
// which is renamed over the target only by Commit(). Destroying an uncommitted writer removes
// the temporary file, so a failed save never leaves a half-written file where a good one stood.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class AtomicFileWriter {
 public:
  // Throws GraphicsException("Can't open output file: <path>: <reason>") when it cannot start.
  explicit AtomicFileWriter(const std::string& path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Throw GraphicsException on a write error.
  void Write(const void* data, size_t size);
  void Put(uint8_t byte) { Write(&byte, 1); }
  // Flushes, closes and renames into place; throws GraphicsException on failure.
  void Commit();
  std::FILE* Stream() { return file_; }
  const std::string& TargetPath() const { return path_; }
  uint64_t BytesWritten() const { return written_; }

 private:
  std::string path_;
  std::string tempPath_;
  std::FILE* file_ = nullptr;
  uint64_t written_ = 0;
  bool committed_ = false;
};
