#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "camera/CameraProtocol.h"
#include "camera/ExposureRun.h"
#include "camera/sim/SimulatedCamera.h"
#include "camera/sim/SimulatedSky.h"
#include "core/RecordingHost.h"
#include "files/SettingsFile.h"
#include "indi/Rv9Device.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

Rv9Options Simulated() {
  Rv9Options o;
  o.simulate = true;
  o.sim_full_readout_ms = 0;
  o.sim_window_readout_ms = 0;
  return o;
}

// The brightest 3 x 3 box of a w-wide picture (so a hot pixel, one pixel wide, never wins), its mean,
// and the median pixel.
struct Peak {
  int x = 0, y = 0;
  int value = 0;
  int median = 0;
};
Peak FindPeak(const uint16_t* pixels, int stride, int w, int h, int margin = 2) {
  Peak p;
  std::vector<uint16_t> all;
  for (int r = margin; r < h - margin; ++r) {
    for (int c = margin; c < w - margin; ++c) {
      all.push_back(pixels[r * stride + c]);
      int box = 0;
      for (int dr = -1; dr <= 1; ++dr)
        for (int dc = -1; dc <= 1; ++dc) box += pixels[(r + dr) * stride + c + dc];
      if (box / 9 > p.value) p = {c, r, box / 9, 0};
    }
  }
  std::nth_element(all.begin(), all.begin() + all.size() / 2, all.end());
  p.median = all[all.size() / 2];
  return p;
}

TEST(Rv9Device, SimulatedReadoutsShowTheStarWhereTheyShould) {
  test::TempDir dir;
  SimulatedClock clock(1000);
  Rv9Device device(dir.path(), &clock);
  std::string message;
  ASSERT_TRUE(device.Connect(Simulated(), message)) << message;
  const SkyStar star = device.Sky()->BrightStar();

  // A camera-timed 0.4 s full frame.
  device.Control(kControlClear);
  device.Control(kControlStartIntegration);
  Rv9Device::ReadResult r = device.Read(ReadoutPlan{}, 400, false);
  ASSERT_TRUE(r.ok);
  Peak full = FindPeak(device.store().CurrentFrame.data(), kFrameWidth, kRv9Columns, kRv9Rows);
  EXPECT_GT(full.value, full.median + 1000);
  EXPECT_NEAR(full.x, star.x, 2.5);
  EXPECT_NEAR(full.y, star.y, 2.5);

  // The 128 x 128 window placed on a sub-frame centred on the star finds it in its middle (the
  // window's column phase shifts it by up to two columns).
  const int sx = static_cast<int>(star.x) - 64, sy = static_cast<int>(star.y) - 64;
  const ReadoutPlan plan = PlanReadout(sx, sy, 128, 128);
  ASSERT_TRUE(plan.window);
  device.Control(kControlClear);
  device.Control(kControlStartIntegration);
  r = device.Read(plan, 400, false);
  ASSERT_TRUE(r.ok);
  Peak window = FindPeak(device.store().CurrentFrame.data(), kFocusSize, kFocusSize, kFocusSize);
  EXPECT_GT(window.value, window.median + 1000);
  EXPECT_NEAR(window.x, 64 + plan.focus_x % 3, 3);
  EXPECT_NEAR(window.y, 64, 3);

  // Colour: the planes are synthesised from the mosaic just read.
  device.Control(kControlClear);
  device.Control(kControlStartIntegration);
  r = device.Read(ReadoutPlan{}, 400, true);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(device.store().ColourConverted, 1);
  const ImageStore& s = device.store();
  auto brightness = [&](int row, int column) {
    const int at = PixelIndex(row, column);
    return s.RedPlane[at] + s.GreenPlane[at] + s.BluePlane[at];
  };
  EXPECT_GT(brightness(full.y, full.x), brightness(full.y + 20, full.x) + 30)
      << "the star is bright in colour too";

  device.Disconnect();
  EXPECT_FALSE(device.Connected());
  EXPECT_EQ(device.Read(ReadoutPlan{}, 100, false).ok, false);
}

