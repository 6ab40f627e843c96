#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "camera/SlewAndSum.h"
#include "camera/sim/SimulatedCamera.h"
#include "core/RecordingHost.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

using test::TempDir;

const std::string kLostText = "Summing stopped: the reference star was lost.";
const std::string kNoReferenceText = "Sorry, no reference star found for summing.";

// A camera rig with the summer, on the simulated camera and clock.
struct SumRig {
  explicit SumRig(SimulatedCameraOptions options = Options())
      : sky(clock), sim(sky, options), rig(host, clock, Drive(dir.path()), sim) {
    StartSession(rig.session);
    rig.calendar = CalendarFromClock(clock, test::Utc(2026, 3, 5, 21, 30, 0));
    rig.summer = &summing;
    host.Clear();
  }
  static SimulatedCameraOptions Options() {
    SimulatedCameraOptions o;
    o.hot_pixels = 0;
    o.full_readout_ms = 2500;
    return o;
  }
  // Runs "Take Photo" for `count` exposures of `seconds`, keeping every picture shown.
  void Run(int seconds, int count) {
    ASSERT_TRUE(BeginCameraCommand(rig));
    SelectExposureUnit(rig.run, 's');
    rig.run.ExposureValue = seconds;
    rig.run.ExposureCount = count;
    TakePhoto(rig, [this](int, int) {
      pictures.push_back(rig.session.store.CurrentFrame);
      if (after_picture) after_picture(static_cast<int>(pictures.size()));
    });
    total_dx = summing.TotalShiftX();
    total_dy = summing.TotalShiftY();
    star_x = summing.SumStarX;
    star_y = summing.SumStarY;
    EndCameraCommand(rig);
  }
  ImageStore& store() { return rig.session.store; }

  TempDir dir;
  SimulatedClock clock{100000};
  RecordingHost host;
  SimulatedSky sky;
  SimulatedCamera sim;
  CameraRig rig;
  SlewAndSummer summing{rig};
  std::vector<Frame> pictures;
  std::function<void(int)> after_picture;
  int total_dx = 0, total_dy = 0;
  int star_x = 0, star_y = 0;
};

// One star a little dimmer than would saturate a sum of five 10-second frames, and a few faint ones.
std::vector<SkyStar> Field(double flux = 12000) {
  return {{250, 140, flux}, {120, 60, 1500}, {400, 220, 2500}, {330, 90, 1000}, {180, 230, 1800}};
}

