#pragma once
// The right edge of the picture. A frame is 512 columns wide but the camera's picture only 510:
// columns 510 and 511 keep whatever was there before. A neighbourhood that reaches them from a pixel
// of the picture reads the columns mirrored about column 509 instead (510 -> 508, 511 -> 507), which
// also keeps the colour mosaic's phase. Pixels in columns 510 and 511 themselves are computed as ever.
#include <array>

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

// While a filter reads `image`, its columns 510 and 511 hold the mirror of columns 508 and 507, so every
// kernel path computes the last picture columns alike and as fast as the rest; the columns go back when
// it ends. A filter that computes column 510 itself takes its window from Saved().
template <typename Image>
class MirroredEdge {
 public:
  explicit MirroredEdge(Image& image) : image_(image) {
    for (int y = 0; y < kFrameHeight; ++y) {
      for (int k = 0; k < 2; ++k) {
        saved_[y][k] = image_[PixelIndex(y, kPictureColumns + k)];
        image_[PixelIndex(y, kPictureColumns + k)] =
            image_[PixelIndex(y, PictureColumn(kPictureColumns + k))];
      }
    }
  }
  ~MirroredEdge() {
    for (int y = 0; y < kFrameHeight; ++y) {
      for (int k = 0; k < 2; ++k) image_[PixelIndex(y, kPictureColumns + k)] = saved_[y][k];
    }
  }
  MirroredEdge(const MirroredEdge&) = delete;
  MirroredEdge& operator=(const MirroredEdge&) = delete;

  // What column 510 or 511 of `row` held.
  int Saved(int row, int column) const { return saved_[row][column - kPictureColumns]; }

 private:
  Image& image_;
  std::array<std::array<typename Image::value_type, 2>, kFrameHeight> saved_;
};

}  // namespace nyxel
