// The agency database's tables and columns as the routines use them, in one place, and the
// creation of an empty agency database that holds them (`talvor-cli db init`).
//
// The routines rely only on the tables and columns listed here; a site's database may
// have more columns, other column orders, other indexes and no declared primary keys.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace talvor::sqldb {

// Column types, declared in SQLite as DESIGN fixes them: TEXT, INTEGER, BOOLEAN (0/1),
// REAL, DATE and DATETIME (stored "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS").
enum class ColumnType { kText, kInteger, kBoolean, kFloat, kDate, kDateTime };

struct ColumnDef {
  std::string_view name;
  ColumnType type;
  // For codes and numbers: the fixed width of the text (a blank code is this many blanks);
  // 0 when the text has no fixed width or the column is not text.
  int width;
};

struct IndexDef {
  std::string_view name;
  // Column names joined by ";", in key order: "AgyCode;Number".
  std::string_view columns;
};

struct TableDef {
  std::string_view name;
  std::span<const ColumnDef> columns;
  std::span<const IndexDef> indexes;
};

// Every table of the catalog, in a fixed order.
std::span<const TableDef> AgencyTables();
// The table of that name (without regard to case), or nullptr.
const TableDef* FindAgencyTable(std::string_view name);
// The column of that name of `table` (without regard to case), or nullptr.
const ColumnDef* FindAgencyColumn(const TableDef& table, std::string_view name);
// The declared SQL type of a column type: "TEXT", "INTEGER", "BOOLEAN", "REAL", "DATE",
// "DATETIME".
std::string_view DeclaredType(ColumnType type);
// The CREATE TABLE statement of a table (no primary key, no constraints).
std::string CreateTableSql(const TableDef& table);

// Creates the SQLite file `path` holding every table of the catalog, empty, with its named
// indexes. Throws Error naming the file when it already exists (it is left untouched),
// when its folder does not exist, or when the engine fails; in the last two cases no file
// is left behind.
void CreateAgencyDatabase(const std::filesystem::path& path);

}  // namespace talvor::sqldb
