// The run protocol: how every button and the command line run one routine. An error the
// routine does not handle ends the run and is shown; no run starts without its journal; a
// report that cannot be written ends the run; a dry run copies and deletes no file; the
// questions and messages of a run reach its journal in order through a recording front end,
// and afterwards the window's front end and an unwatched SiteFiles are back, whatever ended
// the run; control bytes are shown escaped.
#include "shell/run_protocol.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "journal/changes_report.h"
#include "journal/journal_file.h"
#include "journal/undo.h"
#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "shell/text/dates.h"
#include "tests/testing/scripted_frontend.h"
#include "tests/testing/site_fixture.h"
#include "tests/testing/temp_dir.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;
namespace ap = layout::ap;

void ThrowsFileSystemError(TForm1&) {
  throw std::filesystem::filesystem_error("Cannot create report file",
                                          std::filesystem::path("x.txt"),
                                          std::make_error_code(std::errc::permission_denied));
}

void ThrowsDateError(TForm1& form) {
  TextToLegacyDate("13/45/2010", form.Formats);
}

void EndsWell(TForm1& form) {
  form.Label3 = "Done!";
}

TEST(RunProtocol, UnhandledErrorsAreShownAndEndTheRun) {
  const testing::TempWorkDir site;  // the runs' journals go there
  ScriptedFrontend fe;
  FixedClock clock({{2026, 1, 2}, 0, 0, 0});
  TForm1 form(fe, clock);
  const RoutineEntry fsEntry{
      "Fs", &ThrowsFileSystemError, nullptr, false, ButtonGroup::kGrid, true, true, ""};
  const RoutineEntry dateEntry{
      "Dt", &ThrowsDateError, nullptr, false, ButtonGroup::kGrid, true, true, ""};
  const RoutineEntry okEntry{"Ok", &EndsWell, nullptr, false, ButtonGroup::kGrid, true, true, ""};

  RunOutcome fs = RunRoutine(form, fsEntry);
  EXPECT_FALSE(fs.completed);
  EXPECT_NE(fs.error.find("x.txt"), std::string::npos) << fs.error;

  RunOutcome dt = RunRoutine(form, dateEntry);
  EXPECT_FALSE(dt.completed);
  EXPECT_EQ(dt.error, "'13/45/2010' is not a valid date");
  ASSERT_EQ(fe.Errors().size(), 2u);
  EXPECT_EQ(fe.Errors()[1], dt.error);

  // The form stays usable for the next routine.
  RunOutcome ok = RunRoutine(form, okEntry);
  EXPECT_TRUE(ok.completed);
  EXPECT_EQ(form.Label3.Caption(), "Done!");
  EXPECT_EQ(fe.Errors().size(), 2u);
}

std::string ClientLine(const std::string& number, const std::string& line, char fill) {
  std::string record(ap::kRecordLength, fill);
  layout::SetField(record, ap::Key, layout::ApKey(ap::kClient, "01", number, line));
  layout::SetField(record, ap::RecTypeCopy, ap::kClient);
  return record;
}

journal::RunRecord ReadRunOf(const std::string& id) {
  std::string error;
  auto dir = journal::FindRunDir(fs::current_path(), id, &error);
  EXPECT_TRUE(dir) << error;
  auto run = journal::ReadRun(dir.value_or(fs::path()), &error);
  EXPECT_TRUE(run) << error;
  return run.value_or(journal::RunRecord{});
}

// Sets byte `at` of the record of "ap" (in the data folder) whose key is `key` to `value`.
void RewriteApByte(TForm1& form, const std::string& key, std::size_t at, char value) {
  BtrHandle file;
  const std::string path = form.edtDatapath + "/ap";
  if (int status = btrOpen(file, "", path.c_str(), 1, 1, 0); status != kBtrOk) {
    throw std::runtime_error("cannot open " + path + ": status " + std::to_string(status));
  }
  std::string record(ap::kBufferLength, ' ');
  int length = ap::kBufferLength;
  if (btrGetEqual(file, record.data(), &length, key.c_str(), 0, 0) != kBtrOk) {
    throw std::runtime_error("no record " + key);
  }
  record[at] = value;
  if (btrUpdate(file, record.data(), &length) != kBtrOk) {
    throw std::runtime_error("cannot update " + key);
  }
}

// Routines of the tests.

