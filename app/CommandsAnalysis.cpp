// The histogram, pixel value and label commands.
#include <chrono>
#include <ctime>

#include "app/CommandRegistry.h"
#include "app/FindChild.h"
#include "app/THistDialog.h"
#include "app/TLabelDialog.h"
#include "app/TNyxelWindow.h"
#include "app/TValuesDialog.h"
#include "processing/Label.h"
#include "processing/PixelValues.h"

namespace nyxel {
namespace {

// "Auto Date" is remembered from one label to the next, per window.
constexpr const char* kLabelAutoDateProperty = "nyxelLabelAutoDate";

// The open histogram window, if any: at most one at a time.
THistDialog* OpenHistogram(TNyxelWindow& w) {
  for (THistDialog* d : FindChildrenOf<THistDialog>(w)) {
    if (d->isVisible()) return d;
  }
  return nullptr;
}

void Histogram(TNyxelWindow& w) {
  if (OpenHistogram(w)) return;
  auto* dialog = new THistDialog(w.session().store, w.host(), w.dialogParent());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
}

void ShowValues(TNyxelWindow& w) {
  ImageStore& store = w.session().store;
  if (OpenPixelValues(store, w.host()) != kValuesOpened) return;
  auto* dialog = new TValuesDialog(store, w.dialogParent());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(&w, &TNyxelWindow::onPictureMouseMove, dialog, &TValuesDialog::MouseMove);
  QObject::connect(&w, &TNyxelWindow::valuesDialogCloseRequested, dialog, &QDialog::close);
  dialog->show();
}

std::tm NowUniversal() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm ut{};
  gmtime_r(&now, &ut);
  return ut;
}

void LabelImage(TNyxelWindow& w) {
  Session& session = w.session();
  LabelOptions options;
  options.auto_date = w.property(kLabelAutoDateProperty).toBool();
  TLabelDialog dialog(options, session.settings.fits, session.host, w.dialogParent());
  const int result = w.ExecDialog(dialog);
  w.setProperty(kLabelAutoDateProperty, options.auto_date);
  if (result != QDialog::Accepted) return;
  DrawLabel(session.store, LabelBanner(options, session.settings.fits, NowUniversal()));
  w.Refresh();
}

const RegisterCommand kHistogram{6, {Histogram}};
const RegisterCommand kValues{124, {ShowValues}};
const RegisterCommand kLabel{8, {LabelImage}};

}  // namespace
}  // namespace nyxel
