#include "processing/DarkFlatMerge.h"

#include <gtest/gtest.h>

#include <random>

#include "core/Clock.h"
#include "core/RecordingHost.h"
#include "files/RawFile.h"
#include "tests/support/TestSession.h"

namespace nyxel {
namespace {

class DarkFlatMergeTest : public ::testing::Test, public test::TestSession {
 protected:
  void SetUp() override { InitImageStore(store); }
  void Random(Frame& f, unsigned seed, int low, int high) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(low, high);
    for (int i = 0; i < kFramePixels; ++i) f[i] = static_cast<uint16_t>(dist(rng));
  }
  std::vector<std::string> History() const {
    std::vector<std::string> lines;
    for (int i = 0; i < store.History.UsedCount(); ++i) lines.push_back(store.History.Line(i));
    return lines;
  }
};

TEST_F(DarkFlatMergeTest, DarkSubtraction) {
  struct Case {
    uint16_t image, dark, out;
  } cases[] = {{1000, 200, 800},  {200, 1000, 0},        {500, 500, 0},     {0, 0, 0},
               {65499, 1, 65498}, {65500, 65535, 65500}, {65535, 3, 65535}, {65499, 65535, 0}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    store.CurrentFrame[i * 997] = cases[i].image;
    store.SecondFrame[i * 997] = cases[i].dark;
  }
  const Plane red = store.RedPlane;
  SubtractDarkFrame(store);
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(store.CurrentFrame[i * 997], cases[i].out) << i;
  EXPECT_EQ(store.RedPlane, red);
  EXPECT_EQ(History(), std::vector<std::string>{"Dark Frame Subtracted"});
}

TEST_F(DarkFlatMergeTest, FlatFieldMatchesReference) {
  for (bool labelled : {false, true}) {
    SetUp();
    ClearHistory(store.History);
    Random(store.CurrentFrame, 1, 0, 65535);
    Random(store.SecondFrame, 2, 0, 3000);
    for (int i = 0; i < kFramePixels; i += 13) store.SecondFrame[i] = 0;  // zero flat pixels stay
    if (labelled) {
      store.CurrentFrame[4] = 20;
      store.CurrentFrame[5] = 14;
    }
    const Frame image = store.CurrentFrame;
    const Frame& flat = store.SecondFrame;
    long long s = 0;
    for (int row = 9; row <= 19; ++row) {
      for (int col = 9; col <= 499; ++col) s += flat[PixelIndex(row, col)];
    }
    const double scale = s * 0.0002;
    ApplyFlatField(store, host);
    const int first = labelled ? 11 : 1;
    for (int row = 0; row < kFrameHeight; ++row) {
      for (int col = 0; col < kFrameWidth; ++col) {
        const int i = PixelIndex(row, col);
        int expected = image[i];
        if (row >= first && col >= 5 && col <= 509 && flat[i] != 0 && image[i] < 65534) {
          const double v = static_cast<double>(image[i]) / flat[i] * scale;
          expected = v >= 65535 ? 65535 : static_cast<int>(v);
        }
        ASSERT_EQ(store.CurrentFrame[i], expected) << labelled << " " << row << "," << col;
      }
    }
    EXPECT_EQ(History(), std::vector<std::string>{"Flat Field Subtracted"});
    EXPECT_FALSE(host.progress_open);
    EXPECT_EQ(host.progress_captions.back(), "FLAT FIELD PROGRESS");
  }
}

TEST_F(DarkFlatMergeTest, CombineWithFileLoadsAndKeepsUndo) {
  // A dark frame on disk: every pixel 100.
  Random(store.CurrentFrame, 3, 0, 65535);
  const Frame image = store.CurrentFrame;
  std::vector<unsigned char> bytes(kRawMonoLength);
  for (size_t i = 0; i < bytes.size(); i += 2) bytes[i] = 100;
  const auto dark = dir.path() / "dark~";
  test::WriteBytes(dark, bytes);
  // A refused file changes neither the image nor the undo copy.
  const auto bad = dir.path() / "bad~";
  test::WriteBytes(bad, std::vector<unsigned char>(1000));
  std::fill_n(store.UndoFrame.begin(), kFramePixels, 9);
  EXPECT_NE(CombineWithFile(session, kCombineDark, bad.string()), 0);
  EXPECT_EQ(host.Texts(), std::vector<std::string>{"Sorry, you didn't choose an RV File"});
  EXPECT_EQ(store.CurrentFrame, image);
  EXPECT_EQ(store.UndoFrame[77], 9);

  EXPECT_EQ(CombineWithFile(session, kCombineDark, dark.string()), 0);
  EXPECT_EQ(store.UndoFrame, image);
  for (int i : {0, 5000, PixelIndex(289, 509)}) {
    const int p = image[i];
    EXPECT_EQ(store.CurrentFrame[i], p >= 65500 ? p : std::max(p - 100, 0)) << i;
  }
}

TEST_F(DarkFlatMergeTest, StartMergeRefusals) {
  struct Case {
    int rv, fit, merging;
    std::string message;
  } cases[] = {
      {1, 0, 0,
       "Sorry, Merging only available in standard Geometry. Ensure Image is not stretched to fit "
       "window or in RV geometry."},
      {0, 1, 0,
       "Sorry, Merging only available in standard Geometry. Ensure Image is not stretched to fit "
       "window or in RV geometry."},
      {0, 0, 1, "Sorry, you are already in Merging mode."},
  };
  for (const Case& c : cases) {
    host.Clear();
    store.RvGeometry = c.rv;
    store.FitToWindow = c.fit;
    store.MergeMode = c.merging;
    store.MergeFirstPhase = 0;
    store.MergeMarkFirst = {7, 8};
    EXPECT_FALSE(StartMerge(store, host));
    EXPECT_EQ(host.Texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(store.MergeMarkFirst.x, 7);
    EXPECT_EQ(store.MergeFirstPhase, 0);
  }
  store.RvGeometry = store.FitToWindow = store.MergeMode = 0;
  store.MergeAverage = 1;
  EXPECT_TRUE(StartMerge(store, host));
  EXPECT_EQ(store.MergeMode, 1);
  EXPECT_EQ(store.MergeFirstPhase, 1);
  EXPECT_EQ(store.MergeAverage, 0);
  EXPECT_EQ(store.MergeMarkFirst.x, 0);
}

TEST_F(DarkFlatMergeTest, MarkingAreaAndPhases) {
  ASSERT_TRUE(StartMerge(store, host));
  struct Case {
    int x, y;
    bool taken;
  } cases[] = {{8, 8, true},     {7, 100, false},   {503, 100, true}, {504, 100, false},
               {100, 281, true}, {100, 282, false}, {100, 7, false}};
  int dx = 0, dy = 0;
  for (const Case& c : cases) {
    store.MergeMarkFirst = {1, 1};
    EXPECT_EQ(MarkMergePoint(store, host, c.x, c.y, 8, dx, dy), c.taken) << c.x << "," << c.y;
    EXPECT_EQ(store.MergeMarkFirst.x, c.taken ? c.x : 1);
  }
  // "Merge" before the second image: nothing happens, merging goes on.
  const Frame image = store.CurrentFrame;
  EXPECT_FALSE(PressMerge(store));
  EXPECT_EQ(store.MergeMode, 1);
  EXPECT_EQ(store.CurrentFrame, image);

  // Opening the image to be merged keeps the first one and starts the second phase.
  EXPECT_TRUE(MarkMergePoint(store, host, 50, 60, 8, dx, dy));
  OpenMergeImage(store);
  EXPECT_EQ(store.MergeFirstPhase, 0);
  EXPECT_EQ(store.SecondFrame, image);
  EXPECT_TRUE(MarkMergePoint(store, host, 70, 80, 8, dx, dy));
  EXPECT_EQ(store.MergeMarkFirst.x, 50);
  EXPECT_EQ(store.MergeMarkMerge.x, 70);
  EXPECT_EQ(store.MergeMarkMerge.y, 80);

  CancelMerge(store);
  EXPECT_EQ(store.MergeMode, 0);
  EXPECT_FALSE(MarkMergePoint(store, host, 70, 80, 8, dx, dy));
}

TEST_F(DarkFlatMergeTest, MarkCentresOnStar) {
  std::fill_n(store.CurrentFrame.begin(), kFramePixels, 1000);
  for (int r = -1; r <= 1; ++r) {
    for (int c = -1; c <= 1; ++c) store.CurrentFrame[PixelIndex(100 + r, 200 + c)] = 20000;
  }
  store.CurrentFrame[PixelIndex(100, 200)] = 30000;
  ASSERT_TRUE(StartMerge(store, host));
  store.MergeCentreOnStar = 1;
  int dx = 0, dy = 0;
  EXPECT_TRUE(MarkMergePoint(store, host, 198, 101, 8, dx, dy));
  EXPECT_EQ(store.MergeMarkFirst.x, 200);
  EXPECT_EQ(store.MergeMarkFirst.y, 100);
  EXPECT_EQ(dx, 2);
  EXPECT_EQ(dy, -1);
  // Nothing to centre on: the message of the search, the point stays where it was clicked.
  std::fill_n(store.CurrentFrame.begin(), kFramePixels, 1000);
  host.Clear();
  EXPECT_TRUE(MarkMergePoint(store, host, 150, 50, 8, dx, dy));
  EXPECT_EQ(host.Texts().size(), 1u);
  EXPECT_EQ(store.MergeMarkFirst.x, 150);
  EXPECT_EQ(dx, 0);
}

// The merge against a plain reference, for equal and offset marks, add and average, labelled frames.
TEST_F(DarkFlatMergeTest, MergeMatchesReference) {
  struct Case {
    int x1, y1, x2, y2;
    bool average, labelled;
  } cases[] = {
      {100, 100, 100, 100, false, false}, {100, 100, 100, 100, true, false}, {50, 40, 53, 38, false, false},
      {200, 100, 190, 110, true, false},  {100, 100, 100, 100, false, true}, {60, 60, 58, 65, true, true},
  };
  for (const Case& c : cases) {
    SetUp();
    store.ColourConverted = 1;
    Random(store.CurrentFrame, 5, 0, 65535);
    std::mt19937 rng(6);
    for (Plane* p : {&store.RedPlane, &store.GreenPlane, &store.BluePlane}) {
      for (int i = 0; i < kFramePixels; ++i) (*p)[i] = static_cast<uint8_t>(rng());
    }
    if (c.labelled) store.CurrentFrame[4] = 34, store.CurrentFrame[5] = 0;
    ASSERT_TRUE(StartMerge(store, host));
    store.MergeMarkFirst = {c.x1, c.y1};
    OpenMergeImage(store);
    const Frame first = store.CurrentFrame;
    const Plane first_red = store.RedPlane;
    // The "loaded" merge image.
    Random(store.CurrentFrame, 7, 0, 65535);
    store.CurrentFrame[4] = store.CurrentFrame[5] = 0;
    for (Plane* p : {&store.RedPlane, &store.GreenPlane, &store.BluePlane}) {
      for (int i = 0; i < kFramePixels; ++i) (*p)[i] = static_cast<uint8_t>(rng());
    }
    const Frame merge = store.CurrentFrame;
    const Plane merge_red = store.RedPlane;
    store.MergeMarkMerge = {c.x2, c.y2};
    store.MergeAverage = c.average;
    ASSERT_TRUE(PressMerge(store));
    EXPECT_EQ(store.MergeMode, 0);
    EXPECT_EQ(store.MergeAverage, 0);
    EXPECT_EQ(store.ColourConverted, 1);
    const int r0 = c.labelled ? 10 : 0;
    for (int i = 0; i < kFrameHeight; ++i) {
      for (int j = 0; j < kFrameWidth; ++j) {
        const int f = i + c.y2 - c.y1, p = j + c.x2 - c.x1;
        int expected = first[PixelIndex(i, j)];
        int red = first_red[PixelIndex(i, j)];
        if (i >= r0 && f > r0 && f < 290 && p > 0 && p < 510) {
          const int sum = first[PixelIndex(i, j)] + merge[PixelIndex(f, p)];
          expected = c.average ? sum / 2 : std::min(sum, 65535);
          red = (first_red[PixelIndex(i, j)] + merge_red[PixelIndex(f, p)]) / 2;
        }
        ASSERT_EQ(store.CurrentFrame[PixelIndex(i, j)], expected) << i << "," << j;
        ASSERT_EQ(store.RedPlane[PixelIndex(i, j)], red) << i << "," << j;
      }
    }
  }
}

TEST_F(DarkFlatMergeTest, MergeSaturatesAndAverages) {
  for (bool average : {false, true}) {
    SetUp();
    ASSERT_TRUE(StartMerge(store, host));
    std::fill_n(store.CurrentFrame.begin(), kFramePixels, 40000);
    OpenMergeImage(store);
    store.MergeAverage = average;
    ASSERT_TRUE(PressMerge(store));
    EXPECT_EQ(store.CurrentFrame[PixelIndex(100, 100)], average ? 40000 : 65535);
    EXPECT_EQ(store.CurrentFrame[PixelIndex(0, 100)], 40000);    // row 0: f <= r0
    EXPECT_EQ(store.CurrentFrame[PixelIndex(100, 0)], 40000);    // column 0: p <= 0
    EXPECT_EQ(store.CurrentFrame[PixelIndex(100, 510)], 40000);  // columns 510, 511
  }
}

}  // namespace
}  // namespace nyxel
