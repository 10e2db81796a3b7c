#include "sqldb/internal/odbc.h"

#include <memory>

#include "shell/text/text.h"
#include "sqldb/error.h"
#include "sqldb/stats.h"

namespace talvor::sqldb::odbc {

namespace {

bool Succeeded(SQLRETURN rc) {
  return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA;
}

}  // namespace

std::string Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::string out;
  for (SQLSMALLINT record = 1; record <= 8; ++record) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[1024] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRec(handleType, handle, record, state, &native, message,
                                       sizeof message, &length);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
    if (!out.empty()) out += "; ";
    out += "[";
    out += reinterpret_cast<const char*>(state);
    out += "] ";
    std::string text(reinterpret_cast<const char*>(message));
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    out += text;
  }
  return out.empty() ? "no diagnostic" : HidePasswords(out);
}

Environment::Environment() {
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
    env_ = nullptr;
    throw Error("the ODBC driver manager gives no environment");
  }
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
}

Environment::~Environment() {
  if (env_ != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

std::vector<std::string> Environment::DataSources() const {
  std::vector<std::string> names;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (;;) {
    SQLCHAR name[SQL_MAX_DSN_LENGTH + 1] = {};
    SQLCHAR description[512] = {};
    SQLSMALLINT nameLength = 0, descriptionLength = 0;
    const SQLRETURN rc = SQLDataSources(env_, direction, name, sizeof name, &nameLength,
                                        description, sizeof description, &descriptionLength);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
    names.emplace_back(reinterpret_cast<const char*>(name));
    direction = SQL_FETCH_NEXT;
  }
  return names;
}

Connection::Connection(const Environment& env, const std::string& connectionString) {
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env.get(), &dbc_))) {
    dbc_ = nullptr;
    throw Error("the ODBC driver manager gives no connection handle");
  }
  SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(10), 0);
  SQLCHAR out[1024];
  SQLSMALLINT outLength = 0;
  const SQLRETURN rc = SQLDriverConnect(
      dbc_, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connectionString.c_str())),
      SQL_NTS, out, sizeof out, &outLength, SQL_DRIVER_NOPROMPT);
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
    const std::string why = Diagnostics();
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = nullptr;
    throw Error("cannot connect to odbc:" + HidePasswords(connectionString) + ": " + why);
  }
}

Connection::~Connection() {
  if (dbc_ == nullptr) return;
  SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
  SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
}

std::string Connection::InfoText(SQLUSMALLINT item) const {
  SQLCHAR value[256] = {};
  SQLSMALLINT length = 0;
  if (!Succeeded(SQLGetInfo(dbc_, item, value, sizeof value, &length))) return "";
  return std::string(reinterpret_cast<const char*>(value));
}

SQLUSMALLINT Connection::InfoShort(SQLUSMALLINT item) const {
  SQLUSMALLINT value = 0;
  if (!Succeeded(SQLGetInfo(dbc_, item, &value, sizeof value, nullptr))) return 0;
  return value;
}

void Connection::SetAutocommit(bool on) {
  const SQLRETURN rc = SQLSetConnectAttr(
      dbc_, SQL_ATTR_AUTOCOMMIT,
      reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0);
  if (!Succeeded(rc)) throw Error("cannot set autocommit: " + Diagnostics());
}

void Connection::Commit() {
  if (!Succeeded(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT))) {
    throw Error("commit failed: " + Diagnostics());
  }
}

void Connection::Rollback() {
  if (!Succeeded(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK))) {
    throw Error("rollback failed: " + Diagnostics());
  }
}

void Connection::StatementFailed() const {
  if (rollBackOnFailure_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
}

Statement::Statement(const Connection& connection) : connection_(&connection) {
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection.get(), &stmt_))) {
    stmt_ = nullptr;
    throw Error("no statement handle: " + connection.Diagnostics());
  }
}

