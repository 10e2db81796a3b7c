// Fix Prd Attch: gives each producer attachment its own copy of its file.
//
// A conversion leaves producer documents as AttchList rows of the agency with file type
// "X", a producer code and no policy number. Each gets a generated name "PRDATT" + six
// digits (counting from 0 in every run): its file is copied beside itself under that name
// (unless the marker file "PrdAtt.dryrun" is in the working directory), and the row is filed
// again with the generated name as its PolNum (FilePath stays as it was). A dry run of the
// workbench copies nothing either, as if the marker file were there; a real run's copies
// are in its journal (an undo cannot take them back).
// Changes AttchList rows (tblAttachments, PvQuery1, on the alias of the ODBC name box) and
// writes files beside the attached ones. Writes the report "PrdAtt.Txt" and the batch file
// "Do_rename.bat" that repeats the copies. Asks nothing.
// Deliberate differences from the legacy routine:
// - the row is located by its own client number, not by six blanks;
// - only the selected rows are located, so a row whose PolNum is NULL is never deleted;
// - the new row is posted before the old one is deleted.
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "legacy/path_rules.h"
#include "routines/reports/reports_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

// While a file of this name is in the working directory, the routine copies no file (the
// report, the batch file and the table changes are made as usual).
constexpr const char* kDryRunMarker = "PrdAtt.dryrun";

// Copies the file that the legacy path `from` names to the legacy path `to` (whose folder
// must exist), replacing a file already there, through the run's file operations (which a
// dry run turns off and the journal records). Both are resolved as the record-file engine
// resolves paths. Returns false when the copy did not happen.
bool CopyLegacyFile(TForm1& form, const std::string& from, const std::string& to) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto source = ResolveLegacyPath(from);
  if (!source || !fs::is_regular_file(*source, ec)) return false;
  fs::path target;
  if (const auto existing = ResolveLegacyPath(to)) {
    target = *existing;
  } else {
    const std::string_view name = LegacyFileName(to);
    const std::string folderText = to.substr(0, to.size() - name.size());
    const auto folder = folderText.empty() ? std::optional<fs::path>(fs::current_path(ec))
                                           : ResolveLegacyPath(folderText);
    if (!folder || !fs::is_directory(*folder, ec)) return false;
    target = *folder / std::string(name);
  }
  std::string why;
  return form.Files().Copy(*source, target, &why);
}

}  // namespace

void FixPrdAttch(TForm1& form) {
  const std::string agency = AgencyCode(form);
  ReportFile report(form, "PrdAtt.Txt");
  ReportFile batch(form, "Do_rename.bat");

  const std::string condition = "AgyCode = " + SqlQuote(agency) +
                                "and FileType = " + SqlQuote("X") + "and PrdCode <> " +
                                SqlQuote("") + "and PolNum = " + SqlQuote("");
  const std::string selection = "Select * from \"AttchList\" where " + condition;
  report.Line(selection);
  report.Line("");
  report.Line("--------");
  report.Line("");

  sqldb::Table& table = form.tblAttachments;
  sqldb::Query& query = form.PvQuery1;
  table.SetDatabaseName(form.edtODBCName);
  query.SetDatabaseName(form.edtODBCName);
  // Only the selected rows may be located, and so deleted: Locate takes an empty PolNum
  // for a NULL one as well, and a row filed without any policy number (a client's letter)
  // that shares the client and sequence would be deleted in place of the selected row.
  // The row inserted below never matches, as its PolNum is the generated name.
  table.SetFilter(condition);
  table.SetFiltered(true);
  table.Open();
  query.SqlClear();
  query.SqlAdd(selection);

  form.Label3 = "Running Query";
  form.ProcessMessages();
  query.Open();
  const std::int64_t found = query.RowCount();
  form.Label3 = "Query Complete - " + std::to_string(found);
  form.ProcessMessages();

  const bool dryRun = std::filesystem::exists(kDryRunMarker);
  std::int64_t counter = 0;
  for (query.First(); !query.Eof(); query.Next()) {
    const std::string oldPath = query.AsString("FilePath");
    const std::string generated = "PRDATT" + ZeroFill(std::to_string(counter), 6);
    const std::string target = oldPath.substr(0, oldPath.find_last_of("\\/") + 1) + generated;
    ++counter;
    form.Label3 = std::to_string(counter) + " of " + std::to_string(found);
    form.ProcessMessages();

    report.Line(generated);
    report.Line("  Copy [" + oldPath + "]");
    report.Line("    To [" + target + "]");
    batch.Line("Copy " + oldPath + " " + target);
    // A failed copy is not reported: the batch file lets the operator repeat it by hand.
    if (!dryRun) CopyLegacyFile(form, oldPath, target);

    const std::string cltNum = query.AsString("CltNum");
    const std::int64_t attchSeq = query.AsInteger("AttchSeq");
    const std::string fileDesc = query.AsString("FileDesc");
    const bool dateMissing = query.IsNull("AttchDate");
    const DateTime attchDate = query.AsDateTime("AttchDate");
    const std::string cmpCode = query.AsString("CmpCode");
    const std::string prdCode = query.AsString("PrdCode");
    const std::int64_t published = query.AsInteger("Published");
    const std::string tag = query.AsString("AttachmentTag");
    const std::string subTag = query.AsString("AttachmentSubTag");
    const std::string subTag2 = query.AsString("AttachmentSubTag2");

    // The row itself, by its own client number: looking it up under a blank client would
    // re-file (and so delete) another attachment that happens to share the sequence.
    const std::string key = "AgyCode;CltNum;PolNum;AttchSeq";
    if (!table.Locate(key, {agency, cltNum, "", attchSeq})) {
      report.Line("ERROR== DID NOT LOCATE [(" + agency + ")(" + cltNum + ")(" + generated + ")(" +
                  std::to_string(attchSeq) + ")]");
      continue;
    }
    // The new row is posted before the old one goes, so that a row the database refuses
    // leaves the attachment where it was instead of losing it.
    table.Insert();
    table.SetString("AgyCode", agency);
    table.SetString("CltNum", cltNum);
    table.SetString("PolNum", generated);
    table.SetInteger("AttchSeq", attchSeq);
    table.SetString("FileDesc", fileDesc);
    table.SetString("FileType", "X");
    table.SetString("FilePath", oldPath);
    if (!dateMissing) table.SetDateTime("AttchDate", attchDate);
    table.SetString("CmpCode", cmpCode);
    table.SetString("PrdCode", prdCode);
    table.SetInteger("Published", published);
    table.SetString("AttachmentTag", tag);
    table.SetString("AttachmentSubTag", subTag);
    table.SetString("AttachmentSubTag2", subTag2);
    table.Post();
    if (table.Locate(key, {agency, cltNum, "", attchSeq})) table.Delete();
  }
  query.Close();
  report.Close();
  batch.Close();
  form.Label3 = "Done!";
}

}  // namespace talvor
