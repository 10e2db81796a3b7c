#include "sqldb/table.h"

#include <gtest/gtest.h>

#include "sqldb/error.h"
#include "sqldb/stats.h"
#include "sqldb_fixture.h"

namespace talvor::sqldb {
namespace {

using testing::ErrorText;
using testing::SqldbTest;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class TableTest : public SqldbTest {
 protected:
  void SetUp() override {
    SqldbTest::SetUp();
    // Inserted out of key order so that index order and storage order differ.
    Exec("agency.db",
         "INSERT INTO Customer (AgyCode, Number, Name, CustType, ActiveStatus) VALUES"
         " ('01', '   300', 'Carter', 1, 'Y'),"
         " ('01', '   100', 'Adams', 2, 'Y'),"
         " (' 1', '   100', 'Blank One', 2, 'N'),"
         " ('02', '   100', 'Other Agency', 0, 'Y'),"
         " ('01', '   200', 'Baker', 1, 'N');");
  }

  // Names of the rows in walk order, from the first row.
  static std::vector<std::string> Walk(Table& t, const char* column = "Name") {
    std::vector<std::string> names;
    for (t.First(); !t.Eof(); t.Next()) names.push_back(t.AsString(column));
    return names;
  }

  using Names = std::vector<std::string>;
};

TEST_F(TableTest, OpenStandsOnFirstRowInStorageOrder) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  EXPECT_TRUE(t.IsOpen());
  EXPECT_EQ(t.State(), TableState::kBrowse);
  EXPECT_FALSE(t.Eof());
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(t.AsString("Name"), "Carter");
  EXPECT_EQ(Walk(t), (Names{"Carter", "Adams", "Blank One", "Other Agency", "Baker"}));
  EXPECT_EQ(t.RecordCount(), 5);
}

// A component is opened again in every run of a routine: the second open must read the
// same columns as the first.
TEST_F(TableTest, ReopenedComponentReadsTheSameColumns) {
  Table t("tblClients", "AGYFORMS", "Customer", "Index1");
  for (int run = 0; run < 3; ++run) {
    t.Open();
    EXPECT_EQ(t.AsString("Name"), "Blank One") << "run " << run;
    EXPECT_EQ(t.AsInteger("CustType"), 2) << "run " << run;
    t.Close();
  }
}

TEST_F(TableTest, NamedIndexGivesKeyOrderWithoutRegardToCase) {
  Table t("tblAgent", "AGYFORMS", "customer", "INDEX1");
  t.Open();
  EXPECT_EQ(Walk(t), (Names{"Blank One", "Adams", "Baker", "Carter", "Other Agency"}));
}

TEST_F(TableTest, TiesOfTheIndexComeInStorageOrder) {
  Exec("agency.db", "CREATE INDEX ByType ON Customer (CustType)");
  Table t("tblClients", "AGYFORMS", "Customer", "ByType");
  t.Open();
  EXPECT_EQ(Walk(t), (Names{"Other Agency", "Carter", "Baker", "Adams", "Blank One"}));
}

TEST_F(TableTest, DescendingIndexIsWalkedDescending) {
  Exec("agency.db", "CREATE INDEX NumDesc ON Customer (Number DESC, AgyCode)");
  Table t("tblClients", "AGYFORMS", "Customer", "NumDesc");
  t.Open();
  EXPECT_EQ(Walk(t), (Names{"Carter", "Baker", "Blank One", "Adams", "Other Agency"}));
}

TEST_F(TableTest, OpenFailures) {
  struct Case {
    const char* database;
    const char* table;
    const char* index;
    std::vector<std::string> parts;
  };
  const Case cases[] = {
      {"NOSUCH", "Customer", "", {"unknown database \"NOSUCH\""}},
      {"AGYFORMS", "Customr", "", {"table \"Customr\" not found", "database \"AGYFORMS\""}},
      {"AGYFORMS", "", "", {"tblX", "has no table name"}},
      {"AGYFORMS", "Customer", "NoIdx", {"no index \"NoIdx\"", "table \"Customer\""}},
  };
  for (const Case& c : cases) {
    Table t("tblX", c.database, c.table, c.index);
    const std::string message = ErrorText([&] { t.Open(); });
    for (const auto& part : c.parts) EXPECT_TRUE(Has(message, part)) << message;
    EXPECT_FALSE(t.IsOpen());
  }
}

TEST_F(TableTest, SettingsChangeOnlyWhileClosed) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  EXPECT_TRUE(Has(ErrorText([&] { t.SetDatabaseName("CONVERT"); }), "while it is open"));
  EXPECT_TRUE(Has(ErrorText([&] { t.SetTableName("Policy"); }), "while it is open"));
  EXPECT_TRUE(Has(ErrorText([&] { t.SetSessionName("Server"); }), "while it is open"));
  EXPECT_EQ(t.DatabaseName(), "AGYFORMS");
  EXPECT_EQ(t.TableName(), "Customer");
  t.Close();
  EXPECT_FALSE(t.IsOpen());
  t.SetTableName("Policy");
  t.SetDatabaseName(".");
  t.Open();
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(t.Bof());
}

TEST_F(TableTest, ClosedComponentRefusesWork) {
  Table t("tblClients", "AGYFORMS", "Customer");
  EXPECT_TRUE(Has(ErrorText([&] { t.First(); }), "\"tblClients\" is not open"));
  EXPECT_TRUE(Has(ErrorText([&] { t.AsString("Name"); }), "is not open"));
  EXPECT_TRUE(Has(ErrorText([&] { t.Edit(); }), "is not open"));
  EXPECT_TRUE(Has(ErrorText([&] { t.Locate("Number", {"x"}); }), "is not open"));
  EXPECT_TRUE(t.FieldNames().empty());
}

