// ZonedToMoney on any text, and MoneyToZoned on any double: a ten-byte field of digits (the
// last one possibly zoned) reads back to itself (minus zero aside); any other length is reported once and
// reads as 0; a number either becomes ten bytes or is refused with RangeError.
#include <cmath>
#include <cstring>
#include <string>

#include "shell/text/money.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsZonedField(std::string_view text) {
  if (text.size() != 10) return false;
  for (std::size_t i = 0; i < 9; ++i) {
    if (!IsDigit(text[i])) return false;
  }
  return IsDigit(text[9]) || (text[9] >= 'p' && text[9] <= 'y');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using talvor::fuzz::Check;
  const std::string_view text = talvor::fuzz::Bytes(data, size);
  int notes = 0;
  const double amount = talvor::ZonedToMoney(text, [&](const std::string&) { ++notes; });
  Check(std::isfinite(amount), "a zoned field reads as a finite amount");
  Check(std::fabs(amount) <= talvor::kMaxZonedAmount, "a zoned field holds at most its maximum");
  if (text.size() != 10) {
    Check(notes == 1 && amount == 0, "a field of the wrong length is reported and reads 0");
  } else {
    Check(notes == 0, "a ten-byte field is never reported");
  }
  // "000000000p" (minus zero) is the one field that reads as an amount written otherwise.
  if (IsZonedField(text) && text != "000000000p") {
    Check(talvor::MoneyToZoned(amount) == text, "a zoned field reads back to itself");
  }

  if (size >= sizeof(double)) {
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    try {
      const std::string zoned = talvor::MoneyToZoned(value);
      Check(zoned.size() == 10, "an amount becomes ten bytes");
      Check(IsZonedField(zoned), "an amount becomes digits with a zoned last byte");
      const double back = talvor::ZonedToMoney(zoned, [](const std::string&) {});
      Check(std::fabs(back - value) <= 0.005 + 1e-9 * std::fabs(value),
            "an amount reads back to within half a cent");
    } catch (const talvor::RangeError&) {
      Check(!std::isfinite(value) || std::fabs(value) > talvor::kMaxZonedAmount - 0.01,
            "only amounts a field cannot hold are refused");
    }
  }
  return 0;
}
