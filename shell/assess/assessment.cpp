#include "shell/assess/assessment.h"

#include <chrono>
#include <fstream>
#include <system_error>

#include "journal/changes_report.h"
#include "platform/change.h"
#include "shell/assess/assessment_page.h"
#include "shell/form.h"
#include "shell/frontend.h"
#include "shell/run_protocol.h"
#include "shell/text/messages.h"

namespace talvor::assess {

namespace fs = std::filesystem;

namespace {

// How many changes each routine's listing shows: enough to see what kind of change it
// would make; the counts say how many there are.
constexpr std::size_t kListedChanges = 200;

// The person at the keyboard, for an assessment: every question gets the same answer, and
// messages are only counted (the journal keeps them); nothing waits for anyone.
class AssessFrontend final : public Frontend {
 public:
  AssessFrontend(bool answerYes, Progress* progress) : yes_(answerYes), progress_(progress) {}
  int AskYesNo(const std::string&) override { return yes_ ? kAnswerYes : kAnswerNo; }
  void Notify(const std::string&) override {}
  void ShowStatus(const std::string&) override { Tick(); }
  void ProcessMessages() override { Tick(); }
  void ShowError(const std::string&) override {}
  bool StopWanted() override { return progress_ != nullptr && progress_->StopWanted(); }

 private:
  void Tick() {
    if (progress_ != nullptr) progress_->Tick();
  }
  bool yes_;
  Progress* progress_;
};

std::string Stamp(const DateTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", t.date.year, t.date.month,
                t.date.day, t.hour, t.minute, t.second);
  return text;
}

long long LinesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  long long lines = 0;
  char last = '\n';
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer), in.gcount() > 0) {
    const std::streamsize n = in.gcount();
    for (std::streamsize i = 0; i < n; ++i) lines += buffer[i] == '\n';
    last = buffer[n - 1];
  }
  return lines + (last != '\n' ? 1 : 0);
}

// Makes the assessment's folder: a new one, or one that exists and is empty.
bool MakeFolder(const fs::path& dir, std::string* error) {
  std::error_code ec;
  if (fs::exists(dir, ec)) {
    if (!fs::is_directory(dir, ec) || !fs::is_empty(dir, ec)) {
      *error = "The assessment folder " + dir.string() +
               " is there already and is not empty; name another with --out";
      return false;
    }
    return true;
  }
  fs::create_directories(dir, ec);
  if (ec) {
    *error = "Cannot create the assessment folder " + dir.string() + ": " + ec.message();
    return false;
  }
  return true;
}

fs::path DefaultFolder(const fs::path& site, const DateTime& now) {
  const fs::path first = site / ("assessment-" + Stamp(now));
  fs::path dir = first;
  std::error_code ec;
  for (int n = 2; fs::exists(dir, ec); ++n) dir = first.string() + "." + std::to_string(n);
  return dir;
}

// What the run's journal says the routine would have done.
void ReadFindings(const journal::RunRecord& run, const fs::path& site, const fs::path& outDir,
                  const fs::path& reportDir, RoutineFindings& f) {
  for (const auto& [key, count] : run.counts) {
    const journal::Store* store = run.FindStore(key.first);
    const bool record = store == nullptr || store->kind == StoreKind::kRecord;
    f.changes.push_back({store != nullptr ? store->path : "?", record ? "" : key.second, count});
    (record ? f.records : f.rows) += count.Total();
  }
  MessageTally messages;
  for (const journal::Event& e : run.events) {
    if (e.tag == "notify" && !e.fields.empty()) {
      messages.Add(e.fields[0]);
    } else if (e.tag == "ask" && e.fields.size() >= 2) {
      f.questions.emplace_back(e.fields[0], e.fields[1] == "yes");
    } else if (e.tag == "file") {
      f.fileOperations.push_back(journal::EventLine(e, site));
    }
  }
  for (const MessageTally::Entry& m : messages.Entries()) f.messages.emplace_back(m.text, m.count);
  f.messageCount = messages.Total();
  for (const std::string& name : journal::ReportFiles(run)) {
    const fs::path file = reportDir / name;
    RoutineFindings::Report report{name, fs::relative(file, outDir).generic_string(), 0};
    report.lines = LinesOf(file);
    f.reports.push_back(std::move(report));
  }
}

