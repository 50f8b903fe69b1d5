#include "imaging/codecs/jpeg_decoder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "imaging/codecs/jpeg_dct.h"
#include "imaging/codecs/jpeg_huffman.h"
#include "imaging/codecs/jpeg_tables.h"
#include "imaging/dib_image.h"

namespace {

using JpegError = JpegDecoder::JpegError;

[[noreturn]] void Corrupt(const std::string& what) { throw JpegError("Corrupt JPEG data: " + what); }

// Canonical Huffman decoding with a 9-bit lookahead for the common short codes.
struct HuffmanTable {
  static constexpr int kLookBits = 9;
  bool defined = false;
  std::array<uint16_t, 1 << kLookBits> fast{};  // (length << 8) | symbol; 0 = longer code
  std::array<int32_t, 18> maxCode{};            // largest code of each length, -1 if none
  std::array<int32_t, 17> offset{};             // values index minus first code of each length
  std::array<uint8_t, 256> values{};

  void Build(const jpeg::HuffmanSpec& huffman) {
    fast.fill(0);
    values = huffman.values;
    int32_t code = 0;
    int k = 0;
    for (int length = 1; length <= 16; ++length) {
      int count = huffman.bits[static_cast<size_t>(length)];
      offset[static_cast<size_t>(length)] = k - code;
      for (int i = 0; i < count; ++i, ++k, ++code) {
        if (length <= kLookBits) {
          int shift = kLookBits - length;
          for (int fill = 0; fill < (1 << shift); ++fill)
            fast[static_cast<size_t>((code << shift) | fill)] =
                static_cast<uint16_t>(length << 8 | huffman.values[static_cast<size_t>(k)]);
        }
      }
      maxCode[static_cast<size_t>(length)] = count ? code - 1 : -1;
      code <<= 1;
    }
    maxCode[17] = 0x7FFFFFFF;  // sentinel: ends the slow search
    defined = true;
  }
};

// Reads the entropy-coded bytes of a scan: removes the 0x00 after each 0xFF and stops in front of
// any marker. Past the end it supplies zero bits for lookahead, but consuming one of them means
// the scan was cut short.
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size, size_t pos) : data_(data), size_(size), pos_(pos) {}

  size_t Position() const { return pos_; }

  uint32_t Peek(int n) {
    if (count_ < n) Fill();
    return static_cast<uint32_t>(acc_ >> (64 - n));
  }
  void Skip(int n) {
    acc_ <<= n;
    count_ -= n;
    if (count_ < padding_) Corrupt("premature end of data segment");
  }
  uint32_t Bits(int n) {
    if (n == 0) return 0;
    uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  // Drops the rest of the current byte and continues after a restart marker at `pos`.
  void Restart(size_t pos) {
    pos_ = pos;
    acc_ = 0;
    count_ = 0;
    padding_ = 0;
    atMarker_ = false;
  }

 private:
  void Fill() {
    while (count_ <= 56) {
      uint64_t byte = 0;
      if (!atMarker_ && pos_ < size_) {
        uint8_t b = data_[pos_];
        if (b == 0xFF) {
          if (pos_ + 1 < size_ && data_[pos_ + 1] == 0x00) {
            pos_ += 2;
            byte = 0xFF;
          } else {
            atMarker_ = true;
            continue;
          }
        } else {
          ++pos_;
          byte = b;
        }
      } else {
        padding_ += 8;
      }
      acc_ |= byte << (56 - count_);
      count_ += 8;
    }
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_;
  uint64_t acc_ = 0;  // valid bits at the top
  int count_ = 0;
  int padding_ = 0;  // trailing zero bits in acc_ that are not part of the data
  bool atMarker_ = false;
};

int DecodeSymbol(BitReader& in, const HuffmanTable& table) {
  uint32_t look = in.Peek(16);
  uint16_t entry = table.fast[look >> (16 - HuffmanTable::kLookBits)];
  if (entry) {
    in.Skip(entry >> 8);
    return entry & 0xFF;
  }
  for (int length = HuffmanTable::kLookBits + 1; length <= 16; ++length) {
    int32_t code = static_cast<int32_t>(look >> (16 - length));
    if (code <= table.maxCode[static_cast<size_t>(length)]) {
      in.Skip(length);
      return table.values[static_cast<size_t>(table.offset[static_cast<size_t>(length)] + code)];
    }
  }
  Corrupt("bad Huffman code");
}

// T.81 F.2.2.1 EXTEND: the signed value of `bits` as a magnitude of category s.
int Extend(uint32_t bits, int s) {
  if (s == 0) return 0;
  return bits < (1u << (s - 1)) ? static_cast<int>(bits) - (1 << s) + 1 : static_cast<int>(bits);
}

int16_t Saturate16(int value) { return static_cast<int16_t>(std::clamp(value, -32768, 32767)); }

struct Component {
  int id = 0, h = 1, v = 1, quantId = 0;
  int width = 0, height = 0;          // samples actually covering the picture
  int blocksWide = 0, blocksHigh = 0; // allocated block grid (whole MCUs)
  std::vector<int16_t> coefficients;  // 64 per block, natural order
  std::array<uint16_t, 64> quant{};   // latched at the first scan holding the component
  bool quantLatched = false;
  int dcPredictor = 0;
  int dcTable = 0, acTable = 0;
  int16_t* Block(int bx, int by) {
    return coefficients.data() + (static_cast<size_t>(by) * static_cast<size_t>(blocksWide) + static_cast<size_t>(bx)) * 64;
  }
};

struct ScanHeader {
  std::vector<int> components;  // indexes into the frame's components
  int ss = 0, se = 63, ah = 0, al = 0;
};

}  // namespace

