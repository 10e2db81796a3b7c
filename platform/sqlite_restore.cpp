#include "platform/sqlite_restore.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

#include "platform/sqlite_capture.h"

namespace talvor::sqlite {

namespace {

std::string Quote(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

int BindCell(sqlite3_stmt* stmt, int index, const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::kNull:
      return sqlite3_bind_null(stmt, index);
    case Cell::Kind::kInteger:
      return sqlite3_bind_int64(stmt, index, std::strtoll(cell.value.c_str(), nullptr, 10));
    case Cell::Kind::kFloat:
      return sqlite3_bind_double(stmt, index, std::strtod(cell.value.c_str(), nullptr));
    case Cell::Kind::kText:
      return sqlite3_bind_text64(stmt, index, cell.value.data(), cell.value.size(),
                                 SQLITE_TRANSIENT, SQLITE_UTF8);
    case Cell::Kind::kBlob:
      if (cell.value.empty()) return sqlite3_bind_zeroblob(stmt, index, 0);
      return sqlite3_bind_blob64(stmt, index, cell.value.data(), cell.value.size(),
                                 SQLITE_TRANSIENT);
  }
  return SQLITE_MISUSE;
}

Cell StoredCell(sqlite3_stmt* stmt, int column) {
  CellView view;
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
      break;
    case SQLITE_INTEGER:
      view = CellView{Cell::Kind::kInteger, sqlite3_column_int64(stmt, column), 0, {}};
      break;
    case SQLITE_FLOAT:
      view = CellView{Cell::Kind::kFloat, 0, sqlite3_column_double(stmt, column), {}};
      break;
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
      view = CellView{Cell::Kind::kText, 0, 0,
                      {text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))}};
      break;
    }
    default: {
      const auto* blob = static_cast<const char*>(sqlite3_column_blob(stmt, column));
      view = CellView{Cell::Kind::kBlob, 0, 0,
                      {blob ? blob : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))}};
      break;
    }
  }
  return CellOf(view);
}

class SqliteRowStore final : public RowStore {
 public:
  explicit SqliteRowStore(Database db) : db_(std::move(db)) {}
  ~SqliteRowStore() override {
    Rollback();
    capture_.reset();
  }

  bool Start(StoreKind kind, const std::string& path, ChangeSink* sink, std::string* error) {
    sqlite3_busy_timeout(db_.get(), 5000);
    if (sink != nullptr) {
      capture_ = std::make_unique<Capture>(db_.get(), *sink, sink->OnStore(kind, path), kind,
                                           CaptureMode::kRecord);
    }
    if (db_.Exec("BEGIN IMMEDIATE", error) != SQLITE_OK) return false;
    open_ = true;
    return true;
  }

