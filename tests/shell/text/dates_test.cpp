#include "shell/text/dates.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace talvor {
namespace {

std::string ConversionMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const ConversionError& e) {
    return e.what();
  }
  return "<no ConversionError>";
}

// ---------------------------------------------------------------------------------------
// Calendar arithmetic

TEST(CalendarTest, LeapYears) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_FALSE(IsLeapYear(2100));
}

TEST(CalendarTest, DaysInMonth) {
  EXPECT_EQ(DaysInMonth(2015, 1), 31);
  EXPECT_EQ(DaysInMonth(2015, 2), 28);
  EXPECT_EQ(DaysInMonth(2016, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2015, 4), 30);
  EXPECT_EQ(DaysInMonth(2015, 12), 31);
  EXPECT_EQ(DaysInMonth(2015, 0), 0);
  EXPECT_EQ(DaysInMonth(2015, 13), 0);
}

TEST(CalendarTest, ValidDates) {
  EXPECT_TRUE(IsValidDate({2016, 2, 29}));
  EXPECT_TRUE(IsValidDate({1, 1, 1}));
  EXPECT_TRUE(IsValidDate({9999, 12, 31}));
  EXPECT_TRUE(IsValidDate(Date{}));
  EXPECT_FALSE(IsValidDate({2015, 2, 29}));
  EXPECT_FALSE(IsValidDate({1900, 2, 29}));
  EXPECT_FALSE(IsValidDate({2015, 13, 1}));
  EXPECT_FALSE(IsValidDate({2015, 0, 1}));
  EXPECT_FALSE(IsValidDate({2015, 4, 31}));
  EXPECT_FALSE(IsValidDate({2015, 4, 0}));
  EXPECT_FALSE(IsValidDate({0, 1, 1}));
  EXPECT_FALSE(IsValidDate({10000, 1, 1}));
}

TEST(CalendarTest, DayNumbersCountFromTheUnixEpoch) {
  EXPECT_EQ(DaysFromCivil({1970, 1, 1}), 0);
  EXPECT_EQ(DaysFromCivil({1969, 12, 31}), -1);
  EXPECT_EQ(DaysFromCivil({2000, 3, 1}), 11017);
  EXPECT_EQ(DaysFromCivil({1899, 12, 30}), -25569);
  EXPECT_EQ(CivilFromDays(-25569), (Date{1899, 12, 30}));
  EXPECT_EQ(CivilFromDays(11016), (Date{2000, 2, 29}));
}

TEST(CalendarTest, DayNumbersStepOneDayAtATime) {
  Date expected{1, 1, 1};
  const long first = DaysFromCivil(expected);
  for (long n = first; n < first + 3652059; ++n) {
    const Date d = CivilFromDays(n);
    ASSERT_EQ(d, expected) << n;
    ASSERT_EQ(DaysFromCivil(d), n);
    if (expected.day < DaysInMonth(expected.year, expected.month)) {
      ++expected.day;
    } else if (expected.month < 12) {
      expected = {expected.year, expected.month + 1, 1};
    } else {
      expected = {expected.year + 1, 1, 1};
    }
  }
  EXPECT_EQ(expected, (Date{10000, 1, 1}));
}

TEST(CalendarTest, AddDaysCrossesMonthsAndYears) {
  EXPECT_EQ(AddDays({2015, 12, 31}, 1), (Date{2016, 1, 1}));
  EXPECT_EQ(AddDays({2016, 3, 1}, -1), (Date{2016, 2, 29}));
  EXPECT_EQ(AddDays({2015, 3, 1}, -1), (Date{2015, 2, 28}));
  EXPECT_EQ(AddDays({2015, 7, 3}, 0), (Date{2015, 7, 3}));
  EXPECT_EQ(AddDays({2015, 7, 3}, 366), (Date{2016, 7, 3}));
}

TEST(CalendarTest, AddYearsTurnsFebruary29IntoFebruary28InCommonYears) {
  EXPECT_EQ(AddYears({2016, 2, 29}, 1), (Date{2017, 2, 28}));
  EXPECT_EQ(AddYears({2016, 2, 29}, -1), (Date{2015, 2, 28}));
  EXPECT_EQ(AddYears({2016, 2, 29}, 4), (Date{2020, 2, 29}));
  EXPECT_EQ(AddYears({2000, 2, 29}, 100), (Date{2100, 2, 28}));
  EXPECT_EQ(AddYears({2015, 7, 3}, 10), (Date{2025, 7, 3}));
  EXPECT_EQ(AddYears({2015, 2, 28}, 1), (Date{2016, 2, 28}));
  EXPECT_EQ(AddYears({2015, 7, 3}, 0), (Date{2015, 7, 3}));
}

// ---------------------------------------------------------------------------------------
// Formatting

