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
  test::BatchRun r = test::RunBatch(
      drive.path(), "normal-stretch 0 200 fits object M42 fits exposure 2.5 fits unsigned 1 save-fits " + d +
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

// A photo carries its date, time of day and length into both FITS writers; the standard export opens
// again and exports to the same bytes, grey and colour; a FITS picture of another size is refused.
TEST(BatchFilesTest, PhotoTimesAndStandardFitsRoundTrip) {
  test::TempDir drive;
  const std::string d = drive.path().string();
  test::BatchRun r =
      test::RunBatch(drive.path(), "--simulate expose s 2 export-fits " + d + "/g.fits save-fits " + d +
                                       "/g.FIT synthesize export-fits " + d + "/c.fits");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto grey = test::ReadBytes(drive.path() / "g.fits");
  const std::string header(grey.begin(), grey.begin() + 2880);
  auto card = [](const std::string& text, const std::string& key) {
    for (size_t at = 0; at + 80 <= text.size(); at += 80) {
      if (text.compare(at, key.size(), key) == 0) return text.substr(at, 80);
    }
    return std::string();
  };
  // DATE-OBS= 'yyyy-mm-ddThh:mm:ss'
  const std::string date = card(header, "DATE-OBS=");
  ASSERT_GE(date.size(), 31u) << header;
  EXPECT_EQ(date[15], '-');
  EXPECT_EQ(date[21], 'T') << date;
  EXPECT_EQ(date[24], ':') << date;
  EXPECT_EQ(date[30], '\'') << date;
  EXPECT_EQ(card(header, "EXPTIME").substr(0, 30), "EXPTIME =                  2.0");
  const auto own = test::ReadBytes(drive.path() / "g.FIT");
  ASSERT_EQ(own.size(), 303040u);
  const std::string own_header(own.begin(), own.begin() + 5760);
  EXPECT_EQ(card(own_header, "DATE-OBS=").substr(0, 22), "DATE-OBS= '" + date.substr(11, 10) + "'");
  EXPECT_EQ(card(own_header, "TIME-OBS=").substr(0, 20), "TIME-OBS= '" + date.substr(22, 8) + "'");
  EXPECT_EQ(card(own_header, "EXPTIME =").substr(0, 29), "EXPTIME =    2.0000000000E+00");

  for (const char* name : {"g", "c"}) {
    r = test::RunBatch(drive.path(), "open " + d + "/" + name + ".fits export-fits " + d + "/again.fits");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(test::ReadBytes(drive.path() / "again.fits") ==
                test::ReadBytes(drive.path() / (std::string(name) + ".fits")))
        << name;
  }

  // 640 x 480: refused, saying which sizes are understood.
  std::string other;
  for (const char* c :
       {"SIMPLE  =                    T", "BITPIX  =                   16", "NAXIS   =                    2",
        "NAXIS1  =                  640", "NAXIS2  =                  480", "END"}) {
    other += c;
    other.resize((other.size() + 79) / 80 * 80, ' ');
  }
  other.resize(2880 + 640 * 480 * 2, ' ');
  test::WriteBytes(drive.path() / "other.fits", std::vector<unsigned char>(other.begin(), other.end()));
  r = test::RunBatch(drive.path(), "open " + d + "/other.fits");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("510 or 512 columns by 290 rows"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("This file holds 640 x 480 values with BITPIX 16."), std::string::npos) << r.err;
}

}  // namespace
}  // namespace nyxel
