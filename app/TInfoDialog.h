#pragma once
// "Guiding Info" (dialog 22), modeless: the guide star's position and drift, and the guide frame with a
// cross through the reference the guider holds. Its caption tells the phase of guiding.
#include <QDialog>
#include <QImage>
#include <QLine>
#include <filesystem>
#include <functional>
#include <map>

#include "telescope/Guiding.h"

class QLineEdit;
class QPushButton;

namespace nyxel {

class TNyxelWindow;

class TInfoDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kPictureX = 75;
  static constexpr int kPictureY = 75;

  explicit TInfoDialog(QWidget* parent = nullptr);

  // Our addition: the "Guiding Graph" button opens the graph window through this.
  std::function<void()> open_graph;
  QPushButton* graphButton() const { return graph_button_; }

  // Edits 101, 102 (star x, y) and 103, 104 (drift x, y).
  QLineEdit* edit(int id) const;
  // Sets the edits ("%1.1f") and the cross.
  void SetValues(const GuidingInfoValues& values);
  // Loads the guide bitmap; a file that cannot be read leaves the last picture.
  void LoadPicture(const std::filesystem::path& bitmap_file);
  const QImage& picture() const { return picture_; }
  // The cross through the reference, in dialog pixels.
  QLine horizontalLine() const;
  QLine verticalLine() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::map<int, QLineEdit*> edits_;
  QPushButton* graph_button_ = nullptr;
  QImage picture_;
  int ref_x_ = 0, ref_y_ = 0;
};

// Gives the window's guider its Guiding Info window, the cursor moves of picking and the click that
// picks (once per window; the commands that guide call it first).
void AttachGuiding(TNyxelWindow& window);
// The guide-star cross follows pick mode and the picked star.
void UpdateGuideCross(TNyxelWindow& window);

}  // namespace nyxel
