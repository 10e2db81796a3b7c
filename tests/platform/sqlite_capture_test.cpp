// The capture of an SQLite connection's writes, on a plain database with a sink that keeps
// what it is told: every row any statement writes with its images and rowids, the commit or
// rollback that follows, writes of nothing passed over, announced updates, rows stored
// before a column was added, dry runs and record files.
#include "platform/sqlite_capture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "platform/sqlite.h"
#include "tests/platform/recording_sink.h"
#include "tests/testing/temp_dir.h"

namespace talvor::sqlite {
namespace {

using talvor::testing::Blob;
using talvor::testing::Int;
using talvor::testing::Null;
using talvor::testing::Real;
using talvor::testing::RecordingSink;
using talvor::testing::TempWorkDir;
using talvor::testing::Text;
using Told = RecordingSink::Told;

constexpr int kStore = 7;

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    db_ = Database::Open("site.db", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &error);
    ASSERT_TRUE(db_) << error;
    Exec("CREATE TABLE t(a INTEGER, b TEXT, c REAL, d BLOB)");
  }

  void Exec(const std::string& sql) {
    std::string error;
    ASSERT_EQ(db_.Exec(sql, &error), SQLITE_OK) << error << " in: " << sql;
  }
  // The error of a statement that fails.
  std::string Fails(const std::string& sql) {
    std::string error;
    EXPECT_NE(db_.Exec(sql, &error), SQLITE_OK) << sql;
    return error;
  }
  std::string Value(const std::string& sql) {
    Statement stmt(db_.get(), sql);
    if (!stmt || sqlite3_step(stmt.get()) != SQLITE_ROW) return "<none: " + db_.Message() + ">";
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
    return text ? text : "<null>";
  }

  TempWorkDir dir_;
  Database db_;
  RecordingSink sink_;
};

TEST_F(CaptureTest, EveryRowOfAStatementIsToldWithItsImagesAndRowidsThenTheCommit) {
  Capture capture(db_.get(), sink_, kStore, StoreKind::kSql, CaptureMode::kRecord);

  Exec("INSERT INTO t VALUES(1, 'x', 1.5, x'00ff'), (2, 'y', NULL, NULL)");
  ASSERT_EQ(sink_.Kinds(), "TIIC");
  const Told& table = sink_.told[0];
  EXPECT_EQ(table.store, kStore);
  EXPECT_EQ(table.table, "t");
  EXPECT_EQ(table.columns, (std::vector<std::string>{"a", "b", "c", "d"}));
  const Told& first = sink_.told[1];
  EXPECT_EQ(first.store, kStore);
  EXPECT_EQ(first.table, "t");
  EXPECT_EQ(first.oldRowid, 0);
  EXPECT_EQ(first.newRowid, 1);
  EXPECT_TRUE(first.before.empty());
  EXPECT_EQ(first.after, (Row{Int("1"), Text("x"), Real("1.5"), Blob(std::string("\0\xff", 2))}));
  EXPECT_EQ(sink_.told[2].newRowid, 2);
  EXPECT_EQ(sink_.told[2].after, (Row{Int("2"), Text("y"), Null(), Null()}));
  EXPECT_EQ(sink_.told[3].store, kStore);

  // Every row of an UPDATE, with the columns it left alone marked; the table is told once.
  sink_.Clear();
  Exec("UPDATE t SET b = b || '!'");
  ASSERT_EQ(sink_.Kinds(), "UUC");
  const Told& update = sink_.told[0];
  EXPECT_EQ(update.oldRowid, 1);
  EXPECT_EQ(update.newRowid, 1);
  EXPECT_EQ(update.before, (Row{Int("1"), Text("x"), Real("1.5"), Blob(std::string("\0\xff", 2))}));
  EXPECT_EQ(update.after, (Row{Int("1"), Text("x!"), Real("1.5"), Blob(std::string("\0\xff", 2))}));
  EXPECT_EQ(update.same, (std::vector<char>{1, 0, 1, 1}));
  EXPECT_EQ(sink_.told[1].oldRowid, 2);
  EXPECT_EQ(sink_.told[1].after[1], Text("y!"));

  sink_.Clear();
  Exec("DELETE FROM t WHERE a = 2");
  ASSERT_EQ(sink_.Kinds(), "DC");
  EXPECT_EQ(sink_.told[0].oldRowid, 2);
  EXPECT_EQ(sink_.told[0].newRowid, 0);
  EXPECT_EQ(sink_.told[0].before, (Row{Int("2"), Text("y!"), Null(), Null()}));
  EXPECT_TRUE(sink_.told[0].after.empty());

  // A row that only moves to another rowid is a change, every column the same.
  sink_.Clear();
  Exec("UPDATE t SET rowid = 10 WHERE rowid = 1");
  ASSERT_EQ(sink_.Kinds(), "UC");
  EXPECT_EQ(sink_.told[0].oldRowid, 1);
  EXPECT_EQ(sink_.told[0].newRowid, 10);
  EXPECT_EQ(sink_.told[0].same, (std::vector<char>{1, 1, 1, 1}));
}

