#include "journal/undo.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "journal/journal_file.h"
#include "journal/run_journal.h"
#include "legacy/capture.h"
#include "legacy/record_file.h"
#include "platform/change.h"
#include "sqldb/capture.h"

namespace talvor::journal {
namespace fs = std::filesystem;

namespace {

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

// One store being put back, inside its transaction.
class StoreUndo {
 public:
  StoreUndo(RowStore& store, std::string name) : store_(store), name_(std::move(name)) {}

  // Puts back one change; false (and a conflict or failure noted) when it cannot.
  bool Revert(const Change& c) {
    const RowStore::Shape& t = store_.Describe(c.table);
    if (!t.exists) return Fail(c.table + ": the table is gone");
    const std::size_t width = c.before.empty() ? c.after.size() : c.before.size();
    if (t.columns.size() != width) return Fail(c.table + ": the table's columns have changed");
    std::string error;
    switch (c.op) {
      case 'I': {
        Probe at;
        if (!store_.Look(c.table, c.newRowid, c.after, &at, &error)) return Fail(error);
        if (!at.found) return true;  // already gone
        if (!at.Same()) return Conflict(c, t, c.after, at, "has changed since the run");
        return store_.Remove(c.table, c.newRowid, c.after, &error) || Fail(error);
      }
      case 'D': {
        Probe at;
        if (!store_.Look(c.table, c.oldRowid, c.before, &at, &error)) return Fail(error);
        if (at.Same()) return true;  // already back
        if (at.found) return Conflict(c, t, c.before, at, "was written again since the run");
        return store_.Add(c.table, c.oldRowid, c.before, &error) || Fail(error);
      }
      default: {
        Probe after;
        if (!store_.Look(c.table, c.newRowid, c.after, &after, &error)) return Fail(error);
        if (after.Same()) {
          return store_.Replace(c.table, c.newRowid, c.after, c.oldRowid, c.before, &error) ||
                 Fail(error);
        }
        Probe before;
        if (!store_.Look(c.table, c.oldRowid, c.before, &before, &error)) return Fail(error);
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
  // "STORE: TABLE row N WHAT (COLUMN is now X, the run left Y; ...)": which row, and for a
  // row that is there, which of its values stand against the run.
  bool Conflict(const Change& c, const RowStore::Shape& t, const Row& image, const Probe& at,
                const std::string& what) {
    std::string key;
    if (!t.ByRowid()) {
      for (int index : t.key) key += (key.empty() ? "" : ", ") + EscapeBytes(image[index].value);
      key = "key \"" + key + "\"";
    } else {
      key = "row " + std::to_string(c.op == 'D' ? c.oldRowid : c.newRowid);
    }
    std::string detail;
    if (at.found) {
      const bool record = !t.ByRowid() && t.columns.back() == "data";
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

  RowStore& store_;
  std::string name_;
};

// One store of the run, open with a transaction of its own while the undo decides.
struct OpenStore {
  const Store* store = nullptr;
  std::unique_ptr<RowStore> rows;
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
    std::string error;
    open.rows = store->kind == StoreKind::kRecord
                    ? OpenRecordFileToRestore(location, journal.get(), &error)
                    : sqldb::OpenDatabaseToRestore(location, journal.get(), &error);
    if (!open.rows) {
      open.failure = store->path + ": " + error;
      continue;
    }
    StoreUndo undo(*open.rows, store->path);
    bool ok = true;
    std::string unread;
    if (!ForEachChange(
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
    bool commit = open.rows && open.Sound() && (allSound || options.partial);
    std::string error;
    if (commit && !open.rows->Commit(&error)) {
      open.failure = open.store->path + ": " + error;
      commit = false;
    }
    open.rows.reset();  // rolls back what was not committed
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
