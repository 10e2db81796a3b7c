// The table and query components behave alike on every backend: an SQLite file opened
// directly, the same file through SQLite's own ODBC driver, and the suite's PostgreSQL
// server (data source TALVOR_PG_D, filled as `db copy` fills it). Each test builds the same
// rows, points the alias AGYFORMS at its backend and asserts the same values on each.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/change.h"
#include "shell/text/text.h"
#include "sqldb/capture.h"
#include "sqldb/database.h"
#include "sqldb/error.h"
#include "sqldb/internal/odbc.h"
#include "sqldb/query.h"
#include "sqldb/stats.h"
#include "sqldb/table.h"
#include "sqldb/transfer.h"
#include "server_sql.h"
#include "sqldb_fixture.h"

// The drivers keep a few small allocations of their own for the life of the process
// (per connection, never freed by the driver): not this program's to free, so the leak
// check passes over allocations made inside them. A leak of ours still fails the test.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:psqlodbca.so\nleak:psqlodbcw.so\nleak:libsqlite3odbc\nleak:libodbc.so\n";
}

namespace talvor::sqldb {
namespace {

using testing::ErrorText;
namespace fs = std::filesystem;

enum class Backend { kFile, kSqliteOdbc, kPostgres };

// No other test of this program uses it, so a test's tables are its own.
const std::string kPgDsn = "DSN=TALVOR_PG_D";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

using Names = std::vector<std::string>;

// One change as the sink was told it, with its images kept for putting rows back.
struct Told {
  std::string table;
  ChangeOp op;
  std::int64_t oldRowid, newRowid;
  Row before, after;
};

// What a recorded run was told: one line per call, and the changes themselves.
class RecordingSink final : public ChangeSink {
 public:
  int OnStore(StoreKind, const std::string& path) override {
    stores.push_back(path);
    log.push_back("store");
    return static_cast<int>(stores.size());
  }
  void OnTable(int, std::string_view table, std::span<const std::string>) override {
    log.push_back("table " + std::string(table));
  }
  void OnChange(int, const ChangeView& c) override {
    Told told{std::string(c.table), c.op, c.oldRowid, c.newRowid, {}, {}};
    std::string line = std::string(1, static_cast<char>(c.op)) + " " + std::to_string(c.oldRowid) +
                       ">" + std::to_string(c.newRowid);
    for (const CellView& v : c.before) {
      told.before.push_back(CellOf(v));
      line += " " + Shown(told.before.back());
    }
    line += " /";
    for (const CellView& v : c.after) {
      told.after.push_back(CellOf(v));
      line += " " + Shown(told.after.back());
    }
    changes.push_back(std::move(told));
    log.push_back(line);
  }
  void OnCommit(int) override { log.push_back("commit"); }
  void OnRollback(int) override { log.push_back("rollback"); }
  void OnStatementEnd(int, bool kept) override { log.push_back(kept ? "end" : "end failed"); }
  void OnDropTable(int, std::string_view table, bool) override {
    log.push_back("drop " + std::string(table));
  }
  void OnNote(int, const std::string& text) override { log.push_back("note " + text); }

  // A cell as kind and value: "T:A", "I:5", "N:".
  static std::string Shown(const Cell& cell) {
    return std::string(1, static_cast<char>(cell.kind)) + ":" + cell.value;
  }
  // The change lines only, in order.
  Names Changes() const {
    Names out;
    for (const std::string& line : log) {
      if (line.size() > 2 && line[1] == ' ' && (line[0] == 'U' || line[0] == 'I' || line[0] == 'D')) {
        out.push_back(line);
      }
    }
    return out;
  }

  Names stores;
  Names log;
  std::vector<Told> changes;
};

// Ends a capture however the test ends.
struct CaptureScope {
  CaptureScope(ChangeSink& sink, CaptureMode mode) { CaptureDatabases(&sink, mode); }
  ~CaptureScope() { End(); }
  void End() {
    if (active) CaptureDatabases(nullptr);
    active = false;
  }
  bool active = true;
};

class BackendsTest : public testing::SqldbTest, public ::testing::WithParamInterface<Backend> {
 protected:
  void SetUp() override {
    SqldbTest::SetUp();
    if (GetParam() != Backend::kFile) {
      ASSERT_NE(std::getenv("ODBCINI"), nullptr) << "run through ctest: it starts the server";
    }
    // Stored out of key order, with NULLs and ties in CustType.
    Exec("agency.db",
         "INSERT INTO Customer (rowid, AgyCode, Number, Name, CustType, ActiveStatus) VALUES"
         " (1, '01', '   300', 'Carter', 1, 'Y'),"
         " (2, '01', '   100', 'Adams', 2, 'Y'),"
         " (3, ' 1', '   100', 'Blank One', NULL, 'N'),"
         " (4, '02', '   100', 'Other Agency', 1, 'Y'),"
         " (5, '01', '   200', 'Baker', NULL, 'N');"
         "CREATE INDEX ByType ON Customer (CustType);"
         "CREATE TABLE Sample (Code TEXT, Note TEXT, Qty INTEGER, Rate REAL, Flag BOOLEAN,"
         " Born DATE, Seen DATETIME);"
         "INSERT INTO Sample (rowid, Code, Note, Qty, Rate, Flag, Born, Seen) VALUES"
         " (1, 'A', NULL, 5, 2.5, 1, '2026-02-01', '2026-02-01 10:30:00'),"
         " (2, 'B', '', 50, -0.125, 0, NULL, '2026-03-04 00:00:00'),"
         " (3, 'C', '   ', NULL, NULL, NULL, '1999-12-31', NULL),"
         " (4, 'D', 'caf\xe9', -7, 10000000000.5, 1, '2000-02-29', '2000-02-29 23:59:59');"
         "CREATE INDEX ByNote ON Sample (Note);"
         "CREATE INDEX QtyDown ON Sample (Qty DESC, Code);");
    file_ = fs::absolute("agency.db");
    switch (GetParam()) {
      case Backend::kFile: break;
      case Backend::kSqliteOdbc:
        WriteFile("aliases.cfg", "AGYFORMS=" + OdbcName() + "\n");
        break;
      case Backend::kPostgres:
        OnServer("DROP SCHEMA public CASCADE; CREATE SCHEMA public");
        CopyDatabase(file_.string(), OdbcName(), true);
        WriteFile("aliases.cfg", "AGYFORMS=" + OdbcName() + "\n");
        break;
    }
  }

  void TearDown() override {
    CaptureDatabases(nullptr);
    // A server connection is kept between uses: the next test rebuilds the tables.
    CloseIdleConnections();
    SqldbTest::TearDown();
  }

