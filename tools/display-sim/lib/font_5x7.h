// The display's character generator: 5 x 7 dot glyphs for the printable ASCII range.
#pragma once

#include <array>
#include <cstdint>

namespace displaysim {

// Five columns, left to right; bit 0 of a column is its top dot. Characters outside
// 0x20..0x7E get a hollow box, so that an unsupported character shows as one on the picture.
using Glyph = std::array<uint8_t, 5>;
const Glyph& GlyphOf(char32_t c);

}  // namespace displaysim
