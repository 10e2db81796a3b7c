#include "tests/reliability/reliability_support.h"

#include <fstream>
#include <iterator>

#include "shell/frontend.h"

namespace talvor::testing {

namespace fs = std::filesystem;

std::map<std::string, std::string> SnapshotTree(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const std::string name = fs::relative(entry.path(), dir).generic_string();
    if (entry.is_directory()) {
      files[name] = "<dir>";
      continue;
    }
    std::ifstream in(entry.path(), std::ios::binary);
    files[name] = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

std::vector<RoutineRun> EveryRoutineTest::RunEveryRoutine(const std::function<void()>& before) {
  std::vector<RoutineRun> runs;
  for (const RoutineEntry* entry : Registry()) {
    if (before) before();
    fe.Clear();
    fe.SetFallbackAnswer(kAnswerYes);
    RoutineRun run;
    run.caption = entry->caption;
    run.outcome = RunRoutine(*form, *entry);
    run.messages = fe.Notes();
    if (!run.outcome.completed) run.messages.push_back(run.outcome.error);
    runs.push_back(std::move(run));
  }
  return runs;
}

}  // namespace talvor::testing