  // The name the alias stands for ("odbc:..." or the file).
  std::string OdbcName() const {
    if (GetParam() == Backend::kPostgres) return "odbc:" + kPgDsn;
    return "odbc:Driver=" TALVOR_SQLITE_ODBC_DRIVER ";Database=" + file_.string();
  }

  static void OnServer(const std::string& sql) { testing::ServerExec(kPgDsn, sql); }

  // The name of the row identity in SQL given to the backend directly.
  std::string Rowid() const { return GetParam() == Backend::kPostgres ? "talvor_rowid" : "rowid"; }

  // Runs `sql` on the backend through a connection of its own, as another program would.
  void Other(const std::string& sql) const {
    if (GetParam() == Backend::kPostgres) {
      OnServer(sql);
    } else {
      Exec(file_, sql);
    }
  }

  // The first column of every row of `sql`, as text, joined by "|" ("-" for NULL), read
  // through a connection of its own.
  std::string Column(const std::string& sql) const {
    if (GetParam() == Backend::kPostgres) return testing::ServerColumn(kPgDsn, sql, "-");
    std::string out;
    bool first = true;
    sqlite3* handle = nullptr;
    sqlite3_open_v2(file_.string().c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      out = std::string("<error ") + sqlite3_errmsg(handle) + ">";
    }
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
      const auto* text = sqlite3_column_text(stmt, 0);
      out += (first ? "" : "|") + std::string(text ? reinterpret_cast<const char*>(text) : "-");
      first = false;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    return out;
  }

  // The customers' names in rowid order, read as another program would.
  std::string CustomerNames() const {
    return Column("SELECT \"Name\" FROM \"Customer\" ORDER BY " + Rowid());
  }
  // Code:Qty of the samples in rowid order.
  std::string SampleRows() const {
    return Column("SELECT \"Code\" || ':' || coalesce(CAST(\"Qty\" AS TEXT), '-') FROM \"Sample\" "
                  "ORDER BY " + Rowid());
  }

  static Names Walk(Table& t, const char* column = "Name") {
    Names names;
    for (t.First(); !t.Eof(); t.Next()) names.push_back(t.AsString(column));
    return names;
  }

  static std::int64_t RunQuery(const std::string& sql) {
    Query q("qry", "AGYFORMS");
    q.SqlAdd(sql);
    q.Open();
    const std::int64_t count = q.RowCount();
    q.Close();
    return count;
  }

  fs::path file_;
};

TEST_P(BackendsTest, WalksByAnIndexWithNullsFirstAndTiesInRowidOrderElseInStoredOrder) {
  Table byType("tblClients", "AGYFORMS", "Customer", "ByType");
  byType.Open();
  EXPECT_EQ(byType.AsString("Name"), "Blank One");
  EXPECT_EQ(Walk(byType), (Names{"Blank One", "Baker", "Carter", "Other Agency", "Adams"}));
  byType.Last();
  EXPECT_TRUE(byType.Eof());
  Names backwards;
  for (; !byType.Bof(); byType.Prior()) backwards.push_back(byType.AsString("Name"));
  EXPECT_EQ(backwards, (Names{"Adams", "Other Agency", "Carter", "Baker", "Blank One"}));

  Table byKey("tblAgent", "AGYFORMS", "Customer", "index1");
  byKey.Open();
  // A blank sorts before a digit: bytes compare, not a locale's letters.
  EXPECT_EQ(Walk(byKey), (Names{"Blank One", "Adams", "Baker", "Carter", "Other Agency"}));
  byKey.SetIndexName("");
  EXPECT_EQ(Walk(byKey), (Names{"Carter", "Adams", "Blank One", "Other Agency", "Baker"}));

  // Text ties and NULL in an index of a site table; the located row goes on in that order.
  Table notes("tblSample", "AGYFORMS", "Sample", "ByNote");
  notes.Open();
  EXPECT_EQ(Walk(notes, "Code"), (Names{"A", "B", "C", "D"}));
  ASSERT_TRUE(notes.Locate("Code", {"B"}));
  notes.Next();
  EXPECT_EQ(notes.AsString("Code"), "C");
  EXPECT_TRUE(Has(ErrorText([&] { notes.SetIndexName("NoSuch"); }), "no index \"NoSuch\""));

  // A descending column: NULL last; a located row, deleted, gives way to the next in that
  // order.
  Table down("tblSample", "AGYFORMS", "Sample", "QtyDown");
  down.Open();
  EXPECT_EQ(Walk(down, "Code"), (Names{"B", "A", "D", "C"}));
  ASSERT_TRUE(down.Locate("Code", {"A"}));
  down.Next();
  EXPECT_EQ(down.AsString("Code"), "D");
  ASSERT_TRUE(down.Locate("Code", {"A"}));
  down.Delete();
  EXPECT_EQ(down.AsString("Code"), "D");
  EXPECT_FALSE(down.Eof());
  ASSERT_TRUE(down.Locate("Code", {"C"}));
  down.Delete();
  EXPECT_TRUE(down.Eof());
  EXPECT_EQ(down.AsString("Code"), "D");
  EXPECT_EQ(Walk(down, "Code"), (Names{"B", "D"}));
}

TEST_P(BackendsTest, AFilterCountsAndWalksOnlyMatchingRowsAndARefusedOneIsNamed) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  t.SetFilter("AgyCode = '01' and ActiveStatus = 'Y'");
  EXPECT_EQ(t.RecordCount(), 5);
  t.SetFiltered(true);
  EXPECT_EQ(t.AsString("Name"), "Carter");
  EXPECT_EQ(Walk(t), (Names{"Carter", "Adams"}));
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_FALSE(t.Locate("Name", {"Baker"}));
  t.SetFilter("CustType IS NULL");
  EXPECT_EQ(Walk(t), (Names{"Blank One", "Baker"}));
  EXPECT_EQ(t.RecordCount(), 2);
  t.SetFiltered(false);
  EXPECT_EQ(t.RecordCount(), 5);
  EXPECT_EQ(Walk(t).size(), 5u);

  t.SetFilter("AgyCode = ");
  const std::string message = ErrorText([&] { t.SetFiltered(true); });
  EXPECT_TRUE(Has(message, "filter \"AgyCode = \" is not valid")) << message;
  EXPECT_TRUE(Has(message, "table \"Customer\"")) << message;
  EXPECT_TRUE(t.IsOpen());
  EXPECT_TRUE(t.Eof());
  // The component works on once the filter is put right.
  t.SetFilter("Number = '   100'");
  EXPECT_EQ(Walk(t), (Names{"Adams", "Blank One", "Other Agency"}));

  // Flags are 0/1 in a filter as they are stored, whatever type the backend gives them.
  Table flags("tblSample", "AGYFORMS", "Sample");
  flags.SetFilter("Flag = 1");
  flags.SetFiltered(true);
  flags.Open();
  EXPECT_EQ(Walk(flags, "Code"), (Names{"A", "D"}));
  flags.SetFilter("flag <> 1 AND Qty = 50");
  EXPECT_EQ(Walk(flags, "Code"), (Names{"B"}));

