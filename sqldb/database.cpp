#include "sqldb/database.h"

#include <fstream>
#include <string>
#include <system_error>

#include "shell/text/text.h"
#include "sqldb/error.h"
#include "sqldb/internal/fields.h"

namespace talvor::sqldb {
namespace fs = std::filesystem;

namespace {

// The entry of `dir` named `name` without regard to case, preferring an exact match.
std::optional<fs::path> FindEntry(const fs::path& dir, std::string_view name) {
  std::error_code ec;
  const fs::path exact = dir / fs::path(std::string(name));
  if (fs::exists(exact, ec)) return exact;
  const std::string wanted = internal::LowerName(name);
  for (fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (internal::LowerName(it->path().filename().string()) == wanted) {
      return dir / it->path().filename();
    }
  }
  return std::nullopt;
}

std::optional<fs::path> FromAliases(std::string_view name) {
  std::error_code ec;
  const auto file = FindEntry(fs::path(), "aliases.cfg");
  if (!file || !fs::is_regular_file(*file, ec)) return std::nullopt;
  std::ifstream in(*file, std::ios::binary);
  if (!in) throw Error("cannot read " + file->string());
  const std::string wanted = internal::LowerName(Trim(name));
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
    if (internal::LowerName(alias) == wanted) return fs::path(target);
  }
  return std::nullopt;
}

}  // namespace

std::optional<fs::path> FindPathIgnoringCase(std::string_view path) {
  std::string text(path);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
#ifndef _WIN32
  if (text.size() >= 2 && text[1] == ':' &&
      ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'))) {
    text.erase(0, 2);
  }
#endif
  if (text.empty()) return std::nullopt;
  fs::path current = text.front() == '/' ? fs::path("/") : fs::path();
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t slash = text.find('/', at);
    if (slash == std::string::npos) slash = text.size();
    const std::string part = text.substr(at, slash - at);
    at = slash + 1;
    if (part.empty()) continue;
    if (part == "." || part == "..") {
      current /= part;
      continue;
    }
    auto found = FindEntry(current, part);
    if (!found) return std::nullopt;
    current = *found;
  }
  if (current.empty()) return std::nullopt;
  return current;
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
