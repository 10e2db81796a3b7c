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
namespace jcki = layout::jcki;
using Lines = std::vector<std::string>;

std::string Pad20(const std::string& polNum) {
  return polNum + std::string(20 - polNum.size(), ' ');
}

class SyncPolInvTest : public SiteTest {
 protected:
  // Every Policy row says: producer PRD, transaction REN, class NCL, department PL, company
  // NCM. P1 (invoice 100, a direct-bill header with its continuation) has the old codes
  // everywhere; P2 (sequence 7) names a producer missing from Producer and an invoice already
  // in line; P3 (sequence 12) has no "POL" record; P4 has no invoice; P5's invoice has only
  // its header and no description. Invoice 101 follows invoice 100 and is not P1's.
  void PutSite() {
    Put("POL", {PolicyRecord({.polNum = "P1", .invNum = "000100", .prd = "OLD"}),
                PolicyRecord({.polNum = "P2", .seq = "07", .invNum = "000200", .prd = "OLD"}),
                PolicyRecord({.polNum = "P4", .prd = "OLD"}),
                PolicyRecord({.polNum = "P5", .invNum = "000500", .prd = "OLD"})});
    Put("JCKI", {JckiRecord({.number = "000100", .item = "01000", .ledger = "D   "}),
                 JckiRecord({.number = "000100", .item = "01001"}),
                 JckiRecord({.number = "000100", .item = "01100", .code = "CMP"}),
                 JckiRecord({.number = "000100", .item = "01200", .code = "CLS"}),
                 JckiRecord({.number = "000100", .item = "01300", .code = "OLD"}),
                 JckiRecord({.number = "000100", .item = "01500", .code = "NEW"}),
                 JckiRecord({.number = "000101", .item = "01000"}),
                 JckiRecord({.number = "000200", .item = "01000", .dept = "PL"}),
                 JckiRecord({.number = "000200", .item = "01100", .dept = "PL"}),
                 JckiRecord({.number = "000200", .item = "01200", .code = "NCL", .dept = "PL"}),
                 JckiRecord({.number = "000200", .item = "01300", .code = "OLD", .dept = "PL"}),
                 JckiRecord({.number = "000200", .item = "01500", .code = "REN", .dept = "PL"}),
                 JckiRecord({.number = "000500", .item = "01000"})});
    Put("DESC", {DescRecord({.number = "000100", .prd = "OLD"}),
                 DescRecord({.number = "000200", .prd = "OLD"})});
    Sql("INSERT INTO Producer (AgyCode, Number) VALUES ('01', 'PRD');"
        "INSERT INTO Policy (AgyCode, PolNum, PolSeq, \"Prd Code\", InvNum, TrnCode, ClsCode, "
        "DptCode, CmpCode) VALUES "
        "('01', 'P1', 1, 'PRD', '100', 'REN', 'NCL', 'PL', 'NCM'),"
        "('01', 'P2', 7, 'ZZZ', '200', 'REN', 'NCL', 'PL', 'NCM'),"
        "('01', 'P3', 12, 'PRD', '300', 'REN', 'NCL', 'PL', 'NCM'),"
        "('01', 'P4', 1, 'PRD', '', 'REN', 'NCL', 'PL', 'NCM'),"
        "('01', 'P5', 1, 'PRD', '500', 'REN', 'NCL', 'PL', 'NCM');");
  }
  std::string Policy(const std::string& polNum, const std::string& seq = "01") {
    return Find("POL", "01" + Pad20(polNum) + seq + "0").value_or("<missing>");
  }
  std::string Item(const std::string& number, const std::string& item) {
    return Find("JCKI", "01I" + number + item).value_or("<missing>");
  }
  std::string Desc(const std::string& number) {
    return Find("DESC", "01I" + number + "01").value_or("<missing>");
  }
  static Lines ErrorLines(const std::string& answer) {
    return {answer,
            "Prd [ZZZ] not found on pol [" + Pad20("P2") + "]",
            "PolREc not found [01" + Pad20("P3") + "120]",
            "Invoice not found [01I00050001100]",
            "Invoice not found [01I00050001200]",
            "Invoice not found [01I00050001300]",
            "Invoice not found [01I00050001500]",
            "Desc not found [01I00050001]",
            " Can fix 0  can't fix 0 (0 have zero comm)",
            "5 items, 6 had errors"};
  }
  static Lines PolicyLines() {
    const std::string fix = "Correcting Dpt [CL] to [PL]";
    return {"Policy [" + Pad20("P1") + "] cls [NCL] dpt [PL]",
            fix,
            fix,
            fix,
            fix,
            fix,
            fix,
            "Policy [" + Pad20("P2") + "] cls [NCL] dpt [PL]",
            "Policy [" + Pad20("P5") + "] cls [NCL] dpt [PL]",
            fix};
  }
};

