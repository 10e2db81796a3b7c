// The Runs window: the history of the working directory after the window is opened again,
// with runs of an earlier window and of the command line; each run's own report (the copy
// kept with it); an undo that left a conflict, finished once the record is put back; how a
// stopped run and one that failed read in the list.
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <sstream>
#include <stdexcept>
#include <string>

#include "journal/journal_file.h"
#include "legacy/engine.h"
#include "legacy/record_file.h"
#include "shell/cli/cli_app.h"
#include "shell/gui/chg_clt_dialog.h"
#include "shell/gui/last_run_panel.h"
#include "shell/gui/main_window.h"
#include "shell/gui/qt_text.h"
#include "shell/gui/report_viewer.h"
#include "shell/gui/runs_window.h"
#include "shell/gui/text_box.h"
#include "shell/gui/yes_no_window.h"
#include "shell/report_file.h"
#include "tests/shell/gui/gui_test_util.h"

namespace talvor::gui::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kLength = 12;
const std::string kOriginal = "KEY1--------";
int writes = 0;  // how often "Count Note" ran: each run's report says which it was

std::string NotesPath() {
  return (fs::current_path() / "notes").string();
}

void MarkFirstRecord(char mark) {
  const int h = CBtrvOapi();
  if (btrOpen(h, "", NotesPath().c_str(), 1, 1, 0) != kBtrOk) throw std::runtime_error("open");
  std::string record(kLength, ' ');
  int length = kLength;
  if (btrGetFirst(h, record.data(), &length, 0, 0) != kBtrOk) throw std::runtime_error("read");
  record[5] = mark;
  if (btrUpdate(h, record.data(), &length) != kBtrOk) throw std::runtime_error("update");
  btrClose(h);
  btrDestroy(h);
}

std::string FirstRecord() {
  std::string first, error;
  ForEachRecord(
      NotesPath(), 0,
      [&](std::string_view r) {
        if (first.empty()) first = std::string(r);
      },
      &error);
  return first;
}

// Writes the report "notes.TXT" saying which write this is, and marks the first record.
void CountNote(TForm1& form) {
  ReportFile report(form, "notes.TXT");
  report.Line("write " + std::to_string(++writes));
  MarkFirstRecord('X');
  form.Label3 = "Done";
}

void FailAtOnce(TForm1& form) {
  form.Label3 = "Client 7";
  throw std::runtime_error("no such table: Customer");
}

MainWindow* shownWindow = nullptr;  // the window of the test, for "Stop Me"

// Presses the window's "Stop" as a person would while it runs.
void StopMe(TForm1& form) {
  form.Label3 = "Client 1";
  shownWindow->findChild<QPushButton*>(QStringLiteral("btnStop"))->click();
  form.Label3 = "Client 2";
}

const RoutineEntry kEntries[] = {
    {"Count Note", CountNote, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Fail At Once", FailAtOnce, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Stop Me", StopMe, nullptr, false, ButtonGroup::kGrid, true, true, ""},
};

class RunsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    writes = 0;
    dir_ = std::make_unique<ScratchDir>();
    home_ = fs::current_path();
    fs::current_path(dir_->path());
    dir_->Write("talvor.cfg", "data\nAGYFORMS\nServer\n01\n");
    std::string error;
    RecordFileDefinition notes{kLength, {{0, 4, false}}};
    QVERIFY2(CreateRecordFile(NotesPath(), notes, &error), error.c_str());
    QVERIFY2(LoadRecords(NotesPath(), {kOriginal, "KEY2--------"}, &error), error.c_str());
    MakeWindow();
  }

  void cleanup() {
    window_.reset();
    fs::current_path(home_);
    dir_.reset();
  }

  // Runs of a window since closed and of the command line are all there, newest first;
  // an old run opens the report it wrote, not today's file of that name.
  void HistoryHoldsEveryRunAfterTheWindowIsOpenedAgain() {
    Click("Count Note");
    const std::string first = window_->LastRun()->RunId();
    QVERIFY(!first.empty());
    window_.reset();

    std::istringstream in;
    std::ostringstream out, err;
    const std::vector<const RoutineEntry*> registry{&kEntries[0], &kEntries[1], &kEntries[2]};
    CliEnvironment env{registry, &clock_, &in, &out, &err, false, false, {}};
    QCOMPARE(RunCli({"run", "count-note"}, env), 0);
    QCOMPARE(writes, 2);

    MakeWindow();
    RunsWindow* runs = window_->OpenRuns();
    QVERIFY(runs == window_->Runs());
    QTreeWidget* list = runs->Runs();
    QCOMPARE(list->topLevelItemCount(), 2);
    // Newest first: the command line's run, then the first window's.
    QVERIFY(list->topLevelItem(0)->text(RunsWindow::kId) != FromBytes(first));
    QCOMPARE(list->topLevelItem(1)->text(RunsWindow::kId), FromBytes(first));
    for (int i = 0; i < 2; ++i) {
      QTreeWidgetItem* item = list->topLevelItem(i);
      QCOMPARE(item->text(RunsWindow::kRoutine), QStringLiteral("Count Note"));
      QCOMPARE(item->text(RunsWindow::kMode), QStringLiteral("run"));
      QCOMPARE(item->text(RunsWindow::kEnded), QStringLiteral("Completed."));
      QCOMPARE(item->text(RunsWindow::kWhen), QStringLiteral("2015-07-30 09:00:00"));
    }
    QCOMPARE(list->topLevelItem(1)->text(RunsWindow::kRecords), QStringLiteral("1"));
    // The first record was already marked by the first run: the second changed nothing.
    QCOMPARE(list->topLevelItem(0)->text(RunsWindow::kRecords), QStringLiteral("0"));
    QCOMPARE(list->topLevelItem(0)->text(RunsWindow::kRows), QStringLiteral("0"));

    QVERIFY(runs->Pick(first));
    LastRunPanel* panel = runs->Panel();
    QCOMPARE(panel->RunId(), first);
    QVERIFY(panel->Summary()->text().contains(QStringLiteral("notes: 1 records (1 updated)")));
    QCOMPARE(panel->Reports()->count(), 1);
    ReportViewer* report = panel->OpenSelectedReport();
    QVERIFY(report != nullptr);
    QCOMPARE(report->Text()->toPlainText(), QStringLiteral("write 1\n"));
    QVERIFY(report->windowTitle().contains(FromBytes(first)));
    report->close();
    std::string error;
    const auto dir = journal::FindRunDir(fs::current_path(), first, &error);
    QVERIFY2(dir.has_value(), error.c_str());
    QVERIFY(fs::exists(journal::ReportCopyPath(*dir, "notes.TXT")));

    // A run of the window shows up in the open history at once.
    Click("Count Note");
    QCOMPARE(list->topLevelItemCount(), 3);
    QCOMPARE(panel->RunId(), window_->LastRun()->RunId());
  }

  // Without a copy (a run recorded before copies were kept) the report of the working
  // directory opens, as the list's hint says.
  void ARunWithoutACopyOpensTheFileOfTheFolder() {
    Click("Count Note");
    std::string error;
    const auto dir = journal::FindRunDir(fs::current_path(), "last", &error);
    QVERIFY2(dir.has_value(), error.c_str());
    fs::remove_all(*dir / journal::kReportCopiesFolder);
    dir_->Write("notes.TXT", "today's\r\n");
    RunsWindow* runs = window_->OpenRuns();
    QVERIFY(runs->Panel()->Reports()->item(0)->toolTip().contains(QStringLiteral("No copy")));
    ReportViewer* report = runs->Panel()->OpenSelectedReport();
    QVERIFY(report != nullptr);
    QCOMPARE(report->Text()->toPlainText(), QStringLiteral("today's\n"));
    report->close();
  }

  // An undo blocked by a later change keeps the run in view and says what is left; once
  // the record is as the run left it, Undo again puts everything back.
  void AnUndoLeftWithAConflictCanBeFinished() {
    Click("Count Note");
    const std::string run = window_->LastRun()->RunId();
    MarkFirstRecord('Y');
    RunsWindow* runs = window_->OpenRuns();
    LastRunPanel* panel = runs->Panel();
    QCOMPARE(panel->RunId(), run);
    panel->confirm = [](const QString&) { return true; };
    QString told = CloseNext([panel] { panel->UndoShownRun(); });
    QVERIFY2(told.contains(QStringLiteral("conflict: notes")), qPrintable(told));
    QCOMPARE(FirstRecord(), std::string("KEY1-Y------"));
    QCOMPARE(panel->RunId(), run);
    const QString summary = panel->Summary()->text();
    QVERIFY2(summary.contains(QStringLiteral("left 1 row or record changed since the run")),
             qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("press Undo again")), qPrintable(summary));
    QVERIFY(panel->UndoButton()->isEnabled());
    // The undo that was tried is in the history too.
    QCOMPARE(runs->Runs()->topLevelItemCount(), 2);

    MarkFirstRecord('X');
    told = CloseNext([panel] { panel->UndoShownRun(); });
    QVERIFY2(told.contains(QStringLiteral("was undone.")), qPrintable(told));
    QCOMPARE(FirstRecord(), kOriginal);
    QCOMPARE(runs->Runs()->topLevelItemCount(), 3);
    QVERIFY(runs->Runs()->topLevelItem(2)->text(RunsWindow::kEnded).contains(QStringLiteral("(undone)")));
    // The main window's panel does not offer to undo it again.
    window_->LastRun()->ShowRun(run, "");
    QVERIFY(!window_->LastRun()->UndoButton()->isEnabled());
  }

  // A run that failed and one that was stopped read so in red, in the list and the panel.
  void FailedAndStoppedRunsAreRed() {
    CloseNext([this] { Click("Fail At Once"); });
    QVERIFY2(window_->LastRun()->EndedBadly(),
             qPrintable(window_->LastRun()->Ended()->text() + window_->LastRun()->Summary()->text()));
    const QString told = CloseNext([this] { Click("Stop Me"); });
    QCOMPARE(told, QStringLiteral("stopped by the operator"));
    QCOMPARE(window_->LastRun()->Ended()->text(), QStringLiteral("Stopped by the operator."));
    QVERIFY(window_->LastRun()->EndedBadly());
    QCOMPARE(window_->RunningLabel()->text(), QStringLiteral("Stop Me stopped after 0:00"));
    QVERIFY(window_->RunningLabel()->styleSheet().contains(QStringLiteral("#c00000")));
    Click("Count Note");
    QVERIFY(!window_->LastRun()->EndedBadly());
    QCOMPARE(window_->RunningLabel()->text(), QStringLiteral("Count Note ran 0:00"));

    RunsWindow* runs = window_->OpenRuns();
    QTreeWidgetItem* stopped = runs->Runs()->topLevelItem(1);
    QCOMPARE(stopped->text(RunsWindow::kEnded), QStringLiteral("Stopped by the operator."));
    QCOMPARE(stopped->foreground(RunsWindow::kEnded).color(), QColor(0xc0, 0, 0));
    QTreeWidgetItem* failed = runs->Runs()->topLevelItem(2);
    QCOMPARE(failed->text(RunsWindow::kEnded),
             QStringLiteral("Ended on an error: no such table: Customer"));
    QCOMPARE(failed->foreground(RunsWindow::kEnded).color(), QColor(0xc0, 0, 0));
    QVERIFY(runs->Pick(ToBytes(failed->text(RunsWindow::kId))));
    QVERIFY(runs->Panel()->EndedBadly());
    QVERIFY(runs->Panel()->Ended()->isVisible() || !runs->isVisible());
    QVERIFY(runs->Panel()->Ended()->styleSheet().contains(QStringLiteral("#c00000")));
    QCOMPARE(runs->Runs()->topLevelItem(0)->text(RunsWindow::kEnded), QStringLiteral("Completed."));
  }

 private:
  void MakeWindow() {
    window_ = std::make_unique<MainWindow>(
        clock_, dir_->path(),
        std::vector<const RoutineEntry*>{&kEntries[0], &kEntries[1], &kEntries[2]});
    chgClt_ = std::make_unique<TChgClt>();
    yesNo_ = std::make_unique<TYesNoWin>();
    window_->AttachDialogs(chgClt_.get(), yesNo_.get());
    shownWindow = window_.get();
  }

  void Click(const char* caption) {
    for (QPushButton* b : window_->findChildren<QPushButton*>()) {
      if (b->text() == QLatin1String(caption)) {
        QTest::mouseClick(b, Qt::LeftButton);
        return;
      }
    }
    QFAIL(caption);
  }

  // Runs `action`, closing the box or viewer it opens; returns what it said.
  QString CloseNext(const std::function<void()>& action) {
    QString text;
    OnNextModal([&](QWidget* modal) {
      text = ToldText(modal);
      modal->close();
    });
    action();
    return text;
  }

  FixedClock clock_{DateTime{{2015, 7, 30}, 9, 0, 0}};
  std::unique_ptr<ScratchDir> dir_;
  fs::path home_;
  std::unique_ptr<TChgClt> chgClt_;
  std::unique_ptr<TYesNoWin> yesNo_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace

int RunRunsWindowTests(int argc, char** argv) {
  RunsWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace talvor::gui::testing

#include "runs_window_test.moc"
