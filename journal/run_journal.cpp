#include "journal/run_journal.h"

#include <charconv>
#include <cstring>
#include <system_error>

#include "legacy/capture.h"
#include "shell/text/text.h"
#include "sqldb/capture.h"

namespace talvor::journal {
namespace fs = std::filesystem;

namespace {

std::string Stamp(const DateTime& t, bool forFolder) {
  const std::string date = std::to_string(t.date.year) + (forFolder ? "" : "-") +
                           TwoDigits(static_cast<std::uint16_t>(t.date.month)) + (forFolder ? "" : "-") + TwoDigits(static_cast<std::uint16_t>(t.date.day));
  const std::string sep = forFolder ? "" : ":";
  return date + (forFolder ? "-" : " ") + TwoDigits(static_cast<std::uint16_t>(t.hour)) + sep + TwoDigits(static_cast<std::uint16_t>(t.minute)) + sep +
         TwoDigits(static_cast<std::uint16_t>(t.second));
}

std::string ModeName(RunMode mode) {
  switch (mode) {
    case RunMode::kRun:
      return "run";
    case RunMode::kDryRun:
      return "dry-run";
    case RunMode::kUndo:
      return "undo";
  }
  return "run";
}

// A number as printf's %lld writes it, without printf's parsing of a format.
void AppendInteger(std::string& out, long long value) {
  char buffer[24];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
}

// A cell as a change line holds it (FormatCell of the cell, escaped), straight from the
// view: the journal writes every changed row so.
void AppendCell(std::string& out, const CellView& v) {
  switch (v.kind) {
    case Cell::Kind::kNull:
      out += static_cast<char>(Cell::Kind::kNull);
      return;
    case Cell::Kind::kInteger:
      out += static_cast<char>(Cell::Kind::kInteger);
      AppendInteger(out, static_cast<long long>(v.integer));
      return;
    case Cell::Kind::kFloat:
      out += static_cast<char>(Cell::Kind::kFloat);
      AppendReal(out, v.real);
      return;
    case Cell::Kind::kText:
    case Cell::Kind::kBlob:
      out += static_cast<char>(v.kind);
      AppendEscaped(out, v.bytes);
      return;
  }
}

// Moves the lines of `from` to the end of `to`, leaving `from` empty; both keep their room
// for the next change, so that a change in a run of autocommit writes is copied once.
void MoveLines(std::string& from, std::string& to) {
  if (to.empty()) {
    to.swap(from);
  } else {
    to += from;
  }
  from.clear();
}

}  // namespace

std::unique_ptr<RunJournal> RunJournal::Start(
    const fs::path& work_dir, const std::string& routine, const std::string& slug, RunMode mode,
    const DateTime& now, const std::vector<std::pair<std::string, std::string>>& settings,
    std::string* error, const fs::path& runs_dir) {
  const fs::path runs = runs_dir.empty() ? RunsDir(work_dir) : runs_dir;
  std::error_code ec;
  fs::create_directories(runs, ec);
  if (ec) {
    *error = "Cannot create the run journal folder " + runs.string() + ": " + ec.message();
    return nullptr;
  }
  const std::string stamp = Stamp(now, true);
  // Runs begun in the same second are numbered, whatever their routine, so that folder
  // names sort in the order the runs began.
  std::set<std::string> taken;
  for (const auto& entry : fs::directory_iterator(runs, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, stamp.size(), stamp) == 0)
      taken.insert(name.substr(0, name.find('-', stamp.size())));
  }
  std::string id;
  for (int n = 1; n < 100000 && id.empty(); ++n) {
    const std::string prefix = stamp + (n == 1 ? "" : "." + std::to_string(n));
    if (taken.count(prefix) != 0) continue;
    id = prefix + "-" + slug;
    if (!fs::create_directory(runs / id, ec)) {
      if (ec) {
        *error = "Cannot create the run folder " + (runs / id).string() + ": " + ec.message();
        return nullptr;
      }
      id.clear();
    }
  }
  if (id.empty()) {
    *error = "Cannot create a run folder in " + runs.string();
    return nullptr;
  }
  const fs::path dir = runs / id;
  fs::path workDir = fs::weakly_canonical(fs::absolute(work_dir, ec), ec);
  if (ec) workDir = work_dir;
  std::unique_ptr<RunJournal> journal(new RunJournal(workDir, dir, id, mode));
  if (!journal->out_.Create(dir / kJournalFileName, error)) {
    *error = "Cannot create the run journal: " + *error;
    return nullptr;
  }
  journal->WriteLine("talvor-journal\t1");
  journal->WriteLine("routine\t" + Escape(routine));
  journal->WriteLine("slug\t" + Escape(slug));
  journal->WriteLine("mode\t" + ModeName(mode));
  journal->WriteLine("started\t" + Stamp(now, false));
  for (const auto& [name, value] : settings) {
    journal->WriteLine("setting\t" + Escape(name) + "\t" + Escape(value));
  }
  if (!journal->problem_.empty()) {
    *error = journal->problem_;
    return nullptr;
  }
  return journal;
}

