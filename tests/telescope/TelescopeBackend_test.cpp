// The link's commands on a telescope that is not on the serial port: each goes to the backend with
// the values the dialog and guiding gave, none touches the port, and a mount that is lost ends
// training and guiding as a lost star does. On the simulated clock, with a recording backend.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "camera/sim/SimulatedCamera.h"
#include "camera/sim/SimulatedSky.h"
#include "core/RecordingHost.h"
#include "files/SettingsFile.h"
#include "telescope/Observatory.h"
#include "telescope/TelescopeControl.h"
#include "telescope/TelescopeLink.h"
#include "telescope/sim/SimulatedMount.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

struct RecordingBackend : TelescopeBackend {
  bool Open() override {
    calls.push_back("Open");
    return open_ok;
  }
  bool IsOpen() const override { return open_ok; }
  int GuidePulse(char letter, int ms) override {
    calls.push_back(std::string("Pulse ") + letter + " " + std::to_string(ms));
    return --pulses_left < 0 ? -2 : 0;
  }
  char GotoCatalogue(char letter, int number, std::string& reply) override {
    calls.push_back(std::string("Catalogue ") + letter + " " + std::to_string(number));
    reply = "from the backend";
    return '0';
  }
  char GotoCoordinates(int h, int m, int d, int dm, std::string& reply) override {
    calls.push_back("Coordinates " + std::to_string(h) + " " + std::to_string(m) + " " + std::to_string(d) +
                    " " + std::to_string(dm));
    reply = "OBJ";
    return '0';
  }
  void StartSlew(char rate, char direction) override {
    calls.push_back(std::string("StartSlew ") + rate + " " + direction);
  }
  void StopSlew() override { calls.push_back("StopSlew"); }
  void StartFocus(bool fast, bool inward) override {
    calls.push_back(std::string("StartFocus ") + (fast ? "fast " : "slow ") + (inward ? "in" : "out"));
  }
  void StopFocus() override { calls.push_back("StopFocus"); }

  std::vector<std::string> calls;
  bool open_ok = true;
  int pulses_left = 1000000;
};

