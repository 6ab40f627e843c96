// The setting step through the nyxel-batch program: values kept across runs, refused values, save failure.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

struct SettingRun {
  int status;
  std::string err;
};

SettingRun Batch(const std::filesystem::path& drive, const std::string& steps) {
  test::TempDir tmp;
  const auto err_file = tmp.path() / "stderr";
  const std::string command = std::string(NYXEL_BATCH_EXE) + " --drive '" + drive.string() + "' " + steps +
                              " >/dev/null 2>'" + err_file.string() + "'";
  const int status = std::system(command.c_str());
  const auto err = test::ReadBytes(err_file);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(err.begin(), err.end())};
}

TEST(BatchSettingTest, SetsSavesAndRefuses) {
  test::TempDir drive;
  const auto file = drive.path() / "autosave" / "nyxel.ini";
  ASSERT_EQ(Batch(drive.path(), "setting saturation_factor 5 setting drive_directions snwe").status, 0);
  // A second run starts from the saved file: its change keeps the first run's values.
  const SettingRun second = Batch(drive.path(),
                                  "setting autosave_subdir m31 setting focus_delay n "
                                  "setting fits_object 'NGC 7000' setting ut_offset_hours -3");
  ASSERT_EQ(second.status, 0) << second.err;
  auto bytes = test::ReadBytes(file);
  ASSERT_EQ(bytes.size(), 1181u);
  EXPECT_EQ(bytes[16], 5);
  EXPECT_EQ(std::string(bytes.begin() + 1093, bytes.begin() + 1097), "snwe");
  EXPECT_EQ(std::string(bytes.begin() + 1100, bytes.begin() + 1104), std::string("m31\0", 4));
  EXPECT_EQ(bytes[21], '0');
  EXPECT_EQ(std::string(bytes.begin() + 34, bytes.begin() + 54), "OBJECT  = 'NGC 7000'");
  EXPECT_EQ(bytes[2], 0xFD);

  const char* refused[] = {
      "setting saturation_factor 0", "setting saturation_factor 10",  "setting pixel_offset yes",
      "setting background_colour x", "setting drive_directions nsxx", "setting guide_mask_radius 10",
      "setting dec_backlash 21",     "setting no_such_setting 1",     "setting autosave_subdir \"a'b\"",
      "setting ut_offset_hours 12",
  };
  for (const char* steps : refused) {
    EXPECT_EQ(Batch(drive.path(), steps).status, 2) << steps;
    EXPECT_EQ(test::ReadBytes(file), bytes) << steps;
  }

  // The file's place taken by a folder: the save fails with its message.
  test::TempDir blocked;
  std::filesystem::create_directories(blocked.path() / "autosave" / "nyxel.ini" / "x");
  const SettingRun failed = Batch(blocked.path(), "setting debug_mode y");
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("Unable to save INI file, please check disk space"), std::string::npos)
      << failed.err;
}

}  // namespace
}  // namespace nyxel
