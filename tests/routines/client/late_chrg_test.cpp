// LateChrg YES and LateChrg NO on a small site: the flag byte of every client line "01" (all
// agencies) and Customer.GetLateCharges switched together, in the column's own type.
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/fault_injection.h"
#include "routines/client/client_routines.h"
#include "tests/routines/client/ap_test_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace ap = layout::ap;
using Lines = std::vector<std::string>;

class LateChrgTest : public SiteTest {
 protected:
  static std::string Line00(const std::string& agency, const std::string& number) {
    return ApRecord(ap::kClient, agency, number, "00").Set(ap::line00::Name, "CLIENT " + number);
  }
  static std::string Line01(const std::string& agency, const std::string& number,
                            const std::string& flag) {
    return ApRecord(ap::kClient, agency, number, "01")
        .Set(ap::client01::Underwriter, "  A")
        .Set(ap::client01::Line01Flag, flag);
  }
  void AddRow(const std::string& agency, const std::string& number, const std::string& flag) {
    Sql("insert into Customer (AgyCode, Number, GetLateCharges) values ('" + agency + "', '" +
        number + "', " + flag + ")");
  }
  Lines Flags() const {
    Lines flags;
    for (const auto& row : Rows("select GetLateCharges from Customer order by rowid")) {
      flags.push_back(row[0]);
    }
    return flags;
  }
  std::string ApPath() const { return DataPath() + "\\ap"; }
};

TEST_F(LateChrgTest, YesSwitchesEveryClientWithALine01InBothStores) {
  form->edtAgyCode = "01";
  Put("ap", {Line00("01", "41"), Line01("01", "41", "N"), Line00("01", "42"),  // no line "01"
             Line00("02", "7"), Line01("02", "7", " ")});
  AddRow("01", "    41", "'N'");
  AddRow("01", "    42", "'N'");
  AddRow("02", "     7", "'N'");

  const RunOutcome outcome = Run(&LateChrg, true);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Records("ap"), (Lines{Line00("01", "41"), Line01("01", "41", "Y"), Line00("01", "42"),
                                  Line00("02", "7"), Line01("02", "7", "Y")}));
  EXPECT_EQ(Flags(), (Lines{"Y", "N", "Y"}));
  EXPECT_EQ(fe.Statuses(), (Lines{"01/    41", "02/     7", "Done, select another option"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(LateChrgTest, YesThenNoLeavesEveryClientWithN) {
  Put("ap", {Line01("01", "41", "N"), Line01("01", "43", "Y")});
  AddRow("01", "    41", "'N'");
  AddRow("01", "    43", "'Y'");

  ASSERT_TRUE(Run(&LateChrg, true).completed);
  EXPECT_EQ(Flags(), (Lines{"Y", "Y"}));
  ASSERT_TRUE(Run(&LateChrg, false).completed);

  EXPECT_EQ(Records("ap"), (Lines{Line01("01", "41", "N"), Line01("01", "43", "N")}));
  EXPECT_EQ(Flags(), (Lines{"N", "N"}));
}

struct ColumnCase {
  std::string declared;
  std::string yes, no;  // GetLateCharges after each run, as stored
};

class LateChrgColumnTest : public LateChrgTest, public ::testing::WithParamInterface<ColumnCase> {};

TEST_P(LateChrgColumnTest, FlagIsWrittenInTheColumnsOwnType) {
  Sql("alter table Customer drop column GetLateCharges; alter table Customer add column "
      "GetLateCharges " +
      GetParam().declared);
  Put("ap", Line01("01", "41", " "));
  AddRow("01", "    41", "NULL");

  ASSERT_TRUE(Run(&LateChrg, true).completed);
  EXPECT_EQ(Flags(), (Lines{GetParam().yes}));
  const RunOutcome outcome = Run(&LateChrg, false);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Flags(), (Lines{GetParam().no}));
}

INSTANTIATE_TEST_SUITE_P(Types, LateChrgColumnTest,
                         ::testing::Values(ColumnCase{"TEXT", "Y", "N"},
                                           ColumnCase{"BOOLEAN", "1", "0"},
                                           ColumnCase{"BIT", "1", "0"},
                                           ColumnCase{"INTEGER", "1", "0"},
                                           ColumnCase{"SMALLINT", "1", "0"}));

TEST_F(LateChrgTest, FailedReadbackSkipsTheClientInBothStores) {
  Put("ap", {Line01("01", "41", "N"), Line01("01", "42", "N")});
  AddRow("01", "    41", "'N'");
  AddRow("01", "    42", "'N'");
  AddFault({"ap", FaultOp::kRead, 2, 2, 1});  // the first readback

  ASSERT_TRUE(Run(&LateChrg, true).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_EQ(Records("ap"), (Lines{Line01("01", "41", "N"), Line01("01", "42", "Y")}));
  EXPECT_EQ(Flags(), (Lines{"N", "Y"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(LateChrgTest, FailedUpdateStillSwitchesTheRowSilently) {
  Put("ap", Line01("01", "41", "N"));
  AddRow("01", "    41", "'N'");
  AddFault({"ap", FaultOp::kUpdate, 1, 2, 1});

  ASSERT_TRUE(Run(&LateChrg, true).completed);

  EXPECT_EQ(Records("ap"), (Lines{Line01("01", "41", "N")}));
  EXPECT_EQ(Flags(), (Lines{"Y"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(LateChrgTest, UnopenedFileIsShownForBothHandlesAndNoRowChanges) {
  AddRow("01", "    41", "'N'");

  const RunOutcome outcome = Run(&LateChrg, true);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open ap file " + ApPath() + ", status is 12",
                               "Unable to open ap2 file " + ApPath() + ", status is 12"}));
  EXPECT_EQ(Flags(), (Lines{"N"}));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

}  // namespace
}  // namespace talvor::testing
