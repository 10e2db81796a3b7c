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
namespace desc = layout::desc;
using Lines = std::vector<std::string>;

std::string Item(const std::string& number, const std::string& code,
                 const std::string& glAcct = "5108", const std::string& agency = "01") {
  return JckiRecord({.agency = agency,
                     .number = number,
                     .item = "01500",
                     .postKind = "1",
                     .glAcct = glAcct,
                     .code = code});
}

class InvalidTrnTest : public SiteTest {
 protected:
  // Key 1 orders the items by code: BAD (300, no description), NEW (100, description says
  // REN), new (200, known as NEW), xxx (400, known in capitals for agency 02 only), then an
  // item of account 5109 that ends the walk, and agency 02's items.
  void PutSite() {
    Put("JCKI",
        {Item("000100", "NEW"), Item("000200", "new"), Item("000300", "BAD"), Item("000400", "xxx"),
         Item("000500", "BAD", "5109"), Item("000600", "BAD", "5108", "02")});
    Put("DESC", {DescRecord({.number = "000100", .trn = "REN"}),
                 DescRecord({.number = "000200", .trn = "new"}),
                 DescRecord({.number = "000400", .trn = "xxx"}),
                 DescRecord({.number = "000500", .trn = "ZZZ"})});
    Sql("INSERT INTO Trans (AgyCode, Number) VALUES ('01', 'NEW'), ('01', 'REN'), "
        "('02', 'XXX'), ('02', 'BAD');");
  }
  std::string CodeOf(const std::string& number) {
    return layout::GetField(Find("JCKI", "01I" + number).value_or(""), jcki::Code);
  }
  std::string DescCodeOf(const std::string& number) {
    return layout::GetField(Find("DESC", "01I" + number).value_or(""), desc::TrnCode);
  }
};

TEST_F(InvalidTrnTest, ListsUnknownCodesFixesCaseAndAlignsDescriptions) {
  PutSite();
  form->edtAgyCode = "02";  // the walk covers agency 01 whatever the settings say
  ASSERT_TRUE(Run(&InvalidTrn).completed);
  EXPECT_TRUE(fe.Questions().empty());
  EXPECT_EQ(
      ReportLines("TrnVerify.ERR"),
      (Lines{"01I00030001500 Bad Trn [BAD]", "01I00020001500 Bad Trn [new]", " CAN FIX !",
             "01I00040001500 Bad Trn [xxx]", "5 total items, 1 can be fixed, 2 can not be fixed"}));
  EXPECT_EQ(
      ReportLines("TrnVerify.TXT"),
      (Lines{"01I00030001 <= Missing Desc", "01I00010001 mismatch on desc trn [NEW] -v- [REN]",
             "01I00020001 mismatch on desc trn [NEW] -v- [new]"}));
  EXPECT_EQ(Find("JCKI", "01I000200"), Item("000200", "NEW"));
  EXPECT_EQ(CodeOf("000400"), "xxx");
  EXPECT_EQ(Find("DESC", "01I000100"), DescRecord({.number = "000100", .trn = "NEW"}));
  EXPECT_EQ(DescCodeOf("000200"), "NEW");
  EXPECT_EQ(DescCodeOf("000400"), "xxx");
  EXPECT_EQ(DescCodeOf("000500"), "ZZZ");
  EXPECT_EQ(layout::GetField(Find("JCKI", "02I000600").value_or(""), jcki::Code), "BAD");
  // The first item past the range is counted before the walk ends.
  EXPECT_EQ(fe.Statuses(), (Lines{"000300", "000100", "000200", "000400", "000500", "Done"}));

  ASSERT_TRUE(Run(&InvalidTrn).completed);
  EXPECT_EQ(ReportLines("TrnVerify.ERR"),
            (Lines{"01I00030001500 Bad Trn [BAD]", "01I00040001500 Bad Trn [xxx]",
                   "5 total items, 0 can be fixed, 2 can not be fixed"}));
  EXPECT_EQ(ReportLines("TrnVerify.TXT"), Lines{"01I00030001 <= Missing Desc"});
}

TEST_F(InvalidTrnTest, FailedReadbackLeavesTheItemButTheDescriptionTakesTheCapitals) {
  PutSite();
  // "JCKI" reads: 1 item 300, 2 item 100, 3 item 200, 4 the readback of item 200.
  AddFault({"JCKI", FaultOp::kRead, 4, 2});
  ASSERT_TRUE(Run(&InvalidTrn).completed);
  EXPECT_EQ(FaultsTriggered(), 1);
  const Lines err = ReportLines("TrnVerify.ERR");
  ASSERT_EQ(err.size(), 6u);
  EXPECT_EQ(err[3], "ERROR 2 on readback of [01I00020001500]");
  EXPECT_EQ(CodeOf("000200"), "new");
  EXPECT_EQ(DescCodeOf("000200"), "NEW");
}

TEST_F(InvalidTrnTest, FailedItemAndDescriptionUpdatesAreReported) {
  PutSite();
  AddFault({"JCKI", FaultOp::kUpdate, 1, 85});
  AddFault({"Desc", FaultOp::kUpdate, 1, 85});
  ASSERT_TRUE(Run(&InvalidTrn).completed);
  EXPECT_EQ(FaultsTriggered(), 2);
  const Lines err = ReportLines("TrnVerify.ERR");
  ASSERT_EQ(err.size(), 6u);
  EXPECT_EQ(err[3], "ERROR 85 on update of [01I00020001500]");
  EXPECT_EQ(
      ReportLines("TrnVerify.TXT"),
      (Lines{"01I00030001 <= Missing Desc", "01I00010001 mismatch on desc trn [NEW] -v- [REN]",
             "ERROR 85 on update of desc [01I00010001]",
             "01I00020001 mismatch on desc trn [NEW] -v- [new]"}));
  EXPECT_EQ(CodeOf("000200"), "new");
  EXPECT_EQ(DescCodeOf("000100"), "REN");
}

TEST_F(InvalidTrnTest, UnopenedFilesAreReportedAndNothingIsRead) {
  ASSERT_TRUE(Run(&InvalidTrn).completed);
  const std::string data = DataPath() + "\\";
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open JCKI file " + data + "JCKI, status is 12",
                               "Unable to open Desc file " + data + "Desc, status is 12",
                               "Unable to open JCKI2 file " + data + "JCKI, status is 12"}));
  EXPECT_EQ(ReportLines("TrnVerify.ERR"),
            Lines{"0 total items, 0 can be fixed, 0 can not be fixed"});
  EXPECT_TRUE(ReportLines("TrnVerify.TXT").empty());
}

TEST_F(InvalidTrnTest, UnopenedDescriptionFileMakesEveryDescriptionMissing) {
  Put("JCKI", Item("000100", "NEW"));
  Sql("INSERT INTO Trans (AgyCode, Number) VALUES ('01', 'NEW');");
  ASSERT_TRUE(Run(&InvalidTrn).completed);
  EXPECT_EQ(ReportLines("TrnVerify.TXT"), Lines{"01I00010001 <= Missing Desc"});
  EXPECT_EQ(ReportLines("TrnVerify.ERR"),
            Lines{"1 total items, 0 can be fixed, 0 can not be fixed"});
}

}  // namespace
}  // namespace talvor::testing
