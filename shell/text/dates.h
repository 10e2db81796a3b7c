// Dates, times, the program's date formats, the clock, and the legacy six-character date.
//
// Formats never come from the machine's locale: the shell holds one DateFormats object
// and passes it where dates become text or text becomes dates.
#pragma once

#include <compare>
#include <stdexcept>
#include <string>
#include <string_view>

namespace talvor {

struct Date {
  int year = 1899;
  int month = 12;
  int day = 30;
  auto operator<=>(const Date&) const = default;
};

struct DateTime {
  Date date;
  int hour = 0;
  int minute = 0;
  int second = 0;
  auto operator<=>(const DateTime&) const = default;
  bool IsMidnight() const { return hour == 0 && minute == 0 && second == 0; }
};

// A text that is not a date (or time) under the format in force. what() quotes the text:
// "'13/45/2010' is not a valid date".
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The program's date settings.
// Format letters (case-insensitive): d, dd (day); m, mm (month, or minutes right after an
// hour); yy, yyyy (year); h, hh (hour); n, nn (minutes); s, ss (seconds); "AM/PM" (12-hour
// clock with the suffix). Any other byte stands for itself.
struct DateFormats {
  std::string shortDate = "M/d/yyyy";
  std::string longTime = "h:mm:ss AM/PM";
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// True for a real calendar date with a year of 1 to 9999.
bool IsValidDate(const Date& d);
// Days since 1970-01-01 (negative before), and back.
long DaysFromCivil(const Date& d);
Date CivilFromDays(long days);
Date AddDays(const Date& d, long days);
// Same month and day `years` later; 29 February becomes 28 February in a common year.
Date AddYears(const Date& d, int years);

// `d` written under a date format: FormatDate({2015,7,3}, "M/d/yyyy") == "7/3/2015".
std::string FormatDate(const Date& d, std::string_view format);
// A time of day under a time format: FormatTime(15, 4, 5, "h:mm:ss AM/PM") == "3:04:05 PM".
std::string FormatTime(int hour, int minute, int second, std::string_view format);
// A date-time as the program shows it: the short date, and when the time is not midnight
// a blank and the long time.
std::string FormatDateTime(const DateTime& dt, const DateFormats& formats);

// Reads a date typed under `format`. The parts are taken in the format's order (month,
// day, year for "M/d/yyyy" and "mm/dd/yyyy"), separated by any one non-digit byte; leading
// and trailing blanks are ignored; one or two digits for day and month; two or four for
// the year (two-digit years: 00-49 -> 20xx, 50-99 -> 19xx). Throws ConversionError quoting
// `text` when it is not a real date.
Date ParseDate(std::string_view text, std::string_view format);

// "Now" for the program. Tests set it; the program reads the system clock.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() const = 0;
  Date Today() const { return Now().date; }
};

// The machine's local time.
class SystemClock final : public Clock {
 public:
  DateTime Now() const override;
};

// A clock that stands still at the time it is given.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(DateTime now) : now_(now) {}
  void Set(DateTime now) { now_ = now; }
  DateTime Now() const override { return now_; }

 private:
  DateTime now_;
};

// "2015-07-30": the year as plain digits, then TwoDigits of month and day.
std::string IsoDate(const Date& d);
// The current date in the short date format, " @ ", the current time in the long format.
std::string NowStamp(const Clock& clock, const DateFormats& formats);

// Legacy six-character dates: year code (2), month (2), day (2). The year code is
// year - 1900 in two characters whose first runs on past "9": ":" 2000s, ";" 2010s,
// "<" 2020s. Stored format; do not change.
//
// "mm/dd/yyyy" text of a legacy date: ";60415" -> "04/15/2016", "990415" -> "04/15/1999".
// The bytes are not checked; a text shorter than six bytes is read as if blank-padded,
// and a first byte other than a digit, ":", ";" or "<" is copied after "19" as it stands.
std::string LegacyDateToText(std::string_view legacy);
// The date a legacy date stands for. Throws ConversionError quoting the text when it is
// not a real date.
Date LegacyToDate(std::string_view legacy);
// The legacy form of a date. Throws ConversionError naming the date in ISO form when it
// is not a real date or its year is outside 1900-2029, which six characters cannot hold:
// "'2030-01-01' is outside the legacy date range 1900-2029".
std::string DateToLegacy(const Date& d);
// Parses `text` with the short date format, then DateToLegacy. Throws ConversionError for
// a text that is not a date and for a year outside 1900-2029 (both quote the text:
// "'1/1/2030' is outside the legacy date range 1900-2029").
std::string TextToLegacyDate(std::string_view text, const DateFormats& formats);

}  // namespace talvor
