// The window's own commands: program defaults, help, about, print, print setup, copy, exit, and the
// internal palette and progress commands.
#include <QApplication>
#include <QClipboard>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

#include "app/CommandRegistry.h"
#include "app/Printing.h"
#include "app/TAboutDialog.h"
#include "app/TINIDialog.h"
#include "app/TNyxelWindow.h"
#include "files/SetProgramDefaults.h"

namespace nyxel {
namespace {

void ProgramDefaults(TNyxelWindow& w) {
  Session& session = w.session();
  SetProgramDefaults::LoadBeforeOpening(session.settings, session.drive, session.host);
  SetProgramDefaults model(session.settings);
  TINIDialog dialog(model, w.dialogParent());
  if (w.ExecDialog(dialog) == SetProgramDefaults::kSaveChanges)
    model.SaveChanges(session.drive, session.host);
  // Cancel keeps the values changed in the dialog until the settings are next loaded.
  w.Repaint();
  w.UpdateControlBar();
}

void About(TNyxelWindow& w) {
  TAboutDialog dialog(w.dialogParent(), w.observatory().simulated);
  w.ExecDialog(dialog);
}

QString DisplayBitmap(TNyxelWindow& w) {
  // "c:\Nyxel.bmp": the same file as the display's "c:\nyxel.bmp".
  return QString::fromStdString(w.session().drive.Resolve("c:\\Nyxel.bmp").string());
}

void Print(TNyxelWindow& w) {
  QPrintDialog dialog(&w.printer(), w.dialogParent());
  if (w.ExecDialog(dialog) != QDialog::Accepted) return;
  // As with the print program of old, a print that cannot start is not reported.
  PrintBitmapFile(w.printer(), DisplayBitmap(w));
}

void PrintSetup(TNyxelWindow& w) {
  QPageSetupDialog dialog(&w.printer(), w.dialogParent());
  w.ExecDialog(dialog);
}

void Copy(TNyxelWindow& w) {
  QApplication::clipboard()->setImage(w.picture());
}

void RealisePalette(TNyxelWindow& w) {
  w.Repaint();
  w.ResetScroller();
}

const RegisterCommand kDefaults{122, {ProgramDefaults}};
const RegisterCommand kHelp{112, {[](TNyxelWindow& w) { w.ShowHelp(); }}};
const RegisterCommand kAbout{113, {About}};
const RegisterCommand kPrint{121, {Print}};
const RegisterCommand kPrintSetup{120, {PrintSetup}};
const RegisterCommand kCopy{24323, {Copy, [](TNyxelWindow& w) { return w.PictureLoaded(); }}};
const RegisterCommand kExit{24310, {[](TNyxelWindow& w) { w.close(); }}};
const RegisterCommand kPalette{891, {RealisePalette}};
const RegisterCommand kProgress{892, {[](TNyxelWindow& w) { w.host().ProgressRefresh(); }}};

}  // namespace
}  // namespace nyxel
