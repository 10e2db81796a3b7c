// The SQL layer's whole-database commands on a real server (the suite's PostgreSQL, data
// sources TALVOR_PG_A and TALVOR_PG_B) and through SQLite's own ODBC driver.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "sqldb/database.h"
#include "sqldb/error.h"
#include "sqldb/internal/odbc.h"
#include "sqldb/internal/server.h"
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
using testing::ServerColumn;
using testing::ServerExec;
using testing::SqldbTest;
namespace fs = std::filesystem;

class OdbcTest : public SqldbTest {
 protected:
  void SetUp() override {
    SqldbTest::SetUp();
    ASSERT_NE(std::getenv("ODBCINI"), nullptr) << "run through ctest: it starts the server";
    for (const char* dsn : {"DSN=TALVOR_PG_A", "DSN=TALVOR_PG_B"}) {
      Server(dsn, "DROP SCHEMA public CASCADE; CREATE SCHEMA public");
    }
  }

  static void Server(const std::string& dsn, const std::string& sql) { ServerExec(dsn, sql); }

  static std::string Rows(const fs::path& db, const std::string& table, const std::string& cells) {
    return Scalar(db, "SELECT group_concat(r, '|') FROM (SELECT " + cells + " AS r FROM \"" +
                          table + "\" ORDER BY rowid)");
  }

  // Customer rows and a site table of every kind of value a converted site holds.
  void FillSource() {
    Exec("agency.db",
         "INSERT INTO Customer (rowid, AgyCode, Number, Name, CustType, License1Expires) VALUES "
         "(9, '01', ' 12', 'Zed''s \x01 caf\xe9', 3, '2026-02-01'),"
         "(4, '01', '  5', NULL, NULL, '2026-02-01 10:30:00'),"
         "(6, '02', '   ', '', 0, NULL);"
         "INSERT INTO Policy (AgyCode, PolNum, PolSeq, PolicyTermExpDate, d_filler2) VALUES "
         "('01', 'P1', 2, '2027-12-31', 0.1), ('01', 'P1', 1, NULL, -2.5e10);"
         "CREATE TABLE SITEFLAGS (Code TEXT, Flag BOOLEAN, Amount REAL);"
         "INSERT INTO SITEFLAGS VALUES ('B', 1, 1.25), ('A', 0, NULL), ('C', NULL, 3);"
         "CREATE UNIQUE INDEX FlagCode ON SITEFLAGS (Code);");
  }

  const std::string customerCells =
      "rowid || quote(AgyCode) || quote(Number) || quote(Name) || quote(CustType) || "
      "quote(License1Expires)";
  const std::string policyCells =
      "quote(PolNum) || quote(PolSeq) || quote(PolicyTermExpDate) || quote(d_filler2)";
  const std::string flagCells = "rowid || quote(Code) || quote(Flag) || quote(Amount)";
};

TEST_F(OdbcTest, CopyToTheServerAndBackKeepsEveryValueAndTheStoredOrder) {
  FillSource();
  const auto there = CopyDatabase("AGYFORMS", "TALVOR_PG_A", false);
  EXPECT_EQ(there.size(), AgencyTables().size() + 1);
  // On the server: its own types, names as spelled, bytes as they are.
  EXPECT_EQ(ServerColumn("DSN=TALVOR_PG_A",
                         "SELECT data_type FROM information_schema.columns WHERE table_name = "
                         "'SITEFLAGS' ORDER BY ordinal_position"),
            "text|boolean|double precision|bigint");
  EXPECT_EQ(ServerColumn("DSN=TALVOR_PG_A", "SELECT \"Name\" FROM \"Customer\" WHERE "
                                            "\"Number\" = ' 12'"),
            "Zed's \x01 caf\xe9");
  EXPECT_TRUE(CheckDatabase("TALVOR_PG_A").empty());
  // Each row keeps its rowid on the server, and a row added there gets the next one.
  EXPECT_EQ(ServerColumn("DSN=TALVOR_PG_A",
                         "SELECT talvor_rowid FROM \"Customer\" ORDER BY talvor_rowid"),
            "4|6|9");
  Server("DSN=TALVOR_PG_A", "INSERT INTO \"SITEFLAGS\" (\"Code\") VALUES ('D')");
  EXPECT_EQ(ServerColumn("DSN=TALVOR_PG_A", "SELECT talvor_rowid FROM \"SITEFLAGS\" WHERE "
                                            "\"Code\" = 'D'"),
            "4");
  Server("DSN=TALVOR_PG_A", "DELETE FROM \"SITEFLAGS\" WHERE \"Code\" = 'D'");

  CopyDatabase("odbc:DSN=TALVOR_PG_A", "back.db", false);
  EXPECT_EQ(Rows("back.db", "Customer", customerCells), Rows("agency.db", "Customer", customerCells));
  EXPECT_EQ(Rows("back.db", "Policy", policyCells), Rows("agency.db", "Policy", policyCells));
  EXPECT_EQ(Rows("back.db", "SITEFLAGS", flagCells), "1'B'11.25|2'A'0NULL|3'C'NULL3.0");
  EXPECT_EQ(Scalar("back.db", "SELECT \"unique\" FROM pragma_index_list('SITEFLAGS')"), "1");
  EXPECT_TRUE(CheckDatabase("back.db").empty());
}

