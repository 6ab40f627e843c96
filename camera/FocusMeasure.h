#pragma once
// The size of the brightest star in the 128 x 128 focus window: its half-flux radius and full width at
// half maximum, measured on the window with its background taken off, so the user can focus on the
// star's size rather than on one pixel's value.
#include <array>

#include "core/ImageStore.h"

namespace nyxel {

struct StarSize {
  bool found = false;  // false: no star stands out of the background
  double hfr = 0;      // pixels: the radius that holds half the star's light
  double fwhm = 0;     // pixels: the width of the Gaussian with the star's second moments
};

// Measures the window held packed at the start of `window` (128 pixels a row), before any palette
// stretch. The star is the one the "Max Value" rule finds (at least two rows tall, so a hot pixel never
// wins); single hot pixels near it are replaced by their neighbours, and the colour mosaic's four filter
// phases are brought to one level from the star's own light before the size is measured.
StarSize MeasureWindowStar(const Frame& window);

// The last frames' sizes, oldest first, for the trend plot beside "Max Value".
inline constexpr int kFocusTrendFrames = 30;
struct FocusTrend {
  std::array<StarSize, kFocusTrendFrames> frames{};
  int count = 0;  // frames held, up to kFocusTrendFrames
  void Add(const StarSize& size);
  void Clear() { count = 0; }
  const StarSize& operator[](int i) const { return frames[i]; }
};

}  // namespace nyxel
