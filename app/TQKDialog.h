#pragma once
// The camera control dialog: exposure unit and value, the number of exposures and the pause between
// them, the palette stretch, the run's check boxes, focus mode, and the file and guiding values it
// shows. Every action changes its value at once and refreshes the whole dialog.
#include <QDialog>
#include <QImage>
#include <QRect>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "camera/ExposureRun.h"
#include "core/Host.h"

class QAbstractButton;
class QLineEdit;
class QScrollBar;

namespace nyxel {

// What the dialog shows and changes. The run settings and the store's stretch values are edited in place.
struct CameraDialogValues {
  CameraDialogValues(RunSettings& run_, int& palette_bits_, int& max_palette_all_, const int& max_value_)
      : run(run_), palette_bits(palette_bits_), max_palette_all(max_palette_all_), max_value(max_value_) {}

  RunSettings& run;
  int& palette_bits;                    // the store's PaletteBits, 12..16
  int& max_palette_all;                 // the store's MaxPaletteAll
  const int& max_value;                 // the last focus "Max Value"
  const StarSize* star_size = nullptr;  // the last focus frame's star size, shown beside it
  const FocusTrend* trend = nullptr;    // the last frames' sizes, plotted
  std::string dark_file;
  int last_file_no = 0;
  std::string autosave_dir;
  int guiding_frames = 0;
  std::filesystem::path focus_bitmap;  // drawn at (351, 110) once written
  const bool* focus_bitmap_written = nullptr;
  bool self_guiding_available = false;  // "Self-Guide Next Exposure" and "Take matching Darkframe"
  std::function<void()> start_focus;    // "Start": runs focus mode while the dialog stays open
  std::function<void()> self_guide;     // 123
  std::function<void()> matching_dark;  // 125
};

class TQKDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "Quorra RV9 - Camera Control Interface";
  static constexpr const char* kHelpCaption = "TESSWIN - Control QK Camera";
  static const char* const kHelpText;
  static constexpr int kFocusPictureX = 351;
  static constexpr int kFocusPictureY = 110;
  // Our additions beside "Max Value": the star's half-flux radius and FWHM, and their trend.
  static constexpr int kHfrEdit = 140;
  static constexpr int kFwhmEdit = 141;
  static constexpr QRect kTrendArea{530, 186, 165, 52};

  TQKDialog(CameraDialogValues& values, Host& host, QWidget* parent = nullptr);

  // The control with the resource id (buttons, check boxes, radio buttons, scroll bars, edits).
  QWidget* control(int id) const;
  QAbstractButton* button(int id) const;
  QScrollBar* bar(int id) const;
  QLineEdit* edit(int id) const;
  // Sets every control from the values and redraws the focus picture.
  void RefreshDialog();
  const QImage& focusPicture() const { return focus_picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Place(int id, QWidget* widget, int x, int y, int w, int h);
  void AddCheck(int id, const char* text, bool RunSettings::*flag, int x, int y);
  void AddCounter(int bar_id, int edit_id, const char* label, int x, int y, int RunSettings::*field, int low,
                  int high_fixed);

  CameraDialogValues& values_;
  Host& host_;
  std::map<int, QWidget*> controls_;
  QImage focus_picture_;
};

}  // namespace nyxel
