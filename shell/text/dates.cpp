#include "shell/text/dates.h"

#include <array>
#include <chrono>
#include <ctime>
#include <mutex>

#include "shell/text/text.h"

namespace talvor {

namespace {

constexpr int kLegacyFirstYear = 1900;
constexpr int kLegacyLastYear = 2029;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithNoCase(std::string_view text, std::size_t pos, std::string_view word) {
  if (text.size() - pos < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (Upper(text[pos + i]) != Upper(word[i])) return false;
  }
  return true;
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    if (StartsWithNoCase(text, pos, word)) return true;
  }
  return false;
}

// `value` in decimal, padded with zeros on the left to `width` digits.
std::string Padded(int value, int width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (static_cast<int>(digits.size()) < width) {
    digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
  }
  return value < 0 ? "-" + digits : digits;
}

// Writes a date-time under a format of the letters DateFormats describes.
std::string FormatParts(const DateTime& dt, std::string_view format) {
  const bool twelveHour = ContainsNoCase(format, "AM/PM");
  std::string out;
  out.reserve(format.size() + 8);
  char lastLetter = 0;
  std::size_t i = 0;
  while (i < format.size()) {
    if (StartsWithNoCase(format, i, "AM/PM")) {
      const bool lower = format[i] == 'a';
      out += dt.hour < 12 ? (lower ? "am" : "AM") : (lower ? "pm" : "PM");
      lastLetter = 'A';
      i += 5;
      continue;
    }
    char token = Upper(format[i]);
    if (!IsLetter(token)) {
      out += format[i++];
      continue;
    }
    std::size_t run = 1;
    while (i + run < format.size() && Upper(format[i + run]) == token) ++run;
    // Minutes share the letter "m" with the month; an hour just before decides.
    if (token == 'M' && lastLetter == 'H') token = 'N';
    lastLetter = token;
    const std::size_t pair = run >= 2 ? 2 : 1;
    auto number = [&](int value) { out += pair == 2 ? Padded(value, 2) : std::to_string(value); };
    switch (token) {
      case 'D':
        number(dt.date.day);
        i += pair;
        break;
      case 'M':
        number(dt.date.month);
        i += pair;
        break;
      case 'N':
        number(dt.minute);
        i += pair;
        break;
      case 'S':
        number(dt.second);
        i += pair;
        break;
      case 'H': {
        int hour = dt.hour;
        if (twelveHour) {
          hour %= 12;
          if (hour == 0) hour = 12;
        }
        number(hour);
        i += pair;
        break;
      }
      case 'Y':
        if (run >= 3) {
          out += Padded(dt.date.year, 4);
          i += run >= 4 ? 4 : 3;
        } else {
          out += Padded(((dt.date.year % 100) + 100) % 100, 2);
          i += pair;
        }
        break;
      default:
        out += format[i++];
        break;
    }
  }
  return out;
}

[[noreturn]] void ThrowNotADate(std::string_view text) {
  throw ConversionError("'" + std::string(text) + "' is not a valid date");
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[static_cast<std::size_t>(month - 1)];
}

bool IsValidDate(const Date& d) {
  return d.year >= 1 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
         d.day <= DaysInMonth(d.year, d.month);
}

long DaysFromCivil(const Date& d) {
  const long y = static_cast<long>(d.year) - (d.month <= 2 ? 1 : 0);
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long m = d.month;
  const long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d.day - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Date CivilFromDays(long days) {
  const long z = days + 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  const long day = doy - (153 * mp + 2) / 5 + 1;
  const long month = mp < 10 ? mp + 3 : mp - 9;
  const long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return Date{static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)};
}

Date AddDays(const Date& d, long days) { return CivilFromDays(DaysFromCivil(d) + days); }

Date AddYears(const Date& d, int years) {
  Date out{d.year + years, d.month, d.day};
  if (out.month == 2 && out.day == 29 && !IsLeapYear(out.year)) out.day = 28;
  return out;
}

std::string FormatDate(const Date& d, std::string_view format) {
  return FormatParts(DateTime{d, 0, 0, 0}, format);
}

std::string FormatTime(int hour, int minute, int second, std::string_view format) {
  return FormatParts(DateTime{Date{}, hour, minute, second}, format);
}

std::string FormatDateTime(const DateTime& dt, const DateFormats& formats) {
  std::string out = FormatDate(dt.date, formats.shortDate);
  if (!dt.IsMidnight()) {
    out += ' ';
    out += FormatTime(dt.hour, dt.minute, dt.second, formats.longTime);
  }
  return out;
}

Date ParseDate(std::string_view text, std::string_view format) {
  // The order of the parts is the order in which the format first names each of them.
  std::string order;
  for (char c : format) {
    const char u = Upper(c);
    if ((u == 'D' || u == 'M' || u == 'Y') && order.find(u) == std::string::npos) order += u;
  }
  for (char u : std::string_view("MDY")) {
    if (order.find(u) == std::string::npos) order += u;
  }

  const std::string s = Trim(text);
  Date d{0, 0, 0};
  std::size_t pos = 0;
  for (std::size_t part = 0; part < 3; ++part) {
    if (part > 0) {
      if (pos >= s.size() || IsDigit(s[pos])) ThrowNotADate(text);
      ++pos;
    }
    const std::size_t start = pos;
    int value = 0;
    while (pos < s.size() && IsDigit(s[pos]) && pos - start < 4) {
      value = value * 10 + (s[pos] - '0');
      ++pos;
    }
    const std::size_t digits = pos - start;
    switch (order[part]) {
      case 'Y':
        if (digits == 2) {
          value += value < 50 ? 2000 : 1900;
        } else if (digits != 4) {
          ThrowNotADate(text);
        }
        d.year = value;
        break;
      case 'M':
        if (digits < 1 || digits > 2) ThrowNotADate(text);
        d.month = value;
        break;
      default:
        if (digits < 1 || digits > 2) ThrowNotADate(text);
        d.day = value;
        break;
    }
  }
  if (pos != s.size() || !IsValidDate(d)) ThrowNotADate(text);
  return d;
}

DateTime SystemClock::Now() const {
  const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  // std::localtime shares one buffer across the process; the lock keeps two readers apart.
  static std::mutex mutex;
  std::tm tm{};
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (const std::tm* local = std::localtime(&t)) tm = *local;
  }
  return DateTime{Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday}, tm.tm_hour, tm.tm_min,
                  tm.tm_sec};
}

