// What the record-file engine tells of the records it writes, for whoever records a run,
// and how the records of a recorded run are put back: the record-file side of the
// backend-neutral change seam of platform/change.h.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/change.h"

namespace talvor {

// With a sink: from now on every record written through any handle is told to `sink` (the
// table "records"; each record is one row of its key values and its bytes, the last column
// "data"), then its commit; every record file stays open until the capture ends, even when
// its last handle closes; with CaptureMode::kDryRun every file is kept inside one
// transaction rolled back at the end. The files open at this moment are told first. With
// null: ends the capture. Must not be called from inside a btr* call.
// REQUIRES: *sink outlives the capture.
void CaptureRecordFiles(ChangeSink* sink, CaptureMode mode = CaptureMode::kRecord);

// The record file `path` (already located) opened to put records back, inside one
// transaction; with `sink`, the records it writes are told to it. Null with *error set when
// it is not a record file or cannot be opened.
std::unique_ptr<RowStore> OpenRecordFileToRestore(const std::filesystem::path& path,
                                                  ChangeSink* sink, std::string* error);

}  // namespace talvor
