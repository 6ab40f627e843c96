// Histogram, Pixel Value and Label Current Image: the windows, their texts and the commands' wiring.
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>

#include "app/THistDialog.h"
#include "app/TLabelDialog.h"
#include "app/TValuesDialog.h"
#include "core/Display.h"
#include "processing/Histogram.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel::test {
namespace {

class AnalysisTest : public WindowTest {
 protected:
  template <typename T>
  std::vector<T*> Visible() {
    std::vector<T*> found;
    for (T* d : window->findChildren<T*>())
      if (d->isVisible()) found.push_back(d);
    return found;
  }
};

TEST_F(AnalysisTest, HistogramWindowIsSingleAndDrawsCutBarsRed) {
  ImageStore& store = window->session().store;
  ASSERT_TRUE(window->RunCommand(6));
  ASSERT_TRUE(window->RunCommand(6));
  auto open = Visible<THistDialog>();
  ASSERT_EQ(open.size(), 1u);
  THistDialog* dialog = open[0];
  EXPECT_EQ(dialog->windowTitle(), "Histogram of Current Image");
  EXPECT_FALSE(dialog->isModal());

  store.DisplayHistogram.fill(0);
  store.DisplayHistogram[10] = 1055;  // cut and red
  store.DisplayHistogram[20] = 500;   // 100 pixels high
  store.DisplayHistogram[30] = 1054;  // full height, normal pen
  const QImage image = dialog->canvas()->grab().toImage();
  struct Probe {
    int x, y;
    QColor colour;
  };
  const QColor background = image.pixelColor(150, 100);
  const Probe probes[] = {
      {18, 210, THistCanvas::RedColour()},
      {18, 1, THistCanvas::RedColour()},
      {18, 0, background},
      {28, 210, THistCanvas::BarColour()},
      {28, 111, THistCanvas::BarColour()},
      {28, 110, background},
      {38, 1, THistCanvas::BarColour()},
      {5, 100, THistCanvas::AxisColour()},
      {136, 224, THistCanvas::AxisColour()},
      {19, 150, background},
  };
  for (const Probe& p : probes) EXPECT_EQ(image.pixelColor(p.x, p.y), p.colour) << p.x << ", " << p.y;

  dialog->helpButton()->click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Tesswin - Display Histogram");
  EXPECT_EQ(boxes[0].text, kHistogramHelpText);

  dialog->closeButton()->click();
  EXPECT_TRUE(Visible<THistDialog>().empty());
  ASSERT_TRUE(window->RunCommand(6));
  EXPECT_EQ(Visible<THistDialog>().size(), 1u);
}

TEST_F(AnalysisTest, PixelValueWindowFollowsTheMouseUntilClosed) {
  ImageStore& store = window->session().store;
  store.RvGeometry = 1;
  ASSERT_TRUE(window->RunCommand(124));
  EXPECT_TRUE(Visible<TValuesDialog>().empty());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Nyxel");
  EXPECT_EQ(boxes[0].text.rfind("Sorry, Values only available in standard Geometry.", 0), 0u);
  store.RvGeometry = 0;

  struct Close {
    const char* how;
    std::function<void(TValuesDialog&)> close;
  };
  const Close closes[] = {
      {"Finished", [](TValuesDialog& d) { d.finishedButton()->click(); }},
      {"Escape", [](TValuesDialog& d) { d.reject(); }},
      {"fit to window", [this](TValuesDialog&) { window->RunCommand(301); }},
  };
  for (const Close& c : closes) {
    SCOPED_TRACE(c.how);
    store.FitToWindow = 0;
    ASSERT_TRUE(window->RunCommand(124));
    ASSERT_TRUE(window->RunCommand(124));  // already open: nothing happens
    auto open = Visible<TValuesDialog>();
    ASSERT_EQ(open.size(), 1u);
    TValuesDialog& dialog = *open[0];
    EXPECT_EQ(dialog.windowTitle(), "Pixel Value");
    EXPECT_EQ(store.ValuesDialogOpen, 1);

    // The start-up ramp: row r holds r x 225.
    emit window->onPictureMouseMove(100, 7);
    emit window->onPictureMouseMove(1, 8);  // outside 2..510: ignored
    const QLineEdit* edits[] = {dialog.xEdit(), dialog.yEdit(), dialog.rEdit(),
                                dialog.gEdit(), dialog.bEdit(), dialog.lumEdit()};
    const char* expected[] = {"100", "7", "0", "0", "0", "  1575"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(edits[i]->text(), expected[i]) << i;

    c.close(dialog);
    QApplication::processEvents();
    EXPECT_EQ(store.ValuesDialogOpen, 0);
    EXPECT_TRUE(Visible<TValuesDialog>().empty());
  }
}

TEST_F(AnalysisTest, LabelDialogBurnsTheLabelAndRemembersAutoDate) {
  ImageStore& store = window->session().store;
  FitsHeader& fits = window->session().settings.fits;
  const Frame before = store.CurrentFrame;

  // Cancel changes nothing but the remembered "Auto Date".
  on_dialog = [](QDialog& d) {
    auto& label = dynamic_cast<TLabelDialog&>(d);
    EXPECT_EQ(label.windowTitle(), "Label Current Image");
    EXPECT_FALSE(label.autoDateBox()->isChecked());
    label.autoDateBox()->click();
    label.textEdit()->setText("Lost");
    return static_cast<int>(QDialog::Rejected);
  };
  ASSERT_TRUE(window->RunCommand(8));
  EXPECT_EQ(store.CurrentFrame, before);

  // The FITS date is refused while too short, then taken; the text is cut at 30 characters.
  fits.fits_date_obs = "1/1/1";
  fits.fits_time_obs = "10:11:12";
  on_dialog = [&](QDialog& d) {
    auto& label = dynamic_cast<TLabelDialog&>(d);
    EXPECT_TRUE(label.autoDateBox()->isChecked());
    EXPECT_EQ(label.textEdit()->text(), "");
    label.fitsDateBox()->click();
    EXPECT_FALSE(label.fitsDateBox()->isChecked());
    fits.fits_date_obs = "14/11/99";
    label.fitsDateBox()->click();
    EXPECT_TRUE(label.fitsDateBox()->isChecked());
    label.textEdit()->setText("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefgh");
    label.okButton()->click();
    return label.result();
  };
  ASSERT_TRUE(window->RunCommand(8));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Sorry, FITs date not set");
  EXPECT_EQ(boxes[0].caption, "Nyxel");

  EXPECT_TRUE(LabelMarker(store));
  const LabelOptions options{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcd", true, true};
  auto reference = ImageStore::Create();
  reference->CurrentFrame = before;
  DrawLabel(*reference, LabelBanner(options, fits, std::tm{}));
  EXPECT_EQ(store.CurrentFrame, reference->CurrentFrame);
}

}  // namespace
}  // namespace nyxel::test
