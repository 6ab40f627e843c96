#pragma once
// The program's file dialogs: its "Name|pattern|..." filter tables shown through Qt's file dialog.
#include <QString>
#include <QStringList>
#include <filesystem>
#include <string_view>

namespace nyxel {

class TNyxelWindow;

// "Name|pattern|..." as Qt name filters. The native pattern "~*.*" shows names beginning with "~", and
// patterns match without regard to case, as on the camera's original platform.
QStringList NameFilters(std::string_view table);

struct FileDialogChoice {
  std::string_view filter;
  bool save = false;
  QString default_suffix;      // empty: none
  bool start_on_last = false;  // start on LastFilterIndex
  QString initial_name;
};

struct ChosenFile {
  std::filesystem::path path;  // empty when cancelled
  QString name_filter;         // the filter the user left selected
};

// Runs the file dialog in LastFolder.
ChosenFile ChooseFile(TNyxelWindow& w, const FileDialogChoice& choice);

}  // namespace nyxel
