// The changes report: recorded runs as text for `talvor-cli runs` and `runs show`, and for
// the window's panel.
#pragma once

#include <cstddef>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "journal/journal_file.h"

namespace talvor::journal {

// Which runs a listing shows.
struct RunFilter {
  std::string routine;  // a caption (any letter case) or slug; "" for every routine
  std::string since;    // "YYYY-MM-DD" or "YYYY-MM-DD HH:MM[:SS]": runs started then or later
};

// The recorded runs of `work_dir` that pass `filter`, oldest first: one line each (ID, start,
// routine, mode, how it ended, records and rows changed, messages), or with `paragraphs` one
// paragraph each (RunSummary). "" when none.
std::string ListRuns(const std::filesystem::path& work_dir, const RunFilter& filter = {},
                     bool paragraphs = true);

// A run on one line, without its line end.
std::string RunLine(const RunRecord& run);

// False with *error when `since` is neither "YYYY-MM-DD" nor "YYYY-MM-DD HH:MM[:SS]".
bool ValidSince(const std::string& since, std::string* error);

// The summary of one run (the paragraph ListRuns prints for it).
std::string RunSummary(const RunRecord& run, const std::filesystem::path& work_dir);

// Everything the run recorded: questions, messages, report files, and each change, record
// by record and row by row; for a record update the bytes that changed are marked with "^"
// under them, for a row update the columns that changed are listed with both values.
// With `max_changes`, the changes after that many are counted in one closing line.
// The changes are read back from the journal one at a time (ForEachChange).
std::string ShowRun(const RunRecord& run, const std::filesystem::path& work_dir,
                    std::size_t max_changes = static_cast<std::size_t>(-1));
// The same, written to `out` as it goes (a large run's report need not fit in memory).
void ShowRun(std::ostream& out, const RunRecord& run, const std::filesystem::path& work_dir,
             std::size_t max_changes = static_cast<std::size_t>(-1));

// The report files the run wrote, each once, in the order it first wrote them, as the
// routine named them (relative to the working directory of the run).
std::vector<std::string> ReportFiles(const RunRecord& run);

// One event of a run (a question, a message, a report file, a file copied or deleted, a
// note) as the changes report shows it, without a line end.
std::string EventLine(const Event& event, const std::filesystem::path& work_dir);

// `path` relative to `work_dir` when it lies inside it, else as given.
std::string StoreName(const std::filesystem::path& work_dir, const std::string& path);

}  // namespace talvor::journal
