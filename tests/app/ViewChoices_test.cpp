// The View choices kept in the program's own settings file between runs of the window.
#include "app/ViewChoices.h"

#include <QAbstractButton>
#include <QAction>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "app/TQKDialog.h"
#include "files/ProgramPrefs.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel::test {
namespace {

constexpr int kFit = 301, kRv = 304, kAuto = 18, kMaxAll = 1901;

StartOptions Keeping(bool simulate = false) {
  StartOptions o;
  o.simulate = simulate;
  o.keep_view_choices = true;
  return o;
}

class ViewChoicesTest : public WindowTest {
 protected:
  ProgramPrefs FileOn(const std::filesystem::path& drive) {
    ProgramPrefs p;
    p.Load(Drive(drive));
    return p;
  }
  ViewChoices Shown() { return CurrentViewChoices(window->session().store); }
};

TEST_F(ViewChoicesTest, FirstStartStretchesAndTheChoicesSurviveARestart) {
  // The window the tests (and nyxel-batch) start: every View choice off, no file read.
  EXPECT_EQ(Shown(), (ViewChoices{0, 0, 0, 0, 14}));

  const auto drive = dir.path() / "kept";
  {
    // Another part of the program keeps its keys in the same file.
    std::filesystem::create_directories(drive / "autosave");
    ProgramPrefs other;
    other.Set("indi.host", "observatory.local");
    ASSERT_TRUE(other.Save(Drive(drive)));
  }
  MakeWindow(drive, Keeping());
  EXPECT_EQ(Shown(), (ViewChoices{1, 0, 0, 0, 14})) << "auto contrast stretch on at the first start";
  EXPECT_TRUE(window->CommandChecked(kAuto));
  EXPECT_FALSE(FileOn(drive).Has(kViewAutoStretchKey)) << "nothing written before a choice changes";

  // Each change is written at once; keys written meanwhile by others stay.
  struct Step {
    int command;
    ViewChoices after;
  } steps[] = {
      {kRv, {1, 0, 1, 0, 14}},  {kMaxAll, {1, 0, 1, 1, 14}}, {kAuto, {0, 0, 1, 1, 14}},
      {kFit, {0, 1, 0, 1, 14}}, {kRv, {0, 0, 1, 1, 14}},
  };
  for (const Step& s : steps) {
    {
      ProgramPrefs other = FileOn(drive);
      other.SetInt("indi.port", 7600 + s.command % 100);
      ASSERT_TRUE(other.Save(Drive(drive)));
    }
    ASSERT_TRUE(window->RunCommand(s.command));
    EXPECT_EQ(Shown(), s.after) << s.command;
    const ProgramPrefs file = FileOn(drive);
    auto restored = ImageStore::Create();
    InitImageStore(*restored);
    RestoreViewChoices(*restored, file);
    EXPECT_EQ(CurrentViewChoices(*restored), s.after) << s.command;
    EXPECT_EQ(file.Get("indi.host"), "observatory.local");
    EXPECT_EQ(file.GetInt("indi.port", 0, 0, 65535), 7600 + s.command % 100);
  }

  // A restart shows the picture as it was left; the palette bits come along.
  window->session().store.PaletteBits = 12;
  ASSERT_TRUE(window->RunCommand(kMaxAll));  // no change of the flag, but the bits changed
  MakeWindow(drive, Keeping());
  EXPECT_EQ(Shown(), (ViewChoices{0, 0, 1, 1, 12}));
  EXPECT_TRUE(window->CommandChecked(kRv));
  EXPECT_FALSE(window->CommandChecked(kAuto));
  EXPECT_EQ(window->picture().height(), 373) << "RV geometry shown from the start";

  // The same drive without keeping: the plain start, whatever the file says.
  MakeWindow(drive);
  EXPECT_EQ(Shown(), (ViewChoices{0, 0, 0, 0, 14}));
}

TEST_F(ViewChoicesTest, OddFilesFallBackToTheDefaults) {
  struct Case {
    const char* text;
    ViewChoices shown;
  } cases[] = {
      {"view.auto_stretch = maybe\nview.palette_bits = 99\n", {1, 0, 0, 0, 14}},
      {"view.auto_stretch=0\nview.fit_to_window = 1\nview.palette_bits = 16\n", {0, 1, 0, 0, 16}},
      // Both geometry choices set by hand: RV geometry, as the later command would leave it.
      {"view.fit_to_window = 1\nview.rv_geometry = yes\nview.max_palette_all = on\n", {1, 0, 1, 1, 14}},
      {"garbage without an equals sign\n\n# comment\n", {1, 0, 0, 0, 14}},
  };
  int n = 0;
  for (const Case& c : cases) {
    const auto drive = dir.path() / ("odd" + std::to_string(n++));
    std::filesystem::create_directories(drive / "autosave");
    std::ofstream(drive / "autosave" / "nyxel.conf") << c.text;
    MakeWindow(drive, Keeping());
    EXPECT_EQ(Shown(), c.shown) << c.text;
  }
}

TEST_F(ViewChoicesTest, AFileThatCannotBeWrittenLeavesTheChoiceForThisRun) {
  const auto drive = dir.path() / "blocked";
  // A folder where the file should be: every save fails.
  std::filesystem::create_directories(drive / "autosave" / "nyxel.conf");
  MakeWindow(drive, Keeping());
  boxes.clear();
  ASSERT_TRUE(window->RunCommand(kAuto));
  ASSERT_TRUE(window->RunCommand(kRv));
  EXPECT_EQ(Shown(), (ViewChoices{0, 0, 1, 0, 14}));
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(std::filesystem::is_directory(drive / "autosave" / "nyxel.conf"));
}

// A newcomer's first 2 s photo of the simulated sky: with the first start's auto contrast stretch the
// stars stand out of the dark sky; without it the picture is the frame's high byte, all nearly black.
TEST_F(ViewChoicesTest, FirstTwoSecondPhotoShowsItsStars) {
  struct Result {
    int sky = 0;     // the median grey level
    int bright = 0;  // pixels at grey 128 and above
  };
  auto photo = [&](const StartOptions& options, const std::filesystem::path& drive) {
    MakeWindow(drive, options);
    on_dialog = [&](QDialog& d) {
      auto* qk = qobject_cast<TQKDialog*>(&d);
      if (!qk) return static_cast<int>(QDialog::Rejected);
      qk->button(704)->click();  // seconds
      window->observatory().run.ExposureValue = 2;
      return static_cast<int>(QDialog::Accepted);
    };
    window->RunCommand(12);
    const QImage& p = window->picture();
    std::vector<int> grey;
    Result r;
    for (int y = 10; y < p.height(); ++y) {
      for (int x = 0; x < 510; ++x) {
        grey.push_back(qGray(p.pixel(x, y)));
        r.bright += grey.back() >= 128;
      }
    }
    std::nth_element(grey.begin(), grey.begin() + grey.size() / 2, grey.end());
    r.sky = grey[grey.size() / 2];
    return r;
  };
  StartOptions plain;
  plain.simulate = true;
  const Result first = photo(Keeping(true), dir.path() / "first");
  const Result unstretched = photo(plain, dir.path() / "plain");
  std::printf("first photo: sky grey %d, %d bright pixels; without the stretch: sky %d, %d bright\n",
              first.sky, first.bright, unstretched.sky, unstretched.bright);
  EXPECT_LE(unstretched.sky, 8);
  EXPECT_EQ(unstretched.bright, 0);
  EXPECT_GE(first.bright, 10);
}

}  // namespace
}  // namespace nyxel::test
