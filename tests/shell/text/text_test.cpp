#include "shell/text/text.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>
#include <vector>

namespace talvor {
namespace {

using namespace std::string_literals;

struct WidthCase {
  std::string input;
  int width;
  std::string expected;
};

// ---------------------------------------------------------------------------------------
// Trimming and case

TEST(TrimTest, RemovesBlanksAndControlBytesAtBothEndsOnly) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("\t\r\n\x01x\x1f "), "x");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("\x7f" "a" "\x7f"), "\x7f" "a" "\x7f");
  EXPECT_EQ(Trim("\xe9t\xe9"), "\xe9t\xe9");
}

TEST(CaseTest, ChangesAsciiLettersOnly) {
  EXPECT_EQ(UpperCase("abc xyz 09 \xe9\xc9"), "ABC XYZ 09 \xe9\xc9");
  EXPECT_EQ(LowerCase("ABC XYZ 09 \xe9\xc9"), "abc xyz 09 \xe9\xc9");
  EXPECT_EQ(UpperCase("@[`{"), "@[`{");
  EXPECT_EQ(LowerCase("@[`{"), "@[`{");
}

// ---------------------------------------------------------------------------------------
// Fixed-width text

TEST(RightJustifyTest, TrimsThenPadsOnTheLeftOrKeepsTheFirstBytes) {
  const std::vector<WidthCase> cases = {
      {"1", 2, " 1"},      {"ABC", 2, "AB"},     {" 12 ", 6, "    12"},
      {"", 3, "   "},      {"AB", 2, "AB"},      {"\tX\n", 3, "  X"},
      {"ABC", 0, ""},      {"A B", 4, " A B"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RightJustify(c.input, c.width), c.expected) << "[" << c.input << "] " << c.width;
  }
}

TEST(LeftJustifyTest, TrimsThenPadsOnTheRightOrKeepsTheFirstBytes) {
  const std::vector<WidthCase> cases = {
      {"1", 2, "1 "}, {"ABC", 2, "AB"}, {"  12 ", 6, "12    "}, {"", 2, "  "}, {"A B ", 4, "A B "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LeftJustify(c.input, c.width), c.expected) << "[" << c.input << "] " << c.width;
  }
}

TEST(PadRightTest, KeepsBlanksAndPadsOrCuts) {
  const std::vector<WidthCase> cases = {
      {" 1", 4, " 1  "}, {"ABC ", 3, "ABC"}, {"  ", 3, "   "}, {"", 2, "  "}, {"ABC", 3, "ABC"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PadRight(c.input, c.width), c.expected) << "[" << c.input << "] " << c.width;
  }
}

TEST(ZeroFillTest, TrimsThenPadsWithZerosOrKeepsTheFirstBytes) {
  const std::vector<WidthCase> cases = {
      {" 42 ", 6, "000042"}, {"", 3, "000"}, {"12345", 3, "123"}, {"7", 1, "7"}, {"A B", 5, "00A B"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZeroFill(c.input, c.width), c.expected) << "[" << c.input << "] " << c.width;
  }
}

TEST(FixedFieldTest, StopsAtTheFirstNulAndPadsToWidth) {
  EXPECT_EQ(FixedField("XY\0ZW"s, 4), "XY  ");
  EXPECT_EQ(FixedField("ABCDEF", 4), "ABCD");
  EXPECT_EQ(FixedField("\0ABC"s, 3), "   ");
  EXPECT_EQ(FixedField("  A ", 4), "  A ");
}

TEST(FixedFieldTest, ShortOrEmptyInputGivesBlanks) {
  EXPECT_EQ(FixedField("", 5), "     ");
  EXPECT_EQ(FixedField("AB", 5), "AB   ");
}

TEST(FixedFieldTest, TakesAtMost255BytesButAlwaysReturnsWidth) {
  const std::string bytes(300, 'x');
  const std::string field = FixedField(bytes, 300);
  ASSERT_EQ(field.size(), 300u);
  EXPECT_EQ(field.substr(0, 255), std::string(255, 'x'));
  EXPECT_EQ(field.substr(255), std::string(45, ' '));
}

