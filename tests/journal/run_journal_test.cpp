// The run journal on a small site: what a recorded run keeps, undo (whole, blocked by a
// later change, after a killed run), dry runs and the talvor-cli commands over them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/cli/cli_app.h"
#include "journal/changes_report.h"
#include "journal/journal_file.h"
#include "journal/undo.h"
#include "routines/registry.h"
#include "routines/kit/routine_support.h"
#include "shell/report_file.h"
#include "sqldb/error.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;
namespace ap = layout::ap;

std::string ClientLine(const std::string& number, const std::string& line, char fill) {
  std::string record(ap::kRecordLength, fill);
  layout::SetField(record, ap::Key, layout::ApKey(ap::kClient, "01", number, line));
  layout::SetField(record, ap::RecTypeCopy, ap::kClient);
  return record;
}

// A checksum (FNV-1a) of a file's bytes; 0 when it is missing or empty.
std::uint64_t Checksum(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  if (bytes.empty()) return 0;
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

journal::RunRecord ReadLastRun() {
  std::string error;
  auto dir = journal::FindRunDir(fs::current_path(), "last", &error);
  EXPECT_TRUE(dir) << error;
  auto run = journal::ReadRun(dir.value_or(fs::path()), &error);
  EXPECT_TRUE(run) << error;
  return run.value_or(journal::RunRecord{});
}

// A routine of the test: rewrites the "01" line of client 42 and adds a line "09", then
// dies at once, as a run killed by the operator would.
void UpdateThenDie(TForm1& form) {
  BtrHandle file;
  OpenLegacyFile(form, file, LegacyPath(form, "ap"), "ap");
  std::string record(ap::kBufferLength, ' ');
  int length = ap::kBufferLength;
  const std::string key = layout::ApKey(ap::kClient, "01", "    42", "01");
  if (btrGetEqual(file, record.data(), &length, key.c_str(), 0, 0) != kBtrOk) std::_Exit(4);
  record[40] = 'Z';
  if (btrUpdate(file, record.data(), &length) != kBtrOk) std::_Exit(5);
  layout::SetField(record, ap::Key, layout::ApKey(ap::kClient, "01", "    42", "09"));
  if (btrInsert(file, record.data(), &length, 0) != kBtrOk) std::_Exit(6);
  std::_Exit(3);
}

// A routine of the test that drops a table.
void DropCustomer(TForm1& form) {
  form.PvQuery1.SetDatabaseName(form.edtODBCName);
  form.PvQuery1.SqlClear();
  form.PvQuery1.SqlAdd("DROP TABLE \"Customer\"");
  form.PvQuery1.Open();
  form.Label3 = "Dropped";
}

// A routine of the test whose UPDATE writes the first row and fails on the second (an
// integer overflow), so that the statement is undone.
void FailingUpdate(TForm1& form) {
  form.PvQuery1.SetDatabaseName(form.edtODBCName);
  form.PvQuery1.SqlClear();
  form.PvQuery1.SqlAdd(
      "UPDATE \"Customer\" SET CustType = CASE WHEN Number = '    43' THEN "
      "abs(-9223372036854775807 - 1) ELSE 2 END");
  try {
    form.PvQuery1.Open();
  } catch (const sqldb::Error&) {
    form.Label3 = "Refused";
  }
}

class JournalTest : public testing::SiteTest {
 protected:
  using Table = std::vector<std::vector<std::string>>;

  void SetUp() override {
    testing::SiteTest::SetUp();
    Sql("INSERT INTO Customer (AgyCode, Number, Name, CustType, Phone1, Phone2, Phone3) VALUES "
        "('01', '    42', 'ACME', 1, '555.123.4567', '5551234', ''), "
        "('01', '    43', 'BOLT', 1, '(555)999-0000', '', '')");
    // Client 42 has lines 01 and 02; client 43 has none, so the run inserts its lines.
    Put("ap", {ClientLine("    42", "01", 'x'), ClientLine("    42", "02", 'y')});
  }

  Table Customers() const { return Rows("SELECT rowid, * FROM Customer ORDER BY rowid"); }

  RunOutcome RunEntry(const char* caption, void (*routine)(TForm1&), RunKind kind) {
    const RoutineEntry entry{caption, routine, nullptr, false, ButtonGroup::kCommon,
                             true,    true,    ""};
    return RunRoutine(*form, entry, kind);
  }

  int Cli(const std::vector<std::string>& args, std::string* out) {
    std::istringstream in;
    std::ostringstream o, e;
    const std::vector<const RoutineEntry*> registry = Registry();
    CliEnvironment env{registry, &clock, &in, &o, &e, false, false, {}};
    const int status = RunCli(args, env);
    *out = o.str() + e.str();
    return status;
  }
};

TEST_F(JournalTest, RecordedRunKeepsSettingsChangesAndEndsComplete) {
  const RunOutcome outcome = RunEntry("Sync Phones", &SyncPhones, RunKind::kRecorded);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  ASSERT_FALSE(outcome.runId.empty());
  EXPECT_EQ(outcome.runId, "20261208-100000-sync-phones");

  const journal::RunRecord run = ReadLastRun();
  EXPECT_EQ(run.id, outcome.runId);
  EXPECT_EQ(run.routine, "Sync Phones");
  EXPECT_EQ(run.mode, "run");
  EXPECT_EQ(run.started, "2026-12-08 10:00:00");
  EXPECT_TRUE(run.complete) << run.endNote;
  EXPECT_EQ(run.outcome, "completed");
  ASSERT_EQ(run.settings.size(), 6u);
  EXPECT_EQ(run.settings[2], (std::pair<std::string, std::string>{"AgyCode", "01"}));

  int recordUpdates = 0, recordInserts = 0, rowUpdates = 0;
  for (const journal::Change& c : run.changes) {
    const journal::Store* store = run.FindStore(c.store);
    ASSERT_NE(store, nullptr);
    if (store->kind == journal::StoreKind::kRecord) {
      (c.op == 'U' ? recordUpdates : recordInserts)++;
      EXPECT_EQ(c.table, "records");
    } else {
      EXPECT_EQ(c.table, "Customer");
      EXPECT_EQ(c.op, 'U');
      ++rowUpdates;
    }
  }
  EXPECT_EQ(recordUpdates, 2);  // lines 01 and 02 of client 42
  EXPECT_EQ(recordInserts, 2);  // lines 01 and 02 of client 43
  EXPECT_EQ(rowUpdates, 2);     // both clients' phones reformatted
  EXPECT_EQ(journal::WhyNotUndoable(run), "");

  // A summary reads the images of none of the changes, the window those of the first few;
  // both count every change.
  std::string error;
  const auto counted = journal::ReadRun(run.dir, &error, 0);
  ASSERT_TRUE(counted) << error;
  EXPECT_TRUE(counted->changes.empty());
  EXPECT_EQ(counted->changeCount, static_cast<long long>(run.changes.size()));
  EXPECT_EQ(journal::RunSummary(*counted, fs::current_path()),
            journal::RunSummary(run, fs::current_path()));
  const auto firstTwo = journal::ReadRun(run.dir, &error, 2);
  ASSERT_TRUE(firstTwo) << error;
  ASSERT_EQ(firstTwo->changes.size(), 2u);
  EXPECT_EQ(firstTwo->changes[1].after, run.changes[1].after);
  // Whatever was kept, the changes report reads the others back from the journal.
  EXPECT_EQ(journal::ShowRun(*counted, fs::current_path()),
            journal::ShowRun(run, fs::current_path()));
  EXPECT_EQ(journal::ShowRun(*firstTwo, fs::current_path(), 3),
            journal::ShowRun(run, fs::current_path(), 3));

  // The window shows a long run's first changes and says how many more there are.
  const std::string shown = journal::ShowRun(run, fs::current_path(), 2);
  EXPECT_NE(shown.find("\n2. "), std::string::npos);
  EXPECT_EQ(shown.find("\n3. "), std::string::npos);
  EXPECT_NE(shown.find("... " + std::to_string(run.changes.size() - 2) + " more changes"),
            std::string::npos);

  // A second run right away gets a folder of its own, after the first.
  ASSERT_TRUE(RunEntry("Sync Phones", &SyncPhones, RunKind::kRecorded).completed);
  const journal::RunRecord second = ReadLastRun();
  EXPECT_EQ(second.id, "20261208-100000.2-sync-phones");
  EXPECT_TRUE(second.changes.empty()) << "the phones are already in their display form";
}

TEST_F(JournalTest, UndoRestoresEveryRecordAndRowByteForByte) {
  const auto recordsBefore = Records("ap");
  const Table rowsBefore = Customers();
  const RunOutcome outcome = Run(&SyncPhones);
  ASSERT_TRUE(outcome.completed);
  ASSERT_NE(Records("ap"), recordsBefore);
  ASSERT_NE(Customers(), rowsBefore);

  const journal::UndoResult undo = journal::UndoRun(fs::current_path(), outcome.runId, clock);

  EXPECT_TRUE(undo.Whole()) << undo.error;
  EXPECT_EQ(undo.undone.size(), 2u);
  EXPECT_EQ(Records("ap"), recordsBefore);
  EXPECT_EQ(Customers(), rowsBefore);
  EXPECT_EQ(Value("SELECT typeof(Phone3) FROM Customer WHERE Number = '    42'"), "text");

  // The undo is a recorded run of its own, and the undone run cannot be undone twice.
  const journal::RunRecord undoRun = ReadLastRun();
  EXPECT_EQ(undoRun.id, undo.runId);
  EXPECT_EQ(undoRun.mode, "undo");
  EXPECT_EQ(undoRun.undoes, outcome.runId);
  EXPECT_TRUE(undoRun.complete);
  EXPECT_EQ(undoRun.changes.size(), 6u);
  const journal::UndoResult again = journal::UndoRun(fs::current_path(), outcome.runId, clock);
  EXPECT_EQ(again.error, "run " + outcome.runId + " is already undone");

  // Undoing the undo brings the run's changes back.
  const journal::UndoResult redo = journal::UndoRun(fs::current_path(), undo.runId, clock);
  EXPECT_TRUE(redo.Whole()) << redo.error;
  ASSERT_TRUE(Run(&SyncPhones).completed);
  EXPECT_TRUE(ReadLastRun().changes.empty()) << "the run's changes are back in place";
}

TEST_F(JournalTest, RecordChangedAfterTheRunIsAConflict) {
  const RunOutcome outcome = Run(&SyncPhones);
  ASSERT_TRUE(outcome.completed);
  // Rewrite line 01 of client 43, which the run inserted.
  std::string line = Find("ap", layout::ApKey(ap::kClient, "01", "    43", "01")).value();
  line[100] = '#';
  const std::string path = (fs::path(DataPath()) / "ap").string();
  {
    BtrHandle file;
    ASSERT_EQ(btrOpen(file, "", path.c_str(), 1, 1, 0), kBtrOk);
    std::string buffer(ap::kBufferLength, ' ');
    int length = ap::kBufferLength;
    ASSERT_EQ(btrGetEqual(file, buffer.data(), &length, line.c_str(), 0, 0), kBtrOk);
    ASSERT_EQ(btrUpdate(file, line.data(), &length), kBtrOk);
  }
  const auto recordsAfterEdit = Records("ap");

  const journal::UndoResult undo = journal::UndoRun(fs::current_path(), outcome.runId, clock);

  ASSERT_EQ(undo.conflicts.size(), 1u);
  EXPECT_EQ(undo.conflicts[0],
            "data/ap: records key \"00100001    4301\" has changed since the run (bytes 100 "
            "differ)");
  EXPECT_EQ(Records("ap"), recordsAfterEdit);
}

TEST_F(JournalTest, DryRunChangesNothingAndRecordsWhatTheRealRunDoes) {
  const fs::path ap = fs::path(DataPath()) / "ap";
  // The SQL layer keeps a database in write-ahead mode; switch it before taking its checksum
  // so that only a change of content can change the file.
  Sql("PRAGMA journal_mode=WAL");
  const std::uint64_t apSum = Checksum(ap);
  const std::uint64_t dbSum = Checksum("AGYFORMS.db");
  ASSERT_NE(apSum, 0u);

  const RunOutcome dry = RunEntry("Sync Phones", &SyncPhones, RunKind::kDryRun);

  ASSERT_TRUE(dry.completed) << dry.error;
  EXPECT_EQ(form->Label3.Caption(), "Done!");
  EXPECT_EQ(Checksum(ap), apSum);
  EXPECT_EQ(Checksum("AGYFORMS.db"), dbSum);
  EXPECT_EQ(Checksum(ap.string() + "-wal"), 0u);
  EXPECT_EQ(Checksum("AGYFORMS.db-wal"), 0u);
  const journal::RunRecord dryRun = ReadLastRun();
  EXPECT_EQ(dryRun.mode, "dry-run");
  EXPECT_TRUE(dryRun.complete);

  const RunOutcome real = Run(&SyncPhones);
  ASSERT_TRUE(real.completed);
  const journal::RunRecord realRun = ReadLastRun();
  ASSERT_EQ(realRun.changes.size(), dryRun.changes.size());
  ASSERT_EQ(realRun.changes.size(), 6u);
  for (std::size_t i = 0; i < realRun.changes.size(); ++i) {
    const journal::Change& a = dryRun.changes[i];
    const journal::Change& b = realRun.changes[i];
    EXPECT_EQ(dryRun.FindStore(a.store)->path, realRun.FindStore(b.store)->path) << i;
    EXPECT_EQ(a.op, b.op) << i;
    EXPECT_EQ(a.before, b.before) << i;
    EXPECT_EQ(a.after, b.after) << i;
  }
  const journal::UndoResult undo = journal::UndoRun(fs::current_path(), dry.runId, clock);
  EXPECT_EQ(undo.error, "run " + dry.runId + " was a dry run: it changed nothing");
}

// Inside a dry run's transaction a failed statement is undone alone: the rows it wrote before
// failing are not in the journal, as they are in no real run's.
TEST_F(JournalTest, AStatementThatFailedLeavesNoChangeInAnyJournal) {
  for (RunKind kind : {RunKind::kDryRun, RunKind::kRecorded}) {
    const RunOutcome outcome = RunEntry("Failing Update", &FailingUpdate, kind);
    ASSERT_TRUE(outcome.completed) << outcome.error;
    EXPECT_EQ(form->Label3.Caption(), "Refused");
    EXPECT_TRUE(ReadLastRun().changes.empty()) << (kind == RunKind::kDryRun ? "dry run" : "run");
  }
  EXPECT_EQ(Value("SELECT group_concat(CustType) FROM Customer"), "1,1");
}

TEST_F(JournalTest, DryRunRefusesToDropATable) {
  const RunOutcome dry = RunEntry("Drop Customer", &DropCustomer, RunKind::kDryRun);

  EXPECT_FALSE(dry.completed);
  EXPECT_EQ(dry.error.rfind("Dry run: the routine wanted to drop the table \"Customer\", which "
                            "cannot be taken back; the statement was not run (",
                            0),
            0u)
      << dry.error;
  ASSERT_EQ(fe.Errors().size(), 1u);
  EXPECT_EQ(fe.Errors()[0], dry.error);
  EXPECT_EQ(Value("SELECT count(*) FROM Customer"), "2");

  // A real run drops it, and its journal says that an undo cannot bring it back.
  ASSERT_TRUE(RunEntry("Drop Customer", &DropCustomer, RunKind::kRecorded).completed);
  const journal::RunRecord run = ReadLastRun();
  ASSERT_EQ(run.events.size(), 1u);
  EXPECT_EQ(run.events[0].tag, "note");
  EXPECT_NE(run.events[0].fields[0].find("cannot bring them back"), std::string::npos);
}

TEST_F(JournalTest, KilledRunLeavesAJournalThatUndoCanUse) {
  const auto recordsBefore = Records("ap");
  EXPECT_EXIT(RunEntry("Update Then Die", &UpdateThenDie, RunKind::kRecorded),
              ::testing::ExitedWithCode(3), "");
  ASSERT_NE(Records("ap"), recordsBefore);

  const journal::RunRecord run = ReadLastRun();
  EXPECT_FALSE(run.complete);
  EXPECT_EQ(run.endNote, "the run never finished (killed?)");
  ASSERT_EQ(run.changes.size(), 2u);
  EXPECT_EQ(run.changes[0].op, 'U');
  EXPECT_EQ(run.changes[1].op, 'I');

  const journal::UndoResult undo = journal::UndoRun(fs::current_path(), run.id, clock);
  EXPECT_TRUE(undo.Whole()) << undo.error;
  EXPECT_EQ(Records("ap"), recordsBefore);
}

TEST_F(JournalTest, QuestionsMessagesAndReportFilesAreRecorded) {
  Sql("UPDATE Customer SET Zip = '12345-1'");
  ASSERT_TRUE(Run(&CleanZips).completed);
  const journal::RunRecord run = ReadLastRun();
  bool report = false;
  for (const journal::Event& e : run.events) {
    report = report || (e.tag == "report" && e.fields[0] == "ZipExtScan.txt");
  }
  EXPECT_TRUE(report);
  EXPECT_NE(journal::ShowRun(run, fs::current_path()).find("report file: ZipExtScan.txt"),
            std::string::npos);
  EXPECT_EQ(journal::ReportFiles(run), std::vector<std::string>{"ZipExtScan.txt"});

  EXPECT_EQ(journal::WhyNotUndoable(run), "run " + run.id + " changed nothing");
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Each run's folder keeps the reports it wrote as it wrote them, a dry run's too, whatever
// a later run writes under the same name; the journal file is as it was.
int numberedRuns = 0;
// A routine of the test: a report that says which run wrote it.
void WriteNumberedReport(TForm1& form) {
  ReportFile report(form, "Numbered.txt");
  report.Line("run " + std::to_string(++numberedRuns));
}

TEST_F(JournalTest, EachRunKeepsACopyOfTheReportFilesItWrote) {
  ASSERT_TRUE(RunEntry("Numbered", &WriteNumberedReport, RunKind::kRecorded).completed);
  const journal::RunRecord first = ReadLastRun();
  const fs::path copy = journal::KeptReportCopy(first, "Numbered.txt");
  EXPECT_EQ(copy, first.dir / "reports" / "Numbered.txt");
  const std::string firstReport = Slurp("Numbered.txt");
  EXPECT_EQ(firstReport, "run " + std::to_string(numberedRuns) + "\r\n");
  EXPECT_EQ(Slurp(copy), firstReport);
  EXPECT_EQ(Slurp(first.dir / "journal").find("reports/"), std::string::npos);

  ASSERT_TRUE(RunEntry("Numbered", &WriteNumberedReport, RunKind::kDryRun).completed);
  const journal::RunRecord dry = ReadLastRun();
  EXPECT_EQ(dry.mode, "dry-run");
  ASSERT_NE(Slurp("Numbered.txt"), firstReport);
  EXPECT_EQ(Slurp(journal::KeptReportCopy(dry, "Numbered.txt")), Slurp("Numbered.txt"));
  EXPECT_EQ(Slurp(copy), firstReport);
  EXPECT_TRUE(journal::KeptReportCopy(dry, "Other.txt").empty());
}

TEST_F(JournalTest, JournalCanBeSwitchedOffForMeasurements) {
  ::setenv("TALVOR_JOURNAL", "off", 1);
  const RunOutcome outcome = Run(&SyncPhones);
  ::unsetenv("TALVOR_JOURNAL");
  ASSERT_TRUE(outcome.completed);
  EXPECT_TRUE(outcome.runId.empty());
  EXPECT_TRUE(journal::ListRunDirs(fs::current_path()).empty());
}

TEST_F(JournalTest, CliListsShowsAndUndoesRuns) {
  std::string out;
  ASSERT_EQ(Cli({"runs"}, &out), kExitOk);
  EXPECT_EQ(out, "no recorded runs\n");

  ASSERT_EQ(Cli({"run", "sync-phones", "--datapath", DataPath(), "--dry-run"}, &out), kExitOk);
  EXPECT_NE(out.find("dry run: nothing was changed; what it would change: talvor-cli runs show "
                     "20261208-100000-sync-phones"),
            std::string::npos)
      << out;
  ASSERT_EQ(Cli({"run", "sync-phones", "--datapath", DataPath()}, &out), kExitOk);

  // One line per run; --routine and --since choose.
  ASSERT_EQ(Cli({"runs"}, &out), kExitOk);
  EXPECT_EQ(out,
            "20261208-100000-sync-phones  2026-12-08 10:00:00  Sync Phones  dry run  completed  "
            "4 records, 2 rows\n"
            "20261208-100000.2-sync-phones  2026-12-08 10:00:00  Sync Phones  run  completed  "
            "4 records, 2 rows\n");
  ASSERT_EQ(Cli({"runs", "--routine", "clean-zips"}, &out), kExitOk);
  EXPECT_EQ(out, "no recorded runs\n");
  ASSERT_EQ(Cli({"runs", "--routine", "SYNC PHONES", "--since", "2026-12-08 10:00"}, &out), kExitOk);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
  ASSERT_EQ(Cli({"runs", "--since", "2026-12-09"}, &out), kExitOk);
  EXPECT_EQ(out, "no recorded runs\n");
  EXPECT_EQ(Cli({"runs", "--since", "yesterday"}, &out), kExitUsage);

  ASSERT_EQ(Cli({"runs", "--long"}, &out), kExitOk);
  EXPECT_NE(out.find("20261208-100000-sync-phones  2026-12-08 10:00:00  Sync Phones  (dry run: "
                     "nothing was changed)\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("    data/ap: 4 records (2 inserted, 2 updated)\n"), std::string::npos);
  EXPECT_NE(out.find("    AGYFORMS.db Customer: 2 rows (2 updated)\n"), std::string::npos);
  EXPECT_NE(out.find("journal complete"), std::string::npos);

  ASSERT_EQ(Cli({"runs", "show", "20261208-100000.2"}, &out), kExitOk);
  EXPECT_NE(out.find("* Phone1: \"555.123.4567\" -> \"(555)123-4567\"\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("bytes changed: "), std::string::npos);
  EXPECT_NE(out.find("            "), std::string::npos);

  EXPECT_EQ(Cli({"runs", "show", "nosuch"}, &out), kExitFailed);
  EXPECT_EQ(out, "talvor-cli: no recorded run \"nosuch\" (talvor-cli runs lists them)\n");
  EXPECT_EQ(Cli({"runs", "show", "2026"}, &out), kExitFailed);
  EXPECT_NE(out.find("names 2 recorded runs"), std::string::npos);

  // One store, one key, another format; bad words are usage errors that name them.
  ASSERT_EQ(Cli({"runs", "show", "last", "--store", "customer", "--format", "csv"}, &out), kExitOk);
  EXPECT_EQ(out.rfind("number,store,table,change,key,changed,before,after\r\n", 0), 0u) << out;
  EXPECT_NE(out.find(",AGYFORMS.db,Customer,updated,1,"), std::string::npos) << out;
  EXPECT_NE(out.find("Phone1=\"\"555.123.4567\"\""), std::string::npos) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3) << out;
  ASSERT_EQ(Cli({"runs", "show", "last", "--store", "DATA/AP", "--key",
                 layout::ApKey(ap::kClient, "01", "    43", ""), "--format", "json"},
                &out),
            kExitOk);
  EXPECT_EQ(out.rfind("[\n  {\"number\": ", 0), 0u) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '{'), 2) << out;  // lines 01 and 02 of client 43
  EXPECT_NE(out.find("\"change\": \"inserted\""), std::string::npos);
  ASSERT_EQ(Cli({"runs", "show", "last", "--key", "2"}, &out), kExitOk);
  EXPECT_NE(out.find("1 of 6 changes shown (--key 2)\n"), std::string::npos) << out;
  EXPECT_EQ(Cli({"runs", "show", "last", "--format", "xml"}, &out), kExitUsage);
  EXPECT_EQ(out, "talvor-cli: runs show --format: \"xml\" is not a format; give text, csv or json\n");
  EXPECT_EQ(Cli({"runs", "show", "last", "--store", "Invoice"}, &out), kExitUsage);
  EXPECT_NE(out.find("talvor-cli: runs show --store: run 20261208-100000.2-sync-phones changed no "
                     "file, database or table \"Invoice\""),
            std::string::npos)
      << out;
  EXPECT_EQ(Cli({"runs", "show", "last", "--key", ""}, &out), kExitUsage);
  EXPECT_NE(out.find("--key"), std::string::npos);

  ASSERT_EQ(Cli({"undo", "20261208-100000.2"}, &out), kExitOk) << out;
  EXPECT_NE(out.find("undone: data/ap\n"), std::string::npos) << out;
  EXPECT_NE(out.find("undone: AGYFORMS.db\n"), std::string::npos);
  EXPECT_EQ(Value("SELECT Phone1 FROM Customer WHERE Number = '    42'"), "555.123.4567");
}

}  // namespace
}  // namespace talvor
