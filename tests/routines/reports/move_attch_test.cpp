#include <filesystem>
#include <string>
#include <vector>

#include "routines/reports/reports_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

using Table = std::vector<std::vector<std::string>>;

class MoveAttchTest : public testing::SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    CreateDatabase("CONVERT");
  }
  // An attachment row; `date` is an SQL literal ("NULL" or a quoted date-time).
  void PutRow(const std::string& alias, const std::string& client, const std::string& policy,
              int seq, const std::string& desc, const std::string& date = "'2021-03-04 05:06:07'") {
    Sql("insert into AttchList (AgyCode, CltNum, PolNum, AttchSeq, FileDesc, FileType, FilePath, "
        "CmpCode, PrdCode, AttchDate, Published, AttachmentTag) values ('01', '" +
            client + "', '" + policy + "', " + std::to_string(seq) + ", '" + desc +
            "', 'P', 'C:\\att\\" + desc + ".pdf', '  7', ' 12', " + date + ", 1, 'tag')",
        alias);
  }
  Table Target() const {
    return Rows("select AgyCode, CltNum, PolNum, AttchSeq, FileDesc from AttchList order by rowid");
  }
};

TEST_F(MoveAttchTest, EmptySourceLeavesTheTargetAlone) {
  PutRow("AGYFORMS", "  1001", "POL1", 0, "kept");
  const RunOutcome outcome = Run(&MoveAttch);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Target(), (Table{{"01", "  1001", "POL1", "0", "kept"}}));
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"Done!"}));
}

TEST_F(MoveAttchTest, EachRowTakesTheFirstFreeSequenceOfItsClientAndPolicy) {
  for (int seq : {0, 1, 3}) PutRow("AGYFORMS", "  1001", "POL1", seq, "old" + std::to_string(seq));
  PutRow("AGYFORMS", "  1001", "POL2", 0, "other policy");
  PutRow("CONVERT", "  1001", "POL1", 0, "new-a");  // takes the gap at 2
  PutRow("CONVERT", "  1001", "POL1", 0, "new-b");  // same source key: the next free, 4
  PutRow("CONVERT", "  1002", "POL1", 7, "new-c");  // nothing there yet: 0
  PutRow("CONVERT", "  1001", "", 5, "new-d");      // no policy: its own sequences

  const RunOutcome outcome = Run(&MoveAttch);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Target(), (Table{{"01", "  1001", "POL1", "0", "old0"},
                             {"01", "  1001", "POL1", "1", "old1"},
                             {"01", "  1001", "POL1", "3", "old3"},
                             {"01", "  1001", "POL2", "0", "other policy"},
                             {"01", "  1001", "POL1", "2", "new-a"},
                             {"01", "  1001", "POL1", "4", "new-b"},
                             {"01", "  1002", "POL1", "0", "new-c"},
                             {"01", "  1001", "", "0", "new-d"}}));
  EXPECT_EQ(fe.Statuses(),
            (std::vector<std::string>{"1:  1001", "2:  1001", "3:  1002", "4:  1001", "Done!"}));
  // The staging database is not changed.
  EXPECT_EQ(Value("select count(*) from AttchList", "CONVERT"), "4");
}

TEST_F(MoveAttchTest, CopiesTheFileColumnsAndOnlyThose) {
  PutRow("CONVERT", "  1001", "POL1", 9, "doc");
  ASSERT_TRUE(Run(&MoveAttch).completed);
  EXPECT_EQ(Rows("select AgyCode, CltNum, PolNum, AttchSeq, FileDesc, FileType, FilePath, CmpCode, "
                 "PrdCode, AttchDate, Published, AttachmentTag from AttchList"),
            (Table{{"01", "  1001", "POL1", "0", "doc", "P", "C:\\att\\doc.pdf", "  7", " 12",
                    "2021-03-04 05:06:07", "<null>", "<null>"}}));
}

TEST_F(MoveAttchTest, MissingDateStaysMissing) {
  PutRow("CONVERT", "  1001", "POL1", 0, "undated", "NULL");
  PutRow("CONVERT", "  1001", "POL1", 1, "midnight", "'2020-01-02'");
  ASSERT_TRUE(Run(&MoveAttch).completed);
  EXPECT_EQ(Rows("select FileDesc, AttchDate from AttchList order by rowid"),
            (Table{{"undated", "<null>"}, {"midnight", "2020-01-02"}}));
}

TEST_F(MoveAttchTest, SecondRunAppendsEveryRowAgainAtTheNextSequences) {
  PutRow("CONVERT", "  1001", "POL1", 0, "a");
  PutRow("CONVERT", "  1001", "POL1", 1, "b");
  ASSERT_TRUE(Run(&MoveAttch).completed);
  ASSERT_TRUE(Run(&MoveAttch).completed);
  EXPECT_EQ(Target(), (Table{{"01", "  1001", "POL1", "0", "a"},
                             {"01", "  1001", "POL1", "1", "b"},
                             {"01", "  1001", "POL1", "2", "a"},
                             {"01", "  1001", "POL1", "3", "b"}}));
}

TEST_F(MoveAttchTest, UsesTheComponentsOwnAliasesNotTheOdbcNameBox) {
  PutRow("CONVERT", "  1001", "POL1", 0, "a");
  form->edtODBCName = "NOSUCHDB";
  const RunOutcome outcome = Run(&MoveAttch);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Target(), (Table{{"01", "  1001", "POL1", "0", "a"}}));
}

TEST_F(MoveAttchTest, MissingStagingDatabaseEndsTheRunWithTheLayersMessage) {
  std::filesystem::remove("CONVERT.db");
  const RunOutcome outcome = Run(&MoveAttch);
  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("CONVERT"), std::string::npos) << outcome.error;
  EXPECT_EQ(fe.Errors(), (std::vector<std::string>{outcome.error}));
  EXPECT_TRUE(Target().empty());
}

}  // namespace
}  // namespace talvor
