#include "routines/registry.h"

#include "routines/client/client_routines.h"
#include "routines/policy/policy_routines.h"
#include "routines/reports/reports_routines.h"
#include "shell/form.h"

namespace talvor {

namespace {

// Window order. Columns: caption, routine, flag routine, flag, group, visible, enabled, hint.
// "Quit" and "Chg Clts" belong to the window itself and are not routines.
const RoutineEntry kButtons[] = {
    {"SmartCase CLT", &SmartCaseClt, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Cust->AP", &CustToAp, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Resync Contacts", &ResyncContacts, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Reset Contacts", &ResetContacts, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"1099 Scan", nullptr, &Broker1099, false, ButtonGroup::kGrid, true, true, ""},
    {"1099Clear", nullptr, &Broker1099, true, ButtonGroup::kGrid, true, true, ""},
    {"LateChrg YES", nullptr, &LateChrg, true, ButtonGroup::kGrid, true, true, ""},
    {"LateChrg NO", nullptr, &LateChrg, false, ButtonGroup::kGrid, true, true, ""},
    {"Clear AP Nulls", &ClearApNulls, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Clear Nulls - CLT", &ClearNullsClt, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Swap Last, First", &SwapLastFirst, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Prospect to Client", &ProspectToClient, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Restore ID", &RestoreId, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Default Addr Mail", &DefaultAddrMail, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Trim Names", &TrimNames, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"RJust Clt", &RJustClt, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Contact Ext", &ContactExt, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Sync Misc Clt Fld", &SyncMiscCltFld, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Agnt Lic. Code", &AgntLicCode, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Prd Alpha Code", &PrdAlphaCode, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Limited Alpha", &LimitedAlpha, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Reset SubCode", &ResetSubCode, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"ResetCltType", &ResetCltType, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Set All to CL", &ResetCltType, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"AR Forms", &ArForms, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Set Cmps DB", &SetCmpsDb, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Sync Susp", &SyncSusp, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Sync Pol/Inv", &SyncPolInv, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Clear Pol 00", &ClearPol00, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Chk Bad Main GL", &ChkBadMainGL, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Empty GL", &EmptyGL, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Missing 01", &Missing01, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Sync PolCls", &SyncPolCls, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Chop Cancels", &ChopCancels, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Invalid Trn", &InvalidTrn, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Bump Pol Dates", &BumpPolDates, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Load SubCLS", &LoadSubCls, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Change JE Date", &ChangeJeDate, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"SubPol XREF", &SubPolXref, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Prd Scan", &PrdScan, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Agency List", &AgencyList, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Clear Agnt Stmt Tmp", &ClearAgntStmtTmp, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Sync Phones", &SyncPhones, nullptr, false, ButtonGroup::kCommon, true, true, "Copies the Table phone number to the AP file"},
    {"Pop. CSR/SPRD/PRD", &PopCsrSprdPrd, nullptr, false, ButtonGroup::kCommon, true, true, "Copies the AP Codes to the Table"},
    {"Chk Pol Codes", &ChkPolCodes, nullptr, false, ButtonGroup::kCommon, true, true, "Creates Dpt/Cmp/Cls if the are used in Policies "},
    {"Sanity Checks", &SanityChecks, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Bad Months", &BadMonths, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Clear Cnvt Pols", &ClearCnvtPols, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Move Attch", &MoveAttch, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Unused Codes", &UnusedCodes, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Test Pol/Inv Link", &TestPolInvLink, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Test SGL", &TestSGL, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Contact Phones", &ContactPhones, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Match Pol/Clt Prd", &MatchPolCltPrd, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Load States", &LoadStates, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Clean Zips", &CleanZips, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Scan JCKI", &ScanJCKI, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Inactive Alpha", &InactiveAlpha, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Fix Prd Attch", &FixPrdAttch, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Clean Property", &CleanProperty, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"CSR->PRD", &CsrToPrd, nullptr, false, ButtonGroup::kCommon, false, false, "Copies the CSR to Producer"},
};

}  // namespace

std::span<const RoutineEntry> AllRoutineButtons() { return kButtons; }

std::vector<const RoutineEntry*> Registry() {
  std::vector<const RoutineEntry*> built;
  for (const RoutineEntry& e : kButtons) {
    if (e.Built()) built.push_back(&e);
  }
  return built;
}

const RoutineEntry* FindRoutine(std::string_view name) {
  const std::vector<const RoutineEntry*> built = Registry();
  return FindRoutine(built, name);
}

}  // namespace talvor
