#include <string>
#include <vector>

#include "routines/reports/reports_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

class CleanPropertyTest : public testing::SiteTest {
 protected:
  void PutRow(const std::string& agency, const std::string& client, const std::string& code,
              int seq) {
    Sql("insert into PropA (AgyCode, Client, NamedInsured, SchedSeq) values ('" + agency + "', '" +
        client + "', '" + code + "', " + std::to_string(seq) + ")");
  }
  std::vector<std::vector<std::string>> Table() const {
    return Rows("select AgyCode, Client, NamedInsured, SchedSeq from PropA order by rowid");
  }
  // The statements of the report as the routine builds them.
  static std::string NextFree(const std::string& client) {
    return ">>>Select * from \"PROPA\" where AgyCode = '01' and Client = '" + client +
           "' and NamedInsured = '      ' ORDER BY SchedSeq DESC";
  }
  static std::string Move(const std::string& client, int from, int to) {
    return "Update \"PROPA\" Set NamedInsured = '      ', SchedSeq =" + std::to_string(to) +
           " where AgyCode = '01' and Client = '" + client +
           "' and NamedInsured = '     0' and SchedSeq = " + std::to_string(from);
  }
};

TEST_F(CleanPropertyTest, NothingToCleanGivesTheCountLineOnly) {
  PutRow("01", "  1001", "      ", 1);
  const RunOutcome outcome = Run(&CleanProperty);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(ReportLines("CleanProp.txt"), (std::vector<std::string>{"Query found 0"}));
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"Running Query", "Done!"}));
  EXPECT_EQ(Table(), (std::vector<std::vector<std::string>>{{"01", "  1001", "      ", "1"}}));
}

TEST_F(CleanPropertyTest, BlanksCodesAndRelocatesCollisions) {
  PutRow("01", "  1001", "      ", 1);
  PutRow("01", "  1001", "     0", 2);  // no collision: blanked in place
  PutRow("01", "  1002", "      ", 1);
  PutRow("01", "  1002", "     0", 1);  // collides: moves past the highest blank row (3)
  PutRow("01", "  1002", "      ", 3);
  PutRow("01", "  1004", "      ", 5);
  PutRow("01", "  1004", "     9", 5);   // collides, but the move only takes "     0"
  PutRow("01", "  1006", "     0", 3);   // both "     0" rows move together, to 1 ...
  PutRow("01", "  1006", "     0", 3);   // ... so this one is gone when its turn comes
  PutRow("02", "  2001", "     0", 12);  // every agency is cleaned

  const RunOutcome outcome = Run(&CleanProperty);
  ASSERT_TRUE(outcome.completed) << outcome.error;

  const std::vector<std::string> expected{
      "Query found 6",
      "[01][  1002][ 1](2)" + NextFree("  1002"),
      "Query [01][  1002] 2 matches and will use [4]",
      " Will Relocate to (4)",
      "Moving [01][  1002][1][4]>>>" + Move("  1002", 1, 4),
      "Query [01][  1002][1][4] 1 matches",
      "[01][  1004][ 5](2)" + NextFree("  1004"),
      "Query [01][  1004] 1 matches and will use [6]",
      " Will Relocate to (6)",
      "Moving [01][  1004][5][6]>>>" + Move("  1004", 5, 6),
      "Query [01][  1004][5][6] had zero matches",
      "[01][  1006][ 3](2)" + NextFree("  1006"),
      "Query [01][  1006] had zero matches",
      " Will Relocate to (1)",
      "Moving [01][  1006][3][1]>>>" + Move("  1006", 3, 1),
      "Query [01][  1006][3][1] 2 matches",
      "[01][  1006][ 3] <- update failed",
  };
  EXPECT_EQ(ReportLines("CleanProp.txt"), expected);

  const std::vector<std::vector<std::string>> rows{
      {"01", "  1001", "      ", "1"}, {"01", "  1001", "      ", "2"},
      {"01", "  1002", "      ", "1"}, {"01", "  1002", "      ", "4"},
      {"01", "  1002", "      ", "3"}, {"01", "  1004", "      ", "5"},
      {"01", "  1004", "     9", "5"}, {"01", "  1006", "      ", "1"},
      {"01", "  1006", "      ", "1"}, {"02", "  2001", "      ", "12"}};
  EXPECT_EQ(Table(), rows);
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

TEST_F(CleanPropertyTest, LabelShowsEachRowAsRead) {
  PutRow("01", "  1001", "     0", 2);
  PutRow("02", "  2001", "     7", 14);
  ASSERT_TRUE(Run(&CleanProperty).completed);
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"Running Query", "[01][  1001][     0][2]",
                                                     "[02][  2001][     7][14]", "Done!"}));
  EXPECT_EQ(ReportLines("CleanProp.txt"), (std::vector<std::string>{"Query found 2"}));
}

TEST_F(CleanPropertyTest, WideSequencesAreNotPaddedAndNotQuoted) {
  PutRow("01", "  1001", "      ", 12);
  PutRow("01", "  1001", "     0", 12);
  PutRow("01", "  1001", "      ", 104);
  ASSERT_TRUE(Run(&CleanProperty).completed);
  const std::vector<std::string> expected{
      "Query found 1",
      "[01][  1001][12](2)" + NextFree("  1001"),
      "Query [01][  1001] 2 matches and will use [105]",
      " Will Relocate to (105)",
      "Moving [01][  1001][12][105]>>>" + Move("  1001", 12, 105),
      "Query [01][  1001][12][105] 1 matches",
  };
  EXPECT_EQ(ReportLines("CleanProp.txt"), expected);
}

TEST_F(CleanPropertyTest, SecondRunFindsNothing) {
  PutRow("01", "  1002", "      ", 1);
  PutRow("01", "  1002", "     0", 1);
  PutRow("01", "  1003", "     0", 1);
  ASSERT_TRUE(Run(&CleanProperty).completed);
  ASSERT_TRUE(Run(&CleanProperty).completed);
  EXPECT_EQ(ReportLines("CleanProp.txt"), (std::vector<std::string>{"Query found 0"}));
  EXPECT_EQ(Table(), (std::vector<std::vector<std::string>>{{"01", "  1002", "      ", "1"},
                                                            {"01", "  1002", "      ", "2"},
                                                            {"01", "  1003", "      ", "1"}}));
}

TEST_F(CleanPropertyTest, UnknownDatabaseEndsTheRunWithTheLayersMessage) {
  form->edtODBCName = "NOSUCHDB";
  const RunOutcome outcome = Run(&CleanProperty);
  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCHDB"), std::string::npos) << outcome.error;
  EXPECT_EQ(fe.Errors(), (std::vector<std::string>{outcome.error}));
  EXPECT_TRUE(ReportLines("CleanProp.txt").empty());
}

}  // namespace
}  // namespace talvor
