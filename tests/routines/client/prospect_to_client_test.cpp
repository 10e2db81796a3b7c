// Prospect to Client on a small site: client lines "01" from the typed agency onwards marked
// "C", the start key built from the agency code as typed, and nothing else changed.
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

std::string Line01(const std::string& agency, const std::string& number,
                   const std::string& type = "P") {
  return ApRecord(ap::kClient, agency, number, "01")
      .Set(ap::client01::Underwriter, "  A")
      .Set(ap::client01::CltTypeLetter, type)
      .Set(ap::client01::Line01Flag, "Y");
}

std::string Line00(const std::string& agency, const std::string& number) {
  return ApRecord(ap::kClient, agency, number, "00")
      .Set(ap::line00::Name, "PROSPECT")
      .Set(ap::line00::TypeLetter, "P");
}

class ProspectToClientTest : public SiteTest {
 protected:
  std::string ApPath() const { return DataPath() + "\\ap"; }
};

TEST_F(ProspectToClientTest, LinesFromTheTypedAgencyOnAreMarkedAsClients) {
  form->edtAgyCode = "02";
  const std::string producer =
      ApRecord(ap::kProducer, "02", "P", "01").Set(ap::client01::CltTypeLetter, "P");
  Put("ap", {Line01(" 1", "5"), Line01("01", "41"), Line00("02", "7"), Line01("02", "7"),
             Line01("02", "8", "B"), Line01("10", "9"), producer});
  Sql("insert into Customer (AgyCode, Number, CustType) values ('02', '     7', 2)");

  const RunOutcome outcome = Run(&ProspectToClient);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Records("ap"),
            (Lines{Line01(" 1", "5"), Line01("01", "41"), Line00("02", "7"), Line01("02", "7", "C"),
                   Line01("02", "8", "C"), Line01("10", "9", "C"), producer}));
  EXPECT_EQ(Value("select CustType from Customer"), "2");
  EXPECT_EQ(fe.Statuses(), (Lines{"running.....", "Done, select another option"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(ProspectToClientTest, SingleTypedDigitStartsAfterAgenciesBeginningWithZeroOrBlank) {
  form->edtAgyCode = "1";
  Put("ap", {Line01(" 1", "5"), Line01("01", "41"), Line01("09", "6"), Line01("10", "9"),
             Line01("1A", "3")});

  ASSERT_TRUE(Run(&ProspectToClient).completed);

  EXPECT_EQ(Records("ap"), (Lines{Line01(" 1", "5"), Line01("01", "41"), Line01("09", "6"),
                                  Line01("10", "9", "C"), Line01("1A", "3", "C")}));
}

TEST_F(ProspectToClientTest, LineAlreadyMarkedIsWrittenAgainUnchanged) {
  Put("ap", {Line01("01", "41", "C"), Line01("01", "42")});
  AddFault({"ap", FaultOp::kUpdate, 1, 2, 0});  // counts every update, lets none through

  ASSERT_TRUE(Run(&ProspectToClient).completed);

  EXPECT_EQ(FaultsTriggered(), 2);
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(ProspectToClientTest, FailedReadbackSkipsTheLineSilently) {
  Put("ap", {Line01("01", "41"), Line01("01", "42")});
  AddFault({"ap", FaultOp::kRead, 2, 2, 1});  // the first readback

  ASSERT_TRUE(Run(&ProspectToClient).completed);

  EXPECT_EQ(Records("ap"), (Lines{Line01("01", "41"), Line01("01", "42", "C")}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(ProspectToClientTest, UnopenedFileIsShownForBothHandles) {
  const RunOutcome outcome = Run(&ProspectToClient);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open ap file " + ApPath() + ", status is 12",
                               "Unable to open ap2 file " + ApPath() + ", status is 12"}));
  EXPECT_EQ(fe.Statuses(), (Lines{"running.....", "Done, select another option"}));
}

}  // namespace
}  // namespace talvor::testing
