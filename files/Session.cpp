#include "files/Session.h"

#include <system_error>

namespace nyxel {

void StartSession(Session& session) {
  std::error_code ec;
  std::filesystem::create_directories(session.drive.Root(), ec);
  InitImageStore(session.store);
  BuildGreyPalette(session.store);
}

}  // namespace nyxel
