// The INDI telescope link against a real indiserver with INDI's own telescope and focuser simulators:
// what the mount and focuser report after each command, the failures a user meets, and training and
// guiding closed-loop through the mount driver on the simulated sky. These run on the real clock
// (the server does), and briefly.
#include "telescope/indi/IndiMount.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "camera/sim/SimulatedCamera.h"
#include "camera/sim/SimulatedSky.h"
#include "core/RecordingHost.h"
#include "files/SettingsFile.h"
#include "telescope/Catalogue.h"
#include "telescope/IndiChoice.h"
#include "telescope/Observatory.h"
#include "telescope/indi/IndiSky.h"
#include "telescope/sim/SimulatedMount.h"
#include "tests/support/IndiServer.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr const char* kMount = "Telescope Simulator";
constexpr const char* kFocuser = "Focuser Simulator";

// Angular distance in arcminutes.
double ArcminBetween(double ra1_h, double dec1_d, double ra2_h, double dec2_d) {
  const double r = kPi / 180;
  const double a1 = ra1_h * 15 * r, a2 = ra2_h * 15 * r, d1 = dec1_d * r, d2 = dec2_d * r;
  const double c = std::sin(d1) * std::sin(d2) + std::cos(d1) * std::cos(d2) * std::cos(a1 - a2);
  return std::acos(std::min(1.0, std::max(-1.0, c))) / r * 60;
}

// Rigorous precession from J2000 (the IAU 1976 angles), written out here as the reference the
// catalogue's library is checked against.
SkyPosition Precess(SkyPosition p, double julian_day) {
  const double t = (julian_day - 2451545.0) / 36525.0;
  const double as = kPi / 180 / 3600;
  const double zeta = (2306.2181 * t + 0.30188 * t * t + 0.017998 * t * t * t) * as;
  const double z = (2306.2181 * t + 1.09468 * t * t + 0.018203 * t * t * t) * as;
  const double theta = (2004.3109 * t - 0.42665 * t * t - 0.041833 * t * t * t) * as;
  const double ra = p.ra_hours * 15 * kPi / 180, dec = p.dec_degrees * kPi / 180;
  const double a = std::cos(dec) * std::sin(ra + zeta);
  const double b = std::cos(theta) * std::cos(dec) * std::cos(ra + zeta) - std::sin(theta) * std::sin(dec);
  const double c = std::sin(theta) * std::cos(dec) * std::cos(ra + zeta) + std::cos(theta) * std::sin(dec);
  double ra1 = std::atan2(a, b) + z;
  if (ra1 < 0) ra1 += 2 * kPi;
  return {ra1 * 180 / kPi / 15, std::asin(c) * 180 / kPi};
}

IndiChoice Choice(int port, std::string mount = kMount, std::string focuser = kFocuser) {
  IndiChoice c;
  c.enabled = true;
  c.host = "localhost";
  c.port = port;
  c.mount = std::move(mount);
  c.focuser = std::move(focuser);
  return c;
}

// Waits (real time, bounded) until the mount has finished slewing.
bool SettleMount(IndiMount& mount, Clock& clock, uint32_t ms) {
  const uint32_t start = clock.NowMs();
  while (ElapsedMs(clock.NowMs(), start) < static_cast<int32_t>(ms)) {
    clock.Pause(100);
    if (!mount.Position().busy) return true;
  }
  return false;
}

