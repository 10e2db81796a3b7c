// The SQLite side of the whole-table backend (sqldb/internal/backend.h).
#include <sqlite3.h>

#include <charconv>
#include <system_error>

#include "platform/sqlite.h"
#include "shell/text/text.h"
#include "sqldb/error.h"
#include "sqldb/internal/backend.h"
#include "sqldb/internal/connection.h"

namespace talvor::sqldb::internal {

namespace {
namespace fs = std::filesystem;

template <typename T>
std::optional<T> ParseNumber(const std::string& text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [at, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || at != end || text.empty()) return std::nullopt;
  return value;
}

std::string ColumnText(sqlite3_stmt* s, int i) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
  return text == nullptr ? std::string()
                         : std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(s, i)));
}

class SqliteBackend final : public Backend {
 public:
  SqliteBackend(sqlite::Database db, fs::path file) : db_(std::move(db)), file_(std::move(file)) {}
  ~SqliteBackend() override {
    if (inTransaction_) db_.Exec("ROLLBACK");
  }

  std::string Shown() const override { return file_.string(); }

  std::vector<std::string> TableNames() override {
    std::vector<std::string> names;
    Query("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
          "ESCAPE '\\' ORDER BY rowid",
          [&](sqlite3_stmt* s) { names.push_back(ColumnText(s, 0)); });
    return names;
  }

  std::optional<TableInfo> FindTable(std::string_view name) override {
    for (const std::string& table : TableNames()) {
      if (!EqualsIgnoringCase(table, name)) continue;
      TableInfo info;
      info.name = table;
      info.hasRowid = static_cast<bool>(
          sqlite::Statement(db_.get(), "SELECT rowid FROM " + Quote(table) + " LIMIT 0"));
      Query("SELECT name, type FROM pragma_table_info(" + Literal(table) + ") ORDER BY cid",
            [&](sqlite3_stmt* s) {
              ColumnInfo c;
              c.name = ColumnText(s, 0);
              c.typeName = ColumnText(s, 1);
              c.kind = KindOfDeclaredType(c.typeName);
              info.columns.push_back(std::move(c));
            });
      Query("SELECT name, \"unique\" FROM pragma_index_list(" + Literal(table) +
                ") WHERE origin = 'c' ORDER BY seq DESC",
            [&](sqlite3_stmt* s) {
              IndexInfo index;
              index.name = ColumnText(s, 0);
              index.unique = sqlite3_column_int(s, 1) != 0;
              info.indexes.push_back(std::move(index));
            });
      for (IndexInfo& index : info.indexes) {
        Query("SELECT name, desc FROM pragma_index_xinfo(" + Literal(index.name) +
                  ") WHERE key = 1 ORDER BY seqno",
              [&](sqlite3_stmt* s) {
                index.columns.push_back(ColumnText(s, 0));
                index.descending.push_back(sqlite3_column_int(s, 1) != 0 ? 1 : 0);
              });
      }
      return info;
    }
    return std::nullopt;
  }

  std::string Quote(std::string_view name) const override { return QuoteName(name); }

  std::string TypeFor(const ColumnInfo& source) override {
    switch (source.kind) {
      case FieldKind::kText: return "TEXT";
      case FieldKind::kInteger: return "INTEGER";
      case FieldKind::kBoolean: return "BOOLEAN";
      case FieldKind::kFloat: return "REAL";
      case FieldKind::kDateTime: return IsDateOnly(source) ? "DATE" : "DATETIME";
      case FieldKind::kAny: break;
    }
    return "";
  }

  std::string RowidColumn() override { return ""; }
  void RowidsTaken(const TableInfo&, std::int64_t) override {}

  void Execute(const std::string& sql) override {
    std::string message;
    if (db_.Exec(sql, &message) != SQLITE_OK) Fail(sql, message);
  }

