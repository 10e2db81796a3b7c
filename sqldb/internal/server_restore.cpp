#include "sqldb/internal/server_restore.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "sqldb/error.h"
#include "sqldb/internal/server.h"

namespace talvor::sqldb::internal {

namespace {

// A journal cell as a value to bind: its letter says what it holds.
Variant VariantOf(const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::kNull: return Variant();
    case Cell::Kind::kInteger:
      return Variant(static_cast<std::int64_t>(std::strtoll(cell.value.c_str(), nullptr, 10)));
    case Cell::Kind::kFloat: return Variant(std::strtod(cell.value.c_str(), nullptr));
    case Cell::Kind::kText:
    case Cell::Kind::kBlob: return Variant(cell.value);
  }
  return Variant();
}

// `cell` as the server would give it back from a column of `kind`: so that an image
// compares with a stored row whichever way the journal spelled its number or date.
Cell Normalised(const Cell& cell, FieldKind kind) {
  if (cell.kind == Cell::Kind::kNull) return Cell{};
  // A whole real is the integer an integer column keeps of it.
  if (cell.kind == Cell::Kind::kFloat && kind == FieldKind::kInteger) {
    const double real = std::strtod(cell.value.c_str(), nullptr);
    if (real == std::trunc(real) && std::fabs(real) < 9.0e18) {
      return JournalCell(Variant(static_cast<std::int64_t>(real)));
    }
  }
  return JournalCell(ServerValue(cell.value, kind));
}

CellView ViewOf(const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::kNull: return CellView{};
    case Cell::Kind::kInteger:
      return CellView{cell.kind, std::strtoll(cell.value.c_str(), nullptr, 10), 0, {}};
    case Cell::Kind::kFloat:
      return CellView{cell.kind, 0, std::strtod(cell.value.c_str(), nullptr), {}};
    case Cell::Kind::kText:
    case Cell::Kind::kBlob: return CellView{cell.kind, 0, 0, cell.value};
  }
  return CellView{};
}

std::vector<CellView> ViewsOf(const Row* row) {
  std::vector<CellView> views;
  if (row != nullptr) {
    for (const Cell& cell : *row) views.push_back(ViewOf(cell));
  }
  return views;
}

std::string Joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? separator : "") + parts[i];
  return out;
}

class ServerRowStore final : public RowStore {
 public:
  explicit ServerRowStore(std::string connectionString) : server_(std::move(connectionString)) {}
  ~ServerRowStore() override { Rollback(); }

  void Start(ChangeSink* sink) {
    if (sink != nullptr) {
      sink_ = sink;
      store_ = sink->OnStore(StoreKind::kSql, server_.Shown());
    }
    server_.connection().SetAutocommit(false);
    open_ = true;
  }

  const Shape& Describe(const std::string& table) override { return Entry(table).shape; }

  bool Look(const std::string& table, std::int64_t rowid, const Row& image, Probe* out,
            std::string* error) override {
    Table& t = Entry(table);
    if (!Usable(t, table, image, error)) return false;
    try {
      std::optional<Row> row = ReadRow(t, rowid, image);
      *out = Probe{};
      if (!row) return true;
      out->found = true;
      for (std::size_t i = 0; i < row->size(); ++i) {
        out->same.push_back(Normalised(image[i], t.info.columns[i].kind) == (*row)[i] ? 1 : 0);
      }
      out->current = std::move(*row);
      return true;
    } catch (const Error& e) {
      return Fail(table + ": " + e.what(), error);
    }
  }

  bool Remove(const std::string& table, std::int64_t rowid, const Row& image,
              std::string* error) override {
    Table& t = Entry(table);
    if (!Usable(t, table, image, error)) return false;
    const std::string sql = "DELETE FROM " + server_.Quote(t.info.name) + " WHERE " + Where(t);
    return Write(table, error, [&] {
      std::optional<Row> before = sink_ ? ReadRow(t, rowid, image) : std::nullopt;
      odbc::Statement& s = prepared_.Get(sql);
      BindKey(s, t, 1, rowid, image);
      s.Execute();
      if (before) Tell(t, ChangeOp::kDelete, rowid, 0, &*before, nullptr);
    });
  }

