#include "sqldb/internal/server.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "shell/text/text.h"
#include "sqldb/database.h"
#include "sqldb/error.h"

namespace talvor::sqldb::internal {

namespace {

SQLCHAR* Chars(const std::string& text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
}

FieldKind KindOfSqlType(int sqlType) {
  switch (sqlType) {
    case SQL_BIT: return FieldKind::kBoolean;
    case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT:
      return FieldKind::kInteger;
    case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: case SQL_NUMERIC: case SQL_DECIMAL:
      return FieldKind::kFloat;
    case SQL_TYPE_DATE: case SQL_TYPE_TIMESTAMP: case SQL_DATE: case SQL_TIMESTAMP:
      return FieldKind::kDateTime;
    case SQL_CHAR: case SQL_VARCHAR: case SQL_LONGVARCHAR: case SQL_WCHAR: case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
      return FieldKind::kText;
    default: return FieldKind::kAny;
  }
}

std::optional<std::int64_t> ParseInteger(const std::string& text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [at, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || at != end || text.empty()) return std::nullopt;
  return value;
}

std::optional<double> ParseFloat(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [at, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || at != end || text.empty()) return std::nullopt;
  return value;
}

// The connection `connection` names, with the settings DriverSettings adds for its driver:
// connected once more when there are some.
odbc::Connection Connect(const odbc::Environment& env, const std::string& connection) {
  odbc::Connection first(env, connection);
  const std::string more = DriverSettings(connection, first.InfoText(SQL_DRIVER_NAME));
  if (more.empty()) return first;
  return odbc::Connection(env, connection + more);
}

}  // namespace

std::string DriverSettings(std::string_view connection, std::string_view driver) {
  if (!EqualsIgnoringCase(driver.substr(0, 8), "psqlodbc")) return "";
  // KEY=VALUE pairs split at ';', a value in braces taken whole.
  std::size_t at = 0;
  while (at < connection.size()) {
    const std::size_t equals = connection.find('=', at);
    if (equals == std::string_view::npos) break;
    if (EqualsIgnoringCase(Trim(connection.substr(at, equals - at)), "Protocol")) return "";
    std::size_t end = equals + 1;
    while (end < connection.size() && connection[end] == ' ') ++end;
    if (end < connection.size() && connection[end] == '{') end = connection.find('}', end);
    end = end == std::string_view::npos ? connection.size() : connection.find(';', end);
    at = end == std::string_view::npos ? connection.size() : end + 1;
  }
  return ";Protocol=7.4-0";
}

Variant ServerValue(std::string text, FieldKind kind) {
  switch (kind) {
    case FieldKind::kInteger:
      if (auto n = ParseInteger(text)) return Variant(*n);
      break;
    case FieldKind::kFloat:
      if (auto x = ParseFloat(text)) return Variant(*x);
      break;
    case FieldKind::kBoolean: {
      const std::string lower = LowerCase(text);
      if (lower == "1" || lower == "t" || lower == "true") return Variant(std::int64_t{1});
      if (lower == "0" || lower == "f" || lower == "false") return Variant(std::int64_t{0});
      break;
    }
    case FieldKind::kDateTime:
      if (auto value = ParseStoredDateTime(text)) return Variant(StoredDateTime(*value));
      break;
    default: break;
  }
  return Variant(std::move(text));
}


namespace {

std::string NumberText(const Variant& cell) {
  char buffer[40];
  if (cell.type() == Variant::Type::kInteger) {
    std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(cell.Integer()));
  } else {
    std::snprintf(buffer, sizeof buffer, "%.17g", cell.Float());
  }
  return buffer;
}

}  // namespace

void BindServerValue(odbc::Statement& s, int at, const Variant& cell, int sqlType) {
  const auto type = static_cast<SQLSMALLINT>(sqlType);
  switch (cell.type()) {
    case Variant::Type::kNull: s.BindNull(at, type); break;
    case Variant::Type::kBoolean: s.BindText(at, cell.Boolean() ? "1" : "0", type); break;
    case Variant::Type::kInteger:
    case Variant::Type::kFloat: s.BindText(at, NumberText(cell), type); break;
    case Variant::Type::kDateTime: s.BindText(at, StoredDateTime(cell.DateTimeValue()), type); break;
    case Variant::Type::kText: s.BindText(at, cell.Text(), type); break;
  }
}

