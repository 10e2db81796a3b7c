#include "sqldb/database.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/paths.h"
#include "shell/text/text.h"
#include "sqldb/error.h"
#include "sqldb/internal/odbc.h"

namespace talvor::sqldb {
namespace fs = std::filesystem;

namespace {

using platform::FindEntry;

constexpr std::string_view kOdbcPrefix = "odbc:";

bool IsOdbcText(std::string_view text) {
  return text.size() >= kOdbcPrefix.size() &&
         EqualsIgnoringCase(text.substr(0, kOdbcPrefix.size()), kOdbcPrefix);
}

// "odbc:..." (an empty connection string is an error naming `where`) or a file.
DatabaseTarget TargetOf(std::string_view text, const std::string& where) {
  DatabaseTarget target;
  if (IsOdbcText(text)) {
    target.connection = Trim(text.substr(kOdbcPrefix.size()));
    if (target.connection.empty()) throw Error(where + ": \"odbc:\" names no connection");
  } else {
    target.file = fs::path(std::string(text));
  }
  return target;
}

// The first line of aliases.cfg in the working directory whose target `wanted` takes, or
// nullopt (also when there is no aliases.cfg: then *sawFile stays false).
std::optional<DatabaseTarget> FindAlias(
    const std::function<bool(const std::string& alias, const DatabaseTarget& target)>& wanted,
    bool* sawFile) {
  std::error_code ec;
  const auto file = FindEntry(fs::path(), "aliases.cfg");
  if (!file || !fs::is_regular_file(*file, ec)) return std::nullopt;
  *sawFile = true;
  std::ifstream in(*file, std::ios::binary);
  if (!in) throw Error("cannot read " + file->string());
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == '#') continue;
    const std::size_t eq = trimmed.find('=');
    const std::string alias = eq == std::string::npos ? "" : Trim(trimmed.substr(0, eq));
    const std::string target = eq == std::string::npos ? "" : Trim(trimmed.substr(eq + 1));
    const std::string where = "aliases.cfg line " + std::to_string(number);
    if (alias.empty() || target.empty()) {
      throw Error(where + ": expected NAME=FILE, found \"" + HidePasswords(trimmed) + "\"");
    }
    DatabaseTarget found = TargetOf(target, where);
    if (wanted(alias, found)) return found;
  }
  return std::nullopt;
}

std::optional<DatabaseTarget> FromAliases(std::string_view name, bool* sawFile) {
  const std::string lowered = LowerCase(Trim(name));
  return FindAlias(
      [&](const std::string& alias, const DatabaseTarget&) { return LowerCase(alias) == lowered; },
      sawFile);
}

bool IsPathName(std::string_view name) {
  if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos) {
    return true;
  }
  return name.size() > 3 && EqualsIgnoringCase(name.substr(name.size() - 3), ".db");
}

// The data sources the driver manager knows, or nullopt when it cannot be asked.
std::optional<std::vector<std::string>> DataSources() {
  try {
    return odbc::Environment().DataSources();
  } catch (const Error&) {
    return std::nullopt;
  }
}

}  // namespace

std::string DatabaseTarget::Shown() const {
  return IsOdbc() ? "odbc:" + HidePasswords(connection) : file.string();
}

std::optional<fs::path> FindPathIgnoringCase(std::string_view path) {
  return platform::ResolvePath(path);
}

namespace {

// LocateDatabase; *fromSources says the answer came from the driver manager's data sources.
DatabaseTarget Locate(std::string_view name, bool* fromSources) {
  std::error_code ec;
  const std::string shownName = HidePasswords(name);
  if (IsOdbcText(name)) return TargetOf(name, "database \"" + shownName + "\"");
  bool aliasesFile = false;
  std::optional<std::vector<std::string>> sources;
  if (!Trim(name).empty()) {
    if (auto dir = FindPathIgnoringCase(name); dir && fs::is_directory(*dir, ec)) {
      DatabaseTarget target;
      target.file = FindEntry(*dir, "agency.db").value_or(*dir / "agency.db");
      return target;
    }
    if (IsPathName(name)) {
      DatabaseTarget target;
      target.file = FindPathIgnoringCase(name).value_or(fs::path(std::string(name)));
      return target;
    }
    if (auto target = FromAliases(name, &aliasesFile)) return *target;
    if (auto file = FindEntry(fs::path(), std::string(name) + ".db");
        file && fs::is_regular_file(*file, ec)) {
      DatabaseTarget target;
      target.file = *file;
      return target;
    }
    sources = DataSources();
    if (sources) {
      for (const std::string& source : *sources) {
        if (EqualsIgnoringCase(source, Trim(name))) {
          *fromSources = true;
          DatabaseTarget target;
          target.connection = "DSN=" + source;
          return target;
        }
      }
    }
  }
  const fs::path here = fs::current_path(ec);
  std::string looked = "unknown database \"" + shownName + "\" (in " + here.string() +
                       ": no folder of that name, no " + shownName + ".db, " +
                       (aliasesFile ? "no line for it in aliases.cfg" : "no aliases.cfg") +
                       "; no ODBC data source of that name: ";
  if (!sources) {
    looked += "none asked";
  } else if (sources->empty()) {
    looked += "the driver manager knows none";
  } else {
    looked += "the driver manager knows ";
    for (std::size_t i = 0; i < sources->size(); ++i) {
      looked += (i == 0 ? "" : ", ") + (*sources)[i];
    }
  }
  throw Error(looked + ")");
}

}  // namespace

