#include "shell/text/money.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace talvor {

namespace {

// A negative amount's last digit is stored with its code raised by this much.
constexpr int kSignShift = 64;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string MoneyToZoned(double amount) {
  char buf[64];
  if (!std::isfinite(amount)) {
    std::snprintf(buf, sizeof buf, "%g", amount);
    throw RangeError(std::string("amount ") + buf + " is not a number a zoned field can hold");
  }
  const bool negative = amount < 0;
  std::snprintf(buf, sizeof buf, "%.2f", std::fabs(amount));
  std::string text = Trim(buf);
  // Rounding happens in the formatting, so the limit is checked on what would be written;
  // 99999999.995 becomes 100000000.00 and no longer fits.
  if (std::strtod(text.c_str(), nullptr) > kMaxZonedAmount) {
    std::snprintf(buf, sizeof buf, "%.2f", amount);
    throw RangeError(std::string("amount ") + buf +
                     " exceeds 99999999.99, the largest a zoned field can hold");
  }
  const std::size_t dot = text.find('.');
  if (dot != std::string::npos) text.erase(dot, 1);
  text = ZeroFill(text, 10);
  if (negative) text.back() = static_cast<char>(text.back() + kSignShift);
  return text;
}

double ZonedToMoney(std::string_view text, const NotifyFn& notify) {
  if (text.size() != 10) {
    if (notify) notify("invalid length in BCD to float (" + std::string(text) + ")");
    return 0;
  }
  std::string digits(text);
  bool negative = false;
  if (digits.back() >= 'p' && digits.back() <= 'z') {
    negative = true;
    digits.back() = static_cast<char>(digits.back() - kSignShift);
  }
  // Leading blanks may stand for leading zeros of the whole units; the cents are always
  // two digits, and nothing but digits may follow the blanks.
  std::size_t pos = 0;
  while (pos < 8 && digits[pos] == ' ') ++pos;
  std::int64_t cents = 0;
  for (; pos < digits.size(); ++pos) {
    if (!IsDigit(digits[pos])) return 0;
    cents = cents * 10 + (digits[pos] - '0');
  }
  const double amount = static_cast<double>(cents) / 100.0;
  return negative ? -amount : amount;
}

}  // namespace talvor
