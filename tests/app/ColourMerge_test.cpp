// The Colour and Merge menus in the window: dialogs returning their values, refusals, the merge dialog
// with marks by left clicks and File/Open of the image to be merged.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "app/CommandRegistry.h"
#include "app/TBalanceDialog.h"
#include "app/TChromaticDialog.h"
#include "app/TColourDialog.h"
#include "app/TMergeDialog.h"
#include "app/TNyxelWindow.h"
#include "core/Clock.h"
#include "files/RawFile.h"
#include "files/SettingsFile.h"
#include "processing/DarkFlatMerge.h"
#include "tests/support/TestSupport.h"

namespace nyxel::test {
namespace {

class ColourMergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", dir.path().c_str(), 1);
    if (QApplication::instance() == nullptr) {
      if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
      static int argc = 1;
      static char name[] = "tests_app";
      static char* argv[] = {name, nullptr};
      static QApplication app(argc, argv);
    }
    window = std::make_unique<TNyxelWindow>(dir.path() / "drive", &clock, [this](const QtHost::Box& box) {
      boxes.push_back(box.text);
      return kIdOk;
    });
    window->host().beep_hook = [this](int) { ++beeps; };
    window->dialog_runner = [this](QDialog& d) { return on_dialog ? on_dialog(d) : int(QDialog::Rejected); };
  }
  void TearDown() override { window.reset(); }
  ImageStore& Store() { return window->session().store; }
  TMergeDialog* MergeDialog() {
    for (auto* d : window->findChildren<TMergeDialog*>())
      if (d->isVisible()) return d;
    return nullptr;
  }

  TempDir dir;
  SimulatedClock clock;
  std::vector<std::string> boxes;
  int beeps = 0;
  std::function<int(QDialog&)> on_dialog;
  std::unique_ptr<TNyxelWindow> window;
};

TEST_F(ColourMergeTest, ColourDialogValidatesThenSynthesizesAndSaves) {
  int runs = 0;
  on_dialog = [&](QDialog& d) {
    auto& dialog = dynamic_cast<TColourDialog&>(d);
    ++runs;
    dialog.radioButton(108)->click();
    EXPECT_TRUE(dialog.radioButton(108)->isChecked());
    EXPECT_FALSE(dialog.radioButton(107)->isChecked());
    dialog.checkBox(104)->click();  // anti-alias off (default on)
    // 30 is out of range: beep, the dialog stays and shows the stored value again; 6 for dia. is kept.
    dialog.edit(110)->setText("30");
    dialog.edit(113)->setText("6");
    dialog.createButton()->click();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.edit(110)->text(), "4");
    EXPECT_EQ(dialog.edit(113)->text(), "6");
    dialog.edit(110)->setText("12");
    dialog.createButton()->click();
    return dialog.result();
  };
  ASSERT_TRUE(window->RunCommand(115));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(Store().ColourConverted, 1);
  Settings saved;
  ASSERT_EQ(LoadSettings(saved, window->session().drive, window->host()), 0);
  EXPECT_TRUE(saved.user_stretch);
  EXPECT_EQ(saved.user_stretch_value, 12);
  EXPECT_EQ(saved.unsharp_diameter, 6);
  EXPECT_FALSE(saved.anti_alias);
  EXPECT_EQ(Store().History.Line(0), "Non-Linear Stretch : power 12");
  // Once converted, a second synthesis is refused without a dialog.
  ASSERT_TRUE(window->RunCommand(115));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(boxes, std::vector<std::string>{"Already Colour Converted"});
}

TEST_F(ColourMergeTest, ColourCommandsRefuseGreyImages) {
  on_dialog = [](QDialog&) -> int {
    ADD_FAILURE() << "no dialog expected";
    return QDialog::Rejected;
  };
  for (int id : {116, 114, 119, 129, 10}) {
    boxes.clear();
    ASSERT_TRUE(window->RunCommand(id)) << id;
    EXPECT_EQ(boxes, std::vector<std::string>{"Image not Colour Converted"}) << id;
  }
}

