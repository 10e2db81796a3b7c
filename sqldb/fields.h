// Fields: the typed reads of the current row that a Table and a Query both offer, written
// once. How a column reads depends on its kind, which comes from its declared type (a
// query's computed column reads by its value).
//
// NULL, and any column when there is no current row, reads as "" / 0 / 0.0 / false /
// 1899-12-30. A boolean column reads as text "TRUE" or "FALSE", except that a text stored
// in it that is no flag reads as it stands: an empty text as "" (as NULL does; AsBoolean
// gives false). A date column reads as the short date, plus a blank and the long time when
// not midnight. Column names are matched without regard to case.
// Every read throws Error for an unknown column and for a value that does not convert
// (text "abc" read as an integer), naming the column and the table or statement.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "shell/text/dates.h"
#include "sqldb/variant.h"

namespace talvor::sqldb {

namespace internal {
enum class FieldKind;
}

class Fields {
 public:
  std::string AsString(std::string_view column) const;
  std::int64_t AsInteger(std::string_view column) const;
  double AsFloat(std::string_view column) const;
  DateTime AsDateTime(std::string_view column) const;
  bool AsBoolean(std::string_view column) const;
  Variant AsVariant(std::string_view column) const;
  bool IsNull(std::string_view column) const;

 protected:
  Fields() = default;
  ~Fields() = default;
  Fields(const Fields&) = default;
  Fields& operator=(const Fields&) = default;

  // The stored value of `column` in the current row (a null cell when there is none) and
  // its column's kind. Throws Error for an unknown column.
  virtual const Variant& CellOf(std::string_view column, internal::FieldKind& kind) const = 0;
  virtual const DateFormats& Formats() const = 0;
  // Where the fields come from, as the component's errors name it ("table \"Customer\" in
  // database \"AGYFORMS\"").
  virtual std::string Where() const = 0;

 private:
  [[noreturn]] void FailConversion(const std::string& message, std::string_view column) const;
};

}  // namespace talvor::sqldb
