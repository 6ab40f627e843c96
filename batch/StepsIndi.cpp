// The telescope-indi step: the telescope on an INDI server for this run and later ones, or back on
// the serial port.
#include <memory>

#include "batch/BatchHost.h"
#include "batch/BatchStep.h"
#include "batch/IndiSetup.h"
#include "core/Messages.h"
#include "files/SettingsFile.h"
#include "telescope/IndiChoice.h"
#include "telescope/indi/IndiLink.h"

namespace nyxel::batch {

bool IndiInUse(const CommandLine& line, const Drive& drive) {
  for (const StepCall& call : line.calls) {
    if (call.name == "telescope-indi") return !(call.args.size() == 1 && call.args[0] == "off");
  }
  ProgramPrefs prefs;
  prefs.Load(drive);
  return LoadIndiChoice(prefs).enabled;
}

void StartSavedIndi(Observatory& obs) {
  StartSavedIndiLink(obs);
}

namespace {

const RegisterStep kIndi{
    {"telescope-indi", 1, "HOST:PORT MOUNT [FOCUSER] | off",
     [](StepContext& c, const Args& a) {
       // Load-modify-save: the file holds the window's choices too.
       ProgramPrefs prefs;
       prefs.Load(c.session.drive);
       IndiChoice choice = LoadIndiChoice(prefs);
       if (a.size() == 1) {
         if (a[0] != "off") return kStepUsage;
         choice.enabled = false;
         UseIndiLink(c.obs, choice);
       } else {
         if (!ParseHostPort(a[0], choice.host, choice.port) || a[1].empty()) return kStepUsage;
         choice.mount = a[1];
         choice.focuser = a.size() > 2 ? a[2] : "";
         choice.enabled = true;
         UseIndiLink(c.obs, choice);
         // The mount must be there: a choice that cannot work is not saved.
         if (!OpenTelescopeLink(c.obs.link, c.session)) {
           UseIndiLink(c.obs, IndiChoice{});
           return kStepFailed;
         }
         if (MarkIndiInterface(c.session.settings)) SaveSettings(c.session.settings, c.session.drive);
       }
       StoreIndiChoice(prefs, choice);
       if (!prefs.Save(c.session.drive)) {
         c.host.MessageBox("The INDI choice could not be saved in c:\\autosave\\nyxel.conf", kMessageCaption);
         return kStepFailed;
       }
       c.session.prefs = prefs;
       return kStepOk;
     },
     2}};

}  // namespace
}  // namespace nyxel::batch
