#include "sqldb/transfer.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "shell/text/text.h"
#include "sqldb/catalog.h"
#include "sqldb/database.h"
#include "sqldb/error.h"
#include "sqldb/internal/backend.h"

namespace talvor::sqldb {

namespace {
namespace fs = std::filesystem;
using internal::Backend;
using internal::ColumnInfo;
using internal::TableInfo;

// The database a command names; with `mayCreate`, a name that stands for nothing yet is
// the SQLite file of that name.
DatabaseTarget TargetFor(std::string_view name, bool mayCreate) {
  try {
    return LocateDatabase(name);
  } catch (const Error&) {
    if (!mayCreate || Trim(name).empty()) throw;
    DatabaseTarget target;
    target.file = fs::path(std::string(name));
    return target;
  }
}

bool SameDatabase(const DatabaseTarget& a, const DatabaseTarget& b) {
  if (a.IsOdbc() || b.IsOdbc()) return EqualsIgnoringCase(a.connection, b.connection);
  std::error_code ec;
  return fs::weakly_canonical(a.file, ec) == fs::weakly_canonical(b.file, ec);
}

std::string CreateTable(Backend& db, const std::string& name,
                        const std::vector<ColumnInfo>& columns) {
  std::string sql = "CREATE TABLE " + db.Quote(name) + " (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string type = db.TypeFor(columns[i]);
    sql += (i == 0 ? "" : ", ") + db.Quote(columns[i].name) + (type.empty() ? "" : " " + type);
  }
  if (const std::string rowid = db.RowidColumn(); !rowid.empty()) sql += ", " + rowid;
  return sql + ")";
}

// `descending` (per column, may be empty) marks the columns the index orders descending.
std::string CreateIndex(const Backend& db, const std::string& table, const std::string& index,
                        const std::vector<std::string>& columns, bool unique,
                        const std::vector<char>& descending = {}) {
  std::string list;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    list += (i == 0 ? "" : ", ") + db.Quote(columns[i]);
    if (i < descending.size() && descending[i]) list += " DESC";
  }
  return std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + db.Quote(index) +
         " ON " + db.Quote(table) + " (" + list + ")";
}

// Runs `write` inside one transaction of `db`; on failure rolls back, and removes `file`
// when the command created it, before the error goes on.
template <typename Write>
void AllOrNothing(std::unique_ptr<Backend>& db, const fs::path& createdFile, Write write) {
  db->Begin();
  try {
    write();
    db->Commit();
  } catch (...) {
    db->Rollback();
    db.reset();
    std::error_code ec;
    if (!createdFile.empty()) {
      fs::remove(createdFile, ec);
      fs::remove(fs::path(createdFile.string() + "-journal"), ec);
    }
    throw;
  }
}

ColumnInfo CatalogColumn(const ColumnDef& c) {
  ColumnInfo info;
  info.name = std::string(c.name);
  info.typeName = std::string(DeclaredType(c.type));
  info.kind = internal::KindOfDeclaredType(info.typeName);
  return info;
}

}  // namespace

