// A telescope that never answers: the go-to says so once, naming the port, and the link stays usable.
// A telescope that answers something unexpected is shown as before, without that message.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "camera/sim/SimulatedSky.h"
#include "files/SettingsFile.h"
#include "telescope/TelescopeControl.h"
#include "telescope/TelescopeLink.h"
#include "telescope/sim/SimulatedMount.h"
#include "tests/support/SilentPty.h"
#include "tests/support/TestSession.h"

namespace nyxel {
namespace {

// The three go-tos the dialog and the batch steps make; true when the caller reports success.
struct Goto {
  const char* name;
  std::function<bool(TelescopeLink&, Host&, Clock&, char&)> run;
};
const std::vector<Goto>& Gotos() {
  static const std::vector<Goto> gotos = {
      {"messier 31",
       [](TelescopeLink& l, Host& h, Clock& c, char& status) { return GotoObject(l, h, c, 31, 0, status); }},
      {"coordinates 5 34 22 1", [](TelescopeLink& l, Host& h, Clock& c,
                                   char& status) { return GotoChecked(l, h, c, 5, 34, 22, 1, status); }},
      {"planet 905",
       [](TelescopeLink& l, Host& h, Clock& c, char& status) {
         status = GotoCatalogue(l, h, c, 's', 905);
         return !l.NoAnswer;
       }},
  };
  return gotos;
}

struct SilentTest : ::testing::Test {
  test::TestSession t;
  SimulatedSky sky{t.clock, 1};
  SimulatedMount mount{sky};
  TelescopeLink link;

  void Open(SerialPort* port) {
    link.port = port;
    t.session.settings.guide_interface = 'l';
    ASSERT_EQ(SaveSettings(t.session.settings, t.session.drive), 0);
    ASSERT_TRUE(OpenTelescopeLink(link, t.session));
    t.host.Clear();
  }
};

TEST_F(SilentTest, NoAnswerIsSaidOnceAndTheNextTryWorks) {
  Open(&mount);
  for (const Goto& g : Gotos()) {
    SCOPED_TRACE(g.name);
    mount.answers = false;
    mount.calls.clear();
    t.host.Clear();
    char status = 'x';
    EXPECT_FALSE(g.run(link, t.host, t.clock, status));
    EXPECT_EQ(status, '\0');
    EXPECT_TRUE(link.NoAnswer);
    ASSERT_EQ(t.host.Texts(), std::vector<std::string>{NoAnswerText(link)});
    EXPECT_EQ(t.host.boxes[0].caption, "Nyxel");
    EXPECT_EQ(NoAnswerText(link), "The telescope did not answer on serial port 1 (" +
                                      t.session.drive.SerialPort(1).string() + ")");
    // Two reads found the line silent; nothing more waits on it.
    std::vector<std::string> reads;
    for (const auto& c : mount.calls) {
      if (c.text.rfind("Gets", 0) == 0) reads.push_back(c.text);
    }
    EXPECT_EQ(reads, (std::vector<std::string>{"Gets 33", "Gets 1"}));
    EXPECT_TRUE(link.TelescopeLinkOpen);

    // The mount is switched on: the same command goes through on the same link.
    mount.answers = true;
    t.host.Clear();
    EXPECT_TRUE(g.run(link, t.host, t.clock, status));
    EXPECT_EQ(status, '0');
    EXPECT_FALSE(link.NoAnswer);
    EXPECT_TRUE(t.host.Texts().empty());
  }
}

// A far end that answers each read from a script, on the simulated clock.
struct ScriptedPort : SerialPort {
  std::deque<std::string> replies;  // one per Gets
  int Reset(int, int, int) override { return 0; }
  int Baud(int) override { return 0; }
  int Parms(int, int, int) override { return 0; }
  int Dtr(char) override { return 0; }
  int Rts(char) override { return 0; }
  int Puts(const char*, int n) override { return n; }
  int Putc(uint8_t) override { return 0; }
  int Gets(char* dest, int n) override {
    if (replies.empty()) return 0;
    const std::string r = replies.front().substr(0, static_cast<size_t>(n));
    replies.pop_front();
    r.copy(dest, r.size());
    return static_cast<int>(r.size());
  }
  int RxClear() override { return 0; }
  int Done() override { return 0; }
};

TEST_F(SilentTest, AnUnexpectedAnswerIsShownAsItCame) {
  ScriptedPort port;
  Open(&port);
  struct Case {
    std::deque<std::string> replies;
    char status;
    std::string reply_text;
  };
  for (const Case& c : {Case{{"huh?", "", "", "", ""}, '\0', ""}, Case{{"", "1", "Below horizon#"}, '1', ""},
                        Case{{"", "0", "M31 info#", ""}, '0', "M31 info#"}}) {
    port.replies = c.replies;
    t.host.Clear();
    char status = 'x';
    EXPECT_TRUE(GotoObject(link, t.host, t.clock, 31, 0, status));
    EXPECT_EQ(status, c.status);
    EXPECT_FALSE(link.NoAnswer);
    EXPECT_TRUE(t.host.Texts().empty());
    EXPECT_EQ(link.ReplyText, c.reply_text);
  }
}

// The real serial layer on a pseudo-terminal whose far end takes the commands and never answers.
TEST_F(SilentTest, APseudoTerminalThatNeverAnswers) {
  test::SilentPty pty(t.dir.path() / "com1");
  ASSERT_TRUE(pty.ok());
  Open(nullptr);  // the link makes its own QtSerialPort on <drive>/com1
  for (int attempt = 0; attempt < 2; ++attempt) {
    t.host.Clear();
    char status = 'x';
    EXPECT_FALSE(GotoObject(link, t.host, t.clock, 31, 0, status));
    EXPECT_EQ(t.host.Texts(), std::vector<std::string>{"The telescope did not answer on serial port 1 (" +
                                                       (t.dir.path() / "com1").string() + ")"});
    EXPECT_EQ(pty.Drain(), "#:LM 0031##:LI##:MS#");
    EXPECT_TRUE(link.TelescopeLinkOpen);
  }
}

}  // namespace
}  // namespace nyxel
