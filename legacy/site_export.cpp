#include "legacy/site_export.h"

#include <filesystem>
#include <sstream>
#include <system_error>
#include <vector>

#include "legacy/recfile_tool.h"
#include "legacy/record_file.h"
#include "platform/paths.h"

namespace talvor::recfile {

namespace {
namespace fs = std::filesystem;

struct Found {
  std::string name;  // as the legacy system spells it
  fs::path from;     // the entry found, as the folder spells it
};

// Every known file of `folder` (a regular file named as one, in any letter case).
std::vector<Found> KnownFilesIn(const fs::path& folder) {
  std::vector<Found> found;
  std::error_code ec;
  for (std::string_view name : KnownFileNames()) {
    if (auto entry = platform::FindEntry(folder, name); entry && fs::is_regular_file(*entry, ec)) {
      found.push_back({std::string(name), *entry});
    }
  }
  return found;
}

// The folder `path` (resolved in any letter case), or nullopt with the message in `err`.
std::optional<fs::path> ExistingFolder(const std::string& path, const char* command,
                                       std::ostream& err) {
  std::error_code ec;
  auto folder = platform::ResolvePath(path);
  if (!folder || !fs::is_directory(*folder, ec)) {
    err << command << ": " << path << " is not a folder\n";
    return std::nullopt;
  }
  return folder;
}

// The folder `path`, made when missing; nullopt with the message in `err`.
std::optional<fs::path> FolderToWrite(const std::string& path, const char* command,
                                      std::ostream& err) {
  std::error_code ec;
  if (auto folder = platform::ResolvePath(path)) {
    if (fs::is_directory(*folder, ec)) return folder;
    err << command << ": " << path << " is not a folder\n";
    return std::nullopt;
  }
  fs::create_directories(path, ec);
  if (ec) {
    err << command << ": cannot create " << path << ": " << ec.message() << "\n";
    return std::nullopt;
  }
  return fs::path(path);
}

// Names of `found` that `folder` already holds (any letter case), joined by ", ".
std::string Taken(const std::vector<Found>& found, const fs::path& folder) {
  std::string taken;
  for (const Found& f : found) {
    if (platform::FindEntry(folder, f.name)) taken += (taken.empty() ? "" : ", ") + f.name;
  }
  return taken;
}

// The records `file` holds (0 when it cannot be read: the load just said what it did).
long long RecordsOf(const fs::path& file) {
  RecordFileInfo info;
  std::string error;
  return ReadRecordFileInfo(file.string(), &info, &error) ? static_cast<long long>(info.records) : 0;
}

}  // namespace

int ImportSite(const std::string& exports, const std::string& data, std::ostream& out,
               std::ostream& err) {
  const char* command = "site import";
  const auto from = ExistingFolder(exports, command, err);
  if (!from) return 1;
  const std::vector<Found> found = KnownFilesIn(*from);
  if (found.empty()) {
    err << command << ": " << exports << " holds no export of a known legacy file\n";
    return 1;
  }
  std::error_code ec;
  const bool dataExisted = platform::ResolvePath(data).has_value();
  const auto to = FolderToWrite(data, command, err);
  if (!to) return 1;
  if (const std::string taken = Taken(found, *to); !taken.empty()) {
    err << command << ": " << data << " already holds " << taken << "; nothing imported\n";
    return 1;
  }

  std::vector<fs::path> created;
  const auto undo = [&] {
    for (const fs::path& file : created) {
      for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        fs::remove(fs::path(file.string() + suffix), ec);
      }
    }
    if (!dataExisted) fs::remove(*to, ec);
  };
  long long total = 0;
  for (const Found& f : found) {
    const fs::path file = *to / f.name;
    std::ostringstream quiet;
    CreateOptions options;
    options.like = f.name;
    if (Create(file.string(), options, quiet, err) != 0) {
      undo();
      err << command << ": nothing imported\n";
      return 1;
    }
    created.push_back(file);
    std::ostringstream loaded;
    if (Load(file.string(), f.from.string(), RecordFormat::kSeq, loaded, err) != 0) {
      undo();
      err << command << ": " << f.from.string() << " did not load; nothing imported\n";
      return 1;
    }
    const long long records = RecordsOf(file);
    out << f.name << ": " << records << " records from " << f.from.filename().string() << "\n";
    total += records;
  }
  out << "imported " << found.size() << " files, " << total << " records from " << exports
      << " into " << data << "\n";
  return 0;
}

int ExportSite(const std::string& data, const std::string& exports, std::ostream& out,
               std::ostream& err) {
  const char* command = "site export";
  const auto from = ExistingFolder(data, command, err);
  if (!from) return 1;
  const std::vector<Found> found = KnownFilesIn(*from);
  if (found.empty()) {
    err << command << ": " << data << " holds no known legacy file\n";
    return 1;
  }
  const auto to = FolderToWrite(exports, command, err);
  if (!to) return 1;
  if (const std::string taken = Taken(found, *to); !taken.empty()) {
    err << command << ": " << exports << " already holds " << taken << "; nothing exported\n";
    return 1;
  }
  long long total = 0;
  std::vector<fs::path> written;
  for (const Found& f : found) {
    std::ostringstream saved;
    const fs::path output = *to / f.from.filename();
    if (Save(f.from.string(), output.string(), RecordFormat::kSeq, saved, err) != 0) {
      std::error_code ec;
      for (const fs::path& file : written) fs::remove(file, ec);
      err << command << ": " << f.from.string() << " was not exported; nothing exported\n";
      return 1;
    }
    written.push_back(output);
    const long long records = RecordsOf(f.from);
    out << f.name << ": " << records << " records to " << f.from.filename().string() << "\n";
    total += records;
  }
  out << "exported " << found.size() << " files, " << total << " records from " << data << " to "
      << exports << "\n";
  return 0;
}

}  // namespace talvor::recfile
