// A whole demo run, digested: every report byte, record, row and journal change that the
// common group and the grid's heaviest writers make on a demo site, one line per report,
// record file, table and run. The reference (whole_run_digest.txt) was taken from the build
// before the engine and the components answered reads from memory and skipped writes of
// what is already stored; a change in what any routine reads or writes shows as the line
// of the file, table or run that differs.
//
// To take the reference again (only when a routine is meant to change its results), run
// the suite with TALVOR_DIGEST_OUT set to a file name and commit that file.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "journal/changes_report.h"
#include "journal/journal_file.h"
#include "legacy/record_file.h"
#include "routines/registry.h"
#include "shell/frontend.h"
#include "shell/startup.h"
#include "tests/reliability/reliability_support.h"
#include "tools/demo/demo_site.h"

namespace talvor::testing {
namespace {

namespace fs = std::filesystem;

// The grid routines that write most, besides the common group: walks with readbacks and
// updates, replaces (delete and insert), inserts.
const std::set<std::string> kGridWriters = {"cust-ap", "resync-contacts", "clear-ap-nulls",
                                            "swap-last-first", "sync-pol-inv"};

// 64-bit FNV-1a: stable across compilers and runs, enough to tell two dumps apart.
class Digest {
 public:
  void Add(std::string_view bytes) {
    for (unsigned char c : bytes) {
      hash_ ^= c;
      hash_ *= 0x100000001b3ULL;
    }
  }
  std::string Hex() const {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash_));
    return text;
  }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every row of every table of the database `path`, each value with its type, in rowid
// order: one line per table.
void DigestDatabase(const fs::path& path, std::vector<std::string>* lines) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  std::vector<std::string> tables;
  sqlite3_stmt* list = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db,
                               "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name",
                               -1, &list, nullptr),
            SQLITE_OK);
  while (sqlite3_step(list) == SQLITE_ROW) {
    tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list, 0)));
  }
  sqlite3_finalize(list);
  for (const std::string& table : tables) {
    sqlite3_stmt* rows = nullptr;
    if (sqlite3_prepare_v2(db, ("SELECT rowid, * FROM \"" + table + "\" ORDER BY rowid").c_str(),
                           -1, &rows, nullptr) != SQLITE_OK) {
      ASSERT_EQ(sqlite3_prepare_v2(db, ("SELECT * FROM \"" + table + "\"").c_str(), -1, &rows,
                                   nullptr),
                SQLITE_OK)
          << table;
    }
    Digest digest;
    long count = 0;
    while (sqlite3_step(rows) == SQLITE_ROW) {
      ++count;
      for (int c = 0; c < sqlite3_column_count(rows); ++c) {
        const int type = sqlite3_column_type(rows, c);
        std::string cell = std::to_string(type) + ":";
        if (type != SQLITE_NULL) {
          const auto* bytes = static_cast<const char*>(sqlite3_column_blob(rows, c));
          cell.append(bytes == nullptr ? "" : bytes,
                      static_cast<std::size_t>(sqlite3_column_bytes(rows, c)));
        }
        digest.Add(std::to_string(cell.size()) + "|" + cell);
      }
      digest.Add("\n");
    }
    sqlite3_finalize(rows);
    lines->push_back("rows " + path.filename().string() + " " + table + " " +
                     std::to_string(count) + " " + digest.Hex());
  }
  sqlite3_close(db);
}

