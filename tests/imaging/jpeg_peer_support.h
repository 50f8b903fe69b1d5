#pragma once
// libjpeg-turbo as an independent peer for the JPEG tests: it decodes what we write and writes
// what we read. Pictures here are packed blue, green, red, top row first (our pixel order).
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace jpegpeer {

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> bgr;  // width * 3 per row
  const uint8_t* Row(int y) const { return bgr.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3; }
  std::vector<const uint8_t*> RowTable() const {
    std::vector<const uint8_t*> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) rows[static_cast<size_t>(y)] = Row(y);
    return rows;
  }
};

struct ErrorState {
  jpeg_error_mgr mgr;
  int warnings = 0;
};

// libjpeg is built with unwind tables, so an error may leave it by a C++ exception.
inline void ThrowError(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  throw std::runtime_error(std::string("libjpeg: ") + text);
}
inline void CountWarning(j_common_ptr cinfo, int level) {
  if (level < 0) ++reinterpret_cast<ErrorState*>(cinfo->err)->warnings;
}
inline void InstallErrors(ErrorState& e) {
  jpeg_std_error(&e.mgr);
  e.mgr.error_exit = ThrowError;
  e.mgr.emit_message = CountWarning;
}

struct Decoded {
  Picture picture;
  int warnings = 0;
  bool progressive = false;
  int components = 0;
};

// Decodes with the accurate integer IDCT; `fancy` selects libjpeg's triangle upsampling.
inline Decoded Decode(const std::vector<uint8_t>& file, bool fancy = true) {
  jpeg_decompress_struct cinfo;
  ErrorState errors;
  InstallErrors(errors);
  cinfo.err = &errors.mgr;
  jpeg_create_decompress(&cinfo);
  Decoded out;
  try {
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    out.progressive = jpeg_has_multiple_scans(&cinfo);
    out.components = cinfo.num_components;
    cinfo.out_color_space = JCS_EXT_BGR;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = fancy ? TRUE : FALSE;
    jpeg_start_decompress(&cinfo);
    out.picture.width = static_cast<int>(cinfo.output_width);
    out.picture.height = static_cast<int>(cinfo.output_height);
    out.picture.bgr.resize(static_cast<size_t>(out.picture.width) * static_cast<size_t>(out.picture.height) * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = out.picture.bgr.data() + static_cast<size_t>(cinfo.output_scanline) * out.picture.width * 3;
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
  } catch (...) {
    jpeg_destroy_decompress(&cinfo);
    throw;
  }
  jpeg_destroy_decompress(&cinfo);
  out.warnings = errors.warnings;
  return out;
}

struct EncodeSettings {
  const uint8_t* luminance = nullptr;    // natural order; null: libjpeg's quality 75 tables
  const uint8_t* chrominance = nullptr;
  int hLuma = 1, vLuma = 1;              // luminance sampling (chroma stays 1x1)
  bool progressive = false;
  bool greyscale = false;
  bool rgb = false;                      // store R, G, B without conversion (Adobe transform 0)
  int restartInterval = 0;               // in MCUs
  bool extraMarkers = false;             // a COM and an EXIF APP1 segment
};

inline std::vector<uint8_t> Encode(const Picture& p, const EncodeSettings& s = {}) {
  jpeg_compress_struct cinfo;
  ErrorState errors;
  InstallErrors(errors);
  cinfo.err = &errors.mgr;
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<uint8_t> grey;
  try {
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(p.width);
    cinfo.image_height = static_cast<JDIMENSION>(p.height);
    cinfo.input_components = s.greyscale ? 1 : 3;
    cinfo.in_color_space = s.greyscale ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    if (s.rgb) jpeg_set_colorspace(&cinfo, JCS_RGB);
    cinfo.dct_method = JDCT_ISLOW;
    if (s.luminance) {
      unsigned int table[64];
      for (int i = 0; i < 64; ++i) table[i] = s.luminance[i];
      jpeg_add_quant_table(&cinfo, 0, table, 100, TRUE);
      for (int i = 0; i < 64; ++i) table[i] = s.chrominance[i];
      jpeg_add_quant_table(&cinfo, 1, table, 100, TRUE);
    }
    if (!s.greyscale) {
      cinfo.comp_info[0].h_samp_factor = s.hLuma;
      cinfo.comp_info[0].v_samp_factor = s.vLuma;
      for (int c = 1; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    }
    if (s.progressive) jpeg_simple_progression(&cinfo);
    cinfo.restart_interval = static_cast<unsigned>(s.restartInterval);
    jpeg_start_compress(&cinfo, TRUE);
    if (s.extraMarkers) {
      const char comment[] = "made for a test";
      jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment), sizeof comment - 1);
      const unsigned char exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0};
      jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif, sizeof exif);
    }
    if (s.greyscale) {
      grey.resize(static_cast<size_t>(p.width));
    }
    while (cinfo.next_scanline < cinfo.image_height) {
      const uint8_t* src = p.Row(static_cast<int>(cinfo.next_scanline));
      JSAMPROW row;
      if (s.greyscale) {
        for (int x = 0; x < p.width; ++x) grey[static_cast<size_t>(x)] = src[3 * x + 1];
        row = grey.data();
      } else {
        row = const_cast<JSAMPROW>(src);
      }
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
  } catch (...) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    throw;
  }
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