  void ForEachRow(const TableInfo& table, const std::function<void(const Row&)>& each) override {
    Row row;
    row.cells.resize(table.columns.size());
    row.blobs.resize(table.columns.size());
    const int first = table.hasRowid ? 1 : 0;
    Query(std::string("SELECT ") + (table.hasRowid ? "rowid, " : "") + ColumnList(table) +
              " FROM " + Quote(table.name) + (table.hasRowid ? " ORDER BY rowid" : ""),
          [&](sqlite3_stmt* s) {
            if (table.hasRowid) row.rowid = sqlite3_column_int64(s, 0);
            for (std::size_t i = 0; i < row.cells.size(); ++i) {
              const int at = static_cast<int>(i) + first;
              const int type = sqlite3_column_type(s, at);
              row.blobs[i] = type == SQLITE_BLOB ? 1 : 0;
              switch (type) {
                case SQLITE_NULL: row.cells[i] = Variant(); break;
                case SQLITE_INTEGER: row.cells[i] = Variant(sqlite3_column_int64(s, at)); break;
                case SQLITE_FLOAT: row.cells[i] = Variant(sqlite3_column_double(s, at)); break;
                case SQLITE_BLOB: {
                  const auto* bytes = static_cast<const char*>(sqlite3_column_blob(s, at));
                  row.cells[i] = Variant(std::string(
                      bytes, bytes + static_cast<std::size_t>(sqlite3_column_bytes(s, at))));
                  break;
                }
                default: row.cells[i] = Variant(ColumnText(s, at)); break;
              }
            }
            each(row);
          });
  }

  // One prepared INSERT, stepped once a row: SQLite has no round trip to save.
  class SqliteWriter final : public RowWriter {
   public:
    SqliteWriter(SqliteBackend& db, const TableInfo& table) : db_(db), name_(table.name) {
      first_ = table.hasRowid ? 1 : 0;
      // A row without a rowid binds NULL to it, which SQLite takes as "the next one".
      std::string sql = "INSERT INTO " + db.Quote(table.name) + " (" +
                        (table.hasRowid ? "rowid, " : "") + db.ColumnList(table) + ") VALUES (";
      for (std::size_t i = 0; i < table.columns.size() + first_; ++i) sql += i == 0 ? "?" : ", ?";
      sql += ")";
      statement_ = sqlite::Statement(db.db_.get(), sql, true);
      if (!statement_) db.Fail(sql, db.db_.Message());
      for (const ColumnInfo& c : table.columns) kinds_.push_back(c.kind);
    }

    void Insert(const Row& row) override {
      sqlite3_stmt* s = statement_.get();
      if (first_ == 1) {
        if (row.rowid) {
          sqlite3_bind_int64(s, 1, *row.rowid);
        } else {
          sqlite3_bind_null(s, 1);
        }
      }
      for (std::size_t i = 0; i < row.cells.size(); ++i) {
        const int at = static_cast<int>(i + 1 + first_);
        if (i < row.blobs.size() && row.blobs[i]) {
          const std::string& bytes = row.cells[i].Text();
          sqlite3_bind_blob(s, at, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        } else {
          Bind(s, at, row.cells[i], kinds_[i]);
        }
      }
      const int rc = sqlite3_step(s);
      sqlite3_reset(s);
      sqlite3_clear_bindings(s);
      ++rows_;
      if (rc != SQLITE_DONE) {
        throw Error("table \"" + name_ + "\" of database \"" + db_.Shown() + "\": row " +
                    std::to_string(rows_) + " is refused: " + db_.db_.Message());
      }
    }
    void Finish() override {}

   private:
    SqliteBackend& db_;
    std::string name_;
    std::size_t first_ = 0;
    sqlite::Statement statement_;
    std::vector<FieldKind> kinds_;
    std::int64_t rows_ = 0;
  };

  std::unique_ptr<RowWriter> Inserter(const TableInfo& table) override {
    return std::make_unique<SqliteWriter>(*this, table);
  }