  Table closed("tblClosed", "AGYFORMS", "Customer");
  closed.SetFilter("Nope = 1");
  closed.SetFiltered(true);
  EXPECT_TRUE(Has(ErrorText([&] { closed.Open(); }), "filter \"Nope = 1\""));
  EXPECT_FALSE(closed.IsOpen());
}

TEST_P(BackendsTest, LocateFindsExactValuesConvertedToTheColumnType) {
  Table t("tblSample", "AGYFORMS", "Sample");
  t.Open();
  struct Case {
    const char* fields;
    std::vector<Variant> values;
    const char* code;  // nullptr: not found
  };
  const Case cases[] = {
      {"Code", {"C"}, "C"},
      {"code", {"c"}, nullptr},  // the match is case-sensitive
      {"Code", {"C "}, nullptr},
      {"Note", {""}, "A"},  // NULL comes first in walk order
      {"Note;Qty", {"", 50}, "B"},
      {"Note;Qty", {"", "50"}, "B"},
      {"Note", {"   "}, "C"},  // blanks find only themselves
      {"Note;Code", {"   ", "B"}, nullptr},
      {"Note", {Variant()}, "A"},
      {"Note;Code", {Variant(), "B"}, nullptr},  // NULL finds NULL only
      {"Note", {"caf\xe9"}, "D"},
      {"Qty", {"05"}, "A"},
      {"Qty", {5.0}, "A"},
      {"Qty", {"-7"}, "D"},
      {"Qty", {"5x"}, nullptr},
      {"Qty", {""}, "C"},  // an empty text in a number column is NULL
      {"Qty", {" "}, "C"},
      {"Rate", {"-0.125"}, "B"},
      {"Flag;Code", {true, "D"}, "D"},
      {"Flag", {false}, "B"},
      {"Born", {"12/31/1999"}, "C"},
      {"Born", {Date{2000, 2, 29}}, "D"},
      {"Seen", {DateTime{{2026, 2, 1}, 10, 30, 0}}, "A"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(t.Locate("Code", {"D"}));
    const bool found = t.Locate(c.fields, c.values);
    EXPECT_EQ(found, c.code != nullptr) << c.fields << " " << c.values[0].Text();
    // Not found leaves the cursor where it was.
    EXPECT_EQ(t.AsString("Code"), c.code ? c.code : "D") << c.fields << " " << c.values[0].Text();
  }
  // A stored empty text before a NULL is found first.
  t.SetIndexName("ByNote");
  ASSERT_TRUE(t.Locate("Note", {""}));
  EXPECT_EQ(t.AsString("Code"), "A");
  Other("UPDATE \"Sample\" SET \"Note\" = NULL WHERE \"Code\" = 'B';"
        "UPDATE \"Sample\" SET \"Note\" = '' WHERE \"Code\" = 'A'");
  t.SetIndexName("");
  ASSERT_TRUE(t.Locate("Note", {""}));
  EXPECT_EQ(t.AsString("Code"), "A");
  EXPECT_EQ(t.IsNull("Note"), false);
  ASSERT_TRUE(t.Locate("Note", {Variant()}));
  EXPECT_EQ(t.AsString("Code"), "B");
  t.Next();
  EXPECT_EQ(t.AsString("Code"), "C");

  EXPECT_TRUE(Has(ErrorText([&] { t.Locate("Code;Qty", {"A"}); }), "needs 2 values, got 1"));
  EXPECT_TRUE(Has(ErrorText([&] { t.Locate("Cod", {"A"}); }), "no column \"Cod\""));
}

TEST_P(BackendsTest, ALocateOfTheSameValuesIsAnsweredAgainUntilSomethingWrites) {
  Table t("tblSample", "AGYFORMS", "Sample");
  Table other("tblOther", "AGYFORMS", "Sample");
  t.Open();
  other.Open();
  ASSERT_TRUE(t.Locate("Code", {"B"}));
  const std::int64_t asked = Stats().serverStatements;
  ASSERT_TRUE(t.Locate("Code", {"B"}));
  EXPECT_EQ(t.AsInteger("Qty"), 50);
  EXPECT_FALSE(t.Locate("Code", {"Z"}));
  EXPECT_FALSE(t.Locate("Code", {"Z"}));
  EXPECT_EQ(t.AsString("Code"), "B");
  if (GetParam() != Backend::kFile) {
    EXPECT_EQ(Stats().serverStatements, asked + 1);
  }
  // Its own post, and another component's through the same connection, are read.
  t.Edit();
  t.SetInteger("Qty", 51);
  t.Post();
  ASSERT_TRUE(t.Locate("Code", {"B"}));
  EXPECT_EQ(t.AsInteger("Qty"), 51);
  ASSERT_TRUE(other.Locate("Code", {"B"}));
  other.Edit();
  other.SetInteger("Qty", 52);
  other.Post();
  ASSERT_TRUE(t.Locate("Code", {"B"}));
  EXPECT_EQ(t.AsInteger("Qty"), 52);
  // Another program's write reaches a Locate once the answer is older than 0.2 s.
  Other("UPDATE \"Sample\" SET \"Qty\" = 53 WHERE \"Code\" = 'B'");
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  ASSERT_TRUE(t.Locate("Code", {"B"}));
  EXPECT_EQ(t.AsInteger("Qty"), 53);
  // An answer given again puts the component back on its row as stored, after a Locate of
  // another shape moved it and an edit was cancelled; each counts as a row read.
  ASSERT_TRUE(t.Locate("Qty", {5}));
  EXPECT_EQ(t.AsString("Code"), "A");
  t.Edit();
  t.SetInteger("Qty", 99);
  t.Cancel();
  const std::int64_t read = Stats().rowsRead;
  ASSERT_TRUE(t.Locate("Code", {"B"}));
  EXPECT_EQ(t.AsInteger("Qty"), 53);
  EXPECT_EQ(Stats().rowsRead, read + 1);
  // And after the walk moved it on from there.
  t.Next();
  EXPECT_EQ(t.AsString("Code"), "C");
  ASSERT_TRUE(t.Locate("Code", {"B"}));
  EXPECT_EQ(t.AsString("Code"), "B");
  EXPECT_EQ(t.AsInteger("Qty"), 53);
  t.Edit();
  t.SetInteger("Qty", 54);
  t.Post();
  EXPECT_EQ(SampleRows(), "A:5|B:54|C:-|D:-7");
  // So is "no such row", which another program's insert reaches after 0.2 s too.
  ASSERT_TRUE(t.Locate("Code", {"B"}));
  EXPECT_FALSE(t.Locate("Code", {"Y"}));
  Other("INSERT INTO \"Sample\" (\"Code\", \"Qty\") VALUES ('Y', 7)");
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  ASSERT_TRUE(t.Locate("Code", {"Y"}));
  EXPECT_EQ(t.AsInteger("Qty"), 7);
}

TEST_P(BackendsTest, TypedReadsOfEveryKindOfValue) {
  Table t("tblSample", "AGYFORMS", "Sample");
  t.Open();
  EXPECT_EQ(t.FieldNames(), (Names{"Code", "Note", "Qty", "Rate", "Flag", "Born", "Seen"}));
  // A
  EXPECT_TRUE(t.IsNull("Note"));
  EXPECT_EQ(t.AsString("Note"), "");
  EXPECT_EQ(t.AsInteger("Qty"), 5);
  EXPECT_EQ(t.AsVariant("Qty"), Variant(std::int64_t{5}));
  EXPECT_DOUBLE_EQ(t.AsFloat("Rate"), 2.5);
  EXPECT_EQ(t.AsString("Rate"), "2.5");
  EXPECT_TRUE(t.AsBoolean("Flag"));
  EXPECT_EQ(t.AsString("Flag"), "TRUE");
  EXPECT_EQ(t.AsVariant("Flag"), Variant(true));
  EXPECT_EQ(t.AsDateTime("Born"), (DateTime{{2026, 2, 1}, 0, 0, 0}));
  EXPECT_EQ(t.AsString("Born"), "2/1/2026");
  EXPECT_EQ(t.AsDateTime("Seen"), (DateTime{{2026, 2, 1}, 10, 30, 0}));
  EXPECT_EQ(t.AsString("Seen"), "2/1/2026 10:30:00 AM");
  t.Next();  // B
  EXPECT_FALSE(t.IsNull("Note"));
  EXPECT_EQ(t.AsInteger("Qty"), 50);
  EXPECT_EQ(t.AsFloat("Rate"), -0.125);
  EXPECT_FALSE(t.AsBoolean("Flag"));
  EXPECT_EQ(t.AsString("Flag"), "FALSE");
  EXPECT_TRUE(t.IsNull("Born"));
  EXPECT_EQ(t.AsDateTime("Born"), DateTime{});
  EXPECT_EQ(t.AsDateTime("Seen"), (DateTime{{2026, 3, 4}, 0, 0, 0}));
  EXPECT_EQ(t.AsString("Seen"), "3/4/2026");
  EXPECT_EQ(t.AsVariant("Seen"), Variant(Date{2026, 3, 4}));
  t.Next();  // C
  EXPECT_EQ(t.AsString("Note"), "   ");
  EXPECT_TRUE(t.IsNull("Qty"));
  EXPECT_EQ(t.AsInteger("Qty"), 0);
  EXPECT_EQ(t.AsFloat("Rate"), 0.0);
  EXPECT_FALSE(t.AsBoolean("Flag"));
  EXPECT_EQ(t.AsString("Flag"), "");
  EXPECT_EQ(t.AsString("Born"), "12/31/1999");
  t.Next();  // D
  EXPECT_EQ(t.AsString("Note"), "caf\xe9");
  EXPECT_EQ(t.AsInteger("Qty"), -7);
  EXPECT_DOUBLE_EQ(t.AsFloat("Rate"), 10000000000.5);
  EXPECT_EQ(t.AsDateTime("Seen"), (DateTime{{2000, 2, 29}, 23, 59, 59}));
  EXPECT_TRUE(Has(ErrorText([&] { t.AsInteger("Code"); }), "'D' is not a valid integer value"));

  // The same values come out of a query.
  Query q("qry", "AGYFORMS");
  q.SqlAdd("SELECT Code, Note, Qty, Rate, Flag, Born, Seen FROM Sample WHERE Code IN ('A', 'B', 'D')");
  q.SqlAdd("ORDER BY Code");
  q.Open();
  ASSERT_EQ(q.RowCount(), 3);
  EXPECT_EQ(q.AsInteger("Qty"), 5);
  EXPECT_DOUBLE_EQ(q.AsFloat("Rate"), 2.5);
  EXPECT_TRUE(q.AsBoolean("Flag"));
  EXPECT_EQ(q.AsString("Born"), "2/1/2026");
  EXPECT_EQ(q.AsDateTime("Seen"), (DateTime{{2026, 2, 1}, 10, 30, 0}));
  q.Next();
  EXPECT_FALSE(q.AsBoolean("Flag"));
  EXPECT_EQ(q.AsString("Flag"), "FALSE");
  EXPECT_EQ(q.AsDateTime("Seen"), (DateTime{{2026, 3, 4}, 0, 0, 0}));
  q.Next();
  EXPECT_EQ(q.AsString("Note"), "caf\xe9");
  EXPECT_EQ(q.AsInteger("Qty"), -7);
}

TEST_P(BackendsTest, EditPostWritesChangedValuesOnlyAndFailsForARowDeletedMeanwhile) {
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   200"}));
  t.Edit();
  t.SetString("Name", "Baker's");
  t.SetString("CustType", " 3");
  t.SetString("Phone1", "");
  EXPECT_EQ(t.AsString("Name"), "Baker's");
  // Another program changes a column this component did not assign.
  Other("UPDATE \"Customer\" SET \"City\" = 'Elsewhere' WHERE \"Name\" = 'Baker'");
  t.Post();
  EXPECT_EQ(t.State(), TableState::kBrowse);
  EXPECT_EQ(t.AsInteger("CustType"), 3);
  EXPECT_EQ(Column("SELECT \"Name\" || '|' || \"CustType\" || '|' || \"City\" || '|' || "
                   "coalesce(\"Phone1\", 'null') FROM \"Customer\" WHERE " + Rowid() + " = 5"),
            "Baker's|3|Elsewhere|");

  // Values the row holds write nothing, and so keep another program's change made since
  // the read.
  const std::int64_t written = Stats().rowsWritten;
  ASSERT_TRUE(t.Locate("Name", {"Carter"}));
  t.Edit();
  t.SetString("Name", "Carter");
  t.SetString("CustType", "1");
  t.SetNull("City");
  Other("UPDATE \"Customer\" SET \"Name\" = 'Carter Ltd' WHERE \"Name\" = 'Carter'");
  t.Post();
  EXPECT_EQ(Stats().rowsWritten, written);
  EXPECT_EQ(t.State(), TableState::kBrowse);
  EXPECT_EQ(Column("SELECT \"Name\" FROM \"Customer\" WHERE " + Rowid() + " = 1"), "Carter Ltd");
  // One value that differs writes the row.
  t.Edit();
  t.SetString("ActiveStatus", "N");
  t.Post();
  EXPECT_EQ(Stats().rowsWritten, written + 1);
  EXPECT_EQ(Column("SELECT \"Name\" || \"ActiveStatus\" FROM \"Customer\" WHERE " + Rowid() + " = 1"),
            "Carter LtdN");

  // A row another program deleted: the post fails naming the table, and stays in edit.
  ASSERT_TRUE(t.Locate("Name", {"Adams"}));
  t.Edit();
  t.SetString("Name", "Adams Jr");
  Other("DELETE FROM \"Customer\" WHERE \"Name\" = 'Adams'");
  const std::string message = ErrorText([&] { t.Post(); });
  EXPECT_TRUE(Has(message, "table \"Customer\"")) << message;
  EXPECT_TRUE(Has(message, "the row being edited no longer exists")) << message;
  EXPECT_EQ(t.State(), TableState::kEdit);
  t.Cancel();
  EXPECT_EQ(Column("SELECT count(*) FROM \"Customer\" WHERE \"Name\" LIKE 'Adams%'"), "0");
}

TEST_P(BackendsTest, InsertStandsOnTheNewRowAndDeleteMovesToTheNextRow) {
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  t.Insert();
  EXPECT_EQ(t.State(), TableState::kInsert);
  t.SetString("AgyCode", "01");
  t.SetString("Number", "   150");
  t.SetString("Name", "Between");
  t.SetInteger("CustType", 4);
  t.Post();
  EXPECT_EQ(t.State(), TableState::kBrowse);
  EXPECT_EQ(t.AsString("Name"), "Between");
  EXPECT_EQ(t.AsInteger("CustType"), 4);
  EXPECT_FALSE(t.Eof());
  EXPECT_EQ(Column("SELECT " + Rowid() + " FROM \"Customer\" WHERE \"Name\" = 'Between'"), "6");
  t.Next();
  EXPECT_EQ(t.AsString("Name"), "Baker");
  t.Prior();
  t.Prior();
  EXPECT_EQ(t.AsString("Name"), "Adams");
  EXPECT_EQ(t.RecordCount(), 6);

  // Delete of a located row, of a row in a walk, and of the last row.
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   100"}));
  t.Delete();
  EXPECT_EQ(t.AsString("Name"), "Between");
  EXPECT_FALSE(t.Eof());
  t.First();
  t.Delete();
  EXPECT_EQ(t.AsString("Name"), "Between");
  t.Last();
  EXPECT_EQ(t.AsString("Name"), "Other Agency");
  t.Delete();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.AsString("Name"), "Carter");
  EXPECT_EQ(Walk(t), (Names{"Between", "Baker", "Carter"}));
  EXPECT_EQ(t.RecordCount(), 3);
  EXPECT_EQ(CustomerNames(), "Carter|Baker|Between");

  // With a filter on, the count and the next row keep to it.
  t.SetFilter("CustType IS NOT NULL");
  t.SetFiltered(true);
  EXPECT_EQ(t.RecordCount(), 2);
  t.Delete();
  EXPECT_EQ(t.AsString("Name"), "Carter");
  EXPECT_EQ(t.RecordCount(), 1);
  t.SetFiltered(false);
  EXPECT_EQ(t.RecordCount(), 2);
}

TEST_P(BackendsTest, NamesInAnyLetterCase) {
  Table t("tblClients", "AGYFORMS", "CUSTOMER", "INDEX1");
  t.Open();
  EXPECT_EQ(t.AsString("NAME"), "Blank One");
  EXPECT_EQ(t.AsString("custtype"), "");
  ASSERT_TRUE(t.Locate("AGYCODE;number", {"01", "   300"}));
  t.Edit();
  t.SetString("CUSTTYPE", "7");
  t.Post();
  t.SetFilter("CUSTTYPE = 7 AND agycode = '01'");
  t.SetFiltered(true);
  EXPECT_EQ(Walk(t, "name"), (Names{"Carter"}));
  t.Close();

  Query q("qry", "AGYFORMS");
  q.SqlAdd("SELECT NAME, custType AS Kind FROM CUSTOMER WHERE AGYCODE = '01' AND CUSTTYPE > 0");
  q.SqlAdd("ORDER BY number");
  q.Open();
  ASSERT_EQ(q.RowCount(), 2);
  EXPECT_EQ(q.AsString("name"), "Adams");
  EXPECT_EQ(q.AsInteger("KIND"), 2);
  q.Next();
  EXPECT_EQ(q.AsString("Name"), "Carter");
  EXPECT_EQ(q.AsInteger("kind"), 7);
  q.Close();
  EXPECT_EQ(RunQuery("UPDATE CUSTOMER SET NAME = 'Carter & Co' WHERE custtype = 7"), 1);
  EXPECT_EQ(Column("SELECT \"Name\" FROM \"Customer\" WHERE " + Rowid() + " = 1"), "Carter & Co");
}

TEST_P(BackendsTest, QueriesCountTheirRowsAndRefuseBadOrSeveralStatements) {
  Query q("qry", "AGYFORMS");
  q.SqlAdd("SELECT Name, CustType FROM Customer WHERE AgyCode = '01' ORDER BY Number");
  q.Open();
  EXPECT_EQ(q.RowCount(), 3);
  Names names;
  for (; !q.Eof(); q.Next()) names.push_back(q.AsString("Name"));
  EXPECT_EQ(names, (Names{"Adams", "Baker", "Carter"}));
  q.Close();
  EXPECT_EQ(q.RowCount(), 3);
  // "*" gives the table's columns, and no row identity of the backend's own.
  q.SqlClear();
  q.SqlAdd("SELECT * FROM Sample WHERE Code = 'D'");
  q.Open();
  EXPECT_EQ(q.FieldNames(), (Names{"Code", "Note", "Qty", "Rate", "Flag", "Born", "Seen"}));
  EXPECT_EQ(q.AsString("Seen"), "2/29/2000 11:59:59 PM");
  q.Close();
  q.SqlClear();
  q.SqlAdd("SELECT count(*) AS Ttl FROM Customer WHERE CustType IS NULL");
  q.Open();
  EXPECT_EQ(q.RowCount(), 1);
  EXPECT_EQ(q.AsInteger("Ttl"), 2);
  q.Close();

  EXPECT_EQ(RunQuery("UPDATE Customer SET ActiveStatus = 'X' WHERE AgyCode = '01'"), 3);
  EXPECT_EQ(RunQuery("UPDATE Customer SET ActiveStatus = 'X' WHERE AgyCode = '09'"), 0);
  EXPECT_EQ(RunQuery("DELETE FROM Customer WHERE ActiveStatus = 'X' AND CustType IS NULL"), 1);
  EXPECT_EQ(RunQuery("INSERT INTO Customer (AgyCode, Number, Name) VALUES ('03', '1', 'New')"), 1);
  EXPECT_EQ(CustomerNames(), "Carter|Adams|Blank One|Other Agency|New");
  EXPECT_EQ(RunQuery("UPDATE Sample SET Flag = 0 WHERE Code = 'A' OR Flag = 0"), 2);
  EXPECT_EQ(RunQuery("SELECT Code FROM Sample WHERE Sample.Flag != 0"), 1);
  EXPECT_EQ(RunQuery("SELECT Code FROM Sample WHERE Flag IS NULL OR Qty = 1"), 1);

  q.SqlClear();
  q.SqlAdd("SELECT Nope FROM Customer");
  std::string message = ErrorText([&] { q.Open(); });
  EXPECT_TRUE(Has(message, "database \"AGYFORMS\", statement [SELECT Nope FROM Customer]"))
      << message;
  EXPECT_TRUE(Has(LowerCase(message), "nope")) << message;
  EXPECT_FALSE(q.IsOpen());
  q.SqlClear();
  q.SqlAdd("UPDATE Customer SET Nope = 1");
  EXPECT_TRUE(Has(ErrorText([&] { q.Open(); }), "statement [UPDATE Customer SET Nope = 1]"));

  q.SqlClear();
  q.SqlAdd("UPDATE Customer SET Name = 'gone';");
  q.SqlAdd("DELETE FROM Customer");
  message = ErrorText([&] { q.Open(); });
  EXPECT_TRUE(Has(message, "more than one statement")) << message;
  EXPECT_FALSE(q.IsOpen());
  EXPECT_EQ(CustomerNames(), "Carter|Adams|Blank One|Other Agency|New");
  // The layer still works after the refusals.
  EXPECT_EQ(RunQuery("SELECT Name FROM Customer"), 5);
}

TEST_P(BackendsTest, ARecordedRunIsToldEveryRowWithItsImagesAndCommits) {
  RecordingSink sink;
  Table t("tblSample", "AGYFORMS", "Sample");
  {
    CaptureScope capture(sink, CaptureMode::kRecord);
    t.Open();
    ASSERT_TRUE(t.Locate("Code", {"A"}));
    t.Edit();
    t.SetString("Note", "first");
    t.SetInteger("Qty", 6);
    t.Post();
    t.Insert();
    t.SetString("Code", "E");
    t.SetFloat("Rate", 0.5);
    t.SetBoolean("Flag", false);
    t.SetString("Born", "3/9/2011");
    t.Post();
    ASSERT_TRUE(t.Locate("Code", {"C"}));
    t.Delete();
    EXPECT_EQ(RunQuery("UPDATE Sample SET Qty = Qty + 1 WHERE Code IN ('A', 'D')"), 2);
    EXPECT_EQ(RunQuery("DELETE FROM Sample WHERE Code = 'E'"), 1);
    t.Close();
  }
  ASSERT_EQ(sink.stores.size(), 1u);
  if (GetParam() == Backend::kFile) {
    EXPECT_EQ(sink.stores[0], fs::canonical(file_).string());
  } else {
    EXPECT_EQ(sink.stores[0], OdbcName());
  }
  const std::string a = " T:A N: I:5 F:2.5 I:1 T:2026-02-01 T:2026-02-01 10:30:00";
  const std::string a2 = " T:A T:first I:6 F:2.5 I:1 T:2026-02-01 T:2026-02-01 10:30:00";
  const std::string a3 = " T:A T:first I:7 F:2.5 I:1 T:2026-02-01 T:2026-02-01 10:30:00";
  const std::string d = " T:D T:caf\xe9 I:-7 F:10000000000.5 I:1 T:2000-02-29 T:2000-02-29 23:59:59";
  const std::string d2 = " T:D T:caf\xe9 I:-6 F:10000000000.5 I:1 T:2000-02-29 T:2000-02-29 23:59:59";
  const std::string e = " T:E N: N: F:0.5 I:0 T:2011-03-09 N:";
  EXPECT_EQ(sink.Changes(), (Names{
                                "U 1>1" + a + " /" + a2,
                                "I 0>5 /" + e,
                                "D 3>0 T:C T:    N: N: N: T:1999-12-31 N: /",
                                "U 1>1" + a2 + " /" + a3,
                                "U 4>4" + d + " /" + d2,
                                "D 5>0" + e + " /",
                            }));
  // Each write is its own statement, committed (an autocommit statement may tell its
  // commit before its end).
  Names segments;
  Names segment;
  auto close = [&] {
    if (segment.empty()) return;
    std::sort(segment.begin(), segment.end());
    std::string joined;
    for (const std::string& word : segment) joined += (joined.empty() ? "" : " ") + word;
    segments.push_back(joined);
    segment.clear();
  };
  for (const std::string& line : sink.log) {
    if (line == "end" || line == "end failed" || line == "commit" || line == "rollback") {
      segment.push_back(line);
    } else {
      close();
    }
  }
  close();
  EXPECT_EQ(segments, Names(5, "commit end"));
  EXPECT_EQ(std::count(sink.log.begin(), sink.log.end(), "table Sample"), 1);
  EXPECT_EQ(SampleRows(), "A:7|B:50|D:-6");

  // Writes that find no row, and a query's INSERT.
  RecordingSink more;
  {
    CaptureScope capture(more, CaptureMode::kRecord);
    t.Open();
    ASSERT_TRUE(t.Locate("Code", {"B"}));
    EXPECT_EQ(RunQuery("DELETE FROM Sample WHERE Code = 'B'"), 1);
    t.Edit();
    t.SetInteger("Qty", 1);
    const std::string message = ErrorText([&] { t.Post(); });
    EXPECT_TRUE(Has(message, "the row being edited no longer exists")) << message;
    t.Cancel();
    EXPECT_EQ(RunQuery("UPDATE Sample SET Qty = 0 WHERE Code = 'Z'"), 0);
    EXPECT_EQ(RunQuery("DELETE FROM Sample WHERE Code = 'Z'"), 0);
    EXPECT_EQ(RunQuery("INSERT INTO Sample (Code, Qty) VALUES ('F', 9)"), 1);
    t.Close();
  }
  const Names changes = more.Changes();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].rfind("D 2>0 T:B T: I:50 F:-0.125 I:0 N: ", 0), 0u) << changes[0];
  // Its rowid is the backend's to give (SQLite may give a deleted row's again).
  EXPECT_TRUE(changes[1].rfind("I 0>", 0) == 0 && Has(changes[1], " / T:F N: I:9 N: N: N: N:"))
      << changes[1];
  EXPECT_EQ(SampleRows(), "A:7|D:-6|F:9");
}

