// The main window: accelerators, enablers, control bar, display loading and painting, View commands.
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <algorithm>

#include "app/CommandRegistry.h"
#include "app/CommandTable.h"
#include "app/TProgressDialog.h"
#include "core/Display.h"
#include "core/Messages.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel::test {
namespace {

class TNyxelWindowTest : public WindowTest {
 protected:
  QAbstractScrollArea* View() { return window->findChild<QAbstractScrollArea*>(); }
  QToolBar* Bar() { return window->findChild<QToolBar*>(); }
  std::vector<int> BarCommands() {
    std::vector<int> ids;
    for (int id : window->ControlBarIds()) {
      if (id != kSeparator) ids.push_back(id);
    }
    return ids;
  }
  bool OnBar(int id) {
    const auto actions = Bar()->actions();
    return std::find(actions.begin(), actions.end(), window->action(id)) != actions.end();
  }
};

TEST_F(TNyxelWindowTest, EveryAcceleratorReachesItsCommand) {
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int id;
  };
  const Case cases[] = {
      {Qt::Key_O, Qt::ControlModifier, 24332},
      {Qt::Key_S, Qt::ControlModifier, 24333},
      {Qt::Key_F, Qt::ControlModifier, 24335},
      {Qt::Key_Q, Qt::ControlModifier, 128},
      {Qt::Key_Z, Qt::ControlModifier, 12},
      {Qt::Key_P, Qt::ControlModifier, 16},
      {Qt::Key_W, Qt::ControlModifier, 19},
      {Qt::Key_U, Qt::ControlModifier, 9},
      {Qt::Key_R, Qt::ControlModifier, 10},
      {Qt::Key_G, Qt::ControlModifier, 304},
      {Qt::Key_C, Qt::ControlModifier, 115},
      {Qt::Key_B, Qt::ControlModifier, 116},
      {Qt::Key_L, Qt::ControlModifier, 129},
      {Qt::Key_N, Qt::ControlModifier, 1},
      {Qt::Key_H, Qt::ControlModifier, 6},
      {Qt::Key_X, Qt::AltModifier, 24310},
      {Qt::Key_X, Qt::AltModifier | Qt::ShiftModifier, 24310},
  };
  window->show();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  for (const Case& c : cases) {
    std::vector<int> ran;
    ScopedCommandHandler probe(c.id, {[&ran, id = c.id](TNyxelWindow&) { ran.push_back(id); }});
    window->UpdateCommandStates();
    QTest::keyClick(window.get(), c.key, c.mods);
    EXPECT_EQ(ran, std::vector<int>{c.id}) << "key " << QKeySequence(c.key | c.mods).toString().toStdString();
  }
}

TEST_F(TNyxelWindowTest, CommandTableIdsAreUniqueAndMenusFollowTheOrder) {
  std::vector<int> ids;
  for (const CommandRow& row : CommandTable()) ids.push_back(row.id);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
  for (int internal : {888, 889, 890, 891, 892, 24323})
    EXPECT_NE(FindCommandRow(internal), nullptr) << internal;

  QStringList titles;
  for (QAction* a : window->menuBar()->actions()) titles << a->text();
  EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&View", "&Colour", "C&ontrast", "Filter&s ", "&Merge",
                                 "&Histogram", "Help"}));
  EXPECT_EQ(window->action(24332)->text(), QStringLiteral("&Open...\tCTL+O"));
  EXPECT_EQ(window->action(12)->statusTip(), QStringLiteral("Main Camera Control"));
}

