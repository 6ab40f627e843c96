#include "files/FileCommands.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "core/RecordingHost.h"
#include "core/Tiff.h"
#include "files/FitsFile.h"
#include "files/SettingsFile.h"
#include "files/UniversalTime.h"
#include "tests/files/RawFileTestState.h"
#include "tests/support/TestSession.h"

namespace nyxel {
namespace {

using test::ReadBytes;

struct Fixture : test::TestSession {
  Fixture() {
    StartSession(session);
    host.Clear();
  }
};

TEST(FileCommands, Names) {
  struct FilterCase {
    std::string_view ext, title;
    int index;
  };
  for (const FilterCase& c : {FilterCase{"FIT", "~a.fit", 2}, FilterCase{"", "~image", 1},
                              FilterCase{"TIF", "x~y.tif", 1}, FilterCase{"", "image.fit", 3}}) {
    EXPECT_EQ(FilterIndexAfterDialog(c.ext, c.title), c.index) << c.title;
  }
  struct DateCase {
    CivilTime t;
    std::string date, time;
  };
  for (const DateCase& c : {DateCase{{2007, 3, 5, 1, 2, 3}, "5/3/07", "01:02:03"},
                            DateCase{{1999, 11, 14, 23, 59, 59}, "14/11/99", "23:59:59"},
                            DateCase{{2010, 12, 31, 0, 0, 0}, "31/12/10", "00:00:00"}}) {
    EXPECT_EQ(AutosaveDateObs(c.t), c.date);
    EXPECT_EQ(AutosaveTimeObs(c.t), c.time);
  }
  Settings s;
  s.autosave_counter = 7;
  EXPECT_EQ(AutosaveFileName(s), "c:\\AUTOSAVE\\IMG7.FIT");
  EXPECT_EQ(QuickSaveDisplayName(s), "c:\\AUTOSAVE    7.IMG");
}

TEST(FileCommands, QuickSaveCounterWrapsAndSurvivesInTheSettings) {
  test::ScopedTimeZone zone("UTC0");
  Fixture f;
  Session& s = f.session;
  s.settings.autosave_counter = 65529;
  s.settings.ut_offset_hours = -3;
  s.files.ImageStartTime = test::Utc(2007, 3, 5, 1, 0, 0);
  s.files.ImageEndTime = test::Utc(2007, 3, 5, 1, 0, 31);
  s.store.CurrentFrame.fill(4321);

  std::filesystem::path written;
  ASSERT_EQ(QuickSave(s, &written), 0);
  EXPECT_TRUE(f.host.boxes.empty());
  EXPECT_EQ(written, f.dir.path() / "autosave" / "IMG65530.FIT");
  EXPECT_EQ(std::filesystem::file_size(written), 303040u);
  EXPECT_EQ(f.clock.NowMs(), 20u);
  // The middle of the exposure, converted to universal time (local + offset), replaces the start.
  EXPECT_EQ(s.files.ImageStartTime, test::Utc(2007, 3, 5, 1, 0, 15));
  EXPECT_EQ(s.settings.fits.fits_time_obs, "22:00:15");
  EXPECT_EQ(s.settings.fits.fits_date_obs, "4/3/07");
  const auto b = ReadBytes(written);
  EXPECT_EQ(std::string(b.begin() + 800, b.begin() + 800 + 21), "DATE-OBS= '4/3/07'   ");

  Settings reloaded;
  ASSERT_EQ(LoadSettings(reloaded, s.drive, f.host), 0);
  EXPECT_EQ(reloaded.autosave_counter, 65530);

  ASSERT_EQ(QuickSave(s, &written), 0);
  EXPECT_EQ(written, f.dir.path() / "autosave" / "IMG1.FIT");
  ASSERT_EQ(LoadSettings(reloaded, s.drive, f.host), 0);
  EXPECT_EQ(reloaded.autosave_counter, 1);
}

TEST(FileCommands, AutosaveIntoASubFolder) {
  Fixture f;
  Session& s = f.session;
  SetAutosaveSubdir(s.settings, "m42");
  s.store.ColourConverted = 1;
  std::filesystem::path written;
  ASSERT_EQ(AutosaveFits(s, s.store.CurrentFrame, &written), 0);
  EXPECT_EQ(written, f.dir.path() / "autosave" / "m42" / "IMG1.FIT");
  EXPECT_EQ(std::filesystem::file_size(written), 748160u);

  // Without the parent folder the file cannot be written: message 6, the counter moved on in memory.
  std::filesystem::remove_all(f.dir.path() / "autosave");
  SetAutosaveSubdir(s.settings, "m31");
  EXPECT_EQ(QuickSave(s), kAutosaveNotWritten);
  ASSERT_EQ(f.host.boxes.size(), 1u);
  EXPECT_EQ(f.host.boxes[0].text, "Unable to create file, check disk space");
  EXPECT_EQ(s.settings.autosave_counter, 2);
}

TEST(FileCommands, SaveFitsDateRule) {
  test::ScopedTimeZone zone("UTC0");
  struct Case {
    std::string before, after;
  };
  for (const Case& c :
       {Case{"4/3/07", "2024-06-09"}, Case{"", "2024-06-09"}, Case{"2001-01-01", "2001-01-01"}}) {
    FitsHeader fits;
    fits.fits_date_obs = c.before;
    ApplySaveFitsDate(fits, test::Utc(2024, 6, 9, 12, 0, 0));
    EXPECT_EQ(fits.fits_date_obs, c.after);
  }
}

TEST(FileCommands, SaveEveryFormatThenOpen) {
  struct Case {
    SaveMode mode;
    int colour;
    const char* name;
    uintmax_t length;
    int filter_index;
  };
  const Case cases[] = {
      {SaveMode::Native, 0, "~Mono", 295800, 1},   {SaveMode::Native, 1, "~Colour", 741240, 1},
      {SaveMode::Fits, 0, "Mono.FIT", 303040, 2},  {SaveMode::Fits, 1, "Colour.FIT", 748160, 2},
      {SaveMode::Tiff, 0, "Grey.TIF", 189978, 3},  {SaveMode::Tiff, 1, "Colour.TIF", 569424, 3},
      {SaveMode::FlatField, 0, "Flat", 295800, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    Session& s = f.session;
    test::FillRandom(s.store, 70);
    s.store.ColourConverted = c.colour;
    AddHistoryLine(s.store.History, "Unsharp Mask 3 1");
    s.settings.fits = test::SampleHeader();
    const auto file = f.dir.path() / c.name;
    ASSERT_EQ(SaveImageFile(s, c.mode, file), 0);
    EXPECT_EQ(std::filesystem::file_size(file), c.length);
    EXPECT_EQ(f.host.caption, "Nyxel - " + LowerTitle(c.name));
    EXPECT_EQ(s.files.LastFilterIndex, c.filter_index);
    EXPECT_EQ(s.files.LastFolder, f.dir.path());
    EXPECT_EQ(f.host.busy_depth, 0);
    if (c.mode == SaveMode::Tiff || c.mode == SaveMode::FlatField) continue;

    // Open into a fresh session: the same pixels, planes, history and texts come back.
    Fixture g;
    Session& t = g.session;
    ASSERT_EQ(OpenImageFile(t, file), 0);
    EXPECT_EQ(t.store.ColourConverted, c.colour);
    EXPECT_EQ(t.files.LastOpenName, LowerTitle(c.name));
    EXPECT_EQ(g.host.caption, std::string("Nyxel - ") + c.name);
    for (int r = 0; r < 290; ++r) {
      for (int col = 0; col < 510; ++col) {
        ASSERT_EQ(t.store.CurrentFrame[PixelIndex(r, col)], s.store.CurrentFrame[PixelIndex(r, col)]);
      }
    }
    EXPECT_EQ(t.store.UndoFrame, t.store.CurrentFrame);
    if (c.colour) {
      EXPECT_TRUE(std::equal(s.store.GreenPlane.begin(), s.store.GreenPlane.begin() + kFramePixels,
                             t.store.GreenPlane.begin()));
    }
    if (c.mode == SaveMode::Fits) {
      EXPECT_EQ(t.store.History.Line(0), "Unsharp Mask 3 1");
      EXPECT_EQ(t.settings.fits.fits_observer, "A. Observer");
      EXPECT_EQ(t.settings.fits.fits_exposure, 30.5);
    } else {
      EXPECT_FALSE(t.store.History.Used(0));
    }
  }
}

TEST(FileCommands, FailedSavesAndOpens) {
  Fixture f;
  Session& s = f.session;
  const auto blocker = f.dir.path() / "file";
  test::WriteBytes(blocker, {1});
  struct Case {
    SaveMode mode;
    int result;
    const char* text;  // "" = nothing shown
  };
  for (const Case& c :
       {Case{SaveMode::Tiff, 29, "Unable to create file, check disk space"},
        Case{SaveMode::Fits, 29, "Unable to create file, check disk space"},
        Case{SaveMode::Native, 17, "Failed to Save RV File"}, Case{SaveMode::FlatField, 1, ""}}) {
    f.host.Clear();
    EXPECT_EQ(SaveImageFile(s, c.mode, blocker / "x"), c.result);
    EXPECT_EQ(f.host.Texts(),
              std::string(c.text).empty() ? std::vector<std::string>{} : std::vector<std::string>{c.text});
  }

  // A refused open changes nothing: image, planes, undo copy, name, caption and the bitmap on disk.
  const auto text_file = f.dir.path() / "notes.txt";
  test::WriteBytes(text_file, std::vector<uint8_t>(40, 'a'));
  std::vector<uint8_t> bad_fits(kFitsMonoLength, ' ');  // a FITS length without a FITS header
  const auto fits_length = f.dir.path() / "bad.fit";
  test::WriteBytes(fits_length, bad_fits);
  struct OpenCase {
    std::filesystem::path file;
    int result;
    const char* text;
  };
  for (const OpenCase& c :
       {OpenCase{blocker, 12, "You didn't choose a valid RV File"},
        OpenCase{text_file, 12, "You didn't choose a valid RV File"},
        OpenCase{f.dir.path() / "missing", 11, "Failed to Open RV File"},
        OpenCase{f.dir.path(), 11, "Failed to Open RV File"},
        OpenCase{fits_length, 14, "Unable to load FITS file, File was not saved by this program"}}) {
    s.store.CurrentFrame.fill(10);
    s.store.UndoFrame.fill(20);
    s.store.RedPlane.fill(7);
    s.store.ColourConverted = 1;
    s.store.CurrentFileName = "m42.fit";
    ASSERT_EQ(s.Refresh(), 0);
    const auto bitmap = ReadBytes(DisplayBitmapFile(s.store, s.drive));
    f.host.Clear();
    f.host.caption = "Nyxel - m42.fit";
    EXPECT_EQ(OpenImageFile(s, c.file), c.result) << c.file;
    EXPECT_EQ(f.host.Texts(), std::vector<std::string>{c.text}) << c.file;
    EXPECT_EQ(s.store.CurrentFrame[0], 10);
    EXPECT_EQ(s.store.UndoFrame[0], 20);
    EXPECT_EQ(s.store.RedPlane[0], 7);
    EXPECT_EQ(s.store.ColourConverted, 1);
    EXPECT_EQ(s.store.CurrentFileName, "m42.fit") << c.file;
    EXPECT_EQ(f.host.caption, "Nyxel - m42.fit") << c.file;
    EXPECT_EQ(ReadBytes(DisplayBitmapFile(s.store, s.drive)), bitmap) << c.file;
    // The next refresh still names the picture, not the refused file.
    s.Refresh();
    EXPECT_EQ(f.host.caption, "Nyxel - m42.fit") << c.file;
  }
  s.store.ColourConverted = 0;

  EXPECT_EQ(DarkFramePath(s), f.dir.path() / "dark.def");
  s.files.DarkFrameFile = "/tmp/other.def";
  EXPECT_EQ(DarkFramePath(s), "/tmp/other.def");
}

}  // namespace
}  // namespace nyxel
