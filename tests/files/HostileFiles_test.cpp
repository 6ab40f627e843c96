// The file layer as a hostile user meets it: FIFOs given as images, a counter left behind by a kill,
// sub-folders that climb out of the autosave folder, numbers that are not finite.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <string>

#include "core/AtomicFile.h"
#include "files/FileBytes.h"
#include "files/FileCommands.h"
#include "files/FitsFile.h"
#include "files/RawFile.h"
#include "files/SettingsFile.h"
#include "tests/support/TestSession.h"

namespace nyxel {
namespace {

namespace fs = std::filesystem;

// Runs `load` and, should it block on the FIFO, opens the FIFO's other end so that the test ends
// with a failure instead of hanging.
bool ReturnsWithoutBlocking(const fs::path& fifo, const std::function<void()>& load) {
  auto done = std::async(std::launch::async, load);
  if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) return true;
  const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  if (fd >= 0) ::close(fd);
  done.wait();
  return false;
}

TEST(HostileFilesTest, NothingButARegularFileIsReadAndOpeningNeverBlocks) {
  test::TestSession t;
  StartSession(t.session);
  const fs::path fifo = t.dir.path() / "image.FIT";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const Frame before = t.store.CurrentFrame;
  struct Loader {
    const char* name;
    std::function<int()> run;
    int refused;
  };
  Frame dark{};
  const Loader loaders[] = {
      {"open", [&] { return LoadImageFile(t.store, t.session.settings.fits, t.host, fifo); }, 11},
      {"second image", [&] { return LoadSecondImageFile(t.store, t.host, fifo); }, 1},
      {"dark frame", [&] { return SubtractDarkFrameFile(t.host, false, fifo, dark, t.store.CurrentFrame); },
       kDarkNotOpened},
      {"fits", [&] { return ReadFitsImageOnly(fifo, t.store.SecondFrame); }, kFitsFailed},
      {"bytes", [&] { return ReadFileBytes(fifo, 100).opened ? 0 : 1; }, 1},
      {"folder", [&] { return ReadFileBytes(t.dir.path(), 100).opened ? 0 : 1; }, 1},
  };
  for (const Loader& l : loaders) {
    int result = -1;
    EXPECT_TRUE(ReturnsWithoutBlocking(fifo, [&] { result = l.run(); })) << l.name;
    EXPECT_EQ(result, l.refused) << l.name;
  }
  EXPECT_TRUE(t.store.CurrentFrame == before);

  // The settings file as a FIFO: refused like a missing file (result 2), without blocking.
  const fs::path ini = t.dir.path() / "autosave" / "nyxel.ini";
  fs::remove(ini);
  ASSERT_EQ(::mkfifo(ini.c_str(), 0644), 0);
  int loaded = -1;
  EXPECT_TRUE(ReturnsWithoutBlocking(
      ini, [&] { loaded = LoadSettings(t.session.settings, t.session.drive, t.host); }));
  EXPECT_EQ(loaded, 2);
}

TEST(HostileFilesTest, QuickSaveNeverReplacesAnImageAndSavesTheCounterFirst) {
  test::TestSession t;
  StartSession(t.session);
  Session& s = t.session;
  // A kill between the image and the settings left the counter at 2 with IMG3.FIT and IMG4.FIT on disk.
  s.settings.autosave_counter = 2;
  ASSERT_EQ(SaveSettings(s.settings, s.drive), 0);
  const fs::path folder = t.dir.path() / "autosave";
  test::WriteBytes(folder / "IMG3.FIT", {'t', 'h', 'r', 'e', 'e'});
  test::WriteBytes(folder / "img4.fit", {'f', 'o', 'u', 'r'});  // names match without regard to case
  fs::path written;
  ASSERT_EQ(QuickSave(s, &written), kAutosaveOk);
  EXPECT_EQ(written, folder / "IMG5.FIT");
  EXPECT_EQ(test::ReadBytes(folder / "IMG3.FIT"), (std::vector<unsigned char>{'t', 'h', 'r', 'e', 'e'}));
  EXPECT_EQ(test::ReadBytes(folder / "img4.fit"), (std::vector<unsigned char>{'f', 'o', 'u', 'r'}));
  EXPECT_EQ(fs::file_size(written), kFitsMonoLength);
  Settings reloaded;
  ASSERT_EQ(LoadSettings(reloaded, s.drive, t.host), 0);
  EXPECT_EQ(reloaded.autosave_counter, 5);

  // The counter reaches the disk before the image: with the settings written and the image cut short
  // (a full disk), the next start still moves on past the number.
  SetAtomicWriteLimitForTesting(static_cast<long long>(kSettingsFileBytes) + 1000);
  EXPECT_EQ(QuickSave(s, &written), kAutosaveNotWritten);
  SetAtomicWriteLimitForTesting(-1);
  EXPECT_FALSE(fs::exists(folder / "IMG6.FIT"));
  ASSERT_EQ(LoadSettings(reloaded, s.drive, t.host), 0);
  EXPECT_EQ(reloaded.autosave_counter, 6);
}

TEST(HostileFilesTest, AutosaveSubFolderStaysInsideTheAutosaveFolder) {
  struct Case {
    const char* subdir;
    bool inside;
  };
  for (const Case& c : {Case{"", true}, Case{"m42", true}, Case{"m42\\2026", true}, Case{"a\\..\\b", true},
                        Case{"./m42", true}, Case{"a/..", true}, Case{"..", false}, Case{"../..", false},
                        Case{"a\\..\\..", false}, Case{"m42/../../x", false}, Case{"..\\autosave", false}}) {
    EXPECT_EQ(AutosaveSubdirInside(c.subdir), c.inside) << c.subdir;
  }

  // A settings file that names such a folder is rewritten with the folder kept as it was.
  test::TestSession t;
  StartSession(t.session);
  Settings bad = t.session.settings;
  bad.autosave_subdir = "../..";
  auto bytes = EncodeSettings(bad);
  test::WriteBytes(t.dir.path() / "autosave" / "nyxel.ini",
                   std::vector<unsigned char>(bytes.begin(), bytes.end()));
  SetAutosaveSubdir(t.session.settings, "m42");
  ASSERT_EQ(LoadSettings(t.session.settings, t.session.drive, t.host), 0);
  EXPECT_EQ(t.session.settings.autosave_subdir, "m42");
  EXPECT_EQ(t.session.settings.autosave_dir, "c:\\AUTOSAVE\\m42");
  Settings reread;
  ASSERT_EQ(LoadSettings(reread, t.session.drive, t.host), 0);
  EXPECT_EQ(reread.autosave_subdir, "m42");
}

TEST(HostileFilesTest, NonFiniteNumbersInAFitsFileAreNotTaken) {
  test::TestSession t;
  StartSession(t.session);
  FitsHeader fits = t.session.settings.fits;
  fits.fits_exposure = 12.5;
  const fs::path file = t.dir.path() / "a.FIT";
  ASSERT_EQ(WriteFitsFile(file, t.store.CurrentFrame, t.store, fits, false), kFitsOk);
  auto bytes = test::ReadBytes(file);
  // Every number card written with a value of NAN or INF.
  int changed = 0;
  for (size_t card = 0; card + 80 <= 5760; card += 80) {
    const std::string key(bytes.begin() + static_cast<long>(card),
                          bytes.begin() + static_cast<long>(card) + 8);
    if (key == "EXPTIME " || key == "FOCALLEN" || key == "APERTURE") {
      const std::string value = changed % 2 ? "INF" : "NAN";
      std::fill(bytes.begin() + static_cast<long>(card) + 10, bytes.begin() + static_cast<long>(card) + 30,
                ' ');
      std::copy(value.begin(), value.end(), bytes.begin() + static_cast<long>(card) + 13);
      ++changed;
    }
  }
  ASSERT_GT(changed, 0);
  test::WriteBytes(file, bytes);
  FitsHeader read = t.session.settings.fits;
  read.fits_exposure = 3;
  read.fits_focal_length = 4;
  read.fits_aperture = 5;
  ASSERT_EQ(ReadFitsFile(file, t.store.CurrentFrame, t.store, read, false, FitsHeaderKind::Current), kFitsOk);
  EXPECT_EQ(read.fits_exposure, 3);
  EXPECT_TRUE(std::isfinite(read.fits_focal_length));
  EXPECT_TRUE(std::isfinite(read.fits_aperture));
}

}  // namespace
}  // namespace nyxel
