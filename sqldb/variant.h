// Variant: one value of any column type, as handed to Locate and read back by AsVariant.
//
// A Variant is null, a boolean, an integer, a floating-point number, a text (bytes) or a
// date-time. Its constructors are implicit so that key lists read naturally:
//   table.Locate("AgyCode;PolNum;PolSeq", {agency, policy, 3});
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "shell/text/dates.h"

namespace talvor::sqldb {

class Variant {
 public:
  enum class Type { kNull, kBoolean, kInteger, kFloat, kText, kDateTime };

  Variant() = default;
  Variant(std::nullptr_t) {}
  Variant(bool value) : value_(value) {}
  template <std::integral T>
  requires(!std::same_as<T, bool> && !std::same_as<T, char>) Variant(T value)
      : value_(static_cast<std::int64_t>(value)) {}
  Variant(double value) : value_(value) {}
  Variant(const char* text) : value_(std::string(text)) {}
  Variant(std::string text) : value_(std::move(text)) {}
  Variant(std::string_view text) : value_(std::string(text)) {}
  Variant(const DateTime& value) : value_(value) {}
  Variant(const Date& value) : value_(DateTime{value, 0, 0, 0}) {}

  Type type() const { return static_cast<Type>(value_.index()); }
  bool IsNull() const { return type() == Type::kNull; }

  // The held value. REQUIRES: type() is the matching type (else std::bad_variant_access).
  bool Boolean() const { return std::get<bool>(value_); }
  std::int64_t Integer() const { return std::get<std::int64_t>(value_); }
  double Float() const { return std::get<double>(value_); }
  const std::string& Text() const { return std::get<std::string>(value_); }
  const DateTime& DateTimeValue() const { return std::get<DateTime>(value_); }

  // The value as a person would read it: "" for null, "TRUE"/"FALSE", decimal digits,
  // a number with up to 15 significant digits, the text itself, or the date-time under
  // `formats` (short date, then a blank and the long time unless it is midnight).
  std::string ToString(const DateFormats& formats) const;

  // Replaces the value with the text [data, data + size), reusing the held buffer.
  void AssignText(const char* data, std::size_t size);

  bool operator==(const Variant&) const = default;

 private:
  std::variant<std::monostate, bool, std::int64_t, double, std::string, DateTime> value_;
};

}  // namespace talvor::sqldb
