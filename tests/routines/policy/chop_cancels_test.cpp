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

const Lines kClosing = {
    " Match 0 Wrong before date 0 Wrong After date 0 Wrong with Comm 0 Wrong without Comm 0 "
    "Total Wrong 0",
    " Can fix 0  can't fix 0 (0 have zero comm)", "0 items had errors"};

Lines Report(const Lines& head) {
  Lines out = head;
  out.insert(out.end(), kClosing.begin(), kClosing.end());
  return out;
}

class ChopCancelsTest : public SiteTest {
 protected:
  // Agency 01: P1 a cancellation over a year, P2 a renewal, P3 a cancellation already one
  // day long. Agencies 00 and 02 hold cancellations too.
  void PutSite() {
    Put("POL",
        {PolicyRecord({.agency = "00", .polNum = "P0", .trn = "CAN"}),
         PolicyRecord({.polNum = "P1", .trn = "CAN"}), PolicyRecord({.polNum = "P2", .trn = "REN"}),
         PolicyRecord(
             {.polNum = "P3", .trn = "CAN", .effective = ";60301", .expiration = ";60301"}),
         PolicyRecord({.agency = "02", .polNum = "P4", .trn = "CAN"})});
  }
  std::string Expiration(const std::string& agency, const std::string& polNum) {
    return layout::GetField(Find("POL", agency + Pad20(polNum) + "010").value_or(""),
                            pol::ExpirationDate);
  }
};

TEST_F(ChopCancelsTest, NoListsNothingAndChangesNothing) {
  PutSite();
  const auto before = Records("POL");
  ASSERT_TRUE(Run(&ChopCancels).completed);
  EXPECT_EQ(fe.Questions(), Lines{"Change Cancellations to single days?"});
  EXPECT_EQ(ReportLines("polcan.ERR"), Report({"FixIt set OFF!"}));
  EXPECT_EQ(Records("POL"), before);
  // The first record of the next agency is counted before the walk ends.
  EXPECT_EQ(fe.Statuses(), (Lines{Pad20("P1") + "-1-0", Pad20("P2") + "-2-0", Pad20("P3") + "-3-0",
                                  Pad20("P4") + "-4-0", "Done"}));
}

TEST_F(ChopCancelsTest, YesShortensTheAgencysCancellationsAndASecondRunRewritesThem) {
  PutSite();
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&ChopCancels).completed);
  EXPECT_EQ(ReportLines("polcan.ERR"), Report({"FixIt set ON!", "===>FIXED!!", "===>FIXED!!"}));
  EXPECT_EQ(Find("POL", "01" + Pad20("P1")),
            PolicyRecord({.polNum = "P1", .trn = "CAN", .expiration = ";50615"}));
  EXPECT_EQ(Expiration("01", "P2"), ";60615");
  EXPECT_EQ(Expiration("01", "P3"), ";60301");
  EXPECT_EQ(Expiration("00", "P0"), ";60615");
  EXPECT_EQ(Expiration("02", "P4"), ";60615");

  const auto after = Records("POL");
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&ChopCancels).completed);
  EXPECT_EQ(ReportLines("polcan.ERR"), Report({"FixIt set ON!", "===>FIXED!!", "===>FIXED!!"}));
  EXPECT_EQ(Records("POL"), after);
}

TEST_F(ChopCancelsTest, FailedReadbackAndUpdateAreReported) {
  PutSite();
  fe.QueueAnswer(kAnswerYes);
  // "POL" reads: 1 the walk's first (P1), 2 its readback.
  AddFault({"POL", FaultOp::kRead, 2, 2});
  AddFault({"POL", FaultOp::kUpdate, 1, 85});
  ASSERT_TRUE(Run(&ChopCancels).completed);
  EXPECT_EQ(FaultsTriggered(), 2);
  EXPECT_EQ(
      ReportLines("polcan.ERR"),
      Report({"FixIt set ON!", "ERROR: Status (2) on readback of pol [01" + Pad20("P1") + "010]",
              "ERROR: Status (85) on Update of pol [01" + Pad20("P3") + "010]"}));
  EXPECT_EQ(Expiration("01", "P1"), ";60615");
}

TEST_F(ChopCancelsTest, UnopenedFileIsReportedForBothHandles) {
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&ChopCancels).completed);
  const std::string path = DataPath() + "\\POL";
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open POL file " + path + ", status is 12",
                               "Unable to open POL2 file " + path + ", status is 12"}));
  EXPECT_EQ(ReportLines("polcan.ERR"), Report({"FixIt set ON!"}));
}

}  // namespace
}  // namespace talvor::testing
