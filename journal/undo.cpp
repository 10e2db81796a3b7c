#include "journal/undo.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "legacy/record_file.h"
#include "journal/journal_file.h"
#include "journal/run_journal.h"
#include "journal/sqlite_cells.h"

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

std::string CellText(const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::kNull:
      return "NULL";
    case Cell::Kind::kInteger:
    case Cell::Kind::kFloat:
      return cell.value;
    default:
      return "\"" + EscapeBytes(cell.value) + "\"";
  }
}

// How a stored row stands against an image of the journal.
struct Probe {
  bool found = false;
  std::vector<char> same;  // per column: the stored value equals the image's
  Row current;
  bool Same() const {
    return found && std::all_of(same.begin(), same.end(), [](char s) { return s != 0; });
  }
};

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
    switch (c.op) {
      case 'I': {
        Probe at;
        if (!Look(t, c.table, c.newRowid, c.after, &at)) return false;
        if (!at.found) return true;  // already gone
        if (!at.Same()) return Conflict(c, t, c.after, at, "has changed since the run");
        return Run("DELETE FROM " + Quote(c.table) + " WHERE " + Where(t, 1), t, c.newRowid,
                   c.after, {});
      }
      case 'D': {
        Probe at;
        if (!Look(t, c.table, c.oldRowid, c.before, &at)) return false;
        if (at.Same()) return true;  // already back
        if (at.found) return Conflict(c, t, c.before, at, "was written again since the run");
        return Insert(t, c);
      }
      default: {
        Probe after;
        if (!Look(t, c.table, c.newRowid, c.after, &after)) return false;
        if (after.Same()) return Update(t, c);
        Probe before;
        if (!Look(t, c.table, c.oldRowid, c.before, &before)) return false;
        // Back as it was already: the change never committed (a killed run).
        if (before.Same() && (!after.found || after.current == before.current)) return true;
        if (!after.found) return Conflict(c, t, c.after, after, "is gone");
        return Conflict(c, t, c.after, after, "has changed since the run");
      }
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
    if (sqlite3_prepare_v2(db_, "SELECT name, pk FROM pragma_table_info(?1)", -1, &stmt,
                           nullptr) == SQLITE_OK) {
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

  // The row that the key of `image` (or `rowid`) names now, compared with `image` column by
  // column the way the database compares a stored value with a value given to it: the
  // column's affinity applied to the image's value, text and blobs byte for byte. (The
  // journal holds values as the record stores them: a REAL column's 1.0 is kept as the
  // integer 1 and reads back as 1.0.)
  bool Look(const TableInfo& t, const std::string& table, long long rowid, const Row& image,
            Probe* out) {
    const int n = static_cast<int>(t.columns.size());
    std::string sql = "SELECT ";
    for (int i = 0; i < n; ++i) {
      sql += (i ? ", " : "") + Quote(t.columns[i]) + " IS ?" + std::to_string(i + 1) +
             " COLLATE BINARY";
    }
    for (int i = 0; i < n; ++i) sql += ", " + Quote(t.columns[i]);
    sql += " FROM " + Quote(table) + " WHERE " + Where(t, n + 1);
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr);
    for (int i = 0; rc == SQLITE_OK && i < n; ++i) {
      rc = BindCell(stmt, i + 1, image[static_cast<std::size_t>(i)]);
    }
    if (rc == SQLITE_OK) rc = BindKey(stmt, t, n + 1, rowid, image);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    *out = Probe{};
    if (rc == SQLITE_ROW) {
      out->found = true;
      for (int i = 0; i < n; ++i) {
        out->same.push_back(sqlite3_column_int(stmt, i) != 0 ? 1 : 0);
        out->current.push_back(CellOf(sqlite3_column_value(stmt, n + i)));
      }
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

  // "STORE: TABLE row N WHAT (COLUMN is now X, the run left Y; ...)": which row, and for a
  // row that is there, which of its values stand against the run.
  bool Conflict(const Change& c, const TableInfo& t, const Row& image, const Probe& at,
                const std::string& what) {
    std::string key;
    if (t.withoutRowid) {
      for (int index : t.pk) key += (key.empty() ? "" : ", ") + EscapeBytes(image[index].value);
      key = "key \"" + key + "\"";
    } else {
      key = "row " + std::to_string(c.op == 'D' ? c.oldRowid : c.newRowid);
    }
    std::string detail;
    if (at.found) {
      const bool record = t.withoutRowid && t.columns.back() == "data";
      int shown = 0;
      for (std::size_t i = 0; i < at.same.size(); ++i) {
        if (at.same[i]) continue;
        if (++shown > 3) {
          detail += "; ...";
          break;
        }
        detail += detail.empty() ? "" : "; ";
        if (record && i + 1 == at.same.size()) {
          detail += "bytes " + ChangedBytes(image[i].value, at.current[i].value) + " differ";
        } else {
          detail += t.columns[i] + " is now " + CellText(at.current[i]) + ", the run left " +
                    CellText(image[i]);
        }
      }
    }
    conflicts.push_back(name_ + ": " + c.table + " " + key + " " + what +
                        (detail.empty() ? "" : " (" + detail + ")"));
    return false;
  }

  // The byte positions where `a` and `b` differ, as "3-5, 9".
  static std::string ChangedBytes(const std::string& a, const std::string& b) {
    std::string out;
    const std::size_t n = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < n;) {
      auto differs = [&](std::size_t k) { return k >= a.size() || k >= b.size() || a[k] != b[k]; };
      if (!differs(i)) {
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end + 1 < n && differs(end + 1)) ++end;
      out += (out.empty() ? "" : ", ") + std::to_string(i) +
             (end > i ? "-" + std::to_string(end) : "");
      i = end + 1;
    }
    return out;
  }

  bool Fail(const std::string& what) {
    if (failure.empty()) failure = name_ + ": " + what;
    return false;
  }

  sqlite3* db_;
  std::string name_;
  std::map<std::string, TableInfo> tables_;
};

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

// One store of the run, open with a transaction of its own while the undo decides.
struct OpenStore {
  const Store* store = nullptr;
  Database db;
  std::vector<std::string> conflicts;
  std::string failure;
  bool Sound() const { return conflicts.empty() && failure.empty(); }
};

// What the run did to files outside its stores, which an undo cannot take back.
std::vector<std::string> FilesNotPutBack(const RunRecord& run) {
  std::vector<std::string> out;
  for (const Event& e : run.events) {
    if (e.tag != "file" || e.fields.empty()) continue;
    if (e.fields[0] == "copy" && e.fields.size() == 5 && e.fields[4] == "done") {
      out.push_back("file " + e.fields[1] + " was copied to " + e.fields[2] +
                    (e.fields[3] == "replaced" ? " (replacing the file that was there)" : "") +
                    ": an undo does not take a file copy back");
    } else if (e.fields[0] == "delete" && e.fields.size() == 3 && e.fields[2] == "done") {
      out.push_back("file " + e.fields[1] + " was deleted: an undo cannot bring it back");
    }
  }
  return out;
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

UndoResult UndoRun(const fs::path& work_dir, const std::string& id, const Clock& clock,
                   const UndoOptions& options) {
  UndoResult result;
  std::optional<fs::path> dir = FindRunDir(work_dir, id, &result.error);
  if (!dir) return result;
  // The changes are read back one at a time, newest first, for each store.
  std::optional<RunRecord> run = ReadRun(*dir, &result.error, 0);
  if (!run) return result;
  result.error = WhyNotUndoable(*run);
  if (!result.error.empty()) return result;
  const std::vector<const Store*> todo = StoresToUndo(*run);
  if (!options.outside) {
    for (const Store* store : todo) {
      if (StoreInside(work_dir, store->path)) continue;
      result.error = "run " + run->id + " changed " + store->path +
                     ", which lies outside this site (" + work_dir.string() +
                     "); nothing was undone (undo --outside puts it back too)";
      return result;
    }
  }
  std::unique_ptr<RunJournal> journal = RunJournal::Start(
      work_dir, "Undo " + run->id, "undo", RunMode::kUndo, clock.Now(), {}, &result.error);
  if (!journal) {
    result.error += "; nothing was undone";
    return result;
  }
  journal->NoteUndoes(run->id);
  result.runId = journal->Id();

  // Every store is put back inside its own transaction, and each is kept open until all
  // are done: only then is it known whether any of them may commit.
  std::vector<OpenStore> stores;
  for (const Store* store : todo) {
    OpenStore& open = stores.emplace_back();
    open.store = store;
    const fs::path location = StoreLocation(work_dir, store->path);
    sqlite3* raw = nullptr;
    const bool opened =
        fs::is_regular_file(location) &&
        sqlite3_open_v2(location.string().c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr) ==
            SQLITE_OK;
    open.db.reset(raw);
    if (!opened) {
      open.failure = store->path + ": cannot open " + location.string();
      continue;
    }
    sqlite3* db = open.db.get();
    sqlite3_busy_timeout(db, 5000);
    journal->Attach(db, store->kind, location.string());
    StoreUndo undo(db, store->path);
    bool ok = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) undo.failure = store->path + ": " + sqlite3_errmsg(db);
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
      undo.failure = store->path + ": " + unread;
    }
    open.conflicts = std::move(undo.conflicts);
    open.failure = std::move(undo.failure);
  }

  const bool allSound =
      std::all_of(stores.begin(), stores.end(), [](const OpenStore& s) { return s.Sound(); });
  for (OpenStore& open : stores) {
    sqlite3* db = open.db.get();
    bool commit = open.Sound() && (allSound || options.partial);
    if (commit && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
      open.failure = open.store->path + ": " + sqlite3_errmsg(db);
      commit = false;
    }
    if (db != nullptr && sqlite3_get_autocommit(db) == 0) {
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    if (db != nullptr) journal->Detach(db);
    open.db.reset();
    for (const std::string& conflict : open.conflicts) {
      journal->Note("conflict: " + conflict);
      result.conflicts.push_back(conflict);
    }
    if (!open.failure.empty()) {
      journal->Note("failed: " + open.failure);
      result.failures.push_back(open.failure);
    }
    if (commit) {
      result.undone.push_back(open.store->path);
      std::ofstream(*dir / kUndoneFileName, std::ios::binary | std::ios::app)
          << open.store->path << '\n';
    } else if (open.Sound()) {
      journal->Note("held back: " + open.store->path);
      result.heldBack.push_back(open.store->path);
    }
  }
  result.notPutBack = FilesNotPutBack(*run);
  for (const std::string& line : result.notPutBack) journal->Note("not put back: " + line);
  const bool whole = result.conflicts.empty() && result.failures.empty();
  journal->Finish(whole, whole ? "" : "some stores were not undone");
  return result;
}

std::vector<std::string> UndoReport(const UndoResult& r) {
  std::vector<std::string> lines;
  if (!r.error.empty()) return {r.error};
  for (const std::string& store : r.undone) lines.push_back("undone: " + store);
  for (const std::string& c : r.conflicts) lines.push_back("conflict: " + c);
  for (const std::string& f : r.failures) lines.push_back("failed: " + f);
  for (const std::string& h : r.heldBack) {
    lines.push_back("held back: " + h + " (no conflict of its own)");
  }
  if (!r.conflicts.empty() || !r.failures.empty()) {
    lines.push_back(r.undone.empty()
                        ? "nothing was undone, so that the run's files and tables stay in step; "
                          "put the rows back by hand and undo again, or undo --partial to put "
                          "back the stores without a conflict"
                        : "the stores with a conflict or failure were left as they are");
  }
  for (const std::string& n : r.notPutBack) lines.push_back("not put back: " + n);
  lines.push_back("recorded as run " + r.runId);
  return lines;
}

}  // namespace talvor::journal
