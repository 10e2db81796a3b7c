// "aliases.cfg" with any bytes. The input's first line is the database name looked up, the
// rest is the file. Properties: the name resolves or raises sqldb::Error with a message (a
// malformed line is named by its number), a name found in the file resolves to a target
// that is a line's text, and nothing is created in the working directory.
#include <filesystem>
#include <string>

#include "sqldb/database.h"
#include "sqldb/error.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using talvor::fuzz::Check;
  namespace fs = std::filesystem;
  const fs::path& dir = talvor::fuzz::WorkDir();
  const std::string_view input = talvor::fuzz::Bytes(data, size);
  const std::size_t end = input.find('\n');
  const std::string name(input.substr(0, end));
  const std::string_view file = end == std::string_view::npos ? "" : input.substr(end + 1);
  talvor::fuzz::WriteBytes(dir / "aliases.cfg", file);

  try {
    const fs::path target = talvor::sqldb::ResolveDatabaseName(name);
    Check(!target.empty(), "a resolved name names a file");
  } catch (const talvor::sqldb::Error& error) {
    const std::string message = error.what();
    Check(message.find("aliases.cfg line ") == 0 || message.find("unknown database") == 0 ||
              message.find("cannot read") == 0,
          "a name that does not resolve is explained");
  }
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++entries;
  Check(entries == 1, "resolving a name creates nothing");
  return 0;
}
