#include "bench/sqldb/statement_replay.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>
#include <utility>

#include "platform/sqlite.h"

namespace talvor::bench {
namespace {

namespace fs = std::filesystem;
using sqldb::SqlTraceEntry;
using sqldb::SqlTraceOp;
using sqldb::SqlTraceValue;

const char* OpName(SqlTraceOp op) {
  static const char* const names[] = {"?",     "open",     "prepare",    "bind", "step",
                                      "reset", "finalize", "checkpoint", "close"};
  const auto i = static_cast<std::size_t>(op);
  return i < std::size(names) ? names[i] : "?";
}

// What a step is compared by: a row, the end, or a failure of any kind.
const char* Outcome(int rc) {
  switch (rc & 0xff) {
    case SQLITE_ROW:
      return "row";
    case SQLITE_DONE:
      return "done";
    default:
      return "failed";
  }
}

std::string Shortened(const std::string& sql) {
  return sql.size() <= 80 ? sql : sql.substr(0, 77) + "...";
}

class Replayer {
 public:
  Replayer(fs::path from, fs::path to) : from_(std::move(from)), to_(std::move(to)) {}

  // Ids are numbered from 1 in the order the layer made them, so each table is a vector.
  // Statements go before the connections they were prepared on.
  ~Replayer() { statements_.clear(); }

  // The entry's outcome as "row", "ok" ... for the ones compared (prepare, step); null for
  // the others. Sets *error when the replay cannot go on.
  const char* Run(const SqlTraceEntry& e, std::string* error) {
    switch (e.op) {
      case SqlTraceOp::kOpen:
        Open(e, error);
        return nullptr;
      case SqlTraceOp::kPrepare:
        return Prepare(e, error);
      case SqlTraceOp::kBind: {
        sqlite3_stmt* s = Find(e, error);
        if (s != nullptr) Bind(s, e);
        return nullptr;
      }
      case SqlTraceOp::kStep: {
        sqlite3_stmt* s = Find(e, error);
        return s != nullptr ? Outcome(sqlite3_step(s)) : nullptr;
      }
      case SqlTraceOp::kReset: {
        sqlite3_stmt* s = Find(e, error);
        if (s == nullptr) return nullptr;
        sqlite3_reset(s);
        if (e.arg != 0) sqlite3_clear_bindings(s);
        return nullptr;
      }
      case SqlTraceOp::kFinalize:
        if (Find(e, error) != nullptr) statements_[e.id].Finalize();
        return nullptr;
      case SqlTraceOp::kCheckpoint:
        if (sqlite3* db = Connection(e.id, error)) {
          sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        }
        return nullptr;
      case SqlTraceOp::kClose:
        if (Connection(e.id, error) != nullptr) connections_[e.id].Close();
        return nullptr;
    }
    *error = "an entry of unknown kind";
    return nullptr;
  }

 private:
  fs::path Map(const std::string& recorded) const {
    const std::string from = from_.string();
    if (!from.empty() && recorded.compare(0, from.size(), from) == 0) {
      return fs::path(to_.string() + recorded.substr(from.size()));
    }
    return recorded;
  }

  // As sqldb's OpenDatabaseFile opens an agency database.
  void Open(const SqlTraceEntry& e, std::string* error) {
    const fs::path path = Map(e.bytes);
    std::string message;
    sqlite::Database db =
        sqlite::Database::Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, &message);
    if (!db || db.Exec("SELECT count(*) FROM sqlite_master", &message) != SQLITE_OK) {
      *error = "cannot open " + path.string() + ": " + message;
      return;
    }
    sqlite3_busy_timeout(db.get(), 5000);
    db.Exec("PRAGMA journal_mode=WAL");
    db.Exec("PRAGMA synchronous=NORMAL");
    db.Exec("PRAGMA mmap_size=1073741824");
    if (e.id <= 0) {
      *error = "a connection numbered " + std::to_string(e.id);
      return;
    }
    if (connections_.size() <= static_cast<std::size_t>(e.id)) connections_.resize(e.id + 1);
    connections_[e.id] = std::move(db);
  }

  sqlite3* Connection(int id, std::string* error) {
    if (id <= 0 || static_cast<std::size_t>(id) >= connections_.size() || !connections_[id]) {
      *error = "connection " + std::to_string(id) + " is not open";
      return nullptr;
    }
    return connections_[id].get();
  }

