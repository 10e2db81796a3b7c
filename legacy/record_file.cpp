#include "legacy/record_file.h"
#include "shell/text/text.h"

#include <sqlite3.h>

#include <cstring>
#include <fstream>
#include <system_error>

#include "legacy/engine.h"
#include "legacy/path_rules.h"
#include "legacy/internal/store.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;

struct KnownFile {
  std::string_view name;
  RecordFileDefinition definition;
  // The routines rely on records of exactly this length: a file of another record length
  // under this name is some other file (a copy put in the wrong place), and writing to it
  // would cut or refuse every record they build.
  bool lengthBinds = true;
};

// The legacy files the workbench opens. Key definitions beyond those of the layouts
// (risk, forms.ndx) cover the leading bytes that identify a record.
//
// "forms.ndx" and "DiaData" do not bind their record length: their routines state only the
// buffer they pass (4040, 4016), not a record length they rely on, and refusing a site's
// file of another length would stop those routines on a guess. Such a file opens as it is;
// its reads and writes still keep to the engine's buffer rules.
const std::vector<KnownFile>& KnownFiles() {
  static const std::vector<KnownFile> files = [] {
    RecordFileDefinition jcki{99, {{0, 14, false}, {14, 16, true}}};
    return std::vector<KnownFile>{
        {"ap", {128, {{0, 16, false}}}},
        {"extap", {138, {{0, 19, false}}}},
        {"POL", {120, {{0, 25, false}, {25, 14, true}}}},
        {"JCKI", jcki},
        {"OLDJCKI", jcki},
        {"JCKI102705", jcki},
        {"DESC", {64, {{0, 11, false}}}},
        {"DIANDX", {176, {{0, 11, false}}}},
        {"risk", {187, {{0, 30, false}}}},
        {"forms.ndx", {4040, {{0, 40, false}}}, /*lengthBinds=*/false},
        {"DiaData", {4016, {}}, /*lengthBinds=*/false},
    };
  }();
  return files;
}

const KnownFile* FindKnownFile(std::string_view name) {
  for (const KnownFile& file : KnownFiles()) {
    if (EqualsIgnoringCase(file.name, name)) return &file;
  }
  return nullptr;
}

// An open connection to an existing record file, closed at scope exit.
class Connection {
 public:
  // Resolves and opens `path`; on failure returns false with "PATH: why" in *error.
  bool Open(const std::string& path, std::string* error) {
    std::optional<fs::path> resolved = ResolveLegacyPath(path);
    if (!resolved) {
      *error = path + ": no such file";
      return false;
    }
    resolved_ = *resolved;
    std::string message;
    if (store::OpenRecordDatabase(*resolved, &db_, &definition_, &message) != kBtrOk) {
      *error = path + ": " + message;
      return false;
    }
    return true;
  }
  sqlite3* db() const { return db_.get(); }
  const RecordFileDefinition& definition() const { return definition_; }
  const fs::path& resolved() const { return resolved_; }

 private:
  sqlite::Database db_;
  RecordFileDefinition definition_;
  fs::path resolved_;
};

std::string SqliteError(sqlite3* db, int rc) {
  if (store::StatusOf(rc) == kBtrFileLocked) return "locked by another process";
  return db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
}

void RemoveDatabaseFiles(const fs::path& path) {
  std::error_code ec;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    fs::remove(fs::path(path.string() + suffix), ec);
  }
}

}  // namespace

namespace {

// What is wrong with `definition`, or "" when nothing is.
std::string WhatIsWrong(const RecordFileDefinition& definition) {
  if (definition.recordLength < 1 || definition.recordLength > kMaxRecordLength) {
    return "record length " + std::to_string(definition.recordLength) + " is not 1 to " +
           std::to_string(kMaxRecordLength);
  }
  if (definition.keys.size() > static_cast<std::size_t>(kMaxKeys)) {
    return "more than " + std::to_string(kMaxKeys) + " keys";
  }
  for (std::size_t k = 0; k < definition.keys.size(); ++k) {
    const KeyDefinition& key = definition.keys[k];
    std::string name = "key " + std::to_string(k);
    if (key.length < 1 || key.length > kMaxKeyLength) {
      return name + " length " + std::to_string(key.length) + " is not 1 to " +
             std::to_string(kMaxKeyLength);
    }
    if (key.offset < 0 || key.offset + key.length > definition.recordLength) {
      return name + " (offset " + std::to_string(key.offset) + ", length " +
             std::to_string(key.length) + ") does not lie inside the record of " +
             std::to_string(definition.recordLength) + " bytes";
    }
    if (k == 0 && key.duplicates) return "key 0 cannot allow duplicates";
  }
  return "";
}

}  // namespace

