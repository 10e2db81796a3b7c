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

// What a run changed and said, in all.
struct RunTotals {
  long long records = 0;   // records of record files inserted, updated or deleted
  long long rows = 0;      // rows of databases inserted, updated or deleted
  long long messages = 0;  // messages shown
};
RunTotals TotalsOf(const RunRecord& run);

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

// Which changes `runs show` lists.
struct ChangeFilter {
  // "" for every store; else a record file or database as the report names it, its file
  // name with or without extension, a table, or DATABASE/TABLE; any letter case.
  std::string store;
  // "" for every change; else the start of a record's key or of a row's rowid (bytes as
  // they are, letter case too).
  std::string keyPrefix;
  bool Any() const { return !store.empty() || !keyPrefix.empty(); }
};

enum class ChangeFormat {
  kText,  // ShowRun's report
  kCsv,   // a header line, then one line per change (RFC 4180 quoting, CR LF)
  kJson,  // an array of one object per change
};

// False with *error (naming the store asked for and the stores the run changed) when the
// store of `filter` is none that `run` changed.
bool StoreFilterMatches(const RunRecord& run, const std::filesystem::path& work_dir,
                        const ChangeFilter& filter, std::string* error);

// The changes of `run` that pass `filter`, in `format`. Text: ShowRun's report with only
// those changes (each numbered as in the whole run) and, with a filter, a closing line that
// counts them. CSV and JSON: one record per change with the fields number, store, table,
// change (inserted, updated, deleted), key (a record's key or a row's rowid), changed (a
// record's changed byte ranges or a row's changed columns), before and after (a record's
// image; a row's changed columns, or every column of an inserted or deleted row, as
// "NAME=VALUE; ..."), every byte outside printable ASCII as \xHH. False with *error when the
// journal cannot be read back whole (what could be read is written).
bool ShowChanges(std::ostream& out, const RunRecord& run, const std::filesystem::path& work_dir,
                 const ChangeFilter& filter, ChangeFormat format, std::string* error);

// The report files the run wrote, each once, in the order it first wrote them, as the
// routine named them (relative to the working directory of the run).
std::vector<std::string> ReportFiles(const RunRecord& run);

// The copy of the report file `name` that the run's folder keeps (ReportCopyPath), or an
// empty path when it keeps none (a run made before copies were kept, or the copy failed).
std::filesystem::path KeptReportCopy(const RunRecord& run, const std::string& name);

// One event of a run (a question, a message, a report file, a file copied or deleted, a
// note) as the changes report shows it, without a line end.
std::string EventLine(const Event& event, const std::filesystem::path& work_dir);

// `path` relative to `work_dir` when it lies inside it, else as given.
std::string StoreName(const std::filesystem::path& work_dir, const std::string& path);

}  // namespace talvor::journal
