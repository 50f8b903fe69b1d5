#include "imaging/codecs/jpeg_encoder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>

#include "imaging/atomic_file.h"
#include "imaging/bitmap_image.h"
#include "imaging/codecs/jpeg_dct.h"
#include "imaging/codecs/jpeg_huffman.h"
#include "imaging/codecs/jpeg_tables.h"
#include "imaging/dib_image.h"

namespace {

using Sink = std::function<void(const uint8_t*, size_t)>;
using JpegError = JpegEncoder::JpegError;

constexpr int kMaxDimension = 65535;
constexpr int kComponents = 3;

// Quantised coefficients of one component, 64 per block in zigzag order, blocks row by row.
struct Plane {
  std::vector<int16_t> coefficients;
  const int16_t* Block(size_t index) const { return coefficients.data() + index * 64; }
};

// Bits most significant first; every 0xFF byte of entropy-coded data is followed by 0x00.
// Bytes go to the sink in chunks, so the scan is never held in memory whole.
class BitWriter {
 public:
  explicit BitWriter(const Sink& sink) : sink_(sink) { buffer_.reserve(kChunk); }

  void Bits(uint32_t value, int count) {  // count <= 16
    if (count == 0) return;
    acc_ = (acc_ << count) | (value & ((1u << count) - 1));
    bits_ += count;
    while (bits_ >= 8) {
      uint8_t byte = static_cast<uint8_t>(acc_ >> (bits_ - 8));
      bits_ -= 8;
      acc_ &= (1u << bits_) - 1;
      Byte(byte);
      if (byte == 0xFF) Byte(0);
    }
  }
  // Completes the last byte with 0 bits.
  void AlignWithZeros() {
    if (bits_ > 0) Bits(0, 8 - bits_);
  }
  // Marker segments, written unstuffed at a byte boundary.
  void Raw(std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) Byte(b);
  }
  void Raw16(int value) { Raw({static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)}); }
  void Flush() {
    if (!buffer_.empty()) sink_(buffer_.data(), buffer_.size());
    buffer_.clear();
  }

 private:
  static constexpr size_t kChunk = 64 * 1024;
  void Byte(uint8_t b) {
    buffer_.push_back(b);
    if (buffer_.size() >= kChunk) Flush();
  }
  const Sink& sink_;
  std::vector<uint8_t> buffer_;
  uint32_t acc_ = 0;
  int bits_ = 0;
};

int BitLength(uint32_t value) {
  int n = 0;
  while (value) {
    ++n;
    value >>= 1;
  }
  return n;
}

// Entropy coder outputs: one counts symbols (to build optimal tables), one writes codes.
class SymbolCounter {
 public:
  void Symbol(int slot, int symbol) { ++frequencies[static_cast<size_t>(slot)][static_cast<size_t>(symbol)]; }
  void Bits(uint32_t, int) {}
  std::array<std::array<uint32_t, 256>, 2> frequencies{};
};

class CodeWriter {
 public:
  CodeWriter(BitWriter& out, const jpeg::HuffmanCodes* slot0, const jpeg::HuffmanCodes* slot1)
      : out_(out), slots_{slot0, slot1} {}
  void Symbol(int slot, int symbol) {
    const jpeg::HuffmanCodes& codes = *slots_[static_cast<size_t>(slot)];
    if (codes.size[static_cast<size_t>(symbol)] == 0) throw JpegError("internal error: symbol without a Huffman code");
    out_.Bits(codes.code[static_cast<size_t>(symbol)], codes.size[static_cast<size_t>(symbol)]);
  }
  void Bits(uint32_t value, int count) { out_.Bits(value, count); }

 private:
  BitWriter& out_;
  std::array<const jpeg::HuffmanCodes*, 2> slots_;
};

// Magnitude category and the extra bits of a coefficient or difference (T.81 F.1.2.1).
template <class Out>
void PutValue(Out& out, int value, int category) {
  out.Bits(static_cast<uint32_t>(value < 0 ? value - 1 : value), category);
}

