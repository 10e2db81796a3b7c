// The table component against bare SQLite on the two shapes that dominate the routines:
// a walk over every client that edits and posts each row (phone sync), and look-ups by
// "AgyCode;Number". Each pair does the same work on the same database: every iteration of
// the walk starts from a fresh copy of the database as built (outside the timing), so that
// both sides normalise the same phones and write the same pages; the look-ups share one
// copy, which they only read.
//
// With --dsn=NAME the same walk and look-ups run on a database server too (the ODBC data
// source NAME, which the benchmark empties and fills): the component on the server side by
// side with the component on SQLite and bare SQLite, in one run. Each server walk starts
// from a fresh copy of the database made there (outside the timing). The counter
// "stmts/row" is the statements sent to the server per row, each at least a round trip.
//
//   sqldb_bench [--clients=N] [--locates=N] [--dsn=NAME] [benchmark flags]
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "sqldb/catalog.h"
#include "sqldb/database.h"
#include "sqldb/stats.h"
#include "sqldb/table.h"
#include "sqldb/transfer.h"

namespace {

namespace fs = std::filesystem;
using talvor::sqldb::Table;

int g_clients = 200000;
int g_locates = 100000;
std::vector<std::string> g_keys;  // client numbers to look up, in random order
std::string g_dsn;                 // the server, when one is named

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
  }
}

std::string ClientNumber(int i) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%6d", i);
  return buffer;
}

// The phone normalisation of the phone sync: digits only, then (ddd)ddd-dddd.
std::string Normalise(const std::string& phone) {
  std::string digits;
  for (char c : phone) {
    if (c >= '0' && c <= '9') digits += c;
  }
  if (digits.size() != 10) return "(000)000-0000";
  std::string out(1, '(');
  out.append(digits, 0, 3).append(1, ')').append(digits, 3, 3).append(1, '-').append(digits, 6, 4);
  return out;
}

// A connection set up as the layer sets up its own.
sqlite3* OpenBare() {
  sqlite3* db = nullptr;
  Check(sqlite3_open_v2("agency.db", &db, SQLITE_OPEN_READWRITE, nullptr), db, "open");
  sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  return db;
}

constexpr const char* kPristine = "pristine.db";

// Puts a fresh copy of the database as built in place of agency.db. The layer's idle
// connection to it is closed first, so that no connection outlives the file it named.
void FreshCopy() {
  talvor::sqldb::CloseIdleConnections();
  for (const char* name : {"agency.db", "agency.db-wal", "agency.db-shm"}) fs::remove(name);
  fs::copy_file(kPristine, "agency.db");
}

void BuildSite() {
  talvor::sqldb::CreateAgencyDatabase("agency.db");
  std::ofstream("aliases.cfg") << "AGYFORMS=agency.db\n"
                               << (g_dsn.empty() ? "" : "SERVER=odbc:DSN=" + g_dsn + "\n");
  sqlite3* db = OpenBare();
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(db,
                           "INSERT INTO Customer (AgyCode, Number, Name, Address1, City, State,"
                           " Zip, Phone1, Phone2, Phone3, CustType, ActiveStatus, Underwriter, CSR)"
                           " VALUES ('01', ?1, ?2, '12 Main Street', 'Springfield', 'IL',"
                           " '62701    ', ?3, ?4, '', 1, 'Y', ' 10', ' 20')",
                           -1, &insert, nullptr),
        db, "prepare insert");
  std::mt19937 random(42);
  for (int i = 1; i <= g_clients; ++i) {
    const std::string number = ClientNumber(i);
    const std::string name = "CLIENT NUMBER " + std::to_string(i);
    const std::string phone1 = "217 555 " + std::to_string(1000 + i % 9000);
    const std::string phone2 = "(217) 555-" + std::to_string(1000 + (i * 7) % 9000);
    sqlite3_bind_text(insert, 1, number.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, phone1.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 4, phone2.c_str(), -1, SQLITE_TRANSIENT);
    Check(sqlite3_step(insert), db, "insert");
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  Check(sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr), db,
        "checkpoint");
  sqlite3_close(db);
  fs::copy_file("agency.db", kPristine);
  std::uniform_int_distribution<int> pick(1, g_clients);
  for (int i = 0; i < g_locates; ++i) g_keys.push_back(ClientNumber(pick(random)));
}

