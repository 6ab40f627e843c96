// File menu: open, save in the native, FITS, TIFF and flat-field formats, quick save, delete, select
// dark frame, the FITS details; and Undo Last Filter and Processing History.
#include <QCoreApplication>
#include <QFileDialog>
#include <QStringList>
#include <algorithm>
#include <ctime>

#include "app/CommandRegistry.h"
#include "app/FileDialogs.h"
#include "app/TDeleteDialog.h"
#include "app/TFITSDialog.h"
#include "app/QuickSaveNote.h"
#include "app/TMessageDialog.h"
#include "app/TNyxelWindow.h"
#include "core/Messages.h"
#include "files/FileCommands.h"
#include "files/SettingsFile.h"
#include "processing/UndoHistory.h"

namespace nyxel {
namespace {

// Delete and Select Dark Frame remember the dialog as File Open does.
std::filesystem::path PickFile(TNyxelWindow& w) {
  const std::filesystem::path file = ChooseFile(w, {kPickFileFilter, false, {}, false, {}}).path;
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
      ChooseFile(w, {kOpenFilter, false, {}, true, QString::fromStdString(s.files.LastOpenName)}).path;
  if (file.empty()) return;
  OpenImageFile(s, file);
  w.UpdateCommandStates();
  w.UpdateControlBar();
}

void FileSave(TNyxelWindow& w, SaveMode mode) {
  FileDialogChoice choice{kSaveNativeFilter, true, {}, true, {}};
  if (mode == SaveMode::Fits) choice = {kSaveFitsFilter, true, QStringLiteral("FIT"), false, {}};
  if (mode == SaveMode::Tiff) choice = {kSaveTiffFilter, true, QStringLiteral("TIF"), false, {}};
  const std::filesystem::path file = ChooseFile(w, choice).path;
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

}  // namespace

void QuickSaveWithNote(TNyxelWindow& w) {
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

namespace {

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
const RegisterCommand kQuickSave{128, {QuickSaveWithNote}};
const RegisterCommand kDelete{13, {DeleteFile}};
const RegisterCommand kDarkFrame{17, {SelectDarkFrame}};
const RegisterCommand kAutosaveText{516, {AutosaveFitsText}};
const RegisterCommand kFitsDetails{123, {[](TNyxelWindow& w) { EditFitsDetails(w); }}};
const RegisterCommand kUndo{9, {Undo}};
const RegisterCommand kHistory{
    522, {[](TNyxelWindow& w) { ShowHistory(w.session().host, w.session().store.History); }}};

}  // namespace
}  // namespace nyxel
