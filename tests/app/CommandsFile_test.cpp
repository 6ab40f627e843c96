// The File commands in the window: file dialogs answered by the test, FITS details, quick save, delete,
// select dark frame, the autosave FITS text, undo and history.
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "app/TDeleteDialog.h"
#include "app/TFITSDialog.h"
#include "core/RecordingHost.h"
#include "files/FileCommands.h"
#include "files/SettingsFile.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel::test {
namespace {

class CommandsFileTest : public WindowTest {
 protected:
  // Answers the dialogs in order: a file dialog gets the next path (empty: cancel), a FITS dialog or
  // delete dialog the next action.
  void Answer(std::vector<std::function<int(QDialog&)>> answers) {
    answers_ = std::move(answers);
    next_ = 0;
    on_dialog = [this](QDialog& d) {
      seen.push_back(d.objectName().toStdString());
      if (next_ >= answers_.size()) return static_cast<int>(QDialog::Rejected);
      return answers_[next_++](d);
    };
  }
  static std::function<int(QDialog&)> Pick(const std::filesystem::path& file, QString* filter = nullptr,
                                           QStringList* selected = nullptr) {
    return [file, filter, selected](QDialog& d) {
      auto& dialog = dynamic_cast<QFileDialog&>(d);
      if (filter) *filter = dialog.selectedNameFilter();
      if (selected) *selected = dialog.selectedFiles();
      if (file.empty()) return static_cast<int>(QDialog::Rejected);
      dialog.selectFile(QString::fromStdString(file.string()));
      return static_cast<int>(QDialog::Accepted);
    };
  }
  Session& S() { return window->session(); }

  std::vector<std::string> seen;

 private:
  std::vector<std::function<int(QDialog&)>> answers_;
  size_t next_ = 0;
};

TEST_F(CommandsFileTest, ARefusedOpenLeavesTheWindowAsItWas) {
  const auto folder = dir.path() / "images";
  std::filesystem::create_directories(folder);
  S().store.CurrentFrame.fill(3000);
  Answer({Pick(folder / "~Moon")});
  ASSERT_TRUE(window->RunCommand(24333));
  ASSERT_EQ(window->windowTitle().toStdString(), "Nyxel - ~moon");

  const auto text = folder / "observing notes.txt";
  WriteBytes(text, std::vector<unsigned char>(100, 'x'));
  S().store.CurrentFrame[PixelIndex(10, 10)] = 1234;
  boxes.clear();
  Answer({Pick(text)});
  ASSERT_TRUE(window->RunCommand(24332));
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"You didn't choose a valid RV File"});
  EXPECT_EQ(window->windowTitle().toStdString(), "Nyxel - ~moon");
  EXPECT_EQ(S().store.CurrentFileName, "~moon");
  EXPECT_EQ(S().store.CurrentFrame[PixelIndex(10, 10)], 1234);
  EXPECT_EQ(S().store.CurrentFrame[PixelIndex(100, 100)], 3000);
  // A later repaint keeps the caption too.
  S().Refresh();
  EXPECT_EQ(window->windowTitle().toStdString(), "Nyxel - ~moon");
}

