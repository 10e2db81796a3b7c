// Private to sqldb: the SQLite connection shared by every component that names the same
// database file, and a prepared-statement wrapper.
//
// One connection per database file per process: all components of the process see each
// other's writes at once. Every write is its own autocommit statement. Single-threaded:
// components and connections belong to the thread that runs the routines.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <sqlite3.h>

#include "platform/change.h"
#include "platform/sqlite.h"
#include "sqldb/database.h"
#include "platform/sqlite_capture.h"
#include "sqldb/variant.h"

namespace talvor::sqldb {
class SqlTraceWriter;
}

namespace talvor::sqldb::internal {

class Statement;

// `database "NAME" (FILE)`, or `database "FILE"` when the name is the file itself: how
// errors name a database.
std::string DescribeDatabase(std::string_view name, const std::filesystem::path& file);

// The canonical path of the existing database file `resolved`, which `name` resolved to.
// Throws Error naming both when there is no such file.
std::filesystem::path ExistingDatabaseFile(std::string_view name,
                                           const std::filesystem::path& resolved);

// Opens `canonical` (from ExistingDatabaseFile) for reading and writing as the layer opens
// every database: write-ahead log, a busy timeout, and a first read that proves it is an
// SQLite database. Never creates the file. Throws Error naming `name` and `resolved` when it
// cannot be opened or is not a database.
sqlite::Database OpenDatabaseFile(std::string_view name, const std::filesystem::path& resolved,
                                  const std::filesystem::path& canonical);

class Connection {
 public:
  // The connection to the SQLite file that `name` stands for, as `located` last found it,
  // shared with every other component that holds it open. Throws Error naming `name` when
  // the file does not exist (it is never created) or is not an SQLite database.
  static std::shared_ptr<Connection> Open(std::string_view name,
                                          const NameResolution& located);

  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* handle() const { return db_.get(); }
  // Prepares `sql` on this connection, as Statement::Prepare does; the statement's steps,
  // bindings and resets go to the connection's trace when there is one (sqldb/sql_trace.h).
  Statement Prepare(std::string_view sql, std::string& error, std::string_view* tail = nullptr);

  // A read that has just returned its row may be kept open, so that a write that follows at
  // once (the post of a fetched row) joins its read transaction instead of starting one of
  // its own. Every other use of the connection calls ReleasePending() first, so a held read
  // never outlives the next operation of any component.
  void HoldPending(Statement& s);
  void ReleasePending();
  // Before stepping the read `next`: lets it run inside the read transaction held by the
  // last read (HoldPending) instead of ending that one and starting its own, when that
  // transaction began less than kMaxReadAge ago; otherwise (or when nothing is held) the
  // same as ReleasePending(). `next` is reset when it is the one held. Every write of this
  // connection ends the held read first, so a read joined this way sees every write of the
  // process; another process's writes reach it within kMaxReadAge.
  void JoinHeldRead(Statement& next);
  // The read transaction held now (by HoldPending, or kept by JoinHeldRead), as a number no
  // other held read of the connection has; 0 when none is held or the one held began more
  // than kMaxReadAge ago. While it stays the same and nothing wrote through the connection
  // (Changes()), a read run once more inside it would give what it gave.
  std::uint64_t HeldRead() const;
  // Walks' cursors (sqldb/table.cpp): statements left stepping between the rows of a walk,
  // each keeping the connection's read transaction open. A cursor is added when it is
  // started and removed (reset) by its walk; ReleaseCursors resets every one, and it is
  // called when the transaction must end: before a capture starts or ends, before a query
  // that may write, when a write is refused because the read it joined is stale, at a
  // checkpoint, and once the cursors have held the read for kMaxReadAge (checked by every
  // ReleasePending and ExpireCursors), so that another process's writes reach the reads
  // here within that time. CursorEpoch() changes at every ReleaseCursors, so a walk can
  // tell that its cursor was reset under it.
  void AddCursor(Statement& s);
  void RemoveCursor(Statement& s);
  // True when there was a cursor to reset.
  bool ReleaseCursors();
  void ExpireCursors();
  std::uint64_t CursorEpoch() const { return cursorEpoch_; }
  // Rows inserted, updated or deleted through this connection so far: a walk compares it
  // to tell whether anything wrote since it last looked.
  std::int64_t Changes() const { return sqlite3_total_changes64(db_.get()); }
  // Runs a write statement once; if it is refused because the read it joined is older than
  // another process's write (SQLITE_BUSY), ends the held read and the cursors and runs it
  // once more. SQLite's result code.
  int StepWrite(Statement& s);

  // Called after every write: checkpoints the write-ahead log once it has grown past its
  // limit and no read is held (a held read would keep the log from being reused); the
  // walks' cursors are let go for it.
  void AfterWrite();
  const std::filesystem::path& path() const { return path_; }

