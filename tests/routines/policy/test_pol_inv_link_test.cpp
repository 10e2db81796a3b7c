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

std::string Pad20(const std::string& polNum) {
  return polNum + std::string(20 - polNum.size(), ' ');
}
std::string Key(const std::string& polNum) {
  return "01" + Pad20(polNum) + "010";
}

class TestPolInvLinkTest : public SiteTest {
 protected:
  // P1 has no invoice, P2 a good link, P3 a link to no invoice, P4 a link to an invoice of
  // another client.
  void PutSite() {
    Put("POL", {PolicyRecord({.polNum = "P1"}), PolicyRecord({.polNum = "P2", .invNum = "000100"}),
                PolicyRecord({.polNum = "P3", .invNum = "000200"}),
                PolicyRecord({.polNum = "P4", .invNum = "000300"})});
    Put("JCKI", {JckiRecord({.number = "000100"}), JckiRecord({.number = "000300",
                                                               .client = "  2002",
                                                               .effective = ";60101",
                                                               .entryDate = ";60102",
                                                               .enteredBy = "OPR"})});
  }
  std::string InvNumOf(const std::string& polNum) {
    return layout::GetField(Find("POL", Key(polNum)).value_or(""), pol::InvNum);
  }
  static std::string Mixup() {
    return "Client Mixup - Policy [P4                  ] has Clt [  1001] while Invoice [000300] "
           "has clt [  2002] inv eff [;60101] ent [;60102] by [OPR]";
  }
  static Lines GoodLinks() {
    return {"Match for inv [000100] on policy [P2                  ]",
            "Match for inv [000300] on policy [P4                  ]"};
  }
};

TEST_F(TestPolInvLinkTest, FixOffReportsBadLinksAndWritesNothing) {
  PutSite();
  const auto before = Records("POL");
  ASSERT_TRUE(Run(&TestPolInvLink).completed);
  EXPECT_EQ(fe.Questions(), Lines{"Clear Policy Invoice Numbers?"});
  EXPECT_EQ(ReportLines("polinv.ERR"),
            (Lines{"FixIt set OFF!", "Status (4) reading Jcki  [01I00020001000]", Mixup()}));
  EXPECT_EQ(ReportLines("polinv.TXT"), GoodLinks());
  EXPECT_EQ(Records("POL"), before);
  EXPECT_EQ(form->Label3.Caption(), "Done");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(TestPolInvLinkTest, CancelledQuestionCountsAsNo) {
  PutSite();
  fe.QueueAnswer(kAnswerCancel);
  const auto before = Records("POL");
  ASSERT_TRUE(Run(&TestPolInvLink).completed);
  EXPECT_EQ(ReportLines("polinv.ERR").front(), "FixIt set OFF!");
  EXPECT_EQ(Records("POL"), before);
}

TEST_F(TestPolInvLinkTest, FixOnClearsBadLinksAndASecondRunPassesThemOver) {
  PutSite();
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&TestPolInvLink).completed);
  EXPECT_EQ(ReportLines("polinv.ERR"),
            (Lines{"FixIt set ON!", "Status (4) reading Jcki  [01I00020001000]", "===>FIXED!!",
                   Mixup(), "===>FIXED!!"}));
  EXPECT_EQ(ReportLines("polinv.TXT"), GoodLinks());
  EXPECT_EQ(InvNumOf("P2"), "000100");
  EXPECT_EQ(InvNumOf("P3"), "000000");
  EXPECT_EQ(InvNumOf("P4"), "000000");
  // Only the invoice number changed.
  std::string expected = PolicyRecord({.polNum = "P4", .invNum = "000300"});
  layout::SetField(expected, pol::InvNum, "000000");
  EXPECT_EQ(Find("POL", Key("P4")), expected);

  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&TestPolInvLink).completed);
  EXPECT_EQ(ReportLines("polinv.ERR"), Lines{"FixIt set ON!"});
  EXPECT_EQ(ReportLines("polinv.TXT"),
            Lines{"Match for inv [000100] on policy [P2                  ]"});
}

TEST_F(TestPolInvLinkTest, InvoiceNumberIsLookedUpAsItStands) {
  // Invoice 001234 exists, but neither policy names it as stored: their links lead nowhere.
  Put("POL", {PolicyRecord({.polNum = "P6", .invNum = "  1234"}),
              PolicyRecord({.polNum = "P7", .invNum = "1234  "})});
  Put("JCKI", JckiRecord({.number = "001234"}));
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&TestPolInvLink).completed);
  EXPECT_EQ(ReportLines("polinv.ERR"),
            (Lines{"FixIt set ON!", "Status (4) reading Jcki  [01I  123401000]", "===>FIXED!!",
                   "Status (4) reading Jcki  [01I1234  01000]", "===>FIXED!!"}));
  EXPECT_TRUE(ReportLines("polinv.TXT").empty());
  EXPECT_EQ(InvNumOf("P6"), "000000");
  EXPECT_EQ(InvNumOf("P7"), "000000");
}

