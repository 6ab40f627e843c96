// The median's comparator networks proven on every 0-1 input (which proves them on every input), and
// the fast conditional median against the plain repeated-maximum definition on random frames, on every
// kernel path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <random>
#include <vector>

#include "core/Display.h"
#include "processing/Filter.h"
#include "processing/MedianNetworks.h"
#include "processing/Simd.h"

namespace nyxel {
namespace {

// Runs a network on 64 0-1 inputs at once, one bit per input.
template <size_t N>
void Run(const Comparator (&net)[N], uint64_t* w) {
  for (const Comparator& c : net) {
    const uint64_t a = w[c.low], b = w[c.high];
    if (c.keep & 1) w[c.low] = a & b;
    if (c.keep & 2) w[c.high] = a | b;
  }
}

template <size_t N, size_t M>
void ExpectSorts(const Comparator (&net)[N], const int (&rank)[M]) {
  const int n = static_cast<int>(M);
  for (int input = 0; input < (1 << n); ++input) {
    uint64_t w[7];
    int ones = 0;
    for (int k = 0; k < n; ++k) {
      w[k] = (input >> k) & 1;
      ones += (input >> k) & 1;
    }
    Run(net, w);
    for (int k = 0; k < n; ++k) ASSERT_EQ(w[rank[k]], k >= n - ones ? 1u : 0u) << n << " " << input;
  }
}

// Every 0-1 window whose columns are sorted: column c holds zeros[c] zeros, then ones.
template <size_t N>
void ExpectMedian(const Comparator (&net)[N], int wire, int radius) {
  const int side = 2 * radius + 1;
  const int n = side * side;
  std::vector<int> zeros(side, 0);
  uint64_t w[49] = {};
  uint64_t want = 0;
  int lane = 0;
  long windows = 0;
  auto check = [&] {
    Run(net, w);
    ASSERT_EQ(w[wire], want) << "radius " << radius << " after " << windows << " windows";
    std::fill(std::begin(w), std::end(w), 0);
    want = 0;
    lane = 0;
  };
  while (true) {
    int ones = 0;
    for (int c = 0; c < side; ++c) {
      for (int k = zeros[c]; k < side; ++k) w[c * side + k] |= uint64_t{1} << lane;
      ones += side - zeros[c];
    }
    if (ones > n / 2) want |= uint64_t{1} << lane;
    ++windows;
    if (++lane == 64) check();
    int c = 0;
    while (c < side && ++zeros[c] > side) zeros[c++] = 0;
    if (c == side) break;
  }
  if (lane > 0) check();
  long all = 1;
  for (int c = 0; c < side; ++c) all *= side + 1;
  EXPECT_EQ(windows, all);
}

TEST(MedianNetworkTest, NetworksHoldForEveryZeroOneInput) {
  ExpectSorts(kColumnSort3, kColumnSort3Rank);
  ExpectSorts(kColumnSort5, kColumnSort5Rank);
  ExpectSorts(kColumnSort7, kColumnSort7Rank);
  ExpectMedian(kMedianNetwork1, kMedianNetwork1Wire, 1);
  ExpectMedian(kMedianNetwork2, kMedianNetwork2Wire, 2);
  ExpectMedian(kMedianNetwork3, kMedianNetwork3Wire, 3);
}

// The filter as defined: take the largest remaining value n / 2 + 1 times, zeroing each one taken.
Frame RepeatedMaximum(const Frame& in, bool labelled, int r, int power) {
  Frame out = in;
  const int n = (2 * r + 1) * (2 * r + 1);
  for (int y = r + (labelled ? 10 : 0); y < 290 - r; ++y) {
    for (int x = r; x < 512 - r; ++x) {
      int values[49];
      int minimum = 65000, count = 0;
      for (int wy = y - r; wy <= y + r; ++wy) {
        for (int wx = x - r; wx <= x + r; ++wx) {
          // Columns 510 and 511 hold no picture: a picture pixel's window reads them mirrored.
          const int column = x <= 509 && wx > 509 ? 1018 - wx : wx;
          values[count] = in[wy * 512 + column];
          minimum = std::min(minimum, values[count++]);
        }
      }
      int maximum = -1, median = 0;
      for (int taken = 0; taken < n / 2 + 1; ++taken) {
        const int at = static_cast<int>(std::max_element(values, values + n) - values);
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

TEST(MedianNetworkTest, FastMedianEqualsRepeatedMaximumOnEveryPath) {
  std::mt19937 random(31);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<>(lo, hi)(random); };
  auto store = ImageStore::Create();
  int frames = 0;
  for (int radius = 1; radius <= 3; ++radius) {
    for (int scene = 0; scene < 4; ++scene) {
      InitImageStore(*store);
      Frame& f = store->CurrentFrame;
      // Flat patches of random size and level, then hot, cold and saturated pixels and noise.
      for (int patch = 0; patch < 300; ++patch) {
        const int level = uniform(0, 3) == 0 ? (uniform(0, 1) ? 0 : 65535) : uniform(0, 65535);
        const int top = uniform(0, 289), left = uniform(0, 511), h = uniform(1, 40), w = uniform(1, 60);
        for (int y = top; y < std::min(290, top + h); ++y) {
          for (int x = left; x < std::min(512, left + w); ++x)
            f[PixelIndex(y, x)] = static_cast<uint16_t>(level);
        }
      }
      for (int k = 0; k < 6000; ++k) {
        const int i = uniform(0, kFramePixels - 1);
        const int pick = uniform(0, 3);
        f[i] = static_cast<uint16_t>(pick == 0   ? 65535
                                     : pick == 1 ? 0
                                     : pick == 2 ? std::clamp(f[i] + uniform(-50, 50), 0, 65535)
                                                 : uniform(0, 65535));
      }
      const bool labelled = scene % 2 == 1;
      if (labelled) {
        f[4] = 20;
        f[5] = 14;
      } else if (f[4] == 20 && f[5] == 14) {
        f[4] = 0;
      }
      const int power = scene == 0 ? 10 : uniform(1, 10);
      const Frame before = f;
      const Frame want = RepeatedMaximum(before, labelled, radius, power);
      for (const SimdPath path : {SimdPath::kScalar, SimdPath::kVector, SimdPath::kAvx2}) {
        SetSimdPath(path);
        CopyFrame(before, store->CurrentFrame);
        ASSERT_TRUE(MedianFilter(*store, radius, power));
        int differ = 0;
        for (int i = 0; i < kFramePixels; ++i) differ += store->CurrentFrame[i] != want[i];
        EXPECT_EQ(differ, 0) << "radius " << radius << " scene " << scene << " path "
                             << static_cast<int>(path);
      }
      SetSimdPath(BestSimdPath());
      ++frames;
    }
  }
  EXPECT_EQ(frames, 12);
}

}  // namespace
}  // namespace nyxel
