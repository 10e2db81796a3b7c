// Sync Misc Clt Fld: business clients need a line "04" in the agency master file "ap" that
// carries their legal-entity letter. Gives every Customer row without a LegalEntityCode the
// code 0, then creates the missing line "04" of every broker and commercial-lines client
// (CustType 0 or 1) of every agency, with the letter "I" for code 1, "P" for 2 and "C" for
// any other. An existing line "04" is never touched. Touches: table Customer (PvQuery1),
// "ap" (one handle). Writes no report; asks nothing.
// Deliberate difference from the legacy routine:
// - the key's agency and client number are right-justified (2 and 6), not taken as stored.
#include <cstdint>
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

std::string LegalEntityLetter(std::int64_t legalEntityCode) {
  if (legalEntityCode == 1) return "I";
  if (legalEntityCode == 2) return "P";
  return "C";
}

}  // namespace

void SyncMiscCltFld(TForm1& form) {
  namespace ap = layout::ap;

  BtrHandle apFile;
  OpenLegacyFile(form, apFile, LegacyPath(form, "ap"), "ap");
  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);

  form.PvQuery1.SetDatabaseName(form.edtODBCName);
  form.PvQuery1.SqlClear();
  form.PvQuery1.SqlAdd("Update \"CUSTOMER\" set LegalEntityCode = 0 where LegalEntityCode is Null");
  form.PvQuery1.Open();
  form.PvQuery1.Close();

  form.PvQuery1.SqlClear();
  form.PvQuery1.SqlAdd("Select * from \"CUSTOMER\" where ((CustType = 0) or (CustType = 1))");
  form.PvQuery1.Open();
  const std::string total = std::to_string(form.PvQuery1.RowCount());
  int counter = 0;
  for (; !form.PvQuery1.Eof(); form.PvQuery1.Next()) {
    ++counter;
    form.Label3 = std::to_string(counter) + "/" + total;
    form.ProcessMessages();

    const std::string letter = LegalEntityLetter(form.PvQuery1.AsInteger("LegalEntityCode"));
    // Justified as the keys of "ap" hold them: a number stored without its leading blanks
    // would otherwise give a key of the wrong length and a line "04" that shifts every byte.
    const std::string key = layout::ApKey(ap::kClient, form.PvQuery1.AsString("AgyCode"),
                                          form.PvQuery1.AsString("Number"), "04");
    if (btrGetEqual(apFile, record.data(), &length, key.c_str(), 0, 0) == kBtrOk) continue;

    std::string line04 = layout::BlankRecord(ap::kBufferLength);
    layout::SetField(line04, ap::Key, key);
    layout::SetField(line04, ap::RecTypeCopy, ap::kClient);
    layout::SetField(line04, ap::client04::LegalEntity, letter);
    btrInsert(apFile, line04.data(), &length, 0);
  }

  form.PvQuery1.Close();
  btrClose(apFile);
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
