#include "sqldb/database.h"

#include <fstream>
#include <string>
#include <system_error>

#include "shell/text/text.h"
#include "sqldb/error.h"
#include "platform/paths.h"

namespace talvor::sqldb {
namespace fs = std::filesystem;

namespace {

using platform::FindEntry;

std::optional<fs::path> FromAliases(std::string_view name) {
  std::error_code ec;
  const auto file = FindEntry(fs::path(), "aliases.cfg");
  if (!file || !fs::is_regular_file(*file, ec)) return std::nullopt;
  std::ifstream in(*file, std::ios::binary);
  if (!in) throw Error("cannot read " + file->string());
  const std::string wanted = LowerCase(Trim(name));
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == '#') continue;
    const std::size_t eq = trimmed.find('=');
    const std::string alias = eq == std::string::npos ? "" : Trim(trimmed.substr(0, eq));
    const std::string target = eq == std::string::npos ? "" : Trim(trimmed.substr(eq + 1));
    if (alias.empty() || target.empty()) {
      throw Error("aliases.cfg line " + std::to_string(number) + ": expected NAME=FILE, found \"" +
                  trimmed + "\"");
    }
    if (LowerCase(alias) == wanted) return fs::path(target);
  }
  return std::nullopt;
}

}  // namespace

std::optional<fs::path> FindPathIgnoringCase(std::string_view path) {
  return platform::ResolvePath(path);
}

fs::path ResolveDatabaseName(std::string_view name) {
  std::error_code ec;
  if (!Trim(name).empty()) {
    if (auto dir = FindPathIgnoringCase(name); dir && fs::is_directory(*dir, ec)) {
      if (auto file = FindEntry(*dir, "agency.db")) return *file;
      return *dir / "agency.db";
    }
    if (auto target = FromAliases(name)) return *target;
    if (name.find('/') == std::string_view::npos && name.find('\\') == std::string_view::npos) {
      if (auto file = FindEntry(fs::path(), std::string(name) + ".db");
          file && fs::is_regular_file(*file, ec)) {
        return *file;
      }
    }
  }
  throw Error("unknown database \"" + std::string(name) + "\"");
}

}  // namespace talvor::sqldb
