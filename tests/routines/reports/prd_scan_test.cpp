// Prd Scan on a small site: the agency's producers in PrdRpt.csv, with the bracketed-code
// message, the yes/no flag and the rate written with two decimals and three significant
// digits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "routines/reports/reports_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

const std::string kHeading = "Number, Name, Rate, Active, Message";

class PrdScanTest : public testing::SiteTest {
 protected:
  // `inactive` and `rate` are SQL literals ("0", "1", "NULL", "''", "12.5").
  void AddProducer(const std::string& agency, const std::string& number, const std::string& name,
                   const std::string& inactive, const std::string& rate) {
    Sql("INSERT INTO Producer (AgyCode, Number, Name, InactiveAcct, DefCommission) VALUES ('" +
        agency + "', '" + number + "', '" + name + "', " + inactive + ", " + rate + ")");
  }
};

TEST_F(PrdScanTest, WritesEveryProducerOfTheAgencyWithItsMessageAndFlag) {
  AddProducer("01", "  A", "Alice Smith [ALS]", "0", "10");
  AddProducer("02", "  Z", "Other Agency [OTH]", "0", "5");
  AddProducer("01", "  B", "Bob Brown [BB", "1", "12.5");
  AddProducer("01", "  C", "Carol \"CJ\" Jones, Jr", "NULL", "NULL");
  AddProducer("01", "  D", "Dan ] Day", "0", "0");
  AddProducer("01", "  E", "[]", "1", "7.5");
  AddProducer("01", "  F", "Fay Field [FF]", "''", "2");  // an empty flag, as NULL

  const RunOutcome outcome = Run(&PrdScan);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(ReportLines("PrdRpt.csv"),
            (std::vector<std::string>{
                kHeading,
                R"("  A","Alice Smith [ALS]","10.00","No","")",
                R"("  B","Bob Brown [BB","12.50","Yes","Matching ] not found")",
                R"("  C","Carol ""CJ"" Jones, Jr","0.00","Yes","No Code Listed")",
                R"("  D","Dan ] Day","0.00","No","No Code Listed")",
                R"("  E","[]","7.50","Yes","")",
                R"("  F","Fay Field [FF]","2.00","Yes","")",
            }));
  EXPECT_EQ(form->Label3.Caption(), "Done!");
  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_TRUE(fe.Questions().empty());
  const std::vector<std::string> statuses = fe.Statuses();
  EXPECT_EQ(std::vector<std::string>(statuses.begin(), statuses.end() - 1),
            (std::vector<std::string>{"  A Alice Smith [ALS]", "  B Bob Brown [BB",
                                      "  C Carol \"CJ\" Jones, Jr", "  D Dan ] Day", "  E []",
                                      "  F Fay Field [FF]"}));
  EXPECT_GE(fe.Repaints(), 5);
}

struct RateCase {
  const char* stored;   // SQL literal of DefCommission
  const char* written;  // the rate field
};

// Rounded once to three significant digits or two decimals, whichever is coarser, half
// away from zero on the value's shortest decimal form.
const RateCase kRates[] = {
    {"0.1", "0.10"},       {"12.5", "12.50"},  {"7.125", "7.13"},   {"123.456", "123.00"},
    {"15", "15.00"},       {"0.145", "0.15"},  {"99.99", "100.00"}, {"999.5", "1000.00"},
    {"1234.5", "1230.00"}, {"0.005", "0.01"},  {"0.004", "0.00"},   {"0.0149", "0.01"},
    {"-7.125", "-7.13"},   {"-0.001", "0.00"}, {"0", "0.00"},       {"1e-300", "0.00"},
    {"'12.5'", "12.50"},   {"9e999", "inf"},
};

TEST_F(PrdScanTest, RatesAreWrittenWithTwoDecimalsAndThreeSignificantDigits) {
  std::vector<std::string> expected{kHeading};
  int n = 0;
  for (const RateCase& c : kRates) {
    const std::string number = n < 10 ? " 0" + std::to_string(n) : " " + std::to_string(n);
    AddProducer("01", number, "P [X]", "0", c.stored);
    expected.push_back("\"" + number + "\",\"P [X]\",\"" + c.written + "\",\"No\",\"\"");
    ++n;
  }

  ASSERT_TRUE(Run(&PrdScan).completed);

  EXPECT_EQ(ReportLines("PrdRpt.csv"), expected);
}

TEST_F(PrdScanTest, SingleDigitAgencyCodeSelectsTheBlankPaddedCode) {
  form->edtAgyCode = "1";
  AddProducer(" 1", "  A", "Kept [K]", "0", "1");
  AddProducer("01", "  B", "Other [O]", "0", "1");
  AddProducer("1 ", "  C", "Other [O]", "0", "1");

  ASSERT_TRUE(Run(&PrdScan).completed);

  EXPECT_EQ(ReportLines("PrdRpt.csv"),
            (std::vector<std::string>{kHeading, R"("  A","Kept [K]","1.00","No","")"}));
}

TEST_F(PrdScanTest, AgencyWithoutProducersGetsTheHeadingOnly) {
  AddProducer("02", "  A", "Elsewhere [E]", "0", "1");

  ASSERT_TRUE(Run(&PrdScan).completed);

  EXPECT_EQ(ReportLines("PrdRpt.csv"), std::vector<std::string>{kHeading});
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

TEST_F(PrdScanTest, SecondRunRewritesTheReport) {
  AddProducer("01", "  A", "First [F]", "0", "1");
  AddProducer("01", "  B", "Second [S]", "0", "2");
  RunOutcome outcome = Run(&PrdScan);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  ASSERT_EQ(ReportLines("PrdRpt.csv").size(), 3u);
  Sql("DELETE FROM Producer WHERE Number = '  A'");

  outcome = Run(&PrdScan);
  ASSERT_TRUE(outcome.completed) << outcome.error;

  EXPECT_EQ(ReportLines("PrdRpt.csv"),
            (std::vector<std::string>{kHeading, R"("  B","Second [S]","2.00","No","")"}));
}

TEST_F(PrdScanTest, UnknownAliasEndsTheRunAfterTheHeading) {
  form->edtODBCName = "NOSUCHDB";
  AddProducer("01", "  A", "First [F]", "0", "1");

  const RunOutcome outcome = Run(&PrdScan);

  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCHDB"), std::string::npos) << outcome.error;
  EXPECT_EQ(fe.Errors(), std::vector<std::string>{outcome.error});
  EXPECT_EQ(ReportLines("PrdRpt.csv"), std::vector<std::string>{kHeading});
  EXPECT_NE(form->Label3.Caption(), "Done!");
}

TEST_F(PrdScanTest, MissingProducerTableEndsTheRun) {
  Sql("DROP TABLE Producer");

  const RunOutcome outcome = Run(&PrdScan);

  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("Producer"), std::string::npos) << outcome.error;
  EXPECT_EQ(ReportLines("PrdRpt.csv"), std::vector<std::string>{kHeading});
}

}  // namespace
}  // namespace talvor
