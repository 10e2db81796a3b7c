#include "shell/report_file.h"

#include <system_error>

#include "shell/journal/run_journal.h"

namespace talvor {

ReportFile::ReportFile(const std::string& name) : name_(name) {
  out_.open(name, std::ios::binary | std::ios::trunc);
  if (!out_) {
    throw std::filesystem::filesystem_error("Cannot create report file", std::filesystem::path(name),
                                            std::make_error_code(std::errc::io_error));
  }
  journal::NoteReportFile(name);
}

ReportFile::~ReportFile() { Close(); }

void ReportFile::Line(std::string_view text) {
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  out_.write("\r\n", 2);
}

void ReportFile::Write(std::string_view text) {
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void ReportFile::Close() {
  if (out_.is_open()) out_.close();
}

}  // namespace talvor
