// A report file of a routine: plain text in the working directory, created anew (any file
// of that name is replaced), one line per finding, each line ended by CR LF.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace talvor {

class ReportFile {
 public:
  // Creates (or empties) `name` in the working directory.
  // Throws std::filesystem::filesystem_error naming the file when it cannot be created.
  explicit ReportFile(const std::string& name);
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  // Flushes and closes; lines written so far stay written whatever ended the run.
  ~ReportFile();

  // Writes `text` followed by CR LF.
  void Line(std::string_view text);
  // Writes `text` as it is (no line end).
  void Write(std::string_view text);
  void Close();
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  std::ofstream out_;
};

}  // namespace talvor
