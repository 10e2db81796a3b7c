// Replays an engine call trace (legacy/engine_trace.h) on bare SQLite: the same calls in the
// same order on the same files, through SQL on the engine's own schema (legacy/internal/
// store.h) with nothing of the engine in between: one connection per file, every statement
// prepared once and reused, a stepping statement per walking handle, and every write its
// own committed transaction. What a routine's engine calls cost at the least.
//
// Kept as plain as the calls allow, and no plainer: a walk steps its statement until a write
// to the file (which must commit on its own, so every open statement on the file is reset
// first) and then seeks again from its position; an update whose bytes are those its handle
// read, with no write to the file since, writes nothing (the caller holds both and can see
// so). No lookup cache, no held snapshot, no freshness checks, no locks, no capture.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "legacy/engine_trace.h"

namespace talvor::bench {

struct ReplayResult {
  double seconds = 0;  // from the first call to the last, trace reading aside
  std::int64_t calls = 0;
  std::int64_t mismatches = 0;  // calls whose status is not the one the trace says
  std::string firstMismatch;    // which call and both statuses, when there is one
};

// Replays `entries`; a path recorded under `from` is opened under `to` instead (a copy of
// the site as it was before the traced run). False with *error when a file cannot be
// prepared for the replay (a statement that does not prepare on it).
bool ReplayEngineTrace(const std::vector<TraceEntry>& entries, const std::filesystem::path& from,
                       const std::filesystem::path& to, ReplayResult* result, std::string* error);

}  // namespace talvor::bench
