// Start-up settings: "talvor.cfg", the built-in site presets, and the defaults.
#pragma once

#include <array>
#include <filesystem>
#include <string>

namespace talvor {

// The six settings boxes of the main window, as texts.
struct SiteSettings {
  std::string dataPath = "\\velmar\\data";  // edtDatapath
  std::string odbcName = "AGYFORMS";        // edtODBCName
  std::string agyCode = "01";               // edtAgyCode
  std::string serverName = "Server";        // edtServerName
  std::string newPath = "i:";               // edtNewPath
  std::string prdCode = "QXT";              // edtPrdCode
};

// A site whose presence is marked by a file in the working directory.
struct SitePreset {
  const char* markerFile;
  const char* dataPath;
  const char* alias;
  const char* agyCode;
  const char* serverName;
};

// In the order they are tried.
extern const std::array<SitePreset, 3> kSitePresets;

inline constexpr const char* kConfigFileName = "talvor.cfg";

// The settings the main window starts with, chosen in `workDir`:
// 1. "talvor.cfg" when it exists: its first four lines, each taken whole (only the line
//    end, LF or CR LF, is removed), are data path, alias, server name and agency code;
//    missing lines give empty settings.
// 2. Otherwise the first preset whose marker file exists.
// 3. Otherwise the defaults of SiteSettings.
// A "talvor.cfg" that exists but cannot be read is reported through `problem` (a message
// naming the file and the reason) and the presets and defaults apply as if it were absent.
SiteSettings LoadStartupSettings(const std::filesystem::path& workDir, std::string* problem);

// True when `workDir` holds a site the routines can work on: a "talvor.cfg" or a preset's
// marker file, the database that `s.odbcName` names, or the data path `s.dataPath`. Else
// false with *why naming each place that was looked at, so that nothing is created in a
// folder that was chosen by mistake (a run would create its journal there). Creates nothing.
bool IsSite(const std::filesystem::path& workDir, const SiteSettings& s, std::string* why);

}  // namespace talvor
