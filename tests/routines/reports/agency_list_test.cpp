// Agency List on a small site: every agency in AgyList.TXT with its name cut or padded to
// 35 characters and the date stamp of the last memo in the PolMemo table's own order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "routines/reports/reports_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

// One expected line: `name35` is the name as it must appear in its 35 columns, before the
// blanks that fill them.
std::string ListLine(const std::string& code, const std::string& name35, const std::string& stamp) {
  EXPECT_LE(name35.size(), 35u);
  return code + " " + name35 + std::string(35 - name35.size(), ' ') + " " + stamp;
}

class AgencyListTest : public testing::SiteTest {
 protected:
  void AddAgency(const std::string& code, const std::string& name) {
    Sql("INSERT INTO Agency (AgyCode, AgencyName) VALUES ('" + code + "', '" + name + "')");
  }
  void AddMemo(const std::string& code, int id, const std::string& stamp) {
    Sql("INSERT INTO PolMemo (AgyCode, CltNum, AutoID, DateStamp) VALUES ('" + code +
        "', '     1', " + std::to_string(id) + ", '" + stamp + "')");
  }
};

TEST_F(AgencyListTest, ListsEveryAgencyInTableOrderWithItsLastMemo) {
  AddAgency("02", "Second Street Agency");
  AddAgency("01", "Main Street Insurance");
  AddAgency("03", "A Name Longer Than Thirty-Five Characters Inc");
  AddAgency("04", "No Memos Yet");
  AddMemo("01", 1, "2021-05-03");
  AddMemo("02", 2, "2024-07-04 13:45:10");
  AddMemo("01", 3, "2019-01-02");  // an older date, but the last row of agency 01
  AddMemo("03", 4, "2020-10-11 00:00:00");
  AddMemo("99", 5, "2025-01-01");  // no such agency

  const RunOutcome outcome = Run(&AgencyList);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(ReportLines("AgyList.TXT"),
            (std::vector<std::string>{
                ListLine("02", "Second Street Agency", "7/4/2024 1:45:10 PM"),
                ListLine("01", "Main Street Insurance", "1/2/2019"),
                ListLine("03", "A Name Longer Than Thirty-Five Char", "10/11/2020"),
                ListLine("04", "No Memos Yet", ""),
            }));
  EXPECT_EQ(form->Label3.Caption(), "Done");
  const std::vector<std::string> statuses = fe.Statuses();
  EXPECT_EQ(statuses,
            (std::vector<std::string>{"02:Second Street Agency", "01:Main Street Insurance",
                                      "03:A Name Longer Than Thirty-Five Characters Inc",
                                      "04:No Memos Yet", "Done"}));
  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_TRUE(fe.Questions().empty());
  EXPECT_EQ(Value("SELECT count(*) FROM PolMemo"), "5");  // nothing changed
}

TEST_F(AgencyListTest, AgencyAfterOneWithMemosDoesNotInheritItsStamp) {
  AddAgency("01", "Busy");
  AddAgency("02", "Idle");
  AddMemo("01", 1, "2022-02-02");

  ASSERT_TRUE(Run(&AgencyList).completed);

  const std::vector<std::string> lines = ReportLines("AgyList.TXT");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], ListLine("01", "Busy", "2/2/2022"));
  EXPECT_EQ(lines[1], ListLine("02", "Idle", ""));
}

TEST_F(AgencyListTest, CodeWithApostropheAndBlankPaddedCodeMatchOnlyTheirOwnMemos) {
  AddAgency("A''", "Quoted");
  AddAgency(" 1", "Padded");
  AddMemo("A''", 1, "2018-03-04");
  AddMemo("1 ", 2, "2017-01-01");
  AddMemo(" 1", 3, "2016-06-07");
  AddMemo("01", 4, "2015-01-01");

  ASSERT_TRUE(Run(&AgencyList).completed);

  EXPECT_EQ(ReportLines("AgyList.TXT"), (std::vector<std::string>{
                                            ListLine("A'", "Quoted", "3/4/2018"),
                                            ListLine(" 1", "Padded", "6/7/2016"),
                                        }));
}

TEST_F(AgencyListTest, StampsFollowTheProgramsDateFormats) {
  form->Formats.shortDate = "dd.mm.yyyy";
  AddAgency("01", "Main");
  AddMemo("01", 1, "2023-09-08");

  ASSERT_TRUE(Run(&AgencyList).completed);

  EXPECT_EQ(ReportLines("AgyList.TXT"),
            std::vector<std::string>{ListLine("01", "Main", "08.09.2023")});
}

TEST_F(AgencyListTest, EmptyAgencyTableGivesAnEmptyList) {
  AddMemo("01", 1, "2023-09-08");

  ASSERT_TRUE(Run(&AgencyList).completed);

  EXPECT_TRUE(FileExists("AgyList.TXT"));
  EXPECT_EQ(ReadFile("AgyList.TXT"), "");
  EXPECT_EQ(form->Label3.Caption(), "Done");
}

TEST_F(AgencyListTest, SecondRunRewritesTheList) {
  AddAgency("01", "Main");
  AddAgency("02", "Gone");
  ASSERT_TRUE(Run(&AgencyList).completed);
  ASSERT_EQ(ReportLines("AgyList.TXT").size(), 2u);
  Sql("DELETE FROM Agency WHERE AgyCode = '02'");

  ASSERT_TRUE(Run(&AgencyList).completed);

  EXPECT_EQ(ReportLines("AgyList.TXT"), std::vector<std::string>{ListLine("01", "Main", "")});
}

TEST_F(AgencyListTest, MissingMemoTableEndsTheRunBeforeTheListIsWritten) {
  AddAgency("01", "Main");
  Sql("DROP TABLE PolMemo");

  const RunOutcome outcome = Run(&AgencyList);

  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("PolMemo"), std::string::npos) << outcome.error;
  EXPECT_EQ(fe.Errors(), std::vector<std::string>{outcome.error});
  EXPECT_FALSE(FileExists("AgyList.TXT"));
  EXPECT_NE(form->Label3.Caption(), "Done");
}

}  // namespace
}  // namespace talvor
