// Focus mode, training and guiding read their windows into the photo's frame: through the batch
// program, the photo's values and its saved file are the same before and after each of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/batch/BatchRunner.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

TEST(BatchPictureTest, WindowLoopsLeaveThePhotoAlone) {
  const std::string guiding =
      "setting guide_interface l setting ra_pixels_per_sec 5 setting dec_pixels_per_sec 4 sim-guide-rate 5 "
      "4 ";
  struct Case {
    std::string before;  // steps before the photo
    std::string loop;
  };
  const Case cases[] = {
      {"", "focus t 5 3"},
      {"camera-option auto-colour on ", "focus h 50 2"},
      {guiding, "pick-guide-star 250 122 train"},
      {guiding, "pick-guide-star 250 122 guide 30"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.loop);
    test::TempDir drive;
    const std::string d = drive.path().string();
    const test::BatchRun r =
        test::RunBatch(drive.path(), "--simulate " + c.before + "expose s 1 values 100 5 save " + d +
                                         "/~before " + c.loop + " values 100 5 save " + d + "/~after");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> values;
    for (const std::string& line : test::OutputLines(r.out)) {
      if (line.rfind("100 5 ", 0) == 0) values.push_back(line);
    }
    ASSERT_EQ(values.size(), 2u) << r.out;
    EXPECT_EQ(values[0], values[1]);
    const auto before = test::ReadBytes(drive.path() / "~before");
    ASSERT_GE(before.size(), 295800u);
    EXPECT_TRUE(before == test::ReadBytes(drive.path() / "~after")) << "the saved photo changed";
  }
}

}  // namespace
}  // namespace nyxel
