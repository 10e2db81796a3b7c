// Contact Phones on a small site: contact phones in display form, empty ones in positions
// 1, 2 and 4 filled from the client by its type, each fill logged in "reset_phone.log".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "routines/client/client_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

using Table = std::vector<std::vector<std::string>>;

class ContactPhonesTest : public testing::SiteTest {
 protected:
  void AddClient(const std::string& number, int custType, const std::string& phone1,
                 const std::string& phone2) {
    Sql("INSERT INTO Customer (AgyCode, Number, CustType, Phone1, Phone2) VALUES ('01', '" +
        number + "', " + std::to_string(custType) + ", '" + phone1 + "', '" + phone2 + "')");
  }
  void AddContact(const std::string& client, const std::string& number, const std::string& name,
                  const std::string& p1 = "", const std::string& p2 = "",
                  const std::string& p3 = "", const std::string& p4 = "") {
    Sql("INSERT INTO Contact (AgyCode, CltNum, Number, Name, Phone1, Phone2, Phone3, Phone4) "
        "VALUES "
        "('01', '" +
        client + "', '" + number + "', '" + name + "', '" + p1 + "', '" + p2 + "', '" + p3 +
        "', '" + p4 + "')");
  }
  Table ContactPhonesOf() {
    return Rows("SELECT Phone1, Phone2, Phone3, Phone4 FROM Contact ORDER BY rowid");
  }
};

TEST_F(ContactPhonesTest, BrokerClientFillsPositionsOneAndTwoCrosswise) {
  AddClient("    42", 0, "(555)111-1111", "(555)222-2222");
  AddContact("    42", "1", "JANE");

  ASSERT_TRUE(Run(&ContactPhones).completed);

  EXPECT_EQ(ContactPhonesOf(),
            (Table{{"(555)222-2222", "(555)111-1111", "(000)000-0000", "(000)000-0000"}}));
  EXPECT_EQ(
      ReportLines("reset_phone.log"),
      (std::vector<std::string>{"Resetting 1 [01][    42][1][0][(555)111-1111][(555)222-2222]",
                                "Resetting 2 [01][    42][1][0][(555)111-1111][(555)222-2222]",
                                "Resetting 4 [01][    42][1][0][(555)111-1111][(555)222-2222]"}));
}

class ContactPhonesOtherTypeTest : public ContactPhonesTest,
                                   public ::testing::WithParamInterface<int> {};

TEST_P(ContactPhonesOtherTypeTest, FillsPositionsOneAndFourFromTheClient) {
  const std::string type = std::to_string(GetParam());
  AddClient("    42", GetParam(), "(555)111-1111", "(555)222-2222");
  AddContact("    42", "1", "JANE");

  ASSERT_TRUE(Run(&ContactPhones).completed);

  EXPECT_EQ(ContactPhonesOf(),
            (Table{{"(555)111-1111", "(000)000-0000", "(000)000-0000", "(555)222-2222"}}));
  const std::string tail = "[01][    42][1][" + type + "][(555)111-1111][(555)222-2222]";
  EXPECT_EQ(ReportLines("reset_phone.log"),
            (std::vector<std::string>{"Resetting 1 " + tail, "Resetting 2 " + tail,
                                      "Resetting 4 " + tail}));
}

INSTANTIATE_TEST_SUITE_P(ClientTypes, ContactPhonesOtherTypeTest, ::testing::Values(1, 2, 3));

TEST_F(ContactPhonesTest, FilledValueIsTheClientsPhoneAsStored) {
  AddClient("    42", 1, "555.111.1111", "");
  AddContact("    42", "1", "JANE", "", "5553334444", "", "");

  ASSERT_TRUE(Run(&ContactPhones).completed);

  EXPECT_EQ(ContactPhonesOf(), (Table{{"555.111.1111", "(555)333-4444", "(000)000-0000", ""}}));
  EXPECT_EQ(ReportLines("reset_phone.log"),
            (std::vector<std::string>{"Resetting 1 [01][    42][1][1][555.111.1111][]",
                                      "Resetting 4 [01][    42][1][1][555.111.1111][]"}));
}

