// The Set Program Defaults dialog's behaviour without a window: clicks, the edits, what shows checked,
// Save Changes and Cancel.
#include "files/SetProgramDefaults.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "core/AtomicFile.h"
#include "core/RecordingHost.h"
#include "files/SettingsFile.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

using SPD = SetProgramDefaults;

TEST(SetProgramDefaultsTest, ClicksChangeTheSettingAtOnce) {
  struct Case {
    int id;
    std::function<void(Settings&)> before;
    std::function<void(const Settings&)> check;
  };
  const Case cases[] = {
      {SPD::kPixelOffset, nullptr, [](const Settings& s) { EXPECT_FALSE(s.pixel_offset); }},
      {SPD::kLineOffset, nullptr, [](const Settings& s) { EXPECT_TRUE(s.line_offset); }},
      {SPD::kMask7, nullptr, [](const Settings& s) { EXPECT_EQ(s.guide_mask_radius, 7); }},
      {SPD::kMask11, nullptr, [](const Settings& s) { EXPECT_EQ(s.guide_mask_radius, 11); }},
      {SPD::kMask15, nullptr, [](const Settings& s) { EXPECT_EQ(s.guide_mask_radius, 15); }},
      {SPD::kRed, nullptr,
       [](const Settings& s) {
         EXPECT_EQ(s.background_colour, 'r');
         EXPECT_EQ(s.background_red * 65536 + s.background_green * 256 + s.background_blue, 0x782828);
         EXPECT_TRUE(s.background_changed);
       }},
      {SPD::kGray, nullptr,
       [](const Settings& s) { EXPECT_EQ(s.background_red + s.background_green + s.background_blue, 270); }},
      {SPD::kLtGray, [](Settings& s) { SetBackgroundColour(s, 'r'); },
       [](const Settings& s) { EXPECT_EQ(s.background_red, 192); }},
      {SPD::kGuideNone, [](Settings& s) { s.guide_interface = 'l', s.dedicated_com_port = false; },
       [](const Settings& s) { EXPECT_TRUE(s.guide_interface == 'n' && s.dedicated_com_port); }},
      {SPD::kGuideLx200, [](Settings& s) { s.dedicated_com_port = false; },
       [](const Settings& s) { EXPECT_TRUE(s.guide_interface == 'l' && !s.dedicated_com_port); }},
      {SPD::kGuideControlBox, [](Settings& s) { s.dedicated_com_port = false; },
       [](const Settings& s) { EXPECT_TRUE(s.guide_interface == 'b' && s.dedicated_com_port); }},
      {SPD::kSharedComPort, nullptr,
       [](const Settings& s) { EXPECT_TRUE(!s.dedicated_com_port && s.com_port == 1); }},
      {SPD::kComPort2, [](Settings& s) { s.dedicated_com_port = false; },
       [](const Settings& s) { EXPECT_TRUE(s.dedicated_com_port && s.com_port == 2); }},
      {SPD::kComPort1, [](Settings& s) { s.com_port = 2, s.dedicated_com_port = false; },
       [](const Settings& s) { EXPECT_TRUE(s.dedicated_com_port && s.com_port == 1); }},
      {SPD::kTraining2, nullptr, [](const Settings& s) { EXPECT_EQ(s.guide_training_time, 2); }},
      {SPD::kTraining4, nullptr, [](const Settings& s) { EXPECT_EQ(s.guide_training_time, 4); }},
      {SPD::kIgnoreDrift, nullptr, [](const Settings& s) { EXPECT_TRUE(s.ignore_small_drift); }},
      {SPD::kDirectionDelay, nullptr, [](const Settings& s) { EXPECT_FALSE(s.direction_change_delay); }},
      {SPD::kFocusDelay, nullptr, [](const Settings& s) { EXPECT_FALSE(s.focus_delay); }},
      {SPD::kDisableInterrupts, nullptr, [](const Settings& s) { EXPECT_FALSE(s.disable_interrupts); }},
      {SPD::kBeepAfterExposure, nullptr, [](const Settings& s) { EXPECT_TRUE(s.beep_after_exposure); }},
      {SPD::kDebugMode, nullptr, [](const Settings& s) { EXPECT_TRUE(s.debug_mode); }},
      {SPD::kUnsignedFormat, nullptr, [](const Settings& s) { EXPECT_EQ(s.fits.fits_unsigned, 1); }},
      {SPD::kSwapNorthSouth, nullptr,
       [](const Settings& s) { EXPECT_EQ(std::string(s.drive_directions.data(), 4), "snew"); }},
      {SPD::kSwapNorthSouth,
       [](Settings& s) {
         s.drive_directions = {'s', 'n', 'w', 'e'};
       },
       [](const Settings& s) { EXPECT_EQ(std::string(s.drive_directions.data(), 4), "nswe"); }},
      {SPD::kSwapEastWest, nullptr,
       [](const Settings& s) { EXPECT_EQ(std::string(s.drive_directions.data(), 4), "nswe"); }},
      {SPD::kSwapEastWest,
       [](Settings& s) {
         s.drive_directions = {'s', 'n', 'w', 'e'};
       },
       [](const Settings& s) { EXPECT_EQ(std::string(s.drive_directions.data(), 4), "snew"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    Settings s;
    if (c.before) c.before(s);
    SetProgramDefaults dialog(s);
    dialog.Click(c.id);
    c.check(s);
    const auto& controls = SPD::Controls();
    const auto control =
        std::find_if(controls.begin(), controls.end(), [&](const DialogControl& d) { return d.id == c.id; });
    ASSERT_NE(control, controls.end());
    if (control->kind == DialogControlKind::Radio) {
      EXPECT_TRUE(dialog.Checked(c.id));
    }
  }
}

TEST(SetProgramDefaultsTest, WhichClicksTakeTheNumberEdits) {
  const std::set<int> keep_edits = {SPD::kDebugMode, SPD::kBeepAfterExposure, SPD::kPixelOffset,
                                    SPD::kLineOffset};
  for (const DialogControl& control : SPD::Controls()) {
    if (control.kind == DialogControlKind::Edit || control.id == SPD::kSaveChanges ||
        control.id == SPD::kCancel) {
      continue;
    }
    SCOPED_TRACE(control.text);
    Settings s;
    SetProgramDefaults dialog(s);
    dialog.SetEditText(SPD::kRaPixelsPerSec, "12");
    dialog.SetEditText(SPD::kDecHysteresis, "-4");
    dialog.Click(control.id);
    if (keep_edits.count(control.id)) {
      EXPECT_EQ(s.ra_pixels_per_sec, 6);
      EXPECT_EQ(s.dec_hysteresis, 0);
      EXPECT_EQ(dialog.EditText(SPD::kRaPixelsPerSec), "12") << "the typing stays in the edit";
    } else {
      EXPECT_EQ(s.ra_pixels_per_sec, 12);
      EXPECT_EQ(s.dec_hysteresis, -4);
    }
  }
}

TEST(SetProgramDefaultsTest, ReadingTheEdits) {
  struct Case {
    int id;
    const char* typed;
    int16_t Settings::*field;
    int16_t expected;
    const char* shown;
  };
  const Case cases[] = {
      {SPD::kRaPixelsPerSec, "-32768", &Settings::ra_pixels_per_sec, -32768, "-32768"},
      {SPD::kDecPixelsPerSec, " +9 ", &Settings::dec_pixels_per_sec, 9, "9"},
      {SPD::kRaBacklash, "15", &Settings::ra_backlash, 15, "15"},
      {SPD::kDecBacklash, "3", &Settings::dec_backlash, 3, "3"},
      {SPD::kRaHysteresis, "21", &Settings::ra_hysteresis, 20, "20"},
      {SPD::kDecHysteresis, "20", &Settings::dec_hysteresis, 20, "20"},
      {SPD::kDecHysteresis, "32767", &Settings::dec_hysteresis, 20, "20"},
      // Refused: the setting stays and the edit shows it again.
      {SPD::kRaBacklash, "abc", &Settings::ra_backlash, 0, "0"},
      {SPD::kRaBacklash, "", &Settings::ra_backlash, 0, "0"},
      {SPD::kRaBacklash, "4x", &Settings::ra_backlash, 0, "0"},
      {SPD::kRaPixelsPerSec, "32768", &Settings::ra_pixels_per_sec, 6, "6"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Settings s;
    SetProgramDefaults dialog(s);
    dialog.SetEditText(c.id, c.typed);
    dialog.Click(SPD::kSetSlewValues);
    EXPECT_EQ(s.*c.field, c.expected);
    EXPECT_EQ(dialog.EditText(c.id), c.shown);
  }
}

TEST(SetProgramDefaultsTest, WhatShowsChecked) {
  struct Case {
    std::function<void(Settings&)> set;
    std::vector<int> checked;
    std::vector<int> unchecked;
  };
  const Case cases[] = {
      {[](Settings&) {},
       {SPD::kMask8, SPD::kLtGray, SPD::kGuideNone, SPD::kComPort1, SPD::kTraining1, SPD::kPixelOffset},
       {SPD::kMask15, SPD::kSharedComPort, SPD::kComPort2, SPD::kTraining4, SPD::kSwapNorthSouth,
        SPD::kSwapEastWest, SPD::kUnsignedFormat, SPD::kLineOffset}},
      {[](Settings& s) { s.guide_mask_radius = 10, s.guide_training_time = 3; },
       {SPD::kMask15, SPD::kTraining4},
       {SPD::kMask7, SPD::kMask8, SPD::kMask9, SPD::kMask11, SPD::kMask13, SPD::kTraining1}},
      {[](Settings& s) { s.dedicated_com_port = false, s.com_port = 2; },
       {SPD::kSharedComPort},
       {SPD::kComPort1, SPD::kComPort2}},
      {[](Settings& s) {
         s.drive_directions = {'s', 'n', 'w', 'e'};
       },
       {SPD::kSwapNorthSouth, SPD::kSwapEastWest},
       {}},
  };
  for (const Case& c : cases) {
    Settings s;
    c.set(s);
    SetProgramDefaults dialog(s);
    for (int id : c.checked) EXPECT_TRUE(dialog.Checked(id)) << id;
    for (int id : c.unchecked) EXPECT_FALSE(dialog.Checked(id)) << id;
  }
}

TEST(SetProgramDefaultsTest, SubFolderAndDebugMode) {
  Settings s;
  SetProgramDefaults dialog(s);
  std::vector<bool> debug_calls;
  dialog.on_debug_mode = [&](bool on) { debug_calls.push_back(on); };

  dialog.SetEditText(SPD::kSubdirName, std::string(80, 'x'));
  EXPECT_EQ(s.autosave_dir, "c:\\AUTOSAVE") << "typing alone changes nothing";
  dialog.Click(SPD::kSetSubdir);
  EXPECT_EQ(s.autosave_subdir, std::string(69, 'x'));
  EXPECT_EQ(s.autosave_dir, "c:\\AUTOSAVE\\" + std::string(69, 'x'));
  dialog.SetEditText(SPD::kSubdirName, "");
  dialog.Click(SPD::kSetSubdir);
  EXPECT_EQ(s.autosave_subdir, "");
  EXPECT_EQ(s.autosave_dir, "c:\\AUTOSAVE");

  dialog.Click(SPD::kDebugMode);
  dialog.Click(SPD::kDebugMode);
  EXPECT_EQ(debug_calls, (std::vector<bool>{true, false}));
}

TEST(SetProgramDefaultsTest, SaveChangesAndCancel) {
  test::TempDir dir;
  const Drive drive(dir.path());
  RecordingHost host;
  Settings s;

  // No file yet but the folder: the load warns, then message 20; the dialog still opens.
  std::filesystem::create_directories(dir.path() / "autosave");
  EXPECT_EQ(SPD::LoadBeforeOpening(s, drive, host), 2);
  EXPECT_EQ(host.Texts(), (std::vector<std::string>{"Warning!\nNo INI file found, please set defaults...",
                                                    "Unable to load INI file, please delete and try again"}));
  host.Clear();

  {
    SetProgramDefaults dialog(s);
    dialog.Click(SPD::kRed);
    dialog.SetEditText(SPD::kRaBacklash, "7");
    EXPECT_EQ(dialog.SaveChanges(drive, host), 0);
    EXPECT_TRUE(host.boxes.empty());
  }
  const auto saved = test::ReadBytes(dir.path() / "autosave" / "nyxel.ini");
  ASSERT_EQ(saved.size(), 1181u);
  EXPECT_EQ(saved[20], 'r');
  EXPECT_EQ(saved[1083], 7) << "Save Changes takes what was typed";

  // Cancel: the change stays in memory, the file is untouched.
  {
    SetProgramDefaults dialog(s);
    dialog.Click(SPD::kGray);
    dialog.Cancel();
  }
  EXPECT_EQ(s.background_colour, 'g');
  EXPECT_EQ(test::ReadBytes(dir.path() / "autosave" / "nyxel.ini"), saved);
  EXPECT_EQ(SPD::LoadBeforeOpening(s, drive, host), 0);
  EXPECT_EQ(s.background_colour, 'r') << "loading again brings back the saved value";

  // A failed save: message 21, result 3, the previous file kept.
  {
    SetProgramDefaults dialog(s);
    dialog.Click(SPD::kGray);
    SetAtomicWriteLimitForTesting(100);
    EXPECT_EQ(dialog.SaveChanges(drive, host), 3);
    SetAtomicWriteLimitForTesting(-1);
  }
  EXPECT_EQ(host.Texts(), std::vector<std::string>{"Unable to save INI file, please check disk space"});
  EXPECT_EQ(test::ReadBytes(dir.path() / "autosave" / "nyxel.ini"), saved);
}

}  // namespace
}  // namespace nyxel
