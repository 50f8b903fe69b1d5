#pragma once
// A DibImage (24-bit, or 8-bit with its colour table) as a QImage of its own (deep copy).
#include <QImage>

class DibImage;

QImage DibToQImage(const DibImage& image);
struct RgbaPicture;
// A picture with straight alpha as an ARGB QImage (a deep copy).
QImage RgbaToQImage(const RgbaPicture& picture);
