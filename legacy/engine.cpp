// The engine over SQLite (storage in legacy/store.h).
//
// Speed comes from keeping one stepping statement (a cursor) per handle: a walk with
// btrGetNext steps the statement the last read left open instead of seeking again. A cursor
// is only trusted while the file has not been written: every write first resets every
// cursor on the file (which also ends the connection's read transaction, so that the write
// commits on its own) and bumps the file's generation; the next read on another handle
// then seeks again from its position, which is a key value.
//
// Between writes the connection keeps its read transaction (a held statement) instead of
// ending and starting one around every lookup; and lookups by key 0 are answered from the
// file's LookupCache, which every record read fills, every write of ours drops the keys
// of, and a write of another connection clears. Both rest on one rule: no more often than
// every kMaxSnapshotAge the snapshot is let go and PRAGMA data_version asked whether anyone
// else wrote the file; so another process's writes reach our reads within that time.
#include "legacy/engine.h"

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "legacy/engine_trace.h"
#include "legacy/fault_injection.h"
#include "legacy/path_rules.h"
#include "legacy/record_file.h"
#include "legacy/stats.h"
#include "legacy/internal/lookup_cache.h"
#include "legacy/internal/store.h"
#include "legacy/capture.h"
#include "platform/sqlite_capture.h"
#include "platform/sqlite_restore.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

constexpr auto kMaxSnapshotAge = std::chrono::milliseconds(200);
// The key-0 lookup cache of one file: enough slots for the distinct clients of a large
// agency's lookups, within a memory bound that a 4,000-byte record keeps small.
constexpr std::size_t kLookupSlots = 1 << 16;
constexpr std::size_t kLookupBytes = std::size_t{16} << 20;

// The three statements a handle may step on one key.
enum Seek { kAfter = 0, kFrom = 1, kBefore = 2 };

struct Handle;

// One open record file: the process's one connection to it, shared by its handles.
struct File {
  std::string id;  // canonical path, the registry key
  sqlite::Database db;  // declared first: the statements below are finalized before it closes
  RecordFileDefinition def;
  std::uint64_t generation = 0;  // bumped by every write, ours or one seen of another
  std::vector<Handle*> handles;
  int active_cursors = 0;
  // The last look for other connections' writes, and what PRAGMA data_version said then.
  SteadyClock::time_point checked;
  long long data_version = 0;
  bool holding = false;  // `hold` is stepped: the read transaction outlives the cursors
  std::unique_ptr<store::LookupCache> lookups;  // files with keys only
  store::Statement insert, update, erase, current, hold, version;
  std::unique_ptr<sqlite::Capture> capture;  // while a run is recorded; finished first
};

struct Cursor {
  sqlite3_stmt* stmt = nullptr;  // being stepped; null when the handle has no cursor
  int key = 0;
  bool forward = true;
  std::uint64_t generation = 0;
};

struct Handle {
  std::shared_ptr<File> file;  // null while no file is open
  std::string name;            // last path component given to btrOpen (for fault rules)
  bool positioned = false;     // a read (or a write) gave the handle a key value
  bool on_record = false;      // ... and the record it names was not deleted by this handle
  int pos_key = 0;
  std::string pos_value;  // value of key pos_key of the current record
  std::string pos_k0;     // value of key 0 of the current record
  std::string pos_record;          // the bytes of the current record when it was stood on
  std::uint64_t pos_generation = 0;  // the file's generation then
  Cursor cursor;
  std::vector<std::array<store::Statement, 3>> stmts;  // per key, by Seek; made on first use
};

struct Engine {
  std::mutex mutex;
  int next_handle = 1;
  std::unordered_map<int, std::unique_ptr<Handle>> handles;
  std::map<std::string, std::weak_ptr<File>> files;
  ChangeSink* sink = nullptr;  // the capture in force (legacy/capture.h)
  CaptureMode mode = CaptureMode::kRecord;
  std::vector<std::shared_ptr<File>> kept;  // held open for the capture
  EngineTraceWriter trace;  // empty unless TALVOR_ENGINE_TRACE names a file

