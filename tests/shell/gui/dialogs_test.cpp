// The yes/no window, the change-client-operators dialog and the utility window.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "shell/frontend.h"
#include "shell/gui/chg_clt_dialog.h"
#include "shell/gui/settings_box.h"
#include "shell/gui/utility_window.h"
#include "shell/gui/yes_no_window.h"
#include "tests/shell/gui/gui_test_util.h"

namespace talvor::gui::testing {
namespace {

// How a test ends a modal window.
enum class Ending { kYes, kNo, kGo, kCancel, kCloseBox, kEscape };

void End(QWidget* window, Ending ending) {
  auto click = [window](const char* text) {
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
      if (b->text() == QLatin1String(text)) {
        QTest::mouseClick(b, Qt::LeftButton);
        return;
      }
    }
    window->close();  // so the test goes on to report the failure instead of hanging
    QFAIL(qPrintable(QStringLiteral("no button ") + QLatin1String(text)));
  };
  switch (ending) {
    case Ending::kYes:
      click("Yes");
      break;
    case Ending::kNo:
      click("No");
      break;
    case Ending::kGo:
      click("Go!");
      break;
    case Ending::kCancel:
      click("Cancel");
      break;
    case Ending::kCloseBox:
      window->close();
      break;
    case Ending::kEscape:
      QTest::keyClick(window, Qt::Key_Escape);
      break;
  }
}

class DialogTest : public QObject {
  Q_OBJECT

 private slots:
  void YesNoWindowAsBuilt() {
    TYesNoWin win;
    QCOMPARE(win.windowTitle(), QStringLiteral("Select Yes or No"));
    QCOMPARE(win.size(), QSize(422, 131));
    QCOMPARE(win.Label()->text(), QStringLiteral("Please answer yes or no"));
    QCOMPARE(win.Label()->font().pixelSize(), 16);
    QVERIFY(win.Label()->alignment() & Qt::AlignHCenter);
    QCOMPARE(win.YesButton()->text(), QStringLiteral("Yes"));
    QCOMPARE(win.NoButton()->text(), QStringLiteral("No"));
  }

  void YesNoWindowResults_data() {
    QTest::addColumn<int>("ending");
    QTest::addColumn<int>("result");
    QTest::newRow("Yes") << int(Ending::kYes) << kAnswerYes;
    QTest::newRow("No") << int(Ending::kNo) << kAnswerNo;
    QTest::newRow("close box") << int(Ending::kCloseBox) << kAnswerCancel;
    QTest::newRow("Escape") << int(Ending::kEscape) << kAnswerCancel;
  }

  void YesNoWindowResults() {
    QFETCH(int, ending);
    QFETCH(int, result);
    TYesNoWin win;
    QString shown;
    QWidget* opened = nullptr;
    OnNextModal([&](QWidget* modal) {
      shown = win.Label()->text();
      opened = modal;
      End(modal, Ending(ending));
    });
    QCOMPARE(win.Ask(QStringLiteral("Clear Policy Invoice Numbers?")), result);
    QCOMPARE(opened, &win);
    QCOMPARE(shown, QStringLiteral("Clear Policy Invoice Numbers?"));
    QVERIFY(!win.isVisible());
  }

  void YesNoWindowCanBeAskedAgain() {
    TYesNoWin win;
    OnNextModal([](QWidget* modal) { End(modal, Ending::kCloseBox); });
    QCOMPARE(win.Ask(QStringLiteral("first")), kAnswerCancel);
    OnNextModal([](QWidget* modal) { End(modal, Ending::kYes); });
    QCOMPARE(win.Ask(QStringLiteral("second")), kAnswerYes);
    QCOMPARE(win.Label()->text(), QStringLiteral("second"));
  }

  void YesNoWindowShowsMarkupAsText() {
    TYesNoWin win;
    QCOMPARE(win.Label()->textFormat(), Qt::PlainText);
  }

  void ReturnAnswersNoWhenNothingWasClicked() {
    TYesNoWin win;
    OnNextModal([](QWidget* modal) {
      QTest::keyClick(modal->focusWidget() ? modal->focusWidget() : modal, Qt::Key_Return);
    });
    QCOMPARE(win.Ask(QStringLiteral("Fix it?")), kAnswerNo);
  }

