#pragma once
// The engine half of the File commands: open, save in every format, quick save and the autosave
// naming and dates, select dark frame. The window's file dialogs collect the names and call these.
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

#include "files/FileState.h"
#include "files/RawFile.h"
#include "files/Session.h"

namespace nyxel {

struct CivilTime;  // files/UniversalTime.h

// Which format File Save writes.
enum class SaveMode { Native, Fits, Tiff, FlatField };

// The file dialogs' filter texts (description and pattern pairs, each followed by "|").
inline constexpr std::string_view kOpenFilter = "Halvorn (~*.)|~*.*|FITS files|*.FIT|All Files|*.*|";
inline constexpr std::string_view kSaveNativeFilter =
    "Halvorn (~*.)|~*.*|FITs files|*.FIT|All Files(*.*)|*.*|";
inline constexpr std::string_view kSaveFitsFilter = "FITS file (*.FIT)|*.FIT|All Files(*.*)|*.*|";
inline constexpr std::string_view kSaveTiffFilter = "Tiff file (*.TIF)|*.TIF|All Files(*.*)|*.*|";
inline constexpr std::string_view kExportFitsFilter = "Standard FITS file (*.fits)|*.fits|All Files(*.*)|*.*|";
inline constexpr std::string_view kPickFileFilter = "Halvorn (~*.)|~*.*|FITS files|*.FIT|All Files(*.*)|*.*|";

// LastFilterIndex after a dialog: 2 when its default extension is "FIT", else 1 when the title
// contains "~", else 3.
int FilterIndexAfterDialog(std::string_view default_extension, std::string_view title);

// The lower-case form of a file title.
std::string LowerTitle(std::string_view title);

// File Open after the dialog: loads the file (busy cursor), rebuilds the display, copies CurrentFrame
// to UndoFrame and remembers the title. Returns LoadImageFile's result.
int OpenImageFile(Session& session, const std::filesystem::path& file);

// File Save after the dialog: writes in `mode`, sets the caption to the lower-case title. Returns 0,
// or the number of the message shown (29 for TIFF and FITS; the native writer's own; the flat-field
// result 1 is returned but not shown).
int SaveImageFile(Session& session, SaveMode mode, const std::filesystem::path& file);

// Export Standard FITS after its dialog: writes the standard FITS file (a colour cube when the image is
// colour converted) under the busy cursor. Returns 0, or 29 with message 29 shown.
int ExportStandardFits(Session& session, const std::filesystem::path& file);

// Save as FITS, before its dialog: a DATE-OBS shorter than 10 characters becomes today's local date
// "20yy-mm-dd".
void ApplySaveFitsDate(FitsHeader& fits, std::time_t now);

// The autosave counter: 65,530 or more wraps to 1, otherwise it goes up by one.
void AdvanceAutosaveCounter(Settings& settings);
// autosave_dir + "\IMG" + counter + ".FIT" (a drive path).
std::string AutosaveFileName(const Settings& settings);
// The "Saving Image" dialog's name: autosave_dir and the counter printed with "%s%5d.IMG".
std::string QuickSaveDisplayName(const Settings& settings);
// TIME-OBS "hh:mm:ss" and DATE-OBS "d/m/yy" of an autosaved file.
std::string AutosaveTimeObs(const CivilTime& t);
std::string AutosaveDateObs(const CivilTime& t);

// The picture's own date and length, filled in as each exposure's result arrives (autosave or not):
// DATE-OBS "yyyy-mm-dd" and TIME-OBS "hh:mm:ss" of `start` in universal time, and EXPTIME. The long
// date form is the one Save as FITS keeps, so a later save does not replace it by today's date.
void RecordExposureTimes(FitsHeader& fits, std::time_t start, double exposure_seconds, int ut_offset_hours);

// Autosave results beyond SaveSettings' own.
inline constexpr int kAutosaveOk = 0;
inline constexpr int kAutosaveNotWritten = 1;

// Advances the counter past every name that exists (an image is never replaced), saves the settings
// so the counter survives, dates the file from the middle of the last exposure (universal time) and
// writes `image` as a FITS file in the autosave folder (creating the configured sub-folder when
// missing). Returns 0, 1 when the FITS file could not be written, or SaveSettings' result (the image
// is written all the same). `written` receives the file's path on the disk.
int AutosaveFits(Session& session, const Frame& image, std::filesystem::path* written = nullptr);

// Quick save: AutosaveFits on CurrentFrame, a 20 ms pause (the window's "Saving Image" note stays up
// that long), then ShowQuickSaveResult.
int QuickSave(Session& session, std::filesystem::path* written = nullptr);
// Message 6 when the file could not be written; message 28 when the settings (and so the counter)
// could not be saved.
void ShowQuickSaveResult(Host& host, int result);

// The dark frame the exposure run reads: the selected file, or "c:\dark.def" when none was selected.
std::filesystem::path DarkFramePath(const Session& session);

}  // namespace nyxel
