#include "files/Session.h"

#include <system_error>

#include "files/SettingsFile.h"

namespace nyxel {

void StartSession(Session& session) {
  std::error_code ec;
  std::filesystem::create_directories(session.drive.Root(), ec);
  // The window ignores the result: a missing file has shown its warning and the defaults stay.
  LoadSettings(session.settings, session.drive, session.host);
  InitImageStore(session.store);
  BuildGreyPalette(session.store);
}

}  // namespace nyxel
