// Autoguiding against the simulated camera and mount on the simulated clock: window placement, the
// training formulas and the correction rule, training and guiding closed-loop, and the self-guided
// exposure with its half-time readout.
#include "telescope/Guiding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "camera/CameraProtocol.h"
#include "camera/sim/SimulatedCamera.h"
#include "camera/sim/SimulatedSky.h"
#include "core/RecordingHost.h"
#include "files/SettingsFile.h"
#include "processing/StarCentre.h"
#include "telescope/Observatory.h"
#include "telescope/sim/SimulatedMount.h"
#include "tests/support/PictureState.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

constexpr double kStarX = 250.5;
constexpr double kStarY = 121.5;

// The camera as the program sees it, keeping a copy of every full frame it delivers.
struct Tap : CameraTransport {
  explicit Tap(SimulatedCamera& c) : cam(c) {}
  bool ListInterfaces(UsbClass k, std::vector<UsbInterface>& out) override {
    return cam.ListInterfaces(k, out);
  }
  int Open(UsbClass k, const UsbInterface& i) override { return cam.Open(k, i); }
  int WriteReport(int h, std::span<const uint8_t> r) override { return cam.WriteReport(h, r); }
  int ReadBulk(int h, std::span<uint8_t> d, uint32_t t) override {
    const int r = cam.ReadBulk(h, d, t);
    if (r == 0 && d.size() == kFullFrameReadLength) full_reads.emplace_back(d.begin(), d.end());
    return r;
  }
  SimulatedCamera& cam;
  std::vector<std::vector<uint8_t>> full_reads;
};

SimulatedCameraOptions Quiet() {
  SimulatedCameraOptions o;
  o.noise = false;
  o.hot_pixels = 0;
  return o;
}

// One observatory on the simulated sky, camera and mount, with a single white star.
struct GuideRig {
  explicit GuideRig(SimulatedMountOptions mount_options = {}, SimulatedCameraOptions camera_options = Quiet(),
                    double flux = 200000)
      : sky(clock, 3), sim(sky, camera_options), tap(sim), obs(host, clock, Drive(dir.path()), tap) {
    sky.SetStars({{kStarX, kStarY, flux, 1, 1, 1}});
    mount = std::make_unique<SimulatedMount>(sky, mount_options);
    StartSession(obs.session);
    obs.link.port = mount.get();
    Configure([](Settings& s) {
      s.guide_interface = 'l';
      s.ra_pixels_per_sec = 5;
      s.dec_pixels_per_sec = 4;
    });
    EXPECT_TRUE(BeginCameraCommand(obs));
    EndCameraCommand(obs);
    obs.picked = {true, 250, 121};
    host.Clear();
  }
  // Settings go through the file: opening the link reloads it.
  template <typename F>
  void Configure(F change) {
    change(obs.session.settings);
    ASSERT_EQ(SaveSettings(obs.session.settings, obs.session.drive), 0);
  }
  SkyOffset StarNow() { return sky.StarPosition(sky.BrightStar(), clock.NowMs()); }
  // Guides stand-alone for `seconds` of clock time, sampling the star's error from where it stood when
  // the reference was taken. Returns the samples.
  // `at` gets each sample's time from the start; `tick` is called with it before each sample.
  std::vector<double> GuideFor(int seconds, bool guided, std::vector<uint32_t>* at = nullptr,
                               const std::function<void(uint32_t)>& tick = {}) {
    std::vector<double> errors;
    const uint32_t begin = clock.NowMs();
    const uint32_t end = clock.NowMs() + static_cast<uint32_t>(seconds) * 1000u;
    bool have_start = false;
    SkyOffset start{};
    auto sample = [&] {
      if (tick) tick(clock.NowMs() - begin);
      mount->Update();
      const SkyOffset p = StarNow();
      if (!have_start) {
        start = p;
        have_start = true;
      }
      errors.push_back(std::hypot(p.x - start.x, p.y - start.y));
      if (at) at->push_back(clock.NowMs() - begin);
    };
    if (!guided) {
      while (ElapsedMs(clock.NowMs(), end) < 0) {
        sample();
        clock.Advance(1700);
      }
      return errors;
    }
    // The reference is taken from the first frame: sample from the second pump on.
    host.on_pump = [&] {
      if (host.pumps >= 2) sample();
      if (ElapsedMs(clock.NowMs(), end) >= 0 && host.abort_on_pump == 0) host.abort_on_pump = host.pumps;
    };
    EXPECT_TRUE(obs.guider.Guide());
    host.on_pump = {};
    host.abort_on_pump = 0;
    return errors;
  }

  test::TempDir dir;
  SimulatedClock clock{100000};
  RecordingHost host;
  SimulatedSky sky;
  SimulatedCamera sim;
  Tap tap;
  Observatory obs;
  std::unique_ptr<SimulatedMount> mount;
};

double Rms(const std::vector<double>& v) {
  double sum = 0;
  for (double e : v) sum += e * e;
  return v.empty() ? 0 : std::sqrt(sum / static_cast<double>(v.size()));
}

double Max(const std::vector<double>& v) {
  double m = 0;
  for (double e : v) m = std::max(m, e);
  return m;
}

int CountCalls(const SimulatedMount& mount, const std::string& text, size_t from = 0) {
  int n = 0;
  for (size_t i = from; i < mount.calls.size(); ++i) n += mount.calls[i].text == text;
  return n;
}

