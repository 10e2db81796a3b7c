// Database names: how the name typed into a component becomes an SQLite file.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace talvor::sqldb {

// The file that the database name `name` stands for, tried in this order:
//   1. `name` is an existing directory: the file "agency.db" in it (whether or not that
//      file exists; opening reports a missing one);
//   2. a line "NAME=TARGET" of the file "aliases.cfg" in the working directory whose NAME
//      equals `name` without regard to case: TARGET, relative to the working directory
//      unless absolute (blank lines and lines starting with "#" are skipped; blanks around
//      NAME and TARGET are ignored);
//   3. an existing file "<name>.db" in the working directory, matched without regard to case;
// Throws Error `unknown database "<name>"` when none applies, and an Error naming
// aliases.cfg and the line number when a line of that file has no "=" or an empty part.
// Directory names follow the data-path conventions: "\" and "/" both separate, doubled
// separators collapse, a leading drive letter is dropped on POSIX systems, and a path
// component with no exact match is matched without regard to case.
// Never creates anything.
std::filesystem::path ResolveDatabaseName(std::string_view name);

// The existing file or directory that `path` names under the data-path conventions above,
// or nullopt when there is none.
std::optional<std::filesystem::path> FindPathIgnoringCase(std::string_view path);

// Connections stay open after their last component closes, so that a routine which opens
// and closes a query for every record does not open the database file each time (opening
// a database in write-ahead-log mode, and closing its last connection, cost milliseconds).
// This lets go of every connection that no open component holds. The run protocol calls it
// after every run; call it before moving or deleting a database file.
void CloseIdleConnections();

}  // namespace talvor::sqldb