TEST_F(CaptureTest, ATransactionIsToldOnceAtItsCommitOrRollback) {
  Capture capture(db_.get(), sink_, kStore, StoreKind::kSql, CaptureMode::kRecord);
  Exec("BEGIN; INSERT INTO t(a) VALUES(1); INSERT INTO t(a) VALUES(2); COMMIT");
  EXPECT_EQ(sink_.Kinds(), "TIIC");

  sink_.Clear();
  Exec("BEGIN; INSERT INTO t(a) VALUES(3); UPDATE t SET a = 4 WHERE a = 3; ROLLBACK");
  EXPECT_EQ(sink_.Kinds(), "IUR");
  EXPECT_EQ(Value("SELECT count(*) FROM t"), "2");

  // A statement that fails on its own ends its own transaction: its rows are rolled back.
  Exec("CREATE UNIQUE INDEX t_a ON t(a)");
  sink_.Clear();
  EXPECT_EQ(Fails("INSERT INTO t(a) VALUES(5), (1)"), "UNIQUE constraint failed: t.a");
  EXPECT_EQ(sink_.Kinds(), "IR");
  EXPECT_EQ(Value("SELECT count(*) FROM t"), "2");
}

// Inside a transaction (a dry run's, or one a backend begins), a statement that fails is
// undone on its own and the transaction goes on: neither a commit nor a rollback says so.
// The backend tells the end of each statement that may write, and a sink that drops what a
// failed statement told keeps only what was written.
TEST_F(CaptureTest, RowsOfAStatementThatFailedInsideATransactionAreToldAsUndone) {
  Exec("INSERT INTO t(a) VALUES(1); CREATE UNIQUE INDEX t_a ON t(a)");
  for (const CaptureMode mode : {CaptureMode::kRecord, CaptureMode::kDryRun}) {
    SCOPED_TRACE(mode == CaptureMode::kDryRun ? "dry run" : "explicit transaction");
    sink_.Clear();
    Capture capture(db_.get(), sink_, kStore, StoreKind::kSql, mode);
    if (mode == CaptureMode::kRecord) Exec("BEGIN");
    EXPECT_EQ(Fails("INSERT INTO t(a) VALUES(5), (1)"), "UNIQUE constraint failed: t.a");
    capture.StatementEnded(false);
    Exec("INSERT INTO t(a) VALUES(6)");
    capture.StatementEnded(true);
    // As the transaction sees it: 5 was never written, 6 was.
    ASSERT_EQ(Value("SELECT group_concat(a) FROM t ORDER BY a"), "1,6");

    std::vector<std::string> kept, statement;
    for (const Told& t : sink_.told) {
      if (t.kind == Told::kChange && t.op == ChangeOp::kInsert) statement.push_back(t.after[0].value);
      if (t.kind == Told::kStatementEnd && !t.refused) kept.insert(kept.end(), statement.begin(), statement.end());
      if (t.kind == Told::kStatementEnd || t.kind == Told::kRollback) statement.clear();
      if (t.kind == Told::kRollback) kept.clear();
    }
    EXPECT_EQ(kept, std::vector<std::string>{"6"}) << "told in this order: " << sink_.Kinds();
    EXPECT_EQ(sink_.Kinds(), "TIFIE");
    if (mode == CaptureMode::kRecord) Exec("ROLLBACK");
  }
}

