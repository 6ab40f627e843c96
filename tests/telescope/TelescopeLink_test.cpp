// The command sequences as the far end sees them: every call, character and wait.
#include "telescope/TelescopeLink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camera/sim/SimulatedSky.h"
#include "files/SettingsFile.h"
#include "telescope/TelescopeControl.h"
#include "telescope/sim/SimulatedMount.h"
#include "tests/support/TestSession.h"

namespace nyxel {
namespace {

struct LinkTest : ::testing::Test {
  test::TestSession t;
  SimulatedSky sky{t.clock, 1};
  SimulatedMount mount{sky};
  TelescopeLink link;

  LinkTest() {
    t.clock.Advance(1000);
    link.port = &mount;
  }
  Settings& settings() { return t.session.settings; }
  // Opens the link the way the telescope command does, then forgets the opening calls.
  void Open(char interface = 'l') {
    settings().guide_interface = interface;
    ASSERT_EQ(SaveSettings(settings(), t.session.drive), 0);
    ASSERT_TRUE(OpenTelescopeLink(link, t.session));
    mount.calls.clear();
    mount.bytes.clear();
  }
  std::vector<std::string> Calls() const {
    std::vector<std::string> out;
    for (const auto& c : mount.calls) out.push_back(c.text);
    return out;
  }
  // The written commands with their times relative to the first.
  std::vector<std::pair<uint32_t, std::string>> Writes() const {
    std::vector<std::pair<uint32_t, std::string>> out;
    for (const auto& c : mount.calls) {
      if (c.text.rfind("Puts ", 0) == 0 || c.text.rfind("Putc ", 0) == 0) {
        out.emplace_back(c.time_ms - mount.calls.front().time_ms, c.text);
      }
    }
    return out;
  }
};

using WriteList = std::vector<std::pair<uint32_t, std::string>>;

TEST_F(LinkTest, OpeningSetsTheLineForEachInterface) {
  struct Case {
    char interface;
    int16_t com_port;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases = {
      {'l', 1, {"Reset 0 1024 1024", "Baud 5", "Dtr S", "Rts S", "Parms 0 0 8"}},
      {'l', 2, {"Reset 1 1024 1024", "Baud 5", "Dtr S", "Rts S", "Parms 0 0 8"}},
      {'b', 1, {"Reset 0 1024 1024", "Baud 1", "Parms 0 0 8"}},
  };
  for (const Case& c : cases) {
    TelescopeLink fresh;
    fresh.port = &mount;
    mount.calls.clear();
    settings().guide_interface = c.interface;
    settings().com_port = c.com_port;
    ASSERT_EQ(SaveSettings(settings(), t.session.drive), 0);
    ASSERT_TRUE(OpenTelescopeLink(fresh, t.session)) << c.interface;
    EXPECT_EQ(Calls(), c.calls) << c.interface << c.com_port;
    EXPECT_EQ(mount.port(), c.com_port == 1 ? 0 : 1);
    EXPECT_TRUE(fresh.TelescopeLinkOpen);
    EXPECT_TRUE(fresh.ControlBoxPresent);
    // Open once: a second command reuses the link without touching the port.
    mount.calls.clear();
    EXPECT_TRUE(OpenTelescopeLink(fresh, t.session));
    EXPECT_TRUE(mount.calls.empty());
  }
  EXPECT_TRUE(t.host.boxes.empty());
}

TEST_F(LinkTest, AFailedOpenShowsItsCodeClosesThePortAndDisablesTheTelescope) {
  for (const std::string call : {"Reset", "Baud", "Dtr", "Parms"}) {
    TelescopeLink fresh;
    fresh.port = &mount;
    t.host.Clear();
    mount.calls.clear();
    mount.fail_call = call;
    settings().guide_interface = 'l';
    ASSERT_EQ(SaveSettings(settings(), t.session.drive), 0);
    EXPECT_FALSE(OpenTelescopeLink(fresh, t.session));
    EXPECT_EQ(t.host.Texts(), (std::vector<std::string>{"ERROR " + std::to_string(kSerialLineFailed) + " ",
                                                        "Open Communications Failed", ""}))
        << call;
    EXPECT_EQ(Calls().back(), "Done") << call;
    EXPECT_FALSE(fresh.TelescopeLinkOpen);
    EXPECT_EQ(settings().guide_interface, 'n');
    // Nothing reaches a closed link.
    mount.calls.clear();
    fresh.GuidePulseMs = 100;
    EXPECT_LT(GuidePulse(fresh, 'l', t.host, t.clock), 0);
    EXPECT_EQ(GotoCatalogue(fresh, t.host, t.clock, 'm', 31), '\0');
    EXPECT_TRUE(mount.calls.empty());
  }
}

TEST_F(LinkTest, GuidePulsesSendTheirCommandsAtTheirTimes) {
  struct Case {
    char interface;
    char letter;
    int ms;
    WriteList writes;
  };
  const std::vector<Case> cases = {
      {'l', 'e', 700, {{0, "Puts #:RG#"}, {20, "Puts #:Me#"}, {720, "Puts #:Qe#"}}},
      {'l', 's', 0, {{0, "Puts #:RG#"}, {20, "Puts #:Ms#"}, {20, "Puts #:Qs#"}}},
      {'b', 'e', 50, {{0, "Putc 1"}, {1, "Putc 17"}, {51, "Putc 0"}}},
      {'b', 'n', 10, {{0, "Putc 2"}, {1, "Putc 18"}, {11, "Putc 0"}}},
      {'b', 'w', 0, {{0, "Putc 8"}, {1, "Putc 24"}, {1, "Putc 0"}}},
      {'b', 's', 5, {{0, "Putc 4"}, {1, "Putc 20"}, {6, "Putc 0"}}},
  };
  for (const Case& c : cases) {
    Open(c.interface);
    link.GuideDirection = c.letter;
    link.GuidePulseMs = c.ms;
    const uint32_t start = t.clock.NowMs();
    EXPECT_EQ(GuidePulse(link, c.interface, t.host, t.clock), 0);
    EXPECT_EQ(Writes(), c.writes) << c.interface << c.letter;
    EXPECT_EQ(t.clock.NowMs() - start, c.writes.back().first + 4u) << "the closing 4 ms";
    link.TelescopeLinkOpen = false;
  }
}

TEST_F(LinkTest, ControlBoxResetMoveStopAndAFailedByte) {
  Open('b');
  EXPECT_EQ(ResetControlBox(link, t.host, t.clock), 0);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"RxClear", "Rts C", "Dtr C", "Rts S", "Dtr S", "Putc 13",
                                               "Putc 0", "Putc 0"}));
  EXPECT_EQ(mount.calls[3].time_ms - mount.calls[2].time_ms, 200u);
  EXPECT_EQ(mount.calls[5].time_ms - mount.calls[4].time_ms, 300u);

