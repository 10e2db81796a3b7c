// Load States: gives the agency of the Agency Code box a States row for each of 69 states,
// territories and provinces that it lacks, and for each row added the state's two records
// (lines "00" and "01" of kind "014") in the agency master file "ap". States already in
// States are left alone in both stores. Touches: table States (tblState), "ap" (one handle,
// inserts only; their statuses are not examined, so a state whose records exist already is
// quietly kept as it is). No report file, no question.
#include <array>
#include <string>
#include <string_view>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

struct StateEntry {
  std::string_view name;
  std::string_view code;
};

// In the order they are loaded.
constexpr std::array<StateEntry, 69> kStates = {{
    {"Alabama", "AL"},
    {"Alaska", "AK"},
    {"Arizona", "AZ"},
    {"Arkansas", "AR"},
    {"California", "CA"},
    {"Colorado", "CO"},
    {"Connecticut", "CT"},
    {"Delaware", "DE"},
    {"Washington, D.C.", "DC"},
    {"Florida", "FL"},
    {"Georgia", "GA"},
    {"Hawaii", "HI"},
    {"Idaho", "ID"},
    {"Illinois", "IL"},
    {"Indiana", "IN"},
    {"Iowa", "IA"},
    {"Kansas", "KS"},
    {"Kentucky", "KY"},
    {"Louisiana", "LA"},
    {"Maine", "ME"},
    {"Maryland", "MD"},
    {"Massachusetts", "MA"},
    {"Michigan", "MI"},
    {"Minnesota", "MN"},
    {"Mississippi", "MS"},
    {"Missouri", "MO"},
    {"Montana", "MT"},
    {"Nebraska", "NE"},
    {"Nevada", "NV"},
    {"New Hampshire", "NH"},
    {"New Jersey", "NJ"},
    {"New Mexico", "NM"},
    {"New York", "NY"},
    {"North Carolina", "NC"},
    {"North Dakota", "ND"},
    {"Ohio", "OH"},
    {"Oklahoma", "OK"},
    {"Oregon", "OR"},
    {"Pennsylvania", "PA"},
    {"Rhode Island", "RI"},
    {"South Carolina", "SC"},
    {"South Dakota", "SD"},
    {"Tennessee", "TN"},
    {"Texas", "TX"},
    {"Utah", "UT"},
    {"Vermont", "VT"},
    {"Virginia", "VA"},
    {"Washington", "WA"},
    {"West Virginia", "WV"},
    {"Wisconsin", "WI"},
    {"Wyoming", "WY"},
    {"American Samoa", "AS"},
    {"Canal Zone", "CZ"},
    {"Guam", "GU"},
    {"Puerto Rico", "PR"},
    {"Virgin Islands", "VI"},
    {"Alberta", "AB"},
    {"British Columbia", "BC"},
    {"Manitoba", "MB"},
    {"New Brunswick", "NB"},
    {"Newfoundland", "NL"},
    {"Nova Scotia", "NS"},
    {"Northwest Territories", "NT"},
    {"Nunavut", "NU"},
    {"Ontario", "ON"},
    {"Prince Edward Island", "PE"},
    {"Quebec", "QC"},
    {"Saskatchewan", "SK"},
    {"Yukon", "YT"},
}};

}  // namespace

void LoadStates(TForm1& form) {
  form.Label3 = "Loading States....";
  form.ProcessMessages();
  const std::string agency = AgencyCode(form);

  // The data path followed by "\ap" as it stands: the engine collapses a doubled separator.
  BtrHandle apFile;
  const std::string path = form.edtDatapath + "\\ap";
  OpenLegacyFile(form, apFile, path, "ap");

  form.tblState.SetDatabaseName(form.edtODBCName);
  form.tblState.Open();

  int length = layout::ap::kRecordLength;
  for (const StateEntry& state : kStates) {
    if (form.tblState.Locate("AgyCode;Number", {agency, state.code})) continue;

    form.tblState.Insert();
    form.tblState.SetString("AgyCode", agency);
    form.tblState.SetString("Number", state.code);
    form.tblState.SetString("Name", Trim(state.name));
    form.tblState.SetString("FilingDate", "1/01/2029");
    form.tblState.SetBoolean("AffidavitsReq", false);
    form.tblState.Post();

    std::string record = layout::NewStateLine00(agency, state.code, state.name);
    btrInsert(apFile, record.data(), &length, 0);
    record = layout::NewStateLine01(agency, state.code);
    btrInsert(apFile, record.data(), &length, 0);
  }

  form.tblState.Close();
  btrClose(apFile);
  form.Label3 = "Done";
}

}  // namespace talvor
