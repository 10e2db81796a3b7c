// The panel under the routine buttons: after a run it lists the report files (read-only
// viewer), the changes, and undoes the run; an undo blocked by a later change says so.
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <fstream>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <string>

#include "journal/journal_file.h"
#include "legacy/engine.h"
#include "legacy/record_file.h"
#include "shell/gui/chg_clt_dialog.h"
#include "shell/gui/last_run_panel.h"
#include "shell/gui/main_window.h"
#include "shell/gui/qt_text.h"
#include "shell/gui/report_viewer.h"
#include "shell/gui/text_box.h"
#include "shell/gui/yes_no_window.h"
#include "shell/report_file.h"
#include "tests/shell/gui/gui_test_util.h"

namespace talvor::gui::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kLength = 12;
const std::string kOriginal = "KEY1--------";

std::string NotesPath() {
  return (fs::current_path() / "notes").string();
}

// Changes byte 5 of the first record through the engine (as a routine would), to `mark`.
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
  std::string first;
  std::string error;
  ForEachRecord(
      NotesPath(), 0,
      [&](std::string_view r) {
        if (first.empty()) first = std::string(r);
      },
      &error);
  return first;
}

void RewriteNote(TForm1& form) {
  ReportFile report(form, "notes.TXT");
  report.Line("note rewritten");
  MarkFirstRecord('X');
  form.Label3 = "Done";
}

// Marks byte 6 of every record, as a routine that touches the whole file would.
void MarkAll(TForm1& form) {
  const int h = CBtrvOapi();
  if (btrOpen(h, "", NotesPath().c_str(), 1, 1, 0) != kBtrOk) throw std::runtime_error("open");
  std::string record(kLength, ' ');
  int length = kLength;
  for (int status = btrGetFirst(h, record.data(), &length, 0, 0); status == kBtrOk;
       status = btrGetNext(h, record.data(), &length, 0)) {
    record[6] = 'M';
    if (btrUpdate(h, record.data(), &length) != kBtrOk) throw std::runtime_error("update");
    length = kLength;
  }
  btrClose(h);
  btrDestroy(h);
  form.Label3 = "Done";
}

void LookOnly(TForm1& form) {
  ReportFile report(form, "look.TXT");
  report.Line("nothing to change");
}

const RoutineEntry kEntries[] = {
    {"Rewrite Note", RewriteNote, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Look Only", LookOnly, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Mark All", MarkAll, nullptr, false, ButtonGroup::kGrid, true, true, ""},
};

class LastRunPanelTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<ScratchDir>();
    home_ = fs::current_path();
    fs::current_path(dir_->path());
    // The window runs nothing in a folder that is not a site.
    dir_->Write("AGYFORMS.db", "");
    std::string error;
    RecordFileDefinition notes{kLength, {{0, 4, false}}};
    QVERIFY2(CreateRecordFile(NotesPath(), notes, &error), error.c_str());
    QVERIFY2(LoadRecords(NotesPath(), {kOriginal, "KEY2--------"}, &error), error.c_str());
    window_ = std::make_unique<MainWindow>(
        clock_, dir_->path(),
        std::vector<const RoutineEntry*>{&kEntries[0], &kEntries[1], &kEntries[2]});
    chgClt_ = std::make_unique<TChgClt>();
    yesNo_ = std::make_unique<TYesNoWin>();
    window_->AttachDialogs(chgClt_.get(), yesNo_.get());
    panel_ = window_->LastRun();
  }

  void cleanup() {
    window_.reset();
    fs::current_path(home_);
    dir_.reset();
  }

  void NothingToShowBeforeTheFirstRun() {
    QVERIFY(panel_->RunId().empty());
    QVERIFY(!panel_->UndoButton()->isEnabled());
    QVERIFY(!panel_->ChangesButton()->isEnabled());
    QVERIFY(!panel_->OpenButton()->isEnabled());
    QCOMPARE(panel_->Reports()->count(), 0);
  }

  void AfterARunItsReportsAndChangesAreShown() {
    Click("Rewrite Note");
    QVERIFY(!panel_->RunId().empty());
    const QString summary = panel_->Summary()->text();
    QVERIFY2(summary.contains(QStringLiteral("Rewrite Note")), qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("notes: 1 records (1 updated)")), qPrintable(summary));
    QCOMPARE(panel_->Reports()->count(), 1);
    QCOMPARE(panel_->Reports()->item(0)->text(), QStringLiteral("notes.TXT"));
    QVERIFY(panel_->OpenButton()->isEnabled());
    QVERIFY(panel_->UndoButton()->isEnabled());

    ReportViewer* report = panel_->OpenSelectedReport();
    QVERIFY(report != nullptr);
    QVERIFY(report->Text()->isReadOnly());
    QCOMPARE(report->Text()->toPlainText(), QStringLiteral("note rewritten\n"));
    report->close();

    ReportViewer* changes = panel_->OpenChanges();
    QVERIFY(changes != nullptr);
    const QString text = changes->Text()->toPlainText();
    QVERIFY2(text.contains(QStringLiteral("before |KEY1--------|")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("after  |KEY1-X------|")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("bytes changed: 5")), qPrintable(text));
    changes->close();
  }

  void UndoPutsTheRecordBackAndShowsTheUndoRun() {
    Click("Rewrite Note");
    QCOMPARE(FirstRecord(), std::string("KEY1-X------"));
    const std::string run = panel_->RunId();

    panel_->confirm = [](const QString&) { return false; };
    panel_->UndoShownRun();
    QCOMPARE(FirstRecord(), std::string("KEY1-X------"));
    QCOMPARE(panel_->RunId(), run);

    QString asked;
    panel_->confirm = [&](const QString& q) {
      asked = q;
      return true;
    };
    const QString told = CloseNextMessage([this] { panel_->UndoShownRun(); });
    QVERIFY(asked.contains(FromBytes(run)));
    QVERIFY2(told.contains(QStringLiteral("was undone.")), qPrintable(told));
    QVERIFY2(told.contains(QStringLiteral("undone: notes")), qPrintable(told));
    QCOMPARE(FirstRecord(), kOriginal);
    // The panel now shows the undo, which can itself be undone.
    QVERIFY(panel_->RunId() != run);
    QVERIFY(panel_->Summary()->text().contains(QStringLiteral("undoes: ") + FromBytes(run)));
    QVERIFY(panel_->UndoButton()->isEnabled());
  }

  void ARecordChangedSinceTheRunBlocksTheUndo() {
    Click("Rewrite Note");
    MarkFirstRecord('Y');  // another program, after the run
    panel_->confirm = [](const QString&) { return true; };
    const QString told = CloseNextMessage([this] { panel_->UndoShownRun(); });
    QVERIFY2(told.contains(QStringLiteral("conflict: ")), qPrintable(told));
    QVERIFY2(told.contains(QStringLiteral("nothing was undone")), qPrintable(told));
    QCOMPARE(FirstRecord(), std::string("KEY1-Y------"));
  }

  // Forty conflicts are a long list: it opens in the scrollable viewer, whole, not in a
  // box taller than the screen.
  void AnUndoWithManyConflictsListsThemInAViewer() {
    std::vector<std::string> more;
    for (int i = 10; i < 50; ++i) more.push_back("K" + std::to_string(i) + "---------");
    std::string error;
    QVERIFY2(LoadRecords(NotesPath(), more, &error), error.c_str());
    Click("Mark All");
    QVERIFY(panel_->Summary()->text().contains(QStringLiteral("notes: 42 records (42 updated)")));
    // Every record changed again since the run: byte 7 now.
    const int h = CBtrvOapi();
    QCOMPARE(btrOpen(h, "", NotesPath().c_str(), 1, 1, 0), kBtrOk);
    std::string record(kLength, ' ');
    int length = kLength;
    for (int status = btrGetFirst(h, record.data(), &length, 0, 0); status == kBtrOk;
         status = btrGetNext(h, record.data(), &length, 0)) {
      record[7] = 'Z';
      QCOMPARE(btrUpdate(h, record.data(), &length), kBtrOk);
      length = kLength;
    }
    btrClose(h);
    btrDestroy(h);

    panel_->confirm = [](const QString&) { return true; };
    QString kind;
    QString told;
    OnNextModal([&](QWidget* modal) {
      kind = QString::fromLatin1(modal->metaObject()->className());
      told = ToldText(modal);
      modal->close();
    });
    panel_->UndoShownRun();
    QCOMPARE(kind, QStringLiteral("talvor::gui::TextDialog"));
    QCOMPARE(told.count(QStringLiteral("conflict: notes")), 42);
    QVERIFY(panel_->Summary()->text().contains(QStringLiteral("left 42 rows or records")));
  }

  void ARunThatChangedNothingCannotBeUndone() {
    Click("Look Only");
    QCOMPARE(panel_->Reports()->item(0)->text(), QStringLiteral("look.TXT"));
    QVERIFY(panel_->ChangesButton()->isEnabled());
    QVERIFY(!panel_->UndoButton()->isEnabled());
    QVERIFY(panel_->UndoButton()->toolTip().contains(QStringLiteral("changed nothing")));
    QVERIFY(panel_->Summary()->text().contains(QStringLiteral("changes: none")));
  }

  // The run's folder keeps its own copy, which outlives the file; without either, a
  // warning names the file.
  void AReportRemovedSinceTheRunGivesAWarning() {
    Click("Look Only");
    fs::remove("look.TXT");
    ReportViewer* copy = panel_->OpenSelectedReport();
    QVERIFY(copy != nullptr);
    QCOMPARE(copy->Text()->toPlainText(), QStringLiteral("nothing to change\n"));
    copy->close();
    std::string error;
    const auto dir = journal::FindRunDir(fs::current_path(), panel_->RunId(), &error);
    QVERIFY2(dir.has_value(), error.c_str());
    fs::remove_all(*dir / journal::kReportCopiesFolder);
    const QString told = CloseNextMessage([this] { QVERIFY(!panel_->OpenSelectedReport()); });
    QVERIFY2(told.contains(QStringLiteral("look.TXT")), qPrintable(told));
  }

  void AnUnrecordedRunSaysSo() {
    ::setenv("TALVOR_JOURNAL", "off", 1);
    Click("Rewrite Note");
    ::unsetenv("TALVOR_JOURNAL");
    QVERIFY(panel_->RunId().empty());
    QVERIFY(panel_->Summary()->text().contains(QStringLiteral("not recorded")));
    QVERIFY(!panel_->UndoButton()->isEnabled());
  }

  // A long record changed far to the right: the viewer shows its bytes escaped and opens
  // with the changed bytes marked and in view.
  void ChangesViewerKeepsTheChangedBytesInView() {
    const std::string id = "20150730-090000-long";
    const fs::path dir = journal::RunsDir(fs::current_path()) / id;
    fs::create_directories(dir);
    std::string before(400, 'a');
    std::string after = before;
    after[350] = '\0';
    after[351] = '\xE9';
    std::ofstream(dir / "journal", std::ios::binary)
        << "talvor-journal\t1\nroutine\tLong\nslug\tlong\nmode\trun\n"
        << "started\t2015-07-30 09:00:00\nstore\t1\trecord\tnotes\n"
        << "change\t1\trecords\tU\t0\t0\t2\t2\tBKEY1\tB" << before << "\t=\tB"
        << journal::Escape(after) << "\noutcome\tcompleted\nend\tcomplete\n";
    panel_->ShowRun(id, "");
    QCOMPARE(panel_->RunId(), id);
    ReportViewer* changes = panel_->OpenChanges();
    QVERIFY(changes != nullptr);
    QPlainTextEdit* text = changes->Text();
    QVERIFY(text->toPlainText().contains(QString(350, QLatin1Char('a')) + QStringLiteral("\\x00\\xE9")));
    QVERIFY(text->toPlainText().contains(QStringLiteral("bytes changed: 350-351")));
    // Both images marked: before and after.
    QCOMPARE(text->extraSelections().size(), 2);
    const QTextCursor at = text->textCursor();
    QVERIFY(at.block().text().startsWith(QStringLiteral("    after  |")));
    QCOMPARE(at.positionInBlock(), 12 + 350);
    // Scrolled right far enough that the changed bytes are on screen.
    QVERIFY(text->horizontalScrollBar()->value() > 0);
    const QRect cursor = text->cursorRect(at);
    QVERIFY(text->viewport()->rect().contains(cursor.center()));
    changes->close();
  }

  void ViewerShowsAtMostTheLimit() {
    dir_->Write("big.TXT", std::string(100, 'a'));
    std::string problem;
    const QString text = ReadForViewing(dir_->path() / "big.TXT", 40, &problem);
    QVERIFY(problem.empty());
    QVERIFY(text.startsWith(QString(40, QLatin1Char('a')) + QLatin1Char('\n')));
    QVERIFY(text.contains(QStringLiteral("holds 100 bytes; the first 40 are shown")));
    QVERIFY(ReadForViewing(dir_->path(), 40, &problem).isEmpty());
    QVERIFY(problem.find("directory") != std::string::npos);
    problem.clear();
    ReadForViewing(dir_->path() / "none.TXT", 40, &problem);
    QVERIFY(problem.find("none.TXT") != std::string::npos);
  }

 private:
  void Click(const char* caption) {
    for (QPushButton* b : window_->findChildren<QPushButton*>()) {
      if (b->text() == QLatin1String(caption)) {
        QTest::mouseClick(b, Qt::LeftButton);
        return;
      }
    }
    QFAIL(caption);
  }

  // Runs `action`, closing the message box it opens; returns the box's text.
  QString CloseNextMessage(const std::function<void()>& action) {
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
  LastRunPanel* panel_ = nullptr;
};

}  // namespace

int RunLastRunPanelTests(int argc, char** argv) {
  LastRunPanelTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace talvor::gui::testing

#include "last_run_panel_test.moc"
