#include "legacy/internal/store.h"

#include <sqlite3.h>

#include <system_error>
#include <utility>

#include "legacy/engine.h"

namespace talvor::store {
namespace {

namespace fs = std::filesystem;

// Runs a one-row integer query; returns the SQLite code and the value in *value.
int QueryInt(sqlite3* db, const char* sql, long long* value) {
  Statement stmt(db, sql);
  if (!stmt) return stmt.prepare_rc();
  int rc = sqlite3_step(stmt.get());
  if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? SQLITE_NOTFOUND : rc;
  *value = sqlite3_column_int64(stmt.get(), 0);
  return SQLITE_OK;
}

// Checks the tables of a record file and reads its definition. Returns an SQLite code:
// SQLITE_OK, SQLITE_NOTADB for a database of another shape, or the error met.
int ReadDefinition(sqlite3* db, RecordFileDefinition* definition, std::string* message) {
  long long value = 0;
  int rc = QueryInt(db, "PRAGMA application_id", &value);
  if (rc != SQLITE_OK) return rc;
  if (value != kApplicationId) {
    *message = "not a record file (an SQLite database of another kind)";
    return SQLITE_NOTADB;
  }
  rc = QueryInt(db, "PRAGMA user_version", &value);
  if (rc != SQLITE_OK) return rc;
  if (value != kFormatVersion) {
    *message = "record file of unknown format version " + std::to_string(value);
    return SQLITE_NOTADB;
  }
  RecordFileDefinition def;
  rc = QueryInt(db, "SELECT record_length FROM recfile", &value);
  if (rc != SQLITE_OK) {
    if (rc == SQLITE_NOTFOUND || rc == SQLITE_ERROR) {
      *message = "not a record file (no record length)";
      return SQLITE_NOTADB;
    }
    return rc;
  }
  def.recordLength = static_cast<int>(value);
  {
    Statement keys(db,
                   "SELECT keynum, offset, length, duplicates FROM recfile_keys ORDER BY keynum");
    if (!keys) {
      *message = "not a record file (no key definitions)";
      return keys.prepare_rc() == SQLITE_ERROR ? SQLITE_NOTADB : keys.prepare_rc();
    }
    while ((rc = sqlite3_step(keys.get())) == SQLITE_ROW) {
      if (sqlite3_column_int(keys.get(), 0) != static_cast<int>(def.keys.size())) {
        *message = "not a record file (keys not numbered from 0)";
        return SQLITE_NOTADB;
      }
      def.keys.push_back({sqlite3_column_int(keys.get(), 1), sqlite3_column_int(keys.get(), 2),
                          sqlite3_column_int(keys.get(), 3) != 0});
    }
    if (rc != SQLITE_DONE) return rc;
  }
  if (std::string problem; !ValidDefinition(def, &problem)) {
    *message = "not a record file (" + problem + ")";
    return SQLITE_NOTADB;
  }
  std::string probe = "SELECT data";
  for (std::size_t k = 0; k < def.keys.size(); ++k) probe += ", " + KeyColumn(static_cast<int>(k));
  probe += " FROM records LIMIT 0";
  Statement check(db, probe);
  if (!check) {
    *message = "not a record file (no records table of its keys)";
    return check.prepare_rc() == SQLITE_ERROR ? SQLITE_NOTADB : check.prepare_rc();
  }
  *definition = std::move(def);
  return SQLITE_OK;
}

int Exec(sqlite3* db, const std::string& sql) {
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

}  // namespace

int StatusOf(int sqlite_rc) {
  switch (sqlite_rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return kBtrOk;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kBtrFileLocked;
    case SQLITE_CONSTRAINT:
      return kBtrDuplicateKey;
    case SQLITE_NOTADB:
      return kBtrNotRecordFile;
    // A missing file is told apart before SQLite is asked; a file that exists and still
    // cannot be opened (no permission, its folder read-only for the log) is an I/O error.
    case SQLITE_CANTOPEN:
    default:
      return kBtrIoError;
  }
}

// SQLite keeps memory statistics unless told not to before its first use: a global mutex
// taken on every allocation, of which a repair makes several per record. Nothing here reads
// them. Too late (SQLite already in use) is harmless.
static void SetUpSqliteOnce() {
  static const bool done = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    return true;
  }();
  (void)done;
}

int OpenRecordDatabase(const fs::path& path, sqlite::Database* db,
                       RecordFileDefinition* definition, std::string* message,
                       std::string_view name) {
  *db = sqlite::Database();
  std::error_code ec;
  fs::file_status st = fs::status(path, ec);
  if (!fs::exists(st)) {
    *message = "no such file";
    return kBtrFileNotFound;
  }
  if (fs::is_directory(st)) {
    *message = "not a record file (a directory)";
    return kBtrNotRecordFile;
  }
  if (!fs::is_regular_file(st)) {
    *message = "not a record file (not a regular file)";
    return kBtrNotRecordFile;
  }
  if (fs::file_size(path, ec) == 0 && !ec) {
    *message = "not a record file (an empty file)";
    return kBtrNotRecordFile;
  }
  SetUpSqliteOnce();
  int rc = SQLITE_OK;
  sqlite::Database owner =
      sqlite::Database::Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, message, &rc);
  if (!owner) return StatusOf(rc);
  sqlite3* conn = owner.get();
  sqlite3_busy_timeout(conn, kBusyTimeoutMs);
  std::string why;
  rc = ReadDefinition(conn, definition, &why);
  if (rc == SQLITE_OK && !name.empty()) {
    if (std::string problem; !FitsName(name, *definition, &problem)) {
      why = "not that file (" + problem + ")";
      rc = SQLITE_NOTADB;
    }
  }
  if (rc == SQLITE_OK) {
    // The journal mode is kept in the file; a file made by other means is switched once.
    Statement mode(conn, "PRAGMA journal_mode");
    const unsigned char* text = nullptr;
    if (mode && sqlite3_step(mode.get()) == SQLITE_ROW) text = sqlite3_column_text(mode.get(), 0);
    bool wal = text && std::string_view(reinterpret_cast<const char*>(text)) == "wal";
    mode = Statement();
    if (!wal) rc = Exec(conn, "PRAGMA journal_mode=WAL");
    if (rc == SQLITE_OK) rc = Exec(conn, "PRAGMA synchronous=NORMAL");
  }
  if (rc != SQLITE_OK) {
    int status = StatusOf(rc);
    if ((rc & 0xff) == SQLITE_CORRUPT) status = kBtrNotRecordFile;
    if (why.empty()) {
      why = (rc & 0xff) == SQLITE_NOTADB ? "not a record file (not an SQLite database)"
            : (rc & 0xff) == SQLITE_CORRUPT
                ? std::string("not a record file (damaged: ") + sqlite3_errmsg(conn) + ")"
                : sqlite3_errmsg(conn);
    }
    if (status == kBtrFileLocked) why = "locked by another process";
    *message = why;
    return status;
  }
  *db = std::move(owner);
  return kBtrOk;
}

