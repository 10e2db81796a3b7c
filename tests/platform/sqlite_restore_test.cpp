// The SQLite row store that undo puts rows back through: how it compares a stored row with
// an image, how it adds, replaces and removes rows by rowid or by key, that nothing lasts
// without Commit, and that the rows it writes are told to a sink.
#include "platform/sqlite_restore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
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

constexpr int kCreate = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;

std::string Quote(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

class RowStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { Sql("CREATE TABLE t(a INTEGER, b TEXT)"); }

  // Runs `sql` through a connection of its own (the store's transaction is not involved).
  void Sql(const std::string& sql) {
    std::string error;
    Database db = Database::Open("site.db", kCreate, &error);
    ASSERT_TRUE(db) << error;
    sqlite3_busy_timeout(db.get(), 0);
    ASSERT_EQ(db.Exec(sql, &error), SQLITE_OK) << error << " in: " << sql;
  }
  // Every row of `table` as "rowid|col|col..." (NULL as <null>), in rowid or key order, read
  // through a connection of its own.
  std::vector<std::string> Stored(const std::string& table, bool withRowid = true) {
    std::string error;
    Database db = Database::Open("site.db", SQLITE_OPEN_READONLY, &error);
    EXPECT_TRUE(db) << error;
    Statement stmt(
        db.get(), std::string("SELECT ") + (withRowid ? "rowid, " : "") + "* FROM " + Quote(table));
    EXPECT_TRUE(stmt) << db.Message();
    std::vector<std::string> rows;
    while (stmt && sqlite3_step(stmt.get()) == SQLITE_ROW) {
      std::string row;
      for (int i = 0; i < sqlite3_column_count(stmt.get()); ++i) {
        if (i > 0) row += "|";
        if (sqlite3_column_type(stmt.get(), i) == SQLITE_NULL) {
          row += "<null>";
          continue;
        }
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), i));
        if (text != nullptr) row.append(text, sqlite3_column_bytes(stmt.get(), i));
      }
      rows.push_back(row);
    }
    return rows;
  }

  std::unique_ptr<RowStore> Open(ChangeSink* sink = nullptr, StoreKind kind = StoreKind::kSql) {
    std::string error;
    Database db = Database::Open("site.db", SQLITE_OPEN_READWRITE, &error);
    EXPECT_TRUE(db) << error;
    std::unique_ptr<RowStore> store =
        OpenRowStore(std::move(db), kind, (dir_.path() / "site.db").string(), sink, &error);
    EXPECT_TRUE(store) << error;
    return store;
  }

  TempWorkDir dir_;
};

struct LookCase {
  const char* declared;  // the column's declared type
  const char* stored;    // an SQL literal
  Cell image;
  bool same;
};

TEST_F(RowStoreTest, LookComparesAfterTheColumnsAffinityAndTextByteForByte) {
  const std::vector<LookCase> cases = {
      {"REAL", "2.0", Int("2"), true},
      {"REAL", "2.0", Real("2"), true},
      {"REAL", "2", Int("2"), true},  // stored as the real 2.0
      {"REAL", "2.5", Int("2"), false},
      {"TEXT", "'5'", Int("5"), true},
      {"TEXT", "5", Text("5"), true},  // stored as the text '5'
      {"TEXT", "'05'", Int("5"), false},
      {"TEXT", "'5.0'", Real("5"), true},  // the real 5 is the text '5.0' to a TEXT column
      {"TEXT", "'5'", Real("5"), false},
      {"INTEGER", "7", Text("7"), true},
      {"INTEGER", "7", Real("7"), true},
      {"INTEGER", "'7x'", Text("7x"), true},
      {"TEXT COLLATE NOCASE", "'a'", Text("A"), false},
      {"TEXT COLLATE NOCASE", "'a'", Text("a"), true},
      {"TEXT COLLATE RTRIM", "'a'", Text("a  "), false},
      {"BLOB", "x'35'", Text("5"), false},
      {"BLOB", "x'35'", Blob("5"), true},
      {"", "5", Text("5"), false},  // no affinity: an integer is no text
      {"TEXT", "NULL", Null(), true},
      {"TEXT", "NULL", Text(""), false},
      {"TEXT", "''", Null(), false},
      {"BLOB", "x''", Blob(""), true},
      {"BLOB", "x''", Null(), false},
  };
  int n = 0;
  for (const LookCase& c : cases) {
    const std::string table = "look" + std::to_string(++n);
    Sql("CREATE TABLE " + table + "(k INTEGER, v " + c.declared + "); INSERT INTO " + table +
        " VALUES(1, " + c.stored + ")");
    auto store = Open();
    ASSERT_TRUE(store);
    Probe probe;
    std::string error;
    ASSERT_TRUE(store->Look(table, 1, Row{Int("1"), c.image}, &probe, &error)) << error;
    ASSERT_TRUE(probe.found) << table;
    EXPECT_EQ(probe.same, (std::vector<char>{1, static_cast<char>(c.same ? 1 : 0)}))
        << c.declared << " holding " << c.stored << " against " << static_cast<char>(c.image.kind)
        << c.image.value;
    EXPECT_EQ(probe.Same(), c.same) << table;
  }
}

