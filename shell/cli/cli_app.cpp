#include "shell/cli/cli_app.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "shell/assess/assessment.h"
#include "shell/assess/assessment_page.h"
#include "shell/cli/cli_commands.h"
#include "shell/cli/cli_runs.h"
#include "shell/cli/terminal_frontend.h"
#include "shell/build_info.h"
#include "shell/form.h"
#include "shell/run_protocol.h"
#include "shell/startup.h"
#include "shell/text/text.h"

// The build gives the project's version; a compile outside it (a syntax check) has none.
#ifndef TALVOR_VERSION
#define TALVOR_VERSION "unknown"
#endif

namespace talvor {

namespace {

// The settings boxes a command may set; the rest come from the working directory's start-up
// settings (talvor.cfg, the presets, the defaults).
struct SettingsOptions {
  std::optional<std::string> datapath, alias, agency, server, house;

  void AddTo(CLI::App* command) {
    command->add_option("--datapath", datapath, "legacy data path (Datapath box)");
    command->add_option("--alias", alias, "database alias (ODBC name box)");
    command->add_option("--agency", agency, "agency code");
    command->add_option("--server", server, "server (session) name");
    command->add_option("--house", house, "house account code");
  }
  // The start-up settings of the working directory with the options given on top; a
  // start-up problem is told through `notify`.
  SiteSettings Resolve(Frontend& notify) const {
    std::string problem;
    SiteSettings s = LoadStartupSettings(std::filesystem::current_path(), &problem);
    if (!problem.empty()) notify.Notify(problem);
    if (datapath) s.dataPath = *datapath;
    if (alias) s.odbcName = *alias;
    if (agency) s.agyCode = *agency;
    if (server) s.serverName = *server;
    if (house) s.prdCode = *house;
    return s;
  }
};

struct RunOptions {
  std::vector<std::string> routines;
  SettingsOptions settings;
  std::string answer;
  std::string transcript;
  bool dryRun = false;
};

struct AssessOptions {
  SettingsOptions settings;
  std::string group = "common";
  std::string answer = "yes";
  std::string out;
};

std::string Counted(long long n, const char* what) {
  return GroupedDigits(n) + " " + what + (n == 1 ? "" : "s");
}

// One line per routine as the assessment goes: which one, then what it would do.
class AssessProgress final : public assess::Progress {
 public:
  AssessProgress(std::ostream& out, std::function<bool()> stopWanted)
      : out_(out), stopWanted_(std::move(stopWanted)) {}
  bool StopWanted() override { return stopWanted_ && stopWanted_(); }
  void Starting(int n, int count, const RoutineEntry& entry) override {
    out_ << "[" << n << "/" << count << "] " << entry.caption << " ... " << std::flush;
  }
  void Ended(int, int, const assess::RoutineFindings& f) override {
    out_ << assess::EndedName(f.ended) << ": " << Counted(f.records, "record") << ", "
         << Counted(f.rows, "row") << ", "
         << Counted(static_cast<long long>(f.reports.size()), "report file") << " ("
         << Counted(f.ReportLines(), "line") << "), " << Counted(f.messageCount, "message");
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, ", %.1f s", f.seconds);
    out_ << seconds << '\n';
    if (!f.error.empty()) out_ << "    " << f.error << '\n';
    out_ << std::flush;
  }

