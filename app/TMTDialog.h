#pragma once
// "NYXEL_RV9 Move Telescope" (dialog 18), modeless: go-to by catalogue number, planet or coordinates,
// the telescope's reply, press-and-hold moves at the chosen rate and the focuser. It only collects what
// the user does; the handler sends the commands.
#include <QDialog>
#include <QScrollBar>
#include <array>
#include <functional>
#include <map>
#include <string>

class QLineEdit;
class QLabel;
class QPlainTextEdit;
class QRadioButton;

namespace nyxel {

// A scroll bar whose arrows start something when pressed and stop it when released: `step` gets -1
// (left / up) or +1 (right / down) for every line step (held arrows repeat), `end` the end of scrolling.
class TArrowBar : public QScrollBar {
  Q_OBJECT

 public:
  TArrowBar(Qt::Orientation orientation, QWidget* parent);
  std::function<void(int)> step;
  std::function<void()> end;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void End();
};

class TMTDialog : public QDialog {
  Q_OBJECT

 public:
  struct Actions {
    std::function<void(long messier, long cngc)> goto_object;
    std::function<void(int star_number)> goto_planet;
    std::function<void(long ra_hours, long ra_minutes, long dec_degrees, long dec_minutes)> goto_coordinates;
    std::function<void(int rate_index)> rate;  // 0 Slew, 1 Find, 2 Centre, 3 Guide
    std::function<void(bool fast)> focus_speed;
    std::function<void(char compass)> move_start;  // 'n', 's', 'e' or 'w'
    std::function<void()> move_end;
    std::function<void(bool in)> focus_start;
    std::function<void()> focus_end;
    std::function<void()> help;
  };
  // What the dialog shows: the reply text, the stored rate and focus speed, and the letters the
  // drive-direction setting sends for N, S, E and W (a swapped pair is noted under the arrows).
  struct View {
    std::string reply;
    int rate_index = 0;
    bool focus_fast = false;
    std::array<char, 4> drive_directions = {'n', 's', 'e', 'w'};
  };

  // The note under the direction arrows for these drive directions: "" when none is swapped.
  static QString SwapNote(const std::array<char, 4>& drive_directions);

  TMTDialog(Actions actions, std::function<View()> view, QWidget* parent);

  // The control with this resource id (101..126, 9, 2).
  QWidget* control(int id) const;
  void Refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void done(int result) override;

 private:
  Actions actions_;
  std::function<View()> view_;
  std::map<int, QWidget*> controls_;
  QPlainTextEdit* reply_;
  QRadioButton* rates_[4];
  QRadioButton* fast_;
  QRadioButton* slow_;
  QLabel* swap_note_ = nullptr;
};

}  // namespace nyxel
