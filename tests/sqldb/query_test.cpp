#include "sqldb/query.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "shell/text/text.h"
#include "sqldb/error.h"
#include "sqldb_fixture.h"

namespace talvor::sqldb {
namespace {

using testing::ErrorText;
using testing::SqldbTest;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class QueryTest : public SqldbTest {
 protected:
  void SetUp() override {
    SqldbTest::SetUp();
    Exec(
        "agency.db",
        "INSERT INTO Customer (AgyCode, Number, Name, CustType, ActiveStatus, Underwriter, CSR)"
        " VALUES ('01', '     1', 'A', 1, 'Y', ' 10', ' 10'), ('01', '     2', 'B', 2, 'Y', ' 10', "
        "' 20'),"
        " ('01', '     3', 'C', 2, 'N', ' 99', ' 20'), ('02', '     4', 'D', 0, 'Y', ' 10', ' 10');"
        "INSERT INTO Producer (AgyCode, Number, Name) VALUES ('01', ' 10', 'Pat O''Neil'), ('01', "
        "' 20', 'Sam');"
        "INSERT INTO Policy (AgyCode, PolNum, PolSeq, CltNum, PolicyTermExpDate, CmpCode) VALUES"
        " ('01', 'P1', 1, '     1', '2009-12-31', 'C1'), ('01', 'P1', 2, '     1', '2010-12-31', "
        "'C1'),"
        " ('01', 'P2', 1, '     2', '2011-06-30', 'C2'), ('01', 'P3', 1, '     2', '2010-01-03', "
        "NULL);"
        "INSERT INTO PolInt (AgyCode, PolNum, IntNum, Agent) VALUES"
        " ('01', 'P1', '1', 'AG'), ('01', 'GONE', '1', 'AG'), ('01', 'GONE', '2', 'AG');");
  }

  Query Run(const std::string& sql) {
    Query q("PvQuery1", "AGYFORMS");
    q.SqlAdd(sql);
    q.Open();
    return q;
  }

  // "col=value" of every row, for columns `cols` read as text.
  static std::vector<std::string> Rows(Query& q, const std::vector<std::string>& cols) {
    std::vector<std::string> rows;
    for (q.First(); !q.Eof(); q.Next()) {
      std::string line;
      for (std::size_t i = 0; i < cols.size(); ++i) line += (i ? "|" : "") + q.AsString(cols[i]);
      rows.push_back(line);
    }
    return rows;
  }

  using Lines = std::vector<std::string>;

  static Lines Sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
  }
};

TEST_F(QueryTest, SelectCountsAndWalksRows) {
  Query q("PvQuery1", "AGYFORMS");
  q.SqlClear();
  q.SqlAdd("Select * from \"CUSTOMER\" where AgyCode = " + SqlQuote("01") +
           " and ActiveStatus = " + SqlQuote("Y"));
  q.Open();
  EXPECT_TRUE(q.IsOpen());
  EXPECT_EQ(q.RowCount(), 2);
  EXPECT_TRUE(q.Bof());
  EXPECT_EQ(Rows(q, {"Number", "Name"}), (Lines{"     1|A", "     2|B"}));
  EXPECT_TRUE(q.Eof());
  EXPECT_EQ(q.AsString("Name"), "B");
  q.Close();
  EXPECT_FALSE(q.IsOpen());
  EXPECT_EQ(q.RowCount(), 2);
}

TEST_F(QueryTest, ANulInAQuotedValueIsPartOfTheValue) {
  Exec("agency.db", "UPDATE Customer SET Name = 'A' || char(0) || 'Z' WHERE Number = '     1'");
  Query q = Run("Select * from \"Customer\" where Name = " + SqlQuote(std::string("A\0Z", 3)));
  EXPECT_EQ(q.RowCount(), 1);
  EXPECT_EQ(q.AsString("Number"), "     1");
  EXPECT_EQ(q.AsString("Name"), std::string("A\0Z", 3));
}

TEST_F(QueryTest, QuotedTableNamesInAnyCase) {
  for (const char* table : {"\"Customer\"", "\"CUSTOMER\"", "\"customer\"", "Customer"}) {
    Query q = Run(std::string("Select * from ") + table + " where AgyCode = '01'");
    EXPECT_EQ(q.RowCount(), 3) << table;
  }
}

TEST_F(QueryTest, EmptyResultIsAtItsEndAtOnce) {
  Query q = Run("Select * from \"Customer\" where AgyCode = '99'");
  EXPECT_EQ(q.RowCount(), 0);
  EXPECT_TRUE(q.Eof());
  EXPECT_EQ(q.AsString("Name"), "");
  EXPECT_EQ(q.AsInteger("CustType"), 0);
  q.Next();
  EXPECT_TRUE(q.Eof());
}

TEST_F(QueryTest, CountWithAliasGluedToTheParenthesis) {
  Query q =
      Run("select Underwriter as Num, Count(Number)as Ttl from \"Customer\"  where AgyCode = '01'"
          " Group by Num order by Ttl Desc");
  EXPECT_EQ(q.RowCount(), 2);
  EXPECT_EQ(q.AsString("Num"), " 10");
  EXPECT_EQ(q.AsInteger("Ttl"), 2);
  EXPECT_EQ(q.AsString("TTL"), "2");
  EXPECT_EQ(RightJustify(q.AsString("Num"), 6) + ": " + PadRight(q.AsString("Ttl"), 20),
            "    10: 2                   ");
}

TEST_F(QueryTest, ResultAliasInWhereWithNotInSubquery) {
  Query q =
      Run("select Underwriter as Num, Count(Number)as Ttl from \"Customer\"  where AgyCode = '01'"
          " and num not in (select Number from producer where AgyCode = '01') Group by Num order "
          "by Ttl Desc");
  EXPECT_EQ(Rows(q, {"Num", "Ttl"}), (Lines{" 99|1"}));
}

TEST_F(QueryTest, CountDistinctWithConvertedDate) {
  Query all =
      Run("Select PolNum, Count(Distinct PolNum) as Ttl from \"POLICY\" where AgyCode = '01'"
          " Group by PolNum Order by Ttl Desc");
  EXPECT_EQ(all.RowCount(), 3);
  Query active =
      Run("Select PolNum, Count(Distinct PolNum) as Ttl from \"POLICY\" where AgyCode = '01' and"
          " PolicyTermExpDate > Convert('2010-01-03',SQL_DATE) Group by PolNum Order by Ttl Desc");
  // Equal counts may come in any order.
  EXPECT_EQ(Sorted(Rows(active, {"PolNum"})), (Lines{"P1", "P2"}));
  Query byClient =
      Run("Select Count(Distinct PolNum) as Ttl, CltNum From \"Policy\" where AgyCode = '01'  and"
          " PolicyTermExpDate > CONVERT('2010-01-03',SQL_DATE) Group by CltNum Order by Ttl DESC");
  EXPECT_EQ(Sorted(Rows(byClient, {"CltNum", "Ttl"})), (Lines{"     1|1", "     2|1"}));
}

TEST_F(QueryTest, NullAndBlankCodes) {
  EXPECT_EQ(Run("Select * from \"POLICY\" where AgyCode = '01' and CmpCode is NULL").RowCount(), 1);
  EXPECT_EQ(Run("Select * from \"POLICY\" where AgyCode = '01' and CmpCode = '   '").RowCount(), 0);
  Query q =
      Run("Select CmpCode, Count(Distinct PolNum) as TtL from \"Policy\" where AgyCode = '01'"
          " Group by CmpCode Order by Ttl DESC");
  EXPECT_EQ(Sorted(Rows(q, {"CmpCode", "Ttl"})), (Lines{"C1|1", "C2|1", "|1"}));
}

TEST_F(QueryTest, InterestsWithoutAPolicy) {
  Query q = Run(
      "select PolNum, Count(IntNum) As Ttl from \"PolInt\" where AgyCode = '01' and PolNum not in"
      " (select Polnum from Policy where AgyCode = '01')   Group by PolNum Order by Ttl DESC");
  EXPECT_EQ(Rows(q, {"PolNum", "Ttl"}), (Lines{"GONE|2"}));
}

TEST_F(QueryTest, OpenSuspenseItemsByStatusComparedWithText) {
  Exec("agency.db",
       "INSERT INTO SubStat (AgyCode, Number, IsClosed) VALUES ('01', 1, 0), ('01', 2, 1);"
       "INSERT INTO SuspItem (AgyCode, ItemNum, AssignedTo, Status) VALUES"
       " ('01', '        1', ' 10', 1), ('01', '        2', ' 10', 2), ('01', '        3', ' 20', "
       "1),"
       " ('01', '        4', ' 10', 1);");
  Query q = Run(
      "select AssignedTo as Num, Count(ItemNum) as Ttl from \"SuspItem\"  where AgyCode = '01' and"
      " Status in (select Number from \"SubStat\" where IsClosed = '0') Group by Num  Order by Ttl "
      "DESC");
  EXPECT_EQ(Rows(q, {"Num", "Ttl"}), (Lines{" 10|2", " 20|1"}));
}

TEST_F(QueryTest, ApostropheThroughSqlQuote) {
  Query q =
      Run("Select * from \"Producer\" where AgyCode = '01' and Name = " + SqlQuote("Pat O'Neil"));
  EXPECT_EQ(q.RowCount(), 1);
  EXPECT_EQ(q.AsString("Number"), " 10");
}

TEST_F(QueryTest, NoBlankBetweenQuoteAndAnd) {
  Exec("agency.db",
       "INSERT INTO AttchList (AgyCode, CltNum, PolNum, FileType, PrdCode) VALUES"
       " ('01', '      ', '', 'X', ' 10'), ('01', '      ', '', 'X', '')");
  Query q = Run("Select * from \"AttchList\" where AgyCode = " + SqlQuote("01") +
                "and FileType = " + SqlQuote("X") + "and PrdCode <> " + SqlQuote("") +
                "and PolNum = " + SqlQuote(""));
  EXPECT_EQ(q.RowCount(), 1);
}

TEST_F(QueryTest, UpdateAndDeleteCountChangedRows) {
  Query q = Run("Update \"CUSTOMER\" set CustType = 1 where AgyCode = '01'  and Number = '     2'");
  EXPECT_TRUE(q.IsOpen());
  EXPECT_TRUE(q.Eof());
  EXPECT_EQ(q.RowCount(), 1);
  EXPECT_TRUE(q.FieldNames().empty());
  EXPECT_EQ(Scalar("agency.db", "SELECT CustType FROM Customer WHERE Number = '     2'"), "1");
  EXPECT_EQ(Run("Update \"CUSTOMER\" set CustType = 1 where Number = 'none'").RowCount(), 0);
  EXPECT_EQ(Run("Delete from \"Policy\" where PolSeq = 1").RowCount(), 3);
  EXPECT_EQ(Run("Insert into Trans (AgyCode, Number) values ('01', 'NEW')").RowCount(), 1);
  EXPECT_EQ(
      Run("Update \"CUSTOMER\" set LegalEntityCode = 0 where LegalEntityCode is Null").RowCount(),
      4);
}

TEST_F(QueryTest, DropTableInDictionary) {
  Exec("agency.db", "CREATE TABLE \"Y QXAGTCUST\" (x TEXT)");
  Query q = Run("DROP TABLE \"Y QXAGTCUST\" IN DICTIONARY");
  EXPECT_EQ(q.RowCount(), -1);
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM sqlite_master WHERE name = 'Y QXAGTCUST'"),
            "0");
  const std::string message = ErrorText([&] { Run("DROP TABLE \"Y QXAGTCUST\" IN DICTIONARY"); });
  EXPECT_TRUE(Has(message, "no such table")) << message;
  EXPECT_TRUE(Has(message, "[DROP TABLE \"Y QXAGTCUST\" IN DICTIONARY]")) << message;
}

