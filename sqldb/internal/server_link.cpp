#include "sqldb/internal/server_link.h"

#include <algorithm>
#include <optional>

#include "shell/text/text.h"
#include "sqldb/error.h"
#include "sqldb/internal/sqltext.h"
#include "sqldb/stats.h"

namespace talvor::sqldb::internal {

namespace {

// Open server connections by connection string; entries expire when the last holder lets
// go. Kept ones stay open between uses, until CloseIdleConnections.
struct Links {
  std::map<std::string, std::weak_ptr<ServerLink>> open;
  std::map<std::string, std::shared_ptr<ServerLink>> kept;
  ChangeSink* sink = nullptr;
  CaptureMode mode = CaptureMode::kRecord;
  std::vector<std::shared_ptr<ServerLink>> held;  // for the capture, while it lasts
};
Links& TheLinks() {
  static Links links;
  return links;
}

// How many rowids one "IN (...)" names.
constexpr std::size_t kIdsPerRead = 100;

// A savepoint of the dry run's one transaction, so that a statement the server refuses
// inside it is undone alone instead of spoiling the whole transaction.
class Savepoint {
 public:
  Savepoint(odbc::Connection& connection, std::string name)
      : s_(connection), name_(std::move(name)) {
    s_.ExecDirect("SAVEPOINT " + name_);
  }
  void Release() { Run("RELEASE SAVEPOINT "); }
  void RollBack() { Run("ROLLBACK TO SAVEPOINT "); }

 private:
  void Run(const std::string& verb) {
    s_.Reset();
    s_.ExecDirect(verb + name_);
  }
  odbc::Statement s_;
  std::string name_;
};

// The columns of `table` from the current row of `s`, the first of them at `first`.
void ReadColumns(const odbc::Statement& s, const TableInfo& table, int first,
                 std::vector<Variant>& row) {
  row.resize(table.columns.size());
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    row[i] = ReadServerValue(s, first + static_cast<int>(i), table.columns[i].kind);
  }
}

// The rows a write of one row by its rowid changed (0 or 1); one that returns its rowid
// and row (RETURNING) gives the row in `row`.
std::int64_t RowsOfOneRowWrite(odbc::Statement& s, const TableInfo& table, bool returning,
                               std::vector<Variant>& row) {
  if (!returning) return s.RowCount();
  if (!s.Fetch()) return 0;
  ReadColumns(s, table, 2, row);
  return 1;
}

// An UPDATE of `table` that sets `set` on the rows `where` (may be empty) selects and
// returns, for each, its rowid and its columns as they were, then, when `asWritten`, its
// columns as written. The rows as they were come from a locked read of them before the
// write, under names of their own, so that `set` still names the table's columns.
std::string UpdateReturningRows(const ServerDatabase& db, const TableInfo& table,
                                std::string_view set, std::string_view where, bool asWritten) {
  const std::string quoted = db.Quote(table.name);
  const std::string id = db.RowidName();
  std::string old = id + " AS talvor_old_id";
  std::string returned = "talvor_old.talvor_old_id";
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    old += ", " + db.Quote(table.columns[i].name) + " AS talvor_old_" + std::to_string(i);
    returned += ", talvor_old.talvor_old_" + std::to_string(i);
  }
  if (asWritten) returned += ", " + db.ColumnList(table, quoted + ".");
  return "UPDATE " + quoted + " SET " + std::string(set) + " FROM (SELECT " + old + " FROM " +
         quoted + (where.empty() ? "" : " WHERE " + std::string(where)) +
         " FOR UPDATE) AS talvor_old WHERE " + quoted + "." + id +
         " = talvor_old.talvor_old_id RETURNING " + returned;
}

CellView ViewOf(const Variant& value, std::string& scratch) {
  CellView view;
  switch (value.type()) {
    case Variant::Type::kNull: break;
    case Variant::Type::kInteger:
      view.kind = Cell::Kind::kInteger;
      view.integer = value.Integer();
      break;
    case Variant::Type::kFloat:
      view.kind = Cell::Kind::kFloat;
      view.real = value.Float();
      break;
    case Variant::Type::kText:
      view.kind = Cell::Kind::kText;
      view.bytes = value.Text();
      break;
    default: {
      // Not read from a server (which gives numbers and text), but complete all the same.
      const Cell cell = JournalCell(value);
      scratch = cell.value;
      view.kind = cell.kind;
      if (cell.kind == Cell::Kind::kInteger) {
        view.integer = value.type() == Variant::Type::kBoolean && value.Boolean() ? 1 : 0;
      } else {
        view.bytes = scratch;
      }
    }
  }
  return view;
}

}  // namespace

