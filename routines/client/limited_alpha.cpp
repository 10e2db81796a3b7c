// Limited Alpha: rebuilds the six-character alpha (sort) code on line "00" of the agency's
// clients numbered "100000" to "999999" in the agency master file "ap", from the client's
// Customer name: three characters of the last word and three of the first (surname first
// for personal clients), without salutations, titles and company suffixes, and with the
// inactive mark "*" for clients whose ActiveStatus is not "Y". Every client in the range
// that has a Customer row is written back. Touches: "AP" (a walking handle and a write
// handle), table Customer (tblClients, read only). Lists codes that change and every write
// in "alpahchg.txt". Asks nothing.
#include <string>
#include <string_view>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

// Removed in this order, each wherever it occurs: the joint salutations go as a whole
// before "MRS." and "MR." could split them.
constexpr std::string_view kRemovedTexts[] = {
    "~ZZ", "MR. AND MRS.", "MR AND MRS ", "MR. & MRS.", "MR & MRS ", "MRS.",
    "MR.", "DR.",          " LLC.",       " LLP.",      " INC.",     " JR."};
constexpr std::string_view kBlankedCharacters = "!#%&*,.@~";

void RemoveEvery(std::string& text, std::string_view what) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
    text.erase(at, what.size());
  }
}

// The alpha code the legacy system derives from a client's name and type letter.
std::string DerivedAlpha(std::string_view name, std::string_view typeLetter) {
  std::string text = Trim(UpperCase(name));
  for (const std::string_view what : kRemovedTexts) RemoveEvery(text, what);
  for (char& c : text) {
    if (kBlankedCharacters.find(c) != std::string_view::npos) c = ' ';
  }
  const std::size_t lastBlank = text.rfind(' ');
  const std::size_t lastStart = lastBlank == std::string::npos ? 0 : lastBlank + 1;
  const std::string lastPart = text.substr(lastStart, 3);
  const std::string firstPart = text.substr(0, 3);
  return PadRight(typeLetter == "P" ? lastPart + firstPart : firstPart + lastPart, 6);
}

}  // namespace

void LimitedAlpha(TForm1& form) {
  namespace ap = layout::ap;
  using layout::GetField;

  ReportFile report(form, "alpahchg.txt");
  const std::string path = LegacyPath(form, "AP");
  BtrHandle readHandle;
  BtrHandle writeHandle;
  OpenLegacyFile(form, readHandle, path, "Ap");
  OpenLegacyFile(form, writeHandle, path, "Ap2");
  form.tblClients.SetDatabaseName(form.edtODBCName);
  form.tblClients.Open();

  const std::string agency = AgencyCode(form);
  const std::string low = std::string(ap::kClient) + "000" + agency + "100000";
  const std::string high = std::string(ap::kClient) + "000" + agency + "999999";

  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);
  std::string scratch = layout::BlankRecord(ap::kBufferLength);

  // The walk runs to the end of the file; records past the range are passed over.
  for (int status = btrGetGreater(readHandle, record.data(), &length, low.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (record.compare(0, high.size(), high) > 0 || GetField(record, ap::Line) != "00") continue;

    const std::string number = GetField(record, ap::Number);
    form.Label3 = number;
    form.ProcessMessages();
    if (!form.tblClients.Locate("AgyCode;Number", {agency, number})) continue;

    const std::string name = form.tblClients.AsString("Name");
    const std::string typeLetter = GetField(record, ap::line00::TypeLetter);
    const std::string oldAlpha = GetField(record, ap::line00::Alpha);
    std::string newAlpha = DerivedAlpha(name, typeLetter);
    if (form.tblClients.AsString("ActiveStatus") != "Y") newAlpha = "*" + newAlpha.substr(0, 5);

    if (newAlpha != oldAlpha) {
      report.Line("Changed " + number + " type [" + typeLetter + "] name [" + name + "] from [" +
                  oldAlpha + "] to [" + newAlpha + "]");
    }
    const std::string key = GetField(record, ap::Key);
    // A failed readback is listed like a failed update: the change above was not made.
    int written = btrGetEqual(writeHandle, scratch.data(), &length, key.c_str(), 0, 0);
    if (written == kBtrOk) {
      layout::SetField(scratch, ap::line00::Alpha, newAlpha);
      written = btrUpdate(writeHandle, scratch.data(), &length);
    }
    if (written != kBtrOk) {
      report.Line("ERROR STATUS " + std::to_string(written) + " updating " + number);
    } else {
      report.Line("Updated " + number + " type [" + typeLetter + "] name [" + name + "] with [" +
                  newAlpha + "]");
    }
  }

  btrClose(readHandle);
  btrClose(writeHandle);
  form.tblClients.Close();
  report.Close();
  form.Label3 = "Done!!";
}

}  // namespace talvor