TEST_F(QueryTest, RefusedStatementNamesDatabaseAndStatement) {
  Query q("PvQuery1", "AGYFORMS");
  q.SqlAdd("Select * from \"Customr\"");
  const std::string message = ErrorText([&] { q.Open(); });
  EXPECT_EQ(message,
            "database \"AGYFORMS\", statement [Select * from \"Customr\"]: no such table: Customr");
  EXPECT_FALSE(q.IsOpen());
}

TEST_F(QueryTest, UnknownAliasAndOtherSetupErrors) {
  Query q("PvQuery1", "NOSUCH");
  q.SqlAdd("select 1");
  EXPECT_EQ(ErrorText([&] { q.Open(); }).rfind("unknown database \"NOSUCH\" (", 0), 0u);
  EXPECT_FALSE(q.IsOpen());
  Query empty("PvQuery2", "AGYFORMS");
  EXPECT_TRUE(Has(ErrorText([&] { empty.Open(); }), "has no SQL text"));
  Query two("PvQuery3", "AGYFORMS");
  two.SqlAdd("select 1; select 2");
  EXPECT_TRUE(Has(ErrorText([&] { two.Open(); }), "more than one statement"));
  Query closed("PvQuery3", "AGYFORMS");
  EXPECT_TRUE(Has(ErrorText([&] { closed.AsString("x"); }), "is not open"));
}

