#include "files/Session.h"

#include <system_error>

#include "core/AtomicFile.h"
#include "files/SettingsFile.h"

namespace nyxel {

void StartSession(Session& session) {
  std::error_code ec;
  std::filesystem::create_directories(session.drive.Root(), ec);
  // Temporary files of the program's own fixed files that a killed write left behind.
  for (const std::string_view fixed :
       {kDisplayBitmapPath, kFocusBitmapPath, kSettingsFilePath, kDarkFramePath, kFlatFieldPath}) {
    RemoveStaleTemporaries(session.drive.Resolve(fixed));
  }
  // The window ignores the result: a missing file has shown its warning and the defaults stay.
  LoadSettings(session.settings, session.drive, session.host);
  InitImageStore(session.store);
  BuildGreyPalette(session.store);
}

}  // namespace nyxel
