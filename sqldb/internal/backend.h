// Private to sqldb: a database of either backend (an SQLite file, or a server reached
// through ODBC) seen as whole tables, for the commands that copy, check and create agency
// databases. What differs between backends and between servers (identifier quoting, how
// names fold, column types, the row identity that gives stored order) is answered here,
// by asking SQLite or the driver, and nowhere above.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sqldb/catalog.h"
#include "sqldb/database.h"
#include "sqldb/internal/fields.h"
#include "sqldb/variant.h"

namespace talvor::sqldb::internal {

struct ColumnInfo {
  std::string name;      // as the database spells it
  std::string typeName;  // as declared (SQLite) or as the driver names it
  FieldKind kind = FieldKind::kAny;
  // For a server: the column's ODBC SQL type (SQL_VARCHAR ...), used to bind values.
  int sqlType = 0;
};

struct IndexInfo {
  std::string name;
  std::vector<std::string> columns;  // in key order
  std::vector<char> descending;      // per column: 1 when the index orders it descending
  bool unique = false;
};

// On a server, the column that stands in for SQLite's rowid in the tables this layer
// creates there (db copy, db init): an integer identity, the table's primary key, which
// keeps each row's rowid through a copy and gives stored order. Not one of the columns.
inline constexpr std::string_view kRowIdentityColumn = "talvor_rowid";

struct TableInfo {
  std::string name;  // as the database spells it
  std::vector<ColumnInfo> columns;
  std::vector<IndexInfo> indexes;  // not the identity's own
  // The table has the rowid column (SQLite's own, or kRowIdentityColumn on a server).
  bool hasRowid = false;
  // A server's description: its number among the descriptions its connection read (from
  // 1), which a copy keeps, so that what is made of a description can be kept by it.
  std::uint64_t described = 0;
};

// True for a date column whose type holds no time of day ("DATE", not "DATETIME").
bool IsDateOnly(const ColumnInfo& column);

class Backend {
 public:
  virtual ~Backend() = default;

  // The database as it may be shown (a password hidden).
  virtual std::string Shown() const = 0;
  // Every table of the database that is not the engine's own, as spelled there.
  virtual std::vector<std::string> TableNames() = 0;
  // The table of that name without regard to case, or nullopt.
  virtual std::optional<TableInfo> FindTable(std::string_view name) = 0;
  // `name` quoted as an identifier of this database.
  virtual std::string Quote(std::string_view name) const = 0;
  // The type that a copy of the column `source` (of any database) is created with here:
  // the storage conventions' type of its kind, a date kept apart from a date-time.
  virtual std::string TypeFor(const ColumnInfo& source) = 0;
  // What CREATE TABLE adds to the columns so that the table has a rowid: "" for SQLite,
  // the definition of kRowIdentityColumn on a server.
  virtual std::string RowidColumn() = 0;
  // After rows were inserted with their rowids: the next row inserted gets a rowid above
  // `highest`.
  virtual void RowidsTaken(const TableInfo& table, std::int64_t highest) = 0;
  // Runs a statement that returns no rows. Throws Error naming it and the database.
  virtual void Execute(const std::string& sql) = 0;
  // Every row of `table` in stored order: its cells in column order (null, integer, float
  // or text), and per cell whether the text is a BLOB's bytes.
  struct Row {
    std::vector<Variant> cells;
    std::vector<char> blobs;
    std::optional<std::int64_t> rowid;  // when the table has one
  };
  virtual void ForEachRow(const TableInfo& table, const std::function<void(const Row&)>& each) = 0;
  // Inserts rows into one table: every column, in column order, and the row's rowid when
  // it has one and the table too. Rows may be sent in blocks: Insert or Finish throws Error
  // naming the table and the rows when the database refuses one.
  class RowWriter {
   public:
    virtual ~RowWriter() = default;
    virtual void Insert(const Row& row) = 0;
    // Sends what Insert kept back. REQUIRES: called once, after the last Insert.
    virtual void Finish() = 0;
  };
  virtual std::unique_ptr<RowWriter> Inserter(const TableInfo& table) = 0;
  // One transaction around what follows: committed by Commit, rolled back by Rollback or
  // by destroying the backend without a Commit.
  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
};

// The database `target` stands for. With `create`, an SQLite file that does not exist yet
// is created (its folder must exist); without, a missing file is an Error naming it.
// A server is connected to at once; an Error names it (password hidden) and the driver's
// reason when it does not answer.
std::unique_ptr<Backend> OpenBackend(const DatabaseTarget& target, bool create);
// The SQLite file `file` as OpenBackend opens it.
std::unique_ptr<Backend> OpenSqliteBackend(const std::filesystem::path& file, bool create);

}  // namespace talvor::sqldb::internal