RunJournal::~RunJournal() {
  if (!finished_) Finish(false, "the run was abandoned");
  out_.Close();
}

void RunJournal::Watch() {
  watching_ = true;
  const CaptureMode mode = mode_ == RunMode::kDryRun ? CaptureMode::kDryRun : CaptureMode::kRecord;
  CaptureRecordFiles(this, mode);
  sqldb::CaptureDatabases(this, mode);
}

std::string RunJournal::Name(const fs::path& path) const {
  if (IsServerStore(path.string())) return path.string();
  std::error_code ec;
  const fs::path absolute = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (ec) return path.string();
  const fs::path relative = absolute.lexically_relative(workDir_);
  if (relative.empty() || *relative.begin() == ".." || relative.is_absolute()) {
    return absolute.string();
  }
  return relative.generic_string();
}

int RunJournal::OnStore(StoreKind kind, const std::string& path) {
  const std::string name = Name(path);
  auto [it, added] = stores_.emplace(name, static_cast<int>(stores_.size()) + 1);
  if (added) {
    pending_.emplace_back();
    WriteLine("store\t" + std::to_string(it->second) + "\t" +
              (kind == StoreKind::kRecord ? "record" : "sql") + "\t" + Escape(name));
  }
  return it->second;
}

RunJournal::Pending& RunJournal::PendingOf(int store) {
  return pending_.at(static_cast<std::size_t>(store - 1));
}

void RunJournal::OnTable(int store, std::string_view table,
                         std::span<const std::string> columns) {
  if (columns_.size() >= 1000) return;
  columns_.try_emplace({store, std::string(table)}, columns.begin(), columns.end());
}

void RunJournal::OnChange(int store, const ChangeView& c) {
  std::string& line = PendingOf(store).running;
  line += "change\t";
  AppendInteger(line, store);
  line += '\t';
  AppendEscaped(line, c.table);
  line += '\t';
  line += static_cast<char>(c.op);
  for (long long number : {static_cast<long long>(c.oldRowid), static_cast<long long>(c.newRowid),
                           static_cast<long long>(c.before.size()),
                           static_cast<long long>(c.after.size())}) {
    line += '\t';
    AppendInteger(line, number);
  }
  for (const CellView& value : c.before) {
    line += '\t';
    AppendCell(line, value);
  }
  for (std::size_t i = 0; i < c.after.size(); ++i) {
    line += '\t';
    if (i < c.same.size() && c.same[i]) {
      line += kSameCell;
    } else {
      AppendCell(line, c.after[i]);
    }
  }
  line += '\n';
}

void RunJournal::OnCommit(int store) {
  Pending& pending = PendingOf(store);
  // An autocommit statement commits before it ends: its changes go with the commit.
  MoveLines(pending.running, pending.ended);
  if (pending.ended.empty()) return;
  if (!out_.Append(pending.ended) && problem_.empty()) {
    problem_ = "a change could not be written to " + dir_.string();
  }
  pending.ended.clear();
}

void RunJournal::OnRollback(int store) {
  Pending& pending = PendingOf(store);
  pending.ended.clear();
  pending.running.clear();
}

