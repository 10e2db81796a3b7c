#include "shell/run_protocol.h"

#include <exception>
#include <filesystem>

#include "shell/form.h"

namespace talvor {

namespace {

std::string MessageOf(const std::exception& e) {
  if (const auto* fs = dynamic_cast<const std::filesystem::filesystem_error*>(&e)) {
    // The library's text already names the path(s); keep it as it is.
    return fs->what();
  }
  return e.what();
}

}  // namespace

RunOutcome RunRoutine(TForm1& form, const RoutineEntry& entry) {
  RunOutcome outcome;
  try {
    entry.Run(form);
    outcome.completed = true;
  } catch (const std::exception& e) {
    outcome.error = MessageOf(e);
  } catch (...) {
    outcome.error = "The routine ended on an unknown error";
  }
  // Close components before showing the message: the operator may start the next routine
  // right after acknowledging it.
  try {
    form.ResetComponents();
  } catch (const std::exception& e) {
    if (outcome.completed) {
      outcome.completed = false;
      outcome.error = MessageOf(e);
    }
  }
  if (!outcome.completed) form.frontend().ShowError(outcome.error);
  return outcome;
}

}  // namespace talvor
