#include "imaging/codecs/color_quantizer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr int kRed = 0, kGreen = 1, kBlue = 2;
constexpr size_t kMaxBoxes = 256;

struct Colour {
  std::array<uint8_t, 3> c;  // red, green, blue
  uint64_t pixels;
};

struct Box {
  std::array<int, 3> lo{0, 0, 0}, hi{255, 255, 255};
  uint64_t pixels = 0;
  std::vector<uint32_t> members;  // indexes into the colour list
};

uint32_t KeyOf(const uint8_t* bgr) { return uint32_t(bgr[2]) << 16 | uint32_t(bgr[1]) << 8 | bgr[0]; }

class MedianCut {
 public:
  explicit MedianCut(std::vector<Colour> colours) : colours_(std::move(colours)) {
    Box all;
    for (uint32_t i = 0; i < colours_.size(); ++i) {
      all.members.push_back(i);
      all.pixels += colours_[i].pixels;
    }
    boxes_.push_back(std::move(all));
  }

  void Run() {
    SplitRecursive(0, kRed, 7);
    while (boxes_.size() < kMaxBoxes) {
      int chosen = -1;
      uint64_t bestScore = 0;
      for (size_t i = 0; i < boxes_.size(); ++i) {
        const Box& b = boxes_[i];
        if (b.members.size() <= 1) continue;
        const uint64_t br = uint64_t(b.hi[kBlue] - b.lo[kBlue]), gr = uint64_t(b.hi[kGreen] - b.lo[kGreen]),
                       rr = uint64_t(b.hi[kRed] - b.lo[kRed]);
        const uint64_t score = b.members.size() * br * br + gr * gr + rr * rr;
        if (chosen < 0 || score > bestScore) {
          chosen = int(i);
          bestScore = score;
        }
      }
      if (chosen < 0 || SplitOnce(size_t(chosen), Widest(boxes_[size_t(chosen)])) < 0) break;
    }
  }

  const std::vector<Box>& Boxes() const { return boxes_; }
  const std::vector<Colour>& Colours() const { return colours_; }

 private:
  static int Widest(const Box& b) {
    const int r = b.hi[kRed] - b.lo[kRed], g = b.hi[kGreen] - b.lo[kGreen], bl = b.hi[kBlue] - b.lo[kBlue];
    if (r >= g && r >= bl) return kRed;
    if (bl >= r && bl >= g) return kBlue;
    return kGreen;
  }

  void SplitRecursive(size_t index, int channel, int depth) {
    const long upper = SplitOnce(index, channel);
    if (upper < 0 || depth <= 0) return;
    SplitRecursive(index, Widest(boxes_[index]), depth - 1);
    SplitRecursive(size_t(upper), Widest(boxes_[size_t(upper)]), depth - 1);
  }

  // Cuts a box at its pixel median on `channel` (or the next channels when all its colours
  // share one value there). Returns the new upper box's index, or -1 when it cannot be cut.
  long SplitOnce(size_t index, int channel) {
    if (boxes_.size() >= kMaxBoxes) return -1;
    for (int attempt = 0; attempt < 3; ++attempt) {
      const int ch = (channel + attempt) % 3;
      Box& box = boxes_[index];
      if (box.members.empty()) return -1;
      const uint8_t first = colours_[box.members[0]].c[size_t(ch)];
      bool oneValue = true;
      std::array<uint64_t, 256> pixelsAt{};
      for (uint32_t m : box.members) {
        const uint8_t v = colours_[m].c[size_t(ch)];
        oneValue = oneValue && v == first;
        pixelsAt[v] += colours_[m].pixels;
      }
      if (oneValue) continue;
      int cut = -1;
      uint64_t running = 0;
      for (int v = box.lo[size_t(ch)]; v <= box.hi[size_t(ch)]; ++v) {
        running += pixelsAt[size_t(v)];
        if (running * 2 >= box.pixels) {
          cut = running == box.pixels ? v - 1 : v;
          break;
        }
      }
      Box upper;
      upper.lo = box.lo;
      upper.hi = box.hi;
      upper.lo[size_t(ch)] = cut + 1;
      std::vector<uint32_t> lowerMembers;
      uint64_t lowerPixels = 0;
      for (uint32_t m : box.members) {
        if (colours_[m].c[size_t(ch)] <= cut) {
          lowerMembers.push_back(m);
          lowerPixels += colours_[m].pixels;
        } else {
          upper.members.push_back(m);
          upper.pixels += colours_[m].pixels;
        }
      }
      if (lowerPixels + upper.pixels != box.pixels || lowerPixels == 0 || upper.pixels == 0)
        throw GraphicsException("INTERNAL ERROR - Quantization area pixel count invalid");
      if (lowerMembers.size() + upper.members.size() != box.members.size())
        throw GraphicsException("INTERNAL ERROR - Quantization area color count invalid");
      box.hi[size_t(ch)] = cut;
      box.members = std::move(lowerMembers);
      box.pixels = lowerPixels;
      boxes_.push_back(std::move(upper));
      return long(boxes_.size() - 1);
    }
    return -1;
  }

