// How a legacy path names a file on this machine: the rules of platform/paths.h ("\" and
// "/" both separate, doubled separators collapse, a drive letter is dropped on systems other
// than Windows, a component without an exact match is matched without regard to ASCII letter
// case), which the engine applies to every path it is given.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace talvor {

// The existing file or directory that `legacy_path` names under those rules, or nullopt
// when a component names nothing (or `legacy_path` is empty).
std::optional<std::filesystem::path> ResolveLegacyPath(std::string_view legacy_path);

// The last component of `legacy_path` (after either separator), as given.
std::string_view LegacyFileName(std::string_view legacy_path);

}  // namespace talvor
