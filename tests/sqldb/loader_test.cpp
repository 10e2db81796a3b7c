#include "sqldb/loader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "sqldb/database.h"
#include "sqldb/error.h"
#include "sqldb/table.h"
#include "sqldb_fixture.h"

namespace talvor::sqldb {
namespace {

namespace fs = std::filesystem;
using testing::ErrorText;
using testing::SqldbTest;

bool Has(const std::string& text, const std::string& wanted) {
  return text.find(wanted) != std::string::npos;
}

class LoaderTest : public SqldbTest {
 protected:
  void SetUp() override {
    SqldbTest::SetUp();
    Exec("agency.db", "INSERT INTO Agency (AgyCode, AgencyName) VALUES ('01', 'FIRST')");
  }
  void TearDown() override {
    CloseIdleConnections();
    SqldbTest::TearDown();
  }

  static std::string Count(const std::string& table) {
    return Scalar("agency.db", "SELECT count(*) FROM \"" + table + "\"");
  }

  // A write through the components' shared connection succeeds: no load holds the
  // database's write lock any more.
  static void ExpectComponentsCanWrite() {
    Table agency("tblAgency", "AGYFORMS", "Agency");
    agency.Open();
    agency.Insert();
    agency.SetString("AgyCode", "77");
    EXPECT_NO_THROW(agency.Post());
    agency.Close();
    EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Agency WHERE AgyCode = '77'"), "1");
  }
};

TEST_F(LoaderTest, CommitMakesEveryRowVisibleAtOnce) {
  Table customers("tblClients", "AGYFORMS", "Customer");
  customers.Open();
  {
    RowLoader load = RowLoader::ForDatabase("AGYFORMS");
    EXPECT_EQ(load.File(), fs::canonical("agency.db"));
    load.Insert("Customer", {{"AgyCode", "01"}, {"Number", "   100"}, {"Name", "ADAMS"}});
    load.Insert("Customer", {{"AgyCode", "01"}, {"Number", "   200"}, {"Name", "BAKER"}});
    load.Insert("Agency", {{"AgyCode", "10"}, {"AgencyName", "SECOND"}});
    EXPECT_EQ(load.Rows(), 3);

    // Neither another program nor the components see the load before it is committed, and
    // the components are not held up by it while they read.
    EXPECT_EQ(Count("Customer"), "0");
    EXPECT_EQ(Count("Agency"), "1");
    EXPECT_EQ(customers.RecordCount(), 0);

    load.Commit();
    EXPECT_EQ(load.Rows(), 3);
    EXPECT_EQ(Count("Customer"), "2");
    EXPECT_EQ(customers.RecordCount(), 2);
  }
  EXPECT_EQ(Scalar("agency.db", "SELECT group_concat(rowid || ':' || Name, ',') FROM Customer"),
            "1:ADAMS,2:BAKER");
  EXPECT_EQ(Scalar("agency.db", "SELECT group_concat(AgencyName, ',') FROM Agency"),
            "FIRST,SECOND");
  ExpectComponentsCanWrite();
}

TEST_F(LoaderTest, ValuesKeepTheirTypes) {
  RowLoader load = RowLoader::ForFile("agency.db");
  load.Insert("Policy", {{"AgyCode", "01"},
                         {"PolNum", std::string("H\0X", 3)},
                         {"PolSeq", 3},
                         {"CltNum", ""},
                         {"Prd Code", " JD"},
                         {"InvNum", nullptr},
                         {"TrnCode", "05"},
                         {"EntryDate", DateTime{{2024, 2, 29}, 13, 5, 9}},
                         {"EffectiveDate", Date{2024, 3, 1}},
                         {"ExpirationDate", "2025-03-01"},
                         {"PolicyTermExpDate", ""},
                         {"d_filler2", 7.125}});
  load.Insert("Producer", {{"AgyCode", "01"}, {"InactiveAcct", true}, {"DefCommission", 2.0}});
  load.Insert("Producer", {{"AgyCode", "01"}, {"InactiveAcct", false}, {"DefCommission", 0}});
  load.Commit();

  auto cell = [](const std::string& table, const std::string& column, int rowid = 1) {
    return Scalar("agency.db", "SELECT typeof(\"" + column + "\") || ' ' || quote(\"" + column +
                                   "\") FROM \"" + table +
                                   "\" WHERE rowid = " + std::to_string(rowid));
  };
  EXPECT_EQ(cell("Policy", "AgyCode"), "text '01'");
  EXPECT_EQ(Scalar("agency.db", "SELECT typeof(PolNum) || ' ' || hex(PolNum) FROM Policy"),
            "text 480058");
  EXPECT_EQ(cell("Policy", "PolSeq"), "integer 3");
  EXPECT_EQ(cell("Policy", "CltNum"), "text ''");
  EXPECT_EQ(cell("Policy", "Prd Code"), "text ' JD'");
  EXPECT_EQ(cell("Policy", "InvNum"), "null NULL");
  EXPECT_EQ(cell("Policy", "TrnCode"), "text '05'");
  EXPECT_EQ(cell("Policy", "EntryDate"), "text '2024-02-29 13:05:09'");
  EXPECT_EQ(cell("Policy", "EffectiveDate"), "text '2024-03-01'");
  EXPECT_EQ(cell("Policy", "ExpirationDate"), "text '2025-03-01'");
  // No assignment conversion: an empty text stays an empty text in a date column.
  EXPECT_EQ(cell("Policy", "PolicyTermExpDate"), "text ''");
  EXPECT_EQ(cell("Policy", "d_filler2"), "real 7.125");
  // An unset column is NULL (the catalog declares no defaults).
  EXPECT_EQ(cell("Policy", "CmpCode"), "null NULL");
  EXPECT_EQ(cell("Producer", "InactiveAcct", 1), "integer 1");
  EXPECT_EQ(cell("Producer", "InactiveAcct", 2), "integer 0");
  EXPECT_EQ(cell("Producer", "DefCommission", 1), "real 2.0");
  // The column's affinity still applies: an integer given to a REAL column is stored as one.
  EXPECT_EQ(cell("Producer", "DefCommission", 2), "real 0.0");
}

TEST_F(LoaderTest, EachColumnListGetsItsOwnStatement) {
  RowLoader load = RowLoader::ForDatabase("AGYFORMS");
  load.Insert("Customer", {{"AgyCode", "01"}, {"Number", "   100"}});
  load.Insert("Customer", {{"AgyCode", "01"}, {"Name", "NO NUMBER"}});
  load.Insert("Customer", {{"Number", "   300"}, {"AgyCode", "02"}});
  load.Insert("Customer", {{"AgyCode", "01"}, {"Number", "   400"}});
  load.Insert("Customer", {});
  load.Insert("Contact", {{"AgyCode", "01"}, {"Number", "   100"}});
  load.Commit();
  EXPECT_EQ(Scalar("agency.db",
                   "SELECT group_concat(rowid || ':' || quote(AgyCode) || quote(Number) || "
                   "quote(Name), ',') FROM Customer"),
            "1:'01''   100'NULL,2:'01'NULL'NO NUMBER',3:'02''   300'NULL,"
            "4:'01''   400'NULL,5:NULLNULLNULL");
  EXPECT_EQ(Scalar("agency.db", "SELECT quote(AgyCode) || quote(Number) FROM Contact"),
            "'01''   100'");
}

TEST_F(LoaderTest, ARowThatBreaksAUniqueIndexLeavesNothingOfTheLoad) {
  Exec("agency.db", "CREATE UNIQUE INDEX AgencyCode ON Agency (AgyCode)");
  RowLoader load = RowLoader::ForDatabase("AGYFORMS");
  load.Insert("Customer", {{"AgyCode", "01"}, {"Number", "   100"}});
  load.Insert("Agency", {{"AgyCode", "02"}, {"AgencyName", "SECOND"}});
  EXPECT_EQ(ErrorText([&] {
              load.Insert("Agency", {{"AgyCode", "01"}, {"AgencyName", "AGAIN"}});
            }),
            "table \"Agency\" in database \"AGYFORMS\" (agency.db): UNIQUE constraint failed: "
            "Agency.AgyCode; the load was rolled back, nothing of it was written");
  EXPECT_EQ(load.Rows(), 0);
  // The rows before the failing one cannot be committed after all.
  EXPECT_TRUE(Has(ErrorText([&] { load.Commit(); }), "rolled back"));
  EXPECT_TRUE(Has(ErrorText([&] {
                    load.Insert("Agency", {{"AgyCode", "03"}});
                  }),
                  "table \"Agency\" in database \"AGYFORMS\""));
  EXPECT_EQ(Count("Customer"), "0");
  EXPECT_EQ(Scalar("agency.db", "SELECT group_concat(AgencyName, ',') FROM Agency"), "FIRST");
  // Rolled back at once, not when the loader goes: the database is free while it lives.
  ExpectComponentsCanWrite();
}

TEST_F(LoaderTest, AnUnknownColumnLeavesNothingOfTheLoad) {
  RowLoader load = RowLoader::ForDatabase("AGYFORMS");
  load.Insert("Customer", {{"AgyCode", "01"}, {"Number", "   100"}});
  const std::string error = ErrorText([&] {
    load.Insert("Customer", {{"AgyCode", "01"}, {"Nmae", "TYPO"}});
  });
  EXPECT_TRUE(Has(error, "table \"Customer\" in database \"AGYFORMS\" (agency.db): ")) << error;
  EXPECT_TRUE(Has(error, "Nmae")) << error;
  EXPECT_TRUE(Has(error, "rolled back")) << error;
  EXPECT_TRUE(Has(ErrorText([&] { load.Commit(); }), "rolled back"));
  EXPECT_EQ(Count("Customer"), "0");
  ExpectComponentsCanWrite();
}

TEST_F(LoaderTest, AnUnknownTableIsNamed) {
  RowLoader load = RowLoader::ForDatabase("AGYFORMS");
  load.Insert("Agency", {{"AgyCode", "02"}});
  const std::string error = ErrorText([&] { load.Insert("Agencies", {{"AgyCode", "01"}}); });
  EXPECT_TRUE(Has(error, "table \"Agencies\" in database \"AGYFORMS\"")) << error;
  EXPECT_TRUE(Has(error, "no such table")) << error;
  EXPECT_TRUE(Has(ErrorText([&] { load.Commit(); }), "rolled back"));
  EXPECT_EQ(Count("Agency"), "1");
}

TEST_F(LoaderTest, DestroyedWithoutCommitLeavesNothing) {
  {
    RowLoader load = RowLoader::ForDatabase("AGYFORMS");
    for (int i = 0; i < 1000; ++i) {
      load.Insert("Customer", {{"AgyCode", "01"}, {"Number", std::to_string(i)}});
    }
    RowLoader moved = std::move(load);
    EXPECT_EQ(moved.Rows(), 1000);
  }
  EXPECT_EQ(Count("Customer"), "0");
  ExpectComponentsCanWrite();
}

TEST_F(LoaderTest, ALoadIsCommittedOnce) {
  RowLoader load = RowLoader::ForFile(fs::absolute("agency.db"));
  load.Insert("Agency", {{"AgyCode", "02"}});
  load.Commit();
  const std::string where = "database \"" + fs::absolute("agency.db").string() + "\"";
  EXPECT_EQ(ErrorText([&] { load.Commit(); }), where + ": the load was already committed");
  EXPECT_EQ(ErrorText([&] {
              load.Insert("Agency", {{"AgyCode", "03"}});
            }),
            "table \"Agency\" in " + where + ": the load was already committed");
  EXPECT_EQ(Count("Agency"), "2");
  EXPECT_EQ(load.Rows(), 1);
}

TEST_F(LoaderTest, OpensOnlyAnExistingDatabase) {
  EXPECT_EQ(ErrorText([] { RowLoader::ForDatabase("NOSUCH"); }).rfind("unknown database \"NOSUCH\" (", 0),
            0u);
  const std::string missing = ErrorText([] { RowLoader::ForFile("missing.db"); });
  EXPECT_EQ(missing, "database \"missing.db\": the file does not exist");
  EXPECT_FALSE(fs::exists("missing.db"));
  fs::create_directories("emptydir");
  EXPECT_TRUE(Has(ErrorText([] { RowLoader::ForDatabase("emptydir"); }), "does not exist"));
  EXPECT_FALSE(fs::exists("emptydir/agency.db"));
  WriteFile("junk.db", std::string(4096, 'x'));
  const std::string junk = ErrorText([] { RowLoader::ForFile("junk.db"); });
  EXPECT_TRUE(Has(junk, "database \"junk.db\"")) << junk;
  EXPECT_TRUE(Has(junk, "not a database")) << junk;
}

}  // namespace
}  // namespace talvor::sqldb
