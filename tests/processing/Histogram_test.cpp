#include "processing/Histogram.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace nyxel {
namespace {

std::vector<HistogramLine> Bars(const HistogramPicture& p) {
  std::vector<HistogramLine> bars;
  for (const auto& l : p.lines)
    if (l.pen != HistogramPen::Axis) bars.push_back(l);
  return bars;
}

TEST(HistogramTest, BarsAreCutAt210AndTheFirstFifteenAreListed) {
  struct Case {
    uint32_t count;
    int height;
    bool red;
    const char* listed;  // line of the text for value 7, or nullptr when not listed
  };
  const Case cases[] = {
      {0, 0, false, nullptr},
      {4, 0, false, nullptr},
      {5, 1, false, nullptr},
      {1054, 210, false, nullptr},
      {1055, 210, true, "007    1055\n"},
      {1059, 210, true, "007    1055\n"},
      {1060, 210, true, "007    1060\n"},
      {4000000000u, 210, true, "007  4000000000\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    std::array<uint32_t, kHistogramBins> counts{};
    counts[7] = c.count;
    const HistogramPicture p = BuildHistogramPicture(counts);
    EXPECT_EQ(p.heights[7], c.height);
    EXPECT_EQ(p.red[7], c.red);
    EXPECT_EQ(p.text, std::string("val   count\n") + (c.listed ? c.listed : ""));
    const auto bars = Bars(p);
    if (c.height == 0) {
      EXPECT_TRUE(bars.empty());
    } else {
      ASSERT_EQ(bars.size(), 1u);
      EXPECT_EQ(bars[0].x0, 15);
      EXPECT_EQ(bars[0].x1, 15);
      EXPECT_EQ(bars[0].y0, 210);
      EXPECT_EQ(bars[0].y0 - bars[0].y1 + 1, c.height);  // pixels covered
      EXPECT_EQ(bars[0].pen, c.red ? HistogramPen::Red : HistogramPen::Bar);
    }
  }
}

TEST(HistogramTest, SixteenthTruncatedValueIsRedButNotListed) {
  std::array<uint32_t, kHistogramBins> counts{};
  for (int i = 0; i < 16; ++i) counts[10 + 3 * i] = 2000 + i;
  counts[255] = 1000;
  counts[256] = 99999;  // the spare bin is never drawn
  const HistogramPicture p = BuildHistogramPicture(counts);
  std::string expected = "val   count\n";
  for (int i = 0; i < 15; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "%03d  %6d\n", 10 + 3 * i, (2000 + i) / 5 * 5);
    expected += line;
  }
  EXPECT_EQ(p.text, expected);
  EXPECT_TRUE(p.red[55]);
  EXPECT_EQ(p.heights[55], 210);
  EXPECT_EQ(std::count(p.red.begin(), p.red.end(), true), 16);
  EXPECT_EQ(p.heights[255], 200);
  const auto bars = Bars(p);
  ASSERT_EQ(bars.size(), 17u);
  EXPECT_EQ(bars.back().x0, 263);
}

TEST(HistogramTest, AxisAndTicks) {
  const HistogramPicture p = BuildHistogramPicture({});
  std::vector<std::array<int, 4>> axis;
  for (const auto& l : p.lines) axis.push_back({l.x0, l.y0, l.x1, l.y1});
  const std::vector<std::array<int, 4>> expected = {
      {5, 5, 5, 213},       {5, 213, 263, 213},   {40, 213, 40, 217},   {72, 213, 72, 220},
      {104, 213, 104, 217}, {136, 213, 136, 224}, {168, 213, 168, 217}, {200, 213, 200, 220},
      {232, 213, 232, 217}, {264, 213, 264, 217},
  };
  EXPECT_EQ(axis, expected);
}

}  // namespace
}  // namespace nyxel