RoutineFindings AssessOne(const RoutineEntry& entry, const SiteSettings& settings,
                          const Options& options, const fs::path& site, const fs::path& outDir,
                          const Clock& clock, Progress* progress) {
  RoutineFindings f;
  f.caption = entry.caption;
  f.slug = entry.Slug();
  const fs::path reportDir = outDir / f.slug;
  const fs::path runsDir = outDir / "runs";
  std::error_code ec;
  fs::create_directories(reportDir, ec);
  if (ec) {
    f.ended = Ended::kError;
    f.error = "Cannot create the folder " + reportDir.string() + ": " + ec.message();
    return f;
  }

  AssessFrontend frontend(options.answerYes, progress);
  // A form of its own: whatever a routine changes of the form (date settings, disabled
  // buttons) does not reach the next one.
  TForm1 form(frontend, clock);
  form.ApplySettings(settings);
  const auto began = std::chrono::steady_clock::now();
  const RunOutcome outcome = RunRoutine(form, entry, RunKind::kDryRun, {runsDir, reportDir});
  f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  f.ended = outcome.completed ? Ended::kCompleted
            : outcome.stopped ? Ended::kStopped
                              : Ended::kError;
  f.error = outcome.error;
  if (outcome.runId.empty()) return f;

  const fs::path runDir = runsDir / outcome.runId;
  std::string problem;
  std::optional<journal::RunRecord> run = journal::ReadRun(runDir, &problem, 0);
  if (!run) {
    f.ended = Ended::kError;
    f.error = "The dry run's journal cannot be read: " + problem;
  } else {
    ReadFindings(*run, site, outDir, reportDir, f);
    if (run->changeCount > 0) {
      const fs::path listing = outDir / "changes" / (f.slug + ".txt");
      fs::create_directories(listing.parent_path(), ec);
      std::ofstream out(listing, std::ios::binary | std::ios::trunc);
      journal::ShowRun(out, *run, site, kListedChanges);
      if (out.flush()) f.changesLink = fs::relative(listing, outDir).generic_string();
    }
  }
  // A journal of a large dry run holds hundreds of megabytes of images that the counts
  // and the listing already tell.
  fs::remove_all(runDir, ec);
  if (fs::is_empty(reportDir, ec)) fs::remove(reportDir, ec);
  return f;
}

}  // namespace

const char* EndedName(Ended ended) {
  switch (ended) {
    case Ended::kCompleted:
      return "completed";
    case Ended::kError:
      return "error";
    case Ended::kStopped:
      return "stopped";
    case Ended::kNotRun:
      break;
  }
  return "not run";
}

long long RoutineFindings::ReportLines() const {
  long long n = 0;
  for (const Report& r : reports) n += r.lines;
  return n;
}

std::vector<const RoutineEntry*> RoutinesOf(std::span<const RoutineEntry* const> entries,
                                            Group group) {
  std::vector<const RoutineEntry*> chosen;
  for (const RoutineEntry* e : entries) {
    if (!e->Built() || !e->visible || !e->enabled) continue;
    if (group == Group::kCommon && e->group != ButtonGroup::kCommon) continue;
    chosen.push_back(e);
  }
  return chosen;
}

std::optional<Assessment> Assess(std::span<const RoutineEntry* const> routines,
                                 const SiteSettings& settings, const Options& options,
                                 const Clock& clock, Progress* progress, std::string* error) {
  Assessment a;
  a.site = fs::current_path();
  a.settings = settings;
  a.group = options.group;
  a.answerYes = options.answerYes;
  a.started = clock.Now();
  fs::path dir = options.outDir.empty() ? DefaultFolder(a.site, a.started) : options.outDir;
  if (!MakeFolder(dir, error)) return std::nullopt;
  std::error_code ec;
  a.outDir = fs::weakly_canonical(fs::absolute(dir), ec);
  if (ec) a.outDir = fs::absolute(dir);

  const auto began = std::chrono::steady_clock::now();
  const int count = static_cast<int>(routines.size());
  for (int i = 0; i < count; ++i) {
    const RoutineEntry& entry = *routines[static_cast<std::size_t>(i)];
    if (a.stopped || (progress != nullptr && progress->StopWanted())) {
      a.stopped = true;
      RoutineFindings skipped;
      skipped.caption = entry.caption;
      skipped.slug = entry.Slug();
      a.routines.push_back(std::move(skipped));
      continue;
    }
    if (progress != nullptr) progress->Starting(i + 1, count, entry);
    a.routines.push_back(
        AssessOne(entry, settings, options, a.site, a.outDir, clock, progress));
    if (a.routines.back().ended == Ended::kStopped) a.stopped = true;
    if (progress != nullptr) progress->Ended(i + 1, count, a.routines.back());
  }
  a.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  fs::remove(a.outDir / "runs", ec);
  if (!WriteAssessment(a, error)) return std::nullopt;
  return a;
}

}  // namespace talvor::assess
