// Times every built routine on a large demo site, each in a process of its own, and prints
// a table: routine, records read and written through the engine, rows read and written
// through the components, seconds.
//
//   routines_bench SITE [--clients N] [--only SLUG...]
// SITE is created with N clients (default 100000) when it holds no site yet. Routines run
// in window order on the same site, answering "no" to every question, as an engineer would
// click them one after another.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "legacy/stats.h"
#include "tools/demo/demo_site.h"
#include "shell/form.h"
#include "platform/os.h"
#include "routines/registry.h"
#include "shell/run_protocol.h"
#include "tests/testing/scripted_frontend.h"
#include "shell/startup.h"
#include "sqldb/stats.h"

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
                     << seconds << ' ' << fe.Notes().size() << '\n';
  return 0;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "--run") {
    return RunOne(args[1], args[2]);
  }
  if (args.empty()) {
    std::cerr << "usage: routines_bench SITE [--clients N] [--only SLUG...]\n";
    return 2;
  }
  const fs::path site = fs::absolute(args[0]);
  int clients = 100000;
  std::set<std::string> only;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--clients" && i + 1 < args.size()) {
      clients = std::atoi(args[++i].c_str());
    } else if (args[i] == "--only" && i + 1 < args.size()) {
      only.insert(args[++i]);
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
  const fs::path self = ExecutablePath();
  fs::current_path(site);
  std::printf("%-22s %12s %10s %12s %10s %9s\n", "routine", "records rd", "wr", "rows rd",
              "wr", "seconds");
  double common = 0;
  for (const RoutineEntry* e : Registry()) {
    if (!only.empty() && only.count(e->Slug()) == 0) continue;
    const fs::path result = site / ".bench-result";
    fs::remove(result);
    const std::string command =
        Quote(self.string()) + " --run " + Quote(e->Slug()) + " " + Quote(result.string());
    if (std::system(command.c_str()) != 0 || !fs::exists(result)) {
      std::printf("%-22s failed to run\n", e->caption);
      continue;
    }
    std::ifstream in(result);
    int completed = 0;
    long long rr = 0, rw = 0, qr = 0, qw = 0, notes = 0;
    double seconds = 0;
    in >> completed >> rr >> rw >> qr >> qw >> seconds >> notes;
    if (e->group == ButtonGroup::kCommon && e->visible) common += seconds;
    std::printf("%-22s %12lld %10lld %12lld %10lld %9.2f%s\n", e->caption, rr, rw, qr, qw, seconds,
                completed ? "" : "  (ended on an error)");
    std::fflush(stdout);
  }
  fs::remove(site / ".bench-result");
  std::printf("common group total: %.2f s\n", common);
  return 0;
}
