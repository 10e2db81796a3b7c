// Record layouts of the legacy files, and the records that several routines build.
//
// Every offset, width and record length here is the stored format of files the legacy
// agency system reads and writes: do not change. A record is a fixed-length byte image of
// blank-padded ASCII text (amounts and dates are text too); offsets are 0-based. Routines
// take records apart with GetField and change them with SetField, never with literal
// offsets.
//
// The builders are pure functions of their arguments (no I/O): each returns a record of
// exactly its file's record length, blank-filled where it sets nothing, or a key text.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace talvor::layout {

struct Field {
  int offset;
  int width;
  constexpr int end() const { return offset + width; }
};

// True when `field` lies inside a record of `length` bytes.
constexpr bool Inside(Field field, int length) {
  return field.offset >= 0 && field.width > 0 && field.end() <= length;
}

// The field's text: FixedField over the bytes of `record` at the field (the bytes before a
// NUL, blank-padded to the width). Bytes past the end of `record` read as blanks.
std::string GetField(std::string_view record, Field field);

// Writes `value` into the field, blank-padded on the right or cut to the field's width (no
// trimming: justify first). Nothing outside the field changes.
// REQUIRES: record.size() >= field.end(); otherwise throws std::out_of_range.
void SetField(std::span<char> record, Field field, std::string_view value);

// `length` blanks.
std::string BlankRecord(int length);

// ---------------------------------------------------------------------------------------
// "ap", the agency master file. Key 0: bytes 0-15.
namespace ap {
inline constexpr int kRecordLength = 128;
// What routines declare and pass as the data length; bytes 128-149 are never stored.
inline constexpr int kBufferLength = 150;

inline constexpr Field RecType{0, 3};
inline constexpr Field KeyFiller{3, 3};  // always "000"
inline constexpr Field AgyCode{6, 2};    // RJ 2; blank in the system record
inline constexpr Field Number{8, 6};     // RJ 6: client, producer, company, ... code
inline constexpr Field Line{14, 2};
inline constexpr Field RecTypeCopy{16, 3};  // not part of key 0
inline constexpr Field Key{0, 16};

// Record kinds (`RecType`).
inline constexpr std::string_view kClient = "001";
inline constexpr std::string_view kProducer = "002";
inline constexpr std::string_view kCompany = "003";
inline constexpr std::string_view kDepartment = "005";
inline constexpr std::string_view kClass = "006";
inline constexpr std::string_view kTransaction = "007";
inline constexpr std::string_view kGlCode = "008";
inline constexpr std::string_view kBank = "009";
inline constexpr std::string_view kState = "014";
inline constexpr std::string_view kSecurity = "069";
inline constexpr std::string_view kSystem = "888";

// Line "00", the main line of clients, producers, companies, departments and classes.
namespace line00 {
inline constexpr Field Alpha{19, 6};  // sort code, upper case; "*" first marks inactive
inline constexpr Field Name{25, 25};
inline constexpr Field TypeLetter{50, 1};
inline constexpr Field Address1{51, 25};
inline constexpr Field Address2{76, 25};
inline constexpr Field City{101, 14};
inline constexpr Field State{115, 2};
inline constexpr Field Zip{117, 5};
inline constexpr Field Zip4{122, 4};     // "0000" when there is none
inline constexpr Field ZipNine{117, 9};  // `Zip` and the first four bytes over `Zip4`
inline constexpr Field BillMethodCd{126, 1};
inline constexpr Field BalMethodCd{127, 1};
}  // namespace line00

// Client line "01".
namespace client01 {
inline constexpr Field Territory{19, 2};
inline constexpr Field UserCode1{21, 2};
inline constexpr Field UserCode2{23, 2};
inline constexpr Field UserCode3{25, 2};
inline constexpr Field Phone1{27, 10};
inline constexpr Field ContactName{37, 25};
inline constexpr Field Underwriter{62, 3};
inline constexpr Field CltTypeLetter{65, 1};
inline constexpr Field SubPrdCode{69, 3};
inline constexpr Field CSR{72, 3};
inline constexpr Field Line01Flag{75, 1};  // late-charge flag, "Y" or "N"
}  // namespace client01

// Client line "02": the second phone, at 90 for a client of `CustType` 2, else at 92.
namespace client02 {
inline constexpr Field Phone2Personal{90, 10};
inline constexpr Field Phone2{92, 10};
}  // namespace client02

// Client line "03".
namespace client03 {
inline constexpr Field License1{92, 20};
inline constexpr Field License1Month{112, 2};
inline constexpr Field License1Year{114, 2};
}  // namespace client03

// Client line "04" (bytes 16-18 hold "001").
namespace client04 {
inline constexpr Field Amount1099{50, 10};  // the broker's 1099 amount as text
inline constexpr Field LegalEntity{122, 1};
}  // namespace client04

// Producer line "01", the operator side of a producer.
namespace producer01 {
inline constexpr Field SecLevel{19, 5};  // security level, RJ digits; "0" or blanks: no access
inline constexpr Field OperatorLetter{24, 1};
inline constexpr Field OperatorText{25, 25};
}  // namespace producer01

// Company line "01".
namespace company01 {
inline constexpr Field CmpFlag{27, 1};
inline constexpr Field CmpBillMethod{46, 1};  // "D": direct bill
}  // namespace company01

// State line "00" (kind "014").
namespace state00 {
inline constexpr Field StateFlags{50, 13};
inline constexpr std::string_view kStateFlags = "000000:90619Y";
}  // namespace state00

// Security row (kind "069"): the entry as text.
namespace security_row {
inline constexpr Field Entry{25, 103};
}  // namespace security_row

// System record: key "888000" + eight blanks + "00".
namespace system_record {
inline constexpr Field SubCodes{35, 48};
}  // namespace system_record

static_assert(kRecordLength == 128, "stored format; do not change");
static_assert(Key.end() == 16 && Inside(line00::BalMethodCd, kRecordLength) &&
              Inside(security_row::Entry, kRecordLength) &&
              Inside(system_record::SubCodes, kRecordLength));
}  // namespace ap