// Changes the first client's phone in the database, then a byte of client 42's line 01 in
// "ap".
void ChangesARowAndARecord(TForm1& form) {
  form.tblClients.SetDatabaseName(form.edtODBCName);
  form.tblClients.Open();
  form.tblClients.First();
  form.tblClients.Edit();
  form.tblClients.SetString("Phone1", "(555)123-4567");
  form.tblClients.Post();
  RewriteApByte(form, layout::ApKey(ap::kClient, "01", "    42", "01"), 40, 'Z');
  form.Label3 = "Done!";
}

void PutsANulInARecord(TForm1& form) {
  RewriteApByte(form, layout::ApKey(ap::kClient, "01", "    44", "01"), 50, '\0');
}

void CopyAndDelete(TForm1& form) {
  std::string why;
  form.Files().Copy("letter.doc", "letter-copy.doc", &why);
  form.Files().Copy("letter.doc", "agreement.doc", &why);
  form.Files().Delete("old.MKD", &why);
  form.Label3 = "Files done";
}

void WritesToAFullDisk(TForm1& form) {
  ReportFile report(form, "full.TXT");
  report.Line("a finding");
  report.Close();
}

void LeavesAFullReportOpen(TForm1& form) {
  ReportFile report(form, "full.TXT");
  report.Line("a finding");
  form.Label3 = "Done";
}

void NotifiesANul(TForm1& form) {
  static constexpr char kText[] =
      "key [\0\x01"
      "42] done";
  form.Notify(std::string(kText, sizeof kText - 1));
}

class RunProtocolTest : public testing::SiteTest {
 protected:
  using Table = std::vector<std::vector<std::string>>;

  void SetUp() override {
    testing::SiteTest::SetUp();
    Sql("INSERT INTO Customer (AgyCode, Number, Name, CustType, Phone1, Phone2, Phone3) VALUES "
        "('01', '    42', 'ACME', 1, '555.123.4567', '5551234', ''), "
        "('01', '    43', 'BOLT', 1, '(555)999-0000', '', '')");
    Put("ap", {ClientLine("    42", "01", 'x'), ClientLine("    42", "02", 'y')});
  }

  Table Customers() const { return Rows("SELECT rowid, * FROM Customer ORDER BY rowid"); }

  RunOutcome RunEntry(const char* caption, void (*routine)(TForm1&),
                      RunKind kind = RunKind::kRecorded) {
    const RoutineEntry entry{caption, routine, nullptr, false, ButtonGroup::kGrid, true, true, ""};
    return RunRoutine(*form, entry, kind);
  }
};

// A person who asks for a stop as soon as the routine shows its first status.
class StoppingFrontend final : public ScriptedFrontend {
 public:
  void ShowStatus(const std::string& text) override {
    ScriptedFrontend::ShowStatus(text);
    stop_ = true;
  }
  bool StopWanted() override { return stop_; }

 private:
  bool stop_ = false;
};

TEST_F(RunProtocolTest, AStoppedRunEndsAtItsStatusUpdateWithItsChangesWholeAndUndoable) {
  const Table customersBefore = Customers();
  const auto recordsBefore = Records("ap");
  StoppingFrontend stopper;
  form->SetFrontend(stopper);
  const RunOutcome outcome = RunEntry("Change Both", &ChangesARowAndARecord);
  EXPECT_FALSE(outcome.completed);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.error, kStoppedText);
  EXPECT_EQ(stopper.Errors(), std::vector<std::string>{kStoppedText});
  // Both changes came before the label's update: they stay, and the journal has them.
  EXPECT_NE(Customers(), customersBefore);
  EXPECT_NE(Records("ap"), recordsBefore);
  const journal::RunRecord run = ReadRunOf(outcome.runId);
  EXPECT_EQ(run.outcome, std::string("error ") + kStoppedText);
  EXPECT_TRUE(run.complete);
  EXPECT_EQ(run.changeCount, 2);
  EXPECT_EQ(form->Label3.Caption(), "Done!") << "the label shows where it stopped";

  const journal::UndoResult undo = journal::UndoRun(fs::current_path(), outcome.runId, clock);
  EXPECT_TRUE(undo.Whole()) << undo.error;
  EXPECT_EQ(Customers(), customersBefore);
  EXPECT_EQ(Records("ap"), recordsBefore);
}

