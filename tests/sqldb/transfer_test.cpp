#include "sqldb/transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "sqldb/error.h"
#include "sqldb_fixture.h"

namespace talvor::sqldb {
namespace {

using testing::ErrorText;
using testing::SqldbTest;
namespace fs = std::filesystem;

class TransferTest : public SqldbTest {
 protected:
  // Every row of `table` of `db` in stored order, each cell as its storage class and value.
  static std::string Rows(const fs::path& db, const std::string& table,
                          const std::string& columns) {
    return Scalar(db, "SELECT group_concat(r, '|') FROM (SELECT " + columns +
                          " AS r FROM \"" + table + "\" ORDER BY rowid)");
  }
};

TEST_F(TransferTest, CopyKeepsEveryTableRowOrderTypeAndIndex) {
  Exec("agency.db",
       "INSERT INTO Customer (rowid, AgyCode, Number, Name, CustType, License1Expires) VALUES "
       "(7, '01', ' 12', 'Zed''s \x01 shop', 3, '2026-02-01'), "
       "(2, '01', '  5', NULL, NULL, '2026-02-01 10:30:00');"
       "CREATE TABLE SiteExtra (Code TEXT, Amount REAL, Flag BOOLEAN, Raw);"
       "INSERT INTO SiteExtra VALUES ('A', 1.25, 1, x'00ff'), ('B', NULL, 0, 12);"
       "CREATE UNIQUE INDEX ByCode ON SiteExtra (Code);");
  EXPECT_EQ(ErrorText([] { CopyDatabase("AGYFORMS", "nofolder/copy.db", false); }),
            "database \"nofolder/copy.db\": the folder \"nofolder\" does not exist");
  const auto copied = CopyDatabase("AGYFORMS", "copy.db", false);
  EXPECT_EQ(copied.size(), AgencyTables().size() + 1);
  const std::string cells = "rowid || typeof(Name) || ':' || quote(Name) || ',' || quote(CustType) || ',' || "
                            "quote(License1Expires) || ',' || quote(Number)";
  EXPECT_EQ(Rows("copy.db", "Customer", cells), Rows("agency.db", "Customer", cells));
  const std::string extra = "quote(Code) || quote(Amount) || quote(Flag) || quote(Raw)";
  EXPECT_EQ(Rows("copy.db", "SiteExtra", extra), "'A'1.251X'00FF'|'B'NULL012");
  EXPECT_EQ(Scalar("copy.db", "SELECT group_concat(name || ':' || \"unique\") FROM "
                              "pragma_index_list('SiteExtra')"),
            "ByCode:1");
  EXPECT_EQ(Scalar("copy.db", "SELECT sql FROM sqlite_master WHERE name = 'Index1'"),
            "CREATE INDEX \"Index1\" ON \"Customer\" (\"AgyCode\", \"Number\")");
}

TEST_F(TransferTest, CopyRefusesTablesTheTargetHoldsUnlessReplacing) {
  CreateAgencyDatabase("other.db");
  Exec("other.db", "INSERT INTO Customer (AgyCode, Number) VALUES ('09', 'KEEP')");
  Exec("agency.db", "INSERT INTO Customer (AgyCode, Number) VALUES ('01', 'NEW')");
  const std::string refused = ErrorText([] { CopyDatabase("AGYFORMS", "other.db", false); });
  EXPECT_NE(refused.find("other.db already holds tables Customer, "), std::string::npos) << refused;
  EXPECT_NE(refused.find("(give --replace to replace them)"), std::string::npos);
  EXPECT_EQ(Scalar("other.db", "SELECT group_concat(Number) FROM Customer"), "KEEP");

  CopyDatabase("AGYFORMS", "other.db", true);
  EXPECT_EQ(Scalar("other.db", "SELECT group_concat(Number) FROM Customer"), "NEW");
  EXPECT_EQ(ErrorText([] { CopyDatabase("AGYFORMS", "./agency.db", true); }),
            "cannot copy agency.db onto itself");
  EXPECT_EQ(ErrorText([] { CopyDatabase("NOSUCH", "x.db", false); }).rfind("unknown database", 0),
            0u);
  EXPECT_FALSE(fs::exists("x.db"));
}

TEST_F(TransferTest, CheckNamesMissingTablesColumnsAndOtherTypes) {
  EXPECT_TRUE(CheckDatabase("AGYFORMS").empty());
  Exec("agency.db",
       "DROP TABLE PolInt; ALTER TABLE Customer DROP COLUMN TaxID;"
       "DROP TABLE Producer; CREATE TABLE Producer (AgyCode TEXT, Number INTEGER);");
  std::vector<std::string> found;
  for (const DatabaseGap& g : CheckDatabase("AGYFORMS")) {
    found.push_back(g.table + "." + g.column + ":" + g.expected + ":" + g.found);
  }
  {
    const auto has = [&](const std::string& item) {
      return std::find(found.begin(), found.end(), item) != found.end();
    };
    EXPECT_TRUE(has("PolInt.::"));
    EXPECT_TRUE(has("Customer.TaxID:TEXT:"));
    EXPECT_TRUE(has("Producer.Number:TEXT:INTEGER"));
  }
  EXPECT_EQ(ErrorText([] { CheckDatabase("missing.db"); }),
            "database \"missing.db\": the file does not exist");
}

TEST_F(TransferTest, InitMakesANewFileOnly) {
  InitAgencyDatabase("fresh.db");
  EXPECT_TRUE(CheckDatabase("fresh.db").empty());
  EXPECT_NE(ErrorText([] { InitAgencyDatabase("fresh.db"); }).find("already exists"),
            std::string::npos);
}

}  // namespace
}  // namespace talvor::sqldb
