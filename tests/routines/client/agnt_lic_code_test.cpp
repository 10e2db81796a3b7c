#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "routines/client/client_routines.h"
#include "shell/text/text.h"
#include "tests/routines/client/ap_test_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace ap = layout::ap;

class AgntLicCodeTest : public SiteTest {
 protected:
  // A client's line "00" (type letter), line "03" (license, month, year) and, when
  // `legalEntity` is not empty, line "04".
  void AddAgent(const std::string& agency, const std::string& number, const std::string& type,
                const std::string& license, const std::string& month, const std::string& year,
                const std::string& legalEntity, bool withLine03 = true) {
    std::vector<std::string> records = {ApRecord(ap::kClient, agency, number, "00")
                                            .Set(ap::line00::Name, "AGENT " + number)
                                            .Set(ap::line00::TypeLetter, type)};
    if (withLine03) {
      records.push_back(ApRecord(ap::kClient, agency, number, "03")
                            .Set(ap::client03::License1, license)
                            .Set(ap::client03::License1Month, month)
                            .Set(ap::client03::License1Year, year));
    }
    if (!legalEntity.empty()) {
      records.push_back(
          ApRecord(ap::kClient, agency, number, "04").Set(ap::client04::LegalEntity, legalEntity));
    }
    Put("ap", records);
  }
  void AddRow(const std::string& agency, const std::string& number) {
    Sql("insert into Customer (AgyCode, Number, Name, CustType, ActiveStatus) values ('" + agency +
        "', '" + RightJustify(number, 6) + "', 'AGENT', 0, 'Y')");
  }
  std::vector<std::string> Row(const std::string& agency, const std::string& number) const {
    const auto rows = Rows(
        "select License1, License1Expires, LegalEntityCode, ActiveStatus from Customer where "
        "AgyCode = '" +
        agency + "' and Number = '" + RightJustify(number, 6) + "'");
    return rows.empty() ? std::vector<std::string>{} : rows[0];
  }
  // Three agents, the second with `month`: the run ends on the second; the first stays
  // changed and listed, the third is never reached.
  void ExpectRunEndsOnMonth(const std::string& month) {
    AddAgent("01", "501", "B", "GOOD", "06", "05", "C");
    AddAgent("01", "502", "B", "BAD", month, "05", "C");
    AddAgent("01", "503", "B", "LATER", "06", "05", "C");
    for (const char* number : {"501", "502", "503"}) AddRow("01", number);

    const auto outcome = Run(&AgntLicCode);

    EXPECT_FALSE(outcome.completed);
    EXPECT_NE(outcome.error.find("   502"), std::string::npos) << outcome.error;
    EXPECT_NE(outcome.error.find("'" + month + "'"), std::string::npos) << outcome.error;
    EXPECT_EQ(fe.Errors(), (std::vector<std::string>{outcome.error}));
    EXPECT_EQ(Row("01", "501")[0], "GOOD");
    EXPECT_EQ(Row("01", "502")[0], "<null>");
    EXPECT_EQ(Row("01", "503")[0], "<null>");
    EXPECT_EQ(ReportLines("outdated.err"),
              (std::vector<std::string>{"Agent    501 license expired 6/30/2005"}));
  }
};

struct LicenseCase {
  const char* number;
  const char* license;
  const char* month;
  const char* year;
  const char* legalEntity;  // "" for no line "04"
  const char* expires;      // as stored
  const char* legalEntityCode;
  const char* activeStatus;
};