void RunJournal::OnStatementEnd(int store, bool kept) {
  Pending& pending = PendingOf(store);
  if (kept) MoveLines(pending.running, pending.ended);
  pending.running.clear();
  // In a dry run nothing commits; a statement's changes are written when it has ended well.
  if (mode_ == RunMode::kDryRun) OnCommit(store);
}

void RunJournal::OnDropTable(int, std::string_view table, bool refused) {
  const std::string name(table);
  if (refused) {
    refusal_ = "Dry run: the routine wanted to drop the table \"" + name +
               "\", which cannot be taken back; the statement was not run";
    Note(refusal_);
    return;
  }
  if (dropped_.insert(name).second) {
    Note("the table \"" + name +
         "\" may have been dropped by this run; its rows are not in the journal and an undo "
         "cannot bring them back");
  }
}

void RunJournal::OnNote(int store, const std::string& text) {
  for (const auto& [name, id] : stores_) {
    if (id == store) Note(name + ": " + text);
  }
}

void RunJournal::WriteLine(const std::string& line) {
  Write(line);
  Write("\n");
}

void RunJournal::Write(std::string_view bytes) {
  if (!out_.Append(bytes) && problem_.empty()) {
    problem_ = "the journal " + dir_.string() + " could not be written";
  }
}

void RunJournal::NoteQuestion(const std::string& question, bool yes) {
  WriteLine("ask\t" + Escape(question) + "\t" + (yes ? "yes" : "no"));
}

void RunJournal::NoteMessage(const std::string& text) {
  WriteLine("notify\t" + Escape(text));
}

void RunJournal::NoteReport(const std::string& name) {
  WriteLine("report\t" + Escape(name));
}

void RunJournal::Note(const std::string& text) {
  WriteLine("note\t" + Escape(text));
}

bool RunJournal::KeepReportCopy(const fs::path& file, const std::string& name) {
  const fs::path copy = ReportCopyPath(dir_, name);
  std::error_code ec;
  fs::create_directories(copy.parent_path(), ec);
  if (!ec) fs::copy_file(file, copy, fs::copy_options::overwrite_existing, ec);
  if (!ec) return true;
  Note("report file " + name + " was not kept with the run: " + ec.message());
  return false;
}

void RunJournal::NoteUndoes(const std::string& id) {
  WriteLine("undoes\t" + Escape(id));
}

void RunJournal::NoteFileCopy(const fs::path& from, const fs::path& to, bool replaced,
                              const std::string& outcome) {
  WriteLine("file\tcopy\t" + Escape(Name(from)) + "\t" + Escape(Name(to)) + "\t" +
            (replaced ? "replaced" : "new") + "\t" + Escape(outcome));
}

void RunJournal::NoteFileDelete(const fs::path& path, const std::string& outcome) {
  WriteLine("file\tdelete\t" + Escape(Name(path)) + "\t" + Escape(outcome));
}

bool RunJournal::Finish(bool completed, const std::string& error) {
  if (finished_) return problem_.empty();
  finished_ = true;
  WriteLine(completed ? std::string("outcome\tcompleted") : "outcome\terror\t" + Escape(error));
  if (watching_) {
    // A dry run's transactions are rolled back here.
    CaptureRecordFiles(nullptr);
    sqldb::CaptureDatabases(nullptr);
    watching_ = false;
  }
  for (std::size_t store = 1; store <= pending_.size(); ++store) {
    OnCommit(static_cast<int>(store));
  }
  // Column names, so that the changes report can name what changed.
  for (const auto& [where, names] : columns_) {
    std::string line = "columns\t" + std::to_string(where.first) + "\t" + Escape(where.second);
    for (const std::string& name : names) line += "\t" + Escape(name);
    WriteLine(line);
  }
  if (problem_.empty()) {
    WriteLine("end\tcomplete");
  } else {
    WriteLine("end\tincomplete\t" + Escape(problem_));
  }
  if (!out_.Close() && problem_.empty()) {
    problem_ = "the journal " + dir_.string() + " could not be written";
  }
  return problem_.empty();
}

}  // namespace talvor::journal
