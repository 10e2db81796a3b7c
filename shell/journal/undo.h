// Undo of a recorded run: puts back every before-image of the run's changes, newest first,
// in one transaction per store (record file or database). A record or row that is no longer
// as the run left it is a conflict: nothing of that store is put back and the conflict is
// listed; the other stores are undone. A row already back as it was before the run (a
// change that never committed, in a killed run) is passed over.
//
// The undo is itself a recorded run (mode "undo"), so it can be undone in turn. The undone
// run's folder gets a file "undone" listing the stores put back; a second undo passes them
// over.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "shell/journal/journal_file.h"
#include "shell/text/dates.h"

namespace talvor::journal {

struct UndoResult {
  // Set when nothing could be tried: unknown run, a dry run, nothing left to undo, the
  // undo's own journal cannot be created. Nothing was changed.
  std::string error;
  std::string runId;                   // the undo's own run
  std::vector<std::string> undone;     // stores put back (paths as the journal names them)
  std::vector<std::string> conflicts;  // "STORE: TABLE KEY has changed since the run" ...
  std::vector<std::string> failures;   // stores that could not be opened or written
  bool Whole() const { return error.empty() && conflicts.empty() && failures.empty(); }
};

// The stores an undo of `run` would put back: those it changed that no undo has put back.
std::vector<const Store*> StoresToUndo(const RunRecord& run);
// Why `run` cannot be undone (a dry run, it changed nothing, it is already undone), or "".
std::string WhyNotUndoable(const RunRecord& run);

// Undoes the run `id` (as FindRunDir takes it) of the working directory `work_dir`.
UndoResult UndoRun(const std::filesystem::path& work_dir, const std::string& id,
                   const Clock& clock);

}  // namespace talvor::journal
