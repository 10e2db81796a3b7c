// The site assessment: every routine of a group run alone as a dry run on the site's real
// files, answering its questions one way, and what each would have changed, found and said.
//
// Nothing of the site changes: each routine's changes are rolled back at its end (a dry
// run), its report files are written into a folder of its own under the assessment's
// folder, and its journal is kept there only as long as it takes to read it back. The
// only files created are those under the assessment's folder.
//
// Single-threaded: runs on the thread that runs routines.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "journal/journal_file.h"
#include "shell/routine_entry.h"
#include "shell/startup.h"
#include "shell/text/dates.h"

namespace talvor::assess {

enum class Group {
  kCommon,  // the buttons of the "Common Post-Convert Utils" group box
  kAll,     // every button of the window
};

struct Options {
  Group group = Group::kCommon;
  bool answerYes = true;  // the answer to every question the routines ask
  // The assessment's folder; empty: "assessment-YYYYMMDD-HHMMSS" in the working directory.
  // It must not exist yet, or be empty.
  std::filesystem::path outDir;
};

enum class Ended { kCompleted, kError, kStopped, kNotRun };

// "completed", "error", "stopped", "not run".
const char* EndedName(Ended ended);

// What one routine would do to the site.
struct RoutineFindings {
  std::string caption, slug;
  Ended ended = Ended::kNotRun;
  std::string error;  // the message it ended on (kError, kStopped)
  double seconds = 0;

  struct StoreChanges {
    std::string store;  // the file or database, as the journal names it
    std::string table;  // the table of a database; "" for a record file
    journal::ChangeCount count;
  };
  std::vector<StoreChanges> changes;
  long long records = 0;  // records of legacy files it would insert, update or delete
  long long rows = 0;     // rows of database tables, likewise

  struct Report {
    std::string name;  // as the routine names it
    std::string link;  // relative to the assessment's folder
    long long lines = 0;
  };
  std::vector<Report> reports;
  // Each message text once (numbers and keys aside: shell/text/messages.h), with how often
  // it was shown, in the order first shown.
  std::vector<std::pair<std::string, long long>> messages;
  long long messageCount = 0;
  // Each question as asked, with the answer it was given.
  std::vector<std::pair<std::string, bool>> questions;
  // Files it would copy or delete, as the changes report shows them.
  std::vector<std::string> fileOperations;
  // Its changes listed record by record and row by row (at most the first ones),
  // relative to the assessment's folder; "" when it would change nothing.
  std::string changesLink;

  long long ReportLines() const;
};

struct Assessment {
  std::filesystem::path site;    // the working directory
  std::filesystem::path outDir;  // absolute
  SiteSettings settings;
  Group group = Group::kCommon;
  bool answerYes = true;
  DateTime started;
  double seconds = 0;
  bool stopped = false;  // the operator stopped it; the routines after are kNotRun
  std::vector<RoutineFindings> routines;
};

// Told how an assessment goes; everything is called on the assessing thread.
class Progress {
 public:
  virtual ~Progress() = default;
  // Routine `n` of `count` (from 1) starts.
  virtual void Starting(int n, int count, const RoutineEntry& entry) = 0;
  // The routine `findings` tells about has ended.
  virtual void Ended(int n, int count, const RoutineFindings& findings) = 0;
  // Called often while a routine runs (each status-label update and repaint request).
  virtual void Tick() {}
  // True once the assessment should stop: the routine running ends at its next
  // status-label update and no other starts.
  virtual bool StopWanted() { return false; }
};

// The built routines of `group` among `entries` (window order) that have a button.
std::vector<const RoutineEntry*> RoutinesOf(std::span<const RoutineEntry* const> entries,
                                            Group group);

// Runs `routines` in order, each alone on the unchanged site in the working directory
// with `settings`, each as a dry run (journal/run_journal.h) whose journal goes under the
// assessment's folder, and writes the assessment's page and table there
// (shell/assess/assessment_page.h). A routine that ends on an error is noted and the next
// one runs. Returns nullopt with *error saying what and where when the folder cannot be
// made or is not empty, or the page cannot be written.
std::optional<Assessment> Assess(std::span<const RoutineEntry* const> routines,
                                 const SiteSettings& settings, const Options& options,
                                 const Clock& clock, Progress* progress, std::string* error);

}  // namespace talvor::assess
