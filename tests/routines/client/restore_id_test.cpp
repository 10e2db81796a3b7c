// Restore ID on a small site: tax numbers of "fed_id.txt" written into Customer.TaxID, every
// line logged in "fed_id.log" (short and blank lines too), the placeholder for unknown
// numbers, and a missing input file or one that is not text refused before anything is
// written.
#include <filesystem>
#include <string>
#include <vector>

#include "routines/client/client_routines.h"
#include "shell/text/text.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;
using Table = std::vector<std::vector<std::string>>;

// A line of the input file: agency in positions 1-2, client number in 11-16, tax number in
// 20-34.
std::string TaxLine(const std::string& agency, const std::string& number, const std::string& tax) {
  return PadRight(agency, 10) + PadRight(number, 6) + "   " + PadRight(tax, 15);
}

std::string CrLf(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

class RestoreIdTest : public SiteTest {
 protected:
  void AddRow(const std::string& agency, const std::string& number, const std::string& taxId) {
    Sql("insert into Customer (AgyCode, Number, TaxID) values ('" + agency + "', '" + number +
        "', '" + taxId + "')");
  }
  Table TaxIds() const {
    return Rows("select AgyCode, Number, TaxID from Customer order by rowid");
  }
};

TEST_F(RestoreIdTest, EachLineUpdatesItsClientOrIsLoggedAsNotFound) {
  AddRow("01", "    42", "");
  AddRow("02", "    42", "");
  WriteFile("fed_id.txt",
            CrLf({TaxLine("01", "    42", "  12-3456789"), TaxLine("01", "    43", "98-7654321")}));

  const RunOutcome outcome = Run(&RestoreId);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(ReportLines("fed_id.log"), (Lines{"UPDATED     (01)(    42)(12-3456789)",
                                              "DID NOT FIND(01)(    43)(98-7654321)"}));
  EXPECT_EQ(TaxIds(), (Table{{"01", "    42", "12-3456789"}, {"02", "    42", ""}}));
  EXPECT_EQ(fe.Statuses(), (Lines{"1/    42", "2/    43", "Done!"}));
}

TEST_F(RestoreIdTest, ShortClientNumberIsRightJustifiedAndAgencyTakenAsItStands) {
  AddRow("01", "    42", "");
  AddRow(" 1", "     7", "");
  WriteFile("fed_id.txt", CrLf({TaxLine("01", "42", "11-1111111"), TaxLine("1", "7", "22-2"),
                                TaxLine(" 1", "7", "33-3333333")}));

  ASSERT_TRUE(Run(&RestoreId).completed);

  EXPECT_EQ(ReportLines("fed_id.log"),
            (Lines{"UPDATED     (01)(    42)(11-1111111)", "DID NOT FIND(1 )(     7)(22-2)",
                   "UPDATED     ( 1)(     7)(33-3333333)"}));
  EXPECT_EQ(TaxIds(), (Table{{"01", "    42", "11-1111111"}, {" 1", "     7", "33-3333333"}}));
}

class RestoreIdPlaceholderTest : public RestoreIdTest,
                                 public ::testing::WithParamInterface<std::string> {};

TEST_P(RestoreIdPlaceholderTest, UnknownTaxNumberWritesThePlaceholder) {
  AddRow("01", "    42", "12-3456789");
  WriteFile("fed_id.txt", CrLf({TaxLine("01", "    42", GetParam())}));

  ASSERT_TRUE(Run(&RestoreId).completed);

  EXPECT_EQ(ReportLines("fed_id.log"), (Lines{"UPDATED     (01)(    42)(00-0000000)"}));
  EXPECT_EQ(TaxIds(), (Table{{"01", "    42", "00-0000000"}}));
}

INSTANTIATE_TEST_SUITE_P(Unknown, RestoreIdPlaceholderTest,
                         ::testing::Values("", "(NULL)", "  -  ", "   (NULL)"));

TEST_F(RestoreIdTest, SeveralLinesForOneClientLastOneWins) {
  AddRow("01", "    42", "");
  WriteFile("fed_id.txt",
            CrLf({TaxLine("01", "    42", "11-1111111"), TaxLine("01", "    42", "22-2222222")}));

  ASSERT_TRUE(Run(&RestoreId).completed);

  EXPECT_EQ(ReportLines("fed_id.log").size(), 2U);
  EXPECT_EQ(TaxIds(), (Table{{"01", "    42", "22-2222222"}}));
}

TEST_F(RestoreIdTest, LineFeedsAndBlankLinesAreReadAndEveryLineIsLogged) {
  AddRow("01", "    42", "");
  AddRow("01", "    43", "");
  // The first line ends right after its tax number; the file uses bare line feeds and holds
  // an empty and a blank line, each a line without a client.
  WriteFile("fed_id.txt",
            "01        42       11-1111111\n\n   \n" + TaxLine("01", "43", "22-2222222") + "\n");

  ASSERT_TRUE(Run(&RestoreId).completed);

  EXPECT_EQ(
      ReportLines("fed_id.log"),
      (Lines{"UPDATED     (01)(    42)(11-1111111)", "DID NOT FIND()(      )(00-0000000)",
             "DID NOT FIND(  )(      )(00-0000000)", "UPDATED     (01)(    43)(22-2222222)"}));
  EXPECT_EQ(fe.Statuses(), (Lines{"1/    42", "2/      ", "3/      ", "4/    43", "Done!"}));
}

TEST_F(RestoreIdTest, ShortLinesGiveShortFields) {
  AddRow("01", "    42", "12-3456789");
  AddRow("01", "    43", "");
  WriteFile("fed_id.txt",
            CrLf({
                "01        42",                   // ends before the tax number: the placeholder
                "01        43       98-76",       // ends inside the tax number
                "0123456789",                     // ten characters: no client number
                "01",                             // shorter still
                TaxLine("01", "", "55-5555555"),  // a tax number but no client number
            }));

  const RunOutcome outcome = Run(&RestoreId);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(ReportLines("fed_id.log"),
            (Lines{"UPDATED     (01)(    42)(00-0000000)", "UPDATED     (01)(    43)(98-76)",
                   "DID NOT FIND(01)(      )(00-0000000)", "DID NOT FIND(01)(      )(00-0000000)",
                   "DID NOT FIND(01)(      )(55-5555555)"}));
  EXPECT_EQ(TaxIds(), (Table{{"01", "    42", "00-0000000"}, {"01", "    43", "98-76"}}));
  EXPECT_EQ(fe.Statuses(),
            (Lines{"1/    42", "2/    43", "3/      ", "4/      ", "5/      ", "Done!"}));
}

TEST_F(RestoreIdTest, MissingInputFileEndsTheRunBeforeTheLogIsCreated) {
  AddRow("01", "    42", "12-3456789");

  const RunOutcome outcome = Run(&RestoreId);

  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("Unable to read fed_id.txt"), std::string::npos) << outcome.error;
  EXPECT_EQ(fe.Errors(), (Lines{outcome.error}));
  EXPECT_FALSE(FileExists("fed_id.log"));
  EXPECT_EQ(TaxIds(), (Table{{"01", "    42", "12-3456789"}}));
}

