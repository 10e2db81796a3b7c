// Private to sqldb: column names found without regard to ASCII letter case, as the
// components match them, without making a lower-case copy of the name at every lookup (a
// routine asks for a handful of columns by name on every row).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace talvor::sqldb::internal {

inline char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

struct NoCaseHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const {
    std::size_t hash = 14695981039346656037ULL;
    for (char c : name) {
      hash ^= static_cast<unsigned char>(FoldCase(c));
      hash *= 1099511628211ULL;
    }
    return hash;
  }
};

struct NoCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
  }
};

// Column name -> column index; find() takes any spelling of the name.
using ColumnsByName = std::unordered_map<std::string, int, NoCaseHash, NoCaseEqual>;

}  // namespace talvor::sqldb::internal
