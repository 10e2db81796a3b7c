#include "shell/cli/cli_runs.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <memory>

#include "journal/changes_report.h"
#include "journal/journal_file.h"
#include "journal/undo.h"
#include "shell/text/text.h"

namespace talvor {

void AddRunCommands(CLI::App& app, const CliEnvironment& env, int& status) {
  namespace fs = std::filesystem;
  auto* runs = app.add_subcommand("runs", "the recorded runs: when, routine, settings, changes");
  auto showId = std::make_shared<std::string>();
  auto changes = std::make_shared<journal::ChangeFilter>();
  auto format = std::make_shared<std::string>("text");
  auto keyGiven = std::make_shared<bool>(false);
  auto* show = runs->add_subcommand("show", "every change of a run, record by record, row by row");
  show->add_option("id", *showId, "the run's ID (or a unique start of it, or \"last\")")
      ->required();
  show->add_option("--store", changes->store,
                   "only the changes of this record file, database or table (any case; "
                   "DATABASE/TABLE for one table)");
  show->add_option("--key", changes->keyPrefix,
                   "only the changes whose record key or rowid starts with this")
      ->each([keyGiven](const std::string&) { *keyGiven = true; });
  show->add_option("--format", *format, "text (the report), csv or json: one record per change");
  show->callback([&env, &status, showId, changes, format, keyGiven] {
    journal::ChangeFormat as = journal::ChangeFormat::kText;
    if (*format == "csv") {
      as = journal::ChangeFormat::kCsv;
    } else if (*format == "json") {
      as = journal::ChangeFormat::kJson;
    } else if (*format != "text") {
      *env.err << "talvor-cli: runs show --format: \"" << ShowableText(*format)
               << "\" is not a format; give text, csv or json\n";
      status = kExitUsage;
      return;
    }
    if (*keyGiven && changes->keyPrefix.empty()) {
      *env.err << "talvor-cli: runs show --key: give the start of a record key or rowid\n";
      status = kExitUsage;
      return;
    }
    const fs::path work = fs::current_path();
    std::string error;
    std::optional<fs::path> dir = journal::FindRunDir(work, *showId, &error);
    std::optional<journal::RunRecord> run;
    if (dir) run = journal::ReadRun(*dir, &error, 0);
    if (!run) {
      *env.err << "talvor-cli: " << error << "\n";
      status = kExitFailed;
      return;
    }
    if (!journal::StoreFilterMatches(*run, work, *changes, &error)) {
      *env.err << "talvor-cli: runs show --store: " << error << "\n";
      status = kExitUsage;
      return;
    }
    if (!journal::ShowChanges(*env.out, *run, work, *changes, as, &error)) {
      *env.err << "talvor-cli: " << error << "\n";
      status = kExitFailed;
      return;
    }
    status = kExitOk;
  });
  auto filter = std::make_shared<journal::RunFilter>();
  auto longForm = std::make_shared<bool>(false);
  runs->add_flag("--long", *longForm, "a paragraph per run: settings, changes per file and table");
  runs->add_option("--routine", filter->routine, "only the runs of this routine (caption or slug)");
  runs->add_option("--since", filter->since, "only the runs started then or later (YYYY-MM-DD[ HH:MM])");
  runs->callback([&env, &status, runs, filter, longForm] {
    if (runs->got_subcommand("show")) return;
    std::string error;
    if (!filter->since.empty() && !journal::ValidSince(filter->since, &error)) {
      *env.err << "talvor-cli: --since: " << error << "\n";
      status = kExitUsage;
      return;
    }
    const std::string text = journal::ListRuns(fs::current_path(), *filter, *longForm);
    *env.out << (text.empty() ? "no recorded runs\n" : text);
    status = kExitOk;
  });

  auto undoId = std::make_shared<std::string>();
  auto undoOptions = std::make_shared<journal::UndoOptions>();
  auto* undo = app.add_subcommand("undo", "put back what a recorded run changed");
  undo->add_option("id", *undoId, "the run's ID (or a unique start of it, or \"last\")")
      ->required();
  undo->add_flag("--partial", undoOptions->partial,
                 "put back the files and databases without a conflict even when another has one");
  undo->add_flag("--outside", undoOptions->outside,
                 "also put back files and databases outside the working directory");
  undo->callback([&env, &status, undoId, undoOptions] {
    const journal::UndoResult r =
        journal::UndoRun(fs::current_path(), *undoId, *env.clock, *undoOptions);
    if (!r.error.empty()) {
      *env.err << "talvor-cli: " << r.error << "\n";
      status = kExitFailed;
      return;
    }
    for (const std::string& line : journal::UndoReport(r)) *env.out << line << "\n";
    status = r.Whole() ? kExitOk : kExitFailed;
  });
}

}  // namespace talvor
