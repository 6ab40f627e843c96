#pragma once
// The window's Host: message boxes, beeps, the busy cursor, the "Filter Progress" window, the caption,
// showing the display bitmap, and pumping events inside long operations.
#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "core/Host.h"

class QWidget;

namespace nyxel {

class TNyxelWindow;
class TProgressDialog;

class QtHost : public Host {
 public:
  struct Box {
    std::string text;
    std::string caption;
    MessageIcon icon;
    MessageButtons buttons;
  };

  explicit QtHost(TNyxelWindow& window);
  ~QtHost() override;

  int MessageBox(std::string_view text, std::string_view caption, MessageIcon icon = MessageIcon::None,
                 MessageButtons buttons = MessageButtons::Ok) override;
  void Beep(int kind = 0) override;
  void SetBusyCursor(bool busy) override;
  void ProgressOpen(std::string_view caption) override;
  void ProgressSetCaption(std::string_view caption) override;
  void ProgressSetPosition(int percent) override;
  void ProgressClose() override;
  bool PumpMessages() override;
  void SetCaption(std::string_view caption) override;
  bool ShowBitmap(const std::filesystem::path& bitmap_file) override;

  // A box owned by the main window (help failures), otherwise as MessageBox.
  int OwnedMessageBox(std::string_view text, std::string_view caption, MessageIcon icon);

  // The user closed the window of the run under way (its close button or Escape): from now on every pump
  // reports an abort, so the run ends as the abort key ends it. Outside a run it does nothing.
  void RequestStop();
  bool StopRequested() const override { return stop_requested_; }
  // The command that started a run is ending: a stop asked for that run must not end the next one.
  void RunCommandEnded() { stop_requested_ = false; }

  // Shows the progress window again at its last position and caption.
  void ProgressRefresh();
  TProgressDialog* progress() const { return progress_.get(); }
  int ProgressPosition() const { return progress_position_; }

  // When set, boxes go here instead of the screen (tests answer them without blocking).
  std::function<int(const Box&)> box_hook;
  // When set, beeps go here.
  std::function<void(int)> beep_hook;

 private:
  int ShowBox(QWidget* owner, std::string_view text, std::string_view caption, MessageIcon icon,
              MessageButtons buttons);

  TNyxelWindow& window_;
  std::unique_ptr<TProgressDialog> progress_;
  int progress_position_ = 0;
  int busy_depth_ = 0;
  bool stop_requested_ = false;
};

}  // namespace nyxel
