#include "sqldb/query.h"

#include <unordered_map>

#include "shell/text/text.h"
#include "sqldb/database.h"
#include "sqldb/dialect.h"
#include "sqldb/error.h"
#include "sqldb/internal/connection.h"
#include "sqldb/internal/fields.h"
#include "sqldb/internal/names.h"
#include "sqldb/internal/result.h"
#include "sqldb/internal/server_link.h"
#include "sqldb/internal/sessions.h"
#include "sqldb/internal/sqltext.h"
#include "sqldb/stats.h"

namespace talvor::sqldb {

using internal::ConvertFailure;
using internal::FieldKind;
using internal::Statement;

struct Query::Impl final : internal::SessionMember {
  std::string name, databaseName, sessionName;
  NameResolution located;  // of databaseName, kept between opens
  std::vector<std::string> lines;
  const DateFormats* formats = &internal::DefaultDateFormats();

  bool open = false;
  std::shared_ptr<internal::Connection> conn;
  std::shared_ptr<internal::ServerLink> server;  // instead of `conn`, on a server
  internal::SessionLink session;
  std::string statement;  // the text as run, for messages

  std::vector<std::string> names;
  std::vector<FieldKind> kinds;
  internal::ColumnsByName byName;
  internal::ResultRows rows;
  std::size_t pos = 0;
  bool eof = true;
  bool bof = true;
  std::vector<Variant> row;
  std::int64_t rowCount = -1;

  ~Impl() { Close(); }
  void CloseForSession() override { Close(); }

  std::string Where() const {
    return "database \"" + databaseName + "\", statement [" + SqlText() + "]";
  }
  [[noreturn]] void Fail(const std::string& detail) const { throw Error(Where() + ": " + detail); }

  std::string SqlText() const {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i) text += '\n';
      text += lines[i];
    }
    return text;
  }

  void RequireOpen() const {
    if (!open) Fail("query \"" + name + "\" is not open");
  }

  void Close() {
    if (!open) return;
    open = false;
    names.clear();
    kinds.clear();
    byName.clear();
    rows.Clear();
    row.clear();
    eof = bof = true;
    session.Detach();
    conn.reset();
    server.reset();
  }

  void Load(std::size_t index) {
    pos = index;
    rows.Read(index, row);
  }

  void Open() {
    if (open) return;
    const std::string text = SqlText();
    if (Trim(text).empty()) Fail("the query has no SQL text");
    rowCount = -1;
    try {
      session.Attach(sessionName, this);
      const DatabaseTarget& target = located.Locate(databaseName);
      if (target.IsOdbc()) {
        server = internal::ServerLink::Open(target);
        RunOnServer(TranslateDialect(text));
      } else {
        conn = internal::Connection::Open(databaseName, located);
        Run(TranslateDialect(text));
      }
    } catch (...) {
      names.clear();
      kinds.clear();
      byName.clear();
      rows.Clear();
      session.Detach();
      conn.reset();
      server.reset();
      throw;
    }
    open = true;
  }

  void Run(const std::string& sql) {
    conn->ReleasePending();
    std::string error;
    std::string_view tail;
    Statement s = conn->Prepare(sql, error, &tail);
    if (!s) Fail(error);
    if (!Trim(tail).empty() && Trim(tail) != ";") Fail("the text holds more than one statement");
    internal::ResetOnExit reset(s);
    const int columns = s.ColumnCount();
    for (int i = 0; i < columns; ++i) {
      const char* column = sqlite3_column_name(s.get(), i);
      const char* declared = sqlite3_column_decltype(s.get(), i);
      names.emplace_back(column ? column : "");
      kinds.push_back(declared ? internal::KindOfDeclaredType(declared) : FieldKind::kAny);
      byName.emplace(LowerCase(names.back()), i);
    }
    // A statement that may write lets the walks' cursors go first: SQLite refuses DROP TABLE
    // while any statement reads, and a write would have the walks fetch row by row anyway.
    const bool writes = !sqlite3_stmt_readonly(s.get());
    if (writes) conn->ReleaseCursors();
    int rc = writes ? conn->StepWrite(s) : s.Step();
    while (rc == SQLITE_ROW) {
      if (columns > 0) rows.Append(s, columns);
      rc = s.Step();
    }
    if (!sqlite3_stmt_readonly(s.get())) conn->StatementEnded(rc == SQLITE_DONE);
    if (rc != SQLITE_DONE) Fail(conn->LastError());
    if (!sqlite3_stmt_readonly(s.get())) conn->AfterWrite();
    row.assign(names.size(), Variant());
    if (columns > 0) {
      rowCount = static_cast<std::int64_t>(rows.size());
    } else {
      const std::string keyword = internal::FirstKeyword(sql);
      if (keyword == "INSERT" || keyword == "UPDATE" || keyword == "DELETE" ||
          keyword == "REPLACE" || keyword == "WITH") {
        rowCount = sqlite3_changes64(conn->handle());
        stats_internal::AddWritten(rowCount);
      }
    }
    stats_internal::AddRead(static_cast<std::int64_t>(rows.size()));
    if (rows.size() > 0) {
      Load(0);
      eof = false;
    } else {
      eof = true;
    }
    bof = true;
  }

  // The statement on a server, with its names spelled as the server spells them. A
  // statement that does not start with SELECT (or WITH or VALUES) is run as a write.
  void RunOnServer(const std::string& sql) {
    if (internal::HoldsMoreThanOneStatement(sql)) Fail("the text holds more than one statement");
    const std::string keyword = internal::FirstKeyword(sql);
    try {
      const std::string serverSql = server->ForServer(sql);
      if (keyword != "SELECT" && keyword != "WITH" && keyword != "VALUES") {
        rowCount = server->ExecuteWrite(serverSql);
        if (keyword == "INSERT" || keyword == "UPDATE" || keyword == "DELETE") {
          stats_internal::AddWritten(rowCount);
        } else {
          rowCount = -1;
        }
        eof = bof = true;
        return;
      }
      // A server table's talvor_rowid stands in for SQLite's rowid, which "SELECT *" does
      // not give: it is left out unless the statement names it.
      const bool hideRowid =
          !server->db().NativeRowid() &&
          LowerCase(sql).find(internal::kRowIdentityColumn) == std::string::npos;
      server->Select(serverSql, [&](odbc::Statement& s) {
        const int columns = s.ColumnCount();
        std::vector<int> kept;  // the result's columns, 1-based
        for (int i = 1; i <= columns; ++i) {
          std::string column = s.ColumnName(i);
          if (hideRowid && EqualsIgnoringCase(column, internal::kRowIdentityColumn)) continue;
          kept.push_back(i);
          names.push_back(std::move(column));
          kinds.push_back(internal::KindOfDeclaredType(s.ColumnTypeName(i)));
          byName.emplace(LowerCase(names.back()), static_cast<int>(names.size()) - 1);
        }
        row.assign(names.size(), Variant());
        while (s.Fetch()) {
          for (std::size_t k = 0; k < kept.size(); ++k) {
            row[k] = internal::ReadServerValue(s, kept[k], kinds[k]);
          }
          rows.Append(row);
        }
      });
    } catch (const Error& e) {
      Fail(e.what());
    }
    rowCount = static_cast<std::int64_t>(rows.size());
    stats_internal::AddRead(rowCount);
    eof = rows.size() == 0;
    if (!eof) Load(0);
    bof = true;
  }

  const Variant& Cell(std::string_view column, FieldKind& kind) const {
    RequireOpen();
    auto it = byName.find(column);
    if (it == byName.end()) Fail("no column \"" + std::string(column) + "\" in the result");
    kind = kinds[it->second];
    static const Variant null;
    return rows.size() > 0 ? row[it->second] : null;
  }
};

