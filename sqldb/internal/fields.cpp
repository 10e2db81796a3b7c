#include "sqldb/internal/fields.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "shell/text/text.h"

namespace talvor::sqldb::internal {
namespace {

bool Contains(std::string_view upper, std::string_view what) {
  return upper.find(what) != std::string_view::npos;
}

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

// Digits of a whole number with an optional sign; blanks around it allowed.
std::optional<std::int64_t> ParseInteger(std::string_view text) {
  text = TrimView(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> ParseFloat(std::string_view text) {
  text = TrimView(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Empty or blanks only.
bool HoldsNoText(std::string_view text) {
  return TrimView(text).empty();
}

// "T..."/"Y..." true, "F..."/"N..." false, a whole number true when not 0, blank false.
std::optional<bool> ParseBoolean(std::string_view text) {
  text = TrimView(text);
  if (text.empty()) return false;
  switch (text.front()) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
      return true;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
      return false;
    default:
      break;
  }
  if (auto number = ParseInteger(text)) return *number != 0;
  return std::nullopt;
}

// "h[:mm[:ss]]" with an optional "AM"/"PM" (any case, blanks allowed before it).
std::optional<DateTime> ParseTime(std::string_view text) {
  text = TrimView(text);
  int pm = -1;
  if (text.size() >= 2) {
    std::string tail = UpperCase(text.substr(text.size() - 2));
    if (tail == "AM" || tail == "PM") {
      pm = tail == "PM" ? 1 : 0;
      text = TrimView(text.substr(0, text.size() - 2));
    }
  }
  int parts[3] = {0, 0, 0};
  int count = 0;
  while (!text.empty()) {
    if (count == 3) return std::nullopt;
    std::size_t colon = text.find(':');
    std::string_view piece = text.substr(0, colon);
    if (piece.empty() || piece.size() > 2) return std::nullopt;
    auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), parts[count]);
    if (ec != std::errc() || end != piece.data() + piece.size()) return std::nullopt;
    ++count;
    if (colon == std::string_view::npos) break;
    text.remove_prefix(colon + 1);
    if (text.empty()) return std::nullopt;
  }
  if (count == 0) return std::nullopt;
  int hour = parts[0];
  if (pm >= 0) {
    if (hour < 1 || hour > 12) return std::nullopt;
    hour = hour % 12 + (pm == 1 ? 12 : 0);
  }
  if (hour > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
  DateTime result;
  result.hour = hour;
  result.minute = parts[1];
  result.second = parts[2];
  return result;
}

std::string TextOf(const Variant& value, const DateFormats& formats) {
  return value.ToString(formats);
}

ConvertFailure NotValid(const Variant& value, std::string_view what, const DateFormats& formats) {
  std::string message(1, '\'');
  message += TextOf(value, formats);
  message += "' is not a valid ";
  message += what;
  return ConvertFailure{std::move(message)};
}

const char* KindWord(FieldKind kind) {
  switch (kind) {
    case FieldKind::kInteger:
      return "integer value";
    case FieldKind::kFloat:
      return "floating point value";
    case FieldKind::kBoolean:
      return "boolean value";
    case FieldKind::kDateTime:
      return "date";
    default:
      return "value";
  }
}

}  // namespace

FieldKind KindOfDeclaredType(std::string_view declared) {
  const std::string upper = UpperCase(declared);
  if (Contains(upper, "BOOL") || upper.rfind("BIT", 0) == 0) return FieldKind::kBoolean;
  if (Contains(upper, "DATE") || Contains(upper, "TIME")) return FieldKind::kDateTime;
  if (Contains(upper, "INT")) return FieldKind::kInteger;
  for (std::string_view word : {"REAL", "FLOA", "DOUB", "NUM", "DEC", "MONEY", "CURRENCY"}) {
    if (Contains(upper, word)) return FieldKind::kFloat;
  }
  for (std::string_view word : {"CHAR", "CLOB", "TEXT"}) {
    if (Contains(upper, word)) return FieldKind::kText;
  }
  return FieldKind::kAny;
}

const DateFormats& DefaultDateFormats() {
  static const DateFormats formats;
  return formats;
}

std::string StoredDateTime(const DateTime& value) {
  char buffer[40];
  if (value.IsMidnight()) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", value.date.year, value.date.month,
                  value.date.day);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", value.date.year,
                  value.date.month, value.date.day, value.hour, value.minute, value.second);
  }
  return buffer;
}

