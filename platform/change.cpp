#include "platform/change.h"

#include <algorithm>
#include <cstdio>

namespace talvor {

Cell CellOf(const CellView& view) {
  Cell cell;
  cell.kind = view.kind;
  switch (view.kind) {
    case Cell::Kind::kNull:
      break;
    case Cell::Kind::kInteger:
      cell.value = std::to_string(view.integer);
      break;
    case Cell::Kind::kFloat: {
      char buffer[40];
      const int n = std::snprintf(buffer, sizeof buffer, "%.17g", view.real);
      cell.value.assign(buffer, static_cast<std::size_t>(n));
      break;
    }
    case Cell::Kind::kText:
    case Cell::Kind::kBlob:
      cell.value.assign(view.bytes);
      break;
  }
  return cell;
}

bool Probe::Same() const {
  return found && std::all_of(same.begin(), same.end(), [](char s) { return s != 0; });
}

}  // namespace talvor