TEST_F(SyncPolInvTest, YesPushesEveryCodeIntoPolicyInvoiceAndDescription) {
  PutSite();
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&SyncPolInv).completed);
  EXPECT_EQ(fe.Questions(), Lines{"Change invoice producers to policy producer?"});
  EXPECT_EQ(ReportLines("polinv.ERR"), ErrorLines("FixIt set ON!"));
  EXPECT_EQ(ReportLines("polinv.TXT"), PolicyLines());
  EXPECT_EQ(ReportLines("polinv.chg"),
            (Lines{" Cls [CLS] to [NCL]", " Prd [OLD] to [PRD]", " Trn [NEW] to [REN]"}));

  EXPECT_EQ(Policy("P1"), PolicyRecord({.polNum = "P1",
                                        .invNum = "000100",
                                        .dept = "PL",
                                        .company = "NCM",
                                        .cls = "NCL",
                                        .trn = "REN",
                                        .prd = "PRD"}));
  // Every record of invoice 100 gets the department; the coded items their codes.
  EXPECT_EQ(Item("000100", "01000"),
            JckiRecord({.number = "000100", .item = "01000", .dept = "PL", .ledger = "D   "}));
  EXPECT_EQ(Item("000100", "01001"),
            JckiRecord({.number = "000100", .item = "01001", .dept = "PL"}));
  EXPECT_EQ(Item("000100", "01100"),
            JckiRecord({.number = "000100", .item = "01100", .code = "CMP", .dept = "PL"}));
  EXPECT_EQ(Item("000100", "01200"),
            JckiRecord({.number = "000100", .item = "01200", .code = "NCL", .dept = "PL"}));
  EXPECT_EQ(Item("000100", "01300"),
            JckiRecord({.number = "000100", .item = "01300", .code = "PRD", .dept = "PL"}));
  EXPECT_EQ(Item("000100", "01500"),
            JckiRecord({.number = "000100", .item = "01500", .code = "REN", .dept = "PL"}));
  EXPECT_EQ(Item("000101", "01000"), JckiRecord({.number = "000101", .item = "01000"}));
  EXPECT_EQ(
      Desc("000100"),
      DescRecord({.number = "000100", .cls = "NCL", .trn = "REN", .company = "NCM", .prd = "PRD"}));

  // A producer missing from Producer stays out of "POL" and the producer item, but the
  // description takes it.
  EXPECT_EQ(Policy("P2", "07"), PolicyRecord({.polNum = "P2",
                                              .seq = "07",
                                              .invNum = "000200",
                                              .dept = "PL",
                                              .company = "NCM",
                                              .cls = "NCL",
                                              .trn = "REN",
                                              .prd = "OLD"}));
  EXPECT_EQ(layout::GetField(Item("000200", "01300"), jcki::Code), "OLD");
  EXPECT_EQ(
      Desc("000200"),
      DescRecord({.number = "000200", .cls = "NCL", .trn = "REN", .company = "NCM", .prd = "ZZZ"}));
  // Without an invoice the policy record is written all the same.
  EXPECT_EQ(Policy("P4"), PolicyRecord({.polNum = "P4",
                                        .dept = "PL",
                                        .company = "NCM",
                                        .cls = "NCL",
                                        .trn = "REN",
                                        .prd = "PRD"}));
  EXPECT_EQ(Item("000500", "01000"),
            JckiRecord({.number = "000500", .item = "01000", .dept = "PL"}));
  EXPECT_EQ(form->Label3.Caption(), "Done");
  EXPECT_EQ(fe.Statuses().front(), Pad20("P1") + "-1-0");
  EXPECT_EQ(fe.Statuses()[2], Pad20("P3") + "-3-1");
}

TEST_F(SyncPolInvTest, NoHoldsBackOnlyTheInvoiceProducers) {
  PutSite();
  fe.QueueAnswer(kAnswerNo);
  ASSERT_TRUE(Run(&SyncPolInv).completed);
  EXPECT_EQ(ReportLines("polinv.ERR"), ErrorLines("FixIt set OFF!"));
  EXPECT_EQ(ReportLines("polinv.TXT"), PolicyLines());
  EXPECT_EQ(ReportLines("polinv.chg"), (Lines{" Cls [CLS] to [NCL]", " Trn [NEW] to [REN]"}));
  // The policy record still takes the producer; the invoice's producer item and its
  // description keep theirs.
  EXPECT_EQ(layout::GetField(Policy("P1"), pol::PrdCode), "PRD");
  EXPECT_EQ(Item("000100", "01300"),
            JckiRecord({.number = "000100", .item = "01300", .code = "OLD", .dept = "PL"}));
  EXPECT_EQ(
      Desc("000100"),
      DescRecord({.number = "000100", .cls = "NCL", .trn = "REN", .company = "NCM", .prd = "OLD"}));
  EXPECT_EQ(
      Desc("000200"),
      DescRecord({.number = "000200", .cls = "NCL", .trn = "REN", .company = "NCM", .prd = "OLD"}));
}