TEST(TwoDigitsTest, PadsOnlyNumbersBelowTen) {
  const std::vector<std::pair<std::uint16_t, std::string>> cases = {
      {0, "00"}, {7, "07"}, {9, "09"}, {10, "10"}, {99, "99"}, {123, "123"}, {65535, "65535"}};
  for (const auto& [n, expected] : cases) EXPECT_EQ(TwoDigits(n), expected) << n;
}

// ---------------------------------------------------------------------------------------
// Quoting and cleaning

TEST(SqlQuoteTest, DoublesApostrophesAndWraps) {
  EXPECT_EQ(SqlQuote(""), "''");
  EXPECT_EQ(SqlQuote("O'Neil"), "'O''Neil'");
  EXPECT_EQ(SqlQuote("a'b'c"), "'a''b''c'");
  EXPECT_EQ(SqlQuote("'"), "''''");
  EXPECT_EQ(SqlQuote("say \"hi\""), "'say \"hi\"'");
}

TEST(CsvQuoteTest, DoublesDoubleQuotesAndWraps) {
  EXPECT_EQ(CsvQuote(""), "\"\"");
  EXPECT_EQ(CsvQuote("Smith, J"), "\"Smith, J\"");
  EXPECT_EQ(CsvQuote("6\" pipe"), "\"6\"\" pipe\"");
  EXPECT_EQ(CsvQuote("O'Neil"), "\"O'Neil\"");
}

TEST(WithBackslashTest, AppendsOnlyWhenMissing) {
  EXPECT_EQ(WithBackslash("C:\\data"), "C:\\data\\");
  EXPECT_EQ(WithBackslash("C:\\data\\"), "C:\\data\\");
  EXPECT_EQ(WithBackslash("data/"), "data/\\");
  EXPECT_EQ(WithBackslash("\\"), "\\");
}

TEST(WithBackslashTest, EmptyPathStaysEmptySoFilesStayRelative) {
  EXPECT_EQ(WithBackslash(""), "");
}

TEST(StripTest, StripCharRemovesEveryOccurrence) {
  EXPECT_EQ(StripChar("a-b--c-", '-'), "abc");
  EXPECT_EQ(StripChar("abc", 'x'), "abc");
  EXPECT_EQ(StripChar("", 'x'), "");
  EXPECT_EQ(StripChar("a\0b"s, '\0'), "ab");
}

TEST(StripTest, StripPunctRemovesCommasApostrophesAndDoubleQuotes) {
  EXPECT_EQ(StripPunct("O'Neil, \"Jr\"."), "ONeil Jr.");
  EXPECT_EQ(StripPunct(",,'\"\""), "");
}

TEST(RemoveAllTest, RemovesEveryOccurrenceInPlace) {
  std::string text = "(555) 123-4567";
  RemoveAll("-", text);
  EXPECT_EQ(text, "(555) 1234567");
  RemoveAll(" ", text);
  EXPECT_EQ(text, "(555)1234567");
  RemoveAll("x", text);
  EXPECT_EQ(text, "(555)1234567");
}

TEST(RemoveAllTest, EmptyWhatChangesNothing) {
  std::string text = "abc";
  RemoveAll("", text);
  EXPECT_EQ(text, "abc");
}

TEST(RemoveAllTest, AdjacentOccurrencesAllGo) {
  std::string text = "--a---";
  RemoveAll("-", text);
  EXPECT_EQ(text, "a");
}

TEST(PlainPhoneTest, KeepsTenOrMoreCharactersElseTenBlanks) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"(555) 123-4567", "5551234567"},
      {"123-4567", "          "},
      {"  555-123-4567  ", "5551234567"},
      {"1-800-555-1234 x12", "18005551234x12"},
      {"555.123.4567", "555.123.4567"},
      {"", "          "},
      {"( ) - - -", "          "},
      {"555 123 456", "          "},
      {"(555)1234567", "5551234567"},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(PlainPhone(input), expected) << input;
}

