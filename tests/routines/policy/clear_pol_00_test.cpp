#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "legacy/engine.h"
#include "routines/policy/policy_routines.h"
#include "tests/routines/policy/legacy_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

using Lines = std::vector<std::string>;

std::string Pad20(const std::string& polNum) {
  return polNum + std::string(20 - polNum.size(), ' ');
}
std::string Term(const std::string& agency, const std::string& polNum, const std::string& seq) {
  return "[" + agency + "] [" + Pad20(polNum) + "][" + seq + "]";
}

class ClearPol00Test : public SiteTest {
 protected:
  // Terms "00" of two agencies among terms that stay; Policy rows of sequence 0 of two
  // agencies, one of them without a "POL" record.
  void PutSite() {
    Put("POL", {PolicyRecord({.polNum = "A", .seq = "00"}), PolicyRecord({.polNum = "A"}),
                PolicyRecord({.polNum = "B", .seq = "00"}),
                PolicyRecord({.agency = "02", .polNum = "C", .seq = "00"})});
    Sql("INSERT INTO Policy (AgyCode, PolNum, PolSeq) VALUES ('01', 'A', 0), ('01', 'A', 1), "
        "('01', 'B', 0), ('03', 'SQLONLY', 0);");
  }
  std::string RemainingRows() {
    std::string out;
    for (const auto& row : Rows("SELECT AgyCode, PolNum, PolSeq FROM Policy ORDER BY rowid")) {
      out += row[0] + "/" + row[1] + "/" + row[2] + ";";
    }
    return out;
  }
};

TEST_F(ClearPol00Test, NoListsEveryZeroTermAndDeletesNothing) {
  PutSite();
  const auto before = Records("POL");
  ASSERT_TRUE(Run(&ClearPol00).completed);
  EXPECT_EQ(fe.Questions(), Lines{"Clear the 00 items?"});
  EXPECT_EQ(ReportLines("PolZero.ERR"), (Lines{Term("01", "A", "00") + " <= not in fix mode",
                                               Term("01", "B", "00") + " <= not in fix mode",
                                               Term("02", "C", "00") + " <= not in fix mode"}));
  EXPECT_EQ(Records("POL"), before);
  EXPECT_EQ(RemainingRows(), "01/A/0;01/A/1;01/B/0;03/SQLONLY/0;");
  EXPECT_EQ(fe.Statuses(),
            (Lines{Term("01", "A", "00"), Term("01", "A", "01"), Term("01", "B", "00"),
                   Term("02", "C", "00"), "Running Query", "Done"}));
}

TEST_F(ClearPol00Test, YesDeletesZeroTermsFromBothStoresOfEveryAgency) {
  PutSite();
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&ClearPol00).completed);
  EXPECT_EQ(ReportLines("PolZero.ERR"),
            (Lines{Term("01", "A", "00") + " <= Deleted", Term("01", "B", "00") + " <= Deleted",
                   Term("02", "C", "00") + " <= Deleted"}));
  EXPECT_EQ(Records("POL"), Lines{PolicyRecord({.polNum = "A"})});
  EXPECT_EQ(RemainingRows(), "01/A/1;");
  EXPECT_EQ(form->Label3.Caption(), "Done");

  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&ClearPol00).completed);
  EXPECT_TRUE(ReportLines("PolZero.ERR").empty());
}

TEST_F(ClearPol00Test, FailedReadbackAndDeleteAreWrittenAfterTheTerm) {
  PutSite();
  fe.QueueAnswer(kAnswerYes);
  // "POL" reads: 1 the walk's first (A 00), 2 its readback; deletes: 1 A, 2 B.
  AddFault({"POL", FaultOp::kRead, 2, 2});
  AddFault({"POL", FaultOp::kDelete, 1, 85});
  ASSERT_TRUE(Run(&ClearPol00).completed);
  EXPECT_EQ(FaultsTriggered(), 2);
  EXPECT_EQ(ReportLines("PolZero.ERR"), (Lines{Term("01", "A", "00") + " <= Read Back failed",
                                               Term("01", "B", "00") + " <= Delete failed",
                                               Term("02", "C", "00") + " <= Deleted"}));
  EXPECT_EQ(Records("POL").size(), 3u);
}

TEST_F(ClearPol00Test, UnopenedFileStillClearsTheTableOnYes) {
  Sql("INSERT INTO Policy (AgyCode, PolNum, PolSeq) VALUES ('01', 'A', 0), ('01', 'A', 1);");
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&ClearPol00).completed);
  const std::string path = DataPath() + "\\POL";
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open POL file " + path + ", status is 12",
                               "Unable to open POL2 file " + path + ", status is 12"}));
  EXPECT_TRUE(ReportLines("PolZero.ERR").empty());
  EXPECT_EQ(RemainingRows(), "01/A/1;");
}

TEST_F(ClearPol00Test, RefusedSqlDeleteIsReportedAndTheRunEnds) {
  PutSite();
  form->edtODBCName = "NOSUCH";
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&ClearPol00).completed);
  const Lines lines = ReportLines("PolZero.ERR");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], Term("02", "C", "00") + " <= Deleted");
  EXPECT_EQ(lines[3].rfind("Error deleting from table Policy: ", 0), 0u) << lines[3];
  EXPECT_NE(lines[3].find("NOSUCH"), std::string::npos) << lines[3];
  EXPECT_EQ(form->Label3.Caption(), "Done");
}

TEST_F(ClearPol00Test, NoNeverTouchesTheDatabase) {
  PutSite();
  form->edtODBCName = "NOSUCH";
  ASSERT_TRUE(Run(&ClearPol00).completed);
  EXPECT_EQ(ReportLines("PolZero.ERR").size(), 3u);
}

}  // namespace
}  // namespace talvor::testing
