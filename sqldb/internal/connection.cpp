#include "sqldb/internal/connection.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <system_error>
#include <vector>

#include "platform/sqlite_restore.h"
#include "sqldb/capture.h"
#include "sqldb/database.h"
#include "sqldb/error.h"
#include "sqldb/internal/fields.h"
#include "sqldb/internal/server_link.h"
#include "sqldb/internal/server_restore.h"
#include "sqldb/sql_trace.h"

namespace talvor::sqldb::internal {
namespace fs = std::filesystem;

namespace {

// Open connections by canonical file path, and the statement trace they share.
struct ConnectionRegistry {
  // Entries expire when the last holder lets go.
  std::map<std::string, std::weak_ptr<Connection>> byPath;
  // Looked for once, as the first connection opens; each connection holds it too, so a
  // connection that outlives the registry still writes to an open file.
  std::shared_ptr<SqlTraceWriter> trace;
  bool traceLooked = false;

  ~ConnectionRegistry() {
    // A connection never let go would keep the buffered end of the trace from the file.
    if (trace) trace->Flush();
  }

  void LookForTrace() {
    traceLooked = true;
    const char* path = std::getenv(kSqlTraceVariable);
    if (path == nullptr || *path == '\0') return;
    std::string error;
    auto writer = std::make_shared<SqlTraceWriter>(SqlTraceWriter::Create(path, &error));
    if (*writer) {
      trace = std::move(writer);
    } else {
      std::fprintf(stderr, "%s\n", error.c_str());
    }
  }
};

ConnectionRegistry& Registry() {
  static ConnectionRegistry registry;
  return registry;
}

// Connections kept open between uses, until CloseIdleConnections.
std::map<std::string, std::shared_ptr<Connection>>& Kept() {
  static std::map<std::string, std::shared_ptr<Connection>> kept;
  return kept;
}

// The capture in force (sqldb/capture.h), and the connections held open for it.
struct CaptureState {
  ChangeSink* sink = nullptr;
  CaptureMode mode = CaptureMode::kRecord;
  std::vector<std::shared_ptr<Connection>> held;
};
CaptureState& TheCapture() {
  static CaptureState state;
  return state;
}

}  // namespace

std::string DescribeDatabase(std::string_view name, const fs::path& file) {
  if (name == file.string()) return "database \"" + std::string(name) + "\"";
  return "database \"" + std::string(name) + "\" (" + file.string() + ")";
}

fs::path ExistingDatabaseFile(std::string_view name, const fs::path& resolved) {
  std::error_code ec;
  if (!fs::is_regular_file(resolved, ec)) {
    throw Error(DescribeDatabase(name, resolved) + ": the file does not exist");
  }
  fs::path canonical = fs::canonical(resolved, ec);
  if (ec) canonical = fs::absolute(resolved);
  return canonical;
}

sqlite::Database OpenDatabaseFile(std::string_view name, const fs::path& resolved,
                                  const fs::path& canonical) {
  // Before SQLite's first use: no memory statistics (a global mutex on every allocation).
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    return true;
  }();
  (void)configured;
  std::string message;
  // One thread uses a connection (connection.h): SQLite's own mutex would only cost.
  sqlite::Database db =
      sqlite::Database::Open(canonical, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, &message);
  if (!db) throw Error(DescribeDatabase(name, resolved) + ": " + message);
  sqlite3_busy_timeout(db.get(), 5000);
  if (db.Exec("SELECT count(*) FROM sqlite_master") != SQLITE_OK) {
    throw Error(DescribeDatabase(name, resolved) + ": " + db.Message());
  }
  // Posts are single autocommit statements; the write-ahead log keeps each of them cheap
  // and lets readers in other processes go on. Failure (a read-only file) is harmless.
  db.Exec("PRAGMA journal_mode=WAL");
  db.Exec("PRAGMA synchronous=NORMAL");
  // Checks walk whole tables again and again, and SQLite's default 2 MB of pages holds
  // little of an agency database. The file is read through a memory map of up to 1 GB
  // instead: a page read again costs no copy. A larger page cache would do for the reads,
  // but with a post per row SQLite's cache code then took a tenth of the time (Sync Phones
  // on 100,000 clients: 11.1 s with the default cache, 12-13 s with 128 MB, most of the
  // difference in one loop of the cache's). Writes still go through the write-ahead log.
  db.Exec("PRAGMA mmap_size=1073741824");
  return db;
}

