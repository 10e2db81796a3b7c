// Restore ID: writes the federal tax numbers of the fixed-column file "fed_id.txt" (working
// directory; agency code in positions 1-2, client number in 11-16, tax number in 20-34) into
// Customer.TaxID of the matching clients; an empty, "(NULL)" or "-" tax number writes the
// placeholder "00-0000000". Every line is logged in "fed_id.log" as updated or not found,
// blank and short lines too: a line that ends early has shorter fields, so one that ends
// before position 20 writes the placeholder and one of ten characters or fewer has no
// client number (six blanks) and is logged "DID NOT FIND". Lines end in CR LF or LF.
// The whole file is read before anything is written: a file that is missing or cannot be
// read, or that is not text (it holds a NUL byte), ends the run with a message naming the
// file (and the line), and nothing is changed. Touches: table Customer (tblAgent).
// Asks nothing.
// Deliberate difference from the legacy routine: the file is read whole first, so one that
// cannot be read to its end or holds a NUL byte is refused before the log exists.
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

constexpr const char* kInputFile = "fed_id.txt";
constexpr const char* kPlaceholder = "00-0000000";

// 0-based starts and widths of the columns.
constexpr std::size_t kAgencyAt = 0, kAgencyWidth = 2;
constexpr std::size_t kNumberAt = 10, kNumberWidth = 6;
constexpr std::size_t kTaxIdAt = 19, kTaxIdWidth = 15;

// The positions of `line` from `at`, as many of them as the line holds.
std::string Columns(const std::string& line, std::size_t at, std::size_t width) {
  return at < line.size() ? line.substr(at, width) : std::string();
}

// The lines of the input file, without their line ends. Throws std::runtime_error naming the
// file when it cannot be read, and naming the line when one holds a NUL byte: such a file is
// not text (a binary file, or a text saved as UTF-16, every other byte zero), and reading
// it by columns would log garbage and may write it into TaxID.
std::vector<std::string> ReadTaxLines() {
  std::ifstream input(kInputFile, std::ios::binary);
  if (!input) {
    throw std::runtime_error(std::string("Unable to read ") + kInputFile + " in " +
                             std::filesystem::current_path().string() +
                             ": the file is missing or cannot be opened; nothing was changed");
  }
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(input, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (line.find('\0') != std::string::npos) {
      throw std::runtime_error(std::string(kInputFile) + " is not a text file: line " +
                               std::to_string(lines.size()) +
                               " holds a NUL byte; nothing was changed");
    }
  }
  if (input.bad()) {
    throw std::runtime_error(std::string("Unable to read ") + kInputFile + " past line " +
                             std::to_string(lines.size()) + "; nothing was changed");
  }
  return lines;
}

}  // namespace

void RestoreId(TForm1& form) {
  const std::vector<std::string> lines = ReadTaxLines();
  ReportFile log(form, "fed_id.log");
  form.tblAgent.SetDatabaseName(form.edtODBCName);
  form.tblAgent.Open();

  int counter = 0;
  for (const std::string& line : lines) {
    ++counter;
    const std::string agency = Columns(line, kAgencyAt, kAgencyWidth);
    const std::string number = RightJustify(Columns(line, kNumberAt, kNumberWidth), 6);
    std::string taxId = Trim(Columns(line, kTaxIdAt, kTaxIdWidth));
    form.Label3 = std::to_string(counter) + "/" + number;
    form.ProcessMessages();
    if (taxId.empty() || taxId == "(NULL)" || taxId == "-") taxId = kPlaceholder;

    if (form.tblAgent.Locate("AgyCode;Number", {agency, number})) {
      form.tblAgent.Edit();
      form.tblAgent.SetString("TaxID", taxId);
      form.tblAgent.Post();
      log.Line("UPDATED     (" + agency + ")(" + number + ")(" + taxId + ")");
    } else {
      log.Line("DID NOT FIND(" + agency + ")(" + number + ")(" + taxId + ")");
    }
  }

  log.Close();
  form.tblAgent.Close();
  form.Label3 = "Done!";
}

}  // namespace talvor
