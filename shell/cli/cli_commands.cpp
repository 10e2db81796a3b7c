#include "shell/cli/cli_commands.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <memory>
#include <ostream>

#include "legacy/recfile_tool.h"
#include "tools/demo/demo_site.h"
#include "sqldb/catalog.h"

namespace talvor {

namespace {

struct RecfileOptions {
  std::string file, data;
  std::string format = "seq";
  recfile::CreateOptions create;
  int key = 0;
  bool replace = false;  // load --replace
  bool add = false;      // load --add
  bool force = false;    // save --force
};

// Runs `body` unless the format option is bad.
int WithFormat(const RecfileOptions& o, const CliEnvironment& env,
               int (*body)(const RecfileOptions&, recfile::RecordFormat, const CliEnvironment&)) {
  const auto format = recfile::ParseRecordFormat(o.format);
  if (!format) {
    *env.err << "talvor-cli: unknown record format \"" << o.format << "\" (seq or lines)\n";
    return kExitUsage;
  }
  return body(o, *format, env);
}

void AddRecfile(CLI::App& app, const CliEnvironment& env, int& status,
                std::shared_ptr<RecfileOptions> o) {
  auto* recfile =
      app.add_subcommand("recfile", "create, load, save, dump and inspect record files");
  recfile->require_subcommand(1);

  auto* create = recfile->add_subcommand("create", "create an empty record file");
  create->add_option("FILE", o->file)->required();
  auto* like = create->add_option("--like", o->create.like, "take length and keys of a known file");
  create->add_option("--length", o->create.length, "record length")->excludes(like);
  create->add_option("--key", o->create.keys, "key as OFF:LEN[:dup], key 0 first")->excludes(like);
  create->callback(
      [&status, &env, o] { status = recfile::Create(o->file, o->create, *env.out, *env.err); });

  auto* load = recfile->add_subcommand("load", "load the records of INPUT in one transaction");
  load->add_option("FILE", o->file)->required();
  load->add_option("INPUT", o->data)->required();
  load->add_option("--format", o->format, "seq or lines");
  auto* replace = load->add_flag("--replace", o->replace, "replace the records FILE holds");
  load->add_flag("--add", o->add, "add to the records FILE holds")->excludes(replace);
  load->callback([&status, &env, o] {
    status = WithFormat(
        *o, env, [](const RecfileOptions& opt, recfile::RecordFormat f, const CliEnvironment& e) {
          const LoadMode mode = opt.replace ? LoadMode::kReplace
                                : opt.add   ? LoadMode::kAdd
                                            : LoadMode::kIntoEmpty;
          return recfile::Load(opt.file, opt.data, f, *e.out, *e.err, mode);
        });
  });

  auto* save = recfile->add_subcommand("save", "write every record to OUTPUT");
  save->add_option("FILE", o->file)->required();
  save->add_option("OUTPUT", o->data)->required();
  save->add_option("--format", o->format, "seq or lines");
  save->add_flag("--force", o->force, "replace an existing OUTPUT (never a record file)");
  save->callback([&status, &env, o] {
    status = WithFormat(
        *o, env, [](const RecfileOptions& opt, recfile::RecordFormat f, const CliEnvironment& e) {
          return recfile::Save(opt.file, opt.data, f, *e.out, *e.err, opt.force);
        });
  });

  auto* dump = recfile->add_subcommand("dump", "print keys and records readably");
  dump->add_option("FILE", o->file)->required();
  dump->add_option("--key", o->key, "key number");
  dump->callback(
      [&status, &env, o] { status = recfile::Dump(o->file, o->key, *env.out, *env.err); });

  auto* stat = recfile->add_subcommand("stat", "record length, keys and record count");
  stat->add_option("FILE", o->file)->required();
  stat->callback([&status, &env, o] { status = recfile::Stat(o->file, *env.out, *env.err); });
}

void AddDb(CLI::App& app, const CliEnvironment& env, int& status,
           std::shared_ptr<std::string> file) {
  auto* db = app.add_subcommand("db", "agency databases");
  db->require_subcommand(1);
  auto* init = db->add_subcommand("init", "an empty agency database with the catalog's tables");
  init->add_option("FILE", *file)->required();
  init->callback([&status, &env, file] {
    try {
      sqldb::CreateAgencyDatabase(*file);
      *env.out << "created agency database " << *file << "\n";
      status = kExitOk;
    } catch (const std::exception& e) {
      *env.err << "talvor-cli: " << e.what() << "\n";
      status = kExitFailed;
    }
  });
}

struct DemoArgs {
  std::string dir;
  int clients = DemoOptions{}.clients;
};

void AddDemo(CLI::App& app, const CliEnvironment& env, int& status, std::shared_ptr<DemoArgs> a) {
  auto* demo = app.add_subcommand("demo", "a demo site with typical conversion defects");
  demo->add_option("DIR", a->dir)->required();
  demo->add_option("--clients", a->clients, "clients over both agencies")
      ->check(CLI::Range(1, 10000000));
  demo->callback([&status, &env, a] {
    try {
      DemoOptions options;
      options.clients = a->clients;
      const DemoSummary s = BuildDemoSite(a->dir, options);
      *env.out << "demo site in " << a->dir << ": " << s.clients << " clients, " << s.apRecords
               << " agency master records, " << s.contacts << " contacts, " << s.policyTerms
               << " policy terms, " << s.invoiceRecords << " invoice records, " << s.sqlRows
               << " database rows\n";
      status = kExitOk;
    } catch (const std::exception& e) {
      *env.err << "talvor-cli: " << e.what() << "\n";
      status = kExitFailed;
    }
  });
}

}  // namespace

void AddToolCommands(CLI::App& app, const CliEnvironment& env, int& status) {
  AddRecfile(app, env, status, std::make_shared<RecfileOptions>());
  AddDb(app, env, status, std::make_shared<std::string>());
  AddDemo(app, env, status, std::make_shared<DemoArgs>());
}

}  // namespace talvor
