#pragma once
// The platform's rounded-rectangle primitive with a white 1-pixel pen and a white brush:
// right and bottom edges exclusive, corners an ellipse of ellipseW x ellipseH.
#include <cstdint>

namespace platform {

// rows: entry 0 = top row; lit pixels get 255 in each of the bytesPerPixel bytes.
void FillRoundRect(uint8_t* const* rows, int targetWidth, int targetHeight, int bytesPerPixel,
                   int left, int top, int right, int bottom, int ellipseW, int ellipseH);

}  // namespace platform