TEST_F(CaptureTest, AWriteOfWhatWasThereTellsNothing) {
  Exec("INSERT INTO t VALUES(1, 'x', 2.5, x'01'), (2, NULL, 0.1, '')");
  Capture capture(db_.get(), sink_, kStore, StoreKind::kSql, CaptureMode::kRecord);
  const std::vector<std::string> noChange = {
      "UPDATE t SET a = a, b = b, c = c, d = d", "UPDATE t SET b = 'x' WHERE a = 1",
      "UPDATE t SET c = 2.5 WHERE a = 1",
      "UPDATE t SET a = 1.0 WHERE a = 1",  // INTEGER affinity stores the integer 1
      "UPDATE t SET b = NULL WHERE a = 2",       "UPDATE t SET rowid = rowid",
  };
  for (const std::string& sql : noChange) {
    Exec(sql);
    EXPECT_TRUE(sink_.Changes().empty()) << sql << ": " << sink_.Kinds();
    sink_.Clear();
  }
  // Values of another type, or text that differs only in case, are changes.
  for (const char* sql : {"UPDATE t SET b = 'X' WHERE a = 1", "UPDATE t SET d = x'01' WHERE a = 2",
                          "UPDATE t SET b = '' WHERE a = 2"}) {
    Exec(sql);
    EXPECT_EQ(sink_.Changes().size(), 1u) << sql << ": " << sink_.Kinds();
    sink_.Clear();
  }
}

// Text is told as UTF-8 bytes whatever the database's encoding: a UTF-8 database's bytes as
// stored, a UTF-16 one's converted; an update of text to the same text tells nothing in both.
TEST_F(CaptureTest, TextIsToldAsUtf8InADatabaseOfEitherEncoding) {
  for (const char* encoding : {"UTF-8", "UTF-16le"}) {
    std::string error;
    const std::string file = std::string("enc-") + encoding + ".db";
    Database db = Database::Open(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &error);
    ASSERT_TRUE(db) << error;
    ASSERT_EQ(db.Exec(std::string("PRAGMA encoding = '") + encoding +
                          "'; CREATE TABLE t(b TEXT); "
                          "INSERT INTO t VALUES('Caf\xc3\xa9 \tx'), ('same')",
                      &error),
              SQLITE_OK)
        << error;
    RecordingSink sink;
    Capture capture(db.get(), sink, kStore, StoreKind::kSql, CaptureMode::kRecord);
    ASSERT_EQ(db.Exec("UPDATE t SET b = 'same' WHERE b = 'same'; "
                      "UPDATE t SET b = b || '\xc3\xbc' WHERE rowid = 1",
                      &error),
              SQLITE_OK)
        << error;
    const std::vector<Told> changes = sink.Changes();
    ASSERT_EQ(changes.size(), 1u) << encoding << ": " << sink.Kinds();
    EXPECT_EQ(changes[0].before, (Row{Text("Caf\xc3\xa9 \tx")})) << encoding;
    EXPECT_EQ(changes[0].after, (Row{Text("Caf\xc3\xa9 \tx\xc3\xbc")})) << encoding;
  }
}

TEST_F(CaptureTest, SqlitesOwnTablesAndOtherSchemasAreNotTold) {
  Exec("CREATE TABLE s(id INTEGER PRIMARY KEY AUTOINCREMENT, v)");
  Exec("ATTACH ':memory:' AS aux; CREATE TABLE aux.x(a)");
  Capture capture(db_.get(), sink_, kStore, StoreKind::kSql, CaptureMode::kRecord);
  Exec("INSERT INTO s(v) VALUES('one')");  // also writes sqlite_sequence
  Exec("INSERT INTO aux.x VALUES(1)");
  const std::vector<Told> changes = sink_.Changes();
  ASSERT_EQ(changes.size(), 1u) << sink_.Kinds();
  EXPECT_EQ(changes[0].table, "s");
  EXPECT_EQ(changes[0].after, (Row{Int("1"), Text("one")}));
}

