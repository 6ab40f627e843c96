// nyxel-batch as a hostile user runs it: FIFOs, a full disk (the file-size limit, its signal ignored
// or not), read-only files and folders, display refreshes that cannot write, and malformed numbers.
// The previous file always stays byte-identical and no temporary file outlives the next run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/batch/BatchRunner.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

namespace fs = std::filesystem;
using test::BatchRun;

// nyxel-batch (or the copy `exe`) under bash with `shell` run first (ulimit, trap) and `as` before the
// program (setpriv).
BatchRun RunHostile(const fs::path& drive, const std::string& steps, const std::string& shell = "",
                    const std::string& as = "", const fs::path& exe = NYXEL_BATCH_EXE) {
  test::TempDir tmp;
  const auto out = tmp.path() / "out";
  const auto err = tmp.path() / "err";
  std::string script = shell.empty() ? "" : shell + "; ";
  script +=
      "exec " + as + " timeout -s KILL 60 '" + exe.string() + "' --drive '" + drive.string() + "' " + steps;
  std::string quoted;
  for (char ch : script) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  const std::string command = "bash -c '" + quoted + "' >'" + out.string() + "' 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  const auto o = test::ReadBytes(out);
  const auto e = test::ReadBytes(err);
  // timeout reports a signal that ended the program as 128 + the signal.
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return {code >= 128 ? -1 : code, std::string(o.begin(), o.end()), std::string(e.begin(), e.end())};
}

// The hidden files in a folder and below: the program makes none but the atomic writer's temporary
// files, whatever they are named.
std::vector<std::string> Temporaries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    const std::string n = e.path().filename().string();
    if (n.rfind('.', 0) == 0) names.push_back(n);
  }
  return names;
}

mode_t ModeOf(const fs::path& p) {
  struct stat st {};
  ::stat(p.c_str(), &st);
  return st.st_mode & 07777;
}

// Root may write into any folder, so the read-only folder checks run the program as nobody.
const std::string kAsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups";

// `exe`, or a copy of it in `spare`, that nobody can run. The build may live where only its owner can
// go (a checkout under /root or in a mode-700 folder); the copy then goes into a folder anyone may
// enter. Empty when not even that folder can be reached (the temporary folder itself is hidden).
fs::path RunnableByNobody(const fs::path& exe, const fs::path& spare) {
  const auto runnable = [](const fs::path& p) {
    return std::system((kAsNobody + " test -x '" + p.string() + "'").c_str()) == 0;
  };
  if (runnable(exe)) return exe;
  const fs::path copy = spare / exe.filename();
  std::error_code ec;
  fs::copy_file(exe, copy, fs::copy_options::overwrite_existing, ec);
  if (ec || ::chmod(spare.c_str(), 0755) != 0 || ::chmod(copy.c_str(), 0755) != 0) return {};
  return runnable(copy) ? copy : fs::path();
}