TEST(Guiding, WindowPlacementAndTrainingFormulas) {
  struct Case {
    int x, y;
    int window_x, window_y, star_x, star_y;
  };
  const std::vector<Case> cases = {
      {5, 121, 0, 63, 5, 64},          // left edge: the window stays at 0, the star keeps its column
      {250, 121, 182, 63, 66, 64},     // middle: 4 columns left, 6 rows down, column phase 2 added
      {251, 121, 183, 63, 64, 64},     // phase 0
      {500, 280, 378, 162, 118, 118},  // bottom right corner
      {100, 30, 32, 6, 66, 30},        // top
  };
  for (const Case& c : cases) {
    const GuideWindowPlacement p = PlaceGuideWindowFor(c.x, c.y);
    EXPECT_EQ(p.window_x, c.window_x) << c.x;
    EXPECT_EQ(p.window_y, c.window_y) << c.y;
    EXPECT_EQ(p.star_x, c.star_x) << c.x;
    EXPECT_EQ(p.star_y, c.star_y) << c.y;
  }
  // Away from the edges the placement lands the star where the simulated camera's window puts it.
  for (int x = 70; x < 440; x += 7) {
    for (int y = 70; y < 210; y += 13) {
      const GuideWindowPlacement p = PlaceGuideWindowFor(x, y);
      const uint8_t byte3 = static_cast<uint8_t>(p.window_y);
      const uint8_t byte5 = static_cast<uint8_t>(((p.window_x + 64) - 40) / 3);
      int column = 0, row = 0;
      SimulatedCamera::WindowOrigin(byte3, byte5, column, row);
      EXPECT_EQ(column + p.star_x, x);
      EXPECT_EQ(row + p.star_y, y);
    }
  }

  // Positions in tenths of a pixel.
  struct Training {
    int t;
    int x[5], y[5];
    TrainingResult expected;
  };
  const std::vector<Training> trainings = {
      {2, {1000, 1060, 1120, 1060, 1000}, {640, 640, 640, 640, 640}, {3, 0, 0, 0}},
      {1, {660, 710, 760, 710, 660}, {640, 680, 720, 700, 660}, {5, 4, 0, 2}},
      // Two seconds of pulse: the backlash stays in pixels (2), not per second.
      {2, {660, 760, 860, 780, 680}, {640, 720, 800, 740, 660}, {5, 4, 2, 2}},
      {1,
       {660, 660, 660, 660, 660},
       {640, 640, 640, 640, 640},
       {0, 0, 0, 0}},  // no motion: rates 0 (made 1 later)
      // A star at 63.6 that the window placement put at 64: no backlash from the start position.
      {1, {660, 720, 780, 720, 660}, {640, 696, 756, 696, 636}, {6, 6, 0, 0}},
      // A steady drift of 0.3 px per step north: it cancels out of the backlash (2) and the rate.
      {1, {660, 710, 760, 710, 660}, {640, 683, 726, 709, 672}, {5, 4, 0, 2}},
      // Noise: a second pulse a little shorter than the first is no play; 1.5 px rounds up.
      {1, {660, 710, 760, 709, 661}, {640, 680, 720, 695, 655}, {5, 4, 0, 2}},
      {1, {660, 710, 760, 716, 660}, {640, 680, 720, 706, 678}, {5, 4, 1, 1}},
      // A play of 4 px with 2 px pulses: the first pulse back is swallowed whole, the second too.
      {1, {660, 680, 700, 680, 660}, {640, 660, 680, 680, 680}, {2, 2, 0, 4}},
      // 3 px: the second pulse back moves 1 px.
      {1, {660, 680, 700, 680, 660}, {640, 660, 680, 680, 670}, {2, 2, 0, 3}},
  };
  for (const Training& c : trainings) {
    const TrainingResult r = TrainingResults(c.t, c.x, c.y);
    EXPECT_EQ(r.ra_pixels_per_sec, c.expected.ra_pixels_per_sec) << c.x[4];
    EXPECT_EQ(r.dec_pixels_per_sec, c.expected.dec_pixels_per_sec) << c.y[4];
    EXPECT_EQ(r.ra_backlash, c.expected.ra_backlash) << c.x[4];
    EXPECT_EQ(r.dec_backlash, c.expected.dec_backlash) << c.y[4];
  }
}

TEST(Guiding, PlacingTheWindowSetsTheFocusWindowAndSaysSoInDebugMode) {
  GuideRig g;
  g.obs.session.settings.debug_mode = true;
  g.obs.guider.PlaceGuideWindow();
  EXPECT_EQ(g.obs.camera.FocusWindowX, 182);
  EXPECT_EQ(g.obs.camera.FocusWindowY, 63);
  EXPECT_EQ(g.obs.guider.state.GuideWindowStarX, 66);
  EXPECT_EQ(g.obs.guider.state.GuideWindowStarY, 64);
  EXPECT_EQ(g.host.Texts(),
            std::vector<std::string>{
                "xcent=   66, ycent =    64, focus_x =   182, focus_y =    63,  xoffset =     2, "
                "yoffset =     0"});
  // The picked star comes back at the end of the camera command, whatever happened to it meanwhile.
  g.obs.picked.GuideStarX = 1;
  EndCameraCommand(g.obs);
  EXPECT_EQ(g.obs.picked.GuideStarX, 250);
}

