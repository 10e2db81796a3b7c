// The ODBC side of the whole-table backend (sqldb/internal/backend.h). Everything that
// differs between servers is asked of the driver: the identifier quote (SQLGetInfo),
// the names of tables, columns and indexes (SQLTables, SQLColumns, SQLStatistics), the
// type names a server gives each kind (SQLGetTypeInfo) and the row identity that gives
// stored order (SQLSpecialColumns).
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>

#include "shell/text/text.h"
#include "sqldb/error.h"
#include "sqldb/internal/backend.h"
#include "sqldb/internal/odbc.h"

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

// A server's text of a value as the storage conventions hold it: numbers as numbers, a
// flag as 0/1, a date-time "YYYY-MM-DD[ HH:MM:SS]" (a server shows midnight as 00:00:00).
Variant CellOf(std::string text, FieldKind kind) {
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

std::string NumberText(const Variant& cell) {
  char buffer[40];
  if (cell.type() == Variant::Type::kInteger) {
    std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(cell.Integer()));
  } else {
    std::snprintf(buffer, sizeof buffer, "%.17g", cell.Float());
  }
  return buffer;
}

class OdbcBackend final : public Backend {
 public:
  explicit OdbcBackend(const std::string& connection)
      : connectionString_(connection), connection_(env_, connection) {
    quote_ = connection_.InfoText(SQL_IDENTIFIER_QUOTE_CHAR);
    if (quote_ == " ") quote_.clear();
    nativeRowid_ = EqualsIgnoringCase(connection_.InfoText(SQL_DBMS_NAME), "SQLite");
  }
  ~OdbcBackend() override {
    if (inTransaction_) {
      try {
        connection_.Rollback();
      } catch (const Error&) {
        // The connection closes next, which ends the transaction too.
      }
    }
  }

  std::string Shown() const override { return "odbc:" + HidePasswords(connectionString_); }

  std::vector<std::string> TableNames() override {
    odbc::Statement s(connection_);
    std::string type = "TABLE";
    s.Check(SQLTables(s.get(), nullptr, 0, nullptr, 0, nullptr, 0, Chars(type), SQL_NTS),
            "cannot list the tables of " + Shown());
    std::vector<std::string> names;
    while (s.Fetch()) names.push_back(s.Text(3).value_or(""));
    return names;
  }

  std::optional<TableInfo> FindTable(std::string_view name) override {
    for (const std::string& table : TableNames()) {
      if (EqualsIgnoringCase(table, name)) return Describe(table);
    }
    return std::nullopt;
  }

  std::string Quote(std::string_view name) const override {
    if (quote_.empty()) return std::string(name);
    std::string out = quote_;
    for (char c : name) {
      out += c;
      if (std::string_view(&c, 1) == quote_) out += c;
    }
    return out + quote_;
  }

  std::string TypeFor(const ColumnInfo& source) override {
    switch (source.kind) {
      case FieldKind::kInteger: return TypeName({SQL_BIGINT, SQL_INTEGER});
      case FieldKind::kBoolean: return TypeName({SQL_BIT, SQL_SMALLINT});
      case FieldKind::kFloat: return TypeName({SQL_DOUBLE, SQL_FLOAT});
      case FieldKind::kDateTime:
        return IsDateOnly(source) ? TypeName({SQL_TYPE_DATE}) : TypeName({SQL_TYPE_TIMESTAMP});
      default: return TypeName({SQL_LONGVARCHAR, SQL_VARCHAR});
    }
  }

  // The standard's identity column; a server without it refuses the CREATE TABLE, and the
  // message says so. An SQLite database reached through its driver has its own rowid.
  std::string RowidColumn() override {
    if (nativeRowid_) return "";
    return Quote(kRowIdentityColumn) + " " + TypeName({SQL_BIGINT}) +
           " GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
  }

