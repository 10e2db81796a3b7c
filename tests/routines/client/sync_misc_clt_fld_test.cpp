#include <optional>
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "routines/client/client_routines.h"
#include "tests/routines/client/ap_test_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace ap = layout::ap;

class SyncMiscCltFldTest : public SiteTest {
 protected:
  void AddClient(const std::string& agency, const std::string& number, int custType,
                 const std::string& legalEntitySql) {
    Sql("insert into Customer (AgyCode, Number, Name, CustType, LegalEntityCode) values ('" +
        agency + "', '" + number + "', 'N', " + std::to_string(custType) + ", " + legalEntitySql +
        ")");
  }
  // The line "04" as the routine builds it: key, "001", blanks, the letter at 122, blanks.
  static std::string ExpectedLine04(const std::string& agency, const std::string& number,
                                    char letter) {
    std::string line =
        layout::ApKey(ap::kClient, agency, number, "04") + "001" + std::string(103, ' ') + letter;
    line.resize(ap::kRecordLength, ' ');
    return line;
  }
  std::optional<std::string> Line04(const std::string& agency, const std::string& number) const {
    return Find("ap", layout::ApKey(ap::kClient, agency, number, "04"));
  }
};

TEST_F(SyncMiscCltFldTest, MissingLines04AreCreatedWithTheLegalEntityLetter) {
  struct Case {
    const char* number;
    int custType;
    const char* legalEntitySql;
    char letter;
  };
  const std::vector<Case> cases = {
      {"   101", 0, "1", 'I'},                              // broker, individual
      {"   102", 1, "2", 'P'},                              // commercial, partnership
      {"   103", 1, "NULL", 'C'},                           // Null becomes 0 first, then "C"
      {"   104", 1, "0", 'C'},    {"   105", 0, "7", 'C'},  // any other value
  };
  Put("ap", ApRecord(ap::kClient, "01", "999", "00"));  // the file is not empty
  for (const Case& c : cases) AddClient("01", c.number, c.custType, c.legalEntitySql);

  const auto outcome = Run(&SyncMiscCltFld);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    const auto line = Line04("01", c.number);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(*line, ExpectedLine04("01", c.number, c.letter));
    EXPECT_EQ(line->substr(16, 3), "001");
    EXPECT_EQ(line->substr(19, 103), std::string(103, ' '));
  }
  EXPECT_EQ(Value("select LegalEntityCode from Customer where Number = '   103'"), "0");
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"1/5", "2/5", "3/5", "4/5", "5/5",
                                                     "Done, select another option"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(SyncMiscCltFldTest, ExistingLine04IsKeptEvenWhenItsLetterDiffers) {
  const std::string existing = ApRecord(ap::kClient, "01", "101", "04")
                                   .Set(ap::client04::Amount1099, "0000012345")
                                   .Set(ap::client04::LegalEntity, "P");
  Put("ap", existing);
  AddClient("01", "   101", 0, "1");

  ASSERT_TRUE(Run(&SyncMiscCltFld).completed);

  EXPECT_EQ(Records("ap"), (std::vector<std::string>{existing}));
}

TEST_F(SyncMiscCltFldTest, PersonalClientsGetNoLine04ButTheirNullCodeBecomesZero) {
  CreateFile("ap");
  AddClient("01", "   201", 2, "NULL");

  ASSERT_TRUE(Run(&SyncMiscCltFld).completed);

  EXPECT_TRUE(Records("ap").empty());
  EXPECT_EQ(Value("select LegalEntityCode from Customer where Number = '   201'"), "0");
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"Done, select another option"}));
}

TEST_F(SyncMiscCltFldTest, ClientsOfEveryAgencyAreHandled) {
  CreateFile("ap");
  AddClient("01", "   301", 1, "1");
  AddClient("02", "   301", 1, "2");
  form->edtAgyCode = "01";

  ASSERT_TRUE(Run(&SyncMiscCltFld).completed);

  EXPECT_EQ(Line04("01", "301"), ExpectedLine04("01", "301", 'I'));
  EXPECT_EQ(Line04("02", "301"), ExpectedLine04("02", "301", 'P'));
}

TEST_F(SyncMiscCltFldTest, NumberStoredWithoutLeadingBlanksGetsTheRightJustifiedKey) {
  CreateFile("ap");
  AddClient("01", "42", 1, "2");

  ASSERT_TRUE(Run(&SyncMiscCltFld).completed);

  EXPECT_EQ(Records("ap"), (std::vector<std::string>{ExpectedLine04("01", "42", 'P')}));
}

TEST_F(SyncMiscCltFldTest, SecondRunAddsNothing) {
  CreateFile("ap");
  AddClient("01", "   101", 0, "1");
  ASSERT_TRUE(Run(&SyncMiscCltFld).completed);
  const auto first = Records("ap");

  Sql("update Customer set LegalEntityCode = 2");
  ASSERT_TRUE(Run(&SyncMiscCltFld).completed);

  EXPECT_EQ(Records("ap"), first);
}

TEST_F(SyncMiscCltFldTest, MissingFileIsReportedAndTheDatabaseStillUpdated) {
  AddClient("01", "   101", 0, "NULL");

  const auto outcome = Run(&SyncMiscCltFld);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (std::vector<std::string>{"Unable to open ap file " + DataPath() +
                                                  "\\ap, status is 12"}));
  EXPECT_EQ(Value("select LegalEntityCode from Customer"), "0");
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

TEST_F(SyncMiscCltFldTest, UnknownAliasEndsTheRunWithTheDatabaseError) {
  CreateFile("ap");
  form->edtODBCName = "NOSUCHALIAS";

  const auto outcome = Run(&SyncMiscCltFld);

  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCHALIAS"), std::string::npos) << outcome.error;
  EXPECT_TRUE(Records("ap").empty());
}

}  // namespace
}  // namespace talvor::testing