// Sequential (baseline) coding of one block: DC difference, then run/size pairs.
template <class Out>
void EncodeSequentialBlock(Out& out, const int16_t* block, int& lastDc, int slot) {
  int diff = block[0] - lastDc;
  lastDc = block[0];
  int category = BitLength(static_cast<uint32_t>(std::abs(diff)));
  out.Symbol(slot, category);
  PutValue(out, diff, category);
  int run = 0;
  for (int k = 1; k < 64; ++k) {
    int value = block[k];
    if (value == 0) {
      ++run;
      continue;
    }
    while (run > 15) {
      out.Symbol(slot + 2, 0xF0);
      run -= 16;
    }
    int size = BitLength(static_cast<uint32_t>(std::abs(value)));
    out.Symbol(slot + 2, (run << 4) | size);
    PutValue(out, value, size);
    run = 0;
  }
  if (run > 0) out.Symbol(slot + 2, 0x00);
}

// One scan of a progressive file: spectral band [ss, se], successive approximation ah/al.
struct ScanSpec {
  std::vector<int> components;
  int ss, se, ah, al;
};

// The default progression of libjpeg for three-component YCbCr.
std::vector<ScanSpec> ProgressiveScript() {
  return {
      {{0, 1, 2}, 0, 0, 0, 1}, {{0}, 1, 5, 0, 2},  {{2}, 1, 63, 0, 1}, {{1}, 1, 63, 0, 1},
      {{0}, 6, 63, 0, 2},      {{0}, 1, 63, 2, 1}, {{0, 1, 2}, 0, 0, 1, 0}, {{2}, 1, 63, 1, 0},
      {{1}, 1, 63, 1, 0},      {{0}, 1, 63, 1, 0},
  };
}

// Progressive coding state of one AC scan (T.81 G.1.2.2 and G.1.2.3). Symbols go to slot 0 of the
// output (each AC scan carries one component and one table).
template <class Out>
class AcScanCoder {
 public:
  AcScanCoder(Out& out, const ScanSpec& scan) : out_(out), scan_(scan) {}

  void First(const int16_t* block) {
    int run = 0;
    for (int k = scan_.ss; k <= scan_.se; ++k) {
      int value = block[k];
      int magnitude = std::abs(value) >> scan_.al;
      if (magnitude == 0) {
        ++run;
        continue;
      }
      FlushEobRun();
      while (run > 15) {
        out_.Symbol(0, 0xF0);
        run -= 16;
      }
      int size = BitLength(static_cast<uint32_t>(magnitude));
      out_.Symbol(0, (run << 4) | size);
      out_.Bits(static_cast<uint32_t>(value < 0 ? ~magnitude : magnitude), size);
      run = 0;
    }
    if (run > 0) {
      ++eobRun_;
      if (eobRun_ == 0x7FFF) FlushEobRun();
    }
  }

  void Refine(const int16_t* block) {
    std::array<int, 64> magnitudes{};
    int lastNewOne = 0;  // position of the last coefficient that becomes non-zero in this scan
    for (int k = scan_.ss; k <= scan_.se; ++k) {
      magnitudes[static_cast<size_t>(k)] = std::abs(block[k]) >> scan_.al;
      if (magnitudes[static_cast<size_t>(k)] == 1) lastNewOne = k;
    }
    int run = 0;
    blockCorrections_.clear();
    for (int k = scan_.ss; k <= scan_.se; ++k) {
      int magnitude = magnitudes[static_cast<size_t>(k)];
      if (magnitude == 0) {
        ++run;
        continue;
      }
      while (run > 15 && k <= lastNewOne) {
        FlushEobRun();
        out_.Symbol(0, 0xF0);
        run -= 16;
        PutCorrections(blockCorrections_);
      }
      if (magnitude > 1) {
        // Already non-zero: only its next bit, sent after the next symbol.
        blockCorrections_.push_back(static_cast<uint8_t>(magnitude & 1));
        continue;
      }
      FlushEobRun();
      out_.Symbol(0, (run << 4) | 1);
      out_.Bits(block[k] < 0 ? 0 : 1, 1);
      PutCorrections(blockCorrections_);
      run = 0;
    }
    if (run > 0 || !blockCorrections_.empty()) {
      ++eobRun_;
      eobCorrections_.insert(eobCorrections_.end(), blockCorrections_.begin(), blockCorrections_.end());
      blockCorrections_.clear();
      // Bound the buffered correction bits as libjpeg does, so decoders never need more.
      if (eobRun_ == 0x7FFF || eobCorrections_.size() > 1000 - 64 + 1) FlushEobRun();
    }
  }

