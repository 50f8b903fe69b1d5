#include "document/text_file_io.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "imaging/atomic_file.h"
#include "imaging/graphics_exception.h"

namespace {
void SetError(std::string* error, std::string reason) {
  if (error) *error = std::move(reason);
}
}  // namespace

bool OpenTextFile(const std::string& path, std::ifstream& in, std::string* error) {
  if (path.empty()) {
    SetError(error, "no file name given");
    return false;
  }
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(path, ec);
  if (std::filesystem::is_directory(st)) {
    SetError(error, "is a folder, not a file");
    return false;
  }
  // A device such as /dev/zero never ends; pipes are fine.
  if (std::filesystem::is_character_file(st) || std::filesystem::is_block_file(st)) {
    SetError(error, "is a device, not a file");
    return false;
  }
  errno = 0;
  in.open(path, std::ios::binary);
  if (!in.is_open()) {
    SetError(error, errno != 0 ? std::strerror(errno) : "cannot open the file");
    return false;
  }
  return true;
}

bool WriteTextFile(const std::string& path, const std::string& bytes, std::string* error) {
  if (path.empty()) {
    SetError(error, "no file name given");
    return false;
  }
  try {
    AtomicFileWriter out(path);
    out.Write(bytes.data(), bytes.size());
    out.Commit();
    return true;
  } catch (const GraphicsException& e) {
    // The writer's message names the file; the caller does that already, so keep the reason.
    std::string message = e.what();
    const std::string named = path + ": ";
    const size_t at = message.find(named);
    SetError(error, at == std::string::npos ? message : message.substr(at + named.size()));
    return false;
  }
}

bool IsInsideFolder(const std::string& path, const std::string& folder) {
  if (folder.empty() || path.empty()) return false;
  std::error_code ec;
  const std::filesystem::path f = std::filesystem::weakly_canonical(folder, ec);
  if (ec) return false;
  const std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
  if (ec) return false;
  auto fi = f.begin(), pi = p.begin();
  for (; fi != f.end(); ++fi, ++pi) {
    if (fi->empty()) continue;  // the trailing separator of "folder/"
    if (pi == p.end() || *fi != *pi) return false;
  }
  return true;
}
