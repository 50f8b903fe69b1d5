#include "imaging/codecs/deflate_encoder.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "imaging/codecs/checksums.h"

namespace {

constexpr int32_t kWindow = 32768;
constexpr int32_t kLookahead = 512;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;
constexpr size_t kBlockEntries = 16384;
constexpr size_t kOutBuffer = 16384;
// Slack after the last byte so that word-wide compares may read a little past the data.
constexpr int32_t kSlack = 8;

// The smallest-output search stops after this many candidates: past it the gain in size is
// a fraction of a percent while the time grows with the chain.
constexpr int kSmallestChainLimit = 4096;
constexpr int kChainLimit[4] = {1, 64, 128, 0};  // 0: no limit

// RFC 1951 length and distance code tables.
constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr int kRunExtraBits[3] = {2, 3, 7};  // extra bits of code-length codes 16, 17, 18
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct CodeTables {
  std::array<uint8_t, 259> lengthCode{};  // by match length: index into kLengthBase
  std::array<uint8_t, 512> distCode{};    // dist-1 < 256: [dist-1]; otherwise [256 + ((dist-1) >> 7)]
};

constexpr CodeTables MakeCodeTables() {
  CodeTables t{};
  for (int code = 0; code < 29; ++code) {
    int top = code == 28 ? 258 : kLengthBase[code] + (1 << kLengthExtra[code]) - 1;
    if (code == 27) top = 257;  // 258 has its own code
    for (int len = kLengthBase[code]; len <= top; ++len) t.lengthCode[len] = uint8_t(code);
  }
  for (int code = 0; code < 30; ++code) {
    int first = kDistBase[code], last = kDistBase[code] + (1 << kDistExtra[code]) - 1;
    for (int d = first; d <= last; ++d) {
      if (d - 1 < 256) t.distCode[d - 1] = uint8_t(code);
      else t.distCode[256 + ((d - 1) >> 7)] = uint8_t(code);
    }
  }
  return t;
}

constexpr CodeTables kCodes = MakeCodeTables();

int DistanceCode(int distance) {
  return distance <= 256 ? kCodes.distCode[distance - 1] : kCodes.distCode[256 + ((distance - 1) >> 7)];
}

// Huffman code lengths for freq[0..n), none longer than maxBits, and at least two codes so that
// every decoder accepts the code (a single used symbol gets a partner).
void BuildLengths(const uint32_t* freq, int n, int maxBits, uint8_t* lengths) {
  std::fill(lengths, lengths + n, uint8_t(0));
  std::vector<int> used;
  for (int i = 0; i < n; ++i) if (freq[i]) used.push_back(i);
  if (used.size() < 2) {
    int a = used.empty() ? 0 : used[0];
    int b = a == 0 ? 1 : 0;
    lengths[a] = lengths[b] = 1;
    return;
  }
  std::stable_sort(used.begin(), used.end(), [&](int x, int y) { return freq[x] < freq[y]; });
  const int m = static_cast<int>(used.size());
  // Two-queue Huffman construction over the sorted leaves.
  std::vector<uint64_t> weight(2 * m - 1);
  std::vector<int> parent(2 * m - 1, -1);
  for (int i = 0; i < m; ++i) weight[i] = freq[used[i]];
  int leaf = 0, inner = m, next = m;
  auto take = [&]() {
    if (leaf < m && (inner >= next || weight[leaf] <= weight[inner])) return leaf++;
    return inner++;
  };
  for (; next < 2 * m - 1; ++next) {
    int a = take(), b = take();
    parent[a] = parent[b] = next;
    weight[next] = weight[a] + weight[b];
  }
  std::vector<int> depth(2 * m - 1, 0);
  for (int i = 2 * m - 3; i >= 0; --i) depth[i] = depth[parent[i]] + 1;
  std::array<int, 64> count{};
  for (int i = 0; i < m; ++i) count[std::min(depth[i], 63)]++;
  // Fold codes that are too long onto maxBits, then restore the Kraft equality by lengthening
  // shorter codes one at a time.
  for (int len = maxBits + 1; len < 64; ++len) {
    count[maxBits] += count[len];
    count[len] = 0;
  }
  uint64_t total = 0;
  for (int len = 1; len <= maxBits; ++len) total += uint64_t(count[len]) << (maxBits - len);
  while (total > (uint64_t(1) << maxBits)) {
    count[maxBits]--;
    for (int len = maxBits - 1; len > 0; --len) {
      if (count[len]) {
        count[len]--;
        count[len + 1] += 2;
        break;
      }
    }
    total--;
  }
  // Least frequent symbols get the longest codes.
  int k = 0;
  for (int len = maxBits; len >= 1; --len) {
    for (int c = 0; c < count[len]; ++c) lengths[used[k++]] = uint8_t(len);
  }
}

// Canonical codes, bit-reversed so that they can be written least significant bit first.
void BuildCodes(const uint8_t* lengths, int n, uint16_t* codes) {
  std::array<uint16_t, 16> count{}, next{};
  for (int i = 0; i < n; ++i) count[lengths[i]]++;
  count[0] = 0;
  uint16_t code = 0;
  for (int len = 1; len < 16; ++len) {
    code = uint16_t((code + count[len - 1]) << 1);
    next[len] = code;
  }
  for (int i = 0; i < n; ++i) {
    int len = lengths[i];
    if (!len) {
      codes[i] = 0;
      continue;
    }
    uint16_t c = next[len]++, r = 0;
    for (int b = 0; b < len; ++b) r = uint16_t(r << 1 | ((c >> b) & 1));
    codes[i] = r;
  }
}

inline int MatchLength(const uint8_t* a, const uint8_t* b, int limit) {
  int len = 0;
  while (len + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + len, 8);
    std::memcpy(&y, b + len, 8);
    if (x != y) return len + (__builtin_ctzll(x ^ y) >> 3);
    len += 8;
  }
  while (len < limit && a[len] == b[len]) ++len;
  return len;
}

}  // namespace

