// Shared set-up of the sqldb tests: each test runs in a fresh temporary working directory
// holding an empty agency database "agency.db" reachable as the alias "AGYFORMS".
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <random>
#include <string>

#include "sqldb/catalog.h"
#include "sqldb/error.h"

namespace talvor::sqldb::testing {

namespace fs = std::filesystem;

// The message of the Error that `action` throws, or "<no error>".
inline std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "<no error>";
}

class SqldbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    std::random_device random;
    dir_ = fs::temp_directory_path() / ("talvor-sqldb-" + std::to_string(random()));
    fs::create_directories(dir_);
    fs::current_path(dir_);
    if (CreateDefaultDatabase()) {
      CreateAgencyDatabase("agency.db");
      WriteFile("aliases.cfg", "AGYFORMS=agency.db\n");
    }
  }

  void TearDown() override {
    fs::current_path(previous_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  virtual bool CreateDefaultDatabase() const { return true; }

  static void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
  }

  // Runs SQL on `db` through a connection of its own, as another program would.
  static void Exec(const fs::path& db, const std::string& sql) {
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open_v2(db.string().c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr),
              SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(handle);
    ASSERT_EQ(rc, SQLITE_OK) << message << " in " << sql;
  }

  // The first column of the first row of `sql` as text ("<null>" for NULL, "<none>" when
  // there is no row).
  static std::string Scalar(const fs::path& db, const std::string& sql) {
    sqlite3* handle = nullptr;
    sqlite3_open_v2(db.string().c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    std::string result = "<error>";
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
      if (sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(stmt, 0);
        result = text ? reinterpret_cast<const char*>(text) : "<null>";
      } else {
        result = "<none>";
      }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    return result;
  }

  fs::path dir_;

 private:
  fs::path previous_;
};

}  // namespace talvor::sqldb::testing