TEST(Guiding, DriftAndAxisPulses) {
  EXPECT_EQ(DriftOf(64, 3, 63, 8), 500);
  EXPECT_EQ(DriftOf(64, 0, 66, 5), -2500);
  EXPECT_EQ(DriftOf(0, 0, 40, 0), static_cast<int16_t>(-40000));  // kept to 16 bits

  // A sequence of frames on one axis, backlash setting 2 px, rate 5 px/s: the play is paid once per
  // reversal, a step first and the rest once the star shows it did not move; a star that then crosses
  // the reference teaches a smaller play, and a reversal never pays more than was driven the other way.
  struct Step {
    int drift;
    int backlash, rate, hysteresis;
    char letter;  // 0: no pulse
    int pulse_ms;
    int estimate;  // the play believed after the frame
  };
  const std::vector<Step> steps = {
      {500, 2, 5, 0, 'e', 200, 2000},   // no direction known yet: (500 + 500) / 5, 1500 still owed
      {400, 2, 5, 0, 'e', 380, 2000},   // the play swallowed it: (400 + 1500) / 5
      {100, 2, 5, 0, 'e', 20, 2000},    // paid: drift / rate
      {20, 2, 5, 0, 0, 0, 2000},        // within the threshold
      {-500, 2, 5, 0, 'w', 200, 2000},  // reversal: a step of 500 first
      {-300, 2, 5, 0, 'w', 360, 2000},  // then the remaining 1500
      {-100, 2, 5, 0, 'w', 20, 2000},   // added once only
      {600, 2, 5, 0, 'e', 220, 2000},   // reversal: (600 + 500) / 5
      {-500, 2, 5, 0, 'w', 100, 0},     // crossed by the whole step: no play; nothing added
      {400, 2, 5, 0, 'e', 80, 0},       // and none from now on
      {-100, 2, 5, 1, 'w', -80, 0},     // hysteresis: 20 - 100, nothing sent
      {-300, 3, 5, 0, 'w', 60, 3000},   // a new setting is believed again
      {500, 3, 5, 0, 'e', 160, 3000},   // reversal after 0.3 px west: no more play than that
      {-600, 3, 5, 0, 'w', 220, 3000},  // crossed, but that play was capped: nothing learnt
      {1000, 0, 0, 0, 'e', 1000, 0},    // a rate of 0 counts as 1
  };
  AxisBacklash axis;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    const AxisPulse a = PlanAxisPulse(s.drift, 'e', 'w', axis, s.backlash, s.rate, s.hysteresis, 30);
    EXPECT_EQ(a.letter, s.letter) << i;
    EXPECT_EQ(a.pulse_ms, s.pulse_ms) << i;
    EXPECT_EQ(axis.estimate, s.estimate) << i;
  }
}

// A window with one star at (x, y) on a flat background, as a guide frame.
void DrawStar(ImageStore& store, double x, double y) {
  for (int r = 0; r < kFocusSize; ++r) {
    for (int c = 0; c < kFocusSize; ++c) {
      const double d2 = (c - x) * (c - x) + (r - y) * (r - y);
      store.CurrentFrame[r * kFocusSize + c] =
          static_cast<uint16_t>(1000 + 30000 * std::exp(-d2 / (2 * 1.4 * 1.4)));
    }
  }
}

TEST(Guiding, WhichDriftsAreCorrected) {
  struct Case {
    double dx, dy;
    bool ignore_small_drift;
    int radius;
    int ra_pulses, dec_pulses;
    const char* first_letter;  // LX200 move of the first pulse
  };
  const std::vector<Case> cases = {
      {0, 0, false, 8, 0, 0, ""},
      {-0.3, 0, false, 8, 1, 0, "#:Me#"},  // star left of the reference: east
      {0.3, 0, false, 8, 1, 0, "#:Mw#"},
      {0, -0.3, false, 8, 0, 1, "#:Mn#"},  // star above the reference: north
      {0, 0.3, false, 8, 0, 1, "#:Ms#"},
      {-0.3, 0, true, 8, 0, 0, ""},  // rounded centre: a fraction is no drift
      {-1.0, 1.0, true, 8, 1, 1, "#:Me#"},
      {-11.0, 0, false, 14, 0, 0, ""},  // more than ten pixels: a mistaken star, left alone
      {0, 11.0, false, 14, 0, 0, ""},
  };
  for (const Case& c : cases) {
    GuideRig g;
    g.Configure([&](Settings& s) {
      s.ignore_small_drift = c.ignore_small_drift;
      s.direction_change_delay = false;
    });
    ASSERT_TRUE(OpenTelescopeLink(g.obs.link, g.obs.session));
    Guider& guider = g.obs.guider;
    guider.state.SearchRadius = c.radius;
    GuideState& st = guider.state;
    DrawStar(g.obs.session.store, 64, 64);
    // The reference where the star is: found the same way the guider finds it.
    StarCentre ref;
    ASSERT_TRUE(FindStarCentre(g.obs.session.store, g.host, 64, 64, g.obs.session.store.CurrentFrame,
                               c.radius, {true, c.ignore_small_drift}, ref));
    st.GuideRefX = ref.column;
    st.GuideRefY = ref.row;
    st.GuideRefXTenths = ref.column_tenths;
    st.GuideRefYTenths = ref.row_tenths;
    DrawStar(g.obs.session.store, 64 + c.dx, 64 + c.dy);
    const size_t from = g.mount->calls.size();
    ASSERT_TRUE(guider.Correct()) << c.dx << ' ' << c.dy;
    const int ra = CountCalls(*g.mount, "Puts #:Me#", from) + CountCalls(*g.mount, "Puts #:Mw#", from);
    const int dec = CountCalls(*g.mount, "Puts #:Mn#", from) + CountCalls(*g.mount, "Puts #:Ms#", from);
    EXPECT_EQ(ra, c.ra_pulses) << c.dx << ' ' << c.dy << ' ' << c.ignore_small_drift;
    EXPECT_EQ(dec, c.dec_pulses) << c.dx << ' ' << c.dy << ' ' << c.ignore_small_drift;
    if (*c.first_letter) {
      std::string first;
      for (size_t i = from; i < g.mount->calls.size() && first.empty(); ++i) {
        if (g.mount->calls[i].text.rfind("Puts #:M", 0) == 0) first = g.mount->calls[i].text.substr(5);
      }
      EXPECT_EQ(first, c.first_letter);
    }
    // Each pulse is framed by two beeps.
    EXPECT_EQ(static_cast<int>(g.host.beeps.size()), 2 * (c.ra_pulses + c.dec_pulses));
  }
}

