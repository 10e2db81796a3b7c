// Clear AP Nulls and Clear Nulls - CLT on a small site: zero bytes of "ap" client lines
// blanked and the records written back, "APNULLS.TXT" and "alpahchg.txt" line by line, the
// failure messages of readback and update, and the ranges each variant walks.
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

std::string Client(const std::string& agency, const std::string& number, const std::string& line,
                   const std::string& name = "ACME ROOFING") {
  return ApRecord(ap::kClient, agency, number, line).Set(ap::line00::Name, name);
}

// `record` with a zero byte at each of `positions`.
std::string WithNulls(std::string record, const std::vector<int>& positions) {
  for (const int p : positions) record[static_cast<std::size_t>(p)] = '\0';
  return record;
}

// `record` with a blank at each of `positions`, as the routines leave a cleaned record.
std::string WithBlanks(std::string record, const std::vector<int>& positions) {
  for (const int p : positions) record[static_cast<std::size_t>(p)] = ' ';
  return record;
}

class ClearApNullsTest : public SiteTest {
 protected:
  std::string ApPath() const { return DataPath() + "\\ap"; }
};

TEST_F(ClearApNullsTest, ClientLinesWithZeroBytesAreCleanedListedAndWrittenBack) {
  const std::string clean = Client("01", "41", "00");
  const std::string producer =
      WithNulls(ApRecord(ap::kProducer, "01", "PRD", "00").Set(ap::line00::Name, "P"), {40});
  Put("ap", {clean, WithNulls(Client("01", "42", "00"), {30, 127}),
             WithNulls(Client("01", "42", "01"), {19}), producer});

  const RunOutcome outcome = Run(&ClearApNulls);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(ReportLines("APNULLS.TXT"),
            (Lines{"00001    4200001<- Had Nulls", "00001    4201001<- Had Nulls"}));
  EXPECT_EQ(Records("ap"), (Lines{clean, WithBlanks(Client("01", "42", "00"), {30}),
                                  Client("01", "42", "01"), producer}));
  EXPECT_EQ(
      fe.Statuses(),
      (Lines{"01/    41/ACME ROOFING             ", "01/    42/ACME     " + std::string(16, ' '),
             "01/    42/ACME ROOFING             ", "Done, select another option"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(ClearApNullsTest, CleanFileGivesAnEmptyReportAndWritesNothing) {
  const Lines records = {Client("01", "41", "00"), Client("02", "7", "01")};
  Put("ap", records);
  AddFault({"ap", FaultOp::kUpdate, 1, 2, 0});  // any update would be counted here

  ASSERT_TRUE(Run(&ClearApNulls).completed);

  EXPECT_TRUE(ReportLines("APNULLS.TXT").empty());
  EXPECT_EQ(FaultsTriggered(), 0);
  EXPECT_EQ(Records("ap"), records);
}

TEST_F(ClearApNullsTest, ClientLinesOfEveryAgencyAreCleaned) {
  form->edtAgyCode = "01";
  Put("ap", {WithNulls(Client("01", "41", "00"), {60}), WithNulls(Client("02", "7", "00"), {60}),
             WithNulls(Client(" 3", "8", "02"), {100})});

  ASSERT_TRUE(Run(&ClearApNulls).completed);

  EXPECT_EQ(ReportLines("APNULLS.TXT"),
            (Lines{"000 3     802001<- Had Nulls", "00001    4100001<- Had Nulls",
                   "00002     700001<- Had Nulls"}));
  EXPECT_EQ(Records("ap"),
            (Lines{Client(" 3", "8", "02"), Client("01", "41", "00"), Client("02", "7", "00")}));
}

TEST_F(ClearApNullsTest, ZeroByteInTheKeyIsReportedAsNotFoundAndTheRecordKept) {
  const std::string broken = WithNulls(Client("01", "42", "00"), {12});
  const std::string next = WithNulls(Client("01", "43", "00"), {70});
  Put("ap", {broken, next});

  ASSERT_TRUE(Run(&ClearApNulls).completed);

  EXPECT_EQ(ReportLines("APNULLS.TXT"), (Lines{"00001    " + std::string(7, ' ') + "<- Had Nulls",
                                               "00001    4300001<- Had Nulls"}));
  EXPECT_EQ(fe.Notes(), (Lines{"Error finding ap (4)[00100001     200001]"}));
  EXPECT_EQ(Records("ap"), (Lines{broken, Client("01", "43", "00")}));
}

TEST_F(ClearApNullsTest, FailedUpdateIsShownAndTheWalkGoesOn) {
  Put("ap", {WithNulls(Client("01", "41", "00"), {60}), WithNulls(Client("01", "42", "00"), {60})});
  AddFault({"ap", FaultOp::kUpdate, 1, 85, 1});

  ASSERT_TRUE(Run(&ClearApNulls).completed);

  EXPECT_EQ(fe.Notes(), (Lines{"Error updating ap (85)[00100001    4100001]"}));
  EXPECT_EQ(Records("ap"),
            (Lines{WithNulls(Client("01", "41", "00"), {60}), Client("01", "42", "00")}));
}

TEST_F(ClearApNullsTest, FailedReadbackIsShownWithItsStatus) {
  Put("ap", WithNulls(Client("01", "41", "00"), {60}));
  AddFault({"ap", FaultOp::kRead, 2, 2, 1});  // the readback after the walk's first read

  ASSERT_TRUE(Run(&ClearApNulls).completed);

  EXPECT_EQ(fe.Notes(), (Lines{"Error finding ap (2)[00100001    4100001]"}));
  EXPECT_EQ(Records("ap"), (Lines{WithNulls(Client("01", "41", "00"), {60})}));
}

TEST_F(ClearApNullsTest, UnopenedFileIsShownForBothHandles) {
  const RunOutcome outcome = Run(&ClearApNulls);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open ap file " + ApPath() + ", status is 12",
                               "Unable to open ap2 file " + ApPath() + ", status is 12"}));
  EXPECT_TRUE(ReportLines("APNULLS.TXT").empty());
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

// The variant for one agency.

TEST_F(ClearApNullsTest, CltVariantListsEachZeroByteOfTheAgencysClients) {
  form->edtAgyCode = "1";
  const std::string otherAgency = WithNulls(Client("01", "41", "00"), {60});
  const std::string producer = WithNulls(ApRecord(ap::kProducer, " 1", "PRD", "00").str(), {60});
  Put("ap",
      {WithNulls(Client(" 1", "41", "00"), {30, 127}), WithNulls(Client(" 1", "41", "01"), {19}),
       Client(" 1", "42", "00"), otherAgency, producer});

  const RunOutcome outcome = Run(&ClearNullsClt);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(ReportLines("alpahchg.txt"), (Lines{"Found null at pos 30 on [001000 1    41]",
                                                "Found null at pos 127 on [001000 1    41]",
                                                "Found null at pos 19 on [001000 1    41]"}));
  EXPECT_EQ(Records("ap"),
            (Lines{WithBlanks(Client(" 1", "41", "00"), {30}), Client(" 1", "41", "01"),
                   Client(" 1", "42", "00"), otherAgency, producer}));
  EXPECT_EQ(form->Label3.Caption(), "Done!!");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(ClearApNullsTest, CltVariantWritesEveryRecordOfTheRange) {
  Put("ap", {Client("01", "41", "00"), Client("01", "41", "01"), Client("01", "42", "00"),
             Client("02", "7", "00")});
  AddFault({"AP", FaultOp::kUpdate, 1, 2, 0});  // counts every update, lets none through

  ASSERT_TRUE(Run(&ClearNullsClt).completed);

  EXPECT_EQ(FaultsTriggered(), 3);
  EXPECT_TRUE(ReportLines("alpahchg.txt").empty());
}

TEST_F(ClearApNullsTest, CltVariantNamesTheRecordUpToAZeroByteInItsKey) {
  const std::string broken = WithNulls(Client("01", "42", "00"), {13});
  Put("ap", broken);

  ASSERT_TRUE(Run(&ClearNullsClt).completed);

  EXPECT_EQ(ReportLines("alpahchg.txt"), (Lines{"Found null at pos 13 on [00100001    4 ]"}));
  EXPECT_EQ(Records("ap"), (Lines{broken}));  // its cleaned key names no record
}

TEST_F(ClearApNullsTest, CltVariantShowsBothOpenFailures) {
  const std::string path = DataPath() + "\\AP";

  ASSERT_TRUE(Run(&ClearNullsClt).completed);

  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open Ap file " + path + ", status is 12",
                               "Unable to open Ap2 file " + path + ", status is 12"}));
  EXPECT_TRUE(ReportLines("alpahchg.txt").empty());
  EXPECT_EQ(form->Label3.Caption(), "Done!!");
}

}  // namespace
}  // namespace talvor::testing
