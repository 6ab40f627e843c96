// The window's dialogs and its own commands: Stretch Palette, Set Program Defaults, About, Help, Print.
#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBrowser>

#include "app/CommandTable.h"
#include "app/Printing.h"
#include "app/TAboutDialog.h"
#include "app/TINIDialog.h"
#include "app/TMaxDialog.h"
#include "files/SettingsFile.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel::test {
namespace {

class DialogsTest : public WindowTest {};

TEST(TMaxDialogTest, ScrollRulesAndCheckBox) {
  EnsureQtApp();
  struct Case {
    int bits;
    QAbstractSlider::SliderAction action;
    int expected;
  };
  const Case cases[] = {
      {12, QAbstractSlider::SliderSingleStepSub, 12}, {16, QAbstractSlider::SliderSingleStepAdd, 16},
      {14, QAbstractSlider::SliderSingleStepSub, 13}, {14, QAbstractSlider::SliderSingleStepAdd, 15},
      {15, QAbstractSlider::SliderPageStepSub, 12},   {13, QAbstractSlider::SliderPageStepAdd, 16},
  };
  for (const Case& c : cases) {
    MaxPaletteValues values{c.bits, false};
    TMaxDialog dialog(values);
    dialog.bitsBar()->triggerAction(c.action);
    EXPECT_EQ(values.palette_bits, c.expected) << c.bits << " " << c.action;
    EXPECT_EQ(dialog.bitsBar()->value(), c.expected);
    EXPECT_EQ(dialog.bitsEdit()->text(), QString::number(c.expected));
    EXPECT_TRUE(dialog.bitsEdit()->isReadOnly());
  }
  MaxPaletteValues values{14, false};
  TMaxDialog dialog(values);
  dialog.bitsBar()->setSliderPosition(13);  // thumb track
  EXPECT_EQ(values.palette_bits, 13);
  dialog.allImagesBox()->click();
  EXPECT_TRUE(values.max_palette_all);
  EXPECT_TRUE(dialog.allImagesBox()->isChecked());
  dialog.allImagesBox()->click();
  EXPECT_FALSE(values.max_palette_all);
}

TEST_F(DialogsTest, StretchPaletteTakesEffectAndRebuildsOnlyOnOk) {
  ImageStore& store = window->session().store;
  for (int result : {QDialog::Rejected, QDialog::Accepted}) {
    store.PaletteBits = 14;
    store.MaxPaletteAll = 0;
    window->Refresh();
    on_dialog = [result](QDialog& d) {
      auto& max = dynamic_cast<TMaxDialog&>(d);
      max.bitsBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
      max.allImagesBox()->click();
      return result;
    };
    ASSERT_TRUE(window->RunCommand(21));
    EXPECT_EQ(store.PaletteBits, 12);
    EXPECT_EQ(store.MaxPaletteAll, 1);
    // Bits 12 turn every value of 16 and above white, once the picture is rebuilt.
    EXPECT_EQ(qGray(window->picture().color(16)), result == QDialog::Accepted ? 255 : 16) << result;
  }
}

TEST_F(DialogsTest, ProgramDefaultsSaveOrCancel) {
  const auto file = window->session().drive.Resolve(kSettingsFilePath);
  const auto before = ReadBytes(file);
  ASSERT_EQ(before.size(), kSettingsFileBytes);
  struct Case {
    int answer;
    bool saved;
  };
  for (const Case& c :
       {Case{SetProgramDefaults::kCancel, false}, Case{SetProgramDefaults::kSaveChanges, true}}) {
    window->session().settings.guide_interface = 'n';
    window->session().settings.background_colour = 'l';
    window->UpdateControlBar();
    on_dialog = [&c](QDialog& d) {
      auto& ini = dynamic_cast<TINIDialog&>(d);
      EXPECT_EQ(ini.windowTitle(), QStringLiteral("Set Program Defaults"));
      EXPECT_TRUE(ini.button(SetProgramDefaults::kLtGray)->isChecked());
      ini.button(SetProgramDefaults::kRed)->click();
      ini.button(SetProgramDefaults::kGuideLx200)->click();
      EXPECT_TRUE(ini.button(SetProgramDefaults::kRed)->isChecked());
      EXPECT_FALSE(ini.button(SetProgramDefaults::kLtGray)->isChecked());
      ini.edit(SetProgramDefaults::kRaHysteresis)->setText(QStringLiteral("25"));
      emit ini.edit(SetProgramDefaults::kRaHysteresis)->textEdited(QStringLiteral("25"));
      ini.button(SetProgramDefaults::kSetSlewValues)->click();
      EXPECT_EQ(ini.edit(SetProgramDefaults::kRaHysteresis)->text(), QStringLiteral("20"));
      ini.button(c.answer)->click();
      return ini.result();
    };
    ASSERT_TRUE(window->RunCommand(122));
    // The values stay in effect either way; only Save Changes writes them.
    EXPECT_EQ(window->session().settings.background_colour, 'r');
    EXPECT_EQ(window->session().settings.guide_interface, 'l');
    EXPECT_EQ(window->session().settings.ra_hysteresis, 20);
    EXPECT_EQ(window->ControlBarIds().back(), 127) << c.answer;
    const auto after = ReadBytes(file);
    ASSERT_EQ(after.size(), kSettingsFileBytes);
    if (c.saved) {
      EXPECT_EQ(after[20], 'r');
      EXPECT_EQ(after[1088], 'l');
      EXPECT_EQ(after[1089], 20);
    } else {
      EXPECT_EQ(after, before);
    }
  }
}

TEST_F(DialogsTest, AboutShowsItsLines) {
  QStringList shown;
  on_dialog = [&shown](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Help About Nyxel"));
    for (QLabel* l : d.findChildren<QLabel*>()) shown << l->text();
    return static_cast<int>(QDialog::Accepted);
  };
  ASSERT_TRUE(window->RunCommand(113));
  ASSERT_EQ(shown.size(), 4);
  EXPECT_EQ(shown.mid(0, 3),
            (QStringList{"Nyxel Image processing software for use with Halvorn Colour RV cameras",
                         "Version   -   2.0g", "Date     -  07/02/2003"}));
}

TEST_F(DialogsTest, HelpOpensAtContentsOrSaysWinHelpFailed) {
  window->SetHelpSource(QString::fromStdString((dir.path() / "missing.html").string()));
  ASSERT_TRUE(window->RunCommand(112));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "WinHelp failed!");
  EXPECT_EQ(boxes[0].caption, "Nyxel");
  EXPECT_EQ(boxes[0].icon, MessageIcon::Stop);

