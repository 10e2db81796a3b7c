// Start-up of the window program: which window opens, and the picture of the main window.
#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QTest>

#include "shell/gui/app.h"
#include "tests/shell/gui/gui_test_util.h"

namespace talvor::gui::testing {
namespace {

bool MainWindowVisible() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<MainWindow*>(w) != nullptr && w->isVisible()) return true;
  }
  return false;
}

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void AnyParameterOpensTheUtilityWindow_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("a word") << QStringList{"talvor", "utility"};
    QTest::newRow("an option") << QStringList{"talvor", "--main"};
    QTest::newRow("an empty parameter") << QStringList{"talvor", ""};
    QTest::newRow("several") << QStringList{"talvor", "a", "b"};
  }

  void AnyParameterOpensTheUtilityWindow() {
    QFETCH(QStringList, arguments);
    ScratchDir dir;
    bool utility = false;
    bool mainShown = true;
    OnNextModal([&](QWidget* modal) {
      auto* form2 = qobject_cast<TForm2*>(modal);
      utility = form2 != nullptr;
      mainShown = MainWindowVisible();
      if (form2 != nullptr)
        form2->ExitButton()->click();
      else
        modal->close();
    });
    RunWorkbench(arguments, clock_, dir.path());
    QVERIFY(utility);
    QVERIFY(!mainShown);
  }

  void NoParameterOpensTheMainWindowUntilQuit() {
    ScratchDir dir;
    dir.Write("talvor.cfg", "X:\\data\nXDB\nXSRV\n10\n");
    std::string agency;
    bool isMain = false;
    OnNextModal([&](QWidget* modal) {
      auto* main = qobject_cast<MainWindow*>(modal);
      isMain = main != nullptr;
      if (main == nullptr) {
        modal->close();
        return;
      }
      agency = main->Form().edtAgyCode;
      main->findChild<QPushButton*>(QStringLiteral("btnQuit"))->click();
    });
    QCOMPARE(RunWorkbench(QStringList{"talvor"}, clock_, dir.path()), 2);
    QVERIFY(isMain);
    QCOMPARE(agency, std::string("10"));
  }

  void TheFourWindowsWorkTogether() {
    ScratchDir dir;
    Workbench windows(clock_, dir.path());
    QWidget* opened = nullptr;
    OnNextModal([&](QWidget* modal) {
      opened = modal;
      modal->close();
    });
    windows.main.findChild<QPushButton*>(QStringLiteral("btnChgClts"))->click();
    QCOMPARE(opened, &windows.chgClt);
    OnNextModal([&](QWidget* modal) {
      opened = modal;
      windows.yesNo.YesButton()->click();
    });
    QCOMPARE(windows.main.Form().AskYesNo("Fix it?"), 6);
    QCOMPARE(opened, &windows.yesNo);
  }

  void PictureOfTheMainWindow() {
    ScratchDir dir;
    const QString file = QString::fromStdString((dir.path() / "window.png").string());
    std::string problem;
    QVERIFY(SaveMainWindowPicture(clock_, dir.path(), file, "", &problem));
    QImage picture(file);
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.size(), QSize(811, 665));
    // Something is drawn on the background: the labels, boxes and buttons.
    const QRgb background = picture.pixel(0, 0);
    int drawn = 0;
    for (int y = 0; y < picture.height(); y += 3) {
      for (int x = 0; x < picture.width(); x += 3)
        drawn += picture.pixel(x, y) != background ? 1 : 0;
    }
    QVERIFY(drawn > 1000);
  }

  void PictureThatCannotBeWrittenNamesTheFile() {
    ScratchDir dir;
    const QString file = QString::fromStdString((dir.path() / "missing" / "window.png").string());
    std::string problem;
    QVERIFY(!SaveMainWindowPicture(clock_, dir.path(), file, "", &problem));
    QVERIFY(problem.find("missing/window.png") != std::string::npos ||
            problem.find("missing\\window.png") != std::string::npos);
  }

 private:
  FixedClock clock_{DateTime{{2015, 7, 30}, 9, 0, 0}};
};

}  // namespace

int RunStartupTests(int argc, char** argv) {
  StartupTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace talvor::gui::testing

#include "app_test.moc"
