#include "processing/StarCentre.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "core/RecordingHost.h"

namespace nyxel {
namespace {

// The centroid computed the slow way, in doubles where that changes nothing, for comparison.
struct Reference {
  bool found = false;
  double cx = 0, cy = 0;  // in box coordinates
};
Reference ReferenceCentroid(const std::vector<uint16_t>& image, int stride, int x, int y, int radius) {
  const int n = 2 * radius + 1;
  std::vector<long> box;
  for (int r = y - radius; r <= y + radius; ++r)
    for (int c = x - radius; c <= x + radius; ++c) box.push_back(image[r * stride + c]);
  std::map<long, int> bins;
  for (long v : box) ++bins[v / 16];
  long best_bin = 0;
  int best = -1;
  for (auto [bin, count] : bins)
    if (count > best) best = count, best_bin = bin;
  const long background = best_bin > 4014 ? 65535 : static_cast<long>(std::floor(best_bin * 16.32));
  const long maximum = *std::max_element(box.begin(), box.end());
  if (maximum <= background) return {};
  const long k = 65535 / (maximum - background);
  long total = 0;
  for (long& v : box) total += v = v > background ? (v - background) * k : 0;
  const long mean = total / (n * n);
  double w = 1, sr = 1, sc = 1;
  for (int i = 0; i < n * n; ++i) {
    const long d = box[i] - mean;
    if (d >= 1) w += d, sr += d * (i / n), sc += d * (i % n);
  }
  return {true, sc / w, sr / w};
}

// A Gaussian star of the given peak on a flat background, centred at (sx, sy).
std::vector<uint16_t> Star(int width, int height, double sx, double sy, double sigma, int background,
                           int peak) {
  std::vector<uint16_t> image(static_cast<size_t>(kFrameElements), 0);
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      const double d2 = (c - sx) * (c - sx) + (r - sy) * (r - sy);
      image[r * width + c] = static_cast<uint16_t>(background + peak * std::exp(-d2 / (2 * sigma * sigma)));
    }
  }
  return image;
}

class StarCentreTest : public ::testing::Test {
 protected:
  std::unique_ptr<ImageStore> store = ImageStore::Create();
  RecordingHost host;
};