  Engine() {
    if (const char* path = std::getenv(kEngineTraceVariable); path != nullptr && *path != '\0') {
      std::string error;
      trace = EngineTraceWriter::Create(path, &error);
      if (!trace) std::fprintf(stderr, "%s\n", error.c_str());
    }
  }

  ~Engine() {
    for (auto& [id, handle] : handles) {
      handle->cursor.stmt = nullptr;
      handle->stmts.clear();
    }
    handles.clear();
  }
};

Engine& TheEngine() {
  static Engine engine;
  return engine;
}

Handle* Find(int h) {
  auto& handles = TheEngine().handles;
  auto it = handles.find(h);
  return it == handles.end() ? nullptr : it->second.get();
}

void StartCapture(File& f, ChangeSink& sink, CaptureMode mode) {
  f.capture = std::make_unique<sqlite::Capture>(f.db.get(), sink, sink.OnStore(StoreKind::kRecord, f.id),
                                                StoreKind::kRecord, mode);
}

// ---- cursors ----

void ResetCursor(Handle& h) {
  if (h.cursor.stmt != nullptr) {
    sqlite3_reset(h.cursor.stmt);
    h.cursor.stmt = nullptr;
    --h.file->active_cursors;
  }
}

// Ends the connection's read transaction: every cursor on `f` and the held statement are
// reset. Before every write, so that the write commits on its own.
void ReleaseSnapshot(File& f) {
  for (Handle* h : f.handles) ResetCursor(*h);
  if (f.holding) {
    sqlite3_reset(f.hold.get());
    f.holding = false;
  }
}

// Keeps the read transaction open across the cursors' resets until ReleaseSnapshot.
void HoldSnapshot(File& f) {
  if (f.holding) return;
  if (!f.hold) {
    f.hold = store::Statement(f.db.get(), "SELECT record_length FROM recfile", true);
    if (!f.hold) return;  // only slower
  }
  if (sqlite3_step(f.hold.get()) == SQLITE_ROW) {
    f.holding = true;
  } else {
    sqlite3_reset(f.hold.get());
  }
}

// PRAGMA data_version of `f` in a fresh read transaction; false when it cannot be read.
bool ReadDataVersion(File& f, long long* version) {
  if (!f.version) {
    f.version = store::Statement(f.db.get(), "PRAGMA data_version", true);
    if (!f.version) return false;
  }
  const bool ok = sqlite3_step(f.version.get()) == SQLITE_ROW;
  if (ok) *version = sqlite3_column_int64(f.version.get(), 0);
  sqlite3_reset(f.version.get());
  return ok;
}

// Forgets everything read from `f`: cached lookups, cursors, the handles' bytes to compare.
void ForgetReads(File& f) {
  ReleaseSnapshot(f);
  if (f.lookups) f.lookups->Clear();
  ++f.generation;
}

// Called before every read. No more often than kMaxSnapshotAge, lets the snapshot go and
// asks whether another connection wrote the file since the last look; if one did, or the
// answer cannot be had, nothing read before is trusted. Every snapshot taken after a look
// is newer than the version it read, so a write the next look misses is in every snapshot.
void Freshen(File& f) {
  const SteadyClock::time_point now = SteadyClock::now();
  if (now - f.checked <= kMaxSnapshotAge) return;
  ReleaseSnapshot(f);
  f.checked = now;
  long long version = 0;
  if (!ReadDataVersion(f, &version) || version != f.data_version) {
    f.data_version = version;
    ForgetReads(f);
  }
}

std::string_view Key0Of(const File& f, const char* record) {
  const KeyDefinition& k0 = f.def.keys[0];
  return {record + k0.offset, static_cast<std::size_t>(k0.length)};
}

// Before a write of ours that may change the record under key-0 value `k0`.
void DropLookup(File& f, std::string_view k0) {
  if (f.lookups) f.lookups->Drop(k0);
}