  void FlushEobRun() {
    if (eobRun_ == 0) return;
    int size = BitLength(static_cast<uint32_t>(eobRun_)) - 1;
    out_.Symbol(0, size << 4);
    out_.Bits(static_cast<uint32_t>(eobRun_), size);
    eobRun_ = 0;
    PutCorrections(eobCorrections_);
  }

 private:
  void PutCorrections(std::vector<uint8_t>& bits) {
    for (uint8_t b : bits) out_.Bits(b, 1);
    bits.clear();
  }

  Out& out_;
  const ScanSpec& scan_;
  int eobRun_ = 0;
  std::vector<uint8_t> eobCorrections_;
  std::vector<uint8_t> blockCorrections_;
};

// The coefficient planes of the picture, with the geometry of its blocks.
struct Coefficients {
  int width = 0, height = 0;
  size_t blocksWide = 0, blocksHigh = 0;
  std::array<Plane, kComponents> planes;
  std::array<std::array<uint8_t, 64>, 2> quant{};  // natural order, luminance and chrominance
  size_t BlockCount() const { return blocksWide * blocksHigh; }
};

// Samples and coefficients are rounded to nearest. Truncating toward zero, as a plain cast
// would, biases every value toward zero: flat areas drift toward grey by up to half a
// quantiser step (16 levels at the strongest compression) and the pictures lose 2-5 dB.
int ToSample(float value) { return static_cast<int>(std::clamp(value, 0.0f, 255.0f) + 0.5f); }

int16_t Quantise(int coefficient, int step) {
  int magnitude = (std::abs(coefficient) + step / 2) / step;
  return static_cast<int16_t>(coefficient < 0 ? -magnitude : magnitude);
}

// Colour conversion, level shift, DCT and quantisation of the whole picture.
void Transform(Coefficients& c, const uint8_t* const* rows) {
  const size_t paddedWidth = c.blocksWide * 8;
  for (Plane& p : c.planes) p.coefficients.assign(c.BlockCount() * 64, 0);
  // One band of eight rows at a time, three level-shifted planes of paddedWidth x 8.
  std::array<std::vector<int16_t>, kComponents> band;
  for (auto& b : band) b.assign(paddedWidth * 8, 0);
  std::array<int16_t, 64> samples, dct;

  // Blocks reaching past the right and bottom edges repeat the last column and row: padding with
  // black would bleed dark ringing into the picture's edge pixels.
  for (size_t by = 0; by < c.blocksHigh; ++by) {
    for (int dy = 0; dy < 8; ++dy) {
      int y = std::min(static_cast<int>(by * 8) + dy, c.height - 1);
      const uint8_t* row = rows[y];
      for (size_t x = 0; x < paddedWidth; ++x) {
        const uint8_t* p = row + 3 * std::min(x, static_cast<size_t>(c.width - 1));
        float r = p[2], g = p[1], b = p[0];
        float yy = 0.299f * r + 0.587f * g + 0.114f * b;
        float cb = 0.5f * b - (0.1687f * r + 0.3313f * g) + 128.0f;
        float cr = 0.5f * r - 0.4187f * g - 0.0813f * b + 128.0f;
        size_t at = static_cast<size_t>(dy) * paddedWidth + x;
        band[0][at] = static_cast<int16_t>(ToSample(yy) - 128);
        band[1][at] = static_cast<int16_t>(ToSample(cb) - 128);
        band[2][at] = static_cast<int16_t>(ToSample(cr) - 128);
      }
    }
    for (int comp = 0; comp < kComponents; ++comp) {
      const std::array<uint8_t, 64>& q = c.quant[comp == 0 ? 0 : 1];
      for (size_t bx = 0; bx < c.blocksWide; ++bx) {
        for (int dy = 0; dy < 8; ++dy)
          for (int dx = 0; dx < 8; ++dx)
            samples[static_cast<size_t>(dy * 8 + dx)] = band[comp][static_cast<size_t>(dy) * paddedWidth + bx * 8 + dx];
        jpeg::ForwardDct(samples.data(), dct.data());
        int16_t* out = c.planes[comp].coefficients.data() + (by * c.blocksWide + bx) * 64;
        for (int k = 0; k < 64; ++k) {
          int natural = jpeg::kZigzag[static_cast<size_t>(k)];
          out[k] = Quantise(dct[static_cast<size_t>(natural)], q[static_cast<size_t>(natural)]);
        }
      }
    }
  }
}

