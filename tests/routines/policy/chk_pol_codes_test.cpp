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

namespace ap = layout::ap;
using Lines = std::vector<std::string>;

class ChkPolCodesTest : public SiteTest {
 protected:
  // Every code of the default policy, present in "ap".
  void PutAllCodes() {
    Put("ap", {ApCodeRecord(ap::kClient, "01", "  1001"), ApCodeRecord(ap::kClass, "01", "CLS"),
               ApCodeRecord(ap::kCompany, "01", "CMP"), ApCodeRecord(ap::kProducer, "01", "PRD"),
               ApCodeRecord(ap::kDepartment, "01", "CL")});
  }
  std::string ApPath() const { return DataPath() + "\\AP"; }
  static std::string Summary(int errors, int read) {
    return "(" + std::to_string(errors) + ") errors found in (" + std::to_string(read) +
           ") total policies";
  }
  // The long-form line of a code check for the default policy number.
  static std::string LongLine(const std::string& label, const std::string& code,
                              const std::string& date, int status) {
    return "Agy [01] " + label + " [" + code + "] pol [P1                  ] exp date [" + date +
           "] status (" + std::to_string(status) + ")";
  }
};

TEST_F(ChkPolCodesTest, CodesPresentGiveOnlyTheSummary) {
  PutAllCodes();
  Put("POL", PolicyRecord({}));
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(fe.Questions(), Lines{"Backfill Codes?"});
  EXPECT_EQ(ReportLines("polscan.ERR"), (Lines{"Backfill set OFF!", Summary(0, 1)}));
  EXPECT_EQ(ReportLines("POLCLS.TXT"), Lines{Summary(0, 1)});
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(ChkPolCodesTest, BackfillOffReportsEveryFailedLookupAndWritesNothing) {
  Put("ap", ApCodeRecord(ap::kDepartment, "01", "XX"));
  Put("POL", PolicyRecord({.client = "  2002", .dept = "P", .company = "  C", .cls = "CL1",
                           .prd = " PR", .expiration = ";60615"}));
  const auto apBefore = Records("ap");
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(ReportLines("polscan.ERR"),
            (Lines{"Backfill set OFF!", LongLine("Clt", "  2002", "06/15/2016", 4),
                   LongLine("Cls", "CL1", "06/15/2016", 4), LongLine("Cmp", "  C", "06/15/2016", 4),
                   LongLine("Prd", " PR", "06/15/2016", 4), "Agy [01] Dpt [P ] status (4)",
                   Summary(5, 1)}));
  EXPECT_EQ(Records("ap"), apBefore);
}

TEST_F(ChkPolCodesTest, BackfillAddsEachMissingCodeOnItsFirstPolicyOnly) {
  fe.QueueAnswer(kAnswerYes);
  PutAllCodes();
  Put("POL", {PolicyRecord({.polNum = "P1", .client = "  2002", .cls = "  X"}),
              PolicyRecord({.polNum = "P2", .client = "  2002", .cls = "  X", .expiration = ";70101"})});
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(ReportLines("polscan.ERR"),
            (Lines{"Backfill set ON!", LongLine("Clt", "  2002", "06/15/2016", 4),
                   LongLine("Cls", "  X", "06/15/2016", 4), "--> Class code added attempt 1",
                   "Agy [01] Clt [  2002] pol [P2                  ] exp date [01/01/2017] "
                   "status (4)",
                   Summary(3, 2)}));
  // The client code is only reported; the class record is the minimal code record.
  EXPECT_FALSE(Find("ap", "00100001  2002").has_value());
  std::string expected = layout::BlankRecord(ap::kRecordLength);
  layout::SetField(expected, ap::Key, "00600001     X00");
  layout::SetField(expected, ap::RecTypeCopy, "006");
  layout::SetField(expected, ap::line00::Alpha, "X");
  layout::SetField(expected, ap::line00::Name, "X");
  layout::SetField(expected, ap::line00::TypeLetter, "P");
  layout::SetField(expected, ap::line00::Zip4, "0000");
  layout::SetField(expected, ap::line00::BillMethodCd, "O");
  layout::SetField(expected, ap::line00::BalMethodCd, "B");
  EXPECT_EQ(Find("ap", "00600001     X00"), expected);
}

TEST_F(ChkPolCodesTest, BackfillGivesEachKindItsRecordTypeAndLetter) {
  fe.QueueAnswer(kAnswerYes);
  Put("ap", ApCodeRecord(ap::kClient, "01", "  1001"));
  Put("POL", PolicyRecord({.dept = "D", .company = "C", .cls = "K", .prd = "R"}));
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  const Lines lines = ReportLines("polscan.ERR");
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[2], "--> Class code added attempt 1");
  EXPECT_EQ(lines[4], "--> Cmp code added attempt 1");
  EXPECT_EQ(lines[6], "--> Prd code added attempt 1");
  EXPECT_EQ(lines[8], "--> Dpt code added attempt 1");
  struct Added {
    std::string key, letter;
  };
  for (const Added& a : {Added{"00600001     K00", "P"}, Added{"00300001     C00", "C"},
                         Added{"00200001     R00", "C"}, Added{"00500001     D00", "C"}}) {
    const auto record = Find("ap", a.key);
    ASSERT_TRUE(record.has_value()) << a.key;
    EXPECT_EQ(layout::GetField(*record, ap::RecTypeCopy), a.key.substr(0, 3));
    EXPECT_EQ(layout::GetField(*record, ap::line00::TypeLetter), a.letter) << a.key;
  }
}