int Median(const Frame& frame) {
  std::vector<uint16_t> v;
  v.reserve(kFramePixels);
  for (int r = 0; r < kFrameHeight; ++r) {
    for (int c = 0; c < 510; ++c) v.push_back(frame[static_cast<size_t>(PixelIndex(r, c))]);
  }
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

struct Star {
  int peak = 0;         // above the sky
  double width = 0;     // rms radius of the light above the sky
  double x = 0, y = 0;  // centroid
};

// The star nearest (x, y): its brightest pixel within 20 pixels, and its light in 25 x 25 about it.
Star Measure(const Frame& frame, int x, int y) {
  const int sky = Median(frame);
  int bx = x, by = y, best = -1;
  for (int r = y - 20; r <= y + 20; ++r) {
    for (int c = x - 20; c <= x + 20; ++c) {
      const int v = frame[static_cast<size_t>(PixelIndex(r, c))];
      if (v > best) best = v, bx = c, by = r;
    }
  }
  // Light above a tenth of the peak, so the sky's noise does not widen the star.
  const int floor = sky + (best - sky) / 10;
  double w = 0, sx = 0, sy = 0;
  for (int pass = 0; pass < 2; ++pass) {
    double w2 = 0, sxx = 0;
    for (int r = by - 12; r <= by + 12; ++r) {
      for (int c = bx - 12; c <= bx + 12; ++c) {
        const double v = std::max(0, frame[static_cast<size_t>(PixelIndex(r, c))] - floor);
        if (pass == 0) {
          w += v, sx += v * c, sy += v * r;
        } else {
          const double dx = c - sx / w, dy = r - sy / w;
          w2 += v, sxx += v * (dx * dx + dy * dy);
        }
      }
    }
    if (pass == 1) return {best - sky, std::sqrt(sxx / w2), sx / w, sy / w};
  }
  return {};
}

// A frame of sky 1000 with Gaussian stars (x, y, height, sigma) on it.
struct Blob {
  double x, y, height, sigma;
};
void Draw(Frame& frame, const std::vector<Blob>& blobs, int sky = 1000) {
  for (int r = 0; r < kFrameHeight; ++r) {
    for (int c = 0; c < kFrameWidth; ++c) {
      double v = sky;
      for (const Blob& b : blobs) {
        v += b.height * std::exp(-((c - b.x) * (c - b.x) + (r - b.y) * (r - b.y)) / (2 * b.sigma * b.sigma));
      }
      frame[static_cast<size_t>(PixelIndex(r, c))] = static_cast<uint16_t>(std::min(65535L, std::lround(v)));
    }
  }
}

// ---- the pieces ----

TEST(SlewAndSum, EvenShiftRule) {
  const int cases[][2] = {{0, 0},    {1, 0},   {2, 2},   {3, 2},     {-1, -2},   {-2, -2}, {9, 8},
                          {-9, -10}, {10, 10}, {11, 11}, {-11, -11}, {-13, -13}, {13, 13}};
  for (const auto& c : cases) EXPECT_EQ(EvenShift(c[0]), c[1]) << c[0];
}

// Against a direct reading of the rule: the overlap is 0 < i - dy < 290 and 0 < j - dx < 510, the sum
// saturates, and the new frame (divided when averaging) stands alone outside it.
TEST(SlewAndSum, ShiftedAddBordersClippingAndDivisor) {
  struct Case {
    int dx, dy, divisor;
  };
  const Case cases[] = {{0, 0, 1}, {2, -4, 1}, {-6, 2, 1}, {12, 9, 1}, {-2, -2, 5}, {4, 0, 3}};
  auto current = std::make_unique<Frame>();
  auto sum = std::make_unique<Frame>();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.dx) + "," + std::to_string(c.dy) + "/" + std::to_string(c.divisor));
    for (int i = 0; i < kFramePixels; ++i) {
      (*current)[i] = static_cast<uint16_t>((i * 37) % 40000 + (i % 7 == 0 ? 30000 : 0));
      (*sum)[i] = static_cast<uint16_t>((i * 91) % 36000);
    }
    const Frame before = *current;
    AddShifted(*current, *sum, c.dx, c.dy, c.divisor);
    int clipped = 0;
    for (int i = 0; i < kFrameHeight; ++i) {
      for (int j = 0; j < kFrameWidth; ++j) {
        const int si = i - c.dy, sj = j - c.dx;
        int expect = before[static_cast<size_t>(PixelIndex(i, j))] / c.divisor;
        if (si > 0 && si < 290 && sj > 0 && sj < 510)
          expect += (*sum)[static_cast<size_t>(PixelIndex(si, sj))];
        if (expect >= 65535) ++clipped;
        expect = std::min(expect, 65535);
        ASSERT_EQ((*current)[static_cast<size_t>(PixelIndex(i, j))], expect) << i << " " << j;
      }
    }
    if (c.divisor == 1) {
      EXPECT_GT(clipped, 0);
    }
  }
}

// Direct calls on drawn frames: two frames, the second with the star moved and changed.
struct DrawnPair {
  DrawnPair() : sky(clock), sim(sky), rig(host, clock, Drive(dir.path()), sim) {
    StartSession(rig.session);
    host.Clear();
  }
  ImageStore& store() { return rig.session.store; }
  int Sum(const std::vector<Blob>& frame, int total = 5) {
    Draw(store().CurrentFrame, frame);
    return summing.SlewAndSum(store(), rig.run, total);
  }
  TempDir dir;
  SimulatedClock clock;
  RecordingHost host;
  SimulatedSky sky;
  SimulatedCamera sim;
  CameraRig rig;
  SlewAndSummer summing{rig};
};