struct JpegDecoder::State {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;

  std::array<std::array<uint16_t, 64>, 4> quant{};
  std::array<bool, 4> quantDefined{};
  std::array<HuffmanTable, 4> dcTables, acTables;
  int restartInterval = 0;

  bool frameSeen = false, progressive = false;
  int width = 0, height = 0, hMax = 1, vMax = 1, mcusWide = 0, mcusHigh = 0;
  std::vector<Component> components;
  int scans = 0;
  bool adobeSeen = false;
  int adobeTransform = -1;
  bool jfifSeen = false;

  int eobRun = 0;

  uint8_t Byte(size_t at) const { return data[at]; }
  int Read16(size_t at) const { return data[at] << 8 | data[at + 1]; }
};

namespace {

using State = JpegDecoder::State;

// Returns the payload start and length of the segment whose length field is at s.pos.
size_t SegmentLength(State& s, const char* name) {
  if (s.pos + 2 > s.size) throw JpegError(std::string("Premature end of JPEG file in ") + name);
  size_t length = static_cast<size_t>(s.Read16(s.pos));
  if (length < 2) Corrupt(std::string("bad ") + name + " segment length");
  if (s.pos + length > s.size) throw JpegError(std::string("Premature end of JPEG file in ") + name);
  return length;
}

void ReadQuantTables(State& s) {
  size_t length = SegmentLength(s, "DQT");
  size_t at = s.pos + 2, end = s.pos + length;
  while (at < end) {
    int precision = s.Byte(at) >> 4, id = s.Byte(at) & 15;
    ++at;
    if (id > 3) Corrupt("quantization table id " + std::to_string(id));
    if (precision > 1) Corrupt("quantization table precision " + std::to_string(precision));
    size_t need = precision ? 128 : 64;
    if (at + need > end) Corrupt("DQT segment too short");
    for (int k = 0; k < 64; ++k) {
      int value = precision ? s.Read16(at + 2 * static_cast<size_t>(k)) : s.Byte(at + static_cast<size_t>(k));
      s.quant[static_cast<size_t>(id)][jpeg::kZigzag[static_cast<size_t>(k)]] = static_cast<uint16_t>(value);
    }
    s.quantDefined[static_cast<size_t>(id)] = true;
    at += need;
  }
  s.pos = end;
}

void ReadHuffmanTables(State& s) {
  size_t length = SegmentLength(s, "DHT");
  size_t at = s.pos + 2, end = s.pos + length;
  while (at < end) {
    if (at + 17 > end) Corrupt("DHT segment too short");
    int tableClass = s.Byte(at) >> 4, id = s.Byte(at) & 15;
    if (tableClass > 1 || id > 3) Corrupt("Huffman table class/id " + std::to_string(s.Byte(at)));
    jpeg::HuffmanSpec huffman;
    int count = 0;
    for (int i = 1; i <= 16; ++i) {
      huffman.bits[static_cast<size_t>(i)] = s.Byte(at + static_cast<size_t>(i));
      count += huffman.bits[static_cast<size_t>(i)];
    }
    at += 17;
    if (count > 256 || at + static_cast<size_t>(count) > end) Corrupt("bad Huffman table");
    for (int i = 0; i < count; ++i) huffman.values[static_cast<size_t>(i)] = s.Byte(at + static_cast<size_t>(i));
    huffman.count = count;
    at += static_cast<size_t>(count);
    if (!jpeg::IsValidSpec(huffman)) Corrupt("bad Huffman table");
    (tableClass ? s.acTables : s.dcTables)[static_cast<size_t>(id)].Build(huffman);
  }
  s.pos = end;
}

void ReadRestartInterval(State& s) {
  size_t length = SegmentLength(s, "DRI");
  if (length != 4) Corrupt("bad DRI segment length");
  s.restartInterval = s.Read16(s.pos + 2);
  s.pos += length;
}

void ReadApplicationSegment(State& s, int marker) {
  size_t length = SegmentLength(s, "APPn");
  const uint8_t* p = s.data + s.pos + 2;
  size_t n = length - 2;
  if (marker == 0xE0 && n >= 5 && std::memcmp(p, "JFIF\0", 5) == 0) s.jfifSeen = true;
  if (marker == 0xEE && n >= 12 && std::memcmp(p, "Adobe", 5) == 0) {
    s.adobeSeen = true;
    s.adobeTransform = p[11];
  }
  s.pos += length;
}

void ReadFrame(State& s, int marker, const JpegDecoder::Limits& limits) {
  if (s.frameSeen) Corrupt("more than one frame header");
  size_t length = SegmentLength(s, "SOF");
  if (length < 8) Corrupt("SOF segment too short");
  size_t at = s.pos + 2;
  int precision = s.Byte(at);
  s.height = s.Read16(at + 1);
  s.width = s.Read16(at + 3);
  int count = s.Byte(at + 5);
  if (precision != 8) throw JpegError("Unsupported JPEG data precision " + std::to_string(precision));
  if (s.height == 0) throw JpegError("Unsupported JPEG file: height given later by a DNL marker");
  if (s.width == 0) Corrupt("picture width 0");
  if (count != 1 && count != 3 && count != 4)
    throw JpegError("Unsupported JPEG file: " + std::to_string(count) + " colour components");
  if (length != 8 + 3 * static_cast<size_t>(count)) Corrupt("bad SOF segment length");
  if (static_cast<uint64_t>(s.width) * static_cast<uint64_t>(s.height) > limits.maxPixels)
    throw JpegError("JPEG picture of " + std::to_string(s.width) + " x " + std::to_string(s.height) +
                    " pixels is too large");
  s.components.assign(static_cast<size_t>(count), Component());
  for (int i = 0; i < count; ++i) {
    Component& c = s.components[static_cast<size_t>(i)];
    size_t p = at + 6 + 3 * static_cast<size_t>(i);
    c.id = s.Byte(p);
    c.h = s.Byte(p + 1) >> 4;
    c.v = s.Byte(p + 1) & 15;
    c.quantId = s.Byte(p + 2);
    if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) Corrupt("bad sampling factors");
    if (c.quantId > 3) Corrupt("quantization table id " + std::to_string(c.quantId));
    for (int j = 0; j < i; ++j)
      if (s.components[static_cast<size_t>(j)].id == c.id) Corrupt("duplicate component id");
    s.hMax = std::max(s.hMax, c.h);
    s.vMax = std::max(s.vMax, c.v);
  }
  for (Component& c : s.components)
    if (s.hMax % c.h || s.vMax % c.v) throw JpegError("Unsupported JPEG file: fractional sampling ratios");
  s.mcusWide = (s.width + 8 * s.hMax - 1) / (8 * s.hMax);
  s.mcusHigh = (s.height + 8 * s.vMax - 1) / (8 * s.vMax);
  for (Component& c : s.components) {
    c.width = (s.width * c.h + s.hMax - 1) / s.hMax;
    c.height = (s.height * c.v + s.vMax - 1) / s.vMax;
    c.blocksWide = s.mcusWide * c.h;
    c.blocksHigh = s.mcusHigh * c.v;
    c.coefficients.assign(static_cast<size_t>(c.blocksWide) * static_cast<size_t>(c.blocksHigh) * 64, 0);
  }
  s.progressive = marker == 0xC2;
  s.frameSeen = true;
  s.pos += length;
}

