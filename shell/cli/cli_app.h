// talvor-cli: the headless runner and tools. Callable in-process for tests.
#pragma once

#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

#include "routines/registry.h"
#include "shell/text/dates.h"

namespace talvor {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a routine or tool ended on an error
inline constexpr int kExitUsage = 2;   // unknown routine, bad option
inline constexpr int kExitStopped = 130;  // stopped by an interrupt (Ctrl-C), as shells count it

struct CliEnvironment {
  std::span<const RoutineEntry* const> registry;
  const Clock* clock = nullptr;
  std::istream* in = nullptr;
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
  bool inIsTerminal = false;
  bool outIsTerminal = false;
  // True once the person wants the work stopped (Ctrl-C); null: never.
  std::function<bool()> stopWanted;
};

// Runs the command line `args` (without the program name) and returns the exit status.
int RunCli(const std::vector<std::string>& args, const CliEnvironment& env);

}  // namespace talvor