TEST_F(RowStoreTest, LookTellsTheStoredRowAndAMissingRow) {
  auto store = Open();
  ASSERT_TRUE(store);
  std::string error;
  const std::string nul("a\0b", 3);
  ASSERT_TRUE(store->Add("t", 4, Row{Int("1"), Text(nul)}, &error)) << error;

  Probe probe;
  ASSERT_TRUE(store->Look("t", 4, Row{Int("1"), Text(std::string("a\0c", 3))}, &probe, &error));
  EXPECT_TRUE(probe.found);
  EXPECT_EQ(probe.same, (std::vector<char>{1, 0})) << "the bytes after a NUL count";
  EXPECT_EQ(probe.current, (Row{Int("1"), Text(nul)}));
  EXPECT_FALSE(probe.Same());

  ASSERT_TRUE(store->Look("t", 5, Row{Int("1"), Text(nul)}, &probe, &error)) << error;
  EXPECT_FALSE(probe.found);
  EXPECT_TRUE(probe.current.empty());
  EXPECT_FALSE(probe.Same());

  // A table that is not there is an error naming it.
  EXPECT_FALSE(store->Describe("nosuch").exists);
  EXPECT_FALSE(store->Look("nosuch", 1, Row{}, &probe, &error));
  EXPECT_EQ(error.rfind("nosuch: ", 0), 0u) << error;
}

TEST_F(RowStoreTest, RowsAreAddedReplacedAndRemovedByRowid) {
  auto store = Open();
  ASSERT_TRUE(store);
  const RowStore::Shape& shape = store->Describe("t");
  EXPECT_TRUE(shape.exists);
  EXPECT_TRUE(shape.ByRowid());
  EXPECT_EQ(shape.columns, (std::vector<std::string>{"a", "b"}));

  std::string error;
  ASSERT_TRUE(store->Add("t", 5, Row{Int("1"), Text("one")}, &error)) << error;
  ASSERT_TRUE(store->Add("t", 2, Row{Null(), Blob("")}, &error)) << error;
  // A row may move to another rowid as it is replaced.
  ASSERT_TRUE(
      store->Replace("t", 5, Row{Int("1"), Text("one")}, 9, Row{Int("9"), Text("nine")}, &error))
      << error;
  ASSERT_TRUE(store->Commit(&error)) << error;
  EXPECT_EQ(Stored("t"), (std::vector<std::string>{"2|<null>|", "9|9|nine"}));

  store = Open();
  ASSERT_TRUE(store);
  Probe probe;
  ASSERT_TRUE(store->Look("t", 2, Row{Null(), Blob("")}, &probe, &error)) << error;
  EXPECT_TRUE(probe.Same()) << "an empty blob stays a blob, not NULL";
  ASSERT_TRUE(store->Remove("t", 9, Row{Int("9"), Text("nine")}, &error)) << error;
  // A row that is there already cannot be added again.
  EXPECT_FALSE(store->Add("t", 2, Row{Int("2"), Text("two")}, &error));
  EXPECT_NE(error.find("constraint failed"), std::string::npos) << error;
  ASSERT_TRUE(store->Commit(&error)) << error;
  EXPECT_EQ(Stored("t"), (std::vector<std::string>{"2|<null>|"}));
}