std::string SelectSql(const RecordFileDefinition& def, int key, Seek seek) {
  std::string k = store::KeyColumn(key);
  bool dup = def.keys[key].duplicates;
  std::string sql = "SELECT data FROM records WHERE ";
  if (dup) {
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

// Starts the handle's cursor on key `key`; `value` binds ?1 and, for a key with duplicates,
// `k0` binds ?2. Returns an SQLite code.
int StartCursor(Handle& h, int key, Seek seek, std::string_view value, std::string_view k0) {
  File& f = *h.file;
  ResetCursor(h);
  store::Statement& slot = h.stmts[key][seek];
  if (!slot) {
    slot = store::Statement(f.db.get(), SelectSql(f.def, key, seek), /*persistent=*/true);
    if (!slot) return slot.prepare_rc();
  }
  sqlite3_stmt* stmt = slot.get();
  int rc = store::BindBlob(stmt, 1, value);
  if (rc == SQLITE_OK && f.def.keys[key].duplicates) rc = store::BindBlob(stmt, 2, k0);
  if (rc != SQLITE_OK) return rc;
  HoldSnapshot(f);
  ++f.active_cursors;
  h.cursor = Cursor{stmt, key, seek != kBefore, f.generation};
  return SQLITE_OK;
}

// Makes the record `record` the handle's current record in key `key`.
void Stand(Handle& h, int key, const char* record) {
  const RecordFileDefinition& def = h.file->def;
  const KeyDefinition& kd = def.keys[key];
  const KeyDefinition& k0 = def.keys[0];
  h.positioned = true;
  h.on_record = true;
  h.pos_key = key;
  h.pos_value.assign(record + kd.offset, kd.length);
  h.pos_k0.assign(record + k0.offset, k0.length);
  h.pos_record.assign(record, def.recordLength);
  h.pos_generation = h.file->generation;
}

// A record just read is what the file holds under its key 0 until the next write.
void KeepLookup(File& f, const char* record) {
  if (f.lookups) f.lookups->Keep(Key0Of(f, record), record);
}

EngineStats g_stats;

// Steps the handle's cursor and delivers the row. With `equal` set, the row must hold that
// value in the cursor's key, else kBtrKeyNotFound.
int Deliver(Handle& h, void* data, int* length, const std::string* equal) {
  File& f = *h.file;
  Cursor& c = h.cursor;
  int rc = sqlite3_step(c.stmt);
  if (rc == SQLITE_ROW) {
    const char* row = static_cast<const char*>(sqlite3_column_blob(c.stmt, 0));
    int size = sqlite3_column_bytes(c.stmt, 0);
    if (size != f.def.recordLength || row == nullptr) {
      ResetCursor(h);
      return kBtrIoError;
    }
    if (equal != nullptr) {
      const KeyDefinition& kd = f.def.keys[c.key];
      if (std::memcmp(row + kd.offset, equal->data(), kd.length) != 0) {
        ResetCursor(h);
        return kBtrKeyNotFound;
      }
    }
    std::memcpy(data, row, size);
    *length = size;
    Stand(h, c.key, row);
    KeepLookup(f, row);
    ++g_stats.recordsRead;
    return kBtrOk;
  }
  ResetCursor(h);
  if (rc == SQLITE_DONE) return equal != nullptr ? kBtrKeyNotFound : kBtrEndOfFile;
  return store::StatusOf(rc);
}

// btrGetEqual on key 0 from the lookup cache: true with *status set when the cache knew
// the answer, which is then what a seek would have given.
bool CachedLookup(Handle& h, void* data, int* length, const std::string& value, int* status) {
  File& f = *h.file;
  const char* record = nullptr;
  const store::LookupCache::Answer answer =
      f.lookups ? f.lookups->Find(value, &record) : store::LookupCache::Answer::kUnknown;
  if (answer == store::LookupCache::Answer::kUnknown) return false;
  // The cursor stood where the handle stood; a walk after this seeks from the new position.
  ResetCursor(h);
  if (answer == store::LookupCache::Answer::kNoRecord) {
    *status = kBtrKeyNotFound;
    return true;
  }
  std::memcpy(data, record, f.def.recordLength);
  *length = f.def.recordLength;
  Stand(h, 0, record);
  ++g_stats.recordsRead;
  *status = kBtrOk;
  return true;
}

// ---- argument checks ----

// The handle when it has a file open, else null and *status set.
Handle* OpenHandle(int h, int* status) {
  Handle* handle = Find(h);
  if (handle == nullptr || !handle->file) {
    *status = kBtrFileNotOpen;
    return nullptr;
  }
  return handle;
}

int CheckFault(const Handle& h, FaultOp op) {
  if (!fault_internal::Armed()) return 0;
  return fault_internal::Check(h.name, op);
}

bool LengthOk(const Handle& h, const int* length) {
  return length != nullptr && *length >= h.file->def.recordLength;
}

// The key text as a value of `len` bytes: its bytes up to the NUL, then NUL bytes.
std::string KeyValue(const char* key, int len) {
  std::string value(len, '\0');
  for (int i = 0; key != nullptr && i < len && key[i] != '\0'; ++i) value[i] = key[i];
  return value;
}

// Below every key value / above every key value of `len` bytes.
std::string_view Lowest() {
  return {};
}
std::string Highest(int len) {
  return std::string(len + 1, '\xff');
}

enum class ReadKind { kEqual, kGreater, kLess, kFirst, kLast };

int KeyedRead(int h, void* data, int* length, const char* key, int key_number, ReadKind kind) {
  int status = 0;
  Handle* handle = OpenHandle(h, &status);
  if (handle == nullptr) return status;
  if (int fault = CheckFault(*handle, FaultOp::kRead)) return fault;
  File& f = *handle->file;
  if (key_number < 0 || key_number >= static_cast<int>(f.def.keys.size())) {
    return kBtrInvalidKeyNumber;
  }
  if (!LengthOk(*handle, length) || data == nullptr) return kBtrDataBufferTooShort;
  Freshen(f);
  const KeyDefinition& kd = f.def.keys[key_number];
  bool dup = kd.duplicates;
  int len0 = f.def.keys[0].length;
  std::string value;
  int rc = SQLITE_OK;
  switch (kind) {
    case ReadKind::kEqual:
      value = KeyValue(key, kd.length);
      if (key_number == 0 && CachedLookup(*handle, data, length, value, &status)) return status;
      rc = dup ? StartCursor(*handle, key_number, kAfter, value, Lowest())
               : StartCursor(*handle, key_number, kFrom, value, {});
      break;
    case ReadKind::kGreater:
      value = KeyValue(key, kd.length);
      rc = StartCursor(*handle, key_number, kAfter, value, dup ? Highest(len0) : std::string());
      break;
    case ReadKind::kLess:
      value = KeyValue(key, kd.length);
      rc = StartCursor(*handle, key_number, kBefore, value, Lowest());
      break;
    case ReadKind::kFirst:
      rc = StartCursor(*handle, key_number, kAfter, Lowest(), Lowest());
      break;
    case ReadKind::kLast:
      rc = StartCursor(*handle, key_number, kBefore, Highest(kd.length), Highest(len0));
      break;
  }
  if (rc != SQLITE_OK) return store::StatusOf(rc);
  status = Deliver(*handle, data, length, kind == ReadKind::kEqual ? &value : nullptr);
  if (status == kBtrKeyNotFound && key_number == 0 && f.lookups) f.lookups->Keep(value, nullptr);
  return status;
}

int Step(int h, void* data, int* length, bool forward) {
  int status = 0;
  Handle* handle = OpenHandle(h, &status);
  if (handle == nullptr) return status;
  if (int fault = CheckFault(*handle, FaultOp::kRead)) return fault;
  if (!handle->positioned) return kBtrNoCurrentRecord;
  if (!LengthOk(*handle, length) || data == nullptr) return kBtrDataBufferTooShort;
  File& f = *handle->file;
  Freshen(f);
  const Cursor& c = handle->cursor;
  bool live = c.stmt != nullptr && c.forward == forward && c.key == handle->pos_key &&
              c.generation == f.generation;
  if (!live) {
    // Copies: StartCursor may be given the handle's own position.
    std::string value = handle->pos_value;
    std::string k0 = handle->pos_k0;
    int rc = StartCursor(*handle, handle->pos_key, forward ? kAfter : kBefore, value, k0);
    if (rc != SQLITE_OK) return store::StatusOf(rc);
  }
  return Deliver(*handle, data, length, nullptr);
}

// Binds the key values of `record` to ?1..?n of `stmt`.
int BindKeys(sqlite3_stmt* stmt, const RecordFileDefinition& def, const char* record) {
  for (std::size_t k = 0; k < def.keys.size(); ++k) {
    const KeyDefinition& kd = def.keys[k];
    int rc = sqlite3_bind_blob(stmt, static_cast<int>(k) + 1, record + kd.offset, kd.length,
                               SQLITE_STATIC);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

// Runs a prepared write statement once and leaves it ready for the next use.
int RunWrite(File& f, sqlite3_stmt* stmt) {
  int rc = sqlite3_step(stmt);
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (f.capture) f.capture->StatementEnded(rc == SQLITE_DONE);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

store::Statement& WriteStatement(File& f, store::Statement& slot, const std::string& sql) {
  if (!slot) slot = store::Statement(f.db.get(), sql, /*persistent=*/true);
  return slot;
}

void Detach(Handle& h) {
  if (!h.file) return;
  ResetCursor(h);
  h.stmts.clear();
  std::shared_ptr<File> file = std::move(h.file);
  std::erase(file->handles, &h);
  // A file left without handles (kept open for a capture) holds no read transaction.
  if (file->handles.empty()) ReleaseSnapshot(*file);
  if (file.use_count() == 1) TheEngine().files.erase(file->id);
  h.positioned = false;
  h.on_record = false;
  h.name.clear();
}

// ---- the call trace (legacy/engine_trace.h); reached only while one is written ----

int LengthOf(const int* length) { return length != nullptr ? *length : 0; }

std::string_view KeyText(const char* key) {
  return key != nullptr ? std::string_view(key) : std::string_view();
}

// The record a write was given, as far as the handle's file says a record goes.
std::string_view RecordOf(int h, const void* data, const int* length) {
  const Handle* handle = Find(h);
  if (handle == nullptr || !handle->file || data == nullptr || !LengthOk(*handle, length)) {
    return {};
  }
  return {static_cast<const char*>(data), static_cast<std::size_t>(handle->file->def.recordLength)};
}

}  // namespace
}  // namespace talvor

using namespace talvor;  // NOLINT(google-build-using-namespace): the btr* names are global.

int CBtrvOapi() {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  int id = e.next_handle++;
  e.handles.emplace(id, std::make_unique<Handle>());
  if (e.trace) [[unlikely]] e.trace.Add(TraceOp::kNewHandle, id, 0, kBtrOk, 0, {});
  return id;
}

static int OpenCall(int h, const char* path) {
  Engine& e = TheEngine();
  Handle* handle = Find(h);
  if (handle == nullptr) return kBtrFileNotOpen;
  Detach(*handle);
  if (path == nullptr) return kBtrFileNotFound;
  std::string name(LegacyFileName(path));
  if (fault_internal::Armed()) {
    if (int fault = fault_internal::Check(name, FaultOp::kOpen)) return fault;
  }
  std::optional<fs::path> resolved = ResolveLegacyPath(path);
  if (!resolved) return kBtrFileNotFound;
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(*resolved, ec);
  std::string id = (ec ? fs::absolute(*resolved, ec) : canonical).string();

  // The name a routine opens a file by says which file it expects: a file of another record
  // length under a known name (a policy file copied over "ap") is not that file. Checked on
  // every open, as a link may reach a file already open under its own name.
  const std::string opened_as = resolved->filename().string();
  std::shared_ptr<File> file;
  if (auto it = e.files.find(id); it != e.files.end()) file = it->second.lock();
  if (std::string why; file && !FitsName(opened_as, file->def, &why)) return kBtrNotRecordFile;
  if (!file) {
    sqlite::Database db;
    RecordFileDefinition def;
    std::string message;
    int status = store::OpenRecordDatabase(*resolved, &db, &def, &message, opened_as);
    if (status != kBtrOk) return status;
    file = std::make_shared<File>();
    file->id = id;
    file->db = std::move(db);
    file->def = std::move(def);
    if (!file->def.keys.empty()) {
      file->lookups = std::make_unique<store::LookupCache>(
          file->def.keys[0].length, file->def.recordLength, kLookupSlots, kLookupBytes);
    }
    // The look for other connections' writes starts from the state the file was opened in.
    file->checked = SteadyClock::now();
    if (!ReadDataVersion(*file, &file->data_version)) file->checked = {};
    e.files[id] = file;
    if (e.sink != nullptr) {
      StartCapture(*file, *e.sink, e.mode);
      e.kept.push_back(file);
    }
  }
  file->handles.push_back(handle);
  handle->stmts.resize(file->def.keys.size());
  handle->file = std::move(file);
  handle->name = std::move(name);
  return kBtrOk;
}

int btrGetEqual(int h, void* data, int* length, const char* key, int keyNum, int /*lock*/) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = KeyedRead(h, data, length, key, keyNum, ReadKind::kEqual);
  if (e.trace) [[unlikely]] {
    e.trace.Add(TraceOp::kEqual, h, keyNum, status, LengthOf(length), KeyText(key));
  }
  return status;
}

int btrGetGreater(int h, void* data, int* length, const char* key, int keyNum, int /*lock*/) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = KeyedRead(h, data, length, key, keyNum, ReadKind::kGreater);
  if (e.trace) [[unlikely]] {
    e.trace.Add(TraceOp::kGreater, h, keyNum, status, LengthOf(length), KeyText(key));
  }
  return status;
}

int btrGetLess(int h, void* data, int* length, const char* key, int keyNum, int /*lock*/) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = KeyedRead(h, data, length, key, keyNum, ReadKind::kLess);
  if (e.trace) [[unlikely]] {
    e.trace.Add(TraceOp::kLess, h, keyNum, status, LengthOf(length), KeyText(key));
  }
  return status;
}

