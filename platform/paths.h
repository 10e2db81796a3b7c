// How a path typed by an operator or stored by the legacy system names a file here. The
// legacy system wrote Windows paths ("c:\velmar\data\AP", "DATA\\ap") and did not care
// about letter case; the files may live on a case-sensitive file system. This is the one
// resolver: the engine's paths (legacy/path_rules.h) and the database names
// (sqldb/database.h) put their own rules on top of it.
//
// Rules, in order:
//   - "\" and "/" both separate components; empty components (doubled separators) and "."
//     are skipped ("." alone is the working directory); ".." names the parent.
//   - A leading drive letter ("c:") is kept on Windows and dropped elsewhere, so that
//     "c:\velmar\data" is "/velmar/data" on Linux.
//   - A path that then starts with a separator is absolute, any other path is relative to
//     the working directory.
//   - Each component names the entry of that exact name when there is one, else an entry of
//     the directory whose name equals it without regard to ASCII letter case (the first
//     such name in byte order when there are several).
// On Windows the rules are the native ones: "c:\data" is the root of drive C and "c:data"
// that drive's working directory (the letter in upper case, so that both spellings are one
// file), "\\server\share\" is the root of a share, and each component is matched by the
// file system itself, as for every program there, and named as the directory spells it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace talvor::platform {

// The existing file or directory that `path` names under the rules above, or nullopt when
// a component names nothing (or `path` is empty).
std::optional<std::filesystem::path> ResolvePath(std::string_view path);

// The existing entry of the directory `dir` ("" for the working directory) named `name`
// under the component rule above, or nullopt.
std::optional<std::filesystem::path> FindEntry(const std::filesystem::path& dir,
                                               std::string_view name);

// The last component of `path` (after either separator), as given.
std::string_view LastComponent(std::string_view path);

// How a file or directory stood when it was looked at, to tell later that it changed: a
// directory's last change moves when an entry is made, removed or renamed in it.
struct PathStamp {
  bool known = false;  // false: it could not be looked at, or not on this system
  bool exists = false;
  bool directory = false;
  std::uint64_t size = 0;
  std::int64_t changedNs = 0;  // the last change, in nanoseconds since 1970 (UTC)
  bool operator==(const PathStamp&) const = default;
};

// One look at `path` (one stat). Not known on Windows, where the directories of some file
// systems do not keep the time of their last change.
PathStamp StampOf(const std::filesystem::path& path);

}  // namespace talvor::platform
