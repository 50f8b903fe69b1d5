#include "raster/texture_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "raster/render_error.h"
#include "imaging/dib_image.h"
#include "imaging/export.h"

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

[[noreturn]] void Refuse(const std::string& name, const std::string& reason) {
  throw RenderError("texture \"" + name + "\": " + reason);
}

// 24-bit pictures as they are; 8-bit ones through their colour table. False for other depths.
bool ToFillTexture(const DibImage& image, FillTexture& texture) {
  const int bits = image.BitCount();
  const int w = image.Width(), h = image.Height();
  if (w <= 0 || h <= 0 || (bits != 24 && bits != 8)) return false;
  // 8-bit pictures: the colour table follows the header as blue, green, red, reserved.
  const std::vector<uint8_t>& packed = image.Packed();
  const size_t tableStart = size_t(image.HeaderSize());
  const size_t tableEntries = bits == 8 ? size_t(image.ColorCount()) : 0;
  if (bits == 8 && tableStart + tableEntries * 4 > packed.size()) return false;
  DibRowTable rows(image);
  if (rows.Height() < h) return false;
  texture.width = w;
  texture.height = h;
  texture.bgr.resize(size_t(w) * size_t(h) * 3);
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = rows[y];
    uint8_t* dst = texture.bgr.data() + size_t(y) * size_t(w) * 3;
    if (bits == 24) {
      std::copy(src, src + size_t(w) * 3, dst);
      continue;
    }
    for (int x = 0; x < w; ++x) {
      const size_t index = src[x];
      uint8_t* d = dst + size_t(x) * 3;
      if (index < tableEntries) {
        std::copy_n(packed.data() + tableStart + index * 4, 3, d);
      } else {
        d[0] = d[1] = d[2] = 0;
      }
    }
  }
  return true;
}

}  // namespace

std::shared_ptr<const FillTexture> TextureCache::Get(const std::string& folder, const std::string& name) {
  if (name.empty()) return nullptr;
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos || name == "." ||
      name.find("..") != std::string::npos)
    Refuse(name, "a texture is named by its file name inside the texture folder; paths are refused");

  const std::string path = folder + name;
  // Non-blocking: a FIFO put in place of a texture must not hang the render in open().
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return nullptr;  // missing: paints nothing, as before
    Refuse(name, std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) Refuse(name, std::strerror(errno));
  if (!S_ISREG(st.st_mode)) Refuse(name, "not a regular file");
  if (st.st_size > kMaxTextureFileBytes)
    Refuse(name, "the file is too large (" + std::to_string(st.st_size >> 20) + " MB; textures are limited to " +
                     std::to_string(kMaxTextureFileBytes >> 20) + " MB)");

  auto found = entries_.find(name);
  if (found != entries_.end()) {
    const Entry& e = found->second;
    if (e.device == st.st_dev && e.inode == st.st_ino && e.size == st.st_size &&
        e.modified.tv_sec == st.st_mtim.tv_sec && e.modified.tv_nsec == st.st_mtim.tv_nsec)
      return e.texture;
  }

  Entry entry{st.st_dev, st.st_ino, st.st_size, st.st_mtim, nullptr};
  if (st.st_size > 0) {
    ++decodes_;
    // Decoded through the descriptor already checked, so the file read is the file examined.
    DibImage image;
    const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
    const std::string readPath = ::access(self.c_str(), R_OK) == 0 ? self : path;
    if (image.LoadAs(readPath, FileNameExtension(name)) && !image.Empty()) {
      if (int64_t(image.Width()) * image.Height() > kMaxTexturePixels)
        Refuse(name, "the picture is too large (" + std::to_string(image.Width()) + "x" +
                         std::to_string(image.Height()) + " pixels; textures are limited to " +
                         std::to_string(kMaxTexturePixels >> 20) + " megapixels)");
      auto texture = std::make_shared<FillTexture>();
      if (ToFillTexture(image, *texture)) entry.texture = std::move(texture);
    }
  }
  entries_[name] = entry;
  return entry.texture;
}
