#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/policy/policy_routines.h"
#include "tests/routines/policy/legacy_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace pol = layout::pol;
using Lines = std::vector<std::string>;

constexpr const char* kStamp = "12/8/2026 @ 10:00:00 AM";

std::string Pad20(const std::string& polNum) { return polNum + std::string(20 - polNum.size(), ' '); }

class MatchPolCltPrdTest : public SiteTest {
 protected:
  // P1 matches its client, P2 and P5 do not (P5 has no Policy row), P3's client is not in
  // Customer, P4's client producer is one character, and X belongs to another agency.
  void PutSite() {
    Put("POL", {PolicyRecord({.polNum = "P1", .client = "  1001", .prd = "PRD"}),
                PolicyRecord({.polNum = "P2", .client = "  2002", .prd = "OLD"}),
                PolicyRecord({.polNum = "P3", .client = "  3003", .prd = "PRD"}),
                PolicyRecord({.polNum = "P4", .client = "  4004", .prd = "  A"}),
                PolicyRecord({.polNum = "P5", .client = "  2002", .prd = "OLD"}),
                PolicyRecord({.agency = "02", .polNum = "X", .client = "  2002", .prd = "OLD"})});
    Sql("INSERT INTO Customer (AgyCode, Number, Underwriter) VALUES "
        "('01', '  1001', 'PRD'), ('01', '  2002', 'NEW'), ('01', '  4004', 'A'), "
        "('02', '  2002', 'NEW');"
        "INSERT INTO Policy (AgyCode, PolNum, PolSeq, \"Prd Code\") VALUES "
        "('01', 'P1', 1, 'PRD'), ('01', 'P2', 1, 'OLD'), ('01', 'P2', 2, 'OLD'), "
        "('02', 'X', 1, 'OLD');");
  }
  std::string PolPrd(const std::string& agency, const std::string& polNum) {
    const std::string key = agency + Pad20(polNum) + "010";
    return layout::GetField(Find("POL", key).value_or(""), pol::PrdCode);
  }
  std::string RowPrd(const std::string& polNum, int seq) {
    return Value("SELECT \"Prd Code\" FROM Policy WHERE AgyCode = '01' AND PolNum = '" + polNum +
                 "' AND PolSeq = " + std::to_string(seq));
  }
};

TEST_F(MatchPolCltPrdTest, ChangeOffReportsMismatchesAndUndefinedClients) {
  PutSite();
  const auto before = Records("POL");
  const auto rowsBefore = Rows("SELECT * FROM Policy ORDER BY rowid");
  ASSERT_TRUE(Run(&MatchPolCltPrd).completed);
  EXPECT_EQ(fe.Questions(), Lines{"Change Policy Producer Codes?"});
  EXPECT_EQ(ReportLines("ChkCltPolPrd.txt"),
            (Lines{"Change is set OFF!", std::string("Run Start ") + kStamp,
                   Pad20("P2") + " has Prd Mismatch [OLD:NEW]",
                   "ERROR: " + Pad20("P3") + " has an undefined client [01:  3003]",
                   Pad20("P5") + " has Prd Mismatch [OLD:NEW]", "Scanned 6 items, changed 0",
                   std::string("Run End ") + kStamp}));
  EXPECT_EQ(Records("POL"), before);
  EXPECT_EQ(Rows("SELECT * FROM Policy ORDER BY rowid"), rowsBefore);
  EXPECT_EQ(form->Label3.Caption(), "Done");
}

TEST_F(MatchPolCltPrdTest, ChangeOnFixesRowAndRecordAndCountsThem) {
  PutSite();
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&MatchPolCltPrd).completed);
  EXPECT_EQ(ReportLines("ChkCltPolPrd.txt"),
            (Lines{"Change is set ON!", std::string("Run Start ") + kStamp,
                   Pad20("P2") +
                       " has Prd Mismatch [OLD:NEW]<=Policy table updated <=Policy File updated ",
                   "ERROR: " + Pad20("P3") + " has an undefined client [01:  3003]",
                   Pad20("P5") + " has Prd Mismatch [OLD:NEW]<====== NOT FIXED! LOCATE FAILED ON "
                                 "POLICY",
                   "Scanned 6 items, changed 1", std::string("Run End ") + kStamp}));
  EXPECT_EQ(RowPrd("P2", 1), "NEW");
  EXPECT_EQ(RowPrd("P2", 2), "OLD");  // another term of the same policy
  EXPECT_EQ(PolPrd("01", "P2"), "NEW");
  EXPECT_EQ(PolPrd("01", "P5"), "OLD");
  EXPECT_EQ(PolPrd("02", "X"), "OLD");
  EXPECT_EQ(Value("SELECT \"Prd Code\" FROM Policy WHERE AgyCode = '02'"), "OLD");
  // The third number of the progress label counts the policies changed.
  EXPECT_EQ(fe.Statuses(),
            (Lines{"Policy " + Pad20("P1") + ":1:0", "Policy " + Pad20("P2") + ":2:0",
                   "Policy " + Pad20("P3") + ":3:1", "Policy " + Pad20("P4") + ":4:1",
                   "Policy " + Pad20("P5") + ":5:1", "Policy " + Pad20("X") + ":6:1", "Done"}));

  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&MatchPolCltPrd).completed);
  const Lines again = ReportLines("ChkCltPolPrd.txt");
  ASSERT_EQ(again.size(), 6u);
  EXPECT_EQ(again[2], "ERROR: " + Pad20("P3") + " has an undefined client [01:  3003]");
  EXPECT_EQ(again[4], "Scanned 6 items, changed 0");
}

