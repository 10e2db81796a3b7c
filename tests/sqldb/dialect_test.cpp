#include "sqldb/dialect.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "shell/text/text.h"
#include "sqldb/internal/sqltext.h"

namespace talvor::sqldb {
namespace {

struct Case {
  const char* input;
  const char* expected;
};

class TranslateDialectTest : public ::testing::TestWithParam<Case> {};

TEST_P(TranslateDialectTest, RewritesAsExpected) {
  EXPECT_EQ(TranslateDialect(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ConvertToDate, TranslateDialectTest,
    ::testing::Values(
        Case{"x > CONVERT('2010-01-03',SQL_DATE)", "x > '2010-01-03'"},
        Case{"x > Convert('2010-01-03', SQL_DATE)", "x > '2010-01-03'"},
        Case{"x > convert ( '2010-01-03' , sql_date ) and y = 1", "x > '2010-01-03' and y = 1"},
        Case{"a > CONVERT('2010-01-03',SQL_DATE) and b < Convert('2011-02-04',SQL_DATE)",
             "a > '2010-01-03' and b < '2011-02-04'"},
        Case{"x > CONVERT(\n'2010-01-03',\tSQL_DATE\n)", "x > '2010-01-03'"},
        Case{"x = CONVERT(lower('A,B'), SQL_DATE)", "x = lower('A,B')"},
        Case{"x = CONVERT(f(1, 2), SQL_DATE)", "x = f(1, 2)"}));

INSTANTIATE_TEST_SUITE_P(
    LeftAlone, TranslateDialectTest,
    ::testing::Values(
        Case{"Select * from \"Customer\" where AgyCode = ' 1'",
             "Select * from \"Customer\" where AgyCode = ' 1'"},
        Case{"select 'CONVERT(''2010-01-03'',SQL_DATE)'",
             "select 'CONVERT(''2010-01-03'',SQL_DATE)'"},
        Case{"select \"CONVERT\"(x, SQL_DATE)", "select \"CONVERT\"(x, SQL_DATE)"},
        Case{"x = CONVERT('1', SQL_CHAR)", "x = CONVERT('1', SQL_CHAR)"},
        Case{"x = CONVERT('1' SQL_DATE)", "x = CONVERT('1' SQL_DATE)"},
        Case{"x = CONVERT('2010-01-03', SQL_DATE", "x = CONVERT('2010-01-03', SQL_DATE"},
        Case{"x = RECONVERT('1', SQL_DATE)", "x = RECONVERT('1', SQL_DATE)"},
        Case{"-- CONVERT('1', SQL_DATE)\nselect 1", "-- CONVERT('1', SQL_DATE)\nselect 1"},
        Case{"", ""}));

INSTANTIATE_TEST_SUITE_P(
    DropInDictionary, TranslateDialectTest,
    ::testing::Values(Case{"DROP TABLE \"Y QXAGTCUST\" IN DICTIONARY",
                           "DROP TABLE \"Y QXAGTCUST\""},
                      Case{"drop table \"YQXTAGTHDR\" in dictionary", "drop table \"YQXTAGTHDR\""},
                      Case{"DROP  TABLE  Work1   IN   DICTIONARY;", "DROP  TABLE  Work1;"},
                      Case{"DROP TABLE \"T\"", "DROP TABLE \"T\""},
                      Case{"DROP TABLE \"IN DICTIONARY\"", "DROP TABLE \"IN DICTIONARY\""},
                      Case{"DROP INDEX \"T\" IN DICTIONARY", "DROP INDEX \"T\" IN DICTIONARY"}));

// The engine ends a statement's text at a NUL byte; a NUL in a literal keeps its place in
// the value instead.
TEST(TranslateDialectNulTest, NulBytesInLiteralsAreSpelledOut) {
  using namespace std::string_literals;
  EXPECT_EQ(TranslateDialect("x = '0\0' and y = 'a\0b\0'"s),
            "x = ('0'||char(0)||'') and y = ('a'||char(0)||'b'||char(0)||'')");
  EXPECT_EQ(TranslateDialect("x = 'it''s\0'"s), "x = ('it''s'||char(0)||'')");
  // Outside a literal a NUL is left for the engine to refuse.
  EXPECT_EQ(TranslateDialect("x = 1\0"s), "x = 1\0"s);
}

TEST(FirstKeywordTest, SkipsBlanksCommentsAndParentheses) {
  EXPECT_EQ(internal::FirstKeyword("  update x set a = 1"), "UPDATE");
  EXPECT_EQ(internal::FirstKeyword("/* c */ -- d\n (select 1)"), "SELECT");
  EXPECT_EQ(internal::FirstKeyword("Delete from \"Policy\""), "DELETE");
  EXPECT_EQ(internal::FirstKeyword("  ; select"), "");
  EXPECT_EQ(internal::FirstKeyword(""), "");
}

// Names as a server spells them; a word before "(" is a function, unless it follows INTO.
TEST(SpellNamesTest, SpellsTablesAndColumnsButNotFunctions) {
  const auto spelled = [](std::string_view name) -> std::optional<std::string> {
    const std::string lower = LowerCase(name);
    if (lower == "customer") return "Customer";
    if (lower == "name") return "Name";
    if (lower == "upper") return "Upper";  // a column that shares a function's name
    return std::nullopt;
  };
  const auto quote = [](std::string_view name) { return "\"" + std::string(name) + "\""; };
  EXPECT_EQ(internal::SpellNames("SELECT upper(NAME) FROM CUSTOMER", spelled, quote),
            "SELECT upper(\"Name\") FROM \"Customer\"");
  EXPECT_EQ(internal::SpellNames("INSERT INTO CUSTOMER (name) VALUES ('x')", spelled, quote),
            "INSERT INTO \"Customer\" (\"Name\") VALUES ('x')");
  EXPECT_EQ(internal::SpellNames("insert into /* c */ customer(NAME) values ('name')", spelled,
                                 quote),
            "insert into /* c */ \"Customer\"(\"Name\") values ('name')");
}

TEST(FlagLiteralsTest, WritesTheFlagsNumbersAsBooleans) {
  const auto isFlag = [](std::string_view name) { return LowerCase(name) == "flag"; };
  EXPECT_EQ(internal::FlagLiterals("UPDATE t SET \"Flag\" = 0 WHERE flag<>1 OR t.Flag != 1",
                                   isFlag),
            "UPDATE t SET \"Flag\" = FALSE WHERE flag<>TRUE OR t.Flag != TRUE");
  // Other columns, other numbers, other comparisons and literals stay as they are.
  for (const char* same : {"Qty = 1", "Flag = 10", "Flag = 1.0", "Flag > 0", "Flag = '1'",
                           "Flag IS NULL", "x = Flag + 1"}) {
    EXPECT_EQ(internal::FlagLiterals(same, isFlag), same);
  }
}

}  // namespace
}  // namespace talvor::sqldb