  bool Add(const std::string& table, std::int64_t rowid, const Row& image,
           std::string* error) override {
    Table& t = Entry(table);
    if (!Usable(t, table, image, error)) return false;
    std::vector<std::string> names;
    if (t.shape.ByRowid()) names.push_back(server_.RowidName());
    for (const ColumnInfo& c : t.info.columns) names.push_back(server_.Quote(c.name));
    const std::string sql = "INSERT INTO " + server_.Quote(t.info.name) + " (" +
                            Joined(names, ", ") + ") VALUES (" +
                            Joined(std::vector<std::string>(names.size(), "?"), ", ") + ")";
    return Write(table, error, [&] {
      KnowHighest(t);
      odbc::Statement& s = prepared_.Get(sql);
      int at = 1;
      if (t.shape.ByRowid()) s.BindInteger(at++, rowid);
      BindValues(s, t, at, image);
      s.Execute();
      Added(t, rowid);
      if (sink_) {
        if (std::optional<Row> after = ReadRow(t, rowid, image)) {
          Tell(t, ChangeOp::kInsert, 0, rowid, nullptr, &*after);
        }
      }
    });
  }

  bool Replace(const std::string& table, std::int64_t atRowid, const Row& atImage,
               std::int64_t rowid, const Row& image, std::string* error) override {
    Table& t = Entry(table);
    if (!Usable(t, table, atImage, error) || !Usable(t, table, image, error)) return false;
    std::vector<std::string> sets;
    if (t.shape.ByRowid()) sets.push_back(server_.RowidName() + " = ?");
    for (const ColumnInfo& c : t.info.columns) sets.push_back(server_.Quote(c.name) + " = ?");
    const std::string sql = "UPDATE " + server_.Quote(t.info.name) + " SET " +
                            Joined(sets, ", ") + " WHERE " + Where(t);
    return Write(table, error, [&] {
      std::optional<Row> before = sink_ ? ReadRow(t, atRowid, atImage) : std::nullopt;
      if (rowid != atRowid) KnowHighest(t);
      odbc::Statement& s = prepared_.Get(sql);
      int at = 1;
      if (t.shape.ByRowid()) s.BindInteger(at++, rowid);
      at = BindValues(s, t, at, image);
      BindKey(s, t, at, atRowid, atImage);
      s.Execute();
      if (rowid != atRowid && s.RowCount() > 0) Added(t, rowid);
      if (!before) return;
      if (std::optional<Row> after = ReadRow(t, rowid, image)) {
        Tell(t, ChangeOp::kUpdate, atRowid, rowid, &*before, &*after);
      }
    });
  }

  bool Commit(std::string* error) override {
    if (!open_) return true;
    try {
      for (auto& [name, t] : tables_) {
        if (!t.highestAdded || *t.highestAdded <= t.highestBefore.value_or(0)) continue;
        // Restarting names no value an existing row holds: the highest is read again, the
        // rows added by rowid counted in.
        const std::int64_t highest = Highest(t);
        odbc::Statement s(server_.connection());
        s.ExecDirect("ALTER TABLE " + server_.Quote(t.info.name) + " ALTER COLUMN " +
                     server_.RowidName() + " RESTART WITH " + std::to_string(highest + 1));
      }
      if (sink_) sink_->OnCommit(store_);
      server_.connection().Commit();
    } catch (const Error& e) {
      return Fail(server_.Shown() + ": " + e.what(), error);
    }
    open_ = false;
    Reopen();
    return true;
  }

  void Rollback() override {
    if (!open_) return;
    open_ = false;
    try {
      server_.connection().Rollback();
    } catch (const Error&) {
      // The connection closes with the store, which ends the transaction too.
    }
    if (sink_) sink_->OnRollback(store_);
    Reopen();
  }