DeflateEncoder::DeflateEncoder() = default;
DeflateEncoder::~DeflateEncoder() = default;

void DeflateEncoder::SetCompressionLevel(int level) {
  if (level < 0 || level > 3) throw DeflateError("Invalid Compression Level");
  level_ = level;
}

void DeflateEncoder::SetMinimumMatch(int length) {
  if (length < kMinMatch || length > kMaxMatch) throw DeflateError("Invalid Minimum Match Length");
  minMatch_ = length;
}

void DeflateEncoder::StartCompression(ByteSink& stream) {
  if (underway_) throw DeflateError("Compression Already Underway");
  if (level_ < 0 || level_ > 3) throw DeflateError("Invalid Compression Level");
  buffer_.assign(size_t(2 * kWindow + kLookahead + kSlack), 0);
  pos_ = end_ = 0;
  // Levels with a limited search use the narrow 15-bit key, whose collisions take part of the
  // search budget. Without a limit every candidate is examined anyway, so a wider key changes
  // nothing in the output and only shortens the walk.
  runLevel_ = level_;
  runSmallest_ = smallest_;
  runOverlap_ = overlap_;
  runMinMatch_ = minMatch_;
  hashMask_ = (runLevel_ == 3) ? 0xFFFF : 0x7FFF;
  head_.assign(hashMask_ + 1, -1);
  prev_.assign(kWindow, -1);
  pending_ = false;
  block_.assign(kBlockEntries, 0);
  blockUsed_ = 0;
  litFreq_.fill(0);
  distFreq_.fill(0);
  bitBuffer_ = 0;
  bitCount_ = 0;
  out_.assign(kOutBuffer, 0);
  outUsed_ = 0;
  adler_ = 1;
  underway_ = true;
  const int header = 0x7800 + level_ * 64;
  const uint8_t zlib[2] = {0x78, uint8_t(level_ * 64 + (31 - header % 31))};
  stream.Write(zlib, 2);
}

void DeflateEncoder::CompressData(ByteSink& stream, const uint8_t* bytes, size_t count) {
  if (!underway_) throw DeflateError("Compression Not Underway");
  adler_ = Adler32(adler_, bytes, count);
  const int32_t capacity = 2 * kWindow + kLookahead;
  while (count > 0) {
    if (end_ == capacity) Slide();
    size_t room = size_t(std::min<int32_t>(capacity - end_, kLookahead - (end_ - pos_)));
    size_t n = std::min(room, count);
    std::memcpy(buffer_.data() + end_, bytes, n);
    end_ += int32_t(n);
    bytes += n;
    count -= n;
    Process(stream, false);
  }
}

void DeflateEncoder::FinishCompression(ByteSink& stream) {
  if (!underway_) throw DeflateError("Compression Not Underway");
  Process(stream, true);
  WriteBlock(stream, true);
  FlushBits(stream, true);
  const uint8_t tail[4] = {uint8_t(adler_ >> 24), uint8_t(adler_ >> 16), uint8_t(adler_ >> 8), uint8_t(adler_)};
  std::memcpy(out_.data() + outUsed_, tail, 4);
  outUsed_ += 4;
  stream.Write(out_.data(), outUsed_);
  outUsed_ = 0;
  ReleaseBuffers();
  underway_ = false;
}

