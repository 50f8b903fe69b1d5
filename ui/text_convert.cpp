#include "ui/text_convert.h"

#include <algorithm>
#include <cstdlib>

QString ToEditText(const std::string& text) {
  QString s = QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
  s.replace("\r\n", "\n");
  return s;
}

std::string FromEditText(const QString& text, size_t limit) {
  const QByteArray bytes = text.toLocal8Bit();
  std::string out;
  for (char c : bytes) {
    if (c == '\r') continue;
    if (c == '\n') {
      if (out.size() + 2 > limit) break;
      out += "\r\n";
    } else {
      if (out.size() + 1 > limit) break;
      out += c;
    }
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
  lf.faceName = font.family().toStdString().substr(0, LogFont::kMaxFaceName);
  int px = font.pixelSize();
  if (px <= 0 && font.pointSizeF() > 0) px = int(font.pointSizeF() * 96.0 / 72.0 + 0.5);
  if (px > 0) lf.height = px;
  lf.width = 0;  // the face's natural width at the new height
  lf.weight = std::clamp(int(font.weight()), 100, 900);
  lf.italic = font.italic() ? 1 : 0;
  return lf;
}
