// The run protocol: how every button and the command line run one routine.
#pragma once

#include <string>

#include "shell/registry.h"

namespace talvor {

class TForm1;

struct RunOutcome {
  bool completed = false;  // the routine ran to its end
  std::string error;       // when not completed: the message that was shown
};

// Runs `entry` on `form`. An error the routine does not handle (database layer, date
// conversion, file system, or any other exception) is shown through the front end's
// ShowError with its message and ends the run; rows and records already written stay
// written. Whatever happened, every component is closed and unfiltered afterwards.
// REQUIRES: entry.Built().
RunOutcome RunRoutine(TForm1& form, const RoutineEntry& entry);

}  // namespace talvor