TEST_F(AgntLicCodeTest, LicenseExpiryAndLegalEntityAreCopied) {
  const std::vector<LicenseCase> cases = {
      {"101", "LIC101", "06", "05", "C", "2005-06-30", "0", "N"},  // year 05 is 2005
      {"102", "LIC102", "01", "99", "P", "2099-01-31", "2", "Y"},  // year 99 is 2099
      {"103", "LIC103", "  ", "  ", "", "1999-12-31", "1", "N"},   // blanks: 31 Dec 1999
      {"104", "LIC104", "02", "08", "I", "2008-02-28", "1", "Y"},  // 28th in a leap year
      {"105", "LIC105", "04", "10", "X", "2010-04-30", "1", "Y"},  // other letter: 1
      {"106", "LIC106", "12", "05", "C", "2005-12-31", "0", "N"},
      {"107", "LIC107", " 1", "06", "C", "2006-01-31", "0", "Y"},     // on the cut-off's side
      {"108", "LIC108", "xx", "0x", "C", "1999-12-31", "0", "N"},     // not numbers: 12, 1999
      {"109", "LIC109", "06", "  ", "C", "1999-06-30", "0", "N"},     // blank year only
      {"110", " LIC 110 ", "11", "06", "C", "2006-11-30", "0", "Y"},  // license trimmed
      {"111", "LIC111", "09", "05", "C", "2005-09-30", "0", "N"},
      {"112", "LIC112", "07", "20", "C", "2020-07-31", "0", "Y"},
  };
  for (const LicenseCase& c : cases) {
    AddAgent("01", c.number, "B", c.license, c.month, c.year, c.legalEntity);
    AddRow("01", c.number);
  }

  const auto outcome = Run(&AgntLicCode);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  for (const LicenseCase& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(Row("01", c.number), (std::vector<std::string>{Trim(c.license), c.expires,
                                                             c.legalEntityCode, c.activeStatus}));
  }
  EXPECT_EQ(ReportLines("outdated.err"), (std::vector<std::string>{
                                             "Agent    101 license expired 6/30/2005",
                                             "Agent    103 license expired 12/31/1999",
                                             "Agent    106 license expired 12/31/2005",
                                             "Agent    108 license expired 12/31/1999",
                                             "Agent    109 license expired 6/30/1999",
                                             "Agent    111 license expired 9/30/2005",
                                         }));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(AgntLicCodeTest, ClientsThatDoNotQualifyAreNotChanged) {
  AddAgent("01", "201", "B", "", "", "", "C", /*withLine03=*/false);  // no line "03"
  AddAgent("01", "202", "B", "   ", "06", "05", "C");                 // blank license
  AddAgent("01", "203", "C", "LIC203", "06", "05", "C");              // not a broker
  AddAgent("01", "204", "B", "LIC204", "06", "05", "C");              // no Customer row
  for (const char* number : {"201", "202", "203"}) AddRow("01", number);

  const auto outcome = Run(&AgntLicCode);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  for (const char* number : {"201", "202", "203"}) {
    EXPECT_EQ(Row("01", number), (std::vector<std::string>{"<null>", "<null>", "<null>", "Y"}))
        << number;
  }
  EXPECT_TRUE(ReportLines("outdated.err").empty());
  // Only the brokers showed their number.
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"   201", "   202", "   204",
                                                     "Done, select another option"}));
}

TEST_F(AgntLicCodeTest, AgentsOfEveryAgencyAreHandled) {
  AddAgent("01", "301", "B", "A", "06", "07", "C");
  AddAgent("02", "301", "B", "B", "06", "07", "P");
  AddRow("01", "301");
  AddRow("02", "301");
  form->edtAgyCode = "01";

  ASSERT_TRUE(Run(&AgntLicCode).completed);

  EXPECT_EQ(Row("01", "301"), (std::vector<std::string>{"A", "2007-06-30", "0", "Y"}));
  EXPECT_EQ(Row("02", "301"), (std::vector<std::string>{"B", "2007-06-30", "2", "Y"}));
}

TEST_F(AgntLicCodeTest, ReportDateFollowsTheProgramsShortDateFormat) {
  AddAgent("01", "401", "B", "L", "03", "04", "C");
  AddRow("01", "401");
  form->Formats.shortDate = "dd.mm.yyyy";

  ASSERT_TRUE(Run(&AgntLicCode).completed);

  EXPECT_EQ(ReportLines("outdated.err"),
            (std::vector<std::string>{"Agent    401 license expired 31.03.2004"}));
}

TEST_F(AgntLicCodeTest, MonthThirteenEndsTheRunAndKeepsEarlierRows) {
  ExpectRunEndsOnMonth("13");
}

TEST_F(AgntLicCodeTest, MonthZeroEndsTheRunAndKeepsEarlierRows) {
  ExpectRunEndsOnMonth("00");
}

TEST_F(AgntLicCodeTest, MissingFileShowsBothOpenFailuresAndEndsNormally) {
  AddRow("01", "101");

  const auto outcome = Run(&AgntLicCode);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  const std::string path = DataPath() + "\\ap";
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open ap file " + path + ", status is 12",
                                      "Unable to open ap2 file " + path + ", status is 12"}));
  EXPECT_TRUE(ReportLines("outdated.err").empty());
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

TEST_F(AgntLicCodeTest, FailedLookupOfLine03PassesTheAgentOver) {
  AddAgent("01", "601", "B", "L601", "06", "07", "C");
  AddAgent("01", "602", "B", "L602", "06", "07", "C");
  AddRow("01", "601");
  AddRow("01", "602");
  // Reads: the walk's first read, then the lookup of 601's line "03".
  AddFault({"ap", FaultOp::kRead, 2, 2, 1});

  ASSERT_TRUE(Run(&AgntLicCode).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_EQ(Row("01", "601")[0], "<null>");
  EXPECT_EQ(Row("01", "602")[0], "L602");
}

}  // namespace
}  // namespace talvor::testing