ScanHeader ReadScanHeader(State& s) {
  if (!s.frameSeen) Corrupt("scan before the frame header");
  size_t length = SegmentLength(s, "SOS");
  if (length < 3) Corrupt("SOS segment too short");
  size_t at = s.pos + 2;
  int count = s.Byte(at);
  if (count < 1 || count > 4 || length != 6 + 2 * static_cast<size_t>(count)) Corrupt("bad SOS segment");
  ScanHeader scan;
  int blocksPerMcu = 0;
  for (int i = 0; i < count; ++i) {
    int id = s.Byte(at + 1 + 2 * static_cast<size_t>(i));
    int tables = s.Byte(at + 2 + 2 * static_cast<size_t>(i));
    int index = -1;
    for (size_t j = 0; j < s.components.size(); ++j)
      if (s.components[j].id == id) index = static_cast<int>(j);
    if (index < 0) Corrupt("scan names an unknown component");
    if (std::find(scan.components.begin(), scan.components.end(), index) != scan.components.end())
      Corrupt("component listed twice in a scan");
    Component& c = s.components[static_cast<size_t>(index)];
    c.dcTable = tables >> 4;
    c.acTable = tables & 15;
    if (c.dcTable > 3 || c.acTable > 3) Corrupt("bad Huffman table selector");
    blocksPerMcu += c.h * c.v;
    scan.components.push_back(index);
  }
  if (count > 1 && blocksPerMcu > 10) Corrupt("too many blocks in an MCU");
  size_t p = at + 1 + 2 * static_cast<size_t>(count);
  scan.ss = s.Byte(p);
  scan.se = s.Byte(p + 1);
  scan.ah = s.Byte(p + 2) >> 4;
  scan.al = s.Byte(p + 2) & 15;
  if (s.progressive) {
    bool bad = scan.se > 63 || scan.ss > scan.se || (scan.ss == 0 && scan.se != 0) ||
               (scan.ss > 0 && count != 1) || scan.al > 13 || (scan.ah != 0 && scan.ah != scan.al + 1);
    if (bad) Corrupt("bad progressive scan parameters");
  } else {
    scan.ss = 0;
    scan.se = 63;
    scan.ah = scan.al = 0;
  }
  // Tables are taken as they stand when the scan starts.
  for (int index : scan.components) {
    Component& c = s.components[static_cast<size_t>(index)];
    bool needDc = scan.ss == 0 && scan.ah == 0;
    bool needAc = scan.se > 0;
    if (needDc && !s.dcTables[static_cast<size_t>(c.dcTable)].defined) Corrupt("missing Huffman table");
    if (needAc && !s.acTables[static_cast<size_t>(c.acTable)].defined) Corrupt("missing Huffman table");
    if (!c.quantLatched) {
      if (!s.quantDefined[static_cast<size_t>(c.quantId)]) Corrupt("missing quantization table");
      c.quant = s.quant[static_cast<size_t>(c.quantId)];
      c.quantLatched = true;
    }
  }
  s.pos += length;
  return scan;
}

