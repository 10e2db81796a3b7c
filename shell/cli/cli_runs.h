// The run-journal subcommands of talvor-cli: "runs", "runs show ID" and "undo ID".
#pragma once

#include "shell/cli/cli_app.h"

namespace CLI {
class App;
}

namespace talvor {

// Adds "runs" (with "show") and "undo" to `app`; their callbacks store the exit status in
// `status`: kExitOk, kExitFailed (unknown run, an undo with conflicts or failures).
void AddRunCommands(CLI::App& app, const CliEnvironment& env, int& status);

}  // namespace talvor
