#include "imaging/codecs/png_output_stream.h"

#include <cstring>

#include "imaging/codecs/checksums.h"
#include "imaging/graphics_exception.h"

namespace {

void PutBigEndian32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

}  // namespace

PngOutputStream::PngOutputStream(ByteSink& out) : out_(out) { buffer_.reserve(kChunkBuffer); }

void PngOutputStream::WriteRaw(const uint8_t* data, size_t size) {
  if (inChunk_) throw GraphicsException("PNG stream: raw bytes inside a chunk");
  out_.Write(data, size);
}

void PngOutputStream::StartChunk(const char* type) {
  if (inChunk_) throw GraphicsException("PNG stream: chunk started twice");
  std::memcpy(type_.data(), type, 4);
  buffer_.clear();
  inChunk_ = true;
}

void PngOutputStream::Write(const uint8_t* data, size_t size) {
  if (!inChunk_) throw GraphicsException("PNG stream: data outside a chunk");
  while (size > 0) {
    // A full buffer leaves only when more data follows, so no empty chunk trails a full one.
    if (buffer_.size() == kChunkBuffer) EmitChunk();
    size_t n = std::min(size, kChunkBuffer - buffer_.size());
    buffer_.insert(buffer_.end(), data, data + n);
    data += n;
    size -= n;
  }
}

void PngOutputStream::WriteBigEndian32(uint32_t value) {
  uint8_t b[4];
  PutBigEndian32(b, value);
  Write(b, 4);
}

void PngOutputStream::EndChunk() {
  if (!inChunk_) throw GraphicsException("PNG stream: no chunk to end");
  EmitChunk();
  inChunk_ = false;
}

void PngOutputStream::EmitChunk() {
  uint8_t head[8];
  PutBigEndian32(head, uint32_t(buffer_.size()));
  std::memcpy(head + 4, type_.data(), 4);
  uint32_t crc = Crc32(0, type_.data(), 4);
  crc = Crc32(crc, buffer_.data(), buffer_.size());
  uint8_t tail[4];
  PutBigEndian32(tail, crc);
  out_.Write(head, 8);
  out_.Write(buffer_.data(), buffer_.size());
  out_.Write(tail, 4);
  buffer_.clear();
}
