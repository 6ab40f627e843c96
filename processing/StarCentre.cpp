#include "processing/StarCentre.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "core/Geometry.h"
#include "processing/PictureEdge.h"

namespace nyxel {
namespace {

inline constexpr int kBins = 4096;  // 16 values a bin
inline constexpr int kTopBin = 4014;

// Background from the most crowded bin (the lowest on ties); a box brighter than bin 4014 almost
// everywhere has no usable background.
int Background(std::span<const uint16_t> frame, int stride, int left, int top, int n, int columns) {
  std::array<int, kBins> bins{};
  for (int r = 0; r < n; ++r) {
    const uint16_t* p = &frame[static_cast<size_t>(top + r) * stride + left];
    for (int c = 0; c < columns; ++c) ++bins[p[c] / 16];
  }
  int f = 0;
  for (int b = 1; b < kBins; ++b) {
    if (bins[b] > bins[f]) f = b;
  }
  return f > kTopBin ? 65535 : static_cast<int>(f * 16.32);
}

}  // namespace

bool FindStarCentre(const ImageStore& store, Host& host, int x, int y, std::span<const uint16_t> frame,
                    int radius, const StarSearch& search, StarCentre& centre) {
  const bool window = search.guiding || store.FocusMode;
  const int width = window ? kFocusSize : kFrameWidth;
  const int height = window ? kFocusSize : kFrameHeight;
  // A negative radius or a frame smaller than its geometry is refused like a box off the edge rather
  // than read out of bounds.
  if (radius < 0 || x - radius < 0 || y - radius < 0 || x + radius + 1 > width || y + radius + 1 > height ||
      frame.size() < static_cast<size_t>(width) * height) {
    host.MessageBox(kFindCentreOutside, kFindCentreCaption);
    return false;
  }

  const int n = 2 * radius + 1;
  const int left = x - radius;
  const int top = y - radius;
  // Columns 510 and 511 of a camera frame hold no picture: a box reaching them reads only the
  // picture's columns (a mark beyond the picture finds nothing there).
  const int columns = window ? n : std::min(n, kPictureColumns - left);
  if (columns <= 0) {
    host.MessageBox(kFindCentreOutside, kFindCentreCaption);
    return false;
  }
  int maximum = 0;
  for (int r = 0; r < n; ++r) {
    const uint16_t* p = &frame[static_cast<size_t>(top + r) * width + left];
    for (int c = 0; c < columns; ++c) maximum = p[c] > maximum ? p[c] : maximum;
  }
  const int background = Background(frame, width, left, top, n, columns);
  if (maximum <= background) {
    if (!store.SelfGuideNext) host.MessageBox(kFindCentreNothing, kFindCentreCaption);
    return false;
  }

  // Stretch the part above the background to the full 16-bit range, then weight every pixel by how
  // far it stands above the mean of the stretched box.
  const int64_t k = 65535 / (maximum - background);
  auto scaled = [&](int v) -> int64_t { return v > background ? (v - background) * k : 0; };
  int64_t sum = 0;
  for (int r = 0; r < n; ++r) {
    const uint16_t* p = &frame[static_cast<size_t>(top + r) * width + left];
    for (int c = 0; c < columns; ++c) sum += scaled(p[c]);
  }
  const int64_t mean = sum / (static_cast<int64_t>(n) * columns);
  int64_t w = 1, sr = 1, sc = 1;
  for (int r = 0; r < n; ++r) {
    const uint16_t* p = &frame[static_cast<size_t>(top + r) * width + left];
    for (int c = 0; c < columns; ++c) {
      const int64_t d = scaled(p[c]) - mean;
      if (d < 1) continue;
      w += d;
      sr += d * r;
      sc += d * c;
    }
  }
  const double cx = static_cast<double>(sc) / static_cast<double>(w);
  const double cy = static_cast<double>(sr) / static_cast<double>(w);

  StarCentre found;
  if (!search.ignore_small_drift && (store.SelfGuideNext || search.guiding)) {
    const int whole_x = static_cast<int>(cx);
    const int whole_y = static_cast<int>(cy);
    found.column = left + whole_x;
    found.row = top + whole_y;
    found.column_tenths = static_cast<int>(10 * cx) - 10 * whole_x;
    found.row_tenths = static_cast<int>(10 * cy) - 10 * whole_y;
  } else {
    found.column = left + static_cast<int>(cx + 0.5);
    found.row = top + static_cast<int>(cy + 0.5);
  }
  centre = found;
  return true;
}

}  // namespace nyxel