std::shared_ptr<ServerLink> ServerLink::Open(const DatabaseTarget& target) {
  Links& links = TheLinks();
  if (auto it = links.open.find(target.connection); it != links.open.end()) {
    if (auto shared = it->second.lock()) return shared;
    links.open.erase(it);
  }
  std::shared_ptr<ServerLink> link(new ServerLink(target));
  links.open[target.connection] = link;
  links.kept[target.connection] = link;
  if (links.sink != nullptr) {
    link->StartCapture(*links.sink, links.mode);
    links.held.push_back(link);
  }
  return link;
}

void ServerLink::CaptureAll(ChangeSink* sink, CaptureMode mode) {
  Links& links = TheLinks();
  for (auto& link : links.held) link->EndCapture();
  links.held.clear();
  links.sink = sink;
  links.mode = mode;
  if (sink == nullptr) return;
  for (auto& [key, weak] : links.open) {
    if (auto link = weak.lock()) {
      link->StartCapture(*sink, mode);
      links.held.push_back(std::move(link));
    }
  }
}

void ServerLink::CloseIdle() { TheLinks().kept.clear(); }

void ServerLink::EndChains() {
  for (auto& [key, weak] : TheLinks().open) {
    if (auto link = weak.lock()) link->EndChain(/*commit=*/true);
  }
}

ServerLink::ServerLink(const DatabaseTarget& target)
    : db_(target.connection), prepared_(db_.connection()) {}

ServerLink::~ServerLink() {
  try {
    EndCapture();
  } catch (const Error&) {
    // Closing the connection ends its transaction too.
  }
}

odbc::Statement& ServerLink::Prepared(const std::string& sql) {
  return prepared_.Get(sql);
}

const std::string& ServerLink::WriteText(char op, bool returning, const TableInfo& table,
                                         const std::vector<char>& assigned,
                                         const std::function<std::string()>& make) {
  // Past a few hundred kept (tables described again and again), they are made anew.
  constexpr std::size_t kMaxTexts = 256;
  std::string key(1, op);
  key += returning ? 'r' : '-';
  key += std::to_string(table.described);
  key += ':';
  key.append(assigned.begin(), assigned.end());
  // Not one of this connection's descriptions: nothing to keep it by.
  if (table.described == 0) return writeTexts_[""] = make();
  auto it = writeTexts_.find(key);
  if (it != writeTexts_.end()) return it->second;
  if (writeTexts_.size() >= kMaxTexts) writeTexts_.clear();
  return writeTexts_.emplace(std::move(key), make()).first->second;
}

