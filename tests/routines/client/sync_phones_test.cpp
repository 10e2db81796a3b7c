// Sync Phones on a small site: display-form phones in Customer and Contact, and the first
// two client phones in the "ap" lines "01" and "02".
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/fault_injection.h"
#include "routines/client/client_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

namespace ap = layout::ap;
using layout::GetField;

// A client line with `line`'s key and "001" at 16, `fill` in every other byte.
std::string ClientLine(const std::string& number, const std::string& line, char fill = ' ') {
  std::string record(ap::kRecordLength, fill);
  layout::SetField(record, ap::Key, layout::ApKey(ap::kClient, "01", number, line));
  layout::SetField(record, ap::RecTypeCopy, ap::kClient);
  return record;
}

std::string WithField(std::string record, layout::Field field, const std::string& value) {
  layout::SetField(record, field, value);
  return record;
}

class SyncPhonesTest : public testing::SiteTest {
 protected:
  void AddClient(const std::string& number, const std::string& name, int custType,
                 const std::string& phone1, const std::string& phone2, const std::string& phone3) {
    Sql("INSERT INTO Customer (AgyCode, Number, Name, CustType, Phone1, Phone2, Phone3) VALUES "
        "('01', '" +
        number + "', '" + name + "', " + std::to_string(custType) + ", '" + phone1 + "', '" +
        phone2 + "', '" + phone3 + "')");
  }
  std::vector<std::string> Phones(const std::string& number) {
    return Rows("SELECT Phone1, Phone2, Phone3 FROM Customer WHERE Number = '" + number + "'")
        .at(0);
  }
  std::string ApPath() const { return DataPath() + "\\ap"; }
  // The stored client line of agency "01", or "" (and a failure) when there is none.
  std::string StoredLine(const std::string& number, const std::string& line) {
    const auto record = Find("ap", layout::ApKey(ap::kClient, "01", number, line));
    if (!record) ADD_FAILURE() << "no line " << line << " of client " << number;
    return record.value_or("");
  }
};

TEST_F(SyncPhonesTest, NormalisesClientPhonesAndUpdatesOnlyThePhoneBytesOfExistingLines) {
  form->edtAgyCode = "99";  // the agency box plays no part: rows carry their own agency
  AddClient("    42", "ACME", 1, "555.123.4567", "5551234", "");
  const std::string line01 =
      WithField(ClientLine("    42", "01", 'x'), ap::client01::Phone1, "1111111111");
  const std::string line02 =
      WithField(ClientLine("    42", "02", 'y'), ap::client02::Phone2, "2222222222");
  Put("ap", {line01, line02});

  const RunOutcome outcome = Run(&SyncPhones);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Phones("    42"),
            (std::vector<std::string>{"(555)123-4567", "(000)555-1234", "(000)000-0000"}));
  EXPECT_EQ(Records("ap"),
            (std::vector<std::string>{WithField(line01, ap::client01::Phone1, "5551234567"),
                                      WithField(line02, ap::client02::Phone2, "0005551234")}));
  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

TEST_F(SyncPhonesTest, PersonalLinesClientKeepsItsSecondPhoneTwoBytesEarlier) {
  AddClient("    42", "SMITH", 2, "", "(555)222-3333", "");
  const std::string line02 = ClientLine("    42", "02", 'y');
  Put("ap", {ClientLine("    42", "01"), line02});

  ASSERT_TRUE(Run(&SyncPhones).completed);

  EXPECT_EQ(StoredLine("42", "02"), WithField(line02, ap::client02::Phone2Personal, "5552223333"));
  EXPECT_EQ(GetField(StoredLine("42", "01"), ap::client01::Phone1), "0000000000");
}

struct NewLinesCase {
  int custType;
  std::string typeLetter;  // on the new line "01"
  layout::Field phone2;    // where the new line "02" holds the second phone
};

void PrintTo(const NewLinesCase& c, std::ostream* os) {
  *os << "CustType " << c.custType;
}

class SyncPhonesNewLinesTest : public SyncPhonesTest,
                               public ::testing::WithParamInterface<NewLinesCase> {};