TEST(Guiding, DirectionChangeDelayAndLostStar) {
  GuideRig g;
  ASSERT_TRUE(OpenTelescopeLink(g.obs.link, g.obs.session));
  Guider& guider = g.obs.guider;
  DrawStar(g.obs.session.store, 64, 64);
  StarCentre ref;
  ASSERT_TRUE(FindStarCentre(g.obs.session.store, g.host, 64, 64, g.obs.session.store.CurrentFrame, 8,
                             {true, false}, ref));
  guider.state.GuideRefX = ref.column;
  guider.state.GuideRefY = ref.row;
  guider.state.GuideRefXTenths = ref.column_tenths;
  guider.state.GuideRefYTenths = ref.row_tenths;
  const uint32_t before = g.clock.NowMs();
  ASSERT_TRUE(guider.Correct());
  EXPECT_EQ(ElapsedMs(g.clock.NowMs(), before), kDirectionChangeDelayMs);
  // No star: guiding stops and an armed self-guided exposure is disarmed.
  g.obs.session.store.CurrentFrame.fill(1000);
  g.obs.run.SelfGuideNext = true;
  g.obs.session.store.SelfGuideNext = 1;
  EXPECT_FALSE(guider.Correct());
  EXPECT_FALSE(g.obs.run.SelfGuideNext);
}

TEST(Guiding, TrainingRecoversTheSimulatedMount) {
  struct Case {
    char interface;
    int t;
    int radius;
    int backlash;
  };
  for (const Case& c : std::vector<Case>{{'l', 1, 8, 2}, {'b', 2, 13, 2}, {'l', 1, 8, 0}, {'l', 2, 8, 4}}) {
    SimulatedMountOptions mo;
    mo.guide_rate_x = 5;
    mo.guide_rate_y = 4;
    mo.dec_backlash = c.backlash;
    GuideRig g(mo);
    g.Configure([&](Settings& s) {
      s.guide_interface = c.interface;
      s.guide_training_time = static_cast<int16_t>(c.t);
      s.guide_mask_radius = static_cast<int16_t>(c.radius);
      s.ra_pixels_per_sec = 1;
      s.dec_pixels_per_sec = 1;
    });
    ASSERT_EQ(g.obs.guider.Train(), 0) << c.interface;
    char expected[128];
    std::snprintf(expected, sizeof expected, "slewx = %5d, slewy = %5d\nbacklashx = %5d, backlashy = %5d", 5,
                  4, 0, c.backlash);
    ASSERT_FALSE(g.host.boxes.empty());
    EXPECT_EQ(g.host.boxes.back().text, expected);
    Settings saved;
    ASSERT_EQ(LoadSettings(saved, g.obs.session.drive, g.host), 0);
    EXPECT_EQ(saved.ra_pixels_per_sec, 5);
    EXPECT_EQ(saved.dec_pixels_per_sec, 4);
    EXPECT_EQ(saved.dec_backlash, c.backlash);
    EXPECT_FALSE(g.obs.picked.GuideStarPicked);
    EXPECT_EQ(g.obs.picked.GuideStarX, 250);  // the picked centre is back
    // The control box's four first-training pulses, and only on the first training.
    const std::string text = g.mount->ReceivedText();
    if (c.interface == 'b') {
      // After the reset bytes 13, 0, 0: north, south, east, west, each direction, relay, release.
      EXPECT_EQ(text.substr(0, 15), std::string("\r\0\0\x02\x12\0\x04\x14\0\x01\x11\0\x08\x18\0", 15));
      g.obs.picked.GuideStarPicked = true;
      const size_t before = text.size();
      ASSERT_EQ(g.obs.guider.Train(), 0);
      EXPECT_EQ(g.mount->ReceivedText().substr(before, 6),
                std::string("\r\0\0\x02\x12\0", 6).substr(0, 3) + std::string("\x02\x12\0", 3));
    }
  }
  // Refusals leave the settings alone.
  GuideRig g;
  g.obs.picked.GuideStarPicked = false;
  EXPECT_EQ(g.obs.guider.Train(), 1);
  EXPECT_EQ(g.host.Texts(), std::vector<std::string>{"You must first take an image and pick a star"});
  EXPECT_EQ(g.obs.session.settings.ra_pixels_per_sec, 5);
}