void ServerLink::LoadSpellings() {
  tableSpellings_.clear();
  columnSpellings_.clear();
  for (const std::string& table : db_.TableNames()) {
    tableSpellings_.try_emplace(LowerCase(table), table);
  }
  odbc::Statement s(db_.connection());
  s.Check(SQLColumns(s.get(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
          "cannot list the columns of " + Shown());
  while (s.Fetch()) {
    const std::string column = s.Text(4).value_or("");
    columnSpellings_[LowerCase(s.Text(3).value_or(""))].try_emplace(LowerCase(column), column);
  }
  // Each column as the first table (in name order) that has it spells it.
  anyColumnSpellings_.clear();
  for (const auto& [table, columns] : columnSpellings_) {
    for (const auto& [key, spelling] : columns) anyColumnSpellings_.try_emplace(key, spelling);
  }
  spellingsLoaded_ = true;
}

std::string ServerLink::ForServer(std::string_view text, std::string_view filterOf) {
  if (!spellingsLoaded_) LoadSpellings();
  const std::string sql =
      OrderByRowidWhenUnordered(OrderTiesByGroups(text, [&](const GroupShape& shape) {
        return GroupsByIndex(shape);
      }), db_.RowidName());
  // Two tables may spell a column differently ("Status", "status"): a column is spelled
  // as a table the statement names spells it, else as any table does.
  std::vector<const std::map<std::string, std::string>*> named;
  std::vector<std::string> namedTables;
  const auto nameTable = [&](std::string_view name) {
    const std::string key = LowerCase(name);
    if (!tableSpellings_.count(key)) return;
    namedTables.push_back(tableSpellings_[key]);
    auto columns = columnSpellings_.find(LowerCase(tableSpellings_[key]));
    if (columns != columnSpellings_.end()) named.push_back(&columns->second);
  };
  if (!filterOf.empty()) nameTable(filterOf);
  const auto quote = [&](std::string_view name) { return db_.Quote(name); };
  SpellNames(
      sql,
      [&](std::string_view name) -> std::optional<std::string> {
        nameTable(name);
        return std::nullopt;
      },
      quote);
  const std::string spelled = SpellNames(
      sql,
      [&](std::string_view name) -> std::optional<std::string> {
        const std::string key = LowerCase(name);
        if (auto it = tableSpellings_.find(key); it != tableSpellings_.end()) return it->second;
        for (const auto* columns : named) {
          if (auto it = columns->find(key); it != columns->end()) return it->second;
        }
        if (auto it = anyColumnSpellings_.find(key); it != anyColumnSpellings_.end()) {
          return it->second;
        }
        return std::nullopt;
      },
      quote);
  return FlagLiterals(spelled, [&](std::string_view column) {
    for (const std::string& name : namedTables) {
      for (const ColumnInfo& c : Table(name).columns) {
        if (c.kind == FieldKind::kBoolean && EqualsIgnoringCase(c.name, column)) return true;
      }
    }
    return false;
  });
}

bool ServerLink::GroupsByIndex(const GroupShape& shape) {
  if (!tableSpellings_.count(LowerCase(shape.table))) return false;
  const TableInfo& table = Table(shape.table);
  auto among = [](const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return EqualsIgnoringCase(n, name); });
  };
  // An index that leads with columns compared with a value and then the grouped ones.
  for (const IndexInfo& index : table.indexes) {
    std::size_t at = 0;
    while (at < index.columns.size() && among(shape.equalities, index.columns[at]) &&
           !among(shape.groups, index.columns[at])) {
      ++at;
    }
    bool grouped = !shape.groups.empty() && at + shape.groups.size() <= index.columns.size();
    for (std::size_t g = 0; grouped && g < shape.groups.size(); ++g) {
      grouped = EqualsIgnoringCase(index.columns[at + g], shape.groups[g]);
    }
    if (grouped) return true;
  }
  return false;
}

const TableInfo& ServerLink::Table(std::string_view name) {
  const std::string key = LowerCase(name);
  if (auto it = tables_.find(key); it != tables_.end()) return it->second;
  std::optional<TableInfo> info = db_.FindTable(name);
  if (!info) throw Error("table \"" + std::string(name) + "\" not found in " + Shown());
  return tables_.emplace(key, std::move(*info)).first->second;
}

void ServerLink::Select(const std::string& sql,
                        const std::function<void(odbc::Statement& s)>& read) {
  std::optional<Savepoint> savepoint;
  if (Capturing() && mode_ == CaptureMode::kDryRun) savepoint.emplace(db_.connection(), "talvor_read");
  try {
    odbc::Statement s(db_.connection());
    s.ExecDirect(sql);
    read(s);
  } catch (const Error&) {
    if (savepoint) savepoint->RollBack();
    throw;
  }
  if (savepoint) savepoint->Release();
}

bool ServerLink::ReadRow(const TableInfo& table, std::int64_t rowid, std::vector<Variant>& row) {
  odbc::Statement& s = Prepared("SELECT " + db_.ColumnList(table) + " FROM " +
                                db_.Quote(table.name) + " WHERE " + db_.RowidName() + " = ?");
  s.BindInteger(1, rowid);
  s.Execute();
  const bool found = s.Fetch();
  if (found) ReadColumns(s, table, 1, row);
  s.Reset();
  return found;
}