// Saves into a read-only folder fail, leave the file there as it was and no temporary file behind.
void ExpectReadOnlyFolderRefusesTheSave(const fs::path& exe) {
  test::TempDir drive;
  test::TempDir spare;
  const std::string d = drive.path().string();
  ASSERT_EQ(RunHostile(drive.path(), "render " + d + "/a.bmp", "", "", exe).status, 0);
  const auto bmp = test::ReadBytes(drive.path() / "a.bmp");
  const fs::path ro = drive.path() / "ro";
  fs::create_directory(ro);
  fs::copy_file(drive.path() / "a.bmp", ro / "a.bmp");
  ::chmod((ro / "a.bmp").c_str(), 0644);
  std::string as;
  fs::path run = exe;
  if (::geteuid() == 0) {
    as = kAsNobody;
    run = RunnableByNobody(exe, spare.path());
    if (run.empty()) {
      GTEST_SKIP() << "nobody cannot reach a copy of nyxel-batch in " << spare.path()
                   << " (is the temporary folder hidden?): the read-only folder is not checked";
    }
    ASSERT_EQ(::chown(drive.path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(std::system(("chown -R 65534:65534 '" + d + "/autosave' '" + d + "/nyxel.bmp'").c_str()), 0);
  }
  ASSERT_EQ(::chmod(ro.c_str(), 0555), 0);
  for (const std::string& steps :
       {"save-fits " + ro.string() + "/a.bmp", "save " + ro.string() + "/a.bmp",
        "save-tiff " + ro.string() + "/a.bmp", "render " + ro.string() + "/a.bmp"}) {
    const BatchRun r = RunHostile(drive.path(), "invert " + steps, "", as, run);
    EXPECT_EQ(r.status, 1) << steps << ": " << r.err;
    EXPECT_FALSE(r.err.empty()) << steps;
    EXPECT_EQ(test::ReadBytes(ro / "a.bmp"), bmp) << steps;
  }
  EXPECT_TRUE(Temporaries(drive.path()).empty());
  ::chmod(ro.c_str(), 0755);
}

TEST(HostileBatchTest, FifosAreRefusedAtOnce) {
  test::TempDir drive;
  const fs::path fifo = drive.path() / "pipe.FIT";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string p = fifo.string();
  for (const std::string& steps :
       {"open " + p, "subtract-dark " + p, "flat-field " + p, "merge " + p + " 100 100 100 100 add"}) {
    const BatchRun r = RunHostile(drive.path(), steps);
    EXPECT_EQ(r.status, 1) << steps << ": " << r.err;
    EXPECT_FALSE(r.err.empty()) << steps;
  }
}

TEST(HostileBatchTest, FullDiskKeepsThePreviousFileAndLeavesNoTemporaryFile) {
  test::TempDir drive;
  const std::string d = drive.path().string();
  ASSERT_EQ(RunHostile(drive.path(), "save-fits " + d + "/a.FIT").status, 0);
  const auto before = test::ReadBytes(drive.path() / "a.FIT");
  ASSERT_EQ(before.size(), 303040u);

  // 200 KiB: the display bitmap (149,558 bytes) fits, the FITS file does not.
  const std::string limit = "ulimit -f 200";
  BatchRun r =
      RunHostile(drive.path(), "normal-stretch 0 100 save-fits " + d + "/a.FIT", limit + "; trap '' XFSZ");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Unable to create file, check disk space"), std::string::npos) << r.err;
  EXPECT_EQ(test::ReadBytes(drive.path() / "a.FIT"), before);
  EXPECT_TRUE(Temporaries(drive.path()).empty());

  // Killed by the signal in the middle of the write: the temporary file stays behind until the next
  // write of the same file.
  r = RunHostile(drive.path(), "normal-stretch 0 100 save-fits " + d + "/a.FIT", limit);
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(test::ReadBytes(drive.path() / "a.FIT"), before);
  EXPECT_EQ(Temporaries(drive.path()).size(), 1u);
  r = RunHostile(drive.path(), "save-fits " + d + "/a.FIT");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Temporaries(drive.path()).empty());

  // A kill during the start-up bitmap: the next start clears the program's own fixed files.
  r = RunHostile(drive.path(), "black-level", "ulimit -f 100");
  EXPECT_EQ(r.status, -1);
  ASSERT_EQ(Temporaries(drive.path()).size(), 1u);
  EXPECT_EQ(Temporaries(drive.path())[0].rfind(".nyxel.bmp.part-", 0), 0u);
  // The settings file is not written at start-up; what a killed save of it left goes all the same.
  test::WriteBytes(drive.path() / "autosave" / ".nyxel.ini.part-Ab12Cd", {'x'});
  r = RunHostile(drive.path(), "black-level");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Temporaries(drive.path()).empty());
}

TEST(HostileBatchTest, ReadOnlyFilesAndFoldersRefuseTheSave) {
  test::TempDir drive;
  const std::string d = drive.path().string();
  ASSERT_EQ(RunHostile(drive.path(), "save-fits " + d + "/a.FIT render " + d + "/a.bmp").status, 0);
  const auto fits = test::ReadBytes(drive.path() / "a.FIT");
  const auto bmp = test::ReadBytes(drive.path() / "a.bmp");

  // A file the user may not write is not replaced and keeps its mode; a writable one keeps its mode.
  ASSERT_EQ(::chmod((drive.path() / "a.FIT").c_str(), 0444), 0);
  ASSERT_EQ(::chmod((drive.path() / "a.bmp").c_str(), 0444), 0);
  BatchRun r = RunHostile(drive.path(), "invert save-fits " + d + "/a.FIT");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Unable to create file, check disk space"), std::string::npos) << r.err;
  r = RunHostile(drive.path(), "invert render " + d + "/a.bmp");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Cannot write " + d + "/a.bmp"), std::string::npos) << r.err;
  EXPECT_EQ(test::ReadBytes(drive.path() / "a.FIT"), fits);
  EXPECT_EQ(test::ReadBytes(drive.path() / "a.bmp"), bmp);
  EXPECT_EQ(ModeOf(drive.path() / "a.FIT"), 0444u);
  ASSERT_EQ(::chmod((drive.path() / "a.FIT").c_str(), 0640), 0);
  EXPECT_EQ(RunHostile(drive.path(), "invert save-fits " + d + "/a.FIT").status, 0);
  EXPECT_NE(test::ReadBytes(drive.path() / "a.FIT"), fits);
  EXPECT_EQ(ModeOf(drive.path() / "a.FIT"), 0640u);

  ExpectReadOnlyFolderRefusesTheSave(NYXEL_BATCH_EXE);
}

