#include "shell/text/money.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace talvor {
namespace {

// Collects what ZonedToMoney reports.
struct Recorder {
  std::vector<std::string> messages;
  NotifyFn fn() {
    return [this](const std::string& m) { messages.push_back(m); };
  }
};

struct ZonedCase {
  double amount;
  std::string zoned;
};

// ---------------------------------------------------------------------------------------
// MoneyToZoned

TEST(MoneyToZonedTest, DocumentedExamples) {
  const std::vector<ZonedCase> cases = {
      {0, "0000000000"},
      {1234.5, "0000123450"},
      {-12.34, "000000123t"},
      {-0.01, "000000000q"},
      {0.01, "0000000001"},
      {99999999.99, "9999999999"},
      {-99999999.99, "999999999y"},
      {12345678.9, "1234567890"},
  };
  for (const auto& c : cases) EXPECT_EQ(MoneyToZoned(c.amount), c.zoned) << c.amount;
}

TEST(MoneyToZonedTest, RoundsToCents) {
  EXPECT_EQ(MoneyToZoned(2.999), "0000000300");
  EXPECT_EQ(MoneyToZoned(0.004), "0000000000");
  EXPECT_EQ(MoneyToZoned(0.006), "0000000001");
  EXPECT_EQ(MoneyToZoned(-7.891), "000000078y");
  EXPECT_EQ(MoneyToZoned(99999999.994), "9999999999");
}

TEST(MoneyToZonedTest, NegativeAmountThatRoundsToZeroKeepsItsSign) {
  EXPECT_EQ(MoneyToZoned(-0.001), "000000000p");
  EXPECT_EQ(MoneyToZoned(-0.0), "0000000000");
}

TEST(MoneyToZonedTest, EachFinalDigitHasItsSignLetter) {
  const std::string letters = "pqrstuvwxy";
  for (int digit = 0; digit <= 9; ++digit) {
    const double amount = -(100.0 + digit) / 100.0;
    const std::string zoned = MoneyToZoned(amount);
    EXPECT_EQ(zoned, std::string("000000010") + letters[static_cast<std::size_t>(digit)])
        << amount;
    EXPECT_EQ(MoneyToZoned(-amount).back(), '0' + digit);
  }
}

TEST(MoneyToZonedTest, AmountsThatDoNotFitRaiseRangeError) {
  for (double amount : {100000000.0, -100000000.0, 99999999.995, 1e15, -1e300}) {
    EXPECT_THROW(MoneyToZoned(amount), RangeError) << amount;
  }
}

TEST(MoneyToZonedTest, RangeErrorNamesTheAmount) {
  try {
    MoneyToZoned(123456789.5);
    FAIL() << "no RangeError";
  } catch (const RangeError& e) {
    EXPECT_NE(std::string(e.what()).find("123456789.50"), std::string::npos) << e.what();
  }
}

TEST(MoneyToZonedTest, NonFiniteAmountsRaiseRangeError) {
  EXPECT_THROW(MoneyToZoned(std::numeric_limits<double>::quiet_NaN()), RangeError);
  EXPECT_THROW(MoneyToZoned(std::numeric_limits<double>::infinity()), RangeError);
  EXPECT_THROW(MoneyToZoned(-std::numeric_limits<double>::infinity()), RangeError);
}

// ---------------------------------------------------------------------------------------
// ZonedToMoney

TEST(ZonedToMoneyTest, DocumentedExamples) {
  Recorder rec;
  EXPECT_DOUBLE_EQ(ZonedToMoney("0000123450", rec.fn()), 1234.50);
  EXPECT_DOUBLE_EQ(ZonedToMoney("000000123t", rec.fn()), -12.34);
  EXPECT_DOUBLE_EQ(ZonedToMoney("1234567890", rec.fn()), 12345678.90);
  EXPECT_DOUBLE_EQ(ZonedToMoney("0000000000", rec.fn()), 0.0);
  EXPECT_DOUBLE_EQ(ZonedToMoney("9999999999", rec.fn()), 99999999.99);
  EXPECT_DOUBLE_EQ(ZonedToMoney("999999999y", rec.fn()), -99999999.99);
  EXPECT_TRUE(rec.messages.empty());
}

TEST(ZonedToMoneyTest, LeadingBlanksStandForZeros) {
  Recorder rec;
  EXPECT_DOUBLE_EQ(ZonedToMoney("    123450", rec.fn()), 1234.50);
  EXPECT_DOUBLE_EQ(ZonedToMoney("        12", rec.fn()), 0.12);
  EXPECT_DOUBLE_EQ(ZonedToMoney("       12q", rec.fn()), -1.21);
  EXPECT_TRUE(rec.messages.empty());
}

TEST(ZonedToMoneyTest, TextsThatAreNotNumbersGiveZeroSilently) {
  Recorder rec;
  for (const char* text : {"          ", "000000123z", "0000x23450", "00001234 5", "   -123450",
                           "12345     ", "0000123.45", "000000123P", "         5"}) {
    EXPECT_EQ(ZonedToMoney(text, rec.fn()), 0.0) << "[" << text << "]";
  }
  EXPECT_TRUE(rec.messages.empty());
}

TEST(ZonedToMoneyTest, WrongLengthIsReportedAndGivesZero) {
  Recorder rec;
  EXPECT_EQ(ZonedToMoney("000012345", rec.fn()), 0.0);
  EXPECT_EQ(ZonedToMoney("00000123450", rec.fn()), 0.0);
  EXPECT_EQ(ZonedToMoney("", rec.fn()), 0.0);
  ASSERT_EQ(rec.messages.size(), 3u);
  EXPECT_EQ(rec.messages[0], "invalid length in BCD to float (000012345)");
  EXPECT_EQ(rec.messages[1], "invalid length in BCD to float (00000123450)");
  EXPECT_EQ(rec.messages[2], "invalid length in BCD to float ()");
}

TEST(ZonedToMoneyTest, EmptyNotifyIsAllowed) {
  EXPECT_EQ(ZonedToMoney("123", NotifyFn{}), 0.0);
}

TEST(ZonedToMoneyTest, EachSignLetterGivesANegativeAmount) {
  Recorder rec;
  const std::string letters = "pqrstuvwxy";
  for (int digit = 0; digit <= 9; ++digit) {
    const std::string zoned = std::string("000001234") + letters[static_cast<std::size_t>(digit)];
    EXPECT_DOUBLE_EQ(ZonedToMoney(zoned, rec.fn()), -(12340 + digit) / 100.0) << zoned;
  }
  EXPECT_TRUE(rec.messages.empty());
}

// ---------------------------------------------------------------------------------------
// Round trips

TEST(ZonedRoundTripTest, EveryCentNearZeroSurvives) {
  Recorder rec;
  for (long cents = -5000; cents <= 5000; ++cents) {
    const double amount = static_cast<double>(cents) / 100.0;
    const std::string zoned = MoneyToZoned(amount);
    ASSERT_EQ(zoned.size(), 10u) << amount;
    ASSERT_EQ(ZonedToMoney(zoned, rec.fn()), amount) << zoned;
  }
  EXPECT_TRUE(rec.messages.empty());
}

TEST(ZonedRoundTripTest, AmountsAcrossTheWholeRangeSurvive) {
  Recorder rec;
  constexpr long long kMaxCents = 9999999999LL;
  for (long long cents = 0; cents <= kMaxCents; cents += 9999991LL) {
    for (long long c : {cents, kMaxCents - cents}) {
      for (int sign : {1, -1}) {
        const double amount = static_cast<double>(sign * c) / 100.0;
        const std::string zoned = MoneyToZoned(amount);
        ASSERT_EQ(zoned.size(), 10u) << amount;
        ASSERT_EQ(ZonedToMoney(zoned, rec.fn()), amount) << zoned;
      }
    }
  }
  EXPECT_TRUE(rec.messages.empty());
}

}  // namespace
}  // namespace talvor
