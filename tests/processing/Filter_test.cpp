// The spatial filters against plain brute-force references: random, dark, bright and labelled frames,
// untouched borders, clamping, undo copies and history lines.
#include "processing/Filter.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/Display.h"

namespace nyxel {
namespace {

// Columns 510 and 511 hold no picture: a window about picture column x reads column c mirrored about
// column 509 instead.
int Column(int x, int c) {
  return x <= 509 && c > 509 ? 1018 - c : c;
}

std::unique_ptr<ImageStore> NewStore() {
  auto store = ImageStore::Create();
  InitImageStore(*store);
  return store;
}

struct Scene {
  std::string name;
  std::function<uint16_t(std::mt19937&, int)> pixel;  // (random, index)
  bool labelled;
};

// Frames the references run on: full range, near black (negative results), near white (the 65,280
// clamp), sparse hot pixels on a flat sky (the median's job), and a labelled frame.
std::vector<Scene> Scenes() {
  auto uniform = [](int lo, int hi) {
    return [lo, hi](std::mt19937& r, int) {
      return static_cast<uint16_t>(std::uniform_int_distribution<>(lo, hi)(r));
    };
  };
  return {
      {"random", uniform(0, 65535), false},
      {"dark", uniform(0, 400), false},
      {"bright", uniform(64800, 65535), false},
      {"hot pixels",
       [](std::mt19937& r, int) {
         const int sky = std::uniform_int_distribution<>(1000, 1100)(r);
         return static_cast<uint16_t>(std::uniform_int_distribution<>(0, 40)(r) == 0 ? 60000 : sky);
       },
       false},
      {"labelled", uniform(0, 65535), true},
  };
}

void Fill(ImageStore& store, const Scene& scene, unsigned seed) {
  std::mt19937 random(seed);
  for (int i = 0; i < kFramePixels; ++i) store.CurrentFrame[i] = scene.pixel(random, i);
  if (scene.labelled) {
    store.CurrentFrame[4] = 20;
    store.CurrentFrame[5] = 14;
  } else if (store.CurrentFrame[4] + store.CurrentFrame[5] == 34) {
    store.CurrentFrame[4] = 0;
  }
}

int Clamp(long v) {
  return v > 65280 ? 65535 : v < 0 ? 0 : static_cast<int>(v);
}

// The references, written as directly as the filters are described.
Frame ReferenceConvolve(const Frame& in, bool labelled, int r, int kernel, int divisor) {
  Frame out = in;
  for (int y = r + (labelled ? 10 : 0); y < 290 - r; ++y) {
    for (int x = r; x < 512 - r; ++x) {
      long sum = 0;
      int k = 0;
      for (int wy = y - r; wy <= y + r; ++wy) {
        for (int wx = x - r; wx <= x + r; ++wx)
          sum += in[wy * 512 + Column(x, wx)] * FilterKernels[kernel][k++];
      }
      out[y * 512 + x] = static_cast<uint16_t>(Clamp(sum / divisor));
    }
  }
  return out;
}

Frame ReferenceUnsharp(const Frame& in, bool labelled, int r, int p) {
  Frame out = in;
  for (int y = r + (labelled ? 10 : 0); y < 289 - r; ++y) {
    for (int x = r; x < 512 - r; ++x) {
      long sum = 0;
      for (int wy = y - r; wy <= y + r; ++wy) {
        for (int wx = x - r; wx <= x + r; ++wx) sum += in[wy * 512 + Column(x, wx)];
      }
      const long mean = sum / ((2 * r + 1) * (2 * r + 1));
      const long pixel = in[y * 512 + x];
      out[y * 512 + x] = static_cast<uint16_t>(Clamp(pixel + (pixel - mean) * p));
    }
  }
  return out;
}

// Takes the largest remaining value n / 2 + 1 times, zeroing each one taken, as the filter is defined.
Frame ReferenceMedian(const Frame& in, bool labelled, int r, int power) {
  Frame out = in;
  const int n = (2 * r + 1) * (2 * r + 1);
  for (int y = r + (labelled ? 10 : 0); y < 290 - r; ++y) {
    for (int x = r; x < 512 - r; ++x) {
      int values[49];
      int minimum = 65000;
      int count = 0;
      for (int wy = y - r; wy <= y + r; ++wy) {
        for (int wx = x - r; wx <= x + r; ++wx) {
          values[count] = in[wy * 512 + Column(x, wx)];
          if (values[count] < minimum) minimum = values[count];
          ++count;
        }
      }
      int maximum = -1, median = 0;
      for (int taken = 0; taken < n / 2 + 1; ++taken) {
        int at = 0;
        for (int k = 0; k < n; ++k) {
          if (values[k] >= values[at]) at = k;
        }
        if (taken == 0) maximum = values[at];
        median = values[at];
        values[at] = 0;
      }
      const int threshold = static_cast<int>((maximum - minimum) * 0.1 * power);
      const int pixel = in[y * 512 + x];
      if (std::abs(median - pixel) > threshold) out[y * 512 + x] = static_cast<uint16_t>(median);
    }
  }
  return out;
}

Frame ReferenceGradient(const Frame& in, bool labelled) {
  struct Box {
    int top, left, first;
  };
  const Box boxes[4] = {{10, 20, 0}, {10, 450, 0}, {230, 20, 1}, {230, 450, 1}};
  int bins[4];
  for (int b = 0; b < 4; ++b) {
    std::vector<int> histogram(4096, 0);
    for (int y = boxes[b].top; y < boxes[b].top + 50; ++y) {
      for (int x = boxes[b].left; x < boxes[b].left + 50; ++x) ++histogram[in[y * 512 + x] / 16];
    }
    bins[b] = boxes[b].first;
    for (int i = boxes[b].first; i < 4096; ++i) {
      if (histogram[i] > histogram[bins[b]]) bins[b] = i;
    }
  }
  const int m = std::min(std::min(bins[0], bins[1]), std::min(bins[2], bins[3]));
  const double tl = (bins[0] - m) * 16, tr = (bins[1] - m) * 16, bl = (bins[2] - m) * 16,
               br = (bins[3] - m) * 16;
  Frame out = in;
  for (int y = labelled ? 10 : 0; y < 290; ++y) {
    for (int x = 0; x < 512; ++x) {
      const double g =
          ((290.0 - y) * (512 - x) * tl + (290.0 - y) * x * tr + (512.0 - x) * y * bl + 1.0 * y * x * br) /
          148480;
      const int pixel = in[y * 512 + x];
      out[y * 512 + x] = pixel > g ? static_cast<uint16_t>(pixel - static_cast<int>(g)) : 0;
    }
  }
  return out;
}

// The first pixel where two frames differ, as "row,column got/want", or "" when equal.
std::string FirstDifference(const Frame& got, const Frame& want) {
  for (int i = 0; i < kFramePixels; ++i) {
    if (got[i] != want[i]) {
      return std::to_string(i / 512) + "," + std::to_string(i % 512) + " got " + std::to_string(got[i]) +
             " want " + std::to_string(want[i]);
    }
  }
  return "";
}

struct FilterCase {
  std::string name;
  std::function<void(ImageStore&)> run;
  std::function<Frame(const Frame&, bool)> reference;
  std::string line;  // empty: adds none
};

std::vector<FilterCase> FilterCases() {
  std::vector<FilterCase> cases = {
      {"high pass low power", HighPassLowPowerFilter,
       [](const Frame& f, bool l) { return ReferenceConvolve(f, l, 1, 2, 1); }, "High Pass Low Power Filter"},
      {"high pass high power", HighPassHighPowerFilter,
       [](const Frame& f, bool l) { return ReferenceConvolve(f, l, 2, 3, 1); },
       "High Pass High Power Filter"},
      {"smoother/sharper", SmootherSharperFilter,
       [](const Frame& f, bool l) { return ReferenceConvolve(f, l, 2, 4, 1); }, "Smoother/Sharper Filter"},
      {"gaussian", GaussianFilter, [](const Frame& f, bool l) { return ReferenceConvolve(f, l, 2, 1, 80); },
       "Gaussian Filter"},
      {"weighted mean", LowpassSmootherFilter,
       [](const Frame& f, bool l) { return ReferenceConvolve(f, l, 1, 0, 16); }, "Lowpass Smoother Filter"},
      {"bas relief", BasReliefFilter, [](const Frame& f, bool l) { return ReferenceConvolve(f, l, 2, 5, 1); },
       "Bas Relief Filter"},
      {"gradient", GradientFilter, ReferenceGradient, "Gradient Filter"},
      // ConvolveFrame with a divisor that does not divide evenly and negative sums: truncation toward zero.
      {"convolve kernel 4 / 3", [](ImageStore& s) { ConvolveFrame(s, 2, 4, 3); },
       [](const Frame& f, bool l) { return ReferenceConvolve(f, l, 2, 4, 3); }, ""},
  };
  struct RadiusPower {
    int r, p;
  };
  for (const RadiusPower rp : {RadiusPower{1, 1}, {2, 7}, {4, 3}, {7, 2}, {7, 7}}) {
    const int r = rp.r, p = rp.p;
    cases.push_back({"unsharp " + std::to_string(r) + "/" + std::to_string(p),
                     [r, p](ImageStore& s) { ASSERT_TRUE(UnsharpMask(s, r, p)); },
                     [r, p](const Frame& f, bool l) { return ReferenceUnsharp(f, l, r, p); },
                     "Unsharp Mask : rad " + std::to_string(r) + " ,power " + std::to_string(p)});
  }
  for (const RadiusPower rp : {RadiusPower{1, 1}, {1, 6}, {1, 10}, {2, 3}, {3, 6}}) {
    const int r = rp.r, p = rp.p;
    char line[40];
    std::snprintf(line, sizeof line, "Median Filter : rad %d ,power %1.1f", r, p / 10.0);
    cases.push_back({"median " + std::to_string(r) + "/" + std::to_string(p),
                     [r, p](ImageStore& s) { ASSERT_TRUE(MedianFilter(s, r, p)); },
                     [r, p](const Frame& f, bool l) { return ReferenceMedian(f, l, r, p); }, line});
  }
  return cases;
}

TEST(FilterTest, EveryFilterMatchesItsReferenceWithUndoAndHistory) {
  const auto scenes = Scenes();
  for (const FilterCase& c : FilterCases()) {
    for (size_t s = 0; s < scenes.size(); ++s) {
      // The median reference is slow; its larger windows run on fewer scenes.
      const bool big_median = c.name.rfind("median 2", 0) == 0 || c.name.rfind("median 3", 0) == 0;
      if (big_median && s % 2 == 1) continue;
      auto store = NewStore();
      Fill(*store, scenes[s], static_cast<unsigned>(17 + s));
      store->SecondFrame.fill(77);
      const Frame before = store->CurrentFrame;
      const Frame want = c.reference(before, scenes[s].labelled);
      c.run(*store);
      ASSERT_EQ(FirstDifference(store->CurrentFrame, want), "") << c.name << " on " << scenes[s].name;
      EXPECT_EQ(store->UndoFrame, before) << c.name;
      EXPECT_EQ(store->History.UsedCount(), c.line.empty() ? 0 : 1) << c.name;
      EXPECT_EQ(store->History.Line(0), c.line) << c.name;
    }
  }
}

TEST(FilterTest, FlatFramesAndClamping) {
  struct Case {
    std::string name;
    std::function<void(ImageStore&)> run;
    int flat;             // every pixel's value before
    int centre_expected;  // a pixel well inside the border after
  };
  const Case cases[] = {
      {"kernel 2 keeps flat", HighPassLowPowerFilter, 31000, 31000},
      {"kernel 1 / 80 keeps flat", GaussianFilter, 12345, 12345},
      {"kernel 0 / 16 keeps flat", LowpassSmootherFilter, 777, 777},
      {"flat above 65280 goes white", HighPassLowPowerFilter, 65281, 65535},
      {"flat 65280 stays", HighPassLowPowerFilter, 65280, 65280},
      {"gradient subtracts nothing from flat", GradientFilter, 4321, 4321},
      {"median power 1.0 on flat", [](ImageStore& s) { MedianFilter(s, 2, 10); }, 999, 999},
      {"unsharp keeps flat", [](ImageStore& s) { UnsharpMask(s, 7, 7); }, 40000, 40000},
  };
  for (const Case& c : cases) {
    auto store = NewStore();
    store->CurrentFrame.fill(static_cast<uint16_t>(c.flat));
    c.run(*store);
    EXPECT_EQ(store->CurrentFrame[PixelIndex(145, 256)], c.centre_expected) << c.name;
    EXPECT_EQ(store->CurrentFrame[PixelIndex(0, 0)], c.flat) << c.name;  // borders keep their values
  }

  // A single bright pixel: its high pass neighbours go negative and clamp to 0, and it clamps to white.
  auto store = NewStore();
  store->CurrentFrame.fill(100);
  store->CurrentFrame[PixelIndex(100, 100)] = 20000;
  HighPassLowPowerFilter(*store);
  EXPECT_EQ(store->CurrentFrame[PixelIndex(100, 100)], 65535);
  EXPECT_EQ(store->CurrentFrame[PixelIndex(99, 100)], 0);
  EXPECT_EQ(store->CurrentFrame[PixelIndex(99, 99)], 100);
}

TEST(FilterTest, MedianPowerDecidesWhichPixelsChange) {
  // A window of 9: eight at 1000 and one pixel at 1000 + d; range = d, median 1000.
  struct Case {
    int d, power;
    bool replaced;
  };
  const Case cases[] = {
      {100, 10, false}, {100, 1, true}, {10, 1, true}, {10, 9, true}, {9, 10, false}, {100, 9, true},
  };
  for (const Case& c : cases) {
    auto store = NewStore();
    store->CurrentFrame.fill(1000);
    store->CurrentFrame[PixelIndex(50, 50)] = static_cast<uint16_t>(1000 + c.d);
    ASSERT_TRUE(MedianFilter(*store, 1, c.power));
    EXPECT_EQ(store->CurrentFrame[PixelIndex(50, 50)], c.replaced ? 1000 : 1000 + c.d)
        << c.d << " " << c.power;
  }
}

TEST(FilterTest, GradientRemovesALinearSky) {
  // A sky rising to the right: the plane through the corner modes is subtracted.
  auto store = NewStore();
  for (int y = 0; y < kFrameHeight; ++y) {
    for (int x = 0; x < kFrameWidth; ++x)
      store->CurrentFrame[PixelIndex(y, x)] = static_cast<uint16_t>(1000 + 4 * x);
  }
  const Frame before = store->CurrentFrame;
  const Frame want = ReferenceGradient(before, false);
  GradientFilter(*store);
  EXPECT_EQ(FirstDifference(store->CurrentFrame, want), "");
  // Corner modes: columns 20..69 hold 1,080..1,276, where bin 67 has only two columns and bin 68 is the
  // first full one; columns 450..499 start at 2,800 = bin 175. The right corners sit 107 x 16 = 1,712
  // above the left; at column 511 the plane is 1,712 x 511 / 512 = 1,708.7.
  EXPECT_EQ(store->CurrentFrame[PixelIndex(0, 0)], 1000);
  EXPECT_EQ(store->CurrentFrame[PixelIndex(0, 511)], 3044 - 1708);
  EXPECT_EQ(store->CurrentFrame[PixelIndex(289, 511)], 3044 - 1708);
}

TEST(FilterTest, RefusedParametersChangeNothing) {
  const std::vector<std::pair<std::string, std::function<bool(ImageStore&)>>> cases = {
      {"unsharp radius 0", [](ImageStore& s) { return UnsharpMask(s, 0, 1); }},
      {"unsharp radius 8", [](ImageStore& s) { return UnsharpMask(s, 8, 1); }},
      {"unsharp power 0", [](ImageStore& s) { return UnsharpMask(s, 3, 0); }},
      {"median radius 4", [](ImageStore& s) { return MedianFilter(s, 4, 5); }},
      {"median power 0", [](ImageStore& s) { return MedianFilter(s, 1, 0); }},
      {"median power 11", [](ImageStore& s) { return MedianFilter(s, 1, 11); }},
  };
  for (const auto& [name, run] : cases) {
    auto store = NewStore();
    store->UndoFrame.fill(5);
    const Frame current = store->CurrentFrame;
    EXPECT_FALSE(run(*store)) << name;
    EXPECT_EQ(store->CurrentFrame, current) << name;
    EXPECT_EQ(store->UndoFrame[0], 5) << name;
    EXPECT_EQ(store->History.UsedCount(), 0) << name;
  }
}

TEST(FilterTest, UnsharpSavesTheColourPlanesOfAColourImage) {
  for (int colour : {0, 1}) {
    auto store = NewStore();
    store->ColourConverted = colour;
    store->RedPlane.fill(11);
    store->BluePlane.fill(22);
    store->GreenPlane.fill(33);
    ASSERT_TRUE(UnsharpMask(*store, 3, 1));
    EXPECT_EQ(store->UndoRed[1000], colour ? 11 : 0);
    EXPECT_EQ(store->UndoBlue[1000], colour ? 22 : 0);
    EXPECT_EQ(store->UndoGreen[1000], colour ? 33 : 0);
    EXPECT_EQ(store->RedPlane[1000], 11);  // the planes themselves are not filtered
  }
}

}  // namespace
}  // namespace nyxel