 private:
  std::ostream& out_;
  std::function<bool()> stopWanted_;
};

int Assess(const AssessOptions& opt, const CliEnvironment& env) {
  TerminalFrontend terminal(AnswerMode::kNo, *env.in, *env.out, *env.err, false, false);
  const SiteSettings settings = opt.settings.Resolve(terminal);
  if (std::string why; !IsSite(std::filesystem::current_path(), settings, &why)) {
    *env.err << "talvor-cli: " << why << "\n";
    return kExitFailed;
  }
  assess::Options options;
  options.group = opt.group == "all" ? assess::Group::kAll : assess::Group::kCommon;
  options.answerYes = opt.answer == "yes";
  options.outDir = opt.out;
  const std::vector<const RoutineEntry*> routines = assess::RoutinesOf(env.registry, options.group);
  AssessProgress progress(*env.out, env.stopWanted);
  std::string error;
  const std::optional<assess::Assessment> a =
      assess::Assess(routines, settings, options, *env.clock, &progress, &error);
  if (!a) {
    *env.err << "talvor-cli: " << error << "\n";
    return kExitFailed;
  }
  int failed = 0;
  for (const assess::RoutineFindings& f : a->routines) failed += f.ended != assess::Ended::kCompleted;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", a->seconds);
  *env.out << "assessed " << a->routines.size() << " routines in " << seconds
           << " s; nothing was changed\n"
           << "page: " << (a->outDir / assess::kPageName).string() << "\n"
           << "table: " << (a->outDir / assess::kTableName).string() << "\n";
  if (a->stopped) *env.out << "stopped by the operator: the routines after it were not run\n";
  if (failed > 0) *env.out << failed << " routines did not complete\n";
  if (a->stopped) return kExitStopped;
  return failed == 0 ? kExitOk : kExitFailed;
}

// " (did you mean "X"?)" for the closest of `candidates`, else "".
std::string Suggestion(const std::string& word, const std::vector<std::string>& candidates) {
  const std::string closest = ClosestWord(word, candidates);
  return closest.empty() ? "" : " (did you mean \"" + closest + "\"?)";
}

// `text` as lines of at most `width` bytes (words kept whole), each after `indent`.
std::string Wrapped(std::string_view text, std::size_t width, const std::string& indent) {
  std::string out, line;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(at, end - at);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out += indent + line + "\n";
      line.clear();
    }
    if (!word.empty()) line += (line.empty() ? "" : " ") + std::string(word);
    at = end + 1;
  }
  if (!line.empty()) out += indent + line + "\n";
  return out;
}

int ListRoutines(const CliEnvironment& env, bool longForm) {
  std::ostream& out = *env.out;
  for (const RoutineEntry* e : env.registry) {
    out << e->caption << '\t' << e->Slug() << '\t'
        << (e->group == ButtonGroup::kCommon ? kCommonGroupCaption : "Grid") << '\t'
        << (e->visible ? "visible" : "hidden") << '\n';
    if (longForm) out << Wrapped(DescriptionOf(*e), 88, "    ");
  }
  return kExitOk;
}

