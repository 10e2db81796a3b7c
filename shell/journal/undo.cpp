#include "shell/journal/undo.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "legacy/record_file.h"
#include "shell/journal/journal_file.h"
#include "shell/journal/run_journal.h"
#include "shell/journal/sqlite_cells.h"

namespace talvor::journal {
namespace fs = std::filesystem;

namespace {

struct TableInfo {
  bool exists = false;
  bool withoutRowid = false;
  std::vector<std::string> columns;
  std::vector<int> pk;  // indexes of the primary key's columns, in key order
};

std::string Quote(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

// One store being put back, inside its transaction.
class StoreUndo {
 public:
  StoreUndo(sqlite3* db, std::string name) : db_(db), name_(std::move(name)) {}

  // Puts back one change; false (and a conflict or failure noted) when it cannot.
  bool Revert(const Change& c) {
    const TableInfo& t = Info(c.table);
    if (!t.exists) return Fail(c.table + ": the table is gone");
    const std::size_t width = c.before.empty() ? c.after.size() : c.before.size();
    if (t.columns.size() != width) return Fail(c.table + ": the table's columns have changed");
    std::optional<Row> atAfter, atBefore;
    if (c.op != 'D' && !Fetch(t, c.table, c.newRowid, c.after, &atAfter)) return false;
    if (c.op != 'I' && !Fetch(t, c.table, c.oldRowid, c.before, &atBefore)) return false;
    switch (c.op) {
      case 'I':
        if (!atAfter) return true;  // already gone
        if (*atAfter != c.after) return Conflict(c, c.after, "has changed since the run");
        return Run("DELETE FROM " + Quote(c.table) + " WHERE " + Where(t, 1), t, c.newRowid,
                   c.after, {});
      case 'D':
        if (atBefore) {
          if (*atBefore == c.before) return true;  // already back
          return Conflict(c, c.before, "was written again since the run");
        }
        return Insert(t, c);
      default:
        if (atAfter && *atAfter == c.after) return Update(t, c);
        if (atBefore && *atBefore == c.before && (!atAfter || atAfter == atBefore)) return true;
        return Conflict(c, c.after, atAfter ? "has changed since the run" : "is gone");
    }
  }

  std::vector<std::string> conflicts;
  std::string failure;

 private:
  const TableInfo& Info(const std::string& table) {
    auto [it, added] = tables_.try_emplace(table);
    if (!added) return it->second;
    TableInfo& t = it->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT name, pk FROM pragma_table_info(?1)", -1, &stmt, nullptr) ==
        SQLITE_OK) {
      sqlite3_bind_text(stmt, 1, table.c_str(), -1, SQLITE_TRANSIENT);
      std::vector<std::pair<int, int>> keyed;
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        if (int pk = sqlite3_column_int(stmt, 1); pk > 0) {
          keyed.emplace_back(pk, static_cast<int>(t.columns.size()));
        }
        t.columns.emplace_back(name ? name : "");
      }
      std::sort(keyed.begin(), keyed.end());
      for (auto [order, index] : keyed) t.pk.push_back(index);
    }
    sqlite3_finalize(stmt);
    t.exists = !t.columns.empty();
    stmt = nullptr;
    if (sqlite3_prepare_v2(db_,
                           "SELECT wr FROM pragma_table_list WHERE schema = 'main' AND name = ?1",
                           -1, &stmt, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(stmt, 1, table.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_step(stmt) == SQLITE_ROW) t.withoutRowid = sqlite3_column_int(stmt, 0) != 0;
    }
    sqlite3_finalize(stmt);
    return t;
  }

  // "rowid = ?N" or the primary key's columns, parameters from `first` on.
  static std::string Where(const TableInfo& t, int first) {
    if (!t.withoutRowid) return "rowid = ?" + std::to_string(first);
    std::string where;
    for (std::size_t i = 0; i < t.pk.size(); ++i) {
      if (i > 0) where += " AND ";
      where += Quote(t.columns[t.pk[i]]) + " = ?" + std::to_string(first + i);
    }
    return where;
  }

  static int BindKey(sqlite3_stmt* stmt, const TableInfo& t, int first, long long rowid,
                     const Row& row) {
    if (!t.withoutRowid) return sqlite3_bind_int64(stmt, first, rowid);
    for (std::size_t i = 0; i < t.pk.size(); ++i) {
      if (int rc = BindCell(stmt, first + static_cast<int>(i), row[t.pk[i]]); rc != SQLITE_OK) {
        return rc;
      }
    }
    return SQLITE_OK;
  }

  // The row that the key of `row` (or `rowid`) names now, if any.
  bool Fetch(const TableInfo& t, const std::string& table, long long rowid, const Row& row,
             std::optional<Row>* out) {
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
      sql += (i ? ", " : "") + Quote(t.columns[i]);
    }
    sql += " FROM " + Quote(table) + " WHERE " + Where(t, 1);
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) rc = BindKey(stmt, t, 1, rowid, row);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
      Row current;
      for (int i = 0; i < static_cast<int>(t.columns.size()); ++i) {
        current.push_back(CellOf(sqlite3_column_value(stmt, i)));
      }
      *out = std::move(current);
      rc = SQLITE_DONE;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) return Fail(table + ": " + sqlite3_errmsg(db_));
    return true;
  }

  // Runs `sql` with `values` bound from ?1 on and the key of `key_row` / `rowid` after them.
  bool Run(const std::string& sql, const TableInfo& t, long long rowid, const Row& key_row,
           const Row& values, bool bindRowidFirst = false, long long newRowid = 0) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr);
    int next = 1;
    if (rc == SQLITE_OK && bindRowidFirst) rc = sqlite3_bind_int64(stmt, next++, newRowid);
    for (std::size_t i = 0; rc == SQLITE_OK && i < values.size(); ++i) {
      rc = BindCell(stmt, next++, values[i]);
    }
    if (rc == SQLITE_OK && !key_row.empty()) rc = BindKey(stmt, t, next, rowid, key_row);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) return Fail(sql + ": " + sqlite3_errmsg(db_));
    return true;
  }

  bool Insert(const TableInfo& t, const Change& c) {
    std::string sql = "INSERT INTO " + Quote(c.table) + "(";
    std::string values;
    int n = 1;
    if (!t.withoutRowid) {
      sql += "rowid, ";
      values += "?1, ";
      n = 2;
    }
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
      sql += (i ? ", " : "") + Quote(t.columns[i]);
      values += (i ? ", ?" : "?") + std::to_string(n + i);
    }
    sql += ") VALUES(" + values + ")";
    return Run(sql, t, 0, {}, c.before, !t.withoutRowid, c.oldRowid);
  }

  bool Update(const TableInfo& t, const Change& c) {
    std::string sql = "UPDATE " + Quote(c.table) + " SET ";
    int n = 1;
    if (!t.withoutRowid) sql += "rowid = ?" + std::to_string(n++) + ", ";
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
      sql += (i ? ", " : "") + Quote(t.columns[i]) + " = ?" + std::to_string(n++);
    }
    sql += " WHERE " + Where(t, n);
    return Run(sql, t, c.newRowid, c.after, c.before, !t.withoutRowid, c.oldRowid);
  }

  bool Conflict(const Change& c, const Row& row, const std::string& what) {
    std::string key;
    const TableInfo& t = Info(c.table);
    if (t.withoutRowid) {
      for (int index : t.pk) key += (key.empty() ? "" : ", ") + EscapeBytes(row[index].value);
      key = "key \"" + key + "\"";
    } else {
      key = "row " + std::to_string(c.op == 'D' ? c.oldRowid : c.newRowid);
    }
    conflicts.push_back(name_ + ": " + c.table + " " + key + " " + what);
    return false;
  }

  bool Fail(const std::string& what) {
    if (failure.empty()) failure = name_ + ": " + what;
    return false;
  }

  sqlite3* db_;
  std::string name_;
  std::map<std::string, TableInfo> tables_;
};