TEST_F(TableTest, UnknownColumnNamesTheColumnAndTable) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  const std::string message = ErrorText([&] { t.AsString("Nmae"); });
  EXPECT_TRUE(Has(message, "no column \"Nmae\"")) << message;
  EXPECT_TRUE(Has(message, "table \"Customer\"")) << message;
  EXPECT_TRUE(Has(message, "database \"AGYFORMS\"")) << message;
}

TEST_F(TableTest, ColumnNamesWithoutRegardToCase) {
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  EXPECT_EQ(t.AsString("name"), "Blank One");
  EXPECT_EQ(t.AsString("NAME"), "Blank One");
  EXPECT_EQ(t.AsString("agycode"), " 1");
}

TEST_F(TableTest, NullColumnsReadAsEmptyZeroFalse) {
  Exec("agency.db",
       "INSERT INTO Producer (AgyCode, Number) VALUES ('01', '  7');"
       "INSERT INTO Policy (AgyCode, PolNum) VALUES ('01', 'P1');");
  Table prd("tblPrd", "AGYFORMS", "Producer");
  prd.Open();
  EXPECT_TRUE(prd.IsNull("Name"));
  EXPECT_EQ(prd.AsString("Name"), "");
  EXPECT_EQ(prd.AsString("InactiveAcct"), "");
  EXPECT_FALSE(prd.AsBoolean("InactiveAcct"));
  EXPECT_EQ(prd.AsInteger("Name"), 0);
  EXPECT_EQ(prd.AsFloat("DefCommission"), 0.0);
  EXPECT_TRUE(prd.AsVariant("DefCommission").IsNull());
  Table pol("tblPolicy", "AGYFORMS", "Policy");
  pol.Open();
  EXPECT_EQ(pol.AsInteger("PolSeq"), 0);
  EXPECT_EQ(pol.AsString("EntryDate"), "");
  EXPECT_EQ(pol.AsDateTime("EntryDate"), DateTime{});
}

TEST_F(TableTest, EmptyTextInABooleanColumnReadsAsEmptyText) {
  Exec("agency.db",
       "INSERT INTO Producer (AgyCode, Number, InactiveAcct) VALUES"
       " ('01', '  7', ''), ('01', '  8', 0), ('01', '  9', 'T')");
  Table prd("tblPrd", "AGYFORMS", "Producer");
  prd.Open();
  EXPECT_FALSE(prd.IsNull("InactiveAcct"));
  EXPECT_EQ(prd.AsString("InactiveAcct"), "");
  EXPECT_EQ(prd.AsVariant("InactiveAcct"), Variant(""));
  EXPECT_FALSE(prd.AsBoolean("InactiveAcct"));
  EXPECT_EQ(prd.AsInteger("InactiveAcct"), 0);
  prd.Next();
  EXPECT_EQ(prd.AsString("InactiveAcct"), "FALSE");
  prd.Next();
  EXPECT_EQ(prd.AsString("InactiveAcct"), "TRUE");
  EXPECT_EQ(prd.AsVariant("InactiveAcct"), Variant(true));
}

TEST_F(TableTest, ReadsOnAnEmptyTableGiveEmptyValues) {
  Table t("tblPolMemo", "AGYFORMS", "PolMemo");
  t.Open();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.AsString("DateStamp"), "");
  EXPECT_EQ(t.AsInteger("AutoID"), 0);
  EXPECT_TRUE(Has(ErrorText([&] { t.Edit(); }), "no current row"));
  EXPECT_TRUE(Has(ErrorText([&] { t.Delete(); }), "no current row"));
}

TEST_F(TableTest, TypedReadsFollowTheColumnType) {
  Exec("agency.db",
       "INSERT INTO Producer (AgyCode, Number, Name, InactiveAcct, DefCommission) VALUES"
       " ('01', ' 12', 'Pat [X1]', 0, 12.5), ('01', ' 13', 'Sam', 1, 10);"
       "INSERT INTO Policy (AgyCode, PolNum, PolSeq, EntryDate, EffectiveDate) VALUES"
       " ('01', 'P1', 3, '2010-01-03', '2010-01-03 14:05:06');");
  Table prd("tblPrd", "AGYFORMS", "Producer");
  prd.Open();
  EXPECT_EQ(prd.AsString("InactiveAcct"), "FALSE");
  EXPECT_FALSE(prd.AsBoolean("InactiveAcct"));
  EXPECT_EQ(prd.AsVariant("InactiveAcct"), Variant(false));
  EXPECT_DOUBLE_EQ(prd.AsFloat("DefCommission"), 12.5);
  EXPECT_EQ(prd.AsString("DefCommission"), "12.5");
  EXPECT_EQ(prd.AsInteger("Number"), 12);
  prd.Next();
  EXPECT_EQ(prd.AsString("InactiveAcct"), "TRUE");
  EXPECT_EQ(prd.AsVariant("DefCommission"), Variant(10.0));
  EXPECT_TRUE(Has(ErrorText([&] { prd.AsInteger("Name"); }), "'Sam' is not a valid integer value"));

  Table pol("tblPolicy", "AGYFORMS", "Policy");
  pol.Open();
  EXPECT_EQ(pol.AsInteger("PolSeq"), 3);
  EXPECT_EQ(pol.AsString("PolSeq"), "3");
  EXPECT_EQ(pol.AsString("EntryDate"), "1/3/2010");
  EXPECT_EQ(pol.AsString("EffectiveDate"), "1/3/2010 2:05:06 PM");
  EXPECT_EQ(pol.AsDateTime("EffectiveDate"), (DateTime{{2010, 1, 3}, 14, 5, 6}));
  EXPECT_EQ(pol.AsVariant("EntryDate"), Variant(Date{2010, 1, 3}));
  const DateFormats iso{"yyyy-mm-dd", "hh:nn"};
  pol.SetDateFormats(&iso);
  EXPECT_EQ(pol.AsString("EntryDate"), "2010-01-03");
  EXPECT_EQ(pol.AsString("EffectiveDate"), "2010-01-03 14:05");
  pol.SetDateFormats(nullptr);
  EXPECT_EQ(pol.AsString("EntryDate"), "1/3/2010");
}