std::string IsoDate(const Date& d) {
  return std::to_string(d.year) + "-" + Padded(d.month, 2) + "-" + Padded(d.day, 2);
}

std::string NowStamp(const Clock& clock, const DateFormats& formats) {
  const DateTime now = clock.Now();
  return FormatDate(now.date, formats.shortDate) + " @ " +
         FormatTime(now.hour, now.minute, now.second, formats.longTime);
}

std::string LegacyDateToText(std::string_view legacy) {
  std::string s(legacy.substr(0, 6));
  s.resize(6, ' ');
  std::string year;
  switch (s[0]) {
    case ':':
      year = std::string("200") + s[1];
      break;
    case ';':
      year = std::string("201") + s[1];
      break;
    case '<':
      year = std::string("202") + s[1];
      break;
    default:
      year = "19" + s.substr(0, 2);
      break;
  }
  return s.substr(2, 2) + "/" + s.substr(4, 2) + "/" + year;
}

Date LegacyToDate(std::string_view legacy) {
  if (legacy.size() != 6) ThrowNotADate(legacy);
  for (std::size_t i = 1; i < 6; ++i) {
    if (!IsDigit(legacy[i])) ThrowNotADate(legacy);
  }
  int decade = 0;
  const char first = legacy[0];
  if (IsDigit(first)) {
    decade = first - '0';
  } else if (first >= ':' && first <= '<') {
    decade = 10 + (first - ':');
  } else {
    ThrowNotADate(legacy);
  }
  const Date d{kLegacyFirstYear + decade * 10 + (legacy[1] - '0'),
               (legacy[2] - '0') * 10 + (legacy[3] - '0'),
               (legacy[4] - '0') * 10 + (legacy[5] - '0')};
  if (!IsValidDate(d)) ThrowNotADate(legacy);
  return d;
}

std::string DateToLegacy(const Date& d) {
  if (!IsValidDate(d)) ThrowNotADate(IsoDate(d));
  if (d.year < kLegacyFirstYear || d.year > kLegacyLastYear) {
    throw ConversionError("'" + IsoDate(d) + "' is outside the legacy date range 1900-2029");
  }
  const int y = d.year - kLegacyFirstYear;
  std::string code;
  if (y < 100) {
    code = Padded(y, 2);
  } else {
    // Past 1999 the first character runs on beyond "9": ":" 2000s, ";" 2010s, "<" 2020s.
    code += static_cast<char>(':' + (y - 100) / 10);
    code += static_cast<char>('0' + y % 10);
  }
  return code + Padded(d.month, 2) + Padded(d.day, 2);
}

std::string TextToLegacyDate(std::string_view text, const DateFormats& formats) {
  const Date d = ParseDate(text, formats.shortDate);
  if (d.year < kLegacyFirstYear || d.year > kLegacyLastYear) {
    throw ConversionError("'" + std::string(text) +
                          "' is outside the legacy date range 1900-2029");
  }
  return DateToLegacy(d);
}

}  // namespace talvor