TEST_F(OdbcTest, RowsGoInBlocksAndTheLastBlockMayBeShort) {
  Exec("agency.db",
       "CREATE TABLE Many (N INTEGER, T TEXT);"
       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1234) "
       "INSERT INTO Many SELECT i, printf('row %d', i) FROM n;"
       "DELETE FROM Many WHERE N % 7 = 0");
  CopyDatabase("AGYFORMS", "TALVOR_PG_A", false);
  CopyDatabase("TALVOR_PG_A", "back.db", false);
  const std::string cells = "rowid || ':' || N || ':' || T";
  EXPECT_EQ(Rows("back.db", "Many", cells), Rows("agency.db", "Many", cells));
  EXPECT_EQ(Scalar("back.db", "SELECT count(*) FROM Many"), "1058");
}

TEST_F(OdbcTest, ServerToServerRefusesTakenTablesAndReplacesOnlyWhenAsked) {
  CopyDatabase("AGYFORMS", "TALVOR_PG_A", false);
  Exec("agency.db", "INSERT INTO Customer (AgyCode, Number) VALUES ('01', 'ONE')");
  const std::string refused = ErrorText([] { CopyDatabase("AGYFORMS", "TALVOR_PG_A", false); });
  EXPECT_NE(refused.find("odbc:DSN=TALVOR_PG_A already holds tables Customer"), std::string::npos)
      << refused;
  EXPECT_EQ(ServerColumn("DSN=TALVOR_PG_A", "SELECT count(*) FROM \"Customer\""), "0");
  CopyDatabase("AGYFORMS", "TALVOR_PG_A", true);
  CopyDatabase("TALVOR_PG_A", "TALVOR_PG_B", false);
  EXPECT_EQ(ServerColumn("DSN=TALVOR_PG_B", "SELECT \"Number\" FROM \"Customer\""), "ONE");
}

TEST_F(OdbcTest, ARefusedRowLeavesNothingOfTheCopy) {
  Exec("agency.db",
       "INSERT INTO Customer (AgyCode, Number) VALUES ('01', 'A');"
       "INSERT INTO Policy (AgyCode, PolNum, PolicyTermExpDate) VALUES "
       "('01', 'P1', '2027-01-31'), ('01', 'P2', '2027-02-30')");
  const std::string message = ErrorText([] { CopyDatabase("AGYFORMS", "TALVOR_PG_A", false); });
  EXPECT_NE(message.find("table \"Policy\" of odbc:DSN=TALVOR_PG_A: a row of rows 1 to 2 is "
                         "refused"),
            std::string::npos)
      << message;
  EXPECT_NE(message.find("2027-02-30"), std::string::npos) << message;
  EXPECT_EQ(ServerColumn("DSN=TALVOR_PG_A",
                         "SELECT count(*) FROM information_schema.tables WHERE table_schema = "
                         "'public'"),
            "0");
}