struct FormatCase {
  std::string format;
  std::string expected;
};

TEST(FormatDateTest, DateLetters) {
  const Date d{2015, 7, 3};
  const std::vector<FormatCase> cases = {
      {"M/d/yyyy", "7/3/2015"},   {"mm/dd/yyyy", "07/03/2015"}, {"MM/DD/YYYY", "07/03/2015"},
      {"dd.mm.yy", "03.07.15"},   {"yyyy-mm-dd", "2015-07-03"}, {"d-m-y", "3-7-15"},
      {"yyyymmdd", "20150703"},   {"", ""},                     {"(d/m)", "(3/7)"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDate(d, c.format), c.expected) << c.format;
}

TEST(FormatDateTest, TwoDigitNumbersStayWhole) {
  const Date d{1999, 12, 31};
  EXPECT_EQ(FormatDate(d, "M/d/yyyy"), "12/31/1999");
  EXPECT_EQ(FormatDate(d, "mm/dd/yy"), "12/31/99");
  EXPECT_EQ(FormatDate({2005, 1, 9}, "yy"), "05");
  EXPECT_EQ(FormatDate({905, 1, 9}, "yyyy"), "0905");
}

TEST(FormatDateTest, MinutesFollowAnHourAndMonthsDoNot) {
  EXPECT_EQ(FormatDate({2015, 7, 3}, "yyyy-mm-dd hh:mm"), "2015-07-03 00:00");
  EXPECT_EQ(FormatDate({2015, 7, 3}, "hh:mm mm"), "00:00 07");
}

TEST(FormatTimeTest, TwelveHourClock) {
  const std::string f = "h:mm:ss AM/PM";
  EXPECT_EQ(FormatTime(15, 4, 5, f), "3:04:05 PM");
  EXPECT_EQ(FormatTime(0, 0, 0, f), "12:00:00 AM");
  EXPECT_EQ(FormatTime(11, 59, 59, f), "11:59:59 AM");
  EXPECT_EQ(FormatTime(12, 30, 0, f), "12:30:00 PM");
  EXPECT_EQ(FormatTime(23, 0, 9, f), "11:00:09 PM");
  EXPECT_EQ(FormatTime(15, 4, 5, "hh:nn am/pm"), "03:04 pm");
}

TEST(FormatTimeTest, TwentyFourHourClock) {
  EXPECT_EQ(FormatTime(15, 4, 5, "hh:mm:ss"), "15:04:05");
  EXPECT_EQ(FormatTime(0, 0, 0, "h:nn:s"), "0:00:0");
  EXPECT_EQ(FormatTime(9, 7, 3, "H:MM:SS"), "9:07:03");
  EXPECT_EQ(FormatTime(9, 7, 3, "hhmm"), "0907");
}

TEST(FormatDateTimeTest, MidnightShowsTheDateOnly) {
  const DateFormats formats;
  EXPECT_EQ(FormatDateTime({{2015, 7, 3}, 0, 0, 0}, formats), "7/3/2015");
  EXPECT_EQ(FormatDateTime({{2015, 7, 3}, 15, 4, 5}, formats), "7/3/2015 3:04:05 PM");
  EXPECT_EQ(FormatDateTime({{2015, 7, 3}, 0, 0, 1}, formats), "7/3/2015 12:00:01 AM");
  const DateFormats other{"yyyy-mm-dd", "hh:mm:ss"};
  EXPECT_EQ(FormatDateTime({{2015, 7, 3}, 15, 4, 5}, other), "2015-07-03 15:04:05");
}

TEST(IsoDateTest, PlainYearAndTwoDigitMonthAndDay) {
  EXPECT_EQ(IsoDate({2015, 7, 30}), "2015-07-30");
  EXPECT_EQ(IsoDate({1999, 12, 1}), "1999-12-01");
  EXPECT_EQ(IsoDate({905, 1, 2}), "905-01-02");
}

// ---------------------------------------------------------------------------------------
// Clocks and NowStamp

TEST(ClockTest, FixedClockStandsStillUntilSet) {
  FixedClock clock({{2015, 7, 3}, 15, 4, 5});
  EXPECT_EQ(clock.Now(), (DateTime{{2015, 7, 3}, 15, 4, 5}));
  EXPECT_EQ(clock.Today(), (Date{2015, 7, 3}));
  clock.Set({{2016, 2, 29}, 0, 0, 0});
  EXPECT_EQ(clock.Today(), (Date{2016, 2, 29}));
}

TEST(ClockTest, SystemClockGivesARealLocalTime) {
  const SystemClock clock;
  const DateTime now = clock.Now();
  EXPECT_TRUE(IsValidDate(now.date));
  EXPECT_GE(now.date.year, 2024);
  EXPECT_GE(now.hour, 0);
  EXPECT_LE(now.hour, 23);
  EXPECT_GE(now.minute, 0);
  EXPECT_LE(now.minute, 59);
  EXPECT_GE(now.second, 0);
  EXPECT_LE(now.second, 60);
}

TEST(NowStampTest, ShortDateAtLongTime) {
  const FixedClock clock({{2015, 7, 3}, 15, 4, 5});
  EXPECT_EQ(NowStamp(clock, DateFormats{}), "7/3/2015 @ 3:04:05 PM");
  EXPECT_EQ(NowStamp(clock, DateFormats{"mm/dd/yyyy", "hh:nn:ss"}), "07/03/2015 @ 15:04:05");
  const FixedClock midnight({{2015, 7, 3}, 0, 0, 0});
  EXPECT_EQ(NowStamp(midnight, DateFormats{}), "7/3/2015 @ 12:00:00 AM");
}

// ---------------------------------------------------------------------------------------
// ParseDate

struct ParseCase {
  std::string text;
  std::string format;
  Date expected;
};

TEST(ParseDateTest, AcceptedTexts) {
  const std::vector<ParseCase> cases = {
      {"7/3/2015", "M/d/yyyy", {2015, 7, 3}},
      {"07/03/2015", "M/d/yyyy", {2015, 7, 3}},
      {"7/3/2015", "mm/dd/yyyy", {2015, 7, 3}},
      {"12/31/1999", "mm/dd/yyyy", {1999, 12, 31}},
      {"  7/3/2015 ", "M/d/yyyy", {2015, 7, 3}},
      {"7-3-2015", "M/d/yyyy", {2015, 7, 3}},
      {"7.3.2015", "M/d/yyyy", {2015, 7, 3}},
      {"7 3 2015", "M/d/yyyy", {2015, 7, 3}},
      {"7/3/15", "M/d/yyyy", {2015, 7, 3}},
      {"7/3/49", "M/d/yyyy", {2049, 7, 3}},
      {"7/3/50", "M/d/yyyy", {1950, 7, 3}},
      {"7/3/00", "M/d/yyyy", {2000, 7, 3}},
      {"2/29/2016", "M/d/yyyy", {2016, 2, 29}},
      {"3/7/2015", "d/m/yyyy", {2015, 7, 3}},
      {"2015-07-03", "yyyy-mm-dd", {2015, 7, 3}},
      {"1/1/0001", "M/d/yyyy", {1, 1, 1}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseDate(c.text, c.format), c.expected) << c.text << " under " << c.format;
  }
}

TEST(ParseDateTest, RejectedTexts) {
  for (const char* text :
       {"", "   ", "7/3", "7/3/", "7/3/2015/1", "7//2015", "7/3/201", "7/3/20155", "123/1/2015",
        "7/123/2015", "7/3/2015x", "x7/3/2015", "a/b/c", "7 /3/2015", "0/1/2015", "13/1/2015",
        "2/29/2015", "4/31/2015", "7/0/2015", "7/3/0000", "7/3/-15", "+7/3/2015"}) {
    EXPECT_THROW(ParseDate(text, "M/d/yyyy"), ConversionError) << "[" << text << "]";
    EXPECT_THROW(ParseDate(text, "mm/dd/yyyy"), ConversionError) << "[" << text << "]";
  }
}

TEST(ParseDateTest, MessageQuotesTheTextAsGiven) {
  EXPECT_EQ(ConversionMessage([] { ParseDate("13/45/2010", "M/d/yyyy"); }),
            "'13/45/2010' is not a valid date");
  EXPECT_EQ(ConversionMessage([] { ParseDate(" bad ", "M/d/yyyy"); }), "' bad ' is not a valid date");
}

// ---------------------------------------------------------------------------------------
// Legacy six-character dates

TEST(LegacyDateToTextTest, YearCodes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {";60415", "04/15/2016"}, {"990415", "04/15/1999"}, {"<10101", "01/01/2021"},
      {"000101", "01/01/1900"}, {":91231", "12/31/2009"}, {"<91231", "12/31/2029"},
      {"501231", "12/31/1950"},
  };
  for (const auto& [legacy, text] : cases) EXPECT_EQ(LegacyDateToText(legacy), text) << legacy;
}

