// PlainPhone on any bytes: ten blanks, or ten or more bytes without blanks, parentheses or
// hyphens.
#include <string>

#include "shell/text/text.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using talvor::fuzz::Check;
  const std::string phone = talvor::PlainPhone(talvor::fuzz::Bytes(data, size));
  if (phone == std::string(10, ' ')) return 0;
  Check(phone.size() >= 10, "a phone number is at least ten bytes");
  Check(phone.find_first_of(" ()-") == std::string::npos,
        "a phone number keeps no blank, parenthesis or hyphen");
  Check(phone.size() <= size, "a phone number is never longer than its text");
  return 0;
}
