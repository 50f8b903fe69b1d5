#pragma once
// Conversions between the document's texts and fonts and their Qt forms.
#include <QFont>
#include <QString>
#include <string>

#include "document/log_font.h"

// Document texts are UTF-8 and break lines with CR LF; the edit boxes break them with LF.
QString ToEditText(const std::string& text);
// To UTF-8; LF becomes CR LF; cut within limit bytes without splitting a character or a CR LF
// pair.
std::string FromEditText(const QString& text, size_t limit);

// Qt weights 100..900 and LOGFONT weights share one scale; 0 (default) is normal.
QFont LogFontToQFont(const LogFont& lf);
// Face, pixel height, weight and italic from the font; the other fields stay as in base.
LogFont QFontToLogFont(const QFont& font, const LogFont& base);
