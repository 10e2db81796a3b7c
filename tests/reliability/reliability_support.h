// Helpers of the reliability suites: whole-file snapshots (to prove a file was not written)
// and running every built routine the way its button would.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "routines/registry.h"
#include "shell/run_protocol.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {

// Every file under `dir` (recursively) with its bytes; a directory maps to "<dir>".
std::map<std::string, std::string> SnapshotTree(const std::filesystem::path& dir);

// What one routine did on a site.
struct RoutineRun {
  std::string caption;
  RunOutcome outcome;
  std::vector<std::string> messages;  // Notify texts, then the error that ended the run
};

// A site test that runs every built routine in turn on the same site, answering yes to
// every question (to reach the most code).
class EveryRoutineTest : public SiteTest {
 protected:
  // Runs each routine of Registry() once, in window order; `before` is called before each
  // run (to put damage back in place, for example).
  std::vector<RoutineRun> RunEveryRoutine(const std::function<void()>& before = {});
};

}  // namespace talvor::testing