TEST_F(RestoreIdTest, UnreadableInputFileEndsTheRunBeforeTheLogIsCreated) {
  AddRow("01", "    42", "12-3456789");
  std::filesystem::create_directory("fed_id.txt");

  const RunOutcome outcome = Run(&RestoreId);

  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(outcome.error, "Unable to read fed_id.txt past line 0; nothing was changed");
  EXPECT_FALSE(FileExists("fed_id.log"));
  EXPECT_EQ(TaxIds(), (Table{{"01", "    42", "12-3456789"}}));
}

struct NotTextCase {
  std::string bytes;
  std::string message;
};

class RestoreIdNotTextTest : public RestoreIdTest,
                             public ::testing::WithParamInterface<NotTextCase> {};

TEST_P(RestoreIdNotTextTest, FileHoldingANulByteIsRefusedAndNothingIsChanged) {
  AddRow("01", "    42", "");
  WriteFile("fed_id.txt", GetParam().bytes);

  const RunOutcome outcome = Run(&RestoreId);

  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(outcome.error, GetParam().message);
  EXPECT_FALSE(FileExists("fed_id.log"));
  EXPECT_EQ(TaxIds(), (Table{{"01", "    42", ""}}));
}

// The same good line saved as UTF-16: every other byte is zero.
std::string Utf16(const std::string& text) {
  std::string wide;
  for (char c : text) {
    wide += c;
    wide += '\0';
  }
  return wide;
}

INSTANTIATE_TEST_SUITE_P(
    Files, RestoreIdNotTextTest,
    ::testing::Values(
        NotTextCase{CrLf({TaxLine("01", "    42", "11-1111111"), "01\0\0\0\0\0\0\0\0    43"s}),
                    "fed_id.txt is not a text file: line 2 holds a NUL byte; nothing was "
                    "changed"},
        NotTextCase{Utf16(CrLf({TaxLine("01", "    42", "11-1111111")})),
                    "fed_id.txt is not a text file: line 1 holds a NUL byte; nothing was "
                    "changed"}));

}  // namespace
}  // namespace talvor::testing
