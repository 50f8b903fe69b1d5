#include "imaging/codecs/inflate_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/codecs/checksums.h"

namespace {

using Error = InflateDecoder::InflateError;

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Reads bits least significant first. Past the end it supplies zero bytes but remembers how
// many, so that using any of them is reported as a truncated stream.
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : p_(data), begin_(data), end_(data + size) {}

  void Refill() {
    if (end_ - p_ >= 8) {
      uint64_t v;
      std::memcpy(&v, p_, 8);
      buf_ |= v << count_;
      p_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    while (count_ <= 56) {
      uint64_t byte = 0;
      if (p_ < end_) byte = *p_++;
      else ++padding_;
      buf_ |= byte << count_;
      count_ += 8;
    }
  }
  uint32_t Peek(int n) const { return uint32_t(buf_ & ((uint64_t(1) << n) - 1)); }
  uint64_t Bits() const { return buf_; }
  void Consume(int n) {
    buf_ >>= n;
    count_ -= n;
    if (padding_ && count_ < padding_ * 8) throw Error("Premature end of file");
  }
  uint32_t Read(int n) {
    if (count_ < n) Refill();
    uint32_t v = Peek(n);
    Consume(n);
    return v;
  }
  // Drops the bits up to the next byte boundary and hands back the buffered whole bytes to the
  // input, so that byte-wise reading can continue from the pointer.
  void AlignToByte() {
    Consume(count_ & 7);
    p_ -= (count_ >> 3) - padding_;
    buf_ = 0;
    count_ = 0;
    padding_ = 0;
  }
  const uint8_t* Pointer() const { return p_; }
  size_t Remaining() const { return size_t(end_ - p_); }
  void Skip(size_t n) { p_ += n; }
  size_t Offset() const { return size_t(p_ - begin_); }

 private:
  const uint8_t* p_;
  const uint8_t* begin_;
  const uint8_t* end_;
  uint64_t buf_ = 0;
  int count_ = 0;
  int padding_ = 0;
};

// A canonical Huffman code decoded through a root table of rootBits and, for longer codes,
// second-level tables. Entry: symbol (16 bits) | code length (8 bits) << 16 | kind << 24.
class HuffmanTable {
 public:
  enum Kind : uint32_t { kSymbol = 0, kLink = 1, kInvalid = 2 };

  // Throws "Invalid Huffman Code" for lengths that do not form a prefix code. An incomplete code
  // is accepted only in the one form the format allows: a single code of one bit.
  void Build(const uint8_t* lengths, int n, int rootBits) {
    root_ = rootBits;
    std::array<int, 16> count{};
    for (int i = 0; i < n; ++i) count[lengths[i]]++;
    count[0] = 0;
    int left = 1, used = 0, maxLen = 0;
    for (int len = 1; len < 16; ++len) {
      left = (left << 1) - count[len];
      if (left < 0) throw Error("Invalid Huffman Code");
      used += count[len];
      if (count[len]) maxLen = len;
    }
    if (left > 0 && !(used == 1 && maxLen == 1) && used != 0) throw Error("Invalid Huffman Code");
    table_.assign(size_t(1) << root_, uint32_t(kInvalid) << 24);
    if (used == 0) return;
    // Canonical codes in order of (length, symbol).
    std::array<uint16_t, 16> next{};
    uint16_t code = 0;
    for (int len = 1; len < 16; ++len) {
      code = uint16_t((code + count[len - 1]) << 1);
      next[len] = code;
    }
    std::array<uint32_t, 320> reversed{};
    for (int s = 0; s < n; ++s) {
      int len = lengths[s];
      if (!len) continue;
      uint32_t c = next[len]++, r = 0;
      for (int b = 0; b < len; ++b) r = r << 1 | ((c >> b) & 1);
      reversed[size_t(s)] = r;
    }
    // Sub-table sizes: the longest code behind each root prefix.
    const uint32_t rootMask = (1u << root_) - 1;
    std::vector<uint8_t> subBits;
    if (maxLen > root_) subBits.assign(size_t(1) << root_, 0);
    for (int s = 0; s < n; ++s) {
      int len = lengths[s];
      if (len > root_) {
        uint8_t& b = subBits[reversed[size_t(s)] & rootMask];
        b = uint8_t(std::max<int>(b, len - root_));
      }
    }
    for (size_t prefix = 0; prefix < subBits.size(); ++prefix) {
      if (!subBits[prefix]) continue;
      uint32_t offset = uint32_t(table_.size());
      table_[prefix] = offset | uint32_t(subBits[prefix]) << 16 | uint32_t(kLink) << 24;
      table_.resize(table_.size() + (size_t(1) << subBits[prefix]), uint32_t(kInvalid) << 24);
    }
    for (int s = 0; s < n; ++s) {
      int len = lengths[s];
      if (!len) continue;
      uint32_t r = reversed[size_t(s)];
      uint32_t entry = uint32_t(s) | uint32_t(len) << 16;
      if (len <= root_) {
        for (uint32_t i = r; i < (1u << root_); i += 1u << len) table_[i] = entry;
      } else {
        uint32_t link = table_[r & rootMask];
        uint32_t offset = link & 0xFFFF, bits = (link >> 16) & 0xFF;
        for (uint32_t i = r >> root_; i < (1u << bits); i += 1u << (len - root_)) table_[offset + i] = entry;
      }
    }
  }

