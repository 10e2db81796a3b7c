// SiteFiles: the one way a routine changes files of the site other than its record files,
// its databases and its report files: copies and deletions.
//
// The run protocol watches it for the run's journal. In a dry run nothing is copied or
// deleted: each operation is checked as far as it can be without touching anything (the
// source exists, the target's folder exists, the file to delete is a plain file), told to
// the watcher as what the run would have done, and reported to the routine as done, so
// that the routine goes on as it would in a real run.
//
// Single-threaded: belongs to the thread that runs routines.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

namespace talvor {

// What became of a file operation.
enum class FileOutcome {
  kDone,       // the file was copied or deleted
  kFailed,     // it was tried and did not happen (the reason is given)
  kDryRun,     // a dry run: it was not tried, and would have been
};

// Told about every report file and every file operation of a run.
class FileWatcher {
 public:
  virtual ~FileWatcher() = default;
  // A report file `name` (as the routine named it, in the working directory) was created.
  virtual void OnReportCreated(const std::string& name) = 0;
  // The report file `name` could not be written whole: `why` says what went wrong. The
  // run protocol ends the run on it when the routine did not stop already.
  virtual void OnReportFailed(const std::string& name, const std::string& why) = 0;
  // `from` was (or in a dry run would have been) copied to `to`; `replaced` when a file was
  // at `to` before.
  virtual void OnCopy(const std::filesystem::path& from, const std::filesystem::path& to,
                      bool replaced, FileOutcome outcome, const std::string& why) = 0;
  virtual void OnDelete(const std::filesystem::path& path, FileOutcome outcome,
                        const std::string& why) = 0;
};

class SiteFiles {
 public:
  SiteFiles() = default;
  SiteFiles(const SiteFiles&) = delete;
  SiteFiles& operator=(const SiteFiles&) = delete;

  // Copies the plain file `from` to `to`, replacing a file already at `to` (never a
  // directory). True when it was copied (a dry run: when it could have been); else false
  // with *error saying why ("No such file or directory", ...). A target that is the source
  // itself is not copied (false).
  bool Copy(const std::filesystem::path& from, const std::filesystem::path& to,
            std::string* error);

  // Deletes `path` when it is a plain file (a link or directory is left alone). True when
  // it was deleted (a dry run: when it could have been); else false with *error saying why.
  bool Delete(const std::filesystem::path& path, std::string* error);

  // From now on, tells `watcher` (null: nobody) about report files and file operations;
  // with `dryRun`, copies and deletes nothing. REQUIRES: *watcher outlives its watch.
  void Watch(FileWatcher* watcher, bool dryRun);
  FileWatcher* Watcher() const { return watcher_; }
  bool DryRun() const { return dryRun_; }

  // From now on, report files are created in `folder` (empty: the working directory, as
  // a routine names them).
  void SetReportFolder(std::filesystem::path folder) { reportFolder_ = std::move(folder); }
  // Where the report file a routine names `name` is created.
  std::filesystem::path ReportPath(const std::string& name) const {
    return reportFolder_.empty() ? std::filesystem::path(name) : reportFolder_ / name;
  }

 private:
  FileWatcher* watcher_ = nullptr;
  bool dryRun_ = false;
  std::filesystem::path reportFolder_;
};

}  // namespace talvor
