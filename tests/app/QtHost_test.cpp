// The window's Host: the message boxes as shown, the abort rule of the event pump, the progress window.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/TProgressDialog.h"
#include "core/Messages.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel::test {
namespace {

class QtHostTest : public WindowTest {};

TEST_F(QtHostTest, MessageBoxesShowTheExactTexts) {
  struct Case {
    int number;
    std::string own;
    std::string expected;
  };
  const std::string long_text(600, 'x');
  const Case cases[] = {
      {32, "", "Cannot open bitmap file"},
      {3, "",
       "RV Interface not found.\n\nPort set to default.\n\nIf you have a QK Camera make sure all the cables "
       "are "
       "plugged in and it is switched on. "},
      {50, long_text, std::string(498, 'x')},
      {36, "", ""},
      {0, "", ""},
      {99, "", ""},
  };
  // The real box, read and closed from inside its own event loop.
  window->host().box_hook = nullptr;
  for (const Case& c : cases) {
    QString title, text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::Warning;
    bool modal = false;
    QTimer::singleShot(0, [&] {
      QMessageBox* box = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
      }
      ASSERT_NE(box, nullptr);
      title = box->windowTitle();
      text = box->text();
      buttons = box->standardButtons();
      icon = box->icon();
      modal = box->windowModality() == Qt::ApplicationModal;
      box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(ShowMessage(window->host(), c.number, c.own), kIdOk);
    EXPECT_EQ(title, QStringLiteral("Nyxel")) << c.number;
    EXPECT_EQ(text.toStdString(), c.expected) << c.number;
    EXPECT_EQ(buttons, QMessageBox::Ok) << c.number;
    EXPECT_EQ(icon, QMessageBox::NoIcon) << c.number;
    EXPECT_TRUE(modal) << c.number;
  }
}

TEST_F(QtHostTest, PumpReportsKeyPressOrClickAndStillDeliversIt) {
  struct Receiver : QWidget {
    int keys = 0;
    void keyPressEvent(QKeyEvent*) override { ++keys; }
  };
  Receiver receiver;
  struct Case {
    QEvent::Type type;
    bool aborts;
  };
  for (const Case& c :
       {Case{QEvent::None, false}, Case{QEvent::KeyPress, true}, Case{QEvent::KeyRelease, false},
        Case{QEvent::MouseButtonPress, true}, Case{QEvent::MouseMove, false}}) {
    receiver.keys = 0;
    if (c.type == QEvent::KeyPress || c.type == QEvent::KeyRelease) {
      QCoreApplication::postEvent(&receiver, new QKeyEvent(c.type, Qt::Key_A, Qt::NoModifier));
    } else if (c.type != QEvent::None) {
      QCoreApplication::postEvent(&receiver, new QMouseEvent(c.type, QPointF(1, 1), QPointF(1, 1),
                                                             Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    }
    EXPECT_EQ(window->host().PumpMessages(), c.aborts) << c.type;
    if (c.type == QEvent::KeyPress) {
      EXPECT_EQ(receiver.keys, 1);
    }
    // The next pump starts afresh.
    EXPECT_FALSE(window->host().PumpMessages()) << c.type;
  }
}

TEST_F(QtHostTest, ProgressWindowClampsAndCloses) {
  QtHost& host = window->host();
  host.ProgressOpen("Filter Progress");
  TProgressDialog* p = host.progress();
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->isVisible());
  EXPECT_EQ(p->windowTitle(), QStringLiteral("Filter Progress"));
  for (auto [in, shown] : {std::pair{-35, 0}, {0, 0}, {57, 57}, {100, 100}, {254, 100}}) {
    host.ProgressSetPosition(in);
    EXPECT_EQ(p->Position(), shown) << in;
  }
  host.ProgressSetCaption("BUILDING IMAGE");
  EXPECT_EQ(p->windowTitle(), QStringLiteral("BUILDING IMAGE"));
  host.ProgressClose();
  EXPECT_FALSE(p->isVisible());
  host.ProgressOpen("Filter Progress");
  EXPECT_EQ(p->Position(), 0);
  EXPECT_EQ(host.progress(), p);
  host.ProgressClose();
}

TEST_F(QtHostTest, BusyCursorNestsAndRestores) {
  QtHost& host = window->host();
  {
    BusyCursor outer(host);
    {
      BusyCursor inner(host);
      ASSERT_NE(QApplication::overrideCursor(), nullptr);
      EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  host.SetBusyCursor(false);  // an unmatched release changes nothing
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace nyxel::test
