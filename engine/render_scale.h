#pragma once
// Rendering a document at another size: the scaled copy of a document, and the area-average
// reduction a supersampled render ends with.
#include <string>
#include <vector>

#include "document/plaquet_document.h"
#include "imaging/dib_image.h"
#include "imaging/transparency.h"

inline constexpr double kMinRenderScale = 1.0;
inline constexpr double kMaxRenderScale = 4.0;
inline constexpr int kMaxSupersample = 4;

// Multiplies every parameter the catalogue marks as a pixel length by s and divides every
// per-pixel one by s (rounded to the nearest stored step, per-pixel ones at least 1).
void ScaleEffectRecords(std::vector<EffectRecord>& effects, double s);
// The document at s times its size: fonts, margins, the fixed round box, item boxes and effects.
PlaquetDocument ScaledDocument(const PlaquetDocument& doc, double s);
// Whether an item runs an effect that draws from the random sequence (Space, Random Dot).
bool HasRandomEffects(const PlaquetDocument& doc);
// "2" for 2, "1.5" for 1.5: how a scale is written in names and messages.
std::string ScaleText(double s);

// Each target pixel the mean of the source area it covers (fractional ratios weigh the partly
// covered pixels). A 24-bit picture; an empty one when memory cannot be had.
DibImage AreaAverage(const DibImage& source, int width, int height);
// The same with straight alpha: colours are averaged weighted by their alpha.
RgbaPicture AreaAverage(const RgbaPicture& source, int width, int height);
