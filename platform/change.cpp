#include "platform/change.h"

#include <algorithm>
#include <charconv>

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
    case Cell::Kind::kFloat:
      AppendReal(cell.value, view.real);
      break;
    case Cell::Kind::kText:
    case Cell::Kind::kBlob:
      cell.value.assign(view.bytes);
      break;
  }
  return cell;
}

void AppendReal(std::string& out, double value) {
  // std::to_chars writes what printf does for this format, without parsing one; the
  // journal writes a real per changed cell.
  char buffer[40];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
  out.append(buffer, end);
}

bool Probe::Same() const {
  return found && std::all_of(same.begin(), same.end(), [](char s) { return s != 0; });
}

}  // namespace talvor
