// The few calls that differ between operating systems. Everything else uses the standard
// library only.
#pragma once

#include <cstdio>
#include <filesystem>

namespace talvor {

// True when `stream` is connected to a terminal.
bool IsTerminal(std::FILE* stream);
// The running program's own executable file; empty when it cannot be told.
std::filesystem::path ExecutablePath();

}  // namespace talvor
