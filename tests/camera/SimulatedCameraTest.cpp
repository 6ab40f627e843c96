#include <gtest/gtest.h>

#include <cmath>

#include "camera/CameraProtocol.h"
#include "camera/sim/SimulatedCamera.h"
#include "core/RecordingHost.h"

namespace nyxel {
namespace {

// The protocol code talking to the simulated camera on the simulated clock.
struct SimRig {
  explicit SimRig(SimulatedCameraOptions options = {})
      : sky(clock),
        sim(sky, options),
        store_owner(ImageStore::Create()),
        store(*store_owner),
        camera(sim, host, clock) {
    EXPECT_TRUE(FindCamera(camera, false));
    EXPECT_TRUE(camera.CameraPresent);
  }

  // An exposure as the exposure run takes it: clear, start, host wait, clear, end, full-frame read.
  void ExposeFull(int exposure_ms, Frame& dest) {
    camera.ExposureMs = exposure_ms;
    SendControl(camera, kControlClear);
    SendControl(camera, kControlStartIntegration);
    HostWait(camera, exposure_ms);
    if (exposure_ms >= 200) SendControl(camera, kControlClear);
    SendControl(camera, kControlEndIntegration);
    ReadFullFrame(camera, dest);
  }

  SimulatedClock clock{5000};
  SimulatedSky sky;
  SimulatedCamera sim;
  RecordingHost host;
  std::unique_ptr<ImageStore> store_owner;
  ImageStore& store;
  Camera camera;
};

SimulatedCameraOptions Quiet() {
  SimulatedCameraOptions options;
  options.noise = false;
  return options;
}

struct Measured {
  double x = 0, y = 0;  // frame column and row of the star's centroid
  double flux = 0;      // signal above the background, through the mosaic
  int peak = 0;
};

// Star centroid in a picture of `width` columns whose pixel (0, 0) is frame pixel (left, top). Each
// pixel's signal is divided by its filter's response to the star's colour, so the mosaic does not pull
// the centroid; the background is the mean of the box's border.
Measured Measure(const Frame& picture, int width, int left, int top, const SkyStar& star, double x, double y,
                 int radius = 7) {
  const int cx = static_cast<int>(std::lround(x)), cy = static_cast<int>(std::lround(y));
  auto value = [&](int row, int column) { return picture[(row - top) * width + (column - left)]; };
  double border = 0;
  int border_count = 0;
  for (int row = cy - radius; row <= cy + radius; ++row) {
    for (int column = cx - radius; column <= cx + radius; ++column) {
      if (std::abs(row - cy) == radius || std::abs(column - cx) == radius) {
        border += value(row, column);
        ++border_count;
      }
    }
  }
  const double background = border / border_count;
  Measured m;
  double weight = 0;
  for (int row = cy - radius + 1; row < cy + radius; ++row) {
    for (int column = cx - radius + 1; column < cx + radius; ++column) {
      const auto& r = SimulatedCamera::MosaicResponse(row, column);
      const double response = r[0] * star.red + r[1] * star.green + r[2] * star.blue;
      const double signal = (value(row, column) - background) / response;
      m.flux += value(row, column) - background;
      m.x += signal * column;
      m.y += signal * row;
      weight += signal;
      m.peak = std::max<int>(m.peak, value(row, column));
    }
  }
  m.x /= weight;
  m.y /= weight;
  return m;
}

TEST(SimulatedCamera, FullFrameShowsTheStarsWhereTheSkyPutsThem) {
  for (int exposure_ms : {1000, 400, 4000}) {
    SCOPED_TRACE(exposure_ms);
    SimRig rig;
    rig.ExposeFull(exposure_ms, rig.store.CurrentFrame);
    EXPECT_TRUE(rig.host.boxes.empty());
    EXPECT_DOUBLE_EQ(rig.sim.last_exposure_ms, exposure_ms);
    const SkyStar& bright = rig.sky.BrightStar();
    const Measured m = Measure(rig.store.CurrentFrame, kFrameWidth, 0, 0, bright, bright.x, bright.y);
    EXPECT_NEAR(m.x, bright.x, 0.1);
    EXPECT_NEAR(m.y, bright.y, 0.1);
    // Fainter stars, away from the edges and from each other, are where the sky says too.
    auto crowded = [&](const SkyStar& star) {
      for (const SkyStar& other : rig.sky.Stars()) {
        if (&other != &star && std::hypot(other.x - star.x, other.y - star.y) < 12) return true;
      }
      return false;
    };
    for (const SkyStar& star : rig.sky.Stars()) {
      if (&star == &bright || star.x < 12 || star.x > 497 || star.y < 12 || star.y > 277) continue;
      if (star.flux < 0.05 * bright.flux || crowded(star)) continue;
      const Measured f = Measure(rig.store.CurrentFrame, kFrameWidth, 0, 0, star, star.x, star.y);
      EXPECT_NEAR(f.x, star.x, 0.35) << star.x << "," << star.y;
      EXPECT_NEAR(f.y, star.y, 0.35) << star.x << "," << star.y;
    }
  }
}

TEST(SimulatedCamera, WindowShowsTheSameSkyAsTheFullFrame) {
  struct Case {
    int x, y;
  };
  for (const Case& c : std::vector<Case>{{184, 65}, {3, 1}, {376, 160}, {100, 30}}) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    SimRig rig(Quiet());
    rig.ExposeFull(1000, rig.store.SecondFrame);
    rig.camera.FocusWindowX = c.x;
    rig.camera.FocusWindowY = c.y;
    rig.store.PaletteBits = 16;
    rig.store.CurrentFrame.fill(0);
    TakeGuideFrame(rig.camera, rig.store, 's', 1);
    int left = 0, top = 0;
    SimulatedCamera::WindowOrigin(rig.camera.CommandBlock[3], rig.camera.CommandBlock[5], left, top);
    EXPECT_EQ(left, c.x - c.x % 3 + 4);
    EXPECT_EQ(top, c.y - 6);
    int mismatches = 0, dark = 0;
    const int unlit = static_cast<int>(std::lround(1000 + 4.0));  // bias plus one second of dark current
    for (int r = 0; r < kFocusSize; ++r) {
      for (int col = 0; col < kFocusSize; ++col) {
        const int row = top + r, column = left + col;
        const uint16_t w = rig.store.CurrentFrame[r * kFocusSize + col];
        if (row >= 0 && row < kFrameHeight && column >= 0 && column < 510) {
          mismatches += w != rig.store.SecondFrame[PixelIndex(row, column)];
        } else {
          dark += w != unlit;
        }
      }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(dark, 0);
  }
  // The default window holds the bright star, at its sky position less the window's corner.
  SimRig rig;
  rig.store.PaletteBits = 16;
  TakeGuideFrame(rig.camera, rig.store, 's', 1);
  const SkyStar& bright = rig.sky.BrightStar();
  const Measured m = Measure(rig.store.CurrentFrame, kFocusSize, 187, 59, bright, bright.x, bright.y);
  EXPECT_NEAR(m.x, bright.x, 0.1);
  EXPECT_NEAR(m.y, bright.y, 0.1);
}

TEST(SimulatedCamera, SignalGrowsWithExposure) {
  struct Case {
    int short_ms, long_ms;
  };
  // Host-timed, camera-timed, and one of each.
  for (const Case& c : std::vector<Case>{{1000, 2000}, {200, 400}, {300, 600}, {2000, 4000}}) {
    SCOPED_TRACE(c.short_ms);
    SimRig rig;
    const SkyStar& bright = rig.sky.BrightStar();
    rig.ExposeFull(c.short_ms, rig.store.CurrentFrame);
    const Measured a = Measure(rig.store.CurrentFrame, kFrameWidth, 0, 0, bright, bright.x, bright.y);
    // Dark current in the masked pixels of the first line, which never reach the frame.
    auto masked_mean = [&] {
      double sum = 0;
      for (int i = 0; i < kSensorLinePixels; ++i) {
        sum += rig.camera.ReceiveBuffer[2 * i] | (rig.camera.ReceiveBuffer[2 * i + 1] << 8);
      }
      return sum / kSensorLinePixels - 1000;
    };
    const double dark_a = masked_mean();
    rig.ExposeFull(c.long_ms, rig.store.CurrentFrame);
    const Measured b = Measure(rig.store.CurrentFrame, kFrameWidth, 0, 0, bright, bright.x, bright.y);
    const double dark_b = masked_mean();
    EXPECT_NEAR(b.flux / a.flux, 2.0, 0.05);
    EXPECT_NEAR(dark_a, 4.0 * c.short_ms / 1000, 1.0);
    EXPECT_NEAR(dark_b, 4.0 * c.long_ms / 1000, 1.0);
  }
}

TEST(SimulatedCamera, PointingMovesAndDriftMoveTheStars) {
  struct Case {
    const char* name;
    double move_x, move_y;    // a jump before the exposure
    double drift_x, drift_y;  // pixels per second from then on
    uint32_t wait_ms;         // before the exposure
    double expect_x, expect_y;
  };
  const std::vector<Case> cases = {
      {"still", 0, 0, 0, 0, 0, 0, 0},
      {"slewed", 5, -3, 0, 0, 0, 5, -3},
      {"drifting: the trail's middle", 0, 0, 2, 1, 3000, 7, 3.5},
      {"slewed and drifting back", -10, 4, 3, 0, 1000, -10 + 4.5, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimRig rig;
    const SkyStar& bright = rig.sky.BrightStar();
    rig.sky.MovePointing(c.move_x, c.move_y);
    rig.sky.SetDrift(c.drift_x, c.drift_y);
    rig.clock.Pause(c.wait_ms);
    rig.ExposeFull(1000, rig.store.CurrentFrame);
    const double x = bright.x + c.expect_x, y = bright.y + c.expect_y;
    const Measured m = Measure(rig.store.CurrentFrame, kFrameWidth, 0, 0, bright, x, y, 9);
    EXPECT_NEAR(m.x, x, 0.15);
    EXPECT_NEAR(m.y, y, 0.15);
  }
  // The window sees the same move.
  SimRig rig;
  rig.store.PaletteBits = 16;
  rig.sky.MovePointing(6, -4);
  TakeGuideFrame(rig.camera, rig.store, 'h', 30);
  const SkyStar& bright = rig.sky.BrightStar();
  const Measured m = Measure(rig.store.CurrentFrame, kFocusSize, 187, 59, bright, bright.x + 6, bright.y - 4);
  EXPECT_NEAR(m.x, bright.x + 6, 0.15);
  EXPECT_NEAR(m.y, bright.y - 4, 0.15);
}

TEST(SimulatedCamera, IntegrationModel) {
  SimRig rig;
  // A self-guided exposure: guide windows come and go while the main integration runs on.
  SendControl(rig.camera, kControlClear);
  SendControl(rig.camera, kControlStartIntegration);
  const uint32_t start = rig.clock.NowMs();
  TakeGuidingFrame(rig.camera, rig.store, 1500);
  EXPECT_DOUBLE_EQ(rig.sim.last_exposure_ms, 1500);
  TakeGuidingFrame(rig.camera, rig.store, 300);  // camera-timed: the read takes 300 ms
  EXPECT_DOUBLE_EQ(rig.sim.last_exposure_ms, 300);
  rig.clock.Pause(700);
  SendControl(rig.camera, kControlClear);
  SendControl(rig.camera, kControlEndGuidedSecondHalf);
  rig.camera.ExposureMs = 60000;
  ReadFullFrame(rig.camera, rig.store.SecondFrame);
  EXPECT_DOUBLE_EQ(rig.sim.last_exposure_ms, 1500 + 300 + 700);
  EXPECT_EQ(rig.clock.NowMs() - start, 2500u);

  // After a full-frame read nothing integrates until the next start.
  SendControl(rig.camera, kControlEndIntegration);
  ReadFullFrame(rig.camera, rig.store.SecondFrame);
  EXPECT_DOUBLE_EQ(rig.sim.last_exposure_ms, 0);

  // Clears while a window integrates do not restart it.
  TakeFocusFrame(rig.camera, rig.store, 's', 3);
  EXPECT_DOUBLE_EQ(rig.sim.last_exposure_ms, 3000);
  EXPECT_TRUE(rig.host.boxes.empty());

  // Unplugged: the scan reports it and the camera stays absent.
  SimRig gone;
  gone.sim.connected = false;
  gone.camera.CameraPresent = false;
  gone.camera.HidHandle = gone.camera.BlockIOHandle = 0;
  EXPECT_FALSE(FindCamera(gone.camera, false));
  EXPECT_FALSE(gone.camera.CameraPresent);
  EXPECT_EQ(gone.host.Texts(), std::vector<std::string>{"USB BlockIO device not found"});
}

TEST(SimulatedCamera, FocusMaximumIgnoresTheHotPixelAndFindsTheStar) {
  SimRig rig;
  rig.store.PaletteBits = 16;
  const auto hot = rig.sim.HotPixels().front();
  std::vector<SkyStar> bright_only = {rig.sky.BrightStar()};
  rig.sky.SetStars({});
  const int empty_max = TakeFocusFrame(rig.camera, rig.store, 's', 1);
  EXPECT_GE(rig.store.CurrentFrame[(hot[1] - 59) * kFocusSize + (hot[0] - 187)], 6000 + 4000);
  EXPECT_LT(empty_max, 1100 / 4);
  rig.sky.SetStars(bright_only);
  const int star_max = TakeFocusFrame(rig.camera, rig.store, 's', 1);
  EXPECT_GT(star_max, 8000 / 4);
  // A long exposure saturates the star at 65535 and no further.
  rig.ExposeFull(60000, rig.store.CurrentFrame);
  const SkyStar& bright = rig.sky.BrightStar();
  EXPECT_EQ(rig.store.CurrentFrame[PixelIndex(static_cast<int>(std::lround(bright.y)),
                                              static_cast<int>(std::lround(bright.x)))],
            65535);
}

TEST(SimulatedCamera, MosaicGivesTheStarItsColour) {
  // A wide star is locally flat, so each mosaic phase's colour formulas see a uniform patch.
  SimulatedCameraOptions options = Quiet();
  options.dark_rate = 0;
  options.hot_pixels = 0;
  SimRig rig(options);
  rig.sky.sky_background = 0;
  rig.sky.psf_sigma = 12;
  const SkyStar star{250, 120, 4e6, 1.0, 0.8, 0.6};
  rig.sky.SetStars({star});
  rig.ExposeFull(1000, rig.store.CurrentFrame);
  auto s = [&](int row, int column) { return rig.store.CurrentFrame[PixelIndex(row, column)] - 1000.0; };
  for (int row = 120; row < 122; ++row) {
    for (int column = 250; column < 252; ++column) {
      const int column_phase = 1 ^ (column & 1), row_phase = row & 1;
      const double c = s(row, column);
      const double e = s(row, column - 1) + s(row, column + 1) + s(row - 1, column) + s(row + 1, column);
      const double d =
          s(row - 1, column - 1) + s(row - 1, column + 1) + s(row + 1, column - 1) + s(row + 1, column + 1);
      const double t = c + e + d, m = 5 * e - 2 * (c + d), n = e - 2 * c;
      double red = 0, green = 0, blue = 0;
      if (column_phase == 1 && row_phase == 1) {
        red = (7 * (d - 2 * c) - 2 * (e - c)) / 40;
        green = (6 * (e - c) - (d - 2 * c)) / 40;
        blue = (t - 11 * red - 13 * green) / 8;
      } else if (column_phase == 1) {
        red = (7 * n - m) / 20;
        blue = (3 * m - 11 * n) / 40;
        green = (t - 7 * blue - 10 * red) / 14;
      } else if (row_phase == 1) {
        red = (3 * m - 11 * n) / 40;
        blue = (7 * n - m) / 20;
        green = (t - 10 * blue - 7 * red) / 14;
      } else {
        blue = (7 * (d - 2 * c) - 2 * (e - c)) / 40;
        green = (6 * (e - c) - (d - 2 * c)) / 40;
        red = (t - 11 * blue - 13 * green) / 8;
      }
      red *= 300.0 / 70;
      green *= 300.0 / 50;
      blue *= 10;
      SCOPED_TRACE(testing::Message() << "phase " << column_phase << row_phase);
      EXPECT_NEAR(green / red, 0.8, 0.03);
      EXPECT_NEAR(blue / red, 0.6, 0.03);
    }
  }
}

}  // namespace
}  // namespace nyxel