TEST_P(BackendsTest, ARecordedRunsWritesAreKeptAtOnceAndARefusedStatementSpoilsNoneAfterIt) {
  RecordingSink sink;
  CaptureScope capture(sink, CaptureMode::kRecord);
  Table t("tblSample", "AGYFORMS", "Sample");
  t.Open();
  ASSERT_TRUE(t.Locate("Code", {"A"}));
  t.Edit();
  t.SetInteger("Qty", 6);
  t.Post();
  // Kept as it is written, and its row is free for another program at once.
  EXPECT_EQ(SampleRows(), "A:6|B:50|C:-|D:-7");
  Other("UPDATE \"Sample\" SET \"Note\" = 'other' WHERE \"Code\" = 'A'");
  EXPECT_TRUE(Has(ErrorText([] { RunQuery("SELECT Nope FROM Sample"); }), "Nope"));
  // Reads and writes after the refusals run as before it.
  ASSERT_TRUE(t.Locate("Code", {"B"}));
  EXPECT_EQ(t.AsInteger("Qty"), 50);
  t.Edit();
  t.SetInteger("Qty", 51);
  t.Post();
  EXPECT_TRUE(Has(ErrorText([] { RunQuery("UPDATE Sample SET Nope = 1"); }), "Nope"));
  EXPECT_EQ(SampleRows(), "A:6|B:51|C:-|D:-7");
  // Another program's commit is seen by the next read, as outside a run.
  Other("UPDATE \"Sample\" SET \"Qty\" = 40 WHERE \"Code\" = 'D'");
  EXPECT_EQ(RunQuery("SELECT Code FROM Sample WHERE Qty = 40"), 1);
  ASSERT_TRUE(t.Locate("Code", {"A"}));
  EXPECT_EQ(t.AsString("Note"), "other");
  EXPECT_EQ(RunQuery("UPDATE Sample SET Qty = 41 WHERE Code = 'D'"), 1);
  EXPECT_EQ(SampleRows(), "A:6|B:51|C:-|D:41");
  if (GetParam() == Backend::kPostgres) {
    // Open for the next write between writes, and committed before a wait for a person.
    const std::string idle =
        "SELECT count(*) FROM pg_stat_activity WHERE state = "
        "'idle in transaction' AND datname = current_database()";
    EXPECT_EQ(testing::ServerColumn(kPgDsn, idle, "-"), "1");
    BeforeWaiting();
    EXPECT_EQ(testing::ServerColumn(kPgDsn, idle, "-"), "0");
    t.Edit();
    t.SetInteger("Qty", 5);
    t.Post();
    EXPECT_EQ(SampleRows(), "A:5|B:51|C:-|D:41");
  }
  t.Close();
  capture.End();
  const std::size_t writes = GetParam() == Backend::kPostgres ? 4 : 3;
  EXPECT_EQ(sink.Changes().size(), writes);
  EXPECT_EQ(static_cast<std::size_t>(std::count(sink.log.begin(), sink.log.end(), "commit")),
            writes);
  // After the run the connection writes for good on its own.
  t.Open();
  t.Edit();
  t.SetInteger("Qty", 7);
  t.Post();
  t.Close();
  EXPECT_EQ(SampleRows(), "A:7|B:51|C:-|D:41");
}