TEST_F(StarCentreTest, RefusedBoxesLeaveTheCentreAndSayWhy) {
  struct Case {
    const char* name;
    int x, y, radius;
    bool focus_mode, self_guide;
    int fill;             // every pixel
    const char* message;  // nullptr: no box
  };
  const Case cases[] = {
      {"left edge touched", 4, 100, 5, false, false, 1000, "Find centre failed - outside image area"},
      {"top edge touched", 100, 4, 5, false, false, 1000, "Find centre failed - outside image area"},
      {"right edge touched", 507, 100, 5, false, false, 1000, "Find centre failed - outside image area"},
      {"bottom edge touched", 100, 285, 5, false, false, 1000, "Find centre failed - outside image area"},
      {"focus window is 128 wide", 123, 60, 5, true, false, 1000, "Find centre failed - outside image area"},
      {"focus window is 128 high", 60, 123, 5, true, false, 1000, "Find centre failed - outside image area"},
      {"negative radius", 100, 100, -1, false, false, 1000, "Find centre failed - outside image area"},
      {"all equal", 100, 100, 5, false, false, 1000, "Sorry, Nothing found to centre on"},
      {"all equal while self-guiding is armed", 100, 100, 5, false, true, 1000, nullptr},
      {"outside still shown while self-guiding", 4, 100, 5, false, true, 1000,
       "Find centre failed - outside image area"},
      {"all black", 100, 100, 5, false, false, 0, "Sorry, Nothing found to centre on"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.Clear();
    store->FocusMode = c.focus_mode;
    store->SelfGuideNext = c.self_guide;
    std::fill(store->CurrentFrame.begin(), store->CurrentFrame.end(), static_cast<uint16_t>(c.fill));
    StarCentre centre{7, 8, 1, 2};
    EXPECT_FALSE(FindStarCentre(*store, host, c.x, c.y, store->CurrentFrame, c.radius, {}, centre));
    EXPECT_EQ(centre.column, 7);
    EXPECT_EQ(centre.row, 8);
    EXPECT_EQ(centre.column_tenths, 1);
    EXPECT_EQ(centre.row_tenths, 2);
    if (c.message) {
      ASSERT_EQ(host.boxes.size(), 1u);
      EXPECT_EQ(host.boxes[0].text, c.message);
      EXPECT_EQ(host.boxes[0].caption, "NYXEL_RV9  - Find Centre");
    } else {
      EXPECT_TRUE(host.boxes.empty());
    }
  }
}

TEST_F(StarCentreTest, BoxesThatJustFitAndBrightBackgrounds) {
  std::fill(store->CurrentFrame.begin(), store->CurrentFrame.end(), static_cast<uint16_t>(1000));
  StarCentre centre;
  // x = R and x + R = 511 are inside; a bright pixel at the box centre is the centre.
  for (auto [x, y] : {std::pair{5, 5}, std::pair{506, 284}}) {
    store->CurrentFrame[PixelIndex(y, x)] = 30000;
    ASSERT_TRUE(FindStarCentre(*store, host, x, y, store->CurrentFrame, 5, {}, centre));
    EXPECT_EQ(centre.column, x);
    EXPECT_EQ(centre.row, y);
  }
  // A box above bin 4014 almost everywhere has no background to stand out from.
  std::fill(store->CurrentFrame.begin(), store->CurrentFrame.end(), static_cast<uint16_t>(64300));
  store->CurrentFrame[PixelIndex(100, 100)] = 65535;
  EXPECT_FALSE(FindStarCentre(*store, host, 100, 100, store->CurrentFrame, 3, {}, centre));
  // Bin 4014 itself still gives a background below the star.
  std::fill(store->CurrentFrame.begin(), store->CurrentFrame.end(), static_cast<uint16_t>(4014 * 16));
  store->CurrentFrame[PixelIndex(100, 102)] = 65535;
  ASSERT_TRUE(FindStarCentre(*store, host, 100, 100, store->CurrentFrame, 3, {}, centre));
  EXPECT_EQ(centre.column, 102);
  EXPECT_EQ(centre.row, 100);
}

// Columns 510 and 511 hold no picture: what they hold moves no centre of a star near the right edge.
TEST_F(StarCentreTest, ColumnsBeyondThePictureMoveNoCentre) {
  struct Case {
    double sx;
    int x, radius;
  } cases[] = {{507.0, 507, 4}, {508.3, 507, 4}, {505.6, 506, 5}, {509.0, 509, 2}};
  for (const Case& c : cases) {
    std::vector<StarCentre> found;
    for (const int beyond : {0, 1000, 40000, 65535}) {
      std::vector<uint16_t> image = Star(512, 290, c.sx, 150.0, 1.2, 1000, 20000);
      for (int r = 0; r < 290; ++r)
        image[r * 512 + 510] = image[r * 512 + 511] = static_cast<uint16_t>(beyond);
      StarCentre centre;
      ASSERT_TRUE(FindStarCentre(*store, host, c.x, 150, image, c.radius, {}, centre))
          << c.sx << " " << beyond;
      found.push_back(centre);
    }
    for (const StarCentre& f : found) {
      EXPECT_EQ(f.column, found[0].column) << c.sx;
      EXPECT_EQ(f.row, 150) << c.sx;
      EXPECT_LE(std::abs(f.column - static_cast<int>(c.sx + 0.5)), 1) << c.sx;
    }
  }
}

TEST_F(StarCentreTest, SyntheticStarsMatchTheReferenceAndTheirTrueCentres) {
  struct Case {
    bool focus;  // 128 x 128 window, else full frame
    double sx, sy, sigma;
    int background, peak, x, y, radius;
  };
  const Case cases[] = {
      {false, 200.0, 100.0, 1.5, 1200, 20000, 200, 100, 8},
      {false, 200.34, 100.71, 1.5, 1200, 20000, 199, 102, 8},
      {false, 37.62, 251.18, 2.2, 3000, 40000, 38, 250, 10},
      {false, 400.05, 30.93, 1.0, 500, 60000, 401, 31, 6},
      {true, 64.5, 64.25, 1.8, 2000, 30000, 63, 65, 9},
      {true, 20.81, 100.37, 1.3, 800, 9000, 21, 100, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.sx << ", " << c.sy);
    const int width = c.focus ? kFocusSize : kFrameWidth;
    const int height = c.focus ? kFocusSize : kFrameHeight;
    const auto image = Star(width, height, c.sx, c.sy, c.sigma, c.background, c.peak);
    const Reference ref = ReferenceCentroid(image, width, c.x, c.y, c.radius);
    ASSERT_TRUE(ref.found);
    const double left = c.x - c.radius, top = c.y - c.radius;
    EXPECT_NEAR(left + ref.cx, c.sx, 0.15);
    EXPECT_NEAR(top + ref.cy, c.sy, 0.15);

    // Fractions come from a running guider (which reads the 128 x 128 window) or an armed self-guided
    // exposure; in focus mode the window is read either way.
    for (const bool guiding : {false, true}) {
      for (const bool ignore_small_drift : {false, true}) {
        store->FocusMode = c.focus && !guiding;
        store->SelfGuideNext = guiding && !c.focus;
        const StarSearch search{guiding && c.focus, ignore_small_drift};
        StarCentre centre;
        ASSERT_TRUE(FindStarCentre(*store, host, c.x, c.y, image, c.radius, search, centre));
        if (guiding && !ignore_small_drift) {
          EXPECT_EQ(centre.column, c.x - c.radius + static_cast<int>(ref.cx));
          EXPECT_EQ(centre.row, c.y - c.radius + static_cast<int>(ref.cy));
          EXPECT_EQ(centre.column_tenths, static_cast<int>(10 * ref.cx) % 10);
          EXPECT_EQ(centre.row_tenths, static_cast<int>(10 * ref.cy) % 10);
          EXPECT_NEAR(centre.column + centre.column_tenths / 10.0, c.sx, 0.2);
          EXPECT_NEAR(centre.row + centre.row_tenths / 10.0, c.sy, 0.2);
        } else {
          EXPECT_EQ(centre.column, static_cast<int>(left + std::floor(ref.cx + 0.5)));
          EXPECT_EQ(centre.row, static_cast<int>(top + std::floor(ref.cy + 0.5)));
          EXPECT_EQ(centre.column_tenths, 0);
          EXPECT_EQ(centre.row_tenths, 0);
        }
      }
    }
  }
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(StarCentreTest, ArmedSelfGuidingKeepsTenthsUnlessSmallDriftIsIgnored) {
  const auto image = Star(kFrameWidth, kFrameHeight, 300.46, 150.72, 1.6, 1000, 25000);
  store->SelfGuideNext = 1;
  StarCentre centre;
  ASSERT_TRUE(FindStarCentre(*store, host, 300, 150, image, 8, {}, centre));
  EXPECT_EQ(centre.column, 300);
  EXPECT_EQ(centre.row, 150);
  EXPECT_NEAR(centre.column_tenths, 5, 1);
  EXPECT_NEAR(centre.row_tenths, 7, 1);
  ASSERT_TRUE(FindStarCentre(*store, host, 300, 150, image, 8, {false, true}, centre));
  EXPECT_EQ(centre.column, 300);
  EXPECT_EQ(centre.row, 151);
  EXPECT_EQ(centre.column_tenths + centre.row_tenths, 0);
}

}  // namespace
}  // namespace nyxel