TEST_F(TestPolInvLinkTest, WalkCoversTheSiteAgencyOnlyAndStopsAtTheNext) {
  Put("POL", {PolicyRecord({.agency = "00", .polNum = "BEFORE", .invNum = "000900"}),
              PolicyRecord({.polNum = "P2", .invNum = "000100"}),
              PolicyRecord({.agency = "02", .polNum = "AFTER", .invNum = "000900"}),
              PolicyRecord({.agency = "02", .polNum = "LATER", .invNum = "000900"})});
  Put("JCKI", JckiRecord({.number = "000100"}));
  ASSERT_TRUE(Run(&TestPolInvLink).completed);
  EXPECT_EQ(ReportLines("polinv.ERR"), Lines{"FixIt set OFF!"});
  EXPECT_EQ(fe.Statuses(), (Lines{Pad20("P2") + "-1-0", Pad20("AFTER") + "-2-0", "Done"}));
}

TEST_F(TestPolInvLinkTest, UnopenedInvoiceFileReportsEveryLinkButClearsNone) {
  Put("POL", {PolicyRecord({.polNum = "P1"}), PolicyRecord({.polNum = "P2", .invNum = "000100"}),
              PolicyRecord({.polNum = "P3", .invNum = "000200"})});
  fe.QueueAnswer(kAnswerYes);
  const auto before = Records("POL");
  ASSERT_TRUE(Run(&TestPolInvLink).completed);
  EXPECT_EQ(fe.Notes(), Lines{"Unable to open JCKI file " + DataPath() + "\\JCKI, status is 12"});
  EXPECT_EQ(ReportLines("polinv.ERR"),
            (Lines{"FixIt set ON!", "Status (3) reading Jcki  [01I00010001000]",
                   "Status (3) reading Jcki  [01I00020001000]"}));
  EXPECT_EQ(Records("POL"), before);
  EXPECT_EQ(fe.Statuses().back(), "Done");
  EXPECT_EQ(fe.Statuses().front(), Pad20("P1") + "-1-0");
  EXPECT_EQ(fe.Statuses()[2], Pad20("P3") + "-3-1");
}

TEST_F(TestPolInvLinkTest, FailedInvoiceReadIsReportedButDoesNotClearTheLink) {
  Put("POL", PolicyRecord({.polNum = "P2", .invNum = "000100"}));
  Put("JCKI", JckiRecord({.number = "000100"}));
  fe.QueueAnswer(kAnswerYes);
  AddFault({"JCKI", FaultOp::kRead, 1, 85});
  ASSERT_TRUE(Run(&TestPolInvLink).completed);
  EXPECT_EQ(ReportLines("polinv.ERR"),
            (Lines{"FixIt set ON!", "Status (85) reading Jcki  [01I00010001000]"}));
  EXPECT_EQ(InvNumOf("P2"), "000100");
}

TEST_F(TestPolInvLinkTest, FailedReadbackIsReportedAndTheWalkGoesOn) {
  // Reads of "POL", over both handles: 1 the walk's first, 2 the readback of P3.
  Put("POL", {PolicyRecord({.polNum = "P3", .invNum = "000200"}),
              PolicyRecord({.polNum = "P5", .invNum = "000500"})});
  CreateFile("JCKI");
  fe.QueueAnswer(kAnswerYes);
  AddFault({"POL", FaultOp::kRead, 2, 2});
  ASSERT_TRUE(Run(&TestPolInvLink).completed);
  EXPECT_EQ(ReportLines("polinv.ERR"),
            (Lines{"FixIt set ON!", "Status (4) reading Jcki  [01I00020001000]",
                   "ERROR: Status (2) on readback of pol [" + Key("P3") + "]",
                   "Status (4) reading Jcki  [01I00050001000]", "===>FIXED!!"}));
  EXPECT_EQ(InvNumOf("P3"), "000200");
  EXPECT_EQ(InvNumOf("P5"), "000000");
}

TEST_F(TestPolInvLinkTest, FailedUpdateIsReportedAndTheWalkGoesOn) {
  Put("POL", {PolicyRecord({.polNum = "P3", .invNum = "000200"}),
              PolicyRecord({.polNum = "P5", .invNum = "000500"})});
  CreateFile("JCKI");
  fe.QueueAnswer(kAnswerYes);
  AddFault({"POL", FaultOp::kUpdate, 1, 85});
  ASSERT_TRUE(Run(&TestPolInvLink).completed);
  EXPECT_EQ(ReportLines("polinv.ERR"),
            (Lines{"FixIt set ON!", "Status (4) reading Jcki  [01I00020001000]",
                   "ERROR: Status (85) on Update of pol [" + Key("P3") + "]",
                   "Status (4) reading Jcki  [01I00050001000]", "===>FIXED!!"}));
  EXPECT_EQ(InvNumOf("P3"), "000200");
  EXPECT_EQ(InvNumOf("P5"), "000000");
}

}  // namespace
}  // namespace talvor::testing
