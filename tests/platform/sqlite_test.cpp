// The owners of SQLite's connection and statement: what an empty owner is, what a failure
// says, that a move hands the resource over, and that a statement keeps its connection
// until it is finalized.
#include "platform/sqlite.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <string_view>
#include <utility>

#include "tests/testing/temp_dir.h"

namespace talvor::sqlite {
namespace {

using talvor::testing::TempWorkDir;

constexpr int kReadWrite = SQLITE_OPEN_READWRITE;
constexpr int kCreate = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;

Database OpenOrFail(const std::string& path, int flags = kCreate) {
  std::string error;
  Database db = Database::Open(path, flags, &error);
  EXPECT_TRUE(db) << path << ": " << error;
  return db;
}

// The number of statements not yet finalized on `db`.
int OpenStatements(const Database& db) {
  int n = 0;
  for (sqlite3_stmt* s = sqlite3_next_stmt(db.get(), nullptr); s != nullptr;
       s = sqlite3_next_stmt(db.get(), s)) {
    ++n;
  }
  return n;
}

// Whether a connection of its own can take the write lock of `path` at once.
bool CanTakeWriteLock(const std::string& path) {
  Database other = OpenOrFail(path, kReadWrite);
  if (!other) return false;
  const int rc = other.Exec("BEGIN EXCLUSIVE");
  if (rc == SQLITE_OK) other.Exec("ROLLBACK");
  return rc == SQLITE_OK;
}

TEST(SqliteDatabase, OpenFailureGivesAnEmptyOwnerWithSqlitesMessageAndCode) {
  TempWorkDir dir;
  struct Case {
    const char* path;
    int flags;
  };
  for (const Case& c :
       {Case{"missing.db", kReadWrite}, Case{"no/such/folder/x.db", kCreate}, Case{".", kCreate}}) {
    std::string error = "untouched";
    int rc = SQLITE_OK;
    Database db = Database::Open(c.path, c.flags, &error, &rc);
    EXPECT_FALSE(db) << c.path;
    EXPECT_EQ(db.get(), nullptr) << c.path;
    EXPECT_EQ(rc, SQLITE_CANTOPEN) << c.path;
    EXPECT_EQ(error, "unable to open database file") << c.path;
  }
  EXPECT_FALSE(std::filesystem::exists("missing.db")) << "opened without CREATE";

  std::string error = "untouched";
  int rc = -1;
  Database created = Database::Open("new.db", kCreate, &error, &rc);
  EXPECT_TRUE(created);
  EXPECT_EQ(rc, SQLITE_OK);
  EXPECT_EQ(error, "untouched");
  // The result code is optional.
  Database again = Database::Open("new.db", kReadWrite, &error);
  EXPECT_TRUE(again);
}

TEST(SqliteDatabase, EmptyOwnerHoldsNothingAndClosesHarmlessly) {
  Database empty;
  EXPECT_FALSE(empty);
  EXPECT_EQ(empty.get(), nullptr);
  EXPECT_EQ(empty.Message(), "");
  empty.Close();
  empty.Close();
  Database adopted(nullptr);
  EXPECT_FALSE(adopted);
}

TEST(SqliteDatabase, ExecRunsEveryStatementAndStopsAtTheFirstErrorWithItsMessage) {
  TempWorkDir dir;
  Database db = OpenOrFail("t.db");
  ASSERT_EQ(db.Exec("CREATE TABLE t(a); INSERT INTO t VALUES(1); INSERT INTO t VALUES(2)"),
            SQLITE_OK);

  std::string error;
  EXPECT_EQ(db.Exec("INSERT INTO t VALUES(3); INSERT INTO nosuch VALUES(4); "
                    "INSERT INTO t VALUES(5)",
                    &error),
            SQLITE_ERROR);
  EXPECT_EQ(error, "no such table: nosuch");
  EXPECT_EQ(db.Message(), "no such table: nosuch");

  error.clear();
  EXPECT_EQ(db.Exec("SELEKT 1", &error), SQLITE_ERROR);
  EXPECT_EQ(error, "near \"SELEKT\": syntax error");
  // Without a place for the message the code still tells.
  EXPECT_EQ(db.Exec("INSERT INTO t VALUES("), SQLITE_ERROR);
  // A constraint names itself.
  ASSERT_EQ(db.Exec("CREATE TABLE u(k PRIMARY KEY); INSERT INTO u VALUES(1)"), SQLITE_OK);
  EXPECT_EQ(db.Exec("INSERT INTO u VALUES(1)", &error), SQLITE_CONSTRAINT);
  EXPECT_EQ(error, "UNIQUE constraint failed: u.k");

  Statement count(db.get(), "SELECT group_concat(a) FROM t");
  ASSERT_TRUE(count);
  ASSERT_EQ(sqlite3_step(count.get()), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(count.get(), 0)), "1,2,3");
}

TEST(SqliteDatabase, MoveHandsTheConnectionOverAndAssignmentClosesTheOneReplaced) {
  TempWorkDir dir;
  Database first = OpenOrFail("a.db");
  sqlite3* const raw = first.get();
  Database second(std::move(first));
  EXPECT_FALSE(first);  // NOLINT(bugprone-use-after-move): the moved-from owner is empty
  EXPECT_EQ(second.get(), raw);

  // The owner assigned to lets go of its own connection: here one holding the write lock.
  Database holder = OpenOrFail("b.db");
  ASSERT_EQ(holder.Exec("CREATE TABLE t(a); BEGIN EXCLUSIVE; INSERT INTO t VALUES(1)"), SQLITE_OK);
  ASSERT_FALSE(CanTakeWriteLock("b.db"));
  holder = std::move(second);
  EXPECT_FALSE(second);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(holder.get(), raw);
  EXPECT_TRUE(CanTakeWriteLock("b.db"));

  // Assigned to itself, an owner keeps its connection.
  Database& same = holder;
  holder = std::move(same);
  EXPECT_EQ(holder.get(), raw);
  EXPECT_EQ(holder.Exec("SELECT 1"), SQLITE_OK);
}

TEST(SqliteStatement, PrepareFailureLeavesAnEmptyOwnerAndTheCode) {
  TempWorkDir dir;
  Database db = OpenOrFail("t.db");
  Statement bad(db.get(), "SELECT * FROM nosuch");
  EXPECT_FALSE(bad);
  EXPECT_EQ(bad.get(), nullptr);
  EXPECT_EQ(bad.prepare_rc(), SQLITE_ERROR);
  EXPECT_EQ(db.Message(), "no such table: nosuch");
  EXPECT_EQ(OpenStatements(db), 0);

  Statement good(db.get(), "SELECT 1", true);
  EXPECT_TRUE(good);
  EXPECT_EQ(good.prepare_rc(), SQLITE_OK);
  EXPECT_EQ(OpenStatements(db), 1);
  good.Finalize();
  good.Finalize();
  EXPECT_FALSE(good);
  EXPECT_EQ(OpenStatements(db), 0);
}

TEST(SqliteStatement, OnlyTheFirstStatementIsPreparedAndTheTailIsTheRest) {
  TempWorkDir dir;
  Database db = OpenOrFail("t.db");
  const std::string sql = "SELECT 1; SELECT 2;";
  std::string_view tail = "untouched";
  Statement first(db.get(), sql, false, &tail);
  ASSERT_TRUE(first);
  EXPECT_EQ(tail, " SELECT 2;");
  Statement second(db.get(), tail, false, &tail);
  ASSERT_TRUE(second);
  EXPECT_EQ(tail, "");
  ASSERT_EQ(sqlite3_step(second.get()), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(second.get(), 0), 2);
  // The text need not end in NUL: only the view's bytes are read.
  const std::string padded = "SELECT 3SELECT 4";
  Statement cut(db.get(), std::string_view(padded).substr(0, 8));
  ASSERT_TRUE(cut);
  ASSERT_EQ(sqlite3_step(cut.get()), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(cut.get(), 0), 3);
}

TEST(SqliteStatement, MoveHandsTheStatementOverAndAssignmentFinalizesTheOneReplaced) {
  TempWorkDir dir;
  Database db = OpenOrFail("t.db");
  Statement a(db.get(), "SELECT 1");
  sqlite3_stmt* const raw = a.get();
  Statement b(std::move(a));
  EXPECT_FALSE(a);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(b.get(), raw);
  EXPECT_EQ(OpenStatements(db), 1);

  Statement failed(db.get(), "SELECT * FROM nosuch");
  Statement c(db.get(), "SELECT 2");
  EXPECT_EQ(OpenStatements(db), 2);
  c = std::move(b);
  EXPECT_EQ(c.get(), raw);
  EXPECT_EQ(OpenStatements(db), 1) << "the statement replaced is finalized";
  // The prepare's result code moves with it.
  c = std::move(failed);
  EXPECT_FALSE(c);
  EXPECT_EQ(c.prepare_rc(), SQLITE_ERROR);
  EXPECT_EQ(OpenStatements(db), 0);

  Statement adopted(static_cast<sqlite3_stmt*>(nullptr));
  EXPECT_EQ(adopted.prepare_rc(), SQLITE_OK);
}

// Closing the connection's owner while a statement is still open does not pull the
// connection from under the statement: it is closed when the last statement is finalized.
TEST(SqliteStatement, AStatementKeepsItsConnectionUntilItIsFinalized) {
  TempWorkDir dir;
  {
    Database setup = OpenOrFail("t.db");
    ASSERT_EQ(setup.Exec("CREATE TABLE t(a); INSERT INTO t VALUES(1), (2), (3)"), SQLITE_OK);
  }
  Database db = OpenOrFail("t.db", kReadWrite);
  Statement walk(db.get(), "SELECT a FROM t ORDER BY a");
  ASSERT_TRUE(walk);
  ASSERT_EQ(sqlite3_step(walk.get()), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(walk.get(), 0), 1);

  db.Close();
  EXPECT_FALSE(db);
  // The walk goes on, and its read lock keeps a writer out.
  ASSERT_EQ(sqlite3_step(walk.get()), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(walk.get(), 0), 2);
  EXPECT_FALSE(CanTakeWriteLock("t.db"));

  walk.Finalize();
  EXPECT_TRUE(CanTakeWriteLock("t.db"));
}

}  // namespace
}  // namespace talvor::sqlite