TEST(SlewAndSum, DriftBetweenTwoFrames) {
  struct Case {
    int drift_x, drift_y;
    int radius;
    int shift_x, shift_y;
  };
  const Case cases[] = {
      {1, 0, 8, 0, 0},      // one pixel is not compensated
      {3, 0, 8, 2, 0},      // three shift by two
      {0, 3, 8, 0, 2},      //
      {-1, 2, 8, -2, 2},    // minus one becomes minus two
      {-3, -5, 8, -4, -6},  //
      {6, -4, 8, 6, -4},    // even shifts as they are
      {11, 0, 15, 11, 0},   // odd beyond nine as it is
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.drift_x) + "," + std::to_string(c.drift_y));
    DrawnPair p;
    p.rig.session.settings.guide_mask_radius = static_cast<int16_t>(c.radius);
    ASSERT_EQ(p.Sum({{200, 150, 5000, 1.5}}), kSumOk);
    const Frame first = p.store().CurrentFrame;
    EXPECT_EQ(p.summing.SumStarX, 200);
    EXPECT_EQ(p.summing.SumStarY, 150);
    EXPECT_EQ(p.summing.SumStarPeak, 6000);
    Frame second{};
    Draw(second, {{200.0 + c.drift_x, 150.0 + c.drift_y, 5000, 1.5}});
    ASSERT_EQ(p.Sum({{200.0 + c.drift_x, 150.0 + c.drift_y, 5000, 1.5}}), kSumOk);
    EXPECT_EQ(p.summing.TotalShiftX(), c.shift_x);
    EXPECT_EQ(p.summing.TotalShiftY(), c.shift_y);
    EXPECT_EQ(p.summing.SumStarX, 200 + c.drift_x);
    EXPECT_EQ(p.summing.SumStarY, 150 + c.drift_y);
    // The first frame, moved by the shift, lies on the new one.
    const size_t at = static_cast<size_t>(PixelIndex(150 + c.drift_y, 200 + c.drift_x));
    const size_t from =
        static_cast<size_t>(PixelIndex(150 + c.drift_y - c.shift_y, 200 + c.drift_x - c.shift_x));
    EXPECT_EQ(p.store().CurrentFrame[at], second[at] + first[from]);
    EXPECT_TRUE(p.store().CurrentFrame == p.store().SecondFrame);
    EXPECT_TRUE(p.host.boxes.empty());
  }
}

TEST(SlewAndSum, StarIntensityLimits) {
  struct Case {
    double height;  // the second frame's star, the first's is 4000
    int result;
  };
  const Case cases[] = {{8000, kSumOk}, {11900, kSumOk},      {12100, kSumStarLost},
                        {1250, kSumOk}, {1000, kSumStarLost}, {0, kSumStarLost}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.height);
    DrawnPair p;
    ASSERT_EQ(p.Sum({{300, 100, 4000, 1.5}}), kSumOk);
    const Frame first = p.store().CurrentFrame;
    ASSERT_EQ(p.Sum({{304, 100, c.height, 1.5}}), c.result);
    if (c.result == kSumStarLost) {
      EXPECT_TRUE(p.store().CurrentFrame == first) << "the sum so far stays on display";
      EXPECT_EQ(p.summing.FramesSummed(), 1);
    } else {
      EXPECT_EQ(p.summing.FramesSummed(), 2);
    }
    EXPECT_TRUE(p.host.boxes.empty()) << "the run shows the message, not the centre search";
  }
}

TEST(SlewAndSum, SaturatedSumClips) {
  DrawnPair p;
  ASSERT_EQ(p.Sum({{250, 140, 30000, 1.5}}), kSumOk);
  ASSERT_EQ(p.Sum({{250, 140, 30000, 1.5}}), kSumOk);
  EXPECT_EQ(p.store().CurrentFrame[static_cast<size_t>(PixelIndex(140, 250))], 62000);
  ASSERT_EQ(p.Sum({{250, 140, 30000, 1.5}}), kSumOk);
  EXPECT_EQ(p.store().CurrentFrame[static_cast<size_t>(PixelIndex(140, 250))], 65535);
  EXPECT_EQ(p.store().CurrentFrame[static_cast<size_t>(PixelIndex(140, 251))],
            std::min<long>(65535, 3 * (1000 + std::lround(30000 * std::exp(-1 / 4.5)))));
  EXPECT_EQ(p.store().CurrentFrame[static_cast<size_t>(PixelIndex(20, 20))], 3000);
}