// ---------------------------------------------------------------------------------------
// "extap", the contact file. Key 0: bytes 0-18.
namespace extap {
inline constexpr int kRecordLength = 138;
inline constexpr std::string_view kContact = "008";

inline constexpr Field RecType{0, 3};
inline constexpr Field AgyCode{3, 2};
inline constexpr Field CltNum{5, 6};   // LJ 6
inline constexpr Field Number{11, 6};  // LJ 6
inline constexpr Field Line{17, 2};    // "00"
inline constexpr Field Key{0, 19};
inline constexpr Field RecTypeCopy{19, 3};
inline constexpr Field AgyCode2{22, 2};
inline constexpr Field Number2{30, 6};
inline constexpr Field Name{37, 25};
inline constexpr Field Address1{62, 25};
inline constexpr Field Address2{87, 25};
inline constexpr Field City{112, 12};
inline constexpr Field State{126, 2};
inline constexpr Field ZipCode{128, 5};
inline constexpr Field Zip4{133, 4};
static_assert(kRecordLength == 138, "stored format; do not change");
static_assert(Key.end() == 19 && Zip4.end() == 137);
}  // namespace extap

// ---------------------------------------------------------------------------------------
// "POL", the policy file. Key 0 (`PolKey`): bytes 0-24; key 1 (duplicates): bytes 25-38.
namespace pol {
inline constexpr int kRecordLength = 120;

inline constexpr Field AgyCode{0, 2};
inline constexpr Field PolNum{2, 20};     // LJ 20
inline constexpr Field PolSeq{22, 2};     // two digits
inline constexpr Field SeqSuffix{24, 1};  // "0"
inline constexpr Field PolKey{0, 25};
inline constexpr Field AgyCode2{25, 2};
inline constexpr Field CltNum{27, 6};
inline constexpr Field Key1{25, 14};
inline constexpr Field InvNum{33, 6};  // zero-filled; "000000": no invoice
inline constexpr Field Dept{39, 2};
inline constexpr Field Company{41, 3};
inline constexpr Field Class{44, 3};
inline constexpr Field TrnCode{47, 3};
inline constexpr Field EntryDate{50, 6};
inline constexpr Field EnteredBy{56, 3};
inline constexpr Field PrdCode{59, 3};
inline constexpr Field EffectiveDate{62, 6};
inline constexpr Field AgyCode3{68, 2};
inline constexpr Field ExpirationDate{70, 6};
inline constexpr Field PolStatus{77, 1};
static_assert(kRecordLength == 120, "stored format; do not change");
static_assert(PolKey.end() == 25 && Key1.end() == 39 && Inside(PolStatus, kRecordLength));
}  // namespace pol