  void Begin() override {
    Execute("BEGIN");
    inTransaction_ = true;
  }
  void Commit() override {
    Execute("COMMIT");
    inTransaction_ = false;
  }
  void Rollback() override {
    inTransaction_ = false;
    db_.Exec("ROLLBACK");
  }

 private:
  // A cell from another database: a server hands every value over as text, which goes in
  // as the value of the column's kind (the number 5, not the text "5").
  static void Bind(sqlite3_stmt* s, int at, const Variant& cell, FieldKind kind) {
    switch (cell.type()) {
      case Variant::Type::kNull: sqlite3_bind_null(s, at); return;
      case Variant::Type::kInteger: sqlite3_bind_int64(s, at, cell.Integer()); return;
      case Variant::Type::kFloat: sqlite3_bind_double(s, at, cell.Float()); return;
      case Variant::Type::kBoolean: sqlite3_bind_int(s, at, cell.Boolean() ? 1 : 0); return;
      case Variant::Type::kDateTime: {
        const std::string text = StoredDateTime(cell.DateTimeValue());
        sqlite3_bind_text(s, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return;
      }
      case Variant::Type::kText: break;
    }
    const std::string& text = cell.Text();
    if (kind == FieldKind::kInteger || kind == FieldKind::kBoolean) {
      if (auto n = ParseNumber<std::int64_t>(text)) {
        sqlite3_bind_int64(s, at, *n);
        return;
      }
    } else if (kind == FieldKind::kFloat) {
      if (auto x = ParseNumber<double>(text)) {
        sqlite3_bind_double(s, at, *x);
        return;
      }
    }
    sqlite3_bind_text(s, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }

  static std::string Literal(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
      out += c;
      if (c == '\'') out += '\'';
    }
    return out + "'";
  }

  std::string ColumnList(const TableInfo& table) const {
    std::string list;
    for (const ColumnInfo& c : table.columns) list += (list.empty() ? "" : ", ") + Quote(c.name);
    return list;
  }

  void Query(const std::string& sql, const std::function<void(sqlite3_stmt*)>& each) {
    sqlite::Statement s(db_.get(), sql);
    if (!s) Fail(sql, db_.Message());
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) each(s.get());
    if (rc != SQLITE_DONE) Fail(sql, db_.Message());
  }

  [[noreturn]] void Fail(const std::string& sql, const std::string& message) const {
    throw Error("database \"" + Shown() + "\": " + message + " (" + sql + ")");
  }

  sqlite::Database db_;
  fs::path file_;
  bool inTransaction_ = false;
};

}  // namespace

bool IsDateOnly(const ColumnInfo& column) {
  const std::string upper = UpperCase(column.typeName);
  return column.kind == FieldKind::kDateTime && upper.find("DATE") != std::string::npos &&
         upper.find("TIME") == std::string::npos;
}

std::unique_ptr<Backend> OpenSqliteBackend(const fs::path& file, bool create) {
  std::error_code ec;
  const bool exists = fs::exists(file, ec);
  if (!exists && !create) throw Error("database \"" + file.string() + "\": the file does not exist");
  if (!exists && !file.parent_path().empty() && !fs::is_directory(file.parent_path(), ec)) {
    throw Error("database \"" + file.string() + "\": the folder \"" + file.parent_path().string() +
                "\" does not exist");
  }
  std::string message;
  sqlite::Database db = sqlite::Database::Open(
      file, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0), &message);
  if (!db) throw Error("database \"" + file.string() + "\": " + message);
  sqlite3_busy_timeout(db.get(), 5000);
  if (db.Exec("SELECT count(*) FROM sqlite_master", &message) != SQLITE_OK) {
    throw Error("database \"" + file.string() + "\": " + message);
  }
  return std::make_unique<SqliteBackend>(std::move(db), file);
}

}  // namespace talvor::sqldb::internal
