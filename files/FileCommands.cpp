#include "files/FileCommands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <system_error>

#include "core/Messages.h"
#include "core/Tiff.h"
#include "files/FitsFile.h"
#include "files/SettingsFile.h"
#include "files/StandardFits.h"
#include "files/UniversalTime.h"

namespace nyxel {
namespace {

constexpr uint16_t kAutosaveCounterWrap = 65530;

std::string Title(const std::filesystem::path& file) {
  return file.filename().string();
}

}  // namespace

int FilterIndexAfterDialog(std::string_view default_extension, std::string_view title) {
  if (default_extension == "FIT") return 2;
  return title.find('~') != std::string_view::npos ? 1 : 3;
}

std::string LowerTitle(std::string_view title) {
  std::string s(title);
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

int OpenImageFile(Session& session, const std::filesystem::path& file) {
  FileState& state = session.files;
  const std::string title = Title(file);
  state.LastOpenName = LowerTitle(title);
  state.LastFolder = file.parent_path();
  state.LastFilterIndex = FilterIndexAfterDialog("", title);
  ImageStore& store = session.store;
  // The loader names the picture after the file before it knows whether it will take it.
  const std::string previous_name = store.CurrentFileName;
  int result = 0;
  {
    BusyCursor busy(session.host);
    result = LoadImageFile(store, session.settings.fits, session.host, file);
    if (result != 0) {
      // A refused file changes nothing: picture, undo copy, display and caption stay as they were.
      store.CurrentFileName = previous_name;
      return result;
    }
    session.Refresh();
    CopyFrame(store.CurrentFrame, store.UndoFrame);
  }
  return result;
}

int SaveImageFile(Session& session, SaveMode mode, const std::filesystem::path& file) {
  ImageStore& store = session.store;
  const std::string title = LowerTitle(Title(file));
  // The caption names the last file opened or saved, also after the next refresh.
  store.CurrentFileName = title;
  session.host.SetCaption(WindowCaption(title));
  session.files.LastFilterIndex = FilterIndexAfterDialog(mode == SaveMode::Fits   ? "FIT"
                                                         : mode == SaveMode::Tiff ? "TIF"
                                                                                  : "",
                                                         title);
  int result = 0;
  switch (mode) {
    case SaveMode::Tiff: {
      BusyCursor busy(session.host);
      result = WriteTiffFile(store, store.ColourConverted != 0, file) == 0 ? 0 : 29;
      break;
    }
    case SaveMode::Fits: {
      BusyCursor busy(session.host);
      result = WriteFitsFile(file, store.CurrentFrame, store, session.settings.fits,
                             store.ColourConverted != 0) == kFitsOk
                   ? 0
                   : 29;
      break;
    }
    case SaveMode::FlatField:
      // Its failure is not shown.
      result = SaveFlatFieldFile(file, store.CurrentFrame, store.ColourConverted != 0) == 0 ? 0 : 1;
      break;
    case SaveMode::Native:
      result = SaveRawImageFile(store, session.host, file);
      break;
  }
  if (result == 29) ShowMessage(session.host, 29);
  session.files.LastFolder = file.parent_path();
  return result;
}

int ExportStandardFits(Session& session, const std::filesystem::path& file) {
  BusyCursor busy(session.host);
  const ImageStore& store = session.store;
  if (WriteStandardFitsFile(file, store, session.settings.fits, store.ColourConverted != 0) == kFitsOk)
    return 0;
  ShowMessage(session.host, 29);
  return 29;
}

void ApplySaveFitsDate(FitsHeader& fits, std::time_t now) {
  if (fits.fits_date_obs.size() >= 10) return;
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::snprintf(text, sizeof text, "20%02d-%02d-%02d", local.tm_year % 100, local.tm_mon + 1, local.tm_mday);
  fits.fits_date_obs = text;
}

void AdvanceAutosaveCounter(Settings& settings) {
  if (settings.autosave_counter >= kAutosaveCounterWrap) {
    settings.autosave_counter = 1;
  } else {
    ++settings.autosave_counter;
  }
}

std::string AutosaveFileName(const Settings& settings) {
  return settings.autosave_dir + "\\IMG" + std::to_string(settings.autosave_counter) + ".FIT";
}

std::string QuickSaveDisplayName(const Settings& settings) {
  char number[16];
  std::snprintf(number, sizeof number, "%5d", static_cast<int>(settings.autosave_counter));
  return settings.autosave_dir + number + ".IMG";
}

std::string AutosaveTimeObs(const CivilTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

std::string AutosaveDateObs(const CivilTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%d/%d/%02d", t.day, t.month, ((t.year % 100) + 100) % 100);
  return text;
}

void RecordExposureTimes(FitsHeader& fits, std::time_t start, double exposure_seconds, int ut_offset_hours) {
  const CivilTime ut = UniversalTime(start, ut_offset_hours);
  char text[48];  // room for any int, so no compiler sees a truncation
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", ut.year, ut.month, ut.day);
  fits.fits_date_obs = text;
  fits.fits_time_obs = AutosaveTimeObs(ut);
  fits.fits_exposure = exposure_seconds;
}

int AutosaveFits(Session& session, const Frame& image, std::filesystem::path* written) {
  Settings& settings = session.settings;
  FileState& state = session.files;
  // The configured sub-folder is made when missing; its parent must exist.
  std::error_code ec;
  std::filesystem::create_directory(session.drive.Resolve(settings.autosave_dir), ec);

  // Never over an existing image: a counter left behind (a kill between the image and the settings,
  // an older settings file) moves on past the names that exist. Every number taken: not written.
  std::filesystem::path file;
  for (int tries = 0;; ++tries) {
    if (tries == kAutosaveCounterWrap) return kAutosaveNotWritten;
    AdvanceAutosaveCounter(settings);
    file = session.drive.Resolve(AutosaveFileName(settings));
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, ec))) break;
  }
  // The counter reaches the disk before the image does, so a kill in between never leaves it behind.
  const int saved = SaveSettings(settings, session.drive);

  // Dated from the middle of the exposure, in universal time.
  state.ImageStartTime = state.ImageStartTime + (state.ImageEndTime - state.ImageStartTime) / 2;
  const CivilTime ut = UniversalTime(state.ImageStartTime, settings.ut_offset_hours);
  settings.fits.fits_time_obs = AutosaveTimeObs(ut);
  settings.fits.fits_date_obs = AutosaveDateObs(ut);

  if (WriteFitsFile(file, image, session.store, settings.fits, session.store.ColourConverted != 0) !=
      kFitsOk) {
    return kAutosaveNotWritten;
  }
  if (written) *written = file;
  return saved;
}

int QuickSave(Session& session, std::filesystem::path* written) {
  const int result = AutosaveFits(session, session.store.CurrentFrame, written);
  session.clock.Pause(20);
  ShowQuickSaveResult(session.host, result);
  return result;
}

void ShowQuickSaveResult(Host& host, int result) {
  if (result == kAutosaveNotWritten) {
    ShowMessage(host, 6);
  } else if (result != kAutosaveOk) {
    // The image is safe, but the counter did not reach the disk: the next start would reuse its names.
    ShowMessage(host, 28);
  }
}

std::filesystem::path DarkFramePath(const Session& session) {
  return session.drive.Resolve(session.files.DarkFrameFile.empty() ? std::string(kDarkFramePath)
                                                                   : session.files.DarkFrameFile);
}

}  // namespace nyxel
