// Times every built routine on a large demo site, each in a process of its own, and prints
// a table: routine, records read and written through the engine, rows read and written
// through the components, seconds; then the limit of the routine's accesses (its engine
// calls and its SQL statements) and how far the routine is from it.
//
//   routines_bench SITE [--clients N] [--only SLUG...] [--no-limit] [--server DSN]
// SITE is created with N clients (default 100000) when it holds no site yet. Routines run
// in window order on the same site, answering "no" to every question, as an engineer would
// click them one after another.
//
// The limit. Each routine runs with the engine's call trace (TALVOR_ENGINE_TRACE,
// legacy/engine_trace.h) and the SQL layer's statement trace (TALVOR_SQL_TRACE,
// sqldb/sql_trace.h) on; afterwards both are replayed on bare SQLite (bench/engine/replay.h,
// bench/sqldb/statement_replay.h) on a copy of the site taken just before the routine ran,
// in a process of its own, and every replayed call and step must get the status the trace
// says. `limit` is the sum of both replays' seconds: the cost of the routine's accesses
// themselves, to the record files and to the agency database (a routine that opened no
// database has no SQL trace, which counts 0 s). `x-limit` is seconds / limit. A routine that
// made neither engine calls that read or wrote a record nor SQL statements shows "-". The
// routine's seconds include writing the traces (one buffered append per call or statement
// operation); the seconds of each replay go to standard error.
//
// With --server DSN every routine also runs on a twin of the site whose agency database is
// the ODBC data source DSN (SITE-server/, made afresh from SITE at the start: its database
// copied to the server, which the benchmark empties of those tables): `server` is its
// seconds there, `x-file` server / seconds, and `stmts/row` the statements it sent to the
// server per row it read or wrote (each statement at least one round trip).
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/engine/replay.h"
#include "bench/sqldb/statement_replay.h"
#include "legacy/engine_trace.h"
#include "legacy/stats.h"
#include "tools/demo/demo_site.h"
#include "shell/form.h"
#include "platform/os.h"
#include "routines/registry.h"
#include "shell/run_protocol.h"
#include "tests/testing/scripted_frontend.h"
#include "shell/startup.h"
#include "sqldb/sql_trace.h"
#include "sqldb/stats.h"
#include "sqldb/transfer.h"

namespace fs = std::filesystem;
using namespace talvor;