TEST_F(QueryTest, UnknownResultColumn) {
  Query q = Run("select Number as Num from Customer");
  const std::string message = ErrorText([&] { q.AsString("Number"); });
  EXPECT_TRUE(Has(message, "no column \"Number\" in the result")) << message;
  EXPECT_TRUE(Has(message, "select Number as Num from Customer")) << message;
}

TEST_F(QueryTest, SqlTextOfSeveralLinesAndChangingItCloses) {
  Query q("PvQuery1", "AGYFORMS");
  q.SqlAdd("select Name from Customer");
  q.SqlAdd("where AgyCode = '02'");
  EXPECT_EQ(q.SqlText(), "select Name from Customer\nwhere AgyCode = '02'");
  q.Open();
  EXPECT_EQ(q.AsString("Name"), "D");
  q.SqlClear();
  EXPECT_FALSE(q.IsOpen());
  EXPECT_TRUE(Has(ErrorText([&] { q.SetDatabaseName("X"); }), "<no error>"));
  q.SetDatabaseName("AGYFORMS");
  q.SqlAdd("select 1 as One");
  q.Open();
  EXPECT_TRUE(Has(ErrorText([&] { q.SetDatabaseName("X"); }), "while it is open"));
  q.Open();
  EXPECT_EQ(q.AsInteger("One"), 1);
}