// The reference: the picked star when it is there, else the brightest star at least two rows tall away
// from the borders; a frame with neither gives no reference.
TEST(SlewAndSum, FirstFrameReference) {
  struct Case {
    std::string name;
    std::vector<Blob> frame;
    bool picked;
    int pick_x, pick_y;
    int result;
    int x, y;
  };
  const Case cases[] = {
      {"brightest", {{100, 100, 3000, 1.5}, {300, 200, 9000, 1.5}}, false, 0, 0, kSumOk, 300, 200},
      {"picked", {{100, 100, 3000, 1.5}, {300, 200, 9000, 1.5}}, true, 102, 99, kSumOk, 100, 100},
      {"picked star gone", {{300, 200, 9000, 1.5}}, true, 102, 99, kSumOk, 300, 200},
      {"too near the border", {{10, 100, 20000, 1.5}, {300, 200, 2000, 1.5}}, false, 0, 0, kSumOk, 300, 200},
      {"no star", {}, false, 0, 0, kSumNoReference, 0, 0},
      {"too faint", {{300, 200, 200, 1.5}}, false, 0, 0, kSumNoReference, 0, 0},
      {"hot pixel only", {{300, 200, 40000, 0.2}}, false, 0, 0, kSumNoReference, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DrawnPair p;
    p.rig.picked = {c.picked, c.pick_x, c.pick_y};
    Draw(p.store().CurrentFrame, c.frame);
    const Frame frame = p.store().CurrentFrame;
    EXPECT_EQ(p.summing.SlewAndSum(p.store(), p.rig.run, 4), c.result);
    EXPECT_EQ(p.summing.SumStarX, c.x);
    EXPECT_EQ(p.summing.SumStarY, c.y);
    EXPECT_TRUE(p.store().CurrentFrame == frame) << "the first frame stays on display";
    EXPECT_TRUE(p.host.boxes.empty());
  }
}

// A steady drift of one pixel a frame: the even rule holds each step back, but the sum never lags the
// newest frame by more than a pixel.
TEST(SlewAndSum, SteadyOnePixelDriftDoesNotAccumulate) {
  DrawnPair p;
  for (int k = 0; k < 8; ++k) {
    ASSERT_EQ(p.Sum({{200.0 + k, 150.0 - k, 3000, 1.5}}, 8), kSumOk) << k;
    EXPECT_LE(std::abs(p.summing.TotalShiftX() - k), 1) << k;
    EXPECT_LE(std::abs(p.summing.TotalShiftY() + k), 1) << k;
    EXPECT_EQ(p.summing.TotalShiftX() % 2, 0);
  }
  EXPECT_EQ(p.summing.FramesSummed(), 8);
}

TEST(SlewAndSum, AveragingDividesEveryFrame) {
  DrawnPair p;
  p.rig.run.AverageExposures = true;
  ASSERT_EQ(p.Sum({{200, 150, 5000, 1.5}}, 4), kSumOk);
  EXPECT_EQ(p.store().SecondFrame[static_cast<size_t>(PixelIndex(150, 200))], 1500);
  EXPECT_EQ(p.store().CurrentFrame[static_cast<size_t>(PixelIndex(150, 200))], 6000);
  ASSERT_EQ(p.Sum({{200, 150, 5001, 1.5}}, 4), kSumOk);
  // Half the frames in: the sum holds two quarters, the picture shows them at one exposure's scale.
  EXPECT_EQ(p.store().SecondFrame[static_cast<size_t>(PixelIndex(150, 200))], 3000);
  EXPECT_EQ(p.store().CurrentFrame[static_cast<size_t>(PixelIndex(150, 200))], 6000);
  ASSERT_EQ(p.Sum({{200, 150, 5000, 1.5}}, 4), kSumOk);
  ASSERT_EQ(p.Sum({{200, 150, 5000, 1.5}}, 4), kSumOk);
  EXPECT_EQ(p.store().CurrentFrame[static_cast<size_t>(PixelIndex(150, 200))], 6000);
  EXPECT_EQ(p.store().CurrentFrame[static_cast<size_t>(PixelIndex(20, 20))], 1000);
  EXPECT_TRUE(p.store().CurrentFrame == p.store().SecondFrame);
  // Outside the overlap the new frame enters divided as well.
  ASSERT_EQ(p.Sum({{204, 150, 5000, 1.5}}, 4), kSumOk);
  EXPECT_EQ(p.store().CurrentFrame[static_cast<size_t>(PixelIndex(20, 2))], 250);
}

// ---- runs on the simulated camera ----

// Five 10-second exposures of a field drifting 0.2 px/s: registered, the star is as narrow as in one
// exposure and five times as bright; unregistered it smears.
TEST(SlewAndSum, FiveExposuresOfDriftingSky) {
  SumRig plain;
  plain.rig.summer = nullptr;  // each picture one exposure: their plain sum is the unregistered one
  plain.sky.SetStars(Field());
  plain.sky.SetDrift(0.2, 0.0);
  plain.Run(10, 5);
  ASSERT_EQ(plain.pictures.size(), 5u);
  const Star single = Measure(plain.pictures[0], 250, 140);
  auto unregistered = std::make_unique<Frame>();
  for (int i = 0; i < kFramePixels; ++i) {
    int v = 0;
    for (const Frame& f : plain.pictures) v += f[i];
    (*unregistered)[i] = static_cast<uint16_t>(std::min(v, 65535));
  }
  const Star smeared = Measure(*unregistered, 250, 140);

  SumRig sum;
  sum.sky.SetStars(Field());
  sum.sky.SetDrift(0.2, 0.0);
  sum.Run(10, 5);
  ASSERT_EQ(sum.pictures.size(), 5u);
  EXPECT_TRUE(sum.host.boxes.empty());
  const Star registered = Measure(sum.store().CurrentFrame, 250, 140);
  EXPECT_DOUBLE_EQ(sum.rig.state.EXPTIME, 50.0);
  // The field moved about 2.5 pixels a frame (10 s exposure, 2.5 s readout) and the sum followed.
  EXPECT_GE(sum.total_dx, 8);
  EXPECT_LE(sum.total_dx, 12);
  EXPECT_EQ(sum.total_dy, 0);
  EXPECT_NEAR(registered.x, Measure(plain.pictures[4], 250, 140).x, 1.0);

  EXPECT_LT(registered.width, single.width * 1.2) << single.width;
  EXPECT_GT(registered.peak, single.peak * 4.2);
  EXPECT_LT(registered.peak, single.peak * 5.5);
  EXPECT_GT(smeared.width, single.width * 1.5);
  EXPECT_LT(smeared.peak, single.peak * 3.5);
  // Every intermediate picture is the sum so far.
  for (size_t k = 1; k < sum.pictures.size(); ++k) {
    EXPECT_GT(Measure(sum.pictures[k], 250 + 2 * static_cast<int>(k), 140).peak,
              Measure(sum.pictures[k - 1], 250 + 2 * static_cast<int>(k), 140).peak);
  }

  SumRig average;
  average.sky.SetStars(Field());
  average.sky.SetDrift(0.2, 0.0);
  average.rig.run.AverageExposures = true;
  average.Run(10, 5);
  const Star averaged = Measure(average.store().CurrentFrame, 250, 140);
  EXPECT_NEAR(averaged.peak, single.peak, 0.1 * single.peak);
  EXPECT_LT(averaged.width, single.width * 1.2);
  EXPECT_NEAR(Median(average.store().CurrentFrame), Median(plain.pictures[0]), 5);
  EXPECT_DOUBLE_EQ(average.rig.state.EXPTIME, 10.0);
  for (const Frame& f : average.pictures) {
    EXPECT_NEAR(Median(f), Median(plain.pictures[0]), 5) << "each picture at one exposure's scale";
  }
}

TEST(SlewAndSum, AlternativeMethodAgreesWithStarCentre) {
  struct Case {
    double drift_x, drift_y;
  };
  const Case cases[] = {{0.2, 0.0}, {-0.15, 0.25}, {0.0, -0.3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.drift_x) + "," + std::to_string(c.drift_y));
    SumRig star, profile;
    for (SumRig* r : {&star, &profile}) {
      r->sky.SetStars(Field());
      r->sky.SetDrift(c.drift_x, c.drift_y);
    }
    profile.rig.run.AlternativeSlew = true;
    star.Run(10, 5);
    profile.Run(10, 5);
    EXPECT_TRUE(profile.host.boxes.empty());
    EXPECT_EQ(profile.pictures.size(), 5u);
    EXPECT_LE(std::abs(profile.total_dx - star.total_dx), 2) << profile.total_dx << " " << star.total_dx;
    EXPECT_LE(std::abs(profile.total_dy - star.total_dy), 2) << profile.total_dy << " " << star.total_dy;
    EXPECT_NEAR(star.total_dx, c.drift_x * 50, 3);
    EXPECT_NEAR(star.total_dy, c.drift_y * 50, 3);
    const Star a = Measure(profile.store().CurrentFrame, 250, 140);
    const Star b = Measure(star.store().CurrentFrame, 250, 140);
    EXPECT_LT(a.width, b.width * 1.2);
  }
}