TEST_F(CaptureTest, AnAnnouncedUpdateTakesTheColumnsItDoesNotSetFromTheBeforeImage) {
  Exec("INSERT INTO t VALUES(1, 'x', 1.5, NULL), (2, 'y', 2.5, NULL)");
  Capture capture(db_.get(), sink_, kStore, StoreKind::kSql, CaptureMode::kRecord);

  // An honest announcement tells what a full read would.
  capture.Announce("t", 1, {0, 1, 0, 0});
  Exec("UPDATE t SET b = 'x2' WHERE rowid = 1");
  ASSERT_EQ(sink_.Changes().size(), 1u);
  EXPECT_EQ(sink_.Changes()[0].after, (Row{Int("1"), Text("x2"), Real("1.5"), Null()}));
  EXPECT_EQ(sink_.Changes()[0].same, (std::vector<char>{1, 0, 1, 1}));

  // The columns it says are not set are taken from the before-image and told "same",
  // without being read: a statement that set one anyway shows it.
  sink_.Clear();
  capture.Announce("T", 2, {0, 1, 0, 0});  // table names in any letter case
  Exec("UPDATE t SET a = 20, b = 'y2' WHERE rowid = 2");
  ASSERT_EQ(sink_.Changes().size(), 1u);
  EXPECT_EQ(sink_.Changes()[0].after, (Row{Int("2"), Text("y2"), Real("2.5"), Null()}));
  EXPECT_EQ(sink_.Changes()[0].same, (std::vector<char>{1, 0, 1, 1}));

  // The announcement served that update only.
  sink_.Clear();
  Exec("UPDATE t SET a = 21, b = 'y3' WHERE rowid = 2");
  ASSERT_EQ(sink_.Changes().size(), 1u);
  EXPECT_EQ(sink_.Changes()[0].before[0], Int("20"));
  EXPECT_EQ(sink_.Changes()[0].after, (Row{Int("21"), Text("y3"), Real("2.5"), Null()}));

  // One for another row, one whose columns do not fit the table, and one cleared, are not
  // used.
  struct Unused {
    std::int64_t rowid;
    std::vector<char> assigned;
    bool clear;
  };
  for (const Unused& u : {Unused{1, {0, 1, 0, 0}, false}, Unused{2, {0, 1, 0}, false},
                          Unused{2, {0, 1, 0, 0}, true}}) {
    sink_.Clear();
    capture.Announce("t", u.rowid, u.assigned);
    if (u.clear) capture.ClearAnnouncement();
    Exec("UPDATE t SET a = a + 1, b = b || '.' WHERE rowid = 2");
    ASSERT_EQ(sink_.Changes().size(), 1u);
    EXPECT_EQ(sink_.Changes()[0].same, (std::vector<char>{0, 0, 1, 1}))
        << "rowid " << u.rowid << ", " << u.assigned.size() << " columns";
    capture.ClearAnnouncement();
  }
}

