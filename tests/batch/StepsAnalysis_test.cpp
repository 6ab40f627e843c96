// The histogram, values, star-centre and label steps, run through nyxel-batch.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <string>

#include "tests/batch/BatchRunner.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

TEST(StepsAnalysisTest, StepsOnTheStartUpRampAndALabelledFrame) {
  test::TempDir drive;
  struct Case {
    std::string steps;
    int status;
    std::string out;
    std::string err_contains;
  };
  const Case cases[] = {
      // The ramp: row r holds r x 225.
      {"values 100 7 values 1 7 values 510 288 values 511 288", 0, "100 7 0 0 0 1575\n510 288 0 0 0 64800\n",
       ""},
      {"rv-geometry on values 100 7", 1, "",
       "Sorry, Values only available in standard Geometry. Ensure Image is not stretched"},
      {"star-centre 4 100 5", 1, "", "Find centre failed - outside image area"},
      {"star-centre 100 100 x", 2, "", "usage"},
      // "ABC" is centred: 30 blank cells, so 'A' starts at column 240; its second row is lit in columns 241
      // and 245 only, and row 1 lies outside the window's range.
      {"label ABC values 243 1 values 241 2 values 243 2 values 245 2 values 100 20", 0,
       "241 2 0 0 0 65535\n243 2 0 0 0 0\n245 2 0 0 0 65535\n100 20 0 0 0 4500\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps);
    const test::BatchRun run = test::RunBatch(drive.path(), c.steps);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_NE(run.err.find(c.err_contains), std::string::npos) << run.err;
  }
}

TEST(StepsAnalysisTest, HistogramListsTheCountsOfTheLastPaint) {
  test::TempDir drive;
  const test::BatchRun run = test::RunBatch(drive.path(), "label ABC histogram");
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  long total = 0;
  int value = 0, expected = 0;
  long count = 0;
  while (lines >> value >> count) {
    EXPECT_EQ(value, expected++);
    total += count;
    // The paint counts rows 10..289 only, so the banner adds nothing.
    const int first_row = std::max(10, (value * 256 + 224) / 225);
    int rows = 0;
    for (int r = first_row; r < 290 && (r * 225) >> 8 == value; ++r) ++rows;
    EXPECT_EQ(count, rows * 512L) << value;
  }
  EXPECT_EQ(expected, 256);
  EXPECT_EQ(total, 280L * 512);
}

}  // namespace
}  // namespace nyxel