void WalkEditPost(const std::string& database, benchmark::State& state);

void BM_WalkEditPost_Table(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    FreshCopy();
    state.ResumeTiming();
    WalkEditPost("AGYFORMS", state);
  }
}

void WalkEditPostBare(benchmark::State& state);

void BM_WalkEditPost_Bare(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    FreshCopy();
    state.ResumeTiming();
    WalkEditPostBare(state);
  }
}

// One walk over a fresh copy, connection and statements included as the component's are.
void WalkEditPostBare(benchmark::State& state) {
  sqlite3* db = OpenBare();
  sqlite3_stmt* walk = nullptr;
  sqlite3_stmt* update = nullptr;
  Check(
      sqlite3_prepare_v2(db,
                         "SELECT rowid, AgyCode, Number, Name, Phone1, Phone2, Phone3 FROM Customer"
                         " ORDER BY rowid",
                         -1, &walk, nullptr),
      db, "prepare walk");
  Check(sqlite3_prepare_v2(
            db, "UPDATE Customer SET Phone1 = ?1, Phone2 = ?2, Phone3 = ?3 WHERE rowid = ?4", -1,
            &update, nullptr),
        db, "prepare update");
  auto text = [&](int column) {
    const auto* p = sqlite3_column_text(walk, column);
    return std::string(p ? reinterpret_cast<const char*>(p) : "");
  };
  {
    std::int64_t rows = 0;
    while (sqlite3_step(walk) == SQLITE_ROW) {
      const std::string label = text(1) + "/" + text(2) + text(3);
      benchmark::DoNotOptimize(label);
      const std::string p1 = Normalise(text(4));
      const std::string p2 = Normalise(text(5));
      const std::string p3 = Normalise(text(6));
      sqlite3_bind_text(update, 1, p1.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(update, 2, p2.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(update, 3, p3.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int64(update, 4, sqlite3_column_int64(walk, 0));
      Check(sqlite3_step(update), db, "update");
      sqlite3_reset(update);
      ++rows;
    }
    sqlite3_reset(walk);
    if (rows != g_clients) state.SkipWithError("walk did not reach every row");
    state.SetItemsProcessed(state.items_processed() + rows);
  }
  sqlite3_finalize(walk);
  sqlite3_finalize(update);
  sqlite3_close(db);
}

// Looks up every key once per iteration through a table component on `database`.
void Locates(const std::string& database, benchmark::State& state) {
  Table t("tblAgent", database, "Customer", "Index1");
  t.Open();
  for (auto _ : state) {
    std::int64_t found = 0;
    for (const std::string& key : g_keys) {
      if (t.Locate("AgyCode;Number", {"01", key})) {
        ++found;
        benchmark::DoNotOptimize(t.AsString("Name"));
      }
    }
    if (found != g_locates) state.SkipWithError("a locate failed");
    state.SetItemsProcessed(state.items_processed() + found);
  }
}

void BM_Locate_Table(benchmark::State& state) {
  FreshCopy();
  Locates("AGYFORMS", state);
}

void BM_Locate_Bare(benchmark::State& state) {
  FreshCopy();
  sqlite3* db = OpenBare();
  sqlite3_stmt* find = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT * FROM Customer WHERE AgyCode = ?1 AND Number = ?2 LIMIT 1",
                           -1, &find, nullptr),
        db, "prepare locate");
  const int columns = sqlite3_column_count(find);
  std::vector<std::string> row(columns);
  for (auto _ : state) {
    std::int64_t found = 0;
    for (const std::string& key : g_keys) {
      sqlite3_bind_text(find, 1, "01", 2, SQLITE_STATIC);
      sqlite3_bind_text(find, 2, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
      if (sqlite3_step(find) == SQLITE_ROW) {
        ++found;
        for (int i = 0; i < columns; ++i) {
          const auto* p = sqlite3_column_text(find, i);
          row[i].assign(p ? reinterpret_cast<const char*>(p) : "");
        }
        benchmark::DoNotOptimize(row);
      }
      sqlite3_reset(find);
    }
    if (found != g_locates) state.SkipWithError("a locate failed");
    state.SetItemsProcessed(state.items_processed() + found);
  }
  sqlite3_finalize(find);
  sqlite3_close(db);
}

// The database as built, copied to the server in place of what it holds there.
void FreshServerCopy() {
  talvor::sqldb::CloseIdleConnections();
  talvor::sqldb::CopyDatabase(kPristine, "SERVER", /*replace=*/true);
}

void WalkEditPost(const std::string& database, benchmark::State& state) {
  Table t("tblClients", database, "Customer");
  t.Open();
  std::int64_t rows = 0;
  for (t.First(); !t.Eof(); t.Next()) {
    const std::string label =
        t.AsString("AgyCode") + "/" + t.AsString("Number") + t.AsString("Name");
    benchmark::DoNotOptimize(label);
    const std::string p1 = Normalise(t.AsString("Phone1"));
    const std::string p2 = Normalise(t.AsString("Phone2"));
    const std::string p3 = Normalise(t.AsString("Phone3"));
    t.Edit();
    t.SetString("Phone1", p1);
    t.SetString("Phone2", p2);
    t.SetString("Phone3", p3);
    t.Post();
    ++rows;
  }
  t.Close();
  if (rows != g_clients) state.SkipWithError("walk did not reach every row");
  state.SetItemsProcessed(state.items_processed() + rows);
}

void BM_WalkEditPost_Server(benchmark::State& state) {
  std::int64_t statements = 0;
  for (auto _ : state) {
    state.PauseTiming();
    FreshServerCopy();
    const std::int64_t before = talvor::sqldb::Stats().serverStatements;
    state.ResumeTiming();
    WalkEditPost("SERVER", state);
    statements += talvor::sqldb::Stats().serverStatements - before;
  }
  state.counters["stmts/row"] =
      static_cast<double>(statements) / static_cast<double>(state.iterations() * g_clients);
}

void BM_Locate_Server(benchmark::State& state) {
  FreshServerCopy();
  const std::int64_t before = talvor::sqldb::Stats().serverStatements;
  Locates("SERVER", state);
  state.counters["stmts/row"] =
      static_cast<double>(talvor::sqldb::Stats().serverStatements - before) /
      static_cast<double>(state.iterations() * g_locates);
}

BENCHMARK(BM_WalkEditPost_Table)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WalkEditPost_Bare)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Locate_Table)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Locate_Bare)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--clients=", 10) == 0) {
      g_clients = std::atoi(argv[i] + 10);
    } else if (std::strncmp(argv[i], "--locates=", 10) == 0) {
      g_locates = std::atoi(argv[i] + 10);
    } else if (std::strncmp(argv[i], "--dsn=", 6) == 0) {
      g_dsn = argv[i] + 6;
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (!g_dsn.empty()) {
    benchmark::RegisterBenchmark("BM_WalkEditPost_Server", BM_WalkEditPost_Server)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("BM_Locate_Server", BM_Locate_Server)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
  }
  int restCount = static_cast<int>(rest.size());
  benchmark::Initialize(&restCount, rest.data());
  const fs::path previous = fs::current_path();
  const fs::path dir =
      fs::temp_directory_path() / ("talvor-sqldb-bench-" + std::to_string(std::random_device()()));
  fs::create_directories(dir);
  fs::current_path(dir);
  int status = 0;
  try {
    BuildSite();
    benchmark::RunSpecifiedBenchmarks();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sqldb_bench: %s\n", e.what());
    status = 1;
  }
  benchmark::Shutdown();
  fs::current_path(previous);
  std::error_code ec;
  fs::remove_all(dir, ec);
  return status;
}