TEST_P(SyncPhonesNewLinesTest, MissingLinesAreCreatedBlankButForKeyTypeAndPhone) {
  const NewLinesCase& c = GetParam();
  AddClient("   777", "NEW", c.custType, "(555)111-2222", "555 333 4444", "");
  CreateFile("ap");

  ASSERT_TRUE(Run(&SyncPhones).completed);

  std::string expected01 =
      WithField(ClientLine("   777", "01"), ap::client01::Phone1, "5551112222");
  expected01 = WithField(expected01, ap::client01::CltTypeLetter, c.typeLetter);
  const std::string expected02 = WithField(ClientLine("   777", "02"), c.phone2, "5553334444");
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{expected01, expected02}));
  EXPECT_TRUE(fe.Notes().empty());
}

INSTANTIATE_TEST_SUITE_P(ClientTypes, SyncPhonesNewLinesTest,
                         ::testing::Values(NewLinesCase{0, "B", ap::client02::Phone2},
                                           NewLinesCase{1, "C", ap::client02::Phone2},
                                           NewLinesCase{2, "P", ap::client02::Phone2Personal},
                                           NewLinesCase{3, " ", ap::client02::Phone2}));

TEST_F(SyncPhonesTest, EmptyPhoneBecomesZerosInTableAndFile) {
  AddClient("     5", "EMPTY", 1, "", "", "");
  CreateFile("ap");

  ASSERT_TRUE(Run(&SyncPhones).completed);

  EXPECT_EQ(Phones("     5"),
            (std::vector<std::string>{"(000)000-0000", "(000)000-0000", "(000)000-0000"}));
  EXPECT_EQ(GetField(StoredLine("5", "01"), ap::client01::Phone1), "0000000000");
  EXPECT_EQ(GetField(StoredLine("5", "02"), ap::client02::Phone2), "0000000000");
}

TEST_F(SyncPhonesTest, SecondRunRewritesTheSameValuesAndCreatesNothingMore) {
  AddClient("    42", "ACME", 2, "5551234", "555-222-3333", "x");
  AddClient("    43", "BETA", 0, "", "", "");
  Put("ap", ClientLine("    42", "01", 'z'));
  Sql("INSERT INTO Contact (AgyCode, CltNum, Number, Name, Phone1) VALUES ('01', '    42', '1', "
      "'JO', '5551234')");

  ASSERT_TRUE(Run(&SyncPhones).completed);
  const auto records = Records("ap");
  const auto customers = Rows("SELECT * FROM Customer ORDER BY rowid");
  const auto contacts = Rows("SELECT * FROM Contact ORDER BY rowid");
  ASSERT_EQ(records.size(), 4U);

  ASSERT_TRUE(Run(&SyncPhones).completed);
  EXPECT_EQ(Records("ap"), records);
  EXPECT_EQ(Rows("SELECT * FROM Customer ORDER BY rowid"), customers);
  EXPECT_EQ(Rows("SELECT * FROM Contact ORDER BY rowid"), contacts);
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(SyncPhonesTest, ContactsAreNormalisedInTheTableOnly) {
  CreateFile("ap");
  Sql("INSERT INTO Contact (AgyCode, CltNum, Number, Name, Phone1, Phone2, Phone3, Phone4) VALUES "
      "('01', '    42', '1', 'JANE', '555.123.4567', '5551234', NULL, '1-800-555-1234')");

  ASSERT_TRUE(Run(&SyncPhones).completed);

  EXPECT_EQ(Rows("SELECT Phone1, Phone2, Phone3, Phone4 FROM Contact"),
            (std::vector<std::vector<std::string>>{
                {"(555)123-4567", "(000)555-1234", "(000)000-0000", "(000)000-0000"}}));
  EXPECT_TRUE(Records("ap").empty());
  EXPECT_EQ(Rows("SELECT Name, AgyCode, CltNum, Number FROM Contact"),
            (std::vector<std::vector<std::string>>{{"JANE", "01", "    42", "1"}}));
}

TEST_F(SyncPhonesTest, StatusLabelShowsEachClientThenEachContactThenDone) {
  CreateFile("ap");
  AddClient("    42", "ACME", 1, "", "", "");
  Sql("INSERT INTO Contact (AgyCode, CltNum, Number, Name) VALUES ('01', '    42', '7', 'JANE')");

  ASSERT_TRUE(Run(&SyncPhones).completed);

  EXPECT_EQ(fe.Statuses(),
            (std::vector<std::string>{"01/    42ACME", "01/    42/7/JANE", "Done!"}));
  EXPECT_GE(fe.Repaints(), 2);
}

TEST_F(SyncPhonesTest, ShortNumberFindsTheRightJustifiedLines) {
  AddClient("42", "ACME", 1, "5551112222", "", "");
  const std::string line01 = ClientLine("    42", "01", 'x');
  Put("ap", {line01, ClientLine("    42", "02")});

  ASSERT_TRUE(Run(&SyncPhones).completed);

  EXPECT_EQ(Records("ap").size(), 2U);
  EXPECT_EQ(StoredLine("    42", "01"), WithField(line01, ap::client01::Phone1, "5551112222"));
}

TEST_F(SyncPhonesTest, NumberTooLongForTheKeyLeavesTheFileAloneAndSaysSo) {
  CreateFile("ap");
  AddClient("1234567", "LONG", 1, "5551112222", "", "");

  ASSERT_TRUE(Run(&SyncPhones).completed);

  EXPECT_TRUE(Records("ap").empty());
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{
                "Client [01][1234567] does not fit the ap key; its ap lines were not changed"}));
  EXPECT_EQ(Phones("1234567")[0], "(555)111-2222");
}