TEST(IndiLink, ChoiceCatalogueAndPlateScale) {
  struct HostCase {
    const char* text;
    bool ok;
    const char* host;
    int port;
  };
  for (const HostCase& c : std::vector<HostCase>{{"localhost:7624", true, "localhost", 7624},
                                                 {"scope.lan", true, "scope.lan", 7624},
                                                 {"10.0.0.5:7000", true, "10.0.0.5", 7000},
                                                 {":7624", false, "keep", 1},
                                                 {"host:", false, "keep", 1},
                                                 {"host:0", false, "keep", 1},
                                                 {"host:65536", false, "keep", 1},
                                                 {"host:12x", false, "keep", 1},
                                                 {"two words:7624", false, "keep", 1}}) {
    std::string host = "keep";
    int port = 1;
    EXPECT_EQ(ParseHostPort(c.text, host, port), c.ok) << c.text;
    EXPECT_EQ(host, c.host) << c.text;
    EXPECT_EQ(port, c.port) << c.text;
  }

  // The choice survives the settings file, beside keys it does not own.
  test::TempDir dir;
  const Drive drive(dir.path());
  std::filesystem::create_directories(dir.path() / "autosave");
  ProgramPrefs prefs;
  prefs.Set("view.fit", "1");
  IndiChoice c = Choice(7100);
  c.focus_slow_steps = 7;
  StoreIndiChoice(prefs, c);
  ASSERT_TRUE(prefs.Save(drive));
  ProgramPrefs back;
  ASSERT_TRUE(back.Load(drive));
  const IndiChoice r = LoadIndiChoice(back);
  EXPECT_TRUE(r.enabled);
  EXPECT_EQ(r.port, 7100);
  EXPECT_EQ(r.mount, kMount);
  EXPECT_EQ(r.focuser, kFocuser);
  EXPECT_EQ(r.focus_slow_steps, 7);
  EXPECT_EQ(back.Get("view.fit"), "1");
  // No mount named: nothing to enable.
  back.Set("indi.mount", "");
  EXPECT_FALSE(LoadIndiChoice(back).enabled);

  // 9.8 x 12.6 um at 1000 mm (also when no focal length is set).
  for (const double f : {0.0, 1000.0}) {
    const PlateScale s = PlateScaleFor(f);
    EXPECT_NEAR(s.x, 2.02, 0.005);
    EXPECT_NEAR(s.y, 2.60, 0.005);
  }
  EXPECT_NEAR(PlateScaleFor(500).x, 4.04, 0.01);
  // East (RA up) is +x, north +y; the RA step shrinks with cos(Dec) and takes the short way past 0h.
  const PlateScale s = PlateScaleFor(1000);
  const SkyOffset east = PointingOffset(1.0, 0, 1.0 + 1.0 / 3600, 0, s);  // 1 s of RA = 15"
  EXPECT_NEAR(east.x, 15 / s.x, 1e-6);
  EXPECT_NEAR(east.y, 0, 1e-9);
  EXPECT_NEAR(PointingOffset(1.0, 60, 1.0 + 1.0 / 3600, 60, s).x, 7.5 / s.x, 1e-3);
  EXPECT_NEAR(PointingOffset(0, 10, 0, 10 + 26.0 / 3600, s).y, 26 / s.y, 1e-6);
  EXPECT_NEAR(PointingOffset(23.99, 0, 0.01, 0, s).x, 0.02 * 15 * 3600 / s.x, 1e-3);

  // The Messier table: all 110, nothing beyond; M31 of date against the rigorous formula.
  EXPECT_FALSE(MessierJ2000(0));
  EXPECT_FALSE(MessierJ2000(111));
  for (int m = 1; m <= 110; ++m) {
    const auto p = MessierJ2000(m);
    ASSERT_TRUE(p) << m;
    EXPECT_TRUE(p->ra_hours >= 0 && p->ra_hours < 24 && std::fabs(p->dec_degrees) <= 90) << m;
  }
  const auto m31 = MessierJ2000(31);
  EXPECT_LT(ArcminBetween(m31->ra_hours, m31->dec_degrees, 0 + 42 / 60.0 + 44.3 / 3600,
                          41 + 16 / 60.0 + 9 / 3600.0),
            0.1);
  const double jd = 2461383.5;  // 2026-12-09
  const SkyPosition of_date = *MessierOfDate(31, jd);
  const SkyPosition reference = Precess(*m31, jd);
  EXPECT_LT(ArcminBetween(of_date.ra_hours, of_date.dec_degrees, reference.ra_hours, reference.dec_degrees),
            0.1);
  // 27 years of precession moves M31 by about 20'.
  EXPECT_GT(ArcminBetween(of_date.ra_hours, of_date.dec_degrees, m31->ra_hours, m31->dec_degrees), 10);
  // The simulated LX200 mount places Messier objects from the same table.
  struct Placed {
    int m, ra_minutes, dec_degrees;
  };
  for (const Placed& c : {Placed{31, 43, 41}, Placed{42, 5 * 60 + 35, -5}, Placed{7, 17 * 60 + 54, -34}}) {
    int ra = -1, dec = -1;
    SimulatedMount::Place('m', c.m, ra, dec);
    EXPECT_EQ(ra, c.ra_minutes) << c.m;
    EXPECT_EQ(dec, c.dec_degrees) << c.m;
  }
  // Planets for their numbers only; each on the sky within the ecliptic band.
  EXPECT_FALSE(PlanetOfDate(900, jd));
  EXPECT_FALSE(PlanetOfDate(910, jd));
  for (int n = 901; n <= 909; ++n) {
    const auto p = PlanetOfDate(n, jd);
    ASSERT_TRUE(p) << n;
    EXPECT_LT(std::fabs(p->dec_degrees), n == 909 ? 40 : 30) << n;
  }
}

