#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <vector>

#include "core/Clock.h"
#include "core/RecordingHost.h"
#include "files/SettingsFile.h"
#include "processing/Colour.h"
#include "tests/support/TestSession.h"

namespace nyxel {
namespace {

// Columns 510 and 511 hold no picture: a neighbourhood of picture pixel x reads column c mirrored about
// column 509 instead.
int Column(int x, int c) {
  return x <= 509 && c > 509 ? 1018 - c : c;
}

class ColourAdjustTest : public ::testing::Test, public test::TestSession {
 protected:
  void SetUp() override {
    InitImageStore(store);
    store.ColourConverted = 1;
  }
  void RandomPlanes(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(0, 255);
    for (Plane* p : {&store.RedPlane, &store.GreenPlane, &store.BluePlane}) {
      for (int i = 0; i < kFramePixels; ++i) (*p)[i] = static_cast<uint8_t>(dist(rng));
    }
  }
};

TEST_F(ColourAdjustTest, BalanceShiftsPerPlane) {
  struct Case {
    int red, green, blue;  // pixel before
    ColourBalance start;   // shift = 2 x start
    int out_red, out_green, out_blue;
  } cases[] = {
      {100, 100, 100, {10, 0, -10}, 80, 100, 120},
      {20, 21, 19, {10, 10, 10}, 0, 1, 0},              // value equal to the shift gives 0
      {244, 244, 244, {-10, -10, -10}, 255, 255, 255},  // raised, clamped
      {245, 250, 255, {127, 127, -10}, 245, 250, 255},  // 245 and above stay
      {0, 0, 0, {-10, -10, -10}, 0, 0, 0},              // black stays black
      {0, 0, 1, {-10, -10, -10}, 20, 20, 21},           // not black: every plane moves
  };
  for (int k = 0; k < static_cast<int>(std::size(cases)); ++k) {
    SetUp();
    const Case& c = cases[k];
    std::fill_n(store.RedPlane.begin(), kFramePixels, c.red);
    std::fill_n(store.GreenPlane.begin(), kFramePixels, c.green);
    std::fill_n(store.BluePlane.begin(), kFramePixels, c.blue);
    BalanceColours(store, host, c.start);
    for (int i : {0, PixelIndex(150, 300), kFramePixels - 1}) {
      EXPECT_EQ(store.RedPlane[i], c.out_red) << k;
      EXPECT_EQ(store.GreenPlane[i], c.out_green) << k;
      EXPECT_EQ(store.BluePlane[i], c.out_blue) << k;
      EXPECT_EQ(store.UndoRed[i], c.red) << k;
      EXPECT_EQ(store.UndoBlue[i], c.blue) << k;
    }
  }
}

TEST_F(ColourAdjustTest, BalanceCommandDoesNothingForZeroStartAndSameSaturation) {
  RandomPlanes(1);
  std::fill_n(store.UndoRed.begin(), kFramePixels, 77);
  const Plane red = store.RedPlane;
  EXPECT_EQ(BalanceColoursCommand(session, {0, 0, 0}, session.settings.saturation_factor), kColourDone);
  EXPECT_EQ(store.RedPlane, red);
  EXPECT_EQ(store.UndoRed[1234], 77);
  EXPECT_TRUE(host.shown_bitmaps.empty());

  // A new saturation factor alone is saved and refreshes the undo planes; the planes keep their values.
  EXPECT_EQ(BalanceColoursCommand(session, {0, 0, 0}, 5), kColourDone);
  EXPECT_EQ(store.RedPlane, red);
  EXPECT_EQ(store.UndoRed, red);
  Settings reloaded;
  ASSERT_EQ(LoadSettings(reloaded, session.drive, host), 0);
  EXPECT_EQ(reloaded.saturation_factor, 5);
}

TEST_F(ColourAdjustTest, BalanceHistogramsSkipBannerRows) {
  std::fill_n(store.RedPlane.begin(), kFramePixels, 255);
  std::fill_n(store.GreenPlane.begin(), kFramePixels, 3);
  std::fill_n(store.BluePlane.begin(), kFramePixels, 0);
  std::fill_n(store.RedPlane.begin() + PixelIndex(kHeaderRows, 0), kFrameWidth, 0);
  const BalanceHistograms h = CountBalanceHistograms(store);
  EXPECT_EQ(h.red[127], 279u * kFrameWidth);
  EXPECT_EQ(h.red[0], static_cast<uint32_t>(kFrameWidth));
  EXPECT_EQ(h.green[1], 280u * kFrameWidth);
  EXPECT_EQ(h.blue[0], 280u * kFrameWidth);
}

// Anti-alias against the plain definition: a full 7 x 7 weighted sum and a sorted 5 x 5 window.
TEST_F(ColourAdjustTest, AntiAliasMatchesBruteForce) {
  constexpr int w[7][7] = {{0, 1, 2, 3, 2, 1, 0},  {1, 2, 3, 4, 3, 2, 1}, {2, 3, 6, 9, 6, 3, 2},
                           {3, 4, 9, 12, 9, 4, 3}, {2, 3, 6, 9, 6, 3, 2}, {1, 2, 3, 4, 3, 2, 1},
                           {0, 1, 2, 3, 2, 1, 0}};
  {
    const unsigned seed = 9;
    RandomPlanes(seed);
    // The lower half mostly dark with bright specks, so the detail matters; the upper half random.
    for (Plane* p : {&store.RedPlane, &store.GreenPlane, &store.BluePlane}) {
      for (int i = kFramePixels / 2; i < kFramePixels; ++i) (*p)[i] = (*p)[i] > 240 ? (*p)[i] : (*p)[i] / 16;
    }
    const Plane in[3] = {store.RedPlane, store.BluePlane, store.GreenPlane};
    AntiAlias(store, host);
    const Plane* out[3] = {&store.RedPlane, &store.BluePlane, &store.GreenPlane};
    for (int y = 0; y < kFrameHeight; ++y) {
      for (int x = 0; x < kFrameWidth; ++x) {
        const int i = PixelIndex(y, x);
        const bool frame = y < 3 || y > 286 || x < 3 || x > 508;
        int median[3], detail[3];
        for (int k = 0; k < 3; ++k) {
          if (frame) {
            median[k] = in[k][i];
            detail[k] = 0;
            continue;
          }
          int sum = 0;
          for (int dy = -3; dy <= 3; ++dy) {
            for (int dx = -3; dx <= 3; ++dx)
              sum += in[k][PixelIndex(y + dy, Column(x, x + dx))] * w[dy + 3][dx + 3];
          }
          const int blur = std::clamp(sum / 156, 0, 255);
          detail[k] = blur < in[k][i] ? in[k][i] - blur : 0;
          std::array<int, 25> window;
          int n = 0;
          for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -2; dx <= 2; ++dx) window[n++] = in[k][PixelIndex(y + dy, Column(x, x + dx))];
          }
          std::nth_element(window.begin(), window.begin() + 12, window.end(), std::greater<int>());
          median[k] = window[12];  // the 13th largest
        }
        const int d = (detail[0] + detail[1] + detail[2]) / 3;
        for (int k = 0; k < 3; ++k) {
          ASSERT_EQ((*out[k])[i], std::min(median[k] + d, 255)) << seed << " " << k << " " << y << "," << x;
        }
      }
    }
  }
}