TEST_F(TNyxelWindowTest, GuideInterfaceDecidesTelescopeCommandsAndButton) {
  ScopedCommandHandler h125(125, {[](TNyxelWindow&) {}});
  ScopedCommandHandler h126(126, {[](TNyxelWindow&) {}});
  ScopedCommandHandler h127(127, {[](TNyxelWindow&) {}});
  for (char guide : {'n', 'l', 'b', 'n'}) {
    window->session().settings.guide_interface = guide;
    window->UpdateControlBar();
    const bool on = guide != 'n';
    for (int id : {125, 126, 127}) {
      EXPECT_EQ(window->action(id)->isEnabled(), on) << guide << " " << id;
      EXPECT_EQ(window->RunCommand(id), on) << guide << " " << id;
    }
    EXPECT_EQ(OnBar(127), on) << guide;
    if (on) {
      EXPECT_EQ(window->ControlBarIds().back(), 127);
    }
  }
}

TEST_F(TNyxelWindowTest, ControlBarFollowsColourState) {
  struct Case {
    int colour;
    std::vector<int> state_buttons;
  };
  for (const Case& c : {Case{1, {304}}, Case{0, {1901, 1902}}}) {
    window->session().store.ColourConverted = c.colour;
    window->UpdateControlBar();
    const std::vector<int> bar = BarCommands();
    // The state buttons stand directly after the camera button.
    const auto camera = std::find(bar.begin(), bar.end(), 12);
    ASSERT_NE(camera, bar.end());
    EXPECT_TRUE(std::equal(c.state_buttons.begin(), c.state_buttons.end(), camera + 1)) << c.colour;
    for (int id : {304, 1901, 1902}) {
      const bool expected =
          std::find(c.state_buttons.begin(), c.state_buttons.end(), id) != c.state_buttons.end();
      EXPECT_EQ(OnBar(id), expected) << c.colour << " " << id;
    }
  }
  EXPECT_EQ(BarCommands(), (std::vector<int>{24333, 24335, 24332, 12, 1901, 1902, 122, 124, 116, 114,
                                             129,   1,     118,   2,  103,  106,  3,   110, 117, 111}));
}

TEST_F(TNyxelWindowTest, FirstRefreshShowsTheGreyRamp) {
  const QImage& p = window->picture();
  ASSERT_EQ(p.size(), QSize(512, 290));
  for (int row : {0, 1, 100, 289}) {
    const int expected = (row * 225) >> 8;
    EXPECT_EQ(qGray(p.pixel(0, row)), expected) << row;
    EXPECT_EQ(qGray(p.pixel(509, row)), expected) << row;
    EXPECT_EQ(qGray(p.pixel(510, row)), 0) << row;
    EXPECT_EQ(qGray(p.pixel(511, row)), 0) << row;
  }
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Nyxel - (Untitled)"));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(TNyxelWindowTest, UnreadableBitmapShowsMessage32AndKeepsThePicture) {
  const QImage before = window->picture();
  const auto bad = dir.path() / "bad.bmp";
  WriteBytes(bad, {'B', 'M', 1, 2, 3});
  EXPECT_FALSE(window->host().ShowBitmap(bad));
  EXPECT_FALSE(window->host().ShowBitmap(dir.path() / "missing.bmp"));
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Cannot open bitmap file", "Cannot open bitmap file"}));
  EXPECT_EQ(boxes[0].caption, "Nyxel");
  EXPECT_EQ(window->picture(), before);
}

TEST_F(TNyxelWindowTest, NoPictureWhenTheBitmapCannotBeWritten) {
  // A drive folder under a regular file can hold no bitmap.
  WriteBytes(dir.path() / "file", {1});
  boxes.clear();
  MakeWindow(dir.path() / "file" / "drive");
  // (The settings file cannot be read there either, so its warning comes first.)
  const auto texts = BoxTexts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(texts.end() - 2, texts.end()),
            (std::vector<std::string>{"Failed to create temp bitmap", "Cannot open bitmap file"}));
  EXPECT_FALSE(window->PictureLoaded());
  EXPECT_FALSE(window->action(kCopyCommand)->isEnabled());
  // Painting without a picture fills with the background.
  const QImage shot = View()->viewport()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(5, 5), QColor(192, 192, 192));
}

