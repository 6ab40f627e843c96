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
#include "app/TIndiDialog.h"
#include "files/SetProgramDefaults.h"
#include "telescope/indi/IndiLink.h"
#include "telescope/indi/IndiMount.h"

namespace nyxel {
namespace {

void ProgramDefaults(TNyxelWindow& w) {
  Session& session = w.session();
  SetProgramDefaults::LoadBeforeOpening(session.settings, session.drive, session.host);
  SetProgramDefaults model(session.settings);
  TINIDialog dialog(model, w.dialogParent());
  dialog.on_indi_server = [&w, &dialog, &session] {
    ProgramPrefs prefs;
    prefs.Load(session.drive);
    TIndiDialog indi(LoadIndiChoice(prefs),
                     [](const std::string& host, int port, std::string& error) {
                       RealClock clock;
                       return IndiMount::ListDevices(host, port, clock, error);
                     },
                     &dialog);
    if (w.ExecDialog(indi) != QDialog::Accepted) return;
    // Load-modify-save: the file holds the View choices too.
    prefs.Load(session.drive);
    StoreIndiChoice(prefs, indi.choice());
    if (!prefs.Save(session.drive)) {
      session.host.MessageBox("The INDI choice could not be saved in c:\\autosave\\nyxel.conf", "Nyxel");
      return;
    }
    UseIndiLink(w.observatory(), indi.choice());
    // The telescope and guiding commands need an interface; Save Changes keeps it in the record.
    if (indi.choice().enabled) MarkIndiInterface(session.settings);
  };
  if (w.ExecDialog(dialog) == SetProgramDefaults::kSaveChanges)
    model.SaveChanges(session.drive, session.host);
  // Cancel keeps the values changed in the dialog until the settings are next loaded.
  w.Repaint();
  w.UpdateControlBar();
}

void About(TNyxelWindow& w) {
  // While guiding or an exposure runs, a modal box would hold the run's loop until it is closed.
  if (w.observatory().state.Running) {
    auto* dialog = new TAboutDialog(w.dialogParent(), w.observatory().simulated);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return;
  }
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
