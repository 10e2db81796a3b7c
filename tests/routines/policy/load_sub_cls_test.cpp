#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "routines/policy/policy_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

using Lines = std::vector<std::string>;

// A line of "ISUCODES.TXT": the client in positions 1-18, the sub-class code from 27.
std::string CodeLine(const std::string& client, const std::string& subClass) {
  std::string line = client;
  line.resize(26, ' ');
  return line + subClass;
}

class LoadSubClsTest : public SiteTest {
 protected:
  // Client 1001 has three agency-01 policies of two classes and one of agency 02; client
  // 2002 has one. Sub-class ABC is known under class HOM already.
  void PutSite() {
    Sql("INSERT INTO Policy (AgyCode, PolNum, PolSeq, CltNum, ClsCode) VALUES "
        "('01', 'P1', 1, '  1001', 'AUT'), ('01', 'P2', 1, '  1001', 'HOM'), "
        "('01', 'P3', 2, '  1001', 'AUT'), ('02', 'P4', 1, '  1001', 'AUT'), "
        "('01', 'P5', 1, '  2002', 'AUT');"
        "INSERT INTO SubClass (AgyCode, ClsNum, Number, Name, SubClsType) VALUES "
        "('01', 'HOM', '   ABC', 'Existing', 5);");
  }
  Lines SubClassCodes() {
    Lines out;
    for (const auto& row : Rows("SELECT PolNum, SubClassCode FROM Policy ORDER BY rowid")) {
      out.push_back(row[0] + "=" + row[1]);
    }
    return out;
  }
  std::vector<Lines> SubClasses() {
    return Rows("SELECT AgyCode, ClsNum, Number, Name, SubClsType FROM SubClass ORDER BY rowid");
  }
};

TEST_F(LoadSubClsTest, GivesTheClientsPoliciesTheCodeAndAddsItPerClass) {
  PutSite();
  WriteFile("ISUCODES.TXT",
            CodeLine("1001", "ABC") + "\r\n\r\n" + CodeLine("  3003  ", "XYZ") + "\r\n");
  ASSERT_TRUE(Run(&LoadSubCls).completed);
  EXPECT_TRUE(fe.Questions().empty());
  EXPECT_EQ(SubClassCodes(),
            (Lines{"P1=   ABC", "P2=   ABC", "P3=   ABC", "P4=<null>", "P5=<null>"}));
  EXPECT_EQ(SubClasses(), (std::vector<Lines>{{"01", "HOM", "   ABC", "Existing", "5"},
                                              {"01", "AUT", "   ABC", "   ABC", "0"}}));
  EXPECT_EQ(fe.Statuses(),
            (Lines{"[  1001][   ABC]", "[  1001][   ABC] (P1)", "[  1001][   ABC] (P2)",
                   "[  1001][   ABC] (P3)", "[  3003][   XYZ]", "Done"}));
}

TEST_F(LoadSubClsTest, AgencyIsTakenAsTypedSoOneDigitMatchesNothing) {
  PutSite();
  WriteFile("ISUCODES.TXT", CodeLine("1001", "ABC") + "\n");
  form->edtAgyCode = "1";
  ASSERT_TRUE(Run(&LoadSubCls).completed);
  EXPECT_EQ(SubClassCodes(),
            (Lines{"P1=<null>", "P2=<null>", "P3=<null>", "P4=<null>", "P5=<null>"}));
  EXPECT_EQ(SubClasses().size(), 1u);
}

TEST_F(LoadSubClsTest, SecondRunAddsNoSecondSubClassRow) {
  PutSite();
  WriteFile("ISUCODES.TXT", CodeLine("2002", "QQ") + "\n");
  ASSERT_TRUE(Run(&LoadSubCls).completed);
  ASSERT_TRUE(Run(&LoadSubCls).completed);
  EXPECT_EQ(SubClasses(), (std::vector<Lines>{{"01", "HOM", "   ABC", "Existing", "5"},
                                              {"01", "AUT", "    QQ", "    QQ", "0"}}));
}

TEST_F(LoadSubClsTest, MissingFileEndsTheRunNamingIt) {
  PutSite();
  const RunOutcome outcome = Run(&LoadSubCls);
  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(outcome.error.rfind("Unable to read ISUCODES.TXT in ", 0), 0u) << outcome.error;
  EXPECT_EQ(fe.Errors(), Lines{outcome.error});
}

TEST_F(LoadSubClsTest, MalformedLineEndsTheRunBeforeAnythingIsWritten) {
  struct Case {
    std::string line;
    std::string error;
  };
  const Case cases[] = {
      {CodeLine("1001", "   "),
       "ISUCODES.TXT line 3 has no sub-class code (positions 27-62); nothing was changed"},
      {CodeLine("", "ABC"),
       "ISUCODES.TXT line 3 has no client number (positions 1-18); nothing was changed"},
      {"2002", "ISUCODES.TXT line 3 has no sub-class code (positions 27-62); nothing was changed"},
  };
  PutSite();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    WriteFile("ISUCODES.TXT", CodeLine("1001", "ABC") + "\n\n" + c.line + "\n");
    const RunOutcome outcome = Run(&LoadSubCls);
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(outcome.error, c.error);
    EXPECT_EQ(SubClassCodes(),
              (Lines{"P1=<null>", "P2=<null>", "P3=<null>", "P4=<null>", "P5=<null>"}));
    EXPECT_EQ(SubClasses().size(), 1u);
  }
}

TEST_F(LoadSubClsTest, UnknownAliasEndsTheRunWithTheDatabaseError) {
  WriteFile("ISUCODES.TXT", CodeLine("1001", "ABC") + "\n");
  form->edtODBCName = "NOSUCH";
  const RunOutcome outcome = Run(&LoadSubCls);
  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCH"), std::string::npos) << outcome.error;
}

}  // namespace
}  // namespace talvor::testing