TEST_F(RunProtocolTest, ARunWhoseJournalCannotBeCreatedIsNotStarted) {
  WriteFile(".talvor", "a file where the journal's folder should be");
  const auto records = Records("ap");
  const Table rows = Customers();

  const RunOutcome outcome = Run(&ChangesARowAndARecord);

  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("the run was not started"), std::string::npos) << outcome.error;
  EXPECT_NE(outcome.error.find("TALVOR_JOURNAL=off"), std::string::npos);
  EXPECT_EQ(fe.Errors(), std::vector<std::string>{outcome.error});
  EXPECT_EQ(Records("ap"), records);
  EXPECT_EQ(Customers(), rows);

  ::setenv("TALVOR_JOURNAL", "off", 1);
  const RunOutcome unrecorded = Run(&ChangesARowAndARecord);
  ::unsetenv("TALVOR_JOURNAL");
  EXPECT_TRUE(unrecorded.completed) << unrecorded.error;
  EXPECT_NE(Records("ap"), records);
}

TEST_F(RunProtocolTest, AReportThatCannotBeWrittenEndsTheRun) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this machine";
  fs::create_symlink("/dev/full", "full.TXT");
  const RunOutcome closed = RunEntry("Full", &WritesToAFullDisk);
  EXPECT_FALSE(closed.completed);
  EXPECT_NE(closed.error.find("Cannot write report file"), std::string::npos) << closed.error;
  EXPECT_NE(closed.error.find("full.TXT"), std::string::npos);
  // A routine that leaves the file to its destructor still ends on the error.
  const RunOutcome open = RunEntry("Full", &LeavesAFullReportOpen);
  EXPECT_FALSE(open.completed);
  EXPECT_NE(open.error.find("No space left on device"), std::string::npos) << open.error;
  EXPECT_EQ(ReadRunOf(open.runId).outcome.rfind("error ", 0), 0u);

  // A report that cannot be created says why, not "Input/output error".
  fs::create_directory("dir.TXT");
  const RoutineEntry entry{"Dir",
                           [](TForm1& form) { ReportFile r(form, "dir.TXT"); },
                           nullptr,
                           false,
                           ButtonGroup::kGrid,
                           true,
                           true,
                           ""};
  const RunOutcome dir = RunRoutine(*form, entry);
  EXPECT_FALSE(dir.completed);
  EXPECT_NE(dir.error.find("Is a directory"), std::string::npos) << dir.error;
}

