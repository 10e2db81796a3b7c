// Query: a component that runs one SQL statement on an agency database.
//
//   q.SetDatabaseName(alias); q.SqlClear(); q.SqlAdd("Select * from \"Customer\" ..."); q.Open();
//   int64_t n = q.RowCount(); for (; !q.Eof(); q.Next()) { ... q.AsString("Name") ... }
//   q.Close();
//
// The SQL text passes through TranslateDialect before the engine sees it. A statement that
// returns rows (SELECT) is read in full when opened: the row count is exact, and the rows
// are walked like a table's (First/Next/Eof, columns by name or by their alias in the
// statement), unaffected by later changes to the tables. Any other statement runs once
// when opened and yields no rows.
// Every failure raises sqldb::Error with a message naming the database and the statement.
// Not thread-safe: a component belongs to the thread that runs the routines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "shell/text/dates.h"
#include "sqldb/fields.h"
#include "sqldb/variant.h"

namespace talvor::sqldb {

class Query : public Fields {
 public:
  // `name` is the component's own name ("PvQuery1"), `databaseName` its design-time alias.
  explicit Query(std::string name = "", std::string databaseName = "");
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;
  // A moved-from component may only be destroyed or assigned to.
  Query(Query&&) noexcept;
  Query& operator=(Query&&) noexcept;

  const std::string& Name() const;

  // Throw Error while the query is open.
  const std::string& DatabaseName() const;
  void SetDatabaseName(std::string databaseName);
  const std::string& SessionName() const;
  void SetSessionName(std::string sessionName);

  // The SQL text, one entry per line. Changing it closes an open query.
  void SqlClear();
  void SqlAdd(std::string_view line);
  // The lines joined with "\n".
  std::string SqlText() const;

  // Date formats for text reads of date columns. nullptr selects the default formats.
  // REQUIRES: *formats outlives the component.
  void SetDateFormats(const DateFormats* formats);

  // Runs the statement. A statement that returns rows leaves the query open on its first
  // row (Eof() at once when there is none); any other statement has run and changed the
  // database when Open returns, and the query is open with no rows. Does nothing when
  // already open. Throws Error (naming the database and the statement) for an unknown
  // database, an empty text, more than one statement, or SQL the engine refuses; the query
  // is then closed.
  void Open();
  void Close();
  bool IsOpen() const;

  // The number of rows the last opened statement returned (a statement that returns rows)
  // or changed (INSERT, UPDATE, DELETE); -1 for other statements and before any Open.
  // Kept after Close until the next Open.
  std::int64_t RowCount() const;

  // Walk. REQUIRES: the query is open (else Error). Next past the last row sets Eof() and
  // keeps the last row current.
  void First();
  void Next();
  bool Eof() const;
  bool Bof() const;

  // Typed reads (sqldb/fields.h) of the current row, by result column name or alias (the
  // first of equal names wins). A column that comes straight from a table keeps its
  // declared type; a computed one (Count(...) as Ttl) reads by its value.
  using Fields::AsBoolean, Fields::AsDateTime, Fields::AsFloat, Fields::AsInteger,
      Fields::AsString, Fields::AsVariant, Fields::IsNull;
  // The result column names (empty while closed or for a statement without rows).
  std::vector<std::string> FieldNames() const;

  struct Impl;

 private:
  const Variant& CellOf(std::string_view column, internal::FieldKind& kind) const override;
  const DateFormats& Formats() const override;
  std::string Where() const override;

  std::unique_ptr<Impl> impl_;
};

}  // namespace talvor::sqldb