  const Shape& Describe(const std::string& table) override {
    auto [it, added] = shapes_.try_emplace(table);
    if (!added) return it->second;
    Shape& shape = it->second;
    Statement columns(db_.get(), "SELECT name, pk FROM pragma_table_info(?1)");
    std::vector<std::pair<int, int>> keyed;
    if (columns) {
      sqlite3_bind_text(columns.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(columns.get()) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(columns.get(), 0));
        if (int pk = sqlite3_column_int(columns.get(), 1); pk > 0) {
          keyed.emplace_back(pk, static_cast<int>(shape.columns.size()));
        }
        shape.columns.emplace_back(name ? name : "");
      }
    }
    shape.exists = !shape.columns.empty();
    Statement list(db_.get(),
                   "SELECT wr FROM pragma_table_list WHERE schema = 'main' AND name = ?1");
    bool withoutRowid = false;
    if (list) {
      sqlite3_bind_text(list.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_step(list.get()) == SQLITE_ROW) withoutRowid = sqlite3_column_int(list.get(), 0) != 0;
    }
    if (withoutRowid) {
      std::sort(keyed.begin(), keyed.end());
      for (auto [order, index] : keyed) shape.key.push_back(index);
    }
    return shape;
  }

  // The stored value compared with the image's value the way SQLite compares a stored
  // value with one given to it: the column's affinity applied to the given value, text and
  // blobs byte for byte (COLLATE BINARY, whatever the column's own collation).
  bool Look(const std::string& table, std::int64_t rowid, const Row& image, Probe* out,
            std::string* error) override {
    const Shape& shape = Describe(table);
    const int n = static_cast<int>(shape.columns.size());
    std::string sql = "SELECT ";
    for (int i = 0; i < n; ++i) {
      sql += (i ? ", " : "") + Quote(shape.columns[i]) + " IS ?" + std::to_string(i + 1) +
             " COLLATE BINARY";
    }
    for (int i = 0; i < n; ++i) sql += ", " + Quote(shape.columns[i]);
    sql += " FROM " + Quote(table) + " WHERE " + Where(shape, n + 1);
    Statement stmt(db_.get(), sql);
    int rc = stmt ? SQLITE_OK : stmt.prepare_rc();
    for (int i = 0; rc == SQLITE_OK && i < n; ++i) {
      rc = BindCell(stmt.get(), i + 1, image[static_cast<std::size_t>(i)]);
    }
    if (rc == SQLITE_OK) rc = BindKey(stmt.get(), shape, n + 1, rowid, image);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt.get());
    *out = Probe{};
    if (rc == SQLITE_ROW) {
      out->found = true;
      for (int i = 0; i < n; ++i) {
        out->same.push_back(sqlite3_column_int(stmt.get(), i) != 0 ? 1 : 0);
        out->current.push_back(StoredCell(stmt.get(), n + i));
      }
      rc = SQLITE_DONE;
    }
    if (rc != SQLITE_DONE) return Fail(table + ": " + db_.Message(), error);
    return true;
  }

  bool Remove(const std::string& table, std::int64_t rowid, const Row& image,
              std::string* error) override {
    const Shape& shape = Describe(table);
    return Run("DELETE FROM " + Quote(table) + " WHERE " + Where(shape, 1), shape, rowid, image,
               {}, false, 0, error);
  }

  bool Add(const std::string& table, std::int64_t rowid, const Row& image,
           std::string* error) override {
    const Shape& shape = Describe(table);
    std::string sql = "INSERT INTO " + Quote(table) + "(";
    std::string values;
    int n = 1;
    if (shape.ByRowid()) {
      sql += "rowid, ";
      values += "?1, ";
      n = 2;
    }
    for (std::size_t i = 0; i < shape.columns.size(); ++i) {
      sql += (i ? ", " : "") + Quote(shape.columns[i]);
      values += (i ? ", ?" : "?") + std::to_string(n + i);
    }
    sql += ") VALUES(" + values + ")";
    return Run(sql, shape, 0, {}, image, shape.ByRowid(), rowid, error);
  }

  bool Replace(const std::string& table, std::int64_t atRowid, const Row& atImage,
               std::int64_t rowid, const Row& image, std::string* error) override {
    const Shape& shape = Describe(table);
    std::string sql = "UPDATE " + Quote(table) + " SET ";
    int n = 1;
    if (shape.ByRowid()) sql += "rowid = ?" + std::to_string(n++) + ", ";
    for (std::size_t i = 0; i < shape.columns.size(); ++i) {
      sql += (i ? ", " : "") + Quote(shape.columns[i]) + " = ?" + std::to_string(n++);
    }
    sql += " WHERE " + Where(shape, n);
    return Run(sql, shape, atRowid, atImage, image, shape.ByRowid(), rowid, error);
  }

  bool Commit(std::string* error) override {
    if (!open_) return true;
    if (db_.Exec("COMMIT", error) != SQLITE_OK) return false;
    open_ = false;
    return true;
  }

  void Rollback() override {
    if (open_ && sqlite3_get_autocommit(db_.get()) == 0) db_.Exec("ROLLBACK");
    open_ = false;
  }

 private:
  static bool Fail(const std::string& what, std::string* error) {
    *error = what;
    return false;
  }

  // "rowid = ?N" or the primary key's columns, parameters from `first` on.
  static std::string Where(const Shape& shape, int first) {
    if (shape.ByRowid()) return "rowid = ?" + std::to_string(first);
    std::string where;
    for (std::size_t i = 0; i < shape.key.size(); ++i) {
      if (i > 0) where += " AND ";
      where += Quote(shape.columns[shape.key[i]]) + " = ?" + std::to_string(first + i);
    }
    return where;
  }

  static int BindKey(sqlite3_stmt* stmt, const Shape& shape, int first, std::int64_t rowid,
                     const Row& row) {
    if (shape.ByRowid()) return sqlite3_bind_int64(stmt, first, rowid);
    for (std::size_t i = 0; i < shape.key.size(); ++i) {
      if (int rc = BindCell(stmt, first + static_cast<int>(i), row[shape.key[i]]);
          rc != SQLITE_OK) {
        return rc;
      }
    }
    return SQLITE_OK;
  }

  // Runs `sql` with `rowidFirst` (when bindRowidFirst), `values` bound from there on, and
  // the key of `keyRow` / `rowid` after them.
  bool Run(const std::string& sql, const Shape& shape, std::int64_t rowid, const Row& keyRow,
           const Row& values, bool bindRowidFirst, std::int64_t rowidFirst, std::string* error) {
    Statement stmt(db_.get(), sql);
    int rc = stmt ? SQLITE_OK : stmt.prepare_rc();
    int next = 1;
    if (rc == SQLITE_OK && bindRowidFirst) rc = sqlite3_bind_int64(stmt.get(), next++, rowidFirst);
    for (std::size_t i = 0; rc == SQLITE_OK && i < values.size(); ++i) {
      rc = BindCell(stmt.get(), next++, values[i]);
    }
    if (rc == SQLITE_OK && !keyRow.empty()) rc = BindKey(stmt.get(), shape, next, rowid, keyRow);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt.get());
    if (capture_) capture_->StatementEnded(rc == SQLITE_DONE);
    if (rc != SQLITE_DONE) return Fail(sql + ": " + db_.Message(), error);
    return true;
  }

  Database db_;
  std::unique_ptr<Capture> capture_;
  std::map<std::string, Shape> shapes_;
  bool open_ = false;
};

}  // namespace

std::unique_ptr<RowStore> OpenRowStore(Database db, StoreKind kind, const std::string& path,
                                       ChangeSink* sink, std::string* error) {
  auto store = std::make_unique<SqliteRowStore>(std::move(db));
  if (!store->Start(kind, path, sink, error)) return nullptr;
  return store;
}

}  // namespace talvor::sqlite