TEST_F(SyncPolInvTest, ShortCodesAreRightJustifiedAndAHeaderWithoutContinuationIsAlone) {
  Put("POL", PolicyRecord({.polNum = "P9", .invNum = "000009"}));
  Put("JCKI", {JckiRecord({.number = "000009", .item = "01000", .dept = " 5"}),
               JckiRecord({.number = "000009", .item = "01100", .dept = " 5"}),
               JckiRecord({.number = "000009", .item = "01200", .code = "  A", .dept = " 5"}),
               JckiRecord({.number = "000009", .item = "01300", .code = "PRD", .dept = " 5"}),
               JckiRecord({.number = "000009", .item = "01500", .code = "NEW", .dept = " 5"})});
  Put("DESC", DescRecord({.number = "000009"}));
  Sql("INSERT INTO Producer (AgyCode, Number) VALUES ('01', 'PRD');"
      "INSERT INTO Policy (AgyCode, PolNum, PolSeq, \"Prd Code\", InvNum, TrnCode, ClsCode, "
      "DptCode, CmpCode) VALUES ('01', 'P9', 1, 'PRD', '9', 'NEW', 'A', '5', 'CMP');");
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&SyncPolInv).completed);
  EXPECT_EQ(ReportLines("polinv.ERR"),
            (Lines{"FixIt set ON!", " Can fix 0  can't fix 0 (0 have zero comm)",
                   "1 items, 0 had errors"}));
  EXPECT_EQ(ReportLines("polinv.TXT"), Lines{"Policy [" + Pad20("P9") + "] cls [  A] dpt [ 5]"});
  EXPECT_TRUE(ReportLines("polinv.chg").empty());
  EXPECT_EQ(Policy("P9"),
            PolicyRecord({.polNum = "P9", .invNum = "000009", .dept = " 5", .cls = "  A"}));
}

TEST_F(SyncPolInvTest, FailedDepartmentUpdateShowsUpAsAnItemChange) {
  PutSite();
  fe.QueueAnswer(kAnswerYes);
  // "JCKI" updates in order: the department pass over invoice 100 writes 01000, 01001,
  // 01100, then 01200.
  AddFault({"JCKI", FaultOp::kUpdate, 4, 85});
  ASSERT_TRUE(Run(&SyncPolInv).completed);
  EXPECT_EQ(FaultsTriggered(), 1);
  const Lines err = ReportLines("polinv.ERR");
  ASSERT_EQ(err.size(), 11u);
  EXPECT_EQ(err[1], "ERROR: Status (85) on update of [01I00010001200]");
  EXPECT_EQ(err.back(), "5 items, 7 had errors");
  EXPECT_EQ(ReportLines("polinv.chg"), (Lines{" Dpt [CL] to [PL]", " Cls [CLS] to [NCL]",
                                              " Prd [OLD] to [PRD]", " Trn [NEW] to [REN]"}));
  // The item pass put the department in after all.
  EXPECT_EQ(layout::GetField(Item("000100", "01200"), jcki::Dept), "PL");
}

TEST_F(SyncPolInvTest, FailedPolicyUpdateIsReported) {
  PutSite();
  fe.QueueAnswer(kAnswerYes);
  AddFault({"POL", FaultOp::kUpdate, 1, 85});
  ASSERT_TRUE(Run(&SyncPolInv).completed);
  const Lines err = ReportLines("polinv.ERR");
  ASSERT_EQ(err.size(), 11u);
  EXPECT_EQ(err[1], "ERROR: Status (85) on update of [01" + Pad20("P1") + "010]");
  EXPECT_EQ(layout::GetField(Policy("P1"), pol::Class), "CLS");
}

TEST_F(SyncPolInvTest, UnopenedFilesAreReportedAndEveryRowIsMissing) {
  Sql("INSERT INTO Policy (AgyCode, PolNum, PolSeq, \"Prd Code\", InvNum) VALUES "
      "('01', 'P1', 1, 'PRD', '100'), ('02', 'Q', 3, 'PRD', '0');");
  ASSERT_TRUE(Run(&SyncPolInv).completed);
  const std::string data = DataPath() + "\\";
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open POL file " + data + "POL, status is 12",
                               "Unable to open JCKI file " + data + "JCKI, status is 12",
                               "Unable to open Desc file " + data + "Desc, status is 12",
                               "Unable to open JCKI2 file " + data + "JCKI, status is 12"}));
  EXPECT_EQ(ReportLines("polinv.ERR"),
            (Lines{"FixIt set OFF!", "Prd [PRD] not found on pol [" + Pad20("P1") + "]",
                   "PolREc not found [01" + Pad20("P1") + "010]",
                   "Prd [PRD] not found on pol [" + Pad20("Q") + "]",
                   "PolREc not found [02" + Pad20("Q") + "030]",
                   " Can fix 0  can't fix 0 (0 have zero comm)", "2 items, 2 had errors"}));
  EXPECT_TRUE(ReportLines("polinv.TXT").empty());
  EXPECT_TRUE(ReportLines("polinv.chg").empty());
}

TEST_F(SyncPolInvTest, UnknownAliasEndsTheRunWithTheDatabaseError) {
  form->edtODBCName = "NOSUCH";
  const RunOutcome outcome = Run(&SyncPolInv);
  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCH"), std::string::npos) << outcome.error;
}

}  // namespace
}  // namespace talvor::testing