bool ValidDefinition(const RecordFileDefinition& definition, std::string* error) {
  std::string problem = WhatIsWrong(definition);
  if (problem.empty()) return true;
  *error = std::move(problem);
  return false;
}

std::optional<RecordFileDefinition> KnownFileDefinition(std::string_view name) {
  const KnownFile* file = FindKnownFile(name);
  if (file == nullptr) return std::nullopt;
  return file->definition;
}

std::optional<int> BindingRecordLength(std::string_view name) {
  const KnownFile* file = FindKnownFile(name);
  if (file == nullptr || !file->lengthBinds) return std::nullopt;
  return file->definition.recordLength;
}

bool FitsName(std::string_view name, const RecordFileDefinition& definition,
              std::string* error) {
  const KnownFile* file = FindKnownFile(name);
  if (file == nullptr || !file->lengthBinds) return true;
  const int length = file->definition.recordLength;
  if (length == definition.recordLength) return true;
  *error = "a file named \"" + std::string(file->name) + "\" has " + std::to_string(length) +
           "-byte records, not " + std::to_string(definition.recordLength) + "-byte ones";
  return false;
}

std::vector<std::string_view> KnownFileNames() {
  std::vector<std::string_view> names;
  for (const KnownFile& file : KnownFiles()) names.push_back(file.name);
  return names;
}

bool CreateRecordFile(const fs::path& path, const RecordFileDefinition& definition,
                      std::string* error) {
  std::string shown = path.string();
  if (std::string problem; !ValidDefinition(definition, &problem) ||
                            !FitsName(path.filename().string(), definition, &problem)) {
    *error = "cannot create " + shown + ": " + problem;
    return false;
  }
  std::error_code ec;
  if (fs::exists(fs::symlink_status(path, ec))) {
    *error = "cannot create " + shown + ": it already exists";
    return false;
  }
  fs::path parent = path.parent_path();
  if (!parent.empty() && !fs::is_directory(parent, ec)) {
    *error = "cannot create " + shown + ": no directory " + parent.string();
    return false;
  }
  // Built under a temporary name and renamed, so that the file is never seen half made.
  fs::path temp = path.string() + ".creating";
  RemoveDatabaseFiles(temp);
  std::string problem;
  {
    sqlite::Database db = sqlite::Database::Open(
        temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, &problem);
    if (db && !store::CreateSchema(db, definition, &problem) && problem.empty()) {
      problem = "the schema could not be written";
    }
  }
  if (problem.empty()) {
    fs::rename(temp, path, ec);
    if (ec) problem = ec.message();
  }
  if (!problem.empty()) {
    RemoveDatabaseFiles(temp);
    *error = "cannot create " + shown + ": " + problem;
    return false;
  }
  return true;
}

bool ReadRecordFileInfo(const std::string& path, RecordFileInfo* info, std::string* error) {
  Connection conn;
  if (!conn.Open(path, error)) return false;
  store::Statement count(conn.db(), "SELECT count(*) FROM records");
  int rc = count ? sqlite3_step(count.get()) : count.prepare_rc();
  if (rc != SQLITE_ROW) {
    *error = path + ": " + SqliteError(conn.db(), rc);
    return false;
  }
  std::error_code ec;
  info->path = fs::weakly_canonical(conn.resolved(), ec);
  if (ec) info->path = conn.resolved();
  info->definition = conn.definition();
  info->records = sqlite3_column_int64(count.get(), 0);
  return true;
}

