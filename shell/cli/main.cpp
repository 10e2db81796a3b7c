// talvor-cli: program entry.
#include <iostream>

#include "shell/cli/cli_app.h"
#include "platform/os.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::vector<const talvor::RoutineEntry*> registry = talvor::Registry();
  talvor::SystemClock clock;
  talvor::CliEnvironment env;
  env.registry = registry;
  env.clock = &clock;
  env.in = &std::cin;
  env.out = &std::cout;
  env.err = &std::cerr;
  env.inIsTerminal = talvor::IsTerminal(stdin);
  env.outIsTerminal = talvor::IsTerminal(stdout);
  const talvor::InterruptWatch interrupts;
  env.stopWanted = [&interrupts] { return interrupts.Interrupted(); };
  return talvor::RunCli(args, env);
}