void PutQuantTable(BitWriter& out, int id, const std::array<uint8_t, 64>& natural) {
  out.Raw({0xFF, 0xDB});
  out.Raw16(67);
  out.Raw({static_cast<uint8_t>(id)});
  for (int k = 0; k < 64; ++k) out.Raw({natural[jpeg::kZigzag[static_cast<size_t>(k)]]});
}

struct TableEntry {
  int tableClass;  // 0 DC, 1 AC
  int id;
  const jpeg::HuffmanSpec* huffman;
};

void PutHuffmanTables(BitWriter& out, const std::vector<TableEntry>& tables) {
  int length = 2;
  for (const TableEntry& t : tables) length += 17 + t.huffman->count;
  out.Raw({0xFF, 0xC4});
  out.Raw16(length);
  for (const TableEntry& t : tables) {
    out.Raw({static_cast<uint8_t>(t.tableClass << 4 | t.id)});
    for (int i = 1; i <= 16; ++i) out.Raw({t.huffman->bits[static_cast<size_t>(i)]});
    for (int i = 0; i < t.huffman->count; ++i) out.Raw({t.huffman->values[static_cast<size_t>(i)]});
  }
}

void PutFrame(BitWriter& out, int marker, int width, int height) {
  out.Raw({0xFF, static_cast<uint8_t>(marker)});
  out.Raw16(8 + 3 * kComponents);
  out.Raw({8});
  out.Raw16(height);
  out.Raw16(width);
  out.Raw({kComponents});
  for (int comp = 0; comp < kComponents; ++comp)
    out.Raw({static_cast<uint8_t>(comp + 1), 0x11, static_cast<uint8_t>(comp == 0 ? 0 : 1)});
}

// SOS: luminance uses tables 0, chrominance tables 1.
void PutScanHeader(BitWriter& out, const std::vector<int>& components, int ss, int se, int ah, int al) {
  out.Raw({0xFF, 0xDA});
  out.Raw16(6 + 2 * static_cast<int>(components.size()));
  out.Raw({static_cast<uint8_t>(components.size())});
  for (int comp : components)
    out.Raw({static_cast<uint8_t>(comp + 1), static_cast<uint8_t>(comp == 0 ? 0x00 : 0x11)});
  out.Raw({static_cast<uint8_t>(ss), static_cast<uint8_t>(se), static_cast<uint8_t>(ah << 4 | al)});
}