// ---------------------------------------------------------------------------------------
// Letters and state codes

TEST(IsLetterTest, AcceptsAsciiLettersOnly) {
  for (char c = 'A'; c <= 'Z'; ++c) EXPECT_TRUE(IsLetter(c)) << c;
  for (char c = 'a'; c <= 'z'; ++c) EXPECT_TRUE(IsLetter(c)) << c;
  for (char c : "@[`{0 9-'.\xc9\xe9"s) EXPECT_FALSE(IsLetter(c)) << static_cast<int>(c);
}

TEST(IsStateCodeTest, TrimsAndIgnoresCase) {
  EXPECT_TRUE(IsStateCode(" tx "));
  EXPECT_TRUE(IsStateCode("UK"));
  EXPECT_TRUE(IsStateCode("Nf"));
  EXPECT_TRUE(IsStateCode("\tyt\n"));
}

TEST(IsStateCodeTest, RejectsWrongLengthsAndUnknownCodes) {
  EXPECT_FALSE(IsStateCode("T"));
  EXPECT_FALSE(IsStateCode("TXS"));
  EXPECT_FALSE(IsStateCode(""));
  EXPECT_FALSE(IsStateCode("T X"));
  EXPECT_FALSE(IsStateCode("XX"));
  EXPECT_FALSE(IsStateCode("NL"));
  EXPECT_FALSE(IsStateCode("QB"));
}

TEST(IsStateCodeTest, TableHoldsSeventyTwoDistinctCodesAllAccepted) {
  const std::set<std::string_view> distinct(StateCodeTable.begin(), StateCodeTable.end());
  EXPECT_EQ(distinct.size(), 72u);
  EXPECT_EQ(StateCodeTable.front(), "AB");
  EXPECT_EQ(StateCodeTable.back(), "YT");
  for (std::string_view code : StateCodeTable) {
    EXPECT_TRUE(IsStateCode(code)) << code;
    EXPECT_TRUE(IsStateCode(LowerCase(code))) << code;
  }
}

// ---------------------------------------------------------------------------------------
// SmartCase

struct CaseExample {
  std::string input;
  std::string expected;
};

TEST(SmartCaseTest, DocumentedExamples) {
  const std::vector<CaseExample> cases = {
      {"JOHN MCDONALD PHD", "John McDonald PhD"},
      {"O'BRIEN, AL", "O'Brien, AL"},
      {"ACME LLC", "Acme LLC"},
      {"SMITH-JONES", "Smith-Jones"},
      {"JOHN'S", "John's"},
      {"SMITH PHD.", "Smith Phd."},
      {"ME AND YOU", "ME And You"},
      {"PO BOX 12", "PO Box 12"},
  };
  for (const auto& c : cases) EXPECT_EQ(SmartCase(c.input), c.expected) << c.input;
}

TEST(SmartCaseTest, TwoLetterWordsStayCapitalOnlyWhenKnown) {
  const std::vector<CaseExample> cases = {
      {"JOHN SMITH II", "John Smith II"},
      {"LOUIS IV", "Louis IV"},
      {"MARY JONES DD", "Mary Jones DD"},
      {"SMITH IN TRUST", "Smith IN Trust"},  // IN is a state code
      {"DOE, JO", "Doe, Jo"},
      {"OX, JOHN", "Ox, John"},
      {"AL'S GARAGE", "Al's Garage"},  // an apostrophe does not end a word
      {"MC", "Mc"},
  };
  for (const auto& c : cases) EXPECT_EQ(SmartCase(c.input), c.expected) << c.input;
}

