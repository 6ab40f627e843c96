#pragma once
// The main window: menus, control bar and status bar built from the command table, the picture with
// its scroller, and the routing of every command id to its registered handler.
#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "app/QtHost.h"
#include "app/ViewChoices.h"
#include "core/Clock.h"
#include "files/Session.h"
#include "telescope/Observatory.h"

class QAction;
class QPrinter;
class QDialog;
class QToolBar;

namespace nyxel {

class TPictureView;
struct Simulation;
class CameraTransport;

// How the program was started: with the real camera over USB, or the simulated camera and mount.
struct StartOptions {
  bool simulate = false;
  uint32_t seed = 1;  // the simulated sky
  // Restore the View choices from the program's settings file and keep them there (the window
  // program does; tests start from the plain defaults unless they ask).
  bool keep_view_choices = false;
};

class TNyxelWindow : public QMainWindow {
  Q_OBJECT

 public:
  // The frame caption before the first picture names the file.
  static constexpr const char* kFrameCaption = "Quorra RV9 USB Colour Camera Software";

  // drive_root stands for drive c:. Without a clock the real one is used (tests pass a simulated one);
  // box_hook answers the message boxes from the start (see QtHost::box_hook).
  explicit TNyxelWindow(const std::filesystem::path& drive_root, Clock* clock = nullptr,
                        std::function<int(const QtHost::Box&)> box_hook = {}, QWidget* parent = nullptr,
                        StartOptions options = {});
  ~TNyxelWindow() override;

  Session& session() { return observatory_->session; }
  // The session with the camera, its run settings and the telescope link.
  Observatory& observatory() { return *observatory_; }
  // The simulated camera and sky with --simulate, else nullptr.
  Simulation* simulation() { return simulation_.get(); }
  QtHost& host() { return host_; }
  // " (simulated camera)" with --simulate, so no one takes a simulated frame for the sky.
  QString CaptionSuffix() const;
  // Owner for dialogs and message boxes of the commands.
  QWidget* dialogParent() { return this; }

  // Engine refresh (bitmap file written), then load and paint; the command enablers follow.
  void Refresh();
  // Repaints the picture from the loaded bitmap (no rebuild).
  void Repaint();
  // Scroll range from the picture and window sizes (0, 0 with fit to window), position 0, 0, repaint.
  void ResetScroller();
  // Loads a bitmap file written by the display: palette from its colour table, scroller reset, paint,
  // black-level estimate. A file that cannot be read shows message 32 and keeps the previous picture.
  bool ShowBitmap(const std::filesystem::path& bitmap_file);

  // Runs a command by id as the menu would: false when it has no handler or is disabled now.
  bool RunCommand(int id);
  bool CommandEnabled(int id);
  bool CommandChecked(int id);
  // Sets the enabled and checked state of every action from the handlers and enablers.
  void UpdateCommandStates();
  // The action of a command id (menu item, button, shortcut), or nullptr.
  QAction* action(int id) const;

  // Control bar: geometry button for colour pictures, the two max-stretch buttons otherwise (call after
  // opening a file, colour synthesis and an exposure).
  void UpdateControlBar();
  // Command ids of the control bar as laid out now, 0 for a separator.
  std::vector<int> ControlBarIds() const;

  // Runs a modal dialog; tests replace `dialog_runner` to answer without blocking.
  int ExecDialog(QDialog& dialog);
  std::function<int(QDialog&)> dialog_runner;

  // The loaded picture (null before the first load).
  const QImage& picture() const { return picture_; }
  bool PictureLoaded() const { return !picture_.isNull(); }
  // Scroll position in picture pixels.
  QPoint scrollPosition() const;

  // The guide-star cross, drawn about picture point (x, y) while shown.
  void setGuideCross(bool shown, int x = 0, int y = 0);
  // Moves the mouse pointer onto picture point (x, y).
  void MoveCursorToPicture(int x, int y);
  // The merge dialog asks the next paint to refresh the display first.
  void SetRebuildPending() { rebuild_pending_ = true; }

  // The printer the print and print setup commands share.
  QPrinter& printer();

  // The help pages (a Qt resource or file path of the contents page); tests point it elsewhere.
  void SetHelpSource(const QString& contents_page) { help_source_ = contents_page; }
  const QString& HelpSource() const { return help_source_; }
  // Opens the help window at its contents page; "WinHelp failed!" when the pages cannot be found.
  void ShowHelp();

 signals:
  // Mouse over and left button up on the picture, in picture pixels (window position plus scroll).
  void onPictureMouseMove(int x, int y);
  void onPictureLeftClick(int x, int y);
  // The View commands that change the geometry close the Pixel Value window first.
  void valuesDialogCloseRequested();

 private:
  friend class TPictureView;
  void BuildMenus();
  void BuildActions();
  void LayOutControlBar();
  void PaintPicture(class QPainter& painter, const QRect& area);
  void KeepViewChoices();

  QtHost host_;
  std::unique_ptr<Clock> own_clock_;
  std::unique_ptr<Simulation> simulation_;
  std::unique_ptr<CameraTransport> usb_;
  std::unique_ptr<Observatory> observatory_;
  std::optional<ViewChoices> kept_view_;  // as last written, while the View choices are kept
  TPictureView* view_ = nullptr;
  QToolBar* control_bar_ = nullptr;
  std::map<int, QAction*> actions_;
  std::vector<int> bar_ids_;
  QImage picture_;
  QPixmap pixmap_;
  QColor background_;
  bool guide_cross_ = false;
  QPoint guide_point_;
  bool rebuild_pending_ = false;
  bool painting_ = false;
  QString help_source_ = QStringLiteral(":/help/index.html");
  class QWidget* help_window_ = nullptr;
  std::unique_ptr<QPrinter> printer_;
};

}  // namespace nyxel