TEST_F(TableTest, ColumnNameWithABlank) {
  Exec("agency.db",
       "INSERT INTO Policy (AgyCode, PolNum, PolSeq, \"Prd Code\") VALUES ('01', 'P1', 1, ' 12')");
  Table t("tblWritePol", "AGYFORMS", "Policy");
  t.Open();
  EXPECT_EQ(t.AsString("Prd Code"), " 12");
  EXPECT_EQ(t.AsString("prd code"), " 12");
  t.Edit();
  t.SetString("Prd Code", "  9");
  t.Post();
  EXPECT_EQ(Scalar("agency.db", "SELECT \"Prd Code\" FROM Policy"), "  9");
  ASSERT_TRUE(t.Locate("AgyCode;Prd Code", {"01", "  9"}));
  EXPECT_EQ(t.AsString("PolNum"), "P1");
}

TEST_F(TableTest, EditAndPostWritesOnlyAssignedColumns) {
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   200"}));
  t.Edit();
  EXPECT_EQ(t.State(), TableState::kEdit);
  t.SetString("Phone1", "(555)123-4567");
  EXPECT_EQ(t.AsString("Phone1"), "(555)123-4567");
  // Another program changes a column this component did not assign.
  Exec("agency.db", "UPDATE Customer SET City = 'Elsewhere' WHERE Number = '   200'");
  t.Post();
  EXPECT_EQ(t.State(), TableState::kBrowse);
  EXPECT_EQ(Scalar("agency.db", "SELECT Phone1 || '|' || City FROM Customer WHERE Name = 'Baker'"),
            "(555)123-4567|Elsewhere");
  EXPECT_EQ(t.AsString("Phone1"), "(555)123-4567");
}

// A post of the values the row holds writes nothing; anything else that a write would
// change is still written.
TEST_F(TableTest, APostOfTheValuesTheRowHoldsWritesNothing) {
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  auto written = [] { return Stats().rowsWritten; };
  const auto start = written();
  // After a walk's fetch and after a Locate; "1" is stored as the integer 1 it converts to.
  t.First();
  t.Edit();
  t.SetString("Name", t.AsString("Name"));
  t.Post();
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   300"}));
  t.Edit();
  t.SetString("Name", "Carter");
  t.SetString("CustType", "1");
  t.Post();
  EXPECT_EQ(written(), start);
  EXPECT_EQ(t.State(), TableState::kBrowse);
  // One value that differs writes the row.
  t.Edit();
  t.SetString("Name", "Carter");
  t.SetString("ActiveStatus", "N");
  t.Post();
  EXPECT_EQ(written(), start + 1);
  EXPECT_EQ(Scalar("agency.db", "SELECT ActiveStatus FROM Customer WHERE Name = 'Carter'"), "N");
  // The same value again right after its own post: the row was not read since, so the
  // post writes (and changes nothing).
  t.Edit();
  t.SetString("ActiveStatus", "N");
  t.Post();
  EXPECT_EQ(written(), start + 2);
  // A NULL assigned NULL is the same; an empty text over NULL in a text column is not.
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   100"}));
  t.Edit();
  t.SetNull("City");
  t.Post();
  EXPECT_EQ(written(), start + 2);
  t.Edit();
  t.SetString("City", "");
  t.Post();
  EXPECT_EQ(written(), start + 3);
  EXPECT_EQ(Scalar("agency.db", "SELECT typeof(City) FROM Customer WHERE Name = 'Adams'"), "text");
}

TEST_F(TableTest, APostOfUnchangedValuesOfARowDeletedMeanwhileStillFails) {
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  Table other("tblOther", "AGYFORMS", "Customer");
  t.Open();
  other.Open();
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   200"}));
  ASSERT_TRUE(other.Locate("Name", {"Baker"}));
  other.Delete();
  t.Edit();
  t.SetString("Name", "Baker");
  EXPECT_TRUE(Has(ErrorText([&] { t.Post(); }), "no longer exists"));
}

TEST_F(TableTest, APostOfUnchangedValuesRunsTheUpdateOfATableWithATrigger) {
  Exec("agency.db",
       "CREATE TABLE Touched (n INTEGER);"
       "CREATE TRIGGER CountPosts AFTER UPDATE ON Customer BEGIN INSERT INTO Touched VALUES (1); END;");
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   200"}));
  t.Edit();
  t.SetString("Name", "Baker");
  t.Post();
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Touched"), "1");
}

TEST_F(TableTest, ABlobWrittenBackAsTheTextItReadsIsStoredAsText) {
  Exec("agency.db", "UPDATE Customer SET Name = CAST('Baker' AS BLOB) WHERE Number = '   200'");
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   200"}));
  ASSERT_EQ(t.AsString("Name"), "Baker");
  t.Edit();
  t.SetString("Name", "Baker");
  t.Post();
  EXPECT_EQ(Scalar("agency.db", "SELECT typeof(Name) FROM Customer WHERE Number = '   200'"),
            "text");
}

TEST_F(TableTest, AnIndexChangeAfterALocateKeepsTheLocatedRow) {
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   200"}));
  t.SetIndexName("");
  EXPECT_EQ(t.AsString("Name"), "Baker");
  ASSERT_TRUE(t.Locate("Name", {"Adams"}));
  t.SetIndexName("Index1");
  t.Next();
  EXPECT_EQ(t.AsString("Name"), "Baker");
}

TEST_F(TableTest, CancelAndCloseDiscardTheEdit) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  t.Edit();
  t.SetString("Name", "Changed");
  t.Cancel();
  EXPECT_EQ(t.AsString("Name"), "Carter");
  t.Edit();
  t.SetString("Name", "Changed");
  t.Close();
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Customer WHERE Name = 'Changed'"), "0");
}