 private:
  struct Table {
    Shape shape;
    TableInfo info;
    // Why its rows cannot be put back, when they cannot.
    std::string problem;
    bool told = false;
    // The highest rowid before the first row was added by rowid, and the highest added.
    std::optional<std::int64_t> highestBefore, highestAdded;
  };

  static bool Fail(const std::string& what, std::string* error) {
    *error = what;
    return false;
  }

  Table& Entry(const std::string& table) {
    auto [it, added] = tables_.try_emplace(table);
    Table& t = it->second;
    if (!added) return t;
    try {
      std::optional<TableInfo> info = server_.FindTable(table);
      if (!info) return t;
      t.info = std::move(*info);
    } catch (const Error& e) {
      t.problem = table + ": " + e.what();
      return t;
    }
    t.shape.exists = true;
    for (const ColumnInfo& c : t.info.columns) t.shape.columns.push_back(c.name);
    if (t.info.hasRowid) return t;
    for (const std::string& term : server_.RowIdentity(t.info)) {
      const auto& columns = t.info.columns;
      const auto at = std::find_if(columns.begin(), columns.end(), [&](const ColumnInfo& c) {
        return server_.Quote(c.name) == term;
      });
      // The driver's best row identifier may be a system column, no one of the row's own.
      if (at == columns.end()) {
        t.shape.key.clear();
        break;
      }
      t.shape.key.push_back(static_cast<int>(at - columns.begin()));
    }
    if (t.shape.key.empty()) {
      t.problem = "table \"" + t.info.name + "\" of " + server_.Shown() + " has neither " +
                  std::string(kRowIdentityColumn) +
                  " nor a primary key: its rows cannot be put back";
    }
    return t;
  }

  bool Usable(const Table& t, const std::string& table, const Row& image, std::string* error) {
    if (!t.problem.empty()) return Fail(t.problem, error);
    if (!t.shape.exists) return Fail(table + ": no such table on " + server_.Shown(), error);
    if (image.size() != t.info.columns.size()) {
      return Fail(table + ": a row of " + std::to_string(image.size()) + " values for " +
                      std::to_string(t.info.columns.size()) + " columns",
                  error);
    }
    return true;
  }

  // Runs one writing statement (`write`) and tells the sink it ended; a failure names the
  // table.
  template <typename F>
  bool Write(const std::string& table, std::string* error, F write) {
    try {
      write();
    } catch (const Error& e) {
      if (sink_) sink_->OnStatementEnd(store_, false);
      return Fail(table + ": " + e.what(), error);
    }
    if (sink_) sink_->OnStatementEnd(store_, true);
    return true;
  }

  // "rowid = ?" or the key's columns.
  std::string Where(const Table& t) const {
    if (t.shape.ByRowid()) return server_.RowidName() + " = ?";
    std::vector<std::string> terms;
    for (int index : t.shape.key) {
      terms.push_back(server_.Quote(t.info.columns[static_cast<std::size_t>(index)].name) +
                      " = ?");
    }
    return Joined(terms, " AND ");
  }

  void BindKey(odbc::Statement& s, const Table& t, int at, std::int64_t rowid, const Row& row) {
    if (t.shape.ByRowid()) {
      s.BindInteger(at, rowid);
      return;
    }
    for (int index : t.shape.key) {
      const auto i = static_cast<std::size_t>(index);
      BindServerValue(s, at++, VariantOf(row[i]), t.info.columns[i].sqlType);
    }
  }

