#include "legacy/path_rules.h"

#include "platform/paths.h"

namespace talvor {

std::optional<std::filesystem::path> ResolveLegacyPath(std::string_view legacy_path) {
  return platform::ResolvePath(legacy_path);
}

std::string_view LegacyFileName(std::string_view legacy_path) {
  return platform::LastComponent(legacy_path);
}

}  // namespace talvor