TEST_F(RunProtocolTest, DryRunCopiesAndDeletesNoFileAndARealRunRecordsWhatItDid) {
  WriteFile("letter.doc", "the letter");
  WriteFile("agreement.doc", "the agreement");
  WriteFile("old.MKD", "work table");

  const RunOutcome dry = RunEntry("Copy And Delete", &CopyAndDelete, RunKind::kDryRun);
  ASSERT_TRUE(dry.completed) << dry.error;
  EXPECT_FALSE(FileExists("letter-copy.doc"));
  EXPECT_EQ(ReadFile("agreement.doc"), "the agreement");
  EXPECT_TRUE(FileExists("old.MKD"));
  const std::string shownDry = journal::ShowRun(ReadRunOf(dry.runId), fs::current_path());
  EXPECT_NE(shownDry.find("file copied: letter.doc -> letter-copy.doc (dry run: not done)\n"),
            std::string::npos)
      << shownDry;
  EXPECT_NE(shownDry.find("file deleted: old.MKD (dry run: not done)\n"), std::string::npos);

  const RunOutcome real = RunEntry("Copy And Delete", &CopyAndDelete);
  ASSERT_TRUE(real.completed) << real.error;
  EXPECT_EQ(ReadFile("letter-copy.doc"), "the letter");
  EXPECT_EQ(ReadFile("agreement.doc"), "the letter");
  EXPECT_FALSE(FileExists("old.MKD"));
  const std::string shown = journal::ShowRun(ReadRunOf(real.runId), fs::current_path());
  EXPECT_NE(shown.find("file copied: letter.doc -> letter-copy.doc\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("file copied: letter.doc -> agreement.doc (replaced a file)\n"),
            std::string::npos);
  EXPECT_NE(shown.find("file deleted: old.MKD\n"), std::string::npos);
}

TEST_F(RunProtocolTest, ControlBytesAreShownEscapedInMessagesErrorsAndTheChangesReport) {
  const RunOutcome note = RunEntry("Nul", &NotifiesANul);
  ASSERT_TRUE(note.completed);
  EXPECT_EQ(fe.Notes(), std::vector<std::string>{"key [\\x00\\x0142] done"});

  form->edtODBCName = std::string("AGY\0FORMS", 9);
  const RunOutcome error = Run(&ChangesARowAndARecord);
  EXPECT_FALSE(error.completed);
  EXPECT_NE(error.error.find("AGY\\x00FORMS"), std::string::npos) << error.error;

  form->edtODBCName = "AGYFORMS";
  Put("ap", ClientLine("    44", "01", 'n'));
  const RunOutcome changed = RunEntry("Nul Record", &PutsANulInARecord);
  ASSERT_TRUE(changed.completed) << changed.error;
  const std::string shown = journal::ShowRun(ReadRunOf(changed.runId), fs::current_path());
  // The NUL is shown as "\x00" in the after-image, the before-image's byte padded to its
  // width, and the marks stand under all four characters.
  EXPECT_NE(shown.find("001" + std::string(31, 'n') + "\\x00" + std::string(77, 'n') + "|\n"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("\n" + std::string(62, ' ') + "^^^^\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("bytes changed: 50\n"), std::string::npos);
}

// What a routine saw of the form while it ran.
struct Seen {
  Frontend* frontend = nullptr;
  FileWatcher* watcher = nullptr;
  bool dryRun = false;
};
Seen g_seen;

void Look(TForm1& form) {
  g_seen.frontend = &form.frontend();
  g_seen.watcher = form.Files().Watcher();
  g_seen.dryRun = form.Files().DryRun();
}

void AsksAndTells(TForm1& form) {
  Look(form);
  if (form.AskYesNo("Fix 2 clients?") == kAnswerYes) form.Notify("Fixing 2 clients");
  form.AskYesNo("Write a report?");
  form.Notify("Done: 2 fixed");
  form.AskYesNo("Go on?");
  form.Label3 = "Finished";
}

void AsksThenThrows(TForm1& form) {
  Look(form);
  form.AskYesNo("Fix 2 clients?");
  throw std::runtime_error("the routine broke");
}

void AsksThenThrowsSomethingElse(TForm1& form) {
  Look(form);
  form.Notify("about to fail");
  throw 42;
}

using Events = std::vector<std::pair<std::string, std::vector<std::string>>>;

Events EventsOf(const journal::RunRecord& run) {
  Events events;
  for (const journal::Event& e : run.events) events.emplace_back(e.tag, e.fields);
  return events;
}

TEST_F(RunProtocolTest, QuestionsAndMessagesAreJournaledInOrderAndTheWindowSeesThemToo) {
  fe.QueueAnswer(kAnswerYes);
  fe.QueueAnswer(kAnswerNo);
  fe.QueueAnswer(kAnswerCancel);
  g_seen = {};
  const RunOutcome outcome = RunEntry("Asks And Tells", &AsksAndTells);
  ASSERT_TRUE(outcome.completed) << outcome.error;

  EXPECT_NE(g_seen.frontend, nullptr);
  EXPECT_NE(g_seen.frontend, &fe) << "the run records through a front end of its own";
  // A question closed without an answer is journaled as a "no".
  EXPECT_EQ(EventsOf(ReadRunOf(outcome.runId)), (Events{{"ask", {"Fix 2 clients?", "yes"}},
                                                        {"notify", {"Fixing 2 clients"}},
                                                        {"ask", {"Write a report?", "no"}},
                                                        {"notify", {"Done: 2 fixed"}},
                                                        {"ask", {"Go on?", "no"}}}));
  ASSERT_EQ(fe.Events().size(), 5u);
  EXPECT_EQ(fe.Questions(),
            (std::vector<std::string>{"Fix 2 clients?", "Write a report?", "Go on?"}));
  EXPECT_EQ(fe.Notes(), (std::vector<std::string>{"Fixing 2 clients", "Done: 2 fixed"}));
  EXPECT_EQ(fe.Events()[1].kind, ScriptedFrontend::Event::kNotify);
  EXPECT_EQ(fe.Statuses().back(), "Finished");

  // After the run the window's front end is the form's again: the status label, questions
  // and messages go to it and to no journal.
  EXPECT_EQ(&form->frontend(), &fe);
  form->Label3 = "Select an Option";
  EXPECT_EQ(fe.Statuses().back(), "Select an Option");
  form->Notify("after the run");
  EXPECT_EQ(fe.Notes().back(), "after the run");
  EXPECT_EQ(ReadRunOf(outcome.runId).events.size(), 5u);
}

TEST_F(RunProtocolTest, TheWindowsFrontEndIsBackAfterARunThatEndedOnAnException) {
  struct Case {
    const char* caption;
    void (*routine)(TForm1&);
    std::string error;
    Events journaled;
  };
  const std::vector<Case> cases = {
      {"Throws", &AsksThenThrows, "the routine broke", {{"ask", {"Fix 2 clients?", "no"}}}},
      {"Throws Else",
       &AsksThenThrowsSomethingElse,
       "The routine ended on an unknown error",
       {{"notify", {"about to fail"}}}},
  };
  for (const Case& c : cases) {
    fe.Clear();
    g_seen = {};
    const RunOutcome outcome = RunEntry(c.caption, c.routine);
    EXPECT_FALSE(outcome.completed) << c.caption;
    EXPECT_EQ(outcome.error, c.error);
    EXPECT_NE(g_seen.frontend, &fe) << c.caption;
    EXPECT_EQ(&form->frontend(), &fe) << c.caption;
    EXPECT_EQ(fe.Errors(), std::vector<std::string>{c.error}) << c.caption;
    const journal::RunRecord run = ReadRunOf(outcome.runId);
    EXPECT_EQ(EventsOf(run), c.journaled) << c.caption;
    EXPECT_EQ(run.outcome, "error " + c.error) << c.caption;
    form->Label3 = "next";
    EXPECT_EQ(fe.Statuses().back(), "next") << c.caption;
  }
}

TEST_F(RunProtocolTest, TheFilesWatchLastsForTheRunOnly) {
  struct Case {
    void (*routine)(TForm1&);
    RunKind kind;
    bool completes;
  };
  WriteFile("letter.doc", "the letter");
  for (const Case& c :
       {Case{&AsksAndTells, RunKind::kRecorded, true}, Case{&AsksAndTells, RunKind::kDryRun, true},
        Case{&AsksThenThrows, RunKind::kRecorded, false},
        Case{&AsksThenThrows, RunKind::kDryRun, false}}) {
    const bool dry = c.kind == RunKind::kDryRun;
    SCOPED_TRACE(std::string(dry ? "dry run" : "run") + (c.completes ? "" : " ending on an error"));
    g_seen = {};
    const RunOutcome outcome = RunEntry("Files", c.routine, c.kind);
    EXPECT_EQ(outcome.completed, c.completes) << outcome.error;
    EXPECT_NE(g_seen.watcher, nullptr);
    EXPECT_EQ(g_seen.dryRun, dry);
    EXPECT_EQ(form->Files().Watcher(), nullptr);
    EXPECT_FALSE(form->Files().DryRun());
  }
  // A copy after the runs is done and journaled nowhere.
  const std::size_t runs = journal::ListRunDirs(fs::current_path()).size();
  std::string why;
  EXPECT_TRUE(form->Files().Copy("letter.doc", "after.doc", &why)) << why;
  EXPECT_EQ(ReadFile("after.doc"), "the letter");
  EXPECT_EQ(journal::ListRunDirs(fs::current_path()).size(), runs);
  for (const fs::path& dir : journal::ListRunDirs(fs::current_path())) {
    std::string error;
    const auto run = journal::ReadRun(dir, &error);
    ASSERT_TRUE(run) << error;
    for (const journal::Event& e : run->events) EXPECT_NE(e.tag, "file") << dir;
  }
}

TEST_F(RunProtocolTest, ADryRunsJournalListsItsQuestions) {
  fe.QueueAnswer(kAnswerYes);
  fe.QueueAnswer(kAnswerNo);
  const RunOutcome outcome = RunEntry("Asks And Tells", &AsksAndTells, RunKind::kDryRun);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  const journal::RunRecord run = ReadRunOf(outcome.runId);
  EXPECT_EQ(run.mode, "dry-run");
  EXPECT_TRUE(run.complete) << run.endNote;
  EXPECT_EQ(EventsOf(run), (Events{{"ask", {"Fix 2 clients?", "yes"}},
                                   {"notify", {"Fixing 2 clients"}},
                                   {"ask", {"Write a report?", "no"}},
                                   {"notify", {"Done: 2 fixed"}},
                                   {"ask", {"Go on?", "no"}}}));
  const std::string shown = journal::ShowRun(run, fs::current_path());
  EXPECT_NE(shown.find("(dry run: nothing was changed)\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("asked: Fix 2 clients? => yes\nmessage: Fixing 2 clients\n"
                       "asked: Write a report? => no\n"),
            std::string::npos)
      << shown;
}

}  // namespace
}  // namespace talvor
