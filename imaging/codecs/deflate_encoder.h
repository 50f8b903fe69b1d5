#pragma once
// zlib-wrapped deflate output (RFC 1950 / RFC 1951) for the PNG writer.
//
// Usage: StartCompression(sink) writes the two-byte zlib header; CompressData(sink, bytes, n)
// may be called any number of times; FinishCompression(sink) writes the last block and the
// Adler-32 of all input. Compressed bytes reach the sink as they are produced; the encoder holds
// at most its 32 KiB history, a 512-byte lookahead and one block of 16,384 symbols.
//
// Levels 0-3 differ only in how many hash-chain candidates a match search examines: 1, 64, 128,
// or all of them. Matches are taken greedily and every block is a dynamic-Huffman block.
// A match may overlap the bytes it copies (a run of one colour is one match at a short
// distance); SetOverlappingMatches(false) keeps every match within bytes already written, which
// costs 10-15% on rendered pictures. SetSmallestOutput(true) turns on lazy matching (with at
// most 4,096 candidates per search), for smaller data at some cost in time. SetMinimumMatch
// drops shorter matches: on filtered picture rows a match of 3 or 4 bytes often costs more bits
// than its literals.
//
// Failures throw DeflateError; a failed stream must be abandoned (start again to reuse).
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/graphics_exception.h"

// Where a producer of bytes puts them.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const uint8_t* data, size_t size) = 0;
};

// Collects everything in memory.
class VectorSink : public ByteSink {
 public:
  void Write(const uint8_t* data, size_t size) override { bytes.insert(bytes.end(), data, data + size); }
  std::vector<uint8_t> bytes;
};

class DeflateEncoder {
 public:
  class DeflateError : public GraphicsException {
   public:
    explicit DeflateError(const std::string& message) : GraphicsException(message) {}
  };

  DeflateEncoder();
  ~DeflateEncoder();
  DeflateEncoder(const DeflateEncoder&) = delete;
  DeflateEncoder& operator=(const DeflateEncoder&) = delete;

  // 0 to 3; anything else throws "Invalid Compression Level". Default 2.
  void SetCompressionLevel(int level);
  int CompressionLevel() const { return level_; }
  void SetSmallestOutput(bool on) { smallest_ = on; }
  bool SmallestOutput() const { return smallest_; }
  void SetOverlappingMatches(bool on) { overlap_ = on; }
  // 3 (the default) to 258; anything else throws "Invalid Minimum Match Length".
  void SetMinimumMatch(int length);

  // Throws "Compression Already Underway" when a compression is running.
  void StartCompression(ByteSink& stream);
  // Both throw "Compression Not Underway" outside StartCompression ... FinishCompression.
  void CompressData(ByteSink& stream, const uint8_t* bytes, size_t count);
  void FinishCompression(ByteSink& stream);
  bool Underway() const { return underway_; }
  // Drops a compression that failed half way, so that the encoder can start again.
  void Abandon();

  // One-shot convenience: the whole zlib stream of data.
  static std::vector<uint8_t> Compress(const uint8_t* data, size_t size, int level, bool smallest = false);

 private:
  struct Match {
    int length = 0;
    int distance = 0;
  };

  void Process(ByteSink& stream, bool finishing);
  void ProcessGreedy(ByteSink& stream, bool finishing);
  void ProcessLazy(ByteSink& stream, bool finishing);
  Match FindMatch(int32_t pos, int waiting) const;
  bool SettleRun(int32_t pos, int32_t& cand, int run, int limit, Match& best) const;
  uint32_t Key(int32_t pos) const;
  void Insert(int32_t pos);
  void Slide();
  void AddLiteral(ByteSink& stream, uint8_t byte);
  void AddMatch(ByteSink& stream, int length, int distance);
  void WriteBlock(ByteSink& stream, bool final);
  void PutBits(ByteSink& stream, uint32_t value, int count);
  void FlushBits(ByteSink& stream, bool align);
  void ReleaseBuffers();

  int level_ = 2;
  bool smallest_ = false;
  bool underway_ = false;
  // The settings of the running compression, fixed at its start.
  bool overlap_ = true;
  int minMatch_ = 3;
  int runLevel_ = 2;
  bool runSmallest_ = false;
  bool runOverlap_ = true;
  int runMinMatch_ = 3;
  uint32_t adler_ = 1;

  // History and lookahead in one sliding buffer: positions below pos_ are history.
  std::vector<uint8_t> buffer_;
  int32_t pos_ = 0;  // next byte to encode
  int32_t end_ = 0;  // end of the bytes received
  std::vector<int32_t> head_;  // newest position per hash key, -1 for none
  std::vector<int32_t> prev_;  // next older position with the same key, per window slot
  uint32_t hashMask_ = 0;

  // Lazy matching: a match found at pos_ - 1 that waits for the search at pos_.
  bool pending_ = false;
  Match pendingMatch_;

  // The block's symbols: a literal (0-255) takes one entry, a match two (length + 256, distance).
  std::vector<uint16_t> block_;
  size_t blockUsed_ = 0;
  std::array<uint32_t, 286> litFreq_{};
  std::array<uint32_t, 30> distFreq_{};

  uint64_t bitBuffer_ = 0;
  int bitCount_ = 0;
  std::vector<uint8_t> out_;
  size_t outUsed_ = 0;
};
