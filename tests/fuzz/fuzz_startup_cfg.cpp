// "talvor.cfg" with any bytes, and the settings it gives followed to where the workbench uses
// them first: the data path through the engine's path rules and the alias through the
// database names. Properties: the file is always read (its first four lines become the
// settings, each without its line end), a bad name is an error with a message, and nothing
// is created in the working directory.
#include <filesystem>
#include <string>

#include "legacy/path_rules.h"
#include "shell/startup.h"
#include "shell/text/text.h"
#include "sqldb/database.h"
#include "sqldb/error.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::size_t EntriesIn(const std::filesystem::path& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using talvor::fuzz::Check;
  const std::filesystem::path& dir = talvor::fuzz::WorkDir();
  const std::string_view bytes = talvor::fuzz::Bytes(data, size);
  talvor::fuzz::WriteBytes(dir / talvor::kConfigFileName, bytes);
  const std::size_t before = EntriesIn(dir);

  std::string problem;
  const talvor::SiteSettings settings = talvor::LoadStartupSettings(dir, &problem);
  Check(problem.empty(), "a readable talvor.cfg is never reported");
  std::string_view rest = bytes;
  for (const std::string* setting :
       {&settings.dataPath, &settings.odbcName, &settings.serverName, &settings.agyCode}) {
    Check(setting->find('\n') == std::string::npos, "a setting never holds a line end");
    Check(rest.substr(0, setting->size()) == *setting, "a setting is its line as written");
    const std::size_t end = rest.find('\n');
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }

  talvor::ResolveLegacyPath(talvor::WithBackslash(settings.dataPath) + "ap");
  try {
    talvor::sqldb::ResolveDatabaseName(settings.odbcName);
  } catch (const talvor::sqldb::Error& error) {
    Check(std::string(error.what()).size() > 0, "an unknown database name is explained");
  }
  Check(EntriesIn(dir) == before, "reading the settings creates nothing");
  return 0;
}
