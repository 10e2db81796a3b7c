// The dialect step on any SQL text: it only ever shortens the text, and a text without the
// two constructs it rewrites passes through byte for byte.
#include <string>

#include "shell/text/text.h"
#include "sqldb/dialect.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using talvor::fuzz::Check;
  const std::string_view sql = talvor::fuzz::Bytes(data, size);
  const std::string translated = talvor::sqldb::TranslateDialect(sql);
  Check(translated.size() <= sql.size(), "the dialect step never lengthens a statement");
  const std::string upper = talvor::UpperCase(sql);
  if (upper.find("CONVERT") == std::string::npos && upper.find("DICTIONARY") == std::string::npos) {
    Check(translated == sql, "a statement without the dialect's constructs passes unchanged");
  }
  return 0;
}