  const char* Prepare(const SqlTraceEntry& e, std::string* error) {
    sqlite3* db = Connection(e.arg, error);
    if (db == nullptr) return nullptr;
    sqlite::Statement s(db, e.bytes);
    if (e.id == 0) return s ? "prepared" : "refused";  // a failed prepare, tried once more
    if (!s) {
      *error = "statement " + std::to_string(e.id) + " does not prepare: " + sqlite3_errmsg(db) +
               " [" + Shortened(e.bytes) + "]";
      return nullptr;
    }
    if (statements_.size() <= static_cast<std::size_t>(e.id)) {
      statements_.resize(static_cast<std::size_t>(e.id) + 1);
      texts_.resize(static_cast<std::size_t>(e.id) + 1);
    }
    statements_[e.id] = std::move(s);
    texts_[e.id] = e.bytes;
    return "prepared";
  }

  sqlite3_stmt* Find(const SqlTraceEntry& e, std::string* error) {
    if (e.id <= 0 || static_cast<std::size_t>(e.id) >= statements_.size() || !statements_[e.id]) {
      *error = "statement " + std::to_string(e.id) + " is not prepared (" + OpName(e.op) + ")";
      return nullptr;
    }
    return statements_[e.id].get();
  }

  static void Bind(sqlite3_stmt* s, const SqlTraceEntry& e) {
    switch (static_cast<SqlTraceValue>(e.type)) {
      case SqlTraceValue::kNull:
        sqlite3_bind_null(s, e.arg);
        return;
      case SqlTraceValue::kInteger: {
        std::int64_t value = 0;
        std::memcpy(&value, e.bytes.data(), std::min(e.bytes.size(), sizeof value));
        sqlite3_bind_int64(s, e.arg, value);
        return;
      }
      case SqlTraceValue::kFloat: {
        double value = 0;
        std::memcpy(&value, e.bytes.data(), std::min(e.bytes.size(), sizeof value));
        sqlite3_bind_double(s, e.arg, value);
        return;
      }
      case SqlTraceValue::kText:
        sqlite3_bind_text64(s, e.arg, e.bytes.data(), e.bytes.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
        return;
    }
  }

 public:
  const std::string& Text(int id) const {
    static const std::string none;
    return id > 0 && static_cast<std::size_t>(id) < texts_.size() ? texts_[id] : none;
  }

 private:
  fs::path from_, to_;
  std::vector<sqlite::Database> connections_;  // by id; declared first: closed last
  std::vector<sqlite::Statement> statements_;  // by id
  std::vector<std::string> texts_;             // by id, for the mismatch's description
};

// What the trace says the outcome was, in the terms Run gives it.
const char* Traced(const SqlTraceEntry& e) {
  if (e.op == SqlTraceOp::kStep) return Outcome(e.code);
  return e.code == SQLITE_OK ? "prepared" : "refused";
}

}  // namespace

bool ReplaySqlTrace(const std::vector<SqlTraceEntry>& entries, const fs::path& from,
                    const fs::path& to, StatementReplayResult* result, std::string* error) {
  *result = StatementReplayResult();
  error->clear();
  // As the layer sets SQLite up before its first connection; too late (and then harmless)
  // when this process used SQLite already.
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  const auto start = std::chrono::steady_clock::now();
  {
    Replayer replayer(from, to);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const SqlTraceEntry& e = entries[i];
      const char* outcome = replayer.Run(e, error);
      if (!error->empty()) {
        *error = "entry " + std::to_string(i + 1) + " of the SQL trace: " + *error;
        return false;
      }
      ++result->calls;
      if (outcome == nullptr) continue;
      const char* traced = Traced(e);
      if (std::strcmp(outcome, traced) != 0 && result->mismatches++ == 0) {
        const std::string sql = e.op == SqlTraceOp::kPrepare ? e.bytes : replayer.Text(e.id);
        result->firstMismatch = "entry " + std::to_string(i + 1) + " (" + OpName(e.op) +
                                " of statement " + std::to_string(e.id) + " \"" + Shortened(sql) +
                                "\"): traced " + traced + ", replayed " + outcome;
      }
    }
  }
  result->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return true;
}

}  // namespace talvor::bench
