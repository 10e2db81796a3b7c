#include "shell/site_files.h"

#include <system_error>

namespace talvor {

namespace fs = std::filesystem;

namespace {

bool Refuse(std::string* error, std::string why) {
  *error = std::move(why);
  return false;
}

bool Refuse(std::string* error, std::errc why) {
  return Refuse(error, std::make_error_code(why).message());
}

FileOutcome OutcomeOf(bool ok, bool dryRun) {
  return !ok ? FileOutcome::kFailed : dryRun ? FileOutcome::kDryRun : FileOutcome::kDone;
}

}  // namespace

bool SiteFiles::Copy(const fs::path& from, const fs::path& to, std::string* error) {
  error->clear();
  bool replaced = false;
  const bool ok = [&] {
    std::error_code ec;
    if (!fs::is_regular_file(from, ec)) {
      return Refuse(error, ec ? ec.message() : "the file to copy is not there");
    }
    const fs::file_status target = fs::status(to, ec);
    replaced = fs::exists(target);
    if (replaced && !fs::is_regular_file(target)) {
      return Refuse(error, "the target is there and is not a plain file");
    }
    if (replaced && fs::equivalent(from, to, ec)) {
      return Refuse(error, "the target is the file to copy");
    }
    const fs::path folder = to.has_parent_path() ? to.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ec)) return Refuse(error, std::errc::no_such_file_or_directory);
    if (dryRun_) return true;
    if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec) || ec) {
      return Refuse(error, ec ? ec.message() : "the file was not copied");
    }
    return true;
  }();
  if (watcher_ != nullptr) watcher_->OnCopy(from, to, replaced, OutcomeOf(ok, dryRun_), *error);
  return ok;
}

bool SiteFiles::Delete(const fs::path& path, std::string* error) {
  error->clear();
  const bool ok = [&] {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (!fs::exists(status)) return Refuse(error, std::errc::no_such_file_or_directory);
    if (!fs::is_regular_file(status)) return Refuse(error, "it is no longer a plain file");
    if (dryRun_) return true;
    if (!fs::remove(path, ec) || ec) {
      return Refuse(error, ec ? ec.message()
                              : std::make_error_code(std::errc::no_such_file_or_directory)
                                    .message());
    }
    return true;
  }();
  if (watcher_ != nullptr) watcher_->OnDelete(path, OutcomeOf(ok, dryRun_), *error);
  return ok;
}

void SiteFiles::Watch(FileWatcher* watcher, bool dryRun) {
  watcher_ = watcher;
  dryRun_ = dryRun;
}

}  // namespace talvor