std::optional<DateTime> ParseStoredDateTime(std::string_view text) {
  text = TrimView(text);
  auto digits = [&](std::size_t at, std::size_t count, int& out) {
    if (at + count > text.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      out = out * 10 + (text[i] - '0');
    }
    return true;
  };
  DateTime result;
  if (text.size() < 10 || text[4] != '-' || text[7] != '-' || !digits(0, 4, result.date.year) ||
      !digits(5, 2, result.date.month) || !digits(8, 2, result.date.day) ||
      !IsValidDate(result.date)) {
    return std::nullopt;
  }
  if (text.size() == 10) return result;
  if ((text[10] != ' ' && text[10] != 'T') || text.size() < 16 || text[13] != ':' ||
      !digits(11, 2, result.hour) || !digits(14, 2, result.minute)) {
    return std::nullopt;
  }
  std::size_t at = 16;
  if (at < text.size()) {
    if (text[at] != ':' || !digits(at + 1, 2, result.second)) return std::nullopt;
    at += 3;
    if (at < text.size()) {
      if (text[at] != '.') return std::nullopt;
      for (++at; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') return std::nullopt;
      }
    }
  }
  if (result.hour > 23 || result.minute > 59 || result.second > 59) return std::nullopt;
  return result;
}

std::optional<DateTime> ParseDateTimeText(std::string_view text, const DateFormats& formats) {
  text = TrimView(text);
  if (auto stored = ParseStoredDateTime(text)) return stored;
  std::size_t blank = text.find(' ');
  std::string_view datePart = text.substr(0, blank);
  DateTime result;
  if (blank != std::string_view::npos) {
    auto time = ParseTime(text.substr(blank + 1));
    if (!time) return std::nullopt;
    result = *time;
  }
  try {
    result.date = ParseDate(datePart, formats.shortDate);
  } catch (const ConversionError&) {
    return std::nullopt;
  }
  return result;
}