std::vector<uint8_t> DeflateEncoder::Compress(const uint8_t* data, size_t size, int level, bool smallest) {
  DeflateEncoder encoder;
  encoder.SetCompressionLevel(level);
  encoder.SetSmallestOutput(smallest);
  VectorSink sink;
  encoder.StartCompression(sink);
  encoder.CompressData(sink, data, size);
  encoder.FinishCompression(sink);
  return std::move(sink.bytes);
}

void DeflateEncoder::Abandon() {
  ReleaseBuffers();
  underway_ = false;
}

void DeflateEncoder::ReleaseBuffers() {
  std::vector<uint8_t>().swap(buffer_);
  std::vector<int32_t>().swap(head_);
  std::vector<int32_t>().swap(prev_);
  std::vector<uint16_t>().swap(block_);
  std::vector<uint8_t>().swap(out_);
}

void DeflateEncoder::Slide() {
  // Keep the newest window's worth of history; positions that fall off become "none".
  std::memmove(buffer_.data(), buffer_.data() + kWindow, size_t(end_ - kWindow));
  pos_ -= kWindow;
  end_ -= kWindow;
  for (auto& h : head_) h = h >= kWindow ? h - kWindow : -1;
  for (auto& p : prev_) p = p >= kWindow ? p - kWindow : -1;
}

uint32_t DeflateEncoder::Key(int32_t pos) const {
  const uint8_t* p = buffer_.data() + pos;
  if (runLevel_ == 3) {
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    return (v * 2654435761u) >> 16;
  }
  return uint32_t(p[2] & 31) << 10 | uint32_t(p[1] & 31) << 5 | uint32_t(p[0] & 31);
}

void DeflateEncoder::Insert(int32_t pos) {
  if (pos + 2 >= end_) return;  // no key without three bytes
  uint32_t key = Key(pos);
  prev_[size_t(pos & (kWindow - 1))] = head_[key];
  head_[key] = pos;
}

DeflateEncoder::Match DeflateEncoder::FindMatch(int32_t pos, int waiting) const {
  Match best;
  if (waiting < kMinMatch) return best;
  const int limit = std::min(kMaxMatch, waiting);
  const int chain = runSmallest_ && (kChainLimit[runLevel_] == 0 || kChainLimit[runLevel_] > kSmallestChainLimit)
                        ? kSmallestChainLimit
                        : kChainLimit[runLevel_];
  const uint8_t* cur = buffer_.data() + pos;
  // A picture's long runs of one byte make long chains of candidates that all start with that
  // byte. When the search has no chain limit (which would count them), a whole run of candidates
  // is settled at once; see SettleRun.
  int run = 0;
  if (chain == 0 && runOverlap_ && limit >= kMinMatch && cur[1] == cur[0] && cur[2] == cur[0])
    while (run < limit && cur[run] == cur[0]) ++run;
  int examined = 0;
  for (int32_t cand = head_[Key(pos)]; cand >= 0; cand = prev_[size_t(cand & (kWindow - 1))]) {
    const int distance = pos - cand;
    if (distance > kWindow) break;
    if (run > 0 && buffer_[size_t(cand)] == cur[0] && buffer_[size_t(cand) + 1] == cur[0] &&
        buffer_[size_t(cand) + 2] == cur[0]) {
      if (SettleRun(pos, cand, run, limit, best)) break;
      continue;  // cand is now the oldest position of the run
    }
    if (chain && examined >= chain) break;
    ++examined;
    const int maxLen = runOverlap_ ? limit : std::min(limit, distance);
    if (maxLen <= best.length || maxLen < kMinMatch) continue;
    const uint8_t* c = buffer_.data() + cand;
    // A longer match must agree at the current best length; test that byte first.
    if (c[best.length] != cur[best.length] || c[0] != cur[0]) continue;
    const int len = MatchLength(c, cur, maxLen);
    if (len >= kMinMatch && len > best.length) {
      best.length = len;
      best.distance = distance;
      if (len >= limit) break;
    }
  }
  if (best.length < runMinMatch_) best.length = 0;
  return best;
}