TEST_F(CommandsFileTest, OpenAndSaveThroughTheFileDialogs) {
  const auto folder = dir.path() / "images";
  std::filesystem::create_directories(folder);
  S().store.CurrentFrame.fill(3000);
  Answer({Pick(folder / "~Moon")});
  ASSERT_TRUE(window->RunCommand(24333));
  EXPECT_EQ(std::filesystem::file_size(folder / "~Moon"), 295800u);
  EXPECT_EQ(window->windowTitle().toStdString(), "Nyxel - ~moon");

  // Open starts on the native filter (the title held "~") and offers the last opened name.
  S().store.CurrentFrame.fill(0);
  QString filter;
  Answer({Pick(folder / "~Moon", &filter)});
  ASSERT_TRUE(window->RunCommand(24332));
  EXPECT_TRUE(filter.startsWith("Halvorn (~*.) (~*)")) << filter.toStdString();
  EXPECT_EQ(S().store.CurrentFrame[PixelIndex(100, 100)], 3000);
  EXPECT_EQ(S().store.UndoFrame[PixelIndex(100, 100)], 3000);
  EXPECT_EQ(S().files.LastOpenName, "~moon");
  EXPECT_EQ(S().files.LastFilterIndex, 1);
  EXPECT_EQ(window->windowTitle().toStdString(), "Nyxel - ~Moon");
  QStringList offered;
  Answer({Pick({}, nullptr, &offered)});
  ASSERT_TRUE(window->RunCommand(24332));
  ASSERT_EQ(offered.size(), 1);
  EXPECT_TRUE(offered.front().endsWith("~moon")) << offered.front().toStdString();

  // TIFF and flat field; a TIFF that cannot be written shows message 29.
  Answer({Pick(folder / "moon.TIF")});
  ASSERT_TRUE(window->RunCommand(24334));
  EXPECT_EQ(std::filesystem::file_size(folder / "moon.TIF"), 189978u);
  EXPECT_EQ(S().files.LastFilterIndex, 3);
  Answer({Pick(folder / "flat")});
  ASSERT_TRUE(window->RunCommand(24336));
  EXPECT_EQ(std::filesystem::file_size(folder / "flat"), 295800u);
  Answer({Pick(folder / "flat" / "x.TIF")});
  ASSERT_TRUE(window->RunCommand(24334));
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unable to create file, check disk space"});

  // A cancelled dialog changes nothing.
  Answer({Pick({})});
  ASSERT_TRUE(window->RunCommand(24333));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 3);
}

TEST_F(CommandsFileTest, SaveAsFitsShowsTheDetailsFirst) {
  const auto file = dir.path() / "m42.FIT";
  S().settings.fits.fits_date_obs = "4/3/07";  // an autosaved date: replaced by today's before the dialog
  std::string date_in_dialog;
  Answer({[&](QDialog& d) {
            auto& fits = dynamic_cast<TFITSDialog&>(d);
            date_in_dialog = fits.edit(103)->text().toStdString();
            fits.edit(101)->setText("M42");
            fits.edit(116)->setText("12.5");
            fits.textEdit(106)->setPlainText("two\nlines");
            fits.Continue();
            return fits.result();
          },
          Pick(file)});
  ASSERT_TRUE(window->RunCommand(24335));
  EXPECT_EQ(seen, (std::vector<std::string>{"TFITSDialog", "FileDialog"}));
  EXPECT_EQ(date_in_dialog.size(), 10u);
  EXPECT_EQ(date_in_dialog.substr(0, 2), "20");
  ASSERT_EQ(std::filesystem::file_size(file), 303040u);
  const auto b = ReadBytes(file);
  EXPECT_EQ(std::string(b.begin() + 400, b.begin() + 415), "OBJECT  = 'M42'");
  EXPECT_EQ(S().settings.fits.fits_exposure, 12.5);
  EXPECT_EQ(S().settings.fits.fits_comment_text, "two lines");
  EXPECT_EQ(S().files.LastFilterIndex, 2);

  // Abort: no file dialog; only the check box's change stays.
  seen.clear();
  Answer({[&](QDialog& d) {
    auto& fits = dynamic_cast<TFITSDialog&>(d);
    fits.edit(101)->setText("changed");
    fits.unsignedBox()->click();
    fits.reject();
    return fits.result();
  }});
  ASSERT_TRUE(window->RunCommand(24335));
  EXPECT_EQ(seen, std::vector<std::string>{"TFITSDialog"});
  EXPECT_EQ(S().settings.fits.fits_object, "M42");
  EXPECT_EQ(S().settings.fits.fits_unsigned, 1);
}

