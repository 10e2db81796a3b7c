#include "sqldb/catalog.h"

#include <sqlite3.h>

#include <system_error>

#include "platform/sqlite.h"
#include "shell/text/text.h"
#include "sqldb/error.h"
#include "sqldb/internal/fields.h"

namespace talvor::sqldb {
namespace {

using T = ColumnType;

// Stored format of an agency database: the names below are the names the routines use and
// the names a site's database has; do not change them.

constexpr ColumnDef kCustomer[] = {
    {"AgyCode", T::kText, 2},
    {"Number", T::kText, 6},
    {"Name", T::kText, 0},
    {"DBA", T::kText, 0},
    {"Address1", T::kText, 0},
    {"Address2", T::kText, 0},
    {"City", T::kText, 0},
    {"State", T::kText, 2},
    {"Zip", T::kText, 9},
    {"Phone1", T::kText, 0},
    {"Phone2", T::kText, 0},
    {"Phone3", T::kText, 0},
    {"CustType", T::kInteger, 0},
    {"ActiveStatus", T::kText, 1},
    {"Underwriter", T::kText, 3},
    {"SubPrdCode", T::kText, 3},
    {"CSR", T::kText, 3},
    {"UserCode1", T::kText, 2},
    {"UserCode2", T::kText, 2},
    {"UserCode3", T::kText, 2},
    {"Territory", T::kText, 2},
    {"ContactName", T::kText, 25},
    {"Amt1099", T::kText, 0},
    {"GetLateCharges", T::kText, 1},
    {"TaxID", T::kText, 0},
    {"License1", T::kText, 0},
    {"License1Expires", T::kDateTime, 0},
    {"FormsType", T::kInteger, 0},
    {"LegalEntityCode", T::kInteger, 0},
};
constexpr IndexDef kCustomerIndexes[] = {{"Index1", "AgyCode;Number"}};

constexpr ColumnDef kContact[] = {
    {"AgyCode", T::kText, 2},  {"CltNum", T::kText, 6},   {"Number", T::kText, 0},
    {"Name", T::kText, 0},     {"Phone1", T::kText, 0},   {"Phone2", T::kText, 0},
    {"Phone3", T::kText, 0},   {"Phone4", T::kText, 0},   {"DefaultAddFrom", T::kText, 0},
    {"Address1", T::kText, 0}, {"Address2", T::kText, 0}, {"City", T::kText, 0},
    {"State", T::kText, 2},    {"ZipCode", T::kText, 0},  {"PhoneExt", T::kText, 0},
};

constexpr ColumnDef kPolicy[] = {
    {"AgyCode", T::kText, 2},
    {"PolNum", T::kText, 0},
    {"PolSeq", T::kInteger, 0},
    {"CltNum", T::kText, 6},
    {"Prd Code", T::kText, 3},
    {"InvNum", T::kText, 0},
    {"TrnCode", T::kText, 3},
    {"ClsCode", T::kText, 3},
    {"DptCode", T::kText, 2},
    {"CmpCode", T::kText, 3},
    {"EntryDate", T::kDateTime, 0},
    {"EffectiveDate", T::kDateTime, 0},
    {"ExpirationDate", T::kDateTime, 0},
    {"SubmissionNumber", T::kText, 0},
    {"PolicyTermExpDate", T::kDate, 0},
    {"d_filler2", T::kFloat, 0},
    {"SubClassCode", T::kText, 6},
};
// "CltIdx" serves the walks that filter one client's policies (a site's own database has
// its own indexes; the workbench never adds any there).
constexpr IndexDef kPolicyIndexes[] = {{"Main_idx", "AgyCode;PolNum;PolSeq"},
                                       {"SubViewIndex", "AgyCode;SubmissionNumber;PolNum"},
                                       {"CltIdx", "AgyCode;CltNum"}};

// The key every routine locates these tables' rows by; without it each Locate reads the
// whole table. Not unique: converted data may hold a key twice, and the routines that look
// rows up are the ones that must report it.
// (Index names are shared by all tables of a database, hence one name per table.)
constexpr IndexDef kProducerKey[] = {{"ProducerKey", "AgyCode;Number"}};
constexpr IndexDef kStatesKey[] = {{"StatesKey", "AgyCode;Number"}};
// A client's attachments. It leads with the client, not the agency, so that a selection of
// one agency's rows (Fix Prd Attch) keeps reading the table in stored order.
constexpr IndexDef kAttchListKey[] = {{"CltAttch", "CltNum;PolNum;AttchSeq"}};
constexpr IndexDef kSubClassKey[] = {{"SubClassKey", "AgyCode;ClsNum;Number"}};
constexpr IndexDef kTransKey[] = {{"TransKey", "AgyCode;Number"}};
// The schedule rows of one client, by sequence.
constexpr IndexDef kPropAKey[] = {{"PropAKey", "AgyCode;Client;SchedSeq"}};

constexpr ColumnDef kProducer[] = {
    {"AgyCode", T::kText, 2},         {"Number", T::kText, 3},         {"Name", T::kText, 0},
    {"InactiveAcct", T::kBoolean, 0}, {"DefCommission", T::kFloat, 0},
};

constexpr ColumnDef kCompany[] = {
    {"AgyCode", T::kText, 2},
    {"Number", T::kText, 3},
    {"Name", T::kText, 0},
    {"BillMethodCd", T::kText, 1},
};

constexpr ColumnDef kClassTypes[] = {
    {"AgyCode", T::kText, 2}, {"Number", T::kText, 3}, {"Name", T::kText, 0}};

constexpr ColumnDef kStates[] = {
    {"AgyCode", T::kText, 2},    {"Number", T::kText, 2},           {"Name", T::kText, 0},
    {"FilingDate", T::kDate, 0}, {"AffidavitsReq", T::kBoolean, 0},
};

constexpr ColumnDef kAttchList[] = {
    {"AgyCode", T::kText, 2},          {"CltNum", T::kText, 6},
    {"PolNum", T::kText, 0},           {"AttchSeq", T::kInteger, 0},
    {"FileDesc", T::kText, 0},         {"FileType", T::kText, 0},
    {"FilePath", T::kText, 0},         {"CmpCode", T::kText, 3},
    {"PrdCode", T::kText, 3},          {"AttchDate", T::kDateTime, 0},
    {"Published", T::kInteger, 0},     {"AttachmentTag", T::kText, 0},
    {"AttachmentSubTag", T::kText, 0}, {"AttachmentSubTag2", T::kText, 0},
};

constexpr ColumnDef kPropA[] = {
    {"AgyCode", T::kText, 2},
    {"Client", T::kText, 6},
    {"NamedInsured", T::kText, 6},
    {"SchedSeq", T::kInteger, 0},
};

constexpr ColumnDef kSubClass[] = {
    {"AgyCode", T::kText, 2}, {"ClsNum", T::kText, 3},        {"Number", T::kText, 6},
    {"Name", T::kText, 0},    {"SubClsType", T::kInteger, 0},
};

constexpr ColumnDef kTrans[] = {{"AgyCode", T::kText, 2}, {"Number", T::kText, 3}};

constexpr ColumnDef kAgency[] = {{"AgyCode", T::kText, 2}, {"AgencyName", T::kText, 0}};

constexpr ColumnDef kSuspItem[] = {
    {"AgyCode", T::kText, 2},   {"ItemNum", T::kText, 9},      {"AssignedTo", T::kText, 3},
    {"Status", T::kInteger, 0}, {"PolicyNumber", T::kText, 0},
};
constexpr IndexDef kSuspItemIndexes[] = {{"MainIdx", "AgyCode;ItemNum"}};

constexpr ColumnDef kSubStat[] = {
    {"AgyCode", T::kText, 2}, {"Number", T::kInteger, 0}, {"IsClosed", T::kBoolean, 0}};

constexpr ColumnDef kClaimMain[] = {
    {"AgyCode", T::kText, 2},   {"CltNum", T::kText, 6},  {"PolNum", T::kText, 0},
    {"PolSeq", T::kInteger, 0}, {"ClaimNo", T::kText, 0},
};

constexpr ColumnDef kCustNotes[] = {
    {"AgyCode", T::kText, 2}, {"CltNum", T::kText, 6}, {"AutoKey", T::kInteger, 0}};

constexpr ColumnDef kPolMemo[] = {
    {"AgyCode", T::kText, 2},
    {"CltNum", T::kText, 6},
    {"AutoID", T::kInteger, 0},
    {"DateStamp", T::kDateTime, 0},
};

constexpr ColumnDef kDlPend[] = {
    {"AgyCode", T::kText, 2}, {"Client", T::kText, 6}, {"DownloadSeq", T::kInteger, 0}};

constexpr ColumnDef kSchedule[] = {
    {"AgyCode", T::kText, 2}, {"Client", T::kText, 6}, {"SchedSeq", T::kInteger, 0}};

constexpr ColumnDef kPolInt[] = {
    {"AgyCode", T::kText, 2},
    {"PolNum", T::kText, 0},
    {"IntNum", T::kText, 0},
    {"Agent", T::kText, 6},
};

// Tables of the one-off routines: the keys they are reached by.
constexpr ColumnDef kInsured[] = {
    {"AgyCode", T::kText, 2},
    {"Client", T::kText, 6},
    {"Number", T::kText, 6},
    {"Name", T::kText, 0},
};

constexpr ColumnDef kA25Sb[] = {
    {"AgyCode", T::kText, 2},
    {"CltNum", T::kText, 6},
    {"CertNum", T::kText, 0},
    {"Name", T::kText, 0},
};

constexpr ColumnDef kA25Sba[] = {
    {"AgyCode", T::kText, 2},
    {"CertNum", T::kText, 0},
    {"HolderSeq", T::kInteger, 0},
    {"Name", T::kText, 0},
};
constexpr IndexDef kA25SbaIndexes[] = {{"Main", "AgyCode;CertNum;HolderSeq"}};

constexpr TableDef kTables[] = {
    {"Customer", kCustomer, kCustomerIndexes},
    {"Contact", kContact, {}},
    {"Policy", kPolicy, kPolicyIndexes},
    {"Producer", kProducer, kProducerKey},
    {"Company", kCompany, {}},
    {"ClassTypes", kClassTypes, {}},
    {"States", kStates, kStatesKey},
    {"AttchList", kAttchList, kAttchListKey},
    {"PropA", kPropA, kPropAKey},
    {"SubClass", kSubClass, kSubClassKey},
    {"Trans", kTrans, kTransKey},
    {"Agency", kAgency, {}},
    {"SuspItem", kSuspItem, kSuspItemIndexes},
    {"SubStat", kSubStat, {}},
    {"ClaimMain", kClaimMain, {}},
    {"CustNotes", kCustNotes, {}},
    {"PolMemo", kPolMemo, {}},
    {"DLPEND", kDlPend, {}},
    {"DRIVER2", kSchedule, {}},
    {"Vehicle2", kSchedule, {}},
    {"EQUIPA", kSchedule, {}},
    {"PolInt", kPolInt, {}},
    {"Insured", kInsured, {}},
    {"A25SB", kA25Sb, {}},
    {"A25SBA", kA25Sba, kA25SbaIndexes},
};

std::string QuotedList(std::string_view names) {
  std::string out;
  while (true) {
    const std::size_t semi = names.find(';');
    out += internal::QuoteName(names.substr(0, semi));
    if (semi == std::string_view::npos) return out;
    out += ", ";
    names.remove_prefix(semi + 1);
  }
}

}  // namespace

std::span<const TableDef> AgencyTables() {
  return kTables;
}

const TableDef* FindAgencyTable(std::string_view name) {
  const std::string wanted = LowerCase(name);
  for (const TableDef& t : kTables) {
    if (LowerCase(t.name) == wanted) return &t;
  }
  return nullptr;
}

const ColumnDef* FindAgencyColumn(const TableDef& table, std::string_view name) {
  const std::string wanted = LowerCase(name);
  for (const ColumnDef& c : table.columns) {
    if (LowerCase(c.name) == wanted) return &c;
  }
  return nullptr;
}

std::string_view DeclaredType(ColumnType type) {
  switch (type) {
    case T::kText:
      return "TEXT";
    case T::kInteger:
      return "INTEGER";
    case T::kBoolean:
      return "BOOLEAN";
    case T::kFloat:
      return "REAL";
    case T::kDate:
      return "DATE";
    case T::kDateTime:
      return "DATETIME";
  }
  return "TEXT";
}

std::string CreateTableSql(const TableDef& table) {
  std::string sql = "CREATE TABLE " + internal::QuoteName(table.name) + " (";
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (i) sql += ", ";
    sql += internal::QuoteName(table.columns[i].name) + " " +
           std::string(DeclaredType(table.columns[i].type));
  }
  return sql + ")";
}

void CreateAgencyDatabase(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const std::string where = "agency database \"" + path.string() + "\"";
  if (fs::exists(fs::symlink_status(path, ec))) throw Error(where + ": the file already exists");
  const fs::path folder = path.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, ec)) {
    throw Error(where + ": the folder \"" + folder.string() + "\" does not exist");
  }

  std::string script = "BEGIN;\n";
  for (const TableDef& t : kTables) {
    script += CreateTableSql(t) + ";\n";
    for (const IndexDef& index : t.indexes) {
      script += "CREATE INDEX " + internal::QuoteName(index.name) + " ON " +
                internal::QuoteName(t.name) + " (" + QuotedList(index.columns) + ");\n";
    }
  }
  script += "COMMIT;\n";

  std::string message;
  int rc = SQLITE_OK;
  {
    sqlite::Database db =
        sqlite::Database::Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &message, &rc);
    if (db) rc = db.Exec(script, &message);
  }
  if (rc != SQLITE_OK) {
    fs::remove(path, ec);
    fs::remove(fs::path(path.string() + "-journal"), ec);
    throw Error(where + ": " + message);
  }
}

}  // namespace talvor::sqldb