std::vector<CopiedTable> CopyDatabase(
    std::string_view from, std::string_view to, bool replace,
    const std::function<void(const std::string& table, std::int64_t rows)>& progress) {
  const DatabaseTarget source = TargetFor(from, false);
  const DatabaseTarget target = TargetFor(to, true);
  if (SameDatabase(source, target)) {
    throw Error("cannot copy " + source.Shown() + " onto itself");
  }
  std::unique_ptr<Backend> in = internal::OpenBackend(source, false);
  std::error_code ec;
  const bool creates = !target.IsOdbc() && !fs::exists(target.file, ec);
  std::unique_ptr<Backend> out = internal::OpenBackend(target, true);

  std::vector<TableInfo> tables;
  std::vector<std::string> taken;
  std::vector<std::optional<TableInfo>> existing;
  for (const std::string& name : in->TableNames()) {
    tables.push_back(*in->FindTable(name));
    existing.push_back(out->FindTable(name));
    if (existing.back()) taken.push_back(existing.back()->name);
  }
  if (!taken.empty() && !replace) {
    std::string list;
    for (const std::string& t : taken) list += (list.empty() ? "" : ", ") + t;
    throw Error(out->Shown() + " already holds " + (taken.size() == 1 ? "table " : "tables ") +
                list + " (give --replace to replace them)");
  }

  std::vector<CopiedTable> copied;
  AllOrNothing(out, creates ? target.file : fs::path(), [&] {
    for (std::size_t t = 0; t < tables.size(); ++t) {
      const TableInfo& table = tables[t];
      if (existing[t]) out->Execute("DROP TABLE " + out->Quote(existing[t]->name));
      out->Execute(CreateTable(*out, table.name, table.columns));
      const std::optional<TableInfo> made = out->FindTable(table.name);
      if (!made || made->columns.size() != table.columns.size()) {
        throw Error(out->Shown() + ": table \"" + table.name + "\" was not created as asked");
      }
      CopiedTable result{table.name, 0, 0};
      auto insert = out->Inserter(*made);
      std::optional<std::int64_t> highest;
      in->ForEachRow(table, [&](const Backend::Row& row) {
        if (row.rowid && (!highest || *row.rowid > *highest)) highest = row.rowid;
        insert->Insert(row);
        ++result.rows;
        if (progress && result.rows % 5000 == 0) progress(table.name, result.rows);
      });
      insert->Finish();
      if (highest && made->hasRowid) out->RowidsTaken(*made, *highest);
      for (const internal::IndexInfo& index : table.indexes) {
        out->Execute(CreateIndex(*out, table.name, index.name, index.columns, index.unique,
                                 index.descending));
        ++result.indexes;
      }
      if (progress) progress(table.name, result.rows);
      copied.push_back(std::move(result));
    }
  });
  return copied;
}

std::vector<DatabaseGap> CheckDatabase(std::string_view name) {
  std::unique_ptr<Backend> db = internal::OpenBackend(LocateDatabase(name), false);
  std::vector<DatabaseGap> gaps;
  for (const TableDef& def : AgencyTables()) {
    const std::optional<TableInfo> table = db->FindTable(def.name);
    if (!table) {
      gaps.push_back({std::string(def.name), "", "", ""});
      continue;
    }
    for (const ColumnDef& c : def.columns) {
      const ColumnInfo* found = nullptr;
      for (const ColumnInfo& column : table->columns) {
        if (EqualsIgnoringCase(column.name, c.name)) found = &column;
      }
      const std::string expected(DeclaredType(c.type));
      if (found == nullptr) {
        gaps.push_back({table->name, std::string(c.name), expected, ""});
      } else if (found->kind != internal::KindOfDeclaredType(expected)) {
        gaps.push_back({table->name, found->name, expected,
                        found->typeName.empty() ? "no type" : found->typeName});
      }
    }
  }
  return gaps;
}

void InitAgencyDatabase(std::string_view name) {
  const DatabaseTarget target = TargetFor(name, true);
  if (!target.IsOdbc()) {
    CreateAgencyDatabase(target.file);
    return;
  }
  std::unique_ptr<Backend> db = internal::OpenBackend(target, false);
  std::string taken;
  for (const TableDef& def : AgencyTables()) {
    if (auto table = db->FindTable(def.name)) taken += (taken.empty() ? "" : ", ") + table->name;
  }
  if (!taken.empty()) throw Error(db->Shown() + " already holds the catalog's tables " + taken);
  AllOrNothing(db, fs::path(), [&] {
    for (const TableDef& def : AgencyTables()) {
      std::vector<ColumnInfo> columns;
      for (const ColumnDef& c : def.columns) columns.push_back(CatalogColumn(c));
      db->Execute(CreateTable(*db, std::string(def.name), columns));
      for (const IndexDef& index : def.indexes) {
        std::vector<std::string> keys;
        std::string_view rest = index.columns;
        for (std::size_t semi; (semi = rest.find(';')) != std::string_view::npos;
             rest.remove_prefix(semi + 1)) {
          keys.emplace_back(rest.substr(0, semi));
        }
        keys.emplace_back(rest);
        db->Execute(CreateIndex(*db, std::string(def.name), std::string(index.name), keys, false));
      }
    }
  });
}

}  // namespace talvor::sqldb
