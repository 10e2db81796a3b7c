#include "tools/demo/demo_site.h"

#include <array>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/record_file.h"
#include "shell/text/dates.h"
#include "shell/text/money.h"
#include "shell/text/text.h"
#include "sqldb/catalog.h"
#include "sqldb/loader.h"

namespace talvor {

namespace fs = std::filesystem;
namespace ly = layout;

namespace {

// A small deterministic generator (splitmix64): the same seed gives the same site on every
// platform, which the standard distributions do not promise.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 <= result < n.
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  // True with the given chance in percent (fractions allowed).
  bool Chance(double percent) { return static_cast<double>(Next() % 100000) < percent * 1000.0; }
  template <typename T, std::size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[static_cast<std::size_t>(Below(static_cast<int>(N)))];
  }

 private:
  std::uint64_t state_;
};

constexpr std::array<const char*, 24> kFirstNames = {
    "JOHN",   "MARY",  "ROBERT",  "LINDA",  "JAMES",   "PATRICIA", "MICHAEL", "BARBARA",
    "DAVID",  "SUSAN", "WILLIAM", "KAREN",  "RICHARD", "NANCY",    "JOSEPH",  "BETTY",
    "THOMAS", "HELEN", "CHARLES", "SANDRA", "DANIEL",  "DONNA",    "MARK",    "CAROL"};
constexpr std::array<const char*, 24> kLastNames = {
    "SMITH",    "JOHNSON",  "WILLIAMS", "BROWN",    "JONES",  "GARCIA",   "MILLER", "DAVIS",
    "MCDONALD", "O'BRIEN",  "WILSON",   "ANDERSON", "TAYLOR", "THOMAS",   "MOORE",  "MARTIN",
    "JACKSON",  "THOMPSON", "WHITE",    "LOPEZ",    "LEE",    "GONZALEZ", "HARRIS", "CLARK"};
constexpr std::array<const char*, 12> kBusinessWords = {
    "ACME",   "LONE STAR", "BLUEBONNET", "PRAIRIE", "GULF COAST", "REDRIVER",
    "SUMMIT", "PIONEER",   "CEDAR",      "LIBERTY", "FRONTIER",   "HILLTOP"};
constexpr std::array<const char*, 8> kBusinessKinds = {
    "LLC", "INC", "ROOFING", "DENTAL DDS", "PLUMBING", "CPA GROUP", "AUTO BODY", "DBA FARMS"};
constexpr std::array<const char*, 10> kStreets = {"MAIN ST",  "OAK AVE",  "ELM ST",    "PO BOX",
                                                  "CEDAR LN", "MAPLE DR", "PARK BLVD", "LAKE RD",
                                                  "HILL ST",  "RANCH RD"};
struct Place {
  const char* city;
  const char* state;
  const char* zip;
};
constexpr std::array<Place, 10> kPlaces = {{{"DALLAS", "TX", "75201"},
                                            {"FORT WORTH", "TX", "76102"},
                                            {"AUSTIN", "TX", "78701"},
                                            {"HOUSTON", "TX", "77002"},
                                            {"OKLAHOMA CITY", "OK", "73102"},
                                            {"TULSA", "OK", "74103"},
                                            {"SHREVEPORT", "LA", "71101"},
                                            {"LITTLE ROCK", "AR", "72201"},
                                            {"ALBUQUERQUE", "NM", "87102"},
                                            {"WICHITA FALLS", "TX", "76301"}}};

struct Code {
  const char* code;
  const char* name;
};
constexpr std::array<Code, 10> kProducers = {{{"QXT", "HOUSE ACCOUNT"},
                                              {"JD", "JOHN DALE"},
                                              {"MK", "MARIA KING"},
                                              {"AB", "AL BAKER [ALB]"},
                                              {"RT", "RITA TRAN"},
                                              {"LS", "LEE STONE"},
                                              {"PW", "PAT WELLS [PW1]"},
                                              {"KLM", "KIM LAMB"},
                                              {"TJ", "TOM JAMES"},
                                              {"SR", "SUE RAY"}}};
// Staff codes that the conversion carried into client records without a producer record.
constexpr std::array<const char*, 3> kStrayStaff = {"ZQ", "X9", "OLD"};
constexpr std::array<Code, 8> kCompanies = {{{"TRV", "TRAVELERS OF TEXAS"},
                                             {"HAR", "HARTWELL MUTUAL"},
                                             {"SAF", "SAFECO LINES"},
                                             {"PRO", "PROGRESSIVE CAS"},
                                             {"CHU", "CHUBB & SON"},
                                             {"HAN", "HANOVER INS"},
                                             {"ZUR", "ZURICH NA"},
                                             {"ERI", "ERIE INDEMNITY"}}};
constexpr std::array<Code, 4> kDepartments = {
    {{"PL", "PERSONAL LINES"}, {"CL", "COMMERCIAL LINES"}, {"BD", "BONDS"}, {"LH", "LIFE HEALTH"}}};
constexpr std::array<Code, 8> kClasses = {{{"HO", "HOMEOWNERS"},
                                           {"PA", "PERSONAL AUTO"},
                                           {"CGL", "GENERAL LIABILITY"},
                                           {"WC", "WORKERS COMP"},
                                           {"BOP", "BUSINESS OWNERS"},
                                           {"UMB", "UMBRELLA"},
                                           {"DF", "DWELLING FIRE"},
                                           {"INM", "INLAND MARINE"}}};
