// File > Export Standard FITS: the picture as a standard FITS file for other astronomy programs.
#include "app/CommandRegistry.h"
#include "app/FileDialogs.h"
#include "app/TNyxelWindow.h"
#include "files/FileCommands.h"

namespace nyxel {
namespace {

void ExportStandardFitsCommand(TNyxelWindow& w) {
  const std::filesystem::path file =
      ChooseFile(w, {kExportFitsFilter, true, QStringLiteral("fits"), false, {}}).path;
  if (file.empty()) return;
  w.session().files.LastFolder = file.parent_path();
  ExportStandardFits(w.session(), file);  // message 29 on failure
}

const RegisterCommand kExportFits{24337, {ExportStandardFitsCommand}};

}  // namespace
}  // namespace nyxel
