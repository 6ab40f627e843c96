// Runs the nyxel-batch program itself: start-up, exit codes, and the display steps.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>
#include <string>

#include "tests/batch/BatchRunner.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

// The black level of the start-up ramp, counted independently: rows 10..289 of r x 225, high bytes.
int RampBlackLevel() {
  std::array<int, 256> counts{};
  for (int r = 10; r < 290; ++r) counts[(r * 225 & 0xFFFF) >> 8] += 512;
  int sum = 0;
  for (int k = 0; k < 3; ++k) {
    int best = 0;
    for (int v = 1; v < 256; ++v)
      if (counts[v] > counts[best]) best = v;
    sum += best;
    counts[best] = -1;
  }
  return sum / 3;
}

TEST(BatchTest, ExitCodesAndUsage) {
  test::TempDir drive;
  struct Case {
    std::string steps;
    int status;
    std::string err_contains;
  };
  const Case cases[] = {
      {"", 0, ""},
      {"no-such-step", 2, "usage: nyxel-batch"},
      {"palette-bits", 2, "usage: nyxel-batch"},
      {"palette-bits 11", 2, "usage"},
      {"palette-bits 17", 2, "usage"},
      {"rv-geometry yes", 2, "usage"},
      {"render /nonexistent-folder/x.bmp", 1, "Cannot write /nonexistent-folder/x.bmp"},
  };
  for (const Case& c : cases) {
    const test::BatchRun run = test::RunBatch(drive.path(), c.steps);
    EXPECT_EQ(run.status, c.status) << c.steps << ": " << run.err;
    EXPECT_NE(run.err.find(c.err_contains), std::string::npos) << c.steps << ": " << run.err;
  }
  // A bad argument stops the run before anything later happens.
  const test::BatchRun run = test::RunBatch(drive.path(), "black-level no-such-step black-level");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
}

TEST(BatchTest, StartsLikeTheWindowAndRendersEveryGeometry) {
  test::TempDir drive;
  const auto out = drive.path() / "out";
  std::filesystem::create_directories(out);
  const test::BatchRun run = test::RunBatch(drive.path(),
                        "black-level render " + (out / "a.bmp").string() + " rv-geometry on render " +
                            (out / "b.bmp").string() + " palette-bits 12 max-palette on render " +
                            (out / "c.bmp").string() + " mirror mirror rv-geometry off auto-stretch on black-level");
  ASSERT_EQ(run.status, 0) << run.err;
  const int level = RampBlackLevel();
  EXPECT_EQ(run.out, std::to_string(level) + "\n" + std::to_string(level) + "\n");
  EXPECT_TRUE(std::filesystem::exists(drive.path() / "nyxel.bmp"));
  EXPECT_EQ(test::ReadBytes(out / "a.bmp").size(), 149558u);
  EXPECT_EQ(test::ReadBytes(out / "b.bmp").size(), 192054u);
  const auto c = test::ReadBytes(out / "c.bmp");
  ASSERT_EQ(c.size(), 192054u);
  EXPECT_EQ(c[54 + 4 * 16], 255);  // 12 bits: every value from 16 up is white
  EXPECT_EQ(c[54 + 4 * 15], 240);
}

}  // namespace
}  // namespace nyxel
