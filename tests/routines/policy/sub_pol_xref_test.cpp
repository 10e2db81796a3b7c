#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "routines/policy/policy_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

using Lines = std::vector<std::string>;

std::string Pad20(const std::string& polNum) {
  return polNum + std::string(20 - polNum.size(), ' ');
}

class SubPolXrefTest : public SiteTest {
 protected:
  // Policies: A1 names no submission, A2 a submission naming it, A3 one naming another
  // policy, A4 (with blanks around the number) a missing one, PAE5 one naming another
  // policy, " C9 " (blanks around its number) one naming "C9"; B1 of agency 02 a good one.
  // Submissions 600 and 700 name "*AUTO*" and nothing; 800 names a policy that does not
  // name it back.
  void PutSite() {
    Sql("INSERT INTO Policy (AgyCode, PolNum, PolSeq, SubmissionNumber) VALUES "
        "('01', 'A1', 1, ''), ('01', 'A2', 1, '100'), ('01', 'A3', 1, '200'), "
        "('01', 'A4', 1, '  300 '), ('01', 'PAE5', 1, '400'), ('01', ' C9 ', 1, '900'), "
        "('02', 'B1', 1, '500');"
        "INSERT INTO SuspItem (AgyCode, ItemNum, PolicyNumber) VALUES "
        "('01', '100', 'A2'), ('01', '200', 'WRONG'), ('01', '400', 'OTHER'), "
        "('02', '500', 'B1'), ('01', '600', '*AUTO*'), ('01', '700', ''), ('01', '800', 'ZZ'), "
        "('01', '900', 'C9');");
  }
  static Lines Pass1() {
    return {"Beginning pass 1, checking policy versus submission",
            "Policy [" + Pad20("A3") +
                "] points to submission [200], but that submission points to policy [" +
                Pad20("WRONG") + "]",
            "Policy [" + Pad20("A4") +
                "] points to submission [300], but that submission was "
                "not found",
            "Policy [" + Pad20("PAE5") +
                "] points to submission [400], but that submission points to policy [" +
                Pad20("OTHER") + "]",
            "Pass 1 complete, 3 errors found",
            "Beginning pass 2, checking submission versus policy"};
  }
  static std::string Unmatched(const std::string& item, const std::string& polNum) {
    return "Submission [" + item + "] points to policy [" + Pad20(polNum) +
           "] but that isnt matched back";
  }
  std::string NamedBy(const std::string& item) {
    return Value("SELECT PolicyNumber FROM SuspItem WHERE ItemNum = '" + item + "'");
  }
};

TEST_F(SubPolXrefTest, NoReportsBothDirectionsAndChangesNothing) {
  PutSite();
  ASSERT_TRUE(Run(&SubPolXref).completed);
  EXPECT_EQ(fe.Questions(), Lines{"Fix the Submissions?"});
  Lines expected = Pass1();
  for (const std::string& line :
       {Unmatched("200", "WRONG"), Unmatched("400", "OTHER"), Unmatched("800", "ZZ"),
        Unmatched("900", "C9"), std::string("Pass 2 complete, 4 errors found")}) {
    expected.push_back(line);
  }
  EXPECT_EQ(ReportLines("xreferr.log"), expected);
  EXPECT_EQ(NamedBy("200"), "WRONG");
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
  EXPECT_TRUE(form->ButtonDisabled("SubPol XREF"));
  EXPECT_EQ(fe.Statuses().front(), "Running......");
  EXPECT_EQ(fe.Statuses()[1], "Running...... C9 ");
  EXPECT_EQ(fe.Statuses()[8], "Running...Pass 2....100");
}

TEST_F(SubPolXrefTest, YesRepairsSubmissionsBeforePassTwoExceptPAEPolicies) {
  PutSite();
  fe.QueueAnswer(kAnswerYes);
  ASSERT_TRUE(Run(&SubPolXref).completed);
  Lines expected = Pass1();
  for (const std::string& line :
       {Unmatched("400", "OTHER"), Unmatched("800", "ZZ"), Unmatched("900", "C9"),
        std::string("Pass 2 complete, 3 errors found")}) {
    expected.push_back(line);
  }
  EXPECT_EQ(ReportLines("xreferr.log"), expected);
  EXPECT_EQ(NamedBy("200"), "A3");
  EXPECT_EQ(NamedBy("400"), "OTHER");
  EXPECT_EQ(NamedBy("900"), "C9");
  EXPECT_EQ(NamedBy("600"), "*AUTO*");
}

TEST_F(SubPolXrefTest, EmptyDatabaseFindsNoErrors) {
  ASSERT_TRUE(Run(&SubPolXref).completed);
  EXPECT_EQ(ReportLines("xreferr.log"),
            (Lines{"Beginning pass 1, checking policy versus submission",
                   "Pass 1 complete, no errors found",
                   "Beginning pass 2, checking submission versus policy",
                   "Pass 2 complete, no errors found"}));
  EXPECT_TRUE(form->ButtonDisabled("SubPol XREF"));
}

TEST_F(SubPolXrefTest, UnknownAliasEndsTheRunAndLeavesTheButtonOn) {
  form->edtODBCName = "NOSUCH";
  const RunOutcome outcome = Run(&SubPolXref);
  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCH"), std::string::npos) << outcome.error;
  EXPECT_FALSE(FileExists("xreferr.log"));
  EXPECT_FALSE(form->ButtonDisabled("SubPol XREF"));
}

}  // namespace
}  // namespace talvor::testing
