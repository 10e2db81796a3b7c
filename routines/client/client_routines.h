// The client-side repairs behind the main window's buttons. Each runs on the main
// window's settings, components and front end, and is described in its own source file.
#pragma once

namespace talvor {

class TForm1;

// Common post-convert group
// Sync Phones: client and contact phones into display form; client phones 1 and 2 into "ap".
void SyncPhones(TForm1& form);
// Pop. CSR/SPRD/PRD: staff codes of every client's "ap" line "01" into Customer; lists unknown codes.
void PopCsrSprdPrd(TForm1& form);
// CSR->PRD: every client's producer made its CSR, in "ap" and in Customer.
void CsrToPrd(TForm1& form);
// Contact Phones: contact phones into display form, empty ones filled from the client.
void ContactPhones(TForm1& form);
// Clean Zips: partial or "0000" ZIP extensions blanked in "ap" and copied to Customer.
void CleanZips(TForm1& form);
// Inactive Alpha: the "*" alpha mark of "ap" clients made to agree with ActiveStatus.
void InactiveAlpha(TForm1& form);
// Load States: the agency's missing States rows added, with their "ap" state records.
void LoadStates(TForm1& form);

// Further routines (first set)
// SmartCase CLT: the agency's client names and addresses mixed-cased in Customer and "ap"
// line "00".
void SmartCaseClt(TForm1& form);
// Cust->AP: every Customer row carried into its "ap" lines "00" and "01", created where missing.
void CustToAp(TForm1& form);
// Resync Contacts: Contact rows missing from "extap" inserted there; logged in "synccontact.log".
void ResyncContacts(TForm1& form);
// Reset Contacts: the insertion of Resync Contacts, without log or progress texts.
void ResetContacts(TForm1& form);
// 1099 Scan / 1099Clear: brokers' non-zero 1099 amounts of "ap" line "04" listed in
// "1099over.txt"; with `clear`, zeroed there and in Customer.Amt1099.
void Broker1099(TForm1& form, bool clear);
// LateChrg YES / LateChrg NO: every client's late-charge flag in "ap" line "01" and Customer.
void LateChrg(TForm1& form, bool lateCharges);
// Clear AP Nulls: zero bytes of every "ap" client line blanked; listed in "APNULLS.TXT".
void ClearApNulls(TForm1& form);
// Clear Nulls - CLT: the same for the agency's clients, each byte listed in "alpahchg.txt".
void ClearNullsClt(TForm1& form);
// Swap Last, First: personal clients' "ap" names "LAST, FIRST" rewritten as "FIRST LAST".
void SwapLastFirst(TForm1& form);
// Prospect to Client: "ap" client lines "01" from the typed agency on marked "C".
void ProspectToClient(TForm1& form);
// Restore ID: Customer.TaxID filled from "fed_id.txt"; each line logged in "fed_id.log".
void RestoreId(TForm1& form);
// Default Addr Mail: the agency's Contact.DefaultAddFrom set to "0".
void DefaultAddrMail(TForm1& form);
// Trim Names: blanks trimmed off every Customer.Name.
void TrimNames(TForm1& form);

// Further routines (second set)
// RJust Clt: the agency's client staff codes on "ap" lines "01" right-justified to three.
void RJustClt(TForm1& form);
// Contact Ext: blanks trimmed off every Contact.PhoneExt that holds more than blanks.
void ContactExt(TForm1& form);
// Sync Misc Clt Fld: Null LegalEntityCode made 0; missing "ap" lines "04" of brokers and
// commercial clients created with their legal-entity letter.
void SyncMiscCltFld(TForm1& form);
// Agnt Lic. Code: brokers' license, expiry and legal entity from "ap" into Customer;
// agents whose license expired before 2006 listed in "outdated.err" and made inactive.
void AgntLicCode(TForm1& form);
// Prd Alpha Code: the agency's producer alpha codes rebuilt from their names, zero bytes
// blanked in producer lines "01" and "02"; changes listed in "PrdALpha.txt".
void PrdAlphaCode(TForm1& form);
// Limited Alpha: alpha codes of the agency's clients 100000-999999 rebuilt from their
// Customer names; listed in "alpahchg.txt".
void LimitedAlpha(TForm1& form);
// Reset SubCode: the sub-code table of the "ap" system record blanked.
void ResetSubCode(TForm1& form);
// ResetCltType and Set All to CL: the agency's personal-lines clients made commercial in
// "ap" and Customer; logged in "ResetCltType.txt".
void ResetCltType(TForm1& form);
// AR Forms: every client's balance method "B" in "ap", ActiveStatus "Y" and FormsType 1.
void ArForms(TForm1& form);
// Set Cmps DB: every company direct bill in "ap" (line "01" created where missing) and in
// the agency's Company rows; failures listed in "changedcmp.txt".
void SetCmpsDb(TForm1& form);
// Sync Susp: SuspItem.AssignedTo made equal to the "DIANDX" assignment; "DiaSync.TXT".
void SyncSusp(TForm1& form);

}  // namespace talvor
