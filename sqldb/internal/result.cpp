#include "sqldb/internal/result.h"

#include <cstdint>
#include <cstring>

#include "sqldb/internal/fields.h"

namespace talvor::sqldb::internal {
namespace {

// Cell layout: one tag byte, then 8 bytes for an integer or a float, or a 4-byte length and
// the bytes for a text. Nothing for null.
enum Tag : char { kNull = 0, kInteger = 1, kFloat = 2, kText = 3 };

template <typename T>
void Put(std::string& out, T value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.append(bytes, sizeof(T));
}

template <typename T>
T Get(const char*& at) {
  T value;
  std::memcpy(&value, at, sizeof(T));
  at += sizeof(T);
  return value;
}

}  // namespace

void ResultRows::Clear() {
  arena_.clear();
  arena_.shrink_to_fit();
  starts_.clear();
  starts_.shrink_to_fit();
}

void ResultRows::Append(const Statement& s, int columns) {
  starts_.push_back(arena_.size());
  sqlite3_stmt* stmt = s.get();
  for (int i = 0; i < columns; ++i) {
    switch (sqlite3_column_type(stmt, i)) {
      case SQLITE_NULL:
        arena_ += kNull;
        break;
      case SQLITE_INTEGER:
        arena_ += kInteger;
        Put<std::int64_t>(arena_, sqlite3_column_int64(stmt, i));
        break;
      case SQLITE_FLOAT:
        arena_ += kFloat;
        Put<double>(arena_, sqlite3_column_double(stmt, i));
        break;
      default: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, i));
        const auto size = static_cast<std::uint32_t>(sqlite3_column_bytes(stmt, i));
        arena_ += kText;
        Put<std::uint32_t>(arena_, size);
        if (size) arena_.append(data, size);
        break;
      }
    }
  }
}

void ResultRows::Append(const std::vector<Variant>& cells) {
  starts_.push_back(arena_.size());
  for (const Variant& cell : cells) {
    switch (cell.type()) {
      case Variant::Type::kNull:
        arena_ += kNull;
        break;
      case Variant::Type::kInteger:
        arena_ += kInteger;
        Put<std::int64_t>(arena_, cell.Integer());
        break;
      case Variant::Type::kFloat:
        arena_ += kFloat;
        Put<double>(arena_, cell.Float());
        break;
      case Variant::Type::kBoolean:
        arena_ += kInteger;
        Put<std::int64_t>(arena_, cell.Boolean() ? 1 : 0);
        break;
      default: {
        const std::string text = cell.type() == Variant::Type::kText
                                     ? cell.Text()
                                     : StoredDateTime(cell.DateTimeValue());
        arena_ += kText;
        Put<std::uint32_t>(arena_, static_cast<std::uint32_t>(text.size()));
        arena_ += text;
        break;
      }
    }
  }
}

void ResultRows::Read(std::size_t index, std::vector<Variant>& cells) const {
  const char* at = arena_.data() + starts_[index];
  for (auto& cell : cells) {
    switch (*at++) {
      case kInteger:
        cell = Get<std::int64_t>(at);
        break;
      case kFloat:
        cell = Get<double>(at);
        break;
      case kText: {
        const auto size = Get<std::uint32_t>(at);
        cell.AssignText(at, size);
        at += size;
        break;
      }
      default:
        cell = Variant();
        break;
    }
  }
}

}  // namespace talvor::sqldb::internal
