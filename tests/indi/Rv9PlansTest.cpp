#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "indi/Rv9Plans.h"
#include "telescope/Guiding.h"

namespace nyxel {
namespace {

TEST(Rv9Plans, ExposureTakesTheFinestUnitThatHoldsIt) {
  struct Case {
    double asked;
    bool ok;
    char unit;
    int value;
    double taken;
  };
  const Case cases[] = {
      {0.001, true, 'q', 1, 0.001}, {0.0004, false, 0, 0, 0},      {0.1234, true, 'q', 123, 0.123},
      {0.5, true, 'q', 500, 0.5},   {0.5004, true, 'q', 500, 0.5}, {0.503, true, 'h', 50, 0.5},
      {0.506, true, 'h', 51, 0.51}, {2, true, 'h', 200, 2},        {5, true, 'h', 500, 5},
      {5.04, true, 't', 50, 5},     {7.25, true, 't', 73, 7.3},    {10, true, 't', 100, 10},
      {10.2, true, 's', 10, 10},    {299.6, true, 's', 300, 300},  {300.4, true, 's', 300, 300},
      {301, true, 'm', 5, 300},     {400, true, 'm', 7, 420},      {5400, true, 'm', 90, 5400},
      {5401, false, 0, 0, 0},       {-1, false, 0, 0, 0},          {NAN, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    ExposurePlan plan;
    plan.unit = '?';
    ASSERT_EQ(PlanExposure(c.asked, plan), c.ok) << c.asked;
    if (!c.ok) {
      EXPECT_EQ(plan.unit, '?') << "a refused request leaves the plan alone: " << c.asked;
      continue;
    }
    EXPECT_EQ(plan.unit, c.unit) << c.asked;
    EXPECT_EQ(plan.value, c.value) << c.asked;
    EXPECT_DOUBLE_EQ(plan.seconds, c.taken) << c.asked;
    EXPECT_EQ(plan.ms, static_cast<int>(std::lround(c.taken * 1000))) << c.asked;
  }
}

TEST(Rv9Plans, SubframesReadAsWindowOrCroppedFromTheFrame) {
  struct Case {
    int x, y, w, h;
    bool valid;
    bool window;
  };
  const Case cases[] = {
      {0, 0, 510, 290, true, false},    {186, 58, 128, 128, true, true}, {0, 0, 128, 128, true, true},
      {382, 162, 128, 128, true, true}, {10, 20, 100, 50, true, false},  {383, 0, 128, 128, false, false},
      {0, 163, 128, 128, false, false}, {-1, 0, 10, 10, false, false},   {0, 0, 0, 10, false, false},
      {509, 289, 1, 1, true, false},    {0, 0, 511, 290, false, false},
  };
  // Every pixel knows where it came from.
  auto frame = std::make_unique<Frame>();
  for (int r = 0; r < kFrameHeight; ++r)
    for (int c = 0; c < kFrameWidth; ++c) (*frame)[PixelIndex(r, c)] = static_cast<uint16_t>(r * 512 + c);
  for (const Case& c : cases) {
    ASSERT_EQ(SubframeValid(c.x, c.y, c.w, c.h), c.valid) << c.x << "," << c.y << " " << c.w << "x" << c.h;
    if (!c.valid) continue;
    const ReadoutPlan plan = PlanReadout(c.x, c.y, c.w, c.h);
    ASSERT_EQ(plan.window, c.window) << c.x << "," << c.y;
    std::vector<uint16_t> out(static_cast<size_t>(c.w) * c.h, 0xDEAD);
    CopySubframe(*frame, plan, c.x, c.y, c.w, c.h, out.data());
    if (plan.window) {
      // The window as guiding places it on a star at the sub-frame's centre.
      const GuideWindowPlacement p = PlaceGuideWindowFor(c.x + 64, c.y + 64);
      EXPECT_EQ(plan.focus_x, p.window_x);
      EXPECT_EQ(plan.focus_y, p.window_y);
      // The window readout lands 128 wide at the start of the frame.
      for (int i = 0; i < kFocusPixels; ++i) ASSERT_EQ(out[i], (*frame)[i]) << i;
      continue;
    }
    for (int r = 0; r < c.h; ++r)
      for (int col = 0; col < c.w; ++col)
        ASSERT_EQ(out[static_cast<size_t>(r) * c.w + col], static_cast<uint16_t>((c.y + r) * 512 + c.x + col))
            << r << "," << col;
  }
  // The middle of the chip: the corner 4 columns left and 6 rows down of the sub-frame's.
  const ReadoutPlan middle = PlanReadout(186, 58, 128, 128);
  EXPECT_EQ(middle.focus_x, 182);
  EXPECT_EQ(middle.focus_y, 64);
}

TEST(Rv9Plans, ColourCubeIsRedThenGreenThenBlue) {
  auto store = ImageStore::Create();
  for (int r = 0; r < kFrameHeight; ++r) {
    for (int c = 0; c < kFrameWidth; ++c) {
      store->RedPlane[PixelIndex(r, c)] = static_cast<uint8_t>(r + c);
      store->GreenPlane[PixelIndex(r, c)] = static_cast<uint8_t>(r * 3 + c);
      store->BluePlane[PixelIndex(r, c)] = static_cast<uint8_t>(r + c * 7);
    }
  }
  const int x = 3, y = 5, w = 7, h = 4;
  std::vector<uint8_t> cube(3 * w * h, 0xAA);
  CopyColourCube(*store, x, y, w, h, cube.data());
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) {
      const int i = r * w + c, R = y + r, C = x + c;
      EXPECT_EQ(cube[i], static_cast<uint8_t>(R + C));
      EXPECT_EQ(cube[w * h + i], static_cast<uint8_t>(R * 3 + C));
      EXPECT_EQ(cube[2 * w * h + i], static_cast<uint8_t>(R + C * 7));
    }
  }
}

}  // namespace
}  // namespace nyxel
