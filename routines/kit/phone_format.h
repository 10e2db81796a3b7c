// Phone numbers in the display form that the client and contact tables hold.
#pragma once

#include <string>
#include <string_view>

namespace talvor {

// What an empty or unusable phone becomes.
inline constexpr std::string_view kEmptyPhone = "(000)000-0000";

// Brings a phone into the display form (ddd)ddd-dddd. Every byte other than a digit, "(",
// ")" and "-" counts as a blank; blanks and the punctuation are then removed. Seven digits
// get the area code "000"; ten digits are punctuated; nothing left, or any other count,
// gives kEmptyPhone. The result is always 13 bytes, and PlainPhone of it is its ten digits.
// "555.123.4567" -> "(555)123-4567"; "5551234" -> "(000)555-1234";
// "1-800-555-1234" -> kEmptyPhone.
std::string NormalizePhone(std::string_view text);

}  // namespace talvor
