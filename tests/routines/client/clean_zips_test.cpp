// Clean Zips on a small site: partial and "0000" ZIP extensions of the "ap" client lines
// "00" blanked, the nine-character ZIP copied to Customer, each case in "ZipExtScan.txt".
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
using Table = std::vector<std::vector<std::string>>;

// A line with `fill` in every byte after the key and kind copy, and `zip9` at 117-125.
std::string Line(std::string_view recType, const std::string& agency, const std::string& number,
                 const std::string& line, const std::string& zip9) {
  std::string record(ap::kRecordLength, 'q');
  layout::SetField(record, ap::Key, layout::ApKey(recType, agency, number, line));
  layout::SetField(record, ap::RecTypeCopy, recType);
  layout::SetField(record, ap::line00::ZipNine, zip9);
  return record;
}

std::string ClientLine00(const std::string& agency, const std::string& number,
                         const std::string& zip9) {
  return Line(ap::kClient, agency, number, "00", zip9);
}

class CleanZipsTest : public testing::SiteTest {
 protected:
  void AddCustomer(const std::string& agency, const std::string& number) {
    Sql("INSERT INTO Customer (AgyCode, Number, Zip) VALUES ('" + agency + "', '" + number +
        "', 'OLD')");
  }
  Table Zips() {
    return Rows("SELECT AgyCode, Number, Zip FROM Customer ORDER BY AgyCode, Number");
  }
  std::string ApPath() const { return DataPath() + "\\ap"; }
};

struct ExtensionCase {
  std::string stored;  // bytes 122-125
  bool cleaned;
  std::string reported;  // between the second pair of brackets
};

void PrintTo(const ExtensionCase& c, std::ostream* os) {
  *os << "[" << c.stored << "]";
}

class CleanZipsExtensionTest : public CleanZipsTest,
                               public ::testing::WithParamInterface<ExtensionCase> {};

TEST_P(CleanZipsExtensionTest, CleansOnlyPartialAndAllZeroExtensions) {
  const ExtensionCase& c = GetParam();
  const std::string line00 = ClientLine00("01", "42", "12345" + c.stored);
  Put("ap", line00);
  AddCustomer("01", "    42");

  const RunOutcome outcome = Run(&CleanZips);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  if (c.cleaned) {
    EXPECT_EQ(ReportLines("ZipExtScan.txt"),
              (std::vector<std::string>{"[00100001    4200] [" + c.reported + "]"}));
    EXPECT_EQ(Records("ap"), (std::vector<std::string>{ClientLine00("01", "42", "12345    ")}));
    EXPECT_EQ(Zips(), (Table{{"01", "    42", "12345    "}}));
  } else {
    EXPECT_TRUE(ReportLines("ZipExtScan.txt").empty());
    EXPECT_EQ(Records("ap"), (std::vector<std::string>{line00}));
    EXPECT_EQ(Zips(), (Table{{"01", "    42", "OLD"}}));
  }
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
  EXPECT_TRUE(fe.Notes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, CleanZipsExtensionTest,
    ::testing::Values(ExtensionCase{"1   ", true, "1"}, ExtensionCase{"12  ", true, "12"},
                      ExtensionCase{"  12", true, "12"}, ExtensionCase{"123 ", true, "123"},
                      ExtensionCase{"0000", true, "0000"}, ExtensionCase{"1234", false, ""},
                      ExtensionCase{"0001", false, ""}, ExtensionCase{"    ", false, ""}));

TEST_F(CleanZipsTest, EveryAgencyIsCleanedAndOnlyClientMainLinesAreExamined) {
  form->edtAgyCode = "01";
  const std::string otherAgency = ClientLine00(" 2", "7", "777770000");
  const std::string line01 = Line(ap::kClient, "01", "42", "01", "111110000");
  const std::string producer = Line(ap::kProducer, "01", "PRD", "00", "222220000");
  Put("ap", {otherAgency, ClientLine00("01", "42", "4242412  "), line01, producer});
  AddCustomer(" 2", "     7");
  AddCustomer("01", "    42");

  ASSERT_TRUE(Run(&CleanZips).completed);

  EXPECT_EQ(ReportLines("ZipExtScan.txt"),
            (std::vector<std::string>{"[001000 2     700] [0000]", "[00100001    4200] [12]"}));
  EXPECT_EQ(Records("ap"),
            (std::vector<std::string>{ClientLine00(" 2", "7", "77777    "),
                                      ClientLine00("01", "42", "42424    "), line01, producer}));
  EXPECT_EQ(Zips(), (Table{{" 2", "     7", "77777    "}, {"01", "    42", "42424    "}}));
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"001000 2     700", "00100001    4200",
                                                     "Done, select another option"}));
}

