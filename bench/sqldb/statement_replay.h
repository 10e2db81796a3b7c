// Replays the SQL layer's statement trace (sqldb/sql_trace.h) on bare SQLite: each traced
// connection opened on the same file with the settings the layer opens it with (write-ahead
// log, synchronous NORMAL, the memory map, the busy timeout), each statement prepared,
// bound, stepped, reset and finalized when the trace says, checkpoints where it says. What a
// routine's SQL work costs at the least: SQLite alone, with no components, no conversions,
// no capture and no reads held or let go but as the trace did.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sqldb/sql_trace.h"

namespace talvor::bench {

struct StatementReplayResult {
  double seconds = 0;  // from the first entry to the last, trace reading aside
  std::int64_t calls = 0;
  std::int64_t mismatches = 0;  // prepares and steps whose outcome is not the trace's
  std::string firstMismatch;    // which entry and both outcomes, when there is one
};

// Replays `entries`; a file recorded under `from` is opened under `to` instead (a copy of
// the site as it was before the traced run). A step matches when both gave a row, both were
// done, or both failed; a prepare when both succeeded or both failed. False with *error when
// a traced file cannot be opened, a statement the trace prepared does not prepare, or the
// trace names a statement or connection it never opened.
bool ReplaySqlTrace(const std::vector<sqldb::SqlTraceEntry>& entries,
                    const std::filesystem::path& from, const std::filesystem::path& to,
                    StatementReplayResult* result, std::string* error);

}  // namespace talvor::bench
