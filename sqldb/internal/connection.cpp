#include "sqldb/internal/connection.h"

#include <map>
#include <system_error>
#include <vector>

#include "sqldb/connection_observer.h"
#include "sqldb/database.h"
#include "sqldb/error.h"
#include "sqldb/internal/fields.h"

namespace talvor::sqldb::internal {
namespace fs = std::filesystem;

namespace {

// Open connections by canonical file path. Entries expire when the last holder lets go.
std::map<std::string, std::weak_ptr<Connection>>& Registry() {
  static std::map<std::string, std::weak_ptr<Connection>> registry;
  return registry;
}

// Connections kept open between uses, until CloseIdleConnections.
std::map<std::string, std::shared_ptr<Connection>>& Kept() {
  static std::map<std::string, std::shared_ptr<Connection>> kept;
  return kept;
}

ConnectionObserver* g_observer = nullptr;

// Connections held open for the observer.
std::vector<std::shared_ptr<Connection>>& Observed() {
  static std::vector<std::shared_ptr<Connection>> observed;
  return observed;
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
  sqlite::Database db = sqlite::Database::Open(canonical, SQLITE_OPEN_READWRITE, &message);
  if (!db) throw Error(DescribeDatabase(name, resolved) + ": " + message);
  sqlite3_busy_timeout(db.get(), 5000);
  if (db.Exec("SELECT count(*) FROM sqlite_master") != SQLITE_OK) {
    throw Error(DescribeDatabase(name, resolved) + ": " + db.Message());
  }
  // Posts are single autocommit statements; the write-ahead log keeps each of them cheap
  // and lets readers in other processes go on. Failure (a read-only file) is harmless.
  db.Exec("PRAGMA journal_mode=WAL");
  db.Exec("PRAGMA synchronous=NORMAL");
  return db;
}

std::shared_ptr<Connection> Connection::Open(std::string_view name) {
  const fs::path resolved = ResolveDatabaseName(name);
  const fs::path canonical = ExistingDatabaseFile(name, resolved);
  const std::string key = canonical.string();
  auto& registry = Registry();
  if (auto it = registry.find(key); it != registry.end()) {
    if (auto shared = it->second.lock()) return shared;
    registry.erase(it);
  }

  sqlite::Database owner = OpenDatabaseFile(name, resolved, canonical);
  sqlite3* db = owner.get();
  std::shared_ptr<Connection> connection(new Connection(std::move(owner), canonical));
  // Checkpoints are run by AfterWrite, at a moment when no read is held.
  sqlite3_wal_hook(db, &Connection::OnWalCommit, connection.get());
  registry[key] = connection;
  Kept()[key] = connection;
  if (g_observer != nullptr) {
    g_observer->OnConnectionOpened(db, canonical);
    Observed().push_back(connection);
  }
  return connection;
}

Connection::~Connection() {
  ReleasePending();
}

int Connection::OnWalCommit(void* self, sqlite3*, const char*, int frames) {
  static_cast<Connection*>(self)->walFrames_ = frames;
  return SQLITE_OK;
}

void Connection::HoldPending(Statement& s) {
  if (pending_ != &s) ReleasePending();
  pending_ = &s;
}

void Connection::ReleasePending() {
  if (pending_) {
    pending_->Reset();
    pending_ = nullptr;
  }
}

void Connection::AfterWrite() {
  // The engine's own default: a checkpoint once the log holds 1000 pages.
  constexpr int kCheckpointFrames = 1000;
  if (pending_ || walFrames_ < kCheckpointFrames) return;
  walFrames_ = 0;
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
      break;
    }
  }
}

void Statement::ReadCell(int index, Variant& cell) const {
  switch (sqlite3_column_type(stmt_.get(), index)) {
    case SQLITE_NULL:
      cell = Variant();
      break;
    case SQLITE_INTEGER:
      cell = static_cast<std::int64_t>(sqlite3_column_int64(stmt_.get(), index));
      break;
    case SQLITE_FLOAT:
      cell = sqlite3_column_double(stmt_.get(), index);
      break;
    default: {
      const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_.get(), index));
      const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), index));
      cell.AssignText(data ? data : "", size);
      break;
    }
  }
}

}  // namespace talvor::sqldb::internal

namespace talvor::sqldb {

void CloseIdleConnections() {
  internal::Kept().clear();
}

void internal::NoteRowUpdate(sqlite3* db, const std::string& table, std::int64_t rowid,
                             const std::vector<char>& assigned) {
  if (internal::g_observer != nullptr)
    internal::g_observer->OnRowUpdate(db, table, rowid, assigned);
}

void SetConnectionObserver(ConnectionObserver* observer) {
  using internal::Observed;
  internal::g_observer = observer;
  if (observer == nullptr) {
    Observed().clear();
    return;
  }
  for (auto& [key, weak] : internal::Registry()) {
    if (auto connection = weak.lock()) {
      observer->OnConnectionOpened(connection->handle(), connection->path());
      Observed().push_back(std::move(connection));
    }
  }
}

}  // namespace talvor::sqldb
