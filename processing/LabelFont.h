#pragma once
// The 8 x 10 font the label banner is drawn in.
#include <array>
#include <cstdint>

namespace nyxel {

inline constexpr int kGlyphWidth = 8;
inline constexpr int kGlyphHeight = 10;

// One byte a row, top row first; the highest bit is the leftmost pixel.
using Glyph = std::array<uint8_t, kGlyphHeight>;

// The glyph of c (A-Z, a-z, 0-9, '/', ' ', '-', ':'), or nullptr for a character the font lacks.
const Glyph* LabelGlyph(char c);

}  // namespace nyxel