// A post's before-image is the row as it was when written, not as the component read it:
// another program's write, a query's, or another component's since the read is in it.
TEST_P(BackendsTest, ARecordedPostTellsTheRowAsItWasWhenWrittenNotAsItWasRead) {
  RecordingSink sink;
  CaptureScope capture(sink, CaptureMode::kRecord);
  Table t("tblSample", "AGYFORMS", "Sample");
  Table other("tblOther", "AGYFORMS", "Sample");
  t.Open();
  other.Open();
  t.First();  // row A, read with its block
  Other("UPDATE \"Sample\" SET \"Note\" = 'other' WHERE \"Code\" = 'A'");
  t.Edit();
  t.SetInteger("Qty", 6);
  t.Post();
  ASSERT_TRUE(t.Locate("Code", {"B"}));
  EXPECT_EQ(RunQuery("UPDATE Sample SET Note = 'query' WHERE Code = 'B'"), 1);
  t.Edit();
  t.SetInteger("Qty", 51);
  t.Post();
  ASSERT_TRUE(t.Locate("Code", {"D"}));
  ASSERT_TRUE(other.Locate("Code", {"D"}));
  other.Edit();
  other.SetString("Note", "second");
  other.Post();
  t.Edit();
  t.SetInteger("Qty", -8);
  t.Post();
  // Read and not written since: the row as read.
  ASSERT_TRUE(t.Locate("Code", {"C"}));
  t.Edit();
  t.SetInteger("Qty", 3);
  t.Post();
  t.Close();
  other.Close();
  capture.End();
  const std::string a = " T:A T:other I:5 F:2.5 I:1 T:2026-02-01 T:2026-02-01 10:30:00";
  const std::string a2 = " T:A T:other I:6 F:2.5 I:1 T:2026-02-01 T:2026-02-01 10:30:00";
  const std::string b = " T:B T:query I:50 F:-0.125 I:0 N: T:2026-03-04";
  const std::string b2 = " T:B T:query I:51 F:-0.125 I:0 N: T:2026-03-04";
  const std::string d =
      " T:D T:caf\xe9 I:-7 F:10000000000.5 I:1 T:2000-02-29 T:2000-02-29 23:59:59";
  const std::string d2 =
      " T:D T:second I:-7 F:10000000000.5 I:1 T:2000-02-29 T:2000-02-29 23:59:59";
  const std::string d3 =
      " T:D T:second I:-8 F:10000000000.5 I:1 T:2000-02-29 T:2000-02-29 23:59:59";
  const Names changes = sink.Changes();
  ASSERT_EQ(changes.size(), 6u);
  EXPECT_EQ(changes[0], "U 1>1" + a + " /" + a2);
  // (A server shows this date-time's midnight otherwise.)
  EXPECT_EQ(changes[2].rfind("U 2>2" + b + " ", 0), 0u) << changes[2];
  EXPECT_TRUE(Has(changes[2], " /" + b2)) << changes[2];
  EXPECT_EQ(changes[3], "U 4>4" + d + " /" + d2);
  EXPECT_EQ(changes[4], "U 4>4" + d2 + " /" + d3);
  EXPECT_EQ(changes[5],
            "U 3>3 T:C T:    N: N: N: T:1999-12-31 N: / T:C T:    I:3 N: N: T:1999-12-31 N:");
  EXPECT_EQ(SampleRows(), "A:6|B:51|C:3|D:-8");
  EXPECT_EQ(Column("SELECT \"Note\" FROM \"Sample\" ORDER BY " + Rowid()),
            "other|query|   |second");
}

