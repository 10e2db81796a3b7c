// Move Attch: appends the staging database's attachment list to the agency database.
//
// Every AttchList row of the staging database (tblAttach2, alias "CONVERT" as fixed on the
// component) is added to the agency database's AttchList (tblAttachments, alias "AGYFORMS"
// as fixed on the component) under the first sequence number still free there for its
// agency, client and policy. The staging rows stay; a second run appends them again.
// Changes the agency database's AttchList. Writes no report. Asks nothing.
#include <cstdint>
#include <string>

#include "routines/reports/reports_routines.h"
#include "shell/form.h"

namespace talvor {

void MoveAttch(TForm1& form) {
  sqldb::Table& source = form.tblAttach2;
  sqldb::Table& target = form.tblAttachments;
  source.Open();
  target.Open();

  std::int64_t rowsRead = 0;
  for (source.First(); !source.Eof(); source.Next()) {
    ++rowsRead;
    const std::string agyCode = source.AsString("AgyCode");
    const std::string cltNum = source.AsString("CltNum");
    const std::string polNum = source.AsString("PolNum");
    const std::string fileDesc = source.AsString("FileDesc");
    const std::string fileType = source.AsString("FileType");
    const std::string filePath = source.AsString("FilePath");
    const std::string cmpCode = source.AsString("CmpCode");
    const std::string prdCode = source.AsString("PrdCode");
    const bool dateMissing = source.IsNull("AttchDate");
    const DateTime attchDate = source.AsDateTime("AttchDate");

    std::int64_t seq = 0;
    while (target.Locate("AgyCode;CltNum;PolNum;AttchSeq", {agyCode, cltNum, polNum, seq})) ++seq;

    form.Label3 = std::to_string(rowsRead) + ":" + cltNum;
    form.ProcessMessages();

    target.Insert();
    target.SetString("AgyCode", agyCode);
    target.SetString("CltNum", cltNum);
    target.SetString("PolNum", polNum);
    target.SetString("FileDesc", fileDesc);
    target.SetString("FileType", fileType);
    target.SetString("FilePath", filePath);
    target.SetString("CmpCode", cmpCode);
    target.SetString("PrdCode", prdCode);
    // A missing date stays missing rather than becoming the zero date.
    if (!dateMissing) target.SetDateTime("AttchDate", attchDate);
    target.SetInteger("AttchSeq", seq);
    target.Post();
  }
  form.Label3 = "Done!";
}

}  // namespace talvor
