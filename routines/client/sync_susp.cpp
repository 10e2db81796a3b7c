// Sync Susp: each suspense (diary) item of the legacy diary index "DIANDX" names the staff
// member it is assigned to. Walks the whole index, of every agency, and makes the matching
// SuspItem row's `AssignedTo` equal that assignment (right-justified to three). Touches:
// "DIANDX" (one handle, read only), table SuspItem (tblSubmissions, through the session named
// after the Server box, which stays active afterwards). Lists every change and every item
// without a row in "DiaSync.TXT", with totals. Asks nothing.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "routines/kit/server_session.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

void SyncSusp(TForm1& form) {
  namespace diandx = layout::diandx;
  using layout::GetField;

  ReportFile report(form, "DiaSync.TXT");
  BtrHandle diaryIndex;
  OpenLegacyFile(form, diaryIndex, LegacyPath(form, "DIANDX"), "DIaNdx");

  StartServerSession(form);
  sqldb::Table& items = form.tblSubmissions;
  items.SetDatabaseName(form.edtODBCName);
  items.SetSessionName(form.edtServerName);
  items.Open();

  int good = 0;
  int fixed = 0;
  int notFound = 0;
  int length = diandx::kRecordLength;
  std::string record = layout::BlankRecord(diandx::kRecordLength);

  for (int status = btrGetFirst(diaryIndex, record.data(), &length, 0, 0); status == kBtrOk;
       status = btrGetNext(diaryIndex, record.data(), &length, 0)) {
    const std::string assignedTo = RightJustify(GetField(record, diandx::AssignedTo), 3);
    const std::string agency = GetField(record, diandx::AgyCode);
    // Taken as stored, blanks included: the rows hold the item number in the same form.
    const std::string item = GetField(record, diandx::ItemNum);
    form.Label3 = "[" + agency + "][" + item + "][" + assignedTo + "]";
    form.ProcessMessages();

    if (!items.Locate("AgyCode;ItemNum", {agency, item})) {
      report.Line("Not Found [" + agency + "][" + item + "]");
      ++notFound;
      continue;
    }
    const std::string was = items.AsString("AssignedTo");
    if (was == assignedTo) {
      ++good;
      continue;
    }
    items.Edit();
    items.SetString("AssignedTo", assignedTo);
    items.Post();
    report.Line("Changed [" + agency + "][" + item + "] from [" + was + "] to [" + assignedTo +
                "]");
    ++fixed;
  }

  btrClose(diaryIndex);
  report.Line(std::string(21, '='));
  report.Line("Good (" + std::to_string(good) + ") fixed (" + std::to_string(fixed) +
              ") Not Found (" + std::to_string(notFound) + ")");
  report.Close();
  items.Close();
  form.Label3 = "Done!";
}

}  // namespace talvor