int btrGetFirst(int h, void* data, int* length, int keyNum, int /*lock*/) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = KeyedRead(h, data, length, nullptr, keyNum, ReadKind::kFirst);
  if (e.trace) [[unlikely]] e.trace.Add(TraceOp::kFirst, h, keyNum, status, LengthOf(length), {});
  return status;
}

int btrGetLast(int h, void* data, int* length, int keyNum, int /*lock*/) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = KeyedRead(h, data, length, nullptr, keyNum, ReadKind::kLast);
  if (e.trace) [[unlikely]] e.trace.Add(TraceOp::kLast, h, keyNum, status, LengthOf(length), {});
  return status;
}

int btrGetNext(int h, void* data, int* length, int /*lock*/) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = Step(h, data, length, /*forward=*/true);
  if (e.trace) [[unlikely]] e.trace.Add(TraceOp::kNext, h, 0, status, LengthOf(length), {});
  return status;
}

int btrGetPrevious(int h, void* data, int* length, int /*lock*/) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = Step(h, data, length, /*forward=*/false);
  if (e.trace) [[unlikely]] e.trace.Add(TraceOp::kPrevious, h, 0, status, LengthOf(length), {});
  return status;
}

static int InsertCall(int h, const void* data, int* length) {
  int status = 0;
  Handle* handle = OpenHandle(h, &status);
  if (handle == nullptr) return status;
  if (int fault = CheckFault(*handle, FaultOp::kInsert)) return fault;
  if (!LengthOk(*handle, length) || data == nullptr) return kBtrDataBufferTooShort;
  File& f = *handle->file;
  const char* record = static_cast<const char*>(data);
  store::Statement& insert = WriteStatement(f, f.insert, store::InsertSql(f.def));
  if (!insert) return store::StatusOf(insert.prepare_rc());
  int n = static_cast<int>(f.def.keys.size());
  if (n > 0) DropLookup(f, Key0Of(f, record));
  ReleaseSnapshot(f);
  int rc = BindKeys(insert.get(), f.def, record);
  if (rc == SQLITE_OK) {
    rc = sqlite3_bind_blob(insert.get(), n + 1, record, f.def.recordLength, SQLITE_STATIC);
  }
  if (rc == SQLITE_OK) rc = RunWrite(f, insert.get());
  if (rc != SQLITE_OK) return store::StatusOf(rc);
  ++f.generation;
  if (n > 0) {
    Stand(*handle, handle->positioned ? handle->pos_key : 0, record);
    KeepLookup(f, record);
  }
  ++g_stats.recordsWritten;
  return kBtrOk;
}

