// Private to legacy/: how a record file is kept in an SQLite database. Stored format; do not
// change without a new format version.
//
//   PRAGMA application_id = kApplicationId, PRAGMA user_version = kFormatVersion, WAL journal.
//   recfile(record_length)                                   one row
//   recfile_keys(keynum PRIMARY KEY, offset, length, duplicates)
//   records(k0 BLOB PRIMARY KEY, k1 BLOB, ..., data BLOB) WITHOUT ROWID
//     k<n> holds the bytes of key n; key n > 0 has the index records_k<n> (UNIQUE unless it
//     allows duplicates, which the primary key then orders by key 0).
//   A file without keys: records(data BLOB), a rowid table in insertion order.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "legacy/record_file.h"
#include "platform/sqlite.h"

struct sqlite3;
struct sqlite3_stmt;

namespace talvor::store {

inline constexpr int kApplicationId = 0x54524543;  // "TREC"
inline constexpr int kFormatVersion = 1;
// How long a write waits for another process's write before giving up with status 85.
inline constexpr int kBusyTimeoutMs = 1000;

// The engine status for an SQLite result code (0 for SQLITE_OK, SQLITE_ROW, SQLITE_DONE).
int StatusOf(int sqlite_rc);

// Opens the existing record file `path` (already resolved by the path rules) read-write,
// checks that it is one, and sets the connection up for the engine (WAL, synchronous
// NORMAL, busy timeout). When `name` is not empty the file must also be what that name
// says (FitsName in legacy/record_file.h): a file of another record length under a known
// name is refused with 30 before anything is written to it. Returns 0 with *db and
// *definition set, or a status (12, 30, 85, 2) with *db empty and *message saying why.
int OpenRecordDatabase(const std::filesystem::path& path, sqlite::Database* db,
                       RecordFileDefinition* definition, std::string* message,
                       std::string_view name = {});

// Writes the schema of an empty record file into the fresh database `db`. False with
// SQLite's message in *error when that fails.
bool CreateSchema(const sqlite::Database& db, const RecordFileDefinition& definition,
                  std::string* error);

// "k0", "k1", ...
std::string KeyColumn(int key_number);
// INSERT of one record: parameters ?1..?n the key values, ?n+1 the record.
std::string InsertSql(const RecordFileDefinition& definition);

// Prepared statements are platform's owners.
using Statement = sqlite::Statement;

// Binds `bytes` as a BLOB (a zero-length BLOB for empty bytes, never NULL).
int BindBlob(sqlite3_stmt* stmt, int index, std::string_view bytes);

}  // namespace talvor::store