TEST(SlewAndSum, AlternativeMethodRefusals) {
  // No star in the band: no reference.
  SumRig empty;
  empty.sky.SetStars({{30, 30, 12000}});
  empty.rig.run.AlternativeSlew = true;
  empty.Run(10, 3);
  EXPECT_EQ(empty.pictures.size(), 1u);
  EXPECT_EQ(empty.host.Texts(), std::vector<std::string>{kNoReferenceText});

  // The field goes dark (cloud): the frame is not added.
  SumRig cloud;
  cloud.sky.SetStars(Field());
  cloud.rig.run.AlternativeSlew = true;
  cloud.after_picture = [&cloud](int n) {
    if (n == 2) cloud.sky.SetStars({});
  };
  cloud.Run(10, 4);
  EXPECT_EQ(cloud.host.Texts(), std::vector<std::string>{kLostText});
  ASSERT_EQ(cloud.pictures.size(), 3u);
  EXPECT_TRUE(cloud.pictures[2] == cloud.pictures[1]);
}

// The run around the summer: messages 33 and 34, what stays on display and in EXPTIME.
TEST(SlewAndSum, RunStopsOnLostOrMissingStar) {
  SumRig fade;
  fade.sky.SetStars(Field());
  fade.after_picture = [&fade](int n) {
    if (n == 2) fade.sky.SetStars(Field(12000 / 4.0));
  };
  fade.Run(10, 5);
  EXPECT_EQ(fade.host.Texts(), std::vector<std::string>{kLostText});
  // Two sums shown, then the sum of those two once more when the run ends.
  ASSERT_EQ(fade.pictures.size(), 3u);
  EXPECT_TRUE(fade.pictures[2] == fade.pictures[1]);
  EXPECT_DOUBLE_EQ(fade.rig.state.EXPTIME, 20.0);
  EXPECT_DOUBLE_EQ(fade.rig.session.settings.fits.fits_exposure, 20.0);
  EXPECT_EQ(fade.summing.SumStarX, 0) << "cleared at the end of the command";

  SumRig starless;
  starless.sky.SetStars({});
  starless.Run(10, 5);
  EXPECT_EQ(starless.host.Texts(), std::vector<std::string>{kNoReferenceText});
  ASSERT_EQ(starless.pictures.size(), 1u);
  EXPECT_TRUE(starless.store().CurrentFrame == starless.pictures[0]);
  EXPECT_DOUBLE_EQ(starless.rig.state.EXPTIME, 10.0);

  // Hot pixels brighter than any star never become the reference.
  SimulatedCameraOptions hot = SumRig::Options();
  hot.hot_pixels = 12;
  SumRig hot_sky(hot);
  hot_sky.sky.SetStars(Field());
  hot_sky.Run(5, 2);
  EXPECT_TRUE(hot_sky.host.boxes.empty());
  EXPECT_EQ(hot_sky.pictures.size(), 2u);
  EXPECT_NEAR(hot_sky.star_x, 250, 2);
  EXPECT_NEAR(hot_sky.star_y, 140, 2);
}

