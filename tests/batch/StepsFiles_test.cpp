// The File steps through the nyxel-batch program: saved files read back by the next run.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/batch/BatchRunner.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

TEST(BatchFilesTest, SaveOpenQuickSaveUndoAndHistory) {
  test::TempDir drive;
  const std::string d = drive.path().string();
  test::BatchRun r = test::RunBatch(drive.path(),
                     "normal-stretch 0 200 fits object M42 fits exposure 2.5 fits unsigned 1 save-fits " + d +
                         "/a.FIT save " + d + "/~a save-tiff " + d + "/a.TIF save-flat " + d +
                         "/flat quick-save history");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), (drive.path() / "autosave" / "IMG1.FIT").string());
  const std::string history = r.out.substr(r.out.find('\n') + 1);
  EXPECT_NE(history.find(" \n"), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(drive.path() / "a.FIT"), 303040u);
  EXPECT_EQ(std::filesystem::file_size(drive.path() / "~a"), 295800u);
  EXPECT_EQ(std::filesystem::file_size(drive.path() / "a.TIF"), 189978u);
  EXPECT_EQ(std::filesystem::file_size(drive.path() / "flat"), 295800u);

  // The FITS file brings its history back; undo takes a line off.
  r = test::RunBatch(drive.path(), "open " + d + "/a.FIT history undo history");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, history + " \n");
  const auto fits = test::ReadBytes(drive.path() / "a.FIT");
  EXPECT_EQ(std::string(fits.begin() + 400, fits.begin() + 415), "OBJECT  = 'M42'");
  EXPECT_EQ(std::string(fits.begin() + 35 * 80, fits.begin() + 35 * 80 + 29),
            "BZERO   =   +0.0000000000E+00");

  struct Failing {
    std::string steps;
    int status;
    std::string err;
  };
  const Failing failing[] = {
      {"open " + d + "/missing", 1, "Failed to Open RV File"},
      {"open " + d + "/flat.TIF", 1, "Failed to Open RV File"},
      {"open " + d + "/a.TIF", 1, "You didn't choose a valid RV File"},
      {"save-fits " + d + "/flat/x.FIT", 1, "Unable to create file, check disk space"},
      {"save " + d + "/flat/x", 1, "Failed to Save RV File"},
      {"fits unknown 1", 2, "bad arguments"},
      {"fits exposure abc", 2, "bad arguments"},
  };
  for (const Failing& f : failing) {
    r = test::RunBatch(drive.path(), f.steps);
    EXPECT_EQ(r.status, f.status) << f.steps;
    EXPECT_NE(r.err.find(f.err), std::string::npos) << f.steps << ": " << r.err;
  }
}

}  // namespace
}  // namespace nyxel
