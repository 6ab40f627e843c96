// Both programs answer --help and --version on a machine with no display at all (a server, an ssh
// session, a packaging check) and touch nothing on disk doing it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int status;  // exit status, -1 when a signal ended it
  std::string out;
};

// Runs `exe args` with no display variables and HOME in `home`.
ProgramRun RunWithoutDisplay(const std::string& exe, const std::string& args, const fs::path& home) {
  test::TempDir tmp;
  const fs::path out = tmp.path() / "out";
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME='" + home.string() +
                              "' timeout -s KILL 30 '" + exe + "' " + args + " >'" + out.string() +
                              "' 2>/dev/null";
  const int status = std::system(command.c_str());
  const auto o = test::ReadBytes(out);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return {code >= 128 ? -1 : code, std::string(o.begin(), o.end())};
}

TEST(ProgramOptionsTest, HelpAndVersionNeedNoDisplay) {
  struct Case {
    std::string program;  // "nyxel" or "nyxel-batch"
    std::string args;
    std::string first_line;  // what the output starts with
  };
  const Case cases[] = {
      {"nyxel", "--help", "usage: nyxel [--drive DIR] [--simulate] [--seed N]\n"},
      {"nyxel", "--version", "nyxel " NYXEL_VERSION "\n"},
      {"nyxel", "--simulate --seed 3 --version", "nyxel " NYXEL_VERSION "\n"},
      {"nyxel", "--drive /nonexistent/drive --help", "usage: nyxel "},
      {"nyxel-batch", "--version", "nyxel-batch " NYXEL_VERSION "\n"},
      {"nyxel-batch", "--version invert", "nyxel-batch " NYXEL_VERSION "\n"},
      {"nyxel-batch", "--help", "usage: nyxel-batch "},
  };
  for (const Case& c : cases) {
    std::string exe;
    if (c.program == "nyxel-batch") {
      exe = NYXEL_BATCH_EXE;
    } else {
#ifdef NYXEL_WINDOW_EXE
      exe = NYXEL_WINDOW_EXE;
#else
      std::printf("nyxel is not built here (no Qt 6 widgets): '%s' not checked\n", c.args.c_str());
      continue;
#endif
    }
    test::TempDir home;
    const ProgramRun r = RunWithoutDisplay(exe, c.args, home.path());
    EXPECT_EQ(r.status, 0) << c.program << ' ' << c.args;
    EXPECT_EQ(r.out.substr(0, c.first_line.size()), c.first_line) << c.program << ' ' << c.args;
    // Nothing made in HOME: no drive folder, no settings.
    EXPECT_TRUE(fs::is_empty(home.path())) << c.program << ' ' << c.args;
  }
}

}  // namespace
}  // namespace nyxel