std::string FloatText(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

std::string ReadString(const Variant& cell, FieldKind kind, const DateFormats& formats) {
  switch (cell.type()) {
    case Variant::Type::kNull:
      return "";
    case Variant::Type::kInteger:
      if (kind == FieldKind::kBoolean) return cell.Integer() != 0 ? "TRUE" : "FALSE";
      return std::to_string(cell.Integer());
    case Variant::Type::kFloat:
      if (kind == FieldKind::kBoolean) return cell.Float() != 0 ? "TRUE" : "FALSE";
      return FloatText(cell.Float());
    case Variant::Type::kText:
      if (kind == FieldKind::kBoolean) {
        // An empty or blank text holds no flag, as NULL holds none: it reads as it stands,
        // not as "FALSE", as does any other text that is not a flag.
        if (!HoldsNoText(cell.Text())) {
          if (auto flag = ParseBoolean(cell.Text())) return *flag ? "TRUE" : "FALSE";
        }
      } else if (kind == FieldKind::kDateTime) {
        if (auto stamp = ParseStoredDateTime(cell.Text())) return FormatDateTime(*stamp, formats);
      }
      return cell.Text();
    default:
      return cell.ToString(formats);
  }
}

std::int64_t ReadInteger(const Variant& cell, FieldKind kind) {
  switch (cell.type()) {
    case Variant::Type::kNull:
      return 0;
    case Variant::Type::kInteger:
      return cell.Integer();
    case Variant::Type::kFloat:
      return std::llround(cell.Float());
    case Variant::Type::kText: {
      if (TrimView(cell.Text()).empty()) return 0;
      if (kind == FieldKind::kBoolean) {
        if (auto flag = ParseBoolean(cell.Text())) return *flag ? 1 : 0;
      }
      if (auto number = ParseInteger(cell.Text())) return *number;
      throw ConvertFailure{"'" + cell.Text() + "' is not a valid integer value"};
    }
    default:
      throw NotValid(cell, "integer value", DefaultDateFormats());
  }
}

double ReadFloat(const Variant& cell, FieldKind kind) {
  switch (cell.type()) {
    case Variant::Type::kNull:
      return 0;
    case Variant::Type::kInteger:
      return static_cast<double>(cell.Integer());
    case Variant::Type::kFloat:
      return cell.Float();
    case Variant::Type::kText: {
      if (TrimView(cell.Text()).empty()) return 0;
      if (kind == FieldKind::kBoolean) {
        if (auto flag = ParseBoolean(cell.Text())) return *flag ? 1 : 0;
      }
      if (auto number = ParseFloat(cell.Text())) return *number;
      throw ConvertFailure{"'" + cell.Text() + "' is not a valid floating point value"};
    }
    default:
      throw NotValid(cell, "floating point value", DefaultDateFormats());
  }
}

bool ReadBoolean(const Variant& cell, FieldKind) {
  switch (cell.type()) {
    case Variant::Type::kNull:
      return false;
    case Variant::Type::kInteger:
      return cell.Integer() != 0;
    case Variant::Type::kFloat:
      return cell.Float() != 0;
    case Variant::Type::kText:
      if (auto flag = ParseBoolean(cell.Text())) return *flag;
      throw ConvertFailure{"'" + cell.Text() + "' is not a valid boolean value"};
    default:
      throw NotValid(cell, "boolean value", DefaultDateFormats());
  }
}

DateTime ReadDateTime(const Variant& cell, FieldKind, const DateFormats& formats) {
  if (cell.IsNull()) return DateTime{};
  if (cell.type() == Variant::Type::kText) {
    if (auto stamp = ParseDateTimeText(cell.Text(), formats)) return *stamp;
  }
  throw NotValid(cell, "date", formats);
}

Variant ReadVariant(const Variant& cell, FieldKind kind, const DateFormats& formats) {
  if (cell.IsNull()) return cell;
  const bool text = cell.type() == Variant::Type::kText;
  switch (kind) {
    case FieldKind::kText:
      return ReadString(cell, kind, formats);
    case FieldKind::kInteger:
      if (text) {
        if (auto number = ParseInteger(cell.Text())) return *number;
      }
      return cell;
    case FieldKind::kFloat:
      if (text) {
        if (auto number = ParseFloat(cell.Text())) return *number;
      } else if (cell.type() == Variant::Type::kInteger) {
        return static_cast<double>(cell.Integer());
      }
      return cell;
    case FieldKind::kBoolean:
      if (text) {
        if (HoldsNoText(cell.Text())) return cell;
        if (auto flag = ParseBoolean(cell.Text())) return *flag;
        return cell;
      }
      return ReadBoolean(cell, kind);
    case FieldKind::kDateTime:
      if (text) {
        if (auto stamp = ParseDateTimeText(cell.Text(), formats)) return *stamp;
      }
      return cell;
    case FieldKind::kAny:
      return cell;
  }
  return cell;
}

Variant ToStorage(const Variant& value, FieldKind kind, const DateFormats& formats) {
  using T = Variant::Type;
  if (value.IsNull()) return value;
  if (kind == FieldKind::kText) {
    return value.type() == T::kText ? value : Variant(value.ToString(formats));
  }
  if (kind == FieldKind::kAny) {
    if (value.type() == T::kBoolean) return std::int64_t{value.Boolean() ? 1 : 0};
    if (value.type() == T::kDateTime) return StoredDateTime(value.DateTimeValue());
    return value;
  }
  if (value.type() == T::kText && TrimView(value.Text()).empty()) return Variant();

  switch (kind) {
    case FieldKind::kInteger:
      switch (value.type()) {
        case T::kText:
          if (auto number = ParseInteger(value.Text())) return *number;
          break;
        case T::kInteger:
          return value;
        case T::kFloat:
          if (std::isfinite(value.Float()) && std::fabs(value.Float()) < 9.2e18) {
            return std::int64_t{std::llround(value.Float())};
          }
          break;
        case T::kBoolean:
          return std::int64_t{value.Boolean() ? 1 : 0};
        default:
          break;
      }
      break;
    case FieldKind::kFloat:
      switch (value.type()) {
        case T::kText:
          if (auto number = ParseFloat(value.Text())) return *number;
          break;
        case T::kInteger:
          return static_cast<double>(value.Integer());
        case T::kFloat:
          if (std::isfinite(value.Float())) return value;
          break;
        case T::kBoolean:
          return value.Boolean() ? 1.0 : 0.0;
        default:
          break;
      }
      break;
    case FieldKind::kBoolean:
      switch (value.type()) {
        case T::kText:
          if (auto flag = ParseBoolean(value.Text())) return std::int64_t{*flag ? 1 : 0};
          break;
        case T::kInteger:
          return std::int64_t{value.Integer() != 0 ? 1 : 0};
        case T::kFloat:
          return std::int64_t{value.Float() != 0 ? 1 : 0};
        case T::kBoolean:
          return std::int64_t{value.Boolean() ? 1 : 0};
        default:
          break;
      }
      break;
    case FieldKind::kDateTime:
      if (value.type() == T::kText) {
        if (auto stamp = ParseDateTimeText(value.Text(), formats)) return StoredDateTime(*stamp);
      } else if (value.type() == T::kDateTime) {
        if (IsValidDate(value.DateTimeValue().date)) return StoredDateTime(value.DateTimeValue());
      }
      break;
    default:
      break;
  }
  throw NotValid(value, KindWord(kind), formats);
}

std::string QuoteName(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  out += '"';
  return out;
}

}  // namespace talvor::sqldb::internal