TEST_F(TNyxelWindowTest, FitToWindowAndRvGeometryExcludeEachOther) {
  ImageStore& store = window->session().store;
  window->resize(400, 300);
  window->show();
  struct Step {
    int command;
    int rv, fit;
    int picture_height;
    bool scrolls;
  };
  const Step steps[] = {
      {304, 1, 0, 373, true},   // RV geometry on
      {301, 0, 1, 290, false},  // fit to window returns to standard geometry
      {304, 1, 0, 373, true},   // RV geometry switches fit off
      {304, 0, 0, 290, true},   // and off again
      {301, 0, 1, 290, false}, {301, 0, 0, 290, true},
  };
  for (const Step& s : steps) {
    ASSERT_TRUE(window->RunCommand(s.command));
    EXPECT_EQ(store.RvGeometry, s.rv) << s.command;
    EXPECT_EQ(store.FitToWindow, s.fit) << s.command;
    EXPECT_EQ(window->picture().height(), s.picture_height) << s.command;
    EXPECT_EQ(window->action(304)->isChecked(), s.rv != 0);
    EXPECT_EQ(window->action(301)->isChecked(), s.fit != 0);
    const QSize client = View()->viewport()->size();
    const int h = s.scrolls ? std::max(0, 512 - client.width()) : 0;
    const int v = s.scrolls ? std::max(0, s.picture_height - client.height()) : 0;
    EXPECT_EQ(View()->horizontalScrollBar()->maximum(), h) << s.command;
    EXPECT_EQ(View()->verticalScrollBar()->maximum(), v) << s.command;
    EXPECT_EQ(window->scrollPosition(), QPoint(0, 0));
  }
}

TEST_F(TNyxelWindowTest, PaintFillsRightOfAndBelowThePictureAndMapsTheMouse) {
  window->resize(900, 600);
  window->show();
  window->session().settings.background_red = 120;
  window->session().settings.background_green = 40;
  window->session().settings.background_blue = 40;
  window->session().settings.background_changed = true;
  const QImage shot = View()->viewport()->grab().toImage();
  EXPECT_EQ(qGray(shot.pixel(0, 100)), (100 * 225) >> 8);
  EXPECT_EQ(shot.pixelColor(600, 100), QColor(120, 40, 40));
  EXPECT_EQ(shot.pixelColor(100, 295), QColor(120, 40, 40));
  EXPECT_FALSE(window->session().settings.background_changed);

  window->resize(300, 200);
  QApplication::processEvents();
  View()->horizontalScrollBar()->setValue(10);
  View()->verticalScrollBar()->setValue(20);
  QSignalSpy moves(window.get(), &TNyxelWindow::onPictureMouseMove);
  QSignalSpy clicks(window.get(), &TNyxelWindow::onPictureLeftClick);
  QTest::mouseMove(View()->viewport(), QPoint(5, 7));
  QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, QPoint(30, 40));
  QTest::mouseClick(View()->viewport(), Qt::RightButton, {}, QPoint(31, 41));
  ASSERT_FALSE(moves.isEmpty());
  EXPECT_EQ(moves.first(), (QList<QVariant>{15, 27}));
  ASSERT_EQ(clicks.size(), 1);
  EXPECT_EQ(clicks.first(), (QList<QVariant>{40, 60}));
}

TEST_F(TNyxelWindowTest, PendingRebuildAndGuideCrossShowInTheNextPaint) {
  window->resize(700, 500);
  window->show();
  window->session().store.CurrentFrame.fill(0x80FF);
  window->SetRebuildPending();
  window->setGuideCross(true, 100, 120);
  const QImage shot = View()->viewport()->grab().toImage();
  EXPECT_EQ(qGray(shot.pixel(50, 50)), 0x80);
  EXPECT_EQ(qGray(window->picture().pixel(50, 50)), 0x80);
  for (QPoint p : {QPoint(100, 100), QPoint(100, 140), QPoint(80, 120), QPoint(120, 120), QPoint(100, 120)}) {
    EXPECT_EQ(shot.pixelColor(p), QColor(255, 255, 0)) << p.x() << "," << p.y();
  }
  EXPECT_EQ(qGray(shot.pixel(100, 141)), 0x80);
  window->setGuideCross(false);
  EXPECT_EQ(qGray(View()->viewport()->grab().toImage().pixel(100, 100)), 0x80);
}