std::shared_ptr<Connection> Connection::Open(std::string_view name,
                                             const NameResolution& located) {
  const fs::path& resolved = located.Target().file;
  const fs::path& canonical = located.ExistingFile();
  if (canonical.empty()) {
    throw Error(DescribeDatabase(name, resolved) + ": the file does not exist");
  }
  const std::string key = canonical.string();
  ConnectionRegistry& registry = Registry();
  if (auto it = registry.byPath.find(key); it != registry.byPath.end()) {
    if (auto shared = it->second.lock()) return shared;
    registry.byPath.erase(it);
  }
  if (!registry.traceLooked) registry.LookForTrace();

  sqlite::Database owner = OpenDatabaseFile(name, resolved, canonical);
  sqlite3* db = owner.get();
  std::shared_ptr<Connection> connection(new Connection(std::move(owner), canonical));
  if (registry.trace) [[unlikely]] {
    connection->trace_ = registry.trace;
    connection->traceId_ = registry.trace->Open(key);
  }
  // Checkpoints are run by AfterWrite, at a moment when no read is held.
  sqlite3_wal_hook(db, &Connection::OnWalCommit, connection.get());
  registry.byPath[key] = connection;
  Kept()[key] = connection;
  if (CaptureState& capture = TheCapture(); capture.sink != nullptr) {
    connection->StartCapture(*capture.sink, capture.mode);
    capture.held.push_back(connection);
  }
  return connection;
}

Connection::~Connection() {
  ReleasePending();
  ReleaseCursors();
  capture_.reset();
  holder_.reset();  // finalized before the close the trace tells
  if (trace_) [[unlikely]] {
    trace_->Close(traceId_);
  }
}

Statement Connection::Prepare(std::string_view sql, std::string& error, std::string_view* tail) {
  if (trace_) [[unlikely]] {
    return PrepareTraced(sql, error, tail);
  }
  return Statement::Prepare(db_.get(), sql, error, tail);
}

Statement Connection::PrepareTraced(std::string_view sql, std::string& error,
                                    std::string_view* tail) {
  std::string_view rest;
  Statement s = Statement::Prepare(db_.get(), sql, error, &rest);
  if (tail != nullptr) *tail = rest;
  const int code = s ? SQLITE_OK : sqlite3_errcode(db_.get());
  const int id = trace_->Prepare(traceId_, code, sql.substr(0, sql.size() - rest.size()));
  if (s) {
    s.trace_ = trace_;
    s.traceId_ = id;
  }
  return s;
}

void Connection::StartCapture(ChangeSink& sink, CaptureMode mode) {
  ReleasePending();
  ReleaseCursors();
  capture_ = std::make_unique<sqlite::Capture>(
      db_.get(), sink, sink.OnStore(StoreKind::kSql, path_.string()), StoreKind::kSql, mode);
}

void Connection::EndCapture() {
  ReleasePending();
  ReleaseCursors();
  capture_.reset();
}

void Connection::AnnounceUpdate(const std::string& table, std::int64_t rowid,
                                const std::vector<char>& assigned) {
  if (capture_) capture_->Announce(table, rowid, assigned);
}

void Connection::StatementEnded(bool ok) {
  if (capture_) capture_->StatementEnded(ok);
}

void Connection::EndAnnouncement() {
  if (capture_) capture_->ClearAnnouncement();
}

int Connection::OnWalCommit(void* self, sqlite3*, const char*, int frames) {
  static_cast<Connection*>(self)->walFrames_ = frames;
  return SQLITE_OK;
}

void Connection::HoldPending(Statement& s) {
  if (pending_ == nullptr && !holding_) {
    readSince_ = std::chrono::steady_clock::now();
    ++heldReads_;
  }
  if (pending_ != &s && pending_ != nullptr) {
    // `s` has stepped inside the read `pending_` held; that read goes on in `s`.
    pending_->Reset();
  }
  if (holding_) {
    holder_->Reset();
    holding_ = false;
  }
  pending_ = &s;
}

void Connection::ReleasePending() {
  if (pending_) {
    pending_->Reset();
    pending_ = nullptr;
  }
  if (holding_) {
    holder_->Reset();
    holding_ = false;
  }
  if (!cursors_.empty()) ExpireCursors();
}

