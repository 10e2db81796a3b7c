#include "shell/cli/cli_app.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "shell/cli/cli_commands.h"
#include "shell/cli/cli_runs.h"
#include "shell/cli/terminal_frontend.h"
#include "shell/form.h"
#include "shell/run_protocol.h"
#include "shell/startup.h"

namespace talvor {

namespace {

struct RunOptions {
  std::vector<std::string> routines;
  std::optional<std::string> datapath, alias, agency, server, house;
  std::string answer;
  std::string transcript;
  bool dryRun = false;
};

int ListRoutines(const CliEnvironment& env) {
  std::ostream& out = *env.out;
  for (const RoutineEntry* e : env.registry) {
    out << e->caption << '\t' << e->Slug() << '\t'
        << (e->group == ButtonGroup::kCommon ? kCommonGroupCaption : "Grid") << '\t'
        << (e->visible ? "visible" : "hidden") << '\n';
  }
  return kExitOk;
}

int RunRoutines(const RunOptions& opt, const CliEnvironment& env) {
  std::vector<const RoutineEntry*> chosen;
  for (const std::string& name : opt.routines) {
    const RoutineEntry* e = FindRoutine(env.registry, name);
    if (e == nullptr) {
      *env.err << "talvor-cli: unknown routine \"" << name << "\" (talvor-cli list shows them)\n";
      return kExitUsage;
    }
    chosen.push_back(e);
  }
  AnswerMode mode = AnswerMode::kAsk;
  if (opt.answer == "yes") mode = AnswerMode::kYes;
  if (opt.answer == "no") mode = AnswerMode::kNo;

  std::ofstream transcriptFile;
  if (!opt.transcript.empty()) {
    transcriptFile.open(opt.transcript, std::ios::binary | std::ios::trunc);
    if (!transcriptFile) {
      *env.err << "talvor-cli: cannot create transcript file \"" << opt.transcript << "\"\n";
      return kExitUsage;
    }
  }

  TerminalFrontend terminal(mode, *env.in, *env.out, *env.err, env.outIsTerminal, env.inIsTerminal);
  std::unique_ptr<TranscriptFrontend> transcript;
  Frontend* frontend = &terminal;
  if (transcriptFile.is_open()) {
    transcript = std::make_unique<TranscriptFrontend>(terminal, transcriptFile);
    frontend = transcript.get();
  }

  TForm1 form(*frontend, *env.clock);
  std::string problem;
  form.ApplySettings(LoadStartupSettings(std::filesystem::current_path(), &problem));
  if (!problem.empty()) frontend->Notify(problem);
  if (opt.datapath) form.edtDatapath = *opt.datapath;
  if (opt.alias) form.edtODBCName = *opt.alias;
  if (opt.agency) form.edtAgyCode = *opt.agency;
  if (opt.server) form.edtServerName = *opt.server;
  if (opt.house) form.edtPrdCode = *opt.house;

  int status = kExitOk;
  for (const RoutineEntry* e : chosen) {
    if (form.ButtonDisabled(e->caption)) {
      frontend->ShowError(std::string("\"") + e->caption + "\" is disabled for the rest of this run");
      status = kExitFailed;
      continue;
    }
    const RunOutcome outcome =
        RunRoutine(form, *e, opt.dryRun ? RunKind::kDryRun : RunKind::kRecorded);
    if (!outcome.completed) status = kExitFailed;
    terminal.ClearLiveLine();
    *env.out << form.Label3.Caption() << '\n' << std::flush;
    if (opt.dryRun && !outcome.runId.empty()) {
      *env.out << "dry run: nothing was changed; what it would change: talvor-cli runs show "
               << outcome.runId << '\n' << std::flush;
    }
    if (transcriptFile.is_open()) transcriptFile << "label: " << form.Label3.Caption() << '\n' << std::flush;
  }
  return status;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, const CliEnvironment& env) {
  CLI::App app{"talvor-cli: the maintenance workbench without its window"};
  app.require_subcommand(1);
  int status = kExitOk;

  auto* list = app.add_subcommand("list", "every routine: caption, slug, group, hidden");
  list->callback([&] { status = ListRoutines(env); });

  RunOptions runOpt;
  auto* run = app.add_subcommand("run", "run routines in order, as their buttons would");
  run->add_option("routine", runOpt.routines, "button caption or slug")->required();
  run->add_option("--datapath", runOpt.datapath, "legacy data path (Datapath box)");
  run->add_option("--alias", runOpt.alias, "database alias (ODBC name box)");
  run->add_option("--agency", runOpt.agency, "agency code");
  run->add_option("--server", runOpt.server, "server (session) name");
  run->add_option("--house", runOpt.house, "house account code");
  run->add_option("--answer", runOpt.answer, "answer to every yes/no question")
      ->check(CLI::IsMember({"yes", "no"}));
  run->add_option("--transcript", runOpt.transcript, "write every question, message and label");
  run->add_flag("--dry-run", runOpt.dryRun,
                "run on the real files and roll every change back at the end");
  run->callback([&] { status = RunRoutines(runOpt, env); });

  AddToolCommands(app, env, status);
  AddRunCommands(app, env, status);

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    *env.out << app.help();
    return kExitOk;
  } catch (const CLI::CallForAllHelp&) {
    *env.out << app.help("", CLI::AppFormatMode::All);
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    *env.err << "talvor-cli: " << e.what() << "\n";
    return kExitUsage;
  }
  return status;
}

}  // namespace talvor
