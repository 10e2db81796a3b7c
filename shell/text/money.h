// Zoned amounts: the ten-character signed decimal of the legacy invoice and client files.
//
// Stored format (do not change): the absolute value in cents as ten digits with leading
// zeros; a negative amount has its last digit raised by 64 ("0" -> "p" ... "9" -> "y").
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "shell/text/text.h"

namespace talvor {

// The largest magnitude a zoned field can hold: 99,999,999.99.
inline constexpr double kMaxZonedAmount = 99999999.99;

// Raised when a value does not fit the fixed-width form it must be written in.
class RangeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// 0 -> "0000000000", 1234.5 -> "0000123450", -12.34 -> "000000123t".
// Amounts are rounded to cents; a negative amount that rounds to 0.00 keeps its sign
// ("000000000p"). Throws RangeError (naming the amount) when the rounded
// magnitude exceeds kMaxZonedAmount or the amount is not a finite number: a field
// that cannot hold the value is never written cut.
std::string MoneyToZoned(double amount);

// The amount of a zoned field. A text that is not exactly ten bytes long is reported
// through `notify` as "invalid length in BCD to float (" + text + ")" and gives 0.
// A ten-byte text that is not a number (blanks, a stray letter) gives 0 silently.
// Leading blanks may stand for leading zeros of the whole units; the last two bytes (the
// cents) must be digits.
double ZonedToMoney(std::string_view text, const NotifyFn& notify);

}  // namespace talvor