TEST_F(ContactPhonesTest, PhonesThatNormaliseToANumberAreWrittenBackAndLoggedNowhere) {
  AddClient("    42", 0, "(555)111-1111", "(555)222-2222");
  AddContact("    42", "1", "JANE", "555.123.4567", "5551234", "(555) 765 4321", "555-999-8888");

  ASSERT_TRUE(Run(&ContactPhones).completed);

  EXPECT_EQ(ContactPhonesOf(),
            (Table{{"(555)123-4567", "(000)555-1234", "(555)765-4321", "(555)999-8888"}}));
  EXPECT_TRUE(ReportLines("reset_phone.log").empty());
}

TEST_F(ContactPhonesTest, PhoneThreeIsNeverFilledOrLogged) {
  AddClient("    42", 0, "(555)111-1111", "(555)222-2222");
  AddContact("    42", "1", "JANE", "5550000001", "5550000002", "1-800-555-1234", "5550000004");

  ASSERT_TRUE(Run(&ContactPhones).completed);

  EXPECT_EQ(ContactPhonesOf()[0][2], "(000)000-0000");
  EXPECT_TRUE(ReportLines("reset_phone.log").empty());
}

TEST_F(ContactPhonesTest, ContactWithoutClientRowIsNormalisedWithTypeOneAndEmptyFills) {
  AddClient("    43", 0, "(555)111-1111", "(555)222-2222");  // another client
  AddContact("    42", "9", "ORPHAN", "", "", "", "");

  ASSERT_TRUE(Run(&ContactPhones).completed);

  EXPECT_EQ(ContactPhonesOf(),
            (Table{{"(000)000-0000", "(000)000-0000", "(000)000-0000", "(000)000-0000"}}));
  const std::string tail = "[01][    42][9][1][(000)000-0000][(000)000-0000]";
  EXPECT_EQ(ReportLines("reset_phone.log"),
            (std::vector<std::string>{"Resetting 1 " + tail, "Resetting 2 " + tail,
                                      "Resetting 4 " + tail}));
}

TEST_F(ContactPhonesTest, ClientIsFoundOnlyByItsExactNumber) {
  AddClient("42", 0, "(555)111-1111", "(555)222-2222");  // stored without leading blanks
  AddContact("    42", "1", "JANE");

  ASSERT_TRUE(Run(&ContactPhones).completed);

  EXPECT_EQ(ContactPhonesOf()[0][0], "(000)000-0000");
  EXPECT_EQ(ReportLines("reset_phone.log")[0],
            "Resetting 1 [01][    42][1][1][(000)000-0000][(000)000-0000]");
}

TEST_F(ContactPhonesTest, LabelKeepsTheLastContactsTextAndNoOtherTableIsTouched) {
  AddClient("    42", 1, "(555)111-1111", "(555)222-2222");
  AddContact("    42", "1", "JANE", "5551112222", "5551112222", "5551112222", "5551112222");
  AddContact("    42", "2", "JOHN", "5551112222", "5551112222", "5551112222", "5551112222");
  const auto clients = Rows("SELECT * FROM Customer");

  ASSERT_TRUE(Run(&ContactPhones).completed);

  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"01/    42/1/JANE", "01/    42/2/JOHN"}));
  EXPECT_EQ(form->Label3.Caption(), "01/    42/2/JOHN");
  EXPECT_EQ(Rows("SELECT * FROM Customer"), clients);
  EXPECT_FALSE(FileExists("data/ap"));
}

TEST_F(ContactPhonesTest, SecondRunFindsNothingEmptyWhereTheFirstFilledFromTheClient) {
  AddClient("    42", 0, "(555)111-1111", "(555)222-2222");
  AddContact("    42", "1", "JANE");

  ASSERT_TRUE(Run(&ContactPhones).completed);
  ASSERT_TRUE(Run(&ContactPhones).completed);

  EXPECT_EQ(ContactPhonesOf(),
            (Table{{"(555)222-2222", "(555)111-1111", "(000)000-0000", "(000)000-0000"}}));
  EXPECT_EQ(
      ReportLines("reset_phone.log"),
      (std::vector<std::string>{"Resetting 4 [01][    42][1][0][(555)111-1111][(555)222-2222]"}));
}

TEST_F(ContactPhonesTest, UnknownAliasEndsTheRunAndLeavesAnEmptyLog) {
  form->edtODBCName = "NOSUCHDB";

  const RunOutcome outcome = Run(&ContactPhones);

  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCHDB"), std::string::npos) << outcome.error;
  EXPECT_TRUE(ReportLines("reset_phone.log").empty());
}

}  // namespace
}  // namespace talvor