TEST_F(TableTest, MovingOnPostsAnEditThatAssignedSomething) {
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  for (t.First(); !t.Eof(); t.Next()) {
    t.Edit();
    t.SetString("Name", "  " + t.AsString("Name") + " ");
  }
  EXPECT_EQ(t.State(), TableState::kBrowse);
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Customer WHERE Name LIKE '  % '"), "5");
  t.First();
  t.Edit();
  t.Next();
  EXPECT_EQ(t.State(), TableState::kBrowse);
}

TEST_F(TableTest, AssignmentOutsideEditIsRefused) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  EXPECT_TRUE(Has(ErrorText([&] { t.SetString("Name", "x"); }), "not in edit or insert mode"));
}

TEST_F(TableTest, AssignmentConvertsToTheColumnType) {
  Table t("tblState", "AGYFORMS", "States");
  t.Open();
  t.Insert();
  t.SetString("AgyCode", "01");
  t.SetString("Number", "TX");
  t.SetString("Name", "Texas");
  t.SetString("FilingDate", "1/01/2029");
  t.SetBoolean("AffidavitsReq", false);
  t.Post();
  EXPECT_EQ(
      Scalar(
          "agency.db",
          "SELECT FilingDate || '|' || AffidavitsReq || '|' || typeof(AffidavitsReq) FROM States"),
      "2029-01-01|0|integer");
  EXPECT_EQ(t.AsString("FilingDate"), "1/1/2029");
  EXPECT_EQ(t.AsString("AffidavitsReq"), "FALSE");

  Table c("tblClients", "AGYFORMS", "Customer");
  c.Open();
  c.Edit();
  c.SetString("CustType", " 2");
  c.SetInteger("Zip", 12345);
  c.SetDateTime("License1Expires", DateTime{{2012, 5, 31}, 0, 0, 0});
  c.SetString("LegalEntityCode", "");
  c.Post();
  EXPECT_EQ(
      Scalar(
          "agency.db",
          "SELECT typeof(CustType) || CustType || '|' || Zip || '|' || License1Expires || '|' || "
          "ifnull(LegalEntityCode, 'null') FROM Customer WHERE Name = 'Carter'"),
      "integer2|12345|2012-05-31|null");
  c.Edit();
  c.SetDateTime("License1Expires", DateTime{{2012, 5, 31}, 8, 30, 0});
  c.Post();
  EXPECT_EQ(Scalar("agency.db", "SELECT License1Expires FROM Customer WHERE Name = 'Carter'"),
            "2012-05-31 08:30:00");
}

TEST_F(TableTest, RefusedAssignmentNamesValueColumnAndTable) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  t.Edit();
  const std::string message = ErrorText([&] { t.SetString("CustType", "abc"); });
  EXPECT_TRUE(Has(message, "'abc' is not a valid integer value")) << message;
  EXPECT_TRUE(Has(message, "column \"CustType\"")) << message;
  EXPECT_TRUE(Has(message, "table \"Customer\"")) << message;
  const std::string date = ErrorText([&] { t.SetString("License1Expires", "13/45/2010"); });
  EXPECT_TRUE(Has(date, "'13/45/2010' is not a valid date")) << date;
  t.Post();
  EXPECT_EQ(Scalar("agency.db", "SELECT CustType FROM Customer WHERE Name = 'Carter'"), "1");
}

TEST_F(TableTest, InsertPostStandsOnTheNewRowAndWalkGoesOnInOrder) {
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  t.Insert();
  EXPECT_EQ(t.State(), TableState::kInsert);
  EXPECT_EQ(t.AsString("Name"), "");
  t.SetString("AgyCode", "01");
  t.SetString("Number", "   150");
  t.SetString("Name", "Between");
  t.Post();
  EXPECT_EQ(t.AsString("Name"), "Between");
  EXPECT_FALSE(t.Eof());
  t.Next();
  EXPECT_EQ(t.AsString("Name"), "Baker");
  t.Prior();
  t.Prior();
  EXPECT_EQ(t.AsString("Name"), "Adams");
  EXPECT_EQ(t.RecordCount(), 6);
}

TEST_F(TableTest, InsertWithoutAssignmentsPostsDefaults) {
  Exec("agency.db", "CREATE TABLE Work (Code TEXT DEFAULT 'none', Seq INTEGER)");
  Table t("tblWork", "AGYFORMS", "Work");
  t.Open();
  t.Insert();
  t.Post();
  EXPECT_EQ(t.AsString("Code"), "none");
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Work"), "1");
  t.Insert();
  t.Cancel();
  t.Insert();
  t.Delete();
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Work"), "1");
}

TEST_F(TableTest, RefusedPostKeepsTheModeAndNamesTheTable) {
  Exec("agency.db", "CREATE TABLE Strict (Code TEXT NOT NULL)");
  Table t("tblStrict", "AGYFORMS", "Strict");
  t.Open();
  t.Insert();
  t.SetString("Code", "");
  t.SetNull("Code");
  const std::string message = ErrorText([&] { t.Post(); });
  EXPECT_TRUE(Has(message, "NOT NULL")) << message;
  EXPECT_TRUE(Has(message, "table \"Strict\"")) << message;
  EXPECT_EQ(t.State(), TableState::kInsert);
  t.SetString("Code", "A");
  t.Post();
  EXPECT_EQ(Scalar("agency.db", "SELECT Code FROM Strict"), "A");
}

TEST_F(TableTest, DeleteMovesToTheNextRow) {
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   100"}));
  t.Delete();
  EXPECT_EQ(t.AsString("Name"), "Baker");
  EXPECT_FALSE(t.Eof());
  t.Last();
  EXPECT_EQ(t.AsString("Name"), "Other Agency");
  t.Delete();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.AsString("Name"), "Carter");
  EXPECT_EQ(Walk(t), (Names{"Blank One", "Baker", "Carter"}));
}