TEST(Guiding, ClosedLoopHoldsTheStar) {
  SimulatedMountOptions mo;
  mo.guide_rate_x = 5;
  mo.guide_rate_y = 4;
  mo.drift_x = 0.03;
  mo.drift_y = 0.03;
  mo.periodic_error = 2;
  mo.periodic_period_s = 480;
  double guided_rms = 0, guided_max = 0, unguided_max = 0;
  {
    GuideRig g(mo, SimulatedCameraOptions{});
    const std::vector<double> e = g.GuideFor(20 * 60, true);
    ASSERT_GT(e.size(), 500u);
    guided_rms = Rms(e);
    guided_max = Max(e);
    EXPECT_LE(guided_max, 1.0);
    EXPECT_LE(guided_rms, 0.5);
    EXPECT_EQ(g.host.Texts().back(), "Guiding Terminated");
  }
  {
    GuideRig g(mo, SimulatedCameraOptions{});
    const std::vector<double> e = g.GuideFor(20 * 60, false);
    unguided_max = Max(e);
    EXPECT_GT(unguided_max, 5.0);
  }
  std::printf("closed loop: guided rms %.3f px, max %.3f px; unguided max %.2f px\n", guided_rms, guided_max,
              unguided_max);

  // A mirror-reversed mounting: east moves the star the other way.
  mo.mirror = true;
  {
    GuideRig g(mo);
    const std::vector<double> e = g.GuideFor(20 * 60, true);
    EXPECT_GT(Max(e), 5.0);  // runs away (and the star is lost)
    std::printf("mirrored, no swap: max %.2f px after %zu frames\n", Max(e), e.size());
  }
  {
    GuideRig g(mo);
    g.Configure([](Settings& s) { s.drive_directions = {'n', 's', 'w', 'e'}; });
    const std::vector<double> e = g.GuideFor(20 * 60, true);
    EXPECT_LE(Max(e), 1.0);
    EXPECT_LE(Rms(e), 0.5);
    std::printf("mirrored with the swap: rms %.3f px, max %.3f px\n", Rms(e), Max(e));
  }
}

// The star's width (the larger Gaussian sigma of its two axes) in a full frame: each mosaic phase's
// own background removed, each pixel divided by its filter's response to white light.
double StarWidth(const ImageStore& store, double x0, double y0) {
  const int cx = static_cast<int>(std::lround(x0)), cy = static_cast<int>(std::lround(y0));
  const int reach = 12;
  double background[2][2] = {}, count[2][2] = {};
  for (int r = cy - reach - 4; r <= cy + reach + 4; ++r) {
    for (int c = cx - reach - 4; c <= cx + reach + 4; ++c) {
      if (std::abs(r - cy) <= reach && std::abs(c - cx) <= reach) continue;
      background[r & 1][c & 1] += store.CurrentFrame[PixelIndex(r, c)];
      count[r & 1][c & 1] += 1;
    }
  }
  double w = 0, sx = 0, sy = 0, sxx = 0, syy = 0;
  for (int r = cy - reach; r <= cy + reach; ++r) {
    for (int c = cx - reach; c <= cx + reach; ++c) {
      const auto& m = SimulatedCamera::MosaicResponse(r, c);
      const double bg = background[r & 1][c & 1] / count[r & 1][c & 1];
      const double v = (store.CurrentFrame[PixelIndex(r, c)] - bg) / (m[0] + m[1] + m[2]);
      w += v;
      sx += v * c;
      sy += v * r;
      sxx += v * c * c;
      syy += v * r * r;
    }
  }
  const double mx = sx / w, my = sy / w;
  return std::sqrt(std::max(sxx / w - mx * mx, syy / w - my * my));
}

constexpr double kLongExposureFlux = 3000;

struct Exposure {
  double width = 0;
  std::vector<std::string> texts;
  int full_reads = 0;
};

// A 120-second exposure, self-guided with 1-second guide frames or not.
Exposure Expose120(double drift_x, double drift_y, bool guided, GuideRig* rig = nullptr,
                   const std::function<void(GuideRig&)>& during = {}) {
  SimulatedMountOptions mo;
  mo.guide_rate_x = 5;
  mo.guide_rate_y = 4;
  mo.drift_x = drift_x;
  mo.drift_y = drift_y;
  std::unique_ptr<GuideRig> own;
  if (!rig) {
    // Faint enough that two minutes do not saturate it, bright enough for one-second guide frames.
    own = std::make_unique<GuideRig>(mo, Quiet(), kLongExposureFlux);
    rig = own.get();
  }
  GuideRig& g = *rig;
  EXPECT_TRUE(OpenTelescopeLink(g.obs.link, g.obs.session));
  EXPECT_TRUE(BeginCameraCommand(g.obs));
  if (guided) {
    SelectExposureUnit(g.obs.run, 's');
    g.obs.run.ExposureValue = 1;
    EXPECT_TRUE(g.obs.guider.ToggleSelfGuide());
  }
  SelectExposureUnit(g.obs.run, 's');
  g.obs.run.ExposureValue = 120;
  const SkyOffset start = g.StarNow();
  if (during) g.host.on_pump = [&g, &during] { during(g); };
  TakePhoto(g.obs);
  EndCameraCommand(g.obs);
  g.host.on_pump = {};
  Exposure e;
  e.texts = g.host.Texts();
  e.full_reads = static_cast<int>(g.tap.full_reads.size());
  if (e.full_reads > 0) e.width = StarWidth(g.obs.session.store, start.x, start.y);
  return e;
}

TEST(Guiding, SelfGuidedExposureKeepsTheStarRound) {
  const Exposure still = Expose120(0, 0, false);
  const Exposure unguided = Expose120(0.05, 0.03, false);
  const Exposure guided = Expose120(0.05, 0.03, true);
  std::printf("star width: still %.3f, unguided %.3f, self-guided %.3f px\n", still.width, unguided.width,
              guided.width);
  EXPECT_EQ(guided.full_reads, 2);
  EXPECT_TRUE(guided.texts.empty()) << guided.texts.front();
  EXPECT_GT(unguided.width, 1.25 * still.width);
  EXPECT_LE(guided.width, 1.25 * still.width);
}

