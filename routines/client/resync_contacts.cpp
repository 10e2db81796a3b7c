// Resync Contacts (and its hidden variant Reset Contacts): gives every contact of the Contact
// table (all agencies) that the contact file "extap" lacks its contact record there. Contacts
// already in the file are not touched, whatever they hold. Touches: "extap" (one handle),
// table Contact (tblContact, read only). Resync Contacts logs each insertion in
// "synccontact.log" and shows its progress; Reset Contacts writes no log and shows nothing
// until its final label. No question; a failed insert is not reported.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"

namespace talvor {

namespace {

// The insertion both buttons run. With `log` set, counts contacts read and added, logs each
// insertion there and shows each contact in the status label.
void InsertMissingContacts(TForm1& form, ReportFile* log) {
  namespace extap = layout::extap;

  int contactsRead = 0;
  int contactsAdded = 0;

  form.tblContact.SetDatabaseName(form.edtODBCName);
  form.tblContact.Open();

  BtrHandle extapFile;
  OpenLegacyFile(form, extapFile, LegacyPath(form, "extap"), "extap");

  std::string record = layout::BlankRecord(extap::kRecordLength);
  int length = extap::kRecordLength;

  for (form.tblContact.First(); !form.tblContact.Eof(); form.tblContact.Next()) {
    layout::ContactRow row;
    row.AgyCode = form.tblContact.AsString("AgyCode");
    row.CltNum = form.tblContact.AsString("CltNum");
    row.Number = form.tblContact.AsString("Number");
    row.Name = form.tblContact.AsString("Name");
    const std::string shown = row.AgyCode + "/" + row.CltNum + "/" + row.Number + "/" + row.Name;
    if (log != nullptr) {
      ++contactsRead;
      form.Label3 = shown;
      form.ProcessMessages();
    }

    const std::string key = layout::ContactKey(row);
    if (btrGetEqual(extapFile, record.data(), &length, key.c_str(), 0, 0) != kBtrKeyNotFound) {
      continue;
    }
    if (log != nullptr) {
      ++contactsAdded;
      log->Line("[" + std::to_string(contactsAdded) + ":" + std::to_string(contactsRead) + "] " +
                shown);
    }
    row.Address1 = form.tblContact.AsString("Address1");
    row.Address2 = form.tblContact.AsString("Address2");
    row.City = form.tblContact.AsString("City");
    row.State = form.tblContact.AsString("State");
    row.ZipCode = form.tblContact.AsString("ZipCode");
    record = layout::NewContactRecord(row);
    btrInsert(extapFile, record.data(), &length, 0);
  }

  if (log != nullptr) log->Close();
  btrClose(extapFile);
  form.tblContact.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace

void ResyncContacts(TForm1& form) {
  ReportFile log(form, "synccontact.log");
  InsertMissingContacts(form, &log);
}

void ResetContacts(TForm1& form) {
  InsertMissingContacts(form, nullptr);
}

}  // namespace talvor
