// The system's SQLite is built with the pre-update hook; its declarations are only visible
// with this macro.
#ifndef SQLITE_ENABLE_PREUPDATE_HOOK
#define SQLITE_ENABLE_PREUPDATE_HOOK
#endif
#include "platform/sqlite_capture.h"

#include <sqlite3.h>

#include <cstring>

namespace talvor::sqlite {

namespace {

void PreUpdateHook(void* context, sqlite3*, int op, const char* schema, const char* table,
                   sqlite3_int64 key1, sqlite3_int64 key2) {
  if (std::strcmp(schema, "main") != 0 || std::strncmp(table, "sqlite_", 7) == 0) return;
  static_cast<Capture*>(context)->OnPreUpdate(op, table, key1, key2);
}

int CommitHook(void* context) { return static_cast<Capture*>(context)->OnCommitting(); }

void RollbackHook(void* context) { static_cast<Capture*>(context)->OnRolledBack(); }

int AuthorizeHook(void* context, int action, const char* arg1, const char*, const char*,
                  const char*) {
  return static_cast<Capture*>(context)->OnAuthorize(action, arg1);
}

// A text or blob value's bytes. In a UTF-8 database a text's stored bytes are its UTF-8
// bytes, and sqlite3_value_blob hands them over as they are, where sqlite3_value_text would
// first copy every value read out of a row to end it with a NUL (an allocation per cell).
const void* BytesOf(sqlite3_value* v, bool utf8) {
  return utf8 ? sqlite3_value_blob(v) : sqlite3_value_text(v);
}

bool SameValue(sqlite3_value* a, sqlite3_value* b, bool utf8) {
  const int type = sqlite3_value_type(a);
  if (type != sqlite3_value_type(b)) return false;
  switch (type) {
    case SQLITE_NULL:
      return true;
    case SQLITE_INTEGER:
      return sqlite3_value_int64(a) == sqlite3_value_int64(b);
    case SQLITE_FLOAT: {
      // Bit for bit, as the written digits tell them apart (0.0 and -0.0 differ).
      const double x = sqlite3_value_double(a), y = sqlite3_value_double(b);
      return std::memcmp(&x, &y, sizeof x) == 0;
    }
    default: {
      const void* x = type == SQLITE_TEXT ? BytesOf(a, utf8) : sqlite3_value_blob(a);
      const void* y = type == SQLITE_TEXT ? BytesOf(b, utf8) : sqlite3_value_blob(b);
      const int n = sqlite3_value_bytes(a);
      return n == sqlite3_value_bytes(b) && (n == 0 || std::memcmp(x, y, n) == 0);
    }
  }
}

// The connection's text encoding is UTF-8 (a database's encoding is fixed when it is
// created; SQLite's default).
bool IsUtf8(sqlite3* db) {
  sqlite3_stmt* stmt = nullptr;
  bool utf8 = false;
  if (sqlite3_prepare_v2(db, "PRAGMA encoding", -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    utf8 = name != nullptr && std::strcmp(name, "UTF-8") == 0;
  }
  sqlite3_finalize(stmt);
  return utf8;
}

// Frees the copies RecoverAddedColumns made, when the hook returns.
struct FreeOwned {
  std::vector<sqlite3_value*>& owned;
  ~FreeOwned() {
    for (sqlite3_value* v : owned) sqlite3_value_free(v);
    owned.clear();
  }
};

}  // namespace

Capture::Capture(sqlite3* db, ChangeSink& sink, int store, StoreKind kind, CaptureMode mode)
    : db_(db), sink_(sink), store_(store), kind_(kind), mode_(mode), utf8_(IsUtf8(db)) {
  sqlite3_preupdate_hook(db_, &PreUpdateHook, this);
  sqlite3_commit_hook(db_, &CommitHook, this);
  sqlite3_rollback_hook(db_, &RollbackHook, this);
  if (kind_ == StoreKind::kSql) sqlite3_set_authorizer(db_, &AuthorizeHook, this);
  if (mode_ == CaptureMode::kDryRun) {
    began_ = sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    // The commit hook still keeps every write from lasting.
    if (!began_) {
      sink_.OnNote(store_, std::string("could not begin the dry run's transaction: ") +
                               sqlite3_errmsg(db_));
    }
  }
}

Capture::~Capture() { Finish(); }

void Capture::Finish() {
  if (finished_) return;
  finished_ = true;
  const bool rollBack = mode_ == CaptureMode::kDryRun && sqlite3_get_autocommit(db_) == 0;
  sqlite3_preupdate_hook(db_, nullptr, nullptr);
  sqlite3_commit_hook(db_, nullptr, nullptr);
  sqlite3_rollback_hook(db_, nullptr, nullptr);
  if (kind_ == StoreKind::kSql) sqlite3_set_authorizer(db_, nullptr, nullptr);
  if (rollBack) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Capture::Announce(std::string_view table, std::int64_t rowid,
                       const std::vector<char>& assigned) {
  hintTable_.assign(table);
  hintRowid_ = rowid;
  hintAssigned_ = assigned;
}

Capture::TableInfo& Capture::Info(const char* table) {
  if (lastInfo_ != nullptr && lastTable_ == table) return *lastInfo_;
  auto [it, added] = tables_.try_emplace(table);
  lastTable_ = table;
  lastInfo_ = &it->second;
  if (!added) return it->second;
  // A read inside the hook, on the connection that is writing: SQLite allows it, and the
  // row being changed is still as it was.
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, "SELECT name, dflt_value IS NOT NULL FROM pragma_table_info(?1)",
                         -1, &stmt, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(stmt, 1, table, -1, SQLITE_TRANSIENT);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      it->second.columns.emplace_back(name ? name : "");
      it->second.defaulted.push_back(sqlite3_column_int(stmt, 1) != 0 ? 1 : 0);
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
void Capture::RecoverAddedColumns(TableInfo& info, const char* table, std::int64_t rowid) {
  bool doubtful = false;
  for (std::size_t k = 0; k < before_.size() && k < info.defaulted.size(); ++k) {
    doubtful = doubtful || (info.defaulted[k] && sqlite3_value_type(before_[k]) == SQLITE_NULL);
  }
  if (!doubtful) return;
  std::string sql = "SELECT * FROM \"";
  for (const char* p = table; *p; ++p) sql += *p == '"' ? std::string("\"\"") : std::string(1, *p);
  sql += "\" WHERE rowid = ?1";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_bind_int64(stmt, 1, rowid) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW &&
      sqlite3_column_count(stmt) == static_cast<int>(before_.size())) {
    for (std::size_t k = 0; k < before_.size() && k < info.defaulted.size(); ++k) {
      if (!info.defaulted[k] || sqlite3_value_type(before_[k]) != SQLITE_NULL) continue;
      sqlite3_value* copy = sqlite3_value_dup(sqlite3_column_value(stmt, static_cast<int>(k)));
      if (copy == nullptr) continue;
      owned_.push_back(copy);
      before_[k] = copy;
    }
  }
  sqlite3_finalize(stmt);
}

CellView Capture::ViewOf(sqlite3_value* v) const {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return CellView{};
    case SQLITE_INTEGER:
      return CellView{Cell::Kind::kInteger, sqlite3_value_int64(v), 0, {}};
    case SQLITE_FLOAT:
      return CellView{Cell::Kind::kFloat, 0, sqlite3_value_double(v), {}};
    case SQLITE_TEXT: {
      const auto* text = static_cast<const char*>(BytesOf(v, utf8_));
      const auto size = static_cast<std::size_t>(sqlite3_value_bytes(v));
      return CellView{Cell::Kind::kText, 0, 0, {text ? text : "", text ? size : 0}};
    }
    default: {
      const auto* blob = static_cast<const char*>(sqlite3_value_blob(v));
      const auto size = static_cast<std::size_t>(sqlite3_value_bytes(v));
      return CellView{Cell::Kind::kBlob, 0, 0, {blob ? blob : "", blob ? size : 0}};
    }
  }
}

void Capture::OnPreUpdate(int op, const char* table, std::int64_t key1, std::int64_t key2) {
  // A record file's own bookkeeping tables never change during a run; only records count.
  if (kind_ == StoreKind::kRecord && std::strcmp(table, "records") != 0) return;
  TableInfo& info = Info(table);
  const int n = sqlite3_preupdate_count(db_);
  // The values stay SQLite's until the hook returns; they are compared and handed over from
  // there, without copies. The vectors are reused from change to change.
  before_.resize(op == SQLITE_INSERT ? 0 : static_cast<std::size_t>(n));
  after_.resize(op == SQLITE_DELETE ? 0 : static_cast<std::size_t>(n));
  // An UPDATE the layer announced sets only the columns it named: the others are the
  // before-image's, and SQLite need not copy them out (a copy, an allocation each).
  const bool announced = op == SQLITE_UPDATE && key1 == key2 && !hintTable_.empty() &&
                         hintRowid_ == key1 &&
                         hintAssigned_.size() == static_cast<std::size_t>(n) &&
                         sqlite3_stricmp(hintTable_.c_str(), table) == 0;
  if (announced) hintTable_.clear();
  for (int i = 0; i < static_cast<int>(before_.size()); ++i) {
    sqlite3_preupdate_old(db_, i, &before_[static_cast<std::size_t>(i)]);
  }
  FreeOwned freeOwned{owned_};
  if (kind_ == StoreKind::kSql && !before_.empty()) RecoverAddedColumns(info, table, key1);
  same_.assign(after_.size(), 0);
  for (int i = 0; i < static_cast<int>(after_.size()); ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (announced && !hintAssigned_[k]) {
      after_[k] = before_[k];
      same_[k] = 1;
    } else {
      sqlite3_preupdate_new(db_, i, &after_[k]);
    }
  }
  // A post that wrote back what was there changes nothing worth keeping; of a real update,
  // the columns it left alone are told as "same".
  if (op == SQLITE_UPDATE) {
    bool all = key1 == key2;
    for (int i = 0; i < n; ++i) {
      const auto k = static_cast<std::size_t>(i);
      if (!same_[k]) same_[k] = SameValue(before_[k], after_[k], utf8_) ? 1 : 0;
      all = all && same_[k];
    }
    if (all) return;
  }
  if (!info.told) {
    info.told = true;
    sink_.OnTable(store_, table, info.columns);
  }
  beforeViews_.resize(before_.size());
  for (std::size_t k = 0; k < before_.size(); ++k) beforeViews_[k] = ViewOf(before_[k]);
  // A cell that is the before-image's is viewed once.
  afterViews_.resize(after_.size());
  for (std::size_t k = 0; k < after_.size(); ++k) {
    afterViews_[k] = same_[k] ? beforeViews_[k] : ViewOf(after_[k]);
  }
  ChangeView change;
  change.table = table;
  change.op = op == SQLITE_INSERT   ? ChangeOp::kInsert
              : op == SQLITE_DELETE ? ChangeOp::kDelete
                                    : ChangeOp::kUpdate;
  change.oldRowid = op == SQLITE_INSERT ? 0 : key1;
  change.newRowid = op == SQLITE_DELETE ? 0 : key2;
  change.before = beforeViews_;
  change.after = afterViews_;
  change.same = same_;
  sink_.OnChange(store_, change);
}

int Capture::OnCommitting() {
  sink_.OnCommit(store_);
  // A dry run never lets a store commit: a commit turns into a rollback.
  return mode_ == CaptureMode::kDryRun ? 1 : 0;
}

void Capture::OnRolledBack() { sink_.OnRollback(store_); }

int Capture::OnAuthorize(int action, const char* table) {
  if (action != SQLITE_DROP_TABLE || table == nullptr) return SQLITE_OK;
  const bool refuse = mode_ == CaptureMode::kDryRun;
  sink_.OnDropTable(store_, table, refuse);
  return refuse ? SQLITE_DENY : SQLITE_OK;
}

}  // namespace talvor::sqlite