bool LoadRecords(const std::string& path, const std::vector<std::string>& records,
                 std::string* error, std::size_t* failed_index, LoadMode mode) {
  Connection conn;
  if (!conn.Open(path, error)) return false;
  const RecordFileDefinition& def = conn.definition();
  if (std::string problem; !FitsName(conn.resolved().filename().string(), def, &problem)) {
    *error = path + ": " + problem;
    return false;
  }
  sqlite3* db = conn.db();
  int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    *error = path + ": " + SqliteError(db, rc);
    return false;
  }
  auto fail = [&](std::size_t index, std::string message) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    *error = std::move(message);
    if (failed_index != nullptr && index != records.size()) *failed_index = index;
    return false;
  };
  // Inside the transaction, so that what the file holds cannot change between the look and
  // the load.
  if (mode == LoadMode::kIntoEmpty) {
    store::Statement count(db, "SELECT count(*) FROM records");
    rc = count ? sqlite3_step(count.get()) : count.prepare_rc();
    if (rc != SQLITE_ROW) return fail(records.size(), path + ": " + SqliteError(db, rc));
    if (std::int64_t held = sqlite3_column_int64(count.get(), 0); held > 0) {
      return fail(records.size(), path + " holds " + std::to_string(held) + " records");
    }
  } else if (mode == LoadMode::kReplace) {
    rc = sqlite3_exec(db, "DELETE FROM records", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return fail(records.size(), path + ": " + SqliteError(db, rc));
  }
  store::Statement insert(db, store::InsertSql(def));
  if (!insert) return fail(records.size(), path + ": " + SqliteError(db, insert.prepare_rc()));
  int n = static_cast<int>(def.keys.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::string& record = records[i];
    if (static_cast<int>(record.size()) != def.recordLength) {
      return fail(i, "the record is " + std::to_string(record.size()) +
                         " bytes long, not the record length " + std::to_string(def.recordLength));
    }
    for (int k = 0; k < n; ++k) {
      const KeyDefinition& key = def.keys[k];
      store::BindBlob(insert.get(), k + 1, std::string_view(record).substr(key.offset, key.length));
    }
    store::BindBlob(insert.get(), n + 1, record);
    rc = sqlite3_step(insert.get());
    sqlite3_reset(insert.get());
    if (rc == SQLITE_DONE) continue;
    if (store::StatusOf(rc) != kBtrDuplicateKey) {
      return fail(records.size(), path + ": " + SqliteError(db, rc));
    }
    for (int k = 0; k < n; ++k) {
      const KeyDefinition& key = def.keys[k];
      if (key.duplicates) continue;
      std::string_view value = std::string_view(record).substr(key.offset, key.length);
      store::Statement probe(db, "SELECT 1 FROM records WHERE " + store::KeyColumn(k) + " = ?1");
      store::BindBlob(probe.get(), 1, value);
      if (probe && sqlite3_step(probe.get()) == SQLITE_ROW) {
        return fail(
            i, "key " + std::to_string(k) + " value \"" + EscapeBytes(value) + "\" already exists");
      }
    }
    return fail(i, "duplicate key value");
  }
  rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return fail(records.size(), path + ": " + SqliteError(db, rc));
  return true;
}