TEST_F(RowStoreTest, ATableWithoutRowidsIsWrittenByItsKey) {
  Sql("CREATE TABLE w(k TEXT, v TEXT, j INTEGER, PRIMARY KEY(j, k)) WITHOUT ROWID");
  Sql("INSERT INTO w VALUES('a', 'first', 1), ('b', 'second', 1)");
  auto store = Open();
  ASSERT_TRUE(store);
  const RowStore::Shape& shape = store->Describe("w");
  EXPECT_FALSE(shape.ByRowid());
  EXPECT_EQ(shape.key, (std::vector<int>{2, 0})) << "the key's columns in key order";

  std::string error;
  Probe probe;
  ASSERT_TRUE(store->Look("w", 0, Row{Text("b"), Text("SECOND"), Int("1")}, &probe, &error))
      << error;
  EXPECT_TRUE(probe.found);
  EXPECT_EQ(probe.same, (std::vector<char>{1, 0, 1}));
  ASSERT_TRUE(store->Look("w", 0, Row{Text("c"), Text("second"), Int("1")}, &probe, &error));
  EXPECT_FALSE(probe.found);

  ASSERT_TRUE(store->Add("w", 0, Row{Text("c"), Text("third"), Int("2")}, &error)) << error;
  ASSERT_TRUE(store->Replace("w", 0, Row{Text("a"), Text("first"), Int("1")}, 0,
                             Row{Text("a2"), Text("moved"), Int("3")}, &error))
      << error;
  ASSERT_TRUE(store->Remove("w", 0, Row{Text("b"), Text("whatever"), Int("1")}, &error)) << error;
  ASSERT_TRUE(store->Commit(&error)) << error;
  EXPECT_EQ(Stored("w", false), (std::vector<std::string>{"c|third|2", "a2|moved|3"}));
}

TEST_F(RowStoreTest, KeyedRowidTablesAndOddNamesAreWrittenByRowid) {
  Sql("CREATE TABLE \"odd \"\"name\"\"\"(\"the key\" TEXT PRIMARY KEY, \"x\"\"y\" INTEGER)");
  Sql("CREATE TABLE alias(id INTEGER PRIMARY KEY, v TEXT)");
  auto store = Open();
  ASSERT_TRUE(store);
  const std::string odd = "odd \"name\"";
  EXPECT_TRUE(store->Describe(odd).ByRowid());
  EXPECT_EQ(store->Describe(odd).columns, (std::vector<std::string>{"the key", "x\"y"}));
  EXPECT_TRUE(store->Describe("alias").ByRowid());

  std::string error;
  ASSERT_TRUE(store->Add(odd, 3, Row{Text("k"), Int("1")}, &error)) << error;
  ASSERT_TRUE(store->Replace(odd, 3, Row{Text("k"), Int("1")}, 4, Row{Text("k"), Int("2")}, &error))
      << error;
  Probe probe;
  ASSERT_TRUE(store->Look(odd, 4, Row{Text("k"), Int("2")}, &probe, &error)) << error;
  EXPECT_TRUE(probe.Same());
  // In a table whose INTEGER PRIMARY KEY is the rowid, the image's key and the rowid agree.
  ASSERT_TRUE(store->Add("alias", 8, Row{Int("8"), Text("eight")}, &error)) << error;
  ASSERT_TRUE(store->Commit(&error)) << error;
  EXPECT_EQ(Stored(odd), (std::vector<std::string>{"4|k|2"}));
  EXPECT_EQ(Stored("alias"), (std::vector<std::string>{"8|8|eight"}));
}

TEST_F(RowStoreTest, NothingLastsWithoutCommit) {
  Sql("INSERT INTO t VALUES(1, 'kept')");
  std::string error;
  {
    auto store = Open();
    ASSERT_TRUE(store);
    ASSERT_TRUE(store->Add("t", 7, Row{Int("7"), Text("lost")}, &error)) << error;
    ASSERT_TRUE(store->Remove("t", 1, Row{Int("1"), Text("kept")}, &error)) << error;
    // The store holds the write lock for the length of its transaction.
    Database other = Database::Open("site.db", SQLITE_OPEN_READWRITE, &error);
    ASSERT_TRUE(other) << error;
    EXPECT_EQ(other.Exec("BEGIN IMMEDIATE", &error), SQLITE_BUSY);
  }
  EXPECT_EQ(Stored("t"), (std::vector<std::string>{"1|1|kept"})) << "destroyed: rolled back";

  auto store = Open();
  ASSERT_TRUE(store);
  ASSERT_TRUE(store->Add("t", 7, Row{Int("7"), Text("lost")}, &error)) << error;
  store->Rollback();
  EXPECT_EQ(Stored("t"), (std::vector<std::string>{"1|1|kept"}));
  // Once rolled back, Commit has nothing to end.
  EXPECT_TRUE(store->Commit(&error)) << error;
  EXPECT_EQ(Stored("t"), (std::vector<std::string>{"1|1|kept"}));
}

