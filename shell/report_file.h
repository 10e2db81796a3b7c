// A report file of a routine: plain text in the working directory, created anew (any file
// of that name is replaced), one line per finding, each line ended by CR LF.
//
// A report that cannot be created or written stops the routine: every write is checked
// (lines are buffered, so a full disk shows at the write that fills the buffer, else at
// Close), and the error names the file and the reason. A failure that only shows when the
// file is closed by its destructor (the routine did not call Close) cannot be thrown from
// there; it is told to the run's file watcher, and the run protocol ends the run on it.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace talvor {

class TForm1;

class ReportFile {
 public:
  // Creates (or empties) `name` in the working directory (or the report folder the run
  // was given: SiteFiles::ReportPath) and tells the run's file watcher (TForm1::Files)
  // about it.
  // Throws std::filesystem::filesystem_error naming the file and the reason ("Permission
  // denied", ...) when it cannot be created.
  ReportFile(TForm1& form, const std::string& name);
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  // Closes; lines written so far stay written whatever ended the run.
  ~ReportFile();

  // Writes `text` followed by CR LF. Throws std::filesystem::filesystem_error naming the
  // file when the file cannot be written.
  void Line(std::string_view text);
  // Writes `text` as it is (no line end); throws as Line.
  void Write(std::string_view text);
  // Writes what is buffered and closes the file; throws as Line when that fails. Closing
  // a closed file does nothing.
  void Close();
  const std::string& Name() const { return name_; }

 private:
  [[noreturn]] void Fail(const char* what);

  TForm1* form_;
  std::string name_;
  std::filesystem::path path_;
  std::ofstream out_;
  bool failed_ = false;
};

}  // namespace talvor
