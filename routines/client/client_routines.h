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