TEST_F(RowStoreTest, AStoreWhoseTransactionCannotBeginIsNotOpened) {
  // SQLite opens a file lazily: the first statement finds it is no database.
  dir_.Write("garbage.db", std::string(4096, 'x'));
  std::string error;
  Database db = Database::Open("garbage.db", SQLITE_OPEN_READWRITE, &error);
  ASSERT_TRUE(db) << error;
  RecordingSink sink;
  const std::unique_ptr<RowStore> store =
      OpenRowStore(std::move(db), StoreKind::kSql, "garbage.db", &sink, &error);
  EXPECT_EQ(store, nullptr);
  EXPECT_EQ(error, "file is not a database");
}

TEST_F(RowStoreTest, TheRowsItWritesAreToldToTheSink) {
  Sql("INSERT INTO t VALUES(1, 'one')");
  RecordingSink sink;
  std::string error;
  {
    auto store = Open(&sink);
    ASSERT_TRUE(store);
    ASSERT_TRUE(store->Add("t", 2, Row{Int("2"), Text("two")}, &error)) << error;
    ASSERT_TRUE(
        store->Replace("t", 1, Row{Int("1"), Text("one")}, 1, Row{Int("1"), Text("ONE")}, &error))
        << error;
    ASSERT_TRUE(store->Remove("t", 2, Row{Int("2"), Text("two")}, &error)) << error;
    ASSERT_TRUE(store->Commit(&error)) << error;
  }
  ASSERT_EQ(sink.Kinds(), "STIEUEDEC");
  EXPECT_EQ(sink.told[0].table, (dir_.path() / "site.db").string());
  EXPECT_EQ(sink.told[0].storeKind, StoreKind::kSql);
  const std::vector<Told> changes = sink.Changes();
  EXPECT_EQ(changes[0].newRowid, 2);
  EXPECT_EQ(changes[0].after, (Row{Int("2"), Text("two")}));
  EXPECT_EQ(changes[1].before, (Row{Int("1"), Text("one")}));
  EXPECT_EQ(changes[1].after, (Row{Int("1"), Text("ONE")}));
  EXPECT_EQ(changes[2].oldRowid, 2);
  for (const Told& t : sink.told) {
    if (t.kind != Told::kStore) {
      EXPECT_EQ(t.store, 1);
    }
  }

  // Destroyed without Commit: the sink hears the rollback.
  sink.Clear();
  {
    auto store = Open(&sink);
    ASSERT_TRUE(store);
    ASSERT_TRUE(store->Add("t", 3, Row{Int("3"), Text("three")}, &error)) << error;
  }
  EXPECT_EQ(sink.Kinds(), "STIER");
}

TEST_F(RowStoreTest, ARecordFilesStoreTellsOnlyItsRecords) {
  Sql("CREATE TABLE records(k0 BLOB NOT NULL PRIMARY KEY, data BLOB NOT NULL) WITHOUT ROWID");
  RecordingSink sink;
  std::string error;
  auto store = Open(&sink, StoreKind::kRecord);
  ASSERT_TRUE(store);
  ASSERT_TRUE(store->Add("records", 0, Row{Blob("K1"), Blob("data")}, &error)) << error;
  ASSERT_TRUE(store->Add("t", 1, Row{Int("1"), Text("not a record")}, &error)) << error;
  ASSERT_TRUE(store->Commit(&error)) << error;
  ASSERT_EQ(sink.Kinds(), "STIEEC");
  EXPECT_EQ(sink.told[0].storeKind, StoreKind::kRecord);
  EXPECT_EQ(sink.Changes()[0].table, "records");
  EXPECT_EQ(sink.Changes()[0].after, (Row{Blob("K1"), Blob("data")}));
}

}  // namespace
}  // namespace talvor::sqlite