std::map<std::int64_t, std::vector<Variant>> ServerLink::ReadRows(const TableInfo& table,
                                                                  const std::string& where) {
  odbc::Statement s(db_.connection());
  s.ExecDirect("SELECT " + db_.RowidName() + ", " + db_.ColumnList(table) + " FROM " +
               db_.Quote(table.name) + (where.empty() ? "" : " WHERE " + where));
  std::map<std::int64_t, std::vector<Variant>> rows;
  while (s.Fetch()) {
    const Variant id = ReadServerValue(s, 1, FieldKind::kInteger);
    ReadColumns(s, table, 2, rows[id.type() == Variant::Type::kInteger ? id.Integer() : 0]);
  }
  return rows;
}

std::map<std::int64_t, std::vector<Variant>> ServerLink::ReadRowsById(
    const TableInfo& table, const std::vector<std::int64_t>& ids) {
  std::map<std::int64_t, std::vector<Variant>> rows;
  for (std::size_t from = 0; from < ids.size(); from += kIdsPerRead) {
    const std::size_t to = std::min(ids.size(), from + kIdsPerRead);
    std::string list;
    for (std::size_t i = from; i < to; ++i) list += (i == from ? "" : ", ") + std::to_string(ids[i]);
    rows.merge(ReadRows(table, db_.RowidName() + " IN (" + list + ")"));
  }
  return rows;
}

void ServerLink::StartCapture(ChangeSink& sink, CaptureMode mode) {
  sink_ = &sink;
  mode_ = mode;
  told_.clear();
  store_ = sink.OnStore(StoreKind::kSql, Shown());
  if (mode == CaptureMode::kDryRun) {
    try {
      db_.connection().SetAutocommit(false);
    } catch (const Error& e) {
      sink.OnNote(store_, std::string("the dry run's transaction could not begin: ") + e.what());
      throw;
    }
  }
}

void ServerLink::EndCapture() {
  if (sink_ == nullptr) return;
  ChangeSink& sink = *sink_;
  sink_ = nullptr;
  EndChain(/*commit=*/true);
  if (mode_ == CaptureMode::kDryRun) {
    db_.connection().Rollback();
    ++changes_;  // the rows are as they were: what was read inside the run is not
    sink.OnRollback(store_);
    db_.connection().SetAutocommit(true);
    spellingsLoaded_ = false;  // a table made in the run is gone again
    tables_.clear();
  }
}

void ServerLink::TellTable(const TableInfo& table) {
  if (!told_.insert(table.name).second) return;
  std::vector<std::string> names;
  for (const ColumnInfo& c : table.columns) names.push_back(c.name);
  sink_->OnTable(store_, table.name, names);
}

void ServerLink::TellChange(const TableInfo& table, ChangeOp op, std::int64_t rowid,
                            const std::vector<Variant>* before, const std::vector<Variant>* after) {
  TellTable(table);
  const std::size_t n = table.columns.size();
  std::vector<std::string> scratch(2 * n);
  std::vector<CellView> beforeViews, afterViews;
  std::vector<char> same;
  for (std::size_t i = 0; before && i < n; ++i) beforeViews.push_back(ViewOf((*before)[i], scratch[i]));
  for (std::size_t i = 0; after && i < n; ++i) {
    afterViews.push_back(ViewOf((*after)[i], scratch[n + i]));
    same.push_back(before && (*before)[i] == (*after)[i] ? 1 : 0);
  }
  ChangeView change;
  change.table = table.name;
  change.op = op;
  change.oldRowid = before ? rowid : 0;
  change.newRowid = after ? rowid : 0;
  change.before = beforeViews;
  change.after = afterViews;
  if (op == ChangeOp::kUpdate) change.same = same;
  sink_->OnChange(store_, change);
}

template <typename Write>
auto ServerLink::Captured(Write&& write) {
  if (!Capturing()) return write();
  odbc::Connection& connection = db_.connection();
  const bool dry = mode_ == CaptureMode::kDryRun;
  std::optional<Savepoint> savepoint;
  if (dry) {
    savepoint.emplace(connection, "talvor_write");
  } else if (!chained_) {
    connection.SetAutocommit(false);
  }
  try {
    auto result = write();
    sink_->OnStatementEnd(store_, true);
    if (dry) {
      savepoint->Release();
    } else {
      sink_->OnCommit(store_);
      Commit();
    }
    return result;
  } catch (const Error&) {
    sink_->OnStatementEnd(store_, false);
    try {
      if (dry) {
        savepoint->RollBack();
      } else {
        EndChain(/*commit=*/false);
        connection.Rollback();
        sink_->OnRollback(store_);
        connection.SetAutocommit(true);
      }
    } catch (const Error&) {
      // The first failure is the one to report.
    }
    throw;
  }
}

