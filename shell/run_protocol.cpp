#include "shell/run_protocol.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/form.h"
#include "sqldb/database.h"
#include "shell/journal/run_journal.h"

namespace talvor {

namespace {

std::string MessageOf(const std::exception& e) {
  if (const auto* fs = dynamic_cast<const std::filesystem::filesystem_error*>(&e)) {
    // The library's text already names the path(s); keep it as it is.
    return fs->what();
  }
  return e.what();
}

bool JournalWanted() {
  const char* setting = std::getenv("TALVOR_JOURNAL");
  return setting == nullptr || std::string_view(setting) != "off";
}

std::vector<std::pair<std::string, std::string>> SettingsOf(const TForm1& form) {
  return {{"Datapath", form.edtDatapath}, {"ODBCName", form.edtODBCName},
          {"AgyCode", form.edtAgyCode},   {"ServerName", form.edtServerName},
          {"NewPath", form.edtNewPath},   {"PrdCode", form.edtPrdCode}};
}

}  // namespace

RunOutcome RunRoutine(TForm1& form, const RoutineEntry& entry, RunKind kind) {
  RunOutcome outcome;
  std::unique_ptr<journal::RunJournal> journal;
  if (kind == RunKind::kDryRun || JournalWanted()) {
    std::string problem;
    journal = journal::RunJournal::Start(
        std::filesystem::current_path(), entry.caption, entry.Slug(),
        kind == RunKind::kDryRun ? journal::RunMode::kDryRun : journal::RunMode::kRun,
        form.clock().Now(), SettingsOf(form), &problem);
    if (!journal && kind == RunKind::kDryRun) {
      outcome.error = problem + "; the dry run was not started";
      form.frontend().ShowError(outcome.error);
      return outcome;
    }
    if (journal) {
      journal->Watch();
    } else {
      form.Notify(problem + "; the changes of this run are not recorded");
    }
  }
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
  if (journal) {
    if (!outcome.completed && !journal->Refusal().empty()) {
      outcome.error = journal->Refusal() + " (" + outcome.error + ")";
    }
    journal->Finish(outcome.completed, outcome.error);
    outcome.runId = journal->Id();
    outcome.journalProblem = journal->Problem();
    journal.reset();
    // The journal held the connections it watched until now.
    sqldb::CloseIdleConnections();
  }
  if (!outcome.completed) form.frontend().ShowError(outcome.error);
  if (!outcome.journalProblem.empty()) {
    form.Notify("The journal of this run is incomplete: " + outcome.journalProblem);
  }
  return outcome;
}

}  // namespace talvor
