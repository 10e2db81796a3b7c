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

namespace jcki = layout::jcki;
using Lines = std::vector<std::string>;

std::string Check(const std::string& agency, const std::string& number, const std::string& ledger) {
  return JckiRecord(
      {.agency = agency, .type = "K", .number = number, .item = "00000", .ledger = ledger});
}

class ChkBadMainGLTest : public SiteTest {
 protected:
  // Agency 01: a journal entry before the checks, three "101" checks (account "0000",
  // "2130", blank), then a "102" check; agency 02 has a bad "101" check of its own.
  void PutSite() {
    Put("JCKI", {JckiRecord({.type = "J", .number = "101001"}), Check("01", "101001", "0000"),
                 Check("01", "101002", "2130"), Check("01", "101003", "    "),
                 Check("01", "102001", "0000"), Check("02", "101001", "0000")});
  }
  static std::string Logged(const std::string& counts, const std::string& record) {
    return counts + " " + record;
  }
};

TEST_F(ChkBadMainGLTest, NoListsTheBadChecksAndLogsEveryVisit) {
  PutSite();
  const auto before = Records("JCKI");
  ASSERT_TRUE(Run(&ChkBadMainGL).completed);
  EXPECT_EQ(fe.Questions(), Lines{"Fix the Checks?"});
  EXPECT_EQ(ReportLines("ChkScan.ERR"),
            (Lines{Check("01", "101001", "0000"), "Total Count [4] errors [1]"}));
  // The first record past the range is counted and logged before the walk ends.
  EXPECT_EQ(
      ReportLines("ChkScan.Log"),
      (Lines{"StartKey [01K101]", Logged("    1:    0", Check("01", "101001", "0000")),
             Logged("    2:    1", Check("01", "101002", "2130")),
             Logged("    3:    1", Check("01", "101003", "    ")),
             Logged("    4:    1", Check("01", "102001", "0000")), "Total Count [4] errors [1]"}));
  EXPECT_EQ(Records("JCKI"), before);
  EXPECT_EQ(fe.Statuses(), (Lines{"running.....", "Pass 1 : 1/0", "Pass 1 : 2/1", "Pass 1 : 3/1",
                                  "Pass 1 : 4/1", "Done"}));
}

TEST_F(ChkBadMainGLTest, YesCorrectsTheAgencysBadChecksOnly) {
  PutSite();
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&ChkBadMainGL).completed);
  EXPECT_EQ(ReportLines("ChkScan.ERR"),
            (Lines{Check("01", "101001", "0000"), "Corrected", "Total Count [4] errors [1]"}));
  EXPECT_EQ(Find("JCKI", "01K101001"), Check("01", "101001", "2130"));
  EXPECT_EQ(Find("JCKI", "01K102001"), Check("01", "102001", "0000"));
  EXPECT_EQ(Find("JCKI", "02K101001"), Check("02", "101001", "0000"));

  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&ChkBadMainGL).completed);
  EXPECT_EQ(ReportLines("ChkScan.ERR"), Lines{"Total Count [4] errors [0]"});
}

TEST_F(ChkBadMainGLTest, AgencyTypedAsOneDigitIsRightJustified) {
  Put("JCKI", {Check(" 1", "101001", "0000"), Check("01", "101001", "0000")});
  form->edtAgyCode = "1";
  ASSERT_TRUE(Run(&ChkBadMainGL).completed);
  EXPECT_EQ(ReportLines("ChkScan.ERR"),
            (Lines{Check(" 1", "101001", "0000"), "Total Count [2] errors [1]"}));
  EXPECT_EQ(ReportLines("ChkScan.Log").front(), "StartKey [ 1K101]");
}

TEST_F(ChkBadMainGLTest, FailedReadbackAndWriteBackAreListed) {
  Put("JCKI", {Check("01", "101001", "0000"), Check("01", "101002", "0000")});
  fe.QueueAnswer(kAnswerYes);
  // "JCKI" reads: 1 the walk's first, 2 its readback; then the update of the second check.
  AddFault({"JCKI", FaultOp::kRead, 2, 2});
  AddFault({"JCKI", FaultOp::kUpdate, 1, 85});
  ASSERT_TRUE(Run(&ChkBadMainGL).completed);
  EXPECT_EQ(FaultsTriggered(), 2);
  EXPECT_EQ(
      ReportLines("ChkScan.ERR"),
      (Lines{Check("01", "101001", "0000"), " ERROR ON READ BACK", Check("01", "101002", "0000"),
             "  ERROR 85 ON WRITE BACK", "Total Count [2] errors [2]"}));
  EXPECT_EQ(layout::GetField(*Find("JCKI", "01K101002"), jcki::LedgerAcct), "0000");
}

TEST_F(ChkBadMainGLTest, UnopenedFileGivesZeroTotals) {
  ASSERT_TRUE(Run(&ChkBadMainGL).completed);
  const std::string path = DataPath() + "\\JCKI";
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open JCKI file " + path + ", status is 12",
                               "Unable to open JCKI2 file " + path + ", status is 12"}));
  EXPECT_EQ(ReportLines("ChkScan.ERR"), Lines{"Total Count [0] errors [0]"});
  EXPECT_EQ(ReportLines("ChkScan.Log"), (Lines{"StartKey [01K101]", "Total Count [0] errors [0]"}));
}

}  // namespace
}  // namespace talvor::testing