// ---------------------------------------------------------------------------------------
// "JCKI" (and "OLDJCKI", "JCKI102705"), invoices and journal. Key 0: bytes 0-13; key 1
// (duplicates): bytes 14-29.
namespace jcki {
inline constexpr int kRecordLength = 99;

inline constexpr Field AgyCode{0, 2};
inline constexpr Field EntryType{2, 1};
inline constexpr Field InvNum{3, 6};
inline constexpr Field ItemCode{9, 5};
inline constexpr Field ItemLine{9, 2};     // `ItemCode`'s line digits
inline constexpr Field ItemSubLine{11, 3};  // `ItemCode`'s sub-line digits
inline constexpr Field Key{0, 14};
inline constexpr Field Invoice{0, 9};  // agency, type and number: all records of one entry
inline constexpr Field AgyCode2{14, 2};
inline constexpr Field PostKind{16, 1};
inline constexpr Field GLAcct{17, 4};
inline constexpr Field Key1{14, 16};
inline constexpr Field Code{21, 3};  // item's code; the bank code on "C" entries
inline constexpr Field CltNum{24, 6};
inline constexpr Field EffectiveDate{30, 6};
inline constexpr Field JournalMonthDay{32, 4};  // month and day of a journal entry's date
inline constexpr Field PostedEntryType{36, 1};  // on "D" posting records
inline constexpr Field Dept{45, 2};
inline constexpr Field EntryDate{47, 6};
inline constexpr Field Amount{53, 10};  // zoned
inline constexpr Field EnteredBy{63, 3};
inline constexpr Field ContFlag{66, 1};    // on header "01000": "D" direct bill
inline constexpr Field LedgerAcct{66, 4};  // on "C" and "K" entries
inline constexpr Field StarFlag{74, 1};    // "*"

// `ItemCode` values of an invoice.
inline constexpr std::string_view kHeader = "01000";
inline constexpr std::string_view kHeaderContinuation = "01001";
inline constexpr std::string_view kCompanyItem = "01100";
inline constexpr std::string_view kClassItem = "01200";
inline constexpr std::string_view kProducerItem = "01300";
inline constexpr std::string_view kTransactionItem = "01500";
static_assert(kRecordLength == 99, "stored format; do not change");
static_assert(Key.end() == 14 && Key1.end() == 30 && Inside(StarFlag, kRecordLength));
}  // namespace jcki

// ---------------------------------------------------------------------------------------
// "DESC", descriptions. Key 0: bytes 0-10.
namespace desc {
inline constexpr int kRecordLength = 64;

inline constexpr Field AgyCode{0, 2};
inline constexpr Field EntryType{2, 1};  // "I" or "K"
inline constexpr Field InvNum{3, 6};
inline constexpr Field Line{9, 2};
inline constexpr Field Key{0, 11};
inline constexpr Field PayeeText{11, 25};  // check lines
inline constexpr Field Class{29, 3};       // invoice lines, RJ 3
inline constexpr Field TrnCode{32, 3};
inline constexpr Field Company{35, 3};
inline constexpr Field PrdCode{38, 3};
static_assert(kRecordLength == 64, "stored format; do not change");
static_assert(Key.end() == 11 && Inside(PrdCode, kRecordLength));
}  // namespace desc

// ---------------------------------------------------------------------------------------
// "DIANDX", the diary index. Key 0: bytes 0-10.
namespace diandx {
inline constexpr int kRecordLength = 176;

inline constexpr Field AgyCode{0, 2};
inline constexpr Field ItemNum{2, 9};
inline constexpr Field Key{0, 11};
inline constexpr Field AssignedTo{17, 6};
static_assert(kRecordLength == 176, "stored format; do not change");
static_assert(Key.end() == 11 && Inside(AssignedTo, kRecordLength));
}  // namespace diandx

// ---------------------------------------------------------------------------------------
// Builders.

// The key of an "ap" record: `rec_type` + "000" + RightJustify(agency, 2) +
// RightJustify(code, 6) + `line` (16 bytes for a three-byte kind and two-byte line).
std::string ApKey(std::string_view rec_type, std::string_view agency, std::string_view code,
                  std::string_view line);

// The Customer columns that the client lines carry.
struct CustomerRow {
  std::string AgyCode;
  std::string Number;
  std::string Name;
  std::string Address1;
  std::string Address2;
  std::string City;
  std::string State;
  std::string Zip;
  std::string Phone1;
  int CustType = 0;
  std::string Territory;
  std::string UserCode1;
  std::string UserCode2;
  std::string UserCode3;
  std::string ContactName;
  std::string Underwriter;
  std::string SubPrdCode;
  std::string CSR;
};

// `TypeLetter` of a client of `cust_type`: 0 'B', 1 'C', 2 'P'; '\0' for any other value.
char ClientTypeLetter(int cust_type);