Query::Query(std::string name, std::string databaseName) : impl_(std::make_unique<Impl>()) {
  impl_->name = std::move(name);
  impl_->databaseName = std::move(databaseName);
}

Query::~Query() = default;
Query::Query(Query&&) noexcept = default;
Query& Query::operator=(Query&&) noexcept = default;

const std::string& Query::Name() const {
  return impl_->name;
}
const std::string& Query::DatabaseName() const {
  return impl_->databaseName;
}
const std::string& Query::SessionName() const {
  return impl_->sessionName;
}

void Query::SetDatabaseName(std::string databaseName) {
  if (impl_->open) {
    impl_->Fail("cannot change the database name of \"" + impl_->name + "\" while it is open");
  }
  impl_->databaseName = std::move(databaseName);
}

void Query::SetSessionName(std::string sessionName) {
  if (impl_->open) {
    impl_->Fail("cannot change the session name of \"" + impl_->name + "\" while it is open");
  }
  impl_->sessionName = std::move(sessionName);
}

void Query::SqlClear() {
  impl_->Close();
  impl_->lines.clear();
}

void Query::SqlAdd(std::string_view line) {
  impl_->Close();
  impl_->lines.emplace_back(line);
}

std::string Query::SqlText() const {
  return impl_->SqlText();
}

void Query::SetDateFormats(const DateFormats* formats) {
  impl_->formats = formats ? formats : &internal::DefaultDateFormats();
}

void Query::Open() {
  impl_->Open();
}
void Query::Close() {
  impl_->Close();
}
bool Query::IsOpen() const {
  return impl_->open;
}
std::int64_t Query::RowCount() const {
  return impl_->rowCount;
}

void Query::First() {
  Impl& q = *impl_;
  q.RequireOpen();
  q.bof = true;
  if (q.rows.size() > 0) {
    q.Load(0);
    q.eof = false;
  } else {
    q.eof = true;
  }
}

void Query::Next() {
  Impl& q = *impl_;
  q.RequireOpen();
  if (q.eof) return;
  if (q.pos + 1 < q.rows.size()) {
    q.Load(q.pos + 1);
    q.bof = false;
  } else {
    q.eof = true;
  }
}

bool Query::Eof() const {
  return impl_->eof;
}
bool Query::Bof() const {
  return impl_->bof;
}

const Variant& Query::CellOf(std::string_view column, FieldKind& kind) const {
  return impl_->Cell(column, kind);
}

const DateFormats& Query::Formats() const { return *impl_->formats; }

std::string Query::Where() const { return impl_->Where(); }

std::vector<std::string> Query::FieldNames() const {
  return impl_->names;
}

}  // namespace talvor::sqldb
