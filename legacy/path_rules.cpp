// The one file of the engine that knows which operating system it runs on: drive letters
// mean something on Windows only.
#include "legacy/path_rules.h"

#include <string>
#include <system_error>
#include <vector>

namespace talvor {
namespace {

namespace fs = std::filesystem;

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The directory entry of `dir` that `component` names, or nullopt.
std::optional<fs::path> MatchComponent(const fs::path& dir, const std::string& component) {
  std::error_code ec;
  fs::path exact = dir / component;
  if (fs::exists(exact, ec)) return exact;
  if (component == "..") return std::nullopt;
  std::optional<std::string> best;
  for (fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (EqualsIgnoringCase(name, component) && (!best || name < *best)) best = name;
  }
  if (!best) return std::nullopt;
  return dir / *best;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string_view LegacyFileName(std::string_view legacy_path) {
  std::size_t cut = legacy_path.find_last_of("\\/");
  return cut == std::string_view::npos ? legacy_path : legacy_path.substr(cut + 1);
}

std::optional<fs::path> ResolveLegacyPath(std::string_view legacy_path) {
  std::string text(legacy_path);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  fs::path start;
#ifdef _WIN32
  if (text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':') {
    start = fs::path(text.substr(0, 2) + "/");
    text.erase(0, 2);
  }
#else
  if (text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':') text.erase(0, 2);
#endif
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
  if (components.empty()) return std::nullopt;

  fs::path current = start;
  for (const std::string& component : components) {
    std::optional<fs::path> found = MatchComponent(current, component);
    if (!found) return std::nullopt;
    current = std::move(*found);
  }
  return current;
}

}  // namespace talvor