Variant ReadServerValue(const odbc::Statement& s, int column, FieldKind kind) {
  std::optional<std::string> text = s.Text(column);
  return text ? ServerValue(std::move(*text), kind) : Variant();
}

Cell JournalCell(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kNull: return Cell{};
    case Variant::Type::kBoolean: return Cell{Cell::Kind::kInteger, value.Boolean() ? "1" : "0"};
    case Variant::Type::kInteger:
    case Variant::Type::kFloat:
      return Cell{value.type() == Variant::Type::kInteger ? Cell::Kind::kInteger : Cell::Kind::kFloat,
                  NumberText(value)};
    case Variant::Type::kDateTime:
      return Cell{Cell::Kind::kText, StoredDateTime(value.DateTimeValue())};
    case Variant::Type::kText: return Cell{Cell::Kind::kText, value.Text()};
  }
  return Cell{};
}

ServerDatabase::ServerDatabase(std::string connectionString)
    : connectionString_(std::move(connectionString)), connection_(Connect(env_, connectionString_)) {
  quote_ = connection_.InfoText(SQL_IDENTIFIER_QUOTE_CHAR);
  if (quote_ == " ") quote_.clear();
  const std::string dbms = connection_.InfoText(SQL_DBMS_NAME);
  nativeRowid_ = EqualsIgnoringCase(dbms, "SQLite");
  writesReturnRows_ = EqualsIgnoringCase(dbms, "PostgreSQL");
  if (writesReturnRows_) {
    commitAndBegin_ = "COMMIT; BEGIN ISOLATION LEVEL READ COMMITTED";
    rowVersion_ = "CAST(xmin AS TEXT)";
  }
  // The standard's form, which servers since SQL:2008 take; SQLite takes only its own.
  limitOne_ = nativeRowid_ ? " LIMIT 1" : " FETCH FIRST 1 ROWS ONLY";
}

std::string ServerDatabase::Shown() const { return "odbc:" + HidePasswords(connectionString_); }

std::string ServerDatabase::Quote(std::string_view name) const {
  if (quote_.empty()) return std::string(name);
  std::string out = quote_;
  for (char c : name) {
    out += c;
    if (std::string_view(&c, 1) == quote_) out += c;
  }
  return out + quote_;
}

std::vector<std::string> ServerDatabase::TableNames() {
  odbc::Statement s(connection_);
  std::string type = "TABLE";
  s.Check(SQLTables(s.get(), nullptr, 0, nullptr, 0, nullptr, 0, Chars(type), SQL_NTS),
          "cannot list the tables of " + Shown());
  std::vector<std::string> names;
  while (s.Fetch()) names.push_back(s.Text(3).value_or(""));
  return names;
}

std::optional<TableInfo> ServerDatabase::FindTable(std::string_view name) {
  for (const std::string& table : TableNames()) {
    if (EqualsIgnoringCase(table, name)) return Describe(table);
  }
  return std::nullopt;
}

std::string ServerDatabase::RowidName() const {
  return nativeRowid_ ? "rowid" : Quote(kRowIdentityColumn);
}

