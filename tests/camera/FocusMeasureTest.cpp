#include <gtest/gtest.h>

#include <cmath>

#include "camera/CameraProtocol.h"
#include "camera/FocusMeasure.h"
#include "camera/sim/SimulatedCamera.h"
#include "core/RecordingHost.h"

namespace nyxel {
namespace {

// A Gaussian star's half-flux radius and FWHM: sigma x sqrt(2 ln 2) and sigma x 2 sqrt(2 ln 2).
constexpr double kHfrPerSigma = 1.1774100225154747;
constexpr double kFwhmPerSigma = 2.3548200450309493;

struct FocusRig {
  explicit FocusRig(double sigma, int hot_pixels = 6, uint32_t seed = 7)
      : sky(clock),
        sim(sky, Options(hot_pixels, seed)),
        store(ImageStore::Create()),
        camera(sim, host, clock) {
    sky.psf_sigma = sigma;
    EXPECT_TRUE(FindCamera(camera, false));
  }
  static SimulatedCameraOptions Options(int hot, uint32_t seed) {
    SimulatedCameraOptions o;
    o.hot_pixels = hot;
    o.seed = seed;
    return o;
  }
  StarSize Frame(int value = 10) {
    StarSize size;
    TakeFocusFrame(camera, *store, 'h', value, &size);
    return size;
  }
  SimulatedClock clock{1000};
  SimulatedSky sky;
  SimulatedCamera sim;
  RecordingHost host;
  std::unique_ptr<ImageStore> store;
  Camera camera;
};

TEST(FocusMeasure, GaussianStarsOfKnownSize) {
  double last_hfr = 1e9;
  for (double sigma : {2.5, 1.5, 1.0}) {
    SCOPED_TRACE(sigma);
    FocusRig rig(sigma);
    double hfr = 0, fwhm = 0;
    for (int i = 0; i < 5; ++i) {
      const StarSize size = rig.Frame();
      ASSERT_TRUE(size.found);
      hfr += size.hfr / 5;
      fwhm += size.fwhm / 5;
    }
    EXPECT_NEAR(hfr, kHfrPerSigma * sigma, 0.1 * kHfrPerSigma * sigma);
    EXPECT_NEAR(fwhm, kFwhmPerSigma * sigma, 0.1 * kFwhmPerSigma * sigma);
    EXPECT_LT(hfr, last_hfr) << "a sharper star has the smaller radius";
    last_hfr = hfr;
  }
}

TEST(FocusMeasure, HotPixelsDoNotChangeTheSize) {
  FocusRig with(1.5, 6, 11), without(1.5, 0, 11);
  // One of the hot pixels sits inside the default window; put more right beside the star.
  const StarSize a = with.Frame(), b = without.Frame();
  ASSERT_TRUE(a.found && b.found);
  EXPECT_NEAR(a.hfr, b.hfr, 0.02 * b.hfr);
  EXPECT_NEAR(a.fwhm, b.fwhm, 0.02 * b.fwhm);

  Frame window{};
  FocusRig rig(1.5, 0, 11);
  rig.Frame();
  window = rig.store->CurrentFrame;  // stretched; the measure does not care about the scale
  const StarSize clean = MeasureWindowStar(window);
  for (const auto& [r, c] : {std::pair{55, 60}, std::pair{70, 66}, std::pair{62, 75}})
    window[r * 128 + c] = 65535;
  const StarSize hot = MeasureWindowStar(window);
  ASSERT_TRUE(clean.found && hot.found);
  EXPECT_NEAR(hot.hfr, clean.hfr, 0.03 * clean.hfr);
  EXPECT_NEAR(hot.fwhm, clean.fwhm, 0.03 * clean.fwhm);
}

TEST(FocusMeasure, EmptyWindowAndTrend) {
  Frame flat{};
  flat.fill(1000);
  EXPECT_FALSE(MeasureWindowStar(flat).found);
  flat[60 * 128 + 60] = 60000;  // a lone hot pixel is no star
  EXPECT_FALSE(MeasureWindowStar(flat).found);

  FocusTrend trend;
  for (int i = 0; i < kFocusTrendFrames + 5; ++i) trend.Add({true, double(i), 0});
  EXPECT_EQ(trend.count, kFocusTrendFrames);
  EXPECT_EQ(trend[0].hfr, 5);
  EXPECT_EQ(trend[kFocusTrendFrames - 1].hfr, kFocusTrendFrames + 4);
}

}  // namespace
}  // namespace nyxel
