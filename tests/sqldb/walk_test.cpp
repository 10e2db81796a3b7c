// A walk on one component while another component changes the same table: the shape of
// every routine that reads with one component and writes with another.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sqldb/capture.h"
#include "sqldb/query.h"
#include "sqldb/table.h"
#include "sqldb_fixture.h"

namespace talvor::sqldb {
namespace {

using testing::SqldbTest;
using Names = std::vector<std::string>;

class WalkTest : public SqldbTest {
 protected:
  void SetUp() override {
    SqldbTest::SetUp();
    std::string sql = "INSERT INTO Policy (AgyCode, PolNum, PolSeq, ClsCode) VALUES ";
    for (int i = 1; i <= 6; ++i) {
      sql += std::string(i > 1 ? ", " : "") + "('01', 'P" + std::to_string(i) + "', 1, 'OLD')";
    }
    Exec("agency.db", sql);
  }
};

// A recorded run sees a post as an update of the columns it set; the others are told as
// the same as before, and a post that sets what was there is not told at all.
TEST_F(WalkTest, ACaptureIsToldThePostsRowsAndWhichColumnsChanged) {
  struct Sink : ChangeSink {
    int OnStore(StoreKind, const std::string&) override { return 1; }
    void OnTable(int, std::string_view table, std::span<const std::string> columns) override {
      tables.push_back(std::string(table) + "/" + std::to_string(columns.size()));
    }
    void OnChange(int, const ChangeView& c) override {
      std::string same;
      for (char s : c.same) same += s ? '=' : '*';
      changes.push_back(std::string(c.table) + "/" + static_cast<char>(c.op) + "/" +
                        std::to_string(c.newRowid) + "/" + same);
    }
    void OnCommit(int) override { ++commits; }
    void OnRollback(int) override {}
    void OnStatementEnd(int, bool) override {}
    void OnDropTable(int, std::string_view, bool) override {}
    void OnNote(int, const std::string&) override {}
    std::vector<std::string> tables, changes;
    int commits = 0;
  } sink;
  CaptureDatabases(&sink);
  Table t("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  t.Open();
  t.Next();
  t.Edit();
  t.SetString("ClsCode", "NEW");
  t.Post();
  t.Edit();
  t.SetString("ClsCode", "NEW");
  t.Post();
  t.Close();
  CaptureDatabases(nullptr);
  // Columns: AgyCode, PolNum, PolSeq, CltNum, Prd Code, InvNum, TrnCode, ClsCode, ...
  ASSERT_EQ(sink.changes.size(), 1u);
  EXPECT_EQ(sink.changes[0].substr(0, 18), "Policy/U/2/=======");
  EXPECT_EQ(sink.changes[0][18], '*');
  ASSERT_EQ(sink.tables.size(), 1u);
  EXPECT_EQ(sink.tables[0].substr(0, 7), "Policy/");
  EXPECT_GE(sink.commits, 1);
}

TEST_F(WalkTest, PostsThroughAnotherComponentAreSeenWhenTheWalkGetsThere) {
  Table walker("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  Table writer("tblPol2", "AGYFORMS", "Policy");
  walker.Open();
  writer.Open();
  Names seen;
  for (walker.First(); !walker.Eof(); walker.Next()) {
    seen.push_back(walker.AsString("PolNum") + "=" + walker.AsString("ClsCode"));
    // Change the row after the current one through the other component.
    const std::string next = "P" + std::to_string(static_cast<int>(seen.size()) + 1);
    if (writer.Locate("AgyCode;PolNum;PolSeq", {"01", next, 1})) {
      writer.Edit();
      writer.SetString("ClsCode", "NEW");
      writer.Post();
    }
  }
  EXPECT_EQ(seen, (Names{"P1=OLD", "P2=NEW", "P3=NEW", "P4=NEW", "P5=NEW", "P6=NEW"}));
}

TEST_F(WalkTest, RowsDeletedByAnotherComponentArePassedOver) {
  Table walker("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  Table writer("tblPol2", "AGYFORMS", "Policy");
  walker.Open();
  writer.Open();
  Names seen;
  for (walker.First(); !walker.Eof(); walker.Next()) {
    seen.push_back(walker.AsString("PolNum"));
    if (seen.size() == 2) {
      ASSERT_TRUE(writer.Locate("PolNum", {"P3"}));
      writer.Delete();
      ASSERT_TRUE(writer.Locate("PolNum", {"P6"}));
      writer.Delete();
    }
  }
  EXPECT_EQ(seen, (Names{"P1", "P2", "P4", "P5"}));
}

TEST_F(WalkTest, CurrentRowDeletedElsewhereThenWalkGoesOn) {
  Table walker("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  Query query("PvQuery1", "AGYFORMS");
  walker.Open();
  Names seen;
  for (walker.First(); !walker.Eof(); walker.Next()) {
    seen.push_back(walker.AsString("PolNum"));
    if (seen.back() == "P2") {
      query.SqlClear();
      query.SqlAdd("Delete from \"Policy\" where PolNum = 'P2'");
      query.Open();
      EXPECT_EQ(query.RowCount(), 1);
      query.Close();
    }
  }
  EXPECT_EQ(seen, (Names{"P1", "P2", "P3", "P4", "P5", "P6"}));
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Policy"), "5");
}

TEST_F(WalkTest, RowsInsertedDuringTheWalkAreNotPartOfIt) {
  Table walker("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  Table writer("tblWritePol", "AGYFORMS", "Policy");
  walker.Open();
  writer.Open();
  int visited = 0;
  for (walker.First(); !walker.Eof(); walker.Next()) {
    ++visited;
    writer.Insert();
    writer.SetString("AgyCode", "01");
    writer.SetString("PolNum", walker.AsString("PolNum") + "A");
    writer.SetInteger("PolSeq", 1);
    writer.Post();
  }
  EXPECT_EQ(visited, 6);
  EXPECT_EQ(walker.RecordCount(), 12);
  Names all;
  for (walker.First(); !walker.Eof(); walker.Next()) all.push_back(walker.AsString("PolNum"));
  EXPECT_EQ(all.size(), 12u);
  EXPECT_EQ(all[0], "P1");
  EXPECT_EQ(all[1], "P1A");
}

TEST_F(WalkTest, FilteredWalkPassesOverRowsThatStopMatching) {
  Table walker("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  Table writer("tblPol2", "AGYFORMS", "Policy");
  walker.SetFilter("ClsCode = 'OLD'");
  walker.SetFiltered(true);
  walker.Open();
  writer.Open();
  Names seen;
  for (walker.First(); !walker.Eof(); walker.Next()) {
    seen.push_back(walker.AsString("PolNum"));
    if (seen.size() == 1) {
      ASSERT_TRUE(writer.Locate("PolNum", {"P4"}));
      writer.Edit();
      writer.SetString("ClsCode", "NEW");
      writer.Post();
    }
  }
  EXPECT_EQ(seen, (Names{"P1", "P2", "P3", "P5", "P6"}));
}

TEST_F(WalkTest, WalkEditingItsOwnRowsTouchesEachRowOnce) {
  Exec("agency.db", "UPDATE Policy SET SubmissionNumber = PolNum");
  Table walker("tblPolicy", "AGYFORMS", "Policy", "SubViewIndex");
  walker.Open();
  int visited = 0;
  for (walker.First(); !walker.Eof(); walker.Next()) {
    ++visited;
    walker.Edit();
    // Moves the row to the end of the index order.
    walker.SetString("SubmissionNumber", "Z" + walker.AsString("SubmissionNumber"));
    walker.Post();
  }
  EXPECT_EQ(visited, 6);
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Policy WHERE SubmissionNumber LIKE 'ZP_'"),
            "6");
}

}  // namespace
}  // namespace talvor::sqldb

namespace talvor::sqldb {
namespace {

TEST_F(WalkTest, AnotherProgramWritesBetweenFetchAndPost) {
  Table walker("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  walker.Open();
  ASSERT_EQ(walker.AsString("PolNum"), "P1");
  Exec("agency.db", "UPDATE Policy SET TrnCode = 'EXT' WHERE PolNum = 'P1'");
  walker.Edit();
  walker.SetString("ClsCode", "NEW");
  walker.Post();
  walker.Next();
  Exec("agency.db", "UPDATE Policy SET TrnCode = 'EXT' WHERE PolNum = 'P3'");
  walker.Edit();
  walker.SetString("ClsCode", "NEW");
  walker.Post();
  EXPECT_EQ(Scalar("agency.db",
                   "SELECT group_concat(PolNum || ClsCode || ifnull(TrnCode, '-')) FROM Policy"),
            "P1NEWEXT,P2NEW-,P3OLDEXT,P4OLD-,P5OLD-,P6OLD-");
}

TEST_F(WalkTest, DroppingATableWhileAnotherComponentStandsOnARow) {
  Exec("agency.db", "CREATE TABLE \"Y QXAGTHDR\" (x TEXT)");
  Table walker("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  walker.Open();
  walker.Next();
  Query drop("PvQuery1", "AGYFORMS");
  drop.SqlAdd("DROP TABLE \"Y QXAGTHDR\" IN DICTIONARY");
  EXPECT_NO_THROW(drop.Open());
  walker.Next();
  EXPECT_EQ(walker.AsString("PolNum"), "P3");
}

TEST_F(WalkTest, LongEditWalkKeepsTheWriteAheadLogSmall) {
  Exec("agency.db",
       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 6000)"
       " INSERT INTO Customer (AgyCode, Number, Name, Phone1) SELECT '01', printf('%6d', i),"
       " 'Client ' || i, '555 123 4567' FROM n");
  Table walker("tblClients", "AGYFORMS", "Customer");
  walker.Open();
  std::uintmax_t largest = 0;
  int rows = 0;
  for (; !walker.Eof(); walker.Next()) {
    walker.Edit();
    walker.SetString("Phone1", "(555)123-4567");
    walker.Post();
    if (++rows % 500 == 0) largest = std::max(largest, std::filesystem::file_size("agency.db-wal"));
  }
  EXPECT_EQ(rows, 6000);
  // One page per post; a log that is never reused would pass 6000 pages.
  EXPECT_LT(largest, 2000u * 4096u);
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Customer WHERE Phone1 = '(555)123-4567'"),
            "6000");
}

}  // namespace
}  // namespace talvor::sqldb

// A walk that posts only its own rows steps one statement along them; these write the
// table from elsewhere while it does, and the walk must read what they wrote.
namespace talvor::sqldb {
namespace {

TEST_F(WalkTest, WalkPostingItsRowsSeesAnotherComponentsWritesAhead) {
  Table walker("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  Table writer("tblPol2", "AGYFORMS", "Policy");
  Query query("PvQuery1", "AGYFORMS");
  walker.Open();
  writer.Open();
  auto run = [&](const std::string& sql) {
    query.Close();
    query.SqlClear();
    query.SqlAdd(sql);
    query.Open();
  };
  Names seen;
  for (walker.First(); !walker.Eof(); walker.Next()) {
    seen.push_back(walker.AsString("PolNum") + "=" + walker.AsString("ClsCode"));
    walker.Edit();
    walker.SetString("TrnCode", "W" + walker.AsString("ClsCode"));
    walker.Post();
    if (seen.size() == 2) {
      ASSERT_TRUE(writer.Locate("PolNum", {"P3"}));
      writer.Edit();
      writer.SetString("ClsCode", "TBL");
      writer.Post();
      run("UPDATE Policy SET ClsCode = 'QRY' WHERE PolNum = 'P4'");
      run("DELETE FROM Policy WHERE PolNum = 'P5'");
      run("INSERT INTO Policy (AgyCode, PolNum, PolSeq, ClsCode) VALUES ('01', 'P35', 1, 'ADD')");
    }
  }
  query.Close();
  EXPECT_EQ(seen, (Names{"P1=OLD", "P2=OLD", "P3=TBL", "P4=QRY", "P6=OLD"}));
  EXPECT_EQ(Scalar("agency.db", "SELECT group_concat(PolNum || '/' || ifnull(TrnCode, '-')) FROM "
                                "(SELECT * FROM Policy ORDER BY PolNum)"),
            "P1/WOLD,P2/WOLD,P3/WTBL,P35/-,P4/WQRY,P6/WOLD");
}

TEST_F(WalkTest, WritesToAnotherTableMidWalkLeaveTheWalkWhole) {
  Table walker("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  Table other("tblClients", "AGYFORMS", "Customer");
  walker.Open();
  other.Open();
  Names seen;
  for (walker.First(); !walker.Eof(); walker.Next()) {
    seen.push_back(walker.AsString("PolNum"));
    walker.Edit();
    walker.SetString("ClsCode", "NEW");
    walker.Post();
    other.Insert();
    other.SetString("AgyCode", "01");
    other.SetString("Number", walker.AsString("PolNum"));
    other.Post();
  }
  EXPECT_EQ(seen, (Names{"P1", "P2", "P3", "P4", "P5", "P6"}));
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Policy WHERE ClsCode = 'NEW'"), "6");
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Customer"), "6");
}

// Another process's writes reach a walk in progress and a Locate that reads inside the
// read before it, once that read is older than its bound (0.2 s).
TEST_F(WalkTest, AnotherProcessesWriteReachesAWalkAndALocateInProgress) {
  Table walker("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  Table finder("tblPol2", "AGYFORMS", "Policy");
  walker.Open();
  finder.Open();
  ASSERT_TRUE(finder.Locate("PolNum", {"P6"}));
  EXPECT_EQ(finder.AsString("ClsCode"), "OLD");
  Names seen;
  for (walker.First(); !walker.Eof(); walker.Next()) {
    seen.push_back(walker.AsString("PolNum") + "=" + walker.AsString("ClsCode"));
    walker.Edit();
    walker.SetString("TrnCode", "W");
    walker.Post();
    if (seen.size() == 2) {
      Exec("agency.db", "UPDATE Policy SET ClsCode = 'EXT' WHERE PolNum IN ('P4', 'P6')");
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      ASSERT_TRUE(finder.Locate("PolNum", {"P6"}));
      EXPECT_EQ(finder.AsString("ClsCode"), "EXT");
    }
  }
  EXPECT_EQ(seen, (Names{"P1=OLD", "P2=OLD", "P3=OLD", "P4=EXT", "P5=OLD", "P6=EXT"}));
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Policy WHERE TrnCode = 'W'"), "6");
}

// A post of the values read writes nothing, so another process's change made between the
// read and the post stays; a post of other values writes them.
TEST_F(WalkTest, APostOfTheValuesReadKeepsAnotherProcessesChange) {
  Table walker("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  walker.Open();
  ASSERT_EQ(walker.AsString("ClsCode"), "OLD");
  Exec("agency.db", "UPDATE Policy SET ClsCode = 'EXT' WHERE PolNum = 'P1'");
  walker.Edit();
  walker.SetString("ClsCode", "OLD");
  walker.Post();
  walker.Next();
  Exec("agency.db", "UPDATE Policy SET ClsCode = 'EXT' WHERE PolNum = 'P2'");
  walker.Edit();
  walker.SetString("ClsCode", "MINE");
  walker.Post();
  EXPECT_EQ(Scalar("agency.db", "SELECT group_concat(PolNum || ClsCode) FROM Policy"),
            "P1EXT,P2MINE,P3OLD,P4OLD,P5OLD,P6OLD");
}

// Locates one after another read inside one read; a write of this process between them
// is seen by the next at once.
TEST_F(WalkTest, LocatesSeeThisProcesssWritesAtOnce) {
  Table finder("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
  Table writer("tblPol2", "AGYFORMS", "Policy");
  Query query("PvQuery1", "AGYFORMS");
  finder.Open();
  writer.Open();
  for (int round = 0; round < 3; ++round) {
    for (const char* pol : {"P2", "P3", "P2"}) {
      ASSERT_TRUE(finder.Locate("PolNum", {pol}));
      EXPECT_EQ(finder.AsString("PolNum"), pol);
    }
    ASSERT_TRUE(writer.Locate("PolNum", {"P3"}));
    writer.Edit();
    writer.SetString("ClsCode", "R" + std::to_string(round));
    writer.Post();
    ASSERT_TRUE(finder.Locate("PolNum", {"P3"}));
    EXPECT_EQ(finder.AsString("ClsCode"), "R" + std::to_string(round));
    query.SqlClear();
    query.SqlAdd("DELETE FROM Policy WHERE PolNum = 'P" + std::to_string(4 + round) + "'");
    query.Open();
    query.Close();
    EXPECT_FALSE(finder.Locate("PolNum", {"P" + std::to_string(4 + round)}));
  }
}

}  // namespace
}  // namespace talvor::sqldb