std::string DisplayName(const fs::path& work_dir, const std::string& path) {
  std::error_code ec;
  fs::path relative = fs::path(path).lexically_relative(fs::weakly_canonical(work_dir, ec));
  if (relative.empty() || *relative.begin() == "..") return path;
  return relative.generic_string();
}

}  // namespace

std::vector<const Store*> StoresToUndo(const RunRecord& run) {
  std::vector<const Store*> todo;
  if (run.mode == "dry-run") return todo;
  for (const Store& store : run.stores) {
    bool changed = false;
    for (const auto& [where, n] : run.counts) changed = changed || where.first == store.id;
    bool done = std::find(run.undoneStores.begin(), run.undoneStores.end(), store.path) !=
                run.undoneStores.end();
    if (changed && !done) todo.push_back(&store);
  }
  return todo;
}

std::string WhyNotUndoable(const RunRecord& run) {
  if (run.mode == "dry-run") return "run " + run.id + " was a dry run: it changed nothing";
  if (!StoresToUndo(run).empty()) return "";
  return run.undoneStores.empty() ? "run " + run.id + " changed nothing"
                                  : "run " + run.id + " is already undone";
}

UndoResult UndoRun(const fs::path& work_dir, const std::string& id, const Clock& clock) {
  UndoResult result;
  std::optional<fs::path> dir = FindRunDir(work_dir, id, &result.error);
  if (!dir) return result;
  // The changes are read back one at a time, newest first, for each store.
  std::optional<RunRecord> run = ReadRun(*dir, &result.error, 0);
  if (!run) return result;
  result.error = WhyNotUndoable(*run);
  if (!result.error.empty()) return result;
  const std::vector<const Store*> todo = StoresToUndo(*run);
  std::unique_ptr<RunJournal> journal = RunJournal::Start(
      work_dir, "Undo " + run->id, "undo", RunMode::kUndo, clock.Now(), {}, &result.error);
  if (!journal) {
    result.error += "; nothing was undone";
    return result;
  }
  journal->NoteUndoes(run->id);
  result.runId = journal->Id();

  for (const Store* store : todo) {
    const std::string name = DisplayName(work_dir, store->path);
    sqlite3* db = nullptr;
    if (!fs::is_regular_file(store->path) ||
        sqlite3_open_v2(store->path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      result.failures.push_back(name + ": cannot open " + store->path);
      sqlite3_close(db);
      continue;
    }
    sqlite3_busy_timeout(db, 5000);
    journal->Attach(db, store->kind, store->path);
    StoreUndo undo(db, name);
    bool ok = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) undo.failure = name + ": " + sqlite3_errmsg(db);
    std::string unread;
    if (ok && !ForEachChange(
                  *run, true,
                  [&](const Change& c) {
                    if (c.store != store->id) return true;
                    // Every conflict is listed; a failure stops at once.
                    if (!undo.Revert(c) && !undo.failure.empty()) ok = false;
                    return ok;
                  },
                  &unread)) {
      undo.failure = name + ": " + unread;
      ok = false;
    }
    ok = ok && undo.conflicts.empty();
    if (ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
      undo.failure = name + ": " + sqlite3_errmsg(db);
      ok = false;
    }
    if (!ok && sqlite3_get_autocommit(db) == 0) {
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    journal->Detach(db);
    sqlite3_close(db);
    for (const std::string& conflict : undo.conflicts) {
      journal->Note("conflict: " + conflict);
      result.conflicts.push_back(conflict);
    }
    if (!undo.failure.empty()) {
      journal->Note("failed: " + undo.failure);
      result.failures.push_back(undo.failure);
    }
    if (ok) {
      result.undone.push_back(store->path);
      std::ofstream(*dir / kUndoneFileName, std::ios::binary | std::ios::app)
          << store->path << '\n';
    }
  }
  const bool whole = result.conflicts.empty() && result.failures.empty();
  journal->Finish(whole, whole ? "" : "some stores were not undone");
  return result;
}

}  // namespace talvor::journal