static int UpdateCall(int h, const void* data, int* length) {
  int status = 0;
  Handle* handle = OpenHandle(h, &status);
  if (handle == nullptr) return status;
  if (int fault = CheckFault(*handle, FaultOp::kUpdate)) return fault;
  if (!LengthOk(*handle, length) || data == nullptr) return kBtrDataBufferTooShort;
  if (!handle->on_record) return kBtrNoCurrentRecord;
  File& f = *handle->file;
  int n = static_cast<int>(f.def.keys.size());
  if (!f.update) {
    std::string sql = "UPDATE records SET ";
    for (int k = 0; k < n; ++k) {
      sql += store::KeyColumn(k) + " = ?" + std::to_string(k + 1) + ", ";
    }
    sql += "data = ?" + std::to_string(n + 1) + " WHERE k0 = ?" + std::to_string(n + 2);
    WriteStatement(f, f.update, sql);
  }
  store::Statement& update = f.update;
  if (!update) return store::StatusOf(update.prepare_rc());
  const char* record = static_cast<const char*>(data);
  Freshen(f);
  // Many repairs write every record back whether or not they changed it. A record that
  // already holds these bytes is left alone: no write, and the walks on the file keep
  // streaming instead of seeking again. When nothing wrote the file since this handle read
  // its record, the bytes it read are the stored ones.
  bool same = false;
  if (handle->pos_generation == f.generation) {
    same = std::memcmp(handle->pos_record.data(), record, f.def.recordLength) == 0;
  } else {
    store::Statement& current =
        WriteStatement(f, f.current, "SELECT data FROM records WHERE k0 = ?1");
    if (current && store::BindBlob(current.get(), 1, handle->pos_k0) == SQLITE_OK &&
        sqlite3_step(current.get()) == SQLITE_ROW) {
      const void* stored = sqlite3_column_blob(current.get(), 0);
      same = sqlite3_column_bytes(current.get(), 0) == f.def.recordLength && stored != nullptr &&
             std::memcmp(stored, record, f.def.recordLength) == 0;
    }
    if (current) sqlite3_reset(current.get());
  }
  if (same) {
    Stand(*handle, handle->pos_key, record);
    return kBtrOk;
  }
  DropLookup(f, handle->pos_k0);
  DropLookup(f, Key0Of(f, record));
  ReleaseSnapshot(f);
  int rc = BindKeys(update.get(), f.def, record);
  if (rc == SQLITE_OK) {
    rc = sqlite3_bind_blob(update.get(), n + 1, record, f.def.recordLength, SQLITE_STATIC);
  }
  if (rc == SQLITE_OK) rc = store::BindBlob(update.get(), n + 2, handle->pos_k0);
  if (rc == SQLITE_OK) rc = RunWrite(f, update.get());
  if (rc != SQLITE_OK) return store::StatusOf(rc);
  if (sqlite3_changes(f.db.get()) == 0) return kBtrNoCurrentRecord;
  ++f.generation;
  if (f.lookups && handle->pos_k0 != Key0Of(f, record)) f.lookups->Keep(handle->pos_k0, nullptr);
  Stand(*handle, handle->pos_key, record);
  KeepLookup(f, record);
  ++g_stats.recordsWritten;
  return kBtrOk;
}