inline double Psnr(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height) return 0.0;
  double sum = 0.0;
  for (size_t i = 0; i < a.bgr.size(); ++i) {
    double d = static_cast<double>(a.bgr[i]) - static_cast<double>(b.bgr[i]);
    sum += d * d;
  }
  double mse = sum / static_cast<double>(a.bgr.size());
  return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

inline int MaxDifference(const Picture& a, const Picture& b) {
  int worst = 0;
  for (size_t i = 0; i < a.bgr.size() && i < b.bgr.size(); ++i)
    worst = std::max(worst, std::abs(static_cast<int>(a.bgr[i]) - static_cast<int>(b.bgr[i])));
  return worst;
}

// Something like a rendered Plaquet: a vertical gradient backdrop, a soft shadow and hard-edged,
// anti-aliased letter strokes in two colours.
inline Picture RenderedLike(int width, int height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.bgr.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* px = p.bgr.data() + (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
      double t = height > 1 ? static_cast<double>(y) / (height - 1) : 0.0;
      double b = 200 - 120 * t, g = 120 + 60 * t, r = 40 + 30 * t;
      // Strokes: rings and bars every 40 pixels, with a one-pixel soft edge.
      double cx = (x % 40) - 20.0, cy = (y % 50) - 25.0;
      double ring = std::fabs(std::sqrt(cx * cx + cy * cy) - 12.0);
      double bar = std::fabs(cx) < 3.0 && std::fabs(cy) < 18.0 ? 0.0 : 10.0;
      double stroke = std::clamp(3.5 - std::min(ring, bar), 0.0, 1.0);
      double shadowDistance = std::fabs(std::sqrt((cx - 4) * (cx - 4) + (cy - 4) * (cy - 4)) - 12.0);
      double shadow = std::clamp(1.0 - shadowDistance / 8.0, 0.0, 1.0) * 0.6;
      b *= 1 - shadow, g *= 1 - shadow, r *= 1 - shadow;
      bool gold = (x / 40 + y / 50) % 2 == 0;
      double sb = gold ? 30 : 250, sg = gold ? 200 : 250, sr = gold ? 250 : 255;
      px[0] = static_cast<uint8_t>(b + (sb - b) * stroke);
      px[1] = static_cast<uint8_t>(g + (sg - g) * stroke);
      px[2] = static_cast<uint8_t>(r + (sr - r) * stroke);
    }
  return p;
}

}  // namespace jpegpeer