void EncodeBaseline(BitWriter& out, const Coefficients& c) {
  PutHuffmanTables(out, {{0, 0, &jpeg::kLuminanceDc},
                         {1, 0, &jpeg::kLuminanceAc},
                         {0, 1, &jpeg::kChrominanceDc},
                         {1, 1, &jpeg::kChrominanceAc}});
  PutFrame(out, 0xC0, c.width, c.height);
  PutScanHeader(out, {0, 1, 2}, 0, 63, 0, 0);
  // Slots 0/1: DC luminance/chrominance; 2/3: AC luminance/chrominance.
  const std::array<jpeg::HuffmanCodes, 4> codes = {
      jpeg::MakeCodes(jpeg::kLuminanceDc), jpeg::MakeCodes(jpeg::kChrominanceDc),
      jpeg::MakeCodes(jpeg::kLuminanceAc), jpeg::MakeCodes(jpeg::kChrominanceAc)};
  struct BaselineWriter {
    BitWriter& out;
    const std::array<jpeg::HuffmanCodes, 4>& codes;
    void Symbol(int slot, int symbol) {
      const jpeg::HuffmanCodes& t = codes[static_cast<size_t>(slot)];
      out.Bits(t.code[static_cast<size_t>(symbol)], t.size[static_cast<size_t>(symbol)]);
    }
    void Bits(uint32_t value, int count) { out.Bits(value, count); }
  } writer{out, codes};
  std::array<int, kComponents> lastDc{};
  for (size_t b = 0; b < c.BlockCount(); ++b)
    for (int comp = 0; comp < kComponents; ++comp)
      EncodeSequentialBlock(writer, c.planes[comp].Block(b), lastDc[static_cast<size_t>(comp)], comp == 0 ? 0 : 1);
  out.AlignWithZeros();
}

// Runs one progressive scan into `out` (a SymbolCounter or a CodeWriter).
template <class Out>
void RunProgressiveScan(Out& out, const Coefficients& c, const ScanSpec& scan) {
  if (scan.ss == 0) {
    std::array<int, kComponents> lastDc{};
    for (size_t b = 0; b < c.BlockCount(); ++b) {
      for (int comp : scan.components) {
        int dc = c.planes[comp].Block(b)[0];
        if (scan.ah == 0) {
          int value = dc >> scan.al;  // arithmetic shift: the point transform of G.1.2.1
          int diff = value - lastDc[static_cast<size_t>(comp)];
          lastDc[static_cast<size_t>(comp)] = value;
          int category = BitLength(static_cast<uint32_t>(std::abs(diff)));
          out.Symbol(comp == 0 ? 0 : 1, category);
          PutValue(out, diff, category);
        } else {
          out.Bits(static_cast<uint32_t>(dc >> scan.al) & 1u, 1);
        }
      }
    }
    return;
  }
  AcScanCoder<Out> coder(out, scan);
  const Plane& plane = c.planes[scan.components[0]];
  for (size_t b = 0; b < c.BlockCount(); ++b) {
    if (scan.ah == 0) coder.First(plane.Block(b));
    else coder.Refine(plane.Block(b));
  }
  coder.FlushEobRun();
}

void EncodeProgressive(BitWriter& out, const Coefficients& c) {
  PutFrame(out, 0xC2, c.width, c.height);
  for (const ScanSpec& scan : ProgressiveScript()) {
    bool dcRefine = scan.ss == 0 && scan.ah != 0;
    std::array<jpeg::HuffmanSpec, 2> specs;
    std::array<jpeg::HuffmanCodes, 2> codes;
    if (!dcRefine) {
      SymbolCounter counter;
      RunProgressiveScan(counter, c, scan);
      std::vector<TableEntry> tables;
      int tableClass = scan.ss == 0 ? 0 : 1;
      for (int slot = 0; slot < 2; ++slot) {
        bool used = false;
        for (uint32_t f : counter.frequencies[static_cast<size_t>(slot)]) used = used || f != 0;
        if (!used) continue;
        specs[static_cast<size_t>(slot)] = jpeg::MakeOptimalSpec(counter.frequencies[static_cast<size_t>(slot)]);
        codes[static_cast<size_t>(slot)] = jpeg::MakeCodes(specs[static_cast<size_t>(slot)]);
        // AC scans hold one component: its table goes to the component's own table id.
        int id = tableClass == 0 ? slot : (scan.components[0] == 0 ? 0 : 1);
        tables.push_back({tableClass, id, &specs[static_cast<size_t>(slot)]});
      }
      PutHuffmanTables(out, tables);
    }
    PutScanHeader(out, scan.components, scan.ss, scan.se, scan.ah, scan.al);
    CodeWriter writer(out, &codes[0], &codes[1]);
    RunProgressiveScan(writer, c, scan);
    out.AlignWithZeros();
  }
}