TableInfo ServerDatabase::Describe(const std::string& table) {
  TableInfo info;
  info.name = table;
  info.hasRowid = nativeRowid_;
  info.described = ++descriptions_;
  {
    odbc::Statement s(connection_);
    s.Check(SQLColumns(s.get(), nullptr, 0, nullptr, 0, Chars(table), SQL_NTS, nullptr, 0),
            "cannot list the columns of table \"" + table + "\" of " + Shown());
    // The name is a pattern ("_" matches any letter): only the table's own rows count.
    while (s.Fetch()) {
      if (s.Text(3).value_or("") != table) continue;
      ColumnInfo c;
      c.name = s.Text(4).value_or("");
      if (EqualsIgnoringCase(c.name, kRowIdentityColumn)) {
        info.hasRowid = true;
        continue;
      }
      c.sqlType = static_cast<int>(ParseInteger(s.Text(5).value_or("0")).value_or(0));
      c.typeName = s.Text(6).value_or("");
      c.kind = KindOfDeclaredType(c.typeName);
      if (c.kind == FieldKind::kAny) c.kind = KindOfSqlType(c.sqlType);
      info.columns.push_back(std::move(c));
    }
  }
  odbc::Statement s(connection_);
  s.Check(SQLStatistics(s.get(), nullptr, 0, nullptr, 0, Chars(table), SQL_NTS, SQL_INDEX_ALL,
                        SQL_QUICK),
          "cannot list the indexes of table \"" + table + "\" of " + Shown());
  std::map<std::string, IndexInfo> byName;
  std::vector<std::string> order;
  while (s.Fetch()) {
    const std::optional<std::string> index = s.Text(6);
    if (!index || s.Text(7).value_or("") == std::to_string(SQL_TABLE_STAT)) continue;
    auto [it, fresh] = byName.try_emplace(*index);
    if (fresh) {
      it->second.name = *index;
      it->second.unique = s.Text(4).value_or("1") == "0";
      order.push_back(*index);
    }
    it->second.columns.push_back(s.Text(9).value_or(""));
    it->second.descending.push_back(s.Text(10).value_or("A") == "D" ? 1 : 0);
  }
  for (const std::string& name : order) {
    IndexInfo& index = byName[name];
    // The rowid's own key comes with the rowid column.
    if (index.columns.size() == 1 && EqualsIgnoringCase(index.columns[0], kRowIdentityColumn)) {
      continue;
    }
    // SQLite's driver tells every column ascending: SQLite itself knows better.
    if (nativeRowid_) {
      odbc::Statement x(connection_);
      x.Prepare("SELECT desc FROM pragma_index_xinfo(?) WHERE key = 1 ORDER BY seqno");
      x.BindText(1, index.name);
      x.Execute();
      for (std::size_t i = 0; x.Fetch() && i < index.descending.size(); ++i) {
        index.descending[i] = x.Text(1).value_or("0") == "1" ? 1 : 0;
      }
    }
    info.indexes.push_back(std::move(index));
  }
  return info;
}

// The columns in whose order the server keeps the table's rows, as ORDER BY terms: the
// rowid, else the driver's best row identifier, else the primary key, else none (the
// server's own order, which for a table only ever inserted into is the order of the
// inserts; a unique index tells rows apart too, but its order is not the stored one).
// A driver may fail to answer for a name it folds (one lower-cases a name in capitals
// only in these calls): that counts as no answer.
std::vector<std::string> ServerDatabase::RowIdentity(const TableInfo& table) {
  if (table.hasRowid) return {RowidName()};
  const auto ask = [&](auto call, int column) {
    std::vector<std::string> columns;
    try {
      odbc::Statement s(connection_);
      s.Check(call(s.get()), "row identity");
      while (s.Fetch()) columns.push_back(Quote(s.Text(column).value_or("")));
    } catch (const Error&) {
      columns.clear();
    }
    return columns;
  };
  const std::string name = table.name;
  std::vector<std::string> columns = ask(
      [&](SQLHSTMT s) {
        return SQLSpecialColumns(s, SQL_BEST_ROWID, nullptr, 0, nullptr, 0, Chars(name), SQL_NTS,
                                 SQL_SCOPE_SESSION, SQL_NULLABLE);
      },
      2);
  if (columns.empty()) {
    columns = ask(
        [&](SQLHSTMT s) {
          return SQLPrimaryKeys(s, nullptr, 0, nullptr, 0, Chars(name), SQL_NTS);
        },
        4);
  }
  return columns;
}

// The server's name of the first of `types` that it has.
std::string ServerDatabase::TypeName(std::initializer_list<SQLSMALLINT> types) {
  for (SQLSMALLINT type : types) {
    if (auto it = typeNames_.find(type); it != typeNames_.end()) {
      if (!it->second.empty()) return it->second;
      continue;
    }
    odbc::Statement s(connection_);
    s.Check(SQLGetTypeInfo(s.get(), type), "cannot ask the types of " + Shown());
    std::string name = s.Fetch() ? s.Text(1).value_or("") : "";
    typeNames_[type] = name;
    if (!name.empty()) return name;
  }
  throw Error(Shown() + " has no column type for these values");
}

std::string ServerDatabase::ColumnList(const TableInfo& table, std::string_view of) const {
  std::string list;
  for (const ColumnInfo& c : table.columns) {
    list += (list.empty() ? "" : ", ") + std::string(of) + Quote(c.name);
  }
  return list;
}

}  // namespace talvor::sqldb::internal
