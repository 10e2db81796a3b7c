#include "sqldb/catalog.h"

#include <gtest/gtest.h>

#include <set>

#include "shell/text/text.h"
#include "sqldb/error.h"
#include "sqldb/query.h"
#include "sqldb/table.h"
#include "sqldb_fixture.h"

namespace talvor::sqldb {
namespace {

using testing::ErrorText;
using testing::SqldbTest;
namespace fs = std::filesystem;

TEST(CatalogTest, NamesAreUniqueAndFoundWithoutRegardToCase) {
  std::set<std::string> tables;
  std::set<std::string> indexes;
  for (const TableDef& t : AgencyTables()) {
    EXPECT_TRUE(tables.insert(LowerCase(t.name)).second) << t.name;
    std::set<std::string> columns;
    for (const ColumnDef& c : t.columns) {
      EXPECT_TRUE(columns.insert(LowerCase(c.name)).second) << t.name << "." << c.name;
    }
    EXPECT_EQ(t.columns.front().name, "AgyCode") << t.name;
    for (const IndexDef& i : t.indexes) {
      EXPECT_TRUE(indexes.insert(LowerCase(i.name)).second) << i.name;
    }
  }
  ASSERT_NE(FindAgencyTable("POLICY"), nullptr);
  EXPECT_EQ(FindAgencyTable("POLICY")->name, "Policy");
  EXPECT_EQ(FindAgencyTable("Nope"), nullptr);
  const ColumnDef* prd = FindAgencyColumn(*FindAgencyTable("policy"), "prd code");
  ASSERT_NE(prd, nullptr);
  EXPECT_EQ(prd->name, "Prd Code");
  EXPECT_EQ(prd->width, 3);
  EXPECT_EQ(FindAgencyColumn(*FindAgencyTable("Customer"), "Number")->width, 6);
}

TEST(CatalogTest, TablesTheRoutinesReach) {
  for (const char* name :
       {"Customer",  "Contact",   "Policy",   "Producer", "Company", "ClassTypes", "States",
        "AttchList", "PropA",     "SubClass", "Trans",    "Agency",  "SuspItem",   "SubStat",
        "ClaimMain", "CustNotes", "PolMemo",  "DLPEND",   "DRIVER2", "Vehicle2",   "EQUIPA",
        "PolInt",    "Insured",   "A25SB",    "A25SBA"}) {
    EXPECT_NE(FindAgencyTable(name), nullptr) << name;
  }
}

TEST(CatalogTest, CreateTableSqlDeclaresTheTypes) {
  EXPECT_EQ(CreateTableSql(*FindAgencyTable("States")),
            "CREATE TABLE \"States\" (\"AgyCode\" TEXT, \"Number\" TEXT, \"Name\" TEXT, "
            "\"FilingDate\" DATE, \"AffidavitsReq\" BOOLEAN)");
  EXPECT_EQ(DeclaredType(ColumnType::kDateTime), "DATETIME");
  EXPECT_EQ(DeclaredType(ColumnType::kFloat), "REAL");
  EXPECT_EQ(DeclaredType(ColumnType::kInteger), "INTEGER");
}

class CreateAgencyDatabaseTest : public SqldbTest {
 protected:
  bool CreateDefaultDatabase() const override { return false; }
};

TEST_F(CreateAgencyDatabaseTest, HoldsEveryTableColumnAndNamedIndex) {
  CreateAgencyDatabase("new.db");
  for (const TableDef& t : AgencyTables()) {
    const std::string name(t.name);
    EXPECT_EQ(Scalar("new.db", "SELECT count(*) FROM \"" + name + "\""), "0") << name;
    EXPECT_EQ(Scalar("new.db", "SELECT count(*) FROM pragma_table_info('" + name + "')"),
              std::to_string(t.columns.size()))
        << name;
    for (const ColumnDef& c : t.columns) {
      EXPECT_EQ(Scalar("new.db", "SELECT type FROM pragma_table_info('" + name +
                                     "') WHERE name = '" + std::string(c.name) + "'"),
                DeclaredType(c.type))
          << name << "." << c.name;
    }
  }
  struct Index {
    const char* table;
    const char* name;
    const char* columns;
  };
  for (const Index& i : {Index{"Customer", "Index1", "AgyCode,Number"},
                         Index{"Policy", "Main_idx", "AgyCode,PolNum,PolSeq"},
                         Index{"Policy", "SubViewIndex", "AgyCode,SubmissionNumber,PolNum"},
                         Index{"SuspItem", "MainIdx", "AgyCode,ItemNum"},
                         Index{"A25SBA", "Main", "AgyCode,CertNum,HolderSeq"}}) {
    EXPECT_EQ(
        Scalar("new.db",
               std::string("SELECT tbl_name FROM sqlite_master WHERE type = 'index' AND name = '") +
                   i.name + "'"),
        i.table);
    EXPECT_EQ(
        Scalar("new.db",
               std::string("SELECT group_concat(name) FROM (SELECT name FROM pragma_index_info('") +
                   i.name + "') ORDER BY seqno)"),
        i.columns);
  }
}

TEST_F(CreateAgencyDatabaseTest, RefusesAnExistingFileAndLeavesItAlone) {
  WriteFile("agency.db", "precious");
  const std::string message = ErrorText([] { CreateAgencyDatabase("agency.db"); });
  EXPECT_EQ(message, "agency database \"agency.db\": the file already exists");
  std::ifstream in("agency.db");
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "precious");
}

TEST_F(CreateAgencyDatabaseTest, MissingFolderLeavesNothingBehind) {
  const std::string message = ErrorText([] { CreateAgencyDatabase("no/such/agency.db"); });
  EXPECT_EQ(message,
            "agency database \"no/such/agency.db\": the folder \"no/such\" does not exist");
  EXPECT_FALSE(fs::exists("no"));
}

TEST_F(CreateAgencyDatabaseTest, DesignTimeComponentsOpenOnANewDatabase) {
  fs::create_directories("site");
  CreateAgencyDatabase("site/agency.db");
  struct Component {
    const char* table;
    const char* index;
  };
  for (const Component& c :
       {Component{"Customer", "Index1"}, Component{"Customer", ""}, Component{"Contact", ""},
        Component{"Policy", "Main_idx"}, Component{"Policy", "SubViewIndex"},
        Component{"AttchList", ""}, Component{"Insured", ""}, Component{"SuspItem", "MainIdx"},
        Component{"CustNotes", ""}, Component{"PolMemo", ""}, Component{"A25SB", ""},
        Component{"A25SBA", "Main"}, Component{"Company", ""}, Component{"ClassTypes", ""},
        Component{"Producer", ""}, Component{"SubClass", ""}, Component{"Trans", ""},
        Component{"States", ""}, Component{"Agency", ""}}) {
    Table t("tbl", "site", c.table, c.index);
    EXPECT_NO_THROW(t.Open()) << c.table << " " << c.index;
    EXPECT_TRUE(t.Eof());
  }
}

// The statements that the routines build, as they build them (agency " 1", today
// 2010-01-03), run on a new database without an error.
TEST_F(CreateAgencyDatabaseTest, EveryRoutineStatementRunsOnANewDatabase) {
  CreateAgencyDatabase("agency.db");
  WriteFile("aliases.cfg", "AGYFORMS=agency.db\n");
  Exec("agency.db", "CREATE TABLE \"Y QXAGTCUST\" (x TEXT)");
  const std::string a = SqlQuote(" 1");
  const std::string today = SqlQuote("2010-01-03");
  std::vector<std::string> statements = {
      "Select * from \"Agency\" where AgyCode = " + a,
      "Select * from \"CUSTOMER\" where AgyCode = " + a + " and ActiveStatus = " + SqlQuote("Y"),
      "Select * from \"CUSTOMER\" where AgyCode = " + a +
          " and CustType = 2 and ActiveStatus = " + SqlQuote("N"),
      "Select * from \"CUSTOMER\" where AgyCode = " + a +
          " and CustType = 1 and ActiveStatus =" + SqlQuote("Y"),
      "select Underwriter as Num, Count(Number)as Ttl from \"Customer\"  where AgyCode = " + a +
          " and num not in (select Number from producer where AgyCode = " + a +
          ") Group by Num order by Ttl Desc",
      "select CSR as Num, Count(Number)as Ttl from \"Customer\"  where AgyCode = " + a +
          " Group by Num order by Ttl Desc",
      "Select * from \"Producer\" where AgyCode = " + a + " and Number = " + SqlQuote(" 10"),
      "select AssignedTo as Num, Count(ItemNum) as Ttl from \"SuspItem\"  where AgyCode = " + a +
          " and Status in (select Number from \"SubStat\" where IsClosed = " + SqlQuote("0") +
          ") Group by Num  Order by Ttl DESC",
      "Select PolNum, Count(Distinct PolNum) as Ttl from \"POLICY\" where AgyCode = " + a +
          " and PolicyTermExpDate > Convert(" + today +
          ",SQL_DATE) Group by PolNum Order by Ttl Desc",
      "Select Count(Distinct PolNum) as Ttl, CltNum From \"Policy\" where AgyCode = " + a +
          "  and PolicyTermExpDate > Convert(" + today +
          ",SQL_DATE) Group by CltNum Order by Ttl DESC",
      "Select * from \"POLICY\" where AgyCode = " + a + " and DptCode is NULL",
      "Select * from \"POLICY\" where AgyCode = " + a + " and CltNum = " + SqlQuote("      "),
      "Select * from \"POLICY\" where AgyCode = " + a +
          " and (( d_filler2 < 1.0) or (d_filler2 > 9.0 ))",
      "Select TrnCode, Count(Distinct PolNum) as TtL from \"Policy\" where AgyCode = " + a +
          " and PolicyTermExpDate > Convert(" + today +
          ",SQL_DATE) Group by TrnCode Order by Ttl DESC",
      "Select CltNum, Count(ClaimNo) as Ttl From \"ClaimMain\" where AgyCode = " + a +
          " Group by CltNum Order by Ttl DESC",
      "select CltNum, PolNum, PolSeq, ClaimNo from \"ClaimMain\" where AgyCode = " + a +
          " and PolNum not in (select Polnum from Policy where AgyCode = " + a + ")",
      "Select CltNum, Count(AutoKey) as TtL from \"CUSTNOTES\" where AgyCode = " + a +
          " Group by CltNum Order by Ttl DESC",
      "Select CltNum, Count(AutoID) as TtL from \"POLMEMO\" where AgyCode = " + a +
          " Group by CltNum Order by Ttl DESC",
      "Select Client, Count(DownloadSeq) as TtL from \"DLPEND\" where AgyCode = " + a +
          " Group by Client Order by Ttl DESC",
      "Select Client, Count(SchedSeq) as TtL from \"DRIVER2\" where AgyCode = " + a +
          " Group by Client Order by Ttl DESC",
      "Select Client, Count(SchedSeq) as TtL from \"VEHICLE2\" where AgyCode = " + a +
          " Group by Client Order by Ttl DESC",
      "Select Client, Count(SchedSeq) as TtL from \"PROPA\" where AgyCode = " + a +
          " Group by Client Order by Ttl DESC",
      "Select Client, Count(SchedSeq) as TtL from \"EQUIPA\" where AgyCode = " + a +
          " Group by Client Order by Ttl DESC",
      "Select PolNum, Count(Intnum) as TtL from \"PolInt\" where AgyCode = " + a +
          " Group by PolNum Order by Ttl DESC",
      "select PolNum, Count(IntNum) As Ttl from \"PolInt\" where AgyCode = " + a +
          " and PolNum not in (select Polnum from Policy where AgyCode = " + a +
          ")   Group by PolNum Order by Ttl DESC",
      "select Agent, PolNum, IntNum from \"PolInt\" where AgyCode = " + a +
          " and PolNum not in (select Polnum from Policy where AgyCode = " + a +
          ")   Order by Agent, PolNum",
      "Select CltNum, Count(ClaimNo) as TtL from \"CLAIMMAIN\" where AgyCode = " + a +
          " Group by CltNum Order by Ttl DESC",
      "Select AgyCode, Number, Name from \"CUSTOMER\" where AgyCode = " + a +
          " and ActiveStatus = " + SqlQuote("N"),
      "update \"Contact\" set DefaultAddFrom = '0' where AgyCode = " + SqlQuote("1"),
      "Update \"CUSTOMER\" set LegalEntityCode = 0 where LegalEntityCode is Null",
      "Select * from \"CUSTOMER\" where ((CustType = 0) or (CustType = 1))",
      "Update \"Customer\" set CustType = 1 where AgyCode = " + a +
          "  and Number = " + SqlQuote("   123"),
      "Update \"Company\" Set BillMethodCd = " + SqlQuote("D") + " where AgyCode =" + SqlQuote("1"),
      "Delete from \"Policy\" where PolSeq = 0",
      "Select * from \"AttchList\" where AgyCode = " + a + "and FileType = " + SqlQuote("X") +
          "and PrdCode <> " + SqlQuote("") + "and PolNum = " + SqlQuote(""),
      "Select * from \"PropA\" where NamedInsured <> " + SqlQuote("      "),
      "Select * from \"PropA\" where AgyCode = " + a + " and Client = " + SqlQuote("   123") +
          " and SchedSeq = 2",
      "Update \"PropA\" set NamedInsured = " + SqlQuote("      ") + " where AgyCode = " + a +
          " and Client = " + SqlQuote("   123") + " and SchedSeq = 2",
      "Select * from \"PROPA\" where AgyCode = " + a + " and Client = " + SqlQuote("   123") +
          " and NamedInsured = " + SqlQuote("      ") + " ORDER BY SchedSeq DESC",
      "Update \"PROPA\" Set NamedInsured = " + SqlQuote("      ") +
          ", SchedSeq =3 where AgyCode = " + a + " and Client = " + SqlQuote("   123") +
          " and NamedInsured = " + SqlQuote("     0") + " and SchedSeq = 2",
      "DROP TABLE \"Y QXAGTCUST\" IN DICTIONARY",
  };
  for (const std::string& sql : statements) {
    Query q("PvQuery1", "AGYFORMS");
    q.SqlAdd(sql);
    EXPECT_NO_THROW(q.Open()) << sql;
    EXPECT_LE(q.RowCount(), 0) << sql;
  }
}

}  // namespace
}  // namespace talvor::sqldb
