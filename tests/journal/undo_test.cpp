// What undo promises on a small site, tried the way an operator (or an attacker) would: all
// or nothing and without false conflicts, undo of a copied site, and a store outside the
// site put back only when asked. (What the run protocol promises around every run is in
// tests/shell/run_protocol_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "routines/client/client_routines.h"
#include "journal/journal_file.h"
#include "journal/undo.h"
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

journal::RunRecord ReadRunOf(const std::string& id) {
  std::string error;
  auto dir = journal::FindRunDir(fs::current_path(), id, &error);
  EXPECT_TRUE(dir) << error;
  auto run = journal::ReadRun(dir.value_or(fs::path()), &error);
  EXPECT_TRUE(run) << error;
  return run.value_or(journal::RunRecord{});
}

// Routines of the tests.
void DeleteClient43(TForm1& form) {
  form.PvQuery1.SetDatabaseName(form.edtODBCName);
  form.PvQuery1.SqlClear();
  form.PvQuery1.SqlAdd("DELETE FROM \"Customer\" WHERE Number = '    43'");
  form.PvQuery1.Open();
  form.Label3 = "Deleted";
}

class GuaranteesTest : public testing::SiteTest {
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
    const RoutineEntry entry{caption, routine, nullptr, false, ButtonGroup::kGrid,
                             true,    true,    ""};
    return RunRoutine(*form, entry, kind);
  }

  journal::UndoResult Undo(const std::string& id, journal::UndoOptions options = {}) {
    return journal::UndoRun(fs::current_path(), id, clock, options);
  }
};

// A REAL column holding a whole number is kept in the journal as the record stores it (an
// integer) and reads back as a real: the same value, never a conflict.
TEST_F(GuaranteesTest, RealColumnsGiveNoFalseConflictsInUndoOrInTheUndoOfAnUndo) {
  Sql("ALTER TABLE Customer ADD COLUMN Size REAL DEFAULT 1.0");
  Sql("UPDATE Customer SET Size = 2.0 WHERE Number = '    42'");
  const Table before = Customers();

  const RunOutcome phones = Run(&SyncPhones);
  ASSERT_TRUE(phones.completed) << phones.error;
  const journal::UndoResult undo = Undo(phones.runId);
  EXPECT_TRUE(undo.Whole()) << ::testing::PrintToString(journal::UndoReport(undo));
  EXPECT_EQ(Customers(), before);

  const RunOutcome gone = RunEntry("Delete Client", &DeleteClient43);
  ASSERT_TRUE(gone.completed) << gone.error;
  ASSERT_EQ(Value("SELECT count(*) FROM Customer"), "1");
  const journal::UndoResult back = Undo(gone.runId);
  ASSERT_TRUE(back.Whole()) << ::testing::PrintToString(journal::UndoReport(back));
  EXPECT_EQ(Customers(), before);
  EXPECT_EQ(Value("SELECT typeof(Size) FROM Customer WHERE Number = '    43'"), "real");
  // The undo re-inserted the row; undoing the undo finds it as it left it and deletes it.
  const journal::UndoResult again = Undo(back.runId);
  EXPECT_TRUE(again.Whole()) << ::testing::PrintToString(journal::UndoReport(again));
  EXPECT_EQ(Value("SELECT count(*) FROM Customer"), "1");
  EXPECT_TRUE(Undo(again.runId).Whole());
  EXPECT_EQ(Customers(), before);
}

