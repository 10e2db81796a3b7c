#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/fault_injection.h"
#include "routines/reports/reports_routines.h"
#include "shell/text/text.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

namespace pol = layout::pol;

// A policy record with the fields the routine looks at.
std::string Policy(const std::string& agency, const std::string& number, int seq,
                   const std::string& enteredBy, const std::string& entryDate) {
  std::string r = layout::BlankRecord(pol::kRecordLength);
  layout::SetField(r, pol::PolKey, layout::PolKey(agency, number, seq));
  layout::SetField(r, pol::AgyCode2, agency);
  layout::SetField(r, pol::CltNum, "  1001");
  layout::SetField(r, pol::EntryDate, entryDate);
  layout::SetField(r, pol::EnteredBy, enteredBy);
  return r;
}

// The policy numbers left in the file, in key order.
std::vector<std::string> Numbers(const std::vector<std::string>& records) {
  std::vector<std::string> out;
  for (const std::string& r : records) {
    out.push_back(layout::GetField(r, pol::AgyCode) + "/" + Trim(layout::GetField(r, pol::PolNum)));
  }
  return out;
}

class ClearCnvtPolsTest : public testing::SiteTest {
 protected:
  // Converted records of three agencies, next to records that differ in one of the two values.
  void PutSite() {
    Put("POL",
        {Policy("01", "CONV1", 0, "QXT", ":91209"),
         Policy("01", "CONV2", 0, "QXT", ":91209"),  // right after another deletion
         Policy("01", "CONV2", 1, "QXT", ":91209"),  // and a third in a row
         Policy("01", "KEEPDATE", 0, "QXT", ":91210"), Policy("01", "KEEPOPER", 0, "ABC", ":91209"),
         Policy("01", "KEEPLOWER", 0, "qxt", ":91209"), Policy("02", "CONV3", 0, "QXT", ":91209"),
         Policy(" 3", "CONV4", 0, "QXT", ":91209"), Policy(" 3", "ZLAST", 0, "QXT", "991209")});
  }
  std::string PolPath() const { return DataPath() + "\\POL"; }
};

TEST_F(ClearCnvtPolsTest, DeletesConvertedRecordsOfEveryAgencyAndKeepsTheRest) {
  PutSite();
  const RunOutcome outcome = Run(&ClearCnvtPols);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Numbers(Records("POL")),
            (std::vector<std::string>{" 3/ZLAST", "01/KEEPDATE", "01/KEEPLOWER", "01/KEEPOPER"}));
  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

TEST_F(ClearCnvtPolsTest, ShowsEachRecordTrimmedInTheLabel) {
  PutSite();
  ASSERT_TRUE(Run(&ClearCnvtPols).completed);
  const std::vector<std::string> expected{"running.....",   "running.....",   "[3][CONV4]",
                                          "[3][ZLAST]",     "[01][CONV1]",    "[01][CONV2]",
                                          "[01][CONV2]",    "[01][KEEPDATE]", "[01][KEEPLOWER]",
                                          "[01][KEEPOPER]", "[02][CONV3]",    "Done!"};
  EXPECT_EQ(fe.Statuses(), expected);
}

TEST_F(ClearCnvtPolsTest, SecondRunFindsNothingMore) {
  PutSite();
  ASSERT_TRUE(Run(&ClearCnvtPols).completed);
  const std::vector<std::string> afterFirst = Records("POL");
  ASSERT_TRUE(Run(&ClearCnvtPols).completed);
  EXPECT_EQ(Records("POL"), afterFirst);
}

TEST_F(ClearCnvtPolsTest, MissingFileIsReportedForBothHandlesAndTheRunEnds) {
  const RunOutcome outcome = Run(&ClearCnvtPols);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open POL file " + PolPath() + ", status is 12",
                                      "Unable to open POL2 file " + PolPath() + ", status is 12"}));
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

TEST_F(ClearCnvtPolsTest, WithoutTheWriteHandleNothingIsDeleted) {
  PutSite();
  const std::vector<std::string> before = Records("POL");
  AddFault({"POL", FaultOp::kOpen, 2, 85});
  ASSERT_TRUE(Run(&ClearCnvtPols).completed);
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open POL2 file " + PolPath() + ", status is 85"}));
  EXPECT_EQ(Records("POL"), before);
}

TEST_F(ClearCnvtPolsTest, WithoutTheReadHandleNothingIsWalked) {
  PutSite();
  const std::vector<std::string> before = Records("POL");
  AddFault({"POL", FaultOp::kOpen, 1, 85});
  ASSERT_TRUE(Run(&ClearCnvtPols).completed);
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open POL file " + PolPath() + ", status is 85"}));
  EXPECT_EQ(Records("POL"), before);
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

TEST_F(ClearCnvtPolsTest, FailedDeletionPassesSilentlyAndTheWalkGoesOn) {
  PutSite();
  AddFault({"POL", FaultOp::kDelete, 1, 85});
  ASSERT_TRUE(Run(&ClearCnvtPols).completed);
  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_TRUE(fe.Notes().empty());
  // The first converted record in key order (agency " 3") stays; every other one goes.
  EXPECT_EQ(Numbers(Records("POL")),
            (std::vector<std::string>{" 3/CONV4", " 3/ZLAST", "01/KEEPDATE", "01/KEEPLOWER",
                                      "01/KEEPOPER"}));
}

}  // namespace
}  // namespace talvor
