#include "sqldb/variant.h"

#include "sqldb/internal/fields.h"

namespace talvor::sqldb {

std::string Variant::ToString(const DateFormats& formats) const {
  switch (type()) {
    case Type::kNull:
      return "";
    case Type::kBoolean:
      return Boolean() ? "TRUE" : "FALSE";
    case Type::kInteger:
      return std::to_string(Integer());
    case Type::kFloat:
      return internal::FloatText(Float());
    case Type::kText:
      return Text();
    case Type::kDateTime:
      return FormatDateTime(DateTimeValue(), formats);
  }
  return "";
}

void Variant::AssignText(const char* data, std::size_t size) {
  if (auto* held = std::get_if<std::string>(&value_)) {
    held->assign(data, size);
  } else {
    value_.emplace<std::string>(data, size);
  }
}

}  // namespace talvor::sqldb
