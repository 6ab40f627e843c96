// The guiding steps through the nyxel-batch program on the simulated camera, mount and clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/batch/BatchRunner.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

using test::OutputLines;

// The guide-frame lines among the output: clock, x, y, DriftX, DriftY, pulses.
struct FrameLine {
  unsigned clock;
  double x, y;
  int drift_x, drift_y;
  std::string pulses;
};
std::vector<FrameLine> Frames(const std::string& out) {
  std::vector<FrameLine> frames;
  for (const std::string& line : OutputLines(out)) {
    FrameLine f{};
    char pulses[64] = {};
    if (std::sscanf(line.c_str(), "%u %lf %lf %d %d %63[^\n]", &f.clock, &f.x, &f.y, &f.drift_x, &f.drift_y,
                    pulses) == 6) {
      f.pulses = pulses;
      frames.push_back(f);
    }
  }
  return frames;
}

const std::string kSetUp =
    "--simulate setting guide_interface l setting ra_pixels_per_sec 5 setting dec_pixels_per_sec 4 "
    "sim-guide-rate 5 4 expose s 1 pick-guide-star 250 122 ";

TEST(BatchGuidingTest, TrainingReportsTheSimulatedMount) {
  test::TempDir drive;
  const test::BatchRun r = test::RunBatch(drive.path(), kSetUp + "sim-backlash 2 train");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = OutputLines(r.out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1], "x position =   250");
  EXPECT_EQ(lines.back(), "slewx =     5, slewy =     4, backlashx =     0, backlashy =     2");
}

TEST(BatchGuidingTest, GuidingHoldsADriftingStar) {
  test::TempDir drive;
  const test::BatchRun r =
      test::RunBatch(drive.path(), kSetUp + "sim-drift 0.05 0.03 sim-periodic 2 480 guide 180");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto frames = Frames(r.out);
  ASSERT_GT(frames.size(), 80u);
  int pulses = 0;
  for (size_t i = 1; i < frames.size(); ++i) {
    EXPECT_GT(frames[i].clock, frames[i - 1].clock);
    EXPECT_LE(std::abs(frames[i].drift_x), 300) << i;
    EXPECT_LE(std::abs(frames[i].drift_y), 300) << i;
    pulses += frames[i].pulses != "-";
  }
  EXPECT_GT(pulses, 20);
  EXPECT_NE(r.err.find("Guiding Terminated"), std::string::npos);
  EXPECT_GE(frames.back().clock - frames.front().clock, 175000u);
}

TEST(BatchGuidingTest, MirroredMountNeedsTheSwap) {
  test::TempDir drive;
  const std::string steps = kSetUp + "sim-drift 0.05 0 sim-mirror on ";
  const test::BatchRun lost = test::RunBatch(drive.path(), steps + "guide 300");
  EXPECT_EQ(lost.status, 1) << "the star runs away and is lost";
  EXPECT_NE(lost.err.find("Guiding Terminated"), std::string::npos);
  test::TempDir drive2;
  const test::BatchRun held =
      test::RunBatch(drive2.path(), steps + "setting drive_directions nswe guide 300");
  ASSERT_EQ(held.status, 0) << held.err;
  for (const FrameLine& f : Frames(held.out)) EXPECT_LE(std::abs(f.drift_x), 300);
}

TEST(BatchGuidingTest, SelfGuidedExposureAndMatchingDark) {
  test::TempDir drive;
  const test::BatchRun r = test::RunBatch(
      drive.path(), kSetUp + "sim-drift 0.05 0.03 self-guide s 1 expose s 60 matching-dark on expose s 60");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = OutputLines(r.out);
  int exposures = 0, dark_frames = -1;
  for (const std::string& line : lines) {
    if (line.rfind("1 60000 ", 0) == 0) ++exposures;
    if (line.rfind("guiding frames ", 0) == 0) dark_frames = std::atoi(line.c_str() + 15);
  }
  EXPECT_EQ(exposures, 2);
  EXPECT_GT(dark_frames, 20);
  // The dark guides on nothing: every guide line comes from the first exposure.
  EXPECT_EQ(static_cast<int>(Frames(r.out).size()), dark_frames);
}

TEST(BatchGuidingTest, Refusals) {
  struct Case {
    const char* steps;
    int status;
    const char* err;
  };
  const std::vector<Case> cases = {
      {"--simulate sim-drift 1 1 sim-mirror on", 0, ""},
      {"sim-drift 1 1", 1, "The simulated mount needs --simulate"},
      {"--simulate expose s 1 guide 10", 1, "You must first take an image and pick a star"},
      {"--simulate setting guide_interface l expose s 1 pick-guide-star 3 100", 1,
       "Sorry, outside Image area"},
      {"--simulate setting guide_interface b self-guide s 12", 1, "below 12 seconds"},
      {"--simulate sim-backlash -1", 2, ""},
      {"--simulate matching-dark maybe", 2, ""},
  };
  for (const Case& c : cases) {
    test::TempDir drive;
    const test::BatchRun r = test::RunBatch(drive.path(), c.steps);
    EXPECT_EQ(r.status, c.status) << c.steps << '\n' << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.steps << '\n' << r.err;
  }
}

}  // namespace
}  // namespace nyxel
