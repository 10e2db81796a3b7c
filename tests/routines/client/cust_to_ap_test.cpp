// Cust->AP on a small site: Customer rows of every agency carried into "ap" lines "00" and
// "01", new lines built whole, existing ones changed field by field, phones in display form
// kept as their ten digits.
#include <filesystem>
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/fault_injection.h"
#include "routines/client/client_routines.h"
#include "tests/routines/client/ap_test_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace ap = layout::ap;
namespace line00 = layout::ap::line00;
namespace client01 = layout::ap::client01;

struct Customer {
  std::string agency = "01";
  std::string number = "    42";
  std::string name = "Acme Roofing Supply Company Ltd";
  std::string address1 = "12 Main St";
  std::string address2 = "Suite 5";
  std::string city = "San Bernardino Heights";
  std::string state = "CA";
  std::string zip = "92401-1234";
  std::string phone1 = "(909)555-0100";
  int custType = 1;
  std::string territory = "T";
  std::string userCodes[3] = {"U1", "U2", "U3"};
  std::string contact = "Jane Roe";
  std::string underwriter = "7";
  std::string subPrd = "";
  std::string csr = "AB";
};

class CustToApTest : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    CreateFile("ap");
  }
  void Add(const Customer& c) {
    Sql("insert into Customer (AgyCode, Number, Name, Address1, Address2, City, State, Zip, "
        "Phone1, CustType, Territory, UserCode1, UserCode2, UserCode3, ContactName, "
        "Underwriter, SubPrdCode, CSR) values ('" +
        c.agency + "', '" + c.number + "', '" + c.name + "', '" + c.address1 + "', '" + c.address2 +
        "', '" + c.city + "', '" + c.state + "', '" + c.zip + "', '" + c.phone1 + "', " +
        std::to_string(c.custType) + ", '" + c.territory + "', '" + c.userCodes[0] + "', '" +
        c.userCodes[1] + "', '" + c.userCodes[2] + "', '" + c.contact + "', '" + c.underwriter +
        "', '" + c.subPrd + "', '" + c.csr + "')");
  }
  std::string ApPath() const { return DataPath() + "\\ap"; }
};

// The lines a new client of the default Customer gets, spelled out byte by byte.
const std::string kNewLine00 = std::string("001000") + "01" + "    42" + "00" + "001" + "ACME R" +
                               "Acme Roofing Supply Compa" + "C" + "12 Main St               " +
                               "Suite 5                  " + "San Bernardino" + "CA" + "924011234" +
                               "OB";
const std::string kNewLine01 = std::string("001000") + "01" + "    42" + "01" + "001" + "T " +
                               "U1" + "U2" + "U3" + "9095550100" + "Jane Roe                 " +
                               "  7" + "C" + "   " + "   " + " AB" + "N" + std::string(52, ' ');

TEST_F(CustToApTest, NewClientGetsBothLinesBuiltWhole) {
  ASSERT_EQ(kNewLine00.size(), 128U);
  ASSERT_EQ(kNewLine01.size(), 128U);
  Add(Customer{});

  const RunOutcome outcome = Run(&CustToAp);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{kNewLine00, kNewLine01}));
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"01    42", "Done!"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(CustToApTest, ExistingLinesKeepAlphaAndEveryByteOutsideTheirFields) {
  std::string old00(ap::kRecordLength, 'q');
  layout::SetField(old00, ap::Key, layout::ApKey(ap::kClient, "01", "42", "00"));
  layout::SetField(old00, ap::RecTypeCopy, "001");
  layout::SetField(old00, line00::Alpha, "*ACME ");
  std::string old01(ap::kRecordLength, 'q');
  layout::SetField(old01, ap::Key, layout::ApKey(ap::kClient, "01", "42", "01"));
  layout::SetField(old01, ap::RecTypeCopy, "001");
  Put("ap", {old00, old01});
  Customer c;
  c.zip = "92401";
  c.custType = 0;
  Add(c);

  ASSERT_TRUE(Run(&CustToAp).completed);

  std::string want00 = old00;
  for (const auto& [field, value] : std::vector<std::pair<layout::Field, std::string>>{
           {line00::Name, "Acme Roofing Supply Compa"},
           {line00::TypeLetter, "B"},
           {line00::Address1, "12 Main St"},
           {line00::Address2, "Suite 5"},
           {line00::City, "San Bernardino"},
           {line00::State, "CA"},
           {line00::ZipNine, "92401"},
           {line00::BillMethodCd, "O"},
           {line00::BalMethodCd, "B"}}) {
    layout::SetField(want00, field, value);
  }
  std::string want01 = old01;
  for (const auto& [field, value] :
       std::vector<std::pair<layout::Field, std::string>>{{client01::Territory, "T"},
                                                          {client01::UserCode1, "U1"},
                                                          {client01::UserCode2, "U2"},
                                                          {client01::UserCode3, "U3"},
                                                          {client01::Phone1, "9095550100"},
                                                          {client01::ContactName, "Jane Roe"},
                                                          {client01::Underwriter, "  7"},
                                                          {client01::SubPrdCode, "   "},
                                                          {client01::CSR, " AB"},
                                                          {client01::CltTypeLetter, "C"},
                                                          {client01::Line01Flag, "N"}}) {
    layout::SetField(want01, field, value);
  }
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{want00, want01}));
  EXPECT_EQ(layout::GetField(Records("ap")[0], line00::Zip4), "    ");
}