static int DeleteCall(int h) {
  int status = 0;
  Handle* handle = OpenHandle(h, &status);
  if (handle == nullptr) return status;
  if (int fault = CheckFault(*handle, FaultOp::kDelete)) return fault;
  if (!handle->on_record) return kBtrNoCurrentRecord;
  File& f = *handle->file;
  store::Statement& erase = WriteStatement(f, f.erase, "DELETE FROM records WHERE k0 = ?1");
  if (!erase) return store::StatusOf(erase.prepare_rc());
  DropLookup(f, handle->pos_k0);
  ReleaseSnapshot(f);
  int rc = store::BindBlob(erase.get(), 1, handle->pos_k0);
  if (rc == SQLITE_OK) rc = RunWrite(f, erase.get());
  if (rc != SQLITE_OK) return store::StatusOf(rc);
  if (sqlite3_changes(f.db.get()) == 0) return kBtrNoCurrentRecord;
  ++f.generation;
  if (f.lookups) f.lookups->Keep(handle->pos_k0, nullptr);
  handle->on_record = false;
  ++g_stats.recordsWritten;
  return kBtrOk;
}

static int CloseCall(int h) {
  Handle* handle = Find(h);
  if (handle == nullptr || !handle->file) return kBtrFileNotOpen;
  Detach(*handle);
  return kBtrOk;
}