  void RowidsTaken(const TableInfo& table, std::int64_t highest) override {
    if (nativeRowid_) return;
    Execute("ALTER TABLE " + Quote(table.name) + " ALTER COLUMN " + Quote(kRowIdentityColumn) +
            " RESTART WITH " + std::to_string(highest + 1));
  }

  void Execute(const std::string& sql) override {
    odbc::Statement s(connection_);
    s.ExecDirect(sql);
  }

  void ForEachRow(const TableInfo& table, const std::function<void(const Row&)>& each) override {
    const int first = table.hasRowid ? 1 : 0;
    std::string sql = std::string("SELECT ") +
                      (table.hasRowid ? RowidName() + ", " : "") +
                      ColumnList(table) + " FROM " + Quote(table.name);
    const std::vector<std::string> identity = RowIdentity(table);
    for (std::size_t i = 0; i < identity.size(); ++i) {
      sql += (i == 0 ? " ORDER BY " : ", ") + identity[i];
    }
    odbc::Statement s(connection_);
    s.ExecDirect(sql);
    Row row;
    row.cells.resize(table.columns.size());
    row.blobs.assign(table.columns.size(), 0);
    while (s.Fetch()) {
      if (first == 1) row.rowid = ParseInteger(s.Text(1).value_or(""));
      for (std::size_t i = 0; i < row.cells.size(); ++i) {
        std::optional<std::string> text = s.Text(static_cast<int>(i) + 1 + first);
        row.cells[i] = text ? CellOf(std::move(*text), table.columns[i].kind) : Variant();
      }
      each(row);
    }
  }

  // Rows go to the server in blocks, one INSERT with many VALUES rows each (a round trip
  // per block, not per row), prepared once for a full block. A BLOB's bytes go as text: a
  // converted agency database holds none, and a byte the server cannot hold in text is
  // refused with its block.
  class OdbcWriter final : public RowWriter {
   public:
    OdbcWriter(OdbcBackend& db, const TableInfo& table)
        : db_(db), table_(table), shown_(db.Shown()) {
      // Small blocks: a driver's cost per parameter grows with the statement (20 rows a
      // block copied a demo site to PostgreSQL in 0.6 of the time of a row a statement, 200
      // rows in 1.2 of it), and one loses its way past about ten thousand parameters.
      const std::size_t perRow = table.columns.size() + 1;
      blockRows_ = std::max<std::size_t>(1, std::min<std::size_t>(20, 600 / perRow));
    }

    void Insert(const Row& row) override {
      const bool withRowid = table_.hasRowid && row.rowid.has_value();
      if (!pending_.empty() && withRowid != pendingWithRowid_) Flush();
      pendingWithRowid_ = withRowid;
      pending_.push_back(row);
      if (pending_.size() == blockRows_) Flush();
    }
    void Finish() override { Flush(); }

   private:
    std::shared_ptr<odbc::Statement> Prepared(std::size_t rows, bool withRowid) {
      auto& cached = withRowid ? fullWithRowid_ : fullPlain_;
      if (rows == blockRows_ && cached) return cached;
      const std::size_t perRow = table_.columns.size() + (withRowid ? 1 : 0);
      std::string sql = "INSERT INTO " + db_.Quote(table_.name) + " (" +
                        (withRowid ? db_.RowidName() + ", " : "") + db_.ColumnList(table_) +
                        ") VALUES ";
      std::string one = "(";
      for (std::size_t i = 0; i < perRow; ++i) one += i == 0 ? "?" : ", ?";
      one += ")";
      for (std::size_t r = 0; r < rows; ++r) sql += (r == 0 ? "" : ", ") + one;
      auto s = std::make_shared<odbc::Statement>(db_.connection_);
      s->Prepare(sql);
      if (rows == blockRows_) cached = s;
      return s;
    }

