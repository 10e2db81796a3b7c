// Replays the SQL layer's statement trace on bare SQLite (bench/sqldb/statement_replay.h)
// and prints "seconds calls mismatches", then the first mismatch when there is one.
//
//   TALVOR_SQL_TRACE=trace talvor-cli run ROUTINE     (on a site; a copy kept before)
//   sql_replay trace [--map SITE=COPY]
// Exits 1 when a step came out otherwise than the trace says, 2 on bad arguments, an
// unreadable trace or one that does not replay on the copy.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/replay_tool.h"
#include "bench/sqldb/statement_replay.h"

int main(int argc, char** argv) {
  const auto args = talvor::bench::ParseReplayToolArgs("sql_replay", argc, argv);
  if (!args) return 2;
  std::vector<talvor::sqldb::SqlTraceEntry> entries;
  std::string error;
  talvor::bench::StatementReplayResult result;
  if (!talvor::sqldb::ReadSqlTrace(args->trace, &entries, &error) ||
      !talvor::bench::ReplaySqlTrace(entries, args->from, args->to, &result, &error)) {
    std::fprintf(stderr, "sql_replay: %s\n", error.c_str());
    return 2;
  }
  return talvor::bench::PrintReplay(result.seconds, static_cast<long long>(result.calls),
                                    static_cast<long long>(result.mismatches),
                                    result.firstMismatch);
}
