// The system's SQLite is built with the pre-update hook; its declarations are only visible
// with this macro.
#ifndef SQLITE_ENABLE_PREUPDATE_HOOK
#define SQLITE_ENABLE_PREUPDATE_HOOK
#endif
#include "journal/run_journal.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <system_error>

#include "journal/sqlite_cells.h"

namespace talvor::journal {
namespace fs = std::filesystem;

namespace {

std::string TwoDigits(int n) {
  return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10);
}

std::string Stamp(const DateTime& t, bool forFolder) {
  const std::string date = std::to_string(t.date.year) + (forFolder ? "" : "-") +
                           TwoDigits(t.date.month) + (forFolder ? "" : "-") + TwoDigits(t.date.day);
  const std::string sep = forFolder ? "" : ":";
  return date + (forFolder ? "-" : " ") + TwoDigits(t.hour) + sep + TwoDigits(t.minute) + sep +
         TwoDigits(t.second);
}

std::string ModeName(RunMode mode) {
  switch (mode) {
    case RunMode::kRun:
      return "run";
    case RunMode::kDryRun:
      return "dry-run";
    case RunMode::kUndo:
      return "undo";
  }
  return "run";
}

// Which columns of `table` have a default other than NULL, read once per table.
const std::vector<char>& DefaultedColumns(RunJournal::Attached& a, sqlite3* db,
                                          const char* table) {
  if (a.lastDefaults != nullptr && a.defaultsTable == table) return *a.lastDefaults;
  auto [it, added] = a.defaults.try_emplace(table);
  a.defaultsTable = table;
  a.lastDefaults = &it->second;
  if (!added) return it->second;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT dflt_value IS NOT NULL FROM pragma_table_info(?1)", -1,
                         &stmt, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(stmt, 1, table, -1, SQLITE_TRANSIENT);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      it->second.push_back(sqlite3_column_int(stmt, 0) != 0 ? 1 : 0);
    }
  }
  sqlite3_finalize(stmt);
  return it->second;
}

// A row stored before ALTER TABLE ADD COLUMN has no value of its own for the new column: it
// reads as the column's default, but SQLite (3.40) hands the pre-update hook a NULL for it.
// Such a NULL in a column that has a default is read back from the row itself (the hook runs
// before the change, so the row is still as it was), lest an undo write NULL where the run
// found the default.
void RecoverAddedColumns(RunJournal::Attached& a, sqlite3* db, const char* table,
                         sqlite3_int64 rowid, std::vector<sqlite3_value*>& before) {
  const std::vector<char>& defaulted = DefaultedColumns(a, db, table);
  bool doubtful = false;
  for (std::size_t k = 0; k < before.size() && k < defaulted.size(); ++k) {
    doubtful = doubtful || (defaulted[k] && sqlite3_value_type(before[k]) == SQLITE_NULL);
  }
  if (!doubtful) return;
  std::string sql = "SELECT * FROM \"";
  for (const char* p = table; *p; ++p) sql += *p == '"' ? std::string("\"\"") : std::string(1, *p);
  sql += "\" WHERE rowid = ?1";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_bind_int64(stmt, 1, rowid) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW &&
      sqlite3_column_count(stmt) == static_cast<int>(before.size())) {
    for (std::size_t k = 0; k < before.size() && k < defaulted.size(); ++k) {
      if (!defaulted[k] || sqlite3_value_type(before[k]) != SQLITE_NULL) continue;
      sqlite3_value* copy = sqlite3_value_dup(sqlite3_column_value(stmt, static_cast<int>(k)));
      if (copy == nullptr) continue;
      a.owned.push_back(copy);
      before[k] = copy;
    }
  }
  sqlite3_finalize(stmt);
}

// Frees the copies RecoverAddedColumns made, when the hook returns.
struct FreeOwned {
  RunJournal::Attached& a;
  ~FreeOwned() {
    for (sqlite3_value* v : a.owned) sqlite3_value_free(v);
    a.owned.clear();
  }
};