  mount.calls.clear();
  BeginBoxMove(link, t.host, t.clock, 'w');
  BeginBoxMove(link, t.host, t.clock, 'e');  // a second step while moving sends nothing
  EndBoxMove(link, t.host);
  EndBoxMove(link, t.host);
  EXPECT_EQ(Writes(), (WriteList{{0, "Putc 8"}, {1, "Putc 24"}, {1, "Putc 0"}}));

  mount.calls.clear();
  mount.fail_call = "Putc";
  link.GuideDirection = 'e';
  link.GuidePulseMs = 100;
  EXPECT_EQ(GuidePulse(link, 'b', t.host, t.clock), kSerialLineFailed);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"Putc 1", "Done"}));
  EXPECT_EQ(t.host.Texts().back(), "ERROR " + std::to_string(kSerialLineFailed) + " ");
  EXPECT_FALSE(link.TelescopeLinkOpen) << "the next command opens the port again";
}

TEST_F(LinkTest, GoToCommandsSendTheirExactCharacters) {
  struct Case {
    std::function<char(LinkTest&)> run;
    std::vector<std::string> puts;
  };
  const std::vector<Case> cases = {
      {[](LinkTest& f) { return GotoCatalogue(f.link, f.t.host, f.t.clock, 'm', 31); },
       {"#:LM 0031#", "#:LI#", "#:MS#", "#:LI#"}},
      {[](LinkTest& f) { return GotoCatalogue(f.link, f.t.host, f.t.clock, 's', 905); },
       {"#:LS 0905#", "#:LI#", "#:MS#", "#:LI#"}},
      {[](LinkTest& f) { return GotoCatalogue(f.link, f.t.host, f.t.clock, 'c', 7815); },
       {"#:LC 7815#", "#:LI#", "#:MS#", "#:LI#"}},
      {[](LinkTest& f) { return GotoCoordinates(f.link, f.t.host, f.t.clock, 0, 7, -5, 30); },
       {"#:Sr 00:07.0#", "#:Sd -05*30#", "#:LI#", "#:MS#"}},
      {[](LinkTest& f) { return GotoCoordinates(f.link, f.t.host, f.t.clock, 5, 34, 22, 1); },
       {"#:Sr 05:34.0#", "#:Sd +22*01#", "#:LI#", "#:MS#"}},
      {[](LinkTest& f) { return GotoCoordinates(f.link, f.t.host, f.t.clock, 23, 59, 0, 30); },
       {"#:Sr 23:59.0#", "#:Sd +00*30#", "#:LI#", "#:MS#"}},
  };
  for (const Case& c : cases) {
    Open();
    t.host.Clear();
    const char status = c.run(*this);
    std::vector<std::string> puts;
    for (const auto& call : mount.calls) {
      if (call.text.rfind("Puts ", 0) == 0) puts.push_back(call.text.substr(5));
    }
    EXPECT_EQ(puts, c.puts);
    EXPECT_EQ(status, '0');
    EXPECT_EQ(mount.calls.front().text, "RxClear");
    EXPECT_EQ(t.host.beeps.size(), 1u);
    link.TelescopeLinkOpen = false;
  }
  EXPECT_EQ(std::string("#:Sd -05*30#").size(), 12u);
  EXPECT_EQ(std::string("#:Sr 00:07.0#").size(), 13u);
}

