// Private to sqldb: the rows of a query's result, kept packed in one buffer so that a large
// result costs little more memory than its bytes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sqldb/internal/connection.h"
#include "sqldb/variant.h"

namespace talvor::sqldb::internal {

class ResultRows {
 public:
  void Clear();
  // Appends the current row of `s` (its first `columns` columns).
  void Append(const Statement& s, int columns);
  // Appends a row of cells (null, integer, float or text; other kinds as their text).
  void Append(const std::vector<Variant>& cells);
  std::size_t size() const { return starts_.size(); }
  // Unpacks row `index` into `cells`. REQUIRES: index < size(); cells.size() == columns.
  void Read(std::size_t index, std::vector<Variant>& cells) const;

 private:
  std::string arena_;
  std::vector<std::size_t> starts_;
};

}  // namespace talvor::sqldb::internal