TEST_F(QueryTest, ResultIsASnapshotAndFirstGoesBack) {
  Query q = Run("Select * from \"PropA\" where NamedInsured <> '      '");
  EXPECT_EQ(q.RowCount(), 0);
  Exec("agency.db",
       "INSERT INTO PropA (AgyCode, Client, NamedInsured, SchedSeq) VALUES"
       " ('01', '     1', '     0', 1), ('01', '     1', '     0', 2)");
  Query outer = Run("Select * from \"PropA\" where NamedInsured <> '      '");
  ASSERT_EQ(outer.RowCount(), 2);
  Query update = Run("Update \"PropA\" set NamedInsured = '      ' where AgyCode = '01'");
  EXPECT_EQ(update.RowCount(), 2);
  std::vector<std::int64_t> seqs;
  for (; !outer.Eof(); outer.Next()) seqs.push_back(outer.AsInteger("SchedSeq"));
  EXPECT_EQ(seqs, (std::vector<std::int64_t>{1, 2}));
  outer.First();
  EXPECT_EQ(outer.AsString("NamedInsured"), "     0");
  EXPECT_EQ(outer.AsInteger("SchedSeq"), 1);
}

TEST_F(QueryTest, ColumnTypesComeFromTheTable) {
  Exec("agency.db",
       "INSERT INTO Producer (AgyCode, Number, InactiveAcct, DefCommission) VALUES ('03', '  1', "
       "0, 7.5);"
       "INSERT INTO PolMemo (AgyCode, CltNum, AutoID, DateStamp) VALUES ('03', '     1', 1, "
       "'2015-07-03 09:30:00');");
  Query prd =
      Run("select InactiveAcct, DefCommission, InactiveAcct + 1 as Plus from Producer where "
          "AgyCode = '03'");
  EXPECT_EQ(prd.AsString("InactiveAcct"), "FALSE");
  EXPECT_EQ(prd.AsString("Plus"), "1");
  EXPECT_DOUBLE_EQ(prd.AsFloat("DefCommission"), 7.5);
  EXPECT_EQ(prd.AsVariant("InactiveAcct"), Variant(false));
  Query memo = Run("select DateStamp from PolMemo");
  EXPECT_EQ(memo.AsString("DateStamp"), "7/3/2015 9:30:00 AM");
  EXPECT_EQ(memo.AsDateTime("DateStamp"), (DateTime{{2015, 7, 3}, 9, 30, 0}));
  const DateFormats iso{"yyyy-mm-dd", "hh:nn"};
  memo.SetDateFormats(&iso);
  EXPECT_EQ(memo.AsString("DateStamp"), "2015-07-03 09:30");
}

TEST_F(QueryTest, EmptyTextInABooleanColumnReadsAsEmptyText) {
  Exec("agency.db",
       "INSERT INTO Producer (AgyCode, Number, InactiveAcct) VALUES ('03', '  1', ''), "
       "('03', '  2', 0)");
  Query prd = Run("select Number, InactiveAcct from Producer where AgyCode = '03' order by Number");
  EXPECT_FALSE(prd.IsNull("InactiveAcct"));
  EXPECT_EQ(prd.AsString("InactiveAcct"), "");
  EXPECT_EQ(prd.AsVariant("InactiveAcct"), Variant(""));
  EXPECT_FALSE(prd.AsBoolean("InactiveAcct"));
  prd.Next();
  EXPECT_EQ(prd.AsString("InactiveAcct"), "FALSE");
}

TEST_F(QueryTest, LargeResultKeepsEveryValue) {
  std::string sql =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000)"
      " INSERT INTO Contact (AgyCode, CltNum, Number, Name, Phone1)"
      " SELECT '05', printf('%6d', i), i, 'Name ' || i, NULL FROM n";
  Exec("agency.db", sql);
  Query q =
      Run("select CltNum, Number, Name, Phone1 from Contact where AgyCode = '05' order by rowid");
  ASSERT_EQ(q.RowCount(), 5000);
  std::int64_t sum = 0;
  int rows = 0;
  for (; !q.Eof(); q.Next()) {
    ++rows;
    sum += q.AsInteger("Number");
    if (rows == 4321) {
      EXPECT_EQ(q.AsString("CltNum"), "  4321");
      EXPECT_EQ(q.AsString("Name"), "Name 4321");
      EXPECT_TRUE(q.IsNull("Phone1"));
    }
  }
  EXPECT_EQ(rows, 5000);
  EXPECT_EQ(sum, 5000 * 5001 / 2);
}

}  // namespace
}  // namespace talvor::sqldb