static int DestroyCall(int h) {
  Engine& e = TheEngine();
  Handle* handle = Find(h);
  if (handle == nullptr) return kBtrFileNotOpen;
  Detach(*handle);
  e.handles.erase(h);
  return kBtrOk;
}

int btrOpen(int h, const char* /*owner*/, const char* path, int /*a*/, int /*b*/, int /*c*/) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = OpenCall(h, path);
  if (e.trace) [[unlikely]] {
    const Handle* handle = status == kBtrOk ? Find(h) : nullptr;
    e.trace.Add(TraceOp::kOpen, h, 0, status, 0,
                handle != nullptr ? std::string_view(handle->file->id) : KeyText(path));
  }
  return status;
}

int btrInsert(int h, const void* data, int* length, int /*lock*/) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = InsertCall(h, data, length);
  if (e.trace) [[unlikely]] {
    e.trace.Add(TraceOp::kInsert, h, 0, status, LengthOf(length), RecordOf(h, data, length));
  }
  return status;
}

int btrUpdate(int h, const void* data, int* length) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = UpdateCall(h, data, length);
  if (e.trace) [[unlikely]] {
    e.trace.Add(TraceOp::kUpdate, h, 0, status, LengthOf(length), RecordOf(h, data, length));
  }
  return status;
}

