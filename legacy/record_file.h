// Record files as a whole: their definitions, the table of known legacy files, and the
// operations that act on a file outside the btr* call contract (create, bulk load, read
// all, count). The tool behind `talvor-cli recfile`, the demo site and the tests use these;
// routines use the call contract of legacy/engine.h.
//
// A record file keeps its definition (record length and keys) inside itself. The known-file
// table says which definition a new file of a known name gets, and for most known names it
// also binds the record length: a file of another record length under such a name is not
// that file (BindingRecordLength). The engine refuses to open it, and nothing here creates
// or loads one.
//
// Paths given to the functions that open an existing file follow the engine's path rules
// (legacy/path_rules.h). Every function here opens its own connection to the file and
// closes it before returning; call them from one thread at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvor {

// One key: `length` bytes of the record starting at `offset`, compared as bytes.
struct KeyDefinition {
  int offset = 0;
  int length = 0;
  // True when several records may hold the same value; they are then ordered by key 0.
  bool duplicates = false;
  bool operator==(const KeyDefinition&) const = default;
};

// Record length and keys of a record file. Key 0 is keys[0]; a file without keys stores
// records that can only be inserted (and read back in insertion order by the tools).
struct RecordFileDefinition {
  int recordLength = 0;
  std::vector<KeyDefinition> keys;
  bool operator==(const RecordFileDefinition&) const = default;
};

// Limits of a definition (stored files never exceed them).
inline constexpr int kMaxRecordLength = 65535;
inline constexpr int kMaxKeyLength = 255;
inline constexpr int kMaxKeys = 8;

// True when `definition` can describe a record file: record length 1..kMaxRecordLength, at
// most kMaxKeys keys, each 1..kMaxKeyLength bytes long and inside the record, key 0 without
// duplicates. Else false with *error saying what is wrong.
bool ValidDefinition(const RecordFileDefinition& definition, std::string* error);

// The definition a file of the known legacy name `name` gets ("ap", "extap", "POL", "JCKI",
// "OLDJCKI", "JCKI102705", "DESC", "DIANDX", "risk", "forms.ndx", "DiaData"; matched without
// regard to letter case). nullopt for any other name.
std::optional<RecordFileDefinition> KnownFileDefinition(std::string_view name);

// The known names in the table's order, each spelled as the legacy system spells it.
std::vector<std::string_view> KnownFileNames();

// The record length that a file named `name` (a last path component, any letter case) must
// have, or nullopt when the name binds none: an unknown name, or "forms.ndx" and "DiaData",
// whose routines state only the buffer they pass.
std::optional<int> BindingRecordLength(std::string_view name);

// True when a file of `definition` may go by the name `name`; else false with *error saying
// what is wrong, for example `a file named "ap" has 128-byte records, not 120-byte ones`.
bool FitsName(std::string_view name, const RecordFileDefinition& definition, std::string* error);

// Creates `path` as an empty record file with `definition`. The file appears whole or not
// at all. Returns false, with a message naming the file in *error, when the definition is
// invalid or does not fit the file's name (FitsName), the file (or anything else by that
// name) already exists, or it cannot be written. Never replaces an existing file. `path` is
// taken as given (no path rules).
bool CreateRecordFile(const std::filesystem::path& path, const RecordFileDefinition& definition,
                      std::string* error);

// What a record file holds, for `recfile stat`.
struct RecordFileInfo {
  std::filesystem::path path;  // the file the path rules found
  RecordFileDefinition definition;
  std::int64_t records = 0;
};

// Fills *info. Returns false with a message in *error when the file is missing or is not a
// record file.
bool ReadRecordFileInfo(const std::string& path, RecordFileInfo* info, std::string* error);

// What a load does with the records a file already holds.
enum class LoadMode {
  kAdd,        // keeps them; the new records join them
  kIntoEmpty,  // there must be none: a file that holds records loads nothing
  kReplace,    // removes them; the file then holds exactly the new records
};

// Loads `records` into the file in one transaction, as `mode` says: either the whole load
// is done or the file is left as it was. Each record must be exactly the record length, and
// the file's record length must fit its name (FitsName). On failure returns false, sets
// *error to what is wrong (for example `key 0 value "..." already exists`, the key shown with
// EscapeBytes, or `PATH holds 5 records` for kIntoEmpty) and, when a record is at fault,
// *failed_index to its index in `records`; otherwise *failed_index is left alone.
bool LoadRecords(const std::string& path, const std::vector<std::string>& records,
                 std::string* error, std::size_t* failed_index = nullptr,
                 LoadMode mode = LoadMode::kAdd);

// A record whose stored bytes are not the record length.
struct MisfitRecord {
  std::string where;        // `key 0 "..."` (EscapeBytes), or `record N` in a file without keys
  std::int64_t length = 0;  // the bytes it holds
};

// What CheckRecordFile found.
struct RecordFileCheck {
  RecordFileInfo info;                     // info.records counts the records that read back
  std::string nameProblem;                 // why the name the file was given by does not fit it (FitsName) the file was given by
  std::int64_t misfits = 0;                // records whose bytes are not the record length
  std::vector<MisfitRecord> firstMisfits;  // the first kMaxMisfitsShown of them, in key-0 order
  // Damage to the file itself: each a message of SQLite's integrity check (naming the tree
  // and page) or of a read that broke off.
  std::vector<std::string> damage;

  bool Sound() const { return nameProblem.empty() && misfits == 0 && damage.empty(); }
};

inline constexpr std::size_t kMaxMisfitsShown = 10;

// Reads every record of the file and runs SQLite's integrity check over it, for `recfile
// stat`. Returns false with a message naming the file in *error when it cannot be opened as a
// record file or is locked; whatever is wrong with a file that opens is in *check.
bool CheckRecordFile(const std::string& path, RecordFileCheck* check, std::string* error);

// True when `path` is a file that holds a record file (its header says so), sound or not.
bool IsRecordFile(const std::filesystem::path& path);

// Calls `visit` with each record as stored (the record length, unless the file is damaged:
// CheckRecordFile) in the order of key `key_number`, duplicates by key 0; a file without
// keys in insertion order. Returns false with a message in *error when the file cannot be
// read or `key_number` is not a key of the file (key 0 is always accepted).
bool ForEachRecord(const std::string& path, int key_number,
                   const std::function<void(std::string_view record)>& visit, std::string* error);

// `bytes` as readable text: printable ASCII as is, a backslash as "\\", a double quote as
// "\"", every other byte as "\xHH" (upper-case hex).
std::string EscapeBytes(std::string_view bytes);

}  // namespace talvor
