// Replays an engine call trace on bare SQLite (bench/engine/replay.h) and prints
// "seconds calls mismatches", then the first mismatch when there is one.
//
//   TALVOR_ENGINE_TRACE=trace talvor-cli run ROUTINE     (on a site; a copy kept before)
//   engine_replay trace [--map SITE=COPY]
// Exits 1 when a call got another status than the trace says, 2 on bad arguments or an
// unreadable trace.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/engine/replay.h"
#include "bench/replay_tool.h"

int main(int argc, char** argv) {
  const auto args = talvor::bench::ParseReplayToolArgs("engine_replay", argc, argv);
  if (!args) return 2;
  std::vector<talvor::TraceEntry> entries;
  std::string error;
  talvor::bench::ReplayResult result;
  if (!talvor::ReadEngineTrace(args->trace, &entries, &error) ||
      !talvor::bench::ReplayEngineTrace(entries, args->from, args->to, &result, &error)) {
    std::fprintf(stderr, "engine_replay: %s\n", error.c_str());
    return 2;
  }
  return talvor::bench::PrintReplay(result.seconds, static_cast<long long>(result.calls),
                                    static_cast<long long>(result.mismatches),
                                    result.firstMismatch);
}
