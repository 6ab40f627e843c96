// The stretch and filter steps run through nyxel-batch on the start-up ramp (row r holds r x 225).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "tests/batch/BatchRunner.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

TEST(StepsStretchFiltersTest, StepsChangeTheImageAndRefuseBadArguments) {
  struct Case {
    std::string steps;
    int status;
    std::string out;
  };
  const Case cases[] = {
      // 22,500 is below 100 x 256; 45,000 is above 101 x 256.
      {"normal-stretch 100 101 values 100 100 values 100 200", 0, "100 100 0 0 0 0\n100 200 0 0 0 65534\n"},
      {"invert values 100 10 values 100 288", 0, "100 10 0 0 0 63284\n100 288 0 0 0 734\n"},
      // The power dialog's OK does nothing at 1.0, so the odd pixel stays odd.
      {"power-stretch 1.0 values 100 101", 0, "100 101 0 0 0 22725\n"},
      {"power-stretch 2 values 100 101", 0, "100 101 0 0 0 7878\n"},
      // The corner modes give TL = TR = 0 and BL = BR = (51,750 - 2,250) rounded to bins: the plane
      // rises y x 49,504 / 290 down the frame.
      {"gradient values 5 100 values 300 100", 0, "5 100 0 0 0 5430\n300 100 0 0 0 5430\n"},
      // A linear ramp is its own gaussian and its own high pass.
      {"gaussian high-pass-low values 100 101", 0, "100 101 0 0 0 22725\n"},
      {"unsharp 2 3 median 2 5 values 100 101", 0, "100 101 0 0 0 22725\n"},
      {"normal-stretch 5 5", 2, ""},
      {"normal-stretch 0 301", 2, ""},
      {"power-stretch 0.55", 2, ""},
      {"power-stretch 3.1", 2, ""},
      {"power-stretch 0", 2, ""},
      {"non-linear-stretch 51", 2, ""},
      {"unsharp 8 1", 2, ""},
      {"median 1 11", 2, ""},
      {"median 4 5", 2, ""},
  };
  for (const Case& c : cases) {
    test::TempDir drive;
    const test::BatchRun run = test::RunBatch(drive.path(), c.steps);
    EXPECT_EQ(run.status, c.status) << c.steps;
    EXPECT_EQ(run.out, c.out) << c.steps;
  }
}

}  // namespace
}  // namespace nyxel