void Connection::JoinHeldRead(Statement& next) {
  if (!cursors_.empty()) ExpireCursors();
  if (pending_ == nullptr && !holding_) return;
  // Also when only the schema statement keeps it: a read joined over and over would
  // otherwise never be let go.
  if (std::chrono::steady_clock::now() - readSince_ > kMaxReadAge) {
    ReleasePending();
    return;
  }
  if (pending_ != &next) return;  // `next` steps inside it; HoldPending lets `pending_` go
  // `next` must be reset before it is stepped again; a statement of the schema keeps the
  // read open meanwhile.
  if (!holder_) {
    std::string error;
    holder_ = std::make_unique<Statement>(Prepare("SELECT rowid FROM sqlite_master", error));
  }
  if (*holder_ && holder_->Step() == SQLITE_ROW) {
    holding_ = true;
  } else {
    holder_->Reset();
  }
  pending_->Reset();
  pending_ = nullptr;
}

std::uint64_t Connection::HeldRead() const {
  if (pending_ == nullptr && !holding_) return 0;
  if (std::chrono::steady_clock::now() - readSince_ > kMaxReadAge) return 0;
  return heldReads_;
}

void Connection::AddCursor(Statement& s) {
  if (cursors_.empty()) cursorsSince_ = std::chrono::steady_clock::now();
  cursors_.push_back(&s);
}

void Connection::RemoveCursor(Statement& s) {
  s.Reset();
  std::erase(cursors_, &s);
}

bool Connection::ReleaseCursors() {
  if (cursors_.empty()) return false;
  for (Statement* s : cursors_) s->Reset();
  cursors_.clear();
  ++cursorEpoch_;
  return true;
}

void Connection::ExpireCursors() {
  if (!cursors_.empty() && std::chrono::steady_clock::now() - cursorsSince_ > kMaxReadAge) {
    ReleaseCursors();
  }
}

int Connection::StepWrite(Statement& s) {
  int rc = s.Step();
  if (rc == SQLITE_BUSY) {
    const bool held = pending_ != nullptr || holding_;
    ReleasePending();
    if (ReleaseCursors() || held) {
      s.ResetKeepingBindings();  // for the second run
      rc = s.Step();
    }
  }
  return rc;
}

void Connection::AfterWrite() {
  // The engine's own default: a checkpoint once the log holds 1000 pages.
  constexpr int kCheckpointFrames = 1000;
  if (pending_ || walFrames_ < kCheckpointFrames) return;
  walFrames_ = 0;
  // A walk's cursor would keep the log from being reused; its walk starts another one.
  ReleaseCursors();
  if (trace_) [[unlikely]] {
    trace_->Checkpoint(traceId_);
  }
  sqlite3_wal_checkpoint_v2(db_.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

std::string Connection::LastError() const {
  return db_.Message();
}

Statement Statement::Prepare(sqlite3* db, std::string_view sql, std::string& error,
                             std::string_view* tail) {
  sqlite::Statement stmt(db, sql, /*persistent=*/false, tail);
  if (!stmt) {
    error = sqlite3_errmsg(db);
    return Statement();
  }
  return Statement(std::move(stmt));
}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    if (trace_) [[unlikely]] {
      TraceFinalize();
    }
    stmt_ = std::move(other.stmt_);
    trace_ = std::move(other.trace_);
    traceId_ = other.traceId_;
  }
  return *this;
}

void Statement::TraceFinalize() {
  trace_->Finalize(traceId_);
}

void Statement::TraceBindInteger(int index, std::int64_t value) {
  trace_->BindInteger(traceId_, index, value);
}

void Statement::TraceStep(int rc) {
  trace_->Step(traceId_, rc);
}

void Statement::TraceReset(bool clearBindings) {
  trace_->Reset(traceId_, clearBindings);
}