constexpr std::array<const char*, 6> kTransactions = {"NEW", "REN", "END", "CAN", "REI", "AUD"};
constexpr std::array<Code, 3> kGlCodes = {
    {{"1120", "CLIENT RECEIVABLE"}, {"1130", "COMPANY PAYABLE"}, {"5108", "COMMISSION INCOME"}}};

// ---------------------------------------------------------------------------------------
// Legacy records.

std::string Blank(int length) {
  return std::string(static_cast<std::size_t>(length), ' ');
}

void Set(std::string& record, ly::Field field, std::string_view value) {
  ly::SetField(std::span<char>(record.data(), record.size()), field, value);
}

std::string CodeRecord(std::string_view recType, std::string_view agency, std::string_view code,
                       std::string_view name, std::string_view typeLetter) {
  std::string r = Blank(ly::ap::kRecordLength);
  Set(r, ly::ap::Key, ly::ApKey(recType, agency, code, "00"));
  Set(r, ly::ap::RecTypeCopy, recType);
  Set(r, ly::ap::line00::Alpha, UpperCase(LeftJustify(name, 6)));
  Set(r, ly::ap::line00::Name, LeftJustify(name, 25));
  Set(r, ly::ap::line00::TypeLetter, typeLetter);
  Set(r, ly::ap::line00::Zip4, "0000");
  Set(r, ly::ap::line00::BillMethodCd, "O");
  Set(r, ly::ap::line00::BalMethodCd, "B");
  return r;
}

std::string LegacyDate(const Date& d) {
  return DateToLegacy(d);
}

std::string SqlDate(const Date& d) {
  return IsoDate(d);
}

// Records of one legacy file, loaded in batches (each batch one transaction).
class RecordSink {
 public:
  RecordSink(fs::path path, const std::string& name) : path_(std::move(path)) {
    const auto def = KnownFileDefinition(name);
    std::string error;
    if (!def || !CreateRecordFile(path_, *def, &error)) {
      throw std::runtime_error("demo site: " + (error.empty() ? path_.string() : error));
    }
  }
  void Add(std::string record) {
    batch_.push_back(std::move(record));
    if (batch_.size() >= 100000) Flush();
  }
  void Flush() {
    if (batch_.empty()) return;
    std::string error;
    if (!LoadRecords(path_.string(), batch_, &error)) {
      throw std::runtime_error("demo site: " + path_.string() + ": " + error);
    }
    count_ += static_cast<long>(batch_.size());
    batch_.clear();
  }
  long Count() const { return count_ + static_cast<long>(batch_.size()); }

 private:
  fs::path path_;
  std::vector<std::string> batch_;
  long count_ = 0;
};

std::string DisplayPhoneOddly(Random& rnd) {
  const int area = 200 + rnd.Below(700), ex = 200 + rnd.Below(700), line = rnd.Below(10000);
  const std::string d = ZeroFill(std::to_string(area), 3) + ZeroFill(std::to_string(ex), 3) +
                        ZeroFill(std::to_string(line), 4);
  switch (rnd.Below(12)) {
    case 0:
      return "(" + d.substr(0, 3) + ") " + d.substr(3, 3) + "-" + d.substr(6);
    case 1:
      return d.substr(0, 3) + "." + d.substr(3, 3) + "." + d.substr(6);
    case 2:
      return d;
    case 3:
      return d.substr(3, 3) + "-" + d.substr(6);  // seven digits
    case 4:
      return "";
    case 5:
      return "1-800-" + d.substr(3, 3) + "-" + d.substr(6);  // eleven digits
    case 6:
      return "555-CALL";
    default:
      return "(" + d.substr(0, 3) + ")" + d.substr(3, 3) + "-" + d.substr(6);
  }
}

std::string OddZip(Random& rnd, const std::string& zip) {
  switch (rnd.Below(14)) {
    case 0:
      return zip + "-1";
    case 1:
      return zip + "-12";
    case 2:
      return zip + "-123";
    case 3:
      return zip + "0000";
    case 4:
      return zip + "-0000";
    case 5:
      return zip + "-4411";
    case 6:
      return zip + "4411";
    default:
      return zip;
  }
}

struct Client {
  std::string agency;
  std::string number;  // RJ 6
  std::string name;
  int custType;
  std::string producer, subProducer, csr;
  bool active;
};

void WriteTextFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("demo site: cannot write " + path.string());
}

}  // namespace

