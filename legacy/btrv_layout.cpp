#include "legacy/btrv_layout.h"

#include <algorithm>
#include <stdexcept>

#include "shell/text/text.h"

namespace talvor::layout {
namespace {

// The ZIP of a Customer row as the client line holds it: nine bytes without "-".
std::string ClientZip(std::string_view zip) {
  return LeftJustify(StripChar(LeftJustify(zip, 10), '-'), 9);
}

// The first phone of a Customer row: ten digits, or ten blanks when it has fewer.
// The punctuation goes before the phone is cut: a phone in the display form (ddd)ddd-dddd is
// thirteen bytes long and must keep all ten digits.
std::string ClientPhone(std::string_view phone) { return LeftJustify(PlainPhone(phone), 10); }

std::string ClientKey(const CustomerRow& row, std::string_view line) {
  return ApKey(ap::kClient, row.AgyCode, row.Number, line);
}

}  // namespace

std::string GetField(std::string_view record, Field field) {
  std::size_t offset = static_cast<std::size_t>(field.offset);
  return FixedField(offset < record.size() ? record.substr(offset) : std::string_view(),
                    field.width);
}

void SetField(std::span<char> record, Field field, std::string_view value) {
  if (field.offset < 0 || static_cast<std::size_t>(field.end()) > record.size()) {
    throw std::out_of_range("field at offset " + std::to_string(field.offset) + ", width " +
                            std::to_string(field.width) + " lies outside a record of " +
                            std::to_string(record.size()) + " bytes");
  }
  std::string padded = PadRight(value, field.width);
  std::copy(padded.begin(), padded.end(), record.begin() + field.offset);
}

std::string BlankRecord(int length) {
  return std::string(static_cast<std::size_t>(length), ' ');
}

std::string ApKey(std::string_view rec_type, std::string_view agency, std::string_view code,
                  std::string_view line) {
  return std::string(rec_type) + "000" + RightJustify(agency, 2) + RightJustify(code, 6) +
         std::string(line);
}

char ClientTypeLetter(int cust_type) {
  switch (cust_type) {
    case 0:
      return 'B';
    case 1:
      return 'C';
    case 2:
      return 'P';
    default:
      return '\0';
  }
}

void SetClientLine00(std::span<char> record, const CustomerRow& row) {
  using namespace ap::line00;
  SetField(record, Name, LeftJustify(row.Name, 25));
  if (char letter = ClientTypeLetter(row.CustType)) {
    SetField(record, TypeLetter, std::string_view(&letter, 1));
  }
  SetField(record, Address1, LeftJustify(row.Address1, 25));
  SetField(record, Address2, LeftJustify(row.Address2, 25));
  SetField(record, City, LeftJustify(row.City, 14));
  SetField(record, State, LeftJustify(row.State, 2));
  SetField(record, ZipNine, ClientZip(row.Zip));
  SetField(record, BillMethodCd, "O");
  SetField(record, BalMethodCd, "B");
}

std::string NewClientLine00(const CustomerRow& row) {
  std::string record = BlankRecord(ap::kRecordLength);
  SetField(record, ap::Key, ClientKey(row, "00"));
  SetField(record, ap::RecTypeCopy, ap::kClient);
  SetField(record, ap::line00::Alpha, UpperCase(LeftJustify(row.Name, 25).substr(0, 6)));
  SetClientLine00(record, row);
  return record;
}

void SetClientLine01(std::span<char> record, const CustomerRow& row) {
  using namespace ap::client01;
  SetField(record, Territory, LeftJustify(row.Territory, 2));
  SetField(record, UserCode1, LeftJustify(row.UserCode1, 2));
  SetField(record, UserCode2, LeftJustify(row.UserCode2, 2));
  SetField(record, UserCode3, LeftJustify(row.UserCode3, 2));
  SetField(record, Phone1, ClientPhone(row.Phone1));
  SetField(record, ContactName, LeftJustify(row.ContactName, 25));
  SetField(record, Underwriter, RightJustify(row.Underwriter, 3));
  SetField(record, SubPrdCode, RightJustify(row.SubPrdCode, 3));
  SetField(record, CSR, RightJustify(row.CSR, 3));
  SetField(record, CltTypeLetter, "C");
  SetField(record, Line01Flag, "N");
}

std::string NewClientLine01(const CustomerRow& row) {
  std::string record = BlankRecord(ap::kRecordLength);
  SetField(record, ap::Key, ClientKey(row, "01"));
  SetField(record, ap::RecTypeCopy, ap::kClient);
  SetClientLine01(record, row);
  return record;
}

std::string_view RecTypeOf(CodeKind kind) {
  switch (kind) {
    case CodeKind::kDepartment:
      return ap::kDepartment;
    case CodeKind::kClass:
      return ap::kClass;
    case CodeKind::kCompany:
      return ap::kCompany;
    case CodeKind::kProducer:
      return ap::kProducer;
  }
  return ap::kProducer;
}

std::string NewMissingCodeRecord(CodeKind kind, std::string_view agency, std::string_view code) {
  using namespace ap::line00;
  std::string_view rec_type = RecTypeOf(kind);
  std::string record = BlankRecord(ap::kRecordLength);
  SetField(record, ap::Key, ApKey(rec_type, agency, code, "00"));
  SetField(record, ap::RecTypeCopy, rec_type);
  SetField(record, Alpha, LeftJustify(code, 6));
  SetField(record, Name, LeftJustify(code, 25));
  SetField(record, TypeLetter, kind == CodeKind::kClass ? "P" : "C");
  SetField(record, Zip4, "0000");
  SetField(record, BillMethodCd, "O");
  SetField(record, BalMethodCd, "B");
  return record;
}

std::string NewOldRecord(OldRecordKind kind, std::string_view agency, std::string_view code) {
  using namespace ap::line00;
  std::string_view rec_type = ap::kCompany;
  std::string_view label = "Deleted Cmp [";
  std::string_view letter = "C";
  if (kind == OldRecordKind::kProducer) {
    rec_type = ap::kProducer;
    label = "Deleted Prd [";
    letter = "S";
  } else if (kind == OldRecordKind::kClient) {
    rec_type = ap::kClient;
    label = "Deleted Clt [";
    letter = "P";
  }
  std::string record = BlankRecord(ap::kRecordLength);
  SetField(record, ap::Key, ApKey(rec_type, agency, code, "00"));
  SetField(record, ap::RecTypeCopy, rec_type);
  SetField(record, Alpha, "DELOLD");
  SetField(record, Name, LeftJustify(std::string(label) + Trim(code) + "]", 25));
  SetField(record, TypeLetter, letter);
  SetField(record, State, "TX");
  SetField(record, Zip4, "0000");
  SetField(record, BillMethodCd, "D");
  SetField(record, BalMethodCd, "B");
  return record;
}

std::string NewStateLine00(std::string_view agency, std::string_view state_code,
                           std::string_view state_name) {
  std::string record = BlankRecord(ap::kRecordLength);
  SetField(record, ap::Key, ApKey(ap::kState, agency, state_code, "00"));
  SetField(record, ap::RecTypeCopy, ap::kState);
  SetField(record, ap::line00::Alpha, PadRight(UpperCase(state_name.substr(0, 6)), 6));
  SetField(record, ap::line00::Name, LeftJustify(state_name, 25));
  SetField(record, ap::state00::StateFlags, ap::state00::kStateFlags);
  return record;
}

std::string NewStateLine01(std::string_view agency, std::string_view state_code) {
  std::string record = BlankRecord(ap::kRecordLength);
  SetField(record, ap::Key, ApKey(ap::kState, agency, state_code, "01"));
  SetField(record, ap::RecTypeCopy, ap::kState);
  return record;
}

std::string ContactKey(const ContactRow& row) {
  return std::string(extap::kContact) + LeftJustify(row.AgyCode, 2) + LeftJustify(row.CltNum, 6) +
         LeftJustify(row.Number, 6) + "00";
}

std::string NewContactRecord(const ContactRow& row) {
  using namespace extap;
  std::string record = BlankRecord(kRecordLength);
  SetField(record, Key, ContactKey(row));
  SetField(record, RecTypeCopy, kContact);
  SetField(record, AgyCode2, LeftJustify(row.AgyCode, 2));
  SetField(record, Number2, LeftJustify(row.Number, 6));
  SetField(record, Name, LeftJustify(row.Name, 25));
  SetField(record, Address1, LeftJustify(row.Address1, 25));
  SetField(record, Address2, LeftJustify(row.Address2, 25));
  SetField(record, City, LeftJustify(row.City, 25).substr(0, 12));
  SetField(record, State, LeftJustify(row.State, 2));
  SetField(record, ZipCode, LeftJustify(row.ZipCode, 5));
  SetField(record, Zip4, "0000");
  return record;
}

std::string PolKey(std::string_view agency, std::string_view pol_num, int pol_seq) {
  if (pol_seq < 0 || pol_seq > 99) {
    throw std::out_of_range("policy sequence " + std::to_string(pol_seq) +
                            " does not fit two digits");
  }
  return RightJustify(agency, 2) + LeftJustify(pol_num, 20) +
         TwoDigits(static_cast<std::uint16_t>(pol_seq)) + "0";
}

std::string JckiKey(std::string_view agency, char entry_type, std::string_view number,
                    std::string_view item_code) {
  return RightJustify(agency, 2) + std::string(1, entry_type) + ZeroFill(number, 6) +
         PadRight(item_code, 5);
}

}  // namespace talvor::layout