TEST_F(LinkTest, GoToReadsTheInfoAndTheRefusal) {
  Open();
  // An object the mount places above its horizon, and one below.
  int above = 1, below = 1, ra = 0, dec = 0;
  for (SimulatedMount::Place('m', above, ra, dec); dec < SimulatedMount::kHorizonDec;
       SimulatedMount::Place('m', ++above, ra, dec)) {
  }
  for (SimulatedMount::Place('m', below, ra, dec); dec >= SimulatedMount::kHorizonDec;
       SimulatedMount::Place('m', ++below, ra, dec)) {
  }
  EXPECT_EQ(GotoCatalogue(link, t.host, t.clock, 'm', above), '0');
  EXPECT_EQ(link.ReplyText.substr(0, 3 + std::to_string(above).size()), "M" + std::to_string(above) + " R");
  EXPECT_EQ(mount.slews(), 1);

  mount.calls.clear();
  EXPECT_EQ(GotoCatalogue(link, t.host, t.clock, 'm', below), '1');
  std::vector<std::string> reads;
  for (const auto& c : mount.calls) {
    if (c.text.rfind("Puts", 0) != 0) reads.push_back(c.text);
  }
  // info, status, refusal text and a clear; then the object information again.
  EXPECT_EQ(reads, (std::vector<std::string>{"RxClear", "Gets 33", "Gets 1", "Gets 33", "RxClear", "Gets 33",
                                             "Gets 1"}));
  EXPECT_EQ(mount.slews(), 1);
  EXPECT_LE(link.ReplyText.size(), kReplyTextLimit);
  EXPECT_EQ(link.ReplyText.back(), '#');

  // A mount that never answers: no status, an empty reply, and nothing waits on the line.
  mount.answers = false;
  EXPECT_EQ(GotoCatalogue(link, t.host, t.clock, 'm', above), '\0');
  EXPECT_EQ(link.ReplyText, "");
}