TEST(IndiLink, NoServerSaysSoWithinSeconds) {
  RecordingHost host;
  RealClock clock;
  IndiMount mount(Choice(test::FreePort()), host, clock);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(mount.Open());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 10);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_NE(host.boxes[0].text.find("There is no INDI server at localhost:"), std::string::npos);
  EXPECT_FALSE(mount.IsOpen());
  // Commands on a link that never opened send nothing and say why.
  host.Clear();
  EXPECT_LT(mount.GuidePulse('n', 100), 0);
  EXPECT_FALSE(host.boxes.empty());
}

class IndiSimulators : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::IndiServerInstalled()) GTEST_SKIP() << "indi-bin is not installed";
    ASSERT_TRUE(server.Start());
  }
  test::IndiServer server;
  RecordingHost host;
  RealClock clock;
};

TEST_F(IndiSimulators, MountAndFocuserDoWhatTheyAreTold) {
  // A device the server does not have: the message names the ones it has.
  {
    IndiMount wrong(Choice(server.port(), "LX200 Classic", ""), host, clock);
    EXPECT_FALSE(wrong.Open());
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_NE(host.boxes[0].text.find("no device \"LX200 Classic\""), std::string::npos)
        << host.boxes[0].text;
    EXPECT_NE(host.boxes[0].text.find("\"Telescope Simulator\""), std::string::npos) << host.boxes[0].text;
    EXPECT_NE(host.boxes[0].text.find("\"Focuser Simulator\""), std::string::npos) << host.boxes[0].text;
    host.Clear();
  }
  IndiMount mount(Choice(server.port()), host, clock);
  ASSERT_TRUE(mount.Open()) << (host.boxes.empty() ? "" : host.boxes[0].text);
  EXPECT_TRUE(mount.IsOpen());

  // Coordinates as entered (the mount's epoch), within 1'.
  std::string reply;
  ASSERT_EQ(mount.GotoCoordinates(0, 40, 41, 0, reply), '0');
  EXPECT_EQ(reply, "OBJ RA00:40:00 DE+41:00:00");
  ASSERT_TRUE(SettleMount(mount, clock, 30000));
  // INDI's simulator ends a long slew some seconds of RA short (it keeps tracking while it slews); a
  // second press of "Go To " from nearby lands on the spot, as on many real mounts.
  IndiMountPosition p = mount.Position();
  std::printf("after the long slew: %.2f' off\n", ArcminBetween(p.ra_hours, p.dec_degrees, 40 / 60.0, 41));
  ASSERT_EQ(mount.GotoCoordinates(0, 40, 41, 0, reply), '0');
  ASSERT_TRUE(SettleMount(mount, clock, 30000));
  p = mount.Position();
  EXPECT_LT(ArcminBetween(p.ra_hours, p.dec_degrees, 40 / 60.0, 41), 1.0)
      << p.ra_hours << " " << p.dec_degrees;

  // M31 precessed to the date, within 3' of the rigorous position of date.
  ASSERT_EQ(mount.GotoCatalogue('m', 31, reply), '0');
  EXPECT_EQ(reply.rfind("M31 RA00:4", 0), 0u) << reply;
  ASSERT_TRUE(SettleMount(mount, clock, 30000));
  p = mount.Position();
  const SkyPosition m31 = Precess(*MessierJ2000(31), JulianDay(std::time(nullptr)));
  EXPECT_LT(ArcminBetween(p.ra_hours, p.dec_degrees, m31.ra_hours, m31.dec_degrees), 3.0);

  // Numbers only the LX200's own catalogue had: a message, nothing sent.
  host.Clear();
  const int gotos = mount.Position().gotos;
  EXPECT_EQ(mount.GotoCatalogue('c', 224, reply), '1');
  EXPECT_EQ(mount.GotoCatalogue('s', 1234, reply), '1');
  EXPECT_EQ(mount.Position().gotos, gotos);
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_NE(host.boxes[0].text.find("NGC 224 is only in the LX200's own catalogue"), std::string::npos);
  host.Clear();

  // A 2 s north guide pulse at the simulator's guide rate (0.5 x sidereal): 15".
  double dec0 = mount.Position().dec_degrees;
  const uint32_t before = clock.NowMs();
  ASSERT_EQ(mount.GuidePulse('n', 2000), 0);
  EXPECT_GE(ElapsedMs(clock.NowMs(), before), 1900);  // it waited for the mount
  clock.Pause(600);                                   // the mount's next report
  // INDI's simulator moves Dec the other way on the west side of the pier: the size is what counts
  // here (the swap setting is for such mounts).
  const double moved = (mount.Position().dec_degrees - dec0) * 3600;
  EXPECT_NEAR(std::fabs(moved), 15.04, 2.5);
  const double north = moved > 0 ? 1 : -1;
  // And south brings it back.
  ASSERT_EQ(mount.GuidePulse('s', 2000), 0);
  clock.Pause(600);
  EXPECT_NEAR((mount.Position().dec_degrees - dec0) * 3600, 0, 2.5);

  // A held move at the centre rate moves the mount and stops when released.
  dec0 = mount.Position().dec_degrees;
  mount.StartSlew('C', 'n');
  clock.Pause(1500);
  mount.StopSlew();
  clock.Pause(700);
  const double stopped_at = mount.Position().dec_degrees;
  EXPECT_GT((stopped_at - dec0) * 3600 * north, 20);  // it moved as the north pulse did
  clock.Pause(1000);
  EXPECT_NEAR((mount.Position().dec_degrees - stopped_at) * 3600, 0, 1);  // and stays
  EXPECT_TRUE(host.boxes.empty());

  // The focuser moves in: 0.5 s held at the fast speed is 100 steps of a relative focuser.
  double focus0 = 0;
  ASSERT_TRUE(mount.Number(kFocuser, "ABS_FOCUS_POSITION", "FOCUS_ABSOLUTE_POSITION", focus0));
  mount.StartFocus(true, true);
  clock.Pause(500);
  mount.StopFocus();
  clock.Pause(300);
  double focus1 = 0;
  ASSERT_TRUE(mount.Number(kFocuser, "ABS_FOCUS_POSITION", "FOCUS_ABSOLUTE_POSITION", focus1));
  EXPECT_NEAR(focus0 - focus1, 100, 2);
  ASSERT_TRUE(mount.FocusFor(false, false, 1000));  // out, slow: 20 steps
  clock.Pause(300);
  ASSERT_TRUE(mount.Number(kFocuser, "ABS_FOCUS_POSITION", "FOCUS_ABSOLUTE_POSITION", focus0));
  EXPECT_NEAR(focus0 - focus1, 20, 2);

  // The server goes away mid-session: the next pulse says so at once, and opening again fails fast.
  server.Stop();
  clock.Pause(300);
  host.Clear();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_LT(mount.GuidePulse('e', 500), 0);
  ASSERT_FALSE(host.boxes.empty());
  EXPECT_NE(host.boxes[0].text.find("was lost"), std::string::npos) << host.boxes[0].text;
  EXPECT_FALSE(mount.Open());
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10);
}

}  // namespace
}  // namespace nyxel

