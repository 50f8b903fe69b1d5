#pragma once
// Writes a file whole or not at all. The bytes go to an unnamed temporary file (O_TMPFILE) in the
// target's folder, which Commit() links into place; a process killed at any moment therefore
// leaves the complete file or nothing. Where the filesystem has no unnamed files, a named
// temporary ".NAME.part-PID-N" is used instead; the next writer of the same output removes such
// files whose process is gone. Destroying an uncommitted writer removes everything it made.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "imaging/graphics_exception.h"

// How a finished output takes its name.
struct OutputPolicy {
  // false: the final link refuses to replace an existing file (FileExistsError), so two writers
  // racing on one name cannot both claim it.
  bool replace = true;
  // Set: nothing touches the disk; Commit() stores the byte count here (sizes measured in memory).
  uint64_t* countOnly = nullptr;
};

// The output's name was taken by another file before this writer could claim it.
class FileExistsError : public GraphicsException {
 public:
  using GraphicsException::GraphicsException;
};

class AtomicFileWriter {
 public:
  // Throws GraphicsException("<path>: cannot create the file: <reason>") when it cannot start.
  explicit AtomicFileWriter(const std::string& path, const OutputPolicy& policy = {});
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Throw GraphicsException naming the file on a write error (a full disk, for one).
  void Write(const void* data, size_t size);
  void Put(uint8_t byte) { Write(&byte, 1); }
  // Flushes and links (or renames) into place; throws GraphicsException, or FileExistsError when
  // the name is taken and the policy does not replace.
  void Commit();
  const std::string& TargetPath() const { return path_; }
  uint64_t BytesWritten() const { return written_; }

 private:
  [[noreturn]] void Fail(const std::string& what, int error) const;
  void LinkUnnamed();
  void RenameNamed();

  std::string path_;
  OutputPolicy policy_;
  std::string tempPath_;  // the named temporary, when the folder has no unnamed files
  std::FILE* file_ = nullptr;
  int fd_ = -1;
  uint64_t written_ = 0;
  bool committed_ = false;
};

// Removes named temporaries of `path` left by writers whose process has ended. Returns how many.
int RemoveStaleTemporaries(const std::string& path);