bool CheckRecordFile(const std::string& path, RecordFileCheck* check, std::string* error) {
  Connection conn;
  if (!conn.Open(path, error)) return false;
  sqlite3* db = conn.db();
  const RecordFileDefinition& def = conn.definition();
  RecordFileCheck result;
  std::error_code ec;
  result.info.path = fs::weakly_canonical(conn.resolved(), ec);
  if (ec) result.info.path = conn.resolved();
  result.info.definition = def;
  FitsName(conn.resolved().filename().string(), def, &result.nameProblem);

  // Every record is read whole, overflow pages included: a count alone would walk past a
  // record cut short and past pages that only the data reaches.
  const bool keyed = !def.keys.empty();
  store::Statement walk(db, keyed ? "SELECT data, k0 FROM records ORDER BY k0"
                                  : "SELECT data FROM records ORDER BY rowid");
  int rc = walk ? SQLITE_OK : walk.prepare_rc();
  while (rc == SQLITE_OK && (rc = sqlite3_step(walk.get())) == SQLITE_ROW) {
    rc = SQLITE_OK;
    ++result.info.records;
    sqlite3_column_blob(walk.get(), 0);
    const int size = sqlite3_column_bytes(walk.get(), 0);
    if (size == def.recordLength) continue;
    if (++result.misfits > static_cast<std::int64_t>(kMaxMisfitsShown)) continue;
    std::string where = "record " + std::to_string(result.info.records);
    if (keyed) {
      const char* key = static_cast<const char*>(sqlite3_column_blob(walk.get(), 1));
      const int key_size = sqlite3_column_bytes(walk.get(), 1);
      where = "key 0 \"" +
              EscapeBytes(std::string_view(key ? key : "", static_cast<std::size_t>(key_size))) +
              "\"";
    }
    result.firstMisfits.push_back({std::move(where), size});
  }
  if (rc != SQLITE_DONE) {
    if (store::StatusOf(rc) == kBtrFileLocked) {
      *error = path + ": locked by another process";
      return false;
    }
    result.damage.push_back("reading the records stopped after " +
                            std::to_string(result.info.records) +
                            " of them: " + SqliteError(db, rc));
  }
  walk = store::Statement();

  // SQLite's own check finds pages that do not read back and keys that disagree with their
  // records; each message names the tree (by its root page) and the page.
  store::Statement integrity(db, "PRAGMA integrity_check(20)");
  rc = integrity ? SQLITE_OK : integrity.prepare_rc();
  while (rc == SQLITE_OK && (rc = sqlite3_step(integrity.get())) == SQLITE_ROW) {
    rc = SQLITE_OK;
    const unsigned char* text = sqlite3_column_text(integrity.get(), 0);
    std::string_view rows(text ? reinterpret_cast<const char*>(text) : "");
    while (!rows.empty()) {
      std::size_t end = rows.find('\n');
      std::string_view line = rows.substr(0, end);
      rows = end == std::string_view::npos ? std::string_view() : rows.substr(end + 1);
      if (line.empty() || line == "ok" || line.starts_with("*** in database ")) continue;
      result.damage.push_back("integrity check: " + std::string(line));
    }
  }
  if (rc != SQLITE_DONE) {
    result.damage.push_back("the integrity check broke off: " + SqliteError(db, rc));
  }
  *check = std::move(result);
  return true;
}

bool IsRecordFile(const fs::path& path) {
  // The database header: its magic text, and the application id at byte 68 (big-endian).
  // Read straight from the file, so that asking opens no connection and leaves no log.
  static constexpr char kMagic[] = "SQLite format 3";
  std::ifstream in(path, std::ios::binary);
  char header[72] = {};
  if (!in.read(header, sizeof header)) return false;
  if (std::memcmp(header, kMagic, sizeof kMagic) != 0) return false;
  std::uint32_t id = 0;
  for (int i = 68; i < 72; ++i) id = (id << 8) | static_cast<unsigned char>(header[i]);
  return id == static_cast<std::uint32_t>(store::kApplicationId);
}

bool ForEachRecord(const std::string& path, int key_number,
                   const std::function<void(std::string_view record)>& visit, std::string* error) {
  Connection conn;
  if (!conn.Open(path, error)) return false;
  const RecordFileDefinition& def = conn.definition();
  std::string sql = "SELECT data FROM records ORDER BY ";
  if (def.keys.empty() && key_number == 0) {
    sql += "rowid";
  } else if (key_number < 0 || key_number >= static_cast<int>(def.keys.size())) {
    *error = path + ": the file has no key " + std::to_string(key_number);
    return false;
  } else {
    sql += store::KeyColumn(key_number);
    if (key_number > 0) sql += ", k0";
  }
  store::Statement select(conn.db(), sql);
  int rc = select ? SQLITE_OK : select.prepare_rc();
  while (rc == SQLITE_OK && (rc = sqlite3_step(select.get())) == SQLITE_ROW) {
    const char* row = static_cast<const char*>(sqlite3_column_blob(select.get(), 0));
    int size = sqlite3_column_bytes(select.get(), 0);
    visit(std::string_view(row ? row : "", static_cast<std::size_t>(size)));
    rc = SQLITE_OK;
  }
  if (rc != SQLITE_DONE) {
    *error = path + ": " + SqliteError(conn.db(), rc);
    return false;
  }
  return true;
}

std::string EscapeBytes(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    auto u = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (u >= 0x20 && u < 0x7f) {
      out += c;
    } else {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 0xf];
    }
  }
  return out;
}

}  // namespace talvor