// Rows located and deleted in any order: the cursor goes to the next row in walk order,
// whatever NULLs, descending columns, collations and duplicate keys the index has.
TEST_F(TableTest, DeleteAfterLocateMovesToTheNextRowOfAnyIndex) {
  Exec("agency.db",
       "DELETE FROM Customer;"
       "CREATE INDEX Mixed ON Customer (ActiveStatus DESC, CustType, Name COLLATE NOCASE);"
       "INSERT INTO Customer (Number, ActiveStatus, CustType, Name) VALUES"
       " ('1', 'Y', 1, 'b'), ('2', NULL, 1, 'a'), ('3', 'Y', NULL, 'C'), ('4', 'N', 2, 'd'),"
       " ('5', 'Y', 1, 'B'), ('6', NULL, NULL, 'e'), ('7', 'N', 2, 'd'), ('8', 'Y', 1, 'A');");
  Table t("tblClients", "AGYFORMS", "Customer", "Mixed");
  t.Open();
  const Names order = Walk(t, "Number");
  ASSERT_EQ(order, (Names{"3", "8", "1", "5", "4", "7", "6", "2"}));
  std::vector<bool> gone(order.size(), false);
  auto nextAfter = [&](std::size_t i) -> std::string {
    for (std::size_t j = i + 1; j < order.size(); ++j) {
      if (!gone[j]) return order[j];
    }
    return "<eof>";
  };
  for (std::size_t i : {1u, 4u, 0u, 6u, 2u, 7u, 3u}) {
    ASSERT_TRUE(t.Locate("Number", {order[i]})) << order[i];
    gone[i] = true;
    const std::string expected = nextAfter(i);
    t.Delete();
    if (expected == "<eof>") {
      EXPECT_TRUE(t.Eof()) << order[i];
    } else {
      EXPECT_FALSE(t.Eof()) << order[i];
      EXPECT_EQ(t.AsString("Number"), expected) << "after deleting " << order[i];
    }
  }
  EXPECT_EQ(Walk(t, "Number"), (Names{"7"}));
}

// A filtered walk is sorted from the matching rows rather than read from the index; it
// must keep the index's order all the same (NULLs, descending columns, collations, ties).
TEST_F(TableTest, FilteredWalkKeepsTheOrderOfAnyIndex) {
  Exec("agency.db",
       "DELETE FROM Customer;"
       "CREATE INDEX Mixed ON Customer (ActiveStatus DESC, CustType, Name COLLATE NOCASE);"
       "CREATE INDEX ByAgency ON Customer (AgyCode);"
       "INSERT INTO Customer (AgyCode, Number, ActiveStatus, CustType, Name) VALUES"
       " ('01', '1', 'Y', 1, 'b'), ('01', '2', NULL, 1, 'a'), ('01', '3', 'Y', NULL, 'C'),"
       " ('02', '4', 'N', 2, 'd'), ('01', '5', 'Y', 1, 'B'), ('01', '6', NULL, NULL, 'e'),"
       " ('01', '7', 'N', 2, 'd'), ('02', '8', 'Y', 1, 'A'), ('01', '9', 'N', 2, 'D');");
  Table t("tblClients", "AGYFORMS", "Customer", "Mixed");
  t.Open();
  ASSERT_EQ(Walk(t, "Number"), (Names{"3", "8", "1", "5", "4", "7", "9", "6", "2"}));
  t.SetFilter("AgyCode = '01'");
  t.SetFiltered(true);
  EXPECT_EQ(Walk(t, "Number"), (Names{"3", "1", "5", "7", "9", "6", "2"}));
  t.Last();
  EXPECT_EQ(t.AsString("Number"), "2");
  t.Prior();
  EXPECT_EQ(t.AsString("Number"), "6");
}

TEST_F(TableTest, DeleteAfterLocateOfTheLastRowStandsOnTheNewLastRow) {
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"02", "   100"}));
  t.Delete();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.AsString("Name"), "Carter");
  t.Prior();
  EXPECT_EQ(t.AsString("Name"), "Baker");
}

TEST_F(TableTest, DeleteEveryRowInAWalk) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  int deleted = 0;
  while (!t.Eof()) {
    if (t.AsString("AgyCode") == "01") {
      t.Delete();
      ++deleted;
    } else {
      t.Next();
    }
  }
  EXPECT_EQ(deleted, 3);
  EXPECT_EQ(Scalar("agency.db", "SELECT group_concat(Name) FROM Customer"),
            "Blank One,Other Agency");
  t.First();
  t.Delete();
  t.Delete();
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(t.RecordCount(), 0);
}

TEST_F(TableTest, LastAndPrior) {
  Table t("tblAgent", "AGYFORMS", "Customer", "Index1");
  t.Open();
  t.Last();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.AsString("Name"), "Other Agency");
  std::vector<std::string> backwards;
  for (; !t.Bof(); t.Prior()) backwards.push_back(t.AsString("Name"));
  EXPECT_EQ(backwards, (Names{"Other Agency", "Carter", "Baker", "Adams", "Blank One"}));
  EXPECT_EQ(t.AsString("Name"), "Blank One");
}

TEST_F(TableTest, FilterIsAnSqlConditionAppliedWhenSwitchedOn) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  t.SetFilter("AgyCode = '01' and ActiveStatus = 'Y'");
  EXPECT_EQ(t.RecordCount(), 5);
  t.Next();
  t.SetFiltered(true);
  EXPECT_EQ(t.AsString("Name"), "Carter");
  EXPECT_EQ(Walk(t), (Names{"Carter", "Adams"}));
  EXPECT_EQ(t.RecordCount(), 2);
  t.SetFilter("AgyCode = ' 1'");
  EXPECT_EQ(Walk(t), (Names{"Blank One"}));
  t.SetFilter("AgyCode = '9'");
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(t.Bof());
  t.SetFiltered(false);
  EXPECT_EQ(t.RecordCount(), 5);
}