std::string Card(const std::vector<unsigned char>& file, const std::string& key) {
  const std::string text(file.begin(), file.end());
  const size_t at = text.find(key);
  return at == std::string::npos ? "" : text.substr(at, 80);
}

// Every picture of the run is the sum so far, saved with the time of its frames; an abort keeps the
// sum of the frames read before it, without a message.
TEST(SlewAndSum, IntermediateSumsSavedAndAbortKeepsTheSum) {
  SumRig r;
  test::ScopedTimeZone utc("UTC");
  r.sky.SetStars(Field());
  r.sky.SetDrift(0.2, 0.1);
  r.rig.run.AutoSave = true;
  const uint32_t abort_at = r.clock.NowMs() + 30000;  // in the third exposure
  r.host.on_pump = [&r, abort_at] {
    if (ElapsedMs(r.clock.NowMs(), abort_at) >= 0 && r.host.abort_on_pump == 0)
      r.host.abort_on_pump = r.host.pumps;
  };
  r.Run(10, 4);
  ASSERT_EQ(r.pictures.size(), 2u);
  EXPECT_TRUE(r.rig.state.ExposureAborted);
  EXPECT_TRUE(r.host.boxes.empty());
  EXPECT_TRUE(r.store().CurrentFrame == r.pictures[1]);
  const char* times[] = {"1.0000000000E+01", "2.0000000000E+01"};
  for (int n = 1; n <= 2; ++n) {
    SCOPED_TRACE(n);
    const auto file = test::ReadBytes(r.dir.path() / "autosave" / ("IMG" + std::to_string(n) + ".FIT"));
    EXPECT_NE(Card(file, "EXPTIME =").find(times[n - 1]), std::string::npos) << Card(file, "EXPTIME =");
  }
  EXPECT_FALSE(std::filesystem::exists(r.dir.path() / "autosave" / "IMG3.FIT"));
  EXPECT_GT(Measure(r.pictures[1], 254, 142).peak, Measure(r.pictures[0], 252, 141).peak * 3 / 2);
}

}  // namespace
}  // namespace nyxel