TEST(SmartCaseTest, ThreeLetterSuffixesAtWordEnd) {
  const std::vector<CaseExample> cases = {
      {"JOE SMITH CPA, LLC", "Joe Smith CPA, LLC"},
      {"HENRY FORD III", "Henry Ford III"},
      {"SMITH DBA ACME USA", "Smith DBA Acme USA"},
      {"JANE DOE DDS", "Jane Doe DDS"},
      {"JOHN DOE DVM", "John Doe DVM"},
      {"AIG EMC CNA LLD", "AIG EMC CNA LLD"},
      {"PHD", "PhD"},
      {"LLCS", "Llcs"},
      {"CPA. JONES", "Cpa. Jones"},
  };
  for (const auto& c : cases) EXPECT_EQ(SmartCase(c.input), c.expected) << c.input;
}

TEST(SmartCaseTest, McAndOApostrophePrefixes) {
  const std::vector<CaseExample> cases = {
      {"MCDONALDS", "McDonalds"},
      {"MARY O'NEIL", "Mary O'Neil"},
      {"D'ANGELO", "D'angelo"},  // only O' raises the next letter
      {"SAMCO", "Samco"},
  };
  for (const auto& c : cases) EXPECT_EQ(SmartCase(c.input), c.expected) << c.input;
}

TEST(SmartCaseTest, NonLettersStartWords) {
  const std::vector<CaseExample> cases = {
      {"123 MAIN ST", "123 Main St"},
      {"ST. JOHN", "St. John"},
      {"X-RAY/MRI INC", "X-Ray/Mri Inc"},
      {"3RD", "3Rd"},
      {"A", "A"},
      {"a b", "A B"},
  };
  for (const auto& c : cases) EXPECT_EQ(SmartCase(c.input), c.expected) << c.input;
}

TEST(SmartCaseTest, TrimsAndKeepsTheTrimmedLength) {
  EXPECT_EQ(SmartCase(""), "");
  EXPECT_EQ(SmartCase("   \t "), "");
  EXPECT_EQ(SmartCase("  JOHN  DOE \r\n"), "John  Doe");
  EXPECT_EQ(SmartCase("john doe"), "John Doe");
  const std::string name = "  ABC DEF GHI-JKL O'MNO MCPQR  ";
  EXPECT_EQ(SmartCase(name).size(), Trim(name).size());
}

// ---------------------------------------------------------------------------------------
// NextCsvField

TEST(NextCsvFieldTest, PlainFieldsComeOffOneAtATime) {
  std::string line = "P,Q,R";
  EXPECT_EQ(NextCsvField(line), "P");
  EXPECT_EQ(line, "Q,R");
  EXPECT_EQ(NextCsvField(line), "Q");
  EXPECT_EQ(NextCsvField(line), "R");
  EXPECT_EQ(line, "");
  EXPECT_EQ(NextCsvField(line), "");
  EXPECT_EQ(line, "");
}

TEST(NextCsvFieldTest, QuotedFieldMayHoldCommas) {
  std::string line = "\"Smith, J\",X";
  EXPECT_EQ(NextCsvField(line), "Smith, J");
  EXPECT_EQ(line, "X");
}

TEST(NextCsvFieldTest, QuotedFieldIsTrimmedAndPlainFieldIsNot) {
  std::string line = "\"  A  \", b ,c";
  EXPECT_EQ(NextCsvField(line), "A");
  EXPECT_EQ(line, " b ,c");
  EXPECT_EQ(NextCsvField(line), " b ");
  EXPECT_EQ(line, "c");
}

TEST(NextCsvFieldTest, QuotesInsidePlainFieldAreDropped) {
  std::string line = "ab\"c\",d";
  EXPECT_EQ(NextCsvField(line), "abc");
  EXPECT_EQ(line, "d");
}

TEST(NextCsvFieldTest, EmptyFieldsBetweenCommas) {
  std::string line = ",,x";
  EXPECT_EQ(NextCsvField(line), "");
  EXPECT_EQ(line, ",x");
  EXPECT_EQ(NextCsvField(line), "");
  EXPECT_EQ(NextCsvField(line), "x");
  EXPECT_EQ(line, "");
}

