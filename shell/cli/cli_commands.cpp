#include "shell/cli/cli_commands.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <exception>
#include <memory>
#include <ostream>

#include "legacy/recfile_tool.h"
#include "legacy/site_export.h"
#include "tools/demo/demo_site.h"
#include "routines/registry.h"
#include "shell/text/text.h"
#include "sqldb/transfer.h"

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

struct DbArgs {
  std::string name, from, to;
  bool replace = false;
};

// Runs `work`, printing an Error or other failure as the command's message.
template <typename Work>
int Reported(const CliEnvironment& env, Work work) {
  try {
    return work();
  } catch (const std::exception& e) {
    *env.err << "talvor-cli: " << e.what() << "\n";
    return kExitFailed;
  }
}

// The routines whose description names `table` as a whole word.
std::string RoutinesNaming(const CliEnvironment& env, std::string_view table) {
  std::string names;
  for (const RoutineEntry* e : env.registry) {
    const std::string_view text = DescriptionOf(*e);
    for (std::size_t at = text.find(table); at != std::string_view::npos;
         at = text.find(table, at + 1)) {
      const auto isWordByte = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
      const bool before = at == 0 || !isWordByte(text[at - 1]);
      const std::size_t end = at + table.size();
      if (before && (end == text.size() || !isWordByte(text[end]))) {
        names += (names.empty() ? "" : ", ") + std::string(e->caption);
        break;
      }
    }
  }
  return names.empty() ? "none of the routines" : names;
}

void AddDb(CLI::App& app, const CliEnvironment& env, int& status, std::shared_ptr<DbArgs> a) {
  auto* db = app.add_subcommand("db", "agency databases");
  db->require_subcommand(1);
  auto* init = db->add_subcommand(
      "init", "an empty agency database with the catalog's tables (a new file, or a server)");
  init->add_option("NAME", a->name, "a new SQLite file, or odbc:..., an alias or a data source")
      ->required();
  init->callback([&status, &env, a] {
    status = Reported(env, [&] {
      sqldb::InitAgencyDatabase(a->name);
      *env.out << "created agency database " << HidePasswords(a->name) << "\n";
      return kExitOk;
    });
  });

  auto* copy = db->add_subcommand("copy", "every table of FROM, with its rows and indexes, into TO");
  copy->add_option("FROM", a->from)->required();
  copy->add_option("TO", a->to)->required();
  copy->add_flag("--replace", a->replace, "replace the tables TO already holds");
  copy->callback([&status, &env, a] {
    status = Reported(env, [&] {
      const auto progress = [&env](const std::string& table, std::int64_t rows) {
        if (env.outIsTerminal) *env.out << "\r" << table << ": " << rows << " rows\x1b[K" << std::flush;
      };
      const std::vector<sqldb::CopiedTable> tables =
          sqldb::CopyDatabase(a->from, a->to, a->replace, progress);
      if (env.outIsTerminal) *env.out << "\r\x1b[K";
      std::int64_t rows = 0;
      for (const sqldb::CopiedTable& t : tables) {
        *env.out << t.name << ": " << t.rows << " rows, " << t.indexes << " indexes\n";
        rows += t.rows;
      }
      *env.out << "copied " << tables.size() << " tables, " << rows << " rows from "
               << HidePasswords(a->from) << " to " << HidePasswords(a->to) << "\n";
      return kExitOk;
    });
  });

  auto* check = db->add_subcommand(
      "check", "the catalog's tables and columns that NAME lacks or types otherwise");
  check->add_option("NAME", a->name)->required();
  check->callback([&status, &env, a] {
    status = Reported(env, [&] {
      const std::vector<sqldb::DatabaseGap> gaps = sqldb::CheckDatabase(a->name);
      for (const sqldb::DatabaseGap& g : gaps) {
        if (g.column.empty()) {
          *env.out << "table " << g.table << " is missing";
        } else if (g.found.empty()) {
          *env.out << "column " << g.table << "." << g.column << " is missing (" << g.expected << ")";
        } else {
          *env.out << "column " << g.table << "." << g.column << " is " << g.found << ", expected "
                   << g.expected;
        }
        *env.out << "; affects " << RoutinesNaming(env, g.table) << "\n";
      }
      *env.out << HidePasswords(a->name) << ": "
               << (gaps.empty() ? std::string("every table and column of the catalog is there")
                                : std::to_string(gaps.size()) + " gaps")
               << "\n";
      return gaps.empty() ? kExitOk : kExitFailed;
    });
  });
}

struct SiteArgs {
  std::string from, to;
};

void AddSite(CLI::App& app, const CliEnvironment& env, int& status, std::shared_ptr<SiteArgs> a) {
  auto* site = app.add_subcommand("site", "a site's legacy files as a folder of exports");
  site->require_subcommand(1);
  auto* import = site->add_subcommand(
      "import", "every known legacy file's sequential export in EXPORTS into record files in DATA");
  import->add_option("EXPORTS", a->from)->required();
  import->add_option("DATA", a->to)->required();
  import->callback([&status, &env, a] {
    status = recfile::ImportSite(a->from, a->to, *env.out, *env.err);
  });
  auto* exports = site->add_subcommand(
      "export", "every known legacy file of DATA as a sequential export in EXPORTS");
  exports->add_option("DATA", a->from)->required();
  exports->add_option("EXPORTS", a->to)->required();
  exports->callback([&status, &env, a] {
    status = recfile::ExportSite(a->from, a->to, *env.out, *env.err);
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
  AddDb(app, env, status, std::make_shared<DbArgs>());
  AddSite(app, env, status, std::make_shared<SiteArgs>());
  AddDemo(app, env, status, std::make_shared<DemoArgs>());
}

}  // namespace talvor