  // Binds the row's cells from `at` on; the next parameter's number.
  int BindValues(odbc::Statement& s, const Table& t, int at, const Row& row) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      BindServerValue(s, at++, VariantOf(row[i]), t.info.columns[i].sqlType);
    }
    return at;
  }

  // The row `rowid` (or of `keyRow`'s key) as the journal keeps rows, or nullopt.
  std::optional<Row> ReadRow(const Table& t, std::int64_t rowid, const Row& keyRow) {
    // The constant keeps the list whole for a table of no columns but its rowid.
    std::string sql = "SELECT 1";
    for (const ColumnInfo& c : t.info.columns) sql += ", " + server_.Quote(c.name);
    sql += " FROM " + server_.Quote(t.info.name) + " WHERE " + Where(t);
    odbc::Statement& s = prepared_.Get(sql);
    BindKey(s, t, 1, rowid, keyRow);
    s.Execute();
    if (!s.Fetch()) return std::nullopt;
    Row row;
    for (std::size_t i = 0; i < t.info.columns.size(); ++i) {
      row.push_back(JournalCell(ReadServerValue(s, static_cast<int>(i) + 2, t.info.columns[i].kind)));
    }
    s.Reset();
    return row;
  }

  // The highest rowid of the table, 0 when it has no rows.
  std::int64_t Highest(const Table& t) {
    odbc::Statement s(server_.connection());
    s.ExecDirect("SELECT MAX(" + server_.RowidName() + ") FROM " + server_.Quote(t.info.name));
    if (!s.Fetch()) return 0;
    const Variant highest = ReadServerValue(s, 1, FieldKind::kInteger);
    return highest.type() == Variant::Type::kInteger ? highest.Integer() : 0;
  }

  // Before a row is added by rowid: what the identity has given so far. A server whose
  // tables have a rowid of their own gives the next one above the highest anyway.
  void KnowHighest(Table& t) {
    if (!t.shape.ByRowid() || server_.NativeRowid() || t.highestBefore) return;
    t.highestBefore = Highest(t);
  }

  void Added(Table& t, std::int64_t rowid) {
    if (!t.highestBefore) return;
    t.highestAdded = std::max(t.highestAdded.value_or(rowid), rowid);
  }

  // A change, once written, as the capture of a run tells it: an update that leaves every
  // value and the rowid as they were is none.
  void Tell(Table& t, ChangeOp op, std::int64_t oldRowid, std::int64_t newRowid,
            const Row* before, const Row* after) {
    const bool byRowid = t.shape.ByRowid();
    std::vector<char> same(after ? after->size() : 0, 0);
    if (before && after) {
      bool all = oldRowid == newRowid;
      for (std::size_t i = 0; i < same.size(); ++i) {
        same[i] = (*before)[i] == (*after)[i] ? 1 : 0;
        all = all && same[i];
      }
      if (all) return;
    }
    if (!t.told) {
      t.told = true;
      sink_->OnTable(store_, t.info.name, t.shape.columns);
    }
    const std::vector<CellView> beforeViews = ViewsOf(before), afterViews = ViewsOf(after);
    ChangeView change;
    change.table = t.info.name;
    change.op = op;
    change.oldRowid = byRowid ? oldRowid : 0;
    change.newRowid = byRowid ? newRowid : 0;
    change.before = beforeViews;
    change.after = afterViews;
    change.same = same;
    sink_->OnChange(store_, change);
  }

  // After the transaction ends: what follows is a statement of its own.
  void Reopen() {
    for (auto& [name, t] : tables_) t.highestBefore = t.highestAdded = std::nullopt;
    try {
      server_.connection().SetAutocommit(true);
    } catch (const Error&) {
      // The store is done with; nothing more is written through it.
    }
  }

  ServerDatabase server_;
  // Each row put back runs the same few statements: prepared once, not once per row.
  odbc::PreparedStatements prepared_{server_.connection()};
  ChangeSink* sink_ = nullptr;
  int store_ = 0;
  std::map<std::string, Table> tables_;
  bool open_ = false;
};

}  // namespace

std::unique_ptr<RowStore> OpenServerRowStore(const std::string& connectionString,
                                             ChangeSink* sink, std::string* error) {
  try {
    auto store = std::make_unique<ServerRowStore>(connectionString);
    store->Start(sink);
    return store;
  } catch (const Error& e) {
    *error = e.what();
    return nullptr;
  }
}

}  // namespace talvor::sqldb::internal
