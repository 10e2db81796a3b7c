#include "bench/engine/replay.h"

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/sqlite.h"

namespace talvor::bench {
namespace {

namespace fs = std::filesystem;

// The engine's statuses (legacy/engine.h), as the trace holds them.
constexpr int kOk = 0, kIoError = 2, kFileNotOpen = 3, kKeyNotFound = 4, kDuplicateKey = 5,
              kInvalidKey = 6, kNoCurrent = 8, kEndOfFile = 9, kFileNotFound = 12,
              kBufferTooShort = 22, kNotRecordFile = 30, kLocked = 85;

enum Seek { kAfter = 0, kFrom = 1, kBefore = 2 };

int StatusOf(int rc) {
  switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return kOk;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kLocked;
    case SQLITE_CONSTRAINT:
      return kDuplicateKey;
    default:
      return kIoError;
  }
}

struct Key {
  int offset = 0;
  int length = 0;
  bool duplicates = false;
};

struct Handle;

struct File {
  sqlite::Database owner;  // declared first: closed after every statement below
  sqlite3* db = nullptr;
  int recordLength = 0;
  std::vector<Key> keys;
  std::uint64_t generation = 0;
  std::vector<Handle*> handles;
  sqlite::Statement insert, update, erase;
  // Cursor statements by key and seek, free for a handle to take: a statement is prepared
  // once and goes back here when its handle closes.
  std::vector<std::array<std::vector<sqlite3_stmt*>, 3>> free;
  std::vector<sqlite::Statement> all;
};

struct Handle {
  File* file = nullptr;
  bool positioned = false;
  bool onRecord = false;
  int posKey = 0;
  std::string posValue, posK0, record;
  std::uint64_t generation = 0;
  sqlite3_stmt* cursor = nullptr;
  int cursorKey = 0;
  bool forward = true;
  std::vector<std::array<sqlite3_stmt*, 3>> stmts;
};

std::string SelectSql(const std::vector<Key>& keys, int key, Seek seek) {
  const std::string k = "k" + std::to_string(key);
  std::string sql = "SELECT data FROM records WHERE ";
  if (keys[key].duplicates) {
    sql += "(" + k + ", k0) " + (seek == kBefore ? "<" : ">") + " (?1, ?2) ORDER BY " + k +
           (seek == kBefore ? " DESC, k0 DESC" : ", k0");
  } else {
    sql += k +
           (seek == kAfter  ? " > ?1"
            : seek == kFrom ? " >= ?1"
                            : " < ?1") +
           " ORDER BY " + k + (seek == kBefore ? " DESC" : "");
  }
  return sql;
}

// Binds `bytes` as a BLOB. A cursor's values are copied (`copy`): the statement reads them
// again when it is stepped later; a write's live through its one step.
int Bind(sqlite3_stmt* s, int i, std::string_view bytes, bool copy = false) {
  if (bytes.empty()) return sqlite3_bind_zeroblob(s, i, 0);
  return sqlite3_bind_blob(s, i, bytes.data(), static_cast<int>(bytes.size()),
                           copy ? SQLITE_TRANSIENT : SQLITE_STATIC);
}

class Replayer {
 public:
  Replayer(fs::path from, fs::path to) : from_(std::move(from)), to_(std::move(to)) {}

  ~Replayer() {
    for (auto& [id, h] : handles_) CloseHandle(*h);
  }

  int Run(const TraceEntry& e, std::string* error) {
    switch (e.op) {
      case TraceOp::kNewHandle:
        handles_[e.handle] = std::make_unique<Handle>();
        return kOk;
      case TraceOp::kOpen:
        return Open(e, error);
      case TraceOp::kEqual:
      case TraceOp::kGreater:
      case TraceOp::kLess:
      case TraceOp::kFirst:
      case TraceOp::kLast:
        return Keyed(e);
      case TraceOp::kNext:
      case TraceOp::kPrevious:
        return Step(e);
      case TraceOp::kInsert:
        return Insert(e);
      case TraceOp::kUpdate:
        return Update(e);
      case TraceOp::kDelete:
        return Delete(e);
      case TraceOp::kClose: {
        Handle* h = Find(e.handle);
        if (h == nullptr || h->file == nullptr) return kFileNotOpen;
        CloseHandle(*h);
        return kOk;
      }
      case TraceOp::kDestroy: {
        auto it = handles_.find(e.handle);
        if (it == handles_.end()) return kFileNotOpen;
        CloseHandle(*it->second);
        handles_.erase(it);
        return kOk;
      }
    }
    return kIoError;
  }