void ServerLink::Commit() {
  odbc::Connection& connection = db_.connection();
  const std::string& next = db_.CommitAndBegin();
  if (next.empty()) {
    connection.Commit();
    connection.SetAutocommit(true);
    return;
  }
  // The next write's transaction is begun with this one's commit: the reads until then
  // run in it as they would outside one, and a failed one rolls it back (it holds nothing).
  if (!chained_) connection.SetRollBackOnFailure(true);
  chained_ = true;
  if (!commitStatement_) commitStatement_ = std::make_unique<odbc::Statement>(connection);
  commitStatement_->Reset();
  commitStatement_->ExecDirect(next);
}

void ServerLink::EndChain(bool commit) {
  if (!chained_) return;
  chained_ = false;
  odbc::Connection& connection = db_.connection();
  connection.SetRollBackOnFailure(false);
  if (!commit) return;
  try {
    connection.Commit();
    connection.SetAutocommit(true);
  } catch (const Error&) {
    // Nothing was written in it: a server gone by now has nothing to keep.
  }
}

std::int64_t ServerLink::UpdateRow(const TableInfo& table, const std::vector<char>& assigned,
                                   const std::vector<Variant>& values, std::int64_t rowid,
                                   RowAsRead read) {
  // Captured on a server whose writes return rows, the UPDATE reads the row as it was
  // from a locked read of it: one statement instead of a read and the write.
  const bool returning = Capturing() && db_.WritesReturnRows();
  // Recorded, a row still at the version it was read at is as it was read: the UPDATE need
  // only find it so. Each recorded write commits at once, so no row this connection reads
  // was written by a transaction still open. A dry run's writes are all of one open
  // transaction: there the row is read under the lock.
  const bool versioned = Capturing() && mode_ == CaptureMode::kRecord && read.cells != nullptr &&
                         read.cells->size() == table.columns.size() && !read.version.empty() &&
                         !db_.RowVersion().empty();
  const auto bindValues = [&](odbc::Statement& s) {
    int at = 0;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      if (assigned[i]) BindServerValue(s, ++at, values[i], table.columns[i].sqlType);
    }
    s.BindInteger(at + 1, rowid);
    return at + 1;
  };
  const auto setList = [&] {
    std::string set;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      if (assigned[i]) set += (set.empty() ? "" : ", ") + db_.Quote(table.columns[i].name) + " = ?";
    }
    return set;
  };
  return Captured([&] {
    std::vector<Variant> before, after;
    std::int64_t count = 0;
    bool captured = false;
    if (versioned) {
      odbc::Statement& s = Prepared(WriteText('V', false, table, assigned, [&] {
        return "UPDATE " + db_.Quote(table.name) + " SET " + setList() + " WHERE " +
               db_.RowidName() + " = ? AND " + db_.RowVersion() + " = ?";
      }));
      s.BindText(bindValues(s) + 1, read.version);
      s.Execute();
      count = s.RowCount() == 1 ? 1 : 0;
      s.Reset();
      if (count == 1) {
        before = *read.cells;
        captured = true;
      }
    }
    // Not read, or written since it was read (or gone): read under the lock.
    if (count == 0) {
      const std::string& sql = WriteText('U', returning, table, assigned, [&] {
        const std::string id = db_.RowidName();
        return returning
                   ? UpdateReturningRows(db_, table, setList(), id + " = ?", /*asWritten=*/false)
                   : "UPDATE " + db_.Quote(table.name) + " SET " + setList() + " WHERE " + id +
                         " = ?";
      });
      captured = Capturing() && (returning || ReadRow(table, rowid, before));
      odbc::Statement& s = Prepared(sql);
      bindValues(s);
      s.Execute();
      count = RowsOfOneRowWrite(s, table, returning, before);
      s.Reset();
    }
    changes_ += count;
    stats_internal::AddWritten(1);
    if (captured && count > 0) {
      // The row as written: the values set, read back as the server holds them, and the
      // rest as they were; a round trip fewer than reading it again. Should the server
      // change more of the row (a trigger), undo finds the row otherwise than the journal
      // says, and reports a conflict instead of writing over it.
      after = before;
      for (std::size_t i = 0; i < table.columns.size(); ++i) {
        if (!assigned[i]) continue;
        after[i] = values[i].IsNull()
                       ? Variant()
                       : ServerValue(JournalCell(values[i]).value, table.columns[i].kind);
      }
      TellChange(table, ChangeOp::kUpdate, rowid, &before, &after);
    }
    return count;
  });
}