  window->SetHelpSource(QStringLiteral(":/help/index.html"));
  ASSERT_TRUE(window->RunCommand(112));
  auto* browser = window->findChild<QTextBrowser*>();
  ASSERT_NE(browser, nullptr);
  EXPECT_TRUE(browser->isVisible());
  EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Contents")));
  EXPECT_EQ(boxes.size(), 1u);
}

TEST(HelpPagesTest, CoverEveryMenuCommand) {
  EnsureQtApp();
  QString all;
  for (const char* page :
       {"index", "file", "edit", "view", "colour", "contrast", "filters", "merge", "other"}) {
    QFile f(QStringLiteral(":/help/%1.html").arg(QLatin1String(page)));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << page;
    all += QString::fromUtf8(f.readAll());
  }
  for (const CommandRow& row : CommandTable()) {
    if (row.menu.empty()) continue;
    QString text = QString::fromUtf8(row.text.data(), static_cast<qsizetype>(row.text.size()));
    text = text.section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
    EXPECT_TRUE(all.contains(text)) << row.id << " " << text.toStdString();
  }
}

TEST_F(DialogsTest, PrintScalesTheDisplayBitmapToThePage) {
  const QString bitmap = QString::fromStdString(window->session().drive.Resolve("c:\\Nyxel.bmp").string());
  ASSERT_TRUE(QFile::exists(bitmap));
  for (bool readable : {true, false}) {
    const auto pdf = dir.path() / (readable ? "out.pdf" : "none.pdf");
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    const QString source = readable ? bitmap : QString::fromStdString((dir.path() / "nothing.bmp").string());
    EXPECT_EQ(PrintBitmapFile(printer, source), readable);
    EXPECT_EQ(std::filesystem::exists(pdf), readable);
    if (readable) {
      EXPECT_GT(std::filesystem::file_size(pdf), 1000u);
    }
  }
}

}  // namespace
}  // namespace nyxel::test
