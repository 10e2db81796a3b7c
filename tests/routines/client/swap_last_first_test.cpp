// Swap Last, First on a small site: personal clients' names "LAST, FIRST" rewritten as
// "FIRST LAST" by replacing the record whole, each record met once by the walk, and what
// happens when the replacing writes fail.
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

std::string Client(const std::string& agency, const std::string& number, const std::string& name,
                   const std::string& type = "P", const std::string& line = "00") {
  return ApRecord(ap::kClient, agency, number, line)
      .Set(ap::line00::Alpha, "ALPHA")
      .Set(ap::line00::Name, name)
      .Set(ap::line00::TypeLetter, type)
      .Set(ap::line00::City, "SPRINGFIELD");
}

class SwapLastFirstTest : public SiteTest {
 protected:
  std::string ApPath() const { return DataPath() + "\\ap"; }
};

struct NameCase {
  std::string stored;
  std::string swapped;
};

class SwapNameTest : public SwapLastFirstTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(SwapNameTest, NameIsSwappedAtTheFirstCommaAndCleanedOfDoubledBlanks) {
  Put("ap", Client("01", "42", GetParam().stored));

  const RunOutcome outcome = Run(&SwapLastFirst);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Records("ap"), (Lines{Client("01", "42", GetParam().swapped)}));
  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

INSTANTIATE_TEST_SUITE_P(
    Names, SwapNameTest,
    ::testing::Values(NameCase{"SMITH,  JOHN", "JOHN SMITH"}, NameCase{"SMITH,JOHN", "JOHN SMITH"},
                      NameCase{"SMITH , JOHN Q", "JOHN Q SMITH"},
                      NameCase{"JOHN  SMITH", "JOHN SMITH"}, NameCase{"  JOHN SMITH", "JOHN SMITH"},
                      NameCase{"SMITH, JOHN, JR", "JOHN, JR SMITH"},
                      NameCase{std::string("SMITH, J\0NES", 12), "J SMITH"}, NameCase{"", ""}));

TEST_F(SwapLastFirstTest, OnlyPersonalMainLinesOfEveryAgencyChange) {
  form->edtAgyCode = "01";
  const std::string commercial = Client("01", "41", "ACME, INC", "C");
  const std::string line01 = Client("01", "42", "DOE, JANE", "P", "01");
  const std::string producer = ApRecord(ap::kProducer, "01", "P", "00")
                                   .Set(ap::line00::Name, "ROE, RICHARD")
                                   .Set(ap::line00::TypeLetter, "P");
  Put("ap", {commercial, Client("01", "42", "DOE, JANE"), line01, Client("02", "7", "ROE, RICH"),
             producer});

  ASSERT_TRUE(Run(&SwapLastFirst).completed);

  EXPECT_EQ(Records("ap"), (Lines{commercial, Client("01", "42", "JANE DOE"), line01,
                                  Client("02", "7", "RICH ROE"), producer}));
}

TEST_F(SwapLastFirstTest, EachRecordIsMetOnceThoughItIsInsertedAgainUnderItsKey) {
  Lines stored;
  Lines swappedOnce;
  for (const char* number : {"1", "2", "3", "4", "5"}) {
    stored.push_back(Client("01", number, "A,B,C"));
    swappedOnce.push_back(Client("01", number, "B,C A"));
  }
  Put("ap", stored);

  ASSERT_TRUE(Run(&SwapLastFirst).completed);
  EXPECT_EQ(Records("ap"), swappedOnce);

  ASSERT_TRUE(Run(&SwapLastFirst).completed);  // only names that kept a comma change again
  for (const std::string& r : Records("ap")) {
    EXPECT_EQ(layout::GetField(r, ap::line00::Name), "C A B" + std::string(20, ' '));
  }
}

TEST_F(SwapLastFirstTest, SecondRunLeavesNamesWithoutACommaAsTheyAre) {
  Put("ap", {Client("01", "41", "DOE, JANE"), Client("01", "42", "ROE,  RICH")});
  ASSERT_TRUE(Run(&SwapLastFirst).completed);
  const Lines once = Records("ap");

  ASSERT_TRUE(Run(&SwapLastFirst).completed);

  EXPECT_EQ(Records("ap"), once);
  EXPECT_EQ(once, (Lines{Client("01", "41", "JANE DOE"), Client("01", "42", "RICH ROE")}));
}

TEST_F(SwapLastFirstTest, FailedDeleteIsMadeGoodByUpdatingInPlace) {
  Put("ap", {Client("01", "41", "DOE, JANE"), Client("01", "42", "ROE, RICH")});
  AddFault({"ap", FaultOp::kDelete, 1, 2, 1});

  ASSERT_TRUE(Run(&SwapLastFirst).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_EQ(Records("ap"), (Lines{Client("01", "41", "JANE DOE"), Client("01", "42", "RICH ROE")}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(SwapLastFirstTest, FailedInsertAfterTheDeleteIsShownAndTheLinePutBack) {
  Put("ap", {Client("01", "41", "DOE, JANE"), Client("01", "42", "ROE, RICH")});
  AddFault({"ap", FaultOp::kInsert, 1, 85, 1});

  ASSERT_TRUE(Run(&SwapLastFirst).completed);

  EXPECT_EQ(fe.Notes(), (Lines{"(00) Unable to update ap1 file " + ApPath() + ", status is 8"}));
  EXPECT_EQ(Records("ap"),
            (Lines{Client("01", "41", "DOE, JANE"), Client("01", "42", "RICH ROE")}));
}

TEST_F(SwapLastFirstTest, LineThatCannotBePutBackIsNamed) {
  Put("ap", {Client("01", "41", "DOE, JANE"), Client("01", "42", "ROE, RICH")});
  AddFault({"ap", FaultOp::kInsert, 1, 85, 2});

  ASSERT_TRUE(Run(&SwapLastFirst).completed);

  EXPECT_EQ(fe.Notes(), (Lines{"(00) Unable to update ap1 file " + ApPath() + ", status is 8",
                               "Unable to put back ap record [00100001    4100], status is 85"}));
  EXPECT_EQ(Records("ap"), (Lines{Client("01", "42", "RICH ROE")}));
}

TEST_F(SwapLastFirstTest, FailedReadbackNeverOverwritesTheLineWrittenBefore) {
  Put("ap", {Client("01", "41", "DOE, JANE"), Client("01", "42", "ROE, RICH")});
  AddFault({"ap", FaultOp::kRead, 4, 2, 1});  // the second line's readback

  ASSERT_TRUE(Run(&SwapLastFirst).completed);

  EXPECT_EQ(fe.Notes(), (Lines{"(00) Unable to update ap1 file " + ApPath() + ", status is 5"}));
  EXPECT_EQ(Records("ap"),
            (Lines{Client("01", "41", "JANE DOE"), Client("01", "42", "ROE, RICH")}));
}

TEST_F(SwapLastFirstTest, UnopenedFileIsShownForBothHandles) {
  const RunOutcome outcome = Run(&SwapLastFirst);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open ap file " + ApPath() + ", status is 12",
                               "Unable to open ap2 file " + ApPath() + ", status is 12"}));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

}  // namespace
}  // namespace talvor::testing