TEST_F(TNyxelWindowTest, PaletteCommandsReachTheLoadedColourTable) {
  ImageStore& store = window->session().store;
  store.PaletteBits = 14;
  struct Step {
    int command;
    std::function<int(int)> entry;
  };
  const Step steps[] = {
      {1901, [](int i) { return std::min(255, 4 * i); }},
      {1901, [](int i) { return std::min(255, 4 * i); }},  // already on: nothing changes
      {1902, [](int i) { return i; }},
  };
  for (const Step& s : steps) {
    ASSERT_TRUE(window->RunCommand(s.command));
    for (int i : {0, 1, 63, 64, 200, 255})
      EXPECT_EQ(qGray(window->picture().color(i)), s.entry(i)) << s.command;
  }
  ASSERT_TRUE(window->RunCommand(18));
  EXPECT_TRUE(window->action(18)->isChecked());
  // After the load the paint's estimate stands; the file was written with the auto-stretch level.
  const int painted = store.BlackLevel;
  EstimateAutoStretchLevel(store);
  const auto palette = DisplayPalette(store);
  for (int i : {0, 40, 100, 255}) EXPECT_EQ(qGray(window->picture().color(i)), palette[i]) << i;
  EstimateBlackLevel(store);
  EXPECT_EQ(store.BlackLevel, painted);
}

TEST_F(TNyxelWindowTest, MirrorTwiceRestoresTheImage) {
  ImageStore& store = window->session().store;
  for (int i = 0; i < kFramePixels; ++i) store.CurrentFrame[i] = static_cast<uint16_t>((i * 7919) & 0xFFFF);
  for (int colour : {0, 1}) {
    store.ColourConverted = colour;
    for (int i = 0; i < kFramePixels; ++i) store.RedPlane[i] = static_cast<uint8_t>(i * 31);
    const Frame frame = store.CurrentFrame;
    const Plane red = store.RedPlane;
    ASSERT_TRUE(window->RunCommand(14));
    EXPECT_EQ(store.CurrentFrame[PixelIndex(100, 0)], frame[PixelIndex(100, 511)]);
    EXPECT_EQ(store.RedPlane[PixelIndex(5, 3)], colour ? red[PixelIndex(5, 508)] : red[PixelIndex(5, 3)]);
    if (!colour) {
      EXPECT_EQ(qGray(window->picture().pixel(2, 100)), frame[PixelIndex(100, 509)] >> 8);
    }
    ASSERT_TRUE(window->RunCommand(14));
    EXPECT_TRUE(std::equal(frame.begin(), frame.begin() + kFramePixels, store.CurrentFrame.begin()))
        << colour;
    EXPECT_TRUE(std::equal(red.begin(), red.begin() + kFramePixels, store.RedPlane.begin())) << colour;
  }
}

TEST_F(TNyxelWindowTest, ColourRefreshUsesTheProgressWindowAndLoads24Bits) {
  ImageStore& store = window->session().store;
  store.ColourConverted = 1;
  store.RedPlane.fill(200);
  window->Refresh();
  EXPECT_EQ(window->picture().size(), QSize(512, 290));
  EXPECT_FALSE(window->picture().isGrayscale());
  ASSERT_NE(window->host().progress(), nullptr);
  EXPECT_FALSE(window->host().progress()->isVisible());
  EXPECT_EQ(window->host().progress()->Position(), 100);
  // The copy command puts the loaded picture on the clipboard.
  ASSERT_TRUE(window->RunCommand(kCopyCommand));
  EXPECT_EQ(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
            window->picture().convertToFormat(QImage::Format_RGB32));
}

}  // namespace
}  // namespace nyxel::test