TEST_F(CleanZipsTest, SecondRunFindsNothingAndLeavesAnEmptyReport) {
  Put("ap", {ClientLine00("01", "42", "4242412  "), ClientLine00("01", "43", "434340000")});
  AddCustomer("01", "    42");
  AddCustomer("01", "    43");

  ASSERT_TRUE(Run(&CleanZips).completed);
  ASSERT_EQ(ReportLines("ZipExtScan.txt").size(), 2U);
  const auto records = Records("ap");

  ASSERT_TRUE(Run(&CleanZips).completed);
  EXPECT_TRUE(ReportLines("ZipExtScan.txt").empty());
  EXPECT_EQ(Records("ap"), records);
}

TEST_F(CleanZipsTest, ClientWithoutRowIsListedAndItsRecordStillCleaned) {
  Put("ap", ClientLine00("01", "44", "444440000"));

  ASSERT_TRUE(Run(&CleanZips).completed);

  EXPECT_EQ(
      ReportLines("ZipExtScan.txt"),
      (std::vector<std::string>{"[00100001    4400] [0000]", "table locate failed [01][    44]"}));
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{ClientLine00("01", "44", "44444    ")}));
}

TEST_F(CleanZipsTest, FailedReadbackIsListedAndNothingIsChangedForThatClient) {
  const std::string first = ClientLine00("01", "42", "4242412  ");
  Put("ap", {first, ClientLine00("01", "43", "434340000")});
  AddCustomer("01", "    42");
  AddCustomer("01", "    43");
  AddFault({"ap", FaultOp::kRead, 2, 2, 1});  // after the walk's first read

  ASSERT_TRUE(Run(&CleanZips).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_EQ(ReportLines("ZipExtScan.txt"),
            (std::vector<std::string>{"[00100001    4200] [12]",
                                      "status 2 on readback of 00100001    4200",
                                      "[00100001    4300] [0000]"}));
  EXPECT_EQ(Records("ap"),
            (std::vector<std::string>{first, ClientLine00("01", "43", "43434    ")}));
  EXPECT_EQ(Zips(), (Table{{"01", "    42", "OLD"}, {"01", "    43", "43434    "}}));
}

TEST_F(CleanZipsTest, FailedUpdateIsNotListedAndTheRowIsStillSet) {
  const std::string line00 = ClientLine00("01", "42", "4242412  ");
  Put("ap", line00);
  AddCustomer("01", "    42");
  AddFault({"ap", FaultOp::kUpdate, 1, 2, 1});

  ASSERT_TRUE(Run(&CleanZips).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_EQ(ReportLines("ZipExtScan.txt"), (std::vector<std::string>{"[00100001    4200] [12]"}));
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{line00}));
  EXPECT_EQ(Zips(), (Table{{"01", "    42", "42424    "}}));
}

TEST_F(CleanZipsTest, MissingFileIsShownForBothHandles) {
  AddCustomer("01", "    42");

  ASSERT_TRUE(Run(&CleanZips).completed);

  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open ap file " + ApPath() + ", status is 12",
                                      "Unable to open ap2 file " + ApPath() + ", status is 12"}));
  EXPECT_TRUE(ReportLines("ZipExtScan.txt").empty());
  EXPECT_EQ(Zips(), (Table{{"01", "    42", "OLD"}}));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

TEST_F(CleanZipsTest, UnknownAliasEndsTheRunBeforeTheReportIsCreated) {
  Put("ap", ClientLine00("01", "42", "4242412  "));
  form->edtODBCName = "NOSUCHDB";

  const RunOutcome outcome = Run(&CleanZips);

  EXPECT_FALSE(outcome.completed);
  EXPECT_FALSE(FileExists("ZipExtScan.txt"));
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{ClientLine00("01", "42", "4242412  ")}));
}

}  // namespace
}  // namespace talvor