// Reads the 290 rows of 510 pixels out of a full-frame transfer.
uint16_t Pixel(const std::vector<uint8_t>& read, int row, int column) {
  const size_t at = kFullFrameImageStart + static_cast<size_t>(row) * kSensorLineBytes + 2 * column;
  return static_cast<uint16_t>(read[at] | (read[at + 1] << 8));
}

TEST(Guiding, HalfTimeFramePlusSecondHalfIsTheSum) {
  SimulatedMountOptions mo;
  mo.guide_rate_x = 5;
  mo.guide_rate_y = 4;
  GuideRig g(mo, Quiet(), kLongExposureFlux);
  Expose120(0, 0, true, &g);
  ASSERT_EQ(g.tap.full_reads.size(), 2u);
  const ImageStore& store = g.obs.session.store;
  int mismatches = 0;
  for (int row = 0; row < kFrameHeight; ++row) {
    for (int column = 0; column < kFullFrameCopyPixels; ++column) {
      const uint16_t first = Pixel(g.tap.full_reads[0], row, column);
      const uint16_t second = Pixel(g.tap.full_reads[1], row, column);
      mismatches += store.SecondFrame[PixelIndex(row, column)] != first;
      mismatches += store.CurrentFrame[PixelIndex(row, column)] != std::min(65535, first + second);
    }
  }
  EXPECT_EQ(mismatches, 0);
  // The two halves cover the exposure: each about a minute, together the whole of it plus the few
  // seconds of switching the guide frame. Every row carries that much dark current and sky glow.
  const auto& log = g.sim.commands;
  uint32_t start1 = 0, end1 = 0, start2 = 0, end2 = 0;
  for (const auto& c : log) {
    if (c.bytes[0] != 2) continue;
    if (c.bytes[1] == kControlStartIntegration) (end1 == 0 ? start1 : start2) = c.time_ms;
    if (c.bytes[1] == kControlEndGuidedSecondHalf && end1 == 0) end1 = c.time_ms;
    if (c.bytes[1] == kControlEndGuided) end2 = c.time_ms;
  }
  const int t1 = ElapsedMs(end1, start1), t2 = ElapsedMs(end2, start2);
  EXPECT_GE(t1, 60000);
  EXPECT_GE(t2, 60000);
  EXPECT_LE(t1 + t2, 130000);
  const double seconds = (t1 + t2) / 1000.0;
  for (int row : {0, 1, 144, 288, 289}) {
    const int column = 20 + (row & 1);
    const auto& m = SimulatedCamera::MosaicResponse(row, column);
    const double expected = 2 * 1000 + (4 + g.sky.sky_background * (m[0] + m[1] + m[2])) * seconds;
    EXPECT_NEAR(store.CurrentFrame[PixelIndex(row, column)], expected, 2.0) << row;
  }
}

TEST(Guiding, StarLostMidwayEndsWithoutReadout) {
  SimulatedMountOptions mo;
  GuideRig g(mo);
  // The picture on display before the exposure: the guide windows read into CurrentFrame must not
  // outlive an exposure that ends without its readout.
  g.obs.session.store.CurrentFrame.fill(700);
  g.obs.session.store.CurrentFrame[12345] = 4321;
  g.obs.session.store.CurrentFileName = "RV Camera Image";  // what every run names its picture
  const test::PictureState before(g.obs.session.store);
  const uint32_t lose_at = g.clock.NowMs() + 30000;
  bool moved = false;
  const Exposure e = Expose120(0, 0, true, &g, [&](GuideRig& r) {
    if (!moved && ElapsedMs(r.clock.NowMs(), lose_at) >= 0) {
      r.sky.MovePointing(40, 0);
      moved = true;
    }
  });
  EXPECT_TRUE(moved);
  EXPECT_EQ(e.full_reads, 0);
  EXPECT_EQ(e.texts, std::vector<std::string>{"Selfguiding interrupted or failed"});
  EXPECT_FALSE(g.obs.run.SelfGuideNext);
  EXPECT_EQ(g.obs.session.store.GuideFrameDisplay, 0);
  before.ExpectSame(g.obs.session.store);
}