// --- block decoders ------------------------------------------------------------------------

void DecodeSequential(State& s, BitReader& in, Component& c, int16_t* block) {
  int category = DecodeSymbol(in, s.dcTables[static_cast<size_t>(c.dcTable)]);
  if (category > 11) Corrupt("bad DC difference");
  // The predictor wraps as a 16-bit coefficient would, so corrupt data cannot overflow it.
  c.dcPredictor = static_cast<int16_t>(c.dcPredictor + Extend(in.Bits(category), category));
  block[0] = static_cast<int16_t>(c.dcPredictor);
  const HuffmanTable& ac = s.acTables[static_cast<size_t>(c.acTable)];
  for (int k = 1; k < 64; ++k) {
    int symbol = DecodeSymbol(in, ac);
    int run = symbol >> 4, size = symbol & 15;
    if (size) {
      k += run;
      if (k > 63) Corrupt("AC coefficient index past the block");
      block[jpeg::kZigzag[static_cast<size_t>(k)]] = static_cast<int16_t>(Extend(in.Bits(size), size));
    } else {
      if (run != 15) break;
      k += 15;
    }
  }
}

void DecodeDcFirst(State& s, BitReader& in, Component& c, int16_t* block, int al) {
  int category = DecodeSymbol(in, s.dcTables[static_cast<size_t>(c.dcTable)]);
  if (category > 11) Corrupt("bad DC difference");
  c.dcPredictor = static_cast<int16_t>(c.dcPredictor + Extend(in.Bits(category), category));
  block[0] = static_cast<int16_t>(static_cast<unsigned>(c.dcPredictor) << al);
}

void DecodeDcRefine(BitReader& in, int16_t* block, int al) {
  if (in.Bits(1)) block[0] = static_cast<int16_t>(block[0] | (1 << al));
}

void DecodeAcFirst(State& s, BitReader& in, Component& c, int16_t* block, const ScanHeader& scan) {
  if (s.eobRun > 0) {
    --s.eobRun;
    return;
  }
  const HuffmanTable& ac = s.acTables[static_cast<size_t>(c.acTable)];
  for (int k = scan.ss; k <= scan.se; ++k) {
    int symbol = DecodeSymbol(in, ac);
    int run = symbol >> 4, size = symbol & 15;
    if (size) {
      k += run;
      if (k > scan.se) Corrupt("AC coefficient index past the band");
      int value = Extend(in.Bits(size), size);
      block[jpeg::kZigzag[static_cast<size_t>(k)]] = Saturate16(value * (1 << scan.al));
    } else if (run == 15) {
      k += 15;
    } else {
      s.eobRun = (1 << run) - 1;
      if (run) s.eobRun += static_cast<int>(in.Bits(run));
      break;
    }
  }
}