  // The next symbol; the reader must hold at least 15 bits.
  int Decode(BitReader& in, const char* invalidText) const {
    uint64_t bits = in.Bits();
    uint32_t e = table_[bits & ((1u << root_) - 1)];
    if ((e >> 24) == kLink) {
      uint32_t sub = (e >> 16) & 0xFF;
      e = table_[(e & 0xFFFF) + ((bits >> root_) & ((1u << sub) - 1))];
    }
    if ((e >> 24) == kInvalid) throw Error(invalidText);
    in.Consume(int((e >> 16) & 0xFF));
    return int(e & 0xFFFF);
  }

 private:
  int root_ = 0;
  std::vector<uint32_t> table_;
};

class Output {
 public:
  explicit Output(size_t maxOutput, size_t inputSize) : max_(maxOutput) {
    // Deflate expands at most about 1032:1, so that bounds what is worth reserving at once.
    size_t guess = inputSize > SIZE_MAX / 1100 ? maxOutput : std::min(maxOutput, inputSize * 4 + 4096);
    buf_.resize(guess + kSlack);
  }
  void Ensure(size_t n) {
    if (n > max_ - pos_ || pos_ + n > max_) throw Error("Decompressed Data Too Large");
    if (pos_ + n + kSlack > buf_.size()) {
      size_t want = std::max(pos_ + n, std::min(max_, buf_.size() * 2));
      buf_.resize(want + kSlack);
    }
  }
  void Literal(uint8_t b) {
    Ensure(1);
    buf_[pos_++] = b;
  }
  void Copy(size_t distance, size_t length) {
    if (distance > pos_) throw Error("Length Command Out of Range");
    Ensure(length);
    uint8_t* dst = buf_.data() + pos_;
    const uint8_t* src = dst - distance;
    if (distance >= 8) {
      // Whole words; the slack after the data absorbs the overshoot.
      for (size_t i = 0; i < length; i += 8) std::memcpy(dst + i, src + i, 8);
    } else {
      for (size_t i = 0; i < length; ++i) dst[i] = src[i];
    }
    pos_ += length;
  }
  void Bytes(const uint8_t* p, size_t n) {
    Ensure(n);
    std::memcpy(buf_.data() + pos_, p, n);
    pos_ += n;
  }
  std::vector<uint8_t> Take() {
    buf_.resize(pos_);
    buf_.shrink_to_fit();
    return std::move(buf_);
  }