TEST_F(ColourAdjustTest, ChromatismShiftsRedAndBlue) {
  struct Case {
    ChromaticShift shift;
    bool labelled;
  } cases[] = {
      {{3, 0, 0, 0}, false},   {{0, 0, -3, 0}, false}, {{0, 3, 0, -2}, false},
      {{-1, 2, 2, -1}, false}, {{1, -3, -2, 3}, true},
  };
  for (const Case& c : cases) {
    SetUp();
    RandomPlanes(4);
    std::mt19937 rng(8);
    for (int i = 0; i < kFramePixels; ++i) store.CurrentFrame[i] = static_cast<uint16_t>(rng());
    store.CurrentFrame[4] = c.labelled ? 30 : 0;
    store.CurrentFrame[5] = 4;
    const int first = c.labelled ? kHeaderRows : 0;
    const Plane red = store.RedPlane, green = store.GreenPlane, blue = store.BluePlane;
    AdjustChromatism(store, c.shift);
    EXPECT_EQ(store.SecondFrame, store.CurrentFrame);
    EXPECT_EQ(store.UndoRed, red);
    EXPECT_EQ(store.UndoBlue, blue);
    EXPECT_EQ(store.GreenPlane, green);
    for (auto [plane, before, h, v] :
         {std::tuple{&store.RedPlane, &red, c.shift.red_horizontal, c.shift.red_vertical},
          std::tuple{&store.BluePlane, &blue, c.shift.blue_horizontal, c.shift.blue_vertical}}) {
      for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
          // Horizontal first: the source column x + h, or the pixel itself; then the row y + v of that.
          const Plane& source = *before;
          const int from = x + h;
          auto horizontal = [&source, from, x, first](int row) {
            return (row < first || from < 0 || from >= kFrameWidth || Column(x, from) != from)
                       ? source[PixelIndex(row, x)]
                       : source[PixelIndex(row, from)];
          };
          int expected = horizontal(y);
          if (y >= first && y + v >= first && y + v < kFrameHeight) expected = horizontal(y + v);
          ASSERT_EQ((*plane)[PixelIndex(y, x)], expected) << y << "," << x;
        }
      }
    }
  }
  // +3 keeps the last three columns as they were.
  SetUp();
  RandomPlanes(6);
  const Plane red = store.RedPlane;
  AdjustChromatism(store, {3, 0, 0, 0});
  for (int y = 0; y < kFrameHeight; ++y) {
    for (int x = 509; x < 512; ++x) EXPECT_EQ(store.RedPlane[PixelIndex(y, x)], red[PixelIndex(y, x)]);
  }
}

TEST_F(ColourAdjustTest, LowPassColourAndUndo) {
  RandomPlanes(12);
  const Plane before[3] = {store.RedPlane, store.GreenPlane, store.BluePlane};
  LowPassColour(store);
  const Plane* after[3] = {&store.RedPlane, &store.GreenPlane, &store.BluePlane};
  constexpr int w[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
  for (int k = 0; k < 3; ++k) {
    for (int y = 0; y < kFrameHeight; ++y) {
      for (int x = 0; x < kFrameWidth; ++x) {
        int expected = before[k][PixelIndex(y, x)];
        if (y > 0 && y < kFrameHeight - 1 && x > 0 && x < kFrameWidth - 1) {
          int sum = 0;
          for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx)
              sum += before[k][PixelIndex(y + dy, Column(x, x + dx))] * w[dy + 1][dx + 1];
          }
          expected = sum / 16;
        }
        ASSERT_EQ((*after[k])[PixelIndex(y, x)], expected) << k << " " << y << "," << x;
      }
    }
  }
  EXPECT_EQ(UndoColourFilterCommand(session), kColourDone);
  EXPECT_EQ(store.RedPlane, before[0]);
  EXPECT_EQ(store.GreenPlane, before[1]);
  EXPECT_EQ(store.BluePlane, before[2]);
}

}  // namespace
}  // namespace nyxel