TEST_F(TableTest, FilterSetBeforeOpenAndDateConversion) {
  Exec("agency.db",
       "INSERT INTO Policy (AgyCode, PolNum, PolSeq, PolicyTermExpDate) VALUES"
       " ('01', 'OLD', 1, '2009-12-31'), ('01', 'NEW', 1, '2011-06-30')");
  Table t("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  t.SetFilter("PolicyTermExpDate > CONVERT('2010-01-03',SQL_DATE)");
  t.SetFiltered(true);
  t.Open();
  EXPECT_EQ(Walk(t, "PolNum"), (Names{"NEW"}));
}

TEST_F(TableTest, RefusedFilterNamesTheFilter) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.SetFilter("AgyCode = ");
  t.SetFiltered(true);
  const std::string message = ErrorText([&] { t.Open(); });
  EXPECT_TRUE(Has(message, "filter \"AgyCode = \"")) << message;
  EXPECT_FALSE(t.IsOpen());
  t.SetFiltered(false);
  t.Open();
  EXPECT_TRUE(Has(ErrorText([&] { t.SetFiltered(true); }), "is not valid"));
  EXPECT_TRUE(t.Eof());
}

TEST_F(TableTest, LocateIsExactAndCaseSensitive) {
  Exec("agency.db",
       "INSERT INTO Customer (AgyCode, Number, Name) VALUES ('03', '777', 'No Blanks')");
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  struct Case {
    std::vector<Variant> values;
    const char* found;
  };
  const Case cases[] = {
      {{"01", "   200"}, "Baker"}, {{" 1", "   100"}, "Blank One"}, {{"1", "   100"}, nullptr},
      {{"01", "200"}, nullptr},    {{"01", "   200 "}, nullptr},    {{"01", "   20"}, nullptr},
      {{"03", "   777"}, nullptr}, {{"03", "777"}, "No Blanks"},
  };
  for (const Case& c : cases) {
    t.First();
    const bool found = t.Locate("AgyCode;Number", c.values);
    EXPECT_EQ(found, c.found != nullptr) << c.values[0].Text() << "/" << c.values[1].Text();
    EXPECT_EQ(t.AsString("Name"), c.found ? c.found : "Carter");
  }
  ASSERT_TRUE(t.Locate("name", {"Adams"}));
  EXPECT_FALSE(t.Locate("Name", {"adams"}));
  EXPECT_EQ(t.AsString("Name"), "Adams");
}

TEST_F(TableTest, LocateFindsTheFirstRowInWalkOrder) {
  Table byKey("tblAgent", "AGYFORMS", "Customer", "Index1");
  byKey.Open();
  ASSERT_TRUE(byKey.Locate("AgyCode;ActiveStatus", {"01", "Y"}));
  EXPECT_EQ(byKey.AsString("Name"), "Adams");
  Table stored("tblClients", "AGYFORMS", "Customer");
  stored.Open();
  ASSERT_TRUE(stored.Locate("AgyCode;ActiveStatus", {"01", "Y"}));
  EXPECT_EQ(stored.AsString("Name"), "Carter");
  stored.Next();
  EXPECT_EQ(stored.AsString("Name"), "Adams");
}

// With an index that finds the sought values better than the walk order's index, the
// rows are found by it and sorted; the row found is still the first in walk order.
TEST_F(TableTest, LocateByAnotherIndexStillFindsTheFirstRowInWalkOrder) {
  Exec("agency.db", "CREATE INDEX ByStatus ON Customer (AgyCode, ActiveStatus);");
  Table byKey("tblAgent", "AGYFORMS", "Customer", "Index1");
  byKey.Open();
  ASSERT_TRUE(byKey.Locate("AgyCode;ActiveStatus", {"01", "Y"}));
  EXPECT_EQ(byKey.AsString("Name"), "Adams");
  ASSERT_TRUE(byKey.Locate("ActiveStatus;AgyCode", {"Y", "01"}));
  EXPECT_EQ(byKey.AsString("Name"), "Adams");
}

TEST_F(TableTest, LocateConvertsValuesToTheColumnType) {
  Exec("agency.db",
       "INSERT INTO Policy (AgyCode, PolNum, PolSeq, CltNum, EntryDate) VALUES"
       " ('01', 'P1', 5, '     5', '2010-01-03 00:00:00'), ('01', 'P1', 50, '    50', NULL)");
  Table t("tblPol2", "AGYFORMS", "Policy", "Main_idx");
  t.Open();
  struct Case {
    const char* fields;
    std::vector<Variant> values;
    const char* cltNum;
  };
  const Case cases[] = {
      {"AgyCode;PolNum;PolSeq", {"01", "P1", "05"}, "     5"},
      {"AgyCode;PolNum;PolSeq", {"01", "P1", 50}, "    50"},
      {"AgyCode;PolNum;PolSeq", {"01", "P1", 5.0}, "     5"},
      {"AgyCode;PolNum;PolSeq", {"01", "P1", "5x"}, nullptr},
      {"AgyCode;PolNum;PolSeq", {"01", "P1", ""}, nullptr},
      {"CltNum", {5}, nullptr},
      {"CltNum", {"     5"}, "     5"},
      {"EntryDate", {"1/3/2010"}, "     5"},
      {"EntryDate", {Date{2010, 1, 3}}, "     5"},
      {"EntryDate", {Variant()}, "    50"},
  };
  for (const Case& c : cases) {
    t.First();
    ASSERT_EQ(t.AsString("CltNum"), "     5");
    t.Next();
    const bool found = t.Locate(c.fields, c.values);
    EXPECT_EQ(found, c.cltNum != nullptr) << c.fields;
    EXPECT_EQ(t.AsString("CltNum"), c.cltNum ? c.cltNum : "    50") << c.fields;
  }
}