void Statement::Bind(int index, const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kNull:
      sqlite3_bind_null(stmt_.get(), index);
      break;
    case Variant::Type::kBoolean:
      sqlite3_bind_int64(stmt_.get(), index, value.Boolean() ? 1 : 0);
      break;
    case Variant::Type::kInteger:
      sqlite3_bind_int64(stmt_.get(), index, value.Integer());
      break;
    case Variant::Type::kFloat:
      sqlite3_bind_double(stmt_.get(), index, value.Float());
      break;
    case Variant::Type::kText:
      sqlite3_bind_text64(stmt_.get(), index, value.Text().data(), value.Text().size(),
                          SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    case Variant::Type::kDateTime: {
      const std::string text = StoredDateTime(value.DateTimeValue());
      sqlite3_bind_text64(stmt_.get(), index, text.data(), text.size(), SQLITE_TRANSIENT,
                          SQLITE_UTF8);
      if (trace_) [[unlikely]] {
        trace_->BindText(traceId_, index, text);
      }
      return;
    }
  }
  if (trace_) [[unlikely]] {
    switch (value.type()) {
      case Variant::Type::kNull:
        trace_->BindNull(traceId_, index);
        break;
      case Variant::Type::kBoolean:
        trace_->BindInteger(traceId_, index, value.Boolean() ? 1 : 0);
        break;
      case Variant::Type::kInteger:
        trace_->BindInteger(traceId_, index, value.Integer());
        break;
      case Variant::Type::kFloat:
        trace_->BindFloat(traceId_, index, value.Float());
        break;
      case Variant::Type::kText:
        trace_->BindText(traceId_, index, value.Text());
        break;
      case Variant::Type::kDateTime:
        break;  // told above, with the text it is bound as
    }
  }
}

bool Statement::ReadCell(int index, Variant& cell) const {
  const int type = sqlite3_column_type(stmt_.get(), index);
  switch (type) {
    case SQLITE_NULL:
      cell = Variant();
      return false;
    case SQLITE_INTEGER:
      cell = static_cast<std::int64_t>(sqlite3_column_int64(stmt_.get(), index));
      return false;
    case SQLITE_FLOAT:
      cell = sqlite3_column_double(stmt_.get(), index);
      return false;
    default: {
      const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_.get(), index));
      const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), index));
      cell.AssignText(data ? data : "", size);
      return type == SQLITE_BLOB;
    }
  }
}

}  // namespace talvor::sqldb::internal

namespace talvor::sqldb {
namespace fs = std::filesystem;

void CloseIdleConnections() {
  internal::Kept().clear();
  internal::ServerLink::CloseIdle();
}

void BeforeWaiting() {
  internal::ServerLink::EndChains();
}

void CaptureDatabases(ChangeSink* sink, CaptureMode mode) {
  internal::CaptureState& capture = internal::TheCapture();
  for (auto& connection : capture.held) connection->EndCapture();
  capture.held.clear();
  capture.sink = sink;
  capture.mode = mode;
  internal::ServerLink::CaptureAll(sink, mode);
  if (sink == nullptr) return;
  for (auto& [key, weak] : internal::Registry().byPath) {
    if (auto connection = weak.lock()) {
      connection->StartCapture(*sink, mode);
      capture.held.push_back(std::move(connection));
    }
  }
}

std::unique_ptr<RowStore> OpenDatabaseToRestore(const std::filesystem::path& path,
                                                ChangeSink* sink, std::string* error) {
  // A server as the journal names it: "odbc:" and its connection string, password hidden.
  if (const std::string name = path.string(); name.starts_with("odbc:")) {
    std::string connection = name.substr(5);
    if (connection.find("***") != std::string::npos) {
      std::optional<DatabaseTarget> target;
      try {
        target = FindTargetShownAs(name);
      } catch (const Error& e) {
        *error = e.what();
        return nullptr;
      }
      if (!target) {
        *error = "the journal hides the password of " + name +
                 ": undo needs aliases.cfg of the site folder with a line naming that server";
        return nullptr;
      }
      connection = target->connection;
    }
    return internal::OpenServerRowStore(connection, sink, error);
  }
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    *error = "cannot open " + path.string() + ": no such file";
    return nullptr;
  }
  sqlite::Database db = sqlite::Database::Open(path, SQLITE_OPEN_READWRITE, error);
  if (!db) {
    *error = "cannot open " + path.string() + ": " + *error;
    return nullptr;
  }
  std::error_code canonicalError;
  fs::path canonical = fs::weakly_canonical(path, canonicalError);
  if (canonicalError) canonical = path;
  return sqlite::OpenRowStore(std::move(db), StoreKind::kSql, canonical.string(), sink, error);
}

}  // namespace talvor::sqldb