class WholeRunDigestTest : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    fs::remove("AGYFORMS.db");
    fs::remove_all("data");
    BuildDemoSite(fs::current_path(), DemoOptions{.clients = 300});
    form->ApplySettings(LoadStartupSettings(fs::current_path(), nullptr));
    site_ = fs::current_path().string();
  }

  // `text` with the site's folder (a fresh temporary one each time) named "<site>".
  std::string Masked(std::string text) const {
    for (std::size_t at = text.find(site_); at != std::string::npos; at = text.find(site_, at)) {
      text.replace(at, site_.size(), "<site>");
    }
    return text;
  }

  // Runs `entry` answering yes to every question; records its outcome and messages, and
  // its journal as `runs show` prints it.
  void RunAndDigest(const RoutineEntry& entry, RunKind kind, std::vector<std::string>* lines) {
    fe.Clear();
    fe.SetFallbackAnswer(kAnswerYes);
    const RunOutcome outcome = RunRoutine(*form, entry, kind);
    const std::string name = std::to_string(++runs_) + " " + entry.Slug() +
                             (kind == RunKind::kDryRun ? " dry" : "");
    Digest messages;
    for (const ScriptedFrontend::Event& event : fe.Events()) {
      messages.Add(std::to_string(event.kind) + " " + std::to_string(event.answer) + " " +
                   Masked(event.text) + "\n");
    }
    messages.Add(Masked(form->Label3.Caption()) + "\n" + Masked(outcome.error));
    lines->push_back("run " + name + " completed=" + (outcome.completed ? "1" : "0") +
                     " messages=" + messages.Hex());
    std::string error;
    const std::optional<fs::path> dir = journal::FindRunDir(fs::current_path(), outcome.runId, &error);
    ASSERT_TRUE(dir) << entry.Slug() << ": " << error;
    const std::optional<journal::RunRecord> run = journal::ReadRun(*dir, &error);
    ASSERT_TRUE(run) << entry.Slug() << ": " << error;
    Digest changes;
    changes.Add(Masked(journal::ShowRun(*run, fs::current_path())));
    lines->push_back("journal " + name + " " + std::to_string(run->changeCount) + " " +
                     changes.Hex());
  }

  // Every report file (the site's top folder, databases aside), every record file, every
  // table.
  void DigestSite(std::vector<std::string>* lines) {
    std::set<fs::path> reports;
    std::set<fs::path> databases;
    for (const auto& entry : fs::directory_iterator(fs::current_path())) {
      if (!entry.is_regular_file()) continue;
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".db")) {
        databases.insert(entry.path());
      } else if (!name.ends_with("-wal") && !name.ends_with("-shm")) {
        reports.insert(entry.path());
      }
    }
    for (const fs::path& path : reports) {
      Digest digest;
      const std::string bytes = Masked(ReadBytes(path));
      digest.Add(bytes);
      lines->push_back("report " + path.filename().string() + " " + std::to_string(bytes.size()) +
                       " " + digest.Hex());
    }
    std::set<fs::path> files;
    for (const auto& entry : fs::directory_iterator("data")) {
      if (IsRecordFile(entry.path())) files.insert(entry.path());
    }
    for (const fs::path& path : files) {
      Digest digest;
      long count = 0;
      std::string error;
      ASSERT_TRUE(ForEachRecord(
          path.string(), 0,
          [&](std::string_view record) {
            ++count;
            digest.Add(record);
            digest.Add("\n");
          },
          &error))
          << error;
      lines->push_back("records " + path.filename().string() + " " + std::to_string(count) +
                       " " + digest.Hex());
    }
    for (const fs::path& path : databases) DigestDatabase(path, lines);
  }

  std::string site_;
  int runs_ = 0;
};

TEST_F(WholeRunDigestTest, ADemoRunGivesTheReportsRecordsRowsAndJournalOfTheReference) {
  std::vector<std::string> lines;
  for (const RoutineEntry* entry : Registry()) {
    if (entry->group == ButtonGroup::kCommon && entry->visible) {
      RunAndDigest(*entry, RunKind::kRecorded, &lines);
    }
  }
  // A dry run's writes are rolled back under the engine's and the components' eyes; the
  // real run after it must not see them.
  RunAndDigest(*FindRoutine("swap-last-first"), RunKind::kDryRun, &lines);
  for (const RoutineEntry* entry : Registry()) {
    if (kGridWriters.count(entry->Slug()) != 0) RunAndDigest(*entry, RunKind::kRecorded, &lines);
  }
  DigestSite(&lines);
  ASSERT_FALSE(HasFatalFailure());

  if (const char* out = std::getenv("TALVOR_DIGEST_OUT")) {
    std::ofstream file(out, std::ios::binary);
    for (const std::string& line : lines) file << line << '\n';
  }
  std::vector<std::string> expected;
  std::ifstream reference(TALVOR_DIGEST_REFERENCE);
  ASSERT_TRUE(reference) << "no reference digest " << TALVOR_DIGEST_REFERENCE;
  for (std::string line; std::getline(reference, line);) expected.push_back(line);
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]);
}

}  // namespace
}  // namespace talvor::testing