void CheckPicture(int width, int height, const void* rows) {
  if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension)
    throw JpegError("a JPEG picture must be 1..65535 pixels wide and high, not " + std::to_string(width) +
                    " x " + std::to_string(height));
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > BitmapImage::kMaxPixels)
    throw JpegError("picture too large for JPEG output");
  if (!rows) throw JpegError("no pixel rows given");
}

}  // namespace

void JpegEncoder::EncodeTo(const Sink& sink, int width, int height, const uint8_t* const* rows) const {
  CheckPicture(width, height, rows);

  Coefficients c;
  c.width = width;
  c.height = height;
  c.blocksWide = (static_cast<size_t>(width) + 7) / 8;
  c.blocksHigh = (static_cast<size_t>(height) + 7) / 8;
  c.quant[0] = jpeg::QuantTable(options_.compression, false);
  c.quant[1] = jpeg::QuantTable(options_.compression, true);
  Transform(c, rows);

  BitWriter out(sink);
  out.Raw({0xFF, 0xD8});
  PutQuantTable(out, 0, c.quant[0]);
  PutQuantTable(out, 1, c.quant[1]);
  if (options_.progressive) EncodeProgressive(out, c);
  else EncodeBaseline(out, c);
  out.Raw({0xFF, 0xD9});
  out.Flush();
}

std::vector<uint8_t> JpegEncoder::EncodeToMemory(int width, int height, const uint8_t* const* rows) const {
  std::vector<uint8_t> bytes;
  EncodeTo([&bytes](const uint8_t* data, size_t size) { bytes.insert(bytes.end(), data, data + size); }, width,
           height, rows);
  return bytes;
}

int JpegEncoder::WriteRows(const std::string& path, int width, int height, const uint8_t* const* rows) {
  try {
    CheckPicture(width, height, rows);
    AtomicFileWriter file(path);
    EncodeTo([&file](const uint8_t* data, size_t size) { file.Write(data, size); }, width, height, rows);
    file.Commit();
  } catch (const JpegError& e) {
    throw JpegError(path + ": " + e.what());
  } catch (const GraphicsException& e) {
    throw JpegError(e.what());  // the file layer's text already names the file
  } catch (const std::bad_alloc&) {
    throw JpegError(path + ": out of memory");
  }
  return 1;
}

int JpegEncoder::Write(const std::string& path, int width, int height, const uint8_t* rows) {
  try {
    CheckPicture(width, height, rows);
  } catch (const JpegError& e) {
    throw JpegError(path + ": " + e.what());
  }
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  std::vector<const uint8_t*> table(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) table[static_cast<size_t>(y)] = rows + stride * static_cast<size_t>(y);
  return WriteRows(path, width, height, table.data());
}

int WriteJpeg(const DibImage& image, const std::string& path, const JpegWriteOptions& options) {
  if (image.Empty()) throw JpegEncoder::JpegError(path + ": no picture to write");
  if (image.BitCount() != 24)
    throw JpegEncoder::JpegError(path + ": JPEG needs a 24-bit picture, this one has " +
                                 std::to_string(image.BitCount()) + " bits per pixel");
  // The row table reads the stored rows top row first, so the picture itself is never flipped.
  DibRowTable rows(image);
  JpegEncoder encoder(options);
  return encoder.WriteRows(path, image.Width(), image.Height(), rows.Rows());
}