TEST_F(GuaranteesTest, AConflictInOneStoreUndoesNothingUnlessAskedForAPartialUndo) {
  const RunOutcome outcome = Run(&SyncPhones);
  ASSERT_TRUE(outcome.completed);
  const auto recordsAfterRun = Records("ap");
  Sql("UPDATE Customer SET Name = 'ACME LTD' WHERE Number = '    42'");
  const Table rowsAfterEdit = Customers();

  const journal::UndoResult undo = Undo(outcome.runId);

  EXPECT_FALSE(undo.Whole());
  ASSERT_EQ(undo.conflicts.size(), 1u);
  EXPECT_EQ(undo.conflicts[0],
            "AGYFORMS.db: Customer row 1 has changed since the run (Name is now \"ACME LTD\", "
            "the run left \"ACME\")");
  EXPECT_TRUE(undo.undone.empty());
  EXPECT_EQ(undo.heldBack, std::vector<std::string>{"data/ap"});
  EXPECT_EQ(Customers(), rowsAfterEdit);
  EXPECT_EQ(Records("ap"), recordsAfterRun) << "the file stays in step with its table";
  const std::vector<std::string> report = journal::UndoReport(undo);
  EXPECT_NE(std::find(report.begin(), report.end(), "held back: data/ap (no conflict of its own)"),
            report.end());

  journal::UndoOptions partial;
  partial.partial = true;
  const journal::UndoResult part = Undo(outcome.runId, partial);
  EXPECT_EQ(part.undone, std::vector<std::string>{"data/ap"});
  ASSERT_EQ(part.conflicts.size(), 1u);
  EXPECT_EQ(Customers(), rowsAfterEdit);
  EXPECT_NE(Records("ap"), recordsAfterRun);

  // Once the row is put back by hand, undo finishes the rest.
  Sql("UPDATE Customer SET Name = 'ACME' WHERE Number = '    42'");
  const journal::UndoResult rest = Undo(outcome.runId);
  EXPECT_TRUE(rest.Whole()) << ::testing::PrintToString(journal::UndoReport(rest));
  EXPECT_EQ(rest.undone, std::vector<std::string>{"AGYFORMS.db"});
  EXPECT_EQ(Value("SELECT Phone1 FROM Customer WHERE Number = '    42'"), "555.123.4567");
}

TEST_F(GuaranteesTest, UndoInACopiedSitePutsBackTheCopyAndLeavesTheOriginal) {
  const RunOutcome outcome = Run(&SyncPhones);
  ASSERT_TRUE(outcome.completed);
  const journal::RunRecord run = ReadRunOf(outcome.runId);
  for (const journal::Store& store : run.stores) {
    EXPECT_FALSE(fs::path(store.path).is_absolute()) << store.path;
  }
  const fs::path original = fs::current_path();
  const fs::path copy = original.string() + "-copy";
  fs::copy(original, copy, fs::copy_options::recursive);
  const auto originalRecords = Records("ap");
  const Table originalRows = Customers();

  fs::current_path(copy);
  const journal::UndoResult undo = Undo("last");
  EXPECT_TRUE(undo.Whole()) << ::testing::PrintToString(journal::UndoReport(undo));
  const std::string copiedPhone = Value("SELECT Phone1 FROM Customer WHERE Number = '    42'");
  fs::current_path(original);
  fs::remove_all(copy);

  EXPECT_EQ(copiedPhone, "555.123.4567");
  EXPECT_EQ(Records("ap"), originalRecords);
  EXPECT_EQ(Customers(), originalRows);
}

TEST_F(GuaranteesTest, AStoreOutsideTheSiteIsPutBackOnlyWhenAsked) {
  const fs::path elsewhere = fs::current_path().string() + "-elsewhere";
  fs::create_directories(elsewhere);
  fs::copy_file("AGYFORMS.db", elsewhere / "OUTSIDE.db");
  WriteFile("aliases.cfg", "OUTSIDE=" + (elsewhere / "OUTSIDE.db").string() + "\n");
  form->edtODBCName = "OUTSIDE";
  // The fixture opens "<alias>.db"; this one lies beside the site.
  const std::string outsideAlias = (elsewhere / "OUTSIDE").string();
  const RunOutcome outcome = Run(&SyncPhones);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  const std::string changed =
      Value("SELECT Phone1 FROM Customer WHERE Number = '    42'", outsideAlias);

  const journal::UndoResult refused = Undo(outcome.runId);
  EXPECT_NE(refused.error.find("lies outside this site"), std::string::npos) << refused.error;
  EXPECT_NE(refused.error.find("--outside"), std::string::npos);
  EXPECT_EQ(Value("SELECT Phone1 FROM Customer WHERE Number = '    42'", outsideAlias), changed);
  EXPECT_NE(Records("ap"), std::vector<std::string>{}) << "nothing of the site was touched";

  journal::UndoOptions outside;
  outside.outside = true;
  const journal::UndoResult undo = Undo(outcome.runId, outside);
  EXPECT_TRUE(undo.Whole()) << ::testing::PrintToString(journal::UndoReport(undo));
  EXPECT_EQ(Value("SELECT Phone1 FROM Customer WHERE Number = '    42'", outsideAlias),
            "555.123.4567");
  fs::remove_all(elsewhere);
}

}  // namespace
}  // namespace talvor
