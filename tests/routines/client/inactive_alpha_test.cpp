// Inactive Alpha on a small site: the "*" of the "ap" client alpha made to agree with
// Customer.ActiveStatus for the agency of the Agency Code box; "InActClt.txt" lists each
// client examined.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/fault_injection.h"
#include "routines/client/client_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

namespace ap = layout::ap;

// A client line "00" with `alpha` and `name`, and 'q' in every other byte after the key.
std::string ClientLine00(const std::string& agency, const std::string& number,
                         const std::string& alpha, const std::string& name = "LEGACY NAME") {
  std::string record(ap::kRecordLength, 'q');
  layout::SetField(record, ap::Key, layout::ApKey(ap::kClient, agency, number, "00"));
  layout::SetField(record, ap::RecTypeCopy, ap::kClient);
  layout::SetField(record, ap::line00::Alpha, alpha);
  layout::SetField(record, ap::line00::Name, name);
  return record;
}

class InactiveAlphaTest : public testing::SiteTest {
 protected:
  void AddCustomer(const std::string& agency, const std::string& number, const std::string& name,
                   const std::string& active) {
    Sql("INSERT INTO Customer (AgyCode, Number, Name, ActiveStatus) VALUES ('" + agency + "', '" +
        number + "', '" + name + "', '" + active + "')");
  }
  std::string ApPath() const { return DataPath() + "\\ap"; }
  std::string WillOpen() const { return "Will Open [" + ApPath() + "]"; }
};

TEST_F(InactiveAlphaTest, BothPassesWriteTheirLinesAndCorrectTheMarks) {
  Put("ap", {ClientLine00("01", "42", "SMITH "), ClientLine00("01", "43", "*ONES "),
             ClientLine00("01", "50", "*ROWN "), ClientLine00("01", "51", "GREEN "),
             ClientLine00("02", "42", "OTHER ")});
  AddCustomer("01", "    42", "Smith", "N");
  AddCustomer("01", "    43", "Jones", "N");
  AddCustomer("01", "    44", "Nofile", "N");
  AddCustomer("01", "    50", "Brown", "Y");
  AddCustomer("01", "    51", "Green", "Y");
  AddCustomer("01", "    52", "Nofile", "Y");
  AddCustomer("02", "    42", "Other", "N");

  const RunOutcome outcome = Run(&InactiveAlpha);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(
      ReportLines("InActClt.txt"),
      (std::vector<std::string>{
          WillOpen(),
          "Testing [01][    42][00100001    4200] ERROR Inactive [00100001    4200] has alpha of "
          "[SMITH ]",
          " =====>Corrected!",
          "Testing [01][    43][00100001    4300] CORRECT Inactive [00100001    4300] has alpha of "
          "[*ONES ]",
          "Testing [01][    44][00100001    4400] status (4) on reading [00100001    4400]",
          "Testing [01][    50][00100001    5000]Active [00100001    5000] has alpha of [*ROWN ]",
          " =====>Corrected!",
          "Testing [01][    51][00100001    5100] CORRECT Active [00100001    5100] has alpha of "
          "[GREEN ]",
          "Testing [01][    52][00100001    5200]status (4) on reading [00100001    5200]"}));
  EXPECT_EQ(Records("ap"),
            (std::vector<std::string>{
                ClientLine00("01", "42", "*MITH "), ClientLine00("01", "43", "*ONES "),
                ClientLine00("01", "50", "BROWN "), ClientLine00("01", "51", "GREEN "),
                ClientLine00("02", "42", "OTHER ")}));
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{
                               "Running first query...", "00100001    4200", "00100001    4300",
                               "00100001    4400", "Running second query...", "00100001    5000",
                               "00100001    5100", "00100001    5200", "Done"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(InactiveAlphaTest, ShortNumbersAndAOneCharacterAgencyAreRightJustifiedInTheKey) {
  form->edtAgyCode = "1";
  Put("ap", ClientLine00(" 1", "123", "ABCDEF"));
  AddCustomer(" 1", "123", "Abc", "N");

  ASSERT_TRUE(Run(&InactiveAlpha).completed);

  EXPECT_EQ(ReportLines("InActClt.txt"),
            (std::vector<std::string>{WillOpen(),
                                      "Testing [ 1][   123][001000 1   12300] ERROR Inactive "
                                      "[001000 1   12300] has alpha of [ABCDEF]",
                                      " =====>Corrected!"}));
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{ClientLine00(" 1", "123", "*BCDEF")}));
}