  std::vector<Colour> colours_;
  std::vector<Box> boxes_;
};

}  // namespace

void ColorQuantizer::Quantize(const BitmapImage& in, BitmapImage& out) {
  if (in.BitCount() != 24) {
    out = in;
    return;
  }
  const unsigned w = in.Width(), h = in.Height();
  out.SetSize(256, 8, w, h);
  if (w == 0 || h == 0) return;

  // Distinct colours with their pixel counts, in key order for the look-up below.
  std::vector<uint32_t> keys;
  keys.reserve(size_t(w) * h);
  for (unsigned y = 0; y < h; ++y) {
    const uint8_t* row = in.StoredRow(y);
    for (unsigned x = 0; x < w; ++x) keys.push_back(KeyOf(row + 3 * x));
  }
  std::sort(keys.begin(), keys.end());
  std::vector<uint32_t> distinct;
  std::vector<Colour> colours;
  for (size_t i = 0; i < keys.size();) {
    size_t j = i;
    while (j < keys.size() && keys[j] == keys[i]) ++j;
    const uint32_t k = keys[i];
    distinct.push_back(k);
    colours.push_back({{uint8_t(k >> 16), uint8_t(k >> 8), uint8_t(k)}, j - i});
    i = j;
  }
  std::vector<uint32_t>().swap(keys);

  MedianCut cut(std::move(colours));
  cut.Run();
  const auto& boxes = cut.Boxes();
  const auto& all = cut.Colours();

  // Every colour belongs to exactly one box; the boxes tile the cube, so the first box whose
  // ranges hold a colour is the one that lists it.
  std::vector<int> boxOf(all.size(), -1);
  for (size_t b = 0; b < boxes.size(); ++b) {
    std::array<uint64_t, 3> sum{};
    for (uint32_t m : boxes[b].members) {
      boxOf[m] = int(b);
      for (size_t ch = 0; ch < 3; ++ch) sum[ch] += uint64_t(all[m].c[ch]) * all[m].pixels;
    }
    const uint64_t p = boxes[b].pixels;
    if (p == 0) continue;
    auto& entry = out.ColorMap(unsigned(b));
    entry.red = uint8_t((sum[kRed] + p / 2) / p);
    entry.green = uint8_t((sum[kGreen] + p / 2) / p);
    entry.blue = uint8_t((sum[kBlue] + p / 2) / p);
  }
  for (unsigned y = 0; y < h; ++y) {
    const uint8_t* src = in.StoredRow(y);
    uint8_t* dst = out.StoredRow(y);
    uint32_t lastKey = UINT32_MAX;
    int lastBox = -1;
    for (unsigned x = 0; x < w; ++x) {
      const uint32_t k = KeyOf(src + 3 * x);
      if (k != lastKey) {
        const size_t at = size_t(std::lower_bound(distinct.begin(), distinct.end(), k) - distinct.begin());
        lastBox = at < distinct.size() && distinct[at] == k ? boxOf[at] : -1;
        lastKey = k;
      }
      if (lastBox < 0) throw GraphicsException("INTERNAL ERROR - color not quantized");
      dst[x] = uint8_t(lastBox);
    }
  }
}
