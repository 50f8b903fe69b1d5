#include "app/output_record.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "engine/render_scale.h"
#include "raster/engine_context.h"

std::vector<OutputRecord> RecordsForWrittenFiles(const std::vector<std::string>& names, const EngineContext& ctx,
                                                 const SaveSettings& settings, size_t index, const std::string& text) {
  std::vector<OutputRecord> out;
  for (size_t i = 0; i < names.size(); ++i) {
    OutputRecord r;
    r.index = index;
    // Line breaks as users write them, not as the document stores them.
    for (size_t k = 0; k < text.size(); ++k)
      if (!(text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n')) r.text += text[k];
    r.path = names[i];
    r.pressed = i > 0;
    const DibImage& picture = r.pressed ? ctx.pressedImage : ctx.image;
    r.width = picture.Width();
    r.height = picture.Height();
    std::error_code ec;
    const auto size = std::filesystem::file_size(names[i], ec);
    r.bytes = ec ? -1 : int64_t(size);
    r.type = ImageFileTypeName(settings.type);
    out.push_back(std::move(r));
  }
  return out;
}

std::vector<OutputRecord> RecordsForWrittenFiles(const std::vector<WrittenFile>& files, const SaveSettings& settings,
                                                 size_t index, const std::string& text) {
  std::vector<OutputRecord> out;
  for (const WrittenFile& f : files) {
    OutputRecord r;
    r.index = index;
    for (size_t k = 0; k < text.size(); ++k)
      if (!(text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n')) r.text += text[k];
    r.path = f.name;
    r.pressed = f.pressed;
    r.scale = f.scale;
    r.width = f.width;
    r.height = f.height;
    std::error_code ec;
    const auto size = std::filesystem::file_size(f.name, ec);
    r.bytes = ec ? -1 : int64_t(size);
    r.type = ImageFileTypeName(settings.type);
    out.push_back(std::move(r));
  }
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

std::string RecordsToJson(const std::vector<OutputRecord>& records) {
  std::string out = "[";
  for (size_t i = 0; i < records.size(); ++i) {
    const OutputRecord& r = records[i];
    out += i ? ",\n " : "\n ";
    out += "{\"index\": " + std::to_string(r.index) + ", \"text\": " + JsonString(r.text) +
           ", \"path\": " + (r.path ? JsonString(*r.path) : std::string("null")) +
           ", \"width\": " + std::to_string(r.width) + ", \"height\": " + std::to_string(r.height) +
           ", \"bytes\": " + std::to_string(r.bytes) + ", \"type\": " + JsonString(r.type) +
           ", \"pressed\": " + (r.pressed ? "true" : "false") + ", \"scale\": " + ScaleText(r.scale) + "}";
  }
  return out + (records.empty() ? "]\n" : "\n]\n");
}