Statement::~Statement() {
  if (stmt_ != nullptr) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

void Statement::Check(SQLRETURN rc, std::string_view what, std::string_view sql) const {
  if (Succeeded(rc)) return;
  std::string message(what);
  // A block insert's text runs to many kilobytes; its start says which statement it was.
  constexpr std::size_t kShown = 240;
  if (!sql.empty()) {
    message += " (" + std::string(sql.substr(0, kShown)) + (sql.size() > kShown ? "..." : "") + ")";
  }
  message += ": " + Diagnostics(SQL_HANDLE_STMT, stmt_);
  connection_->StatementFailed();
  throw Error(message);
}

void Statement::Prepare(const std::string& sql) {
  sql_ = sql;
  Check(SQLPrepare(stmt_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS),
        "the statement is refused", sql_);
}

void Statement::Execute() {
  stats_internal::AddServerStatement();
  const SQLRETURN rc = SQLExecute(stmt_);
  noData_ = rc == SQL_NO_DATA;
  Check(rc, "the statement failed", sql_);
}

void Statement::ExecDirect(const std::string& sql) {
  stats_internal::AddServerStatement();
  sql_ = sql;
  const SQLRETURN rc =
      SQLExecDirect(stmt_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
  noData_ = rc == SQL_NO_DATA;
  Check(rc, "the statement failed", sql_);
}

Statement::Param& Statement::NewParam() {
  params_.push_back(std::make_unique<Param>());
  return *params_.back();
}

void Statement::BindNull(int index, SQLSMALLINT sqlType) {
  Param& p = NewParam();
  p.indicator = SQL_NULL_DATA;
  Check(SQLBindParameter(stmt_, static_cast<SQLUSMALLINT>(index), SQL_PARAM_INPUT, SQL_C_CHAR,
                         sqlType, 1, 0, nullptr, 0, &p.indicator),
        "cannot bind a parameter", sql_);
}

void Statement::BindText(int index, std::string_view text, SQLSMALLINT sqlType) {
  Param& p = NewParam();
  p.bytes.assign(text);
  p.indicator = static_cast<SQLLEN>(p.bytes.size());
  Check(SQLBindParameter(stmt_, static_cast<SQLUSMALLINT>(index), SQL_PARAM_INPUT, SQL_C_CHAR,
                         sqlType, p.bytes.empty() ? 1 : p.bytes.size(), 0, p.bytes.data(),
                         static_cast<SQLLEN>(p.bytes.size()), &p.indicator),
        "cannot bind a parameter", sql_);
}

void Statement::BindInteger(int index, std::int64_t value, SQLSMALLINT sqlType) {
  Param& p = NewParam();
  p.integer = value;
  Check(SQLBindParameter(stmt_, static_cast<SQLUSMALLINT>(index), SQL_PARAM_INPUT,
                         SQL_C_SBIGINT, sqlType, 0, 0, &p.integer, 0, nullptr),
        "cannot bind a parameter", sql_);
}

void Statement::BindFloat(int index, double value) {
  Param& p = NewParam();
  p.number = value;
  Check(SQLBindParameter(stmt_, static_cast<SQLUSMALLINT>(index), SQL_PARAM_INPUT, SQL_C_DOUBLE,
                         SQL_DOUBLE, 0, 0, &p.number, 0, nullptr),
        "cannot bind a parameter", sql_);
}

bool Statement::Fetch() {
  if (noData_) return false;
  const SQLRETURN rc = SQLFetch(stmt_);
  if (rc == SQL_NO_DATA) return false;
  Check(rc, "cannot read a row", sql_);
  return true;
}

SQLSMALLINT Statement::ColumnCount() const {
  SQLSMALLINT count = 0;
  Check(SQLNumResultCols(stmt_, &count), "cannot count the result's columns", sql_);
  return count;
}

std::string Statement::ColumnName(int column) const {
  SQLCHAR name[256] = {};
  SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
  SQLULEN size = 0;
  Check(SQLDescribeCol(stmt_, static_cast<SQLUSMALLINT>(column), name, sizeof name, &length,
                       &type, &size, &digits, &nullable),
        "cannot describe a column", sql_);
  return std::string(reinterpret_cast<const char*>(name));
}

std::string Statement::ColumnTypeName(int column) const {
  SQLCHAR name[256] = {};
  SQLSMALLINT length = 0;
  Check(SQLColAttribute(stmt_, static_cast<SQLUSMALLINT>(column), SQL_DESC_TYPE_NAME, name,
                        sizeof name, &length, nullptr),
        "cannot describe a column", sql_);
  return std::string(reinterpret_cast<const char*>(name));
}

std::optional<std::string> Statement::Text(int column) const {
  std::string value;
  char buffer[4096];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(stmt_, static_cast<SQLUSMALLINT>(column), SQL_C_CHAR, buffer,
                                    sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    Check(rc, "cannot read a column", sql_);
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    // A piece that did not fit leaves its last byte for the terminating NUL.
    const bool more = rc == SQL_SUCCESS_WITH_INFO &&
                      (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer));
    value.append(buffer, more ? sizeof buffer - 1 : static_cast<std::size_t>(indicator));
    if (!more) break;
  }
  return value;
}

std::int64_t Statement::RowCount() const {
  SQLLEN count = 0;
  Check(SQLRowCount(stmt_, &count), "cannot count the changed rows", sql_);
  return count;
}

void Statement::Reset() {
  SQLFreeStmt(stmt_, SQL_CLOSE);
  SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
  params_.clear();
}

Statement& PreparedStatements::Get(const std::string& sql) {
  if (kept_.size() >= limit_ && !kept_.count(sql)) kept_.clear();
  auto& slot = kept_[sql];
  if (!slot) {
    auto s = std::make_unique<Statement>(connection_);
    s->Prepare(sql);
    slot = std::move(s);
  } else {
    slot->Reset();
  }
  return *slot;
}

}  // namespace talvor::sqldb::odbc
