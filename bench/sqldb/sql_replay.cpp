// Replays the SQL layer's statement trace on bare SQLite (bench/sqldb/statement_replay.h)
// and prints "seconds calls mismatches", then the first mismatch when there is one.
//
//   TALVOR_SQL_TRACE=trace talvor-cli run ROUTINE     (on a site; a copy kept before)
//   sql_replay trace [--map SITE=COPY]
// Exits 1 when a step came out otherwise than the trace says, 2 on bad arguments, an
// unreadable trace or one that does not replay on the copy.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/sqldb/statement_replay.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::filesystem::path from, to;
  if (args.size() == 3 && args[1] == "--map" && args[2].find('=') != std::string::npos) {
    from = args[2].substr(0, args[2].find('='));
    to = args[2].substr(args[2].find('=') + 1);
  } else if (args.size() != 1) {
    std::fprintf(stderr, "usage: sql_replay TRACE [--map FROM=TO]\n");
    return 2;
  }
  std::vector<talvor::sqldb::SqlTraceEntry> entries;
  std::string error;
  talvor::bench::StatementReplayResult result;
  if (!talvor::sqldb::ReadSqlTrace(args[0], &entries, &error) ||
      !talvor::bench::ReplaySqlTrace(entries, from, to, &result, &error)) {
    std::fprintf(stderr, "sql_replay: %s\n", error.c_str());
    return 2;
  }
  std::printf("%.3f %lld %lld\n", result.seconds, static_cast<long long>(result.calls),
              static_cast<long long>(result.mismatches));
  if (result.mismatches != 0) std::printf("%s\n", result.firstMismatch.c_str());
  return result.mismatches == 0 ? 0 : 1;
}
