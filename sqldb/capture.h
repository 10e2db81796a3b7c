// What the SQL layer tells of the rows it writes, for whoever records a run, and how the
// rows of a recorded run are put back: the SQL side of the backend-neutral change seam of
// platform/change.h.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/change.h"

namespace talvor::sqldb {

// With a sink: from now on every row any component or statement writes is told to `sink`
// (its before- and after-image, then its commit or rollback), each database's connection
// stays open until the capture ends (one connection per database for the whole run), and
// with CaptureMode::kDryRun every database is kept inside one transaction and a statement
// that drops a table is refused (the component sees the engine's refusal). The databases
// open at this moment are told first. With null: ends the capture; a dry run's
// transactions are rolled back, and connections no component holds are closed.
// REQUIRES: *sink outlives the capture.
void CaptureDatabases(ChangeSink* sink, CaptureMode mode = CaptureMode::kRecord);

// The database file `path` (as a journal names it, already located) opened to put rows
// back, inside one transaction; with `sink`, the rows it writes are told to it. Null with
// *error set when it cannot be opened or its transaction cannot begin.
std::unique_ptr<RowStore> OpenDatabaseToRestore(const std::filesystem::path& path,
                                                ChangeSink* sink, std::string* error);

}  // namespace talvor::sqldb