TEST_P(BackendsTest, ADryRunLeavesNothingAndAFailedStatementInItSpoilsNothingElse) {
  RecordingSink sink;
  {
    CaptureScope capture(sink, CaptureMode::kDryRun);
    Table t("tblSample", "AGYFORMS", "Sample");
    t.Open();
    t.Edit();
    t.SetInteger("Qty", 99);
    t.Post();
    // A refused statement in the middle of the run.
    EXPECT_TRUE(Has(ErrorText([] { RunQuery("UPDATE Sample SET Nope = 1"); }), "Nope"));
    EXPECT_TRUE(Has(ErrorText([] { RunQuery("SELECT Nope FROM Sample"); }), "Nope"));
    t.Insert();
    t.SetString("Code", "E");
    t.Post();
    ASSERT_TRUE(t.Locate("Code", {"B"}));
    t.Delete();
    EXPECT_EQ(RunQuery("UPDATE Sample SET Qty = 1 WHERE Code = 'C'"), 1);
    EXPECT_TRUE(Has(ErrorText([] { RunQuery("DELETE FROM Sample WHERE Nope = 1"); }), "Nope"));
    EXPECT_EQ(RunQuery("DELETE FROM Customer WHERE AgyCode = '01'"), 3);
    // The run sees its own writes, every one after the failures.
    EXPECT_EQ(Walk(t, "Code"), (Names{"A", "C", "D", "E"}));
    Query q("qry", "AGYFORMS");
    q.SqlAdd("SELECT Code, Qty FROM Sample ORDER BY Code");
    q.Open();
    EXPECT_EQ(q.RowCount(), 4);
    EXPECT_EQ(q.AsInteger("Qty"), 99);
    q.Close();
    EXPECT_EQ(RunQuery("SELECT Name FROM Customer"), 2);
    EXPECT_TRUE(Has(ErrorText([] { RunQuery("DROP TABLE Customer"); }), "Customer"));
    t.Close();
  }
  // Told as they ran (the failed ones wrote nothing), and nothing committed.
  EXPECT_EQ(sink.Changes().size(), 7u);
  EXPECT_EQ(std::count(sink.log.begin(), sink.log.end(), "commit"), 0);
  EXPECT_EQ(std::count(sink.log.begin(), sink.log.end(), "drop Customer"), 1);
  // Every change is gone, as another program sees it and as the components do.
  EXPECT_EQ(SampleRows(), "A:5|B:50|C:-|D:-7");
  EXPECT_EQ(CustomerNames(), "Carter|Adams|Blank One|Other Agency|Baker");
  Table t("tblSample", "AGYFORMS", "Sample");
  t.Open();
  EXPECT_EQ(t.AsInteger("Qty"), 5);
  EXPECT_EQ(t.RecordCount(), 4);
  // And the connection writes for good again.
  t.Edit();
  t.SetInteger("Qty", 8);
  t.Post();
  t.Close();
  CloseIdleConnections();
  EXPECT_EQ(SampleRows(), "A:8|B:50|C:-|D:-7");
}

