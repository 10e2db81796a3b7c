// Replays an engine call trace on bare SQLite (bench/engine/replay.h) and prints
// "seconds calls mismatches", then the first mismatch when there is one.
//
//   TALVOR_ENGINE_TRACE=trace talvor-cli run ROUTINE     (on a site; a copy kept before)
//   engine_replay trace [--map SITE=COPY]
// Exits 1 when a call got another status than the trace says, 2 on bad arguments or an
// unreadable trace.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/engine/replay.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::filesystem::path from, to;
  if (args.size() == 3 && args[1] == "--map" && args[2].find('=') != std::string::npos) {
    from = args[2].substr(0, args[2].find('='));
    to = args[2].substr(args[2].find('=') + 1);
  } else if (args.size() != 1) {
    std::fprintf(stderr, "usage: engine_replay TRACE [--map FROM=TO]\n");
    return 2;
  }
  std::vector<talvor::TraceEntry> entries;
  std::string error;
  if (!talvor::ReadEngineTrace(args[0], &entries, &error)) {
    std::fprintf(stderr, "engine_replay: %s\n", error.c_str());
    return 2;
  }
  talvor::bench::ReplayResult result;
  if (!talvor::bench::ReplayEngineTrace(entries, from, to, &result, &error)) {
    std::fprintf(stderr, "engine_replay: %s\n", error.c_str());
    return 2;
  }
  std::printf("%.3f %lld %lld\n", result.seconds, static_cast<long long>(result.calls),
              static_cast<long long>(result.mismatches));
  if (result.mismatches != 0) std::printf("%s\n", result.firstMismatch.c_str());
  return result.mismatches == 0 ? 0 : 1;
}
