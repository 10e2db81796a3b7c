// The phone normalisation shared by Sync Phones and Contact Phones.
#include "routines/kit/phone_format.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "shell/text/text.h"

namespace talvor {
namespace {

struct PhoneCase {
  const char* input;
  const char* expected;
};

void PrintTo(const PhoneCase& c, std::ostream* os) {
  *os << "[" << c.input << "]";
}

class NormalizePhoneTest : public ::testing::TestWithParam<PhoneCase> {};

TEST_P(NormalizePhoneTest, GivesTheDisplayForm) {
  EXPECT_EQ(NormalizePhone(GetParam().input), GetParam().expected)
      << "input [" << GetParam().input << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NormalizePhoneTest,
    ::testing::Values(
        // Already in display form, and the forms a conversion leaves.
        PhoneCase{"(555)123-4567", "(555)123-4567"}, PhoneCase{"(555) 123-4567", "(555)123-4567"},
        PhoneCase{"5551234567", "(555)123-4567"}, PhoneCase{"555-123-4567", "(555)123-4567"},
        // Dots and other bytes become blanks and go.
        PhoneCase{"555.123.4567", "(555)123-4567"}, PhoneCase{"555/123\t4567", "(555)123-4567"},
        // Seven digits get the area code 000.
        PhoneCase{"5551234", "(000)555-1234"}, PhoneCase{"555-1234", "(000)555-1234"},
        // Empty, blank and letters only.
        PhoneCase{"", "(000)000-0000"}, PhoneCase{"     ", "(000)000-0000"},
        PhoneCase{"NONE", "(000)000-0000"},
        // Any other count of digits.
        PhoneCase{"1-800-555-1234", "(000)000-0000"}, PhoneCase{"555-CALL", "(000)000-0000"},
        PhoneCase{"12345678", "(000)000-0000"}, PhoneCase{"555123456", "(000)000-0000"},
        // Letters inside a number are dropped, the digits around them kept.
        PhoneCase{"555x123y4567", "(555)123-4567"}));

TEST(NormalizePhone, LegacyDigitsOfANormalisedPhoneAreItsTenDigits) {
  for (const char* input : {"555.123.4567", "5551234", "", "1-800-555-1234"}) {
    const std::string phone = NormalizePhone(input);
    ASSERT_EQ(phone.size(), 13U) << input;
    const std::string digits = PlainPhone(phone);
    EXPECT_EQ(digits.size(), 10U) << input;
    EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << input;
  }
}

}  // namespace
}  // namespace talvor
