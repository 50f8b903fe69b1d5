#pragma once
// The largest picture a reader, a render or a document may ask for. Every decoder (BMP, PNG,
// inflate, JPEG, GIF, WebP) and the renderer take one of these and call Refusal before they
// allocate, so that a small hostile file cannot make us ask for gigabytes; past a limit they fail
// with the returned reason instead of being killed by the system.
#include <cstdint>
#include <string>

struct ImageLimits {
  uint32_t maxWidth = 65535;
  uint32_t maxHeight = 65535;
  uint64_t maxPixels = 64ull * 1024 * 1024;
  uint64_t maxBytes = 1ull << 30;  // memory for one picture's buffers

  // Empty when a width x height picture needing bytesPerPixel bytes per pixel (all of its
  // decoding buffers counted) fits; otherwise why not, e.g. "picture of 70000 x 2 pixels is
  // larger than the limit of 65535 x 65535". Overflow-safe for any inputs.
  std::string Refusal(uint64_t width, uint64_t height, uint64_t bytesPerPixel) const;
  // Empty when `bytes` fit in maxBytes; otherwise the reason naming `what`.
  std::string MemoryRefusal(uint64_t bytes, const std::string& what) const;
};