void OnPreUpdate(void* context, sqlite3* db, int op, const char* schema, const char* table,
                 sqlite3_int64 key1, sqlite3_int64 key2) {
  auto& a = *static_cast<RunJournal::Attached*>(context);
  if (std::strcmp(schema, "main") != 0 || std::strncmp(table, "sqlite_", 7) == 0) return;
  // A record file's own bookkeeping tables never change during a run; only records count.
  if (a.kind == StoreKind::kRecord && std::strcmp(table, "records") != 0) return;
  const int n = sqlite3_preupdate_count(db);
  // The values stay SQLite's until the hook returns; they are compared and written from
  // there, without copies. The vectors are reused from change to change.
  std::vector<sqlite3_value*>& before = a.before;
  std::vector<sqlite3_value*>& after = a.after;
  before.resize(op == SQLITE_INSERT ? 0 : static_cast<std::size_t>(n));
  after.resize(op == SQLITE_DELETE ? 0 : static_cast<std::size_t>(n));
  // An UPDATE the layer announced sets only the columns it named: the others are the
  // before-image's, and SQLite need not copy them out (a copy, an allocation each).
  const bool announced = op == SQLITE_UPDATE && key1 == key2 && !a.hintTable.empty() &&
                         a.hintRowid == key1 &&
                         a.hintAssigned.size() == static_cast<std::size_t>(n) &&
                         sqlite3_stricmp(a.hintTable.c_str(), table) == 0;
  if (announced) a.hintTable.clear();
  for (int i = 0; i < static_cast<int>(before.size()); ++i) {
    sqlite3_preupdate_old(db, i, &before[static_cast<std::size_t>(i)]);
  }
  FreeOwned freeOwned{a};
  if (a.kind == StoreKind::kSql && !before.empty()) {
    RecoverAddedColumns(a, db, table, key1, before);
  }
  std::vector<char>& same = a.same;
  same.assign(after.size(), 0);
  for (int i = 0; i < static_cast<int>(after.size()); ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (announced && !a.hintAssigned[k]) {
      after[k] = before[k];
      same[k] = 1;
    } else {
      sqlite3_preupdate_new(db, i, &after[k]);
    }
  }
  // A post that wrote back what was there changes nothing worth keeping; of a real update,
  // the columns it left alone are written as "same" in its after-image.
  if (op == SQLITE_UPDATE) {
    bool all = key1 == key2;
    for (int i = 0; i < n; ++i) {
      const auto k = static_cast<std::size_t>(i);
      if (!same[k]) same[k] = SameValue(before[k], after[k]) ? 1 : 0;
      all = all && same[k];
    }
    if (all) return;
  }
  const char code = op == SQLITE_INSERT ? 'I' : op == SQLITE_DELETE ? 'D' : 'U';
  a.journal->AddChange(a, table, code, op == SQLITE_INSERT ? 0 : key1,
                       op == SQLITE_DELETE ? 0 : key2, before, after);
}

int OnCommit(void* context) {
  auto& a = *static_cast<RunJournal::Attached*>(context);
  a.journal->Commit(a);
  // A dry run never lets a store commit: a commit turns into a rollback.
  return a.journal->Mode() == RunMode::kDryRun ? 1 : 0;
}

void OnRollback(void* context) {
  static_cast<RunJournal::Attached*>(context)->pending.clear();
}

int OnAuthorize(void* context, int action, const char* arg1, const char*, const char*,
                const char*) {
  if (action != SQLITE_DROP_TABLE || arg1 == nullptr) return SQLITE_OK;
  auto& a = *static_cast<RunJournal::Attached*>(context);
  if (a.journal->Mode() == RunMode::kDryRun) {
    a.journal->Refuse(arg1);
    return SQLITE_DENY;
  }
  a.journal->DroppedTable(arg1);
  return SQLITE_OK;
}

}  // namespace

std::unique_ptr<RunJournal> RunJournal::Start(
    const fs::path& work_dir, const std::string& routine, const std::string& slug, RunMode mode,
    const DateTime& now, const std::vector<std::pair<std::string, std::string>>& settings,
    std::string* error) {
  const fs::path runs = RunsDir(work_dir);
  std::error_code ec;
  fs::create_directories(runs, ec);
  if (ec) {
    *error = "Cannot create the run journal folder " + runs.string() + ": " + ec.message();
    return nullptr;
  }
  const std::string stamp = Stamp(now, true);
  // Runs begun in the same second are numbered, whatever their routine, so that folder
  // names sort in the order the runs began.
  std::set<std::string> taken;
  for (const auto& entry : fs::directory_iterator(runs, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, stamp.size(), stamp) == 0)
      taken.insert(name.substr(0, name.find('-', stamp.size())));
  }
  std::string id;
  for (int n = 1; n < 100000 && id.empty(); ++n) {
    const std::string prefix = stamp + (n == 1 ? "" : "." + std::to_string(n));
    if (taken.count(prefix) != 0) continue;
    id = prefix + "-" + slug;
    if (!fs::create_directory(runs / id, ec)) {
      if (ec) {
        *error = "Cannot create the run folder " + (runs / id).string() + ": " + ec.message();
        return nullptr;
      }
      id.clear();
    }
  }
  if (id.empty()) {
    *error = "Cannot create a run folder in " + runs.string();
    return nullptr;
  }
  const fs::path dir = runs / id;
  fs::path workDir = fs::weakly_canonical(fs::absolute(work_dir, ec), ec);
  if (ec) workDir = work_dir;
  std::unique_ptr<RunJournal> journal(new RunJournal(workDir, dir, id, mode));
  if (!journal->out_.Create(dir / kJournalFileName, error)) {
    *error = "Cannot create the run journal: " + *error;
    return nullptr;
  }
  journal->WriteLine("talvor-journal\t1");
  journal->WriteLine("routine\t" + Escape(routine));
  journal->WriteLine("slug\t" + Escape(slug));
  journal->WriteLine("mode\t" + ModeName(mode));
  journal->WriteLine("started\t" + Stamp(now, false));
  for (const auto& [name, value] : settings) {
    journal->WriteLine("setting\t" + Escape(name) + "\t" + Escape(value));
  }
  if (!journal->problem_.empty()) {
    *error = journal->problem_;
    return nullptr;
  }
  return journal;
}

