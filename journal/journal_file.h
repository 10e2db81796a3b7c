// The run journal's file: what a recorded run keeps in its folder
// `.talvor/runs/<ID>/journal`, and how it is read back.
//
// The file is written line by line while the run goes on, so that a run that was killed
// still leaves every change it committed. Each line is a tag and fields separated by TAB;
// TAB, LF, CR and backslash inside a field are written as \t, \n, \r and \\. Lines:
//   talvor-journal 1                       first line
//   routine CAPTION / slug SLUG / mode run|dry-run|undo / started YYYY-MM-DD HH:MM:SS
//   undoes ID                              (undo runs) the run being undone
//   setting NAME VALUE                     the settings boxes at the start
//   store N record|sql PATH                a record file or database, numbered from 1;
//                                          relative to the run's working directory when
//                                          it lies under it, else absolute
//   columns N TABLE NAME...                column names of a table, written at the end
//   change N TABLE OP OLDROWID NEWROWID NBEFORE NAFTER CELL...   OP is I, U or D
//   ask QUESTION yes|no / notify TEXT / report NAME / note TEXT
//   file copy FROM TO replaced|new OUTCOME / file delete PATH OUTCOME
//                                          a file copied or deleted; OUTCOME is "done",
//                                          "dry-run" (not tried) or "failed: WHY"
//   outcome completed | outcome error MESSAGE
//   end complete | end incomplete WHY      the last line
// A cell is a kind letter and its value: N (null), I (integer digits), F (a real written
// with 17 digits), T (text bytes), B (blob bytes). In the after-image of an update, "=" stands
// for a cell equal to the same column's before-image cell (most columns of an update).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/change.h"

namespace talvor::journal {

inline constexpr const char* kJournalFileName = "journal";
inline constexpr const char* kUndoneFileName = "undone";
// An update's after-image cell that is the same as its before-image cell.
inline constexpr const char* kSameCell = "=";

// Cells, rows and store kinds are the change seam's (platform/change.h).
using talvor::Cell;
using talvor::Row;
using talvor::StoreKind;

struct Store {
  int id = 0;
  StoreKind kind = StoreKind::kRecord;
  std::string path;  // as the journal names it: relative to the run's working directory
                     // when the store lay under it, else absolute
};

// True when the store named `name` is a database server ("odbc:" and its connection
// string, password hidden) rather than a file: its name is kept, found and shown as it is.
bool IsServerStore(std::string_view name);
// Where the store named `name` (a Store::path) is for a site whose working directory is
// `work_dir`: a relative name under `work_dir`, an absolute one (or a server's) as it stands.
std::filesystem::path StoreLocation(const std::filesystem::path& work_dir,
                                    const std::string& name);
// True when `name` lies under `work_dir` (a relative name always does; a server's agency
// database belongs to the site that names it).
bool StoreInside(const std::filesystem::path& work_dir, const std::string& name);

struct Change {
  int store = 0;
  std::string table;
  char op = 'U';  // 'I' insert, 'U' update, 'D' delete
  std::int64_t oldRowid = 0;
  std::int64_t newRowid = 0;
  Row before;  // empty for inserts
  Row after;   // empty for deletes
};

// An event of the run other than a change, in order: "ask", "notify", "report", "note",
// "file" (fields: "copy", FROM, TO, replaced|new, OUTCOME or "delete", PATH, OUTCOME).
struct Event {
  std::string tag;
  std::vector<std::string> fields;
};

// How many records or rows of one table a run inserted, updated and deleted.
struct ChangeCount {
  long long inserted = 0, updated = 0, deleted = 0;
  long long Total() const { return inserted + updated + deleted; }
};

// A run folder read back.
struct RunRecord {
  std::string id;  // the folder's name
  std::filesystem::path dir;
  std::string routine, slug, mode, started, undoes;
  std::vector<std::pair<std::string, std::string>> settings;
  std::vector<Store> stores;
  std::map<std::pair<int, std::string>, std::vector<std::string>> columns;
  std::vector<Change> changes;  // in order; only the first ones when ReadRun was told so
  // Every change of the run, counted per store and table, and in all.
  std::map<std::pair<int, std::string>, ChangeCount> counts;
  long long changeCount = 0;
  // Where each change's line begins in the journal file, for ForEachChange.
  std::vector<std::int64_t> changeOffsets;
  std::vector<Event> events;
  std::string outcome;  // "completed", "error MESSAGE", or "" when the run never ended
  bool complete = false;
  std::string endNote;  // the end line's reason, or why the file ends early
  // Stores (by path) an undo has already put back, from the "undone" file.
  std::vector<std::string> undoneStores;

  const Store* FindStore(int id) const;
};

// `bytes` with TAB, LF, CR and backslash escaped.
std::string Escape(std::string_view bytes);
// The same, appended to `out` (the journal writes every change this way, without copies).
void AppendEscaped(std::string& out, std::string_view bytes);
// The inverse; an unknown escape keeps its character.
std::string Unescape(std::string_view text);
// A cell as written in a change line, and back. ParseCell returns nullopt for text that
// is not a cell.
std::string FormatCell(const Cell& cell);
std::optional<Cell> ParseCell(std::string_view text);

// Beside the journal, a run folder keeps a copy of every report file the run wrote, under
// this folder, as the routine named the file ("reports/CLIENTS.TXT"): an old run shows the
// reports it wrote, not today's files of the same name. Copied once, at the end of the run.
inline constexpr const char* kReportCopiesFolder = "reports";
// Where the run folder `run_dir` keeps its copy of the report file the routine named
// `name`; a name that would leave the folder ("..", an absolute path) keeps only its last
// part.
std::filesystem::path ReportCopyPath(const std::filesystem::path& run_dir,
                                     const std::string& name);

// The folder that holds the runs of the working directory `work_dir`.
std::filesystem::path RunsDir(const std::filesystem::path& work_dir);

// Reads the run folder `dir`. Returns nullopt with *error set when it holds no journal or
// the journal's first line is not ours. A journal that breaks off (a killed run) or holds a
// malformed line is read up to that point: `complete` is false and `endNote` says why.
// Keeps the first `max_changes` changes whole and only counts the others: a large run's
// journal holds hundreds of megabytes of images that a summary does not need.
std::optional<RunRecord> ReadRun(const std::filesystem::path& dir, std::string* error,
                                 std::size_t max_changes = static_cast<std::size_t>(-1));

// Calls `visit` with each change of `run` (as ReadRun read it, whatever it kept), oldest
// first or newest first, read back from the journal one at a time, until `visit` returns
// false: a run of a million changes is never held whole. False with *error set when the
// journal cannot be read back as it was.
bool ForEachChange(const RunRecord& run, bool newestFirst,
                   const std::function<bool(const Change&)>& visit, std::string* error);

// Every run folder of `work_dir`, oldest first (folder names sort by time).
std::vector<std::filesystem::path> ListRunDirs(const std::filesystem::path& work_dir);

// The run folder named by `id`: the folder name itself, or a prefix of exactly one, or
// "last" for the newest. nullopt with *error set otherwise.
std::optional<std::filesystem::path> FindRunDir(const std::filesystem::path& work_dir,
                                                const std::string& id, std::string* error);

}  // namespace talvor::journal
