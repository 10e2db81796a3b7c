#include "shell/run_protocol.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/form.h"
#include "journal/run_journal.h"
#include "shell/text/text.h"
#include "sqldb/database.h"

namespace talvor {

namespace {

std::string MessageOf(const std::exception& e) {
  // A filesystem error's text already names the path(s); keep it as it is.
  return ShowableText(e.what());
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

std::string OutcomeText(FileOutcome outcome, const std::string& why) {
  switch (outcome) {
    case FileOutcome::kDone:
      return "done";
    case FileOutcome::kDryRun:
      return "dry-run";
    case FileOutcome::kFailed:
      break;
  }
  return "failed: " + why;
}

// Around the window's front end for the length of a run: every question with its answer
// and every message go into the journal as they are shown.
class RecordingFrontend final : public Frontend {
 public:
  RecordingFrontend(Frontend& inner, journal::RunJournal& journal)
      : inner_(inner), journal_(journal) {}
  int AskYesNo(const std::string& text) override {
    const int answer = inner_.AskYesNo(text);
    journal_.NoteQuestion(text, answer == kAnswerYes);
    return answer;
  }
  void Notify(const std::string& text) override {
    journal_.NoteMessage(text);
    inner_.Notify(text);
  }
  void ShowStatus(const std::string& text) override { inner_.ShowStatus(text); }
  void ProcessMessages() override { inner_.ProcessMessages(); }
  void ShowError(const std::string& text) override { inner_.ShowError(text); }
  bool StopWanted() override { return inner_.StopWanted(); }

 private:
  Frontend& inner_;
  journal::RunJournal& journal_;
};

// Watches the run's report files and file operations: into the journal (when there is
// one), keeps the first report file that could not be written, and the report files
// written, to be copied into the run's folder at its end.
class RunFileWatcher final : public FileWatcher {
 public:
  RunFileWatcher(journal::RunJournal* journal, std::filesystem::path reportDir)
      : journal_(journal), reportDir_(std::move(reportDir)) {}
  void OnReportCreated(const std::string& name) override {
    if (journal_ == nullptr) return;
    journal_->NoteReport(name);
    for (const auto& written : reports_) {
      if (written.first == name) return;
    }
    reports_.emplace_back(name, reportDir_.empty() ? std::filesystem::path(name)
                                                   : reportDir_ / name);
  }
  // Each report file once, as the routine named it and where it was written.
  const std::vector<std::pair<std::string, std::filesystem::path>>& Reports() const {
    return reports_;
  }
  void OnReportFailed(const std::string& name, const std::string& why) override {
    (void)name;
    if (failure_.empty()) failure_ = why;
    if (journal_ != nullptr) journal_->Note(why);
  }
  void OnCopy(const std::filesystem::path& from, const std::filesystem::path& to, bool replaced,
              FileOutcome outcome, const std::string& why) override {
    if (journal_ != nullptr) journal_->NoteFileCopy(from, to, replaced, OutcomeText(outcome, why));
  }
  void OnDelete(const std::filesystem::path& path, FileOutcome outcome,
                const std::string& why) override {
    if (journal_ != nullptr) journal_->NoteFileDelete(path, OutcomeText(outcome, why));
  }
  const std::string& Failure() const { return failure_; }

 private:
  journal::RunJournal* journal_;
  std::filesystem::path reportDir_;
  std::vector<std::pair<std::string, std::filesystem::path>> reports_;
  std::string failure_;
};

// Puts the form's front end and file watch back as they were, whatever ends the run.
class RunScope {
 public:
  RunScope(TForm1& form, Frontend* recording, FileWatcher& watcher, bool dryRun,
           const std::filesystem::path& reportDir)
      : form_(form), previous_(form.frontend()) {
    if (recording != nullptr) form_.SetFrontend(*recording);
    form_.Files().Watch(&watcher, dryRun);
    form_.Files().SetReportFolder(reportDir);
  }
  ~RunScope() {
    form_.SetFrontend(previous_);
    form_.Files().Watch(nullptr, false);
    form_.Files().SetReportFolder({});
  }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

 private:
  TForm1& form_;
  Frontend& previous_;
};

}  // namespace

RunOutcome RunRoutine(TForm1& form, const RoutineEntry& entry, RunKind kind,
                      const RunPlace& place) {
  RunOutcome outcome;
  std::unique_ptr<journal::RunJournal> journal;
  if (kind == RunKind::kDryRun || JournalWanted()) {
    std::string problem;
    journal = journal::RunJournal::Start(
        std::filesystem::current_path(), entry.caption, entry.Slug(),
        kind == RunKind::kDryRun ? journal::RunMode::kDryRun : journal::RunMode::kRun,
        form.clock().Now(), SettingsOf(form), &problem, place.runsDir);
    if (!journal) {
      // A run whose changes could not be recorded could not be undone either.
      outcome.error = ShowableText(
          kind == RunKind::kDryRun
              ? problem + "; the dry run was not started"
              : problem +
                    "; the run was not started, so that nothing is changed that could not be "
                    "undone (to run without a journal on purpose, set TALVOR_JOURNAL=off)");
      form.frontend().ShowError(outcome.error);
      return outcome;
    }
    journal->Watch();
  }
  RunFileWatcher files(journal.get(), place.reportDir);
  std::unique_ptr<RecordingFrontend> recording;
  if (journal) recording = std::make_unique<RecordingFrontend>(form.frontend(), *journal);
  {
    RunScope scope(form, recording.get(), files, kind == RunKind::kDryRun, place.reportDir);
    try {
      entry.Run(form);
      outcome.completed = true;
    } catch (const RunStopped& e) {
      outcome.stopped = true;
      outcome.error = e.what();
    } catch (const std::exception& e) {
      outcome.error = MessageOf(e);
    } catch (...) {
      outcome.error = "The routine ended on an unknown error";
    }
    // Close components before showing the message: the operator may start the next
    // routine right after acknowledging it.
    try {
      form.ResetComponents();
    } catch (const std::exception& e) {
      if (outcome.completed) {
        outcome.completed = false;
        outcome.error = MessageOf(e);
      }
    }
    if (outcome.completed && !files.Failure().empty()) {
      outcome.completed = false;
      outcome.error = ShowableText(files.Failure());
    }
  }
  if (journal) {
    if (!outcome.completed && !journal->Refusal().empty()) {
      outcome.error = journal->Refusal() + " (" + outcome.error + ")";
    }
    // Once the report files are closed (the routine has returned): the run's folder keeps
    // what it wrote, whatever later runs write under the same names.
    for (const auto& [name, path] : files.Reports()) journal->KeepReportCopy(path, name);
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