int btrDelete(int h) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = DeleteCall(h);
  if (e.trace) [[unlikely]] e.trace.Add(TraceOp::kDelete, h, 0, status, 0, {});
  return status;
}

int btrClose(int h) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = CloseCall(h);
  if (e.trace) [[unlikely]] e.trace.Add(TraceOp::kClose, h, 0, status, 0, {});
  return status;
}

int btrDestroy(int h) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  const int status = DestroyCall(h);
  if (e.trace) [[unlikely]] e.trace.Add(TraceOp::kDestroy, h, 0, status, 0, {});
  return status;
}

namespace talvor {
EngineStats GetEngineStats() {
  return g_stats;
}

void CaptureRecordFiles(ChangeSink* sink, CaptureMode mode) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mutex);
  // A dry run's end rolls its writes back, under the cache's and the handles' eyes.
  for (auto& file : e.kept) {
    ForgetReads(*file);
    file->capture.reset();
  }
  e.kept.clear();
  std::erase_if(e.files, [](const auto& entry) { return entry.second.expired(); });
  e.sink = sink;
  e.mode = mode;
  if (sink == nullptr) return;
  for (auto& [id, weak] : e.files) {
    if (std::shared_ptr<File> file = weak.lock()) {
      ReleaseSnapshot(*file);
      StartCapture(*file, *sink, mode);
      e.kept.push_back(std::move(file));
    }
  }
}

std::unique_ptr<RowStore> OpenRecordFileToRestore(const std::filesystem::path& path,
                                                  ChangeSink* sink, std::string* error) {
  sqlite::Database db;
  RecordFileDefinition definition;
  std::string why;
  if (store::OpenRecordDatabase(path, &db, &definition, &why) != kBtrOk) {
    *error = "cannot open " + path.string() + ": " + why;
    return nullptr;
  }
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(path, ec);
  if (ec) canonical = path;
  return sqlite::OpenRowStore(std::move(db), StoreKind::kRecord, canonical.string(), sink, error);
}
}  // namespace talvor
