// Private to sqldb: a database server reached through ODBC, as every part of the layer
// sees it (the whole-table backend, the components, undo). What differs between servers is
// asked of the driver here and kept here: the identifier quote (SQLGetInfo), the names of
// tables, columns and indexes (SQLTables, SQLColumns, SQLStatistics), the type names a
// server gives each kind (SQLGetTypeInfo), and the row identity that gives stored order.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/change.h"
#include "sqldb/internal/backend.h"
#include "sqldb/internal/odbc.h"

namespace talvor::sqldb::internal {

// A server's text of a value as the storage conventions hold it: numbers as numbers, a
// flag as 0/1, a date-time "YYYY-MM-DD[ HH:MM:SS]" (a server shows midnight as 00:00:00);
// other text as it is.
Variant ServerValue(std::string text, FieldKind kind);

// Binds `value` to parameter `at` of `s` for a column of the ODBC type `sqlType`: as text
// the server converts (numbers in full precision, flags 0/1, date-times as stored).
void BindServerValue(odbc::Statement& s, int at, const Variant& value, int sqlType);

// The journal's cell of a value as ReadServerValue gives it: NULL, an integer (flags
// too), a real, or text (date-times as stored).
Cell JournalCell(const Variant& value);

// Reads column `column` (1-based) of the current row of `s` as a value of `kind`.
Variant ReadServerValue(const odbc::Statement& s, int column, FieldKind kind);

// What the connection string `connection` gains for the driver `driver` (SQL_DRIVER_NAME):
// "" or ";KEY=VALUE...". PostgreSQL's driver wraps each statement inside a transaction in a
// savepoint of its own, a round trip more per write, which the layer's own transactions
// and savepoints make needless: "Protocol=7.4-0" leaves a failed statement to them (the
// driver neither rolls back to its savepoint nor the whole transaction), unless the
// connection string sets a Protocol itself.
std::string DriverSettings(std::string_view connection, std::string_view driver);

class ServerDatabase {
 public:
  // Connects (odbc::Connection: an Error names the connection string, password hidden).
  explicit ServerDatabase(std::string connectionString);

  // "odbc:" and the connection string, password hidden.
  std::string Shown() const;
  const std::string& ConnectionString() const { return connectionString_; }
  odbc::Connection& connection() { return connection_; }

  // `name` quoted as an identifier of this server.
  std::string Quote(std::string_view name) const;
  // The tables the server lists, as spelled there.
  std::vector<std::string> TableNames();
  // The table of that name without regard to case, or nullopt.
  std::optional<TableInfo> FindTable(std::string_view name);
  // The table of exactly that name.
  TableInfo Describe(const std::string& table);
  // The rowid as a query names it: SQLite's own through its driver, else
  // kRowIdentityColumn quoted.
  std::string RowidName() const;
  bool NativeRowid() const { return nativeRowid_; }
  // Whether a write hands back the rows it wrote (RETURNING), and an UPDATE may read the
  // rows it changes as they were (UPDATE ... FROM a locked read of them): a captured write
  // is then one statement instead of a read and the write.
  bool WritesReturnRows() const { return writesReturnRows_; }
  // One statement that commits the transaction and begins the next, read committed (each
  // statement sees every commit made before it, as outside a transaction); "" where the
  // server is not known to take two statements in one text. A driver that begins a
  // transaction itself does so with a round trip of its own before a prepared statement.
  const std::string& CommitAndBegin() const { return commitAndBegin_; }
  // An expression, as a SELECT's column or in a WHERE, of the version of a row: text that
  // the server changes whenever the row is written, and that two committed states of one
  // row never share. "" where the server is not known to have one. PostgreSQL's xmin is
  // the transaction that wrote the row: a row read committed and still at that version has
  // not been written since. (An open transaction may write one row twice under one xmin:
  // the version says nothing of rows this connection's own open transaction wrote.)
  const std::string& RowVersion() const { return rowVersion_; }
  // The columns in whose order the server keeps the table's rows, as ORDER BY terms.
  std::vector<std::string> RowIdentity(const TableInfo& table);
  // The server's name of the first of `types` that it has. Throws Error when none.
  std::string TypeName(std::initializer_list<SQLSMALLINT> types);
  // The table's columns quoted, each after `of` (a table's alias and a dot), joined by ", ".
  std::string ColumnList(const TableInfo& table, std::string_view of = {}) const;
  // What follows a SELECT so that it gives its first row only.
  std::string FirstRowOnly() const { return limitOne_; }

 private:
  std::string connectionString_;
  odbc::Environment env_;
  odbc::Connection connection_;
  std::string quote_;
  std::string limitOne_;
  std::map<SQLSMALLINT, std::string> typeNames_;
  // The one server difference the driver cannot be asked about: whether tables have a rowid
  // of their own (SQLite) or get kRowIdentityColumn.
  bool nativeRowid_ = false;
  // Nor whether its writes return rows: known of PostgreSQL, not assumed of others.
  bool writesReturnRows_ = false;
  std::string commitAndBegin_;
  std::string rowVersion_;
  std::uint64_t descriptions_ = 0;  // TableInfo::described
};

}  // namespace talvor::sqldb::internal
