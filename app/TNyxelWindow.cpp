#include "app/TNyxelWindow.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QFile>
#include <QKeySequence>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <exception>
#include <string>
#include <system_error>

#include "app/CommandRegistry.h"
#include "app/CommandTable.h"
#include "app/TPictureView.h"
#include "app/ToolIcons.h"
#include "camera/LibusbTransport.h"
#include "core/Messages.h"
#include "telescope/indi/IndiLink.h"
#include "telescope/sim/Simulation.h"

namespace nyxel {
namespace {

QString ToQString(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool GuideCommand(int id) {
  return id == 125 || id == 126 || id == 127;
}

// While an exposure run or focus loop pumps events, only what changes nothing may start: the help
// pages and About. Everything else would start a second run or change the image under the first.
bool AllowedWhileRunning(int id) {
  return id == 112 || id == 113 || id == 2001;  // help, About, the guiding graph
}

QList<QKeySequence> KeysOf(std::string_view keys) {
  QList<QKeySequence> list;
  for (const QString& k : ToQString(keys).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    list.push_back(QKeySequence(k, QKeySequence::PortableText));
  }
  return list;
}

// The text before the key hint, without mnemonics: the tool tip of a control-bar button.
QString PlainText(std::string_view text) {
  QString s = ToQString(text);
  s = s.left(s.indexOf(QLatin1Char('\t')) < 0 ? s.size() : s.indexOf(QLatin1Char('\t')));
  s.remove(QLatin1Char('&'));
  return s.trimmed();
}

}  // namespace

// ---- picture view -----------------------------------------------------------------------------

TPictureView::TPictureView(TNyxelWindow& window) : QAbstractScrollArea(&window), window_(window) {
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  horizontalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setSingleStep(1);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  setFrameShape(QFrame::NoFrame);
}

void TPictureView::UpdateScrollRange() {
  const bool fit = window_.session().store.FitToWindow != 0;
  const QSize picture = window_.picture_.size();
  const QSize client = viewport()->size();
  const int h = fit ? 0 : std::max(0, picture.width() - client.width());
  const int v = fit ? 0 : std::max(0, picture.height() - client.height());
  horizontalScrollBar()->setRange(0, h);
  verticalScrollBar()->setRange(0, v);
  horizontalScrollBar()->setPageStep(std::max(1, client.width()));
  verticalScrollBar()->setPageStep(std::max(1, client.height()));
}

void TPictureView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  window_.PaintPicture(painter, event->rect());
}

void TPictureView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRange();
  viewport()->update();
}

void TPictureView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint() + window_.scrollPosition();
  emit window_.onPictureMouseMove(p.x(), p.y());
}

void TPictureView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint() + window_.scrollPosition();
  emit window_.onPictureLeftClick(p.x(), p.y());
}

void TPictureView::scrollContentsBy(int, int) {
  viewport()->update();
}

// ---- window -------------------------------------------------------------------------------------

TNyxelWindow::TNyxelWindow(const std::filesystem::path& drive_root, Clock* clock,
                           std::function<int(const QtHost::Box&)> box_hook, QWidget* parent,
                           StartOptions options)
    : QMainWindow(parent), host_(*this) {
  host_.box_hook = std::move(box_hook);
  if (clock == nullptr) {
    own_clock_ = std::make_unique<RealClock>();
    clock = own_clock_.get();
  }
  CameraTransport* transport = nullptr;
  if (options.simulate) {
    simulation_ = std::make_unique<Simulation>(*clock, options.seed);
    transport = &simulation_->camera;
  } else {
    usb_ = std::make_unique<LibusbTransport>();
    transport = usb_.get();
  }
  observatory_ = std::make_unique<Observatory>(host_, *clock, Drive(drive_root), *transport);
  observatory_->simulated = options.simulate;
  observatory_->simulation = simulation_.get();
  StartSession(observatory_->session);
  if (options.keep_view_choices) {
    Session& session = observatory_->session;
    session.prefs.Load(session.drive);
    RestoreViewChoices(session.store, session.prefs);
    kept_view_ = CurrentViewChoices(session.store);
  }
  // The simulated mount answers on a pseudo-terminal linked as <drive>/com1.
  if (simulation_ && simulation_->StartMount(drive_root)) observatory_->link.peer = &simulation_->mount_line;
  // A telescope on an INDI server, when that is the saved choice (connected on the first command).
  StartSavedIndiLink(*observatory_);
  const Settings& s = observatory_->session.settings;
  background_ = QColor(s.background_red, s.background_green, s.background_blue);

  view_ = new TPictureView(*this);
  setCentralWidget(view_);
  BuildActions();
  BuildMenus();
  control_bar_ = addToolBar(QStringLiteral("Control bar"));
  control_bar_->setMovable(false);
  QFont bar_font = control_bar_->font();
  bar_font.setPointSize(10);
  control_bar_->setFont(bar_font);
  QFont status_font = statusBar()->font();
  status_font.setPointSize(10);
  statusBar()->setFont(status_font);
  LayOutControlBar();

  setWindowTitle(QString::fromLatin1(kFrameCaption) + CaptionSuffix());
  move(0, 0);
  resize(802, 490);
  Refresh();
}

