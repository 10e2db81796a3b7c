// How a legacy path names a file on this machine. The legacy system wrote Windows paths
// ("c:\velmar\data\AP", "DATA\\ap") and did not care about letter case; the files may live
// on a case-sensitive file system.
//
// Rules, in order:
//   - "\" and "/" both separate components; empty components (doubled separators) and "."
//     are skipped.
//   - On systems other than Windows a leading drive letter ("c:") is dropped, so
//     "c:\velmar\data" is "/velmar/data".
//   - A path that then starts with a separator is absolute, any other path is relative to
//     the working directory.
//   - Each component names the entry of that exact name when there is one, else an entry of
//     the directory whose name equals it without regard to ASCII letter case (the first
//     such name in byte order when there are several).
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace talvor {

// The existing file or directory that `legacy_path` names under the rules above, or
// nullopt when a component names nothing (or `legacy_path` is empty).
std::optional<std::filesystem::path> ResolveLegacyPath(std::string_view legacy_path);

// The last component of `legacy_path` (after either separator), as given.
std::string_view LegacyFileName(std::string_view legacy_path);

// True when `a` and `b` are equal without regard to ASCII letter case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace talvor