TEST(Guiding, ArmingAndMatchingDark) {
  GuideRig g;
  RunSettings& run = g.obs.run;
  // No link yet: the control-box probe opens one at the box's line settings.
  SelectExposureUnit(run, 's');
  run.ExposureValue = 12;
  EXPECT_FALSE(g.obs.guider.ToggleSelfGuide());  // 12 s is too long
  EXPECT_EQ(g.host.beeps.size(), 1u);
  EXPECT_TRUE(g.obs.link.ControlBoxPresent);
  EXPECT_EQ(g.mount->baud_code(), kBaud300);
  run.ExposureValue = 11;
  EXPECT_TRUE(g.obs.guider.ToggleSelfGuide());
  EXPECT_TRUE(run.SelfGuideNext);
  EXPECT_EQ(run.GuidingUnit, 's');
  EXPECT_EQ(run.GuidingValue, 11);
  EXPECT_EQ(g.obs.guider.GuidingExposureMs(), 11000);
  EXPECT_TRUE(g.obs.guider.ToggleSelfGuide());  // a second press disarms
  EXPECT_FALSE(run.SelfGuideNext);
  for (const auto& [unit, value, ok] : std::vector<std::tuple<char, int, bool>>{
           {'q', 11999, true}, {'q', 12000, false}, {'h', 1199, true}, {'t', 120, false}, {'m', 1, false}}) {
    run.ExposureUnit = unit;
    run.ExposureValue = value;
    EXPECT_EQ(g.obs.guider.ToggleSelfGuide(), ok) << unit << value;
    if (ok) g.obs.guider.ToggleSelfGuide();
  }

  // A guided exposure counts its frames; the matching dark takes them over and guides on nothing.
  Expose120(0, 0, true, &g);
  const int frames = g.obs.guider.state.GuidingFrameCount;
  EXPECT_GT(frames, 40);
  run.ContinuousMode = true;
  ASSERT_TRUE(g.obs.guider.ToggleMatchingDark());
  EXPECT_EQ(g.obs.guider.state.GuidingFramesForDark, frames);
  EXPECT_TRUE(run.SelfGuideNext);
  EXPECT_FALSE(run.ContinuousMode);
  EXPECT_EQ(g.obs.guider.GuidingExposureMs(), kMatchingDarkGuidingMs);
  g.host.Clear();
  g.tap.full_reads.clear();
  const size_t from = g.mount->calls.size();
  const size_t commands_from = g.sim.commands.size();
  SelectExposureUnit(run, 's');
  run.ExposureValue = 120;
  ASSERT_TRUE(BeginCameraCommand(g.obs));
  TakePhoto(g.obs);
  EndCameraCommand(g.obs);
  EXPECT_TRUE(g.host.Texts().empty());
  EXPECT_EQ(g.tap.full_reads.size(), 2u);
  EXPECT_EQ(CountCalls(*g.mount, "Puts #:RG#", from), 0);  // nothing guided
  int windows = 0;
  for (size_t i = commands_from; i < g.sim.commands.size(); ++i) {
    windows += g.sim.commands[i].bytes[0] == 4 && g.sim.commands[i].bytes[7] == 1;
  }
  // Half the frames in each half, plus the three of each switch of the guiding frame.
  EXPECT_EQ(windows, 2 * (frames / 2) + 3);
  EXPECT_EQ(g.obs.guider.state.GuidingFrameCount, frames);
}

TEST(Guiding, PickingAStar) {
  GuideRig g;
  ImageStore& store = g.obs.session.store;
  store.CurrentFrame.fill(1000);
  for (int r = 0; r < kFrameHeight; ++r) {
    for (int c = 0; c < kFrameWidth; ++c) {
      const double d2 = (c - 300.0) * (c - 300.0) + (r - 150.0) * (r - 150.0);
      store.CurrentFrame[PixelIndex(r, c)] = static_cast<uint16_t>(1000 + 30000 * std::exp(-d2 / 4.0));
    }
  }
  Guider& guider = g.obs.guider;
  std::vector<std::pair<int, int>> cursor;
  guider.move_cursor = [&](int x, int y) { cursor.push_back({x, y}); };
  g.obs.picked = {};
  EXPECT_EQ(guider.PickClick(300, 150), "");  // not in pick mode
  EXPECT_TRUE(guider.TogglePickMode());
  EXPECT_EQ(guider.state.SearchRadius, 8);
  EXPECT_EQ(guider.PickClick(10, 150),
            "Sorry, outside Image area - try again\n\nx position =    10\ny position =   150");
  EXPECT_TRUE(guider.state.PickMode);
  EXPECT_EQ(guider.PickClick(296, 153), "x position =   300\ny position =   150");
  EXPECT_EQ(cursor, (std::vector<std::pair<int, int>>{{300, 150}, {300, 150}, {300, 150}}));
  EXPECT_TRUE(g.obs.picked.GuideStarPicked);
  EXPECT_FALSE(guider.state.PickMode);
  // In RV geometry the warning comes first and the click's row is converted.
  store.RvGeometry = 1;
  g.host.Clear();
  EXPECT_TRUE(guider.TogglePickMode());
  ASSERT_EQ(g.host.Texts().size(), 1u);
  EXPECT_EQ(g.host.Texts()[0].rfind("Sorry, Guide star picking only", 0), 0u);
  EXPECT_EQ(guider.PickClick(300, 150 * 373 / 290 + 1), "x position =   300\ny position =   150");
  store.RvGeometry = 0;
  // A click on empty sky: no guide star.
  EXPECT_TRUE(guider.TogglePickMode());
  guider.PickClick(100, 60);
  EXPECT_FALSE(g.obs.picked.GuideStarPicked);
  // The camera command suspends pick mode and brings it back.
  EXPECT_TRUE(guider.TogglePickMode());
  ASSERT_TRUE(BeginCameraCommand(g.obs));
  EXPECT_FALSE(guider.state.PickMode);
  EndCameraCommand(g.obs);
  EXPECT_TRUE(guider.state.PickMode);
}

}  // namespace
}  // namespace nyxel

namespace nyxel {
namespace {

// Every guiding run leaves a log: one line per guide frame, as columns, agreeing with the graph's RMS.
TEST(Guiding, TenMinuteRunWritesItsLog) {
  SimulatedMountOptions mo;
  mo.guide_rate_x = 5;
  mo.guide_rate_y = 4;
  mo.drift_x = 0.03;
  mo.drift_y = -0.02;
  mo.periodic_error = 2;
  mo.periodic_period_s = 480;
  GuideRig g(mo, SimulatedCameraOptions{});
  int frames = 0;
  g.obs.guider.frame_done = [&frames](const GuideFrameReport&) { ++frames; };
  g.GuideFor(10 * 60, true);
  const auto log = g.obs.guider.recorder.last_log;
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.parent_path(), g.obs.session.drive.Resolve("c:\\AUTOSAVE"));
  EXPECT_EQ(log.filename().string().rfind("GUIDE-", 0), 0u);
  std::ifstream in(log);
  std::string line;
  int rows = 0;
  double sx = 0, sy = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line.rfind("clock_ms", 0) == 0) continue;
    std::istringstream cols(line);
    unsigned ms;
    double x, y;
    int dx, dy, ra, dec;
    std::string pulses;
    ASSERT_TRUE(cols >> ms >> x >> y >> dx >> dy >> ra >> dec >> pulses) << line;
    sx += (dx / 1000.0) * (dx / 1000.0);
    sy += (dy / 1000.0) * (dy / 1000.0);
    ++rows;
  }
  EXPECT_GT(frames, 100);
  EXPECT_EQ(rows, frames);
  const GuideRms graph = g.obs.guider.recorder.history.Rms(20u * 60u * 1000u);
  EXPECT_EQ(graph.samples, frames);
  EXPECT_NEAR(std::sqrt(sx / rows), graph.x, 0.01);
  EXPECT_NEAR(std::sqrt(sy / rows), graph.y, 0.01);
  EXPECT_LT(graph.both, 0.5);
}

