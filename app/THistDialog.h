#pragma once
// "Histogram of Current Image": the display histogram as bars over an axis, counts above 1000 cut and
// drawn red, the first fifteen of them listed beside it. Modeless; it shows whatever the store's
// histogram holds when it paints.
#include <QDialog>
#include <QWidget>

#include "core/Host.h"
#include "core/ImageStore.h"

class QPushButton;

namespace nyxel {

class THistCanvas : public QWidget {
  Q_OBJECT

 public:
  THistCanvas(const ImageStore& store, QWidget* parent);
  // The pens: axis, normal bars, truncated bars.
  static QColor AxisColour();
  static QColor BarColour();
  static QColor RedColour();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const ImageStore& store_;
};

class THistDialog : public QDialog {
  Q_OBJECT

 public:
  THistDialog(const ImageStore& store, Host& host, QWidget* parent = nullptr);

  QPushButton* closeButton() const { return close_; }  // control 101
  QPushButton* helpButton() const { return help_; }    // control 9
  THistCanvas* canvas() const { return canvas_; }

 private:
  THistCanvas* canvas_;
  QPushButton* close_;
  QPushButton* help_;
};

}  // namespace nyxel
