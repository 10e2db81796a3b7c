#include "shell/startup.h"

#include "legacy/path_rules.h"
#include "sqldb/database.h"
#include "sqldb/error.h"

#include <fstream>
#include <system_error>

namespace talvor {

const std::array<SitePreset, 3> kSitePresets = {{
    {"site-velmar.mrk", "V:\\velmar\\data", "VELMAR", "01", "VELMARSRV"},
    {"site-hollis.mrk", "H:\\hollis\\data", "HOLLIS", "10", "HOLLISSRV"},
    {"site-aster.mrk", "A:\\aster\\data", "ASTER", "AS", "ASTERSRV"},
}};

namespace {

bool ReadConfig(const std::filesystem::path& file, SiteSettings& s, std::string* problem) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (problem) *problem = "Cannot read " + file.string() + ": the file exists but could not be opened";
    return false;
  }
  std::string* targets[] = {&s.dataPath, &s.odbcName, &s.serverName, &s.agyCode};
  for (std::string* target : targets) target->clear();
  std::string line;
  for (std::string* target : targets) {
    if (!std::getline(in, line)) break;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    *target = line;
  }
  if (in.bad()) {
    if (problem) *problem = "Cannot read " + file.string() + ": read error";
    return false;
  }
  return true;
}

}  // namespace

SiteSettings LoadStartupSettings(const std::filesystem::path& workDir, std::string* problem) {
  SiteSettings s;
  std::error_code ec;
  const auto config = workDir / kConfigFileName;
  if (std::filesystem::exists(config, ec)) {
    SiteSettings fromFile = s;
    if (std::filesystem::is_directory(config, ec)) {
      if (problem) *problem = "Cannot read " + config.string() + ": it is a directory";
    } else if (ReadConfig(config, fromFile, problem)) {
      return fromFile;
    }
  }
  for (const SitePreset& p : kSitePresets) {
    if (std::filesystem::exists(workDir / p.markerFile, ec)) {
      s.dataPath = p.dataPath;
      s.odbcName = p.alias;
      s.agyCode = p.agyCode;
      s.serverName = p.serverName;
      return s;
    }
  }
  return s;
}

bool IsSite(const std::filesystem::path& workDir, const SiteSettings& s, std::string* why) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::exists(workDir / kConfigFileName, ec)) return true;
  for (const SitePreset& p : kSitePresets) {
    if (fs::exists(workDir / p.markerFile, ec)) return true;
  }
  bool database = false;
  try {
    // A server database counts as there: whether it answers is the run's to say.
    const sqldb::DatabaseTarget target = sqldb::LocateDatabase(s.odbcName);
    database = target.IsOdbc() || fs::exists(target.file, ec);
  } catch (const sqldb::Error&) {
    database = false;  // not a name this folder knows: said below
  }
  if (database) return true;
  if (ResolveLegacyPath(s.dataPath)) return true;
  *why = workDir.string() + " does not look like a site: it holds no " + kConfigFileName +
         ", no database \"" + s.odbcName + "\" (no " + s.odbcName +
         ".db, no line in aliases.cfg) and no data path \"" + s.dataPath +
         "\" (give --datapath and --alias, write a talvor.cfg, or make a demo site with "
         "talvor-cli demo DIR)";
  return false;
}

}  // namespace talvor