TEST_F(TableTest, LocateWithAnEmptyTextFindsEmptyAndNullTexts) {
  Exec("agency.db",
       "INSERT INTO AttchList (AgyCode, CltNum, PolNum, AttchSeq, FileDesc) VALUES"
       " ('01', '      ', 'P', 1, 'policy'), ('01', '      ', NULL, 1, 'null'),"
       " ('01', '      ', '', 2, 'empty')");
  Table t("tblAttachments", "AGYFORMS", "AttchList");
  t.Open();
  ASSERT_TRUE(t.Locate("AgyCode;CltNum;PolNum;AttchSeq", {"01", "      ", "", 1}));
  EXPECT_EQ(t.AsString("FileDesc"), "null");
  ASSERT_TRUE(t.Locate("AgyCode;CltNum;PolNum;AttchSeq", {"01", "      ", "", 2}));
  EXPECT_EQ(t.AsString("FileDesc"), "empty");
  EXPECT_FALSE(t.Locate("AgyCode;CltNum;PolNum;AttchSeq", {"01", "", "", 2}));

  // Both an empty and a NULL value match: the first in walk order is found, whichever.
  Exec("agency.db",
       "INSERT INTO AttchList (AgyCode, CltNum, PolNum, AttchSeq, FileDesc) VALUES"
       " ('01', '', '', 3, 'empty3'), ('01', NULL, NULL, 3, 'null3')");
  Table stored("tblAttachments", "AGYFORMS", "AttchList");
  stored.Open();
  ASSERT_TRUE(stored.Locate("AgyCode;CltNum;PolNum;AttchSeq", {"01", "", "", 3}));
  EXPECT_EQ(stored.AsString("FileDesc"), "empty3");
  Table byClient("tblAttachments", "AGYFORMS", "AttchList", "CltAttch");
  byClient.Open();
  ASSERT_TRUE(byClient.Locate("AgyCode;CltNum;PolNum;AttchSeq", {"01", "", "", 3}));
  EXPECT_EQ(byClient.AsString("FileDesc"), "null3");
  byClient.SetFilter("FileDesc <> 'null3'");
  byClient.SetFiltered(true);
  ASSERT_TRUE(byClient.Locate("AgyCode;CltNum;PolNum;AttchSeq", {"01", "", "", 3}));
  EXPECT_EQ(byClient.AsString("FileDesc"), "empty3");
}

TEST_F(TableTest, OnlyAnEmptyTextInATextColumnAlsoFindsNull) {
  Exec("agency.db",
       "INSERT INTO AttchList (AgyCode, CltNum, PolNum, AttchSeq, FileDesc) VALUES"
       " ('01', '     1', NULL, NULL, 'null'), ('01', '     1', '', 0, 'empty'),"
       " ('01', '     1', '      ', 1, 'blanks')");
  Table t("tblAttachments", "AGYFORMS", "AttchList");
  t.Open();
  auto found = [&](const std::string& fields, const std::vector<Variant>& values) {
    return t.Locate(fields, values) ? t.AsString("FileDesc") : std::string("-");
  };
  EXPECT_EQ(found("CltNum;PolNum", {"     1", ""}), "null");
  EXPECT_EQ(found("CltNum;PolNum;AttchSeq", {"     1", "", 0}), "empty");
  // Blanks are a value of their own; a null value finds NULL only.
  EXPECT_EQ(found("CltNum;PolNum;AttchSeq", {"     1", "      ", 0}), "-");
  EXPECT_EQ(found("CltNum;PolNum;AttchSeq", {"     1", Variant(), 0}), "-");
  // In a column that is not text an empty or blank text is NULL, as assigned, and finds
  // NULL only, never 0.
  EXPECT_EQ(found("CltNum;PolNum;AttchSeq", {"     1", "", ""}), "null");
  EXPECT_EQ(found("CltNum;AttchSeq", {"     1", " "}), "null");
  // A filter is SQL, where '' never equals NULL.
  t.SetFilter("PolNum = ''");
  t.SetFiltered(true);
  EXPECT_EQ(found("CltNum;PolNum", {"     1", ""}), "empty");
}

TEST_F(TableTest, LocateRespectsTheFilterAndIgnoresExtraValues) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  t.SetFilter("AgyCode = '02'");
  t.SetFiltered(true);
  EXPECT_FALSE(t.Locate("AgyCode;Number", {"01", "   100"}));
  EXPECT_TRUE(t.Locate("Number", {"   100", "extra", 3, Variant()}));
  EXPECT_EQ(t.AsString("Name"), "Other Agency");
}

TEST_F(TableTest, LocateArgumentErrors) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  EXPECT_TRUE(Has(ErrorText([&] { t.Locate("AgyCode;Number", {"01"}); }), "needs 2 values, got 1"));
  EXPECT_TRUE(Has(ErrorText([&] { t.Locate("AgyCode;Nmbr", {"01", "1"}); }), "no column \"Nmbr\""));
  EXPECT_TRUE(Has(ErrorText([&] { t.Locate("AgyCode;", {"01", "1"}); }), "empty field name"));
  // Fields read in part before a failure are not taken for the next Locate's.
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   100"}));
  EXPECT_EQ(t.AsString("Name"), "Adams");
}

TEST_F(TableTest, LocateSeesAnInsertOfAnotherComponentAtOnce) {
  Table reader("tblClients", "AGYFORMS", "Customer");
  Table writer("tblClient2", "AGYFORMS", "Customer");
  reader.Open();
  writer.Open();
  EXPECT_FALSE(reader.Locate("AgyCode;Number", {"01", "   999"}));
  writer.Insert();
  writer.SetString("AgyCode", "01");
  writer.SetString("Number", "   999");
  writer.SetString("Name", "Newcomer");
  writer.Post();
  ASSERT_TRUE(reader.Locate("AgyCode;Number", {"01", "   999"}));
  EXPECT_EQ(reader.AsString("Name"), "Newcomer");
  writer.Edit();
  writer.SetString("Name", "Renamed");
  writer.Post();
  ASSERT_TRUE(reader.Locate("AgyCode;Number", {"01", "   999"}));
  EXPECT_EQ(reader.AsString("Name"), "Renamed");
}