RunJournal::~RunJournal() {
  if (!finished_) Finish(false, "the run was abandoned");
  out_.Close();
}

void RunJournal::Watch() {
  watching_ = true;
  SetRecordStoreObserver(this);
  sqldb::SetConnectionObserver(this);
}

void RunJournal::OnStoreOpened(sqlite3* db, const std::string& path) {
  Hook(db, StoreKind::kRecord, path);
}

void RunJournal::OnConnectionOpened(sqlite3* db, const fs::path& path) {
  Hook(db, StoreKind::kSql, path.string());
}

void RunJournal::OnRowUpdate(sqlite3* db, const std::string& table, std::int64_t rowid,
                             const std::vector<char>& assigned) {
  for (auto& a : attached_) {
    if (a->db != db) continue;
    a->hintTable = table;
    a->hintRowid = rowid;
    a->hintAssigned = assigned;
  }
}

void RunJournal::Attach(sqlite3* db, StoreKind kind, const std::string& path) {
  Hook(db, kind, path);
}

void RunJournal::Hook(sqlite3* db, StoreKind kind, const std::string& path) {
  auto a = std::make_unique<Attached>();
  a->journal = this;
  a->db = db;
  a->kind = kind;
  a->store = StoreId(kind, path);
  Attached* raw = a.get();
  attached_.push_back(std::move(a));
  sqlite3_preupdate_hook(db, &OnPreUpdate, raw);
  sqlite3_commit_hook(db, &OnCommit, raw);
  sqlite3_rollback_hook(db, &OnRollback, raw);
  if (kind == StoreKind::kSql) sqlite3_set_authorizer(db, &OnAuthorize, raw);
  if (mode_ == RunMode::kDryRun) {
    raw->began = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!raw->began) {
      // The commit hook still keeps every write from lasting.
      raw->failedBegin = true;
      Note("could not begin the dry run's transaction on " + path + ": " + sqlite3_errmsg(db));
    }
  }
}

void RunJournal::Unhook(Attached& a) {
  Commit(a);
  // Column names, so that the changes report can name what changed.
  for (const std::string& table : a.tables) {
    std::string line = "columns\t" + std::to_string(a.store) + "\t" + Escape(table);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(a.db, "SELECT name FROM pragma_table_info(?1)", -1, &stmt, nullptr) ==
        SQLITE_OK) {
      sqlite3_bind_text(stmt, 1, table.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        line += "\t" + Escape(name ? name : "");
      }
    }
    sqlite3_finalize(stmt);
    WriteLine(line);
  }
  sqlite3_preupdate_hook(a.db, nullptr, nullptr);
  sqlite3_commit_hook(a.db, nullptr, nullptr);
  sqlite3_rollback_hook(a.db, nullptr, nullptr);
  if (a.kind == StoreKind::kSql) sqlite3_set_authorizer(a.db, nullptr, nullptr);
  a.db = nullptr;
}

void RunJournal::Detach(sqlite3* db) {
  for (auto& a : attached_) {
    if (a->db == db) Unhook(*a);
  }
}

std::string RunJournal::Name(const fs::path& path) const {
  std::error_code ec;
  const fs::path absolute = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (ec) return path.string();
  const fs::path relative = absolute.lexically_relative(workDir_);
  if (relative.empty() || *relative.begin() == ".." || relative.is_absolute()) {
    return absolute.string();
  }
  return relative.generic_string();
}

int RunJournal::StoreId(StoreKind kind, const std::string& path) {
  const std::string name = Name(path);
  auto [it, added] = stores_.emplace(name, static_cast<int>(stores_.size()) + 1);
  if (added) {
    WriteLine("store\t" + std::to_string(it->second) + "\t" +
              (kind == StoreKind::kRecord ? "record" : "sql") + "\t" + Escape(name));
  }
  return it->second;
}

