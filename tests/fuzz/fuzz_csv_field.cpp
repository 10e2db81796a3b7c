// NextCsvField over a whole line: every call takes something off a non-empty line (so a
// loop over the fields ends), a field is never longer than what was left, and no field
// keeps a double quote.
#include <string>

#include "shell/text/text.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using talvor::fuzz::Check;
  std::string line(talvor::fuzz::Bytes(data, size));
  while (true) {
    const std::size_t before = line.size();
    std::string field = talvor::NextCsvField(line);
    if (before == 0) {
      Check(field.empty() && line.empty(), "an empty line gives an empty field");
      break;
    }
    Check(line.size() < before, "each field takes something off the line");
    Check(field.size() <= before, "a field is no longer than the line it came from");
    Check(field.find('"') == std::string::npos, "no field keeps a double quote");
  }
  return 0;
}
