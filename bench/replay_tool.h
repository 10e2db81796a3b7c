// The command line the bench's replay tools share: TRACE [--map FROM=TO], where a path the
// trace recorded under FROM is replayed under TO (a copy of the site kept before the run).
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace talvor::bench {

struct ReplayToolArgs {
  std::string trace;
  std::filesystem::path from, to;
};

// The arguments of `tool`, or nullopt after printing its usage.
inline std::optional<ReplayToolArgs> ParseReplayToolArgs(const char* tool, int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  ReplayToolArgs parsed;
  if (args.size() == 3 && args[1] == "--map" && args[2].find('=') != std::string::npos) {
    parsed.from = args[2].substr(0, args[2].find('='));
    parsed.to = args[2].substr(args[2].find('=') + 1);
  } else if (args.size() != 1) {
    std::fprintf(stderr, "usage: %s TRACE [--map FROM=TO]\n", tool);
    return std::nullopt;
  }
  parsed.trace = args[0];
  return parsed;
}

// Prints "seconds calls mismatches", then the first mismatch when there is one; the tool's
// exit status (1 when a replayed outcome differed from the trace's).
inline int PrintReplay(double seconds, long long calls, long long mismatches,
                       const std::string& firstMismatch) {
  std::printf("%.3f %lld %lld\n", seconds, calls, mismatches);
  if (mismatches != 0) std::printf("%s\n", firstMismatch.c_str());
  return mismatches == 0 ? 0 : 1;
}

}  // namespace talvor::bench