TEST_F(ChkPolCodesTest, OnlyExpirationsAfterTheFirstOf2010AreExamined) {
  Put("POL", {PolicyRecord({.polNum = "BLANK", .expiration = "      "}),
              PolicyRecord({.polNum = "OLD", .expiration = "991231"}),
              PolicyRecord({.polNum = "EDGE", .expiration = ";00101"}),
              PolicyRecord({.polNum = "NEXT", .client = "  7777", .expiration = ";00102"})});
  PutAllCodes();
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(ReportLines("polscan.ERR"),
            (Lines{"Backfill set OFF!",
                   "Agy [01] Clt [  7777] pol [NEXT                ] exp date [01/02/2010] "
                   "status (4)",
                   Summary(1, 4)}));
}

TEST_F(ChkPolCodesTest, AgencyCodesDecideWhatIsVisitedExaminedAndListed) {
  Put("POL", {PolicyRecord({.agency = "00", .polNum = "BEFORE", .client = "  9999"}),
              PolicyRecord({.agency = "02", .polNum = "OTHER", .client = "  9999"}),
              PolicyRecord({.agency = "a1", .polNum = "LOWER"})});
  PutAllCodes();
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(ReportLines("polscan.ERR"), (Lines{"Backfill set OFF!", Summary(0, 2)}));
  const std::string lower = PolicyRecord({.agency = "a1", .polNum = "LOWER"});
  EXPECT_EQ(ReportLines("POLCLS.TXT"), (Lines{"BAD AGY:[" + lower + "]", Summary(0, 2)}));
}

TEST_F(ChkPolCodesTest, ASingleDigitAgencyIsRightJustified) {
  form->edtAgyCode = "1";
  Put("POL", PolicyRecord({.agency = " 1", .client = "  5555"}));
  Put("ap", {ApCodeRecord(ap::kClass, " 1", "CLS"), ApCodeRecord(ap::kCompany, " 1", "CMP"),
             ApCodeRecord(ap::kProducer, " 1", "PRD"), ApCodeRecord(ap::kDepartment, " 1", "CL")});
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(ReportLines("polscan.ERR"),
            (Lines{"Backfill set OFF!",
                   "Agy [ 1] Clt [  5555] pol [P1                  ] exp date [06/15/2016] "
                   "status (4)",
                   Summary(1, 1)}));
}

TEST_F(ChkPolCodesTest, StatusesOtherThanNotFoundUseTheShortLineExceptForProducers) {
  PutAllCodes();
  Put("POL", PolicyRecord({}));
  // The five lookups are the 1st to 5th reads of "AP": fail all of them.
  AddFault({"AP", FaultOp::kRead, 1, 2, 5});
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(ReportLines("polscan.ERR"),
            (Lines{"Backfill set OFF!", "Agy [01] Clt [  1001] status (2)",
                   "Agy [01] Cls [CLS] status (2)", "Agy [01] Cmp [CMP] status (2)",
                   LongLine("Prd", "PRD", "06/15/2016", 2), "Agy [01] Dpt [CL] status (2)",
                   Summary(5, 1)}));
}

