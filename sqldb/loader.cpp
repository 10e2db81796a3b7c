#include "sqldb/loader.h"

#include <sqlite3.h>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sqlite.h"
#include "sqldb/database.h"
#include "sqldb/error.h"
#include "sqldb/internal/connection.h"
#include "sqldb/internal/fields.h"
#include "sqldb/stats.h"

namespace talvor::sqldb {
namespace fs = std::filesystem;

namespace {

// An INSERT prepared for one table and one list of column names, as the caller spelled them.
struct Prepared {
  std::string table;
  std::vector<std::string> columns;
  internal::Statement statement;

  bool Matches(std::string_view t, std::span<const ColumnValue> row) const {
    if (table != t || columns.size() != row.size()) return false;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (columns[i] != row[i].column) return false;
    }
    return true;
  }
};

// A load inserts millions of rows through a handful of column lists: finding a row's
// statement must not build a key string for every row.
std::size_t HashOf(std::string_view table, std::span<const ColumnValue> row) {
  const std::hash<std::string_view> hash;
  std::size_t h = hash(table);
  for (const ColumnValue& c : row) h ^= hash(c.column) + 0x9E3779B9u + (h << 6) + (h >> 2);
  return h;
}

}  // namespace

struct RowLoader::Impl {
  enum class State { kOpening, kLoading, kCommitted, kRolledBack };

  std::string where;  // the database, as errors name it
  fs::path file;
  sqlite::Database db;
  std::unordered_multimap<std::size_t, Prepared> statements;
  std::int64_t rows = 0;
  State state = State::kOpening;

  ~Impl() {
    if (state == State::kLoading) RollBack();
  }

  std::string TableWhere(std::string_view table) const {
    return "table \"" + std::string(table) + "\" in " + where;
  }

  void RollBack() {
    statements.clear();
    // Some failures (a full disk, no memory) have already ended the transaction.
    if (!sqlite3_get_autocommit(db.get())) db.Exec("ROLLBACK");
    db.Close();
    rows = 0;
    state = State::kRolledBack;
  }

  // Rolls the whole load back, so that a caller who catches the error cannot commit the
  // rows before the failing one.
  [[noreturn]] void Abandon(const std::string& what) {
    RollBack();
    throw Error(what + "; the load was rolled back, nothing of it was written");
  }

  void RequireLoading(const std::string& what) const {
    if (state == State::kCommitted) throw Error(what + ": the load was already committed");
    if (state != State::kLoading) throw Error(what + ": the load was rolled back after a failure");
  }

  Prepared& StatementFor(std::string_view table, std::span<const ColumnValue> row) {
    const std::size_t hash = HashOf(table, row);
    auto [it, end] = statements.equal_range(hash);
    for (; it != end; ++it) {
      if (it->second.Matches(table, row)) return it->second;
    }
    Prepared p{std::string(table), {}, {}};
    std::string sql = "INSERT INTO " + internal::QuoteName(table);
    if (row.empty()) {
      sql += " DEFAULT VALUES";
    } else {
      std::string marks;
      for (std::size_t i = 0; i < row.size(); ++i) {
        sql += i ? ", " : " (";
        sql += internal::QuoteName(row[i].column);
        marks += i ? ", ?" : "?";
        p.columns.emplace_back(row[i].column);
      }
      sql += ") VALUES (" + marks + ")";
    }
    std::string error;
    p.statement = internal::Statement::Prepare(db.get(), sql, error);
    if (!p.statement) Abandon(TableWhere(table) + ": " + error);
    return statements.emplace(hash, std::move(p))->second;
  }
};

RowLoader::RowLoader(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RowLoader::~RowLoader() = default;
RowLoader::RowLoader(RowLoader&&) noexcept = default;
RowLoader& RowLoader::operator=(RowLoader&&) noexcept = default;

namespace {

std::unique_ptr<RowLoader::Impl> OpenLoad(std::string_view name, const fs::path& resolved) {
  auto impl = std::make_unique<RowLoader::Impl>();
  impl->where = internal::DescribeDatabase(name, resolved);
  impl->file = internal::ExistingDatabaseFile(name, resolved);
  impl->db = internal::OpenDatabaseFile(name, resolved, impl->file);
  // IMMEDIATE takes the write lock now: a database that someone else is writing to is
  // refused here, not at some row in the middle of the load.
  std::string error;
  if (impl->db.Exec("BEGIN IMMEDIATE", &error) != SQLITE_OK) {
    throw Error(impl->where + ": cannot start the load: " + error);
  }
  impl->state = RowLoader::Impl::State::kLoading;
  return impl;
}

}  // namespace

RowLoader RowLoader::ForDatabase(std::string_view name) {
  return RowLoader(OpenLoad(name, ResolveDatabaseName(name)));
}

RowLoader RowLoader::ForFile(const fs::path& file) {
  return RowLoader(OpenLoad(file.string(), file));
}

void RowLoader::Insert(std::string_view table, std::span<const ColumnValue> row) {
  Impl& m = *impl_;
  if (m.state != Impl::State::kLoading) m.RequireLoading(m.TableWhere(table));
  internal::Statement& s = m.StatementFor(table, row).statement;
  for (std::size_t i = 0; i < row.size(); ++i) s.Bind(static_cast<int>(i) + 1, row[i].value);
  // Every parameter is bound anew for each row, so a reset alone readies the statement.
  if (s.Step() != SQLITE_DONE) {
    const std::string error = m.db.Message();
    sqlite3_reset(s.get());
    m.Abandon(m.TableWhere(table) + ": " + error);
  }
  sqlite3_reset(s.get());
  ++m.rows;
  stats_internal::AddWritten(1);
}

void RowLoader::Commit() {
  Impl& m = *impl_;
  m.RequireLoading(m.where);
  m.statements.clear();
  std::string error;
  if (m.db.Exec("COMMIT", &error) != SQLITE_OK) m.Abandon(m.where + ": commit failed: " + error);
  m.db.Close();
  m.state = Impl::State::kCommitted;
}

std::int64_t RowLoader::Rows() const {
  return impl_->rows;
}

const fs::path& RowLoader::File() const {
  return impl_->file;
}

}  // namespace talvor::sqldb