// Writes the Customer values of line "00" into an existing client line: `Name`, `TypeLetter`
// (left as it was for a `CustType` outside 0-2), `Address1`, `Address2`, `City`, `State`,
// the ZIP without "-" over `ZipNine`, `BillMethodCd` "O", `BalMethodCd` "B". The key and
// `Alpha` are kept. REQUIRES: record.size() >= ap::kRecordLength.
void SetClientLine00(std::span<char> record, const CustomerRow& row);
// A new client line "00": key, `RecTypeCopy` "001", `Alpha` = the first six bytes of the
// left-justified name in upper case, and the fields of SetClientLine00.
std::string NewClientLine00(const CustomerRow& row);

// Writes the Customer values of line "01" into an existing client line: `Territory`,
// `UserCode1`-`UserCode3`, `Phone1` (PlainPhone of the row's phone, left-justified to ten:
// ten blanks when fewer than ten digits, the first ten when more), `ContactName`,
// `Underwriter`, `SubPrdCode`, `CSR`, `CltTypeLetter` "C", `Line01Flag` "N".
// REQUIRES: record.size() >= ap::kRecordLength.
void SetClientLine01(std::span<char> record, const CustomerRow& row);
// A new client line "01": key, `RecTypeCopy` "001" and the fields of SetClientLine01.
std::string NewClientLine01(const CustomerRow& row);

// A code that a policy or invoice names but "ap" lacks.
enum class CodeKind { kDepartment, kClass, kCompany, kProducer };
// Its record kind ("005", "006", "003", "002").
std::string_view RecTypeOf(CodeKind kind);
// The main line of a code record created because the code was missing: key with line
// "00", `RecTypeCopy`, `Alpha` the code LJ 6, `Name` the code LJ 25, `TypeLetter` "P" for a
// class and "C" otherwise, blank address, `Zip4` "0000", `BillMethodCd` "O", `BalMethodCd`
// "B".
std::string NewMissingCodeRecord(CodeKind kind, std::string_view agency, std::string_view code);

// A company, producer or client carried over from an old system.
enum class OldRecordKind { kCompany, kProducer, kClient };
// Its main line: key with line "00", `RecTypeCopy`, `Alpha` "DELOLD", `Name` "Deleted Cmp ["
// / "Deleted Prd [" / "Deleted Clt [" + trimmed code + "]" LJ 25, `TypeLetter` "C" / "S" /
// "P", blank address, `State` "TX", `Zip4` "0000", `BillMethodCd` "D", `BalMethodCd` "B".
std::string NewOldRecord(OldRecordKind kind, std::string_view agency, std::string_view code);

// The two records of a state (kind "014") of an agency. Line "00": `Number` the state code RJ
// 6, `RecTypeCopy` "014", `Alpha` the first six bytes of the name in upper case,
// blank-padded (not trimmed), `Name` LJ 25, `StateFlags` "000000:90619Y". Line "01": the
// key with line "01", "014" at 16, blanks after.
std::string NewStateLine00(std::string_view agency, std::string_view state_code,
                           std::string_view state_name);
std::string NewStateLine01(std::string_view agency, std::string_view state_code);

// The Contact columns that a contact record carries.
struct ContactRow {
  std::string AgyCode;
  std::string CltNum;
  std::string Number;
  std::string Name;
  std::string Address1;
  std::string Address2;
  std::string City;
  std::string State;
  std::string ZipCode;
};

// The key of a contact record: "008" + agency, client number and contact number each
// left-justified to their width + "00" (19 bytes).
std::string ContactKey(const ContactRow& row);
// A new contact record: ContactKey, `RecTypeCopy` "008", `AgyCode2`, `Number2`, `Name`,
// `Address1`, `Address2` LJ 25, `City` its first 12 bytes, `State` LJ 2, `ZipCode` its
// first five bytes, `Zip4` "0000"; every other byte blank.
std::string NewContactRecord(const ContactRow& row);

// The key 0 of a policy: RightJustify(agency, 2) + LeftJustify(pol_num, 20) + the sequence
// in two digits + "0" (25 bytes). REQUIRES: 0 <= pol_seq <= 99; otherwise throws
// std::out_of_range.
std::string PolKey(std::string_view agency, std::string_view pol_num, int pol_seq);

// The key 0 of an invoice or journal record: RightJustify(agency, 2) + the entry type
// letter + ZeroFill(number, 6) + the item code, blank-padded to 5 (14 bytes).
std::string JckiKey(std::string_view agency, char entry_type, std::string_view number,
                    std::string_view item_code);

}  // namespace talvor::layout
