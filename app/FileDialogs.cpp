#include "app/FileDialogs.h"

#include <QFileDialog>
#include <algorithm>

#include "app/TNyxelWindow.h"

namespace nyxel {

QStringList NameFilters(std::string_view table) {
  QStringList filters;
  const QStringList parts = QString::fromUtf8(table.data(), static_cast<qsizetype>(table.size())).split('|');
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString pattern = parts[i + 1];
    if (pattern == QStringLiteral("~*.*")) pattern = QStringLiteral("~*");
    if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    // The FITS entry shows the standard extensions too: Open reads standard FITS files of the camera's size.
    if (pattern == QStringLiteral("*.FIT")) pattern = QStringLiteral("*.FIT *.FITS *.FTS");
    if (pattern.startsWith(QStringLiteral("*.")) && pattern.size() > 2) pattern += ' ' + pattern.toLower();
    filters << parts[i] + QStringLiteral(" (") + pattern + QStringLiteral(")");
  }
  return filters;
}

ChosenFile ChooseFile(TNyxelWindow& w, const FileDialogChoice& choice) {
  const FileState& state = w.session().files;
  QFileDialog dialog(w.dialogParent());
  dialog.setObjectName(QStringLiteral("FileDialog"));
  dialog.setAcceptMode(choice.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(choice.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QStringList filters = NameFilters(choice.filter);
  dialog.setNameFilters(filters);
  if (choice.start_on_last && !filters.isEmpty()) {
    dialog.selectNameFilter(
        filters[std::clamp(state.LastFilterIndex, 1, static_cast<int>(filters.size())) - 1]);
  }
  if (!choice.default_suffix.isEmpty()) dialog.setDefaultSuffix(choice.default_suffix);
  if (!state.LastFolder.empty()) dialog.setDirectory(QString::fromStdString(state.LastFolder.string()));
  if (!choice.initial_name.isEmpty()) dialog.selectFile(choice.initial_name);
  if (w.ExecDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return {dialog.selectedFiles().front().toStdString(), dialog.selectedNameFilter()};
}

}  // namespace nyxel
