#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "routines/client/client_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace diandx = layout::diandx;

class SyncSuspTest : public SiteTest {
 protected:
  static std::string Item(const std::string& agency, const std::string& itemNum,
                          const std::string& assignedTo) {
    std::string record = layout::BlankRecord(diandx::kRecordLength);
    layout::SetField(record, diandx::AgyCode, agency);
    layout::SetField(record, diandx::ItemNum, itemNum);
    layout::SetField(record, diandx::AssignedTo, assignedTo);
    layout::SetField(record, layout::Field{40, 20}, "FOLLOW UP CALL");
    return record;
  }
  void AddRow(const std::string& agency, const std::string& itemNum, const std::string& assigned) {
    Sql("insert into SuspItem (AgyCode, ItemNum, AssignedTo, Status) values ('" + agency + "', '" +
        itemNum + "', '" + assigned + "', 1)");
  }
  std::string Assigned(const std::string& agency, const std::string& itemNum) const {
    return Value("select AssignedTo from SuspItem where AgyCode = '" + agency +
                 "' and ItemNum = '" + itemNum + "'");
  }
};

TEST_F(SyncSuspTest, AssignmentsAreMadeEqualAndEveryDifferenceListed) {
  Put("DIANDX", {Item("01", "000000001", "7"),       // "  7" already: good
                 Item("01", "000000002", "ABCD"),    // cut to "ABC"
                 Item("01", "000000003", "  QXT "),  // trimmed, then right-justified
                 Item("01", "000000004", "JS"),      // no row
                 Item("01", " 12345678", "AB"),      // row stored without the blank
                 Item("02", "000000001", "Z")});     // another agency
  AddRow("01", "000000001", "  7");
  AddRow("01", "000000002", "XYZ");
  AddRow("01", "000000003", "Q  ");
  AddRow("01", "12345678", "AB ");
  AddRow("02", "000000001", "");

  const auto outcome = Run(&SyncSusp);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(ReportLines("DiaSync.TXT"), (std::vector<std::string>{
                                            "Not Found [01][ 12345678]",
                                            "Changed [01][000000002] from [XYZ] to [ABC]",
                                            "Changed [01][000000003] from [Q  ] to [QXT]",
                                            "Not Found [01][000000004]",
                                            "Changed [02][000000001] from [] to [  Z]",
                                            "=====================",
                                            "Good (1) fixed (3) Not Found (2)",
                                        }));
  EXPECT_EQ(Assigned("01", "000000001"), "  7");
  EXPECT_EQ(Assigned("01", "000000002"), "ABC");
  EXPECT_EQ(Assigned("01", "000000003"), "QXT");
  EXPECT_EQ(Assigned("01", "12345678"), "AB ");
  EXPECT_EQ(Assigned("02", "000000001"), "  Z");
  EXPECT_EQ(fe.Statuses().front(), "[01][ 12345678][ AB]");
  EXPECT_EQ(form->Label3.Caption(), "Done!");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(SyncSuspTest, ItemsOfEveryAgencyAreHandledWhateverTheAgencyBox) {
  Put("DIANDX", {Item("01", "000000001", "A"), Item("AS", "000000001", "B")});
  AddRow("01", "000000001", "X");
  AddRow("AS", "000000001", "X");
  form->edtAgyCode = "10";

  ASSERT_TRUE(Run(&SyncSusp).completed);

  EXPECT_EQ(Assigned("01", "000000001"), "  A");
  EXPECT_EQ(Assigned("AS", "000000001"), "  B");
  EXPECT_EQ(ReportLines("DiaSync.TXT").back(), "Good (0) fixed (2) Not Found (0)");
}

TEST_F(SyncSuspTest, SecondRunCountsEveryItemGood) {
  Put("DIANDX", {Item("01", "000000001", "A"), Item("01", "000000002", "B")});
  AddRow("01", "000000001", "X");
  AddRow("01", "000000002", "  B");
  ASSERT_TRUE(Run(&SyncSusp).completed);

  ASSERT_TRUE(Run(&SyncSusp).completed);

  EXPECT_EQ(
      ReportLines("DiaSync.TXT"),
      (std::vector<std::string>{"=====================", "Good (2) fixed (0) Not Found (0)"}));
}

TEST_F(SyncSuspTest, WorksThroughTheServerSessionAndLeavesItActive) {
  Put("DIANDX", Item("01", "000000001", "A"));
  AddRow("01", "000000001", "X");
  form->edtServerName = "Diary Server";

  ASSERT_TRUE(Run(&SyncSusp).completed);

  EXPECT_TRUE(form->PvSession1.Active());
  EXPECT_EQ(form->PvSession1.SessionName(), "Diary Server");
  EXPECT_FALSE(form->tblSubmissions.IsOpen());
}

TEST_F(SyncSuspTest, MissingIndexIsShownAndTheTotalsAreZero) {
  AddRow("01", "000000001", "X");

  const auto outcome = Run(&SyncSusp);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (std::vector<std::string>{"Unable to open DIaNdx file " + DataPath() +
                                                  "\\DIANDX, status is 12"}));
  EXPECT_EQ(
      ReportLines("DiaSync.TXT"),
      (std::vector<std::string>{"=====================", "Good (0) fixed (0) Not Found (0)"}));
  EXPECT_EQ(Assigned("01", "000000001"), "X");
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

TEST_F(SyncSuspTest, ReadFailureEndsTheWalkAndTheTotalsCountWhatWasDone) {
  Put("DIANDX", {Item("01", "000000001", "A"), Item("01", "000000002", "B")});
  AddRow("01", "000000001", "X");
  AddRow("01", "000000002", "X");
  AddFault({"DIANDX", FaultOp::kRead, 2, 2, 1});

  ASSERT_TRUE(Run(&SyncSusp).completed);

  EXPECT_EQ(
      ReportLines("DiaSync.TXT"),
      (std::vector<std::string>{"Changed [01][000000001] from [X] to [  A]",
                                "=====================", "Good (0) fixed (1) Not Found (0)"}));
  EXPECT_EQ(Assigned("01", "000000002"), "X");
}

TEST_F(SyncSuspTest, UnknownAliasEndsTheRunWithTheDatabaseError) {
  Put("DIANDX", Item("01", "000000001", "A"));
  form->edtODBCName = "NOSUCHALIAS";

  const auto outcome = Run(&SyncSusp);

  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCHALIAS"), std::string::npos) << outcome.error;
  EXPECT_TRUE(ReportLines("DiaSync.TXT").empty());
}

}  // namespace
}  // namespace talvor::testing