  // Recorded runs (sqldb/capture.h): the connection's capture, while one is on.
  void StartCapture(ChangeSink& sink, CaptureMode mode);
  void EndCapture();
  // The next UPDATE sets only the columns marked in `assigned` (see sqlite::Capture).
  void AnnounceUpdate(const std::string& table, std::int64_t rowid,
                      const std::vector<char>& assigned);
  void EndAnnouncement();
  // A statement that may have written has ended (see sqlite::Capture::StatementEnded).
  void StatementEnded(bool ok);
  // The engine's message for the last failure on this connection.
  std::string LastError() const;

 private:
  Connection(sqlite::Database db, std::filesystem::path path)
      : db_(std::move(db)), path_(std::move(path)) {}
  static int OnWalCommit(void* self, sqlite3*, const char*, int frames);
  Statement PrepareTraced(std::string_view sql, std::string& error, std::string_view* tail);

  sqlite::Database db_;
  std::shared_ptr<SqlTraceWriter> trace_;     // null unless TALVOR_SQL_TRACE named a file
  int traceId_ = 0;                           // the connection's number in the trace
  std::unique_ptr<sqlite::Capture> capture_;  // declared after db_: finished before it closes
  std::filesystem::path path_;
  Statement* pending_ = nullptr;
  std::unique_ptr<Statement> holder_;  // keeps a joined read open while `next` is reset
  bool holding_ = false;
  std::chrono::steady_clock::time_point readSince_;  // when the held read began
  std::uint64_t heldReads_ = 0;                       // held reads begun so far
  std::vector<Statement*> cursors_;
  std::chrono::steady_clock::time_point cursorsSince_;  // when the first cursor was added
  std::uint64_t cursorEpoch_ = 0;
  int walFrames_ = 0;
};

// How long a read held across calls (a joined read, the walks' cursors) may keep its
// snapshot before it is let go, so that other processes' writes are seen.
inline constexpr std::chrono::milliseconds kMaxReadAge{200};

// A prepared statement; reset after every use so that no read stays open between calls.
// Those of a connection (Connection::Prepare) are stepped, bound and reset only through
// here, so that a trace of the connection misses none of it.
class Statement {
 public:
  Statement() = default;
  // Prepares `sql`, untraced (bulk loads: Connection::Prepare for a connection's). On
  // failure returns an empty statement and sets `error` to the engine's message; `tail`
  // receives the text after the first statement.
  static Statement Prepare(sqlite3* db, std::string_view sql, std::string& error,
                           std::string_view* tail = nullptr);
  ~Statement() {
    if (trace_) [[unlikely]] {
      TraceFinalize();
    }
  }
  Statement(Statement&&) noexcept = default;
  Statement& operator=(Statement&& other) noexcept;

  explicit operator bool() const { return static_cast<bool>(stmt_); }
  sqlite3_stmt* get() const { return stmt_.get(); }

  // Binds a value to the 1-based parameter `index`: booleans as 0/1, date-times as their
  // stored text.
  void Bind(int index, const Variant& value);
  void BindInt(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_.get(), index, value);
    if (trace_) [[unlikely]] {
      TraceBindInteger(index, value);
    }
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() {
    const int rc = sqlite3_step(stmt_.get());
    if (trace_) [[unlikely]] {
      TraceStep(rc);
    }
    return rc;
  }
  void Reset() {
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
    if (trace_) [[unlikely]] {
      TraceReset(true);
    }
  }
  // Resets it for another run of the same bound values.
  void ResetKeepingBindings() {
    sqlite3_reset(stmt_.get());
    if (trace_) [[unlikely]] {
      TraceReset(false);
    }
  }
  int ColumnCount() const { return sqlite3_column_count(stmt_.get()); }
  // Column `index` of the current row as a cell (null, integer, float or text); true when
  // it was stored as a BLOB (its bytes are then the cell's text).
  bool ReadCell(int index, Variant& cell) const;

 private:
  friend class Connection;
  explicit Statement(sqlite::Statement stmt) : stmt_(std::move(stmt)) {}
  // Only while a trace is written (sqldb/sql_trace.h).
  void TraceFinalize();
  void TraceBindInteger(int index, std::int64_t value);
  void TraceStep(int rc);
  void TraceReset(bool clearBindings);

  sqlite::Statement stmt_;
  std::shared_ptr<SqlTraceWriter> trace_;  // set only on a traced connection's statement
  int traceId_ = 0;                        // the statement's number in the trace
};

// Resets a statement when the scope ends, whatever happened.
class ResetOnExit {
 public:
  explicit ResetOnExit(Statement& s) : s_(s) {}
  ~ResetOnExit() { s_.Reset(); }
  ResetOnExit(const ResetOnExit&) = delete;
  ResetOnExit& operator=(const ResetOnExit&) = delete;

 private:
  Statement& s_;
};

}  // namespace talvor::sqldb::internal