TNyxelWindow::~TNyxelWindow() = default;

QString TNyxelWindow::CaptionSuffix() const {
  return simulation_ ? QStringLiteral(" (simulated camera)") : QString();
}

void TNyxelWindow::BuildActions() {
  for (const CommandRow& row : CommandTable()) {
    auto* a = new QAction(ToQString(row.text), this);
    a->setShortcuts(KeysOf(row.keys));
    a->setShortcutContext(Qt::WindowShortcut);
    a->setStatusTip(ToQString(row.hint));
    a->setToolTip(PlainText(row.text));
    a->setCheckable(row.id == 301 || row.id == 304 || row.id == 18 || row.id == 16);
    if (row.bitmap != 0) a->setIcon(ToolIcon(row.bitmap));
    const int id = row.id;
    connect(a, &QAction::triggered, this, [this, id] { RunCommand(id); });
    // Shortcuts of commands outside the menus still reach the window.
    addAction(a);
    actions_[row.id] = a;
  }
}

void TNyxelWindow::BuildMenus() {
  QMenuBar* bar = menuBar();
  for (std::string_view title : MenuOrder()) {
    if (title == kTopLevel) {
      for (const CommandRow& row : CommandTable()) {
        if (row.menu == kTopLevel) bar->addAction(actions_[row.id]);
      }
      continue;
    }
    QMenu* menu = bar->addMenu(ToQString(title));
    for (const CommandRow& row : CommandTable()) {
      if (row.menu == title) menu->addAction(actions_[row.id]);
    }
    connect(menu, &QMenu::aboutToShow, this, &TNyxelWindow::UpdateCommandStates);
  }
}

void TNyxelWindow::LayOutControlBar() {
  bar_ids_ =
      ControlBarLayout(observatory_->session.store.ColourConverted != 0, observatory_->session.settings.guide_interface != 'n');
  control_bar_->clear();
  for (int id : bar_ids_) {
    if (id == kSeparator) {
      control_bar_->addSeparator();
    } else {
      control_bar_->addAction(actions_[id]);
    }
  }
  update();
}

void TNyxelWindow::UpdateControlBar() {
  LayOutControlBar();
  UpdateCommandStates();
}

std::vector<int> TNyxelWindow::ControlBarIds() const {
  return bar_ids_;
}

