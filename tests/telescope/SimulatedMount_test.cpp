// The simulated mount moves the sky the camera sees, and the real serial port reaches it over a
// pseudo-terminal.
#include "telescope/sim/SimulatedMount.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "camera/sim/SimulatedSky.h"
#include "files/SettingsFile.h"
#include "telescope/QtSerialPort.h"
#include "telescope/TelescopeControl.h"
#include "telescope/TelescopeLink.h"
#include "telescope/sim/PtyMount.h"
#include "tests/support/TestSession.h"

namespace nyxel {
namespace {

struct MountTest : ::testing::Test {
  test::TestSession t;
  SimulatedSky sky{t.clock, 1};

  void OpenOn(TelescopeLink& link, SerialPort& port, char interface) {
    link.port = &port;
    t.session.settings.guide_interface = interface;
    ASSERT_EQ(SaveSettings(t.session.settings, t.session.drive), 0);
    ASSERT_TRUE(OpenTelescopeLink(link, t.session));
  }
  void Pulse(TelescopeLink& link, char interface, char letter, int ms) {
    link.GuideDirection = letter;
    link.GuidePulseMs = ms;
    ASSERT_EQ(GuidePulse(link, interface, t.host, t.clock), 0);
  }
};

TEST_F(MountTest, GuidePulsesMoveTheStarByTheGuideRate) {
  SimulatedMountOptions options;
  options.guide_rate_x = 6;
  options.guide_rate_y = 4;
  struct Case {
    char interface, letter;
    int ms;
    bool mirror;
    double dx, dy;
  };
  const std::vector<Case> cases = {
      {'l', 'e', 700, false, 0.7 * 6, 0}, {'l', 'w', 250, false, -0.25 * 6, 0},
      {'l', 'n', 500, false, 0, 0.5 * 4}, {'l', 's', 100, false, 0, -0.1 * 4},
      {'b', 'e', 700, false, 0.7 * 6, 0}, {'b', 'n', 300, false, 0, 0.3 * 4},
      {'l', 'e', 700, true, -0.7 * 6, 0}, {'b', 'w', 200, true, 0.2 * 6, 0},
      {'l', 'e', 0, false, 0, 0},
  };
  for (const Case& c : cases) {
    SimulatedSky own_sky{t.clock, 1};
    options.mirror = c.mirror;
    SimulatedMount mount{own_sky, options};
    TelescopeLink link;
    OpenOn(link, mount, c.interface);
    const SkyOffset before = own_sky.Offset();
    const uint32_t start = t.clock.NowMs();
    Pulse(link, c.interface, c.letter, c.ms);
    const SkyOffset after = own_sky.Offset();
    EXPECT_NEAR(after.x - before.x, c.dx, 1e-9) << c.interface << c.letter << c.ms;
    EXPECT_NEAR(after.y - before.y, c.dy, 1e-9) << c.interface << c.letter << c.ms;
    // The star moves while the pulse lasts, not at its end.
    const uint32_t middle = start + (c.interface == 'b' ? 1 : 20) + static_cast<uint32_t>(c.ms / 2);
    EXPECT_NEAR(own_sky.OffsetAt(middle).x - before.x, c.dx / 2, 1e-9);
    EXPECT_EQ(own_sky.Drift().x, 0);
  }
}

TEST_F(MountTest, ManualRatesBacklashAndDrift) {
  SimulatedMountOptions options;
  options.guide_rate_x = options.guide_rate_y = 2;
  options.dec_backlash = 1.5;
  SimulatedMount mount{sky, options};
  TelescopeLink link;
  OpenOn(link, mount, 'l');
  // The four rates: guide 1x, centre 8x, find 64x, slew 512x the guide rate, for 100 ms.
  const std::vector<std::pair<std::string_view, double>> rates = {
      {"#:RG#", 0.2}, {"#:RC#", 1.6}, {"#:RM#", 12.8}, {"#:RS#", 102.4}};
  for (const auto& [rate, moved] : rates) {
    link.SlewRateCommand = std::string(rate);
    const double x = sky.Offset().x;
    BeginMove(link, 'w');
    t.clock.Advance(100);
    EndMove(link);
    EXPECT_NEAR(sky.Offset().x - x, -moved, 1e-9) << rate;
  }
  EXPECT_EQ(mount.rate(), 'S');

  // North, then south: the reversal loses the backlash once; going on south loses nothing.
  auto dec_pulse = [&](char letter) {
    const double y = sky.Offset().y;
    Pulse(link, 'l', letter, 1000);
    return sky.Offset().y - y;
  };
  EXPECT_NEAR(dec_pulse('n'), 2, 1e-9);
  EXPECT_NEAR(dec_pulse('s'), -0.5, 1e-9);
  EXPECT_NEAR(dec_pulse('s'), -2, 1e-9);
  EXPECT_NEAR(dec_pulse('n'), 0.5, 1e-9);
  // A short reversal stays inside the dead band, and going back costs only what it went into it.
  auto short_pulse = [&](char letter, int ms) {
    const double y = sky.Offset().y;
    Pulse(link, 'l', letter, ms);
    return sky.Offset().y - y;
  };
  EXPECT_NEAR(short_pulse('s', 250), 0, 1e-9);
  EXPECT_NEAR(short_pulse('n', 1000), 1.5, 1e-9);
  EXPECT_NEAR(short_pulse('s', 500), 0, 1e-9);  // 1 px into the 1.5 px band
  EXPECT_NEAR(short_pulse('s', 500), -0.5, 1e-9);

  // Drift and periodic error: the offset follows the drift plus the sine at every update.
  SimulatedSky drifting{t.clock, 1};
  SimulatedMountOptions d;
  d.drift_x = 0.5;
  d.drift_y = -0.25;
  d.periodic_error = 3;
  d.periodic_period_s = 40;
  const uint32_t t0 = t.clock.NowMs();
  SimulatedMount wobbly{drifting, d};
  const double x0 = drifting.Offset().x, y0 = drifting.Offset().y;
  for (int s = 1; s <= 30; ++s) {
    t.clock.Advance(1000);
    wobbly.Update();
    const double w = 2 * 3.14159265358979323846 / 40;
    const double pe = 3 * (std::sin(w * (t0 / 1000.0 + s)) - std::sin(w * t0 / 1000.0));
    EXPECT_NEAR(drifting.Offset().x - x0, 0.5 * s + pe, 1e-6) << s;
    EXPECT_NEAR(drifting.Offset().y - y0, -0.25 * s, 1e-9) << s;
  }
}

TEST_F(MountTest, AnswersTheLx200CommandsItIsSent) {
  SimulatedMount mount{sky};
  struct Case {
    std::string sent;
    std::string answer;
  };
  const std::vector<Case> cases = {
      {"#:Sr 05:34.0#", "1"},
      {"#:Sr 24:00.0#", "0"},
      {"#:Sd +22*01#", "1"},
      {"#:Sd -91*00#", "0"},
      {"#:LI#", "OBJ RA05:34 DE+22#"},
      {"#:MS#", "0"},
      {"#:Sd -60*00#", "1"},
      {"#:MS#", "1Below the mount's horizon#"},
      {"#:LM 0031#", ""},
      {"#:FF##:F+#", ""},
  };
  ASSERT_EQ(mount.Reset(0, 1024, 1024), 0);
  for (const Case& c : cases) {
    mount.Receive(c.sent.data(), c.sent.size());
    EXPECT_EQ(mount.TakeAnswer(), c.answer) << c.sent;
  }
  t.clock.Advance(2000);
  mount.Receive("#:FQ#", 5);
  EXPECT_DOUBLE_EQ(mount.focus_position(), 200);
  EXPECT_EQ(mount.slews(), 1);
  // Every character is in the log with its time.
  EXPECT_EQ(mount.bytes.back().time_ms, t.clock.NowMs());
  EXPECT_EQ(mount.ReceivedText().substr(0, 13), "#:Sr 05:34.0#");
}

// The real serial layer (QSerialPort, no event loop) against the mount on a pseudo-terminal.
TEST_F(MountTest, TheSerialPortReachesTheMountOverAPseudoTerminal) {
  SimulatedMountOptions options;
  options.guide_rate_x = 10;
  SimulatedMount mount{sky, options};
  PtyMount pty{mount};
  ASSERT_TRUE(pty.Start(t.session.drive.Root() / "com1")) << "no pseudo-terminal";
  ASSERT_EQ(t.session.drive.SerialPort(1), t.session.drive.Root() / "com1");

  TelescopeLink link;
  link.peer = &pty;
  t.session.settings.guide_interface = 'l';
  ASSERT_EQ(SaveSettings(t.session.settings, t.session.drive), 0);
  ASSERT_TRUE(OpenTelescopeLink(link, t.session)) << (t.host.boxes.empty() ? "" : t.host.boxes[0].text);

  EXPECT_EQ(pty.LineBaud(), 9600);
  const SkyOffset before = sky.Offset();
  Pulse(link, 'l', 'e', 700);
  EXPECT_NEAR(sky.Offset().x - before.x, 7.0, 1e-9);
  EXPECT_EQ(mount.ReceivedText(), "#:RG##:Me##:Qe#");
  ASSERT_EQ(mount.bytes.size(), 15u);
  EXPECT_EQ(mount.bytes[5].time_ms - mount.bytes[0].time_ms, 20u);
  EXPECT_EQ(mount.bytes[10].time_ms - mount.bytes[5].time_ms, 700u);

  EXPECT_EQ(GotoCoordinates(link, t.host, t.clock, 5, 34, 22, 1), '0');
  EXPECT_EQ(link.ReplyText, "11OBJ RA05:34 DE+22#");
  EXPECT_EQ(mount.ReceivedText().substr(15), "#:Sr 05:34.0##:Sd +22*01##:LI##:MS#");

  // The control box at 300 baud on the same line.
  CloseLink(link);
  t.session.settings.guide_interface = 'b';
  ASSERT_EQ(SaveSettings(t.session.settings, t.session.drive), 0);
  ASSERT_TRUE(OpenTelescopeLink(link, t.session));
  EXPECT_EQ(pty.LineBaud(), 300);
  mount.bytes.clear();
  ASSERT_EQ(ResetControlBox(link, t.host, t.clock), 0);
  Pulse(link, 'b', 'n', 250);
  std::vector<int> box;
  for (const auto& b : mount.bytes) box.push_back(b.value);
  EXPECT_EQ(box, (std::vector<int>{13, 0, 0, 2, 0x12, 0}));
  EXPECT_EQ(mount.bytes[5].time_ms - mount.bytes[4].time_ms, 250u);
  EXPECT_TRUE(t.host.boxes.empty());
}

TEST_F(MountTest, AMissingDeviceOrASilentPeerFailsQuickly) {
  // No com link and a device path that cannot exist on this machine's drive folder.
  TelescopeLink link;
  t.session.settings.guide_interface = 'l';
  t.session.settings.com_port = 2;
  ASSERT_EQ(SaveSettings(t.session.settings, t.session.drive), 0);
  std::filesystem::create_directory(t.session.drive.Root() / "com2");  // not a serial device
  EXPECT_FALSE(OpenTelescopeLink(link, t.session));
  ASSERT_EQ(t.host.boxes.size(), 3u);
  EXPECT_EQ(t.host.boxes[0].text, "ERROR " + std::to_string(kSerialNoDevice) + " ");
  EXPECT_EQ(t.host.boxes[1].text, "Open Communications Failed");
  EXPECT_EQ(t.session.settings.guide_interface, 'n');

  // A pseudo-terminal nobody answers on: reads end after the quiet time, not never.
  SimulatedMount mount{sky};
  PtyMount pty{mount};
  ASSERT_TRUE(pty.Start(t.session.drive.Root() / "com1"));
  QtSerialPort port(t.session.drive);
  ASSERT_EQ(port.Reset(0, 1024, 1024), 0);
  ASSERT_EQ(port.Baud(kBaud9600), 0);
  char reply[33];
  EXPECT_EQ(port.Puts("#:LI#", 5), 5);
  EXPECT_EQ(port.Gets(reply, 33), 0);
  EXPECT_EQ(port.Done(), 0);
  EXPECT_EQ(port.Puts("#:LI#", 5), kSerialNotOpen);
}

TEST_F(MountTest, TheComLinkReplacesOnlyWhatAnEarlierRunLeft) {
  SimulatedMount mount{sky};
  const auto link = t.session.drive.Root() / "com1";
  namespace fs = std::filesystem;
  struct Case {
    std::string what;
    std::function<void()> make;
    bool started;
  };
  const std::vector<Case> cases = {
      {"nothing", [] {}, true},
      {"a dangling link", [&] { fs::create_symlink("/dev/pts/99999", link); }, true},
      {"the user's link to a port", [&] { fs::create_symlink("/dev/null", link); }, false},
      {"a file",
       [&] {
         test::WriteBytes(link, {1, 2});
       },
       false},
  };
  for (const Case& c : cases) {
    std::error_code ec;
    fs::remove(link, ec);
    c.make();
    const bool was_link = fs::is_symlink(link);
    const std::string before = was_link ? fs::read_symlink(link).string() : "";
    {
      PtyMount pty{mount};
      EXPECT_EQ(pty.Start(link), c.started) << c.what;
      if (c.started) {
        EXPECT_EQ(fs::read_symlink(link).string(), pty.SlavePath()) << c.what;
      }
    }
    if (c.started) {
      EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << c.what << ": removed at the end";
    } else if (was_link) {
      EXPECT_EQ(fs::read_symlink(link).string(), before) << c.what;
    } else {
      EXPECT_EQ(test::ReadBytes(link), (std::vector<unsigned char>{1, 2})) << c.what;
    }
  }
}

}  // namespace
}  // namespace nyxel
