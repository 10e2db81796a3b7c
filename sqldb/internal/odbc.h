// Private to sqldb: the owners of ODBC's three handles (an environment, a connection, a
// statement) and the driver's diagnostics as text. Every ODBC handle of the program is
// held by one of these, and these are the only places that free one. All are move-only.
//
// Messages never hold a password: a connection string in one is shown with its PWD
// (and PASSWORD) value as "***" (HidePasswords), and so is the driver's own text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Windows' ODBC headers take their base types from windows.h.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace talvor::sqldb::odbc {

// The driver's diagnostic records of `handle` as one line ("[SQLSTATE] message; ..."),
// passwords hidden; "no diagnostic" when the driver gave none.
std::string Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// An ODBC 3 environment of the driver manager.
class Environment {
 public:
  // Throws Error when the driver manager cannot give one.
  Environment();
  ~Environment();
  Environment(Environment&& other) noexcept : env_(std::exchange(other.env_, nullptr)) {}
  Environment& operator=(Environment&&) = delete;
  Environment(const Environment&) = delete;

  SQLHENV get() const { return env_; }
  // The data source names the driver manager knows (user and system), as it spells them.
  std::vector<std::string> DataSources() const;

 private:
  SQLHENV env_ = nullptr;
};

// A connection made from a connection string ("DSN=AGENCY", "Driver=...;Server=...").
class Connection {
 public:
  // Connects with SQLDriverConnect, never prompting. Throws Error naming the connection
  // string (password hidden) and the driver's diagnostics when it cannot connect.
  Connection(const Environment& env, const std::string& connectionString);
  ~Connection();
  Connection(Connection&& other) noexcept
      : dbc_(std::exchange(other.dbc_, nullptr)), rollBackOnFailure_(other.rollBackOnFailure_) {}
  Connection& operator=(Connection&&) = delete;
  Connection(const Connection&) = delete;

  SQLHDBC get() const { return dbc_; }
  // SQLGetInfo for a text item (SQL_IDENTIFIER_QUOTE_CHAR, SQL_DBMS_NAME, ...); "" when
  // the driver has none.
  std::string InfoText(SQLUSMALLINT item) const;
  // SQLGetInfo for a 16-bit item (SQL_IDENTIFIER_CASE, ...).
  SQLUSMALLINT InfoShort(SQLUSMALLINT item) const;
  // Autocommit on (every statement its own transaction) or off (until Commit/Rollback).
  void SetAutocommit(bool on);
  // Ends the transaction with SQLEndTran. Throws Error with the diagnostics on failure.
  void Commit();
  void Rollback();
  // With `on`, a statement of this connection that fails rolls the transaction back at
  // once (its message read first). For a transaction held open between commits with
  // nothing uncommitted in it: a server may refuse every later statement of a transaction
  // in which one failed, until it ends.
  void SetRollBackOnFailure(bool on) { rollBackOnFailure_ = on; }
  // Told by a statement of this connection that has failed.
  void StatementFailed() const;
  std::string Diagnostics() const { return odbc::Diagnostics(SQL_HANDLE_DBC, dbc_); }

 private:
  SQLHDBC dbc_ = nullptr;
  bool rollBackOnFailure_ = false;
};

// A statement handle of a connection. Values are read as text or numbers; NULL is nullopt.
class Statement {
 public:
  // Throws Error when the driver cannot give a statement handle. The connection outlives
  // the statement.
  explicit Statement(const Connection& connection);
  ~Statement();
  Statement(Statement&& other) noexcept
      : stmt_(std::exchange(other.stmt_, nullptr)), connection_(other.connection_) {}
  Statement& operator=(Statement&&) = delete;
  Statement(const Statement&) = delete;

  SQLHSTMT get() const { return stmt_; }
  // Throws Error with `what`, the statement text (when given) and the diagnostics unless
  // `rc` succeeded (SQL_SUCCESS, SQL_SUCCESS_WITH_INFO, SQL_NO_DATA).
  void Check(SQLRETURN rc, std::string_view what, std::string_view sql = {}) const;
  // Prepares `sql` for Execute.
  void Prepare(const std::string& sql);
  // Runs the prepared statement with the parameters bound since the last Reset.
  void Execute();
  // Runs `sql` at once (no parameters).
  void ExecDirect(const std::string& sql);
  // Parameters (1-based), kept alive by the statement until Reset.
  void BindNull(int index, SQLSMALLINT sqlType);
  void BindText(int index, std::string_view text, SQLSMALLINT sqlType = SQL_VARCHAR);
  void BindInteger(int index, std::int64_t value, SQLSMALLINT sqlType = SQL_BIGINT);
  void BindFloat(int index, double value);
  // The next row of the result; false at its end, and when the statement gave none at
  // all (SQL_NO_DATA: a write that changed no rows, RETURNING or not).
  bool Fetch();
  SQLSMALLINT ColumnCount() const;
  std::string ColumnName(int column) const;
  // The server's name of the column's type ("int8", "varchar" ...).
  std::string ColumnTypeName(int column) const;
  // Column `column` (1-based) of the current row as bytes; nullopt for NULL.
  std::optional<std::string> Text(int column) const;
  // The rows the last UPDATE, INSERT or DELETE changed.
  std::int64_t RowCount() const;
  // Closes the cursor and forgets the parameters, ready for the next Execute.
  void Reset();

 private:
  SQLHSTMT stmt_ = nullptr;
  const Connection* connection_ = nullptr;
  // Bound parameter buffers: the driver reads them at Execute, so each keeps its address.
  struct Param {
    std::string bytes;
    std::int64_t integer = 0;
    double number = 0;
    SQLLEN indicator = 0;
  };
  Param& NewParam();
  std::vector<std::unique_ptr<Param>> params_;
  std::string sql_;
  bool noData_ = false;  // the last Execute or ExecDirect gave SQL_NO_DATA
};

// Statements of one connection prepared once per text and kept. Past `limit` kept they
// are let go and made again as they are used: a text with its values written in is one
// of its own, and a routine may make thousands.
class PreparedStatements {
 public:
  explicit PreparedStatements(const Connection& connection, std::size_t limit = 256)
      : connection_(connection), limit_(limit) {}
  // The statement of `sql`, reset and ready to bind. Valid until the next call.
  Statement& Get(const std::string& sql);

 private:
  const Connection& connection_;
  std::size_t limit_;
  std::map<std::string, std::unique_ptr<Statement>> kept_;
};

}  // namespace talvor::sqldb::odbc