TEST_F(SyncPhonesTest, MissingFileIsReportedAndEveryInsertFailsInTurn) {
  AddClient("    42", "ACME", 1, "5551112222", "", "");

  const RunOutcome outcome = Run(&SyncPhones);

  ASSERT_TRUE(outcome.completed);
  EXPECT_EQ(fe.Notes(), (std::vector<std::string>{
                            "Unable to open ap file " + ApPath() + ", status is 12",
                            "(02) Unable to Insert ap file " + ApPath() + ", status is 3",
                            "(04) Unable to Insert ap file " + ApPath() + ", status is 3"}));
  EXPECT_EQ(Phones("    42")[0], "(555)111-2222");
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

struct EngineFault {
  FaultOp op;
  int nth;
  bool linesExist;
  const char* message;  // before " ap file <path>, status is 2"
};

void PrintTo(const EngineFault& f, std::ostream* os) {
  *os << f.message;
}

class SyncPhonesFaultTest : public SyncPhonesTest,
                            public ::testing::WithParamInterface<EngineFault> {};

TEST_P(SyncPhonesFaultTest, FailedWriteIsShownAndTheWalkGoesOn) {
  const EngineFault& f = GetParam();
  AddClient("    42", "ACME", 1, "5551112222", "5553334444", "");
  AddClient("    43", "BETA", 1, "5556667777", "", "");
  if (f.linesExist) {
    Put("ap", {ClientLine("    42", "01"), ClientLine("    42", "02")});
  } else {
    CreateFile("ap");
  }
  AddFault({"ap", f.op, f.nth, 2, 1});

  ASSERT_TRUE(Run(&SyncPhones).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_EQ(fe.Notes(), (std::vector<std::string>{std::string(f.message) + " ap file " + ApPath() +
                                                  ", status is 2"}));
  // The next client is still handled.
  EXPECT_EQ(GetField(StoredLine("43", "01"), ap::client01::Phone1), "5556667777");
  EXPECT_EQ(Phones("    43")[0], "(555)666-7777");
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SyncPhonesFaultTest,
    ::testing::Values(EngineFault{FaultOp::kUpdate, 1, true, "(01) Unable to update"},
                      EngineFault{FaultOp::kInsert, 1, false, "(02) Unable to Insert"},
                      EngineFault{FaultOp::kUpdate, 2, true, "(03) Unable to update"},
                      EngineFault{FaultOp::kInsert, 2, false, "(04) Unable to Insert"}));

TEST_F(SyncPhonesTest, UnknownAliasEndsTheRunWithTheLayersMessage) {
  CreateFile("ap");
  form->edtODBCName = "NOSUCHDB";

  const RunOutcome outcome = Run(&SyncPhones);

  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCHDB"), std::string::npos) << outcome.error;
  EXPECT_EQ(fe.Errors().size(), 1U);
}

}  // namespace
}  // namespace talvor