DatabaseTarget LocateDatabase(std::string_view name) {
  bool fromSources = false;
  return Locate(name, &fromSources);
}

bool NameResolution::StillValid(std::string_view name) const {
  if (!kept_ || name != name_) return false;
  std::error_code ec;
  if (fs::current_path(ec) != here_ || ec) return false;
  for (const Watched& w : watched_) {
    const platform::PathStamp now = platform::StampOf(w.path);
    if (w.content ? now != w.stamp
                  : now.exists != w.stamp.exists || now.directory != w.stamp.directory) {
      return false;
    }
  }
  return true;
}

const DatabaseTarget& NameResolution::Locate(std::string_view name) {
  if (StillValid(name)) return target_;
  kept_ = false;
  watched_.clear();
  existing_.clear();
  // Looked at before the name is located, so that a change made meanwhile is seen next time.
  std::error_code ec;
  here_ = fs::current_path(ec);
  if (!ec) {
    watched_.push_back({here_, platform::StampOf(here_)});
    if (auto aliases = FindEntry(here_, "aliases.cfg")) {
      watched_.push_back({*aliases, platform::StampOf(*aliases)});
    }
  }
  bool fromSources = false;
  target_ = sqldb::Locate(name, &fromSources);
  name_ = std::string(name);
  if (!target_.IsOdbc()) {
    const fs::path file = fs::absolute(target_.file, ec);
    if (file.parent_path() != here_) {
      watched_.push_back({file.parent_path(), platform::StampOf(file.parent_path())});
    }
    watched_.push_back({file, platform::StampOf(file), false});
    std::error_code fileError;
    if (fs::is_regular_file(file, fileError)) {
      existing_ = fs::canonical(file, fileError);
      if (fileError) existing_ = file;
    }
  }
  // A stamp may share its clock tick with a change still to come when it is not older than
  // that tick. A stamp in whole seconds may come from a file system that keeps its times in
  // whole seconds or in two (FAT): two seconds. One with a fraction comes from one that keeps
  // finer times (a jiffy of the kernel's clock, 10 ms on exFAT): a tenth of a second. A
  // routine's first report file changes the working directory, and its queries opened in
  // the window that follows each locate their database anew.
  using std::chrono::nanoseconds;
  const std::int64_t now =
      std::chrono::duration_cast<nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  const auto settled = [now](std::int64_t changedNs) {
    constexpr std::int64_t kSecond = 1'000'000'000;
    const std::int64_t tick = changedNs % kSecond == 0 ? 2 * kSecond : kSecond / 10;
    return changedNs <= now - tick;
  };
  kept_ = !ec && !fromSources;
  for (const Watched& w : watched_) {
    if (!w.stamp.known || (w.content && w.stamp.exists && !settled(w.stamp.changedNs))) {
      kept_ = false;
    }
  }
  return target_;
}

std::optional<DatabaseTarget> FindTargetShownAs(std::string_view shown) {
  bool sawFile = false;
  return FindAlias(
      [&](const std::string&, const DatabaseTarget& target) { return target.Shown() == shown; },
      &sawFile);
}

fs::path ResolveDatabaseName(std::string_view name) {
  const DatabaseTarget target = LocateDatabase(name);
  if (target.IsOdbc()) {
    throw Error("database \"" + HidePasswords(name) + "\" is " + target.Shown() +
                ": only an SQLite file can be opened here (db copy takes a server)");
  }
  return target.file;
}

}  // namespace talvor::sqldb
