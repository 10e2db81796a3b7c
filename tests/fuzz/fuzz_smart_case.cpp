// SmartCase on any bytes: the trimmed length never changes and only letter case does.
#include <string>

#include "shell/text/text.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using talvor::fuzz::Check;
  const std::string_view text = talvor::fuzz::Bytes(data, size);
  const std::string trimmed = talvor::Trim(text);
  const std::string cased = talvor::SmartCase(text);
  Check(cased.size() == trimmed.size(), "SmartCase keeps the trimmed length");
  Check(talvor::UpperCase(cased) == talvor::UpperCase(trimmed),
        "SmartCase changes letter case only");
  return 0;
}
