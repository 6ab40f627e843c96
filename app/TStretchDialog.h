#pragma once
// "Normal Stretch": the image histogram with the black and white points, which stay black < white.
#include <QDialog>
#include <QWidget>
#include <array>
#include <cstdint>

#include "core/Host.h"
#include "core/ImageStore.h"

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace nyxel {

struct NormalStretchValues {
  int black = 0;    // 0..255
  int white = 255;  // 1..300
};

// One vertical line per display level, a fifth of its count high, cut at 210 in a second colour, over
// an axis with ticks every 32 levels; markers below at the black and white points.
class TStretchHistogramView : public QWidget {
 public:
  TStretchHistogramView(const std::array<uint32_t, kHistogramBins>& histogram,
                        const NormalStretchValues& values, QWidget* parent);
  QSize sizeHint() const override { return {2 * kLeft + 256, kBaseLine + 24}; }

  static constexpr int kLeft = 10;
  static constexpr int kBaseLine = 215;
  static constexpr int kMaxHeight = 210;
  static constexpr int kCountsPerPixel = 5;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const std::array<uint32_t, kHistogramBins>& histogram_;
  const NormalStretchValues& values_;
};

class TStretchDialog : public QDialog {
  Q_OBJECT

 public:
  TStretchDialog(const std::array<uint32_t, kHistogramBins>& histogram, NormalStretchValues& values,
                 Host& host, QWidget* parent = nullptr);

  // Scroll bars 102 black, 103 white; edits 101 black, 104 white.
  QScrollBar* blackBar() const { return black_bar_; }
  QScrollBar* whiteBar() const { return white_bar_; }
  QLineEdit* blackEdit() const { return black_edit_; }
  QLineEdit* whiteEdit() const { return white_edit_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* helpButton() const { return help_; }
  TStretchHistogramView* histogramView() const { return view_; }

  static constexpr const char* kHelpCaption = "TESSARON - Normal Stretch";
  static constexpr const char* kHelpText =
      "Use controls to vary intensity from 0 to 255, where the lowest value will be shown as black and the "
      "highest by white. You can darken the whole image by increasing the white value to 300";

 private:
  void BlackAction(int action);
  void WhiteAction(int action);
  void RefreshControls();

  NormalStretchValues& values_;
  Host& host_;
  TStretchHistogramView* view_;
  QScrollBar *black_bar_, *white_bar_;
  QLineEdit *black_edit_, *white_edit_;
  QPushButton *ok_, *help_;
};

}  // namespace nyxel
