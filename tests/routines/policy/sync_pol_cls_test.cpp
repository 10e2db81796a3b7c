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

class SyncPolClsTest : public SiteTest {
 protected:
  // P1's term 99 has class NEW: terms 01 and 09 differ, 10 matches, 00 is left alone (and has
  // no Policy row for 09). P2 has no term 99. P3 of agency 02 is brought into line too.
  void PutSite() {
    Put("POL", {PolicyRecord({.polNum = "P1", .seq = "00", .cls = "OLD"}),
                PolicyRecord({.polNum = "P1", .seq = "01", .cls = "OLD"}),
                PolicyRecord({.polNum = "P1", .seq = "09", .cls = "OLD"}),
                PolicyRecord({.polNum = "P1", .seq = "10", .cls = "NEW"}),
                PolicyRecord({.polNum = "P1", .seq = "99", .cls = "NEW"}),
                PolicyRecord({.polNum = "P2", .seq = "01", .cls = "OLD"}),
                PolicyRecord({.agency = "02", .polNum = "P3", .seq = "05", .cls = "BBB"}),
                PolicyRecord({.agency = "02", .polNum = "P3", .seq = "99", .cls = "AAA"})});
    Sql("INSERT INTO Policy (AgyCode, PolNum, PolSeq, ClsCode) VALUES ('01', 'P1', 0, 'OLD'), "
        "('01', 'P1', 1, 'OLD'), ('01', 'P1', 10, 'NEW'), ('01', 'P2', 1, 'OLD'), "
        "('02', 'P3', 5, 'BBB');");
  }
  std::string ClassOf(const std::string& agency, const std::string& polNum,
                      const std::string& seq) {
    return layout::GetField(Find("POL", agency + Pad20(polNum) + seq + "0").value_or(""),
                            pol::Class);
  }
  std::string RowClasses() {
    std::string out;
    for (const auto& row :
         Rows("SELECT AgyCode, PolNum, PolSeq, ClsCode FROM Policy ORDER BY rowid")) {
      out += row[0] + "/" + row[1] + "/" + row[2] + "=" + row[3] + ";";
    }
    return out;
  }
};

TEST_F(SyncPolClsTest, TermsTakeTheClassOfTermNinetyNineInBothStores) {
  PutSite();
  ASSERT_TRUE(Run(&SyncPolCls).completed);
  EXPECT_TRUE(fe.Questions().empty());
  const std::string p1 = "[01][" + Pad20("P1") + "]";
  EXPECT_EQ(ReportLines("SyncPolCls.TXT"),
            (Lines{p1 + "[09][NEW][OLD]", "Error updating the policy table for " + p1 + "[09]",
                   p1 + "[01][NEW][OLD]", "[02][" + Pad20("P3") + "][05][AAA][BBB]"}));
  EXPECT_EQ(ClassOf("01", "P1", "00"), "OLD");
  EXPECT_EQ(ClassOf("01", "P1", "01"), "NEW");
  EXPECT_EQ(ClassOf("01", "P1", "09"), "NEW");
  EXPECT_EQ(ClassOf("01", "P2", "01"), "OLD");
  EXPECT_EQ(ClassOf("02", "P3", "05"), "AAA");
  // Only the class changed.
  EXPECT_EQ(Find("POL", "01" + Pad20("P1") + "090"),
            PolicyRecord({.polNum = "P1", .seq = "09", .cls = "NEW"}));
  EXPECT_EQ(RowClasses(), "01/P1/0=OLD;01/P1/1=NEW;01/P1/10=NEW;01/P2/1=OLD;02/P3/5=AAA;");
  EXPECT_EQ(fe.Statuses(), (Lines{"1/01/" + Pad20("P1"), "2/02/" + Pad20("P3"), "Done!"}));

  // Once in line, a term is neither reported nor written again (its missing row included).
  ASSERT_TRUE(Run(&SyncPolCls).completed);
  EXPECT_TRUE(ReportLines("SyncPolCls.TXT").empty());
}

TEST_F(SyncPolClsTest, FailedRecordUpdateIsReportedAndTheRowStillChanges) {
  PutSite();
  AddFault({"POL", FaultOp::kUpdate, 1, 85});
  ASSERT_TRUE(Run(&SyncPolCls).completed);
  const std::string p1 = "[01][" + Pad20("P1") + "]";
  const Lines lines = ReportLines("SyncPolCls.TXT");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], p1 + "[09][NEW][OLD]");
  EXPECT_EQ(lines[1], "status (85) updating the policy file for " + p1 + "[09]");
  EXPECT_EQ(ClassOf("01", "P1", "09"), "OLD");
  EXPECT_EQ(ClassOf("01", "P1", "01"), "NEW");
}

TEST_F(SyncPolClsTest, UnopenedFileIsReportedForBothHandles) {
  ASSERT_TRUE(Run(&SyncPolCls).completed);
  const std::string path = DataPath() + "\\POL";
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open POL file " + path + ", status is 12",
                               "Unable to open POL2 file " + path + ", status is 12"}));
  EXPECT_TRUE(ReportLines("SyncPolCls.TXT").empty());
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

TEST_F(SyncPolClsTest, UnknownAliasEndsTheRunBeforeAnythingChanges) {
  PutSite();
  const auto before = Records("POL");
  form->edtODBCName = "NOSUCH";
  const RunOutcome outcome = Run(&SyncPolCls);
  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCH"), std::string::npos) << outcome.error;
  EXPECT_EQ(Records("POL"), before);
}

}  // namespace
}  // namespace talvor::testing
