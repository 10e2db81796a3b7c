// Undo of a recorded run: puts back every before-image of the run's changes, newest first,
// in one transaction per store (record file or database), and by default all or nothing
// across the run's stores: a file and the table it mirrors are never left disagreeing by an
// undo. A record or row that is no longer as the run left it is a conflict: then nothing of
// any store is put back and every conflict is listed, naming the row and the columns (or
// bytes) that differ. With `partial`, the stores without a conflict are put back and only
// those with one are left as they are. A row already back as it was before the run (a
// change that never committed, in a killed run) is passed over.
//
// Rows are compared as the database compares stored values: after the column's affinity
// (a REAL column's 1 and 1.0 are the same value), byte for byte for text and blobs.
//
// The journal names the stores that lay under the run's working directory relative to it;
// an undo acts on the stores of the site it is run in (a copied site's undo puts back the
// copy's files). A store outside the working directory is refused unless `outside` is set.
//
// What an undo cannot put back is said, not tried: files the run copied or deleted, and
// tables it dropped.
//
// The undo is itself a recorded run (mode "undo"), so it can be undone in turn. The undone
// run's folder gets a file "undone" listing the stores put back; a second undo passes them
// over.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "journal/journal_file.h"
#include "shell/text/dates.h"

namespace talvor::journal {

struct UndoOptions {
  bool partial = false;  // put back the stores without a conflict even when others have one
  bool outside = false;  // also put back stores outside the working directory
};

struct UndoResult {
  // Set when nothing could be tried: unknown run, a dry run, nothing left to undo, a store
  // outside the site, the undo's own journal cannot be created. Nothing was changed.
  std::string error;
  std::string runId;                   // the undo's own run
  std::vector<std::string> undone;     // stores put back (as the journal names them)
  std::vector<std::string> conflicts;  // "STORE: TABLE row N has changed since the run (...)"
  std::vector<std::string> failures;   // stores that could not be opened or written
  // Stores that had no conflict and were left as they are because another store had one.
  std::vector<std::string> heldBack;
  // What the run did that no undo puts back ("file data/x copied to data/y ...").
  std::vector<std::string> notPutBack;
  bool Whole() const { return error.empty() && conflicts.empty() && failures.empty(); }
};

// The stores an undo of `run` would put back: those it changed that no undo has put back.
std::vector<const Store*> StoresToUndo(const RunRecord& run);
// Why `run` cannot be undone (a dry run, it changed nothing, it is already undone), or "".
std::string WhyNotUndoable(const RunRecord& run);

// Undoes the run `id` (as FindRunDir takes it) of the working directory `work_dir`.
UndoResult UndoRun(const std::filesystem::path& work_dir, const std::string& id,
                   const Clock& clock, const UndoOptions& options = {});

// The lines a person is shown after an undo: what was put back, each conflict, failure and
// store held back, what cannot be put back, and where the undo is recorded.
std::vector<std::string> UndoReport(const UndoResult& result);

}  // namespace talvor::journal