TEST(LegacyDateToTextTest, BytesAreCopiedUncheckedAndShortTextsAreBlankPadded) {
  EXPECT_EQ(LegacyDateToText("      "), "  /  /19  ");
  EXPECT_EQ(LegacyDateToText(""), "  /  /19  ");
  EXPECT_EQ(LegacyDateToText("9904"), "04/  /1999");
  EXPECT_EQ(LegacyDateToText("991399"), "13/99/1999");
}

TEST(LegacyToDateTest, ReadsEveryYearCode) {
  EXPECT_EQ(LegacyToDate(";60415"), (Date{2016, 4, 15}));
  EXPECT_EQ(LegacyToDate("990415"), (Date{1999, 4, 15}));
  EXPECT_EQ(LegacyToDate(":50301"), (Date{2005, 3, 1}));
  EXPECT_EQ(LegacyToDate("<91231"), (Date{2029, 12, 31}));
  EXPECT_EQ(LegacyToDate("000101"), (Date{1900, 1, 1}));
}

TEST(LegacyToDateTest, ImpossibleDatesRaiseConversionError) {
  for (const char* legacy : {"991302", "990230", "000229", "990100", "      ", "", "99041",
                             "9904155", "=00101", "/90101", " 90101", "9 0415", "99o415"}) {
    EXPECT_EQ(ConversionMessage([&] { LegacyToDate(legacy); }),
              "'" + std::string(legacy) + "' is not a valid date");
  }
}

