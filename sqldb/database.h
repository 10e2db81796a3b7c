// Database names: how the name typed into a component becomes an SQLite file or an ODBC
// connection string.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/paths.h"

namespace talvor::sqldb {

// What a database name stands for: an SQLite file, or a database reached through ODBC.
struct DatabaseTarget {
  std::filesystem::path file;  // the SQLite file (empty for ODBC)
  std::string connection;      // the ODBC connection string ("DSN=AGENCY"; empty for a file)

  bool IsOdbc() const { return !connection.empty(); }
  // "odbc:DSN=AGENCY;PWD=***" or the file's path: what may be shown or journaled of it.
  std::string Shown() const;
};

// The database the name `name` stands for, tried in this order:
//   1. "odbc:" followed by a connection string: that connection string;
//   2. an existing directory: the file "agency.db" in it;
//   3. a name holding a path separator or ending in ".db" (any case): that SQLite file
//      (matched without regard to case when it exists);
//   4. a line "NAME=TARGET" of "aliases.cfg" in the working directory, NAME matched without
//      regard to case: TARGET is "odbc:" and a connection string, or an SQLite file
//      relative to the working directory unless absolute;
//   5. an existing file "<name>.db" in the working directory, without regard to case;
//   6. an ODBC data source of that name (without regard to case) that the driver manager
//      knows: "DSN=<its name>".
// Throws Error `unknown database "<name>"`, followed by every place it looked, when none
// applies, and an Error naming aliases.cfg and the line number for a malformed line.
// Never creates anything and never connects.
DatabaseTarget LocateDatabase(std::string_view name);

// LocateDatabase for a component that opens its database again and again (a query opened
// for every row of a walk), where locating a name each time would list the working
// directory and read aliases.cfg each time.
class NameResolution {
 public:
  // LocateDatabase(name), or the answer of the last call for the same name while the
  // working directory, aliases.cfg, the target file and the folder holding it stand as they
  // stood then (each looked at once). An answer is given again only when each of them had
  // last changed a tick of its file system's clock or more before it was found (two
  // seconds for a time in whole seconds, a tenth of a second for a finer one): a change
  // within that tick would otherwise go unseen. Never kept: an answer from the driver
  // manager's data sources, and any answer on Windows (platform::StampOf).
  const DatabaseTarget& Locate(std::string_view name);
  // The last answer's file as an existing regular file, symbolic links followed (found with
  // the answer), or empty when there was no such file or the answer is a server.
  const std::filesystem::path& ExistingFile() const { return existing_; }
  const DatabaseTarget& Target() const { return target_; }

 private:
  struct Watched {
    std::filesystem::path path;
    platform::PathStamp stamp;
    bool content = true;  // false: only that it exists and is a file (a database's own file)
  };
  bool StillValid(std::string_view name) const;

  bool kept_ = false;
  std::string name_;
  std::filesystem::path here_;  // the working directory
  DatabaseTarget target_;
  std::filesystem::path existing_;
  std::vector<Watched> watched_;
};

// The target of the first line of aliases.cfg in the working directory that is shown as
// `shown` (DatabaseTarget::Shown), or nullopt: how a name a journal keeps with its password
// hidden finds the connection string again. Throws an Error naming aliases.cfg and the line
// number for a malformed line before it.
std::optional<DatabaseTarget> FindTargetShownAs(std::string_view shown);

// The SQLite file that `name` stands for (LocateDatabase). A directory's "agency.db" is
// named whether or not that file exists: opening reports a missing one. In aliases.cfg,
// blank lines and lines starting with "#" are skipped and blanks around NAME and TARGET are
// ignored. Directory and file names follow the data-path conventions: "\" and "/" both
// separate, doubled separators collapse, a leading drive letter is dropped on POSIX
// systems, and a path component with no exact match is matched without regard to case.
// Throws as LocateDatabase does, and an Error naming the connection (password hidden) when
// `name` stands for an ODBC database.
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

// A routine is about to wait for a person (a question, a message): each server connection
// commits the transaction it holds open for its next write (it holds nothing yet), so that
// a wait of any length holds nothing on a server, nor meets a server's limit on sessions
// idle in a transaction.
void BeforeWaiting();

}  // namespace talvor::sqldb
