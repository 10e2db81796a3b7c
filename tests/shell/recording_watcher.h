// A FileWatcher that keeps what it is told, for the tests of SiteFiles and ReportFile.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "shell/site_files.h"

namespace talvor::testing {

class RecordingWatcher final : public FileWatcher {
 public:
  using Path = std::filesystem::path;
  struct Told {
    std::string what;  // "copy", "delete", "report", "report failed"
    Path from, to;     // `from` alone for a deletion
    bool replaced = false;
    FileOutcome outcome = FileOutcome::kDone;
    std::string why;
  };
  void OnReportCreated(const std::string& name) override {
    Tell("report", name, {}, false, FileOutcome::kDone, "");
  }
  void OnReportFailed(const std::string& name, const std::string& why) override {
    Tell("report failed", name, {}, false, FileOutcome::kFailed, why);
  }
  void OnCopy(const Path& from, const Path& to, bool replaced, FileOutcome outcome,
              const std::string& why) override {
    Tell("copy", from, to, replaced, outcome, why);
  }
  void OnDelete(const Path& path, FileOutcome outcome, const std::string& why) override {
    Tell("delete", path, {}, false, outcome, why);
  }
  void Tell(const char* what, const Path& from, const Path& to, bool replaced, FileOutcome outcome,
            const std::string& why) {
    Told t;
    t.what = what;
    t.from = from;
    t.to = to;
    t.replaced = replaced;
    t.outcome = outcome;
    t.why = why;
    told.push_back(std::move(t));
  }
  std::vector<Told> told;
};

}  // namespace talvor::testing