void DecodeAcRefine(State& s, BitReader& in, Component& c, int16_t* block, const ScanHeader& scan) {
  const int plus = 1 << scan.al, minus = -plus;
  // Adds the correction bit to a coefficient that is already non-zero.
  auto refine = [&](int16_t& coef) {
    if (in.Bits(1) && (coef & plus) == 0) coef = static_cast<int16_t>(coef + (coef >= 0 ? plus : minus));
  };
  int k = scan.ss;
  if (s.eobRun == 0) {
    const HuffmanTable& ac = s.acTables[static_cast<size_t>(c.acTable)];
    for (; k <= scan.se; ++k) {
      int symbol = DecodeSymbol(in, ac);
      int run = symbol >> 4, size = symbol & 15;
      int value = 0;
      if (size) {
        if (size != 1) Corrupt("bad refinement coefficient size");
        value = in.Bits(1) ? plus : minus;
      } else if (run != 15) {
        s.eobRun = 1 << run;
        if (run) s.eobRun += static_cast<int>(in.Bits(run));
        break;
      }
      // Skip `run` zero coefficients (refining the non-zero ones passed), then place value.
      for (; k <= scan.se; ++k) {
        int16_t& coef = block[jpeg::kZigzag[static_cast<size_t>(k)]];
        if (coef != 0) {
          refine(coef);
        } else {
          if (run == 0) break;
          --run;
        }
      }
      if (value) {
        if (k > scan.se) Corrupt("AC coefficient index past the band");
        block[jpeg::kZigzag[static_cast<size_t>(k)]] = static_cast<int16_t>(value);
      }
    }
  }
  if (s.eobRun > 0) {
    for (; k <= scan.se; ++k) {
      int16_t& coef = block[jpeg::kZigzag[static_cast<size_t>(k)]];
      if (coef != 0) refine(coef);
    }
    --s.eobRun;
  }
}

void DecodeBlock(State& s, BitReader& in, Component& c, int16_t* block, const ScanHeader& scan) {
  if (!s.progressive) DecodeSequential(s, in, c, block);
  else if (scan.ss == 0 && scan.ah == 0) DecodeDcFirst(s, in, c, block, scan.al);
  else if (scan.ss == 0) DecodeDcRefine(in, block, scan.al);
  else if (scan.ah == 0) DecodeAcFirst(s, in, c, block, scan);
  else DecodeAcRefine(s, in, c, block, scan);
}

// Finds the restart marker that must follow an interval and continues after it.
void HandleRestart(State& s, BitReader& in, int& expected) {
  size_t p = in.Position();
  while (p + 1 < s.size && !(s.data[p] == 0xFF && s.data[p + 1] != 0x00 && s.data[p + 1] != 0xFF)) ++p;
  if (p + 1 >= s.size) Corrupt("premature end of data segment");
  if (s.data[p + 1] != 0xD0 + expected) Corrupt("missing restart marker RST" + std::to_string(expected));
  in.Restart(p + 2);
  expected = (expected + 1) & 7;
  for (Component& c : s.components) c.dcPredictor = 0;
  s.eobRun = 0;
}

void DecodeScan(State& s, const ScanHeader& scan) {
  BitReader in(s.data, s.size, s.pos);
  for (Component& c : s.components) c.dcPredictor = 0;
  s.eobRun = 0;
  int restartsLeft = s.restartInterval;
  int expected = 0;
  auto nextUnit = [&](bool last) {
    if (s.restartInterval == 0 || last) return;
    if (--restartsLeft == 0) {
      HandleRestart(s, in, expected);
      restartsLeft = s.restartInterval;
    }
  };

  if (scan.components.size() == 1) {
    // Non-interleaved: the component's own blocks, just covering its samples.
    Component& c = s.components[static_cast<size_t>(scan.components[0])];
    int wide = (c.width + 7) / 8, high = (c.height + 7) / 8;
    for (int by = 0; by < high; ++by)
      for (int bx = 0; bx < wide; ++bx) {
        DecodeBlock(s, in, c, c.Block(bx, by), scan);
        nextUnit(by == high - 1 && bx == wide - 1);
      }
  } else {
    for (int my = 0; my < s.mcusHigh; ++my)
      for (int mx = 0; mx < s.mcusWide; ++mx) {
        for (int index : scan.components) {
          Component& c = s.components[static_cast<size_t>(index)];
          for (int y = 0; y < c.v; ++y)
            for (int x = 0; x < c.h; ++x) DecodeBlock(s, in, c, c.Block(mx * c.h + x, my * c.v + y), scan);
        }
        nextUnit(my == s.mcusHigh - 1 && mx == s.mcusWide - 1);
      }
  }
  s.pos = in.Position();
}