TEST_F(ColourMergeTest, BalanceAndChromaticDialogsReturnTheirValues) {
  ImageStore& store = Store();
  store.ColourConverted = 1;
  std::fill_n(store.RedPlane.begin(), kFramePixels, 100);
  std::fill_n(store.GreenPlane.begin(), kFramePixels, 100);
  std::fill_n(store.BluePlane.begin(), kFramePixels, 100);
  store.RedPlane[PixelIndex(50, 50)] = 7;
  on_dialog = [](QDialog& d) {
    auto& dialog = dynamic_cast<TBalanceDialog&>(d);
    EXPECT_EQ(dialog.edit(104)->text(), "0");
    dialog.scrollBar(101)->setValue(10);
    dialog.scrollBar(118)->setValue(-5);
    dialog.scrollBar(102)->setValue(200);  // beyond the range: held at 127
    EXPECT_EQ(dialog.edit(104)->text(), "10");
    EXPECT_EQ(dialog.edit(105)->text(), "127");
    dialog.scrollBar(102)->setValue(0);
    return int(QDialog::Accepted);
  };
  ASSERT_TRUE(window->RunCommand(116));
  EXPECT_EQ(store.RedPlane[PixelIndex(10, 10)], 80);
  EXPECT_EQ(store.BluePlane[PixelIndex(10, 10)], 110);
  EXPECT_EQ(store.GreenPlane[PixelIndex(10, 10)], 100);
  EXPECT_EQ(store.UndoRed[PixelIndex(10, 10)], 100);

  on_dialog = [](QDialog& d) {
    auto& dialog = dynamic_cast<TChromaticDialog&>(d);
    dialog.scrollBar(151)->setValue(1);
    dialog.scrollBar(102)->setValue(-9);  // held at -3
    EXPECT_EQ(dialog.edit(156)->text(), "1");
    EXPECT_EQ(dialog.edit(159)->text(), "-3");
    return int(QDialog::Accepted);
  };
  const Plane red = store.RedPlane;
  ASSERT_TRUE(window->RunCommand(119));
  EXPECT_EQ(store.RedPlane[PixelIndex(50, 49)], red[PixelIndex(50, 50)]);
  // Undo Last Colour Filter restores the planes before the chromatism.
  ASSERT_TRUE(window->RunCommand(10));
  EXPECT_EQ(store.RedPlane, red);
}

TEST_F(ColourMergeTest, MergeDialogMarksOpensAndMerges) {
  ImageStore& store = Store();
  std::fill_n(store.CurrentFrame.begin(), kFramePixels, 1000);
  // A monochrome image to merge, on disk: every pixel 300.
  std::vector<unsigned char> bytes(kRawMonoLength);
  for (size_t i = 0; i < bytes.size(); i += 2) bytes[i] = 44, bytes[i + 1] = 1;
  const auto file = dir.path() / "second~";
  WriteBytes(file, bytes);
  // File Open as a stand-in that loads `file` (or, with `cancel`, does nothing), restored afterwards.
  bool cancel = false;
  const CommandHandler* existing = FindCommandHandler(24332);
  const CommandHandler previous = existing ? *existing : CommandHandler{};
  RegisterCommand{24332, {[&](TNyxelWindow& w) {
                    if (!cancel) LoadImageFile(w.session().store, w.session().settings.fits, w.host(), file);
                  }}};

  ASSERT_TRUE(window->RunCommand(111));
  TMergeDialog* dialog = MergeDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->radioButton(101)->isChecked());
  ASSERT_TRUE(window->RunCommand(111));
  EXPECT_EQ(boxes, std::vector<std::string>{"Sorry, you are already in Merging mode."});

  emit window->onPictureLeftClick(2, 100);  // too near the edge: ignored
  emit window->onPictureLeftClick(120, 80);
  EXPECT_EQ(dialog->edit(104)->text(), "120");
  EXPECT_EQ(dialog->edit(106)->text(), "80");
  dialog->mergeButton()->click();  // no second image yet: nothing happens
  EXPECT_EQ(store.MergeMode, 1);
  EXPECT_EQ(MergeDialog(), dialog);

  cancel = true;
  ASSERT_TRUE(window->RunCommand(24332));
  EXPECT_TRUE(dialog->radioButton(101)->isChecked());
  cancel = false;
  ASSERT_TRUE(window->RunCommand(24332));
  EXPECT_TRUE(dialog->radioButton(102)->isChecked());
  EXPECT_EQ(store.CurrentFrame[PixelIndex(100, 100)], 300);
  emit window->onPictureLeftClick(121, 82);
  EXPECT_EQ(dialog->edit(105)->text(), "121");
  dialog->checkBox(103)->click();
  EXPECT_EQ(store.MergeAverage, 1);
  dialog->mergeButton()->click();
  QApplication::processEvents();
  EXPECT_EQ(store.MergeMode, 0);
  EXPECT_EQ(MergeDialog(), nullptr);
  EXPECT_EQ(store.CurrentFrame[PixelIndex(100, 100)], 650);
  RegisterCommand{24332, previous};
  // The wrapper went with the dialog.
  const CommandHandler* after = FindCommandHandler(24332);
  EXPECT_EQ(after != nullptr && after->run, static_cast<bool>(previous.run));
}

}  // namespace
}  // namespace nyxel::test