// A row stored before ALTER TABLE ADD COLUMN has no value of its own for the new column; it
// reads as the default, and an undo must not put NULL there.
TEST_F(CaptureTest, ARowStoredBeforeAColumnWasAddedIsToldWithTheDefault) {
  Exec("INSERT INTO t(a) VALUES(1), (2), (3)");
  Exec("ALTER TABLE t ADD COLUMN size REAL DEFAULT 1.0");
  Exec("ALTER TABLE t ADD COLUMN note TEXT DEFAULT 'none'");
  Exec("ALTER TABLE t ADD COLUMN plain");
  Exec("UPDATE t SET size = NULL WHERE a = 3");
  ASSERT_EQ(Value("SELECT size FROM t WHERE a = 1"), "1.0");
  Capture capture(db_.get(), sink_, kStore, StoreKind::kSql, CaptureMode::kRecord);

  Exec("UPDATE t SET b = 'changed' WHERE a = 1");
  Exec("DELETE FROM t WHERE a = 2");
  Exec("UPDATE t SET b = 'changed' WHERE a = 3");
  const std::vector<Told> changes = sink_.Changes();
  ASSERT_EQ(changes.size(), 3u) << sink_.Kinds();
  EXPECT_EQ(changes[0].before,
            (Row{Int("1"), Null(), Null(), Null(), Real("1"), Text("none"), Null()}));
  EXPECT_EQ(changes[0].same, (std::vector<char>{1, 0, 1, 1, 1, 1, 1}));
  EXPECT_EQ(changes[1].before,
            (Row{Int("2"), Null(), Null(), Null(), Real("1"), Text("none"), Null()}));
  // A NULL stored on purpose stays NULL.
  EXPECT_EQ(changes[2].before[4], Null());
}

TEST_F(CaptureTest, ADryRunKeepsEveryWriteInsideATransactionAndRefusesToDropATable) {
  Exec("INSERT INTO t(a) VALUES(1); CREATE TABLE other(x)");
  {
    Capture capture(db_.get(), sink_, kStore, StoreKind::kSql, CaptureMode::kDryRun);
    EXPECT_EQ(sqlite3_get_autocommit(db_.get()), 0) << "the dry run's transaction is open";
    Exec("INSERT INTO t(a) VALUES(2)");
    Exec("UPDATE t SET a = 10 WHERE a = 1");
    EXPECT_EQ(Value("SELECT group_concat(a) FROM t"), "10,2") << "the run sees its own writes";
    EXPECT_EQ(sink_.Kinds(), "TIU");

    const std::string refused = Fails("DROP TABLE other");
    EXPECT_EQ(refused, "not authorized");
    ASSERT_EQ(sink_.told.back().kind, Told::kDropTable);
    EXPECT_EQ(sink_.told.back().table, "other");
    EXPECT_TRUE(sink_.told.back().refused);
    EXPECT_EQ(Value("SELECT count(*) FROM other"), "0");

    capture.Finish();
    EXPECT_EQ(sqlite3_get_autocommit(db_.get()), 1);
    capture.Finish();
  }
  EXPECT_EQ(Value("SELECT group_concat(a) FROM t"), "1") << "every write rolled back";
  // Once finished, the connection is its own again: nothing told, writes stay, tables drop.
  sink_.Clear();
  Exec("INSERT INTO t(a) VALUES(3); DROP TABLE other");
  EXPECT_EQ(sink_.Kinds(), "");
  EXPECT_EQ(Value("SELECT group_concat(a) FROM t"), "1,3");
}

TEST_F(CaptureTest, ADryRunTurnsACommitIntoARollback) {
  Capture capture(db_.get(), sink_, kStore, StoreKind::kSql, CaptureMode::kDryRun);
  Exec("INSERT INTO t(a) VALUES(1)");
  EXPECT_NE(Fails("COMMIT"), "");
  EXPECT_EQ(Value("SELECT count(*) FROM t"), "0");
  // Outside the transaction now, every statement's own commit is refused too.
  EXPECT_NE(Fails("INSERT INTO t(a) VALUES(2)"), "");
  EXPECT_EQ(Value("SELECT count(*) FROM t"), "0");
  capture.Finish();
  EXPECT_EQ(Value("SELECT count(*) FROM t"), "0");
}

TEST_F(CaptureTest, ADestroyedCaptureFinishes) {
  {
    Capture capture(db_.get(), sink_, kStore, StoreKind::kSql, CaptureMode::kDryRun);
    Exec("INSERT INTO t(a) VALUES(1)");
  }
  EXPECT_EQ(sqlite3_get_autocommit(db_.get()), 1);
  EXPECT_EQ(Value("SELECT count(*) FROM t"), "0");
  sink_.Clear();
  Exec("INSERT INTO t(a) VALUES(2)");
  EXPECT_EQ(sink_.Kinds(), "");
}