TEST_F(InactiveAlphaTest, SecondRunFindsEveryMarkRight) {
  Put("ap", {ClientLine00("01", "42", "SMITH "), ClientLine00("01", "50", "*ROWN ")});
  AddCustomer("01", "    42", "Smith", "N");
  AddCustomer("01", "    50", "Brown", "Y");

  ASSERT_TRUE(Run(&InactiveAlpha).completed);
  const auto records = Records("ap");
  ASSERT_TRUE(Run(&InactiveAlpha).completed);

  EXPECT_EQ(Records("ap"), records);
  EXPECT_EQ(ReportLines("InActClt.txt"),
            (std::vector<std::string>{WillOpen(),
                                      "Testing [01][    42][00100001    4200] CORRECT Inactive "
                                      "[00100001    4200] has alpha of [*MITH ]",
                                      "Testing [01][    50][00100001    5000] CORRECT Active "
                                      "[00100001    5000] has alpha of [BROWN ]"}));
}

struct RestoreCase {
  std::string sqlName;
  std::string legacyName;
  std::string restored;  // the alpha afterwards
  bool corrected;        // whether an update (and its second line) happened
};

void PrintTo(const RestoreCase& c, std::ostream* os) {
  *os << "name [" << c.sqlName << "] line name [" << c.legacyName << "]";
}

class InactiveAlphaRestoreTest : public InactiveAlphaTest,
                                 public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(InactiveAlphaRestoreTest, ActiveClientGetsTheFirstCharacterOfItsName) {
  const RestoreCase& c = GetParam();
  Put("ap", ClientLine00("01", "50", "*ROWN ", c.legacyName));
  AddCustomer("01", "    50", c.sqlName, "Y");

  ASSERT_TRUE(Run(&InactiveAlpha).completed);

  std::vector<std::string> expected{
      WillOpen(),
      "Testing [01][    50][00100001    5000]Active [00100001    5000] has alpha of [*ROWN ]"};
  if (c.corrected) expected.push_back(" =====>Corrected!");
  EXPECT_EQ(ReportLines("InActClt.txt"), expected);
  EXPECT_EQ(Records("ap"),
            (std::vector<std::string>{ClientLine00("01", "50", c.restored, c.legacyName)}));
}

INSTANTIATE_TEST_SUITE_P(
    Names, InactiveAlphaRestoreTest,
    ::testing::Values(RestoreCase{"Brown", "BROWN", "BROWN ", true},
                      RestoreCase{"brown", "BROWN", "bROWN ", true},  // taken as it stands
                      RestoreCase{"  Brown", "", "BROWN ", true},     // leading blanks skipped
                      RestoreCase{"", "DROWN", "DROWN ", true},       // the line's own name
                      RestoreCase{"   ", "", "*ROWN ", false}));      // nothing to restore

TEST_F(InactiveAlphaTest, FailedUpdateIsListedInEitherPass) {
  const std::string inactive = ClientLine00("01", "42", "SMITH ");
  const std::string active = ClientLine00("01", "50", "*ROWN ");
  Put("ap", {inactive, active});
  AddCustomer("01", "    42", "Smith", "N");
  AddCustomer("01", "    50", "Brown", "Y");
  AddFault({"ap", FaultOp::kUpdate, 1, 2, 2});

  ASSERT_TRUE(Run(&InactiveAlpha).completed);

  EXPECT_EQ(FaultsTriggered(), 2);
  EXPECT_EQ(
      ReportLines("InActClt.txt"),
      (std::vector<std::string>{
          WillOpen(),
          "Testing [01][    42][00100001    4200] ERROR Inactive [00100001    4200] has alpha of "
          "[SMITH ]",
          " =====>ERROR!! status (2) on reading [00100001    4200] to Correct",
          "Testing [01][    50][00100001    5000]Active [00100001    5000] has alpha of [*ROWN ]",
          " =====>ERROR!! status (2) on reading [00100001    5000] to Correct"}));
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{inactive, active}));
}

TEST_F(InactiveAlphaTest, MissingFileIsShownAndEveryClientGetsItsReadFailure) {
  AddCustomer("01", "    42", "Smith", "N");
  AddCustomer("01", "    50", "Brown", "Y");

  ASSERT_TRUE(Run(&InactiveAlpha).completed);

  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open ap file " + ApPath() + ", status is 12"}));
  EXPECT_EQ(ReportLines("InActClt.txt"),
            (std::vector<std::string>{
                WillOpen(),
                "Testing [01][    42][00100001    4200] status (3) on reading [00100001    4200]",
                "Testing [01][    50][00100001    5000]status (3) on reading [00100001    5000]"}));
  EXPECT_EQ(form->Label3.Caption(), "Done");
}

TEST_F(InactiveAlphaTest, AgencyCodeWithAnApostropheIsQuotedAndSelectsNothing) {
  form->edtAgyCode = "'";
  AddCustomer("01", "    42", "Smith", "N");

  const RunOutcome outcome = Run(&InactiveAlpha);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(ReportLines("InActClt.txt"), (std::vector<std::string>{WillOpen()}));
}

}  // namespace
}  // namespace talvor