// The chain holds every position, so a run of the byte v that the chain enters at cand continues
// with cand - 1, cand - 2, ... down to the run's first position s. The text at pos starts with
// `run` bytes v (run < limit: then a different byte). A candidate c of the run, whose own run
// reaches e, matches min(e - c, run) bytes when e - c != run, and at least run when e - c == run.
// Going down the run the lengths only grow until c = e - run and stay at run after it, so the
// one-by-one search would end the run holding: the newest candidate when even it runs past run
// (length run); else c = e - run when the run reaches that far; else s (length e - s). Returns
// true when that match reaches the limit (the search is over); moves cand to s otherwise.
bool DeflateEncoder::SettleRun(int32_t pos, int32_t& cand, int run, int limit, Match& best) const {
  const uint8_t* data = buffer_.data();
  const uint8_t v = data[size_t(cand)];
  int32_t e = cand + 3;
  while (e < end_ && e - cand <= run && data[size_t(e)] == v) ++e;
  const int32_t lowest = std::max<int32_t>(0, pos - kWindow);
  int32_t s = cand;
  while (s > lowest && data[size_t(s) - 1] == v) --s;
  int32_t winner;
  int length;
  if (e - cand > run) {
    winner = cand;
    length = run;
  } else if (e - s < run) {
    winner = s;
    length = e - s;
  } else {
    winner = e - run;
    length = run + (run < limit ? MatchLength(data + e, data + pos + run, limit - run) : 0);
  }
  cand = s;
  if (length <= best.length) return false;
  best.length = length;
  best.distance = pos - winner;
  return length >= limit;
}

void DeflateEncoder::Process(ByteSink& stream, bool finishing) {
  if (runSmallest_) ProcessLazy(stream, finishing);
  else ProcessGreedy(stream, finishing);
}

void DeflateEncoder::ProcessGreedy(ByteSink& stream, bool finishing) {
  for (;;) {
    const int waiting = end_ - pos_;
    if (waiting == 0 || (!finishing && waiting < kMaxMatch)) return;
    Match m = FindMatch(pos_, waiting);
    if (m.length >= kMinMatch) {
      AddMatch(stream, m.length, m.distance);
      for (int i = 0; i < m.length; ++i) Insert(pos_ + i);
      pos_ += m.length;
    } else {
      AddLiteral(stream, buffer_[size_t(pos_)]);
      Insert(pos_);
      ++pos_;
    }
  }
}

void DeflateEncoder::ProcessLazy(ByteSink& stream, bool finishing) {
  for (;;) {
    const int waiting = end_ - pos_;
    if (waiting == 0 || (!finishing && waiting < kMaxMatch)) break;
    Match m = FindMatch(pos_, waiting);
    if (pending_ && pendingMatch_.length >= kMinMatch && m.length <= pendingMatch_.length) {
      // The match that started one byte earlier is at least as good: take it.
      const int32_t start = pos_ - 1;
      AddMatch(stream, pendingMatch_.length, pendingMatch_.distance);
      for (int32_t p = pos_; p < start + pendingMatch_.length; ++p) Insert(p);
      pos_ = start + pendingMatch_.length;
      pending_ = false;
      continue;
    }
    if (pending_) AddLiteral(stream, buffer_[size_t(pos_ - 1)]);
    pending_ = true;
    pendingMatch_ = m;
    Insert(pos_);
    ++pos_;
  }
  if (finishing && pending_) {
    if (pendingMatch_.length >= kMinMatch) {
      // Defensive: the last search sees a single byte and finds nothing, so this stays unused.
      AddMatch(stream, pendingMatch_.length, pendingMatch_.distance);
      pos_ = pos_ - 1 + pendingMatch_.length;
    } else {
      AddLiteral(stream, buffer_[size_t(pos_ - 1)]);
    }
    pending_ = false;
  }
}

void DeflateEncoder::AddLiteral(ByteSink& stream, uint8_t byte) {
  block_[blockUsed_++] = byte;
  litFreq_[byte]++;
  if (blockUsed_ >= kBlockEntries - 1) WriteBlock(stream, false);
}

void DeflateEncoder::AddMatch(ByteSink& stream, int length, int distance) {
  block_[blockUsed_++] = uint16_t(length + 256);
  block_[blockUsed_++] = uint16_t(distance);
  litFreq_[257 + kCodes.lengthCode[size_t(length)]]++;
  distFreq_[size_t(DistanceCode(distance))]++;
  if (blockUsed_ >= kBlockEntries - 1) WriteBlock(stream, false);
}

void DeflateEncoder::PutBits(ByteSink& stream, uint32_t value, int count) {
  bitBuffer_ |= uint64_t(value) << bitCount_;
  bitCount_ += count;
  if (bitCount_ >= 32) {
    if (outUsed_ + 4 > out_.size()) {
      stream.Write(out_.data(), outUsed_);
      outUsed_ = 0;
    }
    for (int i = 0; i < 4; ++i) out_[outUsed_++] = uint8_t(bitBuffer_ >> (8 * i));
    bitBuffer_ >>= 32;
    bitCount_ -= 32;
  }
}

