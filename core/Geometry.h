#pragma once
// The camera's frame geometry, shared by every folder.
#include <cstddef>

namespace nyxel {

inline constexpr int kFrameWidth = 512;     // pixels per row and the row stride of every array
inline constexpr int kFrameHeight = 290;    // rows of a raw frame
inline constexpr int kFramePixels = 148480; // 512 x 290
inline constexpr int kFrameElements = 148484;  // 16-bit frames carry 4 spare elements nothing reads
inline constexpr int kPlaneBytes = 148481;     // 8-bit planes carry 1 spare byte
inline constexpr int kRvHeight = 373;          // rows of the RV-geometry picture
inline constexpr float kRvScale = 1.2862068f;  // 373 / 290 in single precision
inline constexpr int kFocusSize = 128;         // the focus and guide window is 128 x 128
inline constexpr int kFocusPixels = kFocusSize * kFocusSize;
inline constexpr int kHeaderRows = 10;         // rows 0..9 hold the label banner of a labelled frame
inline constexpr int kHeaderPixels = kHeaderRows * kFrameWidth;  // 5,120
inline constexpr int kSaturatedPixel = 65500;  // pixels at or above count as saturated where it matters

inline constexpr int PixelIndex(int row, int column) { return row * kFrameWidth + column; }

}  // namespace nyxel