TEST(Rv9Device, FailedReadoutsSayWhyAndWhetherTheCameraHasGone) {
  struct Case {
    int read_error;
    bool window;
    bool gone;
    const char* said;
  };
  const Case cases[] = {
      {EIO, false, false, "Error 5 trying to read BlockIO data from USB\n"},
      {ETIMEDOUT, true, false, "Error 110 trying to read BlockIO data from USB\n"},
      {ENODEV, false, true, "Error 19 trying to read BlockIO data from USB\n"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    SimulatedClock clock(1000);
    Rv9Device device(dir.path(), &clock);
    std::string message;
    ASSERT_TRUE(device.Connect(Simulated(), message)) << message;
    ASSERT_TRUE(device.Read(ReadoutPlan{}, 100, false).ok);
    const Frame before = device.store().CurrentFrame;
    device.SimCamera()->read_error = c.read_error;
    const ReadoutPlan plan = c.window ? PlanReadout(186, 58, 128, 128) : ReadoutPlan{};
    const Rv9Device::ReadResult r = device.Read(plan, 100, true);
    EXPECT_FALSE(r.ok) << c.read_error;
    EXPECT_EQ(r.gone, c.gone) << c.read_error;
    EXPECT_EQ(device.TakeMessages(), std::vector<std::string>{c.said});
    EXPECT_TRUE(device.store().CurrentFrame == before) << "a failed read is no picture";
    EXPECT_EQ(device.store().ColourConverted, 0) << "nor is it synthesised";
  }
}

TEST(Rv9Device, GuideRelaysMoveTheSimulatedSky) {
  struct Case {
    std::array<char, 4> drive_directions;  // n, s, e, w
    char compass;
    uint8_t bit;
    double dx, dy;  // pixels after one second at the simulated guide rate of 8 px/s
  };
  const Case cases[] = {
      {{'n', 's', 'e', 'w'}, 'n', kBoxNorth, 0, 8},  {{'n', 's', 'e', 'w'}, 's', kBoxSouth, 0, -8},
      {{'n', 's', 'e', 'w'}, 'e', kBoxEast, 8, 0},   {{'n', 's', 'e', 'w'}, 'w', kBoxWest, -8, 0},
      {{'s', 'n', 'e', 'w'}, 'n', kBoxSouth, 0, -8}, {{'n', 's', 'w', 'e'}, 'e', kBoxWest, -8, 0},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    Settings settings;
    settings.drive_directions = c.drive_directions;
    ASSERT_EQ(SaveSettings(settings, Drive(dir.path())), 0);
    SimulatedClock clock(5000);
    Rv9Device device(dir.path(), &clock);
    std::string message;
    ASSERT_TRUE(device.Connect(Simulated(), message)) << message;
    ASSERT_TRUE(device.OpenGuidePort("", message)) << message;
    ASSERT_EQ(device.RelayBit(c.compass), c.bit);
    const SkyOffset before = device.Sky()->Offset();
    ASSERT_TRUE(device.SetRelays(device.RelayBit(c.compass)));
    clock.Advance(1000);
    ASSERT_TRUE(device.SetRelays(0));
    clock.Advance(1000);  // released: the sky stays where the pulse left it
    const SkyOffset after = device.Sky()->Offset();
    EXPECT_NEAR(after.x - before.x, c.dx, 0.5) << c.compass;
    EXPECT_NEAR(after.y - before.y, c.dy, 0.5) << c.compass;
  }

  // Both axes at once (a guider's north and east pulses overlap): both relays close, and releasing one
  // leaves the other closed.
  test::TempDir dir;
  SimulatedClock clock(5000);
  Rv9Device device(dir.path(), &clock);
  std::string message;
  ASSERT_TRUE(device.Connect(Simulated(), message)) << message;
  ASSERT_TRUE(device.OpenGuidePort("", message)) << message;
  const SkyOffset before = device.Sky()->Offset();
  ASSERT_TRUE(device.SetRelays(kBoxNorth | kBoxEast));
  clock.Advance(500);
  ASSERT_TRUE(device.SetRelays(kBoxEast));
  clock.Advance(500);
  ASSERT_TRUE(device.SetRelays(0));
  const SkyOffset after = device.Sky()->Offset();
  EXPECT_NEAR(after.x - before.x, 8, 0.5);
  EXPECT_NEAR(after.y - before.y, 4, 0.5);
}

// The guide box on a serial port of its own name (a pseudo-terminal here): the bytes on the line.
TEST(Rv9Device, GuideBoxBytesOnANamedPort) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slave = ptsname(master);
  test::TempDir dir;
  SimulatedClock clock(100);
  Rv9Device device(dir.path(), &clock);
  std::string message;
  EXPECT_FALSE(device.OpenGuidePort((dir.path() / "no-such-port").string(), message));
  EXPECT_FALSE(message.empty());
  EXPECT_FALSE(device.GuidePortOpen());
  EXPECT_FALSE(device.SetRelays(kBoxNorth)) << "no port, no pulse";

  ASSERT_TRUE(device.OpenGuidePort(slave, message)) << message;
  ASSERT_TRUE(device.SetRelays(kBoxNorth));
  ASSERT_TRUE(device.SetRelays(kBoxNorth | kBoxWest));
  ASSERT_TRUE(device.SetRelays(0));
  device.CloseGuidePort();
  std::vector<uint8_t> line;
  for (;;) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 500) <= 0) break;
    uint8_t chunk[64];
    const ssize_t n = read(master, chunk, sizeof chunk);
    if (n <= 0) break;
    line.insert(line.end(), chunk, chunk + n);
    if (line.size() >= 10) break;
  }
  close(master);
  // The reset (13, 0, 0), north readied and closed, north and west readied and closed, all released,
  // and released once more as the port closes.
  EXPECT_EQ(line, (std::vector<uint8_t>{13, 0, 0, 2, 0x12, 10, 0x1A, 0, 0}));
}

