// The file that knows drive letters mean something on Windows only.
#include "platform/paths.h"

#include <string>
#include <system_error>
#include <vector>

#include "shell/text/text.h"

namespace talvor::platform {
namespace {

namespace fs = std::filesystem;

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::optional<fs::path> FindEntry(const fs::path& dir, std::string_view name) {
  std::error_code ec;
  const fs::path exact = dir / fs::path(std::string(name));
  if (fs::exists(exact, ec)) return exact;
  if (name == "." || name == "..") return std::nullopt;
  std::optional<std::string> best;
  for (fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (EqualsIgnoringCase(entry, name) && (!best || entry < *best)) best = entry;
  }
  if (!best) return std::nullopt;
  return dir / *best;
}

std::string_view LastComponent(std::string_view path) {
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::optional<fs::path> ResolvePath(std::string_view path) {
  std::string text(path);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  fs::path start;
  if (text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':') {
#ifdef _WIN32
    start = fs::path(text.substr(0, 2) + "/");
#endif
    text.erase(0, 2);
  }
  if (start.empty() && !text.empty() && text[0] == '/') start = fs::path("/");

  std::vector<std::string> components;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t next = text.find('/', pos);
    if (next == std::string::npos) next = text.size();
    std::string component = text.substr(pos, next - pos);
    if (!component.empty() && component != ".") components.push_back(std::move(component));
    pos = next + 1;
  }
  if (components.empty()) {
    // "." (or "./") is the working directory; nothing at all, or a root alone, names
    // nothing.
    if (start.empty() && text.find('.') != std::string::npos) return fs::path(".");
    return std::nullopt;
  }

  fs::path current = start;
  for (const std::string& component : components) {
    std::optional<fs::path> found = FindEntry(current, component);
    if (!found) return std::nullopt;
    current = std::move(*found);
  }
  return current;
}

}  // namespace talvor::platform