 private:
  Handle* Find(int h) {
    auto it = handles_.find(h);
    return it == handles_.end() ? nullptr : it->second.get();
  }

  fs::path Map(const std::string& recorded) const {
    const std::string from = from_.string();
    if (recorded.compare(0, from.size(), from) == 0) {
      return fs::path(to_.string() + recorded.substr(from.size()));
    }
    return recorded;
  }

  void ResetCursor(Handle& h) {
    if (h.cursor != nullptr) {
      sqlite3_reset(h.cursor);
      h.cursor = nullptr;
    }
  }

  void CloseHandle(Handle& h) {
    if (h.file == nullptr) return;
    ResetCursor(h);
    for (std::size_t k = 0; k < h.stmts.size(); ++k) {
      for (int s = 0; s < 3; ++s) {
        if (h.stmts[k][s] != nullptr) h.file->free[k][s].push_back(h.stmts[k][s]);
      }
    }
    h.stmts.clear();
    std::erase(h.file->handles, &h);
    h.file = nullptr;
    h.positioned = h.onRecord = false;
  }

  // The file stays open to the end of the replay, as a recorded run keeps its files open.
  int Open(const TraceEntry& e, std::string* error) {
    Handle* h = Find(e.handle);
    if (h == nullptr) return kFileNotOpen;
    CloseHandle(*h);
    if (e.status != kOk) {
      // A failed open is checked for what can be told from outside: no file there.
      std::error_code ec;
      return fs::exists(Map(e.bytes), ec) ? kNotRecordFile : kFileNotFound;
    }
    std::unique_ptr<File>& slot = files_[e.bytes];
    if (!slot) {
      const fs::path path = Map(e.bytes);
      std::error_code ec;
      if (!fs::is_regular_file(path, ec)) return kFileNotFound;
      auto f = std::make_unique<File>();
      std::string why;
      f->owner = sqlite::Database::Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, &why);
      if (!f->owner) return kNotRecordFile;
      f->db = f->owner.get();
      sqlite3_busy_timeout(f->db, 1000);
      sqlite3_exec(f->db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
      {
        sqlite::Statement q(f->db, "SELECT record_length FROM recfile");
        if (!q || sqlite3_step(q.get()) != SQLITE_ROW) return kNotRecordFile;
        f->recordLength = sqlite3_column_int(q.get(), 0);
        sqlite::Statement keys(
            f->db, "SELECT offset, length, duplicates FROM recfile_keys ORDER BY keynum");
        while (keys && sqlite3_step(keys.get()) == SQLITE_ROW) {
          f->keys.push_back({sqlite3_column_int(keys.get(), 0), sqlite3_column_int(keys.get(), 1),
                             sqlite3_column_int(keys.get(), 2) != 0});
        }
      }
      const int n = static_cast<int>(f->keys.size());
      std::string columns, marks;
      for (int k = 0; k <= n; ++k) {
        columns += k < n ? "k" + std::to_string(k) + ", " : std::string("data");
        marks += "?" + std::to_string(k + 1) + (k < n ? ", " : "");
      }
      std::string set;
      for (int k = 0; k < n; ++k)
        set += "k" + std::to_string(k) + " = ?" + std::to_string(k + 1) + ", ";
      const std::string sqls[3] = {"INSERT INTO records(" + columns + ") VALUES(" + marks + ")",
                                   "UPDATE records SET " + set + "data = ?" +
                                       std::to_string(n + 1) + " WHERE k0 = ?" +
                                       std::to_string(n + 2),
                                   "DELETE FROM records WHERE k0 = ?1"};
      sqlite::Statement* slots[3] = {&f->insert, &f->update, &f->erase};
      for (int i = 0; i < (n > 0 ? 3 : 1); ++i) {
        *slots[i] = sqlite::Statement(f->db, sqls[i], /*persistent=*/true);
        if (!*slots[i]) {
          *error = path.string() + ": " + sqlite3_errmsg(f->db) + " [" + sqls[i] + "]";
          return kIoError;
        }
      }
      f->free.resize(f->keys.size());
      slot = std::move(f);
    }
    h->file = slot.get();
    h->file->handles.push_back(h);
    h->stmts.assign(h->file->keys.size(), {nullptr, nullptr, nullptr});
    return kOk;
  }

