// The journal of one run: records, while a routine runs, every change it makes through the
// record-file engine and the SQL layer (each record's and row's before- and after-image, as
// the storage layers tell them through the change seam of platform/change.h), the
// settings, the questions and answers, the messages, the report files written and the
// files copied or deleted. The journal is the file described in journal/journal_file.h, in
// a folder of its own under `.talvor/runs/` of the working directory.
//
// Changes of a committed write reach the file before the write commits, so a run that is
// killed leaves every change it made. A dry run keeps every store it touches inside one
// transaction that Finish rolls back: the journal then shows what the run would have done.
//
// Single-threaded: the thread that runs routines owns the journal.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "journal/journal_file.h"
#include "platform/change.h"
#include "platform/mapped_file.h"
#include "shell/text/dates.h"

namespace talvor::journal {

enum class RunMode { kRun, kDryRun, kUndo };

class RunJournal final : public ChangeSink {
 public:
  // Creates a new run folder under `runs_dir` (empty: RunsDir(work_dir)), named after `now`
  // and `slug`, and writes the journal's header. Store names are relative to `work_dir`
  // wherever the folder is. Returns null with *error saying what and where when the folder
  // or file cannot be created.
  static std::unique_ptr<RunJournal> Start(
      const std::filesystem::path& work_dir, const std::string& routine, const std::string& slug,
      RunMode mode, const DateTime& now,
      const std::vector<std::pair<std::string, std::string>>& settings, std::string* error,
      const std::filesystem::path& runs_dir = {});

  // A journal not finished (an exception between Start and Finish) ends as incomplete.
  ~RunJournal() override;
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  // From now until Finish, watches every record file and database the engine and the SQL
  // layer have open or open (legacy/capture.h, sqldb/capture.h); a dry run's stores are
  // kept inside a transaction. At most one journal watches.
  void Watch();

  void NoteQuestion(const std::string& question, bool yes);
  void NoteMessage(const std::string& text);
  void NoteReport(const std::string& name);
  void Note(const std::string& text);
  void NoteUndoes(const std::string& id);
  // Keeps a copy of the report file `file`, which the routine named `name`, in the run's
  // folder (ReportCopyPath). A copy that cannot be made is noted in the journal (the run
  // and its report stand); false then.
  bool KeepReportCopy(const std::filesystem::path& file, const std::string& name);
  // A file copied or deleted by the run (paths as in store lines). `outcome` is "done",
  // "dry-run" (not tried) or "failed: WHY".
  void NoteFileCopy(const std::filesystem::path& from, const std::filesystem::path& to,
                    bool replaced, const std::string& outcome);
  void NoteFileDelete(const std::filesystem::path& path, const std::string& outcome);

  // Ends the run: column names of every table changed, the outcome, (dry run) the rollback
  // of every store, and the end line, "end complete" unless a write of the journal failed.
  // Stops watching. Returns true when the journal is complete.
  bool Finish(bool completed, const std::string& error);

  // A dry run refused a statement: the message that says so, else "".
  const std::string& Refusal() const { return refusal_; }
  // Why the journal is not complete ("" while every write succeeded).
  const std::string& Problem() const { return problem_; }
  const std::string& Id() const { return id_; }
  const std::filesystem::path& Dir() const { return dir_; }
  RunMode Mode() const { return mode_; }

  // ChangeSink: what the storage layers tell.
  int OnStore(StoreKind kind, const std::string& path) override;
  void OnTable(int store, std::string_view table, std::span<const std::string> columns) override;
  void OnChange(int store, const ChangeView& change) override;
  void OnCommit(int store) override;
  void OnRollback(int store) override;
  void OnStatementEnd(int store, bool kept) override;
  void OnDropTable(int store, std::string_view table, bool refused) override;
  void OnNote(int store, const std::string& text) override;

 private:
  RunJournal(std::filesystem::path workDir, std::filesystem::path dir, std::string id,
             RunMode mode)
      : workDir_(std::move(workDir)), dir_(std::move(dir)), id_(std::move(id)), mode_(mode) {}
  // `path` as the journal names it: relative to the working directory when it lies under
  // it, so that a copied site's journal names the copy's files.
  std::string Name(const std::filesystem::path& path) const;
  void WriteLine(const std::string& line);
  void Write(std::string_view bytes);

  std::filesystem::path workDir_;  // canonical
  std::filesystem::path dir_;
  std::string id_;
  RunMode mode_;
  platform::MappedAppender out_;
  bool watching_ = false;
  bool finished_ = false;
  std::string problem_;
  std::string refusal_;
  std::set<std::string> dropped_;
  std::map<std::string, int> stores_;  // by name, as the journal names them
  // Per store (id - 1): change lines of statements that ended, not yet committed, and of the
  // statement still running.
  struct Pending {
    std::string ended;
    std::string running;
  };
  std::vector<Pending> pending_;
  Pending& PendingOf(int store);
  // Column names of the tables changed, by store and table, written at the end.
  std::map<std::pair<int, std::string>, std::vector<std::string>> columns_;
};

}  // namespace talvor::journal
