// Contrast menu: the eight stretches, and the internal commands 888/889 that apply the last table built.
#include <QObject>

#include "app/CommandRegistry.h"
#include "app/TNonLiniarDialog.h"
#include "app/TNyxelWindow.h"
#include "app/TPowerDialog.h"
#include "app/TStretchDialog.h"
#include "processing/Stretch.h"

namespace nyxel {
namespace {

// The window's stretch table: the last one built, zero until the first stretch. It lives as a child of
// the window, so each window has its own and it goes with it.
class StretchTableHolder : public QObject {
 public:
  explicit StretchTableHolder(QObject* parent) : QObject(parent) { setObjectName(kName); }
  static constexpr const char* kName = "nyxel-stretch-table";
  StretchTable table{};
};

StretchTable& LastTable(TNyxelWindow& w) {
  auto* holder = static_cast<StretchTableHolder*>(
      w.findChild<QObject*>(QString::fromUtf8(StretchTableHolder::kName), Qt::FindDirectChildrenOnly));
  if (!holder) holder = new StretchTableHolder(&w);
  return holder->table;
}

// A stretch without a dialog: build, apply, note, rebuild the picture.
template <void (*Op)(ImageStore&, Host&, StretchTable&)>
void Plain(TNyxelWindow& w) {
  Op(w.session().store, w.host(), LastTable(w));
  w.Refresh();
}

void Normal(TNyxelWindow& w) {
  Session& session = w.session();
  NormalStretchValues values;  // 0 and 255 at every opening
  TStretchDialog dialog(session.store.DisplayHistogram, values, w.host(), w.dialogParent());
  if (w.ExecDialog(dialog) == QDialog::Accepted &&
      NormalStretch(session.store, w.host(), LastTable(w), values.black, values.white)) {
    w.Refresh();
    return;
  }
  w.Repaint();
}

void Power(TNyxelWindow& w) {
  PowerStretchValues values;  // 1.0 at every opening
  TPowerDialog dialog(values, w.host(), w.dialogParent());
  // A power of 1.0 would change nothing worth a history line.
  if (w.ExecDialog(dialog) == QDialog::Accepted && values.tenths != 10 &&
      PowerStretch(w.session().store, w.host(), LastTable(w), values.power())) {
    w.Refresh();
    return;
  }
  w.Repaint();
}

void NonLinear(TNyxelWindow& w) {
  NonLinearValues values;  // 25 at every opening
  TNonLiniarDialog dialog(values, w.host(), w.dialogParent());
  if (w.ExecDialog(dialog) == QDialog::Accepted &&
      NonLinearStretch(w.session().store, w.host(), LastTable(w), values.power)) {
    w.Refresh();
    return;
  }
  w.Repaint();
}

void Background(TNyxelWindow& w) {
  // Below a black level of 3 nothing happens at all.
  if (RemoveBackground(w.session().store, w.host(), LastTable(w))) w.Refresh();
}

void ApplyLast(TNyxelWindow& w, bool refresh) {
  ApplyStretchTable(w.session().store, w.host(), LastTable(w));
  if (refresh) w.Refresh();
}

const RegisterCommand kNormal{1, {Normal}};
const RegisterCommand kPower{2, {Power}};
const RegisterCommand kSine{101, {Plain<SineStretch>}};
const RegisterCommand kLog{102, {Plain<LogStretch>}};
const RegisterCommand kBackground{103, {Background}};
const RegisterCommand kAntilog{104, {Plain<AntilogStretch>}};
const RegisterCommand kInvert{105, {Plain<InvertStretch>}};
const RegisterCommand kNonLinear{118, {NonLinear}};
const RegisterCommand kApply{888, {[](TNyxelWindow& w) { ApplyLast(w, false); }}};
const RegisterCommand kApplyRefresh{889, {[](TNyxelWindow& w) { ApplyLast(w, true); }}};

}  // namespace
}  // namespace nyxel