  void ChangeClientOperatorsAsBuilt() {
    TChgClt dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Change Client Operators...."));
    QCOMPARE(dlg.FromBox()->text(), QStringLiteral("A"));
    QCOMPARE(dlg.FromBox()->maxLength(), 1);
    QCOMPARE(dlg.ToBox()->text(), QStringLiteral("QXT"));
    QCOMPARE(dlg.ToBox()->maxLength(), 3);
    QCOMPARE(dlg.ProducerBox()->text(), QStringLiteral("Producer"));
    QVERIFY(dlg.ProducerBox()->isChecked());
    QCOMPARE(dlg.SubProducerBox()->text(), QStringLiteral("Sub Producer"));
    QVERIFY(!dlg.SubProducerBox()->isChecked());
    QCOMPARE(dlg.CsrBox()->text(), QStringLiteral("CSR"));
    QVERIFY(dlg.CsrBox()->isChecked());
    QCOMPARE(dlg.GoButton()->text(), QStringLiteral("Go!"));
    QCOMPARE(dlg.CancelButton()->text(), QStringLiteral("Cancel"));

    QStringList texts;
    for (QLabel* l : dlg.findChildren<QLabel*>()) texts << l->text();
    QVERIFY(texts.contains(QStringLiteral("Change Alpha Codes Staring with ")));
    QVERIFY(texts.contains(QStringLiteral("To ")));
    auto* group = dlg.findChild<QGroupBox*>();
    QVERIFY(group != nullptr);
    QCOMPARE(group->title(), QStringLiteral("Which Types"));
    QCOMPARE(dlg.ProducerBox()->parentWidget(), group);
  }

  void ChangeClientOperatorsBoxesHoldNoMoreThanTheirWidth() {
    TChgClt dlg;
    dlg.FromBox()->clear();
    Type(dlg.FromBox(), "BC");
    QCOMPARE(dlg.FromBox()->text(), QStringLiteral("B"));
    dlg.ToBox()->clear();
    Type(dlg.ToBox(), "ABCD");
    QCOMPARE(dlg.ToBox()->text(), QStringLiteral("ABC"));
  }

  void ChangeClientOperatorsResults_data() {
    QTest::addColumn<int>("ending");
    QTest::addColumn<int>("result");
    QTest::newRow("Go!") << int(Ending::kGo) << 1;
    QTest::newRow("Cancel") << int(Ending::kCancel) << 2;
    QTest::newRow("close box") << int(Ending::kCloseBox) << 2;
    QTest::newRow("Escape") << int(Ending::kEscape) << 2;
  }

  void ChangeClientOperatorsResults() {
    QFETCH(int, ending);
    QFETCH(int, result);
    TChgClt dlg;
    OnNextModal([ending](QWidget* modal) { End(modal, Ending(ending)); });
    QCOMPARE(dlg.exec(), result);
  }

  void UtilityWindowAsBuilt() {
    TForm2 form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Utility Programs - Updated June 2014"));
    QCOMPARE(form.DatapathBox()->text(), QStringLiteral("\\velmar\\data"));
    QCOMPARE(form.OdbcNameBox()->text(), QStringLiteral("AGYFORMS"));
    QCOMPARE(form.AgyCodeBox()->text(), QStringLiteral("01"));
    QCOMPARE(form.OprCodeBox()->text(), QStringLiteral("QXT"));
    QStringList texts;
    for (QLabel* l : form.findChildren<QLabel*>()) texts << l->text();
    for (const char* text :
         {"Datapath", "ODBC Name", "Agency Code", "Operator Code", "Select Option or Exit"}) {
      QVERIFY2(texts.contains(QLatin1String(text)), text);
    }
    // The routines without a description have no button.
    const auto buttons = form.findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(buttons[0]->text(), QStringLiteral("Exit Utility"));
    QVERIFY(form.width() < 811 && form.height() < 665);
  }

  void ExitUtilityClosesTheUtilityWindow() {
    TForm2 form;
    QWidget* opened = nullptr;
    OnNextModal([&](QWidget* modal) {
      opened = modal;
      QTest::mouseClick(form.ExitButton(), Qt::LeftButton);
    });
    form.exec();
    QCOMPARE(opened, &form);
    QVERIFY(!form.isVisible());
  }

  void ReturnInAUtilityBoxKeepsTheWindowOpen() {
    TForm2 form;
    bool stillOpen = false;
    OnNextModal([&](QWidget*) {
      form.DatapathBox()->setFocus();
      QTest::keyClick(form.DatapathBox(), Qt::Key_Return);
      stillOpen = form.isVisible();
      form.close();
    });
    form.exec();
    QVERIFY(stillOpen);
  }
};

}  // namespace

int RunDialogTests(int argc, char** argv) {
  DialogTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace talvor::gui::testing

#include "dialogs_test.moc"
