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

std::string Key(const std::string& agency, const std::string& polNum) {
  return agency + polNum + std::string(20 - polNum.size(), ' ') + "010";
}

class BadMonthsTest : public SiteTest {
 protected:
  std::string ExpirationOf(const std::string& agency, const std::string& polNum) {
    return layout::GetField(Find("POL", Key(agency, polNum)).value_or(""), pol::ExpirationDate);
  }
};

TEST_F(BadMonthsTest, EachBadDateGetsOneLineAndTheEffectiveMonthAndDay) {
  struct Case {
    std::string expiration;
    std::vector<std::string> pieces;  // the line's pieces before the outcome; none: a good date
    std::string after;                // the expiration date afterwards
  };
  const Case cases[] = {
      {";60615", {}, ";60615"},
      {";60131", {}, ";60131"},
      {";60230", {}, ";60230"},  // the day is tested against 1 to 31 only
      {";61301", {"bad value in month (13) ["}, ";60615"},
      {";60100", {"bad value in day(00) ["}, ";60615"},
      {";60132", {"bad value in day(32) ["}, ";60615"},
      {";6  01", {"bad char in month ["}, ";60615"},
      {";601x1", {"bad char in Day["}, ";60615"},
      {";60001", {"bad date [", "bad value in month (00) ["}, ";60615"},
      {"<01300", {"bad value in month (13) [", "bad value in day(00) ["}, "<00615"},
  };
  std::vector<std::string> policies;
  Lines expected;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string polNum = "C" + std::to_string(10 + i);
    policies.push_back(
        PolicyRecord({.polNum = polNum, .effective = ";50615", .expiration = cases[i].expiration}));
    if (cases[i].pieces.empty()) continue;
    std::string line;
    for (const std::string& piece : cases[i].pieces) {
      line += piece + cases[i].expiration + "][;50615] on pol [01][" + polNum + "]";
    }
    expected.push_back(line + "<==CORRECTED");
  }
  Put("POL", policies);
  ASSERT_TRUE(Run(&BadMonths).completed);
  EXPECT_EQ(ReportLines("badmonth.log"), expected);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(ExpirationOf("01", "C" + std::to_string(10 + i)), cases[i].after)
        << cases[i].expiration;
  }
}

TEST_F(BadMonthsTest, EveryAgencyIsTestedWithoutAQuestion) {
  Put("POL", {PolicyRecord({.agency = "00", .polNum = "A", .expiration = ";61301"}),
              PolicyRecord({.agency = "01", .polNum = "B", .expiration = ";60615"}),
              PolicyRecord({.agency = "7x", .polNum = "C", .expiration = ";60199"})});
  ASSERT_TRUE(Run(&BadMonths).completed);
  EXPECT_TRUE(fe.Questions().empty());
  EXPECT_EQ(ReportLines("badmonth.log"),
            (Lines{"bad value in month (13) [;61301][;50615] on pol [00][A]<==CORRECTED",
                   "bad value in day(99) [;60199][;50615] on pol [7x][C]<==CORRECTED"}));
  EXPECT_EQ(ExpirationOf("00", "A"), ";60615");
  EXPECT_EQ(ExpirationOf("7x", "C"), ";60615");
  EXPECT_EQ(fe.Statuses(), (Lines{"running.....", "running.....", "[00][A]", "[01][B]", "[7x][C]",
                                  "Done!"}));
}

TEST_F(BadMonthsTest, OnlyTheExpirationMonthAndDayChange) {
  const std::string before = PolicyRecord({.polNum = "P1", .effective = ";41107", .expiration = ";51307"});
  Put("POL", before);
  ASSERT_TRUE(Run(&BadMonths).completed);
  std::string expected = before;
  layout::SetField(expected, pol::ExpirationDate, ";51107");
  EXPECT_EQ(Records("POL"), Lines{expected});
}

TEST_F(BadMonthsTest, ABadEffectiveDateIsCopiedAndReportedAgainNextRun) {
  Put("POL", PolicyRecord({.polNum = "P1", .effective = ";51400", .expiration = ";61301"}));
  ASSERT_TRUE(Run(&BadMonths).completed);
  EXPECT_EQ(ExpirationOf("01", "P1"), ";61400");
  ASSERT_TRUE(Run(&BadMonths).completed);
  EXPECT_EQ(ReportLines("badmonth.log"),
            Lines{"bad value in month (14) [;61400][;51400] on pol [01][P1]"
                  "bad value in day(00) [;61400][;51400] on pol [01][P1]<==CORRECTED"});
}

TEST_F(BadMonthsTest, FailedReadbackAndUpdateEndTheLineAndTheWalkGoesOn) {
  Put("POL", {PolicyRecord({.polNum = "P1", .expiration = ";61301"}),
              PolicyRecord({.polNum = "P2", .expiration = ";61301"})});
  // Reads of "POL" over both handles: 1 the first record, 2 its readback.
  AddFault({"POL", FaultOp::kRead, 2, 2});
  AddFault({"POL", FaultOp::kUpdate, 1, 85});  // the first update: P2's
  ASSERT_TRUE(Run(&BadMonths).completed);
  EXPECT_EQ(ReportLines("badmonth.log"),
            (Lines{"bad value in month (13) [;61301][;50615] on pol [01][P1]Status (2) reading "
                   "back record [" + Key("01", "P1") + "]",
                   "bad value in month (13) [;61301][;50615] on pol [01][P2]Status (85) writing "
                   "bac record [" + Key("01", "P2") + "]"}));
  EXPECT_EQ(ExpirationOf("01", "P1"), ";61301");
  EXPECT_EQ(ExpirationOf("01", "P2"), ";61301");
}

TEST_F(BadMonthsTest, UnopenedPolicyFileIsReportedForBothHandles) {
  ASSERT_TRUE(Run(&BadMonths).completed);
  const std::string path = DataPath() + "\\POL";
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open POL file " + path + ", status is 12",
                               "Unable to open POL2 file " + path + ", status is 12"}));
  EXPECT_EQ(ReportLines("badmonth.log"), Lines{});
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

}  // namespace
}  // namespace talvor::testing
