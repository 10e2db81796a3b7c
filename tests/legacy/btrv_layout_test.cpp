// Record layouts, field access and the shared record builders, checked byte for byte.
#include "legacy/btrv_layout.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "legacy/record_file.h"

namespace talvor::layout {
namespace {

using namespace std::string_literals;

// `text` padded with blanks to `width`.
std::string Pad(const std::string& text, std::size_t width) {
  return text + std::string(width - text.size(), ' ');
}

CustomerRow SampleCustomer() {
  CustomerRow row;
  row.AgyCode = "1";
  row.Number = "42";
  row.Name = "  acme roofing supply company inc";
  row.Address1 = "12 Main St";
  row.Address2 = "Suite 5";
  row.City = "San Bernardino Hills";
  row.State = "CA";
  row.Zip = "92401-1234";
  row.Phone1 = "909-555-0100";
  row.CustType = 1;
  row.Territory = "T";
  row.UserCode1 = "U1";
  row.UserCode2 = "U2";
  row.UserCode3 = "U3";
  row.ContactName = "Jane Roe";
  row.Underwriter = "7";
  row.SubPrdCode = "AB";
  row.CSR = "CSR";
  return row;
}

// ---------------------------------------------------------------------------------------
// Layouts and the known-file table

TEST(LayoutTest, KnownFilesHaveTheLayoutsLengthsAndKeys) {
  struct Case {
    const char* name;
    int length;
    Field key0;
    std::vector<KeyDefinition> more;
  };
  const std::vector<Case> cases = {
      {"ap", ap::kRecordLength, ap::Key, {}},
      {"AP", ap::kRecordLength, ap::Key, {}},
      {"extap", extap::kRecordLength, extap::Key, {}},
      {"pol", pol::kRecordLength, pol::PolKey, {{pol::Key1.offset, pol::Key1.width, true}}},
      {"Jcki", jcki::kRecordLength, jcki::Key, {{jcki::Key1.offset, jcki::Key1.width, true}}},
      {"OLDJCKI", jcki::kRecordLength, jcki::Key, {{jcki::Key1.offset, jcki::Key1.width, true}}},
      {"JCKI102705", jcki::kRecordLength, jcki::Key, {{jcki::Key1.offset, jcki::Key1.width, true}}},
      {"desc", desc::kRecordLength, desc::Key, {}},
      {"DIANDX", diandx::kRecordLength, diandx::Key, {}},
  };
  for (const Case& c : cases) {
    std::optional<RecordFileDefinition> def = KnownFileDefinition(c.name);
    ASSERT_TRUE(def.has_value()) << c.name;
    EXPECT_EQ(def->recordLength, c.length) << c.name;
    std::vector<KeyDefinition> keys = {{c.key0.offset, c.key0.width, false}};
    keys.insert(keys.end(), c.more.begin(), c.more.end());
    EXPECT_EQ(def->keys, keys) << c.name;
  }
  EXPECT_EQ(KnownFileDefinition("risk")->recordLength, 187);
  EXPECT_EQ(KnownFileDefinition("FORMS.NDX")->recordLength, 4040);
  EXPECT_EQ(KnownFileDefinition("DiaData")->recordLength, 4016);
  EXPECT_TRUE(KnownFileDefinition("DiaData")->keys.empty());
  EXPECT_FALSE(KnownFileDefinition("ap2").has_value());
  EXPECT_FALSE(KnownFileDefinition("").has_value());
}

TEST(LayoutTest, KeyFieldsFollowEachOtherWithoutGaps) {
  EXPECT_EQ(ap::RecType.end(), ap::KeyFiller.offset);
  EXPECT_EQ(ap::KeyFiller.end(), ap::AgyCode.offset);
  EXPECT_EQ(ap::AgyCode.end(), ap::Number.offset);
  EXPECT_EQ(ap::Number.end(), ap::Line.offset);
  EXPECT_EQ(ap::Line.end(), ap::Key.end());
  EXPECT_EQ(extap::Line.end(), extap::Key.end());
  EXPECT_EQ(pol::SeqSuffix.end(), pol::PolKey.end());
  EXPECT_EQ(jcki::ItemCode.end(), jcki::Key.end());
  EXPECT_EQ(desc::Line.end(), desc::Key.end());
  EXPECT_EQ(ap::line00::Zip.end(), ap::line00::Zip4.offset);
  EXPECT_EQ(ap::line00::ZipNine.end(), ap::line00::Zip4.offset + 4);
}

// ---------------------------------------------------------------------------------------
// Field access

TEST(FieldTest, GetFieldReadsLikeFixedField) {
  std::string record = "001000 1    4200" + "\0"s + "01" + std::string(5, 'x');
  EXPECT_EQ(GetField(record, ap::RecType), "001");
  EXPECT_EQ(GetField(record, ap::Number), "    42");
  EXPECT_EQ(GetField(record, ap::RecTypeCopy), "   ");  // starts with a NUL byte
  EXPECT_EQ(GetField(record, {17, 4}), "01xx");
  EXPECT_EQ(GetField(record, {20, 8}), "xxxx    ");  // runs past the end
  EXPECT_EQ(GetField(record, {200, 3}), "   ");
}

TEST(FieldTest, SetFieldPadsOrCutsAndTouchesNothingElse) {
  std::string record(20, '.');
  SetField(record, {2, 5}, "ab");
  EXPECT_EQ(record, "..ab   .............");
  SetField(record, {10, 3}, "TOOLONG");
  EXPECT_EQ(record, "..ab   ...TOO.......");
  SetField(record, {0, 2}, " x ");
  EXPECT_EQ(record,
            " x"
            "ab   ...TOO.......");
  char buffer[8] = {'-', '-', '-', '-', '-', '-', '-', '-'};
  SetField(buffer, {6, 2}, "Z");
  EXPECT_EQ(std::string(buffer, 8), "------Z ");
  EXPECT_THROW(SetField(buffer, {7, 2}, "Z"), std::out_of_range);
  EXPECT_THROW(SetField(record, {-1, 2}, "Z"), std::out_of_range);
}

// ---------------------------------------------------------------------------------------
// Keys

TEST(BuilderTest, ApKeyJustifiesAgencyAndCode) {
  struct Case {
    std::string rec_type, agency, code, line, expected;
  };
  const std::vector<Case> cases = {
      {"001", "01", "42", "00", "00100001    4200"},
      {"001", "1", "150000", "01", "001000 115000001"},
      {"002", " 1 ", " ABC ", "73", "002000 1   ABC73"},
      {"888", "", "", "00", "888000" + std::string(8, ' ') + "00"},
      {"005", "01", "PL", "00", "00500001    PL00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ApKey(c.rec_type, c.agency, c.code, c.line), c.expected) << c.code;
  }
}

TEST(BuilderTest, PolicyKeyPadsTheNumberAndWritesTwoSequenceDigits) {
  EXPECT_EQ(PolKey("01", "ABC123", 5), "01ABC123              050");
  EXPECT_EQ(PolKey("1", " P-9 ", 12), " 1" + Pad("P-9", 20) + "120");
  EXPECT_EQ(PolKey("01", "", 0).size(), 25u);
  EXPECT_THROW(PolKey("01", "X", 100), std::out_of_range);
  EXPECT_THROW(PolKey("01", "X", -1), std::out_of_range);
}

TEST(BuilderTest, InvoiceKeyZeroFillsTheNumber) {
  EXPECT_EQ(JckiKey("01", 'I', "123", jcki::kHeader), "01I00012301000");
  EXPECT_EQ(JckiKey("1", 'K', "004711", "01"), " 1K00471101   ");
}

// ---------------------------------------------------------------------------------------
// Client lines

TEST(BuilderTest, NewClientLine00CarriesTheCustomerRow) {
  std::string expected =
      "001000 1    4200"
      "001"
      "ACME R" +
      Pad("acme roofing supply compa", 25) + "C" + Pad("12 Main St", 25) + Pad("Suite 5", 25) +
      "San Bernardino" + "CA" + "924011234" + "OB";
  ASSERT_EQ(expected.size(), 128u);
  EXPECT_EQ(NewClientLine00(SampleCustomer()), expected);
}

TEST(BuilderTest, ClientTypeLetterFollowsCustType) {
  struct Case {
    int cust_type;
    char letter;
  };
  for (const Case& c : {Case{0, 'B'}, Case{1, 'C'}, Case{2, 'P'}, Case{3, '\0'}, Case{-1, '\0'}}) {
    EXPECT_EQ(ClientTypeLetter(c.cust_type), c.letter) << c.cust_type;
    CustomerRow row = SampleCustomer();
    row.CustType = c.cust_type;
    std::string fresh = NewClientLine00(row);
    EXPECT_EQ(fresh[50], c.letter ? c.letter : ' ') << c.cust_type;
    std::string existing(128, '#');
    SetClientLine00(existing, row);
    EXPECT_EQ(existing[50], c.letter ? c.letter : '#') << c.cust_type;
  }
}

TEST(BuilderTest, UpdatingLine00KeepsTheKeyAndTheAlpha) {
  std::string record = "001000 1    4200001*ACME " + std::string(103, '#');
  CustomerRow row = SampleCustomer();
  row.Zip = "92401";
  SetClientLine00(record, row);
  EXPECT_EQ(record.substr(0, 25), "001000 1    4200001*ACME ");
  EXPECT_EQ(GetField(record, ap::line00::Name), Pad("acme roofing supply compa", 25));
  EXPECT_EQ(GetField(record, ap::line00::ZipNine), "92401    ");
  EXPECT_EQ(GetField(record, ap::line00::Zip4), "    ");
  EXPECT_EQ(record.substr(126), "OB");
  EXPECT_EQ(record.size(), 128u);
}

TEST(BuilderTest, NewClientLine01CarriesCodesAndTheCleanedPhone) {
  std::string expected =
      "001000 1    4201"
      "001"
      "T "
      "U1"
      "U2"
      "U3"
      "9095550100" +
      Pad("Jane Roe", 25) + "  7" + "C" + "   " + " AB" + "CSR" + "N";
  expected += std::string(128 - expected.size(), ' ');
  EXPECT_EQ(NewClientLine01(SampleCustomer()), expected);
}

TEST(BuilderTest, APhoneOfFewerThanTenDigitsIsStoredAsBlanks) {
  struct Case {
    std::string phone, stored;
  };
  const std::vector<Case> cases = {
      {"555-0100", std::string(10, ' ')},
      {"", std::string(10, ' ')},
      {"(909)5550100", "9095550100"},
      {"909 555 0100 x12", "9095550100"},
      // The display form that "Sync Phones" writes keeps all ten digits.
      {"(909)555-0100", "9095550100"},
      {"(909) 555-0100", "9095550100"},
  };
  for (const Case& c : cases) {
    CustomerRow row = SampleCustomer();
    row.Phone1 = c.phone;
    std::string record(128, '#');
    SetClientLine01(record, row);
    EXPECT_EQ(GetField(record, ap::client01::Phone1), c.stored) << c.phone;
    EXPECT_EQ(record.substr(0, 19), std::string(19, '#'));
  }
}

// ---------------------------------------------------------------------------------------
// Code, old-system and state records

TEST(BuilderTest, AMissingCodeGetsAMinimalMainLine) {
  std::string expected =
      "00600001   GL100"
      "006"
      "GL1   " +
      Pad("GL1", 25) + "P" + std::string(71, ' ') + "0000" + "OB";
  ASSERT_EQ(expected.size(), 128u);
  EXPECT_EQ(NewMissingCodeRecord(CodeKind::kClass, "01", "GL1"), expected);
  struct Case {
    CodeKind kind;
    std::string rec_type;
    char letter;
  };
  for (const Case& c :
       {Case{CodeKind::kDepartment, "005", 'C'}, Case{CodeKind::kClass, "006", 'P'},
        Case{CodeKind::kCompany, "003", 'C'}, Case{CodeKind::kProducer, "002", 'C'}}) {
    std::string record = NewMissingCodeRecord(c.kind, "01", "7");
    EXPECT_EQ(record.substr(0, 3), c.rec_type);
    EXPECT_EQ(record.substr(16, 3), c.rec_type);
    EXPECT_EQ(record.substr(8, 6), "     7");
    EXPECT_EQ(record.substr(19, 6), "7     ");
    EXPECT_EQ(record[50], c.letter);
  }
}

TEST(BuilderTest, AnOldSystemRecordIsMarkedDeleted) {
  struct Case {
    OldRecordKind kind;
    std::string code, rec_type, name;
    char letter;
  };
  const std::vector<Case> cases = {
      {OldRecordKind::kCompany, "XYZ", "003", "Deleted Cmp [XYZ]", 'C'},
      {OldRecordKind::kProducer, " AB ", "002", "Deleted Prd [AB]", 'S'},
      {OldRecordKind::kClient, " 123456", "001", "Deleted Clt [123456]", 'P'},
  };
  for (const Case& c : cases) {
    std::string record = NewOldRecord(c.kind, "01", c.code);
    EXPECT_EQ(record.substr(0, 16), ApKey(c.rec_type, "01", c.code, "00"));
    ASSERT_EQ(record.size(), 128u);
    EXPECT_EQ(record.substr(0, 3), c.rec_type);
    EXPECT_EQ(record.substr(14, 5), "00" + c.rec_type);
    EXPECT_EQ(GetField(record, ap::line00::Alpha), "DELOLD");
    EXPECT_EQ(GetField(record, ap::line00::Name), Pad(c.name, 25));
    EXPECT_EQ(record[50], c.letter);
    EXPECT_EQ(record.substr(51, 64), std::string(64, ' '));
    EXPECT_EQ(record.substr(115, 13), "TX     0000DB");
  }
}

TEST(BuilderTest, StateLinesHoldTheNameAndTheFixedFlags) {
  std::string line00 = NewStateLine00("01", "DC", "Washington, D.C.");
  std::string expected =
      "01400001    DC00"
      "014"
      "WASHIN" +
      Pad("Washington, D.C.", 25) + "000000:90619Y" + std::string(65, ' ');
  EXPECT_EQ(line00, expected);
  EXPECT_EQ(GetField(NewStateLine00("01", "IA", "Iowa"), ap::line00::Alpha), "IOWA  ");
  EXPECT_EQ(NewStateLine00("1", "TX", "Texas").substr(0, 16), "014000 1    TX00");
  EXPECT_EQ(NewStateLine01("1", "TX"), "014000 1    TX01014" + std::string(109, ' '));
}

// ---------------------------------------------------------------------------------------
// Contacts

TEST(BuilderTest, AContactRecordRepeatsItsKeyAndCutsCityAndZip) {
  ContactRow row{"01", "42", "7", "Jane Roe", "1 Elm", "", "Rancho Cucamonga", "CA", "91730-4321"};
  std::string key = "0080142    7     00";
  EXPECT_EQ(ContactKey(row), key);
  std::string expected = key + "008" + "01" + "      " + "7     " + " " + Pad("Jane Roe", 25) +
                         Pad("1 Elm", 25) + std::string(25, ' ') + "Rancho Cucam" + "  " + "CA" +
                         "91730" + "0000" + " ";
  ASSERT_EQ(expected.size(), 138u);
  EXPECT_EQ(NewContactRecord(row), expected);
}

TEST(BuilderTest, EveryNewRecordIsExactlyItsFilesLength) {
  CustomerRow customer = SampleCustomer();
  customer.Name = std::string(200, 'N');
  ContactRow contact{"01",
                     "1234567",
                     "7654321",
                     std::string(90, 'c'),
                     std::string(90, 'a'),
                     std::string(90, 'b'),
                     std::string(90, 'y'),
                     "CAL",
                     "123456789"};
  for (const std::string& record :
       {NewClientLine00(customer), NewClientLine01(customer),
        NewMissingCodeRecord(CodeKind::kCompany, "001", "TOOLONGCODE"),
        NewOldRecord(OldRecordKind::kClient, "01", std::string(40, 'z')),
        NewStateLine00("01", "NL", "Newfoundland and Labrador, a long name"),
        NewStateLine01("01", "NL")}) {
    EXPECT_EQ(record.size(), static_cast<std::size_t>(ap::kRecordLength));
  }
  EXPECT_EQ(NewContactRecord(contact).size(), static_cast<std::size_t>(extap::kRecordLength));
  EXPECT_EQ(ContactKey(contact).size(), 19u);
}

}  // namespace
}  // namespace talvor::layout
