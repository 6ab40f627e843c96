#pragma once
// "Colour Starting Balance": the three planes' histograms, a starting value per colour and the
// saturation factor.
#include <QDialog>
#include <QWidget>

#include "core/Host.h"
#include "processing/Colour.h"

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace nyxel {

struct BalanceValues {
  ColourBalance start;        // BalanceStart, each -10..127
  int saturation_factor = 2;  // 1..9
};

// The three 128-bin histograms side by side, one column per bin, as the dialog paints them.
class TBalanceHistogramView : public QWidget {
 public:
  TBalanceHistogramView(const BalanceHistograms& histograms, const BalanceValues& values, QWidget* parent);
  QSize sizeHint() const override { return {440, 232}; }

  static constexpr int kPanelStart[3] = {8, 158, 308};
  static constexpr int kBaseLine = 210;
  static constexpr int kCountsPerPixel = 15;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const BalanceHistograms& histograms_;
  const BalanceValues& values_;
};

class TBalanceDialog : public QDialog {
  Q_OBJECT

 public:
  TBalanceDialog(const BalanceHistograms& histograms, BalanceValues& values, Host& host,
                 QWidget* parent = nullptr);

  // Scroll bars 101 red, 102 green, 118 blue, 103 saturation; edits 104, 105, 106, 108.
  QScrollBar* scrollBar(int id) const;
  QLineEdit* edit(int id) const;
  QPushButton* helpButton() const { return help_; }

  static constexpr const char* kHelpCaption = "TESSARON - Balance Colours";
  static constexpr const char* kHelpText =
      "Use controls to vary the starting value for each colour. You may increase the intensity of a "
      "colour by making the starting value negative.\n\nThe overall colour saturation of the image can be "
      "changed by varying the colour saturation field. A value of 2 is recommended for most images.";

 private:
  void RefreshControls();

  BalanceValues& values_;
  Host& host_;
  TBalanceHistogramView* view_;
  QScrollBar *red_, *green_, *blue_, *saturation_;
  QLineEdit *red_edit_, *green_edit_, *blue_edit_, *saturation_edit_;
  QPushButton* help_;
};

}  // namespace nyxel