// After the program's own training, on mounts with declination play of 0, 2 and 4 px and three pairs
// of guide rates, and with a backlash setting too large or too small: twenty minutes of drift and
// periodic error stay within a pixel, and a self-guided exposure keeps its star round. A drift south
// makes the first correction a reversal from training's last pulses.
TEST(Guiding, HoldsTheStarWhateverTheBacklash) {
  struct Mount {
    double rate_x, rate_y, play;
    int setting;  // the dec_backlash setting guiding uses; -1: as trained
    double drift_y;
    bool flip = false;  // the declination drift reverses after ten minutes
  };
  std::vector<Mount> mounts;
  for (const auto& [rx, ry] : std::vector<std::pair<double, double>>{{5, 4}, {6, 6}, {2, 2}}) {
    for (const double play : {0.0, 2.0, 4.0}) mounts.push_back({rx, ry, play, -1, 0.03});
  }
  mounts.push_back({6, 6, 0, 3, 0.03});
  mounts.push_back({6, 6, 3, 0, 0.03});
  mounts.push_back({6, 6, 4, -1, -0.03});
  mounts.push_back({2, 2, 2, -1, -0.03});
  mounts.push_back({6, 6, 0, 3, -0.03});
  mounts.push_back({5, 4, 3, 0, -0.03});
  mounts.push_back({6, 6, 4, -1, 0.03, true});
  mounts.push_back({2, 2, 4, -1, -0.03, true});
  mounts.push_back({6, 6, 0, 3, 0.03, true});
  mounts.push_back({6, 6, 3, 0, 0.03, true});

  auto train = [](GuideRig& g, const Mount& m) {
    EXPECT_EQ(g.obs.guider.Train(), 0);
    const Settings& st = g.obs.session.settings;
    const int trained = st.dec_backlash;
    EXPECT_EQ(st.ra_backlash, 0);
    EXPECT_EQ(st.ra_pixels_per_sec, m.rate_x);
    EXPECT_EQ(st.dec_pixels_per_sec, m.rate_y);
    if (m.setting >= 0) g.Configure([&](Settings& s) { s.dec_backlash = static_cast<int16_t>(m.setting); });
    g.obs.picked.GuideStarPicked = true;  // picked again where training left it
    g.mount->SetDrift(0.03, m.drift_y);
    g.mount->SetPeriodicError(2, 480);
    g.host.Clear();
    return trained;
  };
  auto options = [](const Mount& m) {
    SimulatedMountOptions mo;
    mo.guide_rate_x = m.rate_x;
    mo.guide_rate_y = m.rate_y;
    mo.dec_backlash = m.play;
    return mo;
  };

  const double still = Expose120(0, 0, false).width;
  for (const Mount& m : mounts) {
    const std::string name = "rates " + std::to_string(int(m.rate_x)) + "/" + std::to_string(int(m.rate_y)) +
                             " play " + std::to_string(int(m.play)) + " setting " +
                             std::to_string(m.setting) + (m.drift_y < 0 ? " drift -y" : " drift +y") +
                             (m.flip ? " flips" : "");
    GuideRig g(options(m), SimulatedCameraOptions{});
    const int trained = train(g, m);
    if (m.setting < 0) {
      EXPECT_EQ(trained, m.play) << name;
    }
    std::vector<uint32_t> at;
    bool flipped = false;
    const std::vector<double> e = g.GuideFor(20 * 60, true, &at, [&](uint32_t ms) {
      if (m.flip && !flipped && ms >= 10 * 60 * 1000) {
        g.mount->SetDrift(0.03, -m.drift_y);
        flipped = true;
      }
    });
    ASSERT_GT(e.size(), 500u) << name;
    double late_max = 0;
    for (size_t i = 0; i < e.size(); ++i) {
      if (at[i] >= 60000) late_max = std::max(late_max, e[i]);
    }
    EXPECT_LE(Rms(e), 0.3) << name;
    EXPECT_LE(late_max, 1.0) << name;

    std::printf("%-42s trained backlash %d: rms %.3f px, max after the first minute %.3f px\n", name.c_str(),
                trained, Rms(e), late_max);
    if (m.flip) continue;  // the exposures are the same as without the flip
    GuideRig x(options(m), Quiet(), kLongExposureFlux);
    train(x, m);
    const Exposure guided = Expose120(0, 0, true, &x);
    EXPECT_TRUE(guided.texts.empty()) << name << ": " << guided.texts.front();
    EXPECT_LE(guided.width, 1.25 * still) << name;
    std::printf("%-42s self-guided star %.3f px (still %.3f)\n", name.c_str(), guided.width, still);
  }
}

}  // namespace
}  // namespace nyxel
