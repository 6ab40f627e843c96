#include "app/QtHost.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>

#include "app/TAboutDialog.h"
#include "app/TGuideGraph.h"
#include "app/TInfoDialog.h"
#include "app/TNyxelWindow.h"
#include "app/TProgressDialog.h"

namespace nyxel {
namespace {

QString ToQString(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool IsModifierKey(int key) {
  return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
         key == Qt::Key_AltGr || key == Qt::Key_Super_L || key == Qt::Key_Super_R;
}

// What a running loop lets the user do without stopping it: the menus (only Help, About and the guiding
// graph are enabled then), the picture's scroll bars, the windows that only look (the guiding graph, the
// help pages, About, the boxes they show) and the Guiding Info window's "Guiding Graph" button.
bool LeavesRunAlone(const QWidget* target, const TNyxelWindow& main) {
  const QWidget* top = target->window();
  if (qobject_cast<const TGuideGraph*>(top) || qobject_cast<const TAboutDialog*>(top) ||
      qobject_cast<const QMessageBox*>(top)) {
    return true;
  }
  if (qobject_cast<const QTextBrowser*>(top) && top->parentWidget() == &main) return true;  // help
  if (const auto* info = qobject_cast<const TInfoDialog*>(top)) {
    const QWidget* button = info->graphButton();
    return button != nullptr && (target == button || button->isAncestorOf(target));
  }
  for (const QWidget* w = target; w != nullptr; w = w->parentWidget()) {
    if (qobject_cast<const QMenuBar*>(w) || qobject_cast<const QMenu*>(w)) return true;
    if (qobject_cast<const QScrollBar*>(w) && main.centralWidget() != nullptr &&
        main.centralWidget()->isAncestorOf(w)) {
      return true;
    }
  }
  return false;
}

// Notes a key press or mouse click that asks a running loop to stop; the events still go to their
// widgets. Each press reaches the filter once for its window and again for the widget it is meant for:
// only the widget decides.
class AbortWatch : public QObject {
 public:
  explicit AbortWatch(const TNyxelWindow& main) : main_(main) {}
  bool aborted = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
        // A modifier alone starts a menu key or shortcut; the key that completes it decides.
        if (IsModifierKey(static_cast<QKeyEvent*>(event)->key())) break;
        [[fallthrough]];
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        if (watched->isWidgetType() && !LeavesRunAlone(static_cast<QWidget*>(watched), main_)) aborted = true;
        break;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  const TNyxelWindow& main_;
};

}  // namespace

QtHost::QtHost(TNyxelWindow& window) : window_(window) {}

QtHost::~QtHost() = default;

int QtHost::ShowBox(QWidget* owner, std::string_view text, std::string_view caption, MessageIcon icon,
                    MessageButtons buttons) {
  if (box_hook) return box_hook(Box{std::string(text), std::string(caption), icon, buttons});
  QMessageBox box(owner);
  box.setWindowTitle(ToQString(caption));
  box.setText(ToQString(text));
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  switch (icon) {
    case MessageIcon::None:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case MessageIcon::Stop:
      box.setIcon(QMessageBox::Critical);
      break;
    case MessageIcon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case MessageIcon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case MessageIcon::Question:
      box.setIcon(QMessageBox::Question);
      break;
  }
  switch (buttons) {
    case MessageButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case MessageButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case MessageButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case MessageButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  const int answer = box.exec();
  switch (answer) {
    case QMessageBox::Ok:
      return kIdOk;
    case QMessageBox::Yes:
      return kIdYes;
    case QMessageBox::No:
      return kIdNo;
    default:
      // Closing the box with Escape or its close button answers as its cancel (or only) button does.
      return buttons == MessageButtons::Ok ? kIdOk : buttons == MessageButtons::YesNo ? kIdNo : kIdCancel;
  }
}

int QtHost::MessageBox(std::string_view text, std::string_view caption, MessageIcon icon,
                       MessageButtons buttons) {
  // No owner window: the box stands on its own, modal for the whole application.
  return ShowBox(nullptr, text, caption, icon, buttons);
}

int QtHost::OwnedMessageBox(std::string_view text, std::string_view caption, MessageIcon icon) {
  return ShowBox(&window_, text, caption, icon, MessageButtons::Ok);
}

void QtHost::Beep(int kind) {
  if (beep_hook) {
    beep_hook(kind);
    return;
  }
  QApplication::beep();
}

void QtHost::SetBusyCursor(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++busy_depth_;
  } else if (busy_depth_ > 0) {
    QApplication::restoreOverrideCursor();
    --busy_depth_;
  }
}

void QtHost::ProgressOpen(std::string_view caption) {
  // One window, reused: making a new top-level window for every refresh would cost more than the build.
  if (!progress_) {
    progress_ = std::make_unique<TProgressDialog>(&window_);
    // Closing the progress window of an exposure stops the exposure; a filter takes no events meanwhile.
    QObject::connect(progress_.get(), &QDialog::rejected, progress_.get(), [this] { RequestStop(); });
  }
  progress_->setWindowTitle(ToQString(caption));
  progress_position_ = 0;
  progress_->SetPosition(0);
  progress_->show();
}

void QtHost::ProgressSetCaption(std::string_view caption) {
  if (progress_) progress_->setWindowTitle(ToQString(caption));
}

void QtHost::ProgressSetPosition(int percent) {
  progress_position_ = percent;
  if (progress_) progress_->SetPosition(percent);
}

void QtHost::ProgressClose() {
  if (progress_) progress_->hide();
}

void QtHost::ProgressRefresh() {
  if (progress_ && progress_->isVisible()) {
    progress_->SetPosition(progress_position_);
    progress_->repaint();
  }
}

bool QtHost::PumpMessages() {
  AbortWatch watch(window_);
  qApp->installEventFilter(&watch);
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  qApp->removeEventFilter(&watch);
  return watch.aborted || stop_requested_;
}

void QtHost::RequestStop() {
  if (window_.observatory().state.Running) stop_requested_ = true;
}

void QtHost::SetCaption(std::string_view caption) {
  window_.setWindowTitle(ToQString(caption) + window_.CaptionSuffix());
}

bool QtHost::ShowBitmap(const std::filesystem::path& bitmap_file) {
  return window_.ShowBitmap(bitmap_file);
}

}  // namespace nyxel
