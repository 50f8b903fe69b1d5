#pragma once
// Textures of the fill effects, decoded once per render context and shared by every effect that
// names them. An entry is reused only while its file is the same (device, inode, size and
// modification time), so an edited texture is read again and never paints stale pixels.
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A texture decoded to top-down blue-green-red pixels.
struct FillTexture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;  // width*height*3
  const uint8_t* Pixel(int x, int y) const { return bgr.data() + (size_t(y) * size_t(width) + size_t(x)) * 3; }
};

// Larger textures are refused: they cost far more than any picture made from them needs.
constexpr int64_t kMaxTextureFileBytes = 32ll << 20;
constexpr int64_t kMaxTexturePixels = 16ll << 20;

class TextureCache {
 public:
  // The texture `name` of `folder` (ending with '/'). nullptr when the name is empty or the file
  // is missing, empty or cannot be decoded (the effect then paints nothing). Throws RenderError
  // for a name that is not a plain name inside the folder (a path separator or ".."), a file that
  // is not a regular file (a FIFO, device or folder: never opened in a way that could block), or
  // a texture past the size limits.
  std::shared_ptr<const FillTexture> Get(const std::string& folder, const std::string& name);
  size_t Decodes() const { return decodes_; }

 private:
  struct Entry {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    std::shared_ptr<const FillTexture> texture;  // null: the file could not be decoded
  };
  std::map<std::string, Entry> entries_;
  size_t decodes_ = 0;
};