TEST_F(CommandsFileTest, FitsDialogTimeDifference) {
  struct Case {
    int start;
    QAbstractSlider::SliderAction action;
    int shown, after;
  };
  const Case cases[] = {{-11, QAbstractSlider::SliderSingleStepSub, -11, -11},
                        {11, QAbstractSlider::SliderSingleStepAdd, 11, 11},
                        {-3, QAbstractSlider::SliderSingleStepSub, -3, -4},
                        {5, QAbstractSlider::SliderSingleStepAdd, 5, 6},
                        {40, QAbstractSlider::SliderSingleStepAdd, 0, 1}};  // outside the range: starts at 0
  for (const Case& c : cases) {
    FitsDialogValues values;
    values.ut_offset_hours = c.start;
    TFITSDialog dialog(values);
    EXPECT_EQ(dialog.edit(112)->text().toInt(), c.shown);
    dialog.timeBar()->triggerAction(c.action);
    EXPECT_EQ(dialog.edit(112)->text().toInt(), c.after);
    dialog.Continue();
    EXPECT_EQ(values.ut_offset_hours, c.after);
    EXPECT_EQ(dialog.result(), TFITSDialog::kContinue);
  }
}

TEST_F(CommandsFileTest, QuickSaveDeleteAndDarkFrame) {
  S().settings.autosave_counter = 65529;
  ASSERT_TRUE(window->RunCommand(128));
  const auto saved = dir.path() / "drive" / "autosave" / "IMG65530.FIT";
  EXPECT_TRUE(std::filesystem::exists(saved));
  EXPECT_TRUE(boxes.empty());
  ASSERT_TRUE(window->RunCommand(128));
  EXPECT_TRUE(std::filesystem::exists(saved.parent_path() / "IMG1.FIT"));

  // Delete asks with the full path; Cancel keeps the file, OK deletes it.
  std::string shown;
  for (int answer : {QDialog::Rejected, QDialog::Accepted}) {
    Answer({Pick(saved), [&, answer](QDialog& d) {
              shown = dynamic_cast<TDeleteDialog&>(d).pathEdit()->text().toStdString();
              return answer;
            }});
    ASSERT_TRUE(window->RunCommand(13));
    EXPECT_EQ(shown, saved.string());
    EXPECT_EQ(std::filesystem::exists(saved), answer == QDialog::Rejected);
  }

  const auto dark = dir.path() / "~dark";
  WriteBytes(dark, std::vector<unsigned char>(295800, 0));
  Answer({Pick(dark)});
  ASSERT_TRUE(window->RunCommand(17));
  EXPECT_EQ(S().files.DarkFrameFile, dark.string());
  EXPECT_EQ(DarkFramePath(S()), dark);
  EXPECT_EQ(S().files.LastFilterIndex, 1);
}

TEST_F(CommandsFileTest, AutosaveFitsTextGoesToTheSettingsFile) {
  ASSERT_EQ(SaveSettings(S().settings, S().drive), 0);
  Answer({[](QDialog& d) {
    auto& fits = dynamic_cast<TFITSDialog&>(d);
    fits.edit(102)->setText("Night owl");
    fits.Continue();
    return fits.result();
  }});
  ASSERT_TRUE(window->RunCommand(516));
  Settings reloaded;
  RecordingHost host;
  ASSERT_EQ(LoadSettings(reloaded, S().drive, host), 0);
  EXPECT_EQ(reloaded.fits.fits_observer, "Night owl");

  // Show/Edit FITS details keeps its values in memory only.
  Answer({[](QDialog& d) {
    auto& fits = dynamic_cast<TFITSDialog&>(d);
    fits.edit(102)->setText("Day owl");
    fits.Continue();
    return fits.result();
  }});
  ASSERT_TRUE(window->RunCommand(123));
  EXPECT_EQ(S().settings.fits.fits_observer, "Day owl");
  ASSERT_EQ(LoadSettings(reloaded, S().drive, host), 0);
  EXPECT_EQ(reloaded.fits.fits_observer, "Night owl");
}

TEST_F(CommandsFileTest, UndoAndHistory) {
  ImageStore& store = S().store;
  store.UndoFrame.fill(77);
  AddHistoryLine(store.History, "Normal Stretch");
  AddHistoryLine(store.History, "Gaussian");
  ASSERT_TRUE(window->RunCommand(522));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Nyxel - PROCESSING HISTORY");
  EXPECT_EQ(boxes[0].text, "Normal Stretch \nGaussian \n");
  ASSERT_TRUE(window->RunCommand(9));
  EXPECT_EQ(store.CurrentFrame[PixelIndex(5, 5)], 77);
  EXPECT_EQ(store.History.UsedCount(), 1);
}

}  // namespace
}  // namespace nyxel::test
