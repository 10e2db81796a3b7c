// The Qt front end: questions, messages, status texts and the repaint interval.
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <stdexcept>
#include <string>

#include <QPlainTextEdit>

#include "shell/gui/qt_frontend.h"
#include "shell/gui/text_box.h"
#include "shell/gui/yes_no_window.h"
#include "tests/shell/gui/gui_test_util.h"

namespace talvor::gui::testing {
namespace {

// Counts the events posted to it that have been delivered.
class EventCounter : public QObject {
 public:
  int delivered = 0;
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) {
      ++delivered;
      return true;
    }
    return QObject::event(e);
  }
};

struct BoxSeen {
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  Qt::TextFormat format = Qt::AutoText;
  QString statusWhileOpen;
  bool opened = false;
};

// Records the next message box and presses its OK button.
void AcceptNextBox(BoxSeen& seen, const QLabel* status) {
  OnNextModal([&seen, status](QWidget* modal) {
    seen.opened = true;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      seen.text = box->text();
      seen.icon = box->icon();
      seen.format = box->textFormat();
      if (status != nullptr) seen.statusWhileOpen = status->text();
      if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
        ok->click();
        return;
      }
    }
    modal->close();
  });
}

class FrontendTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    now_ = 1000;
    label_ = std::make_unique<QLabel>(QStringLiteral("Select an Option to begin"));
    yesNo_ = std::make_unique<TYesNoWin>();
    front_ = std::make_unique<QtFrontend>(nullptr, [this] { return now_; });
    front_->AttachStatusLabel(label_.get());
    front_->AttachYesNoWindow(yesNo_.get());
  }

  void cleanup() {
    front_.reset();
    yesNo_.reset();
    label_.reset();
  }

  void AskYesNoGivesTheWindowsResult_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("Yes") << "Yes" << 6;
    QTest::newRow("No") << "No" << 7;
    QTest::newRow("close box counts as neither") << "" << 2;
  }

  void AskYesNoGivesTheWindowsResult() {
    QFETCH(QString, button);
    QFETCH(int, result);
    QString asked;
    OnNextModal([&](QWidget* modal) {
      asked = yesNo_->Label()->text();
      if (button == QLatin1String("Yes"))
        QTest::mouseClick(yesNo_->YesButton(), Qt::LeftButton);
      else if (button == QLatin1String("No"))
        QTest::mouseClick(yesNo_->NoButton(), Qt::LeftButton);
      else
        modal->close();
    });
    QCOMPARE(front_->AskYesNo("Clear Policy Invoice Numbers?"), result);
    QCOMPARE(asked, QStringLiteral("Clear Policy Invoice Numbers?"));
  }

  void AskYesNoShowsBytesAsLatin1() {
    QString asked;
    OnNextModal([&](QWidget* modal) {
      asked = yesNo_->Label()->text();
      modal->close();
    });
    front_->AskYesNo("Fix \xC9tat?");
    QCOMPARE(asked, QStringLiteral("Fix \u00C9tat?"));
  }

  void AskYesNoShowsTheLatestStatusFirst() {
    front_->ShowStatus("Client 000123");
    QString statusWhileAsking;
    OnNextModal([&](QWidget* modal) {
      statusWhileAsking = label_->text();
      modal->close();
    });
    front_->AskYesNo("Fix it?");
    QCOMPARE(statusWhileAsking, QStringLiteral("Client 000123"));
  }

  void NotifyIsAnInformationBoxWithPlainText() {
    front_->ShowStatus("record 7");
    BoxSeen seen;
    AcceptNextBox(seen, label_.get());
    front_->Notify("Unable to open ap file <x>\\ap, status is 12");
    QVERIFY(seen.opened);
    QCOMPARE(seen.text, QStringLiteral("Unable to open ap file <x>\\ap, status is 12"));
    QCOMPARE(seen.icon, QMessageBox::Information);
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.statusWhileOpen, QStringLiteral("record 7"));
  }

  // Sync Phones on a wrong data path shows its message for every client: from the third box
  // of the same text on, the operator may hide the rest of them for this run.
  void RepeatedMessagesCanBeHiddenForTheRestOfTheRun() {
    int boxes = 0;
    bool offered = false;
    const auto nextBox = [&](bool tick) {
      OnNextModal([&, tick](QWidget* modal) {
        ++boxes;
        auto* box = qobject_cast<QMessageBox*>(modal);
        QCheckBox* hide = box != nullptr ? box->checkBox() : nullptr;
        offered = hide != nullptr;
        if (hide != nullptr && tick) hide->setChecked(true);
        box->button(QMessageBox::Ok)->click();
      });
    };
    front_->BeginRun();
    for (int client = 1; client <= 2; ++client) {
      nextBox(false);
      front_->Notify("Unable to open ap file x/ap, status is 12 (client " + std::to_string(client) + ")");
      QVERIFY(!offered);
    }
    nextBox(false);
    front_->Notify("Unable to open ap file x/ap, status is 12 (client 3)");
    QVERIFY(offered);
    nextBox(true);
    front_->Notify("Unable to open ap file x/ap, status is 12 (client 4)");
    QVERIFY(offered);
    QCOMPARE(boxes, 4);
    for (int client = 5; client <= 1001; ++client) {
      front_->Notify("Unable to open ap file x/ap, status is 12 (client " + std::to_string(client) + ")");
    }
    QCOMPARE(boxes, 4);
    QCOMPARE(front_->Suppressed(), 997LL);
    // Another text is still shown, and the next run shows every box again.
    nextBox(false);
    front_->Notify("Done");
    QCOMPARE(boxes, 5);
    front_->BeginRun();
    nextBox(false);
    front_->Notify("Unable to open ap file x/ap, status is 12 (client 1)");
    QCOMPARE(boxes, 6);
    QCOMPARE(front_->Suppressed(), 0LL);
  }

  // A long text (an error quoting a long statement, many lines) opens in a scrollable
  // viewer, whole; a short one stays a message box. The repeated-message offer goes with it.
  void LongTextsGoIntoAViewerShortOnesStayBoxes() {
    std::string statement = "no such column: Phone9 in UPDATE Customer SET ";
    for (int i = 0; i < 60; ++i) statement += "Phone" + std::to_string(i) + " = NULL, ";
    QString seenText;
    QString kind;
    bool checkOffered = false;
    const auto next = [&](bool tick) {
      OnNextModal([&, tick](QWidget* modal) {
        kind = QString::fromLatin1(modal->metaObject()->className());
        seenText = ToldText(modal);
        if (auto* viewer = qobject_cast<TextDialog*>(modal)) {
          QVERIFY(viewer->Text()->isReadOnly());
          checkOffered = viewer->Check() != nullptr;
          if (checkOffered && tick) viewer->Check()->setChecked(true);
        }
        modal->close();
      });
    };
    std::string hook;
    front_->SetErrorHook([&](const std::string& text) { hook = text; });
    next(false);
    front_->ShowError(statement);
    QCOMPARE(kind, QStringLiteral("talvor::gui::TextDialog"));
    QCOMPARE(seenText, QString::fromStdString(statement));
    QCOMPARE(hook, statement);

    next(false);
    front_->ShowError("no such table: Customer");
    QCOMPARE(kind, QStringLiteral("QMessageBox"));
    QCOMPARE(hook, std::string("no such table: Customer"));

    std::string lines;
    for (int i = 1; i <= kBoxLines; ++i) lines += "conflict " + std::to_string(i) + "\n";
    QVERIFY(NeedsViewer(QString::fromStdString(lines)));
    QVERIFY(!NeedsViewer(QStringLiteral("one\ntwo")));

    front_->BeginRun();
    for (int i = 0; i < 3; ++i) {
      next(i == 2);
      front_->Notify(lines + "client " + std::to_string(i));
      QCOMPARE(kind, QStringLiteral("talvor::gui::TextDialog"));
      QCOMPARE(checkOffered, i == 2);
    }
    front_->Notify(lines + "client 9");
    QCOMPARE(front_->Suppressed(), 1LL);
  }

  // A picture taken by the program: nobody can answer, so nothing may wait for anyone.
  void UnattendedNeverOpensABoxAndAQuestionEndsTheRun() {
    bool opened = false;
    OnNextModal([&](QWidget* modal) {
      opened = true;
      modal->close();
    });
    front_->SetUnattended(true);
    front_->Notify("a message");
    front_->ShowError("first error");
    front_->ShowError("second error");
    bool thrown = false;
    try {
      front_->AskYesNo("Backfill Codes?");
    } catch (const std::runtime_error& e) {
      thrown = std::string(e.what()).find("asked \"Backfill Codes?\"") != std::string::npos;
    }
    QVERIFY(thrown);
    QCoreApplication::processEvents();
    QVERIFY(!opened);
    QCOMPARE(front_->UnattendedError(), std::string("first error"));
    front_->SetUnattended(false);
    front_->Notify("shown now");
    QVERIFY(opened);
  }

  void ShowErrorIsTheCriticalBox() {
    BoxSeen seen;
    AcceptNextBox(seen, nullptr);
    front_->ShowError("no such table: Customer");
    QVERIFY(seen.opened);
    QCOMPARE(seen.text, QStringLiteral("no such table: Customer"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
  }

  void StatusWaitsForTheNextRepaint() {
    front_->ShowStatus("running.....");
    QCOMPARE(label_->text(), QStringLiteral("Select an Option to begin"));
    front_->Flush();
    QCOMPARE(label_->text(), QStringLiteral("running....."));
    front_->Flush();
    QCOMPARE(label_->text(), QStringLiteral("running....."));
  }

  // Each step: advance the clock, set a status, ask for a repaint; then whether pending
  // events were delivered and what the label shows.
  void RepaintsAtMostEveryFiftyMilliseconds_data() {
    QTest::addColumn<QList<int>>("advance");
    QTest::addColumn<QList<bool>>("delivered");
    QTest::newRow("first call always repaints") << QList<int>{0} << QList<bool>{true};
    QTest::newRow("49 ms later: skipped") << QList<int>{0, 49} << QList<bool>{true, false};
    QTest::newRow("50 ms later: repaints") << QList<int>{0, 50} << QList<bool>{true, true};
    QTest::newRow("many quick calls then one past the interval")
        << QList<int>{0, 10, 10, 10, 10, 10, 1}
        << QList<bool>{true, false, false, false, false, true, false};
    QTest::newRow("interval counts from the last repaint, not the last call")
        << QList<int>{0, 30, 30, 30} << QList<bool>{true, false, true, false};
  }

  void RepaintsAtMostEveryFiftyMilliseconds() {
    QFETCH(QList<int>, advance);
    QFETCH(QList<bool>, delivered);
    EventCounter counter;
    QString shown = label_->text();
    for (qsizetype i = 0; i < advance.size(); ++i) {
      now_ += advance[i];
      const int before = counter.delivered;
      QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
      const QString status = QStringLiteral("record %1").arg(i);
      front_->ShowStatus(status.toStdString());
      front_->ProcessMessages();
      if (delivered[i]) shown = status;
      QCOMPARE(counter.delivered > before, delivered[i]);
      QCOMPARE(label_->text(), shown);
    }
    QCoreApplication::removePostedEvents(&counter);
  }

 private:
  qint64 now_ = 0;
  std::unique_ptr<QLabel> label_;
  std::unique_ptr<TYesNoWin> yesNo_;
  std::unique_ptr<QtFrontend> front_;
};

}  // namespace

int RunFrontendTests(int argc, char** argv) {
  FrontendTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace talvor::gui::testing

#include "qt_frontend_test.moc"