std::string KeyColumn(int key_number) {
  std::string column = "k";
  column += std::to_string(key_number);
  return column;
}

std::string InsertSql(const RecordFileDefinition& definition) {
  std::string columns;
  std::string values;
  int n = static_cast<int>(definition.keys.size());
  for (int k = 0; k <= n; ++k) {
    columns += k < n ? KeyColumn(k) + ", " : std::string("data");
    values += '?';
    values += std::to_string(k + 1);
    if (k < n) values += ", ";
  }
  return "INSERT INTO records(" + columns + ") VALUES(" + values + ")";
}

bool CreateSchema(const sqlite::Database& db, const RecordFileDefinition& definition,
                  std::string* error) {
  std::string sql = "PRAGMA journal_mode=WAL;";
  sql += "PRAGMA application_id=" + std::to_string(kApplicationId) + ";";
  sql += "PRAGMA user_version=" + std::to_string(kFormatVersion) + ";";
  sql += "BEGIN;";
  sql += "CREATE TABLE recfile(record_length INTEGER NOT NULL);";
  sql += "INSERT INTO recfile VALUES(" + std::to_string(definition.recordLength) + ");";
  sql +=
      "CREATE TABLE recfile_keys(keynum INTEGER PRIMARY KEY, offset INTEGER NOT NULL, "
      "length INTEGER NOT NULL, duplicates INTEGER NOT NULL);";
  for (std::size_t k = 0; k < definition.keys.size(); ++k) {
    const KeyDefinition& key = definition.keys[k];
    sql += "INSERT INTO recfile_keys VALUES(" + std::to_string(k) + ", " +
           std::to_string(key.offset) + ", " + std::to_string(key.length) + ", " +
           (key.duplicates ? "1" : "0") + ");";
  }
  if (definition.keys.empty()) {
    sql += "CREATE TABLE records(data BLOB NOT NULL);";
  } else {
    sql += "CREATE TABLE records(k0 BLOB NOT NULL PRIMARY KEY";
    for (std::size_t k = 1; k < definition.keys.size(); ++k) {
      sql += ", " + KeyColumn(static_cast<int>(k)) + " BLOB NOT NULL";
    }
    sql += ", data BLOB NOT NULL) WITHOUT ROWID;";
    for (std::size_t k = 1; k < definition.keys.size(); ++k) {
      std::string column = KeyColumn(static_cast<int>(k));
      sql += std::string("CREATE ") + (definition.keys[k].duplicates ? "" : "UNIQUE ") +
             "INDEX records_" + column + " ON records(" + column + ");";
    }
  }
  sql += "COMMIT;";
  return db.Exec(sql, error) == SQLITE_OK;
}

int BindBlob(sqlite3_stmt* stmt, int index, std::string_view bytes) {
  if (bytes.empty()) return sqlite3_bind_zeroblob(stmt, index, 0);
  return sqlite3_bind_blob(stmt, index, bytes.data(), static_cast<int>(bytes.size()),
                           SQLITE_TRANSIENT);
}

}  // namespace talvor::store
