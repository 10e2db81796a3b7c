#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/policy/policy_routines.h"
#include "shell/text/dates.h"
#include "tests/routines/policy/legacy_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace pol = layout::pol;
using Lines = std::vector<std::string>;

std::string Pad20(const std::string& polNum) {
  return polNum + std::string(20 - polNum.size(), ' ');
}

// A term with its three dates.
std::string Term(const std::string& agency, const std::string& polNum, const std::string& seq,
                 const std::string& entry, const std::string& effective,
                 const std::string& expiration) {
  std::string r = PolicyRecord({.agency = agency,
                                .polNum = polNum,
                                .seq = seq,
                                .effective = effective,
                                .expiration = expiration});
  layout::SetField(r, pol::EntryDate, entry);
  return r;
}

class BumpPolDatesTest : public SiteTest {
 protected:
  // P1 (agency 01) has a Policy row; P2 (agency 02, sequence 05) has none.
  void PutSite() {
    Put("POL", {Term("01", "P1", "01", ";50301", ";70301", ";80301"),
                Term("02", "P2", "05", ";60101", ";60101", ";70101")});
    Sql("INSERT INTO Policy (AgyCode, PolNum, PolSeq, EntryDate, EffectiveDate, "
        "ExpirationDate) VALUES ('01', 'P1', 1, '2015-03-01', '2017-03-01', '2018-03-01');");
  }
  Lines RowDates() {
    const auto rows = Rows("SELECT EntryDate, EffectiveDate, ExpirationDate FROM Policy");
    return rows.empty() ? Lines{} : rows.front();
  }
  // P2's expiration date cannot be converted: the run ends on P2 with P1 moved in both stores
  // and P2 untouched in both.
  void CheckUnconvertible(const std::string& expiration) {
    Put("POL", {Term("01", "P1", "01", ";50301", ";70301", ";80301"),
                Term("02", "P2", "05", ";60101", ";60101", expiration)});
    Sql("INSERT INTO Policy (AgyCode, PolNum, PolSeq, EntryDate, EffectiveDate, "
        "ExpirationDate) VALUES ('01', 'P1', 1, '2015-03-01', '2017-03-01', '2018-03-01'), "
        "('02', 'P2', 5, '2016-01-01', '2016-01-01', '2017-01-01');");
    const RunOutcome outcome = Run(&BumpPolDates);
    EXPECT_FALSE(outcome.completed);
    EXPECT_NE(outcome.error.find("is not a valid date"), std::string::npos) << outcome.error;
    EXPECT_EQ(fe.Errors(), Lines{outcome.error});
    EXPECT_EQ(Records("POL"), (Lines{Term("01", "P1", "01", ";80228", "<00229", "<10228"),
                                     Term("02", "P2", "05", ";60101", ";60101", expiration)}));
    EXPECT_EQ(Rows("SELECT EntryDate, ExpirationDate FROM Policy ORDER BY rowid"),
              (std::vector<Lines>{{"2018-02-28", "2021-02-28"}, {"2016-01-01", "2017-01-01"}}));
    EXPECT_TRUE(ReportLines("datescan.ERR").empty());
  }
};

TEST_F(BumpPolDatesTest, MovesEveryTermByDaysInBothStores) {
  PutSite();
  ASSERT_TRUE(Run(&BumpPolDates).completed);
  EXPECT_TRUE(fe.Questions().empty());
  EXPECT_EQ(ReportLines("datescan.ERR"), (Lines{"Locate Failed for [02][" + Pad20("P2") + "][05]",
                                                "Final status 9 Examined 2 records, 1 errors"}));
  // 1095 days, not three calendar years: 2015-03-01 -> 2018-02-28, 2017-03-01 -> 2020-02-29.
  EXPECT_EQ(Records("POL"), (Lines{Term("01", "P1", "01", ";80228", "<00229", "<10228"),
                                   Term("02", "P2", "05", ";81231", ";81231", "<00101")}));
  EXPECT_EQ(RowDates(), (Lines{"2018-02-28", "2020-02-29", "2021-02-28"}));
  EXPECT_EQ(form->Formats.shortDate, "mm/dd/yyyy");
  EXPECT_EQ(fe.Statuses(),
            (Lines{"running.....", Pad20("P1"), Pad20("P2"), "Done, select another option"}));
}

TEST_F(BumpPolDatesTest, SecondRunMovesAgainAndLaterDatesUseTheNewFormat) {
  PutSite();
  ASSERT_TRUE(Run(&BumpPolDates).completed);
  ASSERT_TRUE(Run(&BumpPolDates).completed);
  EXPECT_EQ(Records("POL"), (Lines{Term("01", "P1", "01", "<10227", "<30228", "<40228"),
                                   Term("02", "P2", "05", "<11230", "<11230", "<21231")}));
  EXPECT_EQ(RowDates(), (Lines{"2021-02-27", "2023-02-28", "2024-02-28"}));
  EXPECT_EQ(NowStamp(form->clock(), form->Formats).substr(0, 10), "12/08/2026");
}

TEST_F(BumpPolDatesTest, BlankDateEndsTheRunAndEarlierTermsStayMoved) {
  CheckUnconvertible("      ");
}

TEST_F(BumpPolDatesTest, InvalidDateEndsTheRunAndEarlierTermsStayMoved) {
  CheckUnconvertible(";61345");
}

TEST_F(BumpPolDatesTest, FailedReadbackAndUpdateAreCountedAsErrors) {
  PutSite();
  // "POL" reads: 1 the walk's first (P1), 2 its readback; the one update left is P2's.
  AddFault({"POL", FaultOp::kRead, 2, 2});
  AddFault({"POL", FaultOp::kUpdate, 1, 85});
  ASSERT_TRUE(Run(&BumpPolDates).completed);
  EXPECT_EQ(FaultsTriggered(), 2);
  EXPECT_EQ(ReportLines("datescan.ERR"),
            (Lines{"status (2) on read back of PolKey [01" + Pad20("P1") + "010]",
                   "Locate Failed for [02][" + Pad20("P2") + "][05]",
                   "status (85) on update of PolKey [02" + Pad20("P2") + "050]",
                   "Final status 9 Examined 2 records, 3 errors"}));
  EXPECT_EQ(Records("POL"), (Lines{Term("01", "P1", "01", ";50301", ";70301", ";80301"),
                                   Term("02", "P2", "05", ";60101", ";60101", ";70101")}));
  // The row was moved before the record failed.
  EXPECT_EQ(RowDates(), (Lines{"2018-02-28", "2020-02-29", "2021-02-28"}));
}

TEST_F(BumpPolDatesTest, UnopenedFileIsReportedForBothHandles) {
  ASSERT_TRUE(Run(&BumpPolDates).completed);
  const std::string path = DataPath() + "\\POL";
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open POL file " + path + ", status is 12",
                               "Unable to open POL2 file " + path + ", status is 12"}));
  EXPECT_EQ(ReportLines("datescan.ERR"), Lines{"Final status 3 Examined 0 records, 0 errors"});
  EXPECT_EQ(form->Formats.shortDate, "mm/dd/yyyy");
}

}  // namespace
}  // namespace talvor::testing