std::int64_t ServerLink::InsertRow(const TableInfo& table, const std::vector<char>& assigned,
                                   const std::vector<Variant>& values) {
  // The new row's rowid comes back with the INSERT (a second statement could see another
  // connection's row), and when captured the row too, where the server's writes return
  // rows. SQLite's driver hands over no rows of an INSERT, RETURNING or not: there
  // last_insert_rowid() names the row, which is this connection's own.
  const bool native = db_.NativeRowid();
  const bool returning = Capturing() && db_.WritesReturnRows();
  const std::string& sql = WriteText('I', returning, table, assigned, [&] {
    std::string names, marks;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      if (!assigned[i]) continue;
      names += (names.empty() ? "" : ", ") + db_.Quote(table.columns[i].name);
      marks += marks.empty() ? "?" : ", ?";
    }
    return "INSERT INTO " + db_.Quote(table.name) +
           (names.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + marks + ")") +
           (native ? ""
                   : " RETURNING " + db_.RowidName() +
                         (returning ? ", " + db_.ColumnList(table) : ""));
  });
  return Captured([&] {
    odbc::Statement& s = Prepared(sql);
    int at = 0;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      if (assigned[i]) BindServerValue(s, ++at, values[i], table.columns[i].sqlType);
    }
    s.Execute();
    odbc::Statement* returned = &s;
    if (native) {
      s.Reset();
      returned = &Prepared("SELECT last_insert_rowid()");
      returned->Execute();
    }
    std::vector<Variant> after;
    Variant id;
    if (returned->Fetch()) {
      id = ReadServerValue(*returned, 1, FieldKind::kInteger);
      if (returning) ReadColumns(*returned, table, 2, after);
    }
    returned->Reset();
    if (id.type() != Variant::Type::kInteger) {
      throw Error("table \"" + table.name + "\" of " + Shown() + ": the new row's " +
                  db_.RowidName() + " did not come back");
    }
    ++changes_;
    stats_internal::AddWritten(1);
    if (Capturing() && (returning || ReadRow(table, id.Integer(), after))) {
      TellChange(table, ChangeOp::kInsert, id.Integer(), nullptr, &after);
    }
    return id.Integer();
  });
}

std::int64_t ServerLink::DeleteRow(const TableInfo& table, std::int64_t rowid) {
  const bool returning = Capturing() && db_.WritesReturnRows();
  const std::string& sql = WriteText('D', returning, table, {}, [&] {
    return "DELETE FROM " + db_.Quote(table.name) + " WHERE " + db_.RowidName() + " = ?" +
           (returning ? " RETURNING " + db_.RowidName() + ", " + db_.ColumnList(table) : "");
  });
  return Captured([&] {
    std::vector<Variant> before;
    const bool captured = Capturing() && (returning || ReadRow(table, rowid, before));
    odbc::Statement& s = Prepared(sql);
    s.BindInteger(1, rowid);
    s.Execute();
    const std::int64_t count = RowsOfOneRowWrite(s, table, returning, before);
    s.Reset();
    changes_ += count;
    stats_internal::AddWritten(1);
    if (captured && count > 0) TellChange(table, ChangeOp::kDelete, rowid, &before, nullptr);
    return count;
  });
}

