// RowLoader: adds many rows to the tables of one agency database, all of them or none.
//
//   RowLoader load = RowLoader::ForFile(site / "AGYFORMS.db");
//   load.Insert("Customer", {{"AgyCode", "01"}, {"Number", " 1000"}, {"CustType", 2}});
//   ...
//   load.Commit();
//
// For tools that fill or copy a database outside a routine's run: the demo site generator
// and database copies. Routines use Table and Query.
//
// Atomic: every row a loader inserts belongs to one transaction, which Commit() ends. Until
// then nobody else sees any of them; a loader destroyed without Commit(), or one whose
// insert or commit failed, leaves the database as it was before the loader opened.
//
// The loader has a connection of its own, not the one the components share, so the
// components never find themselves inside its open transaction: they keep reading the
// database as it was last committed. While a loader is open, a component (or another
// program) that writes to the same database waits for it and fails after a few seconds.
// The connection is not handed to the connection observer, so a run journal does not
// record a load and cannot undo it.
//
// Values are stored as given, without the conversions of an assignment (an empty text
// stays an empty text in any column; the database's own column affinity still applies):
// null, integers, floats and texts as they are, booleans as 0/1, date-times as the layer
// stores them ("YYYY-MM-DD" at midnight, else "YYYY-MM-DD HH:MM:SS").
//
// Every failure raises sqldb::Error naming the database (and the table, for an insert).
// Not thread-safe: a loader belongs to the thread that created it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>

#include "sqldb/variant.h"

namespace talvor::sqldb {

// One column of a row to insert and its value.
struct ColumnValue {
  std::string_view column;
  Variant value;
};

class RowLoader {
 public:
  // Opens the database that `name` resolves to (ResolveDatabaseName: a folder, an alias or
  // "<name>.db" in the working directory) and starts the load. Throws Error when the name
  // resolves to nothing, the file does not exist (it is never created), is not an SQLite
  // database, or another connection is still writing to it after a few seconds.
  static RowLoader ForDatabase(std::string_view name);
  // The same for the database file `file` itself, taken as given (no name resolution).
  static RowLoader ForFile(const std::filesystem::path& file);

  // Rolls back a load that was not committed.
  ~RowLoader();
  // A moved-from loader may only be destroyed or assigned to.
  RowLoader(RowLoader&&) noexcept;
  RowLoader& operator=(RowLoader&&) noexcept;
  RowLoader(const RowLoader&) = delete;
  RowLoader& operator=(const RowLoader&) = delete;

  // Inserts one row into `table`, setting the columns named in `row` (table and column
  // names as the database matches them: without regard to case, blanks allowed); the
  // other columns get the table's defaults. The statement for a table and a list of
  // column names is prepared once and kept until Commit(). Rows are numbered (rowid) in
  // the order of the calls, as single inserts would number them.
  // Throws Error naming the table and the database for an unknown table or column, a row
  // the database refuses (a unique index violated, a constraint) and after Commit() or a
  // failure; a failed insert rolls the whole load back, and every later call throws.
  void Insert(std::string_view table, std::span<const ColumnValue> row);
  void Insert(std::string_view table, std::initializer_list<ColumnValue> row) {
    Insert(table, std::span<const ColumnValue>(row.begin(), row.size()));
  }

  // Makes every inserted row visible in the database at once and closes the connection.
  // Throws Error naming the database when the commit fails (the load is then rolled back),
  // after a failed insert, or when called twice.
  void Commit();

  // The rows the load holds: inserted so far, the rows it added after Commit(), none once
  // it was rolled back.
  std::int64_t Rows() const;
  // The database file, as found when the loader opened.
  const std::filesystem::path& File() const;

  struct Impl;

 private:
  explicit RowLoader(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace talvor::sqldb
