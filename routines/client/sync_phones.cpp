// Sync Phones: brings every client's and contact's phone numbers into the display form
// (ddd)ddd-dddd in the database, and copies each client's first two phones, as ten bare
// digits, into its lines "01" and "02" of the agency master file "ap", creating a line that
// is missing. Touches: "ap" (one handle, read and written), tables Customer (tblClients)
// and Contact (tblContact). No report file, no question; engine failures are shown one
// by one and the walk goes on.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/kit/client_key_check.h"
#include "routines/client/client_routines.h"
#include "routines/kit/phone_format.h"
#include "shell/form.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

void SyncPhones(TForm1& form) {
  namespace ap = layout::ap;
  using layout::SetField;

  BtrHandle apFile;
  const std::string path = LegacyPath(form, "ap");
  OpenLegacyFile(form, apFile, path, "ap");

  std::string record = layout::BlankRecord(ap::kBufferLength);
  int length = ap::kBufferLength;

  form.tblClients.SetDatabaseName(form.edtODBCName);
  form.tblClients.Open();
  for (form.tblClients.First(); !form.tblClients.Eof(); form.tblClients.Next()) {
    const std::string agency = form.tblClients.AsString("AgyCode");
    const std::string number = form.tblClients.AsString("Number");
    form.Label3 = agency + "/" + number + form.tblClients.AsString("Name");
    form.ProcessMessages();

    const std::string phone1 = NormalizePhone(form.tblClients.AsString("Phone1"));
    const std::string phone2 = NormalizePhone(form.tblClients.AsString("Phone2"));
    const std::string phone3 = NormalizePhone(form.tblClients.AsString("Phone3"));
    form.tblClients.Edit();
    form.tblClients.SetString("Phone1", phone1);
    form.tblClients.SetString("Phone2", phone2);
    form.tblClients.SetString("Phone3", phone3);
    form.tblClients.Post();

    const std::string digits1 = PlainPhone(phone1);
    const std::string digits2 = PlainPhone(phone2);
    const int custType = static_cast<int>(form.tblClients.AsInteger("CustType"));

    if (!ClientFitsApKey(form, agency, number)) continue;

    const std::string key01 = layout::ApKey(ap::kClient, agency, number, "01");
    int status = btrGetEqual(apFile, record.data(), &length, key01.c_str(), 0, 0);
    if (status == kBtrOk) {
      SetField(record, ap::client01::Phone1, digits1);
      status = btrUpdate(apFile, record.data(), &length);
      if (status != kBtrOk) {
        form.Notify("(01) Unable to update ap file " + path + ", status is " +
                    std::to_string(status));
      }
    } else {
      record = layout::BlankRecord(ap::kBufferLength);
      SetField(record, ap::Key, key01);
      SetField(record, ap::RecTypeCopy, ap::kClient);
      if (const char letter = layout::ClientTypeLetter(custType)) {
        SetField(record, ap::client01::CltTypeLetter, std::string(1, letter));
      }
      SetField(record, ap::client01::Phone1, digits1);
      status = btrInsert(apFile, record.data(), &length, 0);
      if (status != kBtrOk) {
        form.Notify("(02) Unable to Insert ap file " + path + ", status is " +
                    std::to_string(status));
      }
    }

    // Personal-lines clients keep their second phone two bytes earlier in line "02".
    const layout::Field phone2Field =
        custType == 2 ? ap::client02::Phone2Personal : ap::client02::Phone2;
    const std::string key02 = layout::ApKey(ap::kClient, agency, number, "02");
    status = btrGetEqual(apFile, record.data(), &length, key02.c_str(), 0, 0);
    if (status == kBtrOk) {
      SetField(record, phone2Field, digits2);
      status = btrUpdate(apFile, record.data(), &length);
      if (status != kBtrOk) {
        form.Notify("(03) Unable to update ap file " + path + ", status is " +
                    std::to_string(status));
      }
    } else {
      record = layout::BlankRecord(ap::kBufferLength);
      SetField(record, ap::Key, key02);
      SetField(record, ap::RecTypeCopy, ap::kClient);
      SetField(record, phone2Field, digits2);
      status = btrInsert(apFile, record.data(), &length, 0);
      if (status != kBtrOk) {
        form.Notify("(04) Unable to Insert ap file " + path + ", status is " +
                    std::to_string(status));
      }
    }
  }

  form.tblContact.SetDatabaseName(form.edtODBCName);
  form.tblContact.Open();
  for (form.tblContact.First(); !form.tblContact.Eof(); form.tblContact.Next()) {
    form.Label3 = form.tblContact.AsString("AgyCode") + "/" + form.tblContact.AsString("CltNum") +
                  "/" + form.tblContact.AsString("Number") + "/" + form.tblContact.AsString("Name");
    form.ProcessMessages();
    form.tblContact.Edit();
    for (const char* column : {"Phone1", "Phone2", "Phone3", "Phone4"}) {
      form.tblContact.SetString(column, NormalizePhone(form.tblContact.AsString(column)));
    }
    form.tblContact.Post();
  }

  form.tblContact.Close();
  form.tblClients.Close();
  btrClose(apFile);
  form.Label3 = "Done!";
}

}  // namespace talvor
