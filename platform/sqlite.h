// The owners of SQLite's two resources: a connection (Database) and a prepared statement
// (Statement). Every connection and statement of the program is held by one of these, and
// these are the only places that close or finalize one. Both are move-only.
//
// Used by the storage layers' private files (legacy/internal, sqldb), the journal's capture
// and restore, and the tests; nothing above the storage layers knows SQLite is there.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

namespace talvor::sqlite {

class Database {
 public:
  Database() = default;
  // Takes over `db` (from sqlite3_open_v2); null is an empty owner.
  explicit Database(sqlite3* db) : db_(db) {}
  ~Database() { Close(); }
  Database(Database&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}
  Database& operator=(Database&& other) noexcept;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens `path` with `flags` (SQLITE_OPEN_...). On failure returns an empty owner, with
  // *error set to SQLite's message and *rc (when given) to its result code.
  static Database Open(const std::filesystem::path& path, int flags, std::string* error,
                       int* rc = nullptr);

  sqlite3* get() const { return db_; }
  explicit operator bool() const { return db_ != nullptr; }
  // Runs `sql` (any number of statements). SQLite's result code; *error (when given) set
  // to its message on failure.
  int Exec(std::string_view sql, std::string* error = nullptr) const;
  // SQLite's message for the last failure on the connection.
  std::string Message() const;
  // Closes the connection (statements still open keep it until they are finalized).
  void Close();

 private:
  sqlite3* db_ = nullptr;
};

class Statement {
 public:
  Statement() = default;
  // Takes over `stmt` (from sqlite3_prepare_*).
  explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
  // Prepares the first statement of `sql` on `db`; `persistent` tells SQLite it will be
  // used many times. On failure the owner is empty and prepare_rc() says why (SQLite's
  // message on the connection). `tail`, when given, receives the text after the first
  // statement.
  Statement(sqlite3* db, std::string_view sql, bool persistent = false,
            std::string_view* tail = nullptr);
  ~Statement() { Finalize(); }
  Statement(Statement&& other) noexcept
      : stmt_(std::exchange(other.stmt_, nullptr)), prepare_rc_(other.prepare_rc_) {}
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  sqlite3_stmt* get() const { return stmt_; }
  explicit operator bool() const { return stmt_ != nullptr; }
  // SQLite's result code of the prepare (SQLITE_OK for an owner taken over).
  int prepare_rc() const { return prepare_rc_; }
  void Finalize();

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int prepare_rc_ = 0;
};

}  // namespace talvor::sqlite
