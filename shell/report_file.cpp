#include "shell/report_file.h"

#include <cerrno>
#include <system_error>

#include "shell/form.h"

namespace talvor {

namespace {

// The reason the last stream operation failed: what the system said, else an I/O error.
std::error_code LastError() {
  const int code = errno;
  return code != 0 ? std::error_code(code, std::generic_category())
                   : std::make_error_code(std::errc::io_error);
}

}  // namespace

ReportFile::ReportFile(TForm1& form, const std::string& name)
    : form_(&form), name_(name), path_(form.Files().ReportPath(name)) {
  errno = 0;
  out_.open(path_, std::ios::binary | std::ios::trunc);
  if (!out_) {
    throw std::filesystem::filesystem_error("Cannot create report file", path_, LastError());
  }
  if (FileWatcher* watcher = form_->Files().Watcher()) watcher->OnReportCreated(name);
}

ReportFile::~ReportFile() {
  if (!out_.is_open() || failed_) return;
  errno = 0;
  out_.close();
  if (out_.fail()) {
    if (FileWatcher* watcher = form_->Files().Watcher()) {
      watcher->OnReportFailed(name_, "Cannot write report file: " + LastError().message() +
                                         " [" + path_.string() + "]");
    }
  }
}

void ReportFile::Fail(const char* what) {
  const std::error_code why = LastError();
  failed_ = true;
  out_.close();
  throw std::filesystem::filesystem_error(what, path_, why);
}

void ReportFile::Line(std::string_view text) {
  errno = 0;
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  out_.write("\r\n", 2);
  if (!out_) Fail("Cannot write report file");
}

void ReportFile::Write(std::string_view text) {
  errno = 0;
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out_) Fail("Cannot write report file");
}

void ReportFile::Close() {
  if (!out_.is_open()) return;
  errno = 0;
  out_.close();
  if (out_.fail()) Fail("Cannot write report file");
}

}  // namespace talvor