QAction* TNyxelWindow::action(int id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

bool TNyxelWindow::CommandEnabled(int id) {
  if (FindCommandRow(id) == nullptr) return false;
  if (GuideCommand(id) && observatory_->session.settings.guide_interface == 'n') return false;
  if (observatory_->state.Running && !AllowedWhileRunning(id)) return false;
  const CommandHandler* handler = FindCommandHandler(id);
  if (handler == nullptr || !handler->run) return false;
  return !handler->enabled || handler->enabled(*this);
}

bool TNyxelWindow::CommandChecked(int id) {
  const CommandHandler* handler = FindCommandHandler(id);
  return handler != nullptr && handler->checked && handler->checked(*this);
}

void TNyxelWindow::UpdateCommandStates() {
  for (auto& [id, a] : actions_) {
    a->setEnabled(CommandEnabled(id));
    if (a->isCheckable()) a->setChecked(CommandChecked(id));
  }
}

bool TNyxelWindow::RunCommand(int id) {
  if (!CommandEnabled(id)) return false;
  const CommandHandler* handler = FindCommandHandler(id);
  try {
    handler->run(*this);
  } catch (const std::exception& e) {
    // Nothing may leave a Qt slot by exception; say what went wrong instead.
    ShowMessage(host_, kOwnTextMessage, e.what());
  }
  KeepViewChoices();
  UpdateCommandStates();
  return true;
}

// Writes the View choices when a command (a View command, a control-bar button, the camera dialog)
// has changed them.
void TNyxelWindow::KeepViewChoices() {
  if (!kept_view_) return;
  const ViewChoices now = CurrentViewChoices(session().store);
  if (now == *kept_view_) return;
  // A file that cannot be written is not tried again after every command; the choices last this run.
  *kept_view_ = now;  // engaged: checked above
  SaveViewChoices(session().store, session().prefs, session().drive);
}

int TNyxelWindow::ExecDialog(QDialog& dialog) {
  if (dialog_runner) return dialog_runner(dialog);
  return dialog.exec();
}

void TNyxelWindow::Refresh() {
  observatory_->session.Refresh();
  UpdateCommandStates();
}

void TNyxelWindow::Repaint() {
  view_->viewport()->update();
}

QPoint TNyxelWindow::scrollPosition() const {
  return {view_->horizontalScrollBar()->value(), view_->verticalScrollBar()->value()};
}

void TNyxelWindow::ResetScroller() {
  view_->UpdateScrollRange();
  view_->horizontalScrollBar()->setValue(0);
  view_->verticalScrollBar()->setValue(0);
  view_->viewport()->update();
}

bool TNyxelWindow::ShowBitmap(const std::filesystem::path& bitmap_file) {
  QImage image;
  if (!image.load(QString::fromStdString(bitmap_file.string()), "BMP")) {
    ShowMessage(host_, 32);
    return false;
  }
  picture_ = std::move(image);
  // The 8-bit picture brings its palette in the file's colour table; a colour picture needs none.
  pixmap_ = QPixmap::fromImage(picture_);
  ResetScroller();
  // Inside a paint (a pending rebuild) the running paint shows the new picture.
  if (view_->isVisible() && !painting_) view_->viewport()->repaint();
  // The paint's black-level estimate, also when the window is hidden and nothing is painted.
  EstimateBlackLevel(observatory_->session.store);
  return true;
}

void TNyxelWindow::PaintPicture(QPainter& painter, const QRect& area) {
  ImageStore& store = observatory_->session.store;
  if (rebuild_pending_) {
    rebuild_pending_ = false;
    painting_ = true;
    observatory_->session.Refresh();
    painting_ = false;
  }
  Settings& s = observatory_->session.settings;
  if (s.background_changed) {
    background_ = QColor(s.background_red, s.background_green, s.background_blue);
    s.background_changed = false;
  }
  const QBrush brush(background_);
  if (pixmap_.isNull()) {
    painter.fillRect(area, brush);
    return;
  }
  const QPoint offset = scrollPosition();
  const QRect client = view_->viewport()->rect();
  if (store.FitToWindow) {
    painter.drawPixmap(client, pixmap_);
  } else {
    painter.drawPixmap(-offset.x(), -offset.y(), pixmap_);
    const int right = pixmap_.width() - offset.x();
    const int bottom = pixmap_.height() - offset.y();
    if (right < client.width())
      painter.fillRect(QRect(right, 0, client.width() - right, client.height()), brush);
    if (bottom < client.height())
      painter.fillRect(QRect(0, bottom, client.width(), client.height() - bottom), brush);
  }
  if (guide_cross_) {
    painter.setPen(QPen(QColor(255, 255, 0), 1));
    const QPoint c = guide_point_ - offset;
    painter.drawLine(c.x(), c.y() - 20, c.x(), c.y() + 20);
    painter.drawLine(c.x() - 20, c.y(), c.x() + 20, c.y());
  }
  EstimateBlackLevel(store);
}

void TNyxelWindow::setGuideCross(bool shown, int x, int y) {
  guide_cross_ = shown;
  guide_point_ = QPoint(x, y);
  view_->viewport()->update();
}

void TNyxelWindow::MoveCursorToPicture(int x, int y) {
  QCursor::setPos(view_->viewport()->mapToGlobal(QPoint(x, y) - scrollPosition()));
}

QPrinter& TNyxelWindow::printer() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer_;
}

void TNyxelWindow::ShowHelp() {
  if (!QFile::exists(help_source_)) {
    host_.OwnedMessageBox("WinHelp failed!", kMessageCaption, MessageIcon::Stop);
    return;
  }
  if (help_window_ == nullptr) {
    auto* browser = new QTextBrowser(this);
    browser->setWindowFlag(Qt::Window);
    browser->setWindowTitle(QStringLiteral("Nyxel Help"));
    browser->setOpenExternalLinks(false);
    browser->resize(640, 520);
    help_window_ = browser;
  }
  auto* browser = static_cast<QTextBrowser*>(help_window_);
  const QString source = help_source_.startsWith(QLatin1Char(':'))
                             ? QStringLiteral("qrc") + help_source_
                             : QUrl::fromLocalFile(help_source_).toString();
  browser->setSource(QUrl(source));
  browser->show();
  browser->raise();
}

}  // namespace nyxel