TEST(NextCsvFieldTest, QuotedFieldAtEndOfLineEmptiesIt) {
  std::string line = "\"last\"";
  EXPECT_EQ(NextCsvField(line), "last");
  EXPECT_EQ(line, "");
}

TEST(NextCsvFieldTest, OneByteAfterTheClosingQuoteLeavesWhateverItIs) {
  std::string line = "\"A\"B,C";
  EXPECT_EQ(NextCsvField(line), "A");
  EXPECT_EQ(line, ",C");
}

TEST(NextCsvFieldTest, EmptyQuotedField) {
  std::string line = "\"\",Z";
  EXPECT_EQ(NextCsvField(line), "");
  EXPECT_EQ(line, "Z");
}

TEST(NextCsvFieldTest, UnclosedQuoteTakesTheRestOfTheLine) {
  std::string line = "\" Smith, J ";
  EXPECT_EQ(NextCsvField(line), "Smith, J");
  EXPECT_EQ(line, "");
  std::string lone = "\"";
  EXPECT_EQ(NextCsvField(lone), "");
  EXPECT_EQ(lone, "");
}

TEST(EqualsIgnoringCaseTest, IgnoresAsciiCaseOnly) {
  EXPECT_TRUE(EqualsIgnoringCase("JCKI", "jcki"));
  EXPECT_TRUE(EqualsIgnoringCase("forms.ndx", "FORMS.NDX"));
  EXPECT_FALSE(EqualsIgnoringCase("ap", "ap2"));
  EXPECT_FALSE(EqualsIgnoringCase("\xe9", "\xc9"));
}

TEST(HidePasswordsTest, HidesEveryPasswordValueOfAConnectionString) {
  EXPECT_EQ(HidePasswords("odbc:DSN=AGENCY;UID=clerk;PWD=s3cret"), "odbc:DSN=AGENCY;UID=clerk;PWD=***");
  EXPECT_EQ(HidePasswords("Driver=x; pwd = a;b;Password={x;y}};Server=s"),
            "Driver=x; pwd =***;b;Password=***;Server=s");
  EXPECT_EQ(HidePasswords("PWD=;UID=u"), "PWD=***;UID=u");
  // Only keys: a value that holds "PWD=" is left alone, and so is a name without keys.
  EXPECT_EQ(HidePasswords("DSN=PWD=1;UID=u"), "DSN=PWD=1;UID=u");
  EXPECT_EQ(HidePasswords("AGYFORMS"), "AGYFORMS");
  EXPECT_EQ(HidePasswords(""), "");
}

TEST(ClosestWordTest, FindsWhatWasMeantAndNothingFarOff) {
  EXPECT_EQ(EditDistance("kitten", "sitting"), 3u);
  EXPECT_EQ(EditDistance("", "abc"), 3u);
  EXPECT_EQ(EditDistance("LIST", "list"), 0u);
  const std::vector<std::string> commands{"list", "run", "runs", "undo", "recfile"};
  EXPECT_EQ(ClosestWord("lst", commands), "list");
  EXPECT_EQ(ClosestWord("rn", commands), "run");        // the first of two at one edit
  EXPECT_EQ(ClosestWord("recfiel", commands), "recfile");
  EXPECT_EQ(ClosestWord("frobnicate", commands), "");   // nothing near
  EXPECT_EQ(ClosestWord("xy", commands), "");
  EXPECT_EQ(ClosestWord("list", {}), "");
}

TEST(GroupedDigitsTest, PutsACommaBetweenGroupsOfThree) {
  EXPECT_EQ(GroupedDigits(0), "0");
  EXPECT_EQ(GroupedDigits(999), "999");
  EXPECT_EQ(GroupedDigits(1001), "1,001");
  EXPECT_EQ(GroupedDigits(1234567), "1,234,567");
  EXPECT_EQ(GroupedDigits(-1000), "-1,000");
  EXPECT_EQ(GroupedDigits(std::numeric_limits<long long>::min()), "-9,223,372,036,854,775,808");
}

}  // namespace
}  // namespace talvor
