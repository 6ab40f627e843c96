// Columns 510 and 511 hold no picture: whatever they hold must not reach a pixel of the picture through
// any neighbourhood operation, on every kernel path.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/RecordingHost.h"
#include "processing/Colour.h"
#include "processing/Filter.h"
#include "processing/Simd.h"

namespace nyxel {
namespace {

using StoreOp = std::function<void(ImageStore&)>;

// A sky of about 1,000 with stars, colour planes of mid values, and `garbage` in columns 510 and 511.
void FillStore(ImageStore& store, unsigned seed, int garbage) {
  InitImageStore(store);
  std::mt19937 random(seed);
  std::mt19937 noise(seed + 1000);  // beyond the picture, so the picture is the same for any garbage
  for (int y = 0; y < kFrameHeight; ++y) {
    for (int x = 0; x < kFrameWidth; ++x) {
      const int i = PixelIndex(y, x);
      int v = 900 + static_cast<int>(random() % 200);
      if (random() % 97 == 0) v = 20000 + static_cast<int>(random() % 40000);
      if (x >= 510) v = garbage < 0 ? static_cast<int>(noise() % 65536) : garbage;
      store.CurrentFrame[i] = static_cast<uint16_t>(v);
      store.RedPlane[i] = static_cast<uint8_t>(x >= 510 ? v >> 8 : 40 + random() % 30);
      store.GreenPlane[i] = static_cast<uint8_t>(x >= 510 ? v : 50 + random() % 30);
      store.BluePlane[i] = static_cast<uint8_t>(x >= 510 ? 255 - (v >> 8) : 60 + random() % 30);
    }
  }
}

// The first pixel of columns 0..509 where two stores differ, or "".
std::string PictureDifference(const ImageStore& a, const ImageStore& b) {
  for (int y = 0; y < kFrameHeight; ++y) {
    for (int x = 0; x < 510; ++x) {
      const int i = PixelIndex(y, x);
      const char* name = a.CurrentFrame[i] != b.CurrentFrame[i] ? "CurrentFrame"
                         : a.RedPlane[i] != b.RedPlane[i]       ? "RedPlane"
                         : a.GreenPlane[i] != b.GreenPlane[i]   ? "GreenPlane"
                         : a.BluePlane[i] != b.BluePlane[i]     ? "BluePlane"
                                                                : nullptr;
      if (name) return std::string(name) + " at " + std::to_string(y) + "," + std::to_string(x);
    }
  }
  return "";
}

TEST(PictureEdgeTest, WhatColumns510And511HoldReachesNoPicturePixel) {
  RecordingHost host;
  Settings plain;
  struct Case {
    std::string name;
    bool colour;  // runs on colour planes
    StoreOp op;
  };
  std::vector<Case> cases = {
      {"synthesis", false, [&](ImageStore& s) { SynthesizeColour(s, host, plain); }},
      {"high pass low power", false, [](ImageStore& s) { HighPassLowPowerFilter(s); }},
      {"high pass high power", false, [](ImageStore& s) { HighPassHighPowerFilter(s); }},
      {"smoother/sharper", false, [](ImageStore& s) { SmootherSharperFilter(s); }},
      {"gaussian", false, [](ImageStore& s) { GaussianFilter(s); }},
      {"lowpass smoother", false, [](ImageStore& s) { LowpassSmootherFilter(s); }},
      {"bas relief", false, [](ImageStore& s) { BasReliefFilter(s); }},
      {"convolve 2/0/16", false, [](ImageStore& s) { ConvolveFrame(s, 2, 0, 16); }},
      {"anti-alias", true, [&](ImageStore& s) { AntiAlias(s, host); }},
      {"low pass colour", true, [](ImageStore& s) { LowPassColour(s); }},
  };
  for (int r = 1; r <= 7; ++r)
    cases.push_back({"unsharp " + std::to_string(r), false, [r](ImageStore& s) { UnsharpMask(s, r, 3); }});
  for (int r = 1; r <= 3; ++r)
    cases.push_back({"median " + std::to_string(r), false, [r](ImageStore& s) { MedianFilter(s, r, 1); }});
  for (const int h : {-3, -1, 1, 2, 3}) {
    cases.push_back({"chromatism " + std::to_string(h), true, [h](ImageStore& s) {
                       AdjustChromatism(s, ChromaticShift{h, 1, -h, 0});
                     }});
  }
  Settings all;
  all.high_pass = all.unsharp_mask = all.anti_alias = all.light_pollution_correction = true;
  all.strong_stretch = true;
  cases.push_back(
      {"synthesis with every step", false, [&](ImageStore& s) { SynthesizeColour(s, host, all); }});

  auto a = ImageStore::Create();
  auto b = ImageStore::Create();
  unsigned seed = 0;
  for (const Case& c : cases) {
    for (const SimdPath path : {SimdPath::kScalar, SimdPath::kVector, SimdPath::kAvx2}) {
      if (path > BestSimdPath()) continue;
      SetSimdPath(path);
      ++seed;
      // Black and white beyond the picture, then noise against a flat value.
      for (const auto& [ga, gb] : {std::pair{0, 65535}, std::pair{-1, 30000}}) {
        FillStore(*a, seed, ga);
        FillStore(*b, seed, gb);
        a->ColourConverted = b->ColourConverted = c.colour ? 1 : 0;
        c.op(*a);
        c.op(*b);
        EXPECT_EQ(PictureDifference(*a, *b), "") << c.name << " on path " << static_cast<int>(path);
      }
    }
  }
  SetSimdPath(BestSimdPath());
}

// The last picture column of a colour picture is computed as its mirror image would be: a frame that is
// symmetric about column 509 gives column 509 the colour column 507 has (same mosaic phase), and no
// stripe whatever the columns beyond hold.
TEST(PictureEdgeTest, LastColumnOfASymmetricFrameMatchesItsMosaicNeighbour) {
  RecordingHost host;
  auto store = ImageStore::Create();
  for (const int beyond : {0, 1000, 65535}) {
    InitImageStore(*store);
    for (int y = 0; y < kFrameHeight; ++y) {
      for (int x = 0; x < kFrameWidth; ++x) {
        // A mosaic of four phases that is the same two columns left or right of 508.
        const int v = 1000 + 300 * (x % 2) + 200 * (y % 2);
        store->CurrentFrame[PixelIndex(y, x)] = static_cast<uint16_t>(x >= 510 ? beyond : v);
      }
    }
    SynthesizeColour(*store, host, Settings{});
    for (const int y : {1, 2, 101, 288}) {
      for (const Plane* p : {&store->RedPlane, &store->GreenPlane, &store->BluePlane}) {
        EXPECT_EQ((*p)[PixelIndex(y, 509)], (*p)[PixelIndex(y, 507)]) << "row " << y << " beyond " << beyond;
      }
    }
  }
}

// Chromatism: a picture pixel whose source lies beyond column 509 keeps its value, as one beyond column
// 0 does; columns 510 and 511 shift as before.
TEST(PictureEdgeTest, ChromatismTakesNothingFromBeyondThePicture) {
  auto store = ImageStore::Create();
  for (const int h : {-3, -2, -1, 1, 2, 3}) {
    InitImageStore(*store);
    for (int x = 0; x < kFrameWidth; ++x) {
      for (int y = 0; y < kFrameHeight; ++y)
        store->RedPlane[PixelIndex(y, x)] = static_cast<uint8_t>(x % 256);
    }
    store->ColourConverted = 1;
    const Plane before = store->RedPlane;
    AdjustChromatism(*store, ChromaticShift{h, 0, 0, 0});
    for (int x = 0; x < kFrameWidth; ++x) {
      const int from = x + h;
      const bool outside = from < 0 || from > 511 || (x <= 509 && from > 509);
      const int want = before[PixelIndex(100, outside ? x : from)];
      EXPECT_EQ(store->RedPlane[PixelIndex(100, x)], want) << "h " << h << " column " << x;
    }
  }
}

}  // namespace
}  // namespace nyxel