// A build in a folder only its owner may enter (a checkout under /root or a mode-700 folder): as root
// the read-only folder is still checked, from a copy of the program that nobody can reach.
TEST(HostileBatchTest, ReadOnlyFolderChecksRunWhereverTheBuildLives) {
  test::TempDir hidden;
  ASSERT_EQ(::chmod(hidden.path().c_str(), 0700), 0);
  const fs::path exe = hidden.path() / "bin" / "nyxel-batch";
  fs::create_directories(exe.parent_path());
  fs::copy_file(NYXEL_BATCH_EXE, exe);
  ExpectReadOnlyFolderRefusesTheSave(exe);
}

TEST(HostileBatchTest, AFailedDisplayRefreshFailsTheRun) {
  test::TempDir drive;
  const std::string d = drive.path().string();
  ASSERT_EQ(RunHostile(drive.path(), "black-level").status, 0);
  const fs::path bitmap = drive.path() / "nyxel.bmp";

  // The start-up picture cannot be written: the run fails, and render never copies the stale one.
  ASSERT_EQ(::chmod(bitmap.c_str(), 0444), 0);
  BatchRun r = RunHostile(drive.path(), "render " + d + "/out.bmp");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Failed to create temp bitmap"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(drive.path() / "out.bmp"));
  ASSERT_EQ(::chmod(bitmap.c_str(), 0644), 0);

  // A refresh that fails in a step: the RV-geometry picture (192,054 bytes) is over the limit.
  r = RunHostile(drive.path(), "rv-geometry on render " + d + "/out.bmp", "ulimit -f 170; trap '' XFSZ");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Unable to create temp bitmap file"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(drive.path() / "out.bmp"));
  EXPECT_TRUE(Temporaries(drive.path()).empty());
}

TEST(HostileBatchTest, ArgumentsOutsideWhatTheDialogsTake) {
  test::TempDir drive;
  struct Case {
    std::string steps;
    int status;
  };
  const std::string thirty(30, 'A');
  const Case cases[] = {
      {"fits exposure nan", 2},
      {"fits exposure inf", 2},
      {"fits exposure -inf", 2},
      {"fits pixel-width NaN", 2},
      {"fits focal-length 1e999", 2},
      {"fits exposure 2.5", 0},
      {"power-stretch nan", 2},
      {"power-stretch inf", 2},
      {"power-stretch 0.5", 0},
      {"label " + thirty + "B", 2},
      {"label " + thirty, 0},
      {"setting autosave_subdir ../..", 2},
      {"setting autosave_subdir ..", 2},
      {"setting autosave_subdir m42/../..", 2},
      {"setting autosave_subdir m42", 0},
  };
  for (const Case& c : cases) {
    const BatchRun r = RunHostile(drive.path(), c.steps);
    EXPECT_EQ(r.status, c.status) << c.steps << ": " << r.err;
  }
  // The refused sub-folder left the setting as it was.
  const BatchRun r = RunHostile(drive.path(), "quick-save");
  EXPECT_EQ(r.out, (drive.path() / "autosave" / "m42" / "IMG1.FIT").string() + "\n");
}

TEST(HostileBatchTest, QuickSaveMovesPastImagesThatExist) {
  test::TempDir drive;
  BatchRun r = RunHostile(drive.path(), "quick-save quick-save");
  ASSERT_EQ(r.status, 0) << r.err;
  const fs::path folder = drive.path() / "autosave";
  const auto first = test::ReadBytes(folder / "IMG1.FIT");
  const auto second = test::ReadBytes(folder / "IMG2.FIT");
  // The counter one behind the newest image, as a kill between the image and the settings left it.
  r = RunHostile(drive.path(), "setting autosave_counter 1 invert quick-save");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, (folder / "IMG3.FIT").string() + "\n");
  EXPECT_EQ(test::ReadBytes(folder / "IMG1.FIT"), first);
  EXPECT_EQ(test::ReadBytes(folder / "IMG2.FIT"), second);
}

}  // namespace
}  // namespace nyxel
