// The journal of one run: records, while a routine runs, every change it makes through the
// record-file engine and the SQL layer (each row's before- and after-image, taken by
// SQLite's pre-update hook, which also sees tables without a primary key), the settings,
// the questions and answers, the messages and the report files written. The journal is
// the file described in shell/journal/journal_file.h, in a folder of its own under
// `.talvor/runs/` of the working directory.
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
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "legacy/store_observer.h"
#include "journal/journal_file.h"
#include "platform/mapped_file.h"
#include "shell/text/dates.h"
#include "sqldb/connection_observer.h"

struct sqlite3_value;

namespace talvor::journal {

enum class RunMode { kRun, kDryRun, kUndo };

class RunJournal final : public RecordStoreObserver, public sqldb::ConnectionObserver {
 public:
  // Creates a new run folder under RunsDir(work_dir), named after `now` and `slug`, and
  // writes the journal's header. Returns null with *error saying what and where when the
  // folder or file cannot be created.
  static std::unique_ptr<RunJournal> Start(
      const std::filesystem::path& work_dir, const std::string& routine, const std::string& slug,
      RunMode mode, const DateTime& now,
      const std::vector<std::pair<std::string, std::string>>& settings, std::string* error);

  // A journal not finished (an exception between Start and Finish) ends as incomplete.
  ~RunJournal() override;
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  // From now until Finish, watches every record file and database the engine and the SQL
  // layer open. At most one journal watches.
  void Watch();

  // Records the changes made through `db`, a connection of the caller's own to the store
  // at `path`, until Detach(db). For undo, which writes without the engine or the layer.
  void Attach(sqlite3* db, StoreKind kind, const std::string& path);
  // Writes what is pending for `db` and removes the journal's hooks from it.
  void Detach(sqlite3* db);

  void NoteQuestion(const std::string& question, bool yes);
  void NoteMessage(const std::string& text);
  void NoteReport(const std::string& name);
  void Note(const std::string& text);
  void NoteUndoes(const std::string& id);
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

  // RecordStoreObserver / sqldb::ConnectionObserver.
  void OnStoreOpened(sqlite3* db, const std::string& path) override;
  void OnConnectionOpened(sqlite3* db, const std::filesystem::path& path) override;
  void OnRowUpdate(sqlite3* db, const std::string& table, std::int64_t rowid,
                   const std::vector<char>& assigned) override;

  // Hook plumbing; public only for the C callbacks.
  struct Attached {
    RunJournal* journal = nullptr;
    sqlite3* db = nullptr;
    int store = 0;
    StoreKind kind = StoreKind::kRecord;
    std::string pending;  // change lines not yet committed
    std::set<std::string> tables;
    std::string lastTable;                      // the table of the last change, already in `tables`
    std::vector<sqlite3_value*> before, after;  // the change being read, reused
    // Per table: which columns have a default other than NULL (see RecoverAddedColumns).
    std::map<std::string, std::vector<char>> defaults;
    std::string defaultsTable;  // the table of the last look-up, and its entry
    const std::vector<char>* lastDefaults = nullptr;
    std::vector<sqlite3_value*> owned;  // copies made for the change being read
    std::vector<char> same;  // per column of an update: the after value is the before value
    // The next UPDATE the SQL layer runs on this connection (OnRowUpdate): its table, row
    // and the columns it sets; "" when none is announced.
    std::string hintTable;
    long long hintRowid = 0;
    std::vector<char> hintAssigned;
    bool began = false;      // a dry run's transaction is open
    bool failedBegin = false;
  };
  void AddChange(Attached& a, const char* table, char op, long long oldRowid, long long newRowid,
                 const std::vector<sqlite3_value*>& before,
                 const std::vector<sqlite3_value*>& after);
  void Commit(Attached& a);
  void Refuse(const std::string& table);
  void DroppedTable(const std::string& table);

 private:
  RunJournal(std::filesystem::path workDir, std::filesystem::path dir, std::string id,
             RunMode mode)
      : workDir_(std::move(workDir)), dir_(std::move(dir)), id_(std::move(id)), mode_(mode) {}
  // `path` as the journal names it: relative to the working directory when it lies under
  // it, so that a copied site's journal names the copy's files.
  std::string Name(const std::filesystem::path& path) const;
  void Hook(sqlite3* db, StoreKind kind, const std::string& path);
  void Unhook(Attached& a);
  void WriteLine(const std::string& line);
  void Write(std::string_view bytes);
  int StoreId(StoreKind kind, const std::string& path);

  std::filesystem::path workDir_;  // canonical
  std::filesystem::path dir_;
  std::string id_;
  RunMode mode_;
  MappedAppender out_;
  bool watching_ = false;
  bool finished_ = false;
  std::string problem_;
  std::string refusal_;
  std::set<std::string> dropped_;
  std::map<std::string, int> stores_;
  std::vector<std::unique_ptr<Attached>> attached_;
};

}  // namespace talvor::journal