TEST(TextToLegacyDateTest, DocumentedExamples) {
  const DateFormats formats;
  EXPECT_EQ(TextToLegacyDate("3/1/2005", formats), ":50301");
  EXPECT_EQ(TextToLegacyDate("5/9/1905", formats), "050509");
  EXPECT_EQ(TextToLegacyDate("4/15/2016", formats), ";60415");
  EXPECT_EQ(TextToLegacyDate("12/31/2029", formats), "<91231");
  EXPECT_EQ(TextToLegacyDate("1/1/1900", formats), "000101");
  EXPECT_EQ(TextToLegacyDate("03/01/2005", DateFormats{"mm/dd/yyyy", "hh:nn:ss"}), ":50301");
}

TEST(TextToLegacyDateTest, TextThatIsNotADateIsQuoted) {
  const DateFormats formats;
  EXPECT_EQ(ConversionMessage([&] { TextToLegacyDate("2/30/2005", formats); }),
            "'2/30/2005' is not a valid date");
  EXPECT_EQ(ConversionMessage([&] { TextToLegacyDate("", formats); }), "'' is not a valid date");
}

TEST(TextToLegacyDateTest, YearsOutsideTheLegacyRangeAreRefused) {
  const DateFormats formats;
  EXPECT_EQ(ConversionMessage([&] { TextToLegacyDate("1/1/2030", formats); }),
            "'1/1/2030' is outside the legacy date range 1900-2029");
  EXPECT_EQ(ConversionMessage([&] { TextToLegacyDate("12/31/1899", formats); }),
            "'12/31/1899' is outside the legacy date range 1900-2029");
}

TEST(DateToLegacyTest, YearsOutsideTheLegacyRangeAreRefused) {
  EXPECT_EQ(ConversionMessage([] { DateToLegacy({2030, 1, 1}); }),
            "'2030-01-01' is outside the legacy date range 1900-2029");
  EXPECT_EQ(ConversionMessage([] { DateToLegacy({1899, 12, 31}); }),
            "'1899-12-31' is outside the legacy date range 1900-2029");
  EXPECT_EQ(ConversionMessage([] { DateToLegacy({2015, 2, 29}); }),
            "'2015-02-29' is not a valid date");
}

TEST(LegacyRoundTripTest, EveryDateFrom1900To2029) {
  const DateFormats usFormats;  // M/d/yyyy
  const DateFormats paddedFormats{"mm/dd/yyyy", "hh:nn:ss"};
  std::string previous;
  long count = 0;
  for (Date d{1900, 1, 1}; d <= Date{2029, 12, 31}; d = AddDays(d, 1)) {
    const std::string shortText = FormatDate(d, usFormats.shortDate);
    const std::string paddedText = FormatDate(d, paddedFormats.shortDate);
    const std::string legacy = TextToLegacyDate(shortText, usFormats);
    ASSERT_EQ(legacy.size(), 6u) << shortText;
    ASSERT_EQ(TextToLegacyDate(paddedText, paddedFormats), legacy) << paddedText;
    ASSERT_EQ(DateToLegacy(d), legacy) << shortText;
    ASSERT_EQ(LegacyToDate(legacy), d) << legacy;
    ASSERT_EQ(LegacyDateToText(legacy), paddedText) << legacy;
    ASSERT_EQ(ParseDate(shortText, usFormats.shortDate), d) << shortText;
    ASSERT_EQ(ParseDate(paddedText, paddedFormats.shortDate), d) << paddedText;
    // The year code runs on past "9" in byte order, so legacy dates sort as dates.
    ASSERT_LT(previous, legacy) << legacy;
    previous = legacy;
    ++count;
  }
  EXPECT_EQ(count, DaysFromCivil({2030, 1, 1}) - DaysFromCivil({1900, 1, 1}));
}

}  // namespace
}  // namespace talvor