    void Flush() {
      if (pending_.empty()) return;
      const auto s = Prepared(pending_.size(), pendingWithRowid_);
      int at = 1;
      for (const Row& row : pending_) {
        if (pendingWithRowid_) s->BindInteger(at++, *row.rowid);
        for (std::size_t i = 0; i < row.cells.size(); ++i, ++at) {
          const SQLSMALLINT type = static_cast<SQLSMALLINT>(table_.columns[i].sqlType);
          const Variant& cell = row.cells[i];
          switch (cell.type()) {
            case Variant::Type::kNull: s->BindNull(at, type); break;
            case Variant::Type::kBoolean: s->BindText(at, cell.Boolean() ? "1" : "0", type); break;
            case Variant::Type::kInteger:
            case Variant::Type::kFloat: s->BindText(at, NumberText(cell), type); break;
            case Variant::Type::kDateTime:
              s->BindText(at, StoredDateTime(cell.DateTimeValue()), type);
              break;
            case Variant::Type::kText: s->BindText(at, cell.Text(), type); break;
          }
        }
      }
      const std::int64_t from = sent_ + 1;
      sent_ += static_cast<std::int64_t>(pending_.size());
      pending_.clear();
      try {
        s->Execute();
      } catch (const Error& e) {
        s->Reset();
        throw Error("table \"" + table_.name + "\" of " + shown_ + ": " +
                    (from == sent_ ? "row " + std::to_string(from) + " is"
                                   : "a row of rows " + std::to_string(from) + " to " +
                                         std::to_string(sent_) + " is") +
                    " refused: " + e.what());
      }
      s->Reset();
    }

    OdbcBackend& db_;
    TableInfo table_;
    std::string shown_;
    std::size_t blockRows_ = 1;
    std::vector<Row> pending_;
    bool pendingWithRowid_ = false;
    std::shared_ptr<odbc::Statement> fullPlain_, fullWithRowid_;
    std::int64_t sent_ = 0;
  };

  std::unique_ptr<RowWriter> Inserter(const TableInfo& table) override {
    return std::make_unique<OdbcWriter>(*this, table);
  }

  void Begin() override {
    connection_.SetAutocommit(false);
    inTransaction_ = true;
  }
  void Commit() override {
    connection_.Commit();
    inTransaction_ = false;
    connection_.SetAutocommit(true);
  }
  void Rollback() override {
    inTransaction_ = false;
    connection_.Rollback();
    connection_.SetAutocommit(true);
  }

 private:
  // The rowid as a query names it.
  std::string RowidName() const { return nativeRowid_ ? "rowid" : Quote(kRowIdentityColumn); }

  TableInfo Describe(const std::string& table) {
    TableInfo info;
    info.name = table;
    info.hasRowid = nativeRowid_;
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
    }
    for (const std::string& name : order) {
      IndexInfo& index = byName[name];
      // The rowid's own key comes with the rowid column.
      if (index.columns.size() == 1 && EqualsIgnoringCase(index.columns[0], kRowIdentityColumn)) {
        continue;
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
  std::vector<std::string> RowIdentity(const TableInfo& table) {
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
  std::string TypeName(std::initializer_list<SQLSMALLINT> types) {
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

  std::string ColumnList(const TableInfo& table) const {
    std::string list;
    for (const ColumnInfo& c : table.columns) list += (list.empty() ? "" : ", ") + Quote(c.name);
    return list;
  }

  std::string connectionString_;
  odbc::Environment env_;
  odbc::Connection connection_;
  std::string quote_;
  std::map<SQLSMALLINT, std::string> typeNames_;
  // The one server difference the driver cannot be asked about: whether tables have a rowid
  // of their own (SQLite) or get kRowIdentityColumn.
  bool nativeRowid_ = false;
  bool inTransaction_ = false;
};

}  // namespace

std::unique_ptr<Backend> OpenBackend(const DatabaseTarget& target, bool create) {
  if (target.IsOdbc()) return std::make_unique<OdbcBackend>(target.connection);
  return OpenSqliteBackend(target.file, create);
}

}  // namespace talvor::sqldb::internal