void DeflateEncoder::FlushBits(ByteSink& stream, bool align) {
  while (bitCount_ >= 8 || (align && bitCount_ > 0)) {
    if (outUsed_ + 8 > out_.size()) {
      stream.Write(out_.data(), outUsed_);
      outUsed_ = 0;
    }
    out_[outUsed_++] = uint8_t(bitBuffer_);
    bitBuffer_ >>= 8;
    bitCount_ = std::max(0, bitCount_ - 8);
  }
}

void DeflateEncoder::WriteBlock(ByteSink& stream, bool final) {
  litFreq_[256]++;  // end of block
  std::array<uint8_t, 286> litLen{};
  std::array<uint8_t, 30> distLen{};
  BuildLengths(litFreq_.data(), 286, 15, litLen.data());
  BuildLengths(distFreq_.data(), 30, 15, distLen.data());
  int hlit = 286;
  while (hlit > 257 && litLen[size_t(hlit - 1)] == 0) --hlit;
  int hdist = 30;
  while (hdist > 1 && distLen[size_t(hdist - 1)] == 0) --hdist;

  // Run-length code the lengths of both codes as one sequence.
  std::vector<uint8_t> all(litLen.begin(), litLen.begin() + hlit);
  all.insert(all.end(), distLen.begin(), distLen.begin() + hdist);
  struct Run { uint8_t symbol, extra; };
  std::vector<Run> runs;
  std::array<uint32_t, 19> clFreq{};
  for (size_t i = 0; i < all.size();) {
    const uint8_t v = all[i];
    size_t j = i + 1;
    while (j < all.size() && all[j] == v) ++j;
    size_t n = j - i;
    if (v == 0) {
      while (n >= 11) {
        size_t k = std::min<size_t>(n, 138);
        runs.push_back({18, uint8_t(k - 11)});
        n -= k;
      }
      if (n >= 3) {
        runs.push_back({17, uint8_t(n - 3)});
        n = 0;
      }
    } else {
      runs.push_back({v, 0});
      --n;
      while (n >= 3) {
        size_t k = std::min<size_t>(n, 6);
        runs.push_back({16, uint8_t(k - 3)});
        n -= k;
      }
    }
    while (n--) runs.push_back({v, 0});
    i = j;
  }
  for (const Run& r : runs) clFreq[r.symbol]++;
  std::array<uint8_t, 19> clLen{};
  BuildLengths(clFreq.data(), 19, 7, clLen.data());
  int hclen = 19;
  while (hclen > 4 && clLen[kCodeLengthOrder[hclen - 1]] == 0) --hclen;

  std::array<uint16_t, 286> litCode{};
  std::array<uint16_t, 30> distCode{};
  std::array<uint16_t, 19> clCode{};
  BuildCodes(litLen.data(), 286, litCode.data());
  BuildCodes(distLen.data(), 30, distCode.data());
  BuildCodes(clLen.data(), 19, clCode.data());

  PutBits(stream, final ? 1 : 0, 1);
  PutBits(stream, 2, 2);
  PutBits(stream, uint32_t(hlit - 257), 5);
  PutBits(stream, uint32_t(hdist - 1), 5);
  PutBits(stream, uint32_t(hclen - 4), 4);
  for (int i = 0; i < hclen; ++i) PutBits(stream, clLen[kCodeLengthOrder[i]], 3);
  for (const Run& r : runs) {
    PutBits(stream, clCode[r.symbol], clLen[r.symbol]);
    if (r.symbol >= 16) PutBits(stream, r.extra, kRunExtraBits[r.symbol - 16]);
  }
  for (size_t i = 0; i < blockUsed_; ++i) {
    const uint16_t s = block_[i];
    if (s < 256) {
      PutBits(stream, litCode[s], litLen[s]);
      continue;
    }
    const int length = s - 256;
    const int distance = block_[++i];
    const int lc = kCodes.lengthCode[size_t(length)];
    PutBits(stream, litCode[size_t(257 + lc)], litLen[size_t(257 + lc)]);
    if (kLengthExtra[lc]) PutBits(stream, uint32_t(length - kLengthBase[lc]), kLengthExtra[lc]);
    const int dc = DistanceCode(distance);
    PutBits(stream, distCode[size_t(dc)], distLen[size_t(dc)]);
    if (kDistExtra[dc]) PutBits(stream, uint32_t(distance - kDistBase[dc]), kDistExtra[dc]);
  }
  PutBits(stream, litCode[256], litLen[256]);
  blockUsed_ = 0;
  litFreq_.fill(0);
  distFreq_.fill(0);
}