std::int64_t ServerLink::ExecuteWrite(const std::string& sql) {
  const std::string keyword = FirstKeyword(sql);
  const bool schema = keyword == "CREATE" || keyword == "DROP" || keyword == "ALTER";
  auto run = [&] {
    odbc::Statement s(db_.connection());
    s.ExecDirect(sql);
    const std::int64_t count = schema ? 0 : std::max<std::int64_t>(0, s.RowCount());
    changes_ += schema ? 1 : count;
    return count;
  };
  if (schema) {
    spellingsLoaded_ = false;
    tables_.clear();
  }
  if (!Capturing()) return run();
  if (keyword == "DROP") {
    const std::optional<WriteShape> drop = ShapeOfWrite(sql);
    const std::string table = drop ? drop->table : "";
    const bool refused = mode_ == CaptureMode::kDryRun;
    sink_->OnDropTable(store_, table, refused);
    if (refused) throw Error("a dry run does not drop tables (" + table + ")");
    return Captured(run);
  }
  if (schema) return Captured(run);
  const std::optional<WriteShape> shape = ShapeOfWrite(sql);
  if (!shape) {
    throw Error("a recorded run cannot keep what this statement writes on " + Shown() +
                ", so it is not run");
  }
  const TableInfo& table = Table(shape->table);
  if (!table.hasRowid) {
    throw Error("table \"" + table.name + "\" of " + Shown() +
                " has no rowid, so a recorded run cannot keep its rows");
  }
  if (db_.WritesReturnRows() && shape->plain &&
      (shape->keyword != "UPDATE" || !shape->set.empty())) {
    return Captured([&] { return WriteReturningRows(*shape, table); });
  }
  return Captured([&] {
    if (shape->keyword == "INSERT") {
      std::int64_t highest = 0;
      {
        odbc::Statement s(db_.connection());
        s.ExecDirect("SELECT max(" + db_.RowidName() + ") FROM " + db_.Quote(table.name));
        if (s.Fetch()) {
          const Variant top = ReadServerValue(s, 1, FieldKind::kInteger);
          if (top.type() == Variant::Type::kInteger) highest = top.Integer();
        }
      }
      const std::int64_t count = run();
      for (auto& [id, row] : ReadRows(table, db_.RowidName() + " > " + std::to_string(highest))) {
        TellChange(table, ChangeOp::kInsert, id, nullptr, &row);
      }
      return count;
    }
    std::map<std::int64_t, std::vector<Variant>> before = ReadRows(table, shape->where);
    const std::int64_t count = run();
    if (shape->keyword == "DELETE") {
      for (auto& [id, row] : before) TellChange(table, ChangeOp::kDelete, id, &row, nullptr);
      return count;
    }
    std::vector<std::int64_t> ids;
    for (const auto& entry : before) ids.push_back(entry.first);
    std::map<std::int64_t, std::vector<Variant>> after = ReadRowsById(table, ids);
    // Every row the UPDATE set is told, as SQLite tells it, its values changed or not.
    for (auto& [id, row] : before) {
      auto it = after.find(id);
      if (it != after.end()) TellChange(table, ChangeOp::kUpdate, id, &row, &it->second);
    }
    return count;
  });
}

std::int64_t ServerLink::WriteReturningRows(const WriteShape& shape, const TableInfo& table) {
  // The statement itself hands back each row it wrote: a DELETE the rows as they were, an
  // INSERT the rows as written, and an UPDATE both.
  const std::size_t n = table.columns.size();
  const std::string sql =
      shape.keyword == "UPDATE"
          ? UpdateReturningRows(db_, table, shape.set, shape.where, /*asWritten=*/true)
          : shape.text + " RETURNING " + db_.RowidName() + ", " + db_.ColumnList(table);
  // Told in rowid order, as SQLite tells a statement's rows.
  std::map<std::int64_t, std::pair<std::vector<Variant>, std::vector<Variant>>> rows;
  odbc::Statement s(db_.connection());
  s.ExecDirect(sql);
  std::int64_t count = 0;
  while (s.Fetch()) {
    ++count;
    const Variant rowid = ReadServerValue(s, 1, FieldKind::kInteger);
    auto& [first, second] = rows[rowid.type() == Variant::Type::kInteger ? rowid.Integer() : 0];
    ReadColumns(s, table, 2, first);
    if (shape.keyword == "UPDATE") ReadColumns(s, table, 2 + static_cast<int>(n), second);
  }
  for (const auto& [key, images] : rows) {
    const auto& [first, second] = images;
    if (shape.keyword == "UPDATE") {
      TellChange(table, ChangeOp::kUpdate, key, &first, &second);
    } else if (shape.keyword == "DELETE") {
      TellChange(table, ChangeOp::kDelete, key, &first, nullptr);
    } else {
      TellChange(table, ChangeOp::kInsert, key, nullptr, &first);
    }
  }
  changes_ += count;
  return count;
}

}  // namespace talvor::sqldb::internal
