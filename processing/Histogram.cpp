#include "processing/Histogram.h"

#include <cstdio>

namespace nyxel {

HistogramPicture BuildHistogramPicture(const std::array<uint32_t, kHistogramBins>& counts) {
  HistogramPicture p;
  p.lines.reserve(2 + 8 + 256);
  p.lines.push_back({5, 5, 5, 213, HistogramPen::Axis});
  p.lines.push_back({5, 213, 263, 213, HistogramPen::Axis});
  for (int x = 40; x <= 264; x += 32) {
    const int bottom = x == 136 ? 224 : (x == 72 || x == 200) ? 220 : 217;
    p.lines.push_back({x, 213, x, bottom, HistogramPen::Axis});
  }

  p.text = "val   count\n";
  int listed = 0;
  for (int i = 0; i < 256; ++i) {
    uint32_t h = counts[i] / 5;
    if (h > kHistogramBarLimit) {
      if (listed < kHistogramListLimit) {
        char line[32];
        std::snprintf(line, sizeof line, "%03d  %6ld\n", i, static_cast<long>(h) * 5);
        p.text += line;
        ++listed;
      }
      h = kHistogramBarLimit;
      p.red[i] = true;
    }
    p.heights[i] = static_cast<int>(h);
    // The line from the base up to 210 - h covers h pixels.
    if (h > 0) {
      const int x = i + kHistogramBarX;
      p.lines.push_back({x, kHistogramBaseY, x, kHistogramBaseY - static_cast<int>(h) + 1,
                         p.red[i] ? HistogramPen::Red : HistogramPen::Bar});
    }
  }
  return p;
}

}  // namespace nyxel