TEST_F(LinkTest, DialogRangeChecksAndManualMoves) {
  Open();
  struct Goto {
    long messier, cngc;
    std::string sent;  // "" when refused
  };
  for (const Goto& g : std::vector<Goto>{{0, 224, "#:LC 0224#"},
                                         {110, 5, "#:LM 0110#"},
                                         {111, 0, ""},
                                         {-3, 7816, ""},
                                         {1, 0, "#:LM 0001#"}}) {
    mount.calls.clear();
    t.host.Clear();
    char status = 'x';
    EXPECT_EQ(GotoObject(link, t.host, t.clock, g.messier, g.cngc, status), !g.sent.empty());
    if (g.sent.empty()) {
      EXPECT_TRUE(mount.calls.empty());
      ASSERT_EQ(t.host.boxes.size(), 1u);
      EXPECT_EQ(t.host.boxes[0].text, "Object out of range - try again");
      EXPECT_EQ(t.host.boxes[0].caption, "Nyxel_RV9 - Control Telescope");
      EXPECT_EQ(status, 'x');
    } else {
      EXPECT_EQ(mount.calls.at(1).text, "Puts " + g.sent);
    }
  }
  struct Coords {
    long h, m, d, dm;
    bool ok;
  };
  for (const Coords& c : std::vector<Coords>{{0, 0, -89, 0, true},
                                             {23, 59, 89, 59, true},
                                             {24, 0, 0, 0, false},
                                             {0, 60, 0, 0, false},
                                             {0, 0, -90, 0, false},
                                             {0, 0, 90, 0, false},
                                             {0, 0, 0, 60, false},
                                             {-1, 0, 0, 0, false},
                                             {0, 0, 0, -1, false}}) {
    mount.calls.clear();
    t.host.Clear();
    char status = 0;
    EXPECT_EQ(GotoChecked(link, t.host, t.clock, c.h, c.m, c.d, c.dm, status), c.ok);
    EXPECT_EQ(mount.calls.empty(), !c.ok);
    if (!c.ok) {
      ASSERT_EQ(t.host.boxes.size(), 1u);
      EXPECT_EQ(t.host.boxes[0].caption, "Nyxel_R9 - Control Telescope");
      EXPECT_EQ(t.host.boxes[0].text.substr(0, 26), "Invalid Co-ordinates set.\n");
    }
  }

  // Hold east: the stored rate and the move once; release: the four stops once.
  mount.calls.clear();
  link.SlewRateCommand = "#:RC#";
  BeginMove(link, DriveLetter(settings(), 'e'));
  BeginMove(link, DriveLetter(settings(), 'e'));
  EndMove(link);
  EndMove(link);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"RxClear", "Puts #:RC#", "RxClear", "Puts #:Me#", "RxClear",
                                               "Puts #:Qn#", "Puts #:Qs#", "Puts #:Qe#", "Puts #:Qw#"}));
  // With east and west swapped the east arrow sends west.
  settings().drive_directions = {'n', 's', 'w', 'e'};
  mount.calls.clear();
  BeginMove(link, DriveLetter(settings(), 'e'));
  EXPECT_EQ(Calls().back(), "Puts #:Mw#");
  EndMove(link);

  mount.calls.clear();
  link.FocusSpeedCommand = std::string(kFocusFast);
  BeginFocus(link, kFocusIn);
  BeginFocus(link, kFocusOut);
  EndFocus(link);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"RxClear", "Puts #:FF#", "RxClear", "Puts #:F+#", "RxClear",
                                               "Puts #:FQ#"}));
  EXPECT_TRUE(FocusFast(link));
  for (size_t i = 0; i < kRateCommands.size(); ++i) {
    link.SlewRateCommand = std::string(kRateCommands[i]);
    EXPECT_EQ(RateIndex(link), static_cast<int>(i));
  }
}

}  // namespace
}  // namespace nyxel
