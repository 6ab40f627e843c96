#pragma once
// Everything one running program works with: the store, the settings and header values, the drive
// folder, the platform and the clock. The window and nyxel-batch each own one; tests build their own.
#include <memory>

#include "core/Clock.h"
#include "core/Display.h"
#include "core/Drive.h"
#include "core/Host.h"
#include "core/ImageStore.h"
#include "files/FileState.h"
#include "files/ProgramPrefs.h"
#include "files/Settings.h"

namespace nyxel {

struct Session {
  Session(Host& host_, Clock& clock_, Drive drive_)
      : store_owner(ImageStore::Create()),
        store(*store_owner),
        host(host_),
        clock(clock_),
        drive(std::move(drive_)) {}

  std::unique_ptr<ImageStore> store_owner;
  ImageStore& store;
  Host& host;
  Clock& clock;
  Drive drive;
  Settings settings;
  FileState files;  // what the file commands remember, and the last exposure's times
  ProgramPrefs prefs;  // the program's own settings file beside the record (loaded by whoever needs it)

  // Rebuilds the display from the store and hands the bitmap to the window; 0 or the bitmap code.
  int Refresh() {
    last_refresh = RefreshDisplay(store, host, drive, settings.saturation_factor);
    if (last_refresh != 0) ++refresh_failures;
    return last_refresh;
  }
  // The last refresh's result (the bitmap on disk is stale while it is not 0) and how many failed:
  // nyxel-batch fails a step during which a refresh failed.
  int last_refresh = 0;
  int refresh_failures = 0;
};

// Start-up as the main window does it: the drive folder (cleared of temporary files that killed writes
// of its fixed files left), the settings, the test ramp, the grey palette.
// The first display refresh is the caller's (the window paints; nyxel-batch refreshes once).
void StartSession(Session& session);

}  // namespace nyxel
