// The commands behind `talvor-cli recfile create|load|save|dump|stat`, callable in-process.
//
// Each command writes what it did to `out` and each problem, as one line naming the file
// and, for bad input, the line or record at fault, to `err`. It returns the process exit
// status: 0 when it did its work, 1 when it did nothing because of an error (or, for
// `stat`, found the file damaged). A failed command leaves the record file as it was.
//
// FILE names an existing record file under the engine's path rules (legacy/path_rules.h),
// except for `create`, which takes FILE as given. INPUT and OUTPUT are plain paths.
//
// Record formats:
//   lines  one record per line, exactly the record length, ended by LF or CR LF (a line
//          of the record length is taken whole, even when it ends in CR); a record
//          holding an LF byte cannot be written in it.
//   seq    each record as its length in decimal digits, ",", the record's bytes, CR LF;
//          the file ends with the byte 0x1A (bytes after it are ignored). Binary-safe.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "legacy/record_file.h"

namespace talvor::recfile {

enum class RecordFormat { kSeq, kLines };

// "seq" or "lines"; nullopt for anything else.
std::optional<RecordFormat> ParseRecordFormat(std::string_view text);

// A key given as "OFF:LEN" or "OFF:LEN:dup" (decimal numbers). nullopt, with what is wrong
// in *error, for any other text.
std::optional<KeyDefinition> ParseKeySpec(std::string_view text, std::string* error);

// Parses `bytes` in `format` into records of `record_length` bytes each. On bad input
// returns false with *error naming the line (lines) or the record and its byte offset
// (seq); *records is then unspecified.
bool DecodeRecords(std::string_view bytes, RecordFormat format, int record_length,
                   std::vector<std::string>* records, std::string* error);

// Appends `record` in `format` to *out. Returns false (appending nothing) when the format
// cannot hold it.
bool EncodeRecord(std::string_view record, RecordFormat format, std::string* out);

// What ends a file of `format`: the byte 0x1A for seq, nothing for lines.
std::string_view FormatTrailer(RecordFormat format);

struct CreateOptions {
  std::string like;               // --like NAME: a known file's definition
  int length = 0;                 // --length N (0: not given)
  std::vector<std::string> keys;  // --key OFF:LEN[:dup], key 0 first
};

// recfile create FILE [--like NAME | --length N --key OFF:LEN[:dup]...]
// Without options, a FILE whose last component is a known file's name (any case) gets that
// file's definition. Never replaces an existing file.
int Create(const std::string& file, const CreateOptions& options, std::ostream& out,
           std::ostream& err);

// recfile load FILE INPUT [--format seq|lines] [--replace | --add]
// Loads every record of INPUT in one transaction: bad input, a record of the wrong length or
// a key value already present (in FILE or earlier in INPUT) loads nothing. `mode` says what
// becomes of the records FILE holds: kIntoEmpty (the default) loads nothing into a file that
// holds any and says how many it holds; kReplace (--replace) puts INPUT's records in their
// place, all or nothing; kAdd (--add) adds INPUT's records to them.
int Load(const std::string& file, const std::string& input, RecordFormat format, std::ostream& out,
         std::ostream& err, LoadMode mode = LoadMode::kIntoEmpty);

// recfile save FILE OUTPUT [--format seq|lines] [--force]
// Writes every record in key-0 order (a file without keys in insertion order). Never writes
// over a record file, not even with `force` (--force), and also not over one that OUTPUT
// names only under the engine's path rules (another letter case); anything else that
// exists at OUTPUT only with `force`. The export is written to a new file beside OUTPUT and
// renamed into place when whole, so OUTPUT holds either what it held or the whole export.
int Save(const std::string& file, const std::string& output, RecordFormat format, std::ostream& out,
         std::ostream& err, bool force = false);

// recfile dump FILE [--key N]
// The file's definition, then one line per record in key N order: the key's value and the
// record, each in double quotes with EscapeBytes (a file without keys: the record only).
int Dump(const std::string& file, int key, std::ostream& out, std::ostream& err);

// recfile stat FILE
// The file found, its record length, its keys and its record count, one per line. Every
// record and every page is read (CheckRecordFile); a file that is not sound gets one line
// per problem on `err`, each naming the file: a record length that does not fit its name,
// the count of records whose bytes are not the record length and the first ten of them by
// key, and each message of SQLite's integrity check ("damaged: ..."). Returns 1 for such a
// file.
int Stat(const std::string& file, std::ostream& out, std::ostream& err);

}  // namespace talvor::recfile
