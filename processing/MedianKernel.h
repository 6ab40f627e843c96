#pragma once
// The median of every (2r + 1)^2 window along one row, on the path ActiveSimdPath() chooses.
#include <cstdint>

namespace nyxel {

// Conditional median of row y of the 512-wide 16-bit frame `src` into `dst`, columns r .. 511 - r:
// a pixel becomes its window's median when |median - pixel| > (max - min) x power / 10 (integers,
// truncated), with min starting at 65,000; otherwise dst gets the pixel itself. Radius 1..3,
// rows r .. 289 - r.
void ConditionalMedianRow(const uint16_t* src, uint16_t* dst, int radius, int y, int power_tenths);

// Plain 5 x 5 median of row y of the 512-wide 8-bit plane `src` into `dst`, columns first .. last
// (2 <= first, last <= 509), rows 2 .. 287.
void Median5Row(const uint8_t* src, uint8_t* dst, int y, int first, int last);

}  // namespace nyxel
