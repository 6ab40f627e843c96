#pragma once
// The histogram window's picture as data: axis, ticks, one bar per display value, and the list of
// truncated values beside it.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ImageStore.h"

namespace nyxel {

inline constexpr int kHistogramBarLimit = 210;  // bar height in pixels; one pixel stands for 5 counts
inline constexpr int kHistogramListLimit = 15;  // truncated values listed
inline constexpr int kHistogramBaseY = 210;     // bars rise from here
inline constexpr int kHistogramBarX = 8;        // bar of value i at x = i + 8
inline constexpr int kHistogramTextLeft = 270, kHistogramTextTop = 2;
inline constexpr int kHistogramTextRight = 350, kHistogramTextBottom = 270;

inline constexpr std::string_view kHistogramHelpCaption = "Tesswin - Display Histogram";
inline constexpr std::string_view kHistogramHelpText =
    "This shows a histogram of the values in the current main window. The horizontal scale represents "
    "values from black (0) to white (256), whilst the vertical scale shows the number of pixels with a "
    "particular value. The vertical scale goes from 0 to 1000, where there are more than 1000 pixels with "
    "the same value the line is truncated and shown in red.\n\nThe first 15 values where the pixel count "
    "exceeds 1000 are also listed next to the Histogram\n\nShort key - CTL+H";

enum class HistogramPen { Axis, Bar, Red };

// A one-pixel line from (x0, y0) to (x1, y1), both ends drawn.
struct HistogramLine {
  int x0, y0, x1, y1;
  HistogramPen pen;
};

struct HistogramPicture {
  std::array<int, 256> heights{};    // bar heights in pixels, 0..210
  std::array<bool, 256> red{};       // truncated bars
  std::string text;                  // HistogramText
  std::vector<HistogramLine> lines;  // axis, ticks and the bars of non-zero height
};

// Builds the picture of the 256 display counts (DisplayHistogram).
HistogramPicture BuildHistogramPicture(const std::array<uint32_t, kHistogramBins>& counts);

}  // namespace nyxel
