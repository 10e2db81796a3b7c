#include "platform/sqlite.h"

#include <sqlite3.h>

namespace talvor::sqlite {

Database& Database::operator=(Database&& other) noexcept {
  if (this != &other) {
    Close();
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

Database Database::Open(const std::filesystem::path& path, int flags, std::string* error,
                        int* rc) {
  sqlite3* raw = nullptr;
  const int result = sqlite3_open_v2(path.string().c_str(), &raw, flags, nullptr);
  Database db(raw);
  if (rc != nullptr) *rc = result;
  if (result != SQLITE_OK) {
    if (error != nullptr) *error = raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(result);
    return Database();
  }
  return db;
}

int Database::Exec(std::string_view sql, std::string* error) const {
  char* message = nullptr;
  const std::string text(sql);
  const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message);
  if (rc != SQLITE_OK && error != nullptr) *error = message ? message : sqlite3_errstr(rc);
  sqlite3_free(message);
  return rc;
}

std::string Database::Message() const { return db_ != nullptr ? sqlite3_errmsg(db_) : ""; }

void Database::Close() {
  if (db_ != nullptr) sqlite3_close_v2(std::exchange(db_, nullptr));
}

Statement::Statement(sqlite3* db, std::string_view sql, bool persistent, std::string_view* tail) {
  const char* rest = nullptr;
  prepare_rc_ = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                   persistent ? SQLITE_PREPARE_PERSISTENT : 0, &stmt_, &rest);
  if (prepare_rc_ != SQLITE_OK) Finalize();
  if (tail != nullptr && rest != nullptr) {
    *tail = sql.substr(static_cast<std::size_t>(rest - sql.data()));
  }
}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    Finalize();
    stmt_ = std::exchange(other.stmt_, nullptr);
    prepare_rc_ = other.prepare_rc_;
  }
  return *this;
}

void Statement::Finalize() {
  if (stmt_ != nullptr) sqlite3_finalize(std::exchange(stmt_, nullptr));
}

}  // namespace talvor::sqlite
