#pragma once
// The right edge of the picture. A frame is 512 columns wide but the camera's picture only 510:
// columns 510 and 511 keep whatever was there before. A neighbourhood that reaches them from a pixel
// of the picture reads the columns mirrored about column 509 instead (510 -> 508, 511 -> 507), which
// also keeps the colour mosaic's phase. Pixels in columns 510 and 511 themselves are computed as ever.
#include "core/Geometry.h"

namespace nyxel {

inline constexpr int kPictureColumns = 510;
inline constexpr int kLastPictureColumn = kPictureColumns - 1;

// The column a picture pixel's neighbourhood reads in place of column c (c <= 511).
constexpr int PictureColumn(int c) {
  return c <= kLastPictureColumn ? c : 2 * kLastPictureColumn - c;
}

// The first picture column whose radius-r neighbourhood reaches column 510.
constexpr int FirstEdgeColumn(int radius) {
  return kPictureColumns - radius;
}

// The last column a radius-r filter computes: 509, or 511 - r when its window would leave the frame.
constexpr int LastEdgeColumn(int radius) {
  return kLastPictureColumn < kFrameWidth - 1 - radius ? kLastPictureColumn : kFrameWidth - 1 - radius;
}

}  // namespace nyxel