int RunRoutines(const RunOptions& opt, const CliEnvironment& env) {
  std::vector<const RoutineEntry*> chosen;
  for (const std::string& name : opt.routines) {
    const RoutineEntry* e = FindRoutine(env.registry, name);
    if (e == nullptr) {
      std::vector<std::string> slugs;
      for (const RoutineEntry* r : env.registry) slugs.push_back(r->Slug());
      *env.err << "talvor-cli: unknown routine \"" << name << "\""
               << Suggestion(SlugOf(name), slugs) << " (talvor-cli list shows them)\n";
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

  TerminalFrontend terminal(mode, *env.in, *env.out, *env.err, env.outIsTerminal,
                            env.inIsTerminal, env.stopWanted);
  std::unique_ptr<TranscriptFrontend> transcript;
  Frontend* frontend = &terminal;
  if (transcriptFile.is_open()) {
    transcript = std::make_unique<TranscriptFrontend>(terminal, transcriptFile);
    frontend = transcript.get();
  }

  TForm1 form(*frontend, *env.clock);
  form.ApplySettings(opt.settings.Resolve(*frontend));
  if (std::string why; !IsSite(std::filesystem::current_path(), form.Settings(), &why)) {
    *env.err << "talvor-cli: " << why << "\n";
    return kExitFailed;
  }

  int status = kExitOk;
  for (const RoutineEntry* e : chosen) {
    if (form.ButtonDisabled(e->caption)) {
      frontend->ShowError(std::string("\"") + e->caption + "\" is disabled for the rest of this run");
      status = kExitFailed;
      continue;
    }
    const RunOutcome outcome =
        RunRoutine(form, *e, opt.dryRun ? RunKind::kDryRun : RunKind::kRecorded);
    if (!outcome.completed) status = outcome.stopped ? kExitStopped : kExitFailed;
    terminal.EndOfRoutine();
    terminal.ClearLiveLine();
    *env.out << form.Label3.Caption() << '\n' << std::flush;
    if (opt.dryRun && !outcome.runId.empty()) {
      *env.out << "dry run: nothing was changed; what it would change: talvor-cli runs show "
               << outcome.runId << '\n' << std::flush;
    }
    if (transcriptFile.is_open()) transcriptFile << "label: " << form.Label3.Caption() << '\n' << std::flush;
    // The routines after a stopped one are not started.
    if (status == kExitStopped) break;
  }
  return status;
}

// The deepest command of `app` the parser chose, as words ending in a blank ("recfile load ").
std::string CommandPath(CLI::App& app) {
  std::string path;
  const CLI::App* at = &app;
  for (;;) {
    const std::vector<CLI::App*> chosen = at->get_subcommands();
    if (chosen.empty()) return path;
    at = chosen.front();
    path += at->get_name() + " ";
  }
}

// The subcommand of `app` named `name`, null when there is none (CLI11 throws instead).
CLI::App* SubcommandOf(CLI::App& app, const std::string& name) {
  for (CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (sub->check_name(name)) return sub;
  }
  return nullptr;
}

std::vector<std::string> CommandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    names.push_back(sub->get_name());
  return names;
}

// An argument the chosen command does not take: named, with the option probably meant.
std::string ExtrasMessage(CLI::App& app, const CLI::ExtrasError& e) {
  CLI::App* command = &app;
  for (std::vector<CLI::App*> chosen = app.get_subcommands(); !chosen.empty();
       chosen = command->get_subcommands()) {
    command = chosen.front();
  }
  const std::vector<std::string> extras = command->remaining();
  if (extras.empty()) return std::string(e.what()) + "; see talvor-cli --help";
  std::vector<std::string> options;
  for (const CLI::Option* o : command->get_options()) {
    for (const std::string& name : o->get_lnames()) options.push_back("--" + name);
  }
  const std::string& word = extras.front();
  const std::string path = CommandPath(app);
  std::string message = (word.rfind("-", 0) == 0 ? "unknown option \"" : "unexpected argument \"") +
                        word + "\"";
  if (!path.empty()) message += " for \"" + path.substr(0, path.size() - 1) + "\"";
  if (word.rfind("--", 0) == 0) message += Suggestion(word.substr(0, word.find('=')), options);
  return message + "; see talvor-cli " + path + "--help";
}

// What one routine is, for "help ROUTINE".
void RoutineHelp(const RoutineEntry& e, std::ostream& out) {
  out << e.caption << " (" << e.Slug() << ")\n"
      << "  button: " << (e.group == ButtonGroup::kCommon ? kCommonGroupCaption : "Grid")
      << (e.visible ? "" : ", hidden (no button; run it by name)")
      << (e.enabled ? "" : ", disabled") << "\n";
  if (e.hint[0] != '\0') out << "  hint: " << e.hint << "\n";
  out << Wrapped(DescriptionOf(e), 88, "  ");
  out << "  run it: talvor-cli run " << e.Slug() << " [--dry-run] [--answer yes|no]\n";
}

int Help(CLI::App& app, const std::vector<std::string>& topic, const CliEnvironment& env) {
  if (topic.empty()) {
    *env.out << app.help();
    return kExitOk;
  }
  // A command and its subcommands: "help recfile load".
  CLI::App* command = &app;
  std::string parents;  // the usage line names the program and the commands above
  std::size_t used = 0;
  while (used < topic.size()) {
    CLI::App* sub = SubcommandOf(*command, topic[used]);
    if (sub == nullptr || sub->get_name() == "help") break;
    parents += (parents.empty() ? "" : " ") + command->get_name();
    command = sub;
    ++used;
  }
  if (used == topic.size()) {
    *env.out << command->help(command == &app ? "" : parents);
    return kExitOk;
  }
  // Else a routine, by caption (in words) or slug.
  std::string name;
  for (const std::string& word : topic) name += (name.empty() ? "" : " ") + word;
  if (const RoutineEntry* e = FindRoutine(env.registry, name)) {
    RoutineHelp(*e, *env.out);
    return kExitOk;
  }
  std::vector<std::string> candidates = CommandNames(app);
  for (const RoutineEntry* e : env.registry) candidates.push_back(e->Slug());
  *env.err << "talvor-cli: no command or routine \"" << name << "\""
           << Suggestion(name, candidates) << "; talvor-cli list shows the routines\n";
  return kExitUsage;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, const CliEnvironment& env) {
  CLI::App app{"talvor-cli: the maintenance workbench without its window", "talvor-cli"};
  app.require_subcommand(1);
  app.footer("talvor-cli help COMMAND or ROUTINE tells more of one.");
  int status = kExitOk;

  if (!args.empty() && (args[0] == "--version" || args[0] == "-V")) {
    *env.out << "talvor-cli " << TALVOR_VERSION << " (built " << IsoDate(BuildDate()) << ")\n";
    return kExitOk;
  }

  bool listLong = false;
  auto* list = app.add_subcommand("list", "every routine: caption, slug, group, hidden");
  list->add_flag("--long", listLong, "and under each, what it does");
  list->callback([&] { status = ListRoutines(env, listLong); });

  RunOptions runOpt;
  auto* run = app.add_subcommand("run", "run routines in order, as their buttons would");
  run->add_option("routine", runOpt.routines, "button caption or slug")->required();
  runOpt.settings.AddTo(run);
  run->add_option("--answer", runOpt.answer, "answer to every yes/no question")
      ->check(CLI::IsMember({"yes", "no"}));
  run->add_option("--transcript", runOpt.transcript, "write every question, message and label");
  run->add_flag("--dry-run", runOpt.dryRun,
                "run on the real files and roll every change back at the end");
  run->callback([&] { status = RunRoutines(runOpt, env); });

  AssessOptions assessOpt;
  auto* assessCmd = app.add_subcommand(
      "assess", "what every routine of a group would change and find, on one page; changes nothing");
  assessCmd->add_option("--group", assessOpt.group, "common (the group box, default) or all buttons")
      ->check(CLI::IsMember({"common", "all"}));
  assessCmd->add_option("--answer", assessOpt.answer, "answer to every question (default yes)")
      ->check(CLI::IsMember({"yes", "no"}));
  assessCmd->add_option("--out", assessOpt.out,
                        "folder for the page, the table and the report files (default "
                        "assessment-DATE-TIME); must be new or empty");
  assessOpt.settings.AddTo(assessCmd);
  assessCmd->callback([&] { status = Assess(assessOpt, env); });

  AddToolCommands(app, env, status);
  AddRunCommands(app, env, status);

  auto topics = std::make_shared<std::vector<std::string>>();
  auto* help = app.add_subcommand("help", "what a command or a routine does");
  help->add_option("topic", *topics, "a command (\"recfile load\") or a routine");
  help->callback([&] { status = Help(app, *topics, env); });

  if (args.empty()) {
    *env.err << "talvor-cli: a command is needed; see talvor-cli --help\n";
    return kExitUsage;
  }
  if (args[0].empty() || args[0][0] != '-') {
    if (SubcommandOf(app, args[0]) == nullptr) {
      // "lst" would otherwise be taken for a stray argument: "A subcommand is required".
      *env.err << "talvor-cli: unknown command \"" << args[0] << "\""
               << Suggestion(args[0], CommandNames(app)) << "; see talvor-cli --help\n";
      return kExitUsage;
    }
  }

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    *env.out << app.help();
    return kExitOk;
  } catch (const CLI::CallForAllHelp&) {
    *env.out << app.help("", CLI::AppFormatMode::All);
    return kExitOk;
  } catch (const CLI::ExtrasError& e) {
    *env.err << "talvor-cli: " << ExtrasMessage(app, e) << "\n";
    return kExitUsage;
  } catch (const CLI::ParseError& e) {
    *env.err << "talvor-cli: " << e.what() << "; see talvor-cli " << CommandPath(app)
             << "--help\n";
    return kExitUsage;
  }
  return status;
}

}  // namespace talvor
