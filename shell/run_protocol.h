// The run protocol: how every button and the command line run one routine.
#pragma once

#include <filesystem>
#include <string>

#include "shell/routine_entry.h"

namespace talvor {

class TForm1;

struct RunOutcome {
  bool completed = false;  // the routine ran to its end
  bool stopped = false;    // the front end stopped it (error is kStoppedText)
  std::string error;       // when not completed: the message that was shown
  std::string runId;       // the run's folder under .talvor/runs, "" when not recorded
  std::string journalProblem;  // why the run's journal is incomplete, "" when it is whole
};

// Where a run writes what is not the site's own: its journal folder and its report files.
// The defaults are the site's: ".talvor/runs" and the working directory.
struct RunPlace {
  std::filesystem::path runsDir;    // empty: RunsDir of the working directory
  std::filesystem::path reportDir;  // empty: the working directory
};

enum class RunKind {
  kRecorded,  // the changes stay; the journal keeps them for the changes report and undo
  kDryRun,    // every change is rolled back at the end; the journal shows what it would be
};

// Runs `entry` on `form`. An error the routine does not handle (database layer, date
// conversion, file system, or any other exception) is shown through the front end's
// ShowError with its message and ends the run; rows and records already written stay
// written. Whatever happened, every component is closed and unfiltered afterwards.
//
// The run is recorded in a journal under ".talvor/runs" of the working directory
// (shell/journal/run_journal.h) unless the environment variable TALVOR_JOURNAL is "off":
// questions and messages through a recording front end put around the form's for the run,
// report files and file copies and deletions through the form's SiteFiles. When the
// journal cannot be created the routine is not run (its changes could not be undone) and
// the outcome says why; a journal that could not be written whole is reported with Notify
// and the run's changes stay. A dry run (kind kDryRun) always keeps a journal; it copies
// and deletes no file (SiteFiles).
//
// At the end of a recorded run (a dry run too) the run's folder gets a copy of every report
// file the run wrote (journal::ReportCopyPath), so that the run's own reports can be read
// after later runs have written files of the same names.
//
// A report file that could not be written ends the run on that error even when the
// routine did not see it (the file was closed by its destructor).
//
// A front end that wants the run stopped (Frontend::StopWanted) ends it at the routine's
// next status-label update, as an error whose message is kStoppedText.
// REQUIRES: entry.Built().
RunOutcome RunRoutine(TForm1& form, const RoutineEntry& entry,
                      RunKind kind = RunKind::kRecorded, const RunPlace& place = {});

}  // namespace talvor