DemoSummary BuildDemoSite(const fs::path& dir, const DemoOptions& options) {
  if (options.clients < 1) throw std::runtime_error("demo site: --clients must be at least 1");
  fs::create_directories(dir / "data");
  for (const char* name :
       {"talvor.cfg", "AGYFORMS.db", "CONVERT.db", "fed_id.txt", "ISUCODES.TXT", "data/ap",
        "data/extap", "data/POL", "data/JCKI", "data/DESC", "data/DIANDX"}) {
    if (fs::exists(dir / name)) {
      throw std::runtime_error("demo site: " + (dir / name).string() +
                               " already exists; choose an empty folder");
    }
  }

  Random rnd(options.seed);
  DemoSummary summary;
  const fs::path data = dir / "data";
  RecordSink ap(data / "ap", "ap"), extap(data / "extap", "extap"), pol(data / "POL", "POL"),
      jcki(data / "JCKI", "JCKI"), desc(data / "DESC", "DESC"), diandx(data / "DIANDX", "DIANDX");

  sqldb::CreateAgencyDatabase(dir / "AGYFORMS.db");
  sqldb::CreateAgencyDatabase(dir / "CONVERT.db");
  // Each database's rows are one load: a site that fails halfway holds none of them.
  sqldb::RowLoader db = sqldb::RowLoader::ForFile(dir / "AGYFORMS.db");
  sqldb::RowLoader convert = sqldb::RowLoader::ForFile(dir / "CONVERT.db");

  const std::array<std::string, 2> agencies = {"01", "10"};
  const Date today{2026, 12, 8};

  // Code tables: "ap" records and their rows. Agency "10" lost some during conversion.
  for (const std::string& agy : agencies) {
    const bool main = agy == "01";
    db.Insert("Agency",
              {{"AgyCode", agy},
               {"AgencyName", main ? "VELMAR INSURANCE AGENCY" : "HOLLIS & SONS INSURANCE"}});
    for (std::size_t i = 0; i < kProducers.size(); ++i) {
      const Code& p = kProducers[i];
      const std::string code = RightJustify(p.code, 3);
      if (!(agy == "10" && i == 5)) {  // agency 10's "LS" has no producer record
        std::string r = CodeRecord(ly::ap::kProducer, agy, code, p.name, i == 0 ? "P" : "C");
        ap.Add(r);
        std::string l01 = Blank(ly::ap::kRecordLength);
        Set(l01, ly::ap::Key, ly::ApKey(ly::ap::kProducer, agy, code, "01"));
        Set(l01, ly::ap::RecTypeCopy, ly::ap::kProducer);
        Set(l01, ly::ap::producer01::SecLevel, RightJustify(i == 0 ? "9" : "3", 5));
        ap.Add(l01);
      }
      db.Insert("Producer", {{"AgyCode", agy},
                             {"Number", code},
                             {"Name", std::string(p.name)},
                             {"InactiveAcct", static_cast<long long>(i == 8 ? 1 : 0)},
                             {"DefCommission", i == 0 ? 0.0 : 7.125 + static_cast<double>(i)}});
    }
    for (std::size_t i = 0; i < kCompanies.size(); ++i) {
      const Code& c = kCompanies[i];
      const std::string code = RightJustify(c.code, 3);
      const bool direct = i == 2 || i == 5;
      ap.Add(CodeRecord(ly::ap::kCompany, agy, code, c.name, "C"));
      if (i != 6) {  // one company lost its line "01"
        std::string l01 = Blank(ly::ap::kRecordLength);
        Set(l01, ly::ap::Key, ly::ApKey(ly::ap::kCompany, agy, code, "01"));
        Set(l01, ly::ap::RecTypeCopy, ly::ap::kCompany);
        Set(l01, ly::ap::company01::CmpFlag, "O");
        Set(l01, ly::ap::company01::CmpBillMethod, direct ? "D" : "A");
        ap.Add(l01);
      }
      db.Insert("Company", {{"AgyCode", agy},
                            {"Number", code},
                            {"Name", std::string(c.name)},
                            {"BillMethodCd", std::string(direct ? "D" : "A")}});
    }
    // A company no policy names, for "Unused Codes" to find.
    ap.Add(CodeRecord(ly::ap::kCompany, agy, " UN", "UNUSED CASUALTY", "C"));
    db.Insert("Company", {{"AgyCode", agy},
                          {"Number", std::string(" UN")},
                          {"Name", std::string("UNUSED CASUALTY")},
                          {"BillMethodCd", std::string("A")}});
    for (std::size_t i = 0; i < kDepartments.size(); ++i) {
      if (!main && i == 3) continue;  // agency 10 never had "LH" converted
      ap.Add(CodeRecord(ly::ap::kDepartment, agy, RightJustify(kDepartments[i].code, 2),
                        kDepartments[i].name, "C"));
    }
    for (std::size_t i = 0; i < kClasses.size(); ++i) {
      const std::string code = RightJustify(kClasses[i].code, 3);
      if (!(main && i == 7)) ap.Add(CodeRecord(ly::ap::kClass, agy, code, kClasses[i].name, "P"));
      db.Insert("ClassTypes",
                {{"AgyCode", agy}, {"Number", code}, {"Name", std::string(kClasses[i].name)}});
      db.Insert("SubClass", {{"AgyCode", agy},
                             {"ClsNum", code},
                             {"Number", RightJustify(kClasses[i].code, 6)},
                             {"Name", std::string(kClasses[i].name)},
                             {"SubClsType", 0LL}});
    }
    for (const char* t : kTransactions) {
      ap.Add(CodeRecord(ly::ap::kTransaction, agy, RightJustify(t, 3), t, "C"));
      if (!(std::string(t) == "AUD" && !main))
        db.Insert("Trans", {{"AgyCode", agy}, {"Number", RightJustify(t, 3)}});
    }
    for (const Code& g : kGlCodes) ap.Add(CodeRecord(ly::ap::kGlCode, agy, g.code, g.name, "C"));
    ap.Add(CodeRecord(ly::ap::kBank, agy, "FNB", "FIRST NATIONAL BANK", "C"));
    if (main) {
      ap.Add(ly::NewStateLine00(agy, "TX", "TEXAS"));
      ap.Add(ly::NewStateLine01(agy, "TX"));
      db.Insert("States", {{"AgyCode", agy},
                           {"Number", std::string("TX")},
                           {"Name", std::string("TEXAS")},
                           {"FilingDate", std::string("2029-01-01")},
                           {"AffidavitsReq", 0LL}});
    }
    for (int s = 1; s <= 4; ++s) {
      db.Insert("SubStat", {{"AgyCode", agy},
                            {"Number", static_cast<long long>(s)},
                            {"IsClosed", static_cast<long long>(s == 4 ? 1 : 0)}});
    }
  }
  {
    std::string sys = Blank(ly::ap::kRecordLength);
    Set(sys, ly::ap::Key, "888000        00");
    Set(sys, ly::ap::RecTypeCopy, "888");
    Set(sys, ly::ap::system_record::SubCodes, "A1B2C3D4E5F6G7H8I9J0A1B2C3D4E5F6G7H8I9J0AABBCCDD");
    ap.Add(sys);
  }

  // Clients, their lines, contacts, policies, invoices and the rest.
  std::map<std::string, long> nextInvoice = {{"01", 100001}, {"10", 500001}};
  std::map<std::string, long> nextItem = {{"01", 1}, {"10", 1}};
  std::vector<std::string> feds;
  std::vector<std::string> isucodes;
  std::string lastInvoiceOf01;   // an invoice of another client, for crossed links
  std::string lastLinkedPolicy;  // a policy of another client with a submission
  long memo = 0;

  for (int i = 0; i < options.clients; ++i) {
    Client c;
    c.agency = (i % 7 == 6) ? "10" : "01";
    c.number = RightJustify(std::to_string(1000 + i), 6);
    const int roll = rnd.Below(100);
    c.custType = roll < 3 ? 0 : roll < 43 ? 1 : 2;
    if (c.custType == 2) {
      c.name = std::string(rnd.Pick(kLastNames)) + ", " + rnd.Pick(kFirstNames);
    } else {
      c.name = std::string(rnd.Pick(kBusinessWords)) + " " + rnd.Pick(kBusinessKinds);
    }
    c.name = c.name.substr(0, 25);
    auto staff = [&](int from, int to) {
      if (rnd.Chance(3)) return RightJustify(rnd.Pick(kStrayStaff), 3);
      return RightJustify(kProducers[static_cast<std::size_t>(from + rnd.Below(to - from))].code,
                          3);
    };
    c.producer = staff(1, 7);
    c.subProducer = rnd.Chance(60) ? std::string("   ") : staff(1, 7);
    c.csr = staff(7, 10);
    c.active = !rnd.Chance(10);
    const Place& place = rnd.Pick(kPlaces);
    const std::string address1 = std::to_string(100 + rnd.Below(9800)) + " " + rnd.Pick(kStreets);
    const std::string phone1 = DisplayPhoneOddly(rnd), phone2 = DisplayPhoneOddly(rnd),
                      phone3 = DisplayPhoneOddly(rnd);
    const std::string zip = OddZip(rnd, place.zip);

    // Legacy client lines.
    ly::CustomerRow row;
    row.AgyCode = c.agency;
    row.Number = c.number;
    row.Name = c.name;
    row.Address1 = address1;
    row.City = place.city;
    row.State = place.state;
    row.Zip = place.zip;
    row.Phone1 = phone1;
    row.CustType = c.custType;
    row.Territory = "N";
    row.ContactName =
        c.custType == 2 ? "" : std::string(rnd.Pick(kFirstNames)) + " " + rnd.Pick(kLastNames);
    row.Underwriter = c.producer;
    row.SubPrdCode = c.subProducer;
    row.CSR = c.csr;
    std::string l00 = ly::NewClientLine00(row);
    // ZIP+4 extensions of one or two digits, as some conversions left them.
    const char* zip4 = rnd.Chance(3) ? "12  " : (rnd.Chance(2) ? " 1  " : "0000");
    Set(l00, ly::ap::line00::ZipNine, LeftJustify(place.zip + std::string(zip4), 9));
    if (!c.active && rnd.Chance(30))
      l00[static_cast<std::size_t>(ly::ap::line00::Alpha.offset)] = '*';
    if (rnd.Chance(1.5))
      l00[static_cast<std::size_t>(ly::ap::line00::Name.offset + 5 + rnd.Below(8))] = '\0';
    ap.Add(l00);
    if (!rnd.Chance(5)) {
      std::string l01 = ly::NewClientLine01(row);
      Set(l01, ly::ap::client01::Line01Flag, rnd.Chance(50) ? "Y" : "N");
      if (rnd.Chance(1))
        l01[static_cast<std::size_t>(ly::ap::client01::ContactName.offset + 3)] = '\0';
      ap.Add(l01);
    }
    if (!rnd.Chance(8)) {
      std::string l02 = Blank(ly::ap::kRecordLength);
      Set(l02, ly::ap::Key, ly::ApKey(ly::ap::kClient, c.agency, c.number, "02"));
      Set(l02, ly::ap::RecTypeCopy, ly::ap::kClient);
      Set(l02, c.custType == 2 ? ly::ap::client02::Phone2Personal : ly::ap::client02::Phone2,
          PlainPhone(phone2));
      ap.Add(l02);
    }
    if (c.custType != 2 && rnd.Chance(30)) {
      std::string l04 = PadRight("001000" + c.agency + c.number + "04001", 122) + "C";
      Set(l04, ly::ap::client04::Amount1099,
          rnd.Chance(50) ? "$0.00" : MoneyToZoned(rnd.Below(90000) / 100.0));
      ap.Add(PadRight(l04, ly::ap::kRecordLength));
    }
    ++summary.clients;

    db.Insert(
        "Customer",
        {{"AgyCode", c.agency},
         {"Number", c.number},
         {"Name", c.name},
         {"DBA",
          std::string(c.custType == 1 && rnd.Chance(20) ? "DBA " + c.name.substr(0, 10) : "")},
         {"Address1", address1},
         {"Address2", std::string("")},
         {"City", std::string(place.city)},
         {"State", std::string(place.state)},
         {"Zip", zip},
         {"Phone1", phone1},
         {"Phone2", phone2},
         {"Phone3", phone3},
         {"CustType", static_cast<long long>(rnd.Chance(0.5) ? 3 : c.custType)},
         {"ActiveStatus", std::string(rnd.Chance(0.3) ? "X" : (c.active ? "Y" : "N"))},
         {"Underwriter", c.producer},
         {"SubPrdCode", c.subProducer},
         {"CSR", c.csr},
         {"UserCode1", std::string("  ")},
         {"UserCode2", std::string("  ")},
         {"UserCode3", std::string("  ")},
         {"Territory", std::string("N ")},
         {"ContactName", row.ContactName},
         {"Amt1099", std::string("$0.00")},
         {"GetLateCharges", std::string(rnd.Chance(50) ? "Y" : "N")},
         {"TaxID", std::string(rnd.Chance(30) ? "" : "00-0000000")},
         {"FormsType", static_cast<long long>(rnd.Chance(70) ? 1 : 0)},
         {"LegalEntityCode", rnd.Chance(20) ? sqldb::Variant() : sqldb::Variant(rnd.Below(4))}});
    if (rnd.Chance(5)) {
      convert.Insert("Customer", {{"AgyCode", c.agency}, {"Number", c.number}, {"Name", c.name}});
    }
    if (rnd.Chance(20)) {
      // Positions 1-2 agency, 11-16 client number, 20-34 tax number.
      const int tax = 100000000 + rnd.Below(800000000);
      std::string taxText = std::to_string(tax).insert(2, "-");
      if (rnd.Chance(10)) taxText = "(NULL)";
      feds.push_back(PadRight(c.agency, 10) + c.number + "   " + PadRight(taxText, 15));
    }

    // Contacts: most in both stores, some only in the database.
    const int contacts = rnd.Below(3);
    for (int k = 1; k <= contacts; ++k) {
      ly::ContactRow cr;
      cr.AgyCode = c.agency;
      cr.CltNum = c.number;
      cr.Number = std::to_string(k);
      cr.Name = std::string(rnd.Pick(kFirstNames)) + " " + rnd.Pick(kLastNames);
      cr.Address1 = address1;
      cr.City = place.city;
      cr.State = place.state;
      cr.ZipCode = place.zip;
      if (!rnd.Chance(15)) extap.Add(ly::NewContactRecord(cr));
      db.Insert("Contact", {{"AgyCode", c.agency},
                            {"CltNum", c.number},
                            {"Number", cr.Number},
                            {"Name", cr.Name},
                            {"Phone1", DisplayPhoneOddly(rnd)},
                            {"Phone2", DisplayPhoneOddly(rnd)},
                            {"Phone3", std::string("")},
                            {"Phone4", DisplayPhoneOddly(rnd)},
                            {"DefaultAddFrom", std::string(rnd.Chance(50) ? "1" : "0")},
                            {"Address1", address1},
                            {"City", std::string(place.city)},
                            {"State", std::string(place.state)},
                            {"ZipCode", std::string(place.zip)},
                            {"PhoneExt", std::string(rnd.Chance(20) ? "  12  " : "")}});
      ++summary.contacts;
    }

    // Policies: one or two policies, each with a few terms; about five terms a client.
    const int policies = 1 + rnd.Below(2);
    for (int p = 0; p < policies; ++p) {
      const Code& cls = rnd.Pick(kClasses);
      const std::string polNum = std::string(cls.code) + std::to_string(4000000 + i * 10 + p);
      const int terms = 2 + rnd.Below(3);
      const int firstSeq = rnd.Chance(2) ? 0 : 1;
      const int startYear = 2017 + rnd.Below(5);
      // Some policies came from a submission (a suspense item naming the policy back).
      std::string submission;
      if (p == 0 && rnd.Chance(8)) {
        submission = std::to_string(nextItem[c.agency]++);
      }
      for (int t = 0; t < terms; ++t) {
        const int seq = firstSeq + t;
        Date eff{startYear + t, 1 + rnd.Below(12), 1 + rnd.Below(28)};
        Date exp = AddYears(eff, 1);
        Date entry = AddDays(eff, -rnd.Below(20));
        const std::string dept = c.custType == 2 ? "PL" : (rnd.Chance(2) ? "ZZ" : "CL");
        std::string cmp = RightJustify(rnd.Pick(kCompanies).code, 3);
        if (rnd.Chance(2)) cmp = "ZZZ";
        std::string clsCode = RightJustify(cls.code, 3);
        if (rnd.Chance(1)) clsCode = " XX";
        const std::string trn = RightJustify(t == 0 ? "NEW" : (rnd.Chance(5) ? "CAN" : "REN"), 3);
        const std::string prd = rnd.Chance(5) ? RightJustify(kProducers[2].code, 3) : c.producer;
        std::string invNum = "000000";
        const bool invoiced = rnd.Chance(85);
        if (invoiced) invNum = ZeroFill(std::to_string(nextInvoice[c.agency]++), 6);
        std::string polInv = invNum;
        if (invoiced && rnd.Chance(2))
          polInv = ZeroFill(std::to_string(nextInvoice[c.agency] + 50000), 6);
        if (invoiced && rnd.Chance(1) && !lastInvoiceOf01.empty() && c.agency == "01")
          polInv = lastInvoiceOf01;

        std::string r = Blank(ly::pol::kRecordLength);
        Set(r, ly::pol::PolKey, ly::PolKey(c.agency, polNum, seq));
        Set(r, ly::pol::AgyCode2, rnd.Chance(1) ? std::string("99") : c.agency);
        Set(r, ly::pol::CltNum, c.number);
        Set(r, ly::pol::InvNum, polInv);
        Set(r, ly::pol::Dept, RightJustify(dept, 2));
        Set(r, ly::pol::Company, cmp);
        Set(r, ly::pol::Class, clsCode);
        Set(r, ly::pol::TrnCode, trn);
        // Terms entered by the conversion operator on the day of a trial conversion.
        const bool trialConversion = rnd.Chance(1);
        Set(r, ly::pol::EntryDate, trialConversion ? std::string(":91209") : LegacyDate(entry));
        Set(r, ly::pol::EnteredBy, RightJustify(trialConversion ? "QXT" : kProducers[7].code, 3));
        Set(r, ly::pol::PrdCode, prd);
        std::string effText = LegacyDate(eff), expText = LegacyDate(exp);
        if (rnd.Chance(1)) expText.replace(2, 2, "00");
        if (rnd.Chance(0.5)) effText.replace(2, 2, "13");
        Set(r, ly::pol::EffectiveDate, effText);
        Set(r, ly::pol::AgyCode3, c.agency);
        Set(r, ly::pol::ExpirationDate, expText);
        Set(r, ly::pol::PolStatus, trn == "CAN" ? "C" : "R");
        pol.Add(r);
        ++summary.policyTerms;

        auto policyRow = [&](int rowSeq, const std::string& rowCls) {
          db.Insert("Policy", {{"AgyCode", c.agency},
                               {"PolNum", polNum},
                               {"PolSeq", static_cast<long long>(rowSeq)},
                               {"CltNum", c.number},
                               {"Prd Code", prd},
                               {"InvNum", polInv},
                               {"TrnCode", trn},
                               {"ClsCode", rowCls},
                               {"DptCode", RightJustify(dept, 2)},
                               {"CmpCode", cmp},
                               {"EntryDate", SqlDate(entry)},
                               {"EffectiveDate", SqlDate(eff)},
                               {"ExpirationDate", SqlDate(exp)},
                               {"SubmissionNumber", submission},
                               {"PolicyTermExpDate", SqlDate(exp)},
                               {"d_filler2", rnd.Chance(3) ? 0.0 : 1.0 + rnd.Below(8)},
                               {"SubClassCode", std::string("")}});
        };
        policyRow(seq, clsCode);
        // A policy whose class was changed keeps its current class on a term "99"; its
        // earlier terms still carry the old one.
        if (t == terms - 1 && rnd.Chance(2)) {
          const std::string current = RightJustify(rnd.Pick(kClasses).code, 3);
          std::string r99 = r;
          Set(r99, ly::pol::PolKey, ly::PolKey(c.agency, polNum, 99));
          Set(r99, ly::pol::Class, current);
          pol.Add(r99);
          ++summary.policyTerms;
          policyRow(99, current);
        }
        if (rnd.Chance(10)) {
          db.Insert("ClaimMain", {{"AgyCode", c.agency},
                                  {"CltNum", c.number},
                                  {"PolNum", polNum},
                                  {"PolSeq", static_cast<long long>(seq)},
                                  {"ClaimNo", "C" + std::to_string(70000 + i)}});
        }
        if (rnd.Chance(20)) {
          db.Insert("PolInt", {{"AgyCode", c.agency},
                               {"PolNum", polNum},
                               {"IntNum", std::to_string(1 + t)},
                               {"Agent", RightJustify(rnd.Chance(5) ? "9999" : c.number, 6)}});
        }
        if (t == 0 && rnd.Chance(10)) {
          // Positions 1-18 the client number, 27-62 the sub-class code.
          isucodes.push_back(PadRight(Trim(c.number), 26) +
                             PadRight(std::string(cls.code) + "1", 36));
        }

        if (!invoiced) continue;
        // The invoice: header, items and description.
        const std::string inv = invNum;
        const double amount = (200 + rnd.Below(400000)) / 100.0;
        const bool direct = rnd.Chance(10);
        auto item = [&](std::string_view itemCode, std::string_view code, std::string_view postKind,
                        std::string_view gl, double amt) {
          std::string j = Blank(ly::jcki::kRecordLength);
          Set(j, ly::jcki::Key, ly::JckiKey(c.agency, 'I', inv, itemCode));
          Set(j, ly::jcki::AgyCode2, c.agency);
          Set(j, ly::jcki::PostKind, postKind);
          Set(j, ly::jcki::GLAcct, gl);
          Set(j, ly::jcki::Code, code);
          Set(j, ly::jcki::CltNum,
              (rnd.Chance(0.5) && i > 0) ? RightJustify(std::to_string(999 + i), 6) : c.number);
          Set(j, ly::jcki::EffectiveDate, LegacyDate(eff));
          Set(j, ly::jcki::Dept, dept);
          Set(j, ly::jcki::EntryDate, LegacyDate(entry));
          Set(j, ly::jcki::Amount, MoneyToZoned(amt));
          Set(j, ly::jcki::EnteredBy, RightJustify(kProducers[7].code, 3));
          return j;
        };
        std::string header = item(ly::jcki::kHeader, "   ", "D", "1120", amount);
        if (direct) Set(header, ly::jcki::ContFlag, "D");
        // Now and then an invoice has a second line ("02000", posted "I"); a few of those
        // lost their first line in the conversion.
        const bool secondLine = rnd.Chance(3);
        if (!(secondLine && rnd.Chance(30))) jcki.Add(header);
        if (secondLine) jcki.Add(item("02000", "   ", "I", "1120", amount));
        if (direct) {
          std::string cont = item(ly::jcki::kHeaderContinuation, "   ", "D", "1130", -amount);
          if (rnd.Chance(30)) cont[static_cast<std::size_t>(ly::jcki::Amount.offset + 9)] = '\0';
          jcki.Add(cont);
        }
        // A company item without its ledger account, now and then.
        jcki.Add(item(ly::jcki::kCompanyItem, rnd.Chance(0.5) ? std::string("999") : cmp, "1",
                      rnd.Chance(0.3) ? "    " : "1130", amount * 0.85));
        jcki.Add(item(ly::jcki::kClassItem, rnd.Chance(0.3) ? std::string("X.Y") : clsCode, "1",
                      "4010", 0));
        jcki.Add(item(ly::jcki::kProducerItem, rnd.Chance(2) ? RightJustify("ZQ", 3) : prd, "1",
                      "5110", amount * 0.15));
        // Only the transaction item posts to 5108; now and then its code was converted in
        // lower case, or the description kept another code.
        jcki.Add(
            item(ly::jcki::kTransactionItem, rnd.Chance(1) ? LowerCase(trn) : trn, "1", "5108", 0));
        summary.invoiceRecords += direct ? 6 : 5;
        if (c.agency == "01") lastInvoiceOf01 = inv;

        std::string d = Blank(ly::desc::kRecordLength);
        Set(d, ly::desc::Key, c.agency + "I" + inv + "01");
        Set(d, ly::desc::Class, clsCode);
        Set(d, ly::desc::TrnCode, rnd.Chance(2) ? RightJustify("END", 3) : trn);
        Set(d, ly::desc::Company, cmp);
        Set(d, ly::desc::PrdCode, prd);
        desc.Add(d);
      }
      if (!submission.empty()) {
        // Submissions are numbered without the diary's leading blanks. Now and then the submission
        // is gone, or names another client's policy.
        if (!rnd.Chance(5)) {
          const bool crossed = rnd.Chance(10) && !lastLinkedPolicy.empty();
          db.Insert("SuspItem", {{"AgyCode", c.agency},
                                 {"ItemNum", submission},
                                 {"AssignedTo", c.csr},
                                 {"Status", static_cast<long long>(1 + rnd.Below(4))},
                                 {"PolicyNumber", crossed ? lastLinkedPolicy : polNum}});
        }
        lastLinkedPolicy = polNum;
      }
    }

    // Journal and cash entries, a void entry now and then.
    if (rnd.Chance(25)) {
      const std::string doc = ZeroFill(std::to_string(nextInvoice[c.agency]++), 6);
      const char kind = rnd.Chance(50) ? 'J' : (rnd.Chance(10) ? 'X' : 'C');
      std::string j = Blank(ly::jcki::kRecordLength);
      Set(j, ly::jcki::Key, ly::JckiKey(c.agency, kind, doc, "01000"));
      Set(j, ly::jcki::AgyCode2, c.agency);
      Set(j, ly::jcki::PostKind, kind == 'J' ? "J" : "D");
      Set(j, ly::jcki::GLAcct, "1120");
      Set(j, ly::jcki::CltNum, c.number);
      Date jd{2024, 1 + rnd.Below(12), 1 + rnd.Below(28)};
      Set(j, ly::jcki::EffectiveDate, LegacyDate(jd));
      Set(j, ly::jcki::EntryDate, LegacyDate(jd));
      Set(j, ly::jcki::Amount, MoneyToZoned(-(100 + rnd.Below(50000)) / 100.0));
      if (kind == 'C') {
        Set(j, ly::jcki::Code, rnd.Chance(5) ? "BAD" : "FNB");
        Set(j, ly::jcki::LedgerAcct, rnd.Chance(50) ? "1120" : "1130");
      }
      jcki.Add(j);
      ++summary.invoiceRecords;
    }
    if (rnd.Chance(3)) {
      const std::string doc = ZeroFill(std::to_string(nextInvoice[c.agency]++), 6);
      std::string k = Blank(ly::jcki::kRecordLength);
      Set(k, ly::jcki::Key, ly::JckiKey(c.agency, 'K', doc, "01000"));
      Set(k, ly::jcki::AgyCode2, c.agency);
      Set(k, ly::jcki::PostKind, "D");
      Set(k, ly::jcki::GLAcct, "1130");
      Set(k, ly::jcki::LedgerAcct, rnd.Chance(40) ? "0000" : "1000");
      Set(k, ly::jcki::Amount, MoneyToZoned((100 + rnd.Below(50000)) / 100.0));
      jcki.Add(k);
      std::string d = Blank(ly::desc::kRecordLength);
      Set(d, ly::desc::Key, c.agency + "K" + doc + "01");
      Set(d, ly::desc::PayeeText, c.name.substr(0, 20));
      desc.Add(d);
      ++summary.invoiceRecords;
    }

    // Suspense items, attachments, property, notes, memos and schedules.
    if (rnd.Chance(40)) {
      const std::string itemNum = RightJustify(std::to_string(nextItem[c.agency]++), 9);
      std::string dn = Blank(ly::diandx::kRecordLength);
      Set(dn, ly::diandx::Key, c.agency + itemNum);
      Set(dn, ly::diandx::AssignedTo, LeftJustify(Trim(c.csr), 6));
      diandx.Add(dn);
      if (!rnd.Chance(5)) {
        db.Insert("SuspItem", {{"AgyCode", c.agency},
                               {"ItemNum", itemNum},
                               {"AssignedTo", rnd.Chance(20) ? RightJustify("QXT", 3) : c.csr},
                               {"Status", static_cast<long long>(1 + rnd.Below(4))},
                               {"PolicyNumber", std::string(rnd.Chance(10) ? "*AUTO*" : "")}});
      }
    }
    if (rnd.Chance(15)) {
      const bool producerDoc = rnd.Chance(30);
      for (sqldb::RowLoader* target : {&db, &convert}) {
        if (target == &convert && !rnd.Chance(30)) continue;
        target->Insert(
            "AttchList",
            {{"AgyCode", c.agency},
             {"CltNum", producerDoc && rnd.Chance(50) ? std::string(6, ' ') : c.number},
             {"PolNum", std::string("")},
             {"AttchSeq", 1LL},
             {"FileDesc", std::string(producerDoc ? "PRODUCER AGREEMENT" : "SIGNED APP")},
             {"FileType", std::string(producerDoc ? "X" : "D")},
             {"FilePath", "C:\\attach\\" + Trim(c.number) + "\\doc1.pdf"},
             {"CmpCode", std::string("   ")},
             {"PrdCode", producerDoc ? c.producer : std::string("   ")},
             {"AttchDate", SqlDate(AddDays(today, -rnd.Below(900)))},
             {"Published", 0LL},
             {"AttachmentTag", std::string("")},
             {"AttachmentSubTag", std::string("")},
             {"AttachmentSubTag2", std::string("")}});
      }
    }
    if (c.custType == 2 && rnd.Chance(20)) {
      const int items = 1 + rnd.Below(3);
      for (int s = 1; s <= items; ++s) {
        db.Insert("PropA",
                  {{"AgyCode", c.agency},
                   {"Client", c.number},
                   {"NamedInsured",
                    std::string(rnd.Chance(20) ? "" : (rnd.Chance(15) ? "     0" : "     1"))},
                   {"SchedSeq", static_cast<long long>(rnd.Chance(10) ? 0 : s)}});
      }
      db.Insert("DRIVER2", {{"AgyCode", c.agency}, {"Client", c.number}, {"SchedSeq", 1LL}});
      db.Insert("Vehicle2", {{"AgyCode", c.agency}, {"Client", c.number}, {"SchedSeq", 1LL}});
    }
    if (rnd.Chance(5))
      db.Insert("EQUIPA", {{"AgyCode", c.agency}, {"Client", c.number}, {"SchedSeq", 1LL}});
    if (rnd.Chance(5))
      db.Insert("DLPEND", {{"AgyCode", c.agency}, {"Client", c.number}, {"DownloadSeq", 1LL}});
    if (rnd.Chance(30))
      db.Insert("CustNotes", {{"AgyCode", c.agency},
                              {"CltNum", c.number},
                              {"AutoKey", static_cast<long long>(i + 1)}});
    if (rnd.Chance(30)) {
      db.Insert("PolMemo",
                {{"AgyCode", c.agency},
                 {"CltNum", c.number},
                 {"AutoID", ++memo},
                 {"DateStamp", SqlDate(AddDays(today, -rnd.Below(2000))) + " 09:15:00"}});
    }
  }
  // Rows the conversion left behind for clients that do not exist.
  db.Insert("PropA", {{"AgyCode", std::string("01")},
                      {"Client", RightJustify("999999", 6)},
                      {"NamedInsured", std::string("     1")},
                      {"SchedSeq", 1LL}});
  db.Insert("CustNotes", {{"AgyCode", std::string("01")},
                          {"CltNum", RightJustify("999998", 6)},
                          {"AutoKey", 999998LL}});

  ap.Flush();
  extap.Flush();
  pol.Flush();
  jcki.Flush();
  desc.Flush();
  diandx.Flush();
  db.Commit();
  convert.Commit();
  summary.apRecords = ap.Count();
  summary.sqlRows = static_cast<long>(db.Rows() + convert.Rows());

  WriteTextFile(dir / "talvor.cfg", "data\r\nAGYFORMS\r\nDEMO\r\n01\r\n");
  std::string fedText;
  for (const std::string& f : feds) fedText += f + "\r\n";
  WriteTextFile(dir / "fed_id.txt", fedText);
  std::string isuText;
  for (const std::string& s : isucodes) isuText += s + "\r\n";
  WriteTextFile(dir / "ISUCODES.TXT", isuText);
  return summary;
}

}  // namespace talvor