struct PhoneCase {
  std::string phone;
  std::string stored;
};

class CustToApPhoneTest : public CustToApTest, public ::testing::WithParamInterface<PhoneCase> {};

TEST_P(CustToApPhoneTest, FirstPhoneIsStoredAsTenDigitsOrTenBlanks) {
  Customer c;
  c.phone1 = GetParam().phone;
  Add(c);

  ASSERT_TRUE(Run(&CustToAp).completed);

  const auto line01 = Find("ap", layout::ApKey(ap::kClient, "01", "42", "01"));
  ASSERT_TRUE(line01.has_value());
  EXPECT_EQ(layout::GetField(*line01, client01::Phone1), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Phones, CustToApPhoneTest,
    ::testing::Values(PhoneCase{"(909)555-0100", "9095550100"},  // the display form
                      PhoneCase{"(909) 555-0100", "9095550100"},
                      PhoneCase{"909-555-0100 x12", "9095550100"},
                      PhoneCase{"9095550100", "9095550100"}, PhoneCase{"555-0100", "          "},
                      PhoneCase{"(000)555-01", "          "}, PhoneCase{"", "          "}));

TEST_F(CustToApTest, TypeLetterOutsideTheKnownTypesIsBlankOnNewAndKeptOnExistingLines) {
  Put("ap", ApRecord(ap::kClient, "01", "43", "00").Set(line00::TypeLetter, "P"));
  Customer fresh;
  fresh.custType = 7;
  Add(fresh);
  Customer existing = fresh;
  existing.number = "    43";
  Add(existing);

  ASSERT_TRUE(Run(&CustToAp).completed);

  const auto new00 = Find("ap", layout::ApKey(ap::kClient, "01", "42", "00"));
  const auto old00 = Find("ap", layout::ApKey(ap::kClient, "01", "43", "00"));
  ASSERT_TRUE(new00.has_value() && old00.has_value());
  EXPECT_EQ(layout::GetField(*new00, line00::TypeLetter), " ");
  EXPECT_EQ(layout::GetField(*old00, line00::TypeLetter), "P");
  EXPECT_EQ(layout::GetField(*old00, line00::Alpha), "      ");
}

TEST_F(CustToApTest, RowsOfEveryAgencyAreCarriedInTableOrder) {
  form->edtAgyCode = "01";
  Customer other;
  other.agency = " 2";
  other.number = "     7";
  Add(other);
  Add(Customer{});

  ASSERT_TRUE(Run(&CustToAp).completed);

  std::vector<std::string> keys;
  for (const std::string& r : Records("ap")) keys.push_back(r.substr(0, 16));
  EXPECT_EQ(keys, (std::vector<std::string>{"001000 2     700", "001000 2     701",
                                            "00100001    4200", "00100001    4201"}));
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{" 2     7", "01    42", "Done!"}));
}

TEST_F(CustToApTest, RowWhoseNumberDoesNotFitTheKeyIsShownAndWritesNothing) {
  Customer tooLong;
  tooLong.number = "1234567";  // would be cut to 123456, another client's key
  Add(tooLong);
  Customer blank;
  blank.number = "";
  Add(blank);
  Add(Customer{});

  ASSERT_TRUE(Run(&CustToAp).completed);

  EXPECT_EQ(fe.Notes(), (std::vector<std::string>{
                            "Client [01][1234567] does not fit the ap key; its ap lines were "
                            "not changed",
                            "Client [01][] does not fit the ap key; its ap lines were not "
                            "changed"}));
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{kNewLine00, kNewLine01}));
}

TEST_F(CustToApTest, SecondRunChangesNothing) {
  Add(Customer{});
  ASSERT_TRUE(Run(&CustToAp).completed);
  ASSERT_TRUE(Run(&CustToAp).completed);
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{kNewLine00, kNewLine01}));
}

TEST_F(CustToApTest, MissingFileIsShownAndTheRunStillEnds) {
  std::filesystem::remove(std::filesystem::path(DataPath()) / "ap");
  Add(Customer{});

  const RunOutcome outcome = Run(&CustToAp);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open ap file " + ApPath() + ", status is 12"}));
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

TEST_F(CustToApTest, FailedWriteIsSkippedSilentlyAndTheNextLineStillWritten) {
  Add(Customer{});
  AddFault({"ap", FaultOp::kInsert, 1, 2, 1});  // line "00"

  ASSERT_TRUE(Run(&CustToAp).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{kNewLine01}));
  EXPECT_TRUE(fe.Notes().empty());
}

}  // namespace
}  // namespace talvor::testing
