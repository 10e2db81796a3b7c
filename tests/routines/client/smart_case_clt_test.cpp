// SmartCase CLT on a small site: the agency's Customer names and addresses mixed-cased, the
// same values carried into "ap" line "00" (created where missing), other agencies untouched,
// and the filter on the client component gone after the run.
#include <filesystem>
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/fault_injection.h"
#include "routines/client/client_routines.h"
#include "shell/text/text.h"
#include "tests/routines/client/ap_test_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace ap = layout::ap;
namespace line00 = layout::ap::line00;
using Table = std::vector<std::vector<std::string>>;

class SmartCaseCltTest : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    CreateFile("ap");
  }
  void Add(const std::string& agency, const std::string& number, const std::string& name,
           const std::string& state = "CA", const std::string& zip = "92401-1234") {
    Sql("insert into Customer (AgyCode, Number, Name, DBA, Address1, Address2, City, State, "
        "Zip) values (" +
        SqlQuote(agency) + ", " + SqlQuote(number) + ", " + SqlQuote(name) +
        ", '', '12 MAIN ST', 'PO BOX 12', 'SAN BERNARDINO HEIGHTS', " + SqlQuote(state) + ", " +
        SqlQuote(zip) + ")");
  }
  Table Customers() const {
    return Rows(
        "select AgyCode, Number, Name, DBA, Address1, Address2, City, State, Zip from Customer "
        "order by rowid");
  }
  std::string ApPath() const { return DataPath() + "\\ap"; }
};

TEST_F(SmartCaseCltTest, ExistingLineGetsCasedNameAddressCityAndStateOnly) {
  std::string old00(ap::kRecordLength, 'q');
  layout::SetField(old00, ap::Key, layout::ApKey(ap::kClient, "01", "42", "00"));
  layout::SetField(old00, ap::RecTypeCopy, "001");
  layout::SetField(old00, line00::Alpha, "*MCDON");
  Put("ap", old00);
  Add("01", "    42", "JOHN MCDONALD PHD", "C");
  Sql("update Customer set DBA = 'ACME LLC'");

  const RunOutcome outcome = Run(&SmartCaseClt);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Customers(), (Table{{"01", "    42", "John McDonald PhD", "Acme LLC", "12 Main St",
                                 "PO Box 12", "San Bernardino Heights", "C", "92401-1234"}}));
  std::string want = old00;
  layout::SetField(want, line00::Name, "John McDonald PhD");
  layout::SetField(want, line00::Address1, "12 Main St");
  layout::SetField(want, line00::Address2, "PO Box 12");
  layout::SetField(want, line00::City, "San Bernardino");
  layout::SetField(want, line00::State, "C ");
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{want}));
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"01:    42:JOHN MCDONALD PHD", "Done!!"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(SmartCaseCltTest, MissingLineIsCreatedWithAlphaTypeZipAndMethods) {
  Add("01", "    42", "  O'BRIEN, AL", "TXS", "92401-12345");

  ASSERT_TRUE(Run(&SmartCaseClt).completed);

  const std::string want = std::string("001000") + "01" + "    42" + "00" + "001" + "O'BRIE" +
                           "O'Brien, AL              " + "C" + "12 Main St               " +
                           "PO Box 12                " + "San Bernardino" + "TX" + "92401-123" +
                           "OB";
  ASSERT_EQ(want.size(), 128U);
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{want}));
  EXPECT_EQ(Customers()[0][2], "O'Brien, AL");
}

TEST_F(SmartCaseCltTest, OneCharacterStateIsPaddedOnTheRightOnANewLine) {
  Add("01", "    42", "SMITH", " T");

  ASSERT_TRUE(Run(&SmartCaseClt).completed);

  ASSERT_EQ(Records("ap").size(), 1U);
  EXPECT_EQ(layout::GetField(Records("ap")[0], line00::State), "T ");
}

TEST_F(SmartCaseCltTest, OnlyTheTypedAgencyIsTouchedInBothStores) {
  form->edtAgyCode = "01";
  Add("02", "    42", "OTHER AGENCY");
  Add("01", "    43", "OUR CLIENT");

  ASSERT_TRUE(Run(&SmartCaseClt).completed);

  const Table rows = Customers();
  EXPECT_EQ(rows[0][2], "OTHER AGENCY");
  EXPECT_EQ(rows[0][4], "12 MAIN ST");
  EXPECT_EQ(rows[1][2], "Our Client");
  ASSERT_EQ(Records("ap").size(), 1U);
  EXPECT_EQ(Records("ap")[0].substr(0, 16), "00100001    4300");
}

TEST_F(SmartCaseCltTest, AgencyCodeHoldingAQuoteStillFormsAValidFilter) {
  form->edtAgyCode = "0'";
  Add("0'", "    42", "QUOTED AGENCY");
  Add("01", "    43", "OUR CLIENT");

  const RunOutcome outcome = Run(&SmartCaseClt);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Customers()[0][2], "Quoted Agency");
  EXPECT_EQ(Customers()[1][2], "OUR CLIENT");
}

TEST_F(SmartCaseCltTest, TheFilterDoesNotReachTheNextRoutine) {
  Add("02", "     7", "OTHER AGENCY");
  Add("01", "    42", "OUR CLIENT");

  ASSERT_TRUE(Run(&SmartCaseClt).completed);
  EXPECT_FALSE(form->tblClients.Filtered());
  ASSERT_TRUE(Run(&CustToAp).completed);

  std::vector<std::string> keys;
  for (const std::string& r : Records("ap")) keys.push_back(r.substr(0, 16));
  EXPECT_EQ(keys, (std::vector<std::string>{"00100001    4200", "00100001    4201",
                                            "00100002     700", "00100002     701"}));
}

TEST_F(SmartCaseCltTest, SecondRunGivesTheSameResult) {
  Add("01", "    42", "JOHN MCDONALD PHD");
  ASSERT_TRUE(Run(&SmartCaseClt).completed);
  const auto records = Records("ap");
  const Table rows = Customers();

  ASSERT_TRUE(Run(&SmartCaseClt).completed);

  EXPECT_EQ(Records("ap"), records);
  EXPECT_EQ(Customers(), rows);
}

TEST_F(SmartCaseCltTest, UnopenedFileIsShownAndTheRowsAreStillCased) {
  std::filesystem::remove(std::filesystem::path(DataPath()) / "ap");
  Add("01", "    42", "JOHN SMITH");

  const RunOutcome outcome = Run(&SmartCaseClt);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open ap file " + ApPath() + ", status is 12"}));
  EXPECT_EQ(Customers()[0][2], "John Smith");
  EXPECT_EQ(form->Label3.Caption(), "Done!!");
}

TEST_F(SmartCaseCltTest, FailedInsertPassesSilentlyAndTheWalkGoesOn) {
  Add("01", "    42", "JOHN SMITH");
  Add("01", "    43", "JANE SMITH");
  AddFault({"ap", FaultOp::kInsert, 1, 2, 1});

  ASSERT_TRUE(Run(&SmartCaseClt).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  ASSERT_EQ(Records("ap").size(), 1U);
  EXPECT_EQ(Records("ap")[0].substr(0, 16), "00100001    4300");
  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_EQ(Customers()[0][2], "John Smith");
}

}  // namespace
}  // namespace talvor::testing