TEST(TelescopeBackend, EveryCommandGoesToTheBackendAndNoneToThePort) {
  test::TempDir dir;
  RecordingHost host;
  SimulatedClock clock(1000);
  Session session(host, clock, Drive(dir.path()));
  StartSession(session);
  session.settings.guide_interface = 'l';
  SimulatedSky sky(clock, 1);
  SimulatedMount port(sky);
  TelescopeLink link;
  link.port = &port;
  auto owned = std::make_unique<RecordingBackend>();
  RecordingBackend& backend = *owned;
  link.backend = std::move(owned);

  struct Case {
    std::function<void()> action;
    std::vector<std::string> calls;
  };
  char status = 0;
  const std::vector<Case> cases = {
      {[&] { EXPECT_TRUE(OpenTelescopeLink(link, session)); }, {"Open"}},
      {[&] { EXPECT_TRUE(GotoObject(link, host, clock, 31, 224, status)); }, {"Catalogue m 31"}},
      {[&] { EXPECT_TRUE(GotoObject(link, host, clock, 0, 224, status)); }, {"Catalogue c 224"}},
      {[&] { EXPECT_EQ(GotoCatalogue(link, host, clock, 's', 905), '0'); }, {"Catalogue s 905"}},
      {[&] { EXPECT_TRUE(GotoChecked(link, host, clock, 5, 34, -0, 30, status)); },
       {"Coordinates 5 34 0 30"}},
      {[&] { EXPECT_TRUE(GotoChecked(link, host, clock, 23, 59, -89, 59, status)); },
       {"Coordinates 23 59 -89 59"}},
      // Refused by the range check before anything is sent.
      {[&] { EXPECT_FALSE(GotoChecked(link, host, clock, 24, 0, 0, 0, status)); }, {}},
      {[&] {
         link.SlewRateCommand = std::string(kRateCommands[2]);
         BeginMove(link, 'e');
         BeginMove(link, 'w');  // a second press while moving sends nothing
         EndMove(link);
       },
       {"StartSlew C e", "StopSlew"}},
      {[&] {
         link.SlewRateCommand = std::string(kRateCommands[3]);
         BeginMove(link, 'n');
         EndMove(link);
         EndMove(link);  // a second release sends nothing
       },
       {"StartSlew G n", "StopSlew"}},
      {[&] {
         link.FocusSpeedCommand = std::string(kFocusFast);
         BeginFocus(link, kFocusIn);
         EndFocus(link);
         link.FocusSpeedCommand = std::string(kFocusSlow);
         BeginFocus(link, kFocusOut);
         EndFocus(link);
       },
       {"StartFocus fast in", "StopFocus", "StartFocus slow out", "StopFocus"}},
      {[&] {
         link.GuideDirection = 'w';
         link.GuidePulseMs = 250;
         EXPECT_EQ(GuidePulse(link, 'l', host, clock), 0);
         link.GuidePulseMs = -5;
         EXPECT_EQ(GuidePulse(link, 'b', host, clock), 0);
       },
       {"Pulse w 250", "Pulse w 0"}},
      {[&] {
         EXPECT_EQ(ResetControlBox(link, host, clock), 0);
         BeginBoxMove(link, host, clock, 's');
         EndBoxMove(link, host);
       },
       {"StartSlew G s", "StopSlew"}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    backend.calls.clear();
    cases[i].action();
    EXPECT_EQ(backend.calls, cases[i].calls) << "case " << i;
  }
  EXPECT_EQ(link.ReplyText, "OBJ");
  EXPECT_TRUE(port.calls.empty());
  EXPECT_TRUE(port.bytes.empty());
  // A backend that cannot connect leaves the link closed.
  backend.open_ok = false;
  EXPECT_FALSE(OpenTelescopeLink(link, session));
  EXPECT_FALSE(link.TelescopeLinkOpen);
}

// Guiding and training on the simulated camera with a mount that stops answering.
TEST(TelescopeBackend, ALostMountEndsTrainingAndGuiding) {
  struct Case {
    bool train;
    int pulses_before_loss;
  };
  for (const Case& c : {Case{true, 0}, Case{true, 3}, Case{false, 0}}) {
    test::TempDir dir;
    RecordingHost host;
    SimulatedClock clock(100000);
    SimulatedSky sky(clock, 3);
    sky.SetStars({{250.5, 121.5, 200000, 1, 1, 1}});
    SimulatedCameraOptions quiet;
    quiet.noise = false;
    quiet.hot_pixels = 0;
    SimulatedCamera camera(sky, quiet);
    Observatory obs(host, clock, Drive(dir.path()), camera);
    StartSession(obs.session);
    obs.session.settings.guide_interface = 'l';
    ASSERT_EQ(SaveSettings(obs.session.settings, obs.session.drive), 0);
    auto owned = std::make_unique<RecordingBackend>();
    RecordingBackend& backend = *owned;
    backend.pulses_left = c.pulses_before_loss;
    obs.link.backend = std::move(owned);
    ASSERT_TRUE(BeginCameraCommand(obs));
    EndCameraCommand(obs);
    obs.picked = {true, 250, 121};
    obs.run.ExposureUnit = 'q';
    obs.run.ExposureValue = 100;
    if (c.train) {
      // Training stops at the first pulse the mount could not give, without results.
      EXPECT_EQ(obs.guider.Train(), 2);
      EXPECT_EQ(backend.calls.size(), static_cast<size_t>(1 + c.pulses_before_loss + 1));
      EXPECT_EQ(obs.session.settings.ra_pixels_per_sec, Settings{}.ra_pixels_per_sec);
      continue;
    }
    // Guiding: the sky drifts, the first correction fails, and guiding ends by itself (no key pressed).
    sky.SetDrift(2, 0);
    host.abort_on_pump = 20;  // a guider that ignored the loss would run until this "key press"
    EXPECT_TRUE(obs.guider.Guide());
    EXPECT_LE(host.pumps, 4);
    ASSERT_FALSE(host.boxes.empty());
    EXPECT_EQ(host.boxes.back().text, "Guiding Terminated");
  }
}

}  // namespace
}  // namespace nyxel
