// File menu: open, save in the native, FITS, TIFF and flat-field formats, quick save, delete, select
// dark frame, the FITS details; and Undo Last Filter and Processing History.
#include <QCoreApplication>
#include <QFileDialog>
#include <QStringList>
#include <algorithm>
#include <ctime>

#include "app/CommandRegistry.h"
#include "app/TDeleteDialog.h"
#include "app/TFITSDialog.h"
#include "app/TMessageDialog.h"
#include "app/TNyxelWindow.h"
#include "core/Messages.h"
#include "files/FileCommands.h"
#include "files/SettingsFile.h"
#include "processing/UndoHistory.h"

namespace nyxel {
namespace {

// "Name|pattern|..." as Qt name filters. The native pattern "~*.*" shows names beginning with "~".
QStringList NameFilters(std::string_view table) {
  QStringList filters;
  const QStringList parts = QString::fromUtf8(table.data(), static_cast<qsizetype>(table.size())).split('|');
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString pattern = parts[i + 1];
    if (pattern == QStringLiteral("~*.*")) pattern = QStringLiteral("~*");
    if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    // Names are matched without regard to case, as on the camera's original platform.
    if (pattern.startsWith(QStringLiteral("*.")) && pattern.size() > 2) pattern += ' ' + pattern.toLower();
    filters << parts[i] + QStringLiteral(" (") + pattern + QStringLiteral(")");
  }
  return filters;
}

struct FileDialogSpec {
  std::string_view filter;
  bool save = false;
  QString default_suffix;      // empty: none
  bool start_on_last = false;  // start on LastFilterIndex
  QString initial_name;
};

// Runs the file dialog in LastFolder; the chosen path, or empty when cancelled.
std::filesystem::path ChooseFile(TNyxelWindow& w, const FileDialogSpec& spec) {
  const FileState& state = w.session().files;
  QFileDialog dialog(w.dialogParent());
  dialog.setObjectName(QStringLiteral("FileDialog"));
  dialog.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QStringList filters = NameFilters(spec.filter);
  dialog.setNameFilters(filters);
  if (spec.start_on_last) {
    dialog.selectNameFilter(
        filters[std::clamp(state.LastFilterIndex, 1, static_cast<int>(filters.size())) - 1]);
  }
  if (!spec.default_suffix.isEmpty()) dialog.setDefaultSuffix(spec.default_suffix);
  if (!state.LastFolder.empty()) dialog.setDirectory(QString::fromStdString(state.LastFolder.string()));
  if (!spec.initial_name.isEmpty()) dialog.selectFile(spec.initial_name);
  if (w.ExecDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front().toStdString();
}

// Delete and Select Dark Frame remember the dialog as File Open does.
std::filesystem::path PickFile(TNyxelWindow& w) {
  const std::filesystem::path file = ChooseFile(w, {kPickFileFilter, false, {}, false, {}});
  if (!file.empty()) {
    FileState& state = w.session().files;
    state.LastFolder = file.parent_path();
    state.LastFilterIndex = FilterIndexAfterDialog("", file.filename().string());
  }
  return file;
}

void FileOpen(TNyxelWindow& w) {
  Session& s = w.session();
  const std::filesystem::path file =
      ChooseFile(w, {kOpenFilter, false, {}, true, QString::fromStdString(s.files.LastOpenName)});
  if (file.empty()) return;
  OpenImageFile(s, file);
  w.UpdateCommandStates();
  w.UpdateControlBar();
}

void FileSave(TNyxelWindow& w, SaveMode mode) {
  FileDialogSpec spec{kSaveNativeFilter, true, {}, true, {}};
  if (mode == SaveMode::Fits) spec = {kSaveFitsFilter, true, QStringLiteral("FIT"), false, {}};
  if (mode == SaveMode::Tiff) spec = {kSaveTiffFilter, true, QStringLiteral("TIF"), false, {}};
  const std::filesystem::path file = ChooseFile(w, spec);
  if (file.empty()) return;
  SaveImageFile(w.session(), mode, file);
}

// Shows "FITS DETAILS" on the session's values; true when closed with "Continue".
bool EditFitsDetails(TNyxelWindow& w) {
  Settings& settings = w.session().settings;
  FitsDialogValues values{settings.fits, settings.ut_offset_hours};
  TFITSDialog dialog(values, w.dialogParent());
  dialog.setObjectName(QStringLiteral("TFITSDialog"));
  const int result = w.ExecDialog(dialog);
  // The check box takes effect however the dialog closes.
  settings.fits.fits_unsigned = values.fits.fits_unsigned;
  if (result != TFITSDialog::kContinue) return false;
  settings.fits = values.fits;
  settings.ut_offset_hours = static_cast<int16_t>(values.ut_offset_hours);
  return true;
}

void SaveAsFits(TNyxelWindow& w) {
  ApplySaveFitsDate(w.session().settings.fits, std::time(nullptr));
  if (EditFitsDetails(w)) FileSave(w, SaveMode::Fits);
}

void QuickSaveCommand(TNyxelWindow& w) {
  Session& s = w.session();
  TMessageDialog note(QString::fromStdString(QuickSaveDisplayName(s.settings)), w.dialogParent());
  note.setObjectName(QStringLiteral("TMessageDialog"));
  note.show();
  QCoreApplication::processEvents();
  const int result = AutosaveFits(s, s.store.CurrentFrame);
  s.clock.Pause(20);
  note.close();
  ShowQuickSaveResult(s.host, result);
}

void DeleteFile(TNyxelWindow& w) {
  const std::filesystem::path file = PickFile(w);
  if (file.empty()) return;
  TDeleteDialog dialog(QString::fromStdString(file.string()), w.dialogParent());
  dialog.setObjectName(QStringLiteral("TDeleteDialog"));
  if (w.ExecDialog(dialog) != QDialog::Accepted) return;
  std::error_code ec;
  std::filesystem::remove(file, ec);
}

void SelectDarkFrame(TNyxelWindow& w) {
  const std::filesystem::path file = PickFile(w);
  if (!file.empty()) w.session().files.DarkFrameFile = file.string();
}

// The FITS texts as defaults for autosaved files: read from and written back to the settings file.
void AutosaveFitsText(TNyxelWindow& w) {
  Session& s = w.session();
  if (LoadSettings(s.settings, s.drive, s.host) != 0) {
    ShowMessage(s.host, 27);
    return;
  }
  if (EditFitsDetails(w) && SaveSettings(s.settings, s.drive) != 0) ShowMessage(s.host, 28);
}

void Undo(TNyxelWindow& w) {
  UndoLastFilter(w.session());
  w.UpdateCommandStates();
}

const RegisterCommand kOpen{24332, {FileOpen}};
const RegisterCommand kSave{24333, {[](TNyxelWindow& w) { FileSave(w, SaveMode::Native); }}};
const RegisterCommand kSaveTiff{24334, {[](TNyxelWindow& w) { FileSave(w, SaveMode::Tiff); }}};
const RegisterCommand kSaveFits{24335, {SaveAsFits}};
const RegisterCommand kSaveFlat{24336, {[](TNyxelWindow& w) { FileSave(w, SaveMode::FlatField); }}};
const RegisterCommand kQuickSave{128, {QuickSaveCommand}};
const RegisterCommand kDelete{13, {DeleteFile}};
const RegisterCommand kDarkFrame{17, {SelectDarkFrame}};
const RegisterCommand kAutosaveText{516, {AutosaveFitsText}};
const RegisterCommand kFitsDetails{123, {[](TNyxelWindow& w) { EditFitsDetails(w); }}};
const RegisterCommand kUndo{9, {Undo}};
const RegisterCommand kHistory{
    522, {[](TNyxelWindow& w) { ShowHistory(w.session().host, w.session().store.History); }}};

}  // namespace
}  // namespace nyxel