namespace nyxel {
namespace {

// Training and guiding through the INDI mount driver: the simulated sky follows the mount's
// EQUATORIAL_EOD_COORD at the plate scale, and drifts on its own besides.
TEST_F(IndiSimulators, TrainingMeasuresTheGuideRateAndGuidingHoldsTheStar) {
  test::TempDir dir;
  SimulatedSky sky(clock, 5);
  sky.SetStars({{250.5, 121.5, 200000, 1, 1, 1}});
  SimulatedCameraOptions quiet;
  quiet.noise = false;
  quiet.hot_pixels = 0;
  SimulatedCamera camera(sky, quiet);
  Observatory obs(host, clock, Drive(dir.path()), camera);
  StartSession(obs.session);
  Settings& st = obs.session.settings;
  st.guide_interface = 'l';
  st.guide_training_time = 1;
  st.ra_hysteresis = st.dec_hysteresis = 0;
  st.ra_backlash = st.dec_backlash = 0;
  st.direction_change_delay = false;
  auto owned = std::make_unique<IndiMount>(Choice(server.port(), kMount, ""), host, clock);
  IndiMount& mount = *owned;
  obs.link.backend = std::move(owned);
  ASSERT_TRUE(OpenTelescopeLink(obs.link, obs.session));

  // West of the meridian: 2 h of hour angle at the simulator's longitude 0, Dec +30.
  const double lst = std::fmod(MeanSiderealHours(JulianDay(std::time(nullptr))), 24.0);
  const double ra = std::fmod(lst - 2 + 24, 24);
  std::string reply;
  ASSERT_EQ(mount.GotoPosition(ra, 30, "FIELD", reply), '0');
  ASSERT_TRUE(SettleMount(mount, clock, 30000));
  // Which way this mount's north and east go: a user with a reversed mount sets the swap options.
  const IndiMountPosition before = mount.Position();
  ASSERT_EQ(mount.GuidePulse('n', 500), 0);
  ASSERT_EQ(mount.GuidePulse('e', 500), 0);
  clock.Pause(600);
  const IndiMountPosition after = mount.Position();
  if (after.dec_degrees < before.dec_degrees) std::swap(st.drive_directions[0], st.drive_directions[1]);
  if (after.ra_hours < before.ra_hours) std::swap(st.drive_directions[2], st.drive_directions[3]);
  ASSERT_EQ(SaveSettings(st, obs.session.drive), 0);

  FollowIndiMount(sky, mount, [&] { return obs.session.settings.fits.fits_focal_length; });
  ASSERT_TRUE(BeginCameraCommand(obs));
  EndCameraCommand(obs);
  obs.run.ExposureUnit = 'q';
  obs.run.ExposureValue = 200;
  const SkyOffset start = sky.StarPosition(sky.BrightStar(), clock.NowMs());
  obs.picked = {true, static_cast<int>(start.x), static_cast<int>(start.y)};
  host.Clear();
  ASSERT_EQ(obs.guider.Train(), 0) << (host.boxes.empty() ? "" : host.boxes[0].text);
  // 0.5 x sidereal at 2.02 x 2.60" a pixel: 3.2 pixels a second across at Dec 30, 2.9 down.
  const PlateScale scale = PlateScaleFor(0);
  const double rate_x = 0.5 * 15.041 * std::cos(30 * kPi / 180) / scale.x;
  const double rate_y = 0.5 * 15.041 / scale.y;
  std::printf("trained %d x %d px/s (expected %.2f x %.2f)\n", st.ra_pixels_per_sec, st.dec_pixels_per_sec,
              rate_x, rate_y);
  EXPECT_NEAR(st.ra_pixels_per_sec, rate_x, 1.0);
  EXPECT_NEAR(st.dec_pixels_per_sec, rate_y, 1.0);

  // Guide for a few seconds on a drifting sky.
  sky.SetDrift(0.25, -0.2);
  const SkyOffset now = sky.StarPosition(sky.BrightStar(), clock.NowMs());
  obs.picked = {true, static_cast<int>(std::lround(now.x)), static_cast<int>(std::lround(now.y))};
  std::vector<double> errors;
  SkyOffset reference{};
  const uint32_t end = clock.NowMs() + 8000;
  const int first = host.pumps;
  host.on_pump = [&] {
    const SkyOffset p = sky.StarPosition(sky.BrightStar(), clock.NowMs());
    if (host.pumps == first + 2) reference = p;
    if (host.pumps > first + 2) errors.push_back(std::hypot(p.x - reference.x, p.y - reference.y));
    if (ElapsedMs(clock.NowMs(), end) >= 0 && host.abort_on_pump == 0) host.abort_on_pump = host.pumps;
  };
  ASSERT_TRUE(obs.guider.Guide());
  host.on_pump = {};
  sky.external_pointing = nullptr;
  ASSERT_GT(errors.size(), 5u);
  double sum = 0;
  for (const double e : errors) sum += e * e;
  const double rms = std::sqrt(sum / static_cast<double>(errors.size()));
  std::printf("guided %zu frames, RMS %.2f px (unguided the drift would reach %.1f px)\n", errors.size(), rms,
              0.32 * 8);
  EXPECT_LE(rms, 0.5);
}

}  // namespace
}  // namespace nyxel