 private:
  static constexpr size_t kSlack = 16;
  size_t max_;
  size_t pos_ = 0;
  std::vector<uint8_t> buf_;
};

void ReadDynamicTables(BitReader& in, HuffmanTable& lit, HuffmanTable& dist) {
  const int hlit = int(in.Read(5)) + 257;
  const int hdist = int(in.Read(5)) + 1;
  const int hclen = int(in.Read(4)) + 4;
  if (hlit > 286 || hdist > 30) throw Error("Invalid Huffman Code");
  std::array<uint8_t, 19> clLen{};
  for (int i = 0; i < hclen; ++i) clLen[kCodeLengthOrder[i]] = uint8_t(in.Read(3));
  HuffmanTable cl;
  cl.Build(clLen.data(), 19, 7);
  std::array<uint8_t, 320> lengths{};
  for (int i = 0; i < hlit + hdist;) {
    in.Refill();
    int sym = cl.Decode(in, "Invalid Huffman Code");
    if (sym < 16) {
      lengths[size_t(i++)] = uint8_t(sym);
      continue;
    }
    int repeat;
    uint8_t value = 0;
    if (sym == 16) {
      if (i == 0) throw Error("Invalid Huffman Code");
      value = lengths[size_t(i - 1)];
      repeat = 3 + int(in.Read(2));
    } else if (sym == 17) {
      repeat = 3 + int(in.Read(3));
    } else {
      repeat = 11 + int(in.Read(7));
    }
    if (i + repeat > hlit + hdist) throw Error("Invalid Huffman Code");
    while (repeat--) lengths[size_t(i++)] = value;
  }
  if (lengths[256] == 0) throw Error("Invalid Huffman Code");  // no end-of-block code
  lit.Build(lengths.data(), hlit, 10);
  dist.Build(lengths.data() + hlit, hdist, 8);
}

void BuildFixedTables(HuffmanTable& lit, HuffmanTable& dist) {
  std::array<uint8_t, 288> l{};
  for (int i = 0; i < 144; ++i) l[size_t(i)] = 8;
  for (int i = 144; i < 256; ++i) l[size_t(i)] = 9;
  for (int i = 256; i < 280; ++i) l[size_t(i)] = 7;
  for (int i = 280; i < 288; ++i) l[size_t(i)] = 8;
  lit.Build(l.data(), 288, 10);
  // All 32 five-bit codes, so that the code is complete; 30 and 31 are refused when decoded.
  std::array<uint8_t, 32> d{};
  d.fill(5);
  dist.Build(d.data(), 32, 8);
}

void InflateBlocks(BitReader& in, Output& out) {
  HuffmanTable lit, dist;
  for (bool last = false; !last;) {
    last = in.Read(1) != 0;
    const uint32_t type = in.Read(2);
    if (type == 0) {
      in.AlignToByte();
      if (in.Remaining() < 4) throw Error("Premature end of file");
      const uint8_t* p = in.Pointer();
      const uint32_t len = uint32_t(p[0]) | uint32_t(p[1]) << 8;
      const uint32_t nlen = uint32_t(p[2]) | uint32_t(p[3]) << 8;
      if ((len ^ 0xFFFF) != nlen) throw Error("Stored Block Length Mismatch");
      in.Skip(4);
      if (in.Remaining() < len) throw Error("Premature end of file");
      out.Bytes(in.Pointer(), len);
      in.Skip(len);
      continue;
    }
    if (type == 3) throw Error("Invalid Block Type");
    if (type == 1) BuildFixedTables(lit, dist);
    else ReadDynamicTables(in, lit, dist);
    for (;;) {
      in.Refill();
      const int sym = lit.Decode(in, "Bad Length Code");
      if (sym < 256) {
        out.Literal(uint8_t(sym));
        continue;
      }
      if (sym == 256) break;
      const int lc = sym - 257;
      if (lc >= 29) throw Error("Bad Length Code");
      // 56 bits after a refill cover length extra (5), distance code (15) and extra (13).
      size_t length = kLengthBase[lc];
      if (kLengthExtra[lc]) {
        length += in.Peek(kLengthExtra[lc]);
        in.Consume(kLengthExtra[lc]);
      }
      const int dc = dist.Decode(in, "Bad Distance Code");
      if (dc >= 30) throw Error("Bad Distance Code");
      size_t distance = kDistBase[dc];
      if (kDistExtra[dc]) {
        in.Refill();
        distance += in.Peek(kDistExtra[dc]);
        in.Consume(kDistExtra[dc]);
      }
      out.Copy(distance, length);
    }
  }
}

}  // namespace

InflateDecoder::Result InflateDecoder::DecompressRaw(const uint8_t* input, size_t size, size_t maxOutput) {
  BitReader in(input, size);
  Output out(maxOutput, size);
  InflateBlocks(in, out);
  in.AlignToByte();
  Result r;
  r.consumed = in.Offset();
  r.data = out.Take();
  return r;
}

InflateDecoder::Result InflateDecoder::DecompressZlib(const uint8_t* input, size_t size, size_t maxOutput) {
  if (size < 2) throw InflateError("Premature end of file");
  const uint8_t cmf = input[0], flg = input[1];
  if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (uint32_t(cmf) << 8 | flg) % 31 != 0 || (flg & 0x20))
    throw InflateError("Corrupt Compression Header flags");
  Result r = DecompressRaw(input + 2, size - 2, maxOutput);
  r.consumed += 2;
  if (size - r.consumed < 4) throw InflateError("Premature end of file");
  const uint8_t* t = input + r.consumed;
  const uint32_t stored = uint32_t(t[0]) << 24 | uint32_t(t[1]) << 16 | uint32_t(t[2]) << 8 | t[3];
  if (stored != Adler32(1, r.data.data(), r.data.size())) throw InflateError("Adler-32 Checksum Mismatch");
  r.consumed += 4;
  return r;
}