TEST_P(BackendsTest, UndoPutsBackTheRowsOfARecordedRun) {
  RecordingSink sink;
  {
    CaptureScope capture(sink, CaptureMode::kRecord);
    Table t("tblSample", "AGYFORMS", "Sample");
    t.Open();
    ASSERT_TRUE(t.Locate("Code", {"D"}));
    t.Edit();
    t.SetString("Note", "changed");
    t.SetNull("Seen");
    t.Post();
    t.Insert();
    t.SetString("Code", "E");
    t.SetInteger("Qty", 1);
    t.Post();
    ASSERT_TRUE(t.Locate("Code", {"A"}));
    t.Delete();
    EXPECT_EQ(RunQuery("UPDATE Sample SET Qty = 0 WHERE Code = 'B'"), 1);
    t.Close();
  }
  ASSERT_EQ(sink.changes.size(), 4u);
  ASSERT_EQ(sink.stores.size(), 1u);
  EXPECT_EQ(SampleRows(), "B:0|C:-|D:-7|E:1");
  CloseIdleConnections();

  std::string error;
  std::unique_ptr<RowStore> store = OpenDatabaseToRestore(sink.stores[0], nullptr, &error);
  ASSERT_NE(store, nullptr) << error;
  ASSERT_TRUE(store->Describe("Sample").exists);
  for (auto it = sink.changes.rbegin(); it != sink.changes.rend(); ++it) {
    Probe at;
    const Row& now = it->op == ChangeOp::kDelete ? it->before : it->after;
    const std::int64_t id = it->op == ChangeOp::kDelete ? it->oldRowid : it->newRowid;
    ASSERT_TRUE(store->Look(it->table, id, now, &at, &error)) << error;
    EXPECT_EQ(at.found, it->op != ChangeOp::kDelete) << it->table << " " << id;
    if (at.found) {
      EXPECT_TRUE(at.Same()) << it->table << " " << id;
    }
    switch (it->op) {
      case ChangeOp::kUpdate:
        ASSERT_TRUE(store->Replace(it->table, it->newRowid, it->after, it->oldRowid, it->before,
                                   &error))
            << error;
        break;
      case ChangeOp::kInsert:
        ASSERT_TRUE(store->Remove(it->table, it->newRowid, it->after, &error)) << error;
        break;
      case ChangeOp::kDelete:
        ASSERT_TRUE(store->Add(it->table, it->oldRowid, it->before, &error)) << error;
        break;
    }
  }
  ASSERT_TRUE(store->Commit(&error)) << error;
  store.reset();

  EXPECT_EQ(SampleRows(), "A:5|B:50|C:-|D:-7");
  Table t("tblSample", "AGYFORMS", "Sample");
  t.Open();
  EXPECT_EQ(t.AsString("Code"), "A");
  EXPECT_DOUBLE_EQ(t.AsFloat("Rate"), 2.5);
  EXPECT_TRUE(t.AsBoolean("Flag"));
  ASSERT_TRUE(t.Locate("Code", {"D"}));
  EXPECT_EQ(t.AsString("Note"), "caf\xe9");
  EXPECT_EQ(t.AsDateTime("Seen"), (DateTime{{2000, 2, 29}, 23, 59, 59}));
  EXPECT_EQ(t.RecordCount(), 4);
}

INSTANTIATE_TEST_SUITE_P(, BackendsTest,
                         ::testing::Values(Backend::kFile, Backend::kSqliteOdbc,
                                           Backend::kPostgres),
                         [](const ::testing::TestParamInfo<Backend>& info) -> std::string {
                           switch (info.param) {
                             case Backend::kFile: return "File";
                             case Backend::kSqliteOdbc: return "SqliteOdbc";
                             case Backend::kPostgres: return "Postgres";
                           }
                           return "Unknown";
                         });

}  // namespace
}  // namespace talvor::sqldb
