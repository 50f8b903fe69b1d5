#include "imaging/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace {

namespace fs = std::filesystem;

struct Split {
  std::string folder;  // never empty
  std::string name;
};

Split SplitPath(const std::string& path) {
  const fs::path p(path);
  Split s{p.parent_path().string(), p.filename().string()};
  if (s.folder.empty()) s.folder = ".";
  return s;
}

std::string PartPrefix(const std::string& name) { return "." + name + ".part-"; }

// A fresh name for a named temporary beside the output; the pid lets a later run tell a
// leftover of an ended process from a file another running writer still owns.
std::string PartName(const Split& s, std::random_device& rd) {
  return s.folder + "/" + PartPrefix(s.name) + std::to_string(::getpid()) + "-" + std::to_string(rd() % 1000000u);
}

// Links an open unnamed file to `dest`; 0 or the errno. AT_EMPTY_PATH needs a capability that
// only some processes have; /proc's link to the descriptor works for everyone else.
int LinkDescriptor(int fd, const std::string& dest) {
  if (::linkat(fd, "", AT_FDCWD, dest.c_str(), AT_EMPTY_PATH) == 0) return 0;
  if (errno == EEXIST) return EEXIST;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, dest.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  return errno;
}

bool ProcessGone(const std::string& pidText) {
  if (pidText.empty() || pidText.size() > 9) return false;
  for (char c : pidText)
    if (c < '0' || c > '9') return false;
  const long pid = std::stol(pidText);
  return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

int RemoveStaleTemporaries(const std::string& path) {
  const Split s = SplitPath(path);
  const std::string prefix = PartPrefix(s.name);
  // Earlier versions named their temporaries ".NAME.tmpNNNNNN" and never removed them; one an
  // hour old belongs to no running writer.
  const std::string oldPrefix = "." + s.name + ".tmp";
  DIR* dir = ::opendir(s.folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* e = ::readdir(dir)) {
    const std::string entry = e->d_name;
    bool stale = false;
    if (entry.starts_with(prefix)) {
      const std::string rest = entry.substr(prefix.size());
      stale = ProcessGone(rest.substr(0, rest.find('-')));
    } else if (entry.starts_with(oldPrefix) && entry.size() > oldPrefix.size() &&
               entry.find_first_not_of("0123456789", oldPrefix.size()) == std::string::npos) {
      struct stat st {};
      const std::string full = s.folder + "/" + entry;
      stale = ::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime + 3600 < ::time(nullptr);
    }
    if (stale && ::unlink((s.folder + "/" + entry).c_str()) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

void AtomicFileWriter::Fail(const std::string& what, int error) const {
  throw GraphicsException(path_ + ": " + what + (error ? std::string(": ") + std::strerror(error) : std::string()));
}

AtomicFileWriter::AtomicFileWriter(const std::string& path, const OutputPolicy& policy)
    : path_(path), policy_(policy) {
  if (policy_.countOnly) return;
  const Split s = SplitPath(path);
  if (s.name.empty() || s.name == "." || s.name == "..") Fail("not a file name", 0);
  fd_ = ::open(s.folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    RemoveStaleTemporaries(path);
    std::random_device rd;
    for (int attempt = 0; attempt < 50 && fd_ < 0; ++attempt) {
      tempPath_ = PartName(s, rd);
      fd_ = ::open(tempPath_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) tempPath_.clear();
  }
  if (fd_ < 0) {
    const int error = errno;
    struct stat st {};
    if (::stat(s.folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) Fail("the folder is not a folder", 0);
    Fail("cannot create the file", error);
  }
  file_ = ::fdopen(fd_, "wb");
  if (!file_) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    Fail("cannot create the file", error);
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (file_) std::fclose(file_);
  if (!committed_ && !tempPath_.empty()) ::unlink(tempPath_.c_str());
}

void AtomicFileWriter::Write(const void* data, size_t size) {
  if (size == 0) return;
  if (policy_.countOnly) {
    written_ += size;
    return;
  }
  if (!file_) Fail("cannot write", 0);
  if (std::fwrite(data, 1, size, file_) != size) Fail("cannot write", errno);
  written_ += size;
}

void AtomicFileWriter::LinkUnnamed() {
  int error = LinkDescriptor(fd_, path_);
  if (error == 0) return;
  if (error == EEXIST && !policy_.replace) throw FileExistsError(path_ + ": the file already exists");
  if (error != EEXIST) Fail("cannot create the file", error);
  // Replacing: give the file a temporary name, then rename it over the old one in one step.
  RemoveStaleTemporaries(path_);
  const Split s = SplitPath(path_);
  std::random_device rd;
  std::string part;
  for (int attempt = 0; attempt < 50; ++attempt) {
    part = PartName(s, rd);
    error = LinkDescriptor(fd_, part);
    if (error != EEXIST) break;
  }
  if (error != 0) Fail("cannot create the file", error);
  if (::rename(part.c_str(), path_.c_str()) != 0) {
    error = errno;
    ::unlink(part.c_str());
    Fail("cannot replace the file", error);
  }
}

void AtomicFileWriter::RenameNamed() {
  if (policy_.replace) {
    if (::rename(tempPath_.c_str(), path_.c_str()) != 0) Fail("cannot replace the file", errno);
    return;
  }
  if (::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE) == 0) return;
  int error = errno;
  if (error == EINVAL || error == ENOSYS) {
    // No no-replace rename here: a hard link refuses an existing name just the same.
    error = ::link(tempPath_.c_str(), path_.c_str()) == 0 ? 0 : errno;
    if (error == 0) {
      ::unlink(tempPath_.c_str());
      return;
    }
  }
  if (error == EEXIST) throw FileExistsError(path_ + ": the file already exists");
  Fail("cannot create the file", error);
}

void AtomicFileWriter::Commit() {
  if (committed_) return;
  if (policy_.countOnly) {
    *policy_.countOnly = written_;
    committed_ = true;
    return;
  }
  if (!file_) Fail("cannot write", 0);
  if (std::fflush(file_) != 0 || std::ferror(file_)) Fail("cannot write", errno);
  if (tempPath_.empty())
    LinkUnnamed();
  else
    RenameNamed();
  committed_ = true;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) Fail("cannot write", errno);
}
