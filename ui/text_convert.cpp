#include "ui/text_convert.h"

#include <algorithm>
#include <cstdlib>

#include "document/text_encoding.h"

QString ToEditText(const std::string& text) {
  QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
  s.replace("\r\n", "\n");
  return s;
}

std::string FromEditText(const QString& text, size_t limit) {
  const QByteArray bytes = text.toUtf8();
  std::string out;
  for (qsizetype i = 0; i < bytes.size();) {
    const char c = bytes[i];
    if (c == '\r') {
      ++i;
      continue;
    }
    if (c == '\n') {
      if (out.size() + 2 > limit) break;
      out += "\r\n";
      ++i;
      continue;
    }
    // A character whole or not at all: its lead byte and the continuation bytes after it.
    qsizetype end = i + 1;
    while (end < bytes.size() && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) ++end;
    if (out.size() + size_t(end - i) > limit) break;
    out.append(bytes.constData() + i, size_t(end - i));
    i = end;
  }
  return out;
}

QFont LogFontToQFont(const LogFont& lf) {
  QFont font(QString::fromStdString(lf.faceName));
  font.setPixelSize(std::max(1, lf.height != 0 ? std::abs(lf.height) : 20));
  font.setWeight(QFont::Weight(std::clamp(lf.weight > 0 ? int(lf.weight) : 400, 100, 900)));
  font.setItalic(lf.italic != 0);
  return font;
}

LogFont QFontToLogFont(const QFont& font, const LogFont& base) {
  LogFont lf = base;
  const std::string family = font.family().toStdString();
  lf.faceName = family.substr(0, Utf8CutPoint(family, LogFont::kMaxFaceName));
  int px = font.pixelSize();
  if (px <= 0 && font.pointSizeF() > 0) px = int(font.pointSizeF() * 96.0 / 72.0 + 0.5);
  if (px > 0) lf.height = px;
  lf.width = 0;  // the face's natural width at the new height
  lf.weight = std::clamp(int(font.weight()), 100, 900);
  lf.italic = font.italic() ? 1 : 0;
  return lf;
}
