// The tool subcommands of talvor-cli (record files, databases, site folders, demo site).
#pragma once

#include "shell/cli/cli_app.h"

namespace CLI {
class App;
}

namespace talvor {

// Adds "recfile", "db", "site" and "demo" to `app`; their callbacks store the exit status in `status`.
void AddToolCommands(CLI::App& app, const CliEnvironment& env, int& status);

}  // namespace talvor