  sqlite3_stmt* Statement(Handle& h, int key, Seek seek) {
    sqlite3_stmt*& mine = h.stmts[key][seek];
    if (mine != nullptr) return mine;
    File& f = *h.file;
    std::vector<sqlite3_stmt*>& pool = f.free[key][seek];
    if (!pool.empty()) {
      mine = pool.back();
      pool.pop_back();
      return mine;
    }
    sqlite::Statement made(f.db, SelectSql(f.keys, key, seek), /*persistent=*/true);
    if (!made) return nullptr;
    mine = made.get();
    f.all.push_back(std::move(made));
    return mine;
  }

  int StartCursor(Handle& h, int key, Seek seek, std::string_view value, std::string_view k0) {
    ResetCursor(h);
    sqlite3_stmt* s = Statement(h, key, seek);
    if (s == nullptr) return kIoError;
    Bind(s, 1, value, true);
    if (h.file->keys[key].duplicates) Bind(s, 2, k0, true);
    h.cursor = s;
    h.cursorKey = key;
    h.forward = seek != kBefore;
    return kOk;
  }

  void Stand(Handle& h, int key, const char* record) {
    const File& f = *h.file;
    h.positioned = h.onRecord = true;
    h.posKey = key;
    h.posValue.assign(record + f.keys[key].offset, f.keys[key].length);
    h.posK0.assign(record + f.keys[0].offset, f.keys[0].length);
    h.record.assign(record, f.recordLength);
    h.generation = f.generation;
  }

  int Deliver(Handle& h, const std::string* equal) {
    const int rc = sqlite3_step(h.cursor);
    if (rc == SQLITE_ROW) {
      const char* row = static_cast<const char*>(sqlite3_column_blob(h.cursor, 0));
      if (row == nullptr || sqlite3_column_bytes(h.cursor, 0) != h.file->recordLength) {
        ResetCursor(h);
        return kIoError;
      }
      if (equal != nullptr) {
        const Key& k = h.file->keys[h.cursorKey];
        if (std::memcmp(row + k.offset, equal->data(), k.length) != 0) {
          ResetCursor(h);
          return kKeyNotFound;
        }
      }
      Stand(h, h.cursorKey, row);
      return kOk;
    }
    ResetCursor(h);
    if (rc == SQLITE_DONE) return equal != nullptr ? kKeyNotFound : kEndOfFile;
    return StatusOf(rc);
  }

  Handle* Ready(const TraceEntry& e, int* status) {
    Handle* h = Find(e.handle);
    if (h == nullptr || h->file == nullptr) {
      *status = kFileNotOpen;
      return nullptr;
    }
    return h;
  }

  int Keyed(const TraceEntry& e) {
    int status = 0;
    Handle* h = Ready(e, &status);
    if (h == nullptr) return status;
    File& f = *h->file;
    if (e.key < 0 || e.key >= static_cast<int>(f.keys.size())) return kInvalidKey;
    if (e.length < f.recordLength) return kBufferTooShort;
    const Key& k = f.keys[e.key];
    std::string value(k.length, '\0');
    std::memcpy(value.data(), e.bytes.data(), std::min<std::size_t>(e.bytes.size(), k.length));
    const std::string lowest;
    const std::string highest0(f.keys[0].length + 1, '\xff');
    int rc = kOk;
    switch (e.op) {
      case TraceOp::kEqual:
        rc = k.duplicates ? StartCursor(*h, e.key, kAfter, value, lowest)
                          : StartCursor(*h, e.key, kFrom, value, {});
        break;
      case TraceOp::kGreater:
        rc = StartCursor(*h, e.key, kAfter, value, k.duplicates ? highest0 : lowest);
        break;
      case TraceOp::kLess:
        rc = StartCursor(*h, e.key, kBefore, value, lowest);
        break;
      case TraceOp::kFirst:
        rc = StartCursor(*h, e.key, kAfter, lowest, lowest);
        break;
      default:
        rc = StartCursor(*h, e.key, kBefore, std::string(k.length + 1, '\xff'), highest0);
        break;
    }
    if (rc != kOk) return rc;
    return Deliver(*h, e.op == TraceOp::kEqual ? &value : nullptr);
  }