void RunJournal::AddChange(Attached& a, const char* table, char op, long long oldRowid,
                           long long newRowid, const std::vector<sqlite3_value*>& before,
                           const std::vector<sqlite3_value*>& after) {
  std::string& line = a.pending;
  line += "change\t";
  line += std::to_string(a.store);
  line += '\t';
  AppendEscaped(line, table);
  line += '\t';
  line += op;
  for (long long number : {oldRowid, newRowid, static_cast<long long>(before.size()),
                           static_cast<long long>(after.size())}) {
    char buffer[24];
    const int n = std::snprintf(buffer, sizeof buffer, "\t%lld", number);
    line.append(buffer, static_cast<std::size_t>(n));
  }
  for (sqlite3_value* value : before) {
    line += '\t';
    AppendValue(line, value);
  }
  for (std::size_t i = 0; i < after.size(); ++i) {
    line += '\t';
    if (i < a.same.size() && a.same[i]) {
      line += kSameCell;
    } else {
      AppendValue(line, after[i]);
    }
  }
  line += '\n';
  if (a.tables.size() < 1000 && (a.tables.empty() || a.lastTable != table)) {
    a.lastTable = table;
    a.tables.insert(table);
  }
  // In a dry run nothing commits; its changes are written as they come.
  if (mode_ == RunMode::kDryRun) Commit(a);
}

void RunJournal::Commit(Attached& a) {
  if (a.pending.empty()) return;
  if (!out_.Append(a.pending) && problem_.empty()) {
    problem_ = "a change could not be written to " + dir_.string();
  }
  a.pending.clear();
}

void RunJournal::Refuse(const std::string& table) {
  refusal_ = "Dry run: the routine wanted to drop the table \"" + table +
             "\", which cannot be taken back; the statement was not run";
  Note(refusal_);
}

void RunJournal::DroppedTable(const std::string& table) {
  if (dropped_.insert(table).second) {
    Note("the table \"" + table +
         "\" may have been dropped by this run; its rows are not in the journal and an undo "
         "cannot bring them back");
  }
}

void RunJournal::WriteLine(const std::string& line) {
  Write(line);
  Write("\n");
}

void RunJournal::Write(std::string_view bytes) {
  if (!out_.Append(bytes) && problem_.empty()) {
    problem_ = "the journal " + dir_.string() + " could not be written";
  }
}

void RunJournal::NoteQuestion(const std::string& question, bool yes) {
  WriteLine("ask\t" + Escape(question) + "\t" + (yes ? "yes" : "no"));
}

void RunJournal::NoteMessage(const std::string& text) {
  WriteLine("notify\t" + Escape(text));
}

void RunJournal::NoteReport(const std::string& name) {
  WriteLine("report\t" + Escape(name));
}

void RunJournal::Note(const std::string& text) {
  WriteLine("note\t" + Escape(text));
}

void RunJournal::NoteUndoes(const std::string& id) {
  WriteLine("undoes\t" + Escape(id));
}

void RunJournal::NoteFileCopy(const fs::path& from, const fs::path& to, bool replaced,
                              const std::string& outcome) {
  WriteLine("file\tcopy\t" + Escape(Name(from)) + "\t" + Escape(Name(to)) + "\t" +
            (replaced ? "replaced" : "new") + "\t" + Escape(outcome));
}

void RunJournal::NoteFileDelete(const fs::path& path, const std::string& outcome) {
  WriteLine("file\tdelete\t" + Escape(Name(path)) + "\t" + Escape(outcome));
}

bool RunJournal::Finish(bool completed, const std::string& error) {
  if (finished_) return problem_.empty();
  finished_ = true;
  WriteLine(completed ? std::string("outcome\tcompleted") : "outcome\terror\t" + Escape(error));
  for (auto& a : attached_) {
    sqlite3* db = a->db;
    if (db == nullptr) continue;
    const bool rollBack = mode_ == RunMode::kDryRun && sqlite3_get_autocommit(db) == 0;
    Unhook(*a);
    if (rollBack) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  if (watching_) {
    SetRecordStoreObserver(nullptr);
    sqldb::SetConnectionObserver(nullptr);
    watching_ = false;
  }
  if (problem_.empty()) {
    WriteLine("end\tcomplete");
  } else {
    WriteLine("end\tincomplete\t" + Escape(problem_));
  }
  if (!out_.Close() && problem_.empty()) {
    problem_ = "the journal " + dir_.string() + " could not be written";
  }
  return problem_.empty();
}

}  // namespace talvor::journal
