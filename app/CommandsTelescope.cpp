// "Telescope Control" (127): opens the link and the dialog of the guide interface, and turns what the
// dialog's controls report into telescope commands.
#include <QDialog>

#include "app/CommandRegistry.h"
#include "app/FindChild.h"
#include "app/TCBDialog.h"
#include "app/TMTDialog.h"
#include "app/TNyxelWindow.h"
#include "telescope/TelescopeControl.h"
#include "telescope/TelescopeLink.h"

namespace nyxel {
namespace {

void OpenLX200Dialog(TNyxelWindow& w) {
  Observatory& o = w.observatory();
  TelescopeLink& link = o.link;
  Session& s = o.session;
  TMTDialog::Actions a;
  a.goto_object = [&link, &s](long messier, long cngc) {
    char status = 0;
    GotoObject(link, s.host, s.clock, messier, cngc, status);
  };
  a.goto_planet = [&link, &s](int number) { GotoCatalogue(link, s.host, s.clock, 's', number); };
  a.goto_coordinates = [&link, &s](long h, long m, long d, long dm) {
    char status = 0;
    GotoChecked(link, s.host, s.clock, h, m, d, dm, status);
  };
  a.rate = [&link](int i) { link.SlewRateCommand = std::string(kRateCommands[static_cast<size_t>(i)]); };
  a.focus_speed = [&link](bool fast) {
    link.FocusSpeedCommand = std::string(fast ? kFocusFast : kFocusSlow);
  };
  a.move_start = [&link, &s](char compass) { BeginMove(link, DriveLetter(s.settings, compass)); };
  a.move_end = [&link] { EndMove(link); };
  a.focus_start = [&link](bool in) { BeginFocus(link, in ? kFocusIn : kFocusOut); };
  a.focus_end = [&link] { EndFocus(link); };
  a.help = [&s] { ShowTelescopeHelp(s.host); };
  auto view = [&link, &s] {
    return TMTDialog::View{link.ReplyText, RateIndex(link), FocusFast(link), s.settings.drive_directions};
  };
  auto* dialog = new TMTDialog(std::move(a), view, w.dialogParent());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
}

void OpenControlBoxDialog(TNyxelWindow& w) {
  Observatory& o = w.observatory();
  TelescopeLink& link = o.link;
  Session& s = o.session;
  auto* dialog = new TCBDialog(
      [&link, &s](char compass) { BeginBoxMove(link, s.host, s.clock, DriveLetter(s.settings, compass)); },
      [&link, &s] { EndBoxMove(link, s.host); }, w.dialogParent());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
}

void TelescopeControl(TNyxelWindow& w) {
  // One telescope dialog at a time: a second command brings the open one forward.
  QDialog* open = FindChildOf<TMTDialog>(w);
  if (!open) open = FindChildOf<TCBDialog>(w);
  if (open) {
    open->raise();
    open->activateWindow();
    return;
  }
  Observatory& o = w.observatory();
  Session& s = o.session;
  if (!OpenTelescopeLink(o.link, s)) {
    // guide_interface is 'n' now: the telescope commands grey out and the button goes.
    w.UpdateControlBar();
    return;
  }
  if (s.settings.guide_interface == 'b') {
    ResetControlBox(o.link, s.host, s.clock);
    OpenControlBoxDialog(w);
  } else {
    OpenLX200Dialog(w);
  }
}

const RegisterCommand kTelescopeControl{
    127, {TelescopeControl, [](TNyxelWindow& w) { return w.session().settings.guide_interface != 'n'; }}};

}  // namespace
}  // namespace nyxel
