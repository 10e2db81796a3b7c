#include "sqldb/fields.h"

#include "sqldb/error.h"
#include "sqldb/internal/fields.h"

namespace talvor::sqldb {

using internal::ConvertFailure;
using internal::FieldKind;

void Fields::FailConversion(const std::string& message, std::string_view column) const {
  throw Error(Where() + ": " + message + " (column \"" + std::string(column) + "\")");
}

std::string Fields::AsString(std::string_view column) const {
  FieldKind kind;
  const Variant& cell = CellOf(column, kind);
  return internal::ReadString(cell, kind, Formats());
}

std::int64_t Fields::AsInteger(std::string_view column) const {
  FieldKind kind;
  const Variant& cell = CellOf(column, kind);
  try {
    return internal::ReadInteger(cell, kind);
  } catch (const ConvertFailure& f) {
    FailConversion(f.message, column);
  }
}

double Fields::AsFloat(std::string_view column) const {
  FieldKind kind;
  const Variant& cell = CellOf(column, kind);
  try {
    return internal::ReadFloat(cell, kind);
  } catch (const ConvertFailure& f) {
    FailConversion(f.message, column);
  }
}

DateTime Fields::AsDateTime(std::string_view column) const {
  FieldKind kind;
  const Variant& cell = CellOf(column, kind);
  try {
    return internal::ReadDateTime(cell, kind, Formats());
  } catch (const ConvertFailure& f) {
    FailConversion(f.message, column);
  }
}

bool Fields::AsBoolean(std::string_view column) const {
  FieldKind kind;
  const Variant& cell = CellOf(column, kind);
  try {
    return internal::ReadBoolean(cell, kind);
  } catch (const ConvertFailure& f) {
    FailConversion(f.message, column);
  }
}

Variant Fields::AsVariant(std::string_view column) const {
  FieldKind kind;
  const Variant& cell = CellOf(column, kind);
  return internal::ReadVariant(cell, kind, Formats());
}

bool Fields::IsNull(std::string_view column) const {
  FieldKind kind;
  return CellOf(column, kind).IsNull();
}

}  // namespace talvor::sqldb
