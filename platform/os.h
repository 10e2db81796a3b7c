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

// While it lives, the first interrupt from the terminal (Ctrl-C) is only noted, so that
// the program can end its work at a point where everything written is whole; a second one
// ends the program as usual (each record and row is committed on its own, and the journal
// has it before it commits). At most one lives at a time. On Windows it watches nothing yet:
// Ctrl-C ends the program there.
class InterruptWatch {
 public:
  InterruptWatch();
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;
  // True once an interrupt came.
  bool Interrupted() const;
};

}  // namespace talvor