TEST_F(MatchPolCltPrdTest, FailedReadbackLeavesTheRecordAndIsNotCounted) {
  Put("POL", PolicyRecord({.polNum = "P2", .client = "  2002", .prd = "OLD"}));
  Sql("INSERT INTO Customer (AgyCode, Number, Underwriter) VALUES ('01', '  2002', 'NEW');"
      "INSERT INTO Policy (AgyCode, PolNum, PolSeq, \"Prd Code\") VALUES ('01', 'P2', 1, 'OLD');");
  fe.QueueAnswer(kAnswerYes);
  AddFault({"POL", FaultOp::kRead, 2, 2});  // 1 the walk's first read, 2 the readback
  ASSERT_TRUE(Run(&MatchPolCltPrd).completed);
  const Lines lines = ReportLines("ChkCltPolPrd.txt");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], Pad20("P2") + " has Prd Mismatch [OLD:NEW]<=Policy table updated  "
                                    "<===POLICY FILE READBACK FAILED (2)");
  EXPECT_EQ(lines[3], "Scanned 1 items, changed 0");
  EXPECT_EQ(RowPrd("P2", 1), "NEW");
  EXPECT_EQ(PolPrd("01", "P2"), "OLD");
}

TEST_F(MatchPolCltPrdTest, FailedUpdateIsReportedNotClaimedAsDone) {
  Put("POL", PolicyRecord({.polNum = "P2", .client = "  2002", .prd = "OLD"}));
  Sql("INSERT INTO Customer (AgyCode, Number, Underwriter) VALUES ('01', '  2002', 'NEW');"
      "INSERT INTO Policy (AgyCode, PolNum, PolSeq, \"Prd Code\") VALUES ('01', 'P2', 1, 'OLD');");
  fe.QueueAnswer(kAnswerYes);
  AddFault({"POL", FaultOp::kUpdate, 1, 85});
  ASSERT_TRUE(Run(&MatchPolCltPrd).completed);
  const Lines lines = ReportLines("ChkCltPolPrd.txt");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], Pad20("P2") + " has Prd Mismatch [OLD:NEW]<=Policy table updated  "
                                    "<===POLICY FILE UPDATE FAILED (85)");
  EXPECT_EQ(lines[3], "Scanned 1 items, changed 0");
  EXPECT_EQ(PolPrd("01", "P2"), "OLD");
}

TEST_F(MatchPolCltPrdTest, SequenceThatIsNotANumberEndsTheRun) {
  Put("POL", PolicyRecord({.polNum = "P2", .seq = "X1", .client = "  2002", .prd = "OLD"}));
  Sql("INSERT INTO Customer (AgyCode, Number, Underwriter) VALUES ('01', '  2002', 'NEW');");
  const RunOutcome outcome = Run(&MatchPolCltPrd);
  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(outcome.error, "'X1' is not a valid integer value");
  EXPECT_EQ(ReportLines("ChkCltPolPrd.txt"),
            (Lines{"Change is set OFF!", std::string("Run Start ") + kStamp}));
}

TEST_F(MatchPolCltPrdTest, UnopenedPolicyFileIsReportedForBothHandles) {
  ASSERT_TRUE(Run(&MatchPolCltPrd).completed);
  const std::string path = DataPath() + "\\POL";
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open POL file " + path + ", status is 12",
                               "Unable to open POL2 file " + path + ", status is 12"}));
  EXPECT_EQ(ReportLines("ChkCltPolPrd.txt"),
            (Lines{"Change is set OFF!", std::string("Run Start ") + kStamp,
                   "Scanned 0 items, changed 0", std::string("Run End ") + kStamp}));
}

TEST_F(MatchPolCltPrdTest, UnknownAliasEndsTheRunWithTheDatabaseError) {
  Put("POL", PolicyRecord({}));
  form->edtODBCName = "NOSUCH";
  const RunOutcome outcome = Run(&MatchPolCltPrd);
  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCH"), std::string::npos) << outcome.error;
}

}  // namespace
}  // namespace talvor::testing