// --- output --------------------------------------------------------------------------------

// The component's samples after the inverse DCT, `width` x `height` (whole blocks).
struct SamplePlane {
  int width = 0, height = 0, stride = 0;
  std::vector<uint8_t> samples;
  const uint8_t* Row(int y) const { return samples.data() + static_cast<size_t>(y) * static_cast<size_t>(stride); }
};

SamplePlane Reconstruct(const Component& c) {
  SamplePlane plane;
  int wide = (c.width + 7) / 8, high = (c.height + 7) / 8;
  plane.width = c.width;
  plane.height = c.height;
  plane.stride = wide * 8;
  plane.samples.assign(static_cast<size_t>(plane.stride) * static_cast<size_t>(high) * 8, 0);
  std::array<int32_t, 64> dequantised;
  for (int by = 0; by < high; ++by)
    for (int bx = 0; bx < wide; ++bx) {
      const int16_t* block = c.coefficients.data() +
                             (static_cast<size_t>(by) * static_cast<size_t>(c.blocksWide) + static_cast<size_t>(bx)) * 64;
      for (size_t i = 0; i < 64; ++i) dequantised[i] = block[i] * static_cast<int32_t>(c.quant[i]);
      jpeg::InverseDct(dequantised.data(),
                       plane.samples.data() + static_cast<size_t>(by) * 8 * static_cast<size_t>(plane.stride) +
                           static_cast<size_t>(bx) * 8,
                       static_cast<size_t>(plane.stride));
    }
  return plane;
}

// One output row of a component at full resolution, `hr` x `vr` being its upsampling ratios.
// Half-width and half-height chroma get libjpeg's triangle filter; other ratios replicate.
void UpsampleRow(const SamplePlane& p, int hr, int vr, int y, int width, uint8_t* out) {
  const int last = p.width - 1;
  if (vr == 1 || vr == 2) {
    const int cy = vr == 2 ? y / 2 : y;
    const uint8_t* near = p.Row(std::min(cy, p.height - 1));
    if (vr == 1) {
      if (hr == 1) {
        std::memcpy(out, near, static_cast<size_t>(width));
      } else if (hr == 2) {
        for (int x = 0; x < width; ++x) {
          int cx = x / 2;
          if (x % 2 == 0)
            out[x] = static_cast<uint8_t>(cx == 0 ? near[0] : (3 * near[cx] + near[cx - 1] + 1) >> 2);
          else
            out[x] = static_cast<uint8_t>(cx >= last ? near[cx] : (3 * near[cx] + near[cx + 1] + 2) >> 2);
        }
      } else {
        for (int x = 0; x < width; ++x) out[x] = near[x / hr];
      }
      return;
    }
    // Vertical neighbour: the row above for even output rows, below for odd ones (edges repeat).
    int farRow = y % 2 == 0 ? std::max(cy - 1, 0) : std::min(cy + 1, p.height - 1);
    const uint8_t* far = p.Row(farRow);
    if (hr == 1) {
      int bias = y % 2 == 0 ? 1 : 2;
      for (int x = 0; x < width; ++x) out[x] = static_cast<uint8_t>((3 * near[x] + far[x] + bias) >> 2);
      return;
    }
    if (hr == 2) {
      auto colsum = [&](int cx) { return 3 * near[cx] + far[cx]; };
      for (int x = 0; x < width; ++x) {
        int cx = x / 2;
        int here = colsum(cx);
        if (x % 2 == 0)
          out[x] = static_cast<uint8_t>(cx == 0 ? (here * 4 + 8) >> 4 : (here * 3 + colsum(cx - 1) + 8) >> 4);
        else
          out[x] = static_cast<uint8_t>(cx >= last ? (here * 4 + 7) >> 4 : (here * 3 + colsum(cx + 1) + 7) >> 4);
      }
      return;
    }
  }
  const uint8_t* row = p.Row(std::min(y / vr, p.height - 1));
  for (int x = 0; x < width; ++x) out[x] = row[x / hr];
}

uint8_t Clamp255(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

}  // namespace

