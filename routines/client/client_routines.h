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

}  // namespace talvor
