#include "tools/demo/demo_site.h"

#include <gtest/gtest.h>

#include <set>

#include "legacy/record_file.h"
#include "shell/form.h"
#include "routines/registry.h"
#include "shell/run_protocol.h"
#include "tests/testing/scripted_frontend.h"
#include "shell/startup.h"
#include "tests/testing/temp_dir.h"

namespace talvor {
namespace {

using testing::TempWorkDir;

std::vector<std::string> RecordsOf(const std::filesystem::path& file) {
  std::vector<std::string> out;
  std::string error;
  EXPECT_TRUE(ForEachRecord(file.string(), 0, [&](std::string_view r) { out.emplace_back(r); }, &error))
      << error;
  return out;
}

TEST(DemoSite, SameSeedGivesTheSameRecords) {
  TempWorkDir dir;
  DemoOptions options;
  options.clients = 40;
  const DemoSummary a = BuildDemoSite(dir.path() / "a", options);
  const DemoSummary b = BuildDemoSite(dir.path() / "b", options);
  EXPECT_EQ(a.clients, 40);
  EXPECT_EQ(a.apRecords, b.apRecords);
  EXPECT_EQ(a.sqlRows, b.sqlRows);
  for (const char* file : {"ap", "extap", "POL", "JCKI", "DESC", "DIANDX"}) {
    const auto ra = RecordsOf(dir.path() / "a" / "data" / file);
    EXPECT_FALSE(ra.empty()) << file;
    EXPECT_EQ(ra, RecordsOf(dir.path() / "b" / "data" / file)) << file;
  }
  EXPECT_EQ(dir.Read("a/fed_id.txt"), dir.Read("b/fed_id.txt"));
}

TEST(DemoSite, RefusesAFolderThatHoldsASite) {
  TempWorkDir dir;
  DemoOptions options;
  options.clients = 5;
  BuildDemoSite(dir.path() / "s", options);
  const std::string before = dir.Read("s/talvor.cfg");
  EXPECT_THROW(BuildDemoSite(dir.path() / "s", options), std::runtime_error);
  EXPECT_EQ(dir.Read("s/talvor.cfg"), before);
}

TEST(DemoSite, HoldsTheDefectsAConversionLeaves) {
  TempWorkDir dir;
  DemoOptions options;
  options.clients = 300;
  BuildDemoSite(dir.path(), options);
  int zeroBytes = 0, inactiveMarked = 0;
  std::set<std::string> clientsWithLine01, clients;
  for (const std::string& r : RecordsOf(dir.path() / "data" / "ap")) {
    if (r.compare(0, 3, "001") != 0) continue;
    if (r.find('\0') != std::string::npos) ++zeroBytes;
    if (r.compare(14, 2, "00") == 0) {
      clients.insert(r.substr(6, 8));
      if (r[19] == '*') ++inactiveMarked;
    }
    if (r.compare(14, 2, "01") == 0) clientsWithLine01.insert(r.substr(6, 8));
  }
  EXPECT_EQ(clients.size(), 300u);
  EXPECT_GT(zeroBytes, 0);
  EXPECT_GT(inactiveMarked, 0);
  EXPECT_LT(clientsWithLine01.size(), clients.size());  // some clients lost line "01"
  EXPECT_EQ(dir.Read("talvor.cfg"), "data\r\nAGYFORMS\r\nDEMO\r\n01\r\n");
}

// Every built routine runs to its end on a small demo site, answering "no" to every question.
// "Bump Pol Dates" is meant to stop at the first date it cannot convert, and the demo site
// holds impossible dates for "Bad Months" to find: it may stop on exactly that.
TEST(DemoSite, EveryBuiltRoutineRunsToItsEnd) {
  TempWorkDir dir;
  DemoOptions options;
  options.clients = 60;
  BuildDemoSite(dir.path(), options);
  ScriptedFrontend fe;
  FixedClock clock({{2026, 12, 8}, 10, 0, 0});
  TForm1 form(fe, clock);
  form.ApplySettings(LoadStartupSettings(dir.path(), nullptr));
  for (const RoutineEntry* entry : Registry()) {
    fe.Clear();
    const RunOutcome outcome = RunRoutine(form, *entry);
    if (std::string(entry->caption) == "Bump Pol Dates" && !outcome.completed) {
      const bool dateError = outcome.error.find("is not a valid date") != std::string::npos ||
                             outcome.error.find("outside the legacy date range") != std::string::npos;
      EXPECT_TRUE(dateError) << outcome.error;
      continue;
    }
    EXPECT_TRUE(outcome.completed) << entry->caption << ": " << outcome.error;
  }
}

}  // namespace
}  // namespace talvor