JpegDecoder::JpegDecoder() : limits_() {}
JpegDecoder::JpegDecoder(const Limits& limits) : limits_(limits) {}
JpegDecoder::~JpegDecoder() = default;

int JpegDecoder::Width() const { return state_ ? state_->width : 0; }
int JpegDecoder::Height() const { return state_ ? state_->height : 0; }
int JpegDecoder::Components() const { return state_ ? static_cast<int>(state_->components.size()) : 0; }
bool JpegDecoder::Progressive() const { return state_ && state_->progressive; }

void JpegDecoder::Decode(const uint8_t* data, size_t size) {
  state_.reset();
  auto s = std::make_unique<State>();
  s->data = data;
  s->size = size;
  if (!data || size < 2 || data[0] != 0xFF || data[1] != 0xD8) throw JpegError("Not a JPEG file");
  s->pos = 2;
  bool done = false;
  try {
    while (!done) {
      // Next marker; bytes between segments (and 0xFF fill) are passed over.
      while (s->pos < s->size && s->data[s->pos] != 0xFF) ++s->pos;
      while (s->pos < s->size && s->data[s->pos] == 0xFF) ++s->pos;
      if (s->pos >= s->size) throw JpegError("Premature end of JPEG file");
      int marker = s->data[s->pos++];
      switch (marker) {
        case 0xC0: case 0xC1: case 0xC2:
          ReadFrame(*s, marker, limits_);
          break;
        case 0xC3: case 0xC5: case 0xC6: case 0xC7: case 0xC9: case 0xCA: case 0xCB:
        case 0xCD: case 0xCE: case 0xCF:
          throw JpegError("Unsupported JPEG process (lossless, hierarchical or arithmetic coding)");
        case 0xCC:
          throw JpegError("Unsupported JPEG process (arithmetic coding)");
        case 0xC4:
          ReadHuffmanTables(*s);
          break;
        case 0xDB:
          ReadQuantTables(*s);
          break;
        case 0xDD:
          ReadRestartInterval(*s);
          break;
        case 0xDA: {
          if (++s->scans > limits_.maxScans) throw JpegError("JPEG file has too many scans");
          ScanHeader scan = ReadScanHeader(*s);
          DecodeScan(*s, scan);
          break;
        }
        case 0xD9:
          done = true;
          break;
        case 0xD8:
          Corrupt("unexpected SOI marker");
        case 0xDC:
          throw JpegError("Unsupported JPEG file: DNL marker");
        case 0x00:
          Corrupt("stray 0xFF byte");
        case 0x01: case 0xD0: case 0xD1: case 0xD2: case 0xD3: case 0xD4: case 0xD5: case 0xD6: case 0xD7:
          break;  // no payload
        default:
          if (marker >= 0xE0 && marker <= 0xEF) {
            ReadApplicationSegment(*s, marker);
          } else {
            s->pos += SegmentLength(*s, "marker");  // COM and others: skipped
          }
          break;
      }
    }
  } catch (const std::bad_alloc&) {
    throw JpegError("Out of memory decoding JPEG");
  }
  if (!s->frameSeen) Corrupt("no frame header");
  if (s->scans == 0) Corrupt("no scan");
  state_ = std::move(s);
  state_->data = nullptr;  // the caller's bytes are not needed past this point
}

