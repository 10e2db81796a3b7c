#include "sqldb/dialect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

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

// ---- the text a server is given ----

// A server whose tables are Customer (AgyCode, Number, CustType, Status) and SubStat
// (status, Number), quoted with double quotes.
std::string Spelled(std::string_view sql) {
  const auto spelled = [](std::string_view name) -> std::optional<std::string> {
    static const char* const kNames[] = {"Customer", "AgyCode", "Number", "CustType", "Status",
                                         "SubStat"};
    for (const char* known : kNames) {
      if (std::string_view(known).size() == name.size() &&
          std::equal(name.begin(), name.end(), known,
                     [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
        return std::string(known);
      }
    }
    return std::nullopt;
  };
  return internal::SpellNames(sql, spelled,
                              [](std::string_view n) { return "\"" + std::string(n) + "\""; });
}

TEST(SpellNamesTest, NamesComeAsTheServerSpellsThem) {
  EXPECT_EQ(Spelled("Select * from \"CUSTOMER\" where ((CustType = 0) or (custtype = 1))"),
            "Select * from \"Customer\" where ((\"CustType\" = 0) or (\"CustType\" = 1))");
  // Literals, comments, functions and unknown words stay as written.
  EXPECT_EQ(Spelled("select count(Number), upper('status') -- Status\nfrom customer x"),
            "select count(\"Number\"), upper('status') -- Status\nfrom \"Customer\" x");
  // A condition may name an alias of the select list; the server is given its column.
  EXPECT_EQ(Spelled("select CustType as Kind, count(Number) as Ttl from Customer "
                    "where Kind <> 0 group by Kind order by Ttl"),
            "select \"CustType\" as \"Kind\", count(\"Number\") as \"Ttl\" from \"Customer\" "
            "where \"CustType\" <> 0 group by \"CustType\" order by \"Ttl\"");
  // CAST's type is no alias.
  EXPECT_EQ(Spelled("select cast(Number as integer) as n from Customer order by N"),
            "select cast(\"Number\" as integer) as \"n\" from \"Customer\" order by \"n\"");
}

TEST(ShapeOfWriteTest, FindsTheTableAndTheCondition) {
  auto shape = internal::ShapeOfWrite("Update \"Company\" Set X = 'a where' where AgyCode ='01';");
  ASSERT_TRUE(shape);
  EXPECT_EQ(shape->keyword, "UPDATE");
  EXPECT_EQ(shape->table, "Company");
  EXPECT_EQ(shape->where, " AgyCode ='01'");
  shape = internal::ShapeOfWrite("delete from Policy where PolSeq in (select 1 where 1) ");
  ASSERT_TRUE(shape);
  EXPECT_EQ(shape->keyword, "DELETE");
  EXPECT_EQ(shape->table, "Policy");
  EXPECT_EQ(shape->where, " PolSeq in (select 1 where 1)");
  shape = internal::ShapeOfWrite("INSERT INTO \"T\" (a) VALUES (1)");
  ASSERT_TRUE(shape);
  EXPECT_EQ(shape->keyword, "INSERT");
  EXPECT_EQ(shape->where, "");
  shape = internal::ShapeOfWrite("drop table if exists \"Old\"");
  ASSERT_TRUE(shape);
  EXPECT_EQ(shape->keyword, "DROP");
  EXPECT_EQ(shape->table, "Old");
  EXPECT_FALSE(internal::ShapeOfWrite("create table t (a)"));
  EXPECT_FALSE(internal::ShapeOfWrite("update"));
}

TEST(ShapeOfWriteTest, AWriteThatCanReturnItsRowsIsPlainAndAnUpdateGivesItsAssignments) {
  auto shape = internal::ShapeOfWrite(
      "Update \"Company\" Set X = (select 1 from T where Y = 2), Z = 'where' where A ='01' ;\n");
  ASSERT_TRUE(shape);
  EXPECT_TRUE(shape->plain);
  EXPECT_EQ(shape->set, " X = (select 1 from T where Y = 2), Z = 'where' ");
  EXPECT_EQ(shape->where, " A ='01'");
  EXPECT_EQ(shape->text, "Update \"Company\" Set X = (select 1 from T where Y = 2), Z = 'where' where A ='01'");
  shape = internal::ShapeOfWrite("update T set A = 1;");
  ASSERT_TRUE(shape);
  EXPECT_EQ(shape->set, " A = 1");
  EXPECT_EQ(shape->where, "");
  // An INSERT may select FROM; an UPDATE or DELETE with a FROM, an order or a limit of
  // its own, or any write that returns rows already, is not plain.
  EXPECT_TRUE(internal::ShapeOfWrite("insert into T (a) select b from U where c = 1")->plain);
  EXPECT_FALSE(internal::ShapeOfWrite("update T set a = U.b from U where U.c = T.c")->plain);
  EXPECT_FALSE(internal::ShapeOfWrite("delete from T where a = 1 order by b limit 2")->plain);
  EXPECT_FALSE(internal::ShapeOfWrite("insert into T (a) values (1) returning a")->plain);
  // No SET where it belongs: nothing to rewrite.
  EXPECT_EQ(internal::ShapeOfWrite("update T as x set a = 1")->set, "");
}

TEST(HoldsMoreThanOneStatementTest, OnlyTextAfterASemicolonCounts) {
  EXPECT_FALSE(internal::HoldsMoreThanOneStatement("delete from t where a = ';x'; ;  -- done"));
  EXPECT_TRUE(internal::HoldsMoreThanOneStatement("delete from t; drop table t"));
  EXPECT_FALSE(internal::HoldsMoreThanOneStatement("select \";\" from t"));
}

TEST(OrderTiesByGroupsTest, TiesComeAsSqliteGivesThem) {
  const auto byIndex = [](const internal::GroupShape& shape) {
    return shape.table == "PropA" && shape.equalities == std::vector<std::string>{"AgyCode"} &&
           shape.groups == std::vector<std::string>{"Client"};
  };
  // Grouped by sorting: the groups in the direction of the last term.
  EXPECT_EQ(internal::OrderTiesByGroups(
                "select CltNum, Count(x) as Ttl from \"Notes\" where AgyCode = '01' "
                "Group by CltNum Order by Ttl DESC",
                byIndex),
            "select CltNum, Count(x) as Ttl from \"Notes\" where AgyCode = '01' "
            "Group by CltNum Order by Ttl DESC, CltNum DESC");
  // Grouped by an index: in the order of the groups.
  EXPECT_EQ(internal::OrderTiesByGroups("select Client, Count(s) as Ttl from \"PropA\" where "
                                        "AgyCode = '01' group by Client order by Ttl desc;",
                                        byIndex),
            "select Client, Count(s) as Ttl from \"PropA\" where AgyCode = '01' group by "
            "Client order by Ttl desc, Client ASC;");
  EXPECT_EQ(internal::OrderTiesByGroups("select a, b, count(*) from t group by a, b order by 3 "
                                        "limit 5",
                                        byIndex),
            "select a, b, count(*) from t group by a, b order by 3, a ASC, b ASC limit 5");
  // Nothing to add to: no ORDER BY, no GROUP BY, or either inside a subquery only.
  for (const char* sql : {"select a from t group by a", "select a from t order by a",
                          "select * from t where a in (select a from u group by a order by a)"}) {
    EXPECT_EQ(internal::OrderTiesByGroups(sql, byIndex), sql);
  }
}

TEST(OrderByRowidWhenUnorderedTest, OneTableInStoredOrder) {
  EXPECT_EQ(internal::OrderByRowidWhenUnordered(
                "Select * from \"CUSTOMER\" where ((CustType = 0) or (CustType = 1));", "id"),
            "Select * from \"CUSTOMER\" where ((CustType = 0) or (CustType = 1)) ORDER BY id;");
  EXPECT_EQ(internal::OrderByRowidWhenUnordered("select a from t x", "id"),
            "select a from t x ORDER BY id");
  EXPECT_EQ(internal::OrderByRowidWhenUnordered(
                "select a from t where b in (select b from u order by b)", "id"),
            "select a from t where b in (select b from u order by b) ORDER BY id");
  // Ordered, grouped, aggregated, distinct or of more than one table: as it is.
  for (const char* sql :
       {"select a from t order by a", "select a, count(*) from t group by a",
        "select count(*) from t", "select distinct a from t", "select * from t, u",
        "select * from t join u on t.a = u.a", "select 1", "update t set a = 1"}) {
    EXPECT_EQ(internal::OrderByRowidWhenUnordered(sql, "id"), sql);
  }
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
