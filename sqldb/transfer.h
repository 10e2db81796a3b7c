// Whole agency databases: copied from one database to another (an SQLite file or a server
// reached through ODBC, either way), checked against the catalog, and created empty on a
// server. Database names resolve as the components resolve them (sqldb/database.h); an
// "odbc:" name or an SQLite file's path is taken as well.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace talvor::sqldb {

struct CopiedTable {
  std::string name;
  std::int64_t rows = 0;
  int indexes = 0;
};

// Copies every table of `from` (the catalog's and any other) with its rows in stored order,
// each keeping its rowid, and its indexes into `to`, each table created with the column types of `to` for its
// columns' kinds (sqldb/catalog.h's storage conventions). `to` may be an SQLite file that
// does not exist yet (a name holding a path separator or ending in ".db"); it is created.
// Refuses, before writing anything, a `to` that already holds a table of the same name
// (without regard to case) unless `replace`, which drops each such table first. Everything
// is written in one transaction of `to`: on any failure nothing of the copy stays (a file
// created for it is removed) and Error says which table and why. `progress` (when given) is
// told each table's name and the rows copied so far, every few thousand rows and at its end.
// Throws Error when `from` and `to` are the same database.
std::vector<CopiedTable> CopyDatabase(
    std::string_view from, std::string_view to, bool replace,
    const std::function<void(const std::string& table, std::int64_t rows)>& progress = {});

// What the database lacks of the catalog: a missing table (column empty), a missing column,
// or a column whose type reads otherwise than the catalog's (`found` its type, `expected`
// the catalog's).
struct DatabaseGap {
  std::string table;
  std::string column;
  std::string expected;
  std::string found;
};

// The gaps of database `name` against the catalog, in the catalog's order. Throws Error
// when the database cannot be opened.
std::vector<DatabaseGap> CheckDatabase(std::string_view name);

// Creates the catalog's tables, empty, with their named indexes, in the database `name`:
// an SQLite file that must not exist yet (CreateAgencyDatabase), or a server database that
// must hold none of the catalog's tables. All or nothing; Error says why.
void InitAgencyDatabase(std::string_view name);

}  // namespace talvor::sqldb
