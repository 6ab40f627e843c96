// The guiding commands: "Pick Guide Star" with its clicks in the picture, "Train Auto-Guiding",
// "Start Auto-Guiding" and the internal guide-frame command 890, and the Guiding Info window they show.
#include <QAbstractScrollArea>
#include <QObject>
#include <QPointer>

#include "app/CommandRegistry.h"
#include "app/TGuideGraph.h"
#include "app/TInfoDialog.h"
#include "app/TNyxelWindow.h"
#include "core/Drive.h"
#include "core/Geometry.h"
#include "telescope/Guiding.h"

namespace nyxel {
namespace {

// The window's side of the guider: the Guiding Info dialog, made when guiding opens it.
class GuidingWindow : public QObject, public GuidingInfo {
 public:
  explicit GuidingWindow(TNyxelWindow& w) : QObject(&w), w_(w) { setObjectName(QStringLiteral("guiding")); }

  void Open() override {
    if (!dialog_) {
      dialog_ = new TInfoDialog(w_.dialogParent());
      dialog_->open_graph = [this] { w_.RunCommand(kGuidingGraphCommand); };
      // Closing the window (its close button or Escape) ends the guiding it shows; the guider's own
      // Close only hides it.
      connect(dialog_, &QDialog::rejected, this, [this] { w_.host().RequestStop(); });
    }
    dialog_->setWindowTitle(QString::fromLatin1(kInfoCaption.data(), static_cast<int>(kInfoCaption.size())));
    dialog_->show();
  }
  void SetCaption(std::string_view caption) override {
    if (dialog_)
      dialog_->setWindowTitle(QString::fromLatin1(caption.data(), static_cast<int>(caption.size())));
  }
  void Show(const GuidingInfoValues& values) override {
    if (!dialog_) return;
    dialog_->LoadPicture(w_.session().drive.Resolve(kFocusBitmapPath));
    dialog_->SetValues(values);
  }
  void Close() override {
    if (dialog_) dialog_->hide();
  }
  TInfoDialog* dialog() const { return dialog_; }

 private:
  TNyxelWindow& w_;
  QPointer<TInfoDialog> dialog_;
};

int DisplayRow(TNyxelWindow& w, int row) {
  return w.session().store.RvGeometry ? row * kRvHeight / kFrameHeight : row;
}

QWidget* PictureArea(TNyxelWindow& w) {
  auto* area = qobject_cast<QAbstractScrollArea*>(w.centralWidget());
  return area ? area->viewport() : w.centralWidget();
}

void PickGuideStar(TNyxelWindow& w) {
  AttachGuiding(w);
  Guider& guider = w.observatory().guider;
  // Pick mode shows the plain arrow over the picture, whatever the view had.
  if (guider.TogglePickMode()) {
    PictureArea(w)->setCursor(Qt::ArrowCursor);
  } else {
    PictureArea(w)->unsetCursor();
  }
  UpdateGuideCross(w);
}

void TrainAutoGuiding(TNyxelWindow& w) {
  AttachGuiding(w);
  w.observatory().guider.Train();
  w.host().RunCommandEnded();
  UpdateGuideCross(w);
}

void StartAutoGuiding(TNyxelWindow& w) {
  AttachGuiding(w);
  w.observatory().guider.Guide();
  w.host().RunCommandEnded();
}

const RegisterCommand kPick{
    16, {PickGuideStar, {}, [](TNyxelWindow& w) { return w.observatory().guider.state.PickMode; }}};
const RegisterCommand kTrain{126, {TrainAutoGuiding}};
const RegisterCommand kGuide{125, {StartAutoGuiding}};
const RegisterCommand kGuideFrame{890,
                                  {[](TNyxelWindow& w) {
                                     AttachGuiding(w);
                                     w.observatory().guider.GuideFrame();
                                   },
                                   [](TNyxelWindow& w) { return w.observatory().camera.CameraPresent; }}};

}  // namespace

void AttachGuiding(TNyxelWindow& w) {
  if (w.findChild<QObject*>(QStringLiteral("guiding"), Qt::FindDirectChildrenOnly)) return;
  auto* guiding = new GuidingWindow(w);
  Guider& guider = w.observatory().guider;
  guider.info = guiding;
  guider.move_cursor = [&w](int x, int y) { w.MoveCursorToPicture(x, DisplayRow(w, y)); };
  QObject::connect(&w, &TNyxelWindow::onPictureLeftClick, guiding, [&w](int x, int y) {
    Guider& g = w.observatory().guider;
    if (!g.state.PickMode) return;
    g.PickClick(x, y);
    if (!g.state.PickMode) PictureArea(w)->unsetCursor();
    UpdateGuideCross(w);
    w.UpdateCommandStates();
  });
}

void UpdateGuideCross(TNyxelWindow& w) {
  Observatory& obs = w.observatory();
  const bool shown = obs.guider.state.PickMode && obs.picked.GuideStarPicked;
  w.setGuideCross(shown, obs.picked.GuideStarX, DisplayRow(w, obs.picked.GuideStarY));
}

}  // namespace nyxel