TEST_F(CaptureTest, ARealRunLetsATableBeDroppedAndSaysSo) {
  Exec("CREATE TABLE other(x)");
  Capture capture(db_.get(), sink_, kStore, StoreKind::kSql, CaptureMode::kRecord);
  Exec("DROP TABLE other");
  ASSERT_FALSE(sink_.told.empty());
  EXPECT_EQ(sink_.told[0].kind, Told::kDropTable);
  EXPECT_EQ(sink_.told[0].table, "other");
  EXPECT_FALSE(sink_.told[0].refused);
  EXPECT_EQ(Value("SELECT count(*) FROM sqlite_master WHERE name = 'other'"), "0");
}

TEST_F(CaptureTest, ADryRunThatCannotBeginSaysSo) {
  Exec("BEGIN");
  Capture capture(db_.get(), sink_, kStore, StoreKind::kSql, CaptureMode::kDryRun);
  ASSERT_EQ(sink_.Kinds(), "N");
  EXPECT_EQ(sink_.told[0].table,
            "could not begin the dry run's transaction: cannot start a transaction within a "
            "transaction");
  // The commit hook still keeps the writes from lasting.
  Exec("INSERT INTO t(a) VALUES(1)");
  EXPECT_NE(Fails("COMMIT"), "");
  EXPECT_EQ(Value("SELECT count(*) FROM t"), "0");
}

// A record file keeps its records in the table "records" and its own description beside
// them: only records count.
TEST_F(CaptureTest, ARecordFilesCaptureTellsOnlyItsRecords) {
  Exec("CREATE TABLE recfile(record_length INTEGER NOT NULL)");
  Exec("CREATE TABLE records(k0 BLOB NOT NULL PRIMARY KEY, data BLOB NOT NULL) WITHOUT ROWID");
  Capture capture(db_.get(), sink_, kStore, StoreKind::kRecord, CaptureMode::kRecord);

  Exec("INSERT INTO recfile VALUES(128)");
  Exec("INSERT INTO t(a) VALUES(1)");
  Exec("INSERT INTO records VALUES(x'4b31', x'00ff')");
  Exec("UPDATE records SET data = x'0102' WHERE k0 = x'4b31'");
  Exec("DELETE FROM records");
  const std::vector<Told> changes = sink_.Changes();
  ASSERT_EQ(changes.size(), 3u) << sink_.Kinds();
  for (const Told& c : changes) EXPECT_EQ(c.table, "records");
  EXPECT_EQ(changes[0].op, ChangeOp::kInsert);
  EXPECT_EQ(changes[0].after, (Row{Blob("K1"), Blob(std::string("\0\xff", 2))}));
  EXPECT_EQ(changes[1].op, ChangeOp::kUpdate);
  EXPECT_EQ(changes[1].before, (Row{Blob("K1"), Blob(std::string("\0\xff", 2))}));
  EXPECT_EQ(changes[1].after, (Row{Blob("K1"), Blob("\x01\x02")}));
  EXPECT_EQ(changes[1].same, (std::vector<char>{1, 0}));
  EXPECT_EQ(changes[2].op, ChangeOp::kDelete);
  std::vector<Told> tables;
  for (const Told& t : sink_.told) {
    if (t.kind == Told::kTable) tables.push_back(t);
  }
  ASSERT_EQ(tables.size(), 1u) << sink_.Kinds();
  EXPECT_EQ(tables[0].table, "records");
  EXPECT_EQ(tables[0].columns, (std::vector<std::string>{"k0", "data"}));

  // A record file's capture watches no DROP TABLE.
  sink_.Clear();
  Exec("DROP TABLE recfile");
  EXPECT_EQ(sink_.Kinds().find('X'), std::string::npos) << sink_.Kinds();
}

}  // namespace
}  // namespace talvor::sqlite
