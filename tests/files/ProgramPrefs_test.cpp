#include "files/ProgramPrefs.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

TEST(ProgramPrefs, ParsesKeepsUnknownKeysAndRoundTrips) {
  ProgramPrefs p;
  p.Parse("# c\n auto_stretch = 1 \nbad line\n=novalue\nindi.host=  sky.local\r\nfuture_key = x = y\n");
  EXPECT_TRUE(p.GetBool("auto_stretch", false));
  EXPECT_EQ(p.Get("indi.host"), "sky.local");
  EXPECT_EQ(p.Get("future_key"), "x = y");
  EXPECT_FALSE(p.Has(""));
  ProgramPrefs q;
  q.Parse(p.Text());
  EXPECT_EQ(q.Text(), p.Text());

  struct Case {
    const char* value;
    long want;
  } cases[] = {{"7624", 7624}, {"-1", 99}, {"70000", 99}, {"12ab", 99}, {"", 99}, {"1", 1}};
  for (const auto& c : cases) {
    p.Set("port", c.value);
    EXPECT_EQ(p.GetInt("port", 99, 1, 65535), c.want) << c.value;
  }
  p.Set("multi", "a\nb");
  EXPECT_EQ(p.Get("multi"), "a b");
  EXPECT_TRUE(p.GetBool("missing", true));
  p.Set("flag", "maybe");
  EXPECT_FALSE(p.GetBool("flag", false));
}

TEST(ProgramPrefs, SavesAtomicallyAndLoadsBack) {
  test::TempDir dir;
  Drive drive(dir.path());
  ProgramPrefs p;
  EXPECT_FALSE(p.Load(drive));  // first start: no file
  std::filesystem::create_directories(dir.path() / "autosave");
  p.SetBool("fit_to_window", true);
  p.SetInt("indi.port", 7625);
  ASSERT_TRUE(p.Save(drive));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "autosave" / "nyxel.conf"));
  ProgramPrefs q;
  ASSERT_TRUE(q.Load(drive));
  EXPECT_TRUE(q.GetBool("fit_to_window", false));
  EXPECT_EQ(q.GetInt("indi.port", 0, 1, 65535), 7625);
}

}  // namespace
}  // namespace nyxel