void JpegDecoder::WritePixels(uint8_t* const* rows) const {
  if (!state_) throw JpegError("No JPEG picture decoded");
  const State& s = *state_;
  const size_t n = s.components.size();
  std::vector<SamplePlane> planes;
  for (const Component& c : s.components) planes.push_back(Reconstruct(c));
  std::vector<std::vector<uint8_t>> line(n, std::vector<uint8_t>(static_cast<size_t>(s.width)));
  // RGB instead of YCbCr: an Adobe segment saying so, or (without JFIF and Adobe) ids R, G, B.
  bool rgb = n == 3 && ((s.adobeSeen && s.adobeTransform == 0) ||
                        (!s.adobeSeen && !s.jfifSeen && s.components[0].id == 'R' &&
                         s.components[1].id == 'G' && s.components[2].id == 'B'));
  for (int y = 0; y < s.height; ++y) {
    for (size_t i = 0; i < n; ++i) {
      const Component& c = s.components[i];
      UpsampleRow(planes[i], s.hMax / c.h, s.vMax / c.v, y, s.width, line[i].data());
    }
    uint8_t* out = rows[y];
    if (n == 1) {
      for (int x = 0; x < s.width; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = line[0][static_cast<size_t>(x)];
    } else if (n == 4) {
      // CMYK, or YCCK (Adobe transform 2: the first three are YCbCr-coded). Adobe files store
      // the inks inverted (255 = no ink), so each colour is the stored value scaled by black.
      const bool ycck = s.adobeSeen && s.adobeTransform == 2;
      const bool inverted = s.adobeSeen;
      constexpr int kHalf = 1 << 15;
      for (int x = 0; x < s.width; ++x) {
        const size_t i = static_cast<size_t>(x);
        int c = line[0][i], m = line[1][i], yl = line[2][i], k = line[3][i];
        if (ycck) {
          const int yy = c, cb = m - 128, cr = yl - 128;
          c = Clamp255(yy + ((91881 * cr + kHalf) >> 16));
          m = Clamp255(yy + ((-22554 * cb - 46802 * cr + kHalf) >> 16));
          yl = Clamp255(yy + ((116130 * cb + kHalf) >> 16));
        } else if (!inverted) {
          c = 255 - c;
          m = 255 - m;
          yl = 255 - yl;
          k = 255 - k;
        }
        out[3 * x + 2] = static_cast<uint8_t>((c * k + 127) / 255);
        out[3 * x + 1] = static_cast<uint8_t>((m * k + 127) / 255);
        out[3 * x] = static_cast<uint8_t>((yl * k + 127) / 255);
      }
    } else if (rgb) {
      for (int x = 0; x < s.width; ++x) {
        out[3 * x] = line[2][static_cast<size_t>(x)];
        out[3 * x + 1] = line[1][static_cast<size_t>(x)];
        out[3 * x + 2] = line[0][static_cast<size_t>(x)];
      }
    } else {
      // libjpeg's fixed-point conversion (16 fraction bits, rounding constants as it has them).
      constexpr int kHalf = 1 << 15;
      for (int x = 0; x < s.width; ++x) {
        int yy = line[0][static_cast<size_t>(x)];
        int cb = line[1][static_cast<size_t>(x)] - 128;
        int cr = line[2][static_cast<size_t>(x)] - 128;
        out[3 * x + 2] = Clamp255(yy + ((91881 * cr + kHalf) >> 16));
        out[3 * x + 1] = Clamp255(yy + ((-22554 * cb - 46802 * cr + kHalf) >> 16));
        out[3 * x] = Clamp255(yy + ((116130 * cb + kHalf) >> 16));
      }
    }
  }
}

std::vector<uint8_t> JpegDecoder::Pixels() const {
  if (!state_) throw JpegError("No JPEG picture decoded");
  const size_t rowBytes = static_cast<size_t>(state_->width) * 3;
  std::vector<uint8_t> pixels(rowBytes * static_cast<size_t>(state_->height));
  std::vector<uint8_t*> rows(static_cast<size_t>(state_->height));
  for (size_t y = 0; y < rows.size(); ++y) rows[y] = pixels.data() + y * rowBytes;
  WritePixels(rows.data());
  return pixels;
}

int ReadJpeg(const std::string& path, DibImage& image) {
  // Larger files cannot hold a picture within the pixel limit at any sensible quality.
  constexpr long kMaxFileBytes = 1L << 30;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw JpegDecoder::JpegError("Can't open input file: " + path + ": " + std::strerror(errno));
  std::vector<uint8_t> bytes;
  std::string failure;
  if (std::fseek(file, 0, SEEK_END) != 0) {
    failure = "cannot determine the file size";
  } else {
    long length = std::ftell(file);
    if (length < 0) failure = "cannot determine the file size";
    else if (length > kMaxFileBytes) failure = "file too large for a JPEG picture";
    else {
      std::rewind(file);
      bytes.resize(static_cast<size_t>(length));
      if (length > 0 && std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
        failure = "read error";
    }
  }
  std::fclose(file);
  if (!failure.empty()) throw JpegDecoder::JpegError(path + ": " + failure);

  try {
    JpegDecoder decoder;
    decoder.Decode(bytes.data(), bytes.size());
    bytes = std::vector<uint8_t>();
    DibImage picture;
    if (!picture.Create(decoder.Width(), decoder.Height(), 24))
      throw JpegDecoder::JpegError("Out of memory for a " + std::to_string(decoder.Width()) + " x " +
                                   std::to_string(decoder.Height()) + " picture");
    DibRowTable rows(picture);
    decoder.WritePixels(rows.Rows());
    image = std::move(picture);
  } catch (const GraphicsException& e) {
    throw JpegDecoder::JpegError(path + ": " + e.what());
  } catch (const std::bad_alloc&) {
    throw JpegDecoder::JpegError(path + ": out of memory");
  }
  return 1;
}