// A Locate's answer is given again only inside the read it was read in: once that read
// was let go, another process's write made meanwhile is seen at once.
TEST_F(TableTest, LocateIsAnsweredAgainOnlyInsideTheReadItWasReadIn) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   200"}));
  EXPECT_EQ(t.AsString("Name"), "Baker");
  Exec("agency.db", "UPDATE Customer SET Name = 'Baker Two' WHERE Number = '   200'");
  EXPECT_EQ(t.RecordCount(), 5);  // lets the read go
  ASSERT_TRUE(t.Locate("Name", {"Carter"}));  // in a read of its own, held
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   200"}));
  EXPECT_EQ(t.AsString("Name"), "Baker Two");
  Exec("agency.db", "DELETE FROM Customer WHERE Number = '   200'");
  EXPECT_EQ(t.RecordCount(), 4);
  EXPECT_FALSE(t.Locate("AgyCode;Number", {"01", "   200"}));
}

TEST_F(TableTest, IndexChangesWhileOpenAndKeepsTheRow) {
  Exec("agency.db",
       "INSERT INTO Policy (AgyCode, PolNum, PolSeq, SubmissionNumber) VALUES"
       " ('01', 'B', 1, 'S2'), ('01', 'A', 1, 'S3'), ('01', 'C', 1, 'S1')");
  Table t("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  t.Open();
  EXPECT_EQ(Walk(t, "PolNum"), (Names{"A", "B", "C"}));
  t.SetIndexName("SubViewIndex");
  EXPECT_EQ(t.IndexName(), "SubViewIndex");
  ASSERT_TRUE(t.Locate("AgyCode;SubmissionNumber;PolNum", {"01", "S2", "B"}));
  t.Next();
  EXPECT_EQ(t.AsString("PolNum"), "A");
  EXPECT_TRUE(Has(ErrorText([&] { t.SetIndexName("Nope"); }), "no index \"Nope\""));
  EXPECT_EQ(t.IndexName(), "SubViewIndex");
  EXPECT_EQ(Walk(t, "PolNum"), (Names{"C", "B", "A"}));
  t.SetIndexName("");
  EXPECT_EQ(Walk(t, "PolNum"), (Names{"B", "A", "C"}));
}

TEST_F(TableTest, SiteTableWithMoreColumnsOtherOrderAndNoKey) {
  Exec("agency.db",
       "DROP TABLE Customer;"
       "CREATE TABLE CUSTOMER (Extra1 BLOB, NUMBER CHAR(6), Notes VARCHAR(80), AGYCODE CHAR(2),"
       " NAME VARCHAR(40), CUSTTYPE SMALLINT, ActiveStatus CHAR(1));"
       "CREATE INDEX Other ON CUSTOMER (NAME);"
       "INSERT INTO CUSTOMER (NUMBER, AGYCODE, NAME, CUSTTYPE) VALUES"
       " ('   200', '01', 'Zed', 1), ('   100', '01', 'Amy', 2);");
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  EXPECT_EQ(t.FieldNames(),
            (Names{"Extra1", "NUMBER", "Notes", "AGYCODE", "NAME", "CUSTTYPE", "ActiveStatus"}));
  ASSERT_TRUE(t.Locate("AgyCode;Number", {"01", "   100"}));
  EXPECT_EQ(t.AsInteger("CustType"), 2);
  t.Edit();
  t.SetString("Name", "Amelia");
  t.Post();
  EXPECT_EQ(Scalar("agency.db", "SELECT NAME FROM CUSTOMER WHERE NUMBER = '   100'"), "Amelia");
  t.Close();
  t.SetIndexName("other");
  t.Open();
  EXPECT_EQ(Walk(t), (Names{"Amelia", "Zed"}));
}

TEST_F(TableTest, TableWithAColumnNamedRowid) {
  Exec("agency.db",
       "CREATE TABLE Odd (rowid TEXT, Name TEXT);"
       "INSERT INTO Odd VALUES ('r2', 'second'), ('r1', 'first');");
  Table t("tblOdd", "AGYFORMS", "Odd");
  t.Open();
  EXPECT_EQ(Walk(t, "rowid"), (Names{"r2", "r1"}));
  t.Edit();
  t.SetString("Name", "changed");
  t.Post();
  EXPECT_EQ(Scalar("agency.db", "SELECT Name FROM Odd WHERE rowid = 'r1'"), "changed");
}

TEST_F(TableTest, TableWithoutRowidsIsRefused) {
  Exec("agency.db", "CREATE TABLE Keyed (K TEXT PRIMARY KEY, V TEXT) WITHOUT ROWID");
  Table t("tblKeyed", "AGYFORMS", "Keyed");
  EXPECT_TRUE(Has(ErrorText([&] { t.Open(); }), "no rowid"));
  EXPECT_FALSE(t.IsOpen());
}

TEST_F(TableTest, ApostropheInValuesIsStoredAndFound) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.Open();
  t.Insert();
  t.SetString("AgyCode", "01");
  t.SetString("Number", "   400");
  t.SetString("Name", "O'Brien's Bar");
  t.Post();
  ASSERT_TRUE(t.Locate("Name", {"O'Brien's Bar"}));
  EXPECT_EQ(t.AsString("Number"), "   400");
  t.SetFilter("Name = 'O''Brien''s Bar'");
  t.SetFiltered(true);
  EXPECT_EQ(t.RecordCount(), 1);
  EXPECT_EQ(t.AsString("Name"), "O'Brien's Bar");
}

}  // namespace
}  // namespace talvor::sqldb