TEST(Rv9Device, TheCameraIsOneProgramsAtATime) {
  test::TempDir dir;
  const std::filesystem::path lock_file = CameraLockPath(Drive(dir.path()));
  std::string holder;

  // Another holder (the window): connecting says so and leaves the USB alone.
  {
    CameraLock window;
    ASSERT_TRUE(window.Acquire(lock_file, holder));
    Rv9Device device(dir.path());
    std::string message;
    EXPECT_FALSE(device.Connect(Rv9Options{}, message));
    EXPECT_EQ(message, "The camera is in use by tests_indi, process " + std::to_string(getpid()));
    EXPECT_FALSE(device.Connected());
    // Simulation needs no camera and takes no lock.
    EXPECT_TRUE(device.Connect(Simulated(), message)) << message;
  }
  // Free, but no RV9 on this machine's USB: the scan's verdict, and the lock let go again.
  {
    Rv9Device device(dir.path());
    std::string message;
    EXPECT_FALSE(device.Connect(Rv9Options{}, message));
    EXPECT_NE(message.find("Sorry, No camera found on USB"), std::string::npos) << message;
    CameraLock other;
    EXPECT_TRUE(other.Acquire(lock_file, holder)) << holder;
  }
}

TEST(CameraLock, HolderIsNamedAndTheWindowsCameraCommandHonoursIt) {
  test::TempDir dir;
  const std::filesystem::path file = dir.path() / "rv9.lock";
  CameraLock a, b;
  std::string holder = "stale";
  ASSERT_TRUE(a.Acquire(file, holder));
  EXPECT_TRUE(holder.empty());
  EXPECT_TRUE(a.Acquire(file, holder)) << "held already";
  EXPECT_FALSE(b.Acquire(file, holder));
  EXPECT_EQ(holder, "tests_indi, process " + std::to_string(getpid()));
  EXPECT_FALSE(b.Held());
  a.Release();
  EXPECT_TRUE(b.Acquire(file, holder));
  b.Release();

  // The window's camera command with the lock in another's hands: refused before any USB traffic.
  RecordingHost host;
  SimulatedClock clock;
  SimulatedSky sky(clock);
  SimulatedCamera camera(sky);
  CameraRig rig(host, clock, Drive(dir.path()), camera);
  CameraLock driver;
  ASSERT_TRUE(driver.Acquire(CameraLockPath(rig.session.drive), holder));
  EXPECT_FALSE(BeginCameraCommand(rig));
  EXPECT_TRUE(camera.commands.empty());
  EXPECT_FALSE(rig.camera.CameraPresent);
  const std::vector<std::string> texts = host.Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), "The camera is in use by tests_indi, process " + std::to_string(getpid()));

  // Once the driver lets go the command scans, finds the camera and keeps the lock.
  driver.Release();
  EXPECT_TRUE(BeginCameraCommand(rig));
  EXPECT_TRUE(rig.camera.CameraPresent);
  EXPECT_FALSE(driver.Acquire(CameraLockPath(rig.session.drive), holder));
  EndCameraCommand(rig);
}

}  // namespace
}  // namespace nyxel
