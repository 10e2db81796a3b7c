// Shared pieces of the libFuzzer targets: a failed property check that libFuzzer reports as
// a crash (with the input saved), and one private working directory per fuzzing process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <random>
#include <string_view>

namespace talvor::fuzz {

// Aborts with `what` on standard error when `condition` is false, so that libFuzzer keeps
// the input that broke the property.
inline void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
  }
}

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A fresh directory under the system's temporary folder, made the working directory for
// the rest of the process and removed when the process ends normally.
inline const std::filesystem::path& WorkDir() {
  static const std::filesystem::path dir = [] {
    namespace fs = std::filesystem;
    fs::path base = fs::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
      fs::path candidate =
          base / ("talvor-fuzz-" + std::to_string(std::random_device()()) + "-" + std::to_string(attempt));
      std::error_code ec;
      if (fs::create_directory(candidate, ec)) {
        fs::current_path(candidate);
        std::atexit([] {
          std::error_code ignored;
          fs::current_path(fs::temp_directory_path(), ignored);
          fs::remove_all(WorkDir(), ignored);
        });
        return candidate;
      }
    }
  }();
  return dir;
}

// Replaces `path` by exactly `bytes`.
inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Check(static_cast<bool>(out), "the fuzz input could be written to a file");
}

}  // namespace talvor::fuzz