TEST_F(OdbcTest, InitAndCheckOnTheServer) {
  InitAgencyDatabase("odbc:DSN=TALVOR_PG_A");
  EXPECT_TRUE(CheckDatabase("TALVOR_PG_A").empty());
  EXPECT_NE(ErrorText([] { InitAgencyDatabase("TALVOR_PG_A"); }).find("already holds"),
            std::string::npos);
  Server("DSN=TALVOR_PG_A", "ALTER TABLE \"Customer\" DROP COLUMN \"TaxID\";"
                            "ALTER TABLE \"Customer\" ALTER COLUMN \"CustType\" TYPE text");
  std::vector<std::string> found;
  for (const DatabaseGap& g : CheckDatabase("TALVOR_PG_A")) {
    found.push_back(g.table + "." + g.column + ":" + g.expected + ":" + g.found);
  }
  EXPECT_EQ(found, (std::vector<std::string>{"Customer.CustType:INTEGER:text", "Customer.TaxID:TEXT:"}));
}

TEST_F(OdbcTest, ThroughSqlitesOwnDriver) {
  FillSource();
  const std::string other = (fs::current_path() / "viaodbc.db").string();
  CreateAgencyDatabase("empty.db");
  fs::copy_file("empty.db", other);
  Exec(other, "DROP TABLE Customer; DROP TABLE Policy");
  const std::string target = "odbc:Driver=" TALVOR_SQLITE_ODBC_DRIVER ";Database=" + other;
  const std::string refused = ErrorText([&] { CopyDatabase("AGYFORMS", target, false); });
  EXPECT_NE(refused.find("already holds tables Contact"), std::string::npos) << refused;
  CopyDatabase("AGYFORMS", target, true);
  EXPECT_EQ(Rows(other, "Customer", customerCells), Rows("agency.db", "Customer", customerCells));
  EXPECT_EQ(Rows(other, "SITEFLAGS", flagCells), Rows("agency.db", "SITEFLAGS", flagCells));
  EXPECT_TRUE(CheckDatabase(target).empty());
}

TEST_F(OdbcTest, AnUnreachableServerIsNamedWithoutItsPassword) {
  const std::string name =
      "odbc:Driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so;Servername=/nonexistent;"
      "Database=agency;Username=support;PWD=hunter2";
  const std::string message = ErrorText([&] { CheckDatabase(name); });
  EXPECT_EQ(message.rfind("cannot connect to odbc:Driver=", 0), 0u) << message;
  EXPECT_NE(message.find("PWD=***"), std::string::npos) << message;
  EXPECT_EQ(message.find("hunter2"), std::string::npos) << message;
  WriteFile("aliases.cfg", "AGYFORMS=agency.db\nLIVE=" + name + "\n");
  const std::string viaAlias = ErrorText([] { CopyDatabase("AGYFORMS", "LIVE", false); });
  EXPECT_NE(viaAlias.find("PWD=***"), std::string::npos) << viaAlias;
  EXPECT_EQ(viaAlias.find("hunter2"), std::string::npos) << viaAlias;
}

TEST_F(OdbcTest, ThePostgreSqlDriverLeavesFailedStatementsToTheLayersOwnTransactions) {
  EXPECT_EQ(internal::DriverSettings("DSN=X", "psqlodbca.so"), ";Protocol=7.4-0");
  EXPECT_EQ(internal::DriverSettings("DSN=X", "PSQLODBC35W.DLL"), ";Protocol=7.4-0");
  EXPECT_EQ(internal::DriverSettings("DSN=X; protocol = 7.4-2", "psqlodbcw.so"), "");
  EXPECT_EQ(internal::DriverSettings("DSN=X;PWD={a;Protocol=1}", "psqlodbca.so"), ";Protocol=7.4-0");
  EXPECT_EQ(internal::DriverSettings("DSN=X", "libsqlite3odbc.so"), "");
  // Without the driver's savepoint before each statement, a failed statement ends the
  // transaction it is in; a connection string that sets a Protocol keeps its own.
  auto afterAFailure = [](const std::string& connection) {
    internal::ServerDatabase db(connection);
    db.connection().SetAutocommit(false);
    odbc::Statement s(db.connection());
    EXPECT_NE(ErrorText([&] { s.ExecDirect("SELECT no_such_column FROM no_such_table"); }),
              "<no error>");
    s.Reset();
    const std::string next = ErrorText([&] { s.ExecDirect("SELECT 1"); });
    db.connection().Rollback();
    return next;
  };
  EXPECT_NE(afterAFailure("DSN=TALVOR_PG_A").find("aborted"), std::string::npos);
  EXPECT_EQ(afterAFailure("DSN=TALVOR_PG_A;Protocol=7.4-2"), "<no error>");
}

}  // namespace
}  // namespace talvor::sqldb
