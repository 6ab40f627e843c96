// The Colour menu's commands around the engine: refusals, the settings file, the picture refresh.
#include "core/Messages.h"
#include "files/SettingsFile.h"
#include "processing/Colour.h"

namespace nyxel {

bool RequireColour(Session& session) {
  if (session.store.ColourConverted) return true;
  ShowMessage(session.host, kMessageNotColourConverted);
  return false;
}

int SynthesizeColourCommand(Session& session, const ColourDialogFn& dialog) {
  if (session.store.ColourConverted) {
    ShowMessage(session.host, kMessageAlreadyColourConverted);
    return kColourRefused;
  }
  if (LoadSettings(session.settings, session.drive, session.host) != 0) {
    ShowMessage(session.host, kMessageColourSettingsLoad);
  }
  if (dialog) {
    // The dialog works on a copy, so a cancelled dialog leaves the options as they were.
    Settings edited = session.settings;
    if (!dialog(edited)) {
      session.Refresh();
      return kColourCancelled;
    }
    session.settings = edited;
    if (SaveSettings(session.settings, session.drive) != 0) {
      ShowMessage(session.host, kMessageColourSettingsSave);
    }
  }
  SynthesizeColour(session.store, session.host, session.settings);
  session.Refresh();
  return kColourDone;
}

int BalanceColoursCommand(Session& session, const ColourBalance& start, int saturation_factor) {
  if (!RequireColour(session)) return kColourRefused;
  const bool saturation_changed = saturation_factor != session.settings.saturation_factor;
  if (start.red == 0 && start.green == 0 && start.blue == 0 && !saturation_changed) return kColourDone;
  if (saturation_changed) {
    session.settings.saturation_factor = static_cast<uint16_t>(saturation_factor);
    // A failed save is reported rather than lost without a word.
    if (SaveSettings(session.settings, session.drive) != 0) {
      ShowMessage(session.host, kMessageColourSettingsSave);
    }
  }
  BalanceColours(session.store, session.host, start);
  session.Refresh();
  return kColourDone;
}

int AntiAliasCommand(Session& session) {
  if (!RequireColour(session)) return kColourRefused;
  AntiAlias(session.store, session.host);
  session.Refresh();
  return kColourDone;
}

int ChromatismCommand(Session& session, const ChromaticShift& shift) {
  if (!RequireColour(session)) return kColourRefused;
  {
    BusyCursor busy(session.host);
    AdjustChromatism(session.store, shift);
  }
  session.Refresh();
  return kColourDone;
}

int LowPassColourCommand(Session& session) {
  if (!RequireColour(session)) return kColourRefused;
  {
    BusyCursor busy(session.host);
    LowPassColour(session.store);
  }
  session.Refresh();
  return kColourDone;
}

int UndoColourFilterCommand(Session& session) {
  if (!RequireColour(session)) return kColourRefused;
  UndoColourFilter(session.store);
  session.Refresh();
  return kColourDone;
}

}  // namespace nyxel
