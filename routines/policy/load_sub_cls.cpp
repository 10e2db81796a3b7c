// Load SubCLS: reads the fixed-column file "ISUCODES.TXT" (working directory; client number in
// positions 1-18, sub-class code in 27-62), writes each client's sub-class code into
// `SubClassCode` of every Policy row of the client, and adds the code to SubClass under the
// class of each such policy unless it is there already. The policies are those of the agency
// code exactly as typed in the settings. The whole file is checked before anything is
// written: a missing file, or a line without a client number or a sub-class code, ends the
// run with a message naming the file (and the line), and nothing is changed. Blank lines are
// passed over. Asks nothing and writes no report. Reads and writes Policy (tblPolicy walks,
// tblPol2 writes) and SubClass (tblSubCls).
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "routines/policy/policy_routines.h"
#include "shell/form.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

constexpr const char* kInputFile = "ISUCODES.TXT";

// 0-based starts and widths of the columns.
constexpr std::size_t kClientAt = 0, kClientWidth = 18;
constexpr std::size_t kSubClassAt = 26, kSubClassWidth = 36;

struct SubClassLine {
  std::string client;    // RightJustify 6
  std::string subClass;  // RightJustify 6
};

// The positions of `line` from `at`, as many of them as the line holds.
std::string Columns(const std::string& line, std::size_t at, std::size_t width) {
  return at < line.size() ? line.substr(at, width) : std::string();
}

// The lines of the input file, blank lines left out. Throws std::runtime_error naming the
// file when it cannot be read, and naming the line when one is malformed.
std::vector<SubClassLine> ReadSubClassLines() {
  std::ifstream input(kInputFile, std::ios::binary);
  if (!input) {
    throw std::runtime_error(std::string("Unable to read ") + kInputFile + " in " +
                             std::filesystem::current_path().string() +
                             ": the file is missing or cannot be opened; nothing was changed");
  }
  std::vector<SubClassLine> lines;
  std::string line;
  long number = 0;
  while (std::getline(input, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trim(line).empty()) continue;
    const std::string where = std::string(kInputFile) + " line " + std::to_string(number);
    const std::string client = Trim(Columns(line, kClientAt, kClientWidth));
    const std::string subClass = Trim(Columns(line, kSubClassAt, kSubClassWidth));
    if (client.empty()) {
      throw std::runtime_error(where +
                               " has no client number (positions 1-18); nothing was changed");
    }
    if (subClass.empty()) {
      throw std::runtime_error(where +
                               " has no sub-class code (positions 27-62); nothing was changed");
    }
    lines.push_back({RightJustify(client, 6), RightJustify(subClass, 6)});
  }
  if (input.bad()) {
    throw std::runtime_error(std::string("Unable to read ") + kInputFile + " past line " +
                             std::to_string(number) + "; nothing was changed");
  }
  return lines;
}

}  // namespace

void LoadSubCls(TForm1& form) {
  sqldb::Table& policies = form.tblPolicy;
  sqldb::Table& writePolicies = form.tblPol2;
  sqldb::Table& subClasses = form.tblSubCls;
  policies.SetDatabaseName(form.edtODBCName);
  writePolicies.SetDatabaseName(form.edtODBCName);
  subClasses.SetDatabaseName(form.edtODBCName);
  policies.Open();
  writePolicies.Open();
  subClasses.Open();
  const std::vector<SubClassLine> lines = ReadSubClassLines();

  for (const SubClassLine& line : lines) {
    const std::string shown = "[" + line.client + "][" + line.subClass + "]";
    form.Label3 = shown;
    form.ProcessMessages();

    // The agency code as typed: an agency typed "1" finds no rows stored as " 1".
    policies.SetFilter("AgyCode = " + SqlQuote(form.edtAgyCode) +
                       " and CltNum = " + SqlQuote(line.client));
    policies.SetFiltered(true);
    for (policies.First(); !policies.Eof(); policies.Next()) {
      const std::string agency = policies.AsString("AgyCode");
      const std::string polNum = policies.AsString("PolNum");
      const std::string cls = policies.AsString("ClsCode");
      form.Label3 = shown + " (" + polNum + ")";
      form.ProcessMessages();

      if (!writePolicies.Locate("AgyCode;PolNum;PolSeq",
                                {agency, polNum, policies.AsInteger("PolSeq")})) {
        continue;
      }
      writePolicies.Edit();
      writePolicies.SetString("SubClassCode", line.subClass);
      writePolicies.Post();
      if (!subClasses.Locate("AgyCode;ClsNum;Number", {agency, cls, line.subClass})) {
        subClasses.Insert();
        subClasses.SetString("AgyCode", agency);
        subClasses.SetString("ClsNum", cls);
        subClasses.SetString("Number", line.subClass);
        subClasses.SetString("Name", line.subClass);
        subClasses.SetInteger("SubClsType", 0);
        subClasses.Post();
      }
    }
  }

  form.Label3 = "Done";
}

}  // namespace talvor
