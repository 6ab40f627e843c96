// The camera steps through the nyxel-batch program on the simulated camera and clock.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/batch/BatchRunner.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

using test::OutputLines;

TEST(BatchCameraTest, SimulatedExposuresAreRepeatableBySeed) {
  std::vector<unsigned char> pictures[3];
  const char* seeds[] = {"5", "5", "6"};
  for (int i = 0; i < 3; ++i) {
    test::TempDir drive;
    const std::string d = drive.path().string();
    const test::BatchRun r = test::RunBatch(
        drive.path(), std::string("--simulate --seed ") + seeds[i] + " expose s 10 3 save " + d + "/~last");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = OutputLines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    for (int n = 0; n < 3; ++n)
      EXPECT_EQ(lines[n].rfind(std::to_string(n + 1) + " 10000 ", 0), 0u) << lines[n];
    pictures[i] = test::ReadBytes(drive.path() / "~last");
    ASSERT_EQ(pictures[i].size(), 295800u);
  }
  EXPECT_EQ(pictures[0], pictures[1]) << "the same seed gives the same pixels";
  EXPECT_NE(pictures[0], pictures[2]);
}

TEST(BatchCameraTest, ContinuousRunStoppedByAbortAfter) {
  test::TempDir drive;
  const test::BatchRun r = test::RunBatch(
      drive.path(),
      "--simulate camera-option continuous on camera-option auto-save on abort-after 45000 expose s 10");
  ASSERT_EQ(r.status, 0) << r.err;
  // Each turn is a 10 s exposure and a one-second wait: the fifth exposure is under way at 45 s.
  EXPECT_EQ(OutputLines(r.out).size(), 4u) << r.out;
  for (int n = 1; n <= 4; ++n) {
    EXPECT_TRUE(std::filesystem::exists(drive.path() / "autosave" / ("IMG" + std::to_string(n) + ".FIT")));
  }
  EXPECT_FALSE(std::filesystem::exists(drive.path() / "autosave" / "IMG5.FIT"));
}

TEST(BatchCameraTest, FocusStepsAndRefusals) {
  struct Case {
    std::string steps;
    int status;
    std::vector<std::string> out;  // exact lines; "*" any number
    std::string err;               // part of stderr
  };
  const Case cases[] = {
      {"--simulate focus h 50 3", 0, {"*", "*", "*"}, ""},
      {"--simulate focus m 1 3", 0, {}, ""},
      {"--simulate focus s 100 3", 0, {}, ""},
      {"--simulate focus-centre 500 10", 0, {"x position =   440", "y position =    65"}, ""},
      {"--simulate expose m 91", 2, {}, "bad arguments for 'expose"},
      {"--simulate expose x 1", 2, {}, "bad arguments"},
      {"--simulate expose s 1 21", 2, {}, "bad arguments"},
      {"--simulate camera-option sideways on", 2, {}, "bad arguments"},
      {"--simulate pause-minutes 21", 2, {}, "bad arguments"},
      {"camera", 1, {}, "Sorry, No camera found on USB"},
      {"expose s 1", 1, {}, "Sorry, No camera found on USB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps);
    test::TempDir drive;
    const test::BatchRun r = test::RunBatch(drive.path(), c.steps);
    EXPECT_EQ(r.status, c.status) << r.err;
    const auto lines = OutputLines(r.out);
    ASSERT_EQ(lines.size(), c.out.size()) << r.out;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (c.out[i] == "*") {
        EXPECT_GT(std::stoi(lines[i]), 100) << "the bright star's peak in the focus window";
      } else {
        EXPECT_EQ(lines[i], c.out[i]);
      }
    }
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}

TEST(BatchCameraTest, FocusMeasurePrintsMaxHfrAndFwhm) {
  test::TempDir drive;
  const test::BatchRun r = test::RunBatch(drive.path(), "--simulate focus-measure h 10 3");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = OutputLines(r.out);
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& line : lines) {
    std::istringstream in(line);
    int maximum = 0;
    double hfr = 0, fwhm = 0;
    std::string rest;
    ASSERT_TRUE(in >> maximum >> hfr >> fwhm) << line;
    EXPECT_FALSE(in >> rest);
    EXPECT_GT(maximum, 100);
    // The simulated star has a sigma of 1.2 pixels: HFR about 1.4, FWHM about 2.8, one decimal each.
    EXPECT_NEAR(hfr, 1.4, 0.3);
    EXPECT_NEAR(fwhm, 2.8, 0.4);
    EXPECT_EQ(line.substr(line.find(' ') + 1).size(), 7u) << line;
  }
}

}  // namespace
}  // namespace nyxel