namespace {

// Runs one routine in this process and writes "completed records rows seconds" to `out`.
int RunOne(const std::string& slug, const fs::path& out) {
  const RoutineEntry* entry = FindRoutine(slug);
  if (entry == nullptr) return 2;
  ScriptedFrontend fe;  // answers "no"; messages are kept, not shown
  SystemClock clock;
  TForm1 form(fe, clock);
  form.ApplySettings(LoadStartupSettings(fs::current_path(), nullptr));
  const auto start = std::chrono::steady_clock::now();
  const RunOutcome outcome = RunRoutine(form, *entry);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const EngineStats e = GetEngineStats();
  const sqldb::LayerStats s = sqldb::Stats();
  std::ofstream(out) << (outcome.completed ? 1 : 0) << ' ' << e.recordsRead << ' '
                     << e.recordsWritten << ' ' << s.rowsRead << ' ' << s.rowsWritten << ' '
                     << seconds << ' ' << fe.Notes().size() << ' ' << s.serverStatements << '\n';
  return 0;
}

// A trace the routine never started (it made no call of that kind) replays in no time.
bool Traced(const fs::path& trace) {
  std::error_code ec;
  return fs::file_size(trace, ec) > 0 && !ec;
}

// Replays the engine trace and then the SQL trace with the site's paths read under `copy`;
// writes "engine-seconds engine-calls sql-seconds sql-calls mismatches" and the first
// mismatch to `out`.
int ReplayOne(const fs::path& engineTrace, const fs::path& sqlTrace, const fs::path& site,
              const fs::path& copy, const fs::path& out) {
  // As both layers set SQLite up in the routine's process, before either replay uses it.
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  std::string error;
  bench::ReplayResult engine;
  if (Traced(engineTrace)) {
    std::vector<TraceEntry> entries;
    if (!ReadEngineTrace(engineTrace, &entries, &error) ||
        !bench::ReplayEngineTrace(entries, site, copy, &engine, &error)) {
      std::cerr << "routines_bench: " << error << "\n";
      return 2;
    }
  }
  bench::StatementReplayResult sql;
  if (Traced(sqlTrace)) {
    std::vector<sqldb::SqlTraceEntry> entries;
    if (!sqldb::ReadSqlTrace(sqlTrace, &entries, &error) ||
        !bench::ReplaySqlTrace(entries, site, copy, &sql, &error)) {
      std::cerr << "routines_bench: " << error << "\n";
      return 2;
    }
  }
  std::ofstream(out) << engine.seconds << ' ' << engine.calls << ' ' << sql.seconds << ' '
                     << sql.calls << ' ' << engine.mismatches + sql.mismatches << '\n'
                     << (engine.mismatches != 0 ? "engine " + engine.firstMismatch
                         : sql.mismatches != 0  ? "SQL " + sql.firstMismatch
                                                : std::string())
                     << '\n';
  return 0;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// The site as it is, without its run journals and the benchmark's own files.
void CopySite(const fs::path& site, const fs::path& copy) {
  fs::remove_all(copy);
  fs::create_directories(copy);
  for (const fs::directory_entry& entry : fs::directory_iterator(site)) {
    const std::string name = entry.path().filename().string();
    if (name == ".talvor" || name.rfind(".bench-", 0) == 0) continue;
    fs::copy(entry.path(), copy / name, fs::copy_options::recursive);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "--run") {
    return RunOne(args[1], args[2]);
  }
  if (args.size() == 6 && args[0] == "--replay") {
    return ReplayOne(args[1], args[2], args[3], args[4], args[5]);
  }
  if (args.empty()) {
    std::cerr << "usage: routines_bench SITE [--clients N] [--only SLUG...] [--no-limit]"
                 " [--server DSN]\n";
    return 2;
  }
  fs::path site = fs::absolute(args[0]);
  int clients = 100000;
  bool limits = true;
  std::string dsn;
  std::set<std::string> only;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--clients" && i + 1 < args.size()) {
      clients = std::atoi(args[++i].c_str());
    } else if (args[i] == "--only" && i + 1 < args.size()) {
      while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) only.insert(args[++i]);
    } else if (args[i] == "--no-limit") {
      limits = false;
    } else if (args[i] == "--server" && i + 1 < args.size()) {
      dsn = args[++i];
    }
  }
  if (!fs::exists(site / "talvor.cfg")) {
    std::cerr << "building a demo site of " << clients << " clients in " << site << "\n";
    const auto start = std::chrono::steady_clock::now();
    DemoOptions options;
    options.clients = clients;
    BuildDemoSite(site, options);
    std::cerr << "built in "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()
              << " s\n";
  }
  // Both layers name files by their canonical paths; the replays map those.
  site = fs::canonical(site);
  const fs::path self = ExecutablePath();
  const fs::path scratch = fs::temp_directory_path() /
                           ("talvor-routines-bench-" + std::to_string(std::random_device()()));
  const fs::path before = scratch / "site";
  const fs::path trace = scratch / "trace";
  const fs::path sqlTrace = scratch / "sql-trace";
  fs::create_directories(scratch);
  fs::current_path(site);
  const fs::path twin = site.parent_path() / (site.filename().string() + "-server");
  if (!dsn.empty()) {
    std::cerr << "copying the site to " << twin << ", its database to " << dsn << "\n";
    CopySite(site, twin);
    try {
      sqldb::CopyDatabase((site / "AGYFORMS.db").string(), "odbc:DSN=" + dsn, /*replace=*/true);
    } catch (const std::exception& e) {
      std::cerr << "routines_bench: " << e.what() << "\n";
      return 1;
    }
    fs::remove(twin / "AGYFORMS.db");
    std::ofstream(twin / "aliases.cfg") << "AGYFORMS=odbc:DSN=" << dsn << "\n";
  }
  std::printf("%-22s %12s %10s %12s %10s %9s %9s %8s", "routine", "records rd", "wr", "rows rd",
              "wr", "seconds", "limit", "x-limit");
  if (!dsn.empty()) std::printf(" %9s %7s %9s", "server", "x-file", "stmts/row");
  std::printf("\n");
  double common = 0;
  double commonLimit = 0;
  double commonServer = 0;
  for (const RoutineEntry* e : Registry()) {
    if (!only.empty() && only.count(e->Slug()) == 0) continue;
    const fs::path result = site / ".bench-result";
    fs::remove(result);
    fs::remove(trace);
    fs::remove(sqlTrace);
    std::string command =
        Quote(self.string()) + " --run " + Quote(e->Slug()) + " " + Quote(result.string());
    if (limits) {
      CopySite(site, before);
      command = std::string(kEngineTraceVariable) + "=" + Quote(trace.string()) + " " +
                sqldb::kSqlTraceVariable + "=" + Quote(sqlTrace.string()) + " " + command;
    }
    if (std::system(command.c_str()) != 0 || !fs::exists(result)) {
      std::printf("%-22s failed to run\n", e->caption);
      continue;
    }
    std::ifstream in(result);
    int completed = 0;
    long long rr = 0, rw = 0, qr = 0, qw = 0, notes = 0;
    double seconds = 0;
    in >> completed >> rr >> rw >> qr >> qw >> seconds >> notes;
    std::string limitText = "-", ratioText = "-", mismatch;
    if (limits) {
      const fs::path replayed = site / ".bench-replay";
      fs::remove(replayed);
      const std::string replay = Quote(self.string()) + " --replay " + Quote(trace.string()) + " " +
                                 Quote(sqlTrace.string()) + " " + Quote(site.string()) + " " +
                                 Quote(before.string()) + " " + Quote(replayed.string());
      double engineLimit = 0, sqlLimit = 0;
      long long engineCalls = 0, sqlCalls = 0, mismatches = 0;
      if (std::system(replay.c_str()) == 0 && fs::exists(replayed)) {
        std::ifstream r(replayed);
        r >> engineLimit >> engineCalls >> sqlLimit >> sqlCalls >> mismatches;
        std::getline(r, mismatch);
        std::getline(r, mismatch);
        fs::remove(replayed);
        const double limit = engineLimit + sqlLimit;
        std::fprintf(stderr, "%s: limit %.2f s = engine calls %.2f s (%lld) + SQL %.2f s (%lld)\n",
                     e->Slug().c_str(), limit, engineLimit, engineCalls, sqlLimit, sqlCalls);
        if (mismatches != 0) {
          limitText = "mismatch";
          mismatch = "  (" + std::to_string(mismatches) + " replayed statuses differ; first: " +
                     mismatch + ")";
        } else if (limit > 0 && ((engineCalls > 0 && rr + rw > 0) || sqlCalls > 0)) {
          char buffer[32];
          std::snprintf(buffer, sizeof buffer, "%.2f", limit);
          limitText = buffer;
          std::snprintf(buffer, sizeof buffer, "%.2f", seconds / limit);
          ratioText = buffer;
          if (e->group == ButtonGroup::kCommon && e->visible) commonLimit += limit;
        }
      } else {
        limitText = "failed";
      }
    }
    if (e->group == ButtonGroup::kCommon && e->visible) common += seconds;
    std::printf("%-22s %12lld %10lld %12lld %10lld %9.2f %9s %8s", e->caption, rr, rw, qr, qw,
                seconds, limitText.c_str(), ratioText.c_str());
    if (!dsn.empty()) {
      // The same routine on the twin whose database is the server.
      const fs::path serverResult = twin / ".bench-result";
      fs::remove(serverResult);
      const std::string onServer = "cd " + Quote(twin.string()) + " && " + Quote(self.string()) +
                                   " --run " + Quote(e->Slug()) + " " + Quote(serverResult.string());
      std::ifstream serverIn;
      if (std::system(onServer.c_str()) == 0 && fs::exists(serverResult)) {
        serverIn.open(serverResult);
        int serverCompleted = 0;
        long long srr = 0, srw = 0, sqr = 0, sqw = 0, snotes = 0, statements = 0;
        double serverSeconds = 0;
        serverIn >> serverCompleted >> srr >> srw >> sqr >> sqw >> serverSeconds >> snotes >>
            statements;
        const long long rows = sqr + sqw;
        std::printf(" %9.2f %7.2f %9.2f%s", serverSeconds, seconds > 0 ? serverSeconds / seconds : 0.0,
                    rows > 0 ? static_cast<double>(statements) / static_cast<double>(rows) : 0.0,
                    serverCompleted ? "" : " (ended on an error on the server)");
        if (e->group == ButtonGroup::kCommon && e->visible) commonServer += serverSeconds;
      } else {
        std::printf(" %9s", "failed");
      }
    }
    std::printf("%s%s\n", completed ? "" : "  (ended on an error)", mismatch.c_str());
    std::fflush(stdout);
  }
  fs::remove(site / ".bench-result");
  std::error_code ec;
  fs::remove_all(scratch, ec);
  std::printf("common group total: %.2f s", common);
  if (limits) {
    std::printf(" (limit of its accesses, engine calls and SQL statements: %.2f s)", commonLimit);
  }
  if (!dsn.empty()) {
    std::printf("; on the server %.2f s, %.2f x the file's", commonServer,
                common > 0 ? commonServer / common : 0.0);
  }
  std::printf("\n");
  return 0;
}
