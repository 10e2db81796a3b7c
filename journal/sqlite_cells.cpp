#include "journal/sqlite_cells.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace talvor::journal {

Cell CellOf(sqlite3_value* v) {
  Cell cell;
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      cell.kind = Cell::Kind::kNull;
      cell.value.clear();
      break;
    case SQLITE_INTEGER: {
      char buffer[24];
      const int n = std::snprintf(buffer, sizeof buffer, "%lld",
                                  static_cast<long long>(sqlite3_value_int64(v)));
      cell.kind = Cell::Kind::kInteger;
      cell.value.assign(buffer, static_cast<std::size_t>(n));
      break;
    }
    case SQLITE_FLOAT: {
      char buffer[40];
      const int n = std::snprintf(buffer, sizeof buffer, "%.17g", sqlite3_value_double(v));
      cell.kind = Cell::Kind::kFloat;
      cell.value.assign(buffer, static_cast<std::size_t>(n));
      break;
    }
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
      cell.kind = Cell::Kind::kText;
      cell.value.assign(text ? text : "", static_cast<std::size_t>(sqlite3_value_bytes(v)));
      break;
    }
    default: {
      const auto* blob = static_cast<const char*>(sqlite3_value_blob(v));
      cell.kind = Cell::Kind::kBlob;
      cell.value.assign(blob ? blob : "", static_cast<std::size_t>(sqlite3_value_bytes(v)));
      break;
    }
  }
  return cell;
}

void AppendValue(std::string& out, sqlite3_value* v) {
  char buffer[40];
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      out += static_cast<char>(Cell::Kind::kNull);
      return;
    case SQLITE_INTEGER: {
      const int n =
          std::snprintf(buffer, sizeof buffer, "%c%lld", static_cast<char>(Cell::Kind::kInteger),
                        static_cast<long long>(sqlite3_value_int64(v)));
      out.append(buffer, static_cast<std::size_t>(n));
      return;
    }
    case SQLITE_FLOAT: {
      const int n = std::snprintf(buffer, sizeof buffer, "%c%.17g",
                                  static_cast<char>(Cell::Kind::kFloat), sqlite3_value_double(v));
      out.append(buffer, static_cast<std::size_t>(n));
      return;
    }
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
      out += static_cast<char>(Cell::Kind::kText);
      AppendEscaped(out, {text ? text : "", static_cast<std::size_t>(sqlite3_value_bytes(v))});
      return;
    }
    default: {
      const auto* blob = static_cast<const char*>(sqlite3_value_blob(v));
      out += static_cast<char>(Cell::Kind::kBlob);
      AppendEscaped(out, {blob ? blob : "", static_cast<std::size_t>(sqlite3_value_bytes(v))});
      return;
    }
  }
}

bool SameValue(sqlite3_value* a, sqlite3_value* b) {
  const int type = sqlite3_value_type(a);
  if (type != sqlite3_value_type(b)) return false;
  switch (type) {
    case SQLITE_NULL:
      return true;
    case SQLITE_INTEGER:
      return sqlite3_value_int64(a) == sqlite3_value_int64(b);
    case SQLITE_FLOAT: {
      // Bit for bit, as the written digits tell them apart (0.0 and -0.0 differ).
      const double x = sqlite3_value_double(a), y = sqlite3_value_double(b);
      return std::memcmp(&x, &y, sizeof x) == 0;
    }
    case SQLITE_TEXT: {
      const void* x = sqlite3_value_text(a);
      const void* y = sqlite3_value_text(b);
      const int n = sqlite3_value_bytes(a);
      return n == sqlite3_value_bytes(b) && (n == 0 || std::memcmp(x, y, n) == 0);
    }
    default: {
      const void* x = sqlite3_value_blob(a);
      const void* y = sqlite3_value_blob(b);
      const int n = sqlite3_value_bytes(a);
      return n == sqlite3_value_bytes(b) && (n == 0 || std::memcmp(x, y, n) == 0);
    }
  }
}

int BindCell(sqlite3_stmt* stmt, int index, const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::kNull:
      return sqlite3_bind_null(stmt, index);
    case Cell::Kind::kInteger:
      return sqlite3_bind_int64(stmt, index, std::strtoll(cell.value.c_str(), nullptr, 10));
    case Cell::Kind::kFloat:
      return sqlite3_bind_double(stmt, index, std::strtod(cell.value.c_str(), nullptr));
    case Cell::Kind::kText:
      return sqlite3_bind_text64(stmt, index, cell.value.data(), cell.value.size(),
                                 SQLITE_TRANSIENT, SQLITE_UTF8);
    case Cell::Kind::kBlob:
      if (cell.value.empty()) return sqlite3_bind_zeroblob(stmt, index, 0);
      return sqlite3_bind_blob64(stmt, index, cell.value.data(), cell.value.size(),
                                 SQLITE_TRANSIENT);
  }
  return SQLITE_MISUSE;
}

}  // namespace talvor::journal