  int Step(const TraceEntry& e) {
    int status = 0;
    Handle* h = Ready(e, &status);
    if (h == nullptr) return status;
    if (!h->positioned) return kNoCurrent;
    if (e.length < h->file->recordLength) return kBufferTooShort;
    const bool forward = e.op == TraceOp::kNext;
    if (h->cursor == nullptr || h->forward != forward || h->cursorKey != h->posKey) {
      const std::string value = h->posValue, k0 = h->posK0;
      if (int rc = StartCursor(*h, h->posKey, forward ? kAfter : kBefore, value, k0)) return rc;
    }
    return Deliver(*h, nullptr);
  }

  // Every open statement on the file is reset, so that the write commits by itself.
  int Write(File& f, sqlite3_stmt* s) {
    for (Handle* other : f.handles) ResetCursor(*other);
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
  }

  int BindRecord(File& f, sqlite3_stmt* s, const std::string& record) {
    for (std::size_t k = 0; k < f.keys.size(); ++k) {
      Bind(s, static_cast<int>(k) + 1,
           std::string_view(record).substr(f.keys[k].offset, f.keys[k].length));
    }
    return Bind(s, static_cast<int>(f.keys.size()) + 1, record);
  }

  int Insert(const TraceEntry& e) {
    int status = 0;
    Handle* h = Ready(e, &status);
    if (h == nullptr) return status;
    File& f = *h->file;
    if (static_cast<int>(e.bytes.size()) != f.recordLength) return kBufferTooShort;
    BindRecord(f, f.insert.get(), e.bytes);
    if (int rc = Write(f, f.insert.get())) return StatusOf(rc);
    ++f.generation;
    if (!f.keys.empty()) Stand(*h, h->positioned ? h->posKey : 0, e.bytes.data());
    return kOk;
  }

  int Update(const TraceEntry& e) {
    int status = 0;
    Handle* h = Ready(e, &status);
    if (h == nullptr) return status;
    File& f = *h->file;
    if (static_cast<int>(e.bytes.size()) != f.recordLength) return kBufferTooShort;
    if (!h->onRecord) return kNoCurrent;
    if (h->generation == f.generation && h->record == e.bytes) return kOk;
    BindRecord(f, f.update.get(), e.bytes);
    Bind(f.update.get(), static_cast<int>(f.keys.size()) + 2, h->posK0);
    if (int rc = Write(f, f.update.get())) return StatusOf(rc);
    if (sqlite3_changes(f.db) == 0) return kNoCurrent;
    ++f.generation;
    Stand(*h, h->posKey, e.bytes.data());
    return kOk;
  }

  int Delete(const TraceEntry& e) {
    int status = 0;
    Handle* h = Ready(e, &status);
    if (h == nullptr) return status;
    File& f = *h->file;
    if (!h->onRecord) return kNoCurrent;
    Bind(f.erase.get(), 1, h->posK0);
    if (int rc = Write(f, f.erase.get())) return StatusOf(rc);
    if (sqlite3_changes(f.db) == 0) return kNoCurrent;
    ++f.generation;
    h->onRecord = false;
    return kOk;
  }

  fs::path from_, to_;
  std::unordered_map<int, std::unique_ptr<Handle>> handles_;
  std::map<std::string, std::unique_ptr<File>> files_;  // destroyed after the handles
};

const char* OpName(TraceOp op) {
  static const char* const names[] = {"",       "new",    "open",   "equal", "greater",
                                      "less",   "first",  "last",   "next",  "previous",
                                      "insert", "update", "delete", "close", "destroy"};
  return names[static_cast<int>(op)];
}

}  // namespace

bool ReplayEngineTrace(const std::vector<TraceEntry>& entries, const fs::path& from,
                       const fs::path& to, ReplayResult* result, std::string* error) {
  *result = ReplayResult();
  const auto start = std::chrono::steady_clock::now();
  {
    Replayer replayer(from, to);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const TraceEntry& e = entries[i];
      const int status = replayer.Run(e, error);
      if (!error->empty()) return false;
      ++result->calls;
      if (status != e.status) {
        if (result->mismatches++ == 0) {
          result->firstMismatch = "call " + std::to_string(i + 1) + " (" + OpName(e.op) +
                                  " on handle " + std::to_string(e.handle) + "): traced " +
                                  std::to_string(e.status) + ", replayed " + std::to_string(status);
        }
      }
    }
  }
  result->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return true;
}

}  // namespace talvor::bench