TEST_F(ChkPolCodesTest, BackfillReplacesARecordWhoseLookupFailedForAnotherReason) {
  fe.QueueAnswer(kAnswerYes);
  PutAllCodes();
  Put("POL", PolicyRecord({}));
  AddFault({"AP", FaultOp::kRead, 2, 2});  // the class lookup
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(ReportLines("polscan.ERR"),
            (Lines{"Backfill set ON!", "Agy [01] Cls [CLS] status (2)",
                   "--> Class code added attempt 1", Summary(1, 1)}));
  EXPECT_EQ(layout::GetField(Find("ap", "00600001   CLS00").value_or(""), ap::line00::Name),
            "CLS" + std::string(22, ' '));
}

TEST_F(ChkPolCodesTest, FailedInsertIsUpdatedInPlaceWhenTheRecordStaysInTheFile) {
  fe.QueueAnswer(kAnswerYes);
  PutAllCodes();
  Put("POL", PolicyRecord({}));
  AddFault({"AP", FaultOp::kRead, 2, 2});    // the class lookup fails,
  AddFault({"AP", FaultOp::kDelete, 1, 2});  // the record is not removed, so the insert fails
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(fe.Notes(), Lines{"(01) Unable to update ap file " + ApPath() + ", status is 5"});
  EXPECT_EQ(ReportLines("polscan.ERR"),
            (Lines{"Backfill set ON!", "Agy [01] Cls [CLS] status (2)",
                   "--> Class code added attempt 2", Summary(1, 1)}));
  EXPECT_EQ(layout::GetField(Find("ap", "00600001   CLS00").value_or(""), ap::line00::TypeLetter), "P");
}

TEST_F(ChkPolCodesTest, FailedInsertNeverOverwritesTheRecordTheHandleLastRead) {
  fe.QueueAnswer(kAnswerYes);
  PutAllCodes();
  Put("POL", PolicyRecord({.cls = "NEW"}));
  const auto apBefore = Records("ap");
  AddFault({"AP", FaultOp::kInsert, 1, 85});
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(fe.Notes(), (Lines{"(01) Unable to update ap file " + ApPath() + ", status is 85",
                               "(00) Unable to update ap file " + ApPath() + ", status is 4"}));
  EXPECT_EQ(ReportLines("polscan.ERR"),
            (Lines{"Backfill set ON!", LongLine("Cls", "NEW", "06/15/2016", 4), Summary(1, 1)}));
  // The client record the handle stood on after the client check is untouched.
  EXPECT_EQ(Records("ap"), apBefore);
}

TEST_F(ChkPolCodesTest, FilesThatCannotBeOpenedAreReportedAndTheRunGoesOn) {
  Put("POL", PolicyRecord({}));  // no "ap": it opens with 12, every lookup then fails with 3
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(fe.Notes(), Lines{"Unable to open Ap file " + ApPath() + ", status is 12"});
  EXPECT_EQ(ReportLines("polscan.ERR"),
            (Lines{"Backfill set OFF!", "Agy [01] Clt [  1001] status (3)",
                   "Agy [01] Cls [CLS] status (3)", "Agy [01] Cmp [CMP] status (3)",
                   LongLine("Prd", "PRD", "06/15/2016", 3), "Agy [01] Dpt [CL] status (3)",
                   Summary(5, 1)}));
}

TEST_F(ChkPolCodesTest, MissingPolicyFileGivesAnEmptySummary) {
  PutAllCodes();
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(fe.Notes(), Lines{"Unable to open POL file " + DataPath() + "\\POL, status is 12"});
  EXPECT_EQ(ReportLines("polscan.ERR"), (Lines{"Backfill set OFF!", Summary(0, 0)}));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

TEST_F(ChkPolCodesTest, ProgressIsShownEvery250Records) {
  PutAllCodes();
  std::vector<std::string> policies;
  for (int i = 0; i < 500; ++i) {
    policies.push_back(PolicyRecord({.agency = "02", .polNum = "P" + std::to_string(1000 + i)}));
  }
  Put("POL", policies);
  ASSERT_TRUE(Run(&ChkPolCodes).completed);
  EXPECT_EQ(fe.Statuses(),
            (Lines{"Good 250 Bad 0", "Good 500 Bad 0", "Done, select another option"}));
}

}  // namespace
}  // namespace talvor::testing
