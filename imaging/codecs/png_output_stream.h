#pragma once
// Lays bytes out as PNG chunks: length (big-endian), 4-character type, data, CRC-32 over type
// and data. Data is gathered in a 65,536-byte buffer; a chunk that grows past it leaves as
// several chunks of the same type, each holding exactly 65,536 bytes but the last.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/atomic_file.h"
#include "imaging/codecs/deflate_encoder.h"

// Hands bytes to an AtomicFileWriter.
class FileSink : public ByteSink {
 public:
  explicit FileSink(AtomicFileWriter& file) : file_(file) {}
  void Write(const uint8_t* data, size_t size) override { file_.Write(data, size); }

 private:
  AtomicFileWriter& file_;
};

class PngOutputStream : public ByteSink {
 public:
  static constexpr size_t kChunkBuffer = 65536;

  explicit PngOutputStream(ByteSink& out);

  // Bytes outside any chunk (the signature).
  void WriteRaw(const uint8_t* data, size_t size);
  // type: four ASCII letters.
  void StartChunk(const char* type);
  // Chunk data; only between StartChunk and EndChunk.
  void Write(const uint8_t* data, size_t size) override;
  void WriteByte(uint8_t byte) { Write(&byte, 1); }
  void WriteBigEndian32(uint32_t value);
  void EndChunk();

 private:
  void EmitChunk();

  ByteSink& out_;
  std::array<uint8_t, 4> type_{};
  bool inChunk_ = false;
  std::vector<uint8_t> buffer_;
};
