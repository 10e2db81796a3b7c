// The file that knows drive letters and shares mean something on Windows only, and that
// Windows' file systems match names without regard to case themselves.
#include "platform/paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

#include "shell/text/text.h"

namespace talvor::platform {
namespace {

namespace fs = std::filesystem;

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

#ifdef _WIN32
// Owns a directory search of FindFirstFileW.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};
#endif

}  // namespace

#ifdef _WIN32
// The file system matches the name (without regard to case, as it does for every program,
// 8.3 short names included) and tells the entry's own spelling, so that "DATA\AP" and
// "data\ap" are one path, and one connection, in the engine and the journal.
std::optional<fs::path> FindEntry(const fs::path& dir, std::string_view name) {
  std::error_code ec;
  if (name == "." || name == "..") {
    const fs::path as_is = dir / fs::path(std::string(name));
    if (fs::exists(as_is, ec)) return as_is;
    return std::nullopt;
  }
  // These are wildcards to FindFirstFileW and never part of a Windows name.
  if (name.empty() || name.find_first_of("*?<>\"") != std::string_view::npos) {
    return std::nullopt;
  }
  WIN32_FIND_DATAW found;
  const fs::path probe = dir / fs::path(std::string(name));
  const FindHandle search(FindFirstFileW(probe.c_str(), &found));
  if (!search.valid()) return std::nullopt;
  return dir / fs::path(std::wstring(found.cFileName));
}
#else
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
#endif

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
#ifdef _WIN32
  if (text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':') {
    // "c:\data" is the drive's root, "c:data" the drive's working directory, as Windows
    // has it; the letter upper-cased, so that both spellings are one store.
    const char drive = static_cast<char>(text[0] & ~0x20);
    const bool rooted = text.size() > 2 && text[2] == '/';
    start = fs::path(std::string{drive, ':'} + (rooted ? "\\" : ""));
    text.erase(0, rooted ? 3 : 2);
  } else if (text.size() > 2 && text[0] == '/' && text[1] == '/' && text[2] != '/') {
    // "\\server\share\..." : server and share are taken as they stand, the share being the
    // root; a share cannot be listed, only what lies in it.
    const std::size_t server_end = text.find('/', 2);
    if (server_end == std::string::npos) return std::nullopt;
    const std::size_t share_end = std::min(text.find('/', server_end + 1), text.size());
    if (share_end == server_end + 1) return std::nullopt;
    start = fs::path("\\\\" + text.substr(2, server_end - 2) + "\\" +
                     text.substr(server_end + 1, share_end - server_end - 1) + "\\");
    text.erase(0, share_end);
  }
  // The root of the working directory's drive. Written "\\": Wine takes a path that starts
  // with "/" for a path of its host.
  if (start.empty() && !text.empty() && text[0] == '/') start = fs::path("\\");
#else
  if (text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':') text.erase(0, 2);
  if (!text.empty() && text[0] == '/') start = fs::path("/");
#endif

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

#ifdef _WIN32
PathStamp StampOf(const fs::path&) { return PathStamp{}; }
#else
PathStamp StampOf(const fs::path& path) {
  PathStamp stamp;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    stamp.known = errno == ENOENT || errno == ENOTDIR;
    return stamp;
  }
  stamp.known = true;
  stamp.exists = true;
  stamp.directory = S_ISDIR(st.st_mode);
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.changedNs =
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  return stamp;
}
#endif

}  // namespace talvor::platform
