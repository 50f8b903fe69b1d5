#pragma once
// Colours as users type them: "#rrggbb", "#rgb", "rgb(r,g,b)" (0..255 each) or a CSS colour name,
// case and surrounding blanks ignored.
#include <cstdint>
#include <optional>
#include <string_view>

// The colour as a COLORREF (0x00BBGGRR), or nothing when the text is not a colour.
std::optional<int32_t> ParseColourText(std::string_view text);
